// The point store of a curve: a count, a capacity and two parallel arrays of doubles, plus an optional
// third one with the uncertainty (sigma) of each y. Points are numbered from 1 to Count() everywhere in
// the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct TXYPoint {
    double x = 0.0;
    double y = 0.0;
};

// Extended precision where the platform has it: the sums of the polynomial fit are kept in it.
using TExtended = long double;

class TCurveA {
public:
    // Highest polynomial order the fit's matrix holds (the callers use at most 8).
    static constexpr int MaxPolyOrder = 50;

    explicit TCurveA(int32_t size = 0);
    TCurveA(const TCurveA& source);
    TCurveA& operator=(const TCurveA& source);
    // A curve whose points were moved away is left without points.
    TCurveA(TCurveA&& source) noexcept;
    TCurveA& operator=(TCurveA&& source) noexcept;
    virtual ~TCurveA() = default;

    // Makes this curve a copy of the points of `source`. With reAlloc (every caller in the program) or
    // without arrays yet, the arrays are first sized to source's capacity (fullCapacity) or count.
    void CreateCopy(const TCurveA& source, bool reAlloc = true, bool fullCapacity = false);

    int32_t Count() const { return count_; }
    int32_t Capacity() const { return static_cast<int32_t>(x_.size()); }

    // 1-based point access; the index must lie in 1..Capacity().
    double X(int32_t i) const { return x_[static_cast<std::size_t>(i - 1)]; }
    double Y(int32_t i) const { return y_[static_cast<std::size_t>(i - 1)]; }
    TXYPoint GetPoint(int32_t i) const { return {X(i), Y(i)}; }
    void SetPoint(int32_t i, TXYPoint p) { SetXY(i, p.x, p.y); }
    void SetX(int32_t i, double x) { x_[static_cast<std::size_t>(i - 1)] = x; }
    void SetY(int32_t i, double y) { y_[static_cast<std::size_t>(i - 1)] = y; }
    void SetXY(int32_t i, double x, double y) {
        SetX(i, x);
        SetY(i, y);
    }

    // 0-based raw arrays of Capacity() elements, for loops over many points.
    double* XData() { return x_.data(); }
    double* YData() { return y_.data(); }
    const double* XData() const { return x_.data(); }
    const double* YData() const { return y_.data(); }

    // ---- sigma per point: a curve read from measured data may carry the uncertainty of each y. The array
    // is absent (HasSigma false) for most curves; when present it always has Capacity() slots, kept in step
    // by every change of size here and by the reorders of the curve record.
    bool HasSigma() const { return hasSigma_; }
    double Sigma(int32_t i) const { return s_[static_cast<std::size_t>(i - 1)]; }
    void SetSigma(int32_t i, double s) { s_[static_cast<std::size_t>(i - 1)] = s; }
    // 0-based raw array of Capacity() values; nullptr without sigma.
    const double* SigmaData() const { return hasSigma_ ? s_.data() : nullptr; }
    double* SigmaData() { return hasSigma_ ? s_.data() : nullptr; }
    // Gives the curve a sigma array, every point 0 until set; a curve that has one keeps its values.
    void EnableSigma();
    void DropSigma();

    // Takes x, y and (when s is given) sigma arrays of equal length as the curve's points, without copying
    // them: a reader that filled its own arrays hands them over whole.
    void TakePoints(std::vector<double>&& x, std::vector<double>&& y, std::vector<double>* s = nullptr);

    // Raises the capacity to n + 10 when n exceeds it, then makes n points visible.
    void SetCount(int32_t n);
    // Reallocates the arrays to n slots, keeps points 1..Count and zeroes the rest.
    void SetCapacity(int32_t n);
    // Appends a point (sigma 0 when the curve carries sigma); a full store grows by Count div 2 (at least 1)
    // below 1000 points, by 1000 above.
    void AddPoint(double x, double y);

    // Linear interpolation at x between the two points that bracket it, searching forward from hint
    // (which is left on the left point of the bracket). A query left of the hint fails.
    bool ValueAt(int32_t& hint, double x, double& y) const;

    // Least-squares polynomial a0 + a1 u + ... + a_order u^order in powers of u = x - centre over all points;
    // coeffs must hold order + 1 values. Far from x = 0 compared with the points' spread, the powers of x
    // itself lose the curve's shape in rounding: a centre among the points (their mean, or the point a
    // local fit is for) keeps the fit right to rounding wherever the points lie. Fails when the points hold
    // fewer than order + 1 different x values (the equations are then singular).
    bool PolyFit(int order, double* coeffs, double& stdError, double centre = 0.0) const;
    // Replaces every y by the polynomial's value at its x, in powers of x - centre as PolyFit gives them.
    void ApplyPoly(int order, const double* coeffs, double centre = 0.0);

    // True when x[0..n-1] holds at least `need` (at most MaxPolyOrder + 1) different values. With fewer,
    // the normal equations of a fit of order need - 1 are singular, although rounding in the powers
    // leaves their pivots non-zero.
    static bool HasDistinctX(const double* x, int32_t n, int need);

protected:
    int32_t count_ = 0;
    std::vector<double> x_;
    std::vector<double> y_;
    // Sigma per point: Capacity() values while hasSigma_, else empty.
    std::vector<double> s_;
    bool hasSigma_ = false;
};

// Inline: the moving-window smoothing asks once per point.
inline bool TCurveA::HasDistinctX(const double* x, int32_t n, int need) {
    if (need <= 1) return n >= need;
    double seen[MaxPolyOrder + 1];
    int found = 0;
    for (int32_t i = 0; i < n; ++i) {
        const double v = x[i];
        int k = 0;
        while (k < found && seen[k] != v) ++k;
        if (k < found) continue;
        seen[found++] = v;
        if (found >= need) return true;
    }
    return false;
}

// Inline: the sweeps of interpolation, curve arithmetic, averaging and the transform call it once per point.
inline bool TCurveA::ValueAt(int32_t& hint, double x, double& y) const {
    if (hint < 1) hint = 1;
    if (hint > count_) return false;
    const double* xs = x_.data() - 1; // 1-based view
    const double* ys = y_.data() - 1;
    if (xs[hint] > x) return false;
    bool found = false;
    int32_t h = hint;
    while (h < count_) {
        if (xs[h] <= x && x <= xs[h + 1]) {
            found = true;
            break;
        }
        ++h;
    }
    if (!found) {
        // The walk ran to the last point; the hint stays there, moved back onto the left point of a pair.
        hint = h > 1 ? h - 1 : 1;
        return false;
    }
    hint = h;
    // Two points at one x bracket only that x: the first of them gives the value (the slope formula would
    // divide zero by zero and abandon the whole command).
    const double dx = xs[h + 1] - xs[h];
    y = dx == 0.0 ? ys[h] : ys[h] + (x - xs[h]) * (ys[h + 1] - ys[h]) / dx;
    return true;
}
