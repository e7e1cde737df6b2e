#include "plot/undohistory.h"

#include "plot/CurvePanels.h"
#include "plot/coord_win.h"
#include "plot/w_curve.h"

#include <unistd.h>

#include <utility>

namespace {
size_t BytesOf(const TPlottedCurve& c) {
    return static_cast<size_t>(c.Capacity()) * sizeof(double) * (c.HasSigma() ? 3 : 2);
}

// A curve changed in place: the step holds the other version of its points and header.
class TReplaceData : public TStepData {
public:
    TReplaceData(TPlottedCurve* live, std::unique_ptr<TPlottedCurve> other)
        : live_(live), other_(std::move(other)) {}
    void Undo(TCurvePanel& panel) override { Swap(panel); }
    void Redo(TCurvePanel& panel) override { Swap(panel); }
    size_t Bytes() const override { return BytesOf(*other_); }
    void Forget(const TPlottedCurve* curve) override {
        if (live_ == curve) live_ = nullptr;
    }
    const TPlottedCurve* Live() const { return live_; }
    TPlottedCurve& Other() { return *other_; }

private:
    void Swap(TCurvePanel& panel) {
        if (panel.IndexOf(live_) == 0) return;
        std::swap(*live_, *other_);
        panel.CurvesReplaced();
    }
    TPlottedCurve* live_;
    std::unique_ptr<TPlottedCurve> other_;
};

// Curves that joined or left the set. Those out of the set are held by the step (the same objects, so that
// the other steps still know them); they come back last, in their order. A step with an active curve (Clear
// all) leaves the axes as they are both ways, as Clear all itself does.
class TMembershipData : public TStepData {
public:
    TMembershipData(std::vector<TPlottedCurve*> curves, std::vector<std::unique_ptr<TPlottedCurve>> held,
                    bool added, int32_t active)
        : curves_(std::move(curves)), held_(std::move(held)), added_(added), active_(active) {
        held_.resize(curves_.size());
    }
    void Undo(TCurvePanel& panel) override {
        if (added_)
            TakeOut(panel);
        else
            PutBack(panel);
    }
    void Redo(TCurvePanel& panel) override {
        if (added_)
            PutBack(panel);
        else
            TakeOut(panel);
    }
    size_t Bytes() const override {
        size_t bytes = 0;
        for (const auto& c : held_)
            if (c) bytes += BytesOf(*c);
        return bytes;
    }
    void Forget(const TPlottedCurve* curve) override {
        for (size_t i = 0; i < curves_.size(); ++i)
            if (curves_[i] == curve && !held_[i]) curves_[i] = nullptr;
    }

private:
    void TakeOut(TCurvePanel& panel) {
        for (size_t i = 0; i < curves_.size(); ++i)
            if (const int32_t n = panel.IndexOf(curves_[i]); n > 0)
                held_[i] = panel.TakeCurve(n, active_ == 0);
    }
    void PutBack(TCurvePanel& panel) {
        for (auto& c : held_)
            if (c) panel.PutCurve(c, active_ == 0);
        if (active_ > 0 && static_cast<size_t>(active_) <= curves_.size())
            if (const int32_t n = panel.IndexOf(curves_[static_cast<size_t>(active_ - 1)]); n > 0)
                panel.CurveSet().SetActive(n);
    }
    std::vector<TPlottedCurve*> curves_;
    std::vector<std::unique_ptr<TPlottedCurve>> held_; // held_[i]: curves_[i] while out of the set
    bool added_;
    int32_t active_;
};

class TStyleData : public TStepData {
public:
    explicit TStyleData(std::vector<std::pair<TPlottedCurve*, CurveStyle>> styles)
        : styles_(std::move(styles)) {}
    void Undo(TCurvePanel& panel) override { Swap(panel); }
    void Redo(TCurvePanel& panel) override { Swap(panel); }
    size_t Bytes() const override { return 0; }
    void Forget(const TPlottedCurve* curve) override {
        for (auto& [c, style] : styles_)
            if (c == curve) c = nullptr;
    }

private:
    void Swap(TCurvePanel& panel) {
        for (auto& [c, style] : styles_) {
            if (panel.IndexOf(c) == 0) continue;
            const CurveStyle now = c->GetStyle();
            c->SetStyle(style);
            style = now;
        }
    }
    std::vector<std::pair<TPlottedCurve*, CurveStyle>> styles_;
};

class TAxesData : public TStepData {
public:
    explicit TAxesData(TAxesState other) : other_(std::move(other)) {}
    void Undo(TCurvePanel& panel) override { Swap(panel); }
    void Redo(TCurvePanel& panel) override { Swap(panel); }
    size_t Bytes() const override { return 0; }
    void Forget(const TPlottedCurve*) override {}

private:
    void Swap(TCurvePanel& panel) {
        TAxesState now = TAxesState::Of(panel.Grid());
        other_.ApplyTo(panel.Grid());
        other_ = std::move(now);
        panel.RefreshTableCaptions();
    }
    TAxesState other_;
};
} // namespace

TAxesState TAxesState::Of(const TGrid& grid) {
    return {grid.WorldMin, grid.WorldMax, grid.XDiv, grid.YDiv, grid.XCaption,
            grid.YCaption, grid.Title,    grid.XLog, grid.YLog};
}

bool TAxesState::operator==(const TAxesState& o) const {
    return WorldMin.x == o.WorldMin.x && WorldMin.y == o.WorldMin.y && WorldMax.x == o.WorldMax.x &&
           WorldMax.y == o.WorldMax.y && XDiv == o.XDiv && YDiv == o.YDiv && XCaption == o.XCaption &&
           YCaption == o.YCaption && Title == o.Title && XLog == o.XLog && YLog == o.YLog;
}

void TAxesState::ApplyTo(TGrid& grid) const {
    grid.SetXLog(XLog);
    grid.SetYLog(YLog);
    grid.WorldMin = WorldMin;
    grid.WorldMax = WorldMax;
    grid.XDiv = XDiv;
    grid.YDiv = YDiv;
    grid.XCaption = XCaption;
    grid.YCaption = YCaption;
    grid.Title = Title;
}

// A step as the stack holds it: its name and its data. The data is shared, so that the stack can be built
// again without the oldest steps (the stack itself only drops steps beyond its count limit).
class TUndoHistory::TStep : public QUndoCommand {
public:
    TStep(TUndoHistory& history, std::shared_ptr<TStepData> data, const QString& name, bool replacesLast)
        : QUndoCommand(name), history_(history), data_(std::move(data)), replacesLast_(replacesLast) {}
    int id() const override { return 1; }
    bool mergeWith(const QUndoCommand* other) override {
        const auto* step = static_cast<const TStep*>(other);
        if (!step->replacesLast_) return false;
        data_ = step->data_;
        setText(step->text());
        return true;
    }
    void undo() override {
        if (!history_.quiet_) data_->Undo(history_.panel_);
    }
    void redo() override {
        if (!history_.quiet_) data_->Redo(history_.panel_);
    }
    const std::shared_ptr<TStepData>& Data() const { return data_; }

private:
    TUndoHistory& history_;
    std::shared_ptr<TStepData> data_;
    bool replacesLast_;
};

TUndoHistory::TUndoHistory(TCurvePanel& panel) : panel_(panel), memoryLimit_(QuarterOfMemory()) {
    stack_.setUndoLimit(MaxSteps);
    connect(&stack_, &QUndoStack::indexChanged, this, [this] {
        if (!quiet_) emit Changed(true);
    });
}

TUndoHistory::~TUndoHistory() {
    quiet_ = true;
}

size_t TUndoHistory::QuarterOfMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || size <= 0) return size_t(1) << 30;
    return static_cast<size_t>(pages) / 4 * static_cast<size_t>(size);
}

size_t TUndoHistory::HeldBytes() const {
    size_t bytes = 0;
    for (int i = 0; i < stack_.count(); ++i)
        bytes += static_cast<const TStep*>(stack_.command(i))->Data()->Bytes();
    return bytes;
}

TStepData* TUndoHistory::LastData() const {
    const int i = stack_.index() - 1;
    return i < 0 ? nullptr : static_cast<const TStep*>(stack_.command(i))->Data().get();
}

void TUndoHistory::Push(std::shared_ptr<TStepData> data, const QString& name, bool replacesLast) {
    // The change is made already: the step's first Redo has nothing to do.
    quiet_ = true;
    stack_.push(new TStep(*this, std::move(data), name, replacesLast));
    quiet_ = false;
    KeepWithinMemory();
    emit Changed(false);
}

void TUndoHistory::KeepWithinMemory() {
    const int count = stack_.count();
    std::vector<size_t> bytes;
    size_t total = 0;
    for (int i = 0; i < count; ++i) {
        bytes.push_back(static_cast<const TStep*>(stack_.command(i))->Data()->Bytes());
        total += bytes.back();
    }
    int drop = 0;
    while (total > memoryLimit_ && drop < count - 1) total -= bytes[static_cast<size_t>(drop++)];
    if (drop == 0) return;
    // Steps are dropped right after a step was recorded: none is undone, so the rest are all done.
    std::vector<std::pair<std::shared_ptr<TStepData>, QString>> kept;
    for (int i = drop; i < count; ++i) {
        const auto* step = static_cast<const TStep*>(stack_.command(i));
        kept.emplace_back(step->Data(), step->text());
    }
    quiet_ = true;
    stack_.clear();
    for (auto& [data, name] : kept) stack_.push(new TStep(*this, std::move(data), name, false));
    quiet_ = false;
}

void TUndoHistory::Replaced(TPlottedCurve* live, std::unique_ptr<TPlottedCurve> before, const QString& name) {
    Push(std::make_shared<TReplaceData>(live, std::move(before)), name);
}

void TUndoHistory::Added(std::vector<TPlottedCurve*> curves, const QString& name) {
    Push(std::make_shared<TMembershipData>(std::move(curves), std::vector<std::unique_ptr<TPlottedCurve>>{},
                                           true, 0),
         name);
}

void TUndoHistory::Removed(std::vector<std::unique_ptr<TPlottedCurve>> curves, const QString& name,
                           int32_t active) {
    std::vector<TPlottedCurve*> objects;
    for (const auto& c : curves) objects.push_back(c.get());
    Push(std::make_shared<TMembershipData>(std::move(objects), std::move(curves), false, active), name);
}

void TUndoHistory::Restyled(std::vector<std::pair<TPlottedCurve*, CurveStyle>> before, const QString& name) {
    Push(std::make_shared<TStyleData>(std::move(before)), name);
}

void TUndoHistory::AxesChanged(const TAxesState& before, const QString& name) {
    Push(std::make_shared<TAxesData>(before), name);
}

bool TUndoHistory::LastChangedWithPoints(const TPlottedCurve* curve) const {
    auto* last = dynamic_cast<TReplaceData*>(LastData());
    return curve != nullptr && last != nullptr && last->Live() == curve && last->Other().Count() > 0;
}

void TUndoHistory::TurnLastIntoRemoval(std::unique_ptr<TPlottedCurve> curve, const QString& name) {
    auto* last = dynamic_cast<TReplaceData*>(LastData());
    if (last == nullptr || last->Live() != curve.get()) return;
    // The curve leaves as it was before the last change; that step and the removal are one step now.
    std::swap(*curve, last->Other());
    std::vector<std::unique_ptr<TPlottedCurve>> held;
    held.push_back(std::move(curve));
    std::vector<TPlottedCurve*> objects{held.back().get()};
    Push(std::make_shared<TMembershipData>(std::move(objects), std::move(held), false, 0), name, true);
}

void TUndoHistory::Forget(const TPlottedCurve* curve) {
    for (int i = 0; i < stack_.count(); ++i)
        static_cast<const TStep*>(stack_.command(i))->Data()->Forget(curve);
    emit Changed(false);
}
