# Installs the Debian packages the build needs when any is missing (sourced by scripts/run and scripts/test).
GRAPHMILL_PACKAGES=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-svg-dev libgl-dev libxcb1-dev libgtest-dev
    libgmock-dev libbenchmark-dev xvfb xauth libcerf-dev zlib1g-dev libboost-dev)
# The install and package checks: manual pages, the desktop's validators, the package tools.
GRAPHMILL_PACKAGES+=(help2man desktop-file-utils appstream dpkg-dev file man-db)

graphmill_install_deps() {
    local missing=() p
    for p in "${GRAPHMILL_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# Configures (once) and builds the tree in $1 with extra CMake arguments after it.
graphmill_build() {
    local dir=$1
    shift
    if [ ! -f "$dir/build.ninja" ]; then
        local launcher=()
        command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
        cmake -S . -B "$dir" -G Ninja "${launcher[@]}" "$@"
    fi
    cmake --build "$dir"
}
