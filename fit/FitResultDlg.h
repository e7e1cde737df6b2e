// The "Results" window: a read-only text (the result of a fit, or regression coefficients) that can be copied
// to the clipboard. Shown modally and discarded when closed. A fit's result can also be read with every
// number in full precision.
#pragma once

#include <QDialog>

class QCheckBox;
class QPlainTextEdit;

class TFitResultDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFitResultDlg(QWidget* parent = nullptr);

    void SetText(const QString& text);
    // The text, and the same result in full precision, shown while "Full precision" is checked.
    void SetTexts(const QString& text, const QString& fullText);
    QString Text() const;
    QCheckBox* FullPrecision() const { return full_; }
    // Copy: the selected text, or the whole text when nothing is selected.
    void CopyClick();

private:
    // Widens the window to the longest line, as far as the screen allows; longer lines wrap.
    void FitToText();

    QPlainTextEdit* text_;
    QCheckBox* full_;
    QString texts_[2];
};
