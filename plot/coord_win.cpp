#include "plot/coord_win.h"

#include <QFont>
#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

// Not ln 10: the program's logarithms use this constant, and saved ranges and pictures depend on it.
constexpr double LogConstant = 2.30258;

// Decades walked by the logarithmic grid and labels are capped so that an infinite range cannot loop.
constexpr int MaxDecades = 800;

// Labels longer than this are cut; fixed-point text of huge values would otherwise fill the page.
constexpr int MaxLabelLength = 20;

// The value `decades` above min on a logarithmic axis; on an axis of several hundred decades the factor
// alone would leave the doubles.
double LogPoint(double min, double decades) {
    const double v = min * Pow10(decades);
    return std::isfinite(v) && v > 0.0 ? v : Pow10(Log10(min) + decades);
}

// (v - min) * scale on a linear axis, also where v - min leaves the doubles (ends near the largest double,
// whose scale is then tiny but finite).
double LinearOffset(double v, double min, double scale) {
    const double d = v - min;
    if (std::isfinite(d) || !std::isfinite(v) || !std::isfinite(min)) return d * scale;
    return (v * 0.5 - min * 0.5) * scale * 2.0;
}

int32_t MapOffset(int32_t origin, double t) {
    if (!(std::fabs(t) <= MaxDeviceOffset)) return 0; // also NaN
    return origin + static_cast<int32_t>(t);          // truncation toward zero
}

QString Caption(const QString& text) {
    return text.left(MaxCaptionLength);
}

QString Label(double v, int decimals) {
    return FormatTickLabel(v, decimals).left(MaxLabelLength);
}

// The decade 10^k as the double nearest to it. Grid lines and labels sit on these values; walking up by
// factors of 10 from Pow10(k) would carry the drift of the program's constant (0.0100001 ... 1000.01), and a
// decade at the end of the axis would be left out.
double Decade(int k) {
    char text[16];
    std::snprintf(text, sizeof text, "1e%d", k);
    return std::strtod(text, nullptr);
}

// A decade label shows its own value: at least the decimals the decade needs ("0.001" where the range alone
// would give "0.0"); below 1e-18, whose fixed-point text would not fit a label, with an exponent ("1e-19").
QString DecadeLabel(int k, int decimals) {
    if (k < -18) return QString::number(Decade(k), 'e', 0);
    return Label(Decade(k), std::max(decimals, -k));
}

// Calls f(k, 10^k) for the decades from k = first on while they are at most max. The decade where the walk
// starts comes from the program's logarithm; only the values are exact.
template <class F>
void ForDecades(double first, double max, F&& f) {
    if (!std::isfinite(first)) return;
    const int k0 = static_cast<int>(std::clamp(first, -400.0, 400.0));
    for (int k = k0; k < k0 + MaxDecades; ++k) {
        const double decade = Decade(k);
        if (!(decade <= max)) return;
        if (decade > 0.0) f(k, decade); // below the smallest double
    }
}

// Text is placed by its top-left corner, as the window system's text output does.
void TextAt(QPainter& p, const QFontMetrics& fm, int32_t x, int32_t y, const QString& s) {
    p.drawText(QPoint(x, y + fm.ascent()), s);
}

// Axis-parallel lines of one pixel as filled spans: the same pixels on every surface, no pen caps involved.
void HLine(QPainter& p, int32_t x1, int32_t x2, int32_t y, const QColor& c) { // x2 excluded
    if (x2 > x1) p.fillRect(x1, y, x2 - x1, 1, c);
}
void VLine(QPainter& p, int32_t x, int32_t y1, int32_t y2, const QColor& c) { // y2 excluded
    if (y2 > y1) p.fillRect(x, y1, 1, y2 - y1, c);
}
void Outline(QPainter& p, int32_t x1, int32_t y1, int32_t x2, int32_t y2, const QColor& c) { // all inclusive
    HLine(p, x1, x2 + 1, y1, c);
    HLine(p, x1, x2 + 1, y2, c);
    VLine(p, x1, y1, y2 + 1, c);
    VLine(p, x2, y1, y2 + 1, c);
}

// The multiples of a decade that get grid lines for a LogGridPattern value.
int GridMultiples(int pattern, int (&m)[10]) {
    if (pattern == 0) {
        m[0] = 1;
        return 1;
    }
    if (pattern == 2) {
        m[0] = 1;
        m[1] = 2;
        return 2;
    }
    for (int i = 0; i < 10; ++i) m[i] = i + 1;
    return 10;
}

} // namespace

QColor ToQColor(TColor color) {
    if ((color & 0x80000000u) != 0) return QColor(0x80, 0x80, 0x80);
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

TColor FromQColor(const QColor& color) {
    return static_cast<TColor>(color.red()) | (static_cast<TColor>(color.green()) << 8) |
           (static_cast<TColor>(color.blue()) << 16);
}

double Log10(double x) {
    return x > 0.0 ? std::log(x) / LogConstant : 0.0;
}

double LogSpan(double lo, double hi) {
    const double r = hi / lo;
    if (r >= std::numeric_limits<double>::min() && r <= std::numeric_limits<double>::max()) return Log10(r);
    return lo > 0.0 && hi > 0.0 ? Log10(hi) - Log10(lo) : Log10(r);
}

double Pow10(double y) {
    if (y >= 1000.0) return 1e8;
    if (y <= -1000.0) return 0.0;
    return std::exp(LogConstant * y);
}

// ---------------------------------------------------------------------------------------------- TWin

bool Unresolvable(double a, double b) {
    // A range is too narrow to draw when a double can hardly tell its ends apart: measured against the
    // values themselves, so that a curve spanning nanoseconds near zero keeps its own range while 1e9 .. 1e9
    // plus a rounding error does not.
    const double span = std::fabs(b - a);
    return !(span > 1e-12 * std::max(std::fabs(a), std::fabs(b))) || !(span >= 1e-300);
}

namespace {
double OffsetOf(bool log, double v, double min, double scale) {
    return log ? (min > 0.0 ? LogSpan(min, v) : 0.0) * scale : LinearOffset(v, min, scale);
}
} // namespace

int32_t TWin::WorldToDeviceX(double x) const {
    return MapOffset(DevTopLeft.x, OffsetOf(XLog, x, WorldMin.x, Scale.x));
}

int32_t TWin::WorldToDeviceY(double y) const {
    return MapOffset(DevBottomRight.y, OffsetOf(YLog, y, WorldMin.y, Scale.y));
}

double TWin::WorldToDeviceXF(double x) const {
    return DevTopLeft.x + OffsetOf(XLog, x, WorldMin.x, Scale.x);
}

double TWin::WorldToDeviceYF(double y) const {
    return DevBottomRight.y + OffsetOf(YLog, y, WorldMin.y, Scale.y);
}

double TWin::DeviceToWorldX(int32_t px) const {
    if (Scale.x == 0.0) return WorldMin.x;
    const double t = (px - DevTopLeft.x) / Scale.x;
    return XLog ? LogPoint(WorldMin.x, t) : WorldMin.x + t;
}

double TWin::DeviceToWorldY(int32_t py) const {
    if (Scale.y == 0.0) return WorldMin.y;
    const double t = (py - DevBottomRight.y) / Scale.y;
    return YLog ? LogPoint(WorldMin.y, t) : WorldMin.y + t;
}

void TWin::SetWorld(RealPoint min, RealPoint max) {
    WorldMin = min;
    WorldMax = max;
    if (XLog) {
        if (WorldMin.x <= 0.0) WorldMin.x = 1e-20;
        if (WorldMax.x <= WorldMin.x) WorldMax.x = WorldMin.x + 10.0;
    }
    if (YLog) {
        if (WorldMin.y <= 0.0) WorldMin.y = 1e-20;
        if (WorldMax.y <= WorldMin.y) WorldMax.y = WorldMin.y + 10.0;
    }
    if (Unresolvable(WorldMin.x, WorldMax.x)) WorldMax.x = WorldMin.x + 1.0;
    if (Unresolvable(WorldMin.y, WorldMax.y)) WorldMax.y = WorldMin.y + 1.0;
}

void TWin::FixLogRange() {
    auto fix = [](double& min, double& max) {
        if (max <= 0.0) max = 1.0;
        if (min <= 0.0) {
            min = 1.0;
            if (0.1 * max < min) min = 0.01 * max;
        }
    };
    if (XLog) fix(WorldMin.x, WorldMax.x);
    if (YLog) fix(WorldMin.y, WorldMax.y);
}

bool TWin::Drawable(RealPoint min, RealPoint max) {
    for (const double v : {min.x, min.y, max.x, max.y, max.x - min.x, max.y - min.y})
        if (!std::isfinite(v)) return false;
    return true;
}

void TWin::Zoom(double xFactor, double xShift, double yFactor, double yShift) {
    const double w = WorldMax.x - WorldMin.x;
    const double h = WorldMax.y - WorldMin.y;
    RealPoint min{WorldMin.x - (xFactor - 1.0) * 0.5 * w + xShift * w,
                  WorldMin.y - (yFactor - 1.0) * 0.5 * h + yShift * h};
    RealPoint max{WorldMax.x + (xFactor - 1.0) * 0.5 * w + xShift * w,
                  WorldMax.y + (yFactor - 1.0) * 0.5 * h + yShift * h};
    // Zooming far out, or panning past the end of the numbers: the world stays as it was.
    if (Drawable(min, max)) SetWorld(min, max);
}

void TWin::UpdateScale() {
    if (WorldMax.x == WorldMin.x || WorldMax.y == WorldMin.y) {
        Scale = {1.0, 1.0};
        return;
    }
    // A logarithmic range set directly (not through SetWorld) may be non-positive; its span is then 0 and
    // the axis keeps a unit scale instead of dividing by zero.
    auto scale = [](bool log, double pixels, double min, double max) {
        const double span = log ? LogSpan(min, max) : max - min;
        if (span != 0.0 && std::isfinite(span)) return pixels / span;
        // Finite ends further apart than the largest double: pixels per unit from half the span.
        const bool halves = !log && std::isfinite(min) && std::isfinite(max);
        return halves ? pixels * 0.5 / (max * 0.5 - min * 0.5) : 1.0;
    };
    Scale.x = scale(XLog, DevBottomRight.x - DevTopLeft.x, WorldMin.x, WorldMax.x);
    Scale.y = scale(YLog, DevTopLeft.y - DevBottomRight.y, WorldMin.y, WorldMax.y);
}

void TWin::SetXLog(bool on) {
    const bool turnedOn = on && !XLog;
    XLog = on;
    if (turnedOn) FixLogRange();
}

void TWin::SetYLog(bool on) {
    const bool turnedOn = on && !YLog;
    YLog = on;
    if (turnedOn) FixLogRange();
}

bool TWin::PtInsideStrict(IntPoint p) const {
    return Left() < p.x && p.x < Right() && Top() < p.y && p.y < Bottom();
}

bool TWin::PtInside(IntPoint p) const {
    return Left() <= p.x && p.x <= Right() && Top() <= p.y && p.y <= Bottom();
}

void TWin::ClipPoint(IntPoint& p) const {
    p.x = std::clamp(p.x, Left(), std::max(Left(), Right()));
    p.y = std::clamp(p.y, Top(), std::max(Top(), Bottom()));
}

bool ClipSegment(double ax, double ay, double bx, double by, double left, double top, double right,
                 double bottom, double& t0, double& t1) {
    t0 = 0.0;
    t1 = 1.0;
    const double dx = bx - ax, dy = by - ay;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {ax - left, right - ax, ay - top, bottom - ay};
    for (int k = 0; k < 4; ++k) {
        if (p[k] == 0.0) {
            if (q[k] < 0.0) return false;
            continue;
        }
        const double r = q[k] / p[k];
        if (!std::isfinite(r)) return false;
        if (p[k] < 0.0)
            t0 = std::max(t0, r);
        else
            t1 = std::min(t1, r);
        if (t0 > t1) return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------- labels

int LabelDecimals(double range) {
    const double l = std::log10(std::fabs(range));
    if (!std::isfinite(l)) return 2;
    // nearbyint rounds halves to even in the default rounding mode.
    const double r = std::clamp(std::nearbyint(l), -30.0, 30.0);
    return r > 0 ? 1 : 2 - static_cast<int>(r);
}

QString FormatFixed(double v, int decimals) {
    QString s = QString::number(v, 'f', std::clamp(decimals, 0, 30));
    // A small negative value (or -0) rounds to a zero that would keep its sign.
    if (s.startsWith(QLatin1Char('-')) && std::all_of(s.cbegin() + 1, s.cend(), [](QChar c) {
            return c == QLatin1Char('0') || c == QLatin1Char('.');
        }))
        s.remove(0, 1);
    return s;
}

QString FormatTickLabel(double v, int decimals) {
    // Fixed-point text of 1e18 and more has more than 20 characters and would be cut to a wrong number; such
    // values are written with an exponent instead.
    QString s = std::fabs(v) >= 1e18 ? QString::number(v, 'e', std::clamp(decimals, 0, 30))
                                     : FormatFixed(v, decimals);
    // So are the small values of a very narrow range near zero, whose fixed text needs more decimals than a
    // label holds: with as many digits as the decimals reach below the value's own first digit.
    // A value that rounds to zero at those decimals is zero.
    if (s.size() > MaxLabelLength) {
        const int lead = v != 0.0 ? static_cast<int>(std::floor(std::log10(std::fabs(v)))) : -decimals - 1;
        s = decimals + lead < 0 ? QStringLiteral("0")
                                : QString::number(v, 'e', std::clamp(decimals + lead, 0, 16));
    }
    return s.rightJustified(4, QLatin1Char(' '));
}

int LogGridPattern(double min, double max) {
    const double t = min > 0.0 ? LogSpan(min, max) : 0.0;
    if (t > 5) return 0;
    if (t > 2) return 2;
    return 1;
}

TRoundStep RoundStep(double range, int32_t wanted, int32_t most) {
    if (!(range > 0.0) || !std::isfinite(range) || wanted < 1 || most < 1) return {};
    // The candidates run from a decade below the even step up to half the range.
    const int from = static_cast<int>(std::floor(std::log10(range / wanted))) - 1;
    const int to = static_cast<int>(std::floor(std::log10(range))) + 1;
    TRoundStep best;
    double bestScore = std::numeric_limits<double>::infinity();
    for (int k = std::max(from, -320); k <= std::min(to, 308); ++k) {
        for (const int m : {1, 2, 5}) {
            const double step = m * Decade(k);
            const double count = range / step;
            // At least two divisions: a range of two steps holds at least two of their multiples.
            if (!(step > 0.0) || !std::isfinite(step) || count < 2.0 - 1e-9 || count > most + 1e-9) continue;
            const double score = std::fabs(std::log(count / wanted));
            // Candidates ascend: a later one wins a tie, so the wider step is taken.
            if (score <= bestScore + 1e-12) {
                bestScore = score;
                best = {step, k};
            }
        }
    }
    return best;
}

std::vector<double> RoundTickValues(double min, double max, TRoundStep s) {
    std::vector<double> values;
    if (!(s.Step > 0.0)) return values;
    // Multiples as whole numbers of the step's decade, so that 3 x 0.1 is the double of 0.3.
    const double decade = Decade(s.Exponent);
    const double mantissa = std::nearbyint(s.Step / decade);
    const double first = std::ceil(min / s.Step - 1e-9), last = std::floor(max / s.Step + 1e-9);
    if (!std::isfinite(first) || !std::isfinite(last) || std::fabs(first) > 1e15 || std::fabs(last) > 1e15 ||
        last - first >= 1000)
        return values;
    const double slack = 1e-9 * s.Step;
    for (double j = first; j <= last; ++j) {
        const double units = j * mantissa;
        // + 0.0 makes a negative zero a zero.
        const double v =
            (s.Exponent < 0 && s.Exponent >= -300 ? units / Decade(-s.Exponent) : units * decade) + 0.0;
        if (v >= min - slack && v <= max + slack) values.push_back(v);
    }
    return values;
}

// ---------------------------------------------------------------------------------------------- TGrid

TGrid::TGrid() {
    WorldMin = {0.0, 0.0};
    WorldMax = {10.0, 10.0};
    UpdateScale();
}

std::vector<TGrid::TTick> TGrid::Ticks(bool log, double min, double max, int decimals, int32_t n,
                                       double tolerance, TRoundStep round) {
    std::vector<TTick> ticks;
    if (log) {
        ForDecades(std::ceil(Log10(min) - tolerance), max, [&](int k, double decade) {
            ticks.push_back({decade, DecadeLabel(k, decimals)});
        });
        // An axis within about one decade (2 .. 8, say) holds at most one decade line: its ends are
        // labelled too, so that the axis can be read.
        if (ticks.size() < 2 && min > 0.0 && max > min) {
            const int d = std::max(decimals, LabelDecimals(max - min));
            if (ticks.empty() || ticks.front().value > min) ticks.insert(ticks.begin(), {min, Label(min, d)});
            if (ticks.back().value < max) ticks.push_back({max, Label(max, d)});
        }
    } else if (round.Step > 0.0) {
        for (const double v : RoundTickValues(min, max, round)) ticks.push_back({v, Label(v, decimals)});
    } else {
        for (int32_t i = 0; i <= n; ++i) {
            double v = min + (max - min) * i / n;
            // Near the largest double i * (max - min) overflows: the weighted ends stay within the range.
            if (!std::isfinite(v)) {
                const double t = static_cast<double>(i) / n;
                v = min * (1.0 - t) + max * t;
            }
            ticks.push_back({v, Label(v, decimals)});
        }
    }
    return ticks;
}

std::vector<TGrid::TTick> TGrid::XTicks(int decimals, int32_t n, TRoundStep round) const {
    return Ticks(XLog, WorldMin.x, WorldMax.x, decimals, n, 1e-10, round);
}

std::vector<TGrid::TTick> TGrid::YTicks(int decimals, int32_t n, TRoundStep round) const {
    return Ticks(YLog, WorldMin.y, WorldMax.y, decimals, n, 1e-8, round);
}

namespace {
// The round step of a linear axis, or none (equal parts) where its multiples cannot be drawn.
TRoundStep AxisRoundStep(double min, double max, int32_t wanted, int32_t most) {
    const TRoundStep s = RoundStep(max - min, wanted, most);
    return RoundTickValues(min, max, s).empty() ? TRoundStep{} : s;
}

// Decimals of the labels of an axis as laid out. Round divisions are not known before the plot's width is:
// the step nearest the requested divisions, unbounded, is the finest the drawing can take, and so has the
// most decimals and the widest labels.
int LayoutDecimals(bool round, bool log, double min, double max, int32_t div) {
    if (round && !log) {
        const TRoundStep s = AxisRoundStep(min, max, std::max(div, 2), INT32_MAX);
        if (s.Step > 0.0) return RoundDecimals(s);
    }
    return LabelDecimals(max - min);
}
} // namespace

int32_t TGrid::Gap(int32_t pixels) const {
    return static_cast<int32_t>(std::lround(pixels * std::max(1.0, TextScale)));
}

TGrid::TTextMetrics TGrid::PlaceRectangle(QPainter& surface, int32_t width, int32_t height) {
    const QFontMetrics fm(surface.font(), surface.device());
    TTextMetrics m;
    m.yDecimals = LayoutDecimals(RoundTicks, YLog, WorldMin.y, WorldMax.y, YDiv);
    m.xDecimals = LayoutDecimals(RoundTicks, XLog, WorldMin.x, WorldMax.x, XDiv);
    m.th = fm.height();
    // One division: on a linear axis its two ends, whose labels are the widest; on a logarithmic axis every
    // decade label.
    for (const TTick& t : YTicks(m.yDecimals, 1))
        m.lw = std::max(m.lw, int32_t(fm.horizontalAdvance(t.text)));
    const std::vector<TTick> x = XTicks(m.xDecimals, 1);
    const int32_t firstX = x.empty() ? 0 : fm.horizontalAdvance(x.front().text);
    const int32_t lastX = x.empty() ? 0 : fm.horizontalAdvance(x.back().text);
    m.xw = std::max(firstX, lastX);
    // The first and the last x label are centred on the ends of the axis: half of each must fit beside the
    // plot, or a wide number is cut at the edge of the picture (and a cut minus sign reads as another value).
    DevTopLeft.x = std::max(m.lw + Gap(12) + (YCaption.isEmpty() ? 0 : m.th), Gap(12) + firstX / 2);
    DevTopLeft.y = Gap(12) + (Title.isEmpty() ? 0 : m.th);
    DevBottomRight.x = width - Gap(12) - std::max(m.lw / 2, lastX / 2);
    DevBottomRight.y = height - m.th - (XCaption.isEmpty() ? 0 : m.th) - Gap(16);
    return m;
}

void TGrid::Layout(QPainter& surface, int32_t width, int32_t height) {
    if (Unresolvable(WorldMin.x, WorldMax.x)) WorldMin.x -= 1.0;
    if (Unresolvable(WorldMin.y, WorldMax.y)) WorldMax.y = WorldMin.y + 1.0;
    PlaceRectangle(surface, width, height);
    UpdateScale();
}

void TGrid::DrawFrame(QPainter& surface) {
    const QColor black(Qt::black);
    Outline(surface, Left() - 1, Top() - 1, Right() + 1, Bottom() + 1, black);
    Outline(surface, Left() - 3, Top() - 3, Right() + 3, Bottom() + 3, black);
}

void TGrid::Draw(QPainter& surface, int32_t width, int32_t height) {
    if (Unresolvable(WorldMin.x, WorldMax.x)) WorldMin.x -= 1.0;
    if (Unresolvable(WorldMin.y, WorldMax.y)) WorldMin.y -= 1.0;
    const TTextMetrics m = PlaceRectangle(surface, width, height);

    // A division count below 1 (typed by a user) would divide by zero here; it counts as 1 and is then raised
    // to the minimum of 2 like any other small count.
    int32_t nx = XDiv;
    int32_t ny = YDiv;
    const int32_t h = Bottom() - Top();
    const int32_t w = Right() - Left();
    // x labels wider than the y labels (3000000000.0 over 0.00 .. 1.00) need that much room each.
    const int32_t xLabelWidth = std::max(m.lw, m.xw);
    if (h / std::max(YDiv, 1) < m.th + Gap(10)) ny = h / (m.th + Gap(10));
    if (w / std::max(XDiv, 1) < xLabelWidth + Gap(10)) nx = w / (xLabelWidth + Gap(10));
    nx = std::max(nx, 2);
    ny = std::max(ny, 2);
    drawnXDiv_ = nx;
    drawnYDiv_ = ny;
    UpdateScale();
    // Round divisions as near the divisions above as the labels leave room for.
    TRoundStep xr, yr;
    TTextMetrics labelled = m;
    if (RoundTicks && !XLog) {
        xr = AxisRoundStep(WorldMin.x, WorldMax.x, nx, std::max(2, w / (xLabelWidth + 10)));
        if (xr.Step > 0.0) labelled.xDecimals = RoundDecimals(xr);
    }
    if (RoundTicks && !YLog) {
        yr = AxisRoundStep(WorldMin.y, WorldMax.y, ny, std::max(2, h / (m.th + 10)));
        if (yr.Step > 0.0) labelled.yDecimals = RoundDecimals(yr);
    }

    surface.save();
    const QColor textColor = surface.pen().color();
    surface.setBrush(Qt::NoBrush);
    DrawFrame(surface);
    if (gridlines) DrawGridLines(surface, nx, ny, xr, yr);
    if (labels) {
        surface.setPen(textColor);
        DrawLabels(surface, labelled, nx, ny, xr, yr);
    }
    surface.restore();
}

// Grid lines of a logarithmic axis closer than this to the one drawn before are left out: an axis of
// hundreds of decades would otherwise be one grey area hiding the curves.
constexpr int32_t MinGridGap = 3;

void TGrid::DrawGridLines(QPainter& surface, int32_t nx, int32_t ny, TRoundStep xr, TRoundStep yr) {
    const QColor c = ToQColor(color);
    if (XLog) {
        int mult[10];
        const int n = GridMultiples(LogGridPattern(WorldMin.x, WorldMax.x), mult);
        int32_t last = Left() - MinGridGap;
        ForDecades(std::floor(Log10(WorldMin.x)), WorldMax.x, [&](int, double decade) {
            for (int j = 0; j < n; ++j) {
                const int32_t x = WorldToDeviceX(mult[j] * decade);
                if (x < Left() || x > Right() || x - last < MinGridGap) continue;
                VLine(surface, x, Top(), Bottom() + 1, c);
                last = x;
            }
        });
    } else if (xr.Step > 0.0) {
        for (const double v : RoundTickValues(WorldMin.x, WorldMax.x, xr)) {
            const int32_t x = WorldToDeviceX(v);
            if (x > Left() && x < Right()) VLine(surface, x, Top(), Bottom() + 1, c);
        }
    } else {
        for (int32_t i = 1; i < nx; ++i) {
            const int32_t x = Left() + static_cast<int32_t>(static_cast<double>(i) * (Right() - Left()) / nx);
            VLine(surface, x, Top(), Bottom() + 1, c);
        }
    }
    if (YLog) {
        int mult[10];
        const int n = GridMultiples(LogGridPattern(WorldMin.y, WorldMax.y), mult);
        int32_t last = Bottom() + MinGridGap;
        ForDecades(std::floor(Log10(WorldMin.y)), WorldMax.y, [&](int, double decade) {
            for (int j = 0; j < n; ++j) {
                const int32_t y = WorldToDeviceY(mult[j] * decade);
                if (y < Top() || y > Bottom() || last - y < MinGridGap) continue;
                HLine(surface, Left(), Right(), y, c);
                last = y;
            }
        });
    } else if (yr.Step > 0.0) {
        for (const double v : RoundTickValues(WorldMin.y, WorldMax.y, yr)) {
            const int32_t y = WorldToDeviceY(v);
            if (y > Top() && y < Bottom()) HLine(surface, Left(), Right(), y, c);
        }
    } else {
        for (int32_t i = 1; i < ny; ++i) {
            const int32_t y = Top() + static_cast<int32_t>(static_cast<double>(i) * (Bottom() - Top()) / ny);
            HLine(surface, Left(), Right(), y, c);
        }
    }
}

void TGrid::DrawLabels(QPainter& surface, const TTextMetrics& m, int32_t nx, int32_t ny, TRoundStep xr,
                       TRoundStep yr) {
    const QFontMetrics fm(surface.font(), surface.device());
    const int32_t h2 = m.th / 2;
    // A label that would overlap the one drawn before it is left out (many decades on a short log axis,
    // wide numbers on a narrow picture): the first and then every label with room are drawn.
    int32_t clearAbove = INT32_MAX;
    for (const TTick& t : YTicks(m.yDecimals, ny, yr)) {
        const int32_t top = WorldToDeviceY(t.value) - h2;
        if (top + m.th > clearAbove) continue;
        TextAt(surface, fm, Left() - fm.horizontalAdvance(t.text) - Gap(6), top, t.text);
        clearAbove = top - 1;
    }
    int32_t clearFrom = INT32_MIN;
    for (const TTick& t : XTicks(m.xDecimals, nx, xr)) {
        const int32_t width = fm.horizontalAdvance(t.text);
        const int32_t left = WorldToDeviceX(t.value) - width / 2;
        if (left < clearFrom) continue;
        TextAt(surface, fm, left, Bottom() + Gap(7), t.text);
        clearFrom = left + width + Gap(4);
    }

    const QString title = Caption(Title);
    if (!title.isEmpty())
        TextAt(surface, fm, (Left() + Right()) / 2 - fm.horizontalAdvance(title) / 2, Gap(4), title);
    const QString xCaption = Caption(XCaption);
    if (!xCaption.isEmpty())
        TextAt(surface, fm, (Right() + Left() - fm.horizontalAdvance(xCaption)) / 2, Bottom() + m.th + Gap(9),
               xCaption);
    const QString yCaption = Caption(YCaption);
    if (!yCaption.isEmpty()) {
        // One pixel taller than the surface font, normal weight, turned to read upward; "Ariel" is the face
        // asked for first, with the usual sans-serif faces behind it where that one is missing.
        const QFont old = surface.font();
        QFont rotated = old;
        rotated.setFamilies(
            {QStringLiteral("Ariel"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans"), old.family()});
        const int em =
            old.pixelSize() > 0
                ? old.pixelSize()
                : static_cast<int>(std::lround(old.pointSizeF() * surface.device()->logicalDpiY() / 72.0));
        rotated.setPixelSize(em + 1);
        rotated.setWeight(QFont::Normal);
        rotated.setItalic(false);
        rotated.setUnderline(false);
        rotated.setStrikeOut(false);
        surface.setFont(rotated);
        const QFontMetrics rfm(rotated, surface.device());
        const int32_t x0 = Left() - Gap(10) - m.lw - m.th;
        const int32_t y0 = (Bottom() + Top() + rfm.horizontalAdvance(yCaption)) / 2;
        surface.save();
        surface.translate(x0, y0);
        surface.rotate(-90.0);
        surface.drawText(QPoint(0, rfm.ascent()), yCaption);
        surface.restore();
        surface.setFont(old);
    }
}
