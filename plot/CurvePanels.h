// The plot panel: the control that fills a curve window. It owns the window's curve set, paints the graph
// from two cached images, turns mouse and keys into zooming, panning, cursor moves, choice of the active
// curve and marking of ranges, and records every change of its curves in its undo history.
#pragma once

#include "plot/CurveCursor.h"
#include "plot/NotifyTarget.h"
#include "plot/TableWindow.h"
#include "plot/coord_win.h"
#include "plot/curve_plot.h"
#include "plot/legend.h"

#include <QFrame>
#include <QImage>

#include <array>
#include <functional>
#include <memory>
#include <set>

class QMimeData;
class WCurveSet;
class TGraphicComboBox;
class TGraphicListBox;
class TUndoHistory;

class TCurvePanel : public QFrame, public NotifyTarget {
    Q_OBJECT
public:
    static constexpr int MaxCurves = 100;

    // window receives the panel's notifications (may be null in tests that only look at the panel).
    explicit TCurvePanel(QWidget* parent, NotifyTarget* window);
    ~TCurvePanel() override;

    WCurveSet& CurveSet() { return *curveSet_; }
    const WCurveSet& CurveSet() const { return *curveSet_; }
    TGrid& Grid();
    TCurveCursor Crosshair;

    // Number of curves, the active curve (null when the set is empty) and its number (0 then).
    int32_t CurveCount() const;
    int32_t ActiveIndex() const;
    TPlottedCurve* ActiveCurve();
    TPlottedCurve* Curve(int32_t n);
    // Makes curve n active (wrapping around past either end, only with two curves or more) and lets a shown
    // cursor follow it at the same column.
    void SetActiveCurve(int32_t n);

    bool AutoUpdate = true;
    bool SelectNearest = true;
    TColor PageColor = 0xC8D0D4; // background of the graph outside the plot area
    bool UndoEnabled = false;

    // ---- cursor, zoom and marking
    void SetCursorShown(bool on);
    bool IsCursorShown() const { return Crosshair.Shown; }
    void ToggleCursor() { SetCursorShown(!Crosshair.Shown); }
    void SetPointPick(bool on);
    bool IsPointPick() const { return Crosshair.PointPick; }
    void SetZoomMode(bool on);
    void ZoomRequest(bool on);
    bool IsZoomMode() const { return zoomMode_ && dragShape_ == 0; }
    bool IsZooming() const { return zoomDragging_ && dragShape_ == 0; }
    bool ZoomDragging() const { return zoomDragging_; }
    int DragShape() const { return dragShape_; }
    // Shape 1: rectangle mirrored about the start point's x; shape 2: a line (the fit panel's marks).
    void BeginMarkDrag(int shape);
    IntPoint DragAnchor() const { return dragAnchor_; }
    IntPoint DragCurrent() const { return dragCurrent_; }
    // Panning and zooming keys, then Enter and the arrow keys of the cursor. True when the key was used.
    bool KeyDown(int key, Qt::KeyboardModifiers shift);
    // The mouse wheel: steps of 1/8 turn (120 units) zoom by the factors of the zoom keys about the world
    // point under (X, Y), on both axes, or on x or y only.
    enum class TWheelAxes { Both, X, Y };
    void WheelZoom(int X, int Y, int delta, TWheelAxes axes);
    // The axes take the range of all curves again (as with auto update).
    void ZoomToFit();
    void SetAutoUpdate(bool on);
    void SelectNearestCurve(int X, int Y);
    void MoveCursorToX(int px);
    // A double click has been handled: the next press is ignored.
    void IgnoreNextPress() { lastDown_ = {-1, -1}; }

    // ---- overlay
    // A picture drawn over the curves in world coordinates (the fit model): `draw` paints into an image of
    // the plot area (offset mapping, transparent elsewhere). It runs now and again whenever the images are
    // rebuilt; mouse moves only composite the result.
    void DrawOverlay(std::function<void(QPainter&, const TGrid&)> draw);
    void RemoveOverlay();
    bool HasOverlay() const { return static_cast<bool>(overlayDraw_); }
    const QImage& OverlayImage() const { return overlayImage_; }

    // ---- legend
    // Shows or hides the legend of the graph; shown again, it takes the corner that covers the fewest points.
    void SetLegendShown(bool on);
    bool LegendShown() const;
    // Where the legend shows on the panel (its box as drawn, 2 pixels right of and below its place on the
    // graph, as the whole graph is); empty while there is none.
    QRect LegendRect() const;

    // ---- results and the undo history
    // Puts an operation result into the set: as a new curve, or replacing curve `index` (keeping its style).
    // With UndoEnabled it is a step of the history named after `operation` ("Derivative of curve #2"). False
    // when a new curve does not fit.
    bool ApplyResult(std::unique_ptr<TCurveB> curve, bool asNew, int32_t index,
                     const QString& operation = QStringLiteral("Operation"));
    // Takes the active curve out of the set as a step: "Delete curve #2", "Cut curve #2".
    void DeleteActiveCurve(const QString& verb = QStringLiteral("Delete"));
    bool RemoveRange(int32_t i1, int32_t i2);
    // Every curve leaves the set in one step (their tables are closed first by the caller).
    void RemoveAllCurves();
    // The last curve of the set was added by `what` (a paste, a drop): a step "Paste as curve #3".
    void RecordAdded(const QString& what);
    // Gives curve n the look `style`, as a step when it changes anything, and redraws.
    void SetCurveStyle(int32_t n, const CurveStyle& style);
    // Line and symbol colours of every curve back to their slots' colours, as one step.
    void ResetColors();
    void Undo();
    void Redo();
    bool HasUndo() const;
    bool HasRedo() const;
    TUndoHistory& History() { return *history_; }

    // ---- the curve objects, for the steps of the history
    // Number of the curve object in the set, 0 when it is not in it (or null).
    int32_t IndexOf(const TPlottedCurve* curve) const;
    // Takes curve n out of the set, the object itself, with its table (rescale: the axes follow with
    // AutoUpdate).
    std::unique_ptr<TPlottedCurve> TakeCurve(int32_t n, bool rescale);
    // Puts a curve object back as the last curve, in its own look; false (the curve stays with the caller)
    // when the set is full.
    bool PutCurve(std::unique_ptr<TPlottedCurve>& curve, bool rescale);
    // Curves changed in place: the ranges follow, and the axes with AutoUpdate.
    void CurvesReplaced();
    // Adds a curve (a copy, or moved in) with the set's colour and default style. False when the set is full.
    bool AddCurve(TCurveB curve, bool rescale, bool redraw);
    bool IsFull() const { return CurveCount() >= MaxCurves; }

    // ---- table windows
    // Makes the table editor window of a curve (parent: this panel; window: the panel's curve window, for
    // placement). Set by the curve window; without it no table opens.
    std::function<TTableWindow*(QWidget* parent, NotifyTarget* window)> MakeTableWindow;
    // Opens (or brings to the front) the table of curve n. newCurve marks the curve as one the user is
    // creating: closing its table before it has two points removes it again.
    void OpenTable(int32_t n, bool newCurve = false);
    // Loads the open table of curve n from its curve, unless it is taking edits back or holds edits that
    // have not reached the curve.
    void RefreshTable(int32_t n);
    // After a change of the set: every open table is captioned, titled and loaded again.
    void RefreshAllTables();
    // Deletes curve n with its table; the tables of the curves after it move down one number.
    void DeleteCurveAndTable(int32_t n, bool rescale, bool redraw);
    // Closes every table without asking (before the set is cleared or the window closes).
    void CloseAllTables();
    // Closes every table as the user would, with its questions (edits not applied yet, a curve emptied
    // through it); a New curve left with fewer than two points goes. False when the user kept a table open.
    bool CloseTablesAsking();
    TTableWindow* TableWindow(int32_t n) const;
    // The axis captions changed: every open table takes them as its column titles.
    void RefreshTableCaptions();

    // ---- pickers
    void FillCurveCombo(TGraphicComboBox& picker, bool withNone);
    void FillCurveList(TGraphicListBox& picker, bool withNone);

    // Set-to-panel message: 0x401 asks for a rebuild of the images at the next paint.
    intptr_t Notify(int code, int32_t a, int32_t b) override;

    // The cached images and how often they were rebuilt (moving the crosshair or a rubber band never
    // rebuilds).
    const QImage& PlotImage() const { return plotImage_; }
    const QImage& CurveImage() const { return curveImage_; }
    int RebuildCount() const { return rebuildCount_; }
    bool NeedsRebuild() const { return needsRebuild_; }

    std::function<void(const QString&)> OnReadout;
    std::function<void()> OnZoomed;
    std::function<void(QPoint)> OnDoubleClick;
    // A curve was refused because the set holds MaxCurves curves.
    std::function<void()> OnFull;

    // What a drag of this panel's active curve carries to another panel.
    QMimeData* MakeDragData() const;

    // The read-out text of a world point: "(" x "," y ")", each in fixed point with 4 decimals, at least 8
    // wide.
    static QString ReadoutText(RealPoint world) { return TCurveCursor::ReadoutText(world); }

signals:
    // The axes' captions as column titles for the table editors of the panel's curves.
    void AxisCaptionsChanged(const QString& xCaption, const QString& yCaption);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void Send(int code, int32_t a = 0, int32_t b = 0);
    void Rebuild();
    void RenderOverlay();
    // After a move of the crosshair: repaint where it was and where it is, and show the read-out.
    void CursorMoved(bool moved);
    // The cursor takes the active curve at its present column (after the curve or the axes changed).
    void CursorFollowActive(int px);
    void ShowReadout();
    void UpdateCrosshairArea(IntPoint a, IntPoint b);
    void UpdateMarkArea();
    QRect MarkRect(IntPoint p) const;
    void EndZoom(int X, int Y);
    void PressAt(Qt::MouseButton button, Qt::MouseButtons buttons, Qt::KeyboardModifiers mods, QPoint pos);
    void AcceptDroppedPanel(TCurvePanel* source);
    // The panels of this process: only they accept a drag of a panel's curve.
    static std::set<TCurvePanel*>& LivePanels();
    // The live panel a drag carries the active curve of, or null.
    static TCurvePanel* DraggedPanel(const QMimeData* mime);

    NotifyTarget* window_;
    std::unique_ptr<WCurveSet> curveSet_;
    QImage plotImage_;
    QImage curveImage_;
    QImage overlayImage_;
    std::function<void(QPainter&, const TGrid&)> overlayDraw_;
    // The legend: its picture, drawn over the graph so that dragging it redraws no curve, and its box on the
    // graph.
    QImage legendImage_;
    QRect legendBox_;
    bool legendDrag_ = false;
    bool legendHover_ = false;
    QPoint legendGrab_; // where the legend was taken, from its top-left corner
    bool LegendHit(QPoint pos) const;
    // The pointer over the legend shows that it can be moved.
    void LegendHover(QPoint pos);
    bool needsRebuild_ = false;
    bool painting_ = false;
    int rebuildCount_ = 0;

    bool zoomMode_ = false;
    bool zoomDragging_ = false;
    int dragShape_ = 0;
    bool savedZoomMode_ = false;
    int savedDragShape_ = 0;
    IntPoint dragAnchor_{0, 0};
    IntPoint dragCurrent_{0, 0};
    IntPoint dragPrevious_{-5000, -5000};
    bool markShown_ = false; // the last marking shape stays visible until the images are rebuilt
    IntPoint lastDown_{0, 0};
    QPoint dragStart_;
    bool dragPending_ = false;
    int wheelRest_ = 0; // wheel units not yet turned into a zoom step

    void HistoryChanged(bool walked);
    // The undo history (after the set: its steps hold curve objects the set let go).
    std::unique_ptr<TUndoHistory> history_;

    // ---- table windows
    struct TTableSlot {
        TTableWindow* window = nullptr; // open table of the curve, or none
        bool live = true;               // the table may be loaded from its curve
        bool newCurve = false;          // made by New curve: removed when closed with fewer than two points
        size_t shown = 0;               // fingerprint of the points the table was loaded from or wrote
    };
    std::array<TTableSlot, MaxCurves> tables_{};
    int32_t TableNumber(const TTableWindow* window) const;
    // Loads the table of curve n from its curve, whatever edits it holds.
    void LoadTable(int32_t n);
    bool TableTakeBack(TTableWindow* window);
    bool TableCloseQuery(TTableWindow* window);
    void TableClosed(TTableWindow* window);
    void CaptionTable(int32_t n);
};
