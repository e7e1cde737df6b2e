#include "fit/FitResultDlg.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFitResultDlg::TFitResultDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Results"));
    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("ResultText"));
    text_->setReadOnly(true);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* copy = new QPushButton(QStringLiteral("&Copy"), this);
    copy->setObjectName(QStringLiteral("CopyBtn"));
    auto* close = new QPushButton(QStringLiteral("Cl&ose"), this);
    close->setObjectName(QStringLiteral("CloseBtn"));
    close->setDefault(true);
    connect(copy, &QPushButton::clicked, this, [this] { QApplication::clipboard()->setText(Text()); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(copy);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_, 1);
    layout->addLayout(buttons);
    resize(360, 260);
}

void TFitResultDlg::SetText(const QString& text) {
    text_->setPlainText(text);
}

QString TFitResultDlg::Text() const {
    return text_->toPlainText();
}
