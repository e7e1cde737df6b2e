#include "curves/curvesb.h"

#include <algorithm>
#include <cmath>
#include <numeric>

TCurveB::TCurveB(int32_t size) : TCurveA(size) {}

TCurveB::TCurveB(const TCurveB& source) : TCurveA() {
    CreateCopy(source);
}

TCurveB& TCurveB::operator=(const TCurveB& source) {
    if (this != &source) CreateCopy(source);
    return *this;
}

void TCurveB::CreateCopy(const TCurveB& source, bool reAlloc, bool fullCapacity) {
    if (this == &source) return;
    TCurveA::CreateCopy(source, reAlloc, fullCapacity);
    CopyHeader(source);
}

void TCurveB::CopyHeader(const TCurveB& source) {
    XMin = source.XMin;
    XMax = source.XMax;
    YMax = source.YMax;
    YMin = source.YMin;
    Comment = source.Comment;
    FileName = source.FileName;
    Saved = source.Saved;
}

namespace {
void MinMax(const double* v, int32_t n, double& lo, double& hi) {
    if (n <= 0) {
        lo = hi = 0.0;
        return;
    }
    // Four running extremes, so that the comparisons of neighbouring values overlap; taking extremes in
    // another order gives the same values.
    double a[4] = {v[0], v[0], v[0], v[0]}, b[4] = {v[0], v[0], v[0], v[0]};
    int32_t i = 1;
    for (; i + 4 <= n; i += 4)
        for (int k = 0; k < 4; ++k) {
            a[k] = std::min(a[k], v[i + k]);
            b[k] = std::max(b[k], v[i + k]);
        }
    for (; i < n; ++i) {
        a[0] = std::min(a[0], v[i]);
        b[0] = std::max(b[0], v[i]);
    }
    lo = std::min(std::min(a[0], a[1]), std::min(a[2], a[3]));
    hi = std::max(std::max(b[0], b[1]), std::max(b[2], b[3]));
}
} // namespace

void TCurveB::CalcXRange() {
    MinMax(XData(), count_, XMin, XMax);
}

void TCurveB::CalcYRange() {
    MinMax(YData(), count_, YMin, YMax);
}

void TCurveB::Offset(double dx, double dy) {
    for (int32_t i = 0; i < count_; ++i) {
        x_[static_cast<size_t>(i)] += dx;
        y_[static_cast<size_t>(i)] += dy;
    }
    XMin += dx;
    XMax += dx;
    YMin += dy;
    YMax += dy;
    MarkModified();
}

void TCurveB::Scale(double fx, double fy) {
    for (int32_t i = 0; i < count_; ++i) {
        x_[static_cast<size_t>(i)] *= fx;
        y_[static_cast<size_t>(i)] *= fy;
    }
    // An uncertainty scales with its value, and stays a magnitude.
    if (hasSigma_)
        for (int32_t i = 0; i < count_; ++i) s_[static_cast<size_t>(i)] *= std::fabs(fy);
    XMin *= fx;
    XMax *= fx;
    YMin *= fy;
    YMax *= fy;
    if (fy < 0) std::swap(YMin, YMax);
    if (fx < 0) SortByX();
    MarkModified();
}

void TCurveB::SortByX() {
    // Any stable sort gives the same order as the neighbour-swapping passes; this one is O(n log n).
    const size_t n = static_cast<size_t>(count_);
    bool sorted = true;
    for (size_t i = 1; i < n && sorted; ++i) sorted = !(x_[i - 1] > x_[i]);
    if (!sorted) {
        std::vector<int32_t> order(n);
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(), [this](int32_t a, int32_t b) {
            return x_[static_cast<size_t>(a)] < x_[static_cast<size_t>(b)];
        });
        std::vector<double> nx(x_.size(), 0.0), ny(y_.size(), 0.0);
        for (size_t i = 0; i < n; ++i) {
            nx[i] = x_[static_cast<size_t>(order[i])];
            ny[i] = y_[static_cast<size_t>(order[i])];
        }
        x_.swap(nx);
        y_.swap(ny);
        if (hasSigma_) {
            std::vector<double> ns(s_.size(), 0.0);
            for (size_t i = 0; i < n; ++i) ns[i] = s_[static_cast<size_t>(order[i])];
            s_.swap(ns);
        }
    }
    if (count_ > 0) {
        XMin = X(1);
        XMax = X(count_);
    } else {
        XMin = XMax = 0.0;
    }
}

int32_t TCurveB::NextHigherX(int32_t i) const {
    const double xi = X(i);
    for (int32_t j = i + 1; j <= count_; ++j)
        if (X(j) > xi) return j;
    return -1;
}

int32_t TCurveB::PrevLowerX(int32_t i) const {
    const double xi = X(i);
    for (int32_t j = i - 1; j >= 1; --j)
        if (X(j) < xi) return j;
    return -1;
}

double TCurveB::MinSpacing() const {
    double best = 1e10;
    bool any = false;
    for (int32_t i = 2; i <= count_; ++i) {
        const double d = std::fabs(X(i) - X(i - 1));
        if (d > 1e-10 && (!any || d < best)) {
            best = d;
            any = true;
        }
    }
    return any ? best : 1e10;
}
