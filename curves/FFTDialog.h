// "FFT Operation": the Fourier transform of the active curve. Modeless, one per curve window; the window
// fills its two curve lists and runs the transform when Execute sends RunFFT.
#pragma once

#include "plot/WindowDialog.h"

class QCheckBox;
class QPushButton;
class QRadioButton;
class TGraphicComboBox;

class TFFTDlg : public TWindowDialog {
    Q_OBJECT
public:
    explicit TFFTDlg(QWidget* parent);

    // +1, or -1 while "Inverse FFT" is checked.
    int Direction() const;
    // 1 real part, 2 imaginary part, 3 magnitude.
    int OutputMode() const;
    // The curve lists: "Real:" (the curves; the real input is always the active curve) and "Complex:" (the
    // curves, then "none", the last entry).
    TGraphicComboBox& RealList() const { return *realList_; }
    TGraphicComboBox& ComplexList() const { return *complexList_; }
    // The curve number chosen for the imaginary input; 0 for "none".
    int32_t ImaginaryCurve() const;
    void EnableExecute(bool on);

private:
    QRadioButton* real_;
    QRadioButton* imaginary_;
    QRadioButton* magnitude_;
    TGraphicComboBox* realList_;
    TGraphicComboBox* complexList_;
    QCheckBox* inverse_;
    QPushButton* execute_;
};
