// How a window shows its curves: the crosshair cursor, zooming, auto update, the toolbar, new-curve mode,
// the next curve, the colours of the positions, the legend, round tick values and the user guide.
#include "app/HelpContents.h"
#include "app/curvewin.h"
#include "plot/CurvePanels.h"
#include "plot/w_curve.h"

#include <QAction>
#include <QToolBar>

void Tcurvewindow::SwitchCursor(bool on) {
    if (CurvePanel->CurveCount() > 0) CurvePanel->SetCursorShown(on);
    // The picks of Remove range land on the cursor: without it the range pick is over.
    if (!CurvePanel->IsCursorShown() && PickMode != 0) EndRangePick();
}

void Tcurvewindow::ZoomIn(bool on) {
    CurvePanel->ZoomRequest(on);
}

void Tcurvewindow::ZoomOut() {
    if (CurvePanel->CurveCount() == 0) return;
    CurvePanel->CurveSet().ZoomBy(1.2, 0, 1.2, 0);
}

void Tcurvewindow::ZoomToFit() {
    CurvePanel->ZoomToFit();
}

void Tcurvewindow::SetAutoUpdate(bool on) {
    CurvePanel->SetAutoUpdate(on);
}

void Tcurvewindow::ShowToolbar(bool on) {
    toolbarShown_ = on;
    for (QToolBar* bar : bands_) bar->setVisible(on);
}

void Tcurvewindow::SetNewCurveMode(bool on) {
    NewCurveMode = on;
}

void Tcurvewindow::NextCurve() {
    CurvePanel->SetActiveCurve(CurvePanel->ActiveIndex() + 1);
}

void Tcurvewindow::ResetColors() {
    CurvePanel->ResetColors();
}

void Tcurvewindow::PlotDoubleClick(QPoint pos) {
    // Inside the plot frame the display properties of the active curve (the press before chose the nearest
    // curve), outside it the axes are edited, as the menu commands would.
    CurvePanel->IgnoreNextPress();
    const bool inside = CurvePanel->Grid().PtInside({pos.x(), pos.y()});
    QAction* command = Action(inside ? QStringLiteral("Curvedisplay1") : QStringLiteral("Axes1"));
    if (command != nullptr && command->isEnabled()) command->trigger();
}

void Tcurvewindow::ShowLegend(bool on) {
    CurvePanel->SetLegendShown(on);
    WritePreferences();
}

bool Tcurvewindow::LegendShown() const {
    return CurvePanel->LegendShown();
}

void Tcurvewindow::SetRoundTicks(bool on) {
    if (CurvePanel->Grid().RoundTicks == on) return;
    CurvePanel->Grid().RoundTicks = on;
    CurvePanel->CurveSet().Redraw();
    WritePreferences();
}

bool Tcurvewindow::RoundTicksOn() const {
    return CurvePanel->CurveSet().Grid.RoundTicks;
}

void Tcurvewindow::HelpContents() {
    THelpContents::ShowGuide(this);
}
