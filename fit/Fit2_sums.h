// The sums of the fit over its data points, shared by the model's chi-square and the fit's matrices: the
// model is evaluated over blocks of points, and the sums are formed per stretch of points so that they are
// the same numbers however many threads form them.
#pragma once

#include "curves/parallel.h"
#include "fit/Fit2.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace fitsums {

// v so that it reads back to the same double (the shortest such form), whatever the process locale.
inline std::string ExactText(double v) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

// Sum of a[i] * b[i] over n values, in four running sums so that the products can overlap.
inline double Dot(const double* a, const double* b, int32_t n) {
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    int32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        s0 += a[i] * b[i];
        s1 += a[i + 1] * b[i + 1];
        s2 += a[i + 2] * b[i + 2];
        s3 += a[i + 3] * b[i + 3];
    }
    for (; i < n; ++i) s0 += a[i] * b[i];
    return (s0 + s1) + (s2 + s3);
}

// Residuals are divided by the scale; one too small to divide by counts as 1.
inline double EffectiveScale(double s) {
    return std::fabs(s) < 1e-4 ? 1.0 : s;
}

} // namespace fitsums

// The stretches and blocks of the model's sums (templates: their callers pass the work to do on each).
template <class Part>
void TFitParamA::ForEachStretch(const std::vector<TPeak>& terms, Part&& part) const {
    const int32_t parts = (PointCount() + StretchPoints - 1) / StretchPoints;
    // Tabulated terms keep a search hint: those stay on one thread. User functions evaluate with variables of
    // their own per call, and spread like the built-in shapes.
    const bool shareable =
        std::all_of(terms.begin(), terms.end(), [](const TPeak& t) { return t.type != TPeak::Tabulated; });
    if (shareable && parts > 1) {
        ParallelFor(parts, part);
        return;
    }
    for (int32_t k = 0; k < parts; ++k) part(k);
}

template <class Use>
void TFitParamA::ResidualBlocks(const std::vector<TPeak>& terms, int32_t part, double* f, double* const* d,
                                Use&& use) const {
    const int32_t end = std::min(PointCount(), (part + 1) * StretchPoints);
    const double unit = perResidualUnit_;
    int32_t m = 0;
    for (const TPeak& t : terms) m += t.nparams;
    for (int32_t start = part * StretchPoints; start < end; start += BlockSize) {
        const int32_t n = std::min(BlockSize, end - start);
        EvalBlock(terms, start, n, f, d);
        const double* y = py_.data() + start;
        if (weight_.empty()) {
            for (int32_t p = 0; p < n; ++p) f[p] = (y[p] - f[p]) * unit;
        } else {
            const double* w = weight_.data() + start;
            for (int32_t p = 0; p < n; ++p) f[p] = (y[p] - f[p]) * w[p] * unit;
            if (d != nullptr) WeighDerivatives(start, n, d, m);
        }
        use(n);
    }
}
