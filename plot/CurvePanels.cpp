#include "plot/CurvePanels.h"

#include "plot/GraphicList.h"
#include "plot/SpecialCombos.h"
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

namespace {
// A drag of the active curve carries the address of its panel; only panels of this process accept it.
const QString PanelMime = QStringLiteral("application/x-graphmill-curve-panel");
std::set<TCurvePanel*>& LivePanels() {
    static std::set<TCurvePanel*> panels;
    return panels;
}

QString ShortName(const std::string& fileName) {
    const QString name = QString::fromStdString(fileName);
    const auto cut = std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
    return name.mid(cut + 1);
}

QPoint ToQ(IntPoint p) {
    return {p.x, p.y};
}
} // namespace

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
}

void TCurvePanel::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    const bool sizeChanged = plotImage_.width() != width() - 4 || plotImage_.height() != height() - 4;
    if (sizeChanged || needsRebuild_) {
        Rebuild();
        needsRebuild_ = false;
        // The curves or the axes changed under the crosshair: it takes the new curve at the same column.
        if (Crosshair.Shown && ActiveCurve() != nullptr) {
            Crosshair.SkipErase = true;
            MoveCursorToX(Crosshair.Pos.x);
            Crosshair.SkipErase = false;
        }
    }
    p.drawImage(QPoint(2, 2), plotImage_);
    p.end();
    QFrame::paintEvent(event);
    p.begin(this);
    // The crosshair and the marking shapes are drawn over the cached image, so moving them never redraws the
    // curves. The crosshair is combined by exclusive-or with its colour, the shapes invert what lies below.
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
    Send(notify::Repainted);
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

QString TCurvePanel::ReadoutText(RealPoint world) {
    return QStringLiteral("(%1,%2)").arg(world.x, 8, 'f', 4).arg(world.y, 8, 'f', 4);
}

void TCurvePanel::ShowReadout() {
    if (OnReadout) OnReadout(ReadoutText(Crosshair.World));
}

void TCurvePanel::SetCursorShown(bool on) {
    if (on == Crosshair.Shown) return;
    if (on) {
        if (CurveCount() == 0) return;
        zoomMode_ = false;
        Crosshair.PointPick = false;
        Crosshair.Shown = true;
        Send(notify::CursorSwitched, 1, 0);
        Crosshair.SkipErase = true;
        if (Crosshair.PlotBottomRight.x == 0 && Crosshair.PlotTopLeft.x == 0) {
            Crosshair.PlotTopLeft = Grid().DevTopLeft;
            Crosshair.PlotBottomRight = Grid().DevBottomRight;
        }
        MoveCursorToX((Crosshair.PlotTopLeft.x + Crosshair.PlotBottomRight.x) / 2);
        Crosshair.SkipErase = false;
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
        Send(notify::CursorSwitched, 0, 0);
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
    if (Crosshair.Interpolate)
        FollowCurve(px);
    else
        SnapToPoint(px);
}

void TCurvePanel::PlaceCursor(IntPoint pos, RealPoint world, int32_t index, bool clip) {
    Crosshair.World = world;
    Crosshair.PrevPos = Crosshair.Pos;
    Crosshair.Index = index;
    if (clip) Grid().ClipPoint(pos);
    Crosshair.Pos = pos;
    UpdateCrosshairArea(Crosshair.PrevPos, Crosshair.Pos);
    ShowReadout();
}

void TCurvePanel::FollowCurve(int px) {
    TPlottedCurve* c = ActiveCurve();
    if (c == nullptr || (px == Crosshair.Pos.x && !Crosshair.SkipErase)) return;
    const TGrid& g = Grid();
    double x = g.DeviceToWorldX(px), y = 0;
    int32_t hint = 0;
    bool ok = true;
    if (x < c->XMin) {
        if (c->XMin > g.WorldMin.x) {
            x = c->XMin;
            y = c->Y(1);
            for (int32_t i = 1; i <= c->Count(); ++i)
                if (c->X(i) == c->XMin) {
                    y = c->Y(i);
                    break;
                }
            px = g.WorldToDeviceX(x);
        } else {
            x = g.WorldMin.x;
            ok = c->ValueAt(hint, x, y);
            px = g.Left();
        }
    } else if (x > c->XMax) {
        if (c->XMax < g.WorldMax.x) {
            x = c->XMax;
            y = c->Y(c->Count());
            for (int32_t i = c->Count(); i >= 1; --i)
                if (c->X(i) == c->XMax) {
                    y = c->Y(i);
                    break;
                }
            px = g.WorldToDeviceX(x);
        } else {
            x = g.WorldMax.x;
            ok = c->ValueAt(hint, x, y);
            px = g.Right();
        }
    } else {
        ok = c->ValueAt(hint, x, y);
    }
    if (!ok) return;
    const IntPoint pos{px, g.WorldToDeviceY(y)};
    if (pos.x == Crosshair.Pos.x && pos.y == Crosshair.Pos.y && !Crosshair.SkipErase) {
        Crosshair.World = {x, y};
        Crosshair.Index = hint;
        return;
    }
    PlaceCursor(pos, {x, y}, hint, true);
}

void TCurvePanel::SnapToPoint(int px) {
    TPlottedCurve* c = ActiveCurve();
    if (c == nullptr || (px == Crosshair.Pos.x && !Crosshair.SkipErase)) return;
    const int32_t n = c->Count();
    const double x = Grid().DeviceToWorldX(px);
    int32_t i = std::clamp(Crosshair.Index, 1, n);
    if (x > Crosshair.World.x) {
        if (i < n) {
            int32_t j = i + 1;
            while (c->X(j) < x && j < n) ++j;
            if (c->X(j) < x)
                i = n;
            else if (c->X(j) == x)
                i = j;
            else
                i = x - c->X(j - 1) <= c->X(j) - x ? j - 1 : j;
        }
    } else if (i > 1) {
        int32_t j = i - 1;
        while (c->X(j) > x && j > 1) --j;
        if (c->X(j) > x)
            i = 1;
        else if (c->X(j) == x)
            i = j;
        else
            i = x - c->X(j) < c->X(j + 1) - x ? j : j + 1;
    }
    if (!Crosshair.SkipErase && i == Crosshair.Index) return;
    const IntPoint pos{Grid().WorldToDeviceX(c->X(i)), Grid().WorldToDeviceY(c->Y(i))};
    PlaceCursor(pos, {c->X(i), c->Y(i)}, i, true);
}

void TCurvePanel::MoveCursorBy(int delta) {
    TPlottedCurve* c = ActiveCurve();
    if (c == nullptr) return;
    const TGrid& g = Grid();
    if (Crosshair.Interpolate) {
        const int X = Crosshair.Pos.x + delta;
        if (X < g.Left() || X > g.Right()) return;
        const double x = g.DeviceToWorldX(X);
        double y = 0;
        int32_t hint = 0;
        if (!c->ValueAt(hint, x, y)) return;
        PlaceCursor({X, g.WorldToDeviceY(y)}, {x, y}, hint, false);
    } else {
        const int32_t i = std::clamp(Crosshair.Index + delta, 1, c->Count());
        if (i == Crosshair.Index) return;
        const IntPoint pos{g.WorldToDeviceX(c->X(i)), g.WorldToDeviceY(c->Y(i))};
        if (pos.x < g.Left() || pos.x > g.Right()) return;
        PlaceCursor(pos, {c->X(i), c->Y(i)}, i, false);
    }
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
        g.WorldMin = a;
        g.WorldMax = b;
        curveSet_->Redraw();
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
        MoveCursorBy(key == Qt::Key_Left ? -1 : 1);
        return true;
    }
    return false;
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
        if (Crosshair.Shown) {
            Crosshair.SkipErase = true;
            MoveCursorToX(X + 1);
            Crosshair.SkipErase = false;
        }
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

bool TCurvePanel::AddCurve(const TCurveB& curve, bool rescale, bool redraw) {
    if (IsFull()) {
        if (OnFull) OnFull();
        return false;
    }
    return curveSet_->AddCurve(curve, rescale, redraw);
}

bool TCurvePanel::ApplyResult(std::unique_ptr<TCurveB> curve, bool asNew, int32_t index) {
    if (!curve) return false;
    if (asNew) {
        curve->FileName.clear();
        curve->MarkModified();
        if (!AddCurve(*curve, AutoUpdate, false)) return false;
    } else {
        TPlottedCurve* slot = Curve(index);
        if (slot == nullptr) return false;
        const CurveStyle style = slot->GetStyle();
        if (UndoEnabled) {
            undoCurve_ = std::make_unique<TPlottedCurve>(*slot);
            undoIndex_ = index;
            undoIsDeletion_ = false;
            Send(notify::UndoStored, 1, 0);
        }
        *slot = TPlottedCurve(*curve);
        slot->SetStyle(style);
        curveSet_->RecomputeRanges();
        if (AutoUpdate) curveSet_->Rescale();
    }
    curveSet_->Redraw();
    return true;
}

void TCurvePanel::DeleteActiveCurve() {
    TPlottedCurve* active = ActiveCurve();
    if (active == nullptr) return;
    undoIsDeletion_ = true;
    undoCurve_ = std::make_unique<TPlottedCurve>(*active);
    undoIndex_ = ActiveIndex();
    Send(notify::UndoStored, 1, 0);
    curveSet_->DeleteCurve(ActiveIndex(), AutoUpdate, true);
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
    undoCurve_ = std::move(copy);
    undoIndex_ = ActiveIndex();
    undoIsDeletion_ = false;
    Send(notify::UndoStored, 1, 0);
    return true;
}

void TCurvePanel::Undo() {
    if (!undoCurve_) return;
    if (undoIsDeletion_) {
        if (!AddCurve(*undoCurve_, AutoUpdate, false)) return;
        undoIsDeletion_ = false;
    } else {
        TPlottedCurve* slot = Curve(undoIndex_);
        if (slot == nullptr) {
            undoCurve_.reset();
            return;
        }
        *slot = *undoCurve_;
        curveSet_->RecomputeRanges();
        if (AutoUpdate) curveSet_->Rescale();
    }
    undoCurve_.reset();
    curveSet_->Redraw();
}

void TCurvePanel::DiscardUndo(bool keep) {
    if (!keep) undoCurve_.reset();
}

// ---------------------------------------------------------------- pickers

void TCurvePanel::FillCurveCombo(TGraphicComboBox& picker, bool withNone) {
    const int previous = picker.currentIndex();
    picker.blockSignals(true);
    picker.clear();
    for (int32_t i = 1; i <= CurveCount(); ++i) {
        QImage image(picker.ImageSize(), QImage::Format_RGB32);
        curveSet_->PreviewOfCurve(i, image);
        picker.AddGraphicItem(QStringLiteral("#%1: %2").arg(i).arg(ShortName(Curve(i)->FileName)), image);
    }
    if (previous >= 0 && previous < picker.count()) picker.setCurrentIndex(previous);
    if (withNone) picker.AddGraphicItem(QStringLiteral("none"));
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
