// Peak figures: the shape at height 1 and centre 0 is searched for its maximum and its half-maximum points
// (from the term's own values and derivatives), its area has a closed form per type, and the figures'
// standard errors are the gradient of each figure by the parameters carried through their covariance.
#include "fit/peakfigures.h"

#include "fit/Fit1.h"

#include <cerf.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace peakfigures {

namespace {

constexpr double SqrtTwoPi = 2.5066282746310005024;
constexpr double Pi = std::numbers::pi;
// sqrt(pi / ln 2): the area of e^(-ln 2 q^2).
constexpr double GaussHwhmArea = 2.1289340388624523600;

// The area of the term's shape at height 1.
double UnitArea(const TPeak& t) {
    const auto& v = t.value;
    switch (t.type) {
    case TPeak::Gaussian:
        return std::fabs(v[3]) * SqrtTwoPi;
    case TPeak::Lorentzian:
        return std::fabs(v[3]) * Pi;
    case TPeak::GausLorentz:
        return std::fabs(v[3]) * (v[4] * SqrtTwoPi + (1.0 - v[4]) * Pi);
    case TPeak::Voigt: {
        // The Voigt profile of unit area is Re w(z) / (sigma sqrt(2 pi)); at the centre Re w = erfcx(y0).
        const double sigma = std::fabs(v[3]), gamma = std::fabs(v[4]);
        const double y0 = gamma / (sigma * std::numbers::sqrt2);
        return y0 < 1e100 ? sigma * SqrtTwoPi / erfcx(y0) : gamma * Pi;
    }
    case TPeak::PseudoVoigt:
        return std::fabs(v[3]) * ((1.0 - v[4]) * GaussHwhmArea + v[4] * Pi);
    case TPeak::Pearson7: {
        const double m = v[4];
        if (!(m > 0.5)) return HUGE_VAL;
        const double c = std::expm1(std::numbers::ln2 / m);
        return std::fabs(v[3]) * std::sqrt(Pi / c) * std::exp(std::lgamma(m - 0.5) - std::lgamma(m));
    }
    case TPeak::SplitGaussian:
        return (std::fabs(v[3]) + std::fabs(v[4])) / 2 * GaussHwhmArea;
    case TPeak::SplitLorentzian:
        return (std::fabs(v[3]) + std::fabs(v[4])) / 2 * Pi;
    case TPeak::ExpGaussian:
        // The convolution keeps the Gaussian's area.
        return std::fabs(v[3]) * SqrtTwoPi;
    default:
        return std::numeric_limits<double>::quiet_NaN();
    }
}

// The slope of the shape at x: the negative of its derivative by its centre.
double Slope(const TPeak& t, double x) {
    TPeak::TParamReals d{};
    t.ValueAndDerivatives(x, d);
    return -d[2];
}

// Halves [a, b] while fa(x) keeps its sign at a, until no double lies between.
template <class F>
double Bisect(double a, double b, F&& stillBefore) {
    for (int i = 0; i < 2200; ++i) {
        const double mid = a + (b - a) / 2;
        if (mid == a || mid == b) break;
        (stillBefore(mid) ? a : b) = mid;
    }
    return a + (b - a) / 2;
}

// From x0 in direction dir (+1 or -1), with steps doubling from `step`: the first x where before(x) is
// false, bracketed and halved to the last double; NaN when it is not found before the steps overflow.
template <class F>
double Search(double x0, double dir, double step, F&& before) {
    double a = x0;
    for (int i = 0; i < 2100; ++i) {
        const double b = x0 + dir * step;
        if (!std::isfinite(b)) break;
        if (!before(b))
            return dir > 0 ? Bisect(a, b, before) : Bisect(b, a, [&](double x) { return !before(x); });
        a = b;
        step *= 2;
    }
    return std::numeric_limits<double>::quiet_NaN();
}

// sqrt(g' C g) for the gradient g[0..n) of a figure and the covariance C (n x n, row by row), without a
// floating-point fault however large or small the numbers: gradient and covariance are brought near 1 by
// powers of two first. A parameter without variance (locked), or on which the figure does not depend, adds
// nothing, even where the other factor is not finite; a covariance beyond the doubles gives an error
// beyond them, and a gradient that is not finite none (NaN).
double PropagatedError(const double* g, const double* cov, int n) {
    int eg = std::numeric_limits<int>::min(), ec = std::numeric_limits<int>::min();
    for (int k = 0; k < n; ++k)
        for (int l = 0; l < n; ++l) {
            const double c = cov[k * n + l];
            if (c == 0.0 || g[k] == 0.0 || g[l] == 0.0) continue;
            if (!std::isfinite(g[k]) || !std::isfinite(g[l])) return std::numeric_limits<double>::quiet_NaN();
            if (std::isinf(c)) return HUGE_VAL;
            eg = std::max({eg, std::ilogb(g[k]), std::ilogb(g[l])});
            ec = std::max(ec, std::ilogb(c));
        }
    if (ec == std::numeric_limits<int>::min()) return 0.0;
    // An even exponent for the covariance, whose root is taken.
    ec += ec & 1;
    double var = 0.0;
    for (int k = 0; k < n; ++k)
        for (int l = 0; l < n; ++l) {
            const double c = cov[k * n + l];
            if (c == 0.0 || g[k] == 0.0 || g[l] == 0.0) continue;
            var += std::ldexp(g[k], -eg) * std::ldexp(c, -ec) * std::ldexp(g[l], -eg);
        }
    const double root = std::sqrt(std::fabs(var));
    const int shift = eg + ec / 2;
    if (root != 0.0 && std::ilogb(root) + shift >= std::numeric_limits<double>::max_exponent) return HUGE_VAL;
    return std::ldexp(root, shift);
}

} // namespace

bool IsPeakShaped(int32_t type) {
    switch (type) {
    case TPeak::Gaussian:
    case TPeak::Lorentzian:
    case TPeak::GausLorentz:
    case TPeak::Voigt:
    case TPeak::PseudoVoigt:
    case TPeak::Pearson7:
    case TPeak::SplitGaussian:
    case TPeak::SplitLorentzian:
    case TPeak::ExpGaussian:
        return true;
    default:
        return false;
    }
}

bool UnitShape(const TPeak& term, double& centre, double& height, double& area, double& fwhm) {
    if (!IsPeakShaped(term.type)) return false;
    TPeak u = term.Copy();
    u.value[1] = 1.0;
    u.value[2] = 0.0;
    // The search steps start at the first width parameter.
    // (Comparisons that may meet a NaN are the quiet ones: an ordered comparison with NaN is a floating-point
    // fault the command guard reports.)
    const double step = std::fabs(u.value[3]);
    if (!std::isgreater(step, 0.0) || !std::isfinite(step)) return false;
    // The maximum: the shape rises towards it, so it lies where the slope changes sign.
    const double s0 = Slope(u, 0.0);
    centre = 0.0;
    if (s0 != 0.0) {
        const double dir = s0 > 0.0 ? 1.0 : -1.0;
        centre = Search(0.0, dir, step, [&](double x) { return Slope(u, x) * dir > 0.0; });
    }
    height = u.Value(centre);
    if (!std::isgreater(height, 0.0) || !std::isfinite(height)) return false;
    const double half = height / 2;
    const double right = Search(centre, 1.0, step, [&](double x) { return u.Value(x) > half; });
    const double left = Search(centre, -1.0, step, [&](double x) { return u.Value(x) > half; });
    fwhm = right - left;
    area = UnitArea(u);
    return std::isfinite(fwhm) && fwhm > 0.0;
}

bool Figures(const TPeak& term, const double* covariance, TPeakFigures& out) {
    const double h = term.value[1];
    double c = 0, h1 = 0, a1 = 0, w = 0;
    if (h == 0.0 || !std::isfinite(h) || !UnitShape(term, c, h1, a1, w)) return false;
    const int n = term.nparams;
    // The figures as functions of the parameters: centre x0 + c, height h h1, area h a1, fwhm w, with c,
    // h1, a1 and w functions of parameters 3 on alone; their gradients in grad[figure][parameter].
    double grad[4][TPeak::MaxParams + 1] = {};
    grad[1][1] = h1;
    grad[2][1] = a1;
    grad[0][2] = 1.0;
    for (int k = 3; k <= n; ++k) {
        // Central differences; the unit shape's figures are smooth in its parameters.
        const double p = term.value[static_cast<size_t>(k)];
        const double delta = 1e-5 * (p != 0.0 ? std::fabs(p) : 1.0);
        double plus[4], minus[4];
        for (int side = 0; side < 2; ++side) {
            TPeak moved = term.Copy();
            moved.value[static_cast<size_t>(k)] = side == 0 ? p + delta : p - delta;
            double* f = side == 0 ? plus : minus;
            if (!UnitShape(moved, f[0], f[1], f[2], f[3]))
                for (int i = 0; i < 4; ++i) f[i] = std::numeric_limits<double>::quiet_NaN();
        }
        const double scale[4] = {1.0, h, h, 1.0};
        // A figure that is not finite on either side (the area of a Pearson VII at m 1/2) has no gradient.
        for (int i = 0; i < 4; ++i)
            grad[i][k] = std::isfinite(plus[i]) && std::isfinite(minus[i])
                             ? scale[i] * (plus[i] - minus[i]) / (2 * delta)
                             : std::numeric_limits<double>::quiet_NaN();
    }
    TPeakFigure* figures[4] = {&out.centre, &out.height, &out.area, &out.fwhm};
    const double values[4] = {term.value[2] + c, h * h1, h * a1, w};
    for (int i = 0; i < 4; ++i) {
        figures[i]->value = values[i];
        figures[i]->sigma = covariance != nullptr ? PropagatedError(grad[i] + 1, covariance, n) : 0.0;
    }
    return true;
}

} // namespace peakfigures
