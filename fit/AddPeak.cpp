#include "fit/AddPeak.h"

#include "curves/curvesb.h"
#include "fit/AddVariable.h"
#include "fit/Fit1.h"
#include "fit/NewFunc.h"
#include "plot/UserMessages.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <map>
#include <memory>

// ---------------------------------------------------------------- the library

TFitLibrary& TFitLibrary::Of(const QString& path) {
    static std::map<QString, std::unique_ptr<TFitLibrary>> libraries;
    auto& library = libraries[path];
    if (!library) library.reset(new TFitLibrary(path));
    return *library;
}

TFitLibrary::TFitLibrary(const QString& path) : path_(path) {
    const QFileInfo info(path);
    if (!info.exists()) return;
    if (info.isDir())
        loadProblem_ =
            QStringLiteral("The function library %1 is a folder, not a file. Changes to the library "
                           "are kept only until Graphmill ends.")
                .arg(path);
    else if (!info.isFile() || list_.Load(path.toStdString()) != 0)
        loadProblem_ =
            QStringLiteral("The function library %1 is damaged or is not a function library: %2 "
                           "functions could be read from it. It is not written over in this "
                           "session, so changes to the library are kept only until Graphmill ends.")
                .arg(path)
                .arg(list_.Count());
}

bool TFitLibrary::Save(QString* error) {
    emit Changed();
    if (!loadProblem_.isEmpty()) {
        *error = loadProblem_;
        return false;
    }
    std::string why;
    if (list_.Save(path_.toStdString(), &why) == 0) return true;
    *error = QStringLiteral("The function library could not be saved: %1. The change is kept only until "
                            "Graphmill ends; the library file is as it was.")
                 .arg(QString::fromStdString(why));
    return false;
}

QString TFitLibrary::Define(const QString& name, const QString& function,
                            const std::vector<TUserParamDef>& params, int editIndex, QString* saveError) {
    // Values the file cannot hold would make every later save of the library fail.
    for (const TUserParamDef& p : params)
        if (const QString refusal = ParamValuesRefusal(p); !refusal.isEmpty())
            return QString::fromStdString(p.Name) + QStringLiteral(": ") + refusal;
    const std::string message =
        DefineUserFunction(list_, name.toStdString(), function.toStdString(), params, editIndex);
    if (!message.empty()) return QString::fromStdString(message);
    Save(saveError);
    return {};
}

bool TFitLibrary::Delete(int index, QString* saveError) {
    if (!list_.Delete(index)) return true;
    return Save(saveError);
}

// ---------------------------------------------------------------- the chooser

TAddPeakDlg::TAddPeakDlg(QWidget* parent, TFitLibrary& library)
    : TWindowDialog(parent, Qt::Tool), library_(library) {
    setWindowTitle(QStringLiteral("Add a Function"));
    setObjectName(QStringLiteral("AddPeakDlg"));
    FunctionList = Control<QListWidget>("FunctionList", "|Choose fitting functions from this list");
    for (int32_t t = 0; t < BuiltInCount; ++t)
        FunctionList->addItem(QString::fromUtf8(TPeak::BuiltInTypeName(t)));
    connect(FunctionList, &QListWidget::currentRowChanged, this, &TAddPeakDlg::Selected);
    connect(FunctionList, &QListWidget::itemDoubleClicked, this, &TAddPeakDlg::AddClick);
    OrderEdit = Control<QSpinBox>("OrderEdit", "|Order of polynomial function");
    OrderEdit->setRange(0, TPeak::MaxPolyOrder);
    OrderEdit->setValue(1);
    orderLabel_ = new QLabel(QStringLiteral("Polynomial order:"), this);
    InitFitCheck = Control<QCheckBox>(
        "InitFitCheck", "|Specifies whether automatic initial guesses are generated when you add a function",
        QStringLiteral("&Initialize fit"));
    InitFitCheck->setChecked(true);
    AddBtn = Button("AddBtn", "Add Function|Add currently selected function to list", "&Add",
                    &TAddPeakDlg::AddClick);
    DefineBtn = Button("DefineBtn", "New Function|Define a new user-defined function type", "&Define New",
                       &TAddPeakDlg::DefineClick);
    EditBtn = Button("EditBtn", "|Edit currently selected user-defined function type", "&Edit type",
                     &TAddPeakDlg::EditClick);
    DelBtn = Button("DelBtn", "|Delete currently-selected user-defined function from list", "De&lete type",
                    &TAddPeakDlg::DeleteClick);
    // Enter in the list adds the chosen function (below), it does not close the chooser.
    CancelBtn = Button("CancelBtn", "|Close the dialog", "&Close");
    FunctionList->installEventFilter(this);
    connect(CancelBtn, &QPushButton::clicked, this, [this] {
        hide();
        if (parentWidget() != nullptr) parentWidget()->activateWindow();
    });

    editor_ = new TNewFunctionDlg(this);
    editor_->DefineCheck = [this](const QString& name, const QString& function,
                                  const std::vector<TUserParamDef>& params, int editIndex) {
        QString saveError;
        const QString message = library_.Define(name, function, params, editIndex, &saveError);
        if (message.isEmpty() && !saveError.isEmpty()) Messages().Error(editor_, saveError);
        return message;
    };
    connect(&library_, &TFitLibrary::Changed, this, &TAddPeakDlg::RefreshLibrary);

    auto* order = new QHBoxLayout;
    order->addWidget(orderLabel_);
    order->addWidget(OrderEdit);
    auto* side = new QVBoxLayout;
    side->addLayout(order);
    side->addWidget(InitFitCheck);
    for (QPushButton* b : {AddBtn, DefineBtn, EditBtn, DelBtn}) side->addWidget(b);
    side->addStretch(1);
    side->addWidget(CancelBtn);
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(FunctionList, 1);
    layout->addLayout(side);
    RefreshLibrary();
    FunctionList->setCurrentRow(0);
    Selected();
}

void TAddPeakDlg::RefreshLibrary() {
    const int row = FunctionList->currentRow();
    const QSignalBlocker block(FunctionList);
    while (FunctionList->count() > BuiltInCount) delete FunctionList->takeItem(BuiltInCount);
    for (int i = 0; i < library_.List().Count(); ++i)
        FunctionList->addItem(QString::fromStdString(library_.List().Get(i)->Name));
    FunctionList->setCurrentRow(std::min(row, FunctionList->count() - 1));
    Selected();
}

void TAddPeakDlg::showEvent(QShowEvent* event) {
    TWindowDialog::showEvent(event);
    Selected();
}

int TAddPeakDlg::LibraryIndex() const {
    const int row = FunctionList->currentRow();
    return row >= BuiltInCount ? row - BuiltInCount : -1;
}

void TAddPeakDlg::Selected() {
    const bool polynomial = FunctionList->currentRow() == TPeak::Polynomial;
    orderLabel_->setEnabled(polynomial);
    OrderEdit->setEnabled(polynomial);
    const bool user = LibraryIndex() >= 0;
    EditBtn->setEnabled(user);
    DelBtn->setEnabled(user);
}

void TAddPeakDlg::AddClick() {
    const int type = FunctionList->currentRow();
    if (type < 0 || !AddTerm) return;
    QString file;
    if (type == TPeak::Tabulated) {
        file = Messages().OpenFile(
            this, DataDir,
            {QStringLiteral("ASCII file (*.dat, *.txt, *.asc, *.lin)"), QStringLiteral("Any file (*.*)")},
            QStringLiteral("Select file for tabulated function."));
        if (file.isEmpty()) return;
        const TCurveB curve = TCurveB::CreateFromFile(file.toStdString(), true);
        if (curve.Count() < 2) {
            Messages().Error(this, QStringLiteral("The file you have chosen is not a valid data file."));
            return;
        }
    }
    AddTerm(type, OrderEdit->value(), InitFitCheck->isChecked(), file);
}

void TAddPeakDlg::DefineClick() {
    editor_->Clear();
    editor_->SetWindow(Window());
    if (editor_->exec() == QDialog::Accepted) FunctionList->setCurrentRow(FunctionList->count() - 1);
}

void TAddPeakDlg::EditClick() {
    const int index = LibraryIndex();
    if (index < 0 || index >= library_.List().Count()) return;
    editor_->Fill(*library_.List().Get(index), index);
    editor_->SetWindow(Window());
    editor_->exec();
}

void TAddPeakDlg::DeleteClick() {
    const int index = LibraryIndex();
    if (index < 0 || index >= library_.List().Count()) return;
    const QString name = QString::fromStdString(library_.List().Get(index)->Name);
    if (!Messages().Confirm(this, QStringLiteral("Delete the function %1 from the library?").arg(name)))
        return;
    QString saveError;
    if (!library_.Delete(index, &saveError)) Messages().Error(this, saveError);
}

bool TAddPeakDlg::eventFilter(QObject* watched, QEvent* event) {
    // Enter on the list adds the function chosen in it, as a double click does.
    if (watched == FunctionList && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            AddClick();
            return true;
        }
    }
    return TWindowDialog::eventFilter(watched, event);
}
