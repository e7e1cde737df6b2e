// Sessions of the curve windows: Save session and Open session, and session files opened from the command
// line, by dropping or through Open.
#include "app/curvewin.h"
#include "app/sessionstore.h"
#include "plot/UserMessages.h"

#include <QFileInfo>

bool Tcurvewindow::OpenSession(const QString& fileName) {
    TSession session;
    QString error;
    bool ok = false;
    {
        TBusyPointer busy;
        ok = ReadSession(fileName, session, error);
    }
    if (!ok) {
        Messages().Error(this, QStringLiteral("The session was not opened: %1").arg(error));
        return false;
    }
    {
        TBusyPointer busy;
        ok = RestoreSession(*this, std::move(session), error);
    }
    if (!ok) {
        Messages().Error(this, QStringLiteral("The session was not opened: %1: %2").arg(fileName, error));
        return false;
    }
    return true;
}

void Tcurvewindow::OpenSessionClick() {
    const QString name =
        Messages().OpenFile(this, DataDir, {SessionFileFilter()}, QStringLiteral("Open session"));
    if (name.isEmpty()) return;
    SetDataDir(QFileInfo(name).absolutePath());
    OpenSession(name);
}

void Tcurvewindow::SaveSessionClick() {
    QString name = Messages().SaveFile(this, DataDir, {SessionFileFilter()});
    if (name.isEmpty()) return;
    // The dialog asked about the name as typed; the name with the extension may be another file.
    if (QFileInfo(name).suffix().isEmpty()) {
        name += SessionExtension();
        if (QFileInfo::exists(name) &&
            !Messages().Confirm(this, QStringLiteral("%1 already exists. Replace it?").arg(name)))
            return;
    }
    SetDataDir(QFileInfo(name).absolutePath());
    QString error;
    bool ok = false;
    {
        TBusyPointer busy;
        ok = WriteSession(name, SessionToJson(CaptureSession(*MainWindow())), error);
    }
    if (!ok) Messages().Error(this, error);
}
