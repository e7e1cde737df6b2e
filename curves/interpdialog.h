// "Interpolate curve": the offset and interval of the even grid the active curve is resampled onto. Modal,
// shared by the curve windows; the Interpolate command presets it from the active curve.
#pragma once

#include "plot/WindowDialog.h"

class TRDragEdit;

class TInterpDlg : public TWindowDialog {
    Q_OBJECT
public:
    explicit TInterpDlg(QWidget* parent = nullptr);

    // Values and limits of the two fields; each value is brought within its limits.
    void Preset(double offset, double offsetMin, double offsetMax, double interval, double intervalMin,
                double intervalMax);
    double Offset() const;
    double Interval() const;
    TRDragEdit& OffsetEdit() const { return *offset_; }
    TRDragEdit& IntervalEdit() const { return *interval_; }

    // OK keeps both values within their limits; a field that holds no finite number is refused with a
    // message and keeps the dialog open. The values are whole: a preset of XMin = 1700001234 stays that,
    // though the field shows five digits.
    void accept() override;

private:
    TRDragEdit* offset_;
    TRDragEdit* interval_;
};
