// A curve with its display style (line, symbols, colours) and the routine that draws it through a coordinate
// window onto a painter. Every curve of a curve set is one.
#pragma once

#include "curves/curvesb.h"
#include "plot/coord_win.h"

#include <QPainter>

#include <cstdint>

class QImage;
struct TCurveTable;

// Line styles in the order of the style pickers.
enum TPenStyle : uint8_t { psSolid = 0, psDash = 1, psDot = 2, psDashDot = 3, psDashDotDot = 4 };
Qt::PenStyle ToQtPenStyle(TPenStyle style);
// Qt's pen style as one of ours; styles we do not have become solid.
TPenStyle FromQtPenStyle(Qt::PenStyle style);

// The style values of a curve, carried across an operation that replaces the curve: the seven of the line
// and the symbols, and whether a curve that carries sigmas shows them as error bars.
struct CurveStyle {
    uint8_t line = 0;
    uint8_t symbol = 1;
    TColor linecolor = 0x008000;
    uint8_t linestyle = psSolid;
    int32_t SymbolSize = 3;
    int32_t symbolstyle = 0;
    TColor SymbolColor = 0x008000;
    uint8_t errorbars = 1;
};

// The style every curve window gives a curve it adds; the preferences load and edit it.
struct TDefaultCurveProps {
    bool Lines = true;
    bool Symbols = false;
    int32_t SymbolSize = 3;
};
extern TDefaultCurveProps DefaultCurveProps;

// Symbol radii are multiplied by this; it is 1 except while a graph is painted at a scale (printing,
// copying).
extern double SymbolScale;

// Drawing modes of the curve routines. Copy paints the pen colour; the other two let a second drawing remove
// the first (rubber bands, overlays).
enum class TPenMode { Copy, Invert, Xor };

class TPlottedCurve : public TCurveB {
public:
    explicit TPlottedCurve(int32_t size = 0);
    // Points and header of any curve, with the default style. (Copying a TPlottedCurve copies its style too.)
    explicit TPlottedCurve(const TCurveB& source);
    // The same taking over the points of source, without copying them.
    explicit TPlottedCurve(TCurveB&& source);
    TPlottedCurve(const TPlottedCurve&) = default;
    TPlottedCurve& operator=(const TPlottedCurve&) = default;
    TPlottedCurve(TPlottedCurve&&) noexcept = default;
    TPlottedCurve& operator=(TPlottedCurve&&) noexcept = default;
    ~TPlottedCurve() override = default;

    bool line = false;
    bool symbol = true;
    TColor linecolor = 0x008000;
    TPenStyle linestyle = psSolid;
    int32_t SymbolSize = 3;  // radius in pixels
    int32_t symbolstyle = 0; // kept and copied; every symbol is a filled circle
    TColor SymbolColor = 0x008000;
    // A curve that carries sigmas draws a vertical bar from y - sigma to y + sigma at each point, in the
    // colour of its line (of its symbols when it has no line).
    bool errorbars = true;

    // CopyHeader, then the style values.
    void CopyHeaderAndStyle(const TPlottedCurve& source);
    CurveStyle GetStyle() const;
    void SetStyle(const CurveStyle& style);

    // Draws points first..last (1-based) through the grid's mapping. Only the index range covering the grid's
    // x range is visited, long ranges are thinned (every 2nd, 3rd or 5th point above 1200, 3000 and 20000
    // points), runs of points outside the plot rectangle draw no lines, and symbols are drawn when their
    // centre lies within one radius of the plot rectangle; error bars (ShowsErrorBars) go between the line
    // and the symbols, cut at the plot rectangle. The painter's state is unchanged afterwards.
    void Draw(int32_t first, int32_t last, const TWin& grid, QPainter& surface,
              TPenMode penMode = TPenMode::Copy, bool active = false) const;
    // The same into an image that holds only the plot area: the plot rectangle is taken to start at (1, 1).
    void DrawOffset(int32_t first, int32_t last, const TWin& grid, QPainter& surface,
                    TPenMode penMode = TPenMode::Copy, bool active = false) const;
    // A sample of the style across an image of width x height (the caller clears it first).
    void DrawPreview(QPainter& surface, int32_t width, int32_t height) const;
    void DrawPreview(QImage& image) const;

    // Radius in pixels of the symbols at the current SymbolScale.
    int32_t SymbolRadius() const;
    // Whether Draw shows error bars: the curve carries sigmas and they are switched on.
    bool ShowsErrorBars() const { return errorbars && HasSigma(); }
    // The colour of the error bars.
    TColor ErrorBarColor() const { return line ? linecolor : SymbolColor; }
    // Half the width of the caps at the ends of an error bar, in pixels at the current SymbolScale.
    int32_t ErrorBarCap() const;

    // The points into the cells of a table editor, one row each, followed by one empty row.
    void ToTable(TCurveTable& table) const;
    // The rows of the table whose x and y both hold a value become the points, in row order; the ranges are
    // recomputed. The curve is marked modified only when its points changed; returns whether they did.
    bool FromTable(const TCurveTable& table);
};

// The visible index range of Draw: i1 is the last index in [first, last] whose x lies left of xmin (first
// when none does), i2 the same for xmax, plus one when below last. Exact on ascending x; on unsorted x values
// it still stays within [first, last].
void VisibleRange(const TCurveA& curve, int32_t first, int32_t last, double xmin, double xmax, int32_t& i1,
                  int32_t& i2);
// Thinning step for n visited points.
int32_t DecimationStep(int32_t n);
