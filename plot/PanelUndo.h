// The one-level undo of a plot panel: the curve as it was before the last replacement, deletion or range
// removal, the number it belongs to, and whether undoing puts it back there or adds it again.
#pragma once

#include "plot/curve_plot.h"

#include <memory>

class TPanelUndo {
public:
    // Keeps `curve` (the previous undo curve is discarded). A deletion is undone by adding the curve again.
    void Store(std::unique_ptr<TPlottedCurve> curve, int32_t index, bool isDeletion);
    bool Has() const { return curve_ != nullptr; }
    const TPlottedCurve* Curve() const { return curve_.get(); }
    int32_t Index() const { return index_; }
    bool IsDeletion() const { return isDeletion_; }
    // Hands the curve over; the store is empty afterwards.
    std::unique_ptr<TPlottedCurve> Take();
    void Discard() { curve_.reset(); }
    // Curve `deleted` left the set: the curves after it moved down by one, and so does the undo's number.
    // Undo of the deleted curve itself can no longer put anything back, so it is discarded.
    void CurveDeleted(int32_t deleted);

private:
    std::unique_ptr<TPlottedCurve> curve_;
    int32_t index_ = 0;
    bool isDeletion_ = false;
};
