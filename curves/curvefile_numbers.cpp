// The number form of the curve file: the token and line splitting of the reader, the 23-character form of
// the writer, and the header a file may start with.
#include "curves/curvefile.h"

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
template <char Mark = '.'>
const char* FastPrefix(const char* p, const char* end, double& value) {
    bool negative = false;
    if (p < end && (*p == '-' || *p == '+')) negative = *p++ == '-';
    uint64_t mantissa = 0;
    int digits = 0;
    p = ReadDigits(p, end, mantissa, digits);
    if (p == nullptr) return nullptr;
    int scale = 0;
    if (p < end && *p == Mark) {
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

} // namespace curvefile
