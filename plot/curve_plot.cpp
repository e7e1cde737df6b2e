#include "plot/curve_plot.h"

#include "plot/TableWindow.h"

#include <QImage>
#include <QLine>
#include <QPaintEngine>
#include <QPen>
#include <QVector>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <utility>
#include <vector>

TDefaultCurveProps DefaultCurveProps;
double SymbolScale = 1.0;

namespace {

// Symbols wider than this are drawn at this radius: a stray size must not make one symbol cover the page.
constexpr int32_t MaxSymbolRadius = 1000;

// Above this many visited points the copy-mode fast paths pay for their set-up.
constexpr int32_t FastPathPoints = 2000;

// From this radius on, dense symbols are filled row by row rather than stamped one by one.
constexpr int32_t RowFillRadius = 8;

QPainter::CompositionMode CompositionOf(TPenMode mode) {
    switch (mode) {
    case TPenMode::Invert:
        return QPainter::RasterOp_NotDestination;
    case TPenMode::Xor:
        return QPainter::RasterOp_SourceXorDestination;
    case TPenMode::Copy:
        break;
    }
    return QPainter::CompositionMode_SourceOver;
}

// Collects the line of Draw as one batch of separate segments, each rasterised exactly as a single line
// would be. In copy mode with a solid pen, the segments inside one pixel column are reduced to those between
// the column's entry point, its extremes and its exit point: the union of vertical segments in a column is
// the span between its extremes, so the pixels are the same while a curve of a million points becomes a few
// thousand segments. Zero-length segments draw nothing.
class TSegmentBatch {
public:
    TSegmentBatch(QPainter& p, bool compress) : p_(p), compress_(compress) {}

    void MoveTo(QPoint q) {
        CloseColumn();
        cur_ = q;
        OpenColumn(q);
    }
    void LineTo(QPoint q) {
        if (compress_ && q.x() == colX_) {
            colMin_ = std::min(colMin_, q.y());
            colMax_ = std::max(colMax_, q.y());
            cur_ = q;
            return;
        }
        CloseColumn();
        Add(cur_, q);
        cur_ = q;
        OpenColumn(q);
    }
    void Flush() {
        CloseColumn();
        if (!lines_.isEmpty()) p_.drawLines(lines_);
        lines_.clear();
    }

private:
    void Add(QPoint a, QPoint b) {
        if (a != b) lines_.append(QLine(a, b));
    }
    void OpenColumn(QPoint q) {
        colX_ = q.x();
        colFirst_ = colMin_ = colMax_ = q.y();
    }
    void CloseColumn() {
        if (!compress_) return;
        // Visit the nearer extreme first so that the path stays within the span, then leave from the last
        // point.
        const bool minFirst = std::abs(colFirst_ - colMin_) <= std::abs(colFirst_ - colMax_);
        const int nearY = minFirst ? colMin_ : colMax_;
        const int farY = minFirst ? colMax_ : colMin_;
        Add(QPoint(colX_, colFirst_), QPoint(colX_, nearY));
        Add(QPoint(colX_, nearY), QPoint(colX_, farY));
        Add(QPoint(colX_, farY), cur_);
        colMin_ = colMax_ = colFirst_ = cur_.y();
    }

    QPainter& p_;
    bool compress_;
    QVector<QLine> lines_;
    QPoint cur_;
    int colX_ = 0, colFirst_ = 0, colMin_ = 0, colMax_ = 0;
};

int32_t LastBelow(const TCurveA& c, int32_t first, int32_t last, double v) {
    const double* x = c.XData();
    if (!(x[first - 1] < v)) return first;
    // x[lo] < v holds throughout; halving the interval keeps the result in [first, last] whatever the order.
    int32_t lo = first;
    int32_t hi = last + 1;
    while (hi - lo > 1) {
        const int32_t mid = lo + (hi - lo) / 2;
        if (x[mid - 1] < v)
            lo = mid;
        else
            hi = mid;
    }
    return lo;
}

// The symbol circle of radius `half` on the pixel grid: rows y - half .. y + half - 1 around the centre (x,
// y), row r covering columns x - w[r] .. x + w[r] - 1, a pixel taken when its centre lies within the radius.
// The circle is 2 * half pixels across both ways.
std::vector<int32_t> SymbolSpans(int32_t half) {
    std::vector<int32_t> w(static_cast<size_t>(2 * half));
    const double r2 = static_cast<double>(half) * half;
    for (int32_t r = 0; r < 2 * half; ++r) {
        const double dy = r - half + 0.5;
        int32_t n = 0;
        while (n < half && (n + 0.5) * (n + 0.5) + dy * dy <= r2) ++n;
        w[static_cast<size_t>(r)] = n;
    }
    return w;
}

QImage SymbolStamp(int32_t half, const QColor& c) {
    QImage stamp(2 * half, 2 * half, QImage::Format_ARGB32_Premultiplied);
    stamp.fill(Qt::transparent);
    const std::vector<int32_t> spans = SymbolSpans(half);
    const QRgb px = c.rgba();
    for (int32_t r = 0; r < 2 * half; ++r)
        for (int32_t x = half - spans[static_cast<size_t>(r)]; x < half + spans[static_cast<size_t>(r)]; ++x)
            stamp.setPixel(x, r, px);
    return stamp;
}

// The union of the symbol circles of radius `half` around the centres, filled row by row: the same pixels as
// one stamp per centre, but each row of the surface is visited once instead of every circle pixel by pixel,
// which matters when large symbols crowd a dense curve.
void FillCircles(QPainter& surface, std::vector<QPoint>& centres, int32_t half, const QColor& c) {
    const QPaintDevice* device = surface.device();
    if (centres.empty() || device == nullptr) return;
    const std::vector<int32_t> spans = SymbolSpans(half);
    std::sort(centres.begin(), centres.end(), [](QPoint a, QPoint b) { return a.y() < b.y(); });
    int32_t left = centres.front().x(), right = left; // right: one past the last column
    for (const QPoint& q : centres) {
        left = std::min(left, q.x() - half);
        right = std::max(right, q.x() + half);
    }
    left = std::max(left, 0);
    right = std::min(right, device->width());
    const int32_t top = std::max(0, centres.front().y() - half);
    const int32_t bottom = std::min(device->height(), centres.back().y() + half);
    if (right <= left) return;
    // reach[i]: the furthest end (exclusive) of the spans of this row that start at column left + i.
    std::vector<int32_t> reach(static_cast<size_t>(right - left), 0);
    size_t lo = 0, hi = 0;
    for (int32_t row = top; row < bottom; ++row) {
        // Centres whose circle covers this row: row - half < y <= row + half.
        while (hi < centres.size() && centres[hi].y() <= row + half) ++hi;
        while (lo < hi && centres[lo].y() <= row - half) ++lo;
        if (lo == hi) continue;
        std::fill(reach.begin(), reach.end(), 0);
        for (size_t k = lo; k < hi; ++k) {
            const int32_t w = spans[static_cast<size_t>(row - centres[k].y() + half)];
            const int32_t start = std::max(centres[k].x() - w, left);
            const int32_t end = std::min(centres[k].x() + w, right);
            if (start >= end) continue;
            int32_t& r = reach[static_cast<size_t>(start - left)];
            r = std::max(r, end);
        }
        int32_t end = left, runStart = -1;
        for (int32_t x = left; x <= right; ++x) {
            if (x < right) end = std::max(end, reach[static_cast<size_t>(x - left)]);
            const bool covered = x < end;
            if (covered && runStart < 0) runStart = x;
            if (!covered && runStart >= 0) {
                surface.fillRect(runStart, row, x - runStart, 1, c);
                runStart = -1;
            }
        }
    }
}

// A raster surface of one device pixel per pixel, where symbols are stamped pixel by pixel. A picture, or an
// image of a screen with several device pixels per pixel, gets true circles instead.
bool PixelRaster(QPainter& surface) {
    return surface.paintEngine() != nullptr && surface.paintEngine()->type() == QPaintEngine::Raster &&
           surface.device() != nullptr && surface.device()->devicePixelRatio() == 1.0;
}

} // namespace

Qt::PenStyle ToQtPenStyle(TPenStyle style) {
    switch (style) {
    case psDash:
        return Qt::DashLine;
    case psDot:
        return Qt::DotLine;
    case psDashDot:
        return Qt::DashDotLine;
    case psDashDotDot:
        return Qt::DashDotDotLine;
    case psSolid:
        break;
    }
    return Qt::SolidLine;
}

TPenStyle FromQtPenStyle(Qt::PenStyle style) {
    switch (style) {
    case Qt::DashLine:
        return psDash;
    case Qt::DotLine:
        return psDot;
    case Qt::DashDotLine:
        return psDashDot;
    case Qt::DashDotDotLine:
        return psDashDotDot;
    default:
        return psSolid;
    }
}

void VisibleRange(const TCurveA& curve, int32_t first, int32_t last, double xmin, double xmax, int32_t& i1,
                  int32_t& i2) {
    i1 = LastBelow(curve, first, last, xmin);
    i2 = LastBelow(curve, first, last, xmax);
    if (i2 < last) ++i2;
}

int32_t DecimationStep(int32_t n) {
    if (n > 20000) return 5;
    if (n > 3000) return 3;
    if (n > 1200) return 2;
    return 1;
}

TPlottedCurve::TPlottedCurve(int32_t size) : TCurveB(size) {}

TPlottedCurve::TPlottedCurve(const TCurveB& source) : TCurveB(0) {
    TCurveB::CreateCopy(source);
}

TPlottedCurve::TPlottedCurve(TCurveB&& source) : TCurveB(std::move(source)) {
    // As a copy would have it: room for the points and no more.
    if (Capacity() > Count()) SetCapacity(Count());
}

void TPlottedCurve::CopyHeaderAndStyle(const TPlottedCurve& source) {
    CopyHeader(source);
    SetStyle(source.GetStyle());
}

void TPlottedCurve::ToTable(TCurveTable& table) const {
    const auto n = static_cast<size_t>(Count());
    table.X.assign(XData(), XData() + n);
    table.Y.assign(YData(), YData() + n);
    table.Resize(Count() + 1);
}

bool TPlottedCurve::FromTable(const TCurveTable& table) {
    std::vector<double> xs, ys;
    xs.reserve(table.X.size());
    ys.reserve(table.Y.size());
    for (size_t i = 0; i < table.X.size(); ++i)
        if (TCurveTable::HasValue(table.X[i]) && TCurveTable::HasValue(table.Y[i])) {
            xs.push_back(table.X[i]);
            ys.push_back(table.Y[i]);
        }
    const auto n = static_cast<int32_t>(xs.size());
    // Compared bit for bit: a table that was only looked at leaves its curve saved.
    const auto same = [n](const double* a, const std::vector<double>& b) {
        return n == 0 || std::memcmp(a, b.data(), sizeof(double) * static_cast<size_t>(n)) == 0;
    };
    if (n == Count() && same(XData(), xs) && same(YData(), ys)) return false;
    // Rows added, removed or moved in x take the points away from their sigma values.
    if (!(n == Count() && same(XData(), xs))) DropSigma();
    SetCount(n);
    std::copy(xs.begin(), xs.end(), XData());
    std::copy(ys.begin(), ys.end(), YData());
    CalcRanges();
    MarkModified();
    return true;
}

CurveStyle TPlottedCurve::GetStyle() const {
    return {static_cast<uint8_t>(line),
            static_cast<uint8_t>(symbol),
            linecolor,
            static_cast<uint8_t>(linestyle),
            SymbolSize,
            symbolstyle,
            SymbolColor,
            static_cast<uint8_t>(errorbars)};
}

void TPlottedCurve::SetStyle(const CurveStyle& style) {
    line = style.line != 0;
    symbol = style.symbol != 0;
    linecolor = style.linecolor;
    linestyle = style.linestyle <= psDashDotDot ? static_cast<TPenStyle>(style.linestyle) : psSolid;
    SymbolSize = style.SymbolSize;
    symbolstyle = style.symbolstyle;
    SymbolColor = style.SymbolColor;
    errorbars = style.errorbars != 0;
}

int32_t TPlottedCurve::ErrorBarCap() const {
    const double r = std::nearbyint(3 * SymbolScale);
    return r >= 1.0 ? static_cast<int32_t>(std::min<double>(r, MaxSymbolRadius)) : 1;
}

int32_t TPlottedCurve::SymbolRadius() const {
    const double r = std::nearbyint(SymbolSize * SymbolScale); // halves to even
    if (!(r > 0.0)) return 0;
    return static_cast<int32_t>(std::min<double>(r, MaxSymbolRadius));
}

void TPlottedCurve::Draw(int32_t first, int32_t last, const TWin& grid, QPainter& surface, TPenMode penMode,
                         bool /*active: drawn like the others, only later*/) const {
    first = std::max(first, 1);
    last = std::min(last, Count());
    if (Count() == 0 || first > last) return;

    surface.save();
    const bool copyMode = penMode == TPenMode::Copy;
    surface.setCompositionMode(CompositionOf(penMode));
    surface.setRenderHint(QPainter::Antialiasing, false);
    const int32_t half = SymbolRadius();

    int32_t i1 = first;
    int32_t i2 = last;
    VisibleRange(*this, first, last, grid.WorldMin.x, grid.WorldMax.x, i1, i2);
    const int32_t step = DecimationStep(i2 - i1);
    const double* xs = XData();
    const double* ys = YData();
    auto dev = [&](int32_t i) {
        return QPoint(grid.WorldToDeviceX(xs[i - 1]), grid.WorldToDeviceY(ys[i - 1]));
    };

    if (line) {
        QPen pen(ToQColor(linecolor), 1, ToQtPenStyle(linestyle));
        surface.setPen(pen);
        surface.setBrush(Qt::NoBrush);
        TSegmentBatch poly(surface, copyMode && linestyle == psSolid);
        // A point further than MaxDeviceOffset from the plot maps to device 0; a segment to or from such a
        // point is cut at the frame (grown by a pixel) in exact coordinates instead, and so is a segment
        // between two points outside that crosses the plot (zoomed into a steep stretch of few points):
        // otherwise the line would run to the device's corner or vanish.
        const double bl = grid.Left() - 1.0, br = grid.Right() + 1.0, bt = grid.Top() - 1.0,
                     bb = grid.Bottom() + 1.0;
        auto exact = [&](int32_t i) {
            return QPointF(grid.WorldToDeviceXF(xs[i - 1]), grid.WorldToDeviceYF(ys[i - 1]));
        };
        // Only a point at device 0 can have been mapped there from far away.
        auto far = [&](int32_t i, QPoint d) {
            if (d.x() != 0 && d.y() != 0) return false;
            const QPointF e = exact(i);
            return !(std::fabs(e.x() - grid.DevTopLeft.x) <= MaxDeviceOffset &&
                     std::fabs(e.y() - grid.DevBottomRight.y) <= MaxDeviceOffset);
        };
        int32_t current = i1; // the point the batch stands on, or 0 after a cut segment
        auto segment = [&](int32_t a, QPoint da, int32_t b, QPoint db, bool onlyCrossing) {
            const bool exactEnds = !far(a, da) && !far(b, db);
            if (exactEnds) {
                // Both on one outer side of the frame: nothing of the segment shows.
                if (onlyCrossing && ((da.x() < bl && db.x() < bl) || (da.x() > br && db.x() > br) ||
                                     (da.y() < bt && db.y() < bt) || (da.y() > bb && db.y() > bb)))
                    return;
                if (!onlyCrossing) {
                    if (current != a) poly.MoveTo(da);
                    poly.LineTo(db);
                    current = b;
                    return;
                }
            }
            const QPointF ea = exact(a), eb = exact(b);
            // The part of a -> b within the grown frame, if any.
            double t0 = 0.0, t1 = 1.0;
            const double dx = eb.x() - ea.x(), dy = eb.y() - ea.y();
            if (!ClipSegment(ea.x(), ea.y(), eb.x(), eb.y(), bl, bt, br, bb, t0, t1)) return;
            if (exactEnds) {
                poly.MoveTo(da);
                poly.LineTo(db);
                current = b;
                return;
            }
            auto at = [&](double t) {
                return QPoint(static_cast<int>(std::floor(ea.x() + t * dx)),
                              static_cast<int>(std::floor(ea.y() + t * dy)));
            };
            poly.MoveTo(at(t0));
            poly.LineTo(at(t1));
            current = 0;
        };
        QPoint previousDev = dev(i1);
        poly.MoveTo(previousDev);
        int32_t out = 0;
        int32_t previous = i1;
        for (int32_t i = i1 + 1; i <= i2; i += step) {
            const QPoint p = dev(i);
            if (grid.PtInside({p.x(), p.y()}) && !far(i, p))
                out = out >= 2 ? -1 : 0;
            else
                ++out;
            if (out == -1) {
                // Re-enter from the point just before this one, not from the last point drawn.
                segment(i - 1, i - 1 == previous ? previousDev : dev(i - 1), i, p, false);
                out = 0;
            } else {
                segment(previous, previousDev, i, p, out >= 2);
            }
            previous = i;
            previousDev = p;
        }
        poly.Flush();
        // A curve of one visible point has no line to draw: it shows as a dot of the line's colour, so that a
        // one-point curve is not invisible.
        if (i1 == i2 && !symbol && grid.PtInside({dev(i1).x(), dev(i1).y()}))
            surface.fillRect(QRect(dev(i1) - QPoint(1, 1), QSize(3, 3)), ToQColor(linecolor));
    }

    if (ShowsErrorBars()) {
        // Vertical spans of one pixel, cut at the plot rectangle; a cap marks each end that lies inside.
        const QColor c = ToQColor(ErrorBarColor());
        const int32_t cap = ErrorBarCap();
        const double* sigma = SigmaData();
        for (int32_t i = i1; i <= i2; i += step) {
            const double s = std::fabs(sigma[i - 1]);
            if (!(s > 0.0) || !std::isfinite(s)) continue;
            const int32_t x = grid.WorldToDeviceX(xs[i - 1]);
            if (x < grid.Left() || x > grid.Right()) continue;
            double top = grid.WorldToDeviceYF(ys[i - 1] + s), bottom = grid.WorldToDeviceYF(ys[i - 1] - s);
            if (std::isnan(top) || std::isnan(bottom)) continue;
            if (top > bottom) std::swap(top, bottom);
            const int32_t y1 = static_cast<int32_t>(std::max<double>(top, grid.Top()));
            const int32_t y2 = static_cast<int32_t>(std::min<double>(bottom, grid.Bottom()));
            if (y1 > y2) continue;
            surface.fillRect(x, y1, 1, y2 - y1 + 1, c);
            if (top >= grid.Top()) surface.fillRect(x - cap, y1, 2 * cap + 1, 1, c);
            if (bottom <= grid.Bottom()) surface.fillRect(x - cap, y2, 2 * cap + 1, 1, c);
        }
    }

    if (symbol && half > 0) {
        const QColor c = ToQColor(SymbolColor);
        const int32_t gl = grid.Left() - half, gr = grid.Right() + half;
        const int32_t gt = grid.Top() - half, gb = grid.Bottom() + half;
        auto each = [&](auto&& drawAt) {
            for (int32_t i = i1; i <= i2; i += step) {
                const int32_t x = grid.WorldToDeviceX(xs[i - 1]);
                if (x < gl || x > gr) continue;
                const int32_t y = grid.WorldToDeviceY(ys[i - 1]);
                if (y < gt || y > gb) continue;
                drawAt(x, y);
            }
        };
        const bool raster = PixelRaster(surface);
        std::function<void(int32_t, int32_t)> drawAt;
        const QImage stamp = raster && copyMode ? SymbolStamp(half, c) : QImage();
        const std::vector<int32_t> spans = raster && !copyMode ? SymbolSpans(half) : std::vector<int32_t>();
        if (!raster) {
            // Vector surfaces (pictures, SVG, PDF) get true circles.
            surface.setPen(Qt::NoPen);
            surface.setBrush(c);
            drawAt = [&](int32_t x, int32_t y) {
                surface.drawEllipse(QRectF(x - half, y - half, 2.0 * half, 2.0 * half));
            };
        } else if (copyMode) {
            drawAt = [&](int32_t x, int32_t y) { surface.drawImage(QPoint(x - half, y - half), stamp); };
        } else {
            drawAt = [&](int32_t x, int32_t y) {
                for (int32_t r = 0; r < 2 * half; ++r)
                    surface.fillRect(x - spans[static_cast<size_t>(r)], y - half + r,
                                     2 * spans[static_cast<size_t>(r)], 1, c);
            };
        }
        const int32_t visits = (i2 - i1) / step + 1;
        if (copyMode && visits > FastPathPoints && gr >= gl && gb >= gt) {
            // Once per distinct centre: drawing the same opaque circle twice at a place changes no pixel, and
            // dense curves put many points on one pixel.
            const int64_t w = static_cast<int64_t>(gr) - gl + 1;
            const int64_t h = static_cast<int64_t>(gb) - gt + 1;
            std::vector<bool> done(static_cast<size_t>(w * h), false);
            std::vector<QPoint> centres;
            const bool byRows = raster && half >= RowFillRadius;
            each([&](int32_t x, int32_t y) {
                const size_t k = static_cast<size_t>((y - gt) * w + (x - gl));
                if (done[k]) return;
                done[k] = true;
                if (byRows)
                    centres.emplace_back(x, y);
                else
                    drawAt(x, y);
            });
            if (byRows) FillCircles(surface, centres, half, c);
        } else {
            each(drawAt);
        }
    }
    surface.restore();
}

void TPlottedCurve::DrawOffset(int32_t first, int32_t last, const TWin& grid, QPainter& surface,
                               TPenMode penMode, bool active) const {
    // A private copy of the mapping: the grid itself stays as it was.
    TWin shifted = grid;
    shifted.DevTopLeft = {1, 1};
    shifted.DevBottomRight = {grid.Right() - grid.Left() + 1, grid.Bottom() - grid.Top() + 1};
    shifted.UpdateScale();
    Draw(first, last, shifted, surface, penMode, active);
}

void TPlottedCurve::DrawPreview(QPainter& surface, int32_t width, int32_t height) const {
    surface.save();
    surface.setRenderHint(QPainter::Antialiasing, false);
    if (line) {
        surface.setPen(QPen(ToQColor(linecolor), 1, ToQtPenStyle(linestyle)));
        surface.drawLine(0, height / 2, width - 1, height / 2);
    }
    if (symbol) {
        const int32_t s = std::clamp(SymbolSize, 0, MaxSymbolRadius);
        const bool raster = PixelRaster(surface);
        if (raster && s > 0) {
            surface.drawImage(QPoint(width / 2 - s, height / 2 - s), SymbolStamp(s, ToQColor(SymbolColor)));
        } else {
            surface.setPen(Qt::NoPen);
            surface.setBrush(ToQColor(SymbolColor));
            surface.drawEllipse(QRectF(width / 2 - s, height / 2 - s, 2.0 * s, 2.0 * s));
        }
    }
    surface.restore();
}

void TPlottedCurve::DrawPreview(QImage& image) const {
    QPainter p(&image);
    DrawPreview(p, image.width(), image.height());
}
