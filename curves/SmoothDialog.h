// "Data Smoothing": spline smoothing, spectral smoothing or polynomial regression of the active curve.
// Modeless, one per curve window; Execute sends RunSmooth and the window reads the method and its values.
#pragma once

#include "plot/WindowDialog.h"

#include <vector>

class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;
class TRDragEdit;

class TSmoothDlg : public TWindowDialog {
    Q_OBJECT
public:
    explicit TSmoothDlg(QWidget* parent);

    enum class TMethod { Spline, Spectral, Regression };
    TMethod Method() const;
    int Stiffness() const;
    int SplineOrder() const;
    double HowMuch() const;
    int RegressionOrder() const;

    // The coefficients a0..a_order of the last regression; "View Coeficients" shows them while any are
    // kept.
    void SetCoefficients(const std::vector<double>& coefficients);
    const std::vector<double>& Coefficients() const { return coefficients_; }
    // The lines "View Coeficients" shows.
    QString CoefficientText() const;
    // Execute acts while the window's curve commands can (with curves, and not while the fit panel is open).
    void EnableExecute(bool on);

private:
    void MethodChosen();
    void ViewCoefficients();

    QRadioButton* spline_;
    QRadioButton* spectral_;
    QRadioButton* regression_;
    QLabel* stiffnessLabel_;
    QSpinBox* stiffness_;
    QLabel* splineOrderLabel_;
    QSpinBox* splineOrder_;
    QLabel* howMuchLabel_;
    TRDragEdit* howMuch_;
    QLabel* regressionOrderLabel_;
    QSpinBox* regressionOrder_;
    QPushButton* view_;
    QPushButton* execute_;
    std::vector<double> coefficients_;
};
