// The bytes of a data file as its readers see them: a regular file is mapped, anything else (a pipe, a
// device) is read, and a gzip-compressed file is inflated in memory, so that every reader of curves takes
// compressed files without knowing of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class TFileBytes {
public:
    TFileBytes() = default;
    TFileBytes(const TFileBytes&) = delete;
    TFileBytes& operator=(const TFileBytes&) = delete;
    ~TFileBytes();

    // False with error set (naming the file) when the file cannot be read, or is compressed and its stream
    // is damaged or cut short; nothing of such a file is then kept.
    // With a limit, a compressed file is inflated up to about that many bytes only (for a preview of its
    // start), and a stream that goes on is not an error.
    bool Open(const std::string& name, std::string& error, std::size_t limit = SIZE_MAX);
    // The text: the mapping of the file, or the bytes read or inflated.
    std::string_view Text() const;
    // True when Text() is the file's private mapping (whose pages a reader may give back as it goes).
    bool Mapped() const { return map_ != nullptr; }

    // True when data starts with the two magic bytes of a gzip stream.
    static bool IsGzip(std::string_view data);
    // Inflates every gzip member of data into out; false with why set (without a file name) for a damaged
    // or truncated stream, or one too large to hold. Inflating stops, successfully, once out holds limit
    // bytes or more.
    static bool Inflate(std::string_view data, std::string& out, std::string& why,
                        std::size_t limit = SIZE_MAX);

private:
    bool ReadAll(int fd, const std::string& name, std::string& error);
    void Unmap();

    void* map_ = nullptr;
    std::size_t size_ = 0;
    std::string data_;
};
