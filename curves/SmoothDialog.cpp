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
    auto radio = [this](const char* name, const char* caption, const char* hint) {
        auto* b = new QRadioButton(QString::fromUtf8(caption), this);
        b->setObjectName(QLatin1String(name));
        SetHint(b, QString::fromUtf8(hint));
        connect(b, &QRadioButton::toggled, this, [this](bool on) {
            if (on) MethodChosen();
        });
        return b;
    };
    auto spin = [this](const char* name, int value, int max, const char* hint) {
        auto* s = new QSpinBox(this);
        s->setObjectName(QLatin1String(name));
        s->setRange(0, max);
        s->setValue(value);
        if (*hint != '\0') SetHint(s, QString::fromUtf8(hint));
        return s;
    };
    spline_ = radio("SplineBtn", "Spline", "|Smooth using a quadratic spline");
    spectral_ = radio("SpectralBtn", "Spectral Smooth", "|Smooth by gaussian convolution (using FFT)");
    regression_ = radio("RegressionBtn", "Regression", "|Perform linear regression");
    stiffness_ = spin("StiffnessEdit", 10, 1000, "|Spline stiffness: higher=stiffer");
    stiffnessLabel_ = new QLabel(QStringLiteral("Stiffness:"), this);
    // The spline's order stays at its default: the dialog offers the quadratic spline only.
    splineOrder_ = spin("SplineOrderEdit", 2, 8, "");
    splineOrderLabel_ = new QLabel(QStringLiteral("Order:"), this);
    splineOrder_->hide();
    splineOrderLabel_->hide();
    howMuch_ = new TRDragEdit(this);
    howMuch_->setObjectName(QStringLiteral("HowMuchEdit"));
    howMuch_->SetLimits(0.0, 10000.0);
    howMuch_->SetValue(0.3);
    SetHint(howMuch_, QStringLiteral("|Higher = more smoothing"));
    howMuchLabel_ = new QLabel(QStringLiteral("How much:"), this);
    regressionOrder_ = spin("RegressionOrderEdit", 1, 8, "|Order of regression");
    regressionOrderLabel_ = new QLabel(QStringLiteral("Order:"), this);

    view_ = new QPushButton(QStringLiteral("&View Coeficients"), this);
    view_->setObjectName(QStringLiteral("ViewBtn"));
    view_->setEnabled(false);
    SetHint(view_, QStringLiteral("|Click to see the regression coeficients"));
    auto* execute = new QPushButton(QStringLiteral("&Execute"), this);
    execute->setObjectName(QStringLiteral("ExecuteBtn"));
    execute->setDefault(true);
    SetHint(execute, QStringLiteral("|Execute specified smoothing operation on active curve"));
    QPushButton* undo = MakeUndoButton(QStringLiteral("|Undo last smoothing operation"), true);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("CloseBtn"));
    connect(view_, &QPushButton::clicked, this, &TSmoothDlg::ViewCoefficients);
    connect(execute, &QPushButton::clicked, this, [this] {
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
    return howMuch_->Value();
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

void TSmoothDlg::ViewCoefficients() {
    TFitResultDlg results(this);
    results.SetText(CoefficientText());
    results.exec();
}
