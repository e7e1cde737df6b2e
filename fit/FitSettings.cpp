#include "fit/FitSettings.h"

#include "fit/RSpinEdit.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

TFitSettingsDlg::TFitSettingsDlg(QWidget* parent) : TWindowDialog(parent) {
    setWindowTitle(QStringLiteral("Fit settings"));
    setObjectName(QStringLiteral("FitSettingsDlg"));

    ChiChangeRadio = Control<QRadioButton>(
        "ChiChangeRadio",
        "|Converged when chi-square fell by less than points x Tolerance over the last two steps",
        QStringLiteral("Chi-square change below points x Tolerance"));
    RelativeRadio =
        Control<QRadioButton>("RelativeRadio",
                              "|Converged when a step lowered chi-square by at most Ftol of itself and moved "
                              "no parameter by more than Xtol of the larger of its value and its standard "
                              "error: for nearly exact data and ill-conditioned models",
                              QStringLiteral("Relative change (Ftol, Xtol)"));
    for (QRadioButton* b : {ChiChangeRadio, RelativeRadio})
        connect(b, &QRadioButton::toggled, this, [this] { TestChosen(); });

    ToleranceEdit = Control<TRDragEdit>("ToleranceEdit", "|Tolerance for fitting success");
    ToleranceEdit->ScaleMode = TScaleMode::smMult;
    ToleranceEdit->Sensitivity = 1.0f;
    ToleranceEdit->SetPrecision(5);
    ToleranceEdit->SetDigits(10);
    ToleranceEdit->SetLimits(0.0, 1e30);
    toleranceLabel_ = new QLabel(QStringLiteral("Tolerance:"), this);
    FtolEdit = Control<TREdit>("FtolEdit", "|Largest relative decrease of chi-square in a converged step");
    XtolEdit = Control<TREdit>("XtolEdit", "|Largest change of a parameter in a converged step, relative to "
                                           "the larger of its value and its standard error");
    for (TREdit* e : {FtolEdit, XtolEdit}) e->SetLimits(0.0, 1.0);
    ToleranceEdit->setAccessibleName(QStringLiteral("Tolerance"));
    FtolEdit->setAccessibleName(QStringLiteral("Ftol"));
    XtolEdit->setAccessibleName(QStringLiteral("Xtol"));
    ftolLabel_ = new QLabel(QStringLiteral("Ftol:"), this);
    xtolLabel_ = new QLabel(QStringLiteral("Xtol:"), this);

    MaxIterEdit = Control<QSpinBox>("MaxIterEdit", "|Maximum itterations");
    MaxIterEdit->setRange(0, 10000);
    DragUpdateCheck = Control<QCheckBox>(
        "DragUpdateCheck",
        "|Enables automatic updating of display when parameter values are changed by dragging on the edit "
        "box",
        QStringLiteral("Update curve while dragging controls"));
    IncrementsEdit = Control<QSpinBox>(
        "IncrementsEdit", "|Graphmill will use this many data increments in the displayed fitted curve");
    IncrementsEdit->setRange(2, MaxIncrements);

    auto* test = new QGroupBox(QStringLiteral("Convergence test"), this);
    auto* testGrid = new QGridLayout(test);
    testGrid->addWidget(ChiChangeRadio, 0, 0, 1, 2);
    testGrid->addWidget(toleranceLabel_, 1, 0);
    testGrid->addWidget(ToleranceEdit, 1, 1);
    testGrid->addWidget(RelativeRadio, 2, 0, 1, 2);
    testGrid->addWidget(ftolLabel_, 3, 0);
    testGrid->addWidget(FtolEdit, 3, 1);
    testGrid->addWidget(xtolLabel_, 4, 0);
    testGrid->addWidget(XtolEdit, 4, 1);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Max itterations:"), this), 0, 0);
    grid->addWidget(MaxIterEdit, 0, 1);
    grid->addWidget(DragUpdateCheck, 1, 0, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Number of increments in display curve:"), this), 2, 0);
    grid->addWidget(IncrementsEdit, 2, 1);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OKBtn"));
    connect(buttons, &QDialogButtonBox::accepted, this, &TFitSettingsDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(test);
    layout->addLayout(grid);
    layout->addWidget(buttons);
    Load(TFitSettings{});
}

void TFitSettingsDlg::TestChosen() {
    const bool relative = RelativeRadio->isChecked();
    toleranceLabel_->setEnabled(!relative);
    ToleranceEdit->setEnabled(!relative);
    for (QWidget* w : {static_cast<QWidget*>(ftolLabel_), static_cast<QWidget*>(FtolEdit),
                       static_cast<QWidget*>(xtolLabel_), static_cast<QWidget*>(XtolEdit)})
        w->setEnabled(relative);
}

void TFitSettingsDlg::Load(const TFitSettings& s) {
    ToleranceEdit->SetValue(s.tolerance);
    MaxIterEdit->setValue(s.maxIterations);
    DragUpdateCheck->setChecked(s.dragUpdate);
    IncrementsEdit->setValue(s.displayIncrements);
    (s.relativeTest ? RelativeRadio : ChiChangeRadio)->setChecked(true);
    FtolEdit->SetValue(s.ftol);
    XtolEdit->SetValue(s.xtol);
    TestChosen();
}

TFitSettings TFitSettingsDlg::Values() const {
    TFitSettings s;
    s.tolerance = ToleranceEdit->Clamped(ToleranceEdit->Value());
    s.maxIterations = MaxIterEdit->value();
    s.dragUpdate = DragUpdateCheck->isChecked();
    s.displayIncrements = IncrementsEdit->value();
    s.relativeTest = RelativeRadio->isChecked();
    s.ftol = FtolEdit->Clamped(FtolEdit->Value());
    s.xtol = XtolEdit->Clamped(XtolEdit->Value());
    return s;
}

void TFitSettingsDlg::accept() {
    // The test in use takes no field that holds no finite number; the other test's fields keep their values.
    double v;
    for (TREdit* e : {static_cast<TREdit*>(ToleranceEdit), FtolEdit, XtolEdit})
        if (e->isEnabled() && !e->CheckedValue(v)) return;
    TWindowDialog::accept();
}
