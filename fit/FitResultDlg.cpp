#include "fit/FitResultDlg.h"

#include <QApplication>
#include <QCheckBox>
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
    text_->setLineWrapMode(QPlainTextEdit::NoWrap);
    text_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    full_ = new QCheckBox(QStringLiteral("&Full precision"), this);
    full_->setObjectName(QStringLiteral("FullPrecisionCheck"));
    full_->setToolTip(QStringLiteral("Every number with all its digits, the sum of squares and R-squared"));
    full_->hide();
    connect(full_, &QCheckBox::toggled, this, [this](bool on) { text_->setPlainText(texts_[on ? 1 : 0]); });
    auto* copy = new QPushButton(QStringLiteral("&Copy"), this);
    copy->setObjectName(QStringLiteral("CopyBtn"));
    auto* close = new QPushButton(QStringLiteral("Cl&ose"), this);
    close->setObjectName(QStringLiteral("CloseBtn"));
    close->setDefault(true);
    connect(copy, &QPushButton::clicked, this, &TFitResultDlg::CopyClick);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(full_);
    buttons->addStretch(1);
    buttons->addWidget(copy);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text_, 1);
    layout->addLayout(buttons);
    resize(420, 320);
}

void TFitResultDlg::SetText(const QString& text) {
    SetTexts(text, {});
}

void TFitResultDlg::SetTexts(const QString& text, const QString& fullText) {
    texts_[0] = text;
    texts_[1] = fullText;
    full_->setVisible(!fullText.isEmpty());
    text_->setPlainText(texts_[full_->isChecked() && !fullText.isEmpty() ? 1 : 0]);
}

QString TFitResultDlg::Text() const {
    return text_->toPlainText();
}

void TFitResultDlg::CopyClick() {
    const QString selected = text_->textCursor().selectedText();
    // A selection spanning lines holds paragraph separators instead of line feeds.
    QApplication::clipboard()->setText(
        selected.isEmpty() ? Text() : QString(selected).replace(QChar(0x2029), QLatin1Char('\n')));
}
