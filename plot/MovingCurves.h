// The fit model's curve, recomputed and drawn over the plot while the fit panel shows a model.
#pragma once

#include "plot/curve_plot.h"

#include <functional>
#include <vector>

class TMovingCurve : public TPlottedCurve {
public:
    // Red line, no symbols.
    explicit TMovingCurve(int32_t size = 0);

    static constexpr int MaxMarkers = 12;
    static constexpr int32_t MarkerLength = 30;

    // Recomputes y at the curve's own x values (set by the fit panel) from the model, then draws the curve
    // into an image of the plot area (offset mapping). Each peak position (world x, at most MaxMarkers) gets
    // a marker: a vertical line MarkerLength pixels up from the bottom edge of the plot area, in the curve's
    // colour, drawn when its x lies inside the plot. A model value that is not finite leaves y at 0.
    void Update(const std::function<double(double)>& model, const std::vector<double>& peakPositions,
                const TWin& grid, QPainter& surface);
};
