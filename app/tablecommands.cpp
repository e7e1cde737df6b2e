// The table editor's side of a curve window: New curve, Table (Curve data), and the editors the plot panel
// keeps for its curves.
#include "app/EditGrid.h"
#include "app/curvewin.h"
#include "plot/CurvePanels.h"
#include "plot/w_curve.h"

void Tcurvewindow::InstallTables() {
    CurvePanel->MakeTableWindow = [](QWidget* parent, NotifyTarget* window) -> TTableWindow* {
        return new TCurveEditGrid(parent, window);
    };
    // The tables follow every change of the set: new numbers, new file names, new points.
    OnRefresh([this] { CurvePanel->RefreshAllTables(); });
    OnClose([this] { CurvePanel->CloseAllTables(); });
}

void Tcurvewindow::NewCurveClick() {
    if (!CurvePanel->AddCurve(TCurveB(100), false, false)) return;
    const int32_t n = CurvePanel->CurveCount();
    CurvePanel->CurveSet().SetActive(n);
    CurvePanel->CurveSet().Redraw();
    CurvePanel->OpenTable(n, true);
}

void Tcurvewindow::TableClick() {
    CurvePanel->OpenTable(CurvePanel->ActiveIndex());
}
