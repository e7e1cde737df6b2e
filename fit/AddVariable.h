// "New Variable": one parameter of a user-defined function: its name, the partial derivative of the function
// with respect to it (typed, or worked out by Derive), its initial value, bounds and initial-guess style.
#pragma once

#include "expr/UserFunctions.h"
#include "plot/WindowDialog.h"

#include <QStringList>

class QComboBox;
class QLineEdit;
class TREdit;

class TAddVarDlg : public TWindowDialog {
    Q_OBJECT
public:
    explicit TAddVarDlg(QWidget* parent = nullptr);

    void SetParam(const TUserParamDef& param);
    // The parameter as entered (the name and derivative as typed).
    TUserParamDef Param() const;
    // What Derive differentiates: the function text and the names of the function's other parameters.
    void SetFunction(const QString& functionText, const QStringList& otherParams);

    QLineEdit* VarEdit = nullptr;
    QLineEdit* DerivEdit = nullptr;
    TREdit* InitialEdit = nullptr;
    TREdit* MinEdit = nullptr;
    TREdit* MaxEdit = nullptr;
    QComboBox* StyleCombo = nullptr;

    // Fills the derivative by differentiating the function by this parameter; says why when it cannot.
    void DeriveClick();
    void accept() override;

private:
    TUserParamDef param_;
    QString function_;
    QStringList others_;
};

// Why a parameter's values cannot be stored in the library file (empty when they can): a value beyond what
// its six-byte reals hold, or a minimum above the maximum.
QString ParamValuesRefusal(const TUserParamDef& param);
// The derivative of functionText by the parameter `name` among x and the parameters `params` (spaces removed
// first). Empty, with the reason in `why`, when there is none.
QString DeriveParam(const QString& functionText, const QStringList& params, const QString& name,
                    QString& why);
