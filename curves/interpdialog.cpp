#include "curves/interpdialog.h"

#include "fit/RSpinEdit.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QPushButton>
#include <QVBoxLayout>

TInterpDlg::TInterpDlg(QWidget* parent) : TWindowDialog(parent) {
    setWindowTitle(QStringLiteral("Interpolate curve"));
    setObjectName(QStringLiteral("InterpDialog"));
    offset_ = Control<TRDragEdit>("OffsetEdit", "|Specifies the interpolation offset");
    interval_ = Control<TRDragEdit>("IntervalEdit", "|Specifies the interval of the interpolation grid");
    offset_->setAccessibleName(QStringLiteral("Offset"));
    interval_->setAccessibleName(QStringLiteral("Interpolate interval"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OkBtn"));
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("CloseBtn"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Offset:"), offset_);
    form->addRow(QStringLiteral("Interpolate interval:"), interval_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

void TInterpDlg::Preset(double offset, double offsetMin, double offsetMax, double interval,
                        double intervalMin, double intervalMax) {
    offset_->SetLimits(offsetMin, offsetMax);
    offset_->SetValue(offset_->Clamped(offset));
    interval_->SetLimits(intervalMin, intervalMax);
    interval_->SetValue(interval_->Clamped(interval));
    offset_->setFocus();
}

double TInterpDlg::Offset() const {
    return offset_->Value();
}

double TInterpDlg::Interval() const {
    return interval_->Value();
}

void TInterpDlg::accept() {
    double v;
    if (!offset_->CheckedValue(v) || !interval_->CheckedValue(v)) return;
    offset_->Clamp();
    interval_->Clamp();
    TWindowDialog::accept();
}
