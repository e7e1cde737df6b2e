// Numeric edit fields: TREdit, a one-line edit holding a real value with bounds, and TRDragEdit, which also
// changes its value while the mouse is dragged across it. The operation dialogs and the fit panel use them.
//
// TREdit
//   - SetValue() shows the value with Precision significant digits in the general format (GeneralText); until
//     the user edits that text, Value() is the value set, whole (a preset of ten digits is not cut to the
//     five shown). Otherwise Value() converts the text (the point and the locale's decimal separator are both
//     accepted); a text that is no finite number (a lone "-", 1e400) gives the value set or confirmed last,
//     never a number read from part of what was typed.
//   - Typing accepts only digits, "+", "-", ".", "E", "e", the locale's decimal separator, control keys
//     and keys held with Ctrl, Alt or Meta (editing keys, shortcuts, mnemonics); any other character is
//     refused with the system beep.
//   - MinValue and MaxValue bound the value when they differ (0 and 0 when created: no bounds).
//   - Confirming (Enter, leaving the field, the end of a drag) first clamps the value to the bounds, then
//     fires OnChange2. So OnChange2 always sees the value the field will keep. A text that is no finite
//     number confirms nothing: it stays as typed, for the user to correct, and Enter says why
//     (CheckedValue). OnChange fires on every change of the text, SetValue included.
//
// TRDragEdit: pressing the left button on the field and moving the mouse horizontally changes the value.
//   - Additive (smAdd): step = start value * 0.001 * Sensitivity; each move sets
//     Value = running value + step * (x - start x) + step * start value * (x - last x).
//   - Multiplying (smMult, the default): each move multiplies the value by 1 + r with
//     r = 0.01 * Sensitivity^2 * (x - last x), r never below -0.99999999, so a value never crosses or reaches
//     zero however fast the drag. A value of 0 first becomes 0.1 (that move does nothing else); a value
//     closer to zero than 1e-8 first becomes 1e-8 with its sign.
//   - Negative values (multiplying mode): the same factor applies, so the sign is kept and dragging to the
//     right enlarges the magnitude (-1 becomes -1.01), dragging to the left shrinks it towards zero. Right
//     means "more of the same", whatever the sign.
//   - The drag does not clamp; releasing the button confirms as Enter does (clamp, then OnChange2).
#pragma once

#include <QLineEdit>

#include <functional>

// v in the general number format: `precision` significant digits, fixed notation unless the exponent is
// below -4 or not below `precision`; then "E", a "-" for a negative exponent and at least min(digits, 4)
// exponent digits (1.5E-8 for digits 0, 1.5E-0008 for digits 4 or more). Trailing zeros are dropped.
QString GeneralText(double v, int precision, int digits);

class TREdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TREdit(QWidget* parent = nullptr);

    double Value() const;
    // Shows v; fires OnChange when the text changes.
    void SetValue(double v);
    double MinValue() const { return minValue_; }
    double MaxValue() const { return maxValue_; }
    void SetMinValue(double v) { minValue_ = v; }
    void SetMaxValue(double v) { maxValue_ = v; }
    void SetLimits(double min, double max) {
        minValue_ = min;
        maxValue_ = max;
    }
    // Significant digits of the shown text (5) and the general format's digits argument (10); both apply from
    // the next SetValue.
    int Precision() const { return precision_; }
    void SetPrecision(int p) { precision_ = p; }
    int Digits() const { return digits_; }
    void SetDigits(int d) { digits_ = d; }

    // Whether the text stands for a finite number.
    bool IsNumber() const;
    // The value for an action: false, after telling the user which field (`name`, else the field's
    // accessible name) holds what, and with the text selected for correcting, when the text is no finite
    // number.
    bool CheckedValue(double& v, const QString& name = {});

    // The value within the bounds (when MinValue differs from MaxValue).
    double Clamped(double v) const;
    // Clamps the field's value and, when that changed it, shows the value kept. Returns whether the value
    // changed; a text that is no number is left alone.
    bool Clamp();

    std::function<void()> OnChange;  // every change of the text
    std::function<void()> OnChange2; // the user confirmed a value (after clamping)

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // Clamp, then OnChange2.
    void Confirm();

private:
    // The value the text stands for: false when it is not a finite number.
    bool Read(double& v) const;

    double value_ = 0.0; // set or confirmed last; the value of the text until the user edits it
    double minValue_ = 0.0;
    double maxValue_ = 0.0;
    int precision_ = 5;
    int digits_ = 10;
};

// The value of an edit that was set to `shown`: its text holds only Precision digits, and as long as the user
// has not changed that text the value is `shown` itself, whole (a fitted value or a stored bound is not
// rounded by being looked at).
double ValueKeptWhole(const TREdit& edit, double shown);

enum class TScaleMode { smAdd, smMult };

class TRDragEdit : public TREdit {
    Q_OBJECT
public:
    explicit TRDragEdit(QWidget* parent = nullptr);

    TScaleMode ScaleMode = TScaleMode::smMult;
    float Sensitivity = 1.0f;
    bool Dragging() const { return dragging_; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void DragTo(int x);

    double step_ = 0.01;
    double step2_ = 0.0;
    int startX_ = 0;
    int lastX_ = 0;
    double startValue_ = 0.0;
    double runValue_ = 0.0;
    bool dragging_ = false;
};
