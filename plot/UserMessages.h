// Every message box, question and file dialog of the program goes through one interface, so that the
// windows can be driven by tests that script the user's answers.
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

class QPrinter;
class QWidget;

enum class TSaveAnswer { Yes, No, Cancel };

class UserMessages {
public:
    virtual ~UserMessages() = default;
    // Modal message boxes with one OK button.
    virtual void Error(QWidget* parent, const QString& text) = 0;
    virtual void Information(QWidget* parent, const QString& text) = 0;
    virtual void Warning(QWidget* parent, const QString& text) = 0;
    // A confirmation with the buttons Yes and Cancel; true for Yes.
    virtual bool Confirm(QWidget* parent, const QString& text) = 0;
    // A confirmation with the buttons Yes, No and Cancel (the save questions).
    virtual TSaveAnswer AskSave(QWidget* parent, const QString& text) = 0;
    // File dialogs; an empty result means the user cancelled. The save dialog asks before overwriting.
    virtual QString OpenFile(QWidget* parent, const QString& dir, const QStringList& filters,
                             const QString& caption = QStringLiteral("Open")) = 0;
    virtual QString SaveFile(QWidget* parent, const QString& dir, const QStringList& filters) = 0;
    // The colour dialog, opened on `color`; false when the user cancelled, else the choice is in `color`.
    virtual bool ChooseColor(QWidget* parent, QColor& color) = 0;
    // A line of text with a caption and a label, preset to text; a null string means the user cancelled.
    virtual QString AskText(QWidget* parent, const QString& caption, const QString& label,
                            const QString& text) = 0;
    // The printer dialog on printer (its choice of printer, output file and page); false when cancelled.
    // With setup the dialog only chooses (Print Setup), otherwise it starts a print.
    virtual bool ChoosePrinter(QWidget* parent, QPrinter& printer, bool setup) = 0;
};

// The message boxes and file dialogs of the desktop.
class TDesktopMessages : public UserMessages {
public:
    void Error(QWidget* parent, const QString& text) override;
    void Information(QWidget* parent, const QString& text) override;
    void Warning(QWidget* parent, const QString& text) override;
    bool Confirm(QWidget* parent, const QString& text) override;
    TSaveAnswer AskSave(QWidget* parent, const QString& text) override;
    QString OpenFile(QWidget* parent, const QString& dir, const QStringList& filters,
                     const QString& caption = QStringLiteral("Open")) override;
    QString SaveFile(QWidget* parent, const QString& dir, const QStringList& filters) override;
    bool ChooseColor(QWidget* parent, QColor& color) override;
    QString AskText(QWidget* parent, const QString& caption, const QString& label,
                    const QString& text) override;
    bool ChoosePrinter(QWidget* parent, QPrinter& printer, bool setup) override;
};

// The refusal of a number field's text that is no finite number (a lone "-", 1e400): `name`: "text" is not
// a finite number.
QString NotANumberText(const QString& name, const QString& text);

// The interface every window uses; the desktop one unless a test installed its own. The installed object
// stays owned by the caller.
UserMessages& Messages();
void SetMessages(UserMessages* messages);

// Shows the busy pointer while long work runs (operations, loading files, opening windows).
class TBusyPointer {
public:
    TBusyPointer();
    ~TBusyPointer();
    TBusyPointer(const TBusyPointer&) = delete;
    TBusyPointer& operator=(const TBusyPointer&) = delete;
};
