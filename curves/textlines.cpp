#include "curves/textlines.h"

#include "curves/curvesb.h"
#include "curves/parallel.h"

#include <sys/mman.h>
#include <unistd.h>

namespace textlines {

void Release(const char* from, const char* to) {
    static const auto page = static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE));
    const uintptr_t a = (reinterpret_cast<uintptr_t>(from) + page - 1) & ~(page - 1);
    const uintptr_t b = reinterpret_cast<uintptr_t>(to) & ~(page - 1);
    if (b > a) ::madvise(reinterpret_cast<void*>(a), b - a, MADV_DONTNEED);
}

size_t LineLength(const char* from, const char* end) {
    const size_t sample = std::min<size_t>(static_cast<size_t>(end - from), 1 << 16);
    const auto lines = static_cast<size_t>(std::count(from, from + sample, '\n'));
    return lines > 0 ? std::max<size_t>(sample / lines, 2) : 24;
}

size_t ExpectedLines(size_t n, size_t lineLength) {
    return std::min<size_t>(n / lineLength + n / lineLength / 16 + 16, size_t{1} << 24);
}

void Reserve(std::vector<double>& v, size_t n) {
    v.reserve(n);
    constexpr uintptr_t Huge = uintptr_t{2} << 20;
    const auto a = (reinterpret_cast<uintptr_t>(v.data()) + Huge - 1) & ~(Huge - 1);
    const auto b = (reinterpret_cast<uintptr_t>(v.data() + v.capacity())) & ~(Huge - 1);
    if (b > a) ::madvise(reinterpret_cast<void*>(a), b - a, MADV_HUGEPAGE);
}

std::vector<const char*> Cut(const char* begin, const char* end, size_t parts) {
    const size_t size = static_cast<size_t>(end - begin);
    std::vector<const char*> cut{begin};
    for (size_t k = 1; k < parts; ++k) {
        const char* at = std::max(cut.back(), begin + size * k / parts);
        const void* lf = std::memchr(at, '\n', static_cast<size_t>(end - at));
        if (lf == nullptr) break;
        cut.push_back(static_cast<const char*>(lf) + 1);
    }
    cut.push_back(end);
    return cut;
}

std::vector<const char*> CutForCores(const char* begin, const char* end) {
    // Below a megabyte a stretch is not worth a thread.
    constexpr size_t StretchBytes = size_t{1} << 20;
    const size_t size = static_cast<size_t>(end - begin);
    return Cut(begin, end,
               static_cast<size_t>(
                   ParallelThreads(static_cast<int32_t>(std::min<size_t>(size / StretchBytes, 64)))));
}

int64_t LineNumber(std::string_view text, const char* at) {
    // `at` starts a line, so a CR LF pair lies wholly before it or wholly after.
    const char* const end = text.data() + text.size();
    const char* const stop = std::min(at, end);
    int64_t n = 1;
    for (const char* p = text.data(); p < stop; ++p)
        n += *p == '\n' || (*p == '\r' && (p + 1 == end || p[1] != '\n'));
    return n;
}

void Tally(std::string_view text, const char* first, TLineTally& tally) {
    if (first == nullptr) return;
    tally.firstLine = LineNumber(text, first);
    const char* const end = text.data() + text.size();
    const char* eol = first;
    while (eol < end && *eol != '\n' && *eol != '\r') ++eol;
    // Its start is enough to recognise it.
    tally.firstText.assign(first, static_cast<size_t>(std::min<ptrdiff_t>(eol - first, 80)));
}

} // namespace textlines
