#include "fit/NewFunc.h"

#include "curves/real48.h"
#include "fit/AddVariable.h"
#include "fit/Fit1.h"
#include "fit/RSpinEdit.h"
#include "plot/UserMessages.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
std::string WithoutSpaces(std::string s) {
    std::erase(s, ' ');
    return s;
}
} // namespace

TNewFunctionDlg::TNewFunctionDlg(QWidget* parent) : TWindowDialog(parent) {
    setWindowTitle(QStringLiteral("User Defined Function"));
    setObjectName(QStringLiteral("NewFunctionDlg"));
    NameEdit = Control<QLineEdit>("NameEdit", "|Name of the function");
    NameEdit->setMaxLength(static_cast<int>(TUserFunction::MaxNameLength));
    FuncEdit = Control<QLineEdit>("FuncEdit", "|Enter the function f(x) here");
    Variables = Control<QListWidget>("Variables", "|List of parameters to be optimized");
    Derivatives = Control<QListWidget>("Derivatives",
                                       "|Derivative of the function with respect to each of the parameters");
    Values = Control<QListWidget>("Values", "|Initial, min, and max values for each parameter");
    ParmTypes = Control<QListWidget>(
        "ParmTypes",
        "|Specifies what method Graphmill uses to calculate an initial guess for that parameter");
    // A row chosen in one list is chosen in all four; a double click edits it.
    for (QListWidget* list : {Variables, Derivatives, Values, ParmTypes}) {
        connect(list, &QListWidget::currentRowChanged, this, [this](int row) { SelectRow(row); });
        connect(list, &QListWidget::itemDoubleClicked, this, [this] { EditClick(); });
    }
    QPushButton* add = Button("AddBtn", "|Add a parameter to the list", "&Add", &TNewFunctionDlg::AddClick);
    QPushButton* remove = Button("RemoveBtn", "|Remove selected parameter from the list", "&Remove",
                                 &TNewFunctionDlg::RemoveClick);
    QPushButton* edit = Button("EditBtn", "|Edit selected parameter", "&Edit", &TNewFunctionDlg::EditClick);
    QPushButton* clear =
        Button("ClearBtn", "|Clear the parameter list", "&Clear", &TNewFunctionDlg::ClearClick);
    QPushButton* derive =
        Button("DeriveBtn", "Derive|Work out the selected parameter's derivative from the function",
               "De&rive", &TNewFunctionDlg::DeriveClick);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Name:"), this), 0, 0);
    grid->addWidget(NameEdit, 0, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Function:"), this), 1, 0);
    grid->addWidget(FuncEdit, 1, 1, 1, 3);
    auto* lists = new QGridLayout;
    const char* captions[] = {
        "Parameters:", "Derivatives:", "Values (initial,min,max):", "Initial value type:"};
    QListWidget* all[] = {Variables, Derivatives, Values, ParmTypes};
    for (int i = 0; i < 4; ++i) {
        lists->addWidget(new QLabel(QString::fromUtf8(captions[i]), this), 0, i);
        lists->addWidget(all[i], 1, i);
    }
    for (int i = 0; i < 4; ++i) {
        all[i]->setMinimumWidth(60);
        lists->setColumnStretch(i, i == 1 ? 3 : i == 2 ? 2 : 1);
    }
    auto* rowButtons = new QHBoxLayout;
    for (QPushButton* b : {add, remove, edit, clear, derive}) rowButtons->addWidget(b);
    rowButtons->addStretch(1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OKBtn"));
    connect(buttons, &QDialogButtonBox::accepted, this, &TNewFunctionDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(lists, 1);
    layout->addLayout(rowButtons);
    layout->addWidget(buttons);
    resize(640, 320);
}

void TNewFunctionDlg::Clear() {
    NameEdit->clear();
    FuncEdit->clear();
    params_.clear();
    editIndex_ = -1;
    ShowRows();
    NameEdit->setFocus();
}

void TNewFunctionDlg::Fill(const TUserFunction& f, int index) {
    NameEdit->setText(QString::fromStdString(f.Name));
    FuncEdit->setText(QString::fromStdString(f.Var(1).Formula));
    params_.clear();
    for (int k = 2; k <= f.VarCount; ++k) {
        const TUserVariable& v = f.Var(k);
        params_.push_back({v.Name, v.Formula, v.Initial, v.Min, v.Max, v.GuessStyle});
    }
    editIndex_ = index;
    ShowRows();
}

void TNewFunctionDlg::ShowRows() {
    const int row = SelectedRow();
    for (QListWidget* list : {Variables, Derivatives, Values, ParmTypes}) {
        const QSignalBlocker block(list);
        list->clear();
    }
    for (const TUserParamDef& p : params_) {
        Variables->addItem(QString::fromStdString(p.Name));
        Derivatives->addItem(QString::fromStdString(p.Derivative));
        Values->addItem(GeneralText(p.Initial, 8, 0) + QStringLiteral(", ") + GeneralText(p.Min, 8, 0) +
                        QStringLiteral(", ") + GeneralText(p.Max, 8, 0));
        ParmTypes->addItem(QString::fromUtf8(GuessStyleName(p.Style)));
    }
    SelectRow(std::min(row, static_cast<int>(params_.size()) - 1));
}

void TNewFunctionDlg::SelectRow(int row) {
    for (QListWidget* list : {Variables, Derivatives, Values, ParmTypes}) {
        const QSignalBlocker block(list);
        list->setCurrentRow(row);
    }
}

int TNewFunctionDlg::SelectedRow() const {
    const int row = Variables->currentRow();
    return row >= 0 && row < static_cast<int>(params_.size()) ? row : -1;
}

QStringList TNewFunctionDlg::ParamNames(int except) const {
    QStringList names;
    for (int i = 0; i < static_cast<int>(params_.size()); ++i)
        if (i != except) names << QString::fromStdString(params_[static_cast<size_t>(i)].Name);
    return names;
}

bool TNewFunctionDlg::EditParam(TUserParamDef& p, int row) {
    TAddVarDlg dialog(this);
    dialog.SetWindow(Window());
    dialog.SetParam(p);
    dialog.SetFunction(FuncEdit->text(), ParamNames(row));
    if (dialog.exec() != QDialog::Accepted) return false;
    p = dialog.Param();
    return true;
}

void TNewFunctionDlg::AddClick() {
    if (static_cast<int>(params_.size()) >= MaxParams) {
        Messages().Error(this, QStringLiteral("A function has at most %1 parameters.").arg(MaxParams));
        return;
    }
    TUserParamDef p;
    // Open bounds, the largest the library holds: a new parameter cuts off no data's scale.
    p.Min = -Real48Max;
    p.Max = Real48Max;
    if (!EditParam(p, -1)) return;
    params_.push_back(p);
    ShowRows();
    SelectRow(static_cast<int>(params_.size()) - 1);
}

void TNewFunctionDlg::EditClick() {
    const int row = SelectedRow();
    if (row < 0) return;
    TUserParamDef p = params_[static_cast<size_t>(row)];
    if (!EditParam(p, row)) return;
    params_[static_cast<size_t>(row)] = p;
    ShowRows();
}

void TNewFunctionDlg::RemoveClick() {
    const int row = SelectedRow();
    if (row < 0) return;
    params_.erase(params_.begin() + row);
    ShowRows();
}

void TNewFunctionDlg::ClearClick() {
    params_.clear();
    ShowRows();
}

void TNewFunctionDlg::DeriveClick() {
    const int row = SelectedRow();
    if (row < 0) {
        Messages().Error(this, QStringLiteral("Select the parameter whose derivative is to be worked out."));
        return;
    }
    TUserParamDef& p = params_[static_cast<size_t>(row)];
    QString why;
    const QString d = DeriveParam(FuncEdit->text(), ParamNames(), QString::fromStdString(p.Name), why);
    if (d.isEmpty()) {
        Messages().Error(this, why);
        return;
    }
    p.Derivative = d.toStdString();
    ShowRows();
}

void TNewFunctionDlg::accept() {
    // Formulas lose their blanks; names keep them, so that the define check refuses a name with a blank
    // ("a b") as graphmill-cli does, rather than the function taking a parameter the user never named.
    FuncEdit->setText(QString::fromStdString(WithoutSpaces(FuncEdit->text().toStdString())));
    for (TUserParamDef& p : params_) p.Derivative = WithoutSpaces(p.Derivative);
    ShowRows();
    const QString message =
        DefineCheck ? DefineCheck(NameEdit->text(), FuncEdit->text(), params_, editIndex_) : QString();
    if (!message.isEmpty()) {
        Messages().Error(this, message);
        return;
    }
    TWindowDialog::accept();
}
