#include "app/InsertCellsDialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

TInsertCellsDlg::TInsertCellsDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Insert Rows"));
    auto* prompt = new QLabel(QStringLiteral("Insert how many rows?"), this);
    rows_ = new QSpinBox(this);
    rows_->setRange(1, 2000);
    rows_->setValue(1);
    prompt->setBuddy(rows_);
    atCursor_ = new QRadioButton(QStringLiteral("Insert at c&ursor"), this);
    atCursor_->setChecked(true);
    auto* atEnd = new QRadioButton(QStringLiteral("Insert at &End"), this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(rows_);
    layout->addWidget(atCursor_);
    layout->addWidget(atEnd);
    layout->addWidget(buttons);
}

int TInsertCellsDlg::Rows() const {
    return rows_->value();
}

bool TInsertCellsDlg::AtCursor() const {
    return atCursor_->isChecked();
}
