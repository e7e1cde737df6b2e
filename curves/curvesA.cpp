#include "curves/curvesA.h"

#include "curves/polyfit.h"

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
    : count_(std::exchange(source.count_, 0)), x_(std::move(source.x_)), y_(std::move(source.y_)),
      s_(std::move(source.s_)), hasSigma_(std::exchange(source.hasSigma_, false)) {
    source.x_.clear();
    source.y_.clear();
    source.s_.clear();
}

TCurveA& TCurveA::operator=(TCurveA&& source) noexcept {
    if (this != &source) {
        count_ = std::exchange(source.count_, 0);
        x_ = std::move(source.x_);
        y_ = std::move(source.y_);
        s_ = std::move(source.s_);
        hasSigma_ = std::exchange(source.hasSigma_, false);
        source.x_.clear();
        source.y_.clear();
        source.s_.clear();
    }
    return *this;
}

void TCurveA::CreateCopy(const TCurveA& source, bool reAlloc, bool fullCapacity) {
    if (this == &source) return;
    const int32_t size = fullCapacity ? source.Capacity() : source.count_;
    count_ = source.count_;
    hasSigma_ = source.hasSigma_;
    if (reAlloc || x_.empty() || count_ > Capacity()) {
        // Sized afresh: the points, then zeros up to the size (written once each).
        x_.assign(source.x_.begin(), source.x_.begin() + count_);
        y_.assign(source.y_.begin(), source.y_.begin() + count_);
        x_.resize(static_cast<size_t>(size), 0.0);
        y_.resize(static_cast<size_t>(size), 0.0);
        if (hasSigma_) {
            s_.assign(source.s_.begin(), source.s_.begin() + count_);
            s_.resize(static_cast<size_t>(size), 0.0);
        } else {
            s_.clear();
        }
        return;
    }
    std::copy_n(source.x_.begin(), count_, x_.begin());
    std::copy_n(source.y_.begin(), count_, y_.begin());
    if (hasSigma_) {
        // The slots past the points were this curve's own: zero, as a fresh sigma array would be.
        s_.resize(x_.size(), 0.0);
        std::copy_n(source.s_.begin(), count_, s_.begin());
    } else {
        s_.clear();
    }
}

void TCurveA::EnableSigma() {
    if (hasSigma_) return;
    hasSigma_ = true;
    s_.assign(x_.size(), 0.0);
}

void TCurveA::DropSigma() {
    hasSigma_ = false;
    s_.clear();
    s_.shrink_to_fit();
}

void TCurveA::TakePoints(std::vector<double>&& x, std::vector<double>&& y, std::vector<double>* s) {
    const size_t n =
        std::min({x.size(), y.size(), s != nullptr ? s->size() : x.size(), static_cast<size_t>(INT32_MAX)});
    x_ = std::move(x);
    y_ = std::move(y);
    x_.resize(n);
    y_.resize(n);
    hasSigma_ = s != nullptr;
    if (hasSigma_) {
        s_ = std::move(*s);
        s_.resize(n);
    } else {
        s_.clear();
    }
    count_ = static_cast<int32_t>(n);
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
    if (hasSigma_) {
        s_.resize(static_cast<size_t>(n));
        std::fill(s_.begin() + count_, s_.end(), 0.0);
    }
    if (x_.capacity() > 2 * x_.size() + 16) {
        x_.shrink_to_fit();
        y_.shrink_to_fit();
        if (hasSigma_) s_.shrink_to_fit();
    }
}

void TCurveA::AddPoint(double x, double y) {
    if (Capacity() <= count_) {
        const int32_t grow = count_ < 1000 ? std::max(count_ / 2, 1) : 1000;
        SetCapacity(count_ + grow);
    }
    ++count_;
    SetXY(count_, x, y);
    if (hasSigma_) SetSigma(count_, 0.0);
}

bool TCurveA::PolyFit(int order, double* coeffs, double& stdError, double centre) const {
    const int32_t n = count_;
    if (order < 0 || order > MaxPolyOrder || n < order + 1) return false;
    if (!HasDistinctX(x_.data(), n, order + 1)) return false;
    TExtended sx[2 * MaxPolyOrder + 1], sxy[MaxPolyOrder + 1], sy, syy;
    polyfit::Sums<-1>(order, x_.data(), y_.data(), n, centre, sx, sxy, sy, &syy);
    return polyfit::Solve(order, n, sx, sxy, sy, syy, coeffs, &stdError);
}

void TCurveA::ApplyPoly(int order, const double* coeffs, double centre) {
    double pw[MaxPolyOrder + 1];
    for (int32_t i = 0; i < count_; ++i) {
        polyfit::Powers(x_[static_cast<size_t>(i)], centre, order, pw);
        TExtended v = coeffs[0];
        for (int k = 1; k <= order; ++k) v += coeffs[k] * static_cast<TExtended>(pw[k]);
        y_[static_cast<size_t>(i)] = static_cast<double>(v);
    }
}
