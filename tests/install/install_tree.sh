#!/usr/bin/env bash
# install_tree.sh CMAKE BUILD CHECK: installs the build into a fresh prefix, checks that nothing went
# elsewhere, and runs CHECK (packaging/check-tree) on it.
set -euo pipefail
cmake=$1 build=$2 check=$3
prefix=$(mktemp -d "${TMPDIR:-/tmp}/graphmill-install-XXXXXX")
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >"$prefix.log" || {
    cat "$prefix.log"
    exit 1
}
rm -f "$prefix.log"
while read -r f; do
    [[ $f == "$prefix"/* ]] || {
        echo "installed outside the prefix: $f" >&2
        exit 1
    }
done <"$build/install_manifest.txt"
"$check" "$prefix"
