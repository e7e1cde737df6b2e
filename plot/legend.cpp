#include "plot/legend.h"

#include "plot/CurveSet.h"
#include "plot/curve_plot.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>

namespace {
// Names longer than this many average characters are cut with an ellipsis.
constexpr int MaxNameChars = 40;

// Points looked at per curve to find the emptiest corner; a longer curve is sampled evenly.
constexpr int32_t CountedPoints = 200000;

// Text and frame in black on a light background, in white on a dark one (the window's default is black).
QColor TextColorOn(TColor background) {
    const QColor c = ToQColor(background);
    return c.red() * 299 + c.green() * 587 + c.blue() * 114 >= 128000 ? QColor(Qt::black) : QColor(Qt::white);
}

// The distance of an automatically placed box from the plot's frame.
int Margin(int pad) {
    return 2 * pad;
}

// Whether the segment a-b passes through the box.
bool Crosses(double ax, double ay, double bx, double by, const QRect& box) {
    double t0 = 0.0, t1 = 1.0;
    return ClipSegment(ax, ay, bx, by, box.left(), box.top(), box.left() + box.width(),
                       box.top() + box.height(), t0, t1);
}

// Rows the plot's height leaves room for.
int RowsThatFit(int plotHeight, int pad, int row) {
    return row > 0 ? (plotHeight - 2 * Margin(pad) - 2 * pad) / row : 0;
}
} // namespace

QString ShortFileName(const std::string& fileName) {
    const QString name = QString::fromStdString(fileName);
    const auto cut = std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    return name.mid(cut + 1);
}

QString LegendName(const TCurveB& curve, int32_t n) {
    QString name = ShortFileName(curve.FileName).trimmed();
    if (name.isEmpty()) name = QString::fromStdString(curve.Comment).simplified();
    if (name.isEmpty()) name = QStringLiteral("Curve #%1").arg(n);
    return name;
}

QString TLegend::Name(const TCurveSet& set, int32_t n, const QFontMetrics& fm, int plotWidth) const {
    const int most =
        std::max(fm.averageCharWidth(), std::min(plotWidth / 2, fm.averageCharWidth() * MaxNameChars));
    return fm.elidedText(LegendName(*set.Curve(n), n), Qt::ElideRight, most);
}

TLegend::TRows TLegend::Measure(const TCurveSet& set, const QFontMetrics& fm, int plotWidth,
                                int plotHeight) const {
    TRows r;
    const int th = fm.height();
    r.pad = std::max(2, th / 3);
    int radius = 0;
    for (int32_t i = 1; i <= set.Count(); ++i)
        if (set.Curve(i)->symbol) radius = std::max(radius, set.Curve(i)->SymbolRadius());
    r.row = std::max(th, 2 * radius + 2);
    r.sample = std::max(2 * th, 2 * radius + r.pad);
    const int fit = RowsThatFit(plotHeight, r.pad, r.row);
    const int n = set.Count();
    if (n <= fit) {
        r.shown = n;
    } else if (fit >= 2) {
        r.shown = fit - 1;
        r.hidden = n - r.shown;
    } else {
        return {}; // not even a name and the count of the others fit
    }
    for (int32_t i = 1; i <= r.shown; ++i)
        r.textWidth = std::max(r.textWidth, int(fm.horizontalAdvance(Name(set, i, fm, plotWidth))));
    if (r.hidden > 0)
        r.textWidth =
            std::max(r.textWidth, int(fm.horizontalAdvance(QStringLiteral("+ %1 more").arg(r.hidden))));
    return r;
}

QRect TLegend::Box(const TCurveSet& set, const TWin& grid, QPainter& surface) const {
    if (set.Count() == 0) return {};
    const QFontMetrics fm(surface.font(), surface.device());
    const int pw = grid.Right() - grid.Left(), ph = grid.Bottom() - grid.Top();
    const TRows r = Measure(set, fm, pw, ph);
    if (r.shown + r.hidden == 0) return {};
    const int rows = r.shown + (r.hidden > 0 ? 1 : 0);
    const QSize size(3 * r.pad + r.sample + r.textWidth, 2 * r.pad + rows * r.row);
    if (Place) {
        const int x =
            grid.Left() +
            static_cast<int>(std::lround(std::clamp(Place->x(), 0.0, 1.0) * std::max(0, pw - size.width())));
        const int y =
            grid.Top() +
            static_cast<int>(std::lround(std::clamp(Place->y(), 0.0, 1.0) * std::max(0, ph - size.height())));
        return {QPoint(x, y), size};
    }
    // The corners in the order they are preferred on a tie: top right, top left, bottom right, bottom left.
    const int m = Margin(r.pad);
    const int left = grid.Left() + m, right = std::max(left, grid.Right() - m - size.width());
    const int top = grid.Top() + m, bottom = std::max(top, grid.Bottom() - m - size.height());
    const std::array<QRect, 4> corners{QRect(QPoint(right, top), size), QRect(QPoint(left, top), size),
                                       QRect(QPoint(right, bottom), size), QRect(QPoint(left, bottom), size)};
    // A point in a box counts once, and so does a line between two points that passes through it.
    std::array<int64_t, 4> covered{};
    for (int32_t c = 1; c <= set.Count(); ++c) {
        const TPlottedCurve& curve = *set.Curve(c);
        const int32_t step = std::max<int32_t>(1, curve.Count() / CountedPoints);
        double px = 0.0, py = 0.0;
        for (int32_t i = 1; i <= curve.Count(); i += step) {
            const double x = grid.WorldToDeviceXF(curve.X(i)), y = grid.WorldToDeviceYF(curve.Y(i));
            for (size_t k = 0; k < corners.size(); ++k) {
                const QRect& b = corners[k];
                if (x >= b.left() && x < b.left() + b.width() && y >= b.top() && y < b.top() + b.height())
                    ++covered[k];
                else if (curve.line && i > 1 && Crosses(px, py, x, y, b))
                    ++covered[k];
            }
            px = x;
            py = y;
        }
    }
    const size_t best =
        static_cast<size_t>(std::min_element(covered.begin(), covered.end()) - covered.begin());
    return corners[best];
}

void TLegend::Paint(const TCurveSet& set, const TWin& grid, QPainter& surface, QRect box,
                    TColor background) const {
    if (box.isEmpty() || set.Count() == 0) return;
    const QFontMetrics fm(surface.font(), surface.device());
    const int plotWidth = grid.Right() - grid.Left();
    const TRows r = Measure(set, fm, plotWidth, grid.Bottom() - grid.Top());
    surface.save();
    surface.setRenderHint(QPainter::Antialiasing, false);
    const QColor text = TextColorOn(background);
    surface.fillRect(box, ToQColor(background));
    // The frame as one-pixel spans, the same pixels on every surface.
    surface.fillRect(box.left(), box.top(), box.width(), 1, text);
    surface.fillRect(box.left(), box.bottom(), box.width(), 1, text);
    surface.fillRect(box.left(), box.top(), 1, box.height(), text);
    surface.fillRect(box.right(), box.top(), 1, box.height(), text);
    const int shown = r.shown;
    const int x0 = box.left() + r.pad, x1 = x0 + r.sample;
    auto textAt = [&](int row, const QString& s) {
        const int y = box.top() + r.pad + row * r.row + (r.row - fm.height()) / 2 + fm.ascent();
        surface.setPen(text);
        surface.drawText(QPoint(x1 + r.pad, y), s);
    };
    for (int32_t n = 1; n <= shown; ++n) {
        const TPlottedCurve& c = *set.Curve(n);
        const int mid = box.top() + r.pad + (n - 1) * r.row + r.row / 2;
        if (c.line) {
            surface.setPen(QPen(ToQColor(c.linecolor), 1, ToQtPenStyle(c.linestyle)));
            surface.drawLine(x0, mid, x1 - 1, mid);
        }
        if (c.ShowsErrorBars()) {
            const QColor bar = ToQColor(c.ErrorBarColor());
            const int cx = (x0 + x1) / 2, half = std::max(2, r.row / 2 - 1), cap = c.ErrorBarCap();
            surface.fillRect(cx, mid - half, 1, 2 * half + 1, bar);
            surface.fillRect(cx - cap, mid - half, 2 * cap + 1, 1, bar);
            surface.fillRect(cx - cap, mid + half, 2 * cap + 1, 1, bar);
        }
        const int radius = c.SymbolRadius();
        if (c.symbol && radius > 0) {
            surface.setPen(Qt::NoPen);
            surface.setBrush(ToQColor(c.SymbolColor));
            surface.drawEllipse(QRect((x0 + x1) / 2 - radius, mid - radius, 2 * radius, 2 * radius));
            surface.setBrush(Qt::NoBrush);
        }
        textAt(n - 1, Name(set, n, fm, plotWidth));
    }
    if (r.hidden > 0) textAt(shown, QStringLiteral("+ %1 more").arg(r.hidden));
    surface.restore();
}

void TLegend::Draw(const TCurveSet& set, const TWin& grid, QPainter& surface, TColor background) const {
    const QRect box = Box(set, grid, surface);
    if (!box.isEmpty()) Paint(set, grid, surface, box, background);
}

QRect TLegend::KeptInside(QRect box, const TWin& grid) {
    const int x = std::max(grid.Left(), std::min(box.left(), grid.Right() - box.width()));
    const int y = std::max(grid.Top(), std::min(box.top(), grid.Bottom() - box.height()));
    box.moveTo(x, y);
    return box;
}

void TLegend::PlaceAt(QRect box, const TWin& grid) {
    const QRect b = KeptInside(box, grid);
    const int roomX = grid.Right() - grid.Left() - b.width(), roomY = grid.Bottom() - grid.Top() - b.height();
    Place = QPointF(roomX > 0 ? double(b.left() - grid.Left()) / roomX : 0.0,
                    roomY > 0 ? double(b.top() - grid.Top()) / roomY : 0.0);
}
