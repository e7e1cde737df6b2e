// What the fuzz targets share: a check that stops the run with a message (libFuzzer then keeps the input
// as a crash), and a scratch folder on a memory file system where there is one.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <unistd.h>

#define FUZZ_CHECK(cond, ...)                                                                                \
    do {                                                                                                     \
        if (!(cond)) {                                                                                       \
            std::fprintf(stderr, "%s:%d: check failed: %s: ", __FILE__, __LINE__, #cond);                    \
            std::fprintf(stderr, __VA_ARGS__);                                                               \
            std::fputc('\n', stderr);                                                                        \
            std::abort();                                                                                    \
        }                                                                                                    \
    } while (0)

// A folder of this process, removed when it ends; in /dev/shm when it can be written (the targets write
// and reread files at every input), else in the temporary folder.
inline const std::filesystem::path& ScratchDir() {
    static const std::filesystem::path dir = [] {
        namespace fs = std::filesystem;
        const fs::path base =
            ::access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string t = (base / "graphmill-fuzz-XXXXXX").string();
        if (::mkdtemp(t.data()) == nullptr) std::abort();
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(ScratchDir(), ec);
        });
        return fs::path(t);
    }();
    return dir;
}

inline std::string_view AsText(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}
