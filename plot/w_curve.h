// The curve set of a curve window: binds the curves to their axes (Grid), gives each new curve its colour and
// the default style, draws them, and tells the plot panel and the curve window when something changed.
#pragma once

#include "plot/CurveSet.h"
#include "plot/NotifyTarget.h"
#include "plot/coord_win.h"
#include "plot/legend.h"

#include <array>
#include <functional>
#include <string>
#include <string_view>

class QImage;
class QPaintDevice;
class QPainter;

// The points of pasted text. Each pass skips blanks and line breaks, reads a number (a run of the characters
// 0-9 + - . E e, at most 40 kept), a separator (blanks, commas, line breaks) and a second number; a separator
// holding a line break means the line had one number only, and the pass adds no point. A pair that converts
// completely ("." as the decimal point, a leading "+" allowed) is a point. A line where a pass reads nothing
// (a header, a column of names) is skipped to its end, so text from other programs pastes every line it can.
// Commas before a number are skipped like blanks, so that 1,2,3,4 gives two points.
TCurveB ParsePasteText(std::string_view text);
// The points of a "BinaryCurve" block: a little-endian 32-bit count n, then n x values and n y values as
// doubles; exactly 16 n + 4 bytes. A block of another size, a negative count or a value that is not finite
// gives false (and no points).
bool ParseCurveBlock(std::string_view block, TCurveB& curve);

// The text Copy puts on the clipboard: one line per point, x and y in exponent notation with 8 significant
// digits ("1.5000000E+00") or as many more (up to 17) as the value needs to read back exactly, a tab between
// them and CR LF after each line; the decimal point is always ".", whatever the user's number settings.
std::string CurveClipboardText(const TCurveA& curve);
// The "BinaryCurve" block of a curve (ParseCurveBlock reads it back exactly).
std::string CurveBlock(const TCurveA& curve);

// Colour of curve slot i is entry ((i - 1) mod 12) + 1 of this table.
extern const std::array<TColor, 12> CurveColorTable;

class WCurveSet : public TCurveSet {
public:
    WCurveSet();

    // Fired after the active curve was changed through the set's own operations.
    std::function<void(WCurveSet&)> OnActiveChanged;
    // Fired by Notify.
    std::function<void(WCurveSet&)> OnChanged;
    // Called at the end of Redraw: the panel repaints itself (erasing its background).
    std::function<void(WCurveSet&)> OnInvalidate;

    std::array<TColor, MaxCurves> Colors{}; // Colors[i - 1] is the colour of curve slot i
    TGrid Grid;
    TLegend Legend;                       // drawn over the graph while shown
    bool RedrawOnActivate = true;         // the plot panel sets it to false
    NotifyTarget* OwnerPanel = nullptr;   // receives RebuildImage (0x401) from Redraw
    NotifyTarget* NotifyWindow = nullptr; // receives SetChanged (0x7E8) and Repainted (0x7EA) from Notify
    bool DrawEnabled = true;              // Redraw does nothing while false

    // Colour of slot n (1..100).
    TColor SlotColor(int32_t n) const { return Colors[static_cast<size_t>(n - 1)]; }

    // SetActive, Redraw when RedrawOnActivate, then OnActiveChanged.
    virtual void SetActiveAndNotify(int32_t n);
    // Steps to curve n with wrap-around (above Count is 1, below 1 is Count); only with at least two curves
    // and when n is not the active curve.
    void SetActiveWrap(int32_t n);
    virtual void SetCountAndRedraw(int32_t n);
    // Adds the curve (a copy, or moved in) with the slot's colour and the default style. False when the set
    // is full (nothing changes).
    virtual bool AddCurve(TCurveB curve, bool rescale, bool redraw);
    void DeleteCurve(int32_t n, bool rescale, bool redraw);

    // The axes take the range of the curves (RescaleRange).
    void Rescale();
    // The range Rescale gives the axes: Min and Max, or the range of every point where those leave some out
    // (a curve whose points share one x or one y adds no bound); a range of one value v is widened to
    // v - d .. v + 2 d with d = max(1, |v| / 10), or v / 10 .. 10 v on a logarithmic axis of Grid.
    void RescaleRange(RealPoint& min, RealPoint& max) const;
    void RescaleAndRedraw();
    void RecomputeAndRedraw();
    void ZoomBy(double xFactor, double xShift, double yFactor, double yShift);
    // Line and symbol colour of every curve back to its slot colour.
    void ResetColors(bool redraw);

    // A curve from clipboard text (ParsePasteText), added with AddCurve when it has at least one point.
    // Returns true when it failed: no point in the text, or the set is full. The same for a "BinaryCurve"
    // block.
    bool AddFromText(std::string_view text, bool rescale, bool redraw);
    bool AddFromBlock(std::string_view block, bool rescale, bool redraw);

    // Draws every curve, the active one last so that it lies on top. With offset the surface is an image of
    // the plot area only (plot rectangle from (1, 1)).
    void DrawCurves(QPainter& surface, bool offset) const;
    // The whole graph onto a picture of width x height pixels: font and symbols scaled by factor (lines stay
    // one pixel wide). The painter's font at entry is the one scaled; the area outside the plot is left as it
    // is. On a white background, white curves are drawn black. The legend, while shown, goes over the graph.
    void PaintTo(QPainter& surface, int32_t width, int32_t height, double factor);
    // The same on a paint device of its own size, with the default font.
    void PaintTo(QPaintDevice& picture, double factor);
    // The style sample of curve n over the whole image filled with the background colour.
    void PreviewOfCurve(int32_t n, QImage& image) const;

    // RebuildImage to the panel, Notify, then OnInvalidate; nothing while DrawEnabled is false.
    void Redraw();
    // OnChanged, then SetChanged and Repainted to the window.
    void Notify();
};
