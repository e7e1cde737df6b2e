// "Curve Math": the active curve combined with another curve of the window (add, subtract, divide, multiply;
// the active curve is the left operand). A tool window shared by the curve windows that stays on top and
// serves the window in use; it sends CurveMath with the other curve's number and the operation.
#pragma once

#include "plot/WindowDialog.h"

#include <QList>

class QComboBox;
class QPushButton;

class TCurveCurve : public TWindowDialog {
    Q_OBJECT
public:
    explicit TCurveCurve(QWidget* parent = nullptr);

    // The list holds the numbers 1 to count; `chosen` (1..count) is selected.
    void SetCurves(int32_t count, int32_t chosen);
    // The list and the operation buttons act only while the window has curves.
    void EnableControls(bool on);
    QComboBox& CurveList() const { return *list_; }
    // The list's text as a curve number (0 when it is not a number).
    int32_t ChosenCurve() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QComboBox* list_;
    QList<QPushButton*> operations_;
};
