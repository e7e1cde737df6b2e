// A dialog that serves a curve window: it sends the window its notifications, shows its hints in the
// window's status line, and opens over the window. The window stores itself in the dialog before showing
// it; a dialog whose window has gone sends nothing.
#pragma once

#include "plot/NotifyTarget.h"

#include <QDialog>
#include <QPointer>
#include <QPushButton>

#include <utility>

class TWindowDialog : public QDialog {
    Q_OBJECT
public:
    explicit TWindowDialog(QWidget* parent = nullptr, Qt::WindowFlags flags = {});

    // The window served: a widget that receives the notifications (a NotifyTarget). Null for none.
    void SetWindow(QWidget* window);
    QWidget* Window() const { return window_; }
    // Sends a notification to the window and returns its answer; 0 without a window.
    intptr_t Send(int code, int32_t a = 0, int32_t b = 0);
    // Puts the dialog over the middle of its window.
    void CenterOnWindow();
    // The Undo button (when the dialog has one) follows the window's undo curve and shows only while
    // new-curve mode is off.
    void SetUndoState(bool enabled, bool shown);

    // A hint "short|long": the short part is the tooltip, the long part goes to the status line; a hint
    // without "|" serves as both.
    static void SetHint(QWidget* w, const QString& hint);

protected:
    // A control of the dialog: made with `args` and the dialog as parent, named (for tests and styles) and
    // given its hint (none when empty).
    template <class TControl, class... Args>
    TControl* Control(const char* name, const char* hint, Args&&... args) {
        auto* c = new TControl(std::forward<Args>(args)..., this);
        c->setObjectName(QLatin1String(name));
        if (*hint != '\0') SetHint(c, QString::fromUtf8(hint));
        return c;
    }
    // A push button made as Control makes its controls that Enter never presses: Enter confirms the field
    // being edited, or acts on the list that has the focus. With slot, a click calls it.
    QPushButton* Button(const char* name, const char* hint, const char* text);
    template <class TDialog>
    QPushButton* Button(const char* name, const char* hint, const char* text, void (TDialog::*slot)()) {
        QPushButton* b = Button(name, hint, text);
        connect(b, &QPushButton::clicked, static_cast<TDialog*>(this), slot);
        return b;
    }
    // An "&Undo" button that asks the window for Undo; with onEscape, Escape presses it while it can act.
    QPushButton* MakeUndoButton(const QString& hint, bool onEscape);
    // The modeless operation dialogs close when a window other than their own curve window and its dialogs
    // becomes active (not for a message or window they opened themselves), and tell their window when they
    // are hidden.
    void CloseWhenLeft(int hiddenCode);
    // Whether a window other than the curve window and its dialogs is in front (or none of the program's).
    bool IsLeft() const;

    // Status tips of the dialog's controls go to the window's status line.
    bool event(QEvent* e) override;
    void hideEvent(QHideEvent* event) override;
    // Escape: Undo when the dialog has a usable Undo button; otherwise the dialog closes. Only the key: the
    // close box and Close never undo.
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPointer<QWidget> window_;
    QPushButton* undo_ = nullptr;
    bool undoOnEscape_ = false;
    int hiddenCode_ = 0;
};
