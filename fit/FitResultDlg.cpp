#include "fit/FitResultDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>

TFitResultDlg::TFitResultDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Results"));
    text_ = new QPlainTextEdit(this);
    text_->setObjectName(QStringLiteral("ResultText"));
    text_->setReadOnly(true);
    // A line longer than the window can be (a long function name, every digit of a value) wraps rather than
    // running out of sight.
    text_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
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
    FitToText();
}

void TFitResultDlg::FitToText() {
    // As wide as the longest line of either text, within the screen.
    const QFontMetrics metrics(text_->font());
    int longest = 0;
    for (const QString& text : texts_)
        for (const QString& line : text.split(QLatin1Char('\n')))
            longest = std::max(longest, metrics.horizontalAdvance(line));
    // Around the text: the window's margins, the edit's frame, the document's margin, a scroll bar and the
    // cursor.
    const QMargins margins = layout()->contentsMargins();
    const int chrome = margins.left() + margins.right() + 2 * text_->frameWidth() +
                       2 * static_cast<int>(text_->document()->documentMargin()) +
                       text_->verticalScrollBar()->sizeHint().width() + 2;
    const QScreen* s = screen();
    const int most = s != nullptr ? s->availableGeometry().width() * 9 / 10 : 1000;
    resize(std::clamp(longest + chrome, width(), std::max(width(), most)), height());
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
