// The arithmetic of the least-squares polynomial fit in powers of u = x - centre, shared by PolyFit and the
// moving-window smoothing (which runs it once per point, inlined, and must give the very same result as the
// fit of its window curve): the powers of a point, the sums over the points and the solve of the centred
// normal equations.
#pragma once

#include "curves/curvesA.h"

#include <algorithm>
#include <cmath>

namespace polyfit {

// u = x - centre and its powers u^1..u^maxK into out[1..maxK] (out[0] = 1), each power from the one below
// by one multiplication.
inline void Powers(double x, double centre, int maxK, double* out) {
    const double u = x - centre;
    out[0] = 1.0;
    double p = 1.0;
    for (int k = 1; k <= maxK; ++k) out[k] = p *= u;
}

// The sums of a fit over the points (x[t], y[t]), t = 0..n-1, each added in that order in extended
// precision: sx[k] = sum of u^k for k = 1..2 order, sxy[k] = sum of u^k y for k = 1..order (the products
// formed in extended precision), sy the sum of y and, when syy is given, *syy the sum of y^2. Order is the
// order when known at compile time, or -1 (order gives it); either way the sums are the same.
template <int Order>
inline void Sums(int order, const double* x, const double* y, int32_t n, double centre, TExtended* sx,
                 TExtended* sxy, TExtended& sy, TExtended* syy) {
    constexpr int Cap = Order >= 0 ? Order : TCurveA::MaxPolyOrder;
    const int m = Order >= 0 ? Order : order;
    // Only the sums of the order are cleared: the smoothing calls this once per point.
    TExtended s[2 * Cap + 1], sp[Cap + 1];
    std::fill_n(s, 2 * m + 1, 0.0L);
    std::fill_n(sp, m + 1, 0.0L);
    TExtended sum = 0.0L, sum2 = 0.0L;
    double pw[2 * Cap + 1];
    for (int32_t t = 0; t < n; ++t) {
        Powers(x[t], centre, 2 * m, pw);
        const double yt = y[t];
        for (int k = 1; k <= 2 * m; ++k) s[k] += pw[k];
        for (int k = 1; k <= m; ++k) sp[k] += static_cast<TExtended>(pw[k]) * yt;
        sum += yt;
        if (syy) sum2 += static_cast<TExtended>(yt) * yt;
    }
    std::copy_n(s + 1, 2 * m, sx + 1);
    std::copy_n(sp + 1, m, sxy + 1);
    sy = sum;
    if (syy) *syy = sum2;
}

// The quadratic sums, once per point of the moving-window smoothing: the same additions in two passes, so
// that each one's accumulators and products fit the floating-point register stack.
template <>
inline void Sums<2>(int, const double* x, const double* y, int32_t n, double centre, TExtended* sx,
                    TExtended* sxy, TExtended& sy, TExtended* syy) {
    TExtended s1 = 0.0L, s2 = 0.0L, s3 = 0.0L, s4 = 0.0L, p1 = 0.0L, p2 = 0.0L, sum = 0.0L, sum2 = 0.0L;
    for (int32_t t = 0; t < n; ++t) {
        const double u = x[t] - centre, u2 = u * u;
        s1 += u;
        s2 += u2;
        sum += y[t];
    }
    for (int32_t t = 0; t < n; ++t) {
        const double u = x[t] - centre, u2 = u * u, u3 = u2 * u, u4 = u3 * u;
        const double yt = y[t];
        s3 += u3;
        s4 += u4;
        p1 += static_cast<TExtended>(u) * yt;
        p2 += static_cast<TExtended>(u2) * yt;
    }
    if (syy)
        for (int32_t t = 0; t < n; ++t) sum2 += static_cast<TExtended>(y[t]) * y[t];
    sx[1] = s1, sx[2] = s2, sx[3] = s3, sx[4] = s4;
    sxy[1] = p1, sxy[2] = p2;
    sy = sum;
    if (syy) *syy = sum2;
}

// The solve for an order known at compile time (M >= 0: loops unrolled, the scratch in registers) or for any
// order (M < 0). Both perform the same operations in the same order. The scratch has a fixed size: the
// moving-window smoothing solves once per point and must not allocate.
template <int M>
inline bool SolveSums(int order, int32_t n, const TExtended* sx, const TExtended* sxy, TExtended sy,
                      TExtended syy, double* coeffs, double* stdError) {
    constexpr int Cap = M > 0 ? M : (M == 0 ? 1 : TCurveA::MaxPolyOrder);
    const TExtended nn = n;
    // Centred normal equations S a = T for a1..a_order.
    const int m = M >= 0 ? M : order;
    TExtended S[Cap * Cap], T[Cap], rhs[Cap], a[Cap];
    auto s = [&](int j, int k) -> TExtended& { return S[(j - 1) * m + (k - 1)]; };
    for (int j = 1; j <= m; ++j) {
        for (int k = 1; k <= m; ++k) s(j, k) = sx[j + k] - sx[j] * sx[k] / nn;
        T[j - 1] = sxy[j] - sx[j] * sy / nn;
        rhs[j - 1] = T[j - 1];
    }
    if (m == 1) {
        // Points that all share one x leave nothing to solve: a singular fit, not a division fault.
        if (s(1, 1) == 0.0L) return false;
        a[0] = T[0] / s(1, 1);
    } else if (m >= 2) {
        for (int col = 1; col <= m; ++col) {
            int piv = col;
            for (int r = col + 1; r <= m; ++r)
                if (std::fabs(s(r, col)) > std::fabs(s(piv, col))) piv = r;
            if (s(piv, col) == 0.0L) return false;
            if (piv != col) {
                for (int k = 1; k <= m; ++k) std::swap(s(piv, k), s(col, k));
                std::swap(rhs[piv - 1], rhs[col - 1]);
            }
            for (int r = col + 1; r <= m; ++r) {
                const TExtended f = s(r, col) / s(col, col);
                for (int k = col; k <= m; ++k) s(r, k) -= f * s(col, k);
                rhs[r - 1] -= f * rhs[col - 1];
            }
        }
        for (int j = m; j >= 1; --j) {
            if (s(j, j) == 0.0L) return false;
            TExtended acc = rhs[j - 1];
            for (int k = j + 1; k <= m; ++k) acc -= s(j, k) * a[k - 1];
            a[j - 1] = acc / s(j, j);
        }
    }
    TExtended a0 = sy;
    for (int k = 1; k <= m; ++k) a0 -= a[k - 1] * sx[k];
    a0 /= nn;
    coeffs[0] = static_cast<double>(a0);
    for (int k = 1; k <= m; ++k) coeffs[k] = static_cast<double>(a[k - 1]);
    if (stdError) {
        TExtended resid = syy - sy * sy / nn;
        for (int k = 1; k <= m; ++k) resid -= a[k - 1] * T[k - 1];
        // A perfect fit can leave a residual a rounding error below zero; its root is then 0, not a fault.
        if (resid < 0.0L) resid = 0.0L;
        // With exactly order + 1 points the divisor is zero: an arithmetic fault that abandons the command.
        const TExtended var = resid / static_cast<TExtended>(n - order - 1);
        *stdError = static_cast<double>(std::sqrt(var));
    }
    return true;
}

// The quadratic fit of the moving-window smoothing, once per point: the operations of the general solve
// for two unknowns written out (the same ones in the same order; the two equal off-diagonal terms are
// formed once, and the elimination's zeroed entry, which nothing reads, is not stored).
template <>
inline bool SolveSums<2>(int, int32_t n, const TExtended* sx, const TExtended* sxy, TExtended sy,
                         TExtended syy, double* coeffs, double* stdError) {
    const TExtended nn = n;
    const TExtended off = sx[3] - sx[1] * sx[2] / nn;
    TExtended s11 = sx[2] - sx[1] * sx[1] / nn, s12 = off;
    TExtended s21 = off, s22 = sx[4] - sx[2] * sx[2] / nn;
    const TExtended t1 = sxy[1] - sx[1] * sy / nn, t2 = sxy[2] - sx[2] * sy / nn;
    TExtended r1 = t1, r2 = t2;
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
    a0 -= a1 * sx[1];
    a0 -= a2 * sx[2];
    a0 /= nn;
    coeffs[0] = static_cast<double>(a0);
    coeffs[1] = static_cast<double>(a1);
    coeffs[2] = static_cast<double>(a2);
    if (stdError) {
        TExtended resid = syy - sy * sy / nn;
        resid -= a1 * t1;
        resid -= a2 * t2;
        if (resid < 0.0L) resid = 0.0L;
        const TExtended var = resid / static_cast<TExtended>(n - 3);
        *stdError = static_cast<double>(std::sqrt(var));
    }
    return true;
}

// The solve for the order given, from the sums over n points. The standard error (which divides by
// n - order - 1) is computed only when stdError is given.
inline bool Solve(int order, int32_t n, const TExtended* sx, const TExtended* sxy, TExtended sy,
                  TExtended syy, double* coeffs, double* stdError) {
    if (order < 0 || order > TCurveA::MaxPolyOrder || n < order + 1) return false;
    switch (order) {
    case 0:
        return SolveSums<0>(order, n, sx, sxy, sy, syy, coeffs, stdError);
    case 1:
        return SolveSums<1>(order, n, sx, sxy, sy, syy, coeffs, stdError);
    case 2:
        return SolveSums<2>(order, n, sx, sxy, sy, syy, coeffs, stdError);
    case 3:
        return SolveSums<3>(order, n, sx, sxy, sy, syy, coeffs, stdError);
    default:
        return SolveSums<-1>(order, n, sx, sxy, sy, syy, coeffs, stdError);
    }
}

} // namespace polyfit
