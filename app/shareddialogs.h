// Dialogs shared by every curve window (display properties, axes, averaging, interpolation, curve and
// constant, curve and curve, insert rows, preferences, fit settings): one of each for the whole program, made
// on first use, keeping its settings between uses and serving whichever window shows it. A window stores
// itself in the dialog (its NotifyTarget) before showing it.
#pragma once

#include <QApplication>
#include <QPointer>

template <class TDialog>
TDialog& SharedDialog() {
    static QPointer<TDialog> dialog;
    if (dialog.isNull()) {
        dialog = new TDialog(nullptr);
        // Widgets must go before the application object does.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, dialog.data(), &QObject::deleteLater);
    }
    return *dialog;
}
