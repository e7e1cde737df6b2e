// The plot panel: its curve set and notifications, the painting of the graph from cached images with the
// overlay over them, the results and undo of operations, and the curve pickers. Its cursor, zoom, mouse and
// table windows have files of their own (CurvePanels_*.cpp).
#include "plot/CurvePanels.h"

#include "plot/GraphicList.h"
#include "plot/SpecialCombos.h"
#include "plot/undohistory.h"
#include "plot/w_curve.h"

#include <QPainter>
#include <QtMath>

#include <algorithm>
#include <utility>

namespace {
QPoint ToQ(IntPoint p) {
    return {p.x, p.y};
}

// An image of width x height pixels of the layout holding every device pixel of a screen with ratio dpr, so
// that lines and text are drawn at the screen's own resolution, not enlarged afterwards.
QImage PanelImage(int width, int height, qreal dpr) {
    QImage image(qCeil(width * dpr), qCeil(height * dpr), QImage::Format_RGB32);
    image.setDevicePixelRatio(dpr);
    return image;
}

// A rectangle of the layout in the device pixels of an image.
QRect DevicePixels(QRect r, qreal dpr) {
    return {qRound(r.x() * dpr), qRound(r.y() * dpr), qRound(r.width() * dpr), qRound(r.height() * dpr)};
}

bool SameStyle(const CurveStyle& a, const CurveStyle& b) {
    return a.line == b.line && a.symbol == b.symbol && a.linecolor == b.linecolor &&
           a.linestyle == b.linestyle && a.SymbolSize == b.SymbolSize && a.symbolstyle == b.symbolstyle &&
           a.SymbolColor == b.SymbolColor && a.errorbars == b.errorbars;
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
    history_ = std::make_unique<TUndoHistory>(*this);
    connect(history_.get(), &TUndoHistory::Changed, this, &TCurvePanel::HistoryChanged);
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
    const qreal dpr = devicePixelRatioF();
    plotImage_ = PanelImage(w, h, dpr);
    {
        QPainter p(&plotImage_);
        grid.Layout(p, width(), height());
    }
    plotImage_.fill(ToQColor(PageColor));
    const int left = grid.Left(), top = grid.Top(), right = grid.Right(), bottom = grid.Bottom();
    curveImage_ = PanelImage(std::max(1, right - left + 3), std::max(1, bottom - top + 3), dpr);
    curveImage_.fill(ToQColor(grid.BackgrColor));
    {
        QPainter p(&curveImage_);
        p.setPen(Qt::black);
        p.setBrush(Qt::NoBrush);
        p.drawRect(0, 0, curveImage_.width() - 1, curveImage_.height() - 1);
        curveSet_->DrawCurves(p, true);
    }
    const QRect plotArea(left - 1, top - 1, right - left + 2, bottom - top + 2);
    const QRect plotPixels = DevicePixels(plotArea, dpr);
    legendImage_ = QImage();
    legendBox_ = QRect();
    {
        QPainter p(&plotImage_);
        p.drawImage(plotArea.topLeft(), curveImage_, QRect(0, 0, plotPixels.width(), plotPixels.height()));
        p.setPen(Qt::black);
        grid.Draw(p, width(), height());
        const TLegend& legend = curveSet_->Legend;
        if (legend.Shown) legendBox_ = legend.Box(*curveSet_, grid, p);
        if (!legendBox_.isEmpty()) {
            legendImage_ = PanelImage(legendBox_.width(), legendBox_.height(), dpr);
            QPainter lp(&legendImage_);
            lp.setFont(p.font());
            lp.translate(-legendBox_.topLeft());
            legend.Paint(*curveSet_, grid, lp, legendBox_, grid.BackgrColor);
        }
    }
    // The plot area with its grid lines, for overlays drawn over the curves.
    {
        QPainter p(&curveImage_);
        p.drawImage(QPoint(0, 0), plotImage_, plotPixels);
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
    if (overlayImage_.size() != curveImage_.size()) {
        overlayImage_ = QImage(curveImage_.size(), QImage::Format_ARGB32_Premultiplied);
        overlayImage_.setDevicePixelRatio(curveImage_.devicePixelRatio());
    }
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
    if (!legendImage_.isNull()) p.drawImage(LegendRect().topLeft(), legendImage_);
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

// ---------------------------------------------------------------- legend

void TCurvePanel::SetLegendShown(bool on) {
    TLegend& legend = curveSet_->Legend;
    if (on == legend.Shown) return;
    legend.Shown = on;
    legend.Place.reset();
    needsRebuild_ = true;
    update();
}

bool TCurvePanel::LegendShown() const {
    return curveSet_->Legend.Shown;
}

QRect TCurvePanel::LegendRect() const {
    return legendImage_.isNull() ? QRect() : legendBox_.translated(2, 2);
}

bool TCurvePanel::LegendHit(QPoint pos) const {
    return LegendRect().contains(pos);
}

void TCurvePanel::LegendHover(QPoint pos) {
    const bool over = !zoomMode_ && LegendHit(pos);
    if (over == legendHover_) return;
    legendHover_ = over;
    setCursor(over ? Qt::OpenHandCursor : zoomMode_ ? Qt::CrossCursor : Qt::ArrowCursor);
}

// ---------------------------------------------------------------- results and undo

bool TCurvePanel::AddCurve(TCurveB curve, bool rescale, bool redraw) {
    if (IsFull()) {
        if (OnFull) OnFull();
        return false;
    }
    return curveSet_->AddCurve(std::move(curve), rescale, redraw);
}

bool TCurvePanel::ApplyResult(std::unique_ptr<TCurveB> curve, bool asNew, int32_t index,
                              const QString& operation) {
    if (!curve) return false;
    if (asNew) {
        curve->FileName.clear();
        curve->MarkModified();
        if (!AddCurve(std::move(*curve), AutoUpdate, false)) return false;
        if (UndoEnabled)
            history_->Added({Curve(CurveCount())},
                            Curve(index) != nullptr
                                ? QStringLiteral("%1 of curve #%2 as curve #%3")
                                      .arg(operation)
                                      .arg(index)
                                      .arg(CurveCount())
                                : QStringLiteral("%1 as curve #%2").arg(operation).arg(CurveCount()));
    } else {
        TPlottedCurve* slot = Curve(index);
        if (slot == nullptr) return false;
        const CurveStyle style = slot->GetStyle();
        // The replaced curve moves to the history and the result into the slot: no points are copied.
        auto replaced = std::make_unique<TPlottedCurve>(std::move(*slot));
        *slot = TPlottedCurve(std::move(*curve));
        slot->SetStyle(style);
        if (UndoEnabled)
            history_->Replaced(slot, std::move(replaced),
                               QStringLiteral("%1 of curve #%2").arg(operation).arg(index));
        CurvesReplaced();
    }
    curveSet_->Redraw();
    return true;
}

void TCurvePanel::DeleteActiveCurve(const QString& verb) {
    const int32_t n = ActiveIndex();
    if (ActiveCurve() == nullptr) return;
    std::vector<std::unique_ptr<TPlottedCurve>> gone;
    gone.push_back(TakeCurve(n, true));
    history_->Removed(std::move(gone), QStringLiteral("%1 curve #%2").arg(verb).arg(n));
    curveSet_->Redraw();
    if (CurveCount() == 0) ZoomRequest(false);
}

bool TCurvePanel::RemoveRange(int32_t i1, int32_t i2) {
    TPlottedCurve* active = ActiveCurve();
    if (active == nullptr) return false;
    auto copy = std::make_unique<TPlottedCurve>(*active);
    if (!active->RemoveRange(i1, i2)) return false;
    CurvesReplaced();
    curveSet_->RecomputeAndRedraw();
    history_->Replaced(active, std::move(copy),
                       QStringLiteral("Remove points %1-%2 of curve #%3").arg(i1).arg(i2).arg(ActiveIndex()));
    return true;
}

void TCurvePanel::RemoveAllCurves() {
    const int32_t active = ActiveIndex();
    std::vector<std::unique_ptr<TPlottedCurve>> gone;
    // The curves leave as the set is emptied, the axes staying as they are.
    for (int32_t n = 1; n <= CurveCount(); ++n)
        gone.push_back(curveSet_->ReplaceSlot(n, std::make_unique<TPlottedCurve>()));
    curveSet_->SetCountAndRedraw(0);
    if (!gone.empty()) history_->Removed(std::move(gone), QStringLiteral("Clear all"), active);
}

void TCurvePanel::RecordAdded(const QString& what) {
    if (CurveCount() == 0) return;
    history_->Added({Curve(CurveCount())}, QStringLiteral("%1 as curve #%2").arg(what).arg(CurveCount()));
}

void TCurvePanel::SetCurveStyle(int32_t n, const CurveStyle& style) {
    TPlottedCurve* c = Curve(n);
    if (c == nullptr) return;
    const CurveStyle before = c->GetStyle();
    c->SetStyle(style);
    if (!SameStyle(before, c->GetStyle()))
        history_->Restyled({{c, before}}, QStringLiteral("Display of curve #%1").arg(n));
    curveSet_->Redraw();
}

void TCurvePanel::ResetColors() {
    std::vector<std::pair<TPlottedCurve*, CurveStyle>> before;
    for (int32_t n = 1; n <= CurveCount(); ++n) before.emplace_back(Curve(n), Curve(n)->GetStyle());
    curveSet_->ResetColors(true);
    if (!before.empty()) history_->Restyled(std::move(before), QStringLiteral("Reset colours"));
}

void TCurvePanel::Undo() {
    history_->Undo();
}

void TCurvePanel::Redo() {
    history_->Redo();
}

bool TCurvePanel::HasUndo() const {
    return history_->CanUndo();
}

bool TCurvePanel::HasRedo() const {
    return history_->CanRedo();
}

void TCurvePanel::HistoryChanged(bool walked) {
    // A step recorded has drawn its change already; Undo, Redo and jumps show theirs here. Either way the
    // window learns whether Undo can be used.
    if (walked) curveSet_->Redraw();
    Send(notify::UndoStored, HasUndo() ? 1 : 0, 0);
}

int32_t TCurvePanel::IndexOf(const TPlottedCurve* curve) const {
    for (int32_t i = 1; curve != nullptr && i <= CurveCount(); ++i)
        if (curveSet_->Curve(i) == curve) return i;
    return 0;
}

std::unique_ptr<TPlottedCurve> TCurvePanel::TakeCurve(int32_t n, bool rescale) {
    if (Curve(n) == nullptr) return nullptr;
    // An empty stand-in takes the curve's place and leaves with the slot.
    auto curve = curveSet_->ReplaceSlot(n, std::make_unique<TPlottedCurve>());
    DeleteCurveAndTable(n, rescale && AutoUpdate, false);
    return curve;
}

bool TCurvePanel::PutCurve(std::unique_ptr<TPlottedCurve>& curve, bool rescale) {
    if (!curve || !AddCurve(TCurveB(), false, false)) return false;
    // The set gives a new curve the colour of its slot; the curve brought back keeps its own look.
    curveSet_->ReplaceSlot(CurveCount(), std::move(curve));
    curve.reset();
    curveSet_->RecomputeRanges();
    if (rescale && AutoUpdate) curveSet_->Rescale();
    return true;
}

void TCurvePanel::CurvesReplaced() {
    curveSet_->RecomputeRanges();
    if (AutoUpdate) curveSet_->Rescale();
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
