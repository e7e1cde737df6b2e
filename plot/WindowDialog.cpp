#include "plot/WindowDialog.h"

#include <QApplication>
#include <QHideEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QStatusTipEvent>
#include <QTimer>
#include <QWindow>

TWindowDialog::TWindowDialog(QWidget* parent, Qt::WindowFlags flags) : QDialog(parent, flags) {}

void TWindowDialog::SetWindow(QWidget* window) {
    window_ = window;
}

intptr_t TWindowDialog::Send(int code, int32_t a, int32_t b) {
    auto* target = dynamic_cast<NotifyTarget*>(window_.data());
    return target != nullptr ? target->Notify(code, a, b) : 0;
}

void TWindowDialog::CenterOnWindow() {
    if (window_ == nullptr) return;
    adjustSize();
    QRect r = frameGeometry();
    r.moveCenter(window_->frameGeometry().center());
    move(r.topLeft());
}

void TWindowDialog::SetHint(QWidget* w, const QString& hint) {
    const auto cut = hint.indexOf(QLatin1Char('|'));
    w->setToolTip(cut < 0 ? hint : hint.left(cut));
    w->setStatusTip(cut < 0 ? hint : hint.mid(cut + 1));
}

QPushButton* TWindowDialog::Button(const char* name, const char* hint, const char* text) {
    auto* b = Control<QPushButton>(name, hint, QString::fromUtf8(text));
    b->setAutoDefault(false);
    return b;
}

QPushButton* TWindowDialog::MakeUndoButton(const QString& hint, bool onEscape) {
    undoOnEscape_ = onEscape;
    undo_ = Control<QPushButton>("UndoBtn", "", QStringLiteral("&Undo"));
    undo_->setEnabled(false);
    SetHint(undo_, hint);
    connect(undo_, &QPushButton::clicked, this, [this] { Send(notify::UndoRequest); });
    return undo_;
}

void TWindowDialog::SetUndoState(bool enabled, bool shown) {
    if (undo_ == nullptr) return;
    undo_->setEnabled(enabled);
    undo_->setVisible(shown);
}

void TWindowDialog::CloseWhenLeft(int hiddenCode) {
    hiddenCode_ = hiddenCode;
    // Any change of the window in front, not only the dialog's own deactivation: from its own window (where
    // the dialog stays) the user may go on to another one. Decided once the activation has settled: a modal
    // box or window opened over the dialog keeps it open.
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this] {
        QTimer::singleShot(0, this, [this] {
            if (IsLeft()) hide();
        });
    });
}

bool TWindowDialog::IsLeft() const {
    if (!isVisible() || isActiveWindow() || QApplication::activeModalWidget() != nullptr) return false;
    // Work in the dialog's own window (a click into its plot for one) or in another of that window's dialogs
    // keeps the dialog open.
    const QWidget* own = window_ != nullptr ? window_->window() : nullptr;
    for (const QWidget* w = QApplication::activeWindow(); w != nullptr && own != nullptr;
         w = w->parentWidget())
        if (w == own) return false;
    return true;
}

bool TWindowDialog::event(QEvent* e) {
    if (e->type() == QEvent::StatusTip && window_ != nullptr) {
        QStatusTipEvent tip(static_cast<QStatusTipEvent*>(e)->tip());
        QCoreApplication::sendEvent(window_, &tip);
        return true;
    }
    return QDialog::event(e);
}

void TWindowDialog::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    // A hint of a control the pointer was over when the dialog went gives the status line back.
    if (window_ != nullptr) {
        QStatusTipEvent none{QString()};
        QCoreApplication::sendEvent(window_, &none);
    }
    if (hiddenCode_ != 0 && !event->spontaneous()) Send(hiddenCode_);
}

void TWindowDialog::keyPressEvent(QKeyEvent* event) {
    // QDialog turns both Escape and the close box into reject(), so Undo is taken here, from the key alone.
    if (undoOnEscape_ && event->matches(QKeySequence::Cancel) && undo_->isVisible() && undo_->isEnabled()) {
        undo_->click();
        return;
    }
    QDialog::keyPressEvent(event);
}
