#include "curves/filebytes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

TFileBytes::~TFileBytes() {
    Unmap();
}

void TFileBytes::Unmap() {
    if (map_ != nullptr) ::munmap(map_, size_);
    map_ = nullptr;
    size_ = 0;
}

std::string_view TFileBytes::Text() const {
    return map_ != nullptr ? std::string_view(static_cast<const char*>(map_), size_)
                           : std::string_view(data_);
}

bool TFileBytes::Open(const std::string& name, std::string& error, size_t limit) {
    Unmap();
    data_.clear();
    const int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = name + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (ok && S_ISDIR(st.st_mode)) {
        error = name + ": is a directory";
        ok = false;
    } else if (ok && S_ISREG(st.st_mode) && st.st_size > 0) {
        size_ = static_cast<size_t>(st.st_size);
        void* m = ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0);
        if (m != MAP_FAILED) {
            map_ = m;
            ::madvise(m, size_, MADV_SEQUENTIAL);
        } else {
            size_ = 0;
            ok = ReadAll(fd, name, error);
        }
    } else if (ok) {
        ok = ReadAll(fd, name, error);
    } else {
        error = name + ": " + std::strerror(errno);
    }
    ::close(fd);
    if (!ok || !IsGzip(Text())) return ok;
    std::string text, why;
    if (!Inflate(Text(), text, why, limit)) {
        Unmap();
        data_.clear();
        error = name + ": " + why;
        return false;
    }
    Unmap();
    data_ = std::move(text);
    return true;
}

bool TFileBytes::ReadAll(int fd, const std::string& name, std::string& error) {
    char buf[1 << 16];
    for (;;) {
        const ssize_t r = ::read(fd, buf, sizeof buf);
        if (r > 0) {
            data_.append(buf, static_cast<size_t>(r));
            continue;
        }
        if (r == 0) return true;
        if (errno == EINTR) continue;
        error = name + ": " + std::strerror(errno);
        return false;
    }
}

bool TFileBytes::IsGzip(std::string_view data) {
    return data.size() >= 2 && static_cast<unsigned char>(data[0]) == 0x1f &&
           static_cast<unsigned char>(data[1]) == 0x8b;
}

bool TFileBytes::Inflate(std::string_view data, std::string& out, std::string& why, size_t limit) {
    out.clear();
    why.clear();
    z_stream zs{};
    // 15 window bits plus 16: a gzip wrapper, whose check sum and length zlib verifies at each member's end.
    if (inflateInit2(&zs, 15 + 16) != Z_OK) {
        why = "cannot start decompression";
        return false;
    }
    const auto* next = reinterpret_cast<const unsigned char*>(data.data());
    size_t left = data.size();
    bool complete = false; // the last member read came to its end
    try {
        // Text compresses several times over: room for four times the input at first, then half again.
        size_t have = 0;
        out.resize(std::min(std::max<size_t>(data.size() * 4, size_t{1} << 16), std::max<size_t>(limit, 1)));
        while (why.empty()) {
            if (have == out.size()) out.resize(out.size() + out.size() / 2);
            // zlib counts in 32-bit units: large buffers are taken in slices.
            const auto in = static_cast<uInt>(std::min<size_t>(left, size_t{1} << 30));
            const auto room = static_cast<uInt>(std::min<size_t>(out.size() - have, size_t{1} << 30));
            zs.next_in = const_cast<unsigned char*>(next);
            zs.avail_in = in;
            zs.next_out = reinterpret_cast<unsigned char*>(out.data() + have);
            zs.avail_out = room;
            const int rc = inflate(&zs, Z_NO_FLUSH);
            const size_t used = in - zs.avail_in, made = room - zs.avail_out;
            next += used;
            left -= used;
            have += made;
            if (have >= limit) {
                complete = true;
                break;
            }
            if (rc == Z_STREAM_END) {
                // Members may follow one another (as concatenated .gz files do); anything else after the
                // end is not part of a gzip file.
                if (left == 0) {
                    complete = true;
                    break;
                }
                if (!IsGzip(std::string_view(reinterpret_cast<const char*>(next), left)))
                    why = "damaged compressed data (something follows the end of the stream)";
                else
                    inflateReset(&zs);
            } else if (rc == Z_OK) {
                continue;
            } else if (rc == Z_BUF_ERROR) {
                // No progress was possible: the room for output is never nil here (it grows at the top), so
                // the input ran out before the stream's end.
                why = "the compressed data ends too soon";
            } else if (rc == Z_MEM_ERROR) {
                why = "the decompressed data is too large to hold";
            } else {
                why = std::string("damaged compressed data") +
                      (zs.msg != nullptr ? std::string(" (") + zs.msg + ")" : "");
            }
        }
        out.resize(have);
    } catch (const std::bad_alloc&) {
        why = "the decompressed data is too large to hold";
    }
    inflateEnd(&zs);
    if (complete) return true;
    out.clear();
    out.shrink_to_fit();
    return false;
}
