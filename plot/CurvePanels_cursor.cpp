// The crosshair cursor of the plot panel: showing it, moving it along the active curve, picking points with
// it, and the choice of the active curve (by number or by a click near a curve), which it follows.
#include "plot/CurvePanels.h"

#include "plot/w_curve.h"

#include <cmath>

void TCurvePanel::ShowReadout() {
    if (OnReadout) OnReadout(Crosshair.Readout());
}

void TCurvePanel::CursorMoved(bool moved) {
    if (!moved) return;
    if (!painting_) UpdateCrosshairArea(Crosshair.PrevPos, Crosshair.Pos);
    ShowReadout();
}

void TCurvePanel::CursorFollowActive(int px) {
    const TPlottedCurve* c = ActiveCurve();
    if (c == nullptr) return;
    Crosshair.SkipErase = true;
    CursorMoved(Crosshair.MoveToX(*c, Grid(), px));
    Crosshair.SkipErase = false;
}

void TCurvePanel::SetCursorShown(bool on) {
    if (on == Crosshair.Shown) return;
    if (on) {
        if (CurveCount() == 0) return;
        zoomMode_ = false;
        Crosshair.PointPick = false;
        Crosshair.Shown = true;
        Send(notify::Cursor, 1, 0);
        if (Crosshair.PlotBottomRight.x == 0 && Crosshair.PlotTopLeft.x == 0) {
            Crosshair.PlotTopLeft = Grid().DevTopLeft;
            Crosshair.PlotBottomRight = Grid().DevBottomRight;
        }
        CursorFollowActive((Crosshair.PlotTopLeft.x + Crosshair.PlotBottomRight.x) / 2);
        update();
    } else {
        // Hiding the cursor ends point picking: the cursor follows the curve and clicks choose curves again.
        if (Crosshair.PointPick) {
            Crosshair.Interpolate = Crosshair.SavedInterpolate;
            SelectNearest = Crosshair.SavedSelectNearest;
        }
        Crosshair.Shown = false;
        Crosshair.SkipErase = true;
        Crosshair.PointPick = false;
        update();
        Send(notify::Cursor, 0, 0);
        if (OnReadout) OnReadout(QString());
    }
}

void TCurvePanel::SetPointPick(bool on) {
    if (CurveCount() == 0 || on == Crosshair.PointPick) return;
    if (on) {
        Crosshair.SavedShown = Crosshair.Shown;
        Crosshair.SavedInterpolate = Crosshair.Interpolate;
        Crosshair.SavedSelectNearest = SelectNearest;
        SetCursorShown(false);
        Crosshair.Interpolate = false;
        // The picked indices belong to the active curve: a pick must not make another curve active.
        SelectNearest = false;
        SetCursorShown(true);
    } else {
        SetCursorShown(false);
        Crosshair.Interpolate = Crosshair.SavedInterpolate;
        SelectNearest = Crosshair.SavedSelectNearest;
        if (Crosshair.SavedShown) SetCursorShown(true);
    }
    Crosshair.PointPick = on;
}

void TCurvePanel::MoveCursorToX(int px) {
    if (const TPlottedCurve* c = ActiveCurve()) CursorMoved(Crosshair.MoveToX(*c, Grid(), px));
}

void TCurvePanel::SetActiveCurve(int32_t n) {
    if (CurveCount() < 2 || n == ActiveIndex()) return;
    curveSet_->SetActiveWrap(n);
    // The active curve is drawn last, over the others.
    Notify(notify::RebuildImage, 0, 0);
    if (Crosshair.Shown) CursorFollowActive(Crosshair.Pos.x);
}

void TCurvePanel::SelectNearestCurve(int X, int Y) {
    const TGrid& g = Grid();
    if (!g.PtInsideStrict({X, Y}) || CurveCount() < 2) return;
    const double x = g.DeviceToWorldX(X);
    int best = 0;
    double bestDistance = 1000;
    for (int32_t i = 1; i <= CurveCount(); ++i) {
        double y = 0;
        int32_t hint = 0;
        const double d = Curve(i)->ValueAt(hint, x, y) ? std::abs(g.WorldToDeviceY(y) - Y) : 500.0;
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    if (best > 0 && bestDistance < 80) {
        curveSet_->SetActiveWrap(best);
        if (Crosshair.Shown) CursorFollowActive(X + 1);
    }
}
