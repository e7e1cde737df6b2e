#include "curves/NewDialog.h"

#include "expr/parse.h"
#include "fit/RSpinEdit.h"
#include "plot/UserMessages.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

TFunctionDlg::TFunctionDlg(QWidget* parent) : TWindowDialog(parent) {
    setWindowTitle(QStringLiteral("f(x)"));
    setObjectName(QStringLiteral("FunctionDialog"));
    SetHint(this,
            QStringLiteral("When you select OK, a curve will be generated from the function you supply"));
    function_ = Control<QLineEdit>("FunctionEdit", "|Enter a function of x here");
    function_->setMinimumWidth(240);
    left_ = Control<TRDragEdit>("LeftEdit", "|Enter the minimum x value for the curve");
    right_ = Control<TRDragEdit>("RightEdit", "|Enter the maximum x value for the curve");
    left_->setAccessibleName(QStringLiteral("Left"));
    right_->setAccessibleName(QStringLiteral("Right"));
    SetRange(0.0, 10.0);
    steps_ = Control<QSpinBox>("StepsEdit", "|Enter the number of increments");
    steps_->setRange(3, 67768);
    steps_->setValue(100);
    windowRange_ = Button("WindowRangeBtn",
                          "|Clicking here causes the left and right feilds to be set to the window range",
                          "Use window range");
    windowRange_->setCheckable(true);
    connect(windowRange_, &QPushButton::toggled, this, &TFunctionDlg::WindowRangeToggled);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    QPushButton* ok = buttons->button(QDialogButtonBox::Ok);
    ok->setText(QStringLiteral("&Ok"));
    ok->setObjectName(QStringLiteral("OkBtn"));
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    leftLabel_ = new QLabel(QStringLiteral("Left:"), this);
    rightLabel_ = new QLabel(QStringLiteral("Right:"), this);
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Function:"), this), 0, 0);
    grid->addWidget(function_, 0, 1, 1, 3);
    grid->addWidget(leftLabel_, 1, 0);
    grid->addWidget(left_, 1, 1);
    grid->addWidget(rightLabel_, 1, 2);
    grid->addWidget(right_, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Steps:"), this), 2, 0);
    grid->addWidget(steps_, 2, 1);
    grid->addWidget(windowRange_, 2, 3);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
}

QString TFunctionDlg::Formula() const {
    return function_->text();
}

double TFunctionDlg::Left() const {
    return left_->Value();
}

double TFunctionDlg::Right() const {
    return right_->Value();
}

int TFunctionDlg::Steps() const {
    return steps_->value();
}

bool TFunctionDlg::UseWindowRange() const {
    return windowRange_->isChecked();
}

void TFunctionDlg::SetRange(double left, double right) {
    for (TRDragEdit* e : {left_, right_}) e->SetLimits(-OuterLimit, OuterLimit);
    left_->SetValue(left_->Clamped(left));
    right_->SetValue(right_->Clamped(right));
}

void TFunctionDlg::WindowRangeToggled(bool down) {
    if (down) Send(notify::FunctionRange);
    for (QWidget* w : {static_cast<QWidget*>(leftLabel_), static_cast<QWidget*>(left_),
                       static_cast<QWidget*>(rightLabel_), static_cast<QWidget*>(right_)})
        w->setEnabled(!down);
}

void TFunctionDlg::showEvent(QShowEvent* event) {
    if (windowRange_->isChecked()) Send(notify::FunctionRange);
    function_->setFocus();
    TWindowDialog::showEvent(event);
}

void TFunctionDlg::accept() {
    const QString formula = Formula();
    if (formula.isEmpty()) {
        Messages().Error(this, QStringLiteral("Enter a function of x."));
        return;
    }
    TExpression check;
    if (check.SetExpression("x", formula.toStdString()) != 0) {
        Messages().Warning(this,
                           QStringLiteral("The string you have entered is not a valid function of 'x'."));
        return;
    }
    double left, right;
    if (!left_->CheckedValue(left) || !right_->CheckedValue(right)) return;
    if (!(right > left)) {
        // Every digit: a range preset from the axes may differ beyond the digits the fields show.
        auto whole = [](double v) { return QString::number(v, 'g', QLocale::FloatingPointShortest); };
        Messages().Error(
            this,
            QStringLiteral("Right (%1) must be greater than Left (%2).").arg(whole(right), whole(left)));
        right_->setFocus();
        right_->selectAll();
        return;
    }
    TWindowDialog::accept();
}
