#include "fit/RSpinEdit.h"

#include "plot/UserMessages.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>

#include <algorithm>
#include <cmath>

QString GeneralText(double v, int precision, int digits) {
    const QString s = QString::number(v, 'g', std::clamp(precision, 1, 17));
    const auto e = s.indexOf(QLatin1Char('e'));
    if (e < 0) return s;
    const int exponent = s.mid(e + 1).toInt();
    const QString expDigits =
        QString::number(std::abs(exponent)).rightJustified(std::clamp(digits, 1, 4), QLatin1Char('0'));
    return s.left(e) + (exponent < 0 ? QStringLiteral("E-") : QStringLiteral("E")) + expDigits;
}

TREdit::TREdit(QWidget* parent) : QLineEdit(parent) {
    connect(this, &QLineEdit::textChanged, this, [this] {
        if (OnChange) OnChange();
    });
    SetValue(0.0);
}

namespace {
// The text as a finite number, with the point or the locale's decimal separator.
bool Convert(const QString& text, double& v) {
    QString t = text.trimmed();
    // The point always works; a locale that writes a decimal comma may use it too.
    const QString separator = QLocale().decimalPoint();
    if (separator != QLatin1String(".")) t.replace(separator, QStringLiteral("."));
    QLocale c = QLocale::c();
    c.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double parsed = c.toDouble(t, &ok);
    if (!ok || !std::isfinite(parsed)) return false;
    v = parsed;
    return true;
}
} // namespace

bool TREdit::Read(double& v) const {
    if (!isModified()) {
        v = value_;
        return true;
    }
    return Convert(text(), v);
}

bool TREdit::IsNumber() const {
    double v;
    return Read(v);
}

double TREdit::Value() const {
    double v;
    return Read(v) ? v : value_;
}

bool TREdit::CheckedValue(double& v, const QString& name) {
    if (Read(v)) return true;
    Messages().Error(window(), NotANumberText(name.isEmpty() ? accessibleName() : name, text()));
    setFocus();
    selectAll();
    return false;
}

void TREdit::SetValue(double v) {
    value_ = v;
    setText(GeneralText(v, precision_, digits_));
}

double TREdit::Clamped(double v) const {
    if (minValue_ == maxValue_) return v;
    if (v < minValue_) return minValue_;
    if (v > maxValue_) return maxValue_;
    return v;
}

bool TREdit::Clamp() {
    double v;
    if (!Read(v)) return false;
    const double kept = Clamped(v);
    if (kept != v) {
        SetValue(kept);
        return true;
    }
    // The typed text stays as it is and now stands for the value kept.
    value_ = v;
    setModified(false);
    return false;
}

void TREdit::Confirm() {
    if (!IsNumber()) return;
    Clamp();
    if (OnChange2) OnChange2();
}

void TREdit::keyPressEvent(QKeyEvent* event) {
    const QString typed = event->text();
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // A text that is no number is refused here, and Enter goes no further: the default button would act
        // on the value the field held before.
        double v;
        if (!CheckedValue(v)) {
            event->accept();
            return;
        }
        Confirm();
        // The dialog still sees Enter (its default button).
        QLineEdit::keyPressEvent(event);
        return;
    }
    // Shortcuts and mnemonics (Ctrl+A, Alt+E) are not typing.
    if ((event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) != 0) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    const QString separator = QLocale().decimalPoint();
    for (const QChar ch : typed) {
        const bool control = ch.unicode() < 0x20 || ch.unicode() == 0x7F;
        const bool allowed =
            control || ch.isDigit() || QStringLiteral("+-.Ee").contains(ch) || separator.contains(ch);
        if (!allowed) {
            QApplication::beep();
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void TREdit::focusOutEvent(QFocusEvent* event) {
    Confirm();
    QLineEdit::focusOutEvent(event);
}

double ValueKeptWhole(const TREdit& edit, double shown) {
    return edit.text() == GeneralText(shown, edit.Precision(), edit.Digits()) ? shown : edit.Value();
}

// ---------------------------------------------------------------- TRDragEdit

TRDragEdit::TRDragEdit(QWidget* parent) : TREdit(parent) {
    setCursor(Qt::SizeHorCursor);
}

void TRDragEdit::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const int x = qRound(event->position().x());
        startX_ = lastX_ = x;
        startValue_ = runValue_ = Value();
        dragging_ = true;
        if (ScaleMode == TScaleMode::smAdd)
            step_ = step2_ = Value() * 0.001 * Sensitivity;
        else
            step_ = 0.01 * Sensitivity;
    }
    QLineEdit::mousePressEvent(event);
}

void TRDragEdit::mouseMoveEvent(QMouseEvent* event) {
    if (!dragging_) {
        QLineEdit::mouseMoveEvent(event);
        return;
    }
    DragTo(qRound(event->position().x()));
}

void TRDragEdit::DragTo(int x) {
    if (ScaleMode == TScaleMode::smAdd) {
        const double v = runValue_ + step_ * (x - startX_) + step2_ * startValue_ * (x - lastX_);
        if (std::isfinite(v)) SetValue(v);
        runValue_ = Value();
    } else {
        double v = Value();
        if (v == 0.0) {
            SetValue(0.1);
        } else {
            if (std::fabs(v) < 1e-8) v = std::copysign(1e-8, v);
            const double r = std::max(step_ * Sensitivity * (x - lastX_), -0.99999999);
            const double next = v * (1.0 + r);
            SetValue(std::isfinite(next) ? next : v);
        }
    }
    lastX_ = x;
}

void TRDragEdit::mouseReleaseEvent(QMouseEvent* event) {
    QLineEdit::mouseReleaseEvent(event);
    if (event->button() != Qt::LeftButton || !dragging_) return;
    dragging_ = false;
    Confirm();
}
