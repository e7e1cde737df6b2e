// The table editor windows of the plot panel's curves: one per curve at most, opened, captioned and loaded
// from their curves, taken back into them, and moved along when a curve is deleted.
#include "plot/CurvePanels.h"

#include "plot/UserMessages.h"
#include "plot/undohistory.h"
#include "plot/w_curve.h"

#include <QHashFunctions>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace {
// The points of a curve in one number: a table tells by it whether its curve changed after it was loaded.
size_t Fingerprint(const TCurveA& c) {
    const auto bytes = sizeof(double) * static_cast<size_t>(c.Count());
    return qHashBits(c.YData(), bytes, qHashBits(c.XData(), bytes, static_cast<size_t>(c.Count())));
}
} // namespace

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
        w->OnTakeBack = [this, w] { return TableTakeBack(w); };
        w->OnCloseQuery = [this, w] { return TableCloseQuery(w); };
        w->OnClosed = [this, w] { TableClosed(w); };
        RefreshTable(n);
        CaptionTable(n);
        if (c->Count() < 2) w->SetMinimumRows(20);
    }
    slot.window->ShowTable();
}

void TCurvePanel::RefreshTable(int32_t n) {
    const TTableWindow* w = TableWindow(n);
    if (w == nullptr || !tables_[static_cast<size_t>(n - 1)].live || w->HoldsEdits()) return;
    LoadTable(n);
}

void TCurvePanel::LoadTable(int32_t n) {
    const TPlottedCurve* c = Curve(n);
    TTableWindow* w = TableWindow(n);
    if (c == nullptr || w == nullptr) return;
    TBusyPointer busy;
    c->ToTable(w->Table());
    tables_[static_cast<size_t>(n - 1)].shown = Fingerprint(*c);
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

bool TCurvePanel::TableTakeBack(TTableWindow* window) {
    const int32_t n = TableNumber(window);
    TPlottedCurve* c = Curve(n);
    if (c == nullptr) return true;
    TTableSlot& slot = tables_[static_cast<size_t>(n - 1)];
    if (Fingerprint(*c) != slot.shown) {
        // The curve changed while the table held edits (an operation or an undo ran meanwhile): the table's
        // other rows still show the older points, and writing them would silently undo that change.
        const TSaveAnswer answer = Messages().AskSave(
            dynamic_cast<QWidget*>(window),
            QStringLiteral(
                "Curve #%1 has changed since its table was loaded.\nWrite the table over the curve "
                "(Yes), or load the curve into the table (No)?")
                .arg(n));
        if (answer == TSaveAnswer::Cancel) return false;
        if (answer == TSaveAnswer::No) {
            LoadTable(n);
            return true;
        }
    }
    TBusyPointer busy;
    auto before = std::make_unique<TPlottedCurve>(*c);
    // The redraw reports a change of the set, which must not load the table being taken back.
    slot.live = false;
    if (c->FromTable(window->Table())) {
        // A change made through the table is undone like an operation's: Undo brings the curve back as it
        // was before.
        History().Replaced(c, std::move(before), QStringLiteral("Table edit of curve #%1").arg(n));
        curveSet_->MergeRanges();
        if (AutoUpdate) curveSet_->Rescale();
        curveSet_->Redraw();
    }
    slot.shown = Fingerprint(*c);
    slot.live = true;
    return true;
}

bool TCurvePanel::TableCloseQuery(TTableWindow* window) {
    const int32_t n = TableNumber(window);
    const TPlottedCurve* c = Curve(n);
    // A New curve left short goes without a word (it never held points the user had not just typed); a
    // loaded curve emptied through its table goes only when the user says so.
    if (c == nullptr || tables_[static_cast<size_t>(n - 1)].newCurve || c->Count() > 0) return true;
    return Messages().Confirm(dynamic_cast<QWidget*>(window),
                              QStringLiteral("Curve #%1 has no points left. Remove it?").arg(n));
}

void TCurvePanel::TableClosed(TTableWindow* window) {
    const int32_t n = TableNumber(window);
    if (n == 0) return;
    const bool newCurve = tables_[static_cast<size_t>(n - 1)].newCurve;
    tables_[static_cast<size_t>(n - 1)] = {};
    // A new curve left with fewer than two points is given up, and so is a curve emptied through its table
    // (the close query asked); a loaded curve of one point stays.
    const TPlottedCurve* c = Curve(n);
    if (c == nullptr || (c->Count() > 0 && !(newCurve && c->Count() < 2))) return;
    // When the table's last change emptied it, Undo adds the curve again as it was before that change.
    if (History().LastChangedWithPoints(c)) {
        History().TurnLastIntoRemoval(TakeCurve(n, true), QStringLiteral("Remove curve #%1").arg(n));
        curveSet_->Redraw();
        return;
    }
    History().Forget(c);
    DeleteCurveAndTable(n, AutoUpdate, true);
}

void TCurvePanel::DeleteCurveAndTable(int32_t n, bool rescale, bool redraw) {
    if (Curve(n) == nullptr) return;
    if (TTableWindow* w = std::exchange(tables_[static_cast<size_t>(n - 1)].window, nullptr)) w->Dispose();
    // The tables move with their curves before the set reports the change, so that the refresh it causes
    // loads every table from its own curve.
    std::move(tables_.begin() + n, tables_.end(), tables_.begin() + (n - 1));
    tables_.back() = {};
    curveSet_->DeleteCurve(n, rescale, redraw);
    for (int32_t i = n; i <= CurveCount(); ++i) CaptionTable(i);
}

void TCurvePanel::RefreshTableCaptions() {
    for (int32_t n = 1; n <= CurveCount(); ++n) CaptionTable(n);
    emit AxisCaptionsChanged(Grid().XCaption, Grid().YCaption);
}

bool TCurvePanel::CloseTablesAsking() {
    // From the last curve down: closing a table may remove its curve, and the curves after it move down.
    for (int32_t n = MaxCurves; n >= 1; --n)
        if (TTableWindow* w = TableWindow(n); w != nullptr && !w->CloseAsking()) return false;
    return true;
}

void TCurvePanel::CloseAllTables() {
    for (TTableSlot& slot : tables_) {
        if (slot.window != nullptr) slot.window->Dispose();
        slot = {};
    }
}
