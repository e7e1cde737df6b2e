// Driving a modal dialog from a test: the step runs once the dialog shows (inside its own event loop), and
// the dialog is closed afterwards if the step left it open (a failed check returns from the step early).
#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>

template <class TDialog, class F>
void WhileShown(F step) {
    QTimer::singleShot(0, [step] {
        auto* d = qobject_cast<TDialog*>(QApplication::activeModalWidget());
        if (d == nullptr) qFatal("the dialog did not show");
        // As on the desktop, the dialog is the active window (leaving a field confirms it only there).
        QApplication::setActiveWindow(d);
        step(*d);
        if (d->isVisible()) d->done(QDialog::Rejected);
    });
}
