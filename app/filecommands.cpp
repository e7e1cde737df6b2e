// Curves in and out of a window: opening, dropping, saving, deleting and clearing.
#include "app/curvewin.h"
#include "app/sessionstore.h"
#include "plot/CurvePanels.h"
#include "plot/SpecialCombos.h"
#include "plot/UserMessages.h"
#include "plot/w_curve.h"

#include <QFileInfo>

namespace {
const QString OpenFilter = QStringLiteral("ASCII file (*.dat, *.txt, *.asc, *.lin)");
const QString AnyFilter = QStringLiteral("Any file (*.*)");

QString NoPointsMessage(const QString& file, const std::string& error) {
    return error.empty() ? file + QStringLiteral(": no points found") : QString::fromStdString(error);
}
} // namespace

// What Open passed over in a file, for the status line (importcommands.cpp); empty when nothing.
QString OpenNotesText(const QString& file, const TCurveReadNotes& notes);

void Tcurvewindow::LoadFiles(const QStringList& files) {
    QStringList problems, notes, sessions;
    const int32_t before = CurvePanel->CurveCount();
    {
        TBusyPointer busy;
        for (const QString& f : files) {
            // Sessions open after the curves, into windows of their own unless this one stays empty.
            if (IsSessionFile(f)) {
                sessions << f;
                continue;
            }
            std::string error;
            TCurveReadNotes passed;
            TCurveB curve = TCurveB::CreateFromFile(f.toStdString(), true, &error, &passed);
            if (curve.Count() == 0) {
                problems << NoPointsMessage(f, error);
                continue;
            }
            if (const QString said = OpenNotesText(f, passed); !said.isEmpty()) notes << said;
            if (!CurvePanel->AddCurve(std::move(curve), true, false)) break;
        }
        // One redraw for the whole batch.
        if (CurvePanel->CurveCount() != before) CurvePanel->CurveSet().Redraw();
    }
    if (!notes.isEmpty()) SetPrompt(notes.join(QLatin1Char(' ')));
    if (!problems.isEmpty())
        Messages().Error(this,
                         QStringLiteral("No curve could be read from:\n") + problems.join(QLatin1Char('\n')));
    for (const QString& f : sessions) OpenSession(f);
}

void Tcurvewindow::DropFiles(const QStringList& files) {
    // Names are taken whole: a name cut to some length could name another file.
    LoadFiles(files);
}

void Tcurvewindow::OpenCurve() {
    CurvePanel->SetZoomMode(false);
    const QString name = Messages().OpenFile(this, DataDir, {OpenFilter, SessionFileFilter(), AnyFilter});
    if (name.isEmpty()) return;
    SetDataDir(QFileInfo(name).absolutePath());
    if (IsSessionFile(name)) {
        OpenSession(name);
        return;
    }
    std::string error;
    TCurveB curve;
    TCurveReadNotes passed;
    {
        TBusyPointer busy;
        curve = TCurveB::CreateFromFile(name.toStdString(), true, &error, &passed);
    }
    if (curve.Count() == 0) {
        Messages().Error(this, NoPointsMessage(name, error));
        return;
    }
    const bool wasEmpty = CurvePanel->CurveCount() == 0;
    if (CurvePanel->AddCurve(std::move(curve), wasEmpty || CurvePanel->AutoUpdate, true))
        if (const QString said = OpenNotesText(name, passed); !said.isEmpty()) SetPrompt(said);
}

bool Tcurvewindow::WriteCurve(int32_t n, const std::string& fileName) {
    TPlottedCurve* c = CurvePanel->Curve(n);
    std::string error;
    bool ok = false;
    {
        TBusyPointer busy;
        ok = c->SaveToFile(fileName, "", "", &error);
    }
    if (!ok) {
        Messages().Error(
            this, QStringLiteral("Curve #%1 was not saved: %2").arg(n).arg(QString::fromStdString(error)));
        return false;
    }
    RefreshAfterSetChange();
    return true;
}

bool Tcurvewindow::SaveCurve(int32_t n) {
    const TPlottedCurve* c = CurvePanel->Curve(n);
    if (c == nullptr) return false;
    if (c->FileName.empty()) return SaveCurveAs(n);
    return WriteCurve(n, c->FileName);
}

bool Tcurvewindow::SaveCurveAs(int32_t n) {
    if (CurvePanel->Curve(n) == nullptr) return false;
    const QString name = Messages().SaveFile(this, DataDir, {OpenFilter, AnyFilter});
    if (name.isEmpty()) return false;
    SetDataDir(QFileInfo(name).absolutePath());
    return WriteCurve(n, name.toStdString());
}

void Tcurvewindow::SaveActive() {
    SaveCurve(CurvePanel->ActiveIndex());
}

void Tcurvewindow::SaveActiveAs() {
    SaveCurveAs(CurvePanel->ActiveIndex());
}

void Tcurvewindow::DeleteCurve() {
    RemoveActive(QStringLiteral("Delete"));
}

void Tcurvewindow::RemoveActive(const QString& verb) {
    if (CurvePanel->CurveCount() == 0) return;
    if (CurvePanel->CurveCount() == 1) CurvePanel->SetCursorShown(false);
    CurvePanel->DeleteActiveCurve(verb);
    RefreshAfterSetChange();
}

void Tcurvewindow::ClearAll() {
    // Every curve would be lost at once: ask about the unsaved ones first.
    if (!AskSaveCurves()) return;
    CurvePanel->SetZoomMode(false);
    CurvePanel->SetCursorShown(false);
    // No table may stay open on a curve that is gone.
    CurvePanel->CloseAllTables();
    CurvePanel->RemoveAllCurves();
    RefreshAfterSetChange();
}
