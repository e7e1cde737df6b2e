// The fast road of number conversion shared by the curve file reader and the column import: the common
// number (at most 19 digits, a short exponent) converted in the pass that finds its end. Inline, because both
// readers call it for every number of a file.
#pragma once

#include <cstdint>
#include <cstring>

namespace curvefile::fastnumber {

// Exact powers of ten up to 10^22: every one is a double without rounding.
inline constexpr double Pow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
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
bool LongMantissa(uint64_t m, int scale, double& out);

// The common token (at most 19 digits, a short exponent) converted without the general routine. When the
// digits fit in 53 bits and the power of ten is exact, one multiplication or division rounds correctly,
// so the result is the nearest double, as the general routine gives; longer digits go through LongMantissa.
// Reads from p as far as the number goes and returns the position after it; returns null when the text needs
// the general routine (it is then not necessarily malformed). Whether the number ends the token is the
// caller's question.
template <char Mark = '.'>
inline const char* FastPrefix(const char* p, const char* end, double& value) {
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

} // namespace curvefile::fastnumber
