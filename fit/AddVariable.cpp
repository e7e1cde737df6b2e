#include "fit/AddVariable.h"

#include "curves/real48.h"
#include "expr/Derive.h"
#include "fit/Fit1.h"
#include "fit/RSpinEdit.h"
#include "plot/UserMessages.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {
QString WithoutSpaces(QString s) {
    s.remove(QLatin1Char(' '));
    return s;
}
} // namespace

QString ParamValuesRefusal(const TUserParamDef& p) {
    const std::pair<const char*, double> values[] = {{"Initial", p.Initial}, {"Min", p.Min}, {"Max", p.Max}};
    for (const auto& [label, v] : values)
        if (!(std::fabs(v) <= Real48Max))
            return QStringLiteral("%1: %2 is beyond what the library file holds (about 1.7e38).")
                .arg(QLatin1String(label), GeneralText(v, 10, 0));
    if (p.Min > p.Max) return QStringLiteral("Min lies above Max.");
    return {};
}

QString DeriveParam(const QString& functionText, const QStringList& params, const QString& name,
                    QString& why) {
    std::vector<std::string> variables{"x"};
    auto add = [&](const QString& p) {
        const std::string v = WithoutSpaces(p).toStdString();
        if (!v.empty() && std::find(variables.begin(), variables.end(), v) == variables.end())
            variables.push_back(v);
    };
    for (const QString& p : params) add(p);
    // Parameters not entered yet are parameters all the same: the derivative by one of them does not depend
    // on which others the list holds already. A name is an operand that is no number and no function.
    static const QRegularExpression operand(QStringLiteral("([^-+*/^() ]+)( *\\()?"));
    for (auto it = operand.globalMatch(functionText); it.hasNext();) {
        const auto m = it.next();
        const QString token = m.captured(1);
        if (m.captured(2).isEmpty() && !token[0].isDigit() && token[0] != QLatin1Char('.')) add(token);
    }
    const TDerivative d =
        Derive(WithoutSpaces(functionText).toStdString(), variables, WithoutSpaces(name).toStdString());
    if (!d.Ok) {
        why = QString::fromStdString(d.Reason);
        return {};
    }
    return QString::fromStdString(d.Text);
}

TAddVarDlg::TAddVarDlg(QWidget* parent) : TWindowDialog(parent) {
    setWindowTitle(QStringLiteral("New Variable"));
    setObjectName(QStringLiteral("AddVarDlg"));
    VarEdit = Control<QLineEdit>("VarEdit", "|Name of the parameter");
    DerivEdit = Control<QLineEdit>("DerivEdit", "|Derivative of the function with respect to this parameter");
    auto* derive = Control<QPushButton>(
        "DeriveBtn", "Derive|Work out the derivative of the function with respect to this parameter",
        QStringLiteral("&Derive"));
    connect(derive, &QPushButton::clicked, this, &TAddVarDlg::DeriveClick);
    auto edit = [this](const char* name, double v) {
        auto* e = Control<TREdit>(name, "");
        e->SetPrecision(5);
        e->SetDigits(10);
        e->SetValue(v);
        return e;
    };
    InitialEdit = edit("InitialEdit", 0.0);
    MinEdit = edit("MinEdit", -Real48Max);
    MaxEdit = edit("MaxEdit", Real48Max);
    InitialEdit->setAccessibleName(QStringLiteral("Initial"));
    MinEdit->setAccessibleName(QStringLiteral("Min"));
    MaxEdit->setAccessibleName(QStringLiteral("Max"));
    StyleCombo = Control<QComboBox>("StyleCombo", "");
    for (int32_t s = 0; s < GuessStyleCount; ++s) StyleCombo->addItem(QString::fromUtf8(GuessStyleName(s)));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Variable:"), this), 0, 0);
    grid->addWidget(VarEdit, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Derivative:"), this), 1, 0);
    grid->addWidget(DerivEdit, 1, 1);
    grid->addWidget(derive, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Initial:"), this), 2, 0);
    grid->addWidget(InitialEdit, 2, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Min:"), this), 3, 0);
    grid->addWidget(MinEdit, 3, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Max:"), this), 4, 0);
    grid->addWidget(MaxEdit, 4, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Initial parameter guess style:"), this), 5, 0);
    grid->addWidget(StyleCombo, 5, 1, 1, 2);
    grid->setColumnMinimumWidth(1, 220);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OKBtn"));
    connect(buttons, &QDialogButtonBox::accepted, this, &TAddVarDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(buttons);
}

void TAddVarDlg::SetParam(const TUserParamDef& p) {
    param_ = p;
    VarEdit->setText(QString::fromStdString(p.Name));
    DerivEdit->setText(QString::fromStdString(p.Derivative));
    InitialEdit->SetValue(p.Initial);
    MinEdit->SetValue(p.Min);
    MaxEdit->SetValue(p.Max);
    StyleCombo->setCurrentIndex(p.Style >= 0 && p.Style < GuessStyleCount ? p.Style : 0);
    VarEdit->setFocus();
}

TUserParamDef TAddVarDlg::Param() const {
    TUserParamDef p;
    p.Name = VarEdit->text().toStdString();
    p.Derivative = DerivEdit->text().toStdString();
    p.Initial = ValueKeptWhole(*InitialEdit, param_.Initial);
    p.Min = ValueKeptWhole(*MinEdit, param_.Min);
    p.Max = ValueKeptWhole(*MaxEdit, param_.Max);
    p.Style = StyleCombo->currentIndex();
    return p;
}

void TAddVarDlg::SetFunction(const QString& functionText, const QStringList& otherParams) {
    function_ = functionText;
    others_ = otherParams;
}

void TAddVarDlg::DeriveClick() {
    if (WithoutSpaces(VarEdit->text()).isEmpty()) {
        Messages().Error(this, QStringLiteral("Give the parameter a name first."));
        return;
    }
    QString why;
    const QString d = DeriveParam(function_, QStringList(others_) << VarEdit->text(), VarEdit->text(), why);
    if (d.isEmpty())
        Messages().Error(this, why);
    else
        DerivEdit->setText(d);
}

void TAddVarDlg::accept() {
    double v;
    for (TREdit* e : {InitialEdit, MinEdit, MaxEdit})
        if (!e->CheckedValue(v)) return;
    const QString refusal = ParamValuesRefusal(Param());
    if (!refusal.isEmpty()) {
        Messages().Error(this, refusal);
        return;
    }
    TWindowDialog::accept();
}
