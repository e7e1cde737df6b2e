#include "curves/curvesb.h"

bool TCurveB::MakeFitCurve(const TFitModel& model, int32_t selector) {
    const int32_t terms = model.ModelTermCount();
    if (terms <= 0 || selector < -1 || selector >= terms || !(XMin < XMax)) return false;
    Comment = "fitted curve";
    DropSigma(); // the model's values have no measured uncertainty
    // Each x is XMin + i step, formed afresh, and the last one is XMax itself.
    const double step = count_ > 1 ? (XMax - XMin) / (count_ - 1) : 0.0;
    for (int32_t i = 0; i < count_; ++i) {
        const double x = i > 0 && i == count_ - 1 ? XMax : XMin + i * step;
        x_[static_cast<size_t>(i)] = x;
        y_[static_cast<size_t>(i)] = model.ModelValueAt(x, selector);
    }
    CalcYRange();
    return true;
}

bool TCurveB::MakeFitCurveFrom(const TCurveA& source, const TFitModel& model, int32_t selector) {
    SetCount(source.Count());
    for (int32_t i = 1; i <= count_; ++i) SetXY(i, source.X(i), source.Y(i));
    CalcXRange();
    return MakeFitCurve(model, selector);
}
