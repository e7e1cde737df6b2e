#include "app/UserMessages.h"

#include <QFileDialog>
#include <QMessageBox>

void TDesktopMessages::Error(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, QStringLiteral("Error"), text, QMessageBox::Ok);
}

void TDesktopMessages::Information(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, QStringLiteral("Information"), text, QMessageBox::Ok);
}

bool TDesktopMessages::Confirm(QWidget* parent, const QString& text) {
    return QMessageBox::question(parent, QStringLiteral("Confirm"), text,
                                 QMessageBox::Yes | QMessageBox::Cancel,
                                 QMessageBox::Cancel) == QMessageBox::Yes;
}

TSaveAnswer TDesktopMessages::AskSave(QWidget* parent, const QString& text) {
    const auto answer =
        QMessageBox::question(parent, QStringLiteral("Confirm"), text,
                              QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
    if (answer == QMessageBox::Yes) return TSaveAnswer::Yes;
    if (answer == QMessageBox::No) return TSaveAnswer::No;
    return TSaveAnswer::Cancel;
}

QString TDesktopMessages::OpenFile(QWidget* parent, const QString& dir, const QStringList& filters) {
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Open"), dir,
                                        filters.join(QStringLiteral(";;")));
}

QString TDesktopMessages::SaveFile(QWidget* parent, const QString& dir, const QStringList& filters) {
    // QFileDialog asks before it overwrites an existing file.
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Save As"), dir,
                                        filters.join(QStringLiteral(";;")));
}

namespace {
TDesktopMessages desktopMessages;
UserMessages* installed = nullptr;
} // namespace

UserMessages& Messages() {
    return installed ? *installed : desktopMessages;
}

void SetMessages(UserMessages* messages) {
    installed = messages;
}
