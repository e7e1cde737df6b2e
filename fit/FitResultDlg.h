// The "Results" window: a read-only text (the result of a fit, or regression coefficients) that can be copied
// to the clipboard. Shown modally and discarded when closed.
#pragma once

#include <QDialog>

class QPlainTextEdit;

class TFitResultDlg : public QDialog {
    Q_OBJECT
public:
    explicit TFitResultDlg(QWidget* parent = nullptr);

    void SetText(const QString& text);
    QString Text() const;

private:
    QPlainTextEdit* text_;
};
