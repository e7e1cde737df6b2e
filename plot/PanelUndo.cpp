#include "plot/PanelUndo.h"

void TPanelUndo::Store(std::unique_ptr<TPlottedCurve> curve, int32_t index, bool isDeletion) {
    curve_ = std::move(curve);
    index_ = index;
    isDeletion_ = isDeletion;
}

std::unique_ptr<TPlottedCurve> TPanelUndo::Take() {
    return std::move(curve_);
}

void TPanelUndo::CurveDeleted(int32_t deleted) {
    if (!curve_ || isDeletion_) return;
    if (index_ == deleted)
        curve_.reset();
    else if (index_ > deleted)
        --index_;
}
