// Lines of a data text, as the curve readers walk them: any of CR LF, LF and CR ends a line; a large text is
// cut into stretches of whole lines that the cores read side by side; the pages of a mapped file are given
// back once read.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct TLineTally;

namespace textlines {

// Gives back the mapped pages that lie wholly within [from, to): nothing else reads them again, and a large
// file then never needs its whole size in memory besides the curve.
void Release(const char* from, const char* to);

// True for the characters that end a line: LF, and CR alone or before LF.
inline bool IsLineEnd(char c) {
    return c == '\n' || c == '\r';
}

// The start of the line after the one whose end is at eol (its LF, CR or CR LF passed over); end when eol is
// the end of the text.
inline const char* PastLineEnd(const char* eol, const char* end) {
    if (eol >= end) return end;
    return eol + (*eol == '\r' && eol + 1 < end && eol[1] == '\n' ? 2 : 1);
}

// Calls line(text, start) for each line of [p, end) (text without its line end, start its first byte) while
// it returns true, after offering the line's start to fast(start): a reader that takes the common line on its
// own, finding its end as it goes, returns the start of the next line (past the line end, or end); null
// leaves the line to line(). With release the text is a file's private mapping, given back as the walk goes.
template <class Fast, class F>
void ForEachWith(const char* p, const char* const end, bool release, Fast&& fast, F&& line) {
    // The next LF and the next CR are each looked up once and kept until the line start passes them, so that
    // a file whose lines end in one kind only (CR alone, say) is still scanned once, not once per line. A
    // look-up goes at most Window bytes ahead and then gives the end of its window, which holds no such
    // character, so that the reading never runs far ahead of the pages it gives back.
    auto next = [end](const char* from, char c) {
        constexpr size_t Window = size_t{1} << 16;
        const size_t n = std::min(static_cast<size_t>(end - from), Window);
        const void* hit = std::memchr(from, c, n);
        return hit != nullptr ? static_cast<const char*>(hit) : from + n;
    };
    const char* nextLf = next(p, '\n');
    const char* nextCr = next(p, '\r');
    constexpr ptrdiff_t ReleaseBytes = ptrdiff_t{8} << 20;
    const char* kept = p; // start of what has not been given back
    while (p < end) {
        if (release && p - kept >= ReleaseBytes) {
            Release(kept, p);
            kept = p;
        }
        if (const char* const after = fast(p); after != nullptr) {
            p = after;
            continue;
        }
        if (nextLf < p) nextLf = next(p, '\n');
        if (nextCr < p) nextCr = next(p, '\r');
        const char* eol = std::min(nextLf, nextCr);
        // The end of a window without either character: look on from there.
        while (eol < end && !IsLineEnd(*eol)) {
            if (nextLf == eol) nextLf = next(eol, '\n');
            if (nextCr == eol) nextCr = next(eol, '\r');
            eol = std::min(nextLf, nextCr);
        }
        const bool more = line(std::string_view(p, static_cast<size_t>(eol - p)), p);
        p = PastLineEnd(eol, end);
        if (!more) break;
    }
    if (release) Release(kept, std::min(p, end));
}

// Calls line(text, start) for each line of [p, end) while it returns true, as ForEachWith without a fast
// reader.
template <class F>
void ForEach(const char* p, const char* const end, bool release, F&& line) {
    ForEachWith(
        p, end, release, [](const char*) -> const char* { return nullptr; }, std::forward<F>(line));
}

// Cuts [begin, end) into at most `parts` stretches of whole lines, about even in size: the returned
// pointers are the stretch starts followed by end. The cuts follow LF characters, which end a line in every
// line-end convention the readers know (a text of lone CRs stays one stretch).
std::vector<const char*> Cut(const char* begin, const char* end, size_t parts);

// Stretches for reading [begin, end) on the processor's cores: one per core for a large text, one for a
// small one.
std::vector<const char*> CutForCores(const char* begin, const char* end);

// The mean length of the first lines of [from, end) (of its first 64 KiB), for sizing the arrays a reader
// fills; 24 when they hold no line end.
size_t LineLength(const char* from, const char* end);
// Lines a reader expects in n bytes of lines of that length, a little generously: a text of even lines then
// needs neither a regrowth nor a trimming copy at the end.
size_t ExpectedLines(size_t n, size_t lineLength);

// Reserves room for n values in v. Large arrays are backed by huge pages where the system allows: filling
// them then takes a few hundred page faults instead of hundreds of thousands.
void Reserve(std::vector<double>& v, size_t n);

// The 1-based number of the line that starts at `at` within text (line ends as ForEach counts them).
int64_t LineNumber(std::string_view text, const char* at);

// Fills the first line of a tally from the start of that line within text (nothing for null).
void Tally(std::string_view text, const char* first, TLineTally& tally);

} // namespace textlines
