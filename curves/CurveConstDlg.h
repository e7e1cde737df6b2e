// "Data Scaling": a constant added to or multiplied into y, or shifting or stretching x, of the active curve.
// A tool window shared by the curve windows that stays on top and serves the window in use. The constant
// travels whole (a double) in notifications AddConstant .. StretchConstant.
#pragma once

#include "plot/WindowDialog.h"

#include <QList>

class QPushButton;
class TRDragEdit;

class TCurveConst : public TWindowDialog {
    Q_OBJECT
public:
    explicit TCurveConst(QWidget* parent = nullptr);

    // The buttons act only while the window has curves.
    void EnableButtons(bool on);
    TRDragEdit& AddEdit() const { return *edits_[0]; }
    TRDragEdit& MultiplyEdit() const { return *edits_[1]; }
    TRDragEdit& ShiftEdit() const { return *edits_[2]; }
    TRDragEdit& StretchEdit() const { return *edits_[3]; }

private:
    // One field's button (its caption names it in a refusal): sends `code` with the field's value, negated
    // (sign -1) or its reciprocal; nothing, after a message, when the field holds no finite number.
    enum class TApply { AsIs, Negated, Reciprocal };
    void Apply(TRDragEdit* edit, const QString& button, int code, TApply how);

    TRDragEdit* edits_[4];
    QList<QPushButton*> buttons_;
};
