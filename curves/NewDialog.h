// "f(x)": a new curve from a typed formula of x over a range of x. Modal, one per curve window; the window
// presets Left and Right from its axes, and "Use window range" asks for them again (FunctionRange).
#pragma once

#include "plot/WindowDialog.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class TRDragEdit;

class TFunctionDlg : public TWindowDialog {
    Q_OBJECT
public:
    explicit TFunctionDlg(QWidget* parent);

    // Left and Right are kept within the outer limits; each takes what is typed into it, whatever the other
    // holds (OK refuses a Right not above Left).
    static constexpr double OuterLimit = 1e300;

    QString Formula() const;
    double Left() const;
    double Right() const;
    int Steps() const;
    // Puts a range into Left and Right; the values stay whole, though the fields show five digits.
    void SetRange(double left, double right);
    bool UseWindowRange() const;
    QLineEdit& FunctionEdit() const { return *function_; }
    TRDragEdit& LeftEdit() const { return *left_; }
    TRDragEdit& RightEdit() const { return *right_; }
    QSpinBox& StepsEdit() const { return *steps_; }
    QPushButton& WindowRangeButton() const { return *windowRange_; }

    // OK checks the formula, that Left and Right are finite numbers and that Right is above Left; a refusal
    // keeps the dialog open.
    void accept() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void WindowRangeToggled(bool down);

    QLineEdit* function_;
    QLabel* leftLabel_;
    TRDragEdit* left_;
    QLabel* rightLabel_;
    TRDragEdit* right_;
    QSpinBox* steps_;
    QPushButton* windowRange_;
};
