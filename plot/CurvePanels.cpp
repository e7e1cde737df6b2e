#include "plot/CurvePanels.h"

#include "plot/GraphicList.h"
#include "plot/SpecialCombos.h"
#include "plot/UserMessages.h"
#include "plot/w_curve.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

namespace {
// A drag of the active curve carries the address of its panel; only panels of this process accept it.
const QString PanelMime = QStringLiteral("application/x-graphmill-curve-panel");
std::set<TCurvePanel*>& LivePanels() {
    static std::set<TCurvePanel*> panels;
    return panels;
}

QPoint ToQ(IntPoint p) {
    return {p.x, p.y};
}
} // namespace

QString ShortFileName(const std::string& fileName) {
    const QString name = QString::fromStdString(fileName);
    const auto cut = std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    return name.mid(cut + 1);
}

TCurvePanel::TCurvePanel(QWidget* parent, NotifyTarget* window)
    : QFrame(parent), window_(window), curveSet_(std::make_unique<WCurveSet>()) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(2);
    setMouseTracking(true);
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(120, 100);
    PageColor = FromQColor(palette().color(QPalette::Window));
    curveSet_->OwnerPanel = this;
    curveSet_->OnInvalidate = [this](WCurveSet&) { update(); };
    curveSet_->RedrawOnActivate = false;
    LivePanels().insert(this);
}

TCurvePanel::~TCurvePanel() {
    LivePanels().erase(this);
}

TGrid& TCurvePanel::Grid() {
    return curveSet_->Grid;
}

int32_t TCurvePanel::CurveCount() const {
    return curveSet_->Count();
}
int32_t TCurvePanel::ActiveIndex() const {
    return curveSet_->Active();
}
TPlottedCurve* TCurvePanel::Curve(int32_t n) {
    return curveSet_->Curve(n);
}
TPlottedCurve* TCurvePanel::ActiveCurve() {
    return Curve(ActiveIndex());
}

void TCurvePanel::Send(int code, int32_t a, int32_t b) {
    if (window_ != nullptr) window_->Notify(code, a, b);
}

intptr_t TCurvePanel::Notify(int code, int32_t, int32_t) {
    if (code == notify::RebuildImage) {
        needsRebuild_ = true;
        update();
    }
    return 0;
}

// ---------------------------------------------------------------- painting

void TCurvePanel::Rebuild() {
    ++rebuildCount_;
    const int w = std::max(1, width() - 4), h = std::max(1, height() - 4);
    TGrid& grid = Grid();
    plotImage_ = QImage(w, h, QImage::Format_RGB32);
    {
        QPainter p(&plotImage_);
        grid.Layout(p, width(), height());
    }
    plotImage_.fill(ToQColor(PageColor));
    const int left = grid.Left(), top = grid.Top(), right = grid.Right(), bottom = grid.Bottom();
    curveImage_ = QImage(std::max(1, right - left + 3), std::max(1, bottom - top + 3), QImage::Format_RGB32);
    curveImage_.fill(ToQColor(grid.BackgrColor));
    {
        QPainter p(&curveImage_);
        p.setPen(Qt::black);
        p.setBrush(Qt::NoBrush);
        p.drawRect(0, 0, curveImage_.width() - 1, curveImage_.height() - 1);
        curveSet_->DrawCurves(p, true);
    }
    const QRect plotArea(left - 1, top - 1, right - left + 2, bottom - top + 2);
    {
        QPainter p(&plotImage_);
        p.drawImage(plotArea.topLeft(), curveImage_, QRect(0, 0, plotArea.width(), plotArea.height()));
        p.setPen(Qt::black);
        grid.Draw(p, width(), height());
    }
    // The plot area with its grid lines, for overlays drawn over the curves.
    {
        QPainter p(&curveImage_);
        p.drawImage(QPoint(0, 0), plotImage_, plotArea);
    }
    Crosshair.PlotTopLeft = grid.DevTopLeft;
    Crosshair.PlotBottomRight = grid.DevBottomRight;
    markShown_ = false;
    RenderOverlay();
}

void TCurvePanel::RenderOverlay() {
    if (!overlayDraw_) {
        overlayImage_ = QImage();
        return;
    }
    if (overlayImage_.size() != curveImage_.size())
        overlayImage_ = QImage(curveImage_.size(), QImage::Format_ARGB32_Premultiplied);
    overlayImage_.fill(Qt::transparent);
    QPainter p(&overlayImage_);
    overlayDraw_(p, Grid());
}

void TCurvePanel::DrawOverlay(std::function<void(QPainter&, const TGrid&)> draw) {
    overlayDraw_ = std::move(draw);
    // Before the first rebuild there is no plot area to draw into yet; the rebuild draws the overlay.
    if (!curveImage_.isNull()) RenderOverlay();
    if (!painting_) update();
}

void TCurvePanel::RemoveOverlay() {
    if (!overlayDraw_) return;
    overlayDraw_ = nullptr;
    overlayImage_ = QImage();
    if (!painting_) update();
}

void TCurvePanel::paintEvent(QPaintEvent* event) {
    painting_ = true;
    const bool sizeChanged = plotImage_.width() != width() - 4 || plotImage_.height() != height() - 4;
    const bool rebuilt = sizeChanged || needsRebuild_;
    if (rebuilt) {
        Rebuild();
        needsRebuild_ = false;
        // The curves or the axes changed under the crosshair: it takes the new curve at the same column.
        if (Crosshair.Shown) CursorFollowActive(Crosshair.Pos.x);
        // Overlays in world coordinates (the fit model) are drawn again for the new images before they are
        // shown.
        Send(notify::Repainted);
    }
    QPainter p(this);
    p.drawImage(QPoint(2, 2), plotImage_);
    p.end();
    QFrame::paintEvent(event);
    p.begin(this);
    // The overlay, the crosshair and the marking shapes are drawn over the cached images, so moving them
    // never redraws the curves. The crosshair is combined by exclusive-or with its colour, the shapes invert
    // what lies below.
    if (!overlayImage_.isNull()) {
        const TGrid& g = Grid();
        p.drawImage(QPoint(g.Left() + 1, g.Top() + 1), overlayImage_);
    }
    if (Crosshair.Shown) {
        p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        p.setPen(QPen(ToQColor(Crosshair.CursorColor), 1, Qt::SolidLine));
        const IntPoint tl = Crosshair.PlotTopLeft, br = Crosshair.PlotBottomRight, pos = Crosshair.Pos;
        p.drawLine(tl.x + 1, pos.y + 1, br.x, pos.y + 1);
        p.drawLine(pos.x + 1, tl.y + 1, pos.x + 1, br.y);
    }
    if ((zoomDragging_ && dragPrevious_.x != -5000) || markShown_) {
        p.setCompositionMode(QPainter::RasterOp_NotDestination);
        p.setPen(QPen(Qt::white, 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        if (dragShape_ == 2)
            p.drawLine(ToQ(dragAnchor_), ToQ(dragCurrent_));
        else
            p.drawRect(MarkRect(dragCurrent_));
    }
    p.end();
    painting_ = false;
}

QRect TCurvePanel::MarkRect(IntPoint p) const {
    const int x0 = dragShape_ == 1 ? 2 * dragAnchor_.x - p.x : dragAnchor_.x;
    return QRect(QPoint(x0, dragAnchor_.y), QPoint(p.x, p.y)).normalized();
}

void TCurvePanel::UpdateCrosshairArea(IntPoint a, IntPoint b) {
    const IntPoint tl = Crosshair.PlotTopLeft, br = Crosshair.PlotBottomRight;
    for (IntPoint p : {a, b}) {
        update(QRect(tl.x, p.y, br.x - tl.x + 3, 3));
        update(QRect(p.x, tl.y, 3, br.y - tl.y + 3));
    }
}

void TCurvePanel::UpdateMarkArea() {
    // The region of the old and the new shape: the rectangle spanned by anchor, mirror and both ends.
    QRect r = MarkRect(dragCurrent_).united(QRect(ToQ(dragAnchor_), QSize(1, 1)));
    if (dragPrevious_.x != -5000) r = r.united(MarkRect(dragPrevious_));
    update(r.adjusted(-2, -2, 2, 2));
}

// ---------------------------------------------------------------- cursor

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

// ---------------------------------------------------------------- zoom and marks

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
            min = at - (at - min) * factor;
            max = at + (max - at) * factor;
        }
    };
    RealPoint min = g.WorldMin, max = g.WorldMax;
    if (axes != TWheelAxes::Y) zoom(g.XLog, g.DeviceToWorldX(X), min.x, max.x);
    if (axes != TWheelAxes::X) zoom(g.YLog, g.DeviceToWorldY(Y), min.y, max.y);
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

// ---------------------------------------------------------------- mouse

void TCurvePanel::PressAt(Qt::MouseButton button, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods,
                          QPoint pos) {
    const int X = pos.x(), Y = pos.y();
    if (lastDown_.x == -1 && lastDown_.y == -1) {
        lastDown_ = {X, Y};
        return;
    }
    lastDown_ = {X, Y};
    if (Crosshair.PointPick) Send(notify::PointPicked, Crosshair.Index, 0);
    const bool onlyLeft =
        buttons == Qt::LeftButton &&
        (mods & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier)) == Qt::NoModifier;
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

QMimeData* TCurvePanel::MakeDragData() const {
    auto* mime = new QMimeData;
    mime->setData(PanelMime, QByteArray::number(reinterpret_cast<quintptr>(this)));
    return mime;
}

namespace {
TCurvePanel* DraggedPanel(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasFormat(PanelMime)) return nullptr;
    bool ok = false;
    auto* p = reinterpret_cast<TCurvePanel*>(mime->data(PanelMime).toULongLong(&ok));
    return ok && LivePanels().count(p) != 0 ? p : nullptr;
}
} // namespace

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
    curveSet_->Redraw();
}

// ---------------------------------------------------------------- results and undo

bool TCurvePanel::AddCurve(TCurveB curve, bool rescale, bool redraw) {
    if (IsFull()) {
        if (OnFull) OnFull();
        return false;
    }
    return curveSet_->AddCurve(std::move(curve), rescale, redraw);
}

bool TCurvePanel::ApplyResult(std::unique_ptr<TCurveB> curve, bool asNew, int32_t index) {
    if (!curve) return false;
    if (asNew) {
        curve->FileName.clear();
        curve->MarkModified();
        if (!AddCurve(std::move(*curve), AutoUpdate, false)) return false;
    } else {
        TPlottedCurve* slot = Curve(index);
        if (slot == nullptr) return false;
        const CurveStyle style = slot->GetStyle();
        // The replaced curve moves to the undo store and the result into the slot: no points are copied.
        auto replaced = std::make_unique<TPlottedCurve>(std::move(*slot));
        *slot = TPlottedCurve(std::move(*curve));
        slot->SetStyle(style);
        if (UndoEnabled) {
            undo_.Store(std::move(replaced), index, false);
            Send(notify::UndoStored, 1, 0);
        }
        curveSet_->RecomputeRanges();
        if (AutoUpdate) curveSet_->Rescale();
    }
    curveSet_->Redraw();
    return true;
}

void TCurvePanel::DeleteActiveCurve() {
    TPlottedCurve* active = ActiveCurve();
    if (active == nullptr) return;
    undo_.Store(std::make_unique<TPlottedCurve>(*active), ActiveIndex(), true);
    Send(notify::UndoStored, 1, 0);
    DeleteCurveAndTable(ActiveIndex(), AutoUpdate, true);
    if (CurveCount() == 0) ZoomRequest(false);
}

bool TCurvePanel::RemoveRange(int32_t i1, int32_t i2) {
    TPlottedCurve* active = ActiveCurve();
    if (active == nullptr) return false;
    auto copy = std::make_unique<TPlottedCurve>(*active);
    if (!active->RemoveRange(i1, i2)) return false;
    curveSet_->RecomputeRanges();
    if (AutoUpdate) curveSet_->Rescale();
    curveSet_->RecomputeAndRedraw();
    undo_.Store(std::move(copy), ActiveIndex(), false);
    Send(notify::UndoStored, 1, 0);
    return true;
}

void TCurvePanel::Undo() {
    if (!undo_.Has()) return;
    if (undo_.IsDeletion()) {
        if (!AddCurve(*undo_.Curve(), AutoUpdate, false)) return;
        undo_.Discard();
    } else {
        TPlottedCurve* slot = Curve(undo_.Index());
        std::unique_ptr<TPlottedCurve> back = undo_.Take();
        if (slot == nullptr) return;
        *slot = std::move(*back);
        curveSet_->RecomputeRanges();
        if (AutoUpdate) curveSet_->Rescale();
    }
    curveSet_->Redraw();
}

void TCurvePanel::DiscardUndo(bool keep) {
    if (!keep) undo_.Discard();
}

// ---------------------------------------------------------------- pickers

void TCurvePanel::FillCurveCombo(TGraphicComboBox& picker, bool withNone) {
    // The choice is kept by what it means: the same curve wherever it moved, or "none" (also for a list that
    // had no choice yet). Each item carries the identity of its curve (0 for "none").
    const QVariant previous = picker.currentData();
    const int previousIndex = picker.currentIndex();
    picker.blockSignals(true);
    picker.clear();
    for (int32_t i = 1; i <= CurveCount(); ++i) {
        QImage image(picker.ImageSize(), QImage::Format_RGB32);
        curveSet_->PreviewOfCurve(i, image);
        picker.AddGraphicItem(QStringLiteral("#%1: %2").arg(i).arg(ShortFileName(Curve(i)->FileName)), image);
        picker.setItemData(picker.count() - 1, QVariant::fromValue(reinterpret_cast<quintptr>(Curve(i))));
    }
    if (withNone) {
        picker.AddGraphicItem(QStringLiteral("none"));
        picker.setItemData(picker.count() - 1, QVariant::fromValue(quintptr(0)));
    }
    int kept = previous.isValid() ? picker.findData(previous) : -1;
    if (kept < 0) kept = withNone ? picker.count() - 1 : previousIndex;
    if (kept >= 0 && kept < picker.count()) picker.setCurrentIndex(kept);
    picker.blockSignals(false);
    picker.update();
}

void TCurvePanel::FillCurveList(TGraphicListBox& picker, bool withNone) {
    picker.clear();
    for (int32_t i = 1; i <= CurveCount(); ++i) {
        QImage image(picker.ImageSize(), QImage::Format_RGB32);
        curveSet_->PreviewOfCurve(i, image);
        picker.AddGraphicItem(QStringLiteral("Curve #%1 ").arg(i), image);
    }
    if (withNone) picker.AddGraphicItem(QStringLiteral("none"));
    picker.viewport()->update();
}

// ---------------------------------------------------------------- table windows

TTableWindow* TCurvePanel::TableWindow(int32_t n) const {
    return n >= 1 && n <= MaxCurves ? tables_[static_cast<size_t>(n - 1)].window : nullptr;
}

int32_t TCurvePanel::TableNumber(const TTableWindow* window) const {
    for (int32_t i = 1; i <= MaxCurves; ++i)
        if (window != nullptr && tables_[static_cast<size_t>(i - 1)].window == window) return i;
    return 0;
}

void TCurvePanel::CaptionTable(int32_t n) {
    TTableWindow* w = TableWindow(n);
    const TPlottedCurve* c = Curve(n);
    if (w == nullptr || c == nullptr) return;
    w->SetCaption(n, QString::fromStdString(c->FileName));
    w->SetColumnTitles(Grid().XCaption, Grid().YCaption);
}

void TCurvePanel::OpenTable(int32_t n, bool newCurve) {
    const TPlottedCurve* c = Curve(n);
    if (c == nullptr) return;
    TTableSlot& slot = tables_[static_cast<size_t>(n - 1)];
    if (slot.window == nullptr) {
        if (!MakeTableWindow) return;
        TTableWindow* w = MakeTableWindow(this, window_);
        slot = {w, true, newCurve};
        w->OnTakeBack = [this, w] { TableTakeBack(w); };
        w->OnClosed = [this, w] { TableClosed(w); };
        RefreshTable(n);
        CaptionTable(n);
        if (c->Count() < 2) w->SetMinimumRows(20);
    }
    slot.window->ShowTable();
}

void TCurvePanel::RefreshTable(int32_t n) {
    const TPlottedCurve* c = Curve(n);
    TTableWindow* w = TableWindow(n);
    if (c == nullptr || w == nullptr || !tables_[static_cast<size_t>(n - 1)].live || w->HoldsEdits()) return;
    TBusyPointer busy;
    c->ToTable(w->Table());
    w->TableLoaded();
}

void TCurvePanel::RefreshAllTables() {
    for (int32_t n = 1; n <= MaxCurves; ++n) {
        if (TableWindow(n) == nullptr) continue;
        // A table left over a number the set no longer has shows nothing of any curve.
        if (n > CurveCount()) {
            std::exchange(tables_[static_cast<size_t>(n - 1)].window, nullptr)->Dispose();
            continue;
        }
        CaptionTable(n);
        RefreshTable(n);
    }
}

void TCurvePanel::TableTakeBack(TTableWindow* window) {
    const int32_t n = TableNumber(window);
    TPlottedCurve* c = Curve(n);
    if (c == nullptr) return;
    TBusyPointer busy;
    TTableSlot& slot = tables_[static_cast<size_t>(n - 1)];
    // The redraw reports a change of the set, which must not load the table being taken back.
    slot.live = false;
    if (c->FromTable(window->Table())) {
        curveSet_->MergeRanges();
        if (AutoUpdate) curveSet_->Rescale();
        curveSet_->Redraw();
    }
    slot.live = true;
}

void TCurvePanel::TableClosed(TTableWindow* window) {
    const int32_t n = TableNumber(window);
    if (n == 0) return;
    const bool newCurve = tables_[static_cast<size_t>(n - 1)].newCurve;
    tables_[static_cast<size_t>(n - 1)] = {};
    // A new curve left with fewer than two points is given up; a loaded curve of one point stays.
    const TPlottedCurve* c = Curve(n);
    if (newCurve && c != nullptr && c->Count() < 2) DeleteCurveAndTable(n, AutoUpdate, true);
}

void TCurvePanel::DeleteCurveAndTable(int32_t n, bool rescale, bool redraw) {
    if (Curve(n) == nullptr) return;
    if (TTableWindow* w = std::exchange(tables_[static_cast<size_t>(n - 1)].window, nullptr)) w->Dispose();
    // The tables move with their curves before the set reports the change, so that the refresh it causes
    // loads every table from its own curve.
    std::move(tables_.begin() + n, tables_.end(), tables_.begin() + (n - 1));
    tables_.back() = {};
    undo_.CurveDeleted(n);
    curveSet_->DeleteCurve(n, rescale, redraw);
    for (int32_t i = n; i <= CurveCount(); ++i) CaptionTable(i);
}

void TCurvePanel::RefreshTableCaptions() {
    for (int32_t n = 1; n <= CurveCount(); ++n) CaptionTable(n);
    emit AxisCaptionsChanged(Grid().XCaption, Grid().YCaption);
}

void TCurvePanel::CloseAllTables() {
    for (TTableSlot& slot : tables_) {
        if (slot.window != nullptr) slot.window->Dispose();
        slot = {};
    }
}
