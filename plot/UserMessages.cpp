#include "plot/UserMessages.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPushButton>

namespace {
// Qt reads the patterns of a filter from its parentheses, separated by blanks: "(*.dat, *.txt)" would look
// for names ending in "dat,". The commas are dropped for the dialog; the caption reads the same otherwise.
QString DialogFilters(const QStringList& filters) {
    QStringList out;
    for (QString f : filters) {
        const auto open = f.lastIndexOf(QLatin1Char('('));
        if (open >= 0)
            f = f.left(open) + f.mid(open).replace(QLatin1Char(','), QLatin1Char(' ')).simplified();
        out << f;
    }
    return out.join(QStringLiteral(";;"));
}
} // namespace

void TDesktopMessages::Error(QWidget* parent, const QString& text) {
    QMessageBox::critical(parent, QStringLiteral("Error"), text, QMessageBox::Ok);
}

void TDesktopMessages::Information(QWidget* parent, const QString& text) {
    QMessageBox::information(parent, QStringLiteral("Information"), text, QMessageBox::Ok);
}

void TDesktopMessages::Warning(QWidget* parent, const QString& text) {
    QMessageBox::warning(parent, QStringLiteral("Warning"), text, QMessageBox::Ok);
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

QString TDesktopMessages::OpenFile(QWidget* parent, const QString& dir, const QStringList& filters,
                                   const QString& caption) {
    return QFileDialog::getOpenFileName(parent, caption, dir, DialogFilters(filters));
}

QString TDesktopMessages::SaveFile(QWidget* parent, const QString& dir, const QStringList& filters) {
    // QFileDialog asks before it overwrites an existing file.
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Save As"), dir, DialogFilters(filters));
}

QString TDesktopMessages::AskText(QWidget* parent, const QString& caption, const QString& label,
                                  const QString& text) {
    bool ok = false;
    const QString answer = QInputDialog::getText(parent, caption, label, QLineEdit::Normal, text, &ok);
    return ok ? answer : QString();
}

bool TDesktopMessages::ChoosePrinter(QWidget* parent, QPrinter& printer, bool setup) {
    // Qt's dialog offers every installed printer and printing to a PDF file (the only choice on a machine
    // without printers); its properties hold the paper and the orientation.
    QPrintDialog dialog(&printer, parent);
    if (setup) {
        dialog.setWindowTitle(QStringLiteral("Print Setup"));
        // Setting up chooses a printer and prints nothing.
        if (auto* buttons = dialog.findChild<QDialogButtonBox*>())
            if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok)) ok->setText(QStringLiteral("OK"));
    }
    return dialog.exec() == QDialog::Accepted;
}

bool TDesktopMessages::ChooseColor(QWidget* parent, QColor& color) {
    const QColor chosen = QColorDialog::getColor(color, parent, QStringLiteral("Color"));
    if (!chosen.isValid()) return false;
    color = chosen;
    return true;
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

TBusyPointer::TBusyPointer() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

TBusyPointer::~TBusyPointer() {
    QApplication::restoreOverrideCursor();
}

QString NotANumberText(const QString& name, const QString& text) {
    const QString what = QStringLiteral("\"%1\" is not a finite number.").arg(text);
    return name.isEmpty() ? what : name + QStringLiteral(": ") + what;
}
