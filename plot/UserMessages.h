// Every message box, question and file dialog of the program goes through one interface, so that the
// windows can be driven by tests that script the user's answers.
#pragma once

#include <QColor>
#include <QString>
#include <QStringList>

class QWidget;

enum class TSaveAnswer { Yes, No, Cancel };

class UserMessages {
public:
    virtual ~UserMessages() = default;
    // Modal message boxes with one OK button.
    virtual void Error(QWidget* parent, const QString& text) = 0;
    virtual void Information(QWidget* parent, const QString& text) = 0;
    // A confirmation with the buttons Yes and Cancel; true for Yes.
    virtual bool Confirm(QWidget* parent, const QString& text) = 0;
    // A confirmation with the buttons Yes, No and Cancel (the save questions).
    virtual TSaveAnswer AskSave(QWidget* parent, const QString& text) = 0;
    // File dialogs; an empty result means the user cancelled. The save dialog asks before overwriting.
    virtual QString OpenFile(QWidget* parent, const QString& dir, const QStringList& filters) = 0;
    virtual QString SaveFile(QWidget* parent, const QString& dir, const QStringList& filters) = 0;
    // The colour dialog, opened on `color`; false when the user cancelled, else the choice is in `color`.
    virtual bool ChooseColor(QWidget* parent, QColor& color) = 0;
};

// The message boxes and file dialogs of the desktop.
class TDesktopMessages : public UserMessages {
public:
    void Error(QWidget* parent, const QString& text) override;
    void Information(QWidget* parent, const QString& text) override;
    bool Confirm(QWidget* parent, const QString& text) override;
    TSaveAnswer AskSave(QWidget* parent, const QString& text) override;
    QString OpenFile(QWidget* parent, const QString& dir, const QStringList& filters) override;
    QString SaveFile(QWidget* parent, const QString& dir, const QStringList& filters) override;
    bool ChooseColor(QWidget* parent, QColor& color) override;
};

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
