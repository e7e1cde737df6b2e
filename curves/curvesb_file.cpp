// The curve file of a curve record: a lenient reader (optional header ended by a "DATA" line, one or more
// numbers a line), read on all cores for a large file, and the writer of its points.
#include "curves/curvefile.h"
#include "curves/curvesb.h"
#include "curves/parallel.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

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
    DropSigma();
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
