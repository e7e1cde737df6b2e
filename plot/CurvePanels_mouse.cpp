// The mouse on the plot panel: presses, moves, releases, double clicks and the wheel, and the drag of the
// active curve from one panel onto another.
#include "plot/CurvePanels.h"

#include "plot/w_curve.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QMouseEvent>

namespace {
// A drag of the active curve carries the address of its panel; only panels of this process accept it.
const QString PanelMime = QStringLiteral("application/x-graphmill-curve-panel");
} // namespace

void TCurvePanel::PressAt(Qt::MouseButton button, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods,
                          QPoint pos) {
    const int X = pos.x(), Y = pos.y();
    if (lastDown_.x == -1 && lastDown_.y == -1) {
        lastDown_ = {X, Y};
        return;
    }
    lastDown_ = {X, Y};
    const bool onlyLeft =
        buttons == Qt::LeftButton &&
        (mods & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == Qt::NoModifier;
    // The legend is taken to another place; zooming and picking points reach through it.
    if (onlyLeft && !zoomMode_ && !Crosshair.PointPick && LegendHit(pos)) {
        legendDrag_ = true;
        legendGrab_ = pos - LegendRect().topLeft();
        setCursor(Qt::ClosedHandCursor);
        return;
    }
    if (Crosshair.PointPick) Send(notify::PointPicked, Crosshair.Index, 0);
    if (zoomMode_ && onlyLeft) {
        dragAnchor_ = dragCurrent_ = {X, Y};
        dragPrevious_ = {-5000, -5000};
        zoomDragging_ = true;
        markShown_ = false;
    } else if (button == Qt::LeftButton) {
        dragPending_ = true;
        dragStart_ = pos;
    }
    if (SelectNearest) SelectNearestCurve(X, Y);
}

void TCurvePanel::mousePressEvent(QMouseEvent* event) {
    setFocus(Qt::MouseFocusReason);
    PressAt(event->button(), event->buttons(), event->modifiers(), event->position().toPoint());
}

void TCurvePanel::mouseDoubleClickEvent(QMouseEvent* event) {
    if (OnDoubleClick) OnDoubleClick(event->position().toPoint());
    // The press that comes with the double click is ignored when the window has handled it.
    PressAt(event->button(), event->buttons(), event->modifiers(), event->position().toPoint());
}

void TCurvePanel::wheelEvent(QWheelEvent* event) {
    const QPoint pos = event->position().toPoint();
    const Qt::KeyboardModifiers mods = event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier);
    // Some platforms turn Shift+wheel into a horizontal wheel; either direction counts.
    const QPoint angle = event->angleDelta();
    const int delta = angle.y() != 0 ? angle.y() : angle.x();
    WheelZoom(pos.x(), pos.y(), delta,
              mods == Qt::ControlModifier ? TWheelAxes::X
              : mods == Qt::ShiftModifier ? TWheelAxes::Y
                                          : TWheelAxes::Both);
    event->accept();
}

void TCurvePanel::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const int X = pos.x(), Y = pos.y();
    if (legendDrag_) {
        const QRect moved =
            TLegend::KeptInside(QRect(pos - legendGrab_ - QPoint(2, 2), legendBox_.size()), Grid());
        if (moved != legendBox_) {
            update(LegendRect());
            legendBox_ = moved;
            update(LegendRect());
        }
        return;
    }
    if (event->buttons() == Qt::NoButton) LegendHover(pos);
    if (zoomDragging_) {
        dragPrevious_ = dragCurrent_;
        dragCurrent_ = {X, Y};
        if (dragPrevious_.x != X || dragPrevious_.y != Y) UpdateMarkArea();
    } else if (dragPending_ && (event->buttons() & Qt::LeftButton) &&
               (pos - dragStart_).manhattanLength() >= QApplication::startDragDistance()) {
        dragPending_ = false;
        if (ActiveCurve() != nullptr) {
            auto* drag = new QDrag(this);
            drag->setMimeData(MakeDragData());
            drag->exec(Qt::CopyAction);
        }
        return;
    }
    if (Crosshair.Shown) MoveCursorToX(X);
}

void TCurvePanel::mouseReleaseEvent(QMouseEvent* event) {
    dragPending_ = false;
    const QPoint pos = event->position().toPoint();
    if (legendDrag_) {
        legendDrag_ = false;
        curveSet_->Legend.PlaceAt(legendBox_, Grid());
        // The pointer shows again what it is over.
        legendHover_ = !LegendHit(pos);
        LegendHover(pos);
        return;
    }
    if (IsZooming()) {
        EndZoom(pos.x(), pos.y());
    } else if (zoomDragging_ && (dragShape_ == 1 || dragShape_ == 2)) {
        dragCurrent_ = {pos.x(), pos.y()};
        zoomDragging_ = false;
        markShown_ = true;
        update();
        Send(notify::MarkDragEnded);
    }
}

// ---------------------------------------------------------------- drag and drop of curves

std::set<TCurvePanel*>& TCurvePanel::LivePanels() {
    static std::set<TCurvePanel*> panels;
    return panels;
}

TCurvePanel* TCurvePanel::DraggedPanel(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasFormat(PanelMime)) return nullptr;
    bool ok = false;
    auto* p = reinterpret_cast<TCurvePanel*>(mime->data(PanelMime).toULongLong(&ok));
    return ok && LivePanels().count(p) != 0 ? p : nullptr;
}

QMimeData* TCurvePanel::MakeDragData() const {
    auto* mime = new QMimeData;
    mime->setData(PanelMime, QByteArray::number(reinterpret_cast<quintptr>(this)));
    return mime;
}

void TCurvePanel::dragEnterEvent(QDragEnterEvent* event) {
    if (DraggedPanel(event->mimeData()) != nullptr)
        event->acceptProposedAction();
    else
        event->ignore();
}

void TCurvePanel::dragMoveEvent(QDragMoveEvent* event) {
    if (DraggedPanel(event->mimeData()) != nullptr)
        event->acceptProposedAction();
    else
        event->ignore();
}

void TCurvePanel::dropEvent(QDropEvent* event) {
    TCurvePanel* source = DraggedPanel(event->mimeData());
    if (source == nullptr) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    AcceptDroppedPanel(source);
}

void TCurvePanel::AcceptDroppedPanel(TCurvePanel* source) {
    if (source == this) return;
    TPlottedCurve* curve = source->ActiveCurve();
    if (curve == nullptr) return;
    if (!AddCurve(*curve, AutoUpdate, false)) return;
    TPlottedCurve* added = Curve(CurveCount());
    added->SetStyle(curve->GetStyle());
    added->FileName.clear();
    added->MarkModified();
    RecordAdded(QStringLiteral("Drop"));
    curveSet_->Redraw();
}
