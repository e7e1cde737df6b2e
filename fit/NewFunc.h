// "User Defined Function": the editor of a user-defined fit function: its name, its formula in x and the
// parameters, and one row per parameter (name, derivative, initial value and bounds, guess style). OK runs
// the define check, which keeps the editor open with the user's input until the definition is valid.
#pragma once

#include "expr/UserFunctions.h"
#include "plot/WindowDialog.h"

#include <functional>
#include <vector>

class QLineEdit;
class QListWidget;
class QPushButton;

class TNewFunctionDlg : public TWindowDialog {
    Q_OBJECT
public:
    explicit TNewFunctionDlg(QWidget* parent = nullptr);

    // A function has at most nine parameters (ten variables with x).
    static constexpr int MaxParams = TUserFunction::MaxVariables - 1;

    // The check run by OK: the message to show, or "" when the definition was taken (editIndex -1 for a new
    // function, else the library index of the function edited).
    std::function<QString(const QString& name, const QString& function,
                          const std::vector<TUserParamDef>& params, int editIndex)>
        DefineCheck;

    // No rows, empty name and function, a new function.
    void Clear();
    // The rows of a library function (variables 2..n), to edit the function at index.
    void Fill(const TUserFunction& function, int index);
    int EditIndex() const { return editIndex_; }
    const std::vector<TUserParamDef>& Params() const { return params_; }

    QLineEdit* NameEdit = nullptr;
    QLineEdit* FuncEdit = nullptr;
    QListWidget* Variables = nullptr;
    QListWidget* Derivatives = nullptr;
    QListWidget* Values = nullptr;
    QListWidget* ParmTypes = nullptr;

    // The row buttons: Add and Edit open "New Variable"; Derive fills the selected row's derivative.
    void AddClick();
    void EditClick();
    void RemoveClick();
    void ClearClick();
    void DeriveClick();
    void accept() override;

private:
    void ShowRows();
    void SelectRow(int row);
    int SelectedRow() const;
    QStringList ParamNames(int except = -1) const;
    // Runs "New Variable" on p; true on OK.
    bool EditParam(TUserParamDef& p, int row);

    std::vector<TUserParamDef> params_;
    int editIndex_ = -1;
};
