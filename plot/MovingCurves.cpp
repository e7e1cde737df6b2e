#include "plot/MovingCurves.h"

#include <QPen>

#include <algorithm>
#include <cmath>

TMovingCurve::TMovingCurve(int32_t size) : TPlottedCurve(size) {
    linecolor = 0x0000FF;
    line = true;
    symbol = false;
}

void TMovingCurve::Update(const std::function<double(double)>& model,
                          const std::vector<double>& peakPositions, const TWin& grid, QPainter& surface) {
    for (int32_t i = 1; i <= Count(); ++i) {
        const double y = model(X(i));
        SetY(i, std::isfinite(y) ? y : 0.0);
    }
    CalcYRange();
    DrawOffset(1, Count(), grid, surface, TPenMode::Copy, false);

    // Markers in the coordinates of the plot-area image, where the curve itself was drawn: the plot rectangle
    // runs from (1, 1) to (width, height) of the plot.
    TWin area = grid;
    area.DevTopLeft = {1, 1};
    area.DevBottomRight = {grid.Right() - grid.Left() + 1, grid.Bottom() - grid.Top() + 1};
    area.UpdateScale();
    const size_t n = std::min<size_t>(peakPositions.size(), MaxMarkers);
    surface.save();
    surface.setPen(QPen(ToQColor(linecolor), 1));
    for (size_t k = 0; k < n; ++k) {
        const int32_t x = area.WorldToDeviceX(peakPositions[k]);
        if (x < area.Left() || x > area.Right()) continue;
        surface.drawLine(x, area.Bottom(), x, std::max(area.Top(), area.Bottom() - MarkerLength + 1));
    }
    surface.restore();
}
