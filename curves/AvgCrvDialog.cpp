#include "curves/AvgCrvDialog.h"

#include "plot/UserMessages.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>

namespace {
constexpr int MaxCurves = 100;
}

TAvgCrvDlg::TAvgCrvDlg(QWidget* parent) : TWindowDialog(parent) {
    setWindowTitle(QStringLiteral("Average Curves"));
    setObjectName(QStringLiteral("AverageDialog"));
    minInterval_ =
        Control<QRadioButton>("MinIntervalBtn", "", QStringLiteral("X range from minimum interval"));
    firstCurve_ =
        Control<QRadioButton>("FirstCurveBtn", "", QStringLiteral("X range from first curve listed"));
    union_ = Control<QRadioButton>("UnionBtn", "", QStringLiteral("Union of all data points"));
    minInterval_->setChecked(true);
    source_ = Control<QListWidget>("SourceList", "Choose curves from this list to average.");
    destination_ = Control<QListWidget>("DestinationList", "This list of curves will be averaged.");
    for (QListWidget* l : {source_, destination_}) l->setSelectionMode(QAbstractItemView::ExtendedSelection);
    add_ = Button("AddBtn", "", ">");
    addAll_ = Button("AddAllBtn", "", ">>");
    remove_ = Button("RemoveBtn", "", "<");
    removeAll_ = Button("RemoveAllBtn", "", "<<");
    connect(add_, &QPushButton::clicked, this, [this] { Move(source_, destination_, false); });
    connect(addAll_, &QPushButton::clicked, this, [this] { Move(source_, destination_, true); });
    connect(remove_, &QPushButton::clicked, this, [this] { Move(destination_, source_, false); });
    connect(removeAll_, &QPushButton::clicked, this, [this] { Move(destination_, source_, true); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OkBtn"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* moves = new QVBoxLayout;
    moves->addStretch(1);
    for (auto* b : {add_, addAll_, remove_, removeAll_}) moves->addWidget(b);
    moves->addStretch(1);
    auto* lists = new QGridLayout;
    lists->addWidget(new QLabel(QStringLiteral("List of all curves:"), this), 0, 0);
    lists->addWidget(new QLabel(QStringLiteral("Curves to average:"), this), 0, 2);
    lists->addWidget(source_, 1, 0);
    lists->addLayout(moves, 1, 1);
    lists->addWidget(destination_, 1, 2);
    auto* layout = new QVBoxLayout(this);
    for (auto* b : {minInterval_, firstCurve_, union_}) layout->addWidget(b);
    layout->addLayout(lists, 1);
    layout->addWidget(buttons);
    UpdateButtons();
}

TAvgCrvDlg::TGridChoice TAvgCrvDlg::GridChoice() const {
    return union_->isChecked()        ? TGridChoice::Union
           : firstCurve_->isChecked() ? TGridChoice::FirstCurve
                                      : TGridChoice::MinimumInterval;
}

void TAvgCrvDlg::showEvent(QShowEvent* event) {
    destination_->clear();
    source_->clear();
    Send(notify::FillAverageList);
    UpdateButtons();
    TWindowDialog::showEvent(event);
}

void TAvgCrvDlg::SetSourceCurves(const QStringList& entries) {
    source_->clear();
    source_->addItems(entries.mid(0, MaxCurves));
    if (source_->count() > 0) source_->setCurrentRow(0);
    UpdateButtons();
}

void TAvgCrvDlg::Move(QListWidget* from, QListWidget* to, bool all) {
    std::vector<int> rows;
    for (int i = 0; i < from->count(); ++i)
        if (all || from->item(i)->isSelected()) rows.push_back(i);
    if (rows.empty()) return;
    // The selected entries go from the last to the first, each to the end of the other list: several moved
    // at once arrive in reverse order. All entries move in order.
    if (!all) std::reverse(rows.begin(), rows.end());
    const int first = *std::min_element(rows.begin(), rows.end());
    std::vector<QListWidgetItem*> taken;
    for (int r : rows) taken.push_back(from->item(r));
    for (QListWidgetItem* item : taken) {
        from->takeItem(from->row(item));
        item->setSelected(false);
        to->addItem(item);
    }
    // The list moved from keeps its selection position.
    from->clearSelection();
    if (from->count() > 0) from->setCurrentRow(std::min(first, from->count() - 1));
    UpdateButtons();
}

void TAvgCrvDlg::UpdateButtons() {
    add_->setEnabled(source_->count() > 0);
    addAll_->setEnabled(source_->count() > 0);
    remove_->setEnabled(destination_->count() > 0);
    removeAll_->setEnabled(destination_->count() > 0);
}

int32_t TAvgCrvDlg::CurveNumberOf(const QString& entry, int32_t position) {
    const auto hash = entry.indexOf(QLatin1Char('#'));
    if (hash < 0) return position;
    qsizetype i = hash + 1;
    while (i < entry.size() && entry[i] == QLatin1Char(' ')) ++i;
    qsizetype end = i;
    while (end < entry.size() && entry[end].isDigit()) ++end;
    bool ok = false;
    const int32_t n = entry.mid(i, end - i).toInt(&ok);
    return ok ? n : position;
}

std::vector<int32_t> TAvgCrvDlg::CurveNumbers() const {
    std::vector<int32_t> numbers;
    for (int i = 0; i < destination_->count() && i < MaxCurves; ++i)
        numbers.push_back(CurveNumberOf(destination_->item(i)->text(), i + 1));
    return numbers;
}

void TAvgCrvDlg::accept() {
    if (destination_->count() < 2) {
        Messages().Error(this, QStringLiteral("You must place at least two curves in the destination box."));
        return;
    }
    TWindowDialog::accept();
}
