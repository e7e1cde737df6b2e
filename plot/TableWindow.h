// The table of a curve, as its table editor window holds it, and what the plot panel needs of that window.
// The panel owns one window per curve number and keeps them in step with the curves; the editor itself lives
// in the application layer and is made through the panel's MakeTableWindow.
#pragma once

#include <QString>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

// The cells of a two-column table (x, y), rows numbered from 0. A cell holds a double or nothing; an empty
// cell holds NaN, which no curve ever holds (every value entering a curve is finite). Values are kept whole,
// so a curve goes through its table and back bit for bit.
struct TCurveTable {
    std::vector<double> X;
    std::vector<double> Y;

    static constexpr double Empty = std::numeric_limits<double>::quiet_NaN();
    static bool HasValue(double v) { return !std::isnan(v); }

    int32_t Rows() const { return static_cast<int32_t>(X.size()); }
    // Grows with empty rows or drops rows at the end.
    void Resize(int32_t rows) {
        X.resize(static_cast<size_t>(rows), Empty);
        Y.resize(static_cast<size_t>(rows), Empty);
    }
    std::vector<double>& Column(int c) { return c == 0 ? X : Y; }
    const std::vector<double>& Column(int c) const { return c == 0 ? X : Y; }
};

class TTableWindow {
public:
    virtual ~TTableWindow() = default;

    // The cells the panel loads from the curve (ToTable) and takes back from (FromTable).
    virtual TCurveTable& Table() = 0;
    // The cells were loaded anew from the curve: show them.
    virtual void TableLoaded() = 0;
    // Edits that have not reached the curve yet (or a cell being typed into): loading would lose them.
    virtual bool HoldsEdits() const = 0;
    // Caption "#n: file name"; n also names the curve in the editor's questions.
    virtual void SetCaption(int32_t n, const QString& fileName) = 0;
    virtual void SetColumnTitles(const QString& x, const QString& y) = 0;
    // At least this many rows (empty rows are added at the end).
    virtual void SetMinimumRows(int32_t rows) = 0;
    // Shows the window (placed beside its curve window the first time) and brings it to the front.
    virtual void ShowTable() = 0;
    // Closes and frees the window without reporting back (its curve is being deleted or cleared).
    virtual void Dispose() = 0;
    // Closes the window as the user would, asking about edits it still holds; false when the user kept it
    // open.
    virtual bool CloseAsking() = 0;

    // Set by the panel. OnTakeBack writes the table into the curve; false when the user chose to keep the
    // edits in the table only (the curve had changed since the table was loaded). OnCloseQuery is asked
    // before the window closes, after its edits were applied or dropped; false keeps it open. OnClosed: the
    // window was closed by the user (the window frees itself afterwards).
    std::function<bool()> OnTakeBack;
    std::function<bool()> OnCloseQuery;
    std::function<void()> OnClosed;
};
