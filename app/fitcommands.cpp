// The window's side of the fit panel: opening and closing it (the curve commands rest meanwhile), the active
// curve and its fit range passed to the panel's engine, the initial guesses from the data, the model drawn
// over the plot, model curves generated into the set, the fit range picked in the plot and the shapes marked
// there for a two-point guess.
#include "app/CurvePreferences.h"
#include "app/curvewin.h"
#include "app/shareddialogs.h"
#include "curves/faultguard.h"
#include "fit/AddPeak.h"
#include "fit/Fit2.h"
#include "fit/FitDialog.h"
#include "fit/FitSettings.h"
#include "plot/CurvePanels.h"
#include "plot/UserMessages.h"
#include "plot/legend.h"
#include "plot/w_curve.h"

#include <QAction>

#include <cmath>
#include <cstdlib>

void Tcurvewindow::InstallFit() {
    OnNotify(notify::FitPanelShow, [this](int32_t open, int32_t) {
        if (open == 1)
            OpenFitPanel();
        else if (FitPanelShowing())
            FitPanel->hide(); // its hiding comes back here
        else
            FitPanelClosed();
        UpdateCommands();
        return 0;
    });
    for (const int code : {notify::FitRedrawModel, notify::FitUnhighlight})
        OnNotify(code, [this](int32_t, int32_t) {
            DrawFitModel();
            return 0;
        });
    // The overlay is drawn again with every new picture of the curves; one is put in place if it went.
    OnNotify(notify::Repainted, [this](int32_t, int32_t) {
        if (FitPanelShowing() && !CurvePanel->HasOverlay()) DrawFitModel();
        return 0;
    });
    OnNotify(notify::FitInitialGuess, [this](int32_t, int32_t) {
        FitInitialGuesses();
        return 0;
    });
    OnNotify(notify::FitRangePick, [this](int32_t bound, int32_t) {
        if (!FitPanelShowing() || CurvePanel->CurveCount() == 0) return 0;
        PickMode = bound == 0 ? 1 : 2;
        // Enter and the arrow keys pick too.
        activateWindow();
        CurvePanel->setFocus();
        CurvePanel->SetPointPick(true);
        SetPrompt(bound == 0 ? QStringLiteral("Click on left bound of range")
                             : QStringLiteral("Click on right bound of range"));
        UpdateCommands();
        return 0;
    });
    OnNotify(notify::FitMouseMode, [this](int32_t begin, int32_t shape) {
        // Picking a bound and the cursor have the mouse now; the marking comes back after them.
        if (begin == 1 && (PickMode != 0 || CurvePanel->IsCursorShown())) return 0;
        // A press that marks a shape for the fit does not choose another curve to fit.
        const bool mark = begin == 1 && FitPanelShowing();
        CurvePanel->SelectNearest = !mark;
        if (mark)
            CurvePanel->BeginMarkDrag(shape == 0 ? 2 : 1);
        else if (CurvePanel->DragShape() != 0)
            CurvePanel->SetZoomMode(false);
        return 0;
    });
    OnNotify(notify::FitGenerate, [this](int32_t term, int32_t) {
        const TPlottedCurve* active = CurvePanel->ActiveCurve();
        if (!FitPanelShowing() || active == nullptr) return 0;
        const TFitParamB& fit = FitPanel->Fit();
        if (term >= fit.TermCount()) return 0;
        // The active curve's point count, evenly over its x range.
        RunAndApply(
            std::make_unique<TCurveB>(static_cast<const TCurveB&>(*active)),
            [&](TCurveB& c) { return fit.ModelCurve(c, term); }, true, 0,
            QStringLiteral("The model curve cannot be generated: the active curve's x values do not "
                           "span a range."),
            term < 0 ? QStringLiteral("Fit model") : QStringLiteral("Fit model term %1").arg(term + 1));
        UpdateCommands();
        return 0;
    });
    OnNotify(notify::MarkDragEnded, [this](int32_t, int32_t) {
        if (!FitPanelShowing()) return 0;
        const IntPoint a = CurvePanel->DragAnchor(), b = CurvePanel->DragCurrent();
        // A click is no shape.
        if (std::abs(a.x - b.x) < 3 && std::abs(a.y - b.y) < 3) return 0;
        const TGrid& g = CurvePanel->Grid();
        FitPanel->TwoPointGuess({g.DeviceToWorldX(a.x), g.DeviceToWorldY(a.y)},
                                {g.DeviceToWorldX(b.x), g.DeviceToWorldY(b.y)});
        return 0;
    });

    OnRefresh([this] {
        if (!FitPanelShowing()) return;
        if (CurvePanel->CurveCount() == 0)
            FitPanel->hide();
        else
            FollowActiveCurve();
    });
    OnCommandsUpdated([this] {
        if (FitPanel == nullptr) return;
        FitPanel->SetPickState(PickMode);
        if (!FitPanelShowing()) return;
        // While a fit runs the panel stays open.
        if (FitPanel->Running())
            for (const char* name : {"Fit1", "FitBtn"}) Action(QLatin1String(name))->setEnabled(false);
        // Picking a bound, the cursor and zooming take the mouse for a while; the marking comes back after.
        if (PickMode == 0 && !CurvePanel->IsCursorShown() && !CurvePanel->IsZoomMode() &&
            !CurvePanel->ZoomDragging())
            FitPanel->SendMarkShape();
    });
    OnClose([this] {
        if (FitPanel != nullptr) FitPanel->hide();
    });
}

void Tcurvewindow::FitClick() {
    OpenFitPanel();
}

void Tcurvewindow::FitToggle(bool on) {
    if (on)
        OpenFitPanel();
    else if (FitPanelShowing())
        FitPanel->hide();
}

void Tcurvewindow::OpenFitPanel() {
    if (CurvePanel->ActiveCurve() == nullptr) return;
    if (FitPanelShowing()) {
        FitPanel->setWindowState(FitPanel->windowState() & ~Qt::WindowMinimized);
        FitPanel->raise();
        FitPanel->activateWindow();
        return;
    }
    // The fit's curve stays as it is while the panel is open: no table edits it meanwhile. The tables close
    // as the user closes them, with their questions; a table the user keeps open keeps the panel shut.
    // Closing a table may have removed its New curve.
    const TPlottedCurve* active = CurvePanel->CloseTablesAsking() ? CurvePanel->ActiveCurve() : nullptr;
    if (active == nullptr) {
        UpdateCommands(); // the Fit button pops up again
        return;
    }
    if (PickMode != 0) EndRangePick();
    MakeFitPanel();
    FitPanel->DataDir = DataDir;
    FitPanel->SetData(*active, 1, active->Count());
    FitPanel->show();
    FitPanel->raise();
    FitPanel->activateWindow();
    UpdateCommands();
}

TFitDlg& Tcurvewindow::MakeFitPanel() {
    if (FitPanel != nullptr) return *FitPanel;
    TFitLibrary& library = TFitLibrary::Of(
        FunctionLibraryFile.isEmpty() ? LibraryFileFor(QStringLiteral("UserFit.dat")) : FunctionLibraryFile);
    FitPanel = new TFitDlg(this, library);
    FitPanel->EditSettings = [this](TFitSettings& settings) {
        TFitSettingsDlg& dialog = SharedDialog<TFitSettingsDlg>();
        dialog.SetWindow(this);
        dialog.Load(settings);
        if (dialog.exec() != QDialog::Accepted) return false;
        settings = dialog.Values();
        return true;
    };
    FitPanel->OnRunChanged = [this] { UpdateCommands(); };
    FitPanel->SigmaCurves = [this] {
        std::vector<std::pair<QString, TCurveB>> curves;
        for (int32_t n = 1; n <= CurvePanel->CurveCount(); ++n)
            if (const TPlottedCurve* c = CurvePanel->Curve(n))
                // Named as the list of the active curve names them.
                curves.emplace_back(QStringLiteral("#%1: %2").arg(n).arg(ShortFileName(c->FileName)), *c);
        return curves;
    };
    if (!library.LoadProblem().isEmpty()) Messages().Error(this, library.LoadProblem());
    return *FitPanel;
}

void Tcurvewindow::FitPanelClosed() {
    CurvePanel->RemoveOverlay();
    if (PickMode == 1 || PickMode == 2) EndRangePick();
    if (CurvePanel->DragShape() != 0) CurvePanel->SetZoomMode(false);
    CurvePanel->SelectNearest = true;
    RefreshAfterSetChange();
}

void Tcurvewindow::DrawFitModel() {
    if (!FitPanelShowing() || FitPanel->Fit().TermCount() == 0) {
        CurvePanel->RemoveOverlay();
        return;
    }
    QPointer<TFitDlg> panel = FitPanel;
    CurvePanel->DrawOverlay([panel](QPainter& p, const TGrid& g) {
        if (panel != nullptr) panel->DrawModel(p, g);
    });
}

void Tcurvewindow::FollowActiveCurve() {
    const TPlottedCurve* active = CurvePanel->ActiveCurve();
    if (active == nullptr || FitPanel->HoldsData(*active)) return;
    FitPanel->SetData(*active, 1, active->Count());
    DrawFitModel();
}

void Tcurvewindow::FitInitialGuesses() {
    const TPlottedCurve* active = CurvePanel->ActiveCurve();
    if (!FitPanelShowing() || active == nullptr) return;
    TFitParamB& fit = FitPanel->Fit();
    const int32_t first = FitPanel->RangeFirst(), last = FitPanel->RangeLast();
    if (fit.PointCount() == 0 || first < 1 || last > active->Count()) return;
    // A guess that faults leaves every term as it was.
    std::vector<TPeak::TParamReals> before;
    for (const TPeak& t : fit.Terms()) before.push_back(t.value);
    TArithFault fault = RunGuarded([&] { fit.InitialGuesses(*active, first, last); });
    for (const TPeak& t : fit.Terms())
        for (int k = 1; k <= t.nparams && fault == TArithFault::None; ++k)
            fault = CheckFinite(t.value[static_cast<size_t>(k)]);
    if (fault != TArithFault::None) {
        for (size_t i = 0; i < before.size(); ++i) fit.Term(static_cast<int32_t>(i)).value = before[i];
        Messages().Error(FitPanel, QString::fromUtf8(ArithFaultMessage(fault)));
    }
    DrawFitModel();
}

void Tcurvewindow::FitRangePicked(int32_t index) {
    const TPlottedCurve* active = CurvePanel->ActiveCurve();
    const int mode = PickMode;
    EndRangePick();
    if (!FitPanelShowing() || active == nullptr) return;
    int32_t first = FitPanel->RangeFirst(), last = FitPanel->RangeLast();
    // A bound keeps at least six points between itself and the other one; a pick closer than that is
    // ignored.
    if (mode == 1 && index < last - 5) first = index;
    if (mode == 2 && index > first + 5) last = index;
    FitPanel->SetData(*active, first, last);
    DrawFitModel();
    UpdateCommands();
}
