#include "app/sessionstore.h"

#include "app/curvewin.h"
#include "fit/Fit2.h"
#include "fit/FitDialog.h"
#include "fit/FitSettings.h"
#include "plot/CurvePanels.h"
#include "plot/w_curve.h"

QJsonObject FitSettingsToJson(const TFitSettings& s) {
    QJsonObject o;
    o[QStringLiteral("tolerance")] = s.tolerance;
    o[QStringLiteral("maxIterations")] = s.maxIterations;
    o[QStringLiteral("dragUpdate")] = s.dragUpdate;
    o[QStringLiteral("displayIncrements")] = s.displayIncrements;
    o[QStringLiteral("relativeTest")] = s.relativeTest;
    o[QStringLiteral("ftol")] = s.ftol;
    o[QStringLiteral("xtol")] = s.xtol;
    // By the name the command line's --weights takes.
    o[QStringLiteral("weights")] = QLatin1String(WeightingName(static_cast<TWeighting>(s.weights)));
    return o;
}

bool FitSettingsFromJson(const QJsonObject& o, TFitSettings& settings, QString& why) {
    // The ranges of the settings dialog's fields.
    const TFitSettings def;
    TFitSettings s;
    TSessionReader r;
    const QString where = QStringLiteral("fit settings");
    QString weights;
    if (!r.Real(o, where, QStringLiteral("tolerance"), 0.0, 1e30, s.tolerance, def.tolerance) ||
        !r.Int(o, where, QStringLiteral("maxIterations"), 0, 10000, s.maxIterations, def.maxIterations) ||
        !r.Bool(o, where, QStringLiteral("dragUpdate"), s.dragUpdate, def.dragUpdate) ||
        !r.Int(o, where, QStringLiteral("displayIncrements"), 2, TFitSettingsDlg::MaxIncrements,
               s.displayIncrements, def.displayIncrements) ||
        !r.Bool(o, where, QStringLiteral("relativeTest"), s.relativeTest, def.relativeTest) ||
        !r.Real(o, where, QStringLiteral("ftol"), 0.0, 1.0, s.ftol, def.ftol) ||
        !r.Real(o, where, QStringLiteral("xtol"), 0.0, 1.0, s.xtol, def.xtol) ||
        !r.Text(o, where, QStringLiteral("weights"), weights, 16)) {
        why = r.error;
        return false;
    }
    TWeighting w = TWeighting::None;
    if (!weights.isEmpty() && !WeightingFromName(weights.toStdString(), w)) {
        r.Fail(where, TSessionReader::Key(QStringLiteral("weights")) +
                          QStringLiteral(" is not one of none, sigma, poisson, relative"));
        why = r.error;
        return false;
    }
    s.weights = static_cast<int32_t>(w);
    settings = s;
    return true;
}

namespace {

TSessionWindow CaptureWindow(Tcurvewindow& w) {
    TSessionWindow s;
    s.maximized = w.isMaximized();
    s.geometry = s.maximized ? w.normalGeometry() : w.geometry();
    SessionWindowFromSet(w.CurvePanel->CurveSet(), s);
    s.newCurveMode = w.NewCurveMode;
    if (w.FitPanel != nullptr) {
        const TFitDlg& panel = *w.FitPanel;
        TSessionFit& fit = s.fit.emplace();
        fit.open = w.FitPanelShowing();
        fit.first = panel.RangeFirst();
        fit.last = panel.RangeLast();
        fit.selected = panel.SelectedTerm();
        fit.terms = panel.Fit().Terms();
        fit.settings = FitSettingsToJson(panel.CurrentSettings());
    }
    return s;
}

void ApplyWindow(Tcurvewindow& w, TSessionWindow& s, const TFitSettings& settings) {
    if (s.maximized) {
        w.setGeometry(s.geometry);
        w.showMaximized();
    } else {
        w.showNormal();
        w.setGeometry(s.geometry);
    }
    TCurvePanel& panel = *w.CurvePanel;
    panel.SetZoomMode(false);
    panel.SetCursorShown(false);
    BuildCurveSet(s, panel.CurveSet());
    w.SetNewCurveMode(s.newCurveMode);
    panel.CurveSet().Redraw();
    w.RefreshAfterSetChange();
    const TPlottedCurve* active = panel.ActiveCurve();
    if (s.fit && active != nullptr) {
        TFitDlg& fit = w.MakeFitPanel();
        // Opening the panel passes it the whole active curve; the session's range replaces it then.
        if (s.fit->open) w.OpenFitPanel();
        fit.ApplySettings(settings);
        const bool rangeFits =
            s.fit->first >= 1 && s.fit->last <= active->Count() && s.fit->last - s.fit->first >= 3;
        fit.SetData(*active, rangeFits ? s.fit->first : 1, rangeFits ? s.fit->last : active->Count());
        fit.SetModel(std::move(s.fit->terms), s.fit->selected);
        w.DrawFitModel();
    }
    w.UpdateCommands();
}

} // namespace

TSession CaptureSession(Tcurvewindow& main) {
    TSession session;
    for (Tcurvewindow* w = &main; w != nullptr; w = w->NextWindow)
        session.windows.push_back(CaptureWindow(*w));
    return session;
}

bool SessionHasUnsavedCurves(Tcurvewindow& main) {
    for (Tcurvewindow* w = &main; w != nullptr; w = w->NextWindow)
        for (int32_t i = 1; i <= w->CurvePanel->CurveCount(); ++i) {
            const TPlottedCurve* c = w->CurvePanel->Curve(i);
            if (!c->Saved || c->FileName.empty()) return true;
        }
    return false;
}

bool RestoreSession(Tcurvewindow& into, TSession session, QString& error) {
    // Everything is checked before the first window changes.
    std::vector<TFitSettings> settings(session.windows.size());
    for (size_t i = 0; i < session.windows.size(); ++i) {
        const auto& fit = session.windows[i].fit;
        QString why;
        if (fit && !FitSettingsFromJson(fit->settings, settings[i], why)) {
            error = QStringLiteral("window %1, %2").arg(i + 1).arg(why);
            return false;
        }
    }
    const bool intoTakesFirst = into.CurvePanel->CurveCount() == 0 && !into.FitPanelShowing();
    for (size_t i = 0; i < session.windows.size(); ++i) {
        Tcurvewindow* w = i == 0 && intoTakesFirst ? &into : into.NewWindow();
        // A window that could not be made has been told of; the session's windows stop there.
        if (w == nullptr) break;
        ApplyWindow(*w, session.windows[i], settings[i]);
    }
    return true;
}
