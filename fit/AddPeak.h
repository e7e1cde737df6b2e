// "Add a Function": the chooser from which terms are added to a fit panel's model, and from which the
// user-defined functions of the library are defined, edited and deleted. It stays open beside its panel.
//
// TFitLibrary is the user function library of the whole program: one list per library file, shared by the
// fit panels of every window and written back right after each change.
#pragma once

#include "expr/UserFunctions.h"
#include "fit/Fit1.h"
#include "plot/WindowDialog.h"

#include <QObject>
#include <QString>

#include <functional>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSpinBox;
class TNewFunctionDlg;

class TFitLibrary : public QObject {
    Q_OBJECT
public:
    // The library of that file, read at the first request (a missing file is an empty library).
    static TFitLibrary& Of(const QString& path);

    const QString& Path() const { return path_; }
    const TUserFunctionList& List() const { return list_; }
    // Why the file could not be read completely (it is then never written over); empty when it was read.
    const QString& LoadProblem() const { return loadProblem_; }

    // The define check: "" when the definition was taken into the list (and then the list is saved), else
    // the message to show. A save that fails keeps the change for this session and says why in *saveError.
    QString Define(const QString& name, const QString& function, const std::vector<TUserParamDef>& params,
                   int editIndex, QString* saveError);
    // Removes the function at index; false with the reason in `saveError` when the file was not written.
    bool Delete(int index, QString* saveError);

signals:
    // The list changed (in any window).
    void Changed();

private:
    explicit TFitLibrary(const QString& path);
    bool Save(QString* error);

    QString path_;
    TUserFunctionList list_;
    QString loadProblem_;
};

class TAddPeakDlg : public TWindowDialog {
    Q_OBJECT
public:
    TAddPeakDlg(QWidget* parent, TFitLibrary& library);

    // The built-in types come first; library function k (from 0) is list entry BuiltInCount + k.
    static constexpr int BuiltInCount = TPeak::BuiltInCount;

    // Asks the fit panel to add a term: type index (0..13 built in, BuiltInCount + k library function k),
    // polynomial order, initial guesses, the tabulated term's file.
    std::function<void(int type, int order, bool initialize, const QString& tabulatedFile)> AddTerm;
    // The folder the tabulated term's file dialog opens in.
    QString DataDir;

    // The library entries after the built-in ones are listed again.
    void RefreshLibrary();

    QListWidget* FunctionList = nullptr;
    QSpinBox* OrderEdit = nullptr;
    QCheckBox* InitFitCheck = nullptr;
    QPushButton* AddBtn = nullptr;
    QPushButton* DefineBtn = nullptr;
    QPushButton* EditBtn = nullptr;
    QPushButton* DelBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

    void AddClick();
    void DefineClick();
    void EditClick();
    void DeleteClick();
    // The user function editor (made with the chooser).
    TNewFunctionDlg& Editor() { return *editor_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void Selected();
    int LibraryIndex() const;

    TFitLibrary& library_;
    TNewFunctionDlg* editor_;
    QLabel* orderLabel_ = nullptr;
};
