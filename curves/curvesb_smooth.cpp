// Smoothing and regression of a curve: moving local polynomials, one polynomial over the whole curve, a
// Gaussian filter through the Fourier transform, and a fixed five-point filter.
#include "curves/curvesb.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <vector>

namespace {

// The sums of a window fit from the rows of its points (row[0] = y, row[k] = x^k for k = 1..2 order):
// sx[k] = sum of x^k for k = 1..2 order, sxy[k] = sum of x^k y for k = 1..order, sy = sum of y (also
// sxy[0]), added in window order. sx[0] is left out: the solver does not read it. With the order known at
// compile time the accumulators stay in registers; the additions and their order are the same as in the
// general form.
template <int Order>
void WindowSums(const double* const* window, int32_t n, TExtended* sx, TExtended* sxy, TExtended& sy) {
    constexpr int K = 2 * Order + 1;
    TExtended s[K] = {}, sp[Order + 1] = {};
    TExtended sum = 0.0L;
    for (int32_t t = 0; t < n; ++t) {
        const double* p = window[t];
        const double yj = p[0];
        for (int k = 1; k < K; ++k) s[k] += p[k];
        for (int k = 1; k <= Order; ++k) sp[k] += static_cast<TExtended>(p[k]) * yj;
        sum += yj;
    }
    for (int k = 1; k < K; ++k) sx[k] = s[k];
    for (int k = 1; k <= Order; ++k) sxy[k] = sp[k];
    sxy[0] = sum;
    sy = sum;
}

void WindowSumsAnyOrder(int order, const double* const* window, int32_t n, TExtended* sx, TExtended* sxy,
                        TExtended& sy) {
    const int K = 2 * order + 1;
    std::fill_n(sx, K, 0.0L);
    std::fill_n(sxy, order + 1, 0.0L);
    sy = 0.0L;
    for (int32_t t = 0; t < n; ++t) {
        const double* p = window[t];
        const double yj = p[0];
        for (int k = 1; k < K; ++k) sx[k] += p[k];
        for (int k = 1; k <= order; ++k) sxy[k] += static_cast<TExtended>(p[k]) * yj;
        sy += yj;
    }
    sxy[0] = sy;
}

// The quadratic window from its rows to the smoothed value of its first point, or false where the point
// keeps its value: the sums of WindowSums for order 2, then the solve of SolvePolySums for two unknowns with
// the very same operations in the same order, and the polynomial at the point. Kept in one function so that
// the sums pass straight into the solve instead of through extended-precision memory.
bool QuadraticWindowValue(const double* const* window, int32_t n, double& value) {
    // Two passes, so that each one's accumulators and products fit the floating-point register stack; the
    // split (three sums, then four) is the one that keeps the stack shuffling lowest. Each sum still adds
    // its terms in window order.
    TExtended s1 = 0.0L, s2 = 0.0L, s3 = 0.0L, s4 = 0.0L, p1 = 0.0L, p2 = 0.0L, sy = 0.0L;
    for (int32_t t = 0; t < n; ++t) {
        const double* p = window[t];
        s1 += p[1];
        s2 += p[2];
        sy += p[0];
    }
    for (int32_t t = 0; t < n; ++t) {
        const double* p = window[t];
        const double yj = p[0];
        s3 += p[3];
        s4 += p[4];
        p1 += static_cast<TExtended>(p[1]) * yj;
        p2 += static_cast<TExtended>(p[2]) * yj;
    }
    const TExtended nn = n;
    const TExtended off = s3 - s1 * s2 / nn;
    TExtended s11 = s2 - s1 * s1 / nn, s12 = off;
    TExtended s21 = off, s22 = s4 - s2 * s2 / nn;
    TExtended r1 = p1 - s1 * sy / nn, r2 = p2 - s2 * sy / nn;
    if (std::fabs(s21) > std::fabs(s11)) {
        std::swap(s11, s21);
        std::swap(s12, s22);
        std::swap(r1, r2);
    }
    if (s11 == 0.0L) return false;
    const TExtended f = s21 / s11;
    s22 -= f * s12;
    r2 -= f * r1;
    if (s22 == 0.0L) return false;
    const TExtended a2 = r2 / s22;
    const TExtended a1 = (r1 - s12 * a2) / s11;
    TExtended a0 = sy;
    a0 -= a1 * s1;
    a0 -= a2 * s2;
    a0 /= nn;
    const double c0 = static_cast<double>(a0), c1 = static_cast<double>(a1), c2 = static_cast<double>(a2);
    // A vanishing quadratic term leaves the point as it is (it lies on the local line anyway).
    if (std::fabs(c2) < 1e-40) return false;
    const double* p = window[0];
    TExtended v = c0;
    v += c1 * static_cast<TExtended>(p[1]);
    v += c2 * static_cast<TExtended>(p[2]);
    value = static_cast<double>(v);
    return true;
}

} // namespace

bool TCurveB::SplineSmooth(int32_t n, int order) {
    const int32_t cnt = count_;
    if (n < 3 || n > cnt || n <= order || order < 0 || order > MaxPolyOrder) return false;
    const double* x = XData();
    double* y = YData();

    // A point's powers x^1..x^(2 order) are the same in every window that holds it, so each point's are
    // computed once, when it first comes into reach, and kept in a ring of rows together with its unchanged
    // y (in place of x^0, which no sum reads): every fit reads the unchanged values although y is
    // overwritten behind the sweep. A window of n points around point i lies within i - n + 1..i + n - 1.
    const int K = 2 * order + 1;
    const int32_t ring = static_cast<int32_t>(std::bit_ceil(2u * static_cast<uint32_t>(n)));
    const int32_t mask = ring - 1;
    std::vector<double> pw(static_cast<size_t>(ring) * static_cast<size_t>(K));
    auto rowOf = [&](int32_t j) {
        return pw.data() + static_cast<size_t>(j & mask) * static_cast<size_t>(K);
    };
    auto fill = [&](int32_t j) {
        double* row = rowOf(j);
        Powers(x[j], K - 1, row);
        row[0] = y[j];
    };
    int32_t filled = 0; // points 0..filled-1 have their rows in the ring
    for (; filled < n; ++filled) fill(filled);

    // Where x only rises, as it mostly does, every window holds n > order different x and needs no check of
    // its own; otherwise every point takes the bounded walk below, which checks its window.
    int32_t notRising = 0;
    for (int32_t j = 1; j < cnt; ++j) notRising += !(x[j] > x[j - 1]);
    const bool distinctX = notRising == 0;

    std::vector<const double*> window(static_cast<size_t>(n));
    TExtended sx[2 * MaxPolyOrder + 1], sxy[MaxPolyOrder + 1];
    double coeffs[MaxPolyOrder + 1];
    for (int32_t i = 0; i < cnt; ++i) {
        if (filled < cnt && filled == i + n - 1) fill(filled++);
        // The window: point i, then the nearer in x of the next points on either side (right on a tie),
        // one side only where the other has run out. Each side's distance is taken once per point taken;
        // away from the ends neither side can run out, and the loop needs no bounds (kept free of the
        // window check, which would cost the usual case time).
        const double xi = x[i];
        int32_t l = i - 1, r = i + 1;
        window[0] = rowOf(i);
        if (i >= n && i + n < cnt && distinctX) {
            double dl = std::fabs(x[l] - xi), dr = std::fabs(x[r] - xi);
            for (int32_t t = 1; t < n; ++t) {
                if (dr <= dl) {
                    window[static_cast<size_t>(t)] = rowOf(r);
                    dr = std::fabs(x[++r] - xi);
                } else {
                    window[static_cast<size_t>(t)] = rowOf(l);
                    dl = std::fabs(x[--l] - xi);
                }
            }
        } else {
            for (int32_t t = 1; t < n; ++t) {
                if (l < 0 || (r < cnt && std::fabs(x[r] - xi) <= std::fabs(x[l] - xi)))
                    window[static_cast<size_t>(t)] = rowOf(r++);
                else
                    window[static_cast<size_t>(t)] = rowOf(l--);
            }
            // The window is points l + 1..r - 1; too few different x in it leave the point as it is, as
            // the fit of the window curve fails.
            if (!distinctX && !HasDistinctX(x + l + 1, r - l - 1, order + 1)) continue;
        }
        // Sums in the order the points joined the window, as a fit of the window curve forms them.
        if (order == 2) {
            double v;
            if (QuadraticWindowValue(window.data(), n, v)) y[i] = v;
            continue;
        }
        TExtended sy;
        switch (order) {
        case 0:
            WindowSums<0>(window.data(), n, sx, sxy, sy);
            break;
        case 1:
            WindowSums<1>(window.data(), n, sx, sxy, sy);
            break;
        case 3:
            WindowSums<3>(window.data(), n, sx, sxy, sy);
            break;
        case 4:
            WindowSums<4>(window.data(), n, sx, sxy, sy);
            break;
        default:
            WindowSumsAnyOrder(order, window.data(), n, sx, sxy, sy);
            break;
        }
        // The standard error is not needed, so a window of exactly order + 1 points does not divide by zero.
        if (!SolvePolySums(order, n, sx, sxy, sy, 0.0L, coeffs, nullptr)) continue;
        // A vanishing quadratic term leaves the point as it is (it lies on the local line anyway).
        if (order >= 2 && std::fabs(coeffs[2]) < 1e-40) continue;
        const double* p = rowOf(i);
        TExtended v = coeffs[0];
        for (int k = 1; k <= order; ++k) v += coeffs[k] * static_cast<TExtended>(p[k]);
        y[i] = static_cast<double>(v);
    }
    CalcYRange();
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
    TCurveA centred(*this);
    double* cx = centred.XData();
    for (int32_t i = 0; i < n; ++i) cx[i] -= c;
    std::vector<double> b(static_cast<size_t>(order + 1));
    double se = 0.0;
    if (!centred.PolyFit(order, b.data(), se)) return false;
    centred.ApplyPoly(order, b.data());
    std::copy_n(centred.YData(), n, YData());
    CalcYRange();
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
    MarkModified();
}
