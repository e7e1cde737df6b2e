// Smoothing and regression of a curve: moving local polynomials, one polynomial over the whole curve, a
// Gaussian filter through the Fourier transform, and a fixed five-point filter.
#include "curves/curvesb.h"
#include "curves/polyfit.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The moving fit of SplineSmooth for one order (Order >= 0 when known at compile time, -1 otherwise): y gets
// the smoothed values, computed from the unchanged values y0.
template <int Order>
void MovingFit(int order, int32_t n, const double* x, const double* y0, double* y, int32_t cnt,
               bool distinctX) {
    std::vector<double> wx(static_cast<size_t>(n)), wy(static_cast<size_t>(n));
    TExtended sx[2 * TCurveA::MaxPolyOrder + 1] = {}, sxy[TCurveA::MaxPolyOrder + 1] = {}, sy;
    if constexpr (Order >= 0) order = Order;
    double coeffs[TCurveA::MaxPolyOrder + 1];
    for (int32_t i = 0; i < cnt; ++i) {
        // The window: point i, then the nearer in x of the next points on either side (right on a tie),
        // one side only where the other has run out. Each side's distance is taken once per point taken;
        // away from the ends neither side can run out, and the loop needs no bounds (kept free of the
        // window check, which would cost the usual case time).
        const double xi = x[i];
        int32_t l = i - 1, r = i + 1;
        wx[0] = xi;
        wy[0] = y0[i];
        if (i >= n && i + n < cnt && distinctX) {
            double dl = std::fabs(x[l] - xi), dr = std::fabs(x[r] - xi);
            for (int32_t t = 1; t < n; ++t) {
                int32_t j;
                if (dr <= dl) {
                    j = r;
                    dr = std::fabs(x[++r] - xi);
                } else {
                    j = l;
                    dl = std::fabs(x[--l] - xi);
                }
                wx[static_cast<size_t>(t)] = x[j];
                wy[static_cast<size_t>(t)] = y0[j];
            }
        } else {
            for (int32_t t = 1; t < n; ++t) {
                const int32_t j =
                    l < 0 || (r < cnt && std::fabs(x[r] - xi) <= std::fabs(x[l] - xi)) ? r++ : l--;
                wx[static_cast<size_t>(t)] = x[j];
                wy[static_cast<size_t>(t)] = y0[j];
            }
            // The window is points l + 1..r - 1; too few different x in it leave the point as it is, as
            // the fit of the window curve fails.
            if (!distinctX && !TCurveA::HasDistinctX(x + l + 1, r - l - 1, order + 1)) continue;
        }
        // The fit in powers of x - xi, with the sums in the order the points joined the window: the
        // window curve's fit about xi, whose value at xi is a0. The standard error is not needed, so a
        // window of exactly order + 1 points does not divide by zero.
        polyfit::Sums<Order>(order, wx.data(), wy.data(), n, xi, sx, sxy, sy, nullptr);
        // A window whose fit succeeds always gives the point its fitted value, also when the local shape
        // has no curvature at all (counts and other stepped data have such windows all the time).
        if (polyfit::Solve(order, n, sx, sxy, sy, 0.0L, coeffs, nullptr)) y[i] = coeffs[0];
    }
}

} // namespace

std::string TCurveB::SplineRefusal(int32_t n, int order) const {
    if (n > count_)
        return "over " + std::to_string(n) + " points needs at least " + std::to_string(n) +
               " points; the curve has " + std::to_string(count_) + ".";
    return "of order " + std::to_string(order) + " needs " + std::to_string(order + 1) +
           " different x in every window of " + std::to_string(n) + " points; the curve has fewer somewhere.";
}

bool TCurveB::SplineSmooth(int32_t n, int order) {
    const int32_t cnt = count_;
    if (n < 3 || n > cnt || n <= order || order < 0 || order > MaxPolyOrder) return false;
    const double* x = XData();
    double* y = YData();
    // Every fit reads the unchanged values although y is overwritten behind the sweep.
    const std::vector<double> y0(y, y + cnt);
    // Where x only rises, as it mostly does, every window holds n > order different x and needs no check of
    // its own; otherwise every point takes the bounded walk, which checks its window.
    int32_t notRising = 0;
    for (int32_t j = 1; j < cnt; ++j) notRising += !(x[j] > x[j - 1]);
    const bool distinctX = notRising == 0;
    // Each window is fitted about its own point: in powers of x itself a window far from x = 0 compared
    // with its width lost its shape in rounding (a parabola at x = 50000 came out 0.5 off).
    // The orders up to 4 have their sums unrolled.
    using TMovingFit = void (*)(int, int32_t, const double*, const double*, double*, int32_t, bool);
    static constexpr TMovingFit unrolled[] = {MovingFit<0>, MovingFit<1>, MovingFit<2>, MovingFit<3>,
                                              MovingFit<4>};
    const TMovingFit fit = order <= 4 ? unrolled[order] : MovingFit<-1>;
    fit(order, n, x, y0.data(), y, cnt, distinctX);
    CalcYRange();
    DropSigma();
    MarkModified();
    return true;
}

bool TCurveB::PolyRegression(int order, std::vector<double>& coeffs, double& stdError) {
    if (order < 0 || order > MaxPolyOrder) return false;
    const int32_t n = count_;
    // The polynomial is fitted and evaluated in powers of x - c, c the mean x. The powers of x itself lose
    // the curve's shape in rounding once x lies far from 0 compared with its spread: a cubic over the years
    // 1990 to 2020 came out further from the points than their whole y range.
    TExtended sum = 0.0L;
    for (int32_t i = 0; i < n; ++i) sum += x_[static_cast<size_t>(i)];
    const double c = n > 0 ? static_cast<double>(sum / n) : 0.0;
    std::vector<double> b(static_cast<size_t>(order + 1));
    double se = 0.0;
    if (!PolyFit(order, b.data(), se, c)) return false;
    ApplyPoly(order, b.data(), c);
    CalcYRange();
    DropSigma();
    MarkModified();
    // The coefficients of the powers of x: each b_j (x - c)^j spread over x^0..x^j by the binomial rule.
    std::vector<TExtended> a(static_cast<size_t>(order + 1), 0.0L);
    for (int j = 0; j <= order; ++j) {
        TExtended term = b[static_cast<size_t>(j)]; // b_j C(j, k) (-c)^(j - k), from k = j down
        for (int k = j; k >= 0; --k) {
            a[static_cast<size_t>(k)] += term;
            term = term * -static_cast<TExtended>(c) * k / (j - k + 1);
        }
    }
    coeffs.assign(a.begin(), a.end());
    stdError = se;
    return true;
}

bool TCurveB::CreateShape(const double* params, double right, double left, int32_t n, int kind) {
    if (kind != ShapeGaussian || n < 2) return false;
    const double a = params[0], c0 = params[1], s = params[2];
    SetCount(n);
    double* x = XData();
    double* y = YData();
    for (int32_t k = 0; k < n; ++k) {
        const double xk = left + (right - left) * k / (n - 1);
        const double u = (xk - c0) / s;
        const double e = -0.5 * u * u;
        x[k] = xk;
        y[k] = e < -2000.0 ? 0.0 : a * std::exp(e);
    }
    XMin = left;
    XMax = right;
    CalcRanges();
    DropSigma();
    return true;
}

bool TCurveB::SpectralSmooth(double width) {
    // The data are centred on x = 0 and lifted so that no y is negative (the way back takes a magnitude).
    const double c = -(XMin + XMax) / 2;
    const double d = YMin < 0 ? -YMin : 0.0;
    TCurveB work(*this);
    work.Offset(c, d);
    TCurveB re(work), im(work);
    // Without a spectrum there is nothing to filter: the curve stays as it is rather than being multiplied
    // by a filter meant for frequencies.
    if (!re.FFT(nullptr, 1, FFTReal) || !im.FFT(nullptr, 1, FFTImaginary)) return false;

    // The filter keeps unit gain at zero frequency however narrow it is (a wide smoothing tends to the mean,
    // never to zero): it is centred on the spectrum's zero-frequency point (point N/2 + 1, just right of
    // x = 0 on this grid) and its 500 samples, spread a little wider than the spectrum, put one exactly
    // there, so that interpolating the filter never reads its peak from samples on its flanks.
    constexpr int32_t FilterPoints = 500;
    const double zero = re.X(re.Count() / 2 + 1);
    const double spacing = (re.XMax - re.XMin) / (FilterPoints - 3);
    const auto below = static_cast<int32_t>(std::ceil((zero - re.XMin) / spacing));
    TCurveB filter;
    const double params[3] = {1.0, zero, width * (re.XMax - re.XMin) / 2};
    filter.CreateShape(params, zero + (FilterPoints - 1 - below) * spacing, zero - below * spacing,
                       FilterPoints, ShapeGaussian);
    re.CurveMath(filter, MathMultiply);
    im.CurveMath(filter, MathMultiply);
    if (!re.FFT(&im, -1, FFTMagnitude)) return false;

    // The filtered curve lies on -L/2..L/2, the span of the centred data.
    const double* x = work.XData();
    double* y = work.YData();
    int32_t hint = 1;
    for (int32_t i = 0; i < work.Count(); ++i) {
        double v;
        if (re.ValueAt(hint, x[i], v)) y[i] = v;
    }
    work.Offset(-c, -d);
    TCurveB::operator=(std::move(work));
    CalcRanges();
    DropSigma();
    MarkModified();
    return true;
}

void TCurveB::Smooth5() {
    const int32_t n = count_;
    if (n < 3) return;
    const std::vector<double> c(y_.begin(), y_.begin() + n);
    double* y = YData();
    y[0] = (2 * c[0] + c[1]) / 3;
    y[1] = (c[0] + 2 * c[1] + c[2]) / 4;
    for (int32_t i = 2; i < n - 2; ++i)
        y[i] = (-3 * c[i - 2] + 12 * c[i - 1] + 17 * c[i] + 12 * c[i + 1] - 3 * c[i + 2]) / 35;
    y[n - 2] = (c[n - 3] + 2 * c[n - 2] + c[n - 1]) / 4;
    y[n - 1] = (c[n - 2] + 2 * c[n - 1]) / 3;
    CalcYRange();
    DropSigma();
    MarkModified();
}
