// Zooming and panning of the plot panel: the zoom rectangle and the marking shapes dragged with the mouse,
// the zoom and pan keys, the wheel zoom about the pointer and the zoom to all curves.
#include "plot/CurvePanels.h"

#include "plot/w_curve.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

void TCurvePanel::SetZoomMode(bool on) {
    if (on) {
        if (zoomMode_ || CurveCount() == 0) return;
        zoomMode_ = true;
        if (dragShape_ == 0) {
            setCursor(Qt::CrossCursor);
            Send(notify::ZoomModeChanged, 1, 0);
        }
    } else {
        zoomMode_ = false;
        zoomDragging_ = false;
        if (dragShape_ == 0) {
            setCursor(Qt::ArrowCursor);
            Send(notify::ZoomModeChanged, 0, 0);
        }
        update();
    }
}

void TCurvePanel::ZoomRequest(bool on) {
    if (on) {
        savedZoomMode_ = zoomMode_;
        if (zoomMode_) {
            savedDragShape_ = dragShape_;
            SetZoomMode(false);
        }
        dragShape_ = 0;
        SetZoomMode(true);
    } else {
        SetZoomMode(false);
        dragShape_ = savedDragShape_;
        if (savedZoomMode_) SetZoomMode(true);
    }
}

void TCurvePanel::BeginMarkDrag(int shape) {
    if (IsZoomMode()) ZoomRequest(false);
    dragShape_ = 1;
    SetZoomMode(true);
    if (shape == 2) dragShape_ = 2;
}

void TCurvePanel::EndZoom(int X, int Y) {
    if (X != dragAnchor_.x || Y != dragAnchor_.y) {
        dragCurrent_ = {X, Y};
        TGrid& g = Grid();
        const int ax = std::min(X, dragAnchor_.x), ay = std::max(Y, dragAnchor_.y);
        const int bx = std::max(X, dragAnchor_.x), by = std::min(Y, dragAnchor_.y);
        const RealPoint a{g.DeviceToWorldX(ax), g.DeviceToWorldY(ay)};
        const RealPoint b{g.DeviceToWorldX(bx), g.DeviceToWorldY(by)};
        // A rectangle dragged past the frame of a logarithmic axis, or of one near the largest double, may
        // end beyond the numbers: the axes then stay as they were.
        if (TWin::Drawable(a, b)) {
            g.WorldMin = a;
            g.WorldMax = b;
            curveSet_->Redraw();
        }
    }
    ZoomRequest(false);
    if (OnZoomed) OnZoomed();
}

bool TCurvePanel::KeyDown(int key, Qt::KeyboardModifiers shift) {
    shift &= Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    struct TPan {
        double xf, xs, yf, ys;
    };
    const bool ctrl = shift == Qt::ControlModifier;
    const bool ctrlShift = shift == (Qt::ControlModifier | Qt::ShiftModifier);
    if (ctrl || ctrlShift) {
        TPan pan{};
        bool found = true;
        switch (key) {
        case Qt::Key_Left:
            pan = ctrl ? TPan{1, -0.2, 1, 0} : TPan{0.8, 0, 1, 0};
            break;
        case Qt::Key_Right:
            pan = ctrl ? TPan{1, 0.2, 1, 0} : TPan{1.25, 0, 1, 0};
            break;
        case Qt::Key_Up:
            pan = ctrl ? TPan{1, 0, 1, -0.2} : TPan{1, 0, 0.8, 0};
            break;
        case Qt::Key_Down:
            pan = ctrl ? TPan{1, 0, 1, 0.2} : TPan{1, 0, 1.25, 0};
            break;
        default:
            found = false;
        }
        if (found) {
            curveSet_->ZoomBy(pan.xf, pan.xs, pan.yf, pan.ys);
            return true;
        }
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        Send(notify::PointPicked, Crosshair.Index, 0);
        return true;
    }
    if ((key == Qt::Key_Left || key == Qt::Key_Right) && Crosshair.Shown) {
        if (const TPlottedCurve* c = ActiveCurve())
            CursorMoved(Crosshair.MoveBy(*c, Grid(), key == Qt::Key_Left ? -1 : 1));
        return true;
    }
    return false;
}

void TCurvePanel::WheelZoom(int X, int Y, int delta, TWheelAxes axes) {
    if (CurveCount() == 0) return;
    // High-resolution wheels send small steps: they add up to whole steps of 120 units.
    wheelRest_ += delta;
    const int steps = wheelRest_ / 120;
    wheelRest_ -= steps * 120;
    if (steps == 0) return;
    TGrid& g = Grid();
    // Several steps may come between two paints: the mapping must be that of the present world.
    g.UpdateScale();
    // Turning the wheel away from the user zooms in, by the factors of the zoom keys.
    const double factor = std::pow(steps > 0 ? 0.8 : 1.25, std::abs(steps));
    // The world point under the pointer stays under it: both ends move towards it (or away from it) by the
    // factor; on a logarithmic axis in decades, so that a step out of 1 .. 1000 does not reach below zero,
    // where the axis would jump to 1e-20 and squeeze the curves into its top.
    auto zoom = [factor](bool log, double at, double& min, double& max) {
        if (log && min > 0 && at > 0) {
            const double l = std::log10(at);
            min = std::pow(10.0, l - (l - std::log10(min)) * factor);
            max = std::pow(10.0, l + (std::log10(max) - l) * factor);
        } else {
            // In this form no difference of two ends is formed, which overflows near the largest double.
            min = at * (1.0 - factor) + min * factor;
            max = at * (1.0 - factor) + max * factor;
        }
    };
    RealPoint min = g.WorldMin, max = g.WorldMax;
    if (axes != TWheelAxes::Y) zoom(g.XLog, g.DeviceToWorldX(X), min.x, max.x);
    if (axes != TWheelAxes::X) zoom(g.YLog, g.DeviceToWorldY(Y), min.y, max.y);
    // Zooming out past the end of the numbers (or over a range as wide as them): the world stays as it was.
    if (!TWin::Drawable(min, max)) return;
    g.SetWorld(min, max);
    curveSet_->Redraw();
}

void TCurvePanel::ZoomToFit() {
    if (CurveCount() == 0) return;
    curveSet_->RescaleAndRedraw();
}

void TCurvePanel::SetAutoUpdate(bool on) {
    if (on) curveSet_->RescaleAndRedraw();
    AutoUpdate = on;
}
