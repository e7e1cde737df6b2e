#include "plot/w_curve.h"

#include "curves/curvefile.h"

#include <QImage>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

const std::array<TColor, 12> CurveColorTable = {
    0x00FF00, // lime
    0xFF00FF, // fuchsia
    0x00FFFF, // yellow
    0xFFFFFF, // white
    0xFFFF00, // aqua
    0xFFFFFF, // white
    0xC0C0C0, // silver
    0xFF0000, // blue
    0x008080, // olive
    0x008000, // green
    0xFFFFFF, // white
    0x008080, // olive
};

namespace {

// Puts the shared symbol scale back however PaintTo is left.
class TSymbolScaleGuard {
public:
    explicit TSymbolScaleGuard(double scale) : saved_(SymbolScale) { SymbolScale = scale; }
    ~TSymbolScaleGuard() { SymbolScale = saved_; }
    TSymbolScaleGuard(const TSymbolScaleGuard&) = delete;
    TSymbolScaleGuard& operator=(const TSymbolScaleGuard&) = delete;

private:
    double saved_;
};

// On a white page (printing, a white picture) a curve in the background colour would vanish, and the
// default colour table holds white three times: such curves are drawn black while the guard lives.
class TBlackOnWhite {
public:
    explicit TBlackOnWhite(WCurveSet& set) {
        constexpr TColor White = 0xFFFFFF;
        if (set.Grid.BackgrColor != White) return;
        for (int32_t i = 1; i <= set.Count(); ++i) {
            TPlottedCurve& c = *set.Curve(i);
            if (c.linecolor != White && c.SymbolColor != White) continue;
            saved_.push_back({&c, c.linecolor, c.SymbolColor});
            if (c.linecolor == White) c.linecolor = 0x000000;
            if (c.SymbolColor == White) c.SymbolColor = 0x000000;
        }
    }
    ~TBlackOnWhite() {
        for (const TSaved& s : saved_) {
            s.curve->linecolor = s.line;
            s.curve->SymbolColor = s.symbol;
        }
    }
    TBlackOnWhite(const TBlackOnWhite&) = delete;
    TBlackOnWhite& operator=(const TBlackOnWhite&) = delete;

private:
    struct TSaved {
        TPlottedCurve* curve;
        TColor line, symbol;
    };
    std::vector<TSaved> saved_;
};

} // namespace

TCurveB ParsePasteText(std::string_view text) {
    constexpr size_t MaxRun = 40;
    auto isNumber = [](char c) {
        return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'E' || c == 'e';
    };
    auto isSeparator = [](char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' ' || c == ','; };
    size_t pos = 0;
    auto run = [&](auto&& accept) {
        const size_t start = pos;
        while (pos < text.size() && accept(text[pos])) ++pos;
        return text.substr(start, std::min(pos - start, MaxRun));
    };
    TCurveB curve;
    while (pos < text.size()) {
        const size_t passStart = pos;
        run(isSeparator);
        const std::string_view first = run(isNumber);
        const std::string_view separator = run(isSeparator);
        if (separator.find_first_of("\r\n") == std::string_view::npos) {
            const std::string_view second = run(isNumber);
            double x = 0.0, y = 0.0;
            if (curvefile::ConvertNumber(first, x) && curvefile::ConvertNumber(second, y))
                curve.AddPoint(x, y);
        }
        // A character that starts no number: the rest of its line is not data.
        if (pos == passStart) pos = std::min(text.size(), text.find_first_of("\r\n", pos));
    }
    curve.CalcRanges();
    return curve;
}

bool ParseCurveBlock(std::string_view block, TCurveB& curve) {
    static_assert(std::endian::native == std::endian::little,
                  "the block is read in the machine's byte order");
    curve = TCurveB();
    int32_t n = 0;
    if (block.size() < sizeof n) return false;
    std::memcpy(&n, block.data(), sizeof n);
    if (n < 0 || block.size() != 16 * static_cast<size_t>(n) + 4) return false;
    if (n == 0) return true; // no points: the arrays of an empty curve are no place to copy to
    TCurveB c(n);
    c.SetCount(n);
    std::memcpy(c.XData(), block.data() + 4, 8 * static_cast<size_t>(n));
    std::memcpy(c.YData(), block.data() + 4 + 8 * static_cast<size_t>(n), 8 * static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i)
        if (!std::isfinite(c.XData()[i]) || !std::isfinite(c.YData()[i])) return false;
    c.CalcRanges();
    curve = std::move(c);
    return true;
}

std::string CurveClipboardText(const TCurveA& curve) {
    std::string text;
    text.reserve(static_cast<size_t>(curve.Count()) * 32);
    // Eight significant digits where they read back to the same double, as many as the value needs (up to
    // 17) where they do not: time stamps a second apart stay apart in a spreadsheet.
    auto number = [&text](double v) {
        char buf[40];
        char* end = buf;
        for (int decimals = 7; decimals <= 16; ++decimals) {
            end = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, decimals).ptr;
            double back = 0.0;
            std::from_chars(buf, end, back);
            if (back == v) break;
        }
        std::replace(buf, end, 'e', 'E');
        text.append(buf, end);
    };
    for (int32_t i = 1; i <= curve.Count(); ++i) {
        number(curve.X(i));
        text += '\t';
        number(curve.Y(i));
        text += "\r\n";
    }
    return text;
}

std::string CurveBlock(const TCurveA& curve) {
    const int32_t n = curve.Count();
    const size_t bytes = 8 * static_cast<size_t>(n);
    std::string block(4 + 2 * bytes, '\0');
    std::memcpy(block.data(), &n, sizeof n);
    if (n > 0) {
        std::memcpy(block.data() + 4, curve.XData(), bytes);
        std::memcpy(block.data() + 4 + bytes, curve.YData(), bytes);
    }
    return block;
}

WCurveSet::WCurveSet() {
    for (size_t i = 0; i < Colors.size(); ++i) Colors[i] = CurveColorTable[i % CurveColorTable.size()];
}

void WCurveSet::SetActiveAndNotify(int32_t n) {
    SetActive(n);
    if (RedrawOnActivate) Redraw();
    if (OnActiveChanged) OnActiveChanged(*this);
}

void WCurveSet::SetActiveWrap(int32_t n) {
    if (count_ < 2 || n == active_) return;
    if (n > count_)
        n = 1;
    else if (n < 1)
        n = count_;
    active_ = n;
    if (RedrawOnActivate)
        Redraw();
    else
        Notify();
    if (OnActiveChanged) OnActiveChanged(*this);
}

void WCurveSet::SetCountAndRedraw(int32_t n) {
    SetCount(n);
    Redraw();
}

bool WCurveSet::AddCurve(TCurveB curve, bool rescale, bool redraw) {
    if (!Add(std::move(curve))) return false;
    TPlottedCurve& c = *Curve(count_);
    c.linecolor = c.SymbolColor = SlotColor(count_);
    c.SymbolSize = DefaultCurveProps.SymbolSize;
    c.linestyle = psSolid;
    c.symbolstyle = 0;
    c.line = DefaultCurveProps.Lines;
    c.symbol = DefaultCurveProps.Symbols;
    if (rescale) Rescale();
    if (redraw) Redraw();
    return true;
}

void WCurveSet::DeleteCurve(int32_t n, bool rescale, bool redraw) {
    if (n < 1 || n > count_) return;
    Remove(n);
    if (rescale) {
        if (count_ == 0)
            Grid.SetWorld({0.0, 0.0}, {10.0, 10.0});
        else
            Rescale();
    }
    if (redraw) Redraw();
}

void WCurveSet::Rescale() {
    RealPoint min, max;
    RescaleRange(min, max);
    Grid.SetWorld(min, max);
}

void WCurveSet::RescaleRange(RealPoint& min, RealPoint& max) const {
    min = Min;
    max = Max;
    RealPoint lo{0.0, 0.0}, hi{0.0, 0.0};
    bool any = false;
    for (int32_t i = 1; i <= count_; ++i) {
        const TPlottedCurve& c = *Curve(i);
        if (c.Count() == 0) continue;
        lo = any ? RealPoint{std::min(lo.x, c.XMin), std::min(lo.y, c.YMin)} : RealPoint{c.XMin, c.YMin};
        hi = any ? RealPoint{std::max(hi.x, c.XMax), std::max(hi.y, c.YMax)} : RealPoint{c.XMax, c.YMax};
        any = true;
    }
    if (!any) return;
    auto axis = [](double lo, double hi, bool log, double& min, double& max) {
        if (lo < min || hi > max) {
            min = lo;
            max = hi;
        }
        if (min != max) return;
        // Otherwise the axes would fall back to v .. v + 1 with the curve on the frame, or off the picture.
        if (log && min > 0.0) {
            max = min * 10.0;
            min /= 10.0;
        } else if (!log) {
            // A third of the way up rather than in the middle, where the default four divisions would lay
            // a grid line over the curve.
            const double d = std::max(1.0, std::fabs(min) * 0.1);
            max = min + 2.0 * d;
            min -= d;
        }
        // Near the largest double the widened ends stop at it.
        const double top = std::numeric_limits<double>::max();
        max = std::clamp(max, -top, top);
        min = std::clamp(min, -top, top);
    };
    axis(lo.x, hi.x, Grid.XLog, min.x, max.x);
    axis(lo.y, hi.y, Grid.YLog, min.y, max.y);
}

void WCurveSet::RescaleAndRedraw() {
    Rescale();
    Redraw();
}

void WCurveSet::RecomputeAndRedraw() {
    RecomputeRanges();
    Redraw();
}

void WCurveSet::ZoomBy(double xFactor, double xShift, double yFactor, double yShift) {
    Grid.Zoom(xFactor, xShift, yFactor, yShift);
    Redraw();
}

void WCurveSet::ResetColors(bool redraw) {
    for (int32_t i = 1; i <= count_; ++i) {
        TPlottedCurve& c = *Curve(i);
        c.linecolor = c.SymbolColor = SlotColor(i);
    }
    if (redraw) RecomputeAndRedraw();
}

bool WCurveSet::AddFromText(std::string_view text, bool rescale, bool redraw) {
    TCurveB curve = ParsePasteText(text);
    return curve.Count() == 0 || !AddCurve(std::move(curve), rescale, redraw);
}

bool WCurveSet::AddFromBlock(std::string_view block, bool rescale, bool redraw) {
    TCurveB curve;
    return !ParseCurveBlock(block, curve) || curve.Count() == 0 ||
           !AddCurve(std::move(curve), rescale, redraw);
}

void WCurveSet::DrawCurves(QPainter& surface, bool offset) const {
    // Drawing through a copy of the grid's mapping leaves the grid untouched, also with offset.
    TWin mapping = Grid;
    if (offset) {
        mapping.DevTopLeft = {1, 1};
        mapping.DevBottomRight = {Grid.Right() - Grid.Left() + 1, Grid.Bottom() - Grid.Top() + 1};
        mapping.UpdateScale();
    }
    for (int32_t i = 1; i <= count_; ++i)
        if (i != active_) Curve(i)->Draw(1, Curve(i)->Count(), mapping, surface, TPenMode::Copy, false);
    if (const TPlottedCurve* a = ActiveCurve())
        a->Draw(1, a->Count(), mapping, surface, TPenMode::Copy, true);
}

void WCurveSet::PaintTo(QPainter& surface, int32_t width, int32_t height, double factor) {
    const TSymbolScaleGuard scale(factor);
    const double screenTextScale = std::exchange(Grid.TextScale, factor);
    surface.save();
    QFont font = surface.font();
    // Font sizes are whole numbers, rounded with halves to even.
    if (font.pointSizeF() > 0)
        font.setPointSize(std::max(1, static_cast<int>(std::nearbyint(font.pointSizeF() * factor))));
    else if (font.pixelSize() > 0)
        font.setPixelSize(std::max(1, static_cast<int>(std::nearbyint(font.pixelSize() * factor))));
    surface.setFont(font);

    Grid.Layout(surface, width, height);
    const int32_t l = Grid.Left(), t = Grid.Top(), r = Grid.Right(), b = Grid.Bottom();
    // Background of the plot with an outline in the current pen, columns l - 1 .. r and rows t - 1 .. b.
    if (r >= l - 1 && b >= t - 1) {
        surface.fillRect(QRect(QPoint(l - 1, t - 1), QPoint(r, b)), ToQColor(Grid.BackgrColor));
        const QColor pen = surface.pen().color();
        surface.fillRect(l - 1, t - 1, r - l + 2, 1, pen);
        surface.fillRect(l - 1, b, r - l + 2, 1, pen);
        surface.fillRect(l - 1, t - 1, 1, b - t + 2, pen);
        surface.fillRect(r, t - 1, 1, b - t + 2, pen);
    }
    if (r >= l && b >= t) {
        surface.setClipRect(QRect(QPoint(l, t), QPoint(r, b)));
        const TBlackOnWhite visible(*this);
        DrawCurves(surface, false);
        surface.setClipping(false);
    }
    Grid.Draw(surface, width, height);
    if (Legend.Shown) {
        const TBlackOnWhite visible(*this);
        Legend.Draw(*this, Grid, surface, Grid.BackgrColor);
    }
    surface.restore();
    Grid.TextScale = screenTextScale;
}

void WCurveSet::PaintTo(QPaintDevice& picture, double factor) {
    QPainter p(&picture);
    PaintTo(p, picture.width(), picture.height(), factor);
}

void WCurveSet::PreviewOfCurve(int32_t n, QImage& image) const {
    const TPlottedCurve* c = Curve(n);
    image.fill(ToQColor(Grid.BackgrColor));
    if (c != nullptr) c->DrawPreview(image);
}

void WCurveSet::Redraw() {
    if (!DrawEnabled) return;
    if (OwnerPanel != nullptr) OwnerPanel->Notify(notify::RebuildImage, 0, 0);
    Notify();
    if (OnInvalidate) OnInvalidate(*this);
}

void WCurveSet::Notify() {
    if (OnChanged) OnChanged(*this);
    if (NotifyWindow != nullptr) {
        NotifyWindow->Notify(notify::SetChanged, 0, 0);
        NotifyWindow->Notify(notify::Repainted, 0, 0);
    }
}
