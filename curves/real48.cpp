#include "curves/real48.h"

#include <cmath>

bool EncodeReal48(double v, TReal48& out) {
    out.fill(0);
    // Beyond the largest value of the form: refused, although a value within half a unit would round to it.
    if (!std::isfinite(v) || std::fabs(v) > Real48Max) return false;
    if (v == 0.0) return true;
    const bool negative = std::signbit(v);
    int exp2 = 0;
    // frexp gives m in [0.5, 1): v = m 2^exp2 = (2m) 2^(exp2 - 1).
    const double m = std::frexp(std::fabs(v), &exp2);
    int e = exp2 - 1 + 129;
    // Fraction scaled to 39 bits, rounded to nearest (ties to even, as the hardware rounds).
    double f = std::nearbyint((2.0 * m - 1.0) * 549755813888.0);
    if (f >= 549755813888.0) {
        f = 0.0;
        ++e;
    }
    if (e > 255) return false;
    if (e < 1) return true; // too small for the form: zero
    auto frac = static_cast<uint64_t>(f);
    out[0] = static_cast<uint8_t>(e);
    for (int k = 1; k <= 5; ++k) {
        out[static_cast<size_t>(k)] = static_cast<uint8_t>(frac & 0xFF);
        frac >>= 8;
    }
    if (negative) out[5] |= 0x80;
    return true;
}

double DecodeReal48(const TReal48& in) {
    if (in[0] == 0) return 0.0;
    uint64_t frac = 0;
    for (int k = 5; k >= 1; --k) frac = (frac << 8) | in[static_cast<size_t>(k)];
    const bool negative = (frac & (uint64_t{1} << 39)) != 0;
    frac &= (uint64_t{1} << 39) - 1;
    const double v = std::ldexp(1.0 + static_cast<double>(frac) / 549755813888.0, in[0] - 129);
    return negative ? -v : v;
}
