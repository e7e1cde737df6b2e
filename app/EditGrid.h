// The table editor of a curve: a two-column sheet (x, y) over the curve's points that writes edits back into
// the curve. The sheet is a model over the table's doubles; texts are made only for the cells on screen, so
// a table of a million points opens at once.
#pragma once

#include "app/GridFormatDlg.h"
#include "plot/NotifyTarget.h"
#include "plot/TableWindow.h"

#include <QAbstractTableModel>
#include <QTableView>
#include <QWidget>

#include <array>

class QAction;
class QMenu;

// A cell's text as a number ("." the decimal point, an optional exponent); false when it is none.
bool ParseCell(const QString& text, double& value);
// A value as clipboard text: the shortest form that reads back to the same double, "." always.
QString CellClipboardText(double v);

class TCurveGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TCurveGridModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

    TCurveTable Cells;
    std::array<TColumnFormat, 2> Formats;
    std::array<QString, 2> Titles{QStringLiteral("X"), QStringLiteral("Y")};

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // A typed text: only a text that differs from what the cell showed changes the cell, so a cell the user
    // did not alter keeps its exact value. Text that is not a number leaves the cell empty.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

    // After Cells changed as a whole: the views take the new row count and texts, keeping their place.
    void CellsChanged();
    // Adds an empty row when the last row holds a value, so that one always follows the data.
    void KeepEmptyLastRow();

signals:
    // A cell gained, lost or changed its value by typing.
    void Edited();

private:
    int rows_ = 0;
};

class TCurveGridView : public QTableView {
    Q_OBJECT
public:
    explicit TCurveGridView(QWidget* parent);
    // Moves the current cell by `step` rows within the table, keeping its column.
    void StepRow(int step);
    // Commits the text of a cell being edited and ends the editing.
    void FinishEditing();
    bool Editing() const { return state() == EditingState; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

class TCurveEditGrid : public QWidget, public TTableWindow {
    Q_OBJECT
public:
    // window: the curve window, asked where the editor opens.
    TCurveEditGrid(QWidget* parent, NotifyTarget* window);

    // TTableWindow
    TCurveTable& Table() override { return model_->Cells; }
    void TableLoaded() override;
    bool HoldsEdits() const override;
    void SetCaption(int32_t n, const QString& fileName) override;
    void SetColumnTitles(const QString& x, const QString& y) override;
    void SetMinimumRows(int32_t rows) override;
    void ShowTable() override;
    void Dispose() override;
    bool CloseAsking() override { return close(); }

    TCurveGridView* Grid() const { return view_; }
    TCurveGridModel* Model() const { return model_; }
    QMenu* PopupMenu() const { return popup_; }
    QAction* Action(const QString& name) const;
    bool AutoUpdate() const { return autoUpdate_; }
    bool InsertMode() const { return insertMode_; }
    // The shown text of a cell (row from 0, column 0 x, 1 y).
    QString CellText(int row, int column) const;

    // ---- the commands of the popup menu
    void Copy();
    void Cut();
    void Clear();
    void Paste();
    void PasteText(const QString& text);
    void Update();
    void SetAutoUpdate(bool on);
    void SetInsertMode(bool on);
    void DisplayOptions();
    void InsertRowsClick();
    void InsertRows(int count, bool atCursor);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // The selected rectangle (rows and columns from 0); the current cell when nothing is selected.
    QRect Selection() const;
    void Select(int top, int left, int bottom, int right);
    // Empties or removes the rows of `area` (the last row never counts); false when nothing changed.
    bool ClearArea(QRect area);
    // Edits reach the curve now with auto update on; otherwise they wait for Update.
    void Changed();
    // False when the user kept the edits in the table only.
    bool Apply();
    void FitColumns();
    // The first free place of a cascade from `place` among the other tables of the window.
    QPoint Cascaded(QPoint place) const;

    NotifyTarget* window_;
    TCurveGridModel* model_;
    TCurveGridView* view_;
    QMenu* popup_ = nullptr;
    int32_t number_ = 0;
    bool autoUpdate_ = true;
    bool insertMode_ = true;
    bool pending_ = false; // edits not yet in the curve
    bool placed_ = false;
    bool disposed_ = false;
};
