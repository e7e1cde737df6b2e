// The program's side of sessions: the state of its curve windows taken into a session, windows made again
// from one, and the fit panel's settings as the session keeps them.
#pragma once

#include "plot/session.h"

#include <QJsonObject>
#include <QString>

class Tcurvewindow;
struct TFitSettings;

// The file dialogs' filter of session files.
inline QString SessionFileFilter() {
    return QStringLiteral("Graphmill session (*.gmsession)");
}

// The fit settings as named values, and back. Values missing from the object keep their defaults; a value
// of the wrong kind or out of its range refuses the whole object, with `why` naming it.
QJsonObject FitSettingsToJson(const TFitSettings& settings);
bool FitSettingsFromJson(const QJsonObject& object, TFitSettings& settings, QString& why);

// Every window of the chain `main` belongs to, in chain order (main first).
TSession CaptureSession(Tcurvewindow& main);
// Whether a window of the chain holds a curve that is not saved in its file.
bool SessionHasUnsavedCurves(Tcurvewindow& main);

// Puts the windows of a session on the screen: the first into `into` when it holds no curve, every other one
// (all of them when `into` has curves) into a new window of the chain. Everything the session asks for is
// checked before any window changes; false with `error` set when something is refused (nothing changed
// then).
bool RestoreSession(Tcurvewindow& into, TSession session, QString& error);
