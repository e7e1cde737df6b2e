#include "curves/curvesA.h"

#include <algorithm>
#include <cmath>
#include <utility>

TCurveA::TCurveA(int32_t size) : x_(static_cast<size_t>(std::max(size, 0)), 0.0), y_(x_) {}

TCurveA::TCurveA(const TCurveA& source) {
    CreateCopy(source);
}

TCurveA& TCurveA::operator=(const TCurveA& source) {
    if (this != &source) CreateCopy(source);
    return *this;
}

TCurveA::TCurveA(TCurveA&& source) noexcept
    : count_(std::exchange(source.count_, 0)), x_(std::move(source.x_)), y_(std::move(source.y_)) {
    source.x_.clear();
    source.y_.clear();
}

TCurveA& TCurveA::operator=(TCurveA&& source) noexcept {
    if (this != &source) {
        count_ = std::exchange(source.count_, 0);
        x_ = std::move(source.x_);
        y_ = std::move(source.y_);
        source.x_.clear();
        source.y_.clear();
    }
    return *this;
}

void TCurveA::CreateCopy(const TCurveA& source, bool reAlloc, bool fullCapacity) {
    if (this == &source) return;
    const int32_t size = fullCapacity ? source.Capacity() : source.count_;
    count_ = source.count_;
    if (reAlloc || x_.empty() || count_ > Capacity()) {
        // Sized afresh: the points, then zeros up to the size (written once each).
        x_.assign(source.x_.begin(), source.x_.begin() + count_);
        y_.assign(source.y_.begin(), source.y_.begin() + count_);
        x_.resize(static_cast<size_t>(size), 0.0);
        y_.resize(static_cast<size_t>(size), 0.0);
        return;
    }
    std::copy_n(source.x_.begin(), count_, x_.begin());
    std::copy_n(source.y_.begin(), count_, y_.begin());
}

void TCurveA::SetCount(int32_t n) {
    if (n > Capacity()) SetCapacity(n + 10);
    count_ = std::max(n, 0);
}

void TCurveA::SetCapacity(int32_t n) {
    n = std::max(n, count_);
    x_.resize(static_cast<size_t>(n));
    y_.resize(static_cast<size_t>(n));
    std::fill(x_.begin() + count_, x_.end(), 0.0);
    std::fill(y_.begin() + count_, y_.end(), 0.0);
    if (x_.capacity() > 2 * x_.size() + 16) {
        x_.shrink_to_fit();
        y_.shrink_to_fit();
    }
}

void TCurveA::AddPoint(double x, double y) {
    if (Capacity() <= count_) {
        const int32_t grow = count_ < 1000 ? std::max(count_ / 2, 1) : 1000;
        SetCapacity(count_ + grow);
    }
    ++count_;
    SetXY(count_, x, y);
}

double TCurveA::Power(double x, int k) {
    if (k == 0) return 1.0;
    if (x == 0.0) return 0.0;
    const double r = std::exp(k * std::log(std::fabs(x)));
    return (x < 0.0 && (k % 2 != 0)) ? -r : r;
}

void TCurveA::Powers(double x, int maxK, double* out) {
    out[0] = 1.0;
    if (x == 0.0) {
        std::fill(out + 1, out + maxK + 1, 0.0);
        return;
    }
    const double lnx = std::log(std::fabs(x));
    for (int k = 1; k <= maxK; ++k) {
        const double r = std::exp(k * lnx);
        out[k] = (x < 0.0 && (k % 2 != 0)) ? -r : r;
    }
}

bool TCurveA::PolyFit(int order, double* coeffs, double& stdError) const {
    const int32_t n = count_;
    if (order < 0 || order > MaxPolyOrder || n < order + 1) return false;
    if (!HasDistinctX(x_.data(), n, order + 1)) return false;
    // Power sums up to x^(2 order), the cross sums x^k y, and the sums of y and y^2.
    std::vector<TExtended> sx(static_cast<size_t>(2 * order + 1), 0.0L);
    std::vector<TExtended> sxy(static_cast<size_t>(order + 1), 0.0L);
    TExtended sy = 0.0L, syy = 0.0L;
    std::vector<double> pw(static_cast<size_t>(2 * order + 1));
    for (int32_t i = 0; i < n; ++i) {
        const double xi = x_[static_cast<size_t>(i)];
        const double yi = y_[static_cast<size_t>(i)];
        Powers(xi, 2 * order, pw.data());
        for (int k = 0; k <= 2 * order; ++k) sx[static_cast<size_t>(k)] += pw[static_cast<size_t>(k)];
        for (int k = 0; k <= order; ++k)
            sxy[static_cast<size_t>(k)] += static_cast<TExtended>(pw[static_cast<size_t>(k)]) * yi;
        sy += yi;
        syy += static_cast<TExtended>(yi) * yi;
    }
    return SolvePolySums(order, n, sx.data(), sxy.data(), sy, syy, coeffs, &stdError);
}

namespace {

// The solve for an order known at compile time (M >= 0: loops unrolled, the scratch in registers) or for any
// order (M < 0). Both perform the same operations in the same order. The scratch has a fixed size: the
// moving-window smoothing solves once per point and must not allocate.
template <int M>
bool SolveSums(int order, int32_t n, const TExtended* sx, const TExtended* sxy, TExtended sy, TExtended syy,
               double* coeffs, double* stdError) {
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
bool SolveSums<2>(int, int32_t n, const TExtended* sx, const TExtended* sxy, TExtended sy, TExtended syy,
                  double* coeffs, double* stdError) {
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

} // namespace

bool TCurveA::SolvePolySums(int order, int32_t n, const TExtended* sx, const TExtended* sxy, TExtended sy,
                            TExtended syy, double* coeffs, double* stdError) {
    if (order < 0 || order > MaxPolyOrder || n < order + 1) return false;
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

void TCurveA::ApplyPoly(int order, const double* coeffs) {
    for (int32_t i = 0; i < count_; ++i) {
        const double xi = x_[static_cast<size_t>(i)];
        TExtended v = coeffs[0];
        for (int k = 1; k <= order; ++k) v += coeffs[k] * static_cast<TExtended>(Power(xi, k));
        y_[static_cast<size_t>(i)] = static_cast<double>(v);
    }
}
