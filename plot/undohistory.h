// The undo history of a plot panel: every change to the window's curves, its curves' looks and its axes is a
// step on a QUndoStack that Undo, Redo and the history view walk.
//
// A step holds one state of what it changed, never two: the curve as it is not in the set now (before the
// change while the step is done, after it while undone). Undo and Redo swap that state with the live one, so
// the points of a curve are never copied by walking the history. Curves are known by their objects, which a
// step that takes a curve out of the set keeps alive, so a step finds its curve wherever other steps moved
// it.
#pragma once

#include "plot/curve_plot.h"

#include <QObject>
#include <QString>
#include <QUndoStack>

#include <cstddef>
#include <memory>
#include <vector>

class TCurvePanel;
class TGrid;

// The axes as the Axes dialog sets them: ranges, divisions, titles and scales.
struct TAxesState {
    RealPoint WorldMin{0.0, 0.0};
    RealPoint WorldMax{0.0, 0.0};
    int32_t XDiv = 0;
    int32_t YDiv = 0;
    QString XCaption;
    QString YCaption;
    QString Title;
    bool XLog = false;
    bool YLog = false;

    static TAxesState Of(const TGrid& grid);
    void ApplyTo(TGrid& grid) const;
    bool operator==(const TAxesState& other) const;
};

// What a step holds and how it goes both ways. Undo and Redo leave the redraw to the history's owner.
class TStepData {
public:
    virtual ~TStepData() = default;
    virtual void Undo(TCurvePanel& panel) = 0;
    virtual void Redo(TCurvePanel& panel) = 0;
    // Bytes of curve points the step holds now.
    virtual size_t Bytes() const = 0;
    // Curve left the set without a step: the step no longer acts on it.
    virtual void Forget(const TPlottedCurve* curve) = 0;
};

class TUndoHistory : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxSteps = 100;

    explicit TUndoHistory(TCurvePanel& panel);
    ~TUndoHistory() override;

    QUndoStack& Stack() { return stack_; }
    bool CanUndo() const { return stack_.canUndo(); }
    bool CanRedo() const { return stack_.canRedo(); }
    int Count() const { return stack_.count(); }
    void Undo() { stack_.undo(); }
    void Redo() { stack_.redo(); }

    // The most curve data (bytes of points) the steps may hold before the oldest go: a quarter of the
    // machine's memory unless set. The newest step stays whatever it holds.
    size_t MemoryLimit() const { return memoryLimit_; }
    void SetMemoryLimit(size_t bytes) { memoryLimit_ = bytes; }
    size_t HeldBytes() const;
    static size_t QuarterOfMemory();

    // ---- steps, recorded after the change was made
    // Curve `live` was changed; `before` is what it was.
    void Replaced(TPlottedCurve* live, std::unique_ptr<TPlottedCurve> before, const QString& name);
    // Curves were added to the set (the last ones).
    void Added(std::vector<TPlottedCurve*> curves, const QString& name);
    // Curves were taken out of the set; undoing adds them again last. With `active` (1-based among them),
    // Undo makes that one active again (Clear all).
    void Removed(std::vector<std::unique_ptr<TPlottedCurve>> curves, const QString& name, int32_t active = 0);
    // The looks of curves were changed; `before` holds each one's previous style.
    void Restyled(std::vector<std::pair<TPlottedCurve*, CurveStyle>> before, const QString& name);
    void AxesChanged(const TAxesState& before, const QString& name);

    // The last step changed `curve` (and nothing since): true when what it holds has points.
    bool LastChangedWithPoints(const TPlottedCurve* curve) const;
    // `curve`, taken out of the set right after the last step changed it, goes the way of a removal: the last
    // step becomes its removal, and Undo adds it again as it was before that change.
    void TurnLastIntoRemoval(std::unique_ptr<TPlottedCurve> curve, const QString& name);
    // A curve left the set without a step (a new curve given up): no step acts on it any more.
    void Forget(const TPlottedCurve* curve);

signals:
    // After every change of the steps or of the position in them; walked is true when Undo, Redo or a jump
    // changed the curves (a step recorded, or a curve forgotten, has done its change already).
    void Changed(bool walked);

private:
    class TStep;
    void Push(std::shared_ptr<TStepData> data, const QString& name, bool replacesLast = false);
    // Drops the oldest steps while the data held passes the limit (the newest stays).
    void KeepWithinMemory();
    TStepData* LastData() const;

    TCurvePanel& panel_;
    QUndoStack stack_;
    size_t memoryLimit_;
    bool quiet_ = false; // steps do nothing while the stack is being built
};
