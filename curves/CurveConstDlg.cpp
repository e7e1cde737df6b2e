#include "curves/CurveConstDlg.h"

#include "curves/opargs.h"
#include "fit/RSpinEdit.h"
#include "plot/UserMessages.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

TCurveConst::TCurveConst(QWidget* parent) : TWindowDialog(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    setWindowTitle(QStringLiteral("Data Scaling"));
    setObjectName(QStringLiteral("ScalingDialog"));
    struct TRow {
        const char* edit;
        const char* label;
        double value;
        int code;
        const char* names[2];
        const char* captions[2];
        const char* hints[2];
        TApply second;
    };
    static const TRow rows[] = {
        {"AddEdit",
         "y + c, y - c",
         0.0,
         notify::AddConstant,
         {"AddBtn", "SubtractBtn"},
         {"Add", "Subtract"},
         {"Add constant", "Subtract constant"},
         TApply::Negated},
        {"MultiplyEdit",
         "y * c, y / c",
         1.0,
         notify::MultiplyConstant,
         {"MultiplyBtn", "DivideBtn"},
         {"Multiply", "Divide"},
         {"Multiply by constant", "Divide by constant"},
         TApply::Reciprocal},
        {"ShiftEdit",
         "x + c, x - c",
         0.0,
         notify::ShiftConstant,
         {"ShiftRightBtn", "ShiftLeftBtn"},
         {"Shift right", "Shift left"},
         {"Shift curve right", "Shift curve left"},
         TApply::Negated},
        {"StretchEdit",
         "x * c, x / c",
         1.0,
         notify::StretchConstant,
         {"StretchBtn", "ShrinkBtn"},
         {"Stretch", "Shrink"},
         {"Expand curve x axis", "Shrink curve x axis"},
         TApply::Reciprocal},
    };
    auto* grid = new QGridLayout(this);
    int r = 0;
    for (const TRow& row : rows) {
        auto* edit = Control<TRDragEdit>(row.edit, "");
        edit->SetValue(row.value);
        edit->setMinimumWidth(90);
        edits_[r] = edit;
        grid->addWidget(new QLabel(QString::fromUtf8(row.label), this), r, 0);
        grid->addWidget(edit, r, 1);
        for (int k = 0; k < 2; ++k) {
            QPushButton* b = Button(row.names[k], row.hints[k], row.captions[k]);
            const TApply how = k == 0 ? TApply::AsIs : row.second;
            const int code = row.code;
            connect(b, &QPushButton::clicked, this,
                    [this, b, edit, code, how] { Apply(edit, b->text(), code, how); });
            grid->addWidget(b, r, 2 + k);
            buttons_ << b;
        }
        ++r;
    }
    EnableButtons(false);
}

void TCurveConst::EnableButtons(bool on) {
    for (QPushButton* b : buttons_) b->setEnabled(on);
}

void TCurveConst::Apply(TRDragEdit* edit, const QString& button, int code, TApply how) {
    double c;
    if (!edit->CheckedValue(c, button)) return;
    double v = c;
    if (how == TApply::Negated) v = -c;
    if (how == TApply::Reciprocal && !opargs::Reciprocal(c, v)) {
        Messages().Error(
            this,
            QStringLiteral("Cannot divide by %1: its reciprocal is not a finite number.").arg(edit->text()));
        return;
    }
    int32_t a = 0, b = 0;
    PackDouble(v, a, b);
    Send(code, a, b);
}
