// The number form of the curve file: the token and line splitting of the reader, the 23-character form of
// the writer, and the header a file may start with.
#include "curves/curvefile.h"
#include "curves/fastnumber.h"
#include "curves/textlines.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <system_error>

namespace curvefile {

namespace {

inline bool IsSeparator(char c) {
    return c == ' ' || c == ',' || c == '\t';
}

} // namespace

namespace fastnumber {

// The sum of a double and a small correction, each from error-free products or remainders (see the header).
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

} // namespace fastnumber

using fastnumber::FastPrefix;

const char* NumberPrefix(const char* p, const char* end, double& value, bool decimalComma) {
    return decimalComma ? FastPrefix<','>(p, end, value) : FastPrefix<'.'>(p, end, value);
}

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

int SplitNumbers(std::string_view line, double* out, int maxCount, bool* dropped) {
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
        if (end > pos && ConvertNumber(line.substr(pos, end - pos), v))
            out[count++] = v;
        else if (end > pos && dropped != nullptr)
            *dropped = true;
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
        while (end < text.size() && !textlines::IsLineEnd(text[end])) ++end;
        ++lines;
        const bool marker = text.substr(pos, end - pos).substr(0, 4) == "DATA";
        pos = static_cast<size_t>(textlines::PastLineEnd(text.data() + end, text.data() + text.size()) -
                                  text.data());
        if (marker) {
            offset = pos;
            return lines;
        }
    }
    return 0;
}

} // namespace curvefile
