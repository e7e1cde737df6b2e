#include "app/EditGrid.h"

#include "app/InsertCellsDialog.h"
#include "app/placement.h"
#include "app/shareddialogs.h"
#include "curves/curvefile.h"
#include "plot/UserMessages.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QScrollBar>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string>

namespace {
// Copy writes it for an empty cell, and Paste turns it back into one, so blocks with gaps survive.
constexpr double EmptyMarker = -1.23456789E10;
const QString EmptyMarkerText = QStringLiteral("-1.23456789E10");

bool SameValue(double a, double b) {
    const bool ha = TCurveTable::HasValue(a), hb = TCurveTable::HasValue(b);
    return ha == hb && (!ha || std::memcmp(&a, &b, sizeof a) == 0);
}

// The key starts typing into a cell: digits, the exponent letter, signs and the decimal point.
bool StartsNumber(const QString& text) {
    if (text.size() != 1) return false;
    const QChar c = text.at(0);
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('e') ||
           c == QLatin1Char('E') || c == QLatin1Char('-') || c == QLatin1Char('+') || c == QLatin1Char('.');
}

void InsertEmpty(std::vector<double>& column, int at, int count) {
    column.insert(column.begin() + at, static_cast<size_t>(count), TCurveTable::Empty);
}

// Enter commits the cell and moves one row down, Shift+Enter one row up.
class TCellDelegate : public QStyledItemDelegate {
public:
    explicit TCellDelegate(TCurveGridView* view) : QStyledItemDelegate(view), view_(view) {}

protected:
    bool eventFilter(QObject* object, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                auto* editor = qobject_cast<QWidget*>(object);
                emit commitData(editor);
                emit closeEditor(editor, QAbstractItemDelegate::NoHint);
                view_->StepRow((key->modifiers() & Qt::ShiftModifier) ? -1 : 1);
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    TCurveGridView* view_;
};
} // namespace

bool ParseCell(const QString& text, double& value) {
    const std::string s = text.trimmed().toStdString();
    return curvefile::ConvertNumber(s, value);
}

QString CellClipboardText(double v) {
    if (!TCurveTable::HasValue(v)) return EmptyMarkerText;
    char buffer[32];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
    return QString::fromLatin1(buffer, ec == std::errc() ? static_cast<int>(end - buffer) : 0);
}

// ---------------------------------------------------------------- the model

int TCurveGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

int TCurveGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 2;
}

QVariant TCurveGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= Cells.Rows()) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return Formats[static_cast<size_t>(index.column())].Format(
            Cells.Column(index.column())[static_cast<size_t>(index.row())]);
    case Qt::TextAlignmentRole:
        return int(Qt::AlignRight | Qt::AlignVCenter);
    case Qt::ToolTipRole: {
        // The whole value, where the column's format shows fewer digits.
        const double v = Cells.Column(index.column())[static_cast<size_t>(index.row())];
        return TCurveTable::HasValue(v) ? CellClipboardText(v) : QString();
    }
    default:
        return {};
    }
}

QVariant TCurveGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Horizontal)
        return section >= 0 && section < 2 ? Titles[size_t(section)] : QString();
    return section + 1;
}

Qt::ItemFlags TCurveGridModel::flags(const QModelIndex& index) const {
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable : Qt::NoItemFlags;
}

bool TCurveGridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.row() >= Cells.Rows()) return false;
    double& cell = Cells.Column(index.column())[static_cast<size_t>(index.row())];
    const QString text = value.toString().trimmed();
    // The text the cell showed, given back unaltered: the cell keeps its value to the last bit.
    if (text == Formats[static_cast<size_t>(index.column())].Format(cell)) return false;
    double typed = TCurveTable::Empty;
    if (!ParseCell(text, typed)) typed = TCurveTable::Empty;
    const bool changed = !SameValue(typed, cell);
    cell = typed;
    // Shown again in the column's format; text that is no number is wiped.
    emit dataChanged(index, index);
    if (!changed) return true;
    KeepEmptyLastRow();
    emit Edited();
    return true;
}

void TCurveGridModel::KeepEmptyLastRow() {
    const int rows = Cells.Rows();
    if (rows == 0 || TCurveTable::HasValue(Cells.X.back()) || TCurveTable::HasValue(Cells.Y.back())) {
        Cells.Resize(rows + 1);
        CellsChanged();
    }
}

void TCurveGridModel::CellsChanged() {
    const int rows = Cells.Rows();
    if (rows > rows_) {
        beginInsertRows({}, rows_, rows - 1);
        rows_ = rows;
        endInsertRows();
    } else if (rows < rows_) {
        beginRemoveRows({}, rows, rows_ - 1);
        rows_ = rows;
        endRemoveRows();
    }
    if (rows_ > 0) emit dataChanged(index(0, 0), index(rows_ - 1, 1));
}

// ---------------------------------------------------------------- the view

TCurveGridView::TCurveGridView(QWidget* parent) : QTableView(parent) {
    setItemDelegate(new TCellDelegate(this));
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    // Read-only until a number key is pressed (keyPressEvent); double click and F2 edit too.
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    setWordWrap(false);
    // Sections of one fixed size: the headers need not measure a million rows.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultAlignment(Qt::AlignRight | Qt::AlignVCenter);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setStretchLastSection(false);
    setContextMenuPolicy(Qt::CustomContextMenu);
}

void TCurveGridView::StepRow(int step) {
    const QModelIndex current = currentIndex();
    if (!current.isValid() || model() == nullptr) return;
    const int row = std::clamp(current.row() + step, 0, model()->rowCount() - 1);
    const QModelIndex next = model()->index(row, current.column());
    selectionModel()->setCurrentIndex(next, QItemSelectionModel::ClearAndSelect);
    scrollTo(next);
}

void TCurveGridView::FinishEditing() {
    if (!Editing()) return;
    if (QWidget* editor = indexWidget(currentIndex())) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint);
    }
}

void TCurveGridView::keyPressEvent(QKeyEvent* event) {
    if (Editing()) {
        QTableView::keyPressEvent(event);
        return;
    }
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        StepRow((mods & Qt::ShiftModifier) ? -1 : 1);
        return;
    }
    const bool plain = (mods & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) == 0;
    if (plain && StartsNumber(event->text())) {
        // That key opens the cell and is the first character typed into it.
        const EditTriggers triggers = editTriggers();
        setEditTriggers(triggers | QAbstractItemView::AnyKeyPressed);
        QTableView::keyPressEvent(event);
        setEditTriggers(triggers);
        return;
    }
    // Other text keys change nothing (and search no million cells for their letter).
    if (plain && !event->text().isEmpty() && event->text().at(0).isPrint()) {
        event->accept();
        return;
    }
    QTableView::keyPressEvent(event);
}

// ---------------------------------------------------------------- the editor window

TCurveEditGrid::TCurveEditGrid(QWidget* parent, NotifyTarget* window)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      window_(window), model_(new TCurveGridModel(this)), view_(new TCurveGridView(this)) {
    setObjectName(QStringLiteral("CurveEditGrid"));
    view_->setModel(model_);
    setFocusProxy(view_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    model_->Cells.Resize(1);
    model_->CellsChanged();
    connect(model_, &TCurveGridModel::Edited, this, &TCurveEditGrid::Changed);

    popup_ = new QMenu(this);
    auto add = [this](const char* name, const char* caption, QList<QKeySequence> keys, auto slot) {
        auto* a = new QAction(QString::fromUtf8(caption), this);
        a->setObjectName(QLatin1String(name));
        a->setShortcuts(keys);
        a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(a, &QAction::triggered, this, slot);
        addAction(a);
        popup_->addAction(a);
        return a;
    };
    add("Copy1", "&Copy", {QKeySequence(QStringLiteral("Ctrl+C"))}, &TCurveEditGrid::Copy);
    add("Cut1", "C&ut", {QKeySequence(QStringLiteral("Ctrl+X")), QKeySequence(QStringLiteral("Shift+Del"))},
        &TCurveEditGrid::Cut);
    add("Clear1", "C&lear", {QKeySequence(QStringLiteral("Ctrl+Del")), QKeySequence(QStringLiteral("Del"))},
        &TCurveEditGrid::Clear);
    add("Paste1", "&Paste",
        {QKeySequence(QStringLiteral("Ctrl+V")), QKeySequence(QStringLiteral("Shift+Ins"))},
        &TCurveEditGrid::Paste);
    popup_->addSeparator();
    add("Update1", "Updat&e", {}, &TCurveEditGrid::Update);
    QAction* autoUpdate = add("AutoUpdate1", "&Auto Update", {}, &TCurveEditGrid::SetAutoUpdate);
    autoUpdate->setCheckable(true);
    autoUpdate->setChecked(true);
    QAction* insertMode = add("Insertmode1", "I&nsert mode", {}, &TCurveEditGrid::SetInsertMode);
    insertMode->setCheckable(true);
    insertMode->setChecked(true);
    add("DisplayOptions1", "&Display Options", {}, &TCurveEditGrid::DisplayOptions);
    add("InsertRows1", "&Insert Rows", {}, &TCurveEditGrid::InsertRowsClick);
    connect(view_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        Action(QStringLiteral("Cut1"))->setEnabled(true);
        Action(QStringLiteral("Clear1"))->setEnabled(true);
        const QMimeData* clip = QApplication::clipboard()->mimeData();
        Action(QStringLiteral("Paste1"))->setEnabled(clip != nullptr && clip->hasText());
        popup_->exec(view_->viewport()->mapToGlobal(pos));
        // The keys paste whatever the clipboard holds by then.
        Action(QStringLiteral("Paste1"))->setEnabled(true);
    });
    FitColumns();
    resize(152, 290);
}

QAction* TCurveEditGrid::Action(const QString& name) const {
    return findChild<QAction*>(name, Qt::FindDirectChildrenOnly);
}

QString TCurveEditGrid::CellText(int row, int column) const {
    return model_->data(model_->index(row, column), Qt::DisplayRole).toString();
}

void TCurveEditGrid::TableLoaded() {
    model_->KeepEmptyLastRow();
    model_->CellsChanged();
    pending_ = false;
}

bool TCurveEditGrid::HoldsEdits() const {
    return pending_ || view_->Editing();
}

void TCurveEditGrid::SetCaption(int32_t n, const QString& fileName) {
    number_ = n;
    setWindowTitle(QStringLiteral("#%1: %2").arg(n).arg(fileName));
}

void TCurveEditGrid::SetColumnTitles(const QString& x, const QString& y) {
    // Axes without captions leave the columns named X and Y.
    model_->Titles = {x.isEmpty() ? QStringLiteral("X") : x, y.isEmpty() ? QStringLiteral("Y") : y};
    emit model_->headerDataChanged(Qt::Horizontal, 0, 1);
}

void TCurveEditGrid::SetMinimumRows(int32_t rows) {
    if (model_->Cells.Rows() >= rows) return;
    model_->Cells.Resize(rows);
    model_->CellsChanged();
}

void TCurveEditGrid::FitColumns() {
    const QFontMetrics fm(view_->font());
    const int letter = fm.horizontalAdvance(QLatin1Char('A'));
    for (int c = 0; c < 2; ++c)
        view_->setColumnWidth(c, letter * (model_->Formats[static_cast<size_t>(c)].Digits + 2) + 8);
    view_->verticalHeader()->setDefaultSectionSize(fm.height() + 4);
}

void TCurveEditGrid::ShowTable() {
    if (!placed_) {
        placed_ = true;
        FitColumns();
        // The row numbers of the last row decide the width of the row header.
        const int rowHeader =
            view_->fontMetrics().horizontalAdvance(QString::number(std::max(99, model_->rowCount()))) + 12;
        const int width = rowHeader + view_->columnWidth(0) + view_->columnWidth(1) +
                          view_->verticalScrollBar()->sizeHint().width() + 2 * view_->frameWidth() + 2;
        resize(width, std::max(290, 21 * view_->verticalHeader()->defaultSectionSize()));
        if (window_ != nullptr) {
            const auto place =
                static_cast<int32_t>(window_->Notify(notify::PlaceToolWindow, 1, PackPair(width, height())));
            move(Cascaded(QPoint(UnpackLow(place), UnpackHigh(place))));
        }
        if (!view_->currentIndex().isValid()) view_->setCurrentIndex(model_->index(0, 0));
    }
    show();
    raise();
    activateWindow();
}

QPoint TCurveEditGrid::Cascaded(QPoint place) const {
    // The tables of one window all open at the same place beside it: a table already there moves this one
    // down and right by the height of a title bar, so that every caption stays in sight.
    const int step = std::max(24, QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight) + 4);
    const QList<TCurveEditGrid*> tables =
        parentWidget() != nullptr ? parentWidget()->findChildren<TCurveEditGrid*>(Qt::FindDirectChildrenOnly)
                                  : QList<TCurveEditGrid*>();
    for (bool taken = true; taken;) {
        taken = std::any_of(tables.begin(), tables.end(), [&](const TCurveEditGrid* t) {
            return t != this && t->isVisible() && (t->pos() - place).manhattanLength() < step / 2;
        });
        if (taken) place += QPoint(step, step);
    }
    return place;
}

void TCurveEditGrid::Dispose() {
    disposed_ = true;
    OnClosed = nullptr;
    OnTakeBack = nullptr;
    OnCloseQuery = nullptr;
    hide();
    deleteLater();
}

void TCurveEditGrid::closeEvent(QCloseEvent* event) {
    if (disposed_) {
        event->accept();
        return;
    }
    view_->FinishEditing();
    if (pending_) {
        // With auto update off the edits are still only in the table.
        const TSaveAnswer answer = Messages().AskSave(
            this, QStringLiteral("Apply the changes in the table to curve #%1 ?").arg(number_));
        if (answer == TSaveAnswer::Cancel) {
            event->ignore();
            return;
        }
        // The user may still keep the edits in the table only (the curve changed meanwhile): it stays open.
        if (answer == TSaveAnswer::Yes && !Apply()) {
            event->ignore();
            return;
        }
    }
    if (OnCloseQuery && !OnCloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    disposed_ = true;
    OnTakeBack = nullptr;
    OnCloseQuery = nullptr;
    // The panel forgets the window (and may remove an empty new curve); the window goes afterwards.
    if (auto closed = std::exchange(OnClosed, nullptr)) closed();
    deleteLater();
}

// ---------------------------------------------------------------- applying

void TCurveEditGrid::Changed() {
    if (autoUpdate_)
        Apply();
    else
        pending_ = true;
}

bool TCurveEditGrid::Apply() {
    // Edits the curve did not take stay pending, whatever auto update says: nothing loads over them.
    pending_ = OnTakeBack && !OnTakeBack();
    return !pending_;
}

void TCurveEditGrid::Update() {
    view_->FinishEditing();
    Apply();
}

void TCurveEditGrid::SetAutoUpdate(bool on) {
    autoUpdate_ = on;
    Action(QStringLiteral("AutoUpdate1"))->setChecked(on);
    if (on) Update();
}

void TCurveEditGrid::SetInsertMode(bool on) {
    insertMode_ = on;
    Action(QStringLiteral("Insertmode1"))->setChecked(on);
}

// ---------------------------------------------------------------- selection and clipboard

QRect TCurveEditGrid::Selection() const {
    QRect area;
    for (const QItemSelectionRange& r : view_->selectionModel()->selection())
        area |= QRect(QPoint(r.left(), r.top()), QPoint(r.right(), r.bottom()));
    if (area.isValid()) return area;
    const QModelIndex current = view_->currentIndex();
    return QRect(current.isValid() ? current.column() : 0, current.isValid() ? current.row() : 0, 1, 1);
}

void TCurveEditGrid::Select(int top, int left, int bottom, int right) {
    const QModelIndex first = model_->index(top, left);
    view_->selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
    view_->selectionModel()->select(QItemSelection(first, model_->index(bottom, right)),
                                    QItemSelectionModel::ClearAndSelect);
    view_->scrollTo(first);
}

void TCurveEditGrid::Copy() {
    const QRect area = Selection();
    const TCurveTable& t = model_->Cells;
    QString text;
    for (int r = area.top(); r <= area.bottom() && r < t.Rows(); ++r) {
        for (int c = area.left(); c <= area.right(); ++c) {
            if (c > area.left()) text += QLatin1Char('\t');
            text += CellClipboardText(t.Column(c)[static_cast<size_t>(r)]);
        }
        text += QLatin1String("\r\n");
    }
    QApplication::clipboard()->setText(text);
}

void TCurveEditGrid::Cut() {
    Copy();
    Clear();
}

bool TCurveEditGrid::ClearArea(QRect area) {
    TCurveTable& t = model_->Cells;
    // The empty row after the data never counts.
    const int top = area.top(), bottom = std::min(area.bottom(), t.Rows() - 2);
    if (bottom < top) return false;
    bool changed = false;
    if (insertMode_ && area.left() == 0 && area.right() == 1) {
        // Whole rows go, so every later x keeps its own y.
        for (int c = 0; c < 2; ++c) {
            auto& column = t.Column(c);
            column.erase(column.begin() + top, column.begin() + bottom + 1);
        }
        changed = true;
    } else {
        for (int c = area.left(); c <= area.right(); ++c)
            for (int r = top; r <= bottom; ++r) {
                double& cell = t.Column(c)[static_cast<size_t>(r)];
                changed = changed || TCurveTable::HasValue(cell);
                cell = TCurveTable::Empty;
            }
    }
    model_->KeepEmptyLastRow();
    model_->CellsChanged();
    return changed;
}

void TCurveEditGrid::Clear() {
    view_->FinishEditing();
    const QRect area = Selection();
    const bool changed = ClearArea(area);
    const int top = std::min(area.top(), model_->rowCount() - 1);
    Select(top, area.left(), top, area.left());
    if (changed) Changed();
}

void TCurveEditGrid::Paste() {
    PasteText(QApplication::clipboard()->text());
}

void TCurveEditGrid::PasteText(const QString& clipboardText) {
    view_->FinishEditing();
    struct TLine {
        double v[2];
        int n;
    };
    std::vector<TLine> lines;
    const std::string text = clipboardText.toStdString();
    const QRect area = Selection();
    const int column = area.left();
    // Lines end at CR LF, CR or LF; a line without a number is skipped.
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        const std::string_view content = std::string_view(text).substr(pos, end - pos);
        TLine line{};
        if (column == 0 && content.find('\t') != std::string_view::npos) {
            // Cells of a spreadsheet pasted at x: every tab ends one, so an empty first cell stays an empty x
            // instead of its row's y moving into the x column. Into y only a number goes, the line's first.
            bool any = false;
            for (size_t from = 0; line.n < 2 && from <= content.size(); ++line.n) {
                size_t tab = content.find('\t', from);
                if (tab == std::string_view::npos) tab = content.size();
                std::string_view cell = content.substr(from, tab - from);
                while (!cell.empty() && cell.front() == ' ') cell.remove_prefix(1);
                while (!cell.empty() && cell.back() == ' ') cell.remove_suffix(1);
                double v = 0.0;
                const bool number = curvefile::ConvertNumber(cell, v);
                line.v[line.n] = number ? v : TCurveTable::Empty;
                any = any || number;
                from = tab + 1;
            }
            if (!any) line.n = 0;
        } else {
            line.n = curvefile::SplitNumbers(content, line.v, 2);
        }
        if (line.n > 0) lines.push_back(line);
        pos = end;
        if (pos < text.size() && text[pos] == '\r') ++pos;
        if (pos < text.size() && text[pos] == '\n' && (pos == end || text[end] == '\r')) ++pos;
    }
    if (lines.empty()) return;
    const int rows = static_cast<int>(lines.size());
    int top = area.top();
    // A line fills x and y from the x column; from the y column only y.
    const bool both =
        column == 0 && std::any_of(lines.begin(), lines.end(), [](const TLine& l) { return l.n > 1; });
    TCurveTable& t = model_->Cells;
    if (insertMode_ && both) {
        // Room for whole rows, so that the points below keep their pairs.
        if (area.width() * area.height() > 1) ClearArea(area);
        top = std::min(top, t.Rows());
        for (int c = 0; c < 2; ++c) InsertEmpty(t.Column(c), top, rows);
    } else if (t.Rows() < top + rows) {
        t.Resize(top + rows);
    }
    for (int i = 0; i < rows; ++i) {
        const TLine& line = lines[static_cast<size_t>(i)];
        const auto r = static_cast<size_t>(top + i);
        for (int k = 0; k < (both ? std::min(line.n, 2) : 1); ++k)
            t.Column(column + k)[r] = line.v[k] == EmptyMarker ? TCurveTable::Empty : line.v[k];
    }
    model_->KeepEmptyLastRow();
    model_->CellsChanged();
    Select(top, column, top + rows - 1, both ? 1 : column);
    Changed();
}

// ---------------------------------------------------------------- rows and format

void TCurveEditGrid::InsertRowsClick() {
    view_->FinishEditing();
    TInsertCellsDlg& dialog = SharedDialog<TInsertCellsDlg>();
    if (dialog.exec() == QDialog::Accepted) InsertRows(dialog.Rows(), dialog.AtCursor());
}

void TCurveEditGrid::InsertRows(int count, bool atCursor) {
    TCurveTable& t = model_->Cells;
    const int at = atCursor ? std::min(Selection().top(), t.Rows()) : t.Rows();
    for (int c = 0; c < 2; ++c) InsertEmpty(t.Column(c), at, count);
    model_->CellsChanged();
}

void TCurveEditGrid::DisplayOptions() {
    view_->FinishEditing();
    TGridFormat dialog(this);
    dialog.Load(model_->Formats);
    if (dialog.exec() != QDialog::Accepted) return;
    model_->Formats = dialog.Formats();
    FitColumns();
    model_->CellsChanged();
}
