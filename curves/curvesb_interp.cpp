// Operations that combine a curve with a grid or with other curves through linear interpolation:
// resampling, curve arithmetic, averaging and merging.
#include "curves/curvesb.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <vector>

bool TCurveB::Resample(double interval, double offset) {
    const double h = interval;
    if (!(h > 0.0)) return false;
    // The grid holds offset and steps by h. Each value is offset + k h, formed afresh: values summed step
    // by step drift by a rounding per step, so that a grid meant to stop just before XMax gained a value
    // a hair below it (4000 steps of 0.025 from 0 make 99.9999999999976, not 100).
    if (!(std::fabs(offset - XMin) / h <= MaxGridPoints)) return false;
    // The first grid value at or above XMin. The quotient is right to within a step or two; the walks are
    // bounded so that an interval lost in the rounding of the grid's values cannot stall them.
    double k0 = std::ceil((XMin - offset) / h);
    for (int walk = 0; walk < 4 && offset + (k0 - 1.0) * h >= XMin; ++walk) k0 -= 1.0;
    for (int walk = 0; walk < 4 && offset + k0 * h < XMin; ++walk) k0 += 1.0;
    const double g = offset + k0 * h;
    if (!(g >= XMin)) return false;
    // Grid values strictly below XMax (a value equal to XMax is left out), interpolated in one forward
    // sweep.
    const double expected = (XMax - g) / h + 2.0;
    if (!(expected <= MaxGridPoints + 4.0)) return false; // far too many, whatever the rounding
    if (ResampleInPlace(g, h)) return true;
    // The arrays are reserved from the expected count, so they are written once and never zeroed.
    std::vector<double> nx, ny;
    nx.reserve(static_cast<size_t>(std::clamp(expected, 2.0, MaxGridPoints + 1.0)));
    ny.reserve(nx.capacity());
    int32_t hint = 1;
    double lo = 0.0, hi = 0.0;
    double last = -std::numeric_limits<double>::infinity();
    for (double k = 0.0;; k += 1.0) {
        const double t = g + k * h;
        if (!(t < XMax)) break;
        double v;
        // An interval lost in the rounding of t would never reach XMax.
        if (t <= last || nx.size() >= MaxGridPoints || !ValueAt(hint, t, v)) return false;
        last = t;
        if (nx.empty()) lo = hi = v;
        lo = v < lo ? v : lo;
        hi = v > hi ? v : hi;
        nx.push_back(t);
        ny.push_back(v);
    }
    if (nx.size() < 2) return false;
    // The result is a new curve: its header starts empty. Its ranges are set here so that it can be used
    // at once (the curve set would recompute them anyway); the grid ascends.
    count_ = static_cast<int32_t>(nx.size());
    x_.swap(nx);
    y_.swap(ny);
    FinishResample(lo, hi);
    return true;
}

void TCurveB::FinishResample(double lo, double hi) {
    // The grid's values are interpolated: the measured uncertainties belonged to other points.
    DropSigma();
    Comment.clear();
    FileName.clear();
    XMin = x_.front();
    XMax = x_[static_cast<size_t>(count_ - 1)];
    YMin = lo;
    YMax = hi;
    MarkModified();
}

bool TCurveB::ResampleInPlace(double g, double h) {
    // The sweep can write its points over the curve's own arrays, instead of into fresh ones that the
    // system must first hand out page by page, only when it cannot fail half-way: x ascending from XMin to
    // XMax (so that every grid value below XMax is bracketed), an interval that no grid value can lose in
    // rounding, a grid that stays well within MaxGridPoints, and at least two grid values.
    const int32_t cnt = count_;
    if (cnt < 2) return false;
    const double* x = XData();
    if (x[0] != XMin || x[cnt - 1] != XMax) return false;
    bool ascending = true;
    for (int32_t i = 1; i < cnt; ++i) ascending &= x[i] >= x[i - 1];
    if (!ascending) return false;
    // Each grid value g + k h is off by at most a unit in the last place of the largest of g, XMax and
    // k h, far below h / 2 here; so the values rise and the grid has fewer than 2 (XMax - g) / h + 2 of
    // them.
    const double largest = std::max({std::fabs(g), std::fabs(XMax), std::fabs(XMax - g)});
    if (!(h > largest * 0x1p-40) || !(2.0 * (XMax - g) / h + 4.0 < MaxGridPoints)) return false;
    if (!(g < XMax && g + h < XMax)) return false;

    // A point still read by the sweep lies at or after the hint; the grid points are queued and written
    // over the slots before it. A grid denser than the curve lets the queue grow, which is still no worse
    // than building the curve aside.
    constexpr size_t Block = 2048;
    std::vector<double> qx, qy;
    qx.reserve(Block);
    qy.reserve(Block);
    size_t head = 0;
    int32_t written = 0, hint = 1;
    auto flush = [&](int32_t limit) {
        const size_t m = std::min(qx.size() - head, static_cast<size_t>(limit - written));
        std::copy_n(qx.begin() + static_cast<std::ptrdiff_t>(head), m, x_.begin() + written);
        std::copy_n(qy.begin() + static_cast<std::ptrdiff_t>(head), m, y_.begin() + written);
        head += m;
        written += static_cast<int32_t>(m);
        if (head == qx.size()) {
            qx.clear();
            qy.clear();
            head = 0;
        } else if (head >= qx.size() / 2) {
            qx.erase(qx.begin(), qx.begin() + static_cast<std::ptrdiff_t>(head));
            qy.erase(qy.begin(), qy.begin() + static_cast<std::ptrdiff_t>(head));
            head = 0;
        }
    };
    double lo = 0.0, hi = 0.0;
    for (double k = 0.0;; k += 1.0) {
        const double t = g + k * h;
        if (!(t < XMax)) break;
        double v = 0.0;
        ValueAt(hint, t, v); // cannot fail: see above
        if (qx.empty() && written == 0) lo = hi = v;
        lo = v < lo ? v : lo;
        hi = v > hi ? v : hi;
        qx.push_back(t);
        qy.push_back(v);
        if (qx.size() - head >= Block) flush(hint - 1);
    }
    const int32_t n = written + static_cast<int32_t>(qx.size() - head);
    if (static_cast<size_t>(n) > x_.size()) {
        x_.resize(static_cast<size_t>(n));
        y_.resize(static_cast<size_t>(n));
    }
    flush(n);
    x_.resize(static_cast<size_t>(n));
    y_.resize(static_cast<size_t>(n));
    count_ = n;
    FinishResample(lo, hi);
    return true;
}

void TCurveB::CurveMath(const TCurveA& other, int op) {
    if (op < MathAdd || op > MathMultiply) return;
    // A curve combined with itself reads the values it had before the operation.
    const TCurveA* src = &other;
    TCurveA self;
    if (src == this) {
        self.CreateCopy(other);
        src = &self;
    }
    const double* x = XData();
    double* y = YData();
    int32_t hint = 1;
    for (int32_t i = 0; i < count_; ++i) {
        double v;
        if (!src->ValueAt(hint, x[i], v)) continue;
        switch (op) {
        case MathAdd:
            y[i] += v;
            break;
        case MathSubtract:
            y[i] -= v;
            break;
        case MathMultiply:
            y[i] *= v;
            break;
        default:
            // A divisor of magnitude 1e-8 or less would blow the point up: it keeps its value.
            if (std::fabs(v) > 1e-8) y[i] /= v;
            break;
        }
    }
    CalcYRange();
    DropSigma();
    MarkModified();
}

bool TCurveB::Average(std::span<const TCurveB* const> curves, bool evenSpacing, TCurveB& result) {
    if (curves.empty()) return false;
    const TCurveB& first = *curves[0];
    TCurveB out;
    int32_t n = 0;
    double lo = 0.0, hi = 0.0;
    if (evenSpacing) {
        double h = std::numeric_limits<double>::max();
        lo = first.XMin;
        hi = first.XMax;
        for (const TCurveB* c : curves) {
            const double* x = c->XData();
            for (int32_t i = 1; i < c->Count(); ++i) h = std::min(h, std::fabs(x[i] - x[i - 1]));
            lo = std::min(lo, c->XMin);
            hi = std::max(hi, c->XMax);
        }
        // Two points sharing an x make the spacing zero: the division faults, and the result carries the
        // non-finite quotient so that the guard sees it even where the flag is not checked.
        const double q = (hi - lo) / h;
        if (!std::isfinite(q)) {
            out.SetCount(1);
            out.SetXY(1, lo, q);
            result = std::move(out);
            return false;
        }
        if (q < 0.0 || q >= MaxGridPoints) return false;
        n = static_cast<int32_t>(q) + 1;
        out.SetCount(n);
        // Each value lo + k h formed afresh, so that rounding does not accumulate along the grid.
        double* gx = out.XData();
        for (int32_t k = 0; k < n; ++k) gx[k] = std::min(lo + k * h, hi); // rounding must not pass hi
    } else {
        n = first.Count();
        out.SetCount(n);
        std::copy_n(first.XData(), n, out.XData());
    }

    // Sum and count per grid value, one curve after the other (one forward sweep each); the sums are formed
    // in list order, as a grid-value-major loop would.
    const double* gx = out.XData();
    double* sum = out.YData();
    std::vector<int32_t> used(static_cast<size_t>(n), 0);
    for (const TCurveB* c : curves) {
        int32_t hint = 1;
        for (int32_t k = 0; k < n; ++k) {
            double v;
            if (!c->ValueAt(hint, gx[k], v)) continue;
            sum[k] += v;
            ++used[static_cast<size_t>(k)];
        }
    }
    bool covered = true;
    for (int32_t k = 0; k < n; ++k) {
        // A grid value no curve covers divides zero by zero: an arithmetic fault, left in the result.
        covered = covered && used[static_cast<size_t>(k)] > 0;
        sum[k] = sum[k] / used[static_cast<size_t>(k)];
    }
    out.CopyHeader(first);
    if (evenSpacing) {
        out.CalcYRange();
        out.XMin = n > 0 ? gx[0] : 0.0;
        out.XMax = n > 0 ? gx[n - 1] : 0.0;
    } else {
        out.CalcRanges();
    }
    out.MarkModified();
    result = std::move(out);
    return covered;
}

namespace {

// The points of one curve in stable ascending order of x, with their sigma values when s is given.
void SortedPoints(const TCurveB& c, std::vector<double>& x, std::vector<double>& y, std::vector<double>* s) {
    const size_t n = static_cast<size_t>(c.Count());
    const double* cx = c.XData();
    const double* cy = c.YData();
    const double* cs = c.SigmaData();
    x.assign(cx, cx + n);
    y.assign(cy, cy + n);
    if (s != nullptr) s->assign(cs, cs + n);
    if (std::is_sorted(x.begin(), x.end())) return;
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), size_t{0});
    std::stable_sort(order.begin(), order.end(), [cx](size_t a, size_t b) { return cx[a] < cx[b]; });
    for (size_t i = 0; i < n; ++i) {
        x[i] = cx[order[i]];
        y[i] = cy[order[i]];
        if (s != nullptr) (*s)[i] = cs[order[i]];
    }
}

} // namespace

bool TCurveB::Merge(std::span<const TCurveB* const> curves, TCurveB& result) {
    if (curves.size() < 2) return false;
    // The points keep their sigma when every curve has one; a union of measured and unmeasured points has
    // none (an uncertainty of 0 would claim an exact value).
    const bool sigma =
        std::all_of(curves.begin(), curves.end(), [](const TCurveB* c) { return c->HasSigma(); });
    // A stable sort of all points in list order equals a stable merge of the individually sorted curves,
    // earlier curves first on equal x; sorted curves (the usual case) then cost one linear pass each.
    std::vector<double> mx, my, ms, cx, cy, cs, tx, ty, ts;
    SortedPoints(*curves[0], mx, my, sigma ? &ms : nullptr);
    for (size_t c = 1; c < curves.size(); ++c) {
        SortedPoints(*curves[c], cx, cy, sigma ? &cs : nullptr);
        tx.resize(mx.size() + cx.size());
        ty.resize(tx.size());
        ts.resize(sigma ? tx.size() : 0);
        size_t a = 0, b = 0, k = 0;
        auto take = [&](const std::vector<double>& x, const std::vector<double>& y,
                        const std::vector<double>& s, size_t& i) {
            tx[k] = x[i];
            ty[k] = y[i];
            if (sigma) ts[k] = s[i];
            ++k;
            ++i;
        };
        while (a < mx.size() && b < cx.size()) {
            if (cx[b] < mx[a])
                take(cx, cy, cs, b);
            else
                take(mx, my, ms, a);
        }
        while (a < mx.size()) take(mx, my, ms, a);
        while (b < cx.size()) take(cx, cy, cs, b);
        mx.swap(tx);
        my.swap(ty);
        ms.swap(ts);
    }
    const TCurveB& first = *curves[0];
    TCurveB out;
    out.x_.swap(mx);
    out.y_.swap(my);
    if (sigma) {
        out.s_.swap(ms);
        out.hasSigma_ = true;
    }
    out.count_ = static_cast<int32_t>(out.x_.size());
    out.CopyHeader(first);
    out.XMin = out.count_ > 0 ? out.x_.front() : 0.0;
    out.XMax = out.count_ > 0 ? out.x_.back() : 0.0;
    out.CalcYRange();
    out.MarkModified();
    result = std::move(out);
    return true;
}
