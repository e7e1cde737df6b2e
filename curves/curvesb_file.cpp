// The curve file: a lenient reader (optional header ended by a "DATA" line, one or more numbers a line) and
// a writer that never damages the file it replaces.
#include "curves/curvefile.h"
#include "curves/curvesb.h"
#include "curves/parallel.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace curvefile {

namespace {
inline bool IsSeparator(char c) {
    return c == ' ' || c == ',' || c == '\t';
}
} // namespace

namespace {

// Exact powers of ten up to 10^22: every one is a double without rounding.
constexpr double Pow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                            1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Eight ASCII digits at once: true when all eight bytes of v are '0'..'9'.
inline bool IsEightDigits(uint64_t v) {
    return (((v & 0xF0F0F0F0F0F0F0F0) | (((v + 0x0606060606060606) & 0xF0F0F0F0F0F0F0F0) >> 4)) ==
            0x3333333333333333);
}

// The value of eight ASCII digits (first digit in the lowest byte).
inline uint32_t EightDigitsValue(uint64_t v) {
    v -= 0x3030303030303030;
    v = (v * 10) + (v >> 8);
    v = (((v & 0x000000FF000000FF) * (100 + (1000000ULL << 32))) +
         (((v >> 16) & 0x000000FF000000FF) * (1 + (10000ULL << 32)))) >>
        32;
    return static_cast<uint32_t>(v);
}

// Appends the digits at p to mantissa; returns the position after them and counts them in digits.
inline const char* ReadDigits(const char* p, const char* end, uint64_t& mantissa, int& digits) {
    uint64_t chunk;
    while (end - p >= 8 && digits <= 11) {
        std::memcpy(&chunk, p, 8);
        if (!IsEightDigits(chunk)) break;
        mantissa = mantissa * 100000000 + EightDigitsValue(chunk);
        digits += 8;
        p += 8;
    }
    for (; p < end && static_cast<unsigned>(*p - '0') < 10; ++p, ++digits) {
        if (digits >= 19) return nullptr;
        mantissa = mantissa * 10 + static_cast<unsigned>(*p - '0');
    }
    return p;
}

// m x 10^scale for m above 2^53 (at most 19 digits, so below 2^64) and |scale| <= 22, rounded to the nearest
// double, as files written with 16 or 17 significant digits hold. The value is formed as the sum of a double
// and a small correction, each from error-free products or remainders; the sum's rounding is taken only when
// the correction's own error bound cannot carry it across a rounding boundary (else false: the general
// routine decides those rare cases).
bool LongMantissa(uint64_t m, int scale, double& out) {
    const double mh = static_cast<double>(m); // within 2^10 of m, so the difference below is exact
    const auto mi = static_cast<uint64_t>(mh);
    const double ml = m >= mi ? static_cast<double>(m - mi) : -static_cast<double>(mi - m);
    double hi, lo, bound;
    if (scale >= 0) {
        const double p = Pow10[scale];
        hi = mh * p;
        const double rest = ml * p;
        lo = std::fma(mh, p, -hi) + rest; // the product's exact error, plus the rest of m
        // Two roundings: of the rest's product and of the sum (which may cancel, hence both sizes).
        bound = (std::fabs(rest) + std::fabs(lo)) * 0x1p-50;
    } else {
        const double p = Pow10[-scale];
        hi = mh / p;
        lo = (std::fma(-hi, p, mh) + ml) / p; // the division's exact remainder, plus the rest of m
        // Two roundings, each of 2^-53 of lo's size.
        bound = std::fabs(lo) * 0x1p-50;
    }
    const double r = hi + lo;
    const double b = r - hi;
    const double d = (hi - (r - b)) + (lo - b); // hi + lo - r exactly
    uint64_t bits;
    std::memcpy(&bits, &r, sizeof bits);
    double below, above;
    const uint64_t down = bits - 1, up = bits + 1;
    std::memcpy(&below, &down, sizeof below);
    std::memcpy(&above, &up, sizeof above);
    const double halfGap = std::min(r - below, above - r) * 0.5;
    if (!(std::fabs(d) + bound < halfGap)) return false;
    out = r;
    return true;
}

// The common token (at most 19 digits, a short exponent) converted without the general routine. When the
// digits fit in 53 bits and the power of ten is exact, one multiplication or division rounds correctly,
// so the result is the nearest double, as the general routine gives; longer digits go through LongMantissa.
// Reads from p as far as the number goes and returns the position after it; returns null when the text needs
// the general routine (it is then not necessarily malformed). Whether the number ends the token is the
// caller's question.
const char* FastPrefix(const char* p, const char* end, double& value) {
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    uint64_t mantissa = 0;
    int digits = 0;
    p = ReadDigits(p, end, mantissa, digits);
    if (p == nullptr) return nullptr;
    int scale = 0;
    if (p < end && *p == '.') {
        const int before = digits;
        p = ReadDigits(p + 1, end, mantissa, digits);
        if (p == nullptr) return nullptr;
        scale = before - digits;
    }
    if (digits == 0) return nullptr;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool expNegative = false;
        if (p < end && (*p == '-' || *p == '+')) expNegative = *p++ == '-';
        if (p == end || static_cast<unsigned>(*p - '0') >= 10) return nullptr;
        int e = 0;
        for (; p < end && static_cast<unsigned>(*p - '0') < 10; ++p) {
            if (e > 10000) return nullptr;
            e = e * 10 + (*p - '0');
        }
        scale += expNegative ? -e : e;
    }
    if (scale < -22 || scale > 22) return nullptr;
    double v = static_cast<double>(mantissa);
    if (mantissa <= (uint64_t{1} << 53))
        v = scale < 0 ? v / Pow10[-scale] : v * Pow10[scale];
    else if (!LongMantissa(mantissa, scale, v))
        return nullptr;
    value = negative ? -v : v;
    return p;
}

} // namespace

bool ConvertNumber(std::string_view token, double& value) {
    if (token.empty()) return false;
    const char* first = token.data();
    const char* last = first + token.size();
    if (FastPrefix(first, last, value) == last) return true;
    // The platform conversion accepts a leading plus sign; std::from_chars does not, so take it here.
    if (*first == '+' && token.size() > 1 && first[1] != '-' && first[1] != '+') ++first;
    double v = 0.0;
    const auto [ptr, ec] = std::from_chars(first, last, v, std::chars_format::general);
    if (ptr != last) return false;
    if (ec == std::errc::result_out_of_range) {
        // Too large is no number; too small is zero. The exponent's sign tells which.
        const char* e = std::find_if(first, last, [](char c) { return c == 'e' || c == 'E'; });
        if (e == last || e + 1 == last || e[1] != '-') return false;
        value = (*first == '-') ? -0.0 : 0.0;
        return true;
    }
    if (ec != std::errc() || !std::isfinite(v)) return false;
    value = v;
    return true;
}

int SplitNumbers(std::string_view line, double* out, int maxCount) {
    size_t pos = 0;
    const size_t n = line.size();
    if (n > 0 && IsSeparator(line[0])) {
        pos = 1;
        while (pos < n && line[pos] == ' ') ++pos;
    }
    int count = 0;
    const char* const text = line.data();
    while (pos < n && count < maxCount) {
        // Most tokens are plain numbers: converted in the same pass that finds their end.
        if (const char* q = FastPrefix(text + pos, text + n, out[count]);
            q != nullptr && (q == text + n || IsSeparator(*q))) {
            ++count;
            pos = static_cast<size_t>(q - text) + 1;
            continue;
        }
        size_t end = pos;
        while (end < n && !IsSeparator(line[end])) ++end;
        double v;
        if (end > pos && ConvertNumber(line.substr(pos, end - pos), v)) out[count++] = v;
        pos = end + 1; // past the separator that ended the token
    }
    return count;
}

void FormatNumber(double v, char* out) {
    if (v == 0.0 || !std::isfinite(v)) v = std::isfinite(v) ? 0.0 : v; // -0.0 is written as zero
    // Rounded to 15 digits, the largest doubles would read back as 1.79769313486232E+0308, beyond the
    // double range, and the reader drops such a token: they are written rounded towards zero instead.
    constexpr double Largest15 = 1.79769313486231e308;
    if (std::isfinite(v) && std::fabs(v) > Largest15) v = std::copysign(Largest15, v);
    char buf[40];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 14);
    const char* p = buf;
    out[0] = ' ';
    if (*p == '-') {
        out[0] = '-';
        ++p;
    }
    // p now holds d.dddddddddddddde+XX
    std::memcpy(out + 1, p, 16);
    const char* e = p + 17; // exponent sign after the 'e'
    out[17] = 'E';
    out[18] = *e;
    const int digits = static_cast<int>(res.ptr - (e + 1));
    char* d = out + 19;
    for (int k = 0; k < 4 - digits; ++k) *d++ = '0';
    std::memcpy(d, e + 1, static_cast<size_t>(std::min(digits, 4)));
}

void FormatLine(double x, double y, char* out) {
    FormatNumber(x, out);
    out[NumberWidth] = ' ';
    FormatNumber(y, out + NumberWidth + 1);
    out[LineWidth - 2] = '\r';
    out[LineWidth - 1] = '\n';
}

std::size_t HeaderSkip(std::string_view text, std::size_t& offset) {
    size_t pos = 0, lines = 0;
    offset = 0;
    while (pos < text.size() && lines < static_cast<size_t>(HeaderLines)) {
        size_t end = pos;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
        ++lines;
        const bool marker = text.substr(pos, end - pos).substr(0, 4) == "DATA";
        if (end < text.size() && text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        pos = std::min(end + 1, text.size());
        if (marker) {
            offset = pos;
            return lines;
        }
    }
    return 0;
}

std::string ResolveSaveName(const std::string& fileName, const std::string& defaultExt,
                            const std::string& defaultDir) {
    std::string ext = defaultExt;
    if (!ext.empty() && ext[0] != '.') ext.insert(ext.begin(), '.');
    fs::path p(fileName);
    if (p.filename().string().find('.') == std::string::npos) p += ext;
    if (p.is_relative() && !defaultDir.empty()) p = fs::path(defaultDir) / p;
    return p.string();
}

std::string BackupName(const std::string& fileName, const std::string& backupExt) {
    std::string ext = backupExt;
    if (!ext.empty() && ext[0] != '.') ext.insert(ext.begin(), '.');
    const fs::path p(fileName);
    const std::string name = p.filename().string();
    std::string stem = name.substr(0, name.find('.'));
    // A name that starts with "." or would back up onto itself keeps its whole name.
    if (stem.empty() || stem + ext == name) stem = name;
    return (p.parent_path() / (stem + ext)).string();
}

long long TSaveFile::FailWriteAfterBytes = -1;

TSaveFile::~TSaveFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!temp_.empty()) ::unlinkat(dirFd_, temp_.c_str(), 0);
    if (!backupTemp_.empty()) ::unlinkat(dirFd_, backupTemp_.c_str(), 0);
    if (dirFd_ >= 0) ::close(dirFd_);
}

bool TSaveFile::Fail(const std::string& what, int err) {
    error_ = what;
    if (err != 0) error_ += ": " + std::string(std::strerror(err));
    return false;
}

bool TSaveFile::WriteAll(int fd, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const std::size_t chunk = size - done;
        if (FailWriteAfterBytes >= 0 && written_ + static_cast<long long>(chunk) > FailWriteAfterBytes) {
            errno = ENOSPC;
            return false;
        }
        const ssize_t w = ::write(fd, data + done, chunk);
        if (w < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(w);
        written_ += w;
    }
    return true;
}

int TSaveFile::CreateTemp(const std::string& baseName, std::string& tempName) {
    static constexpr char Letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    static std::mt19937_64 rng(std::random_device{}() ^ static_cast<uint64_t>(::getpid()));
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempName = "." + baseName + ".";
        uint64_t r = rng();
        for (int k = 0; k < 6; ++k, r /= 62) tempName += Letters[r % 62];
        const int fd = ::openat(dirFd_, tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool TSaveFile::CopyToBackupTemp(std::string& why) {
    auto failed = [&](int err) {
        why = std::strerror(err);
        return false;
    };
    const int in = ::open(target_.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return failed(errno);
    const int out = CreateTemp(fs::path(backup_).filename().string(), backupTemp_);
    if (out < 0) {
        const int err = errno;
        backupTemp_.clear();
        ::close(in);
        return failed(err);
    }
    // The copy has the permissions of the file it copies.
    ::fchmod(out, mode_);
    std::vector<char> block(1 << 20);
    int err = 0;
    for (;;) {
        const ssize_t r = ::read(in, block.data(), block.size());
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) err = errno;
        if (r <= 0) break;
        if (!WriteAll(out, block.data(), static_cast<std::size_t>(r))) {
            err = errno;
            break;
        }
    }
    ::close(in);
    if (err == 0 && ::fsync(out) != 0) err = errno;
    if (::close(out) != 0 && err == 0) err = errno;
    return err == 0 || failed(err);
}

bool TSaveFile::OpenForWrite(const std::string& fileName, const std::string& defaultExt,
                             const std::string& backupExt, const std::string& defaultDir) {
    target_ = ResolveSaveName(fileName, defaultExt, defaultDir);
    if (target_.empty()) return Fail("no file name given", 0);
    // Saving through a link replaces the file it points to, not the link; a link to a file that does not
    // exist yet creates that file. The hops are bounded, as a loop of links never ends.
    std::error_code ec;
    for (int hops = 0; hops < 40 && fs::is_symlink(target_, ec); ++hops) {
        const fs::path link = fs::read_symlink(target_, ec);
        if (ec) break;
        target_ = (link.is_absolute() ? link : fs::path(target_).parent_path() / link).string();
    }
    struct stat st {};
    const bool exists = ::stat(target_.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) return Fail("cannot save to " + target_ + ": it is a directory", 0);
    if (exists && !S_ISREG(st.st_mode)) return Fail("cannot save to " + target_ + ": not a regular file", 0);
    if (!exists && errno != ENOENT) return Fail("cannot save to " + target_, errno);
    fs::path dir = fs::path(target_).parent_path();
    if (dir.empty()) dir = ".";
    dirFd_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd_ < 0) return Fail("cannot save to " + target_, errno);
    if (exists) {
        if (::access(target_.c_str(), W_OK) != 0) return Fail("cannot save to " + target_, errno);
    }
    // The backup copy is made when the new content is complete (Commit), so that a failed save replaces
    // neither the file nor an older backup.
    if (exists && !backupExt.empty()) backup_ = BackupName(target_, backupExt);
    fd_ = CreateTemp(fs::path(target_).filename().string(), temp_);
    if (fd_ < 0) {
        temp_.clear();
        return Fail("cannot save to " + target_, errno);
    }
    // A replaced file keeps its permissions, and its backup has them too; a new one gets what the user's
    // umask allows, as any created file.
    mode_ = st.st_mode & 07777;
    if (!exists) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode_ = 0666 & ~mask;
    }
    ::fchmod(fd_, mode_);
    buffer_.reserve(1 << 20);
    return true;
}

bool TSaveFile::Flush() {
    const bool ok = WriteAll(fd_, buffer_.data(), buffer_.size());
    const int err = errno;
    buffer_.clear();
    return ok || Fail("cannot write " + target_, err);
}

bool TSaveFile::Write(const char* data, std::size_t size) {
    if (fd_ < 0) return false;
    buffer_.append(data, size);
    return buffer_.size() < (1 << 20) || Flush();
}

bool TSaveFile::Commit() {
    if (fd_ < 0) return false;
    if (!Flush()) return false;
    if (::fsync(fd_) != 0) return Fail("cannot write " + target_, errno);
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return Fail("cannot write " + target_, errno);
    // The new content is complete; then the backup copy of the old one, and only when both are written do
    // they replace the old backup and the file. Renamed onto the paths as named: a directory moved away
    // meanwhile makes the save fail (and the temporary files are removed from where they went) rather than
    // put the content where the user did not ask for it.
    if (!backup_.empty()) {
        std::string why;
        if (!CopyToBackupTemp(why))
            return Fail("cannot save to " + target_ + ": no backup copy " + backup_ + ": " + why, 0);
        if (::renameat(dirFd_, backupTemp_.c_str(), AT_FDCWD, backup_.c_str()) != 0)
            return Fail("cannot save to " + target_ + ": no backup copy " + backup_, errno);
        backupTemp_.clear();
    }
    if (::renameat(dirFd_, temp_.c_str(), AT_FDCWD, target_.c_str()) != 0)
        return Fail("cannot replace " + target_, errno);
    temp_.clear();
    return true;
}

} // namespace curvefile

namespace {

// The bytes of a file, mapped when it is a regular file and read otherwise.
class TFileBytes {
public:
    ~TFileBytes() {
        if (map_ != nullptr) ::munmap(map_, size_);
    }
    bool Open(const std::string& name, std::string& error) {
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
        return ok;
    }
    bool Mapped() const { return map_ != nullptr; }
    std::string_view Text() const {
        return map_ != nullptr ? std::string_view(static_cast<const char*>(map_), size_)
                               : std::string_view(data_);
    }

private:
    bool ReadAll(int fd, const std::string& name, std::string& error) {
        char buf[1 << 16];
        for (;;) {
            const ssize_t r = ::read(fd, buf, sizeof buf);
            if (r == 0) return true;
            if (r < 0) {
                if (errno == EINTR) continue;
                error = name + ": " + std::strerror(errno);
                return false;
            }
            data_.append(buf, static_cast<size_t>(r));
        }
    }
    void* map_ = nullptr;
    size_t size_ = 0;
    std::string data_;
};

} // namespace

namespace {

// The points of whole lines p..end: one number v gives (k, v) with k the number of points so far in this
// stretch plus one, two or more give (first, second). The stretches after the first note where their
// one-number points are, to renumber them once the points before them are counted.
struct TLineReader {
    std::vector<double>& x;
    std::vector<double>& y;
    std::vector<size_t>* lone; // positions in x of one-number points, or null for the first stretch
    size_t limit;              // points to read at most
    bool release;              // the text is a file's mapping: pages read are given back as the reading goes

    // Gives back the mapped pages that lie wholly within [from, to): nothing else reads them again, and a
    // large file then never needs its whole size in memory besides the curve.
    static void Release(const char* from, const char* to) {
        static const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
        const uintptr_t a = (reinterpret_cast<uintptr_t>(from) + page - 1) & ~(page - 1);
        const uintptr_t b = reinterpret_cast<uintptr_t>(to) & ~(page - 1);
        if (b > a) ::madvise(reinterpret_cast<void*>(a), b - a, MADV_DONTNEED);
    }

    void Read(const char* p, const char* const end) {
        double nums[2];
        // The next LF and the next CR are each looked up once and kept until the line start passes them, so
        // that a file whose lines end in one kind only (CR alone, say) is still scanned once, not once per
        // line. A look-up goes at most Window bytes ahead and then gives the end of its window, which holds
        // no such character, so that the reading never runs far ahead of the pages it gives back.
        auto next = [end](const char* from, char c) {
            constexpr size_t Window = size_t{1} << 16;
            const size_t n = std::min(static_cast<size_t>(end - from), Window);
            const void* hit = std::memchr(from, c, n);
            return hit != nullptr ? static_cast<const char*>(hit) : from + n;
        };
        const char* nextLf = next(p, '\n');
        const char* nextCr = next(p, '\r');
        const size_t first = x.size();
        constexpr ptrdiff_t ReleaseBytes = ptrdiff_t{8} << 20;
        const char* kept = p; // start of what has not been given back
        while (p < end && x.size() < limit) {
            if (release && p - kept >= ReleaseBytes) {
                Release(kept, p);
                kept = p;
            }
            if (nextLf < p) nextLf = next(p, '\n');
            if (nextCr < p) nextCr = next(p, '\r');
            const char* eol = std::min(nextLf, nextCr);
            // The end of a window without either character: look on from there.
            while (eol < end && *eol != '\n' && *eol != '\r') {
                if (nextLf == eol) nextLf = next(eol, '\n');
                if (nextCr == eol) nextCr = next(eol, '\r');
                eol = std::min(nextLf, nextCr);
            }
            const int k = curvefile::SplitNumbers(std::string_view(p, static_cast<size_t>(eol - p)), nums, 2);
            if (k == 1) {
                if (lone != nullptr) lone->push_back(x.size());
                x.push_back(static_cast<double>(x.size() - first + 1));
                y.push_back(nums[0]);
            } else if (k == 2) {
                x.push_back(nums[0]);
                y.push_back(nums[1]);
            }
            if (eol < end && *eol == '\r' && eol + 1 < end && eol[1] == '\n') ++eol;
            p = eol + 1;
        }
        if (release) Release(kept, std::min(p, end));
    }
};

// Reserves room for n values in v. Large arrays are backed by huge pages where the system allows: filling
// them then takes a few hundred page faults instead of hundreds of thousands.
void Reserve(std::vector<double>& v, size_t n) {
    v.reserve(n);
    constexpr uintptr_t Huge = uintptr_t{2} << 20;
    const auto a = (reinterpret_cast<uintptr_t>(v.data()) + Huge - 1) & ~(Huge - 1);
    const auto b = (reinterpret_cast<uintptr_t>(v.data() + v.capacity())) & ~(Huge - 1);
    if (b > a) ::madvise(reinterpret_cast<void*>(a), b - a, MADV_HUGEPAGE);
}

// Points a line reader expects in n bytes of lines of the given length, a little generously: a file of
// even lines then needs neither a regrowth nor a trimming copy at the end.
size_t ExpectedPoints(size_t n, size_t lineLength) {
    return std::min<size_t>(n / lineLength + n / lineLength / 16 + 16, size_t{1} << 24);
}

} // namespace

void TCurveB::ParseText(std::string_view text, bool releaseMapped) {
    size_t pos = 0;
    curvefile::HeaderSkip(text, pos);
    count_ = 0;
    x_.clear();
    y_.clear();
    const char* const begin = text.data() + pos;
    const char* const end = text.data() + text.size();
    const size_t rest = static_cast<size_t>(end - begin);
    const size_t sample = std::min<size_t>(rest, 1 << 16);
    const auto sampleLines = static_cast<size_t>(std::count(begin, begin + sample, '\n'));
    const size_t lineLength = sampleLines > 0 ? std::max<size_t>(sample / sampleLines, 2) : 24;
    const size_t limit = static_cast<size_t>(INT32_MAX - 16);

    // A large text is cut into stretches of whole lines, one per core, read in parallel. The cuts follow
    // LF characters, which end a line in every line-end convention the reader knows (a file of lone CRs is
    // read in one stretch). The first stretch is read straight into the curve's arrays; the others are
    // appended in order, their one-number points renumbered, so the curve is the one a single pass gives.
    constexpr size_t StretchBytes = size_t{1} << 20;
    const size_t stretches =
        static_cast<size_t>(ParallelThreads(static_cast<int32_t>(std::min<size_t>(rest / StretchBytes, 64))));
    std::vector<const char*> cut{begin};
    for (size_t k = 1; k < stretches; ++k) {
        const char* at = std::max(cut.back(), begin + rest * k / stretches);
        const void* lf = std::memchr(at, '\n', static_cast<size_t>(end - at));
        if (lf == nullptr) break;
        cut.push_back(static_cast<const char*>(lf) + 1);
    }
    cut.push_back(end);
    const size_t parts = cut.size() - 1;
    struct TPart {
        std::vector<double> x, y;
        std::vector<size_t> lone;
    };
    std::vector<TPart> more(parts - 1);
    Reserve(x_, ExpectedPoints(static_cast<size_t>(cut[1] - begin), lineLength) +
                    (parts > 1 ? ExpectedPoints(static_cast<size_t>(end - cut[1]), lineLength) : 0));
    Reserve(y_, x_.capacity());
    ParallelFor(static_cast<int32_t>(parts), [&](int32_t k) {
        if (k == 0) {
            TLineReader{x_, y_, nullptr, limit, releaseMapped}.Read(cut[0], cut[1]);
            return;
        }
        TPart& part = more[static_cast<size_t>(k - 1)];
        const size_t n = static_cast<size_t>(cut[k + 1] - cut[k]);
        Reserve(part.x, ExpectedPoints(n, lineLength));
        Reserve(part.y, part.x.capacity());
        TLineReader{part.x, part.y, &part.lone, limit, releaseMapped}.Read(cut[k], cut[k + 1]);
    });
    for (TPart& part : more) {
        const size_t offset = x_.size();
        const size_t take = std::min(part.x.size(), limit - std::min(limit, offset));
        x_.insert(x_.end(), part.x.begin(), part.x.begin() + static_cast<ptrdiff_t>(take));
        y_.insert(y_.end(), part.y.begin(), part.y.begin() + static_cast<ptrdiff_t>(take));
        for (const size_t i : part.lone)
            if (offset + i < x_.size()) x_[offset + i] += static_cast<double>(offset);
        part = TPart();
    }
    if (x_.capacity() > x_.size() + x_.size() / 8 + 64) {
        x_.shrink_to_fit();
        y_.shrink_to_fit();
    }
    count_ = static_cast<int32_t>(x_.size());
    CalcRanges();
    Saved = true;
}

TCurveB TCurveB::CreateFromText(std::string_view text) {
    TCurveB curve;
    curve.ParseText(text);
    return curve;
}

TCurveB TCurveB::CreateFromFile(const std::string& fileName, bool init, std::string* error) {
    (void)init; // the arrays are sized by the points found, so no initial capacity is needed
    TCurveB curve;
    TFileBytes bytes;
    std::string err;
    if (bytes.Open(fileName, err)) {
        curve.ParseText(bytes.Text(), bytes.Mapped());
        if (curve.Count() == 0) err = fileName + ": no points found";
    }
    curve.FileName = fileName;
    curve.Saved = true;
    if (error != nullptr) *error = err;
    return curve;
}

namespace {
// Lines are formatted in blocks of this many, the blocks of a batch on all cores.
constexpr int32_t FormatBlock = 16384;

// Formats points first .. last - 1 (0-based) of xs and ys as data lines into out, spread over the cores.
void FormatLines(const double* xs, const double* ys, int32_t first, int32_t last, char* out) {
    const int32_t blocks = (last - first + FormatBlock - 1) / FormatBlock;
    ParallelFor(blocks, [&](int32_t k) {
        const int32_t from = first + k * FormatBlock, to = std::min(last, from + FormatBlock);
        char* p = out + static_cast<size_t>(from - first) * curvefile::LineWidth;
        for (int32_t i = from; i < to; ++i, p += curvefile::LineWidth) curvefile::FormatLine(xs[i], ys[i], p);
    });
}
} // namespace

std::string TCurveB::DataText() const {
    std::string out(static_cast<size_t>(count_) * curvefile::LineWidth, ' ');
    FormatLines(x_.data(), y_.data(), 0, count_, out.data());
    return out;
}

bool TCurveB::SaveToFile(const std::string& fileName, const std::string& defaultExt,
                         const std::string& defaultDir, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error != nullptr) *error = why;
        return false;
    };
    for (int32_t i = 1; i <= count_; ++i)
        if (!std::isfinite(X(i)) || !std::isfinite(Y(i)))
            return fail("cannot save to " + fileName + ": point " + std::to_string(i) +
                        " is not a finite number");
    curvefile::TSaveFile file;
    if (!file.OpenForWrite(fileName, defaultExt, ".bak", defaultDir)) return fail(file.Error());
    // A batch of blocks is formatted on all cores, then written in order.
    const int32_t batch = 4 * FormatBlock;
    std::string chunk(static_cast<size_t>(std::min(count_, batch)) * curvefile::LineWidth, ' ');
    for (int32_t first = 0; first < count_; first += batch) {
        const int32_t last = std::min(count_, first + batch);
        FormatLines(x_.data(), y_.data(), first, last, chunk.data());
        if (!file.Write(chunk.data(), static_cast<size_t>(last - first) * curvefile::LineWidth))
            return fail(file.Error());
    }
    if (!file.Commit()) return fail(file.Error());
    FileName = fileName;
    Saved = true;
    return true;
}
