#include "curves/FFTDialog.h"

#include "plot/SpecialCombos.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TFFTDlg::TFFTDlg(QWidget* parent) : TWindowDialog(parent, Qt::Tool) {
    setWindowTitle(QStringLiteral("FFT Operation"));
    setObjectName(QStringLiteral("FFTDialog"));
    real_ = Control<QRadioButton>("RealBtn", "|Return real component of FFT", QStringLiteral("&Real part"));
    imaginary_ = Control<QRadioButton>("ComplexBtn", "|Return imaginary component of FFT",
                                       QStringLiteral("&Complex part"));
    magnitude_ =
        Control<QRadioButton>("MagnitudeBtn", "|Return magnitude of FFT", QStringLiteral("&Magnitude"));
    magnitude_->setChecked(true);
    realList_ = Control<TGraphicComboBox>("RealList", "|Select which curve to use for the real input");
    complexList_ =
        Control<TGraphicComboBox>("ComplexList", "|Select which curve to use for the complex input");
    for (auto* list : {realList_, complexList_}) list->setMinimumWidth(180);
    // The real input is the active curve: choosing one makes it active.
    connect(realList_, &QComboBox::activated, this,
            [this](int index) { Send(notify::ActivateCurve, index + 1, 0); });

    inverse_ = Control<QCheckBox>("InverseBox", "|Check for inverse FFT", QStringLiteral("&Inverse FFT"));
    execute_ =
        Control<QPushButton>("ExecuteBtn", "|Execute FFT using current settings", QStringLiteral("&Execute"));
    execute_->setDefault(true);
    QPushButton* undo = MakeUndoButton(QStringLiteral("|Undo last FFT"), true);
    auto* close = Control<QPushButton>("CloseBtn", "", QStringLiteral("Close"));
    connect(execute_, &QPushButton::clicked, this, [this] { Send(notify::RunFFT); });
    connect(close, &QPushButton::clicked, this, &QWidget::hide);

    auto* output = new QVBoxLayout;
    output->addWidget(new QLabel(QStringLiteral("Return:"), this));
    for (auto* b : {real_, imaginary_, magnitude_}) output->addWidget(b);
    output->addStretch(1);
    auto* input = new QGridLayout;
    input->addWidget(new QLabel(QStringLiteral("Input:"), this), 0, 0, 1, 2);
    input->addWidget(new QLabel(QStringLiteral("Real:"), this), 1, 0);
    input->addWidget(realList_, 1, 1);
    input->addWidget(new QLabel(QStringLiteral("Complex:"), this), 2, 0);
    input->addWidget(complexList_, 2, 1);
    input->addWidget(inverse_, 3, 1);
    auto* top = new QHBoxLayout;
    top->addLayout(output);
    top->addSpacing(12);
    top->addLayout(input, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (auto* b : {execute_, undo, close}) buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
    CloseWhenLeft(notify::FFTHidden);
}

int TFFTDlg::Direction() const {
    return inverse_->isChecked() ? -1 : 1;
}

int TFFTDlg::OutputMode() const {
    return real_->isChecked() ? 1 : imaginary_->isChecked() ? 2 : 3;
}

int32_t TFFTDlg::ImaginaryCurve() const {
    const int i = complexList_->currentIndex();
    // The last entry is "none".
    return i >= 0 && i < complexList_->count() - 1 ? i + 1 : 0;
}

void TFFTDlg::EnableExecute(bool on) {
    execute_->setEnabled(on);
}
