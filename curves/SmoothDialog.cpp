#include "curves/SmoothDialog.h"

#include "fit/FitResultDlg.h"
#include "fit/RSpinEdit.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

TSmoothDlg::TSmoothDlg(QWidget* parent) : TWindowDialog(parent, Qt::Tool) {
    setWindowTitle(QStringLiteral("Data Smoothing"));
    setObjectName(QStringLiteral("SmoothDialog"));
    spline_ =
        Control<QRadioButton>("SplineBtn", "|Smooth using a quadratic spline", QStringLiteral("Spline"));
    spectral_ = Control<QRadioButton>("SpectralBtn", "|Smooth by gaussian convolution (using FFT)",
                                      QStringLiteral("Spectral Smooth"));
    regression_ =
        Control<QRadioButton>("RegressionBtn", "|Perform linear regression", QStringLiteral("Regression"));
    for (QRadioButton* b : {spline_, spectral_, regression_})
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            if (on) MethodChosen();
        });
    auto spin = [this](const char* name, int value, int max, const char* hint) {
        auto* s = Control<QSpinBox>(name, hint);
        s->setRange(0, max);
        s->setValue(value);
        return s;
    };
    stiffness_ = spin("StiffnessEdit", 10, 1000, "|Spline stiffness: higher=stiffer");
    stiffnessLabel_ = new QLabel(QStringLiteral("Stiffness:"), this);
    // The spline's order stays at its default: the dialog offers the quadratic spline only.
    splineOrder_ = spin("SplineOrderEdit", 2, 8, "");
    splineOrderLabel_ = new QLabel(QStringLiteral("Order:"), this);
    splineOrder_->hide();
    splineOrderLabel_->hide();
    howMuch_ = Control<TRDragEdit>("HowMuchEdit", "|Higher = more smoothing");
    howMuch_->SetLimits(0.0, 10000.0);
    howMuch_->SetValue(0.3);
    howMuch_->setAccessibleName(QStringLiteral("How much"));
    howMuchLabel_ = new QLabel(QStringLiteral("How much:"), this);
    regressionOrder_ = spin("RegressionOrderEdit", 1, 8, "|Order of regression");
    regressionOrderLabel_ = new QLabel(QStringLiteral("Order:"), this);

    view_ = Control<QPushButton>("ViewBtn", "|Click to see the regression coeficients",
                                 QStringLiteral("&View Coeficients"));
    view_->setEnabled(false);
    QPushButton* execute = execute_ = Control<QPushButton>(
        "ExecuteBtn", "|Execute specified smoothing operation on active curve", QStringLiteral("&Execute"));
    execute->setDefault(true);
    QPushButton* undo = MakeUndoButton(QStringLiteral("|Undo last smoothing operation"), true);
    auto* close = Control<QPushButton>("CloseBtn", "", QStringLiteral("Close"));
    connect(view_, &QPushButton::clicked, this, &TSmoothDlg::ViewCoefficients);
    connect(execute, &QPushButton::clicked, this, [this] {
        // A "How much" that is no finite number runs nothing.
        double howMuch;
        if (spectral_->isChecked() && !howMuch_->CheckedValue(howMuch)) return;
        // Coefficients belong to the curve they came from: a new run shows them only if it is a regression
        // that succeeds.
        SetCoefficients({});
        Send(notify::RunSmooth);
    });
    connect(close, &QPushButton::clicked, this, &QWidget::hide);

    auto* grid = new QGridLayout;
    grid->addWidget(spline_, 0, 0, 1, 2);
    grid->addWidget(stiffnessLabel_, 1, 0);
    grid->addWidget(stiffness_, 1, 1);
    grid->addWidget(splineOrderLabel_, 2, 0);
    grid->addWidget(splineOrder_, 2, 1);
    grid->addWidget(spectral_, 3, 0, 1, 2);
    grid->addWidget(howMuchLabel_, 4, 0);
    grid->addWidget(howMuch_, 4, 1);
    grid->addWidget(regression_, 5, 0, 1, 2);
    grid->addWidget(regressionOrderLabel_, 6, 0);
    grid->addWidget(regressionOrder_, 6, 1);
    grid->addWidget(view_, 7, 1);
    grid->setColumnMinimumWidth(0, 90);
    auto* buttons = new QHBoxLayout;
    for (auto* b : {execute, undo, close}) buttons->addWidget(b);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(buttons);
    spline_->setChecked(true);
    MethodChosen();
    CloseWhenLeft(notify::SmoothHidden);
}

void TSmoothDlg::MethodChosen() {
    const bool spline = spline_->isChecked(), spectral = spectral_->isChecked(),
               regression = regression_->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(stiffnessLabel_), static_cast<QWidget*>(stiffness_),
                       static_cast<QWidget*>(splineOrderLabel_), static_cast<QWidget*>(splineOrder_)})
        w->setEnabled(spline);
    howMuchLabel_->setEnabled(spectral);
    howMuch_->setEnabled(spectral);
    regressionOrderLabel_->setEnabled(regression);
    regressionOrder_->setEnabled(regression);
}

TSmoothDlg::TMethod TSmoothDlg::Method() const {
    return spectral_->isChecked()     ? TMethod::Spectral
           : regression_->isChecked() ? TMethod::Regression
                                      : TMethod::Spline;
}

int TSmoothDlg::Stiffness() const {
    return stiffness_->value();
}

int TSmoothDlg::SplineOrder() const {
    return splineOrder_->value();
}

double TSmoothDlg::HowMuch() const {
    return howMuch_->Clamped(howMuch_->Value());
}

int TSmoothDlg::RegressionOrder() const {
    return regressionOrder_->value();
}

void TSmoothDlg::SetCoefficients(const std::vector<double>& coefficients) {
    coefficients_ = coefficients;
    view_->setEnabled(!coefficients_.empty());
}

QString TSmoothDlg::CoefficientText() const {
    QString text = QStringLiteral("Regression results:\n");
    for (size_t k = 0; k < coefficients_.size(); ++k)
        text += QStringLiteral("a%1:  %2\n").arg(k).arg(GeneralText(coefficients_[k], 15, 0));
    return text;
}

void TSmoothDlg::EnableExecute(bool on) {
    execute_->setEnabled(on);
}

void TSmoothDlg::ViewCoefficients() {
    TFitResultDlg results(this);
    results.SetText(CoefficientText());
    results.exec();
}
