// The axes dialog ("Axis Scaling"): range, divisions, caption and scale of each axis and the title of the
// graph. One dialog serves every curve window; the window it serves loads it before it shows (AxesAction 2)
// and applies its values to the axes (AxesAction 0).
#pragma once

#include "plot/NotifyTarget.h"

#include <QDialog>
#include <QLineEdit>

class QCheckBox;
class QPushButton;
class QSpinBox;

// A number field: what is typed counts once it is confirmed, by Enter or by leaving the field; the value is
// then kept within the limits. A text that is no finite number confirms nothing: it stays for the user to
// correct, Enter says why, and the value stays as it was. Values are shown with as many digits as it takes to
// read them back exactly, and the field is wide enough for all of them.
class TAxisEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TAxisEdit(QWidget* parent = nullptr);

    double MinValue = -1e50;
    double MaxValue = 1e50;

    double Value() const { return value_; }
    // Shows v, unless the user is typing into the field: his text is not overwritten.
    void SetValue(double v);
    // Takes the typed text, if any; true when the value changed.
    bool Confirm();
    // False while the typed text is no finite number.
    bool IsNumber() const;

signals:
    // Enter, or leaving the field, changed the value.
    void Confirmed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    double value_ = 0.0;
};

// Everything the dialog edits.
struct TAxesValues {
    double X1 = 0.0, X2 = 10.0, Y1 = 0.0, Y2 = 10.0;
    int32_t XDiv = 4, YDiv = 4;
    QString XCaption, YCaption, Title;
    bool XLog = false, YLog = false;
};

class TAxesDlg : public QDialog {
    Q_OBJECT
public:
    explicit TAxesDlg(QWidget* parent = nullptr);

    NotifyTarget* Window = nullptr; // the curve window served

    TAxisEdit* X1 = nullptr;
    TAxisEdit* X2 = nullptr;
    TAxisEdit* Y1 = nullptr;
    TAxisEdit* Y2 = nullptr;
    QSpinBox* XDiv = nullptr;
    QSpinBox* YDiv = nullptr;
    QLineEdit* XCaption = nullptr;
    QLineEdit* YCaption = nullptr;
    QCheckBox* XLogScale = nullptr;
    QCheckBox* YLogScale = nullptr;
    QLineEdit* title = nullptr;
    QCheckBox* AutoUpdate = nullptr;
    QPushButton* OkBtn = nullptr;
    QPushButton* ApplyBtn = nullptr;
    QPushButton* CancelBtn = nullptr;
    QPushButton* ResetBtn = nullptr;

    // The values of the controls, a number being typed included.
    TAxesValues Values();
    // Every control from the axes, applying nothing.
    void ShowValues(const TAxesValues& v);
    // The range as the window applied it (a maximum raised above its minimum, a logarithmic range made
    // positive).
    void ShowRange(double x1, double x2, double y1, double y2);

    // Cancel, Escape and the close box: the values the dialog showed with are applied again.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // OK and Apply refuse, with a message naming the field, while a range field holds no finite number.
    bool Refused();
    void Apply();
    void Changed();
    void LogLimits();

    TAxesValues snapshot_;
    bool wasActive_ = false;
};
