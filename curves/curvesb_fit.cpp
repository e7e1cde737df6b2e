#include "curves/curvesb.h"

bool TCurveB::MakeFitCurve(const TFitModel& model, int32_t selector) {
    const int32_t terms = model.ModelTermCount();
    if (terms <= 0 || selector < -1 || selector >= terms || !(XMin < XMax)) return false;
    Comment = "fitted curve";
    DropSigma(); // the model's values have no measured uncertainty
    // The step is accumulated by repeated addition, so the last x may differ from XMax by rounding.
    const double step = count_ > 1 ? (XMax - XMin) / (count_ - 1) : 0.0;
    double x = XMin;
    for (int32_t i = 0; i < count_; ++i) {
        x_[static_cast<size_t>(i)] = x;
        y_[static_cast<size_t>(i)] = model.ModelValueAt(x, selector);
        x += step;
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
