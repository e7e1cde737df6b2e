// How the settings of the operation dialogs become the arguments of the curve operations. The curve window
// and graphmill-cli both go through these rules, so that a dialog and the command line compute the same.
#pragma once

#include "curves/curvesb.h"

#include <algorithm>
#include <cmath>
#include <span>

namespace opargs {

// Spline smoothing: a stiffness k gives a window of k + 3 points. An order the window cannot carry is lowered
// to fit it, or, for the smallest windows, the window is widened to carry the order (stiffness 0 with order
// 2 gives 5 points). Returns the window size; SplineSmooth fails when it exceeds the curve's points.
inline int32_t SplineWindow(int stiffness, int& order) {
    int32_t n = stiffness + 3;
    if (order > n - 3) {
        if (n - 3 > 1)
            order = n - 3;
        else
            n = order + 3;
    }
    return n;
}

// Spectral smoothing: "How much" v gives the filter width 1 / v; 0 means almost no smoothing (width 1000).
inline double SpectralWidth(double howMuch) {
    return howMuch == 0.0 ? 1000.0 : 1.0 / howMuch;
}

// The interpolation dialog's fields: the offset between XMin and XMax, the interval between span / 67767 and
// span / 3; both start at the curve's own values (XMin, the smallest spacing) brought within those limits.
// Without an x span the limits coincide, which leaves the fields unbounded.
struct TInterpolationFields {
    double offset, offsetMin, offsetMax;
    double interval, intervalMin, intervalMax;
};
inline TInterpolationFields InterpolationFields(const TCurveB& curve) {
    constexpr double FinestIntervalFactor = 1.475644487730016e-5; // 1 / 67767
    const double span = curve.XMax - curve.XMin;
    TInterpolationFields f{
        curve.XMin, curve.XMin, curve.XMax, curve.MinSpacing(), span * FinestIntervalFactor, span / 3.0};
    if (span > 0.0) f.interval = std::clamp(f.interval, f.intervalMin, f.intervalMax);
    return f;
}

// The largest grid the interpolation dialog allows, which also bounds an average on the smallest interval.
constexpr int32_t MaxGridPoints = 67768;

// The number of points Average (evenSpacing) lays over the curves: (hi - lo) / h + 1 with h their smallest
// neighbour spacing. Infinite when a spacing is zero (Average then faults), 0 without any spacing.
inline double AverageGridPoints(std::span<const TCurveB* const> curves) {
    double h = HUGE_VAL, lo = HUGE_VAL, hi = -HUGE_VAL;
    for (const TCurveB* c : curves) {
        for (int32_t i = 1; i < c->Count(); ++i) h = std::min(h, std::fabs(c->X(i + 1) - c->X(i)));
        lo = std::min(lo, c->XMin);
        hi = std::max(hi, c->XMax);
    }
    if (h == HUGE_VAL) return 0.0;
    return h == 0.0 ? HUGE_VAL : std::trunc((hi - lo) / h) + 1.0;
}

// Divide and shrink apply the reciprocal of their constant; a constant whose reciprocal is not a finite
// number (0, or below about 5.6e-309 in magnitude) is refused.
inline bool Reciprocal(double c, double& r) {
    if (c == 0.0 || !std::isfinite(1.0 / c)) return false;
    r = 1.0 / c;
    return true;
}

} // namespace opargs
