// Calculus and point-wise operations of a curve: derivative, integral, x times y, reciprocal, logarithm,
// removal of a range of points and generation from a formula.
#include "curves/curvesb.h"
#include "expr/parse.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// For every point, the nearest earlier point with a smaller x and the nearest later point with a larger x
// (the rules of PrevLowerX and NextHigherX, 0-based, -1 when none). Strictly ascending x, the usual case,
// needs no tables; otherwise they are built with one stack pass each way, so that long runs of equal or
// falling x cost linear time rather than a scan per point.
class TNeighbours {
public:
    TNeighbours(const double* x, int32_t n) : n_(n) {
        for (int32_t i = 1; i < n; ++i)
            if (!(x[i] > x[i - 1])) {
                ascending_ = false;
                break;
            }
        if (ascending_) return;
        prev_.resize(static_cast<size_t>(n));
        next_.resize(static_cast<size_t>(n));
        std::vector<int32_t> stack;
        stack.reserve(static_cast<size_t>(n));
        for (int32_t i = 0; i < n; ++i) {
            while (!stack.empty() && !(x[stack.back()] < x[i])) stack.pop_back();
            prev_[static_cast<size_t>(i)] = stack.empty() ? -1 : stack.back();
            stack.push_back(i);
        }
        stack.clear();
        for (int32_t i = n - 1; i >= 0; --i) {
            while (!stack.empty() && !(x[stack.back()] > x[i])) stack.pop_back();
            next_[static_cast<size_t>(i)] = stack.empty() ? -1 : stack.back();
            stack.push_back(i);
        }
    }
    int32_t PrevLower(int32_t i) const {
        if (i < 0) return -1;
        return ascending_ ? i - 1 : prev_[static_cast<size_t>(i)];
    }
    int32_t NextHigher(int32_t i) const {
        if (i < 0) return -1;
        return ascending_ ? (i + 1 < n_ ? i + 1 : -1) : next_[static_cast<size_t>(i)];
    }

private:
    int32_t n_;
    bool ascending_ = true;
    std::vector<int32_t> prev_, next_;
};

} // namespace

bool TCurveB::Derivative() {
    const int32_t n = count_;
    if (n < 1) return false;
    const double* x = XData();
    const TNeighbours nb(x, n);
    // The end points need two neighbours on their one side; without them nothing is changed.
    const int32_t firstA = nb.NextHigher(0);
    const int32_t firstB = nb.NextHigher(firstA);
    const int32_t lastA = nb.PrevLower(n - 1);
    const int32_t lastB = nb.PrevLower(lastA);
    if (firstB < 0 || lastB < 0) return false;

    // The differences are taken from the unchanged values.
    const std::vector<double> y0(y_.begin(), y_.begin() + n);
    double* y = YData();
    for (int32_t i = 0; i < n; ++i) {
        int32_t a, b;
        if (i == 0) {
            a = firstA;
            b = firstB;
        } else if (i == n - 1) {
            a = lastA;
            b = lastB;
        } else {
            a = nb.PrevLower(i);
            b = nb.NextHigher(i);
            // A missing side makes the point its own neighbour, which takes the fallback below.
            if (a < 0 || b < 0) a = b = i;
        }
        const double hA = x[a] - x[i];
        const double hB = x[b] - x[i];
        // The first neighbour must be at least 1e-8 away, the second at least 1e-11; otherwise the previous
        // point's derivative is repeated (the first point keeps its value).
        if (std::fabs(hA) < 1e-8 || std::fabs(hB) < 1e-11) {
            if (i > 0) y[i] = y[i - 1];
            continue;
        }
        const double dA = y0[static_cast<size_t>(a)] - y0[static_cast<size_t>(i)];
        const double dB = y0[static_cast<size_t>(b)] - y0[static_cast<size_t>(i)];
        const double r = hA / hB;
        y[i] = (dA - r * r * dB) / (hA * (1.0 - r));
    }
    Comment += ": derivative";
    CalcYRange();
    DropSigma();
    MarkModified();
    return true;
}

std::string TCurveB::DerivativeRefusal() const {
    if (count_ < 3) return "needs at least three points; the curve has " + std::to_string(count_) + ".";
    return "needs two points of larger x than the curve's first point and two of smaller x than its last; "
           "the curve has not.";
}

std::string TCurveB::IntegralRefusal() const {
    return "needs at least two points; the curve has " + std::to_string(count_) + ".";
}

bool TCurveB::Integral(double& total) {
    const int32_t n = count_;
    if (n < 2) return false;
    // Cumulative trapezoid sum: exact for the curve as drawn, straight lines between the points.
    const double* x = XData();
    double* y = YData();
    double s = 0.0;
    double prevY = y[0];
    y[0] = 0.0;
    for (int32_t i = 1; i < n; ++i) {
        const double yi = y[i];
        s += 0.5 * (prevY + yi) * (x[i] - x[i - 1]);
        prevY = yi;
        y[i] = s;
    }
    total = s;
    CalcYRange();
    DropSigma();
    MarkModified();
    return true;
}

void TCurveB::TimesX() {
    const double* x = XData();
    double* y = YData();
    for (int32_t i = 0; i < count_; ++i) y[i] *= x[i];
    CalcYRange();
    DropSigma();
    MarkModified();
}

void TCurveB::Inverse() {
    double* y = YData();
    for (int32_t i = 0; i < count_; ++i)
        if (y[i] != 0.0) y[i] = 1.0 / y[i];
    CalcYRange();
    DropSigma();
    MarkModified();
}

void TCurveB::Log10() {
    double* y = YData();
    // Values at or below 1e-30 become a tiny positive number rather than a large negative one. The library
    // logarithm is used rather than ln y times a constant, whose rounding would give 1.99999999999483 for
    // 100.
    for (int32_t i = 0; i < count_; ++i) y[i] = y[i] > 1e-30 ? std::log10(y[i]) : 1e-50;
    CalcYRange();
    DropSigma();
    MarkModified();
}

bool TCurveB::RemoveRange(int32_t first, int32_t last) {
    const int32_t n = count_;
    if (first < 1 || last > n || first > last || (first == 1 && last == n)) return false;
    const bool wasLast = last == n;
    std::copy(x_.begin() + last, x_.begin() + n, x_.begin() + (first - 1));
    std::copy(y_.begin() + last, y_.begin() + n, y_.begin() + (first - 1));
    count_ = n - (last - first + 1);
    std::fill(x_.begin() + count_, x_.begin() + n, 0.0);
    std::fill(y_.begin() + count_, y_.begin() + n, 0.0);
    if (hasSigma_) {
        std::copy(s_.begin() + last, s_.begin() + n, s_.begin() + (first - 1));
        std::fill(s_.begin() + count_, s_.begin() + n, 0.0);
    }
    if (first == 1) XMin = X(1);
    if (wasLast) XMax = X(first - 1);
    CalcYRange();
    MarkModified();
    return true;
}

int32_t TCurveB::FormulaFailureLimit(int32_t steps) {
    // A formula that has failed over as many grid steps as the whole curve asked for has left every range
    // the user could have meant; the floor keeps short curves from giving up on a gap such as 1/trunc(x)
    // around 0, and costs next to nothing.
    return std::max(steps, 1000);
}

bool TCurveB::FromFunction(const std::string& formula, double right, double left) {
    const int32_t n = count_;
    if (n < 2) return false;
    TExpression expr;
    if (expr.SetExpression("x", formula) != 0) return false;
    // Points are built aside: a formula that stops being evaluable leaves the curve as it was.
    std::vector<double> nx(static_cast<size_t>(n)), ny(static_cast<size_t>(n));
    const double step = (right - left) / (n - 1);
    const int32_t limit = FormulaFailureLimit(n);
    int32_t failures = 0;
    // Grid value k is left + k step, formed afresh so that rounding does not build up along the grid.
    double k = 0.0;
    for (int32_t i = 0; i < n; k += 1.0) {
        const double x = left + k * step;
        double v;
        if (expr.Evaluate(x, v) != 0) {
            // Skipped: the grid goes on past right until every point is stored, or gives up.
            if (++failures >= limit) return false;
            continue;
        }
        failures = 0;
        nx[static_cast<size_t>(i)] = x;
        ny[static_cast<size_t>(i)] = std::fabs(v) < 1e10 ? v : 0.0;
        ++i;
    }
    std::copy(nx.begin(), nx.end(), x_.begin());
    std::copy(ny.begin(), ny.end(), y_.begin());
    CalcRanges();
    DropSigma();
    MarkModified();
    return true;
}
