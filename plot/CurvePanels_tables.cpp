// The table editor windows of the plot panel's curves: one per curve at most, opened, captioned and loaded
// from their curves, taken back into them, and moved along when a curve is deleted.
#include "plot/CurvePanels.h"

#include "plot/UserMessages.h"
#include "plot/w_curve.h"

#include <algorithm>
#include <utility>

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
