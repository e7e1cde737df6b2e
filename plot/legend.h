// The legend of a graph: a framed box that names each curve beside a sample of its line and symbol. It sits
// in the corner of the plot that covers the fewest points and lines, or where the user dragged it, and is
// drawn the same way in the window, on paper and in pictures.
#pragma once

#include "plot/coord_win.h"

#include <QPointF>
#include <QRect>
#include <QString>

#include <optional>
#include <string>

class QFontMetrics;
class QPainter;
class TCurveB;
class TCurveSet;

// A curve's file name without its directory, as the pickers, the status area and the legend show it.
QString ShortFileName(const std::string& fileName);
// The name of curve n in the legend: its file name without folder, else its comment, else "Curve #n".
QString LegendName(const TCurveB& curve, int32_t n);

class TLegend {
public:
    bool Shown = false;
    // Where the user put the box: its top-left corner as fractions (0 .. 1 each way) of the room the plot
    // leaves beside and below it; none: the corner that covers the fewest points.
    std::optional<QPointF> Place;

    // The box in device coordinates for the set's curves on the grid's plot, measured with the surface's
    // font and the current symbol scale; empty without curves or when not even one row fits the plot.
    QRect Box(const TCurveSet& set, const TWin& grid, QPainter& surface) const;
    // Paints the legend into a box that Box gave for the same grid and surface font (moved, perhaps).
    void Paint(const TCurveSet& set, const TWin& grid, QPainter& surface, QRect box, TColor background) const;
    // Box, then Paint (nothing when the box is empty).
    void Draw(const TCurveSet& set, const TWin& grid, QPainter& surface, TColor background) const;
    // Remembers a box moved to `box` by the user; a box partly outside the plot is taken at the nearest place
    // inside it.
    void PlaceAt(QRect box, const TWin& grid);
    // The box kept within the plot, as PlaceAt would take it.
    static QRect KeptInside(QRect box, const TWin& grid);

private:
    struct TRows {
        int pad = 0;       // inner margin, and the gap between sample and name
        int row = 0;       // height of one row
        int sample = 0;    // width of the line sample
        int shown = 0;     // curves with a row of their own
        int hidden = 0;    // curves counted in a last "+ n more" row
        int textWidth = 0; // widest name
    };
    TRows Measure(const TCurveSet& set, const QFontMetrics& fm, int plotWidth, int plotHeight) const;
    QString Name(const TCurveSet& set, int32_t n, const QFontMetrics& fm, int plotWidth) const;
};
