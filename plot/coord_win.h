// The coordinate window: world coordinates of curve data (doubles) to device pixels and back, linear or
// logarithmic per axis; and the axes window TGrid, which lays the plot rectangle out inside a surface and
// draws frame, grid lines, tick labels, title and captions.
#pragma once

#include <QColor>
#include <QString>

#include <cstdint>
#include <vector>

class QPainter;

struct RealPoint {
    double x = 0.0;
    double y = 0.0;
};

// Device pixels: x grows to the right, y grows downward.
struct IntPoint {
    int32_t x = 0;
    int32_t y = 0;
};

// Colours are $00BBGGRR (red in the low byte). A value with the top bit set names a system colour of the
// window system; the plot layer has no window system and paints those grey.
using TColor = uint32_t;
QColor ToQColor(TColor color);
TColor FromQColor(const QColor& color);

// Logarithms with the program's constant 2.30258 instead of ln 10; exact inverses of each other. Log10 gives
// 0 for x <= 0; Pow10 gives 1e8 for y >= 1000 and 0 for y <= -1000.
double Log10(double x);
double Pow10(double y);
// Log10(hi / lo): the decades from lo up to hi. Beyond about 308 decades (1e-300 .. 1e300) the ratio leaves
// the doubles, and the difference of the two logarithms is taken instead.
double LogSpan(double lo, double hi);
// True when the range a .. b is too narrow to map onto pixels and label: its span is below 1e-12 of its
// largest magnitude (or zero). Such a range is widened before drawing.
bool Unresolvable(double a, double b);

// The plot rectangle in device pixels; it includes its right and bottom pixels.
class TWinA {
public:
    IntPoint DevTopLeft{0, 0};
    IntPoint DevBottomRight{100, 100};

    int32_t Left() const { return DevTopLeft.x; }
    int32_t Top() const { return DevTopLeft.y; }
    int32_t Right() const { return DevBottomRight.x; }
    int32_t Bottom() const { return DevBottomRight.y; }
};

// A device offset is kept only within this many pixels of the plot's origin; beyond, the point maps to 0.
constexpr double MaxDeviceOffset = 32000.0;

class TWin : public TWinA {
public:
    // Pixels per world unit (linear) or per decade (logarithmic); x positive, y negative.
    RealPoint Scale{1.0, 1.0};
    bool XLog = false;
    bool YLog = false;
    RealPoint WorldMin{0.0, 0.0}; // world values at the left and bottom edges
    RealPoint WorldMax{10.0, 10.0};

    // A world value more than 32000 pixels from the origin of the plot maps to device coordinate 0.
    int32_t WorldToDeviceX(double x) const;
    int32_t WorldToDeviceY(double y) const;
    // The device coordinate of a world value without that limit (it may be huge, infinite or NaN): for lines
    // that must be cut at the plot's frame instead of running to device 0.
    double WorldToDeviceXF(double x) const;
    double WorldToDeviceYF(double y) const;
    double DeviceToWorldX(int32_t px) const;
    double DeviceToWorldY(int32_t py) const;

    // Takes the corners, keeps logarithmic axes positive and widens a range too narrow to draw (Unresolvable)
    // to one unit. Does not call
    // UpdateScale.
    void SetWorld(RealPoint min, RealPoint max);
    // Makes the range of each logarithmic axis positive.
    void FixLogRange();
    // Factors above 1 widen each range about its centre; shifts move it by that fraction of the old range. A
    // range that is not Drawable is not taken.
    void Zoom(double xFactor, double xShift, double yFactor, double yShift);
    // A range reaching beyond the largest double (a corner or a span that is no finite number) cannot be
    // drawn: every point and label would land on one place.
    static bool Drawable(RealPoint min, RealPoint max);
    // Recomputes Scale; the caller runs it after changing the device or the world rectangle.
    void UpdateScale();
    void SetXLog(bool on);
    void SetYLog(bool on);

    bool PtInsideStrict(IntPoint p) const;
    bool PtInside(IntPoint p) const;
    void ClipPoint(IntPoint& p) const;
};

// The part of the segment (ax, ay) - (bx, by) within the rectangle left..right x top..bottom (edges
// included): the parameters t0 <= t1 in 0..1 of its ends along the segment (Liang-Barsky). False when no part
// of it lies inside, or when a coordinate is NaN.
bool ClipSegment(double ax, double ay, double bx, double by, double left, double top, double right,
                 double bottom, double& t0, double& t1);

// Titles and captions hold at most this many characters.
constexpr int MaxCaptionLength = 120;

// Decimals of the tick labels for an axis whose range is `range` wide: 1 from 10^0.5 upward, else 2 - r with
// r the rounded decimal logarithm of the range.
int LabelDecimals(double range);
// Fixed-point text with exactly `decimals` decimals; a value that rounds to zero is written without a sign
// ("0.00", never "-0.00").
QString FormatFixed(double v, int decimals);
// Fixed-point text (FormatFixed) with exactly `decimals` decimals, padded on the left to at least 4
// characters; from 1e18 on, with an exponent.
QString FormatTickLabel(double v, int decimals);
// Grid lines of a logarithmic axis: 0 decades only, 2 decades and twice the decade, 1 every unit of each
// decade.
int LogGridPattern(double min, double max);

// Divisions of a linear axis on round values: the step m * 10^Exponent with m 1, 2 or 5; a step of 0 means
// the range is split in equal parts instead.
struct TRoundStep {
    double Step = 0.0;
    int Exponent = 0;
};
// The round step whose number of divisions across `range` comes nearest to `wanted` (by ratio, the wider step
// on a tie), among those giving from two to `most` divisions, so that at least two labels fall inside any
// range of that width. A range that is no positive finite number gives no step.
TRoundStep RoundStep(double range, int32_t wanted, int32_t most);
// The multiples of the step within min .. max, each the double nearest to its decimal value; none when the
// multiples cannot be told apart in doubles (a narrow range far from zero) or would be more than 1000.
std::vector<double> RoundTickValues(double min, double max, TRoundStep s);
// The fewest decimals that tell the multiples of a round step apart.
inline int RoundDecimals(TRoundStep s) {
    return s.Exponent < 0 ? -s.Exponent : 0;
}

class TGrid : public TWin {
public:
    TGrid();

    int32_t XDiv = 4; // requested number of divisions; a narrow plot draws fewer
    int32_t YDiv = 4;
    // Linear axes divided on round values (RoundStep) instead of equal parts; logarithmic axes keep their
    // decades.
    bool RoundTicks = false;
    bool labels = true;
    bool gridlines = true;
    TColor color = 0x808080;       // grid lines
    TColor BackgrColor = 0xFFFFFF; // plot-area background, filled by whoever draws the curves
    QString Title;
    QString XCaption;
    QString YCaption;
    // The drawing factor of the text (a printed page, a picture drawn larger): the gaps that keep labels,
    // titles and captions off the frame and the picture's edge grow with the text, never below their
    // screen size.
    double TextScale = 1.0;

    // Plot rectangle for a surface of width x height pixels (the painter is used only to measure text with
    // its current font), then UpdateScale.
    void Layout(QPainter& surface, int32_t width, int32_t height);
    // Layout again, then frame, grid lines, labels, title and captions. Frame is black, grid lines in
    // `color`; text takes the surface's pen colour at entry.
    void Draw(QPainter& surface, int32_t width, int32_t height);
    void DrawFrame(QPainter& surface);

    // Divisions used by the last Draw (at least 2 each).
    int32_t DrawnXDiv() const { return drawnXDiv_; }
    int32_t DrawnYDiv() const { return drawnYDiv_; }

private:
    struct TTextMetrics {
        int32_t th = 0; // height of a line of text
        int32_t lw = 0; // width of the widest y label
        int32_t xw = 0; // width of the wider of the first and the last x label
        int xDecimals = 0;
        int yDecimals = 0;
    };
    struct TTick {
        double value;
        QString text;
    };
    // The labels of one axis: on a linear axis the n + 1 division points (or the multiples of a round step),
    // on a logarithmic one the decades from ceil(Log10(min) - tolerance) up to max.
    static std::vector<TTick> Ticks(bool log, double min, double max, int decimals, int32_t n,
                                    double tolerance, TRoundStep round);
    std::vector<TTick> XTicks(int decimals, int32_t n, TRoundStep round = {}) const;
    std::vector<TTick> YTicks(int decimals, int32_t n, TRoundStep round = {}) const;
    TTextMetrics PlaceRectangle(QPainter& surface, int32_t width, int32_t height);
    // A gap of `pixels` on the screen, grown with TextScale.
    int32_t Gap(int32_t pixels) const;
    void DrawGridLines(QPainter& surface, int32_t nx, int32_t ny, TRoundStep xr, TRoundStep yr);
    void DrawLabels(QPainter& surface, const TTextMetrics& m, int32_t nx, int32_t ny, TRoundStep xr,
                    TRoundStep yr);

    int32_t drawnXDiv_ = 4;
    int32_t drawnYDiv_ = 4;
};
