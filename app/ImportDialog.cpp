#include "app/ImportDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {
QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// "3: Voltage", or "3" for a column without a name.
QString ColumnLabel(int c, const std::vector<std::string>& names) {
    const auto i = static_cast<size_t>(c - 1);
    return i < names.size() && !names[i].empty() ? QStringLiteral("%1: %2").arg(c).arg(Q(names[i]))
                                                 : QString::number(c);
}

// Backgrounds of the chosen columns in the preview.
const QColor XColour(0xcc, 0xe0, 0xff), YColour(0xd4, 0xf4, 0xd0), SigmaColour(0xff, 0xf1, 0xc4);
} // namespace

TImportDialog::TImportDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Import Data"));
    setModal(true);
    setObjectName(QStringLiteral("ImportDialog"));

    FileLabel = new QLabel(this);
    FileLabel->setObjectName(QStringLiteral("FileLabel"));
    FileLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* reading = new QGroupBox(QStringLiteral("Reading"), this);
    SeparatorBox = new QComboBox(reading);
    SeparatorBox->setObjectName(QStringLiteral("SeparatorBox"));
    SeparatorBox->addItems({QStringLiteral("auto"), QStringLiteral("comma"), QStringLiteral("semicolon"),
                            QStringLiteral("tab"), QStringLiteral("whitespace")});
    DecimalBox = new QComboBox(reading);
    DecimalBox->setObjectName(QStringLiteral("DecimalBox"));
    DecimalBox->addItems({QStringLiteral("auto"), QStringLiteral("point"), QStringLiteral("comma")});
    SkipEdit = new QSpinBox(reading);
    SkipEdit->setObjectName(QStringLiteral("SkipEdit"));
    SkipEdit->setRange(0, 1000000);
    CommentEdit = new QLineEdit(reading);
    CommentEdit->setObjectName(QStringLiteral("CommentEdit"));
    HeaderCheck = new QCheckBox(QStringLiteral("Header row (names)"), reading);
    HeaderCheck->setObjectName(QStringLiteral("HeaderCheck"));
    auto* readingLayout = new QFormLayout(reading);
    readingLayout->addRow(QStringLiteral("Separator:"), SeparatorBox);
    readingLayout->addRow(QStringLiteral("Decimal mark:"), DecimalBox);
    readingLayout->addRow(QStringLiteral("Lines to skip:"), SkipEdit);
    readingLayout->addRow(QStringLiteral("Comment characters:"), CommentEdit);
    readingLayout->addRow(HeaderCheck);

    auto* columnsBox = new QGroupBox(QStringLiteral("Columns"), this);
    XBox = new QComboBox(columnsBox);
    XBox->setObjectName(QStringLiteral("XBox"));
    YList = new QListWidget(columnsBox);
    YList->setObjectName(QStringLiteral("YList"));
    YList->setToolTip(QStringLiteral("Each column checked becomes a curve"));
    SigmaBox = new QComboBox(columnsBox);
    SigmaBox->setObjectName(QStringLiteral("SigmaBox"));
    auto* columnsLayout = new QFormLayout(columnsBox);
    columnsLayout->addRow(QStringLiteral("X:"), XBox);
    columnsLayout->addRow(QStringLiteral("Y (one curve each):"), YList);
    columnsLayout->addRow(QStringLiteral("Sigma:"), SigmaBox);

    Preview = new QTableWidget(this);
    Preview->setObjectName(QStringLiteral("Preview"));
    Preview->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Preview->setSelectionMode(QAbstractItemView::NoSelection);
    Preview->verticalHeader()->setDefaultSectionSize(Preview->fontMetrics().height() + 4);
    Preview->setMinimumSize(420, 260);
    Summary = new QLabel(this);
    Summary->setObjectName(QStringLiteral("Summary"));
    Summary->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    ImportBtn = buttons->addButton(QStringLiteral("Import"), QDialogButtonBox::AcceptRole);
    ImportBtn->setObjectName(QStringLiteral("ImportBtn"));
    ImportBtn->setDefault(true);
    CancelBtn = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    CancelBtn->setObjectName(QStringLiteral("CancelBtn"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* left = new QVBoxLayout;
    left->addWidget(reading);
    left->addWidget(columnsBox, 1);
    auto* right = new QVBoxLayout;
    right->addWidget(Preview, 1);
    right->addWidget(Summary);
    auto* middle = new QHBoxLayout;
    middle->addLayout(left);
    middle->addLayout(right, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(FileLabel);
    layout->addLayout(middle, 1);
    layout->addWidget(buttons);
    resize(820, 480);

    // Every reading choice redraws the preview at once; a column choice only its colours and the summary.
    const auto refresh = [this] {
        if (!filling_) Refresh();
    };
    connect(SeparatorBox, &QComboBox::currentIndexChanged, this, refresh);
    connect(DecimalBox, &QComboBox::currentIndexChanged, this, refresh);
    connect(SkipEdit, &QSpinBox::valueChanged, this, refresh);
    connect(CommentEdit, &QLineEdit::textChanged, this, refresh);
    connect(HeaderCheck, &QCheckBox::toggled, this, refresh);
    connect(XBox, &QComboBox::currentIndexChanged, this, refresh);
    connect(SigmaBox, &QComboBox::currentIndexChanged, this, refresh);
    connect(YList, &QListWidget::itemChanged, this, refresh);
}

bool TImportDialog::SetFile(const QString& file, const columns::TColumnOptions& choices, QString& error) {
    std::vector<std::string> lines;
    std::string why;
    if (!columns::FirstLines(file.toStdString(), PreviewLines, lines, why)) {
        error = Q(why);
        return false;
    }
    file_ = file;
    lines_ = std::move(lines);
    FileLabel->setText(QStringLiteral("File: %1").arg(QFileInfo(file).fileName()));
    FileLabel->setToolTip(file);
    filling_ = true;
    SeparatorBox->setCurrentIndex(static_cast<int>(choices.separator));
    DecimalBox->setCurrentIndex(static_cast<int>(choices.decimal));
    SkipEdit->setValue(choices.skipLines);
    CommentEdit->setText(Q(choices.comment));
    HeaderCheck->setChecked(choices.header);
    columns_ = -1; // the column lists are filled afresh
    names_.clear();
    FillColumns(0, {}, choices);
    filling_ = false;
    Refresh();
    // Columns the remembered choices name but this file lacks: the usual x and y instead.
    const columns::TColumnOptions now = Choices();
    const bool fits =
        now.xColumn <= columns_ && now.sigmaColumn <= columns_ && !now.yColumns.empty() &&
        std::all_of(now.yColumns.begin(), now.yColumns.end(), [this](int32_t c) { return c <= columns_; });
    if (!fits) {
        columns::TColumnOptions usual = now;
        usual.xColumn = columns_ >= 2 ? 1 : 0;
        usual.yColumns = {columns_ >= 2 ? 2 : 1};
        usual.sigmaColumn = 0;
        const int count = columns_;
        columns_ = -1;
        filling_ = true;
        FillColumns(count, names_, usual);
        filling_ = false;
        Refresh();
    }
    return true;
}

columns::TColumnOptions TImportDialog::Choices() const {
    columns::TColumnOptions o;
    o.separator = static_cast<columns::TSeparator>(std::max(SeparatorBox->currentIndex(), 0));
    o.decimal = static_cast<columns::TDecimalMark>(std::max(DecimalBox->currentIndex(), 0));
    o.skipLines = SkipEdit->value();
    o.comment = CommentEdit->text().toStdString();
    o.header = HeaderCheck->isChecked();
    o.xColumn = XBox->currentData().toInt();
    o.yColumns.clear();
    for (int i = 0; i < YList->count(); ++i)
        if (YList->item(i)->checkState() == Qt::Checked)
            o.yColumns.push_back(YList->item(i)->data(Qt::UserRole).toInt());
    o.sigmaColumn = SigmaBox->currentData().toInt();
    return o;
}

void TImportDialog::FillColumns(int count, const std::vector<std::string>& names,
                                const columns::TColumnOptions& keep) {
    // Offered: the columns of the lines shown, and any column chosen beyond them (a file whose first lines
    // are shorter than the rest).
    int offered = count;
    offered = std::max({offered, keep.xColumn, keep.sigmaColumn});
    for (const int32_t c : keep.yColumns) offered = std::max(offered, c);
    offered = std::min(offered, 1000);
    XBox->clear();
    SigmaBox->clear();
    YList->clear();
    XBox->addItem(QStringLiteral("row number"), 0);
    SigmaBox->addItem(QStringLiteral("none"), 0);
    for (int c = 1; c <= offered; ++c) {
        const QString label = ColumnLabel(c, names);
        XBox->addItem(label, c);
        SigmaBox->addItem(label, c);
        auto* item = new QListWidgetItem(label, YList);
        item->setData(Qt::UserRole, c);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        const bool chosen = std::find(keep.yColumns.begin(), keep.yColumns.end(), c) != keep.yColumns.end();
        item->setCheckState(chosen ? Qt::Checked : Qt::Unchecked);
    }
    XBox->setCurrentIndex(std::max(XBox->findData(keep.xColumn), 0));
    SigmaBox->setCurrentIndex(std::max(SigmaBox->findData(keep.sigmaColumn), 0));
    columns_ = count;
    names_ = names;
}

void TImportDialog::Refresh() {
    const columns::TColumnOptions o = Choices();
    std::string text;
    for (const std::string& l : lines_) text.append(l).append("\n");
    columns::TSeparator sep;
    bool decimalComma = false;
    columns::Resolve(text, o, sep, decimalComma);
    const std::vector<columns::TLineKind> kinds = columns::LineKinds(lines_, o);
    std::vector<std::vector<std::string>> cells(lines_.size());
    std::vector<std::string> names;
    int count = 0;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (kinds[i] != columns::TLineKind::Data && kinds[i] != columns::TLineKind::Header) continue;
        cells[i] = columns::SplitCells(lines_[i], sep);
        if (kinds[i] == columns::TLineKind::Header)
            names = cells[i];
        else
            count = std::max(count, static_cast<int>(cells[i].size()));
    }
    count = std::max(count, static_cast<int>(names.size()));
    if (count != columns_ || names != names_) {
        filling_ = true;
        FillColumns(count, names, o);
        filling_ = false;
    }
    const columns::TColumnOptions chosen = Choices();

    Preview->clear();
    Preview->clearSpans();
    const int shownColumns = std::max(count, 1);
    Preview->setColumnCount(shownColumns);
    Preview->setRowCount(static_cast<int>(lines_.size()));
    QStringList headers;
    for (int c = 1; c <= shownColumns; ++c) headers << ColumnLabel(c, names);
    Preview->setHorizontalHeaderLabels(headers);
    const QColor grey(0x80, 0x80, 0x80);
    for (size_t i = 0; i < lines_.size(); ++i) {
        const int row = static_cast<int>(i);
        if (kinds[i] == columns::TLineKind::Skipped || kinds[i] == columns::TLineKind::Comment) {
            // The whole line, greyed, over every column: the reader passes it over.
            auto* item = new QTableWidgetItem(Q(lines_[i]));
            item->setForeground(grey);
            item->setToolTip(kinds[i] == columns::TLineKind::Skipped
                                 ? QStringLiteral("skipped")
                                 : QStringLiteral("comment or blank line"));
            Preview->setItem(row, 0, item);
            if (shownColumns > 1) Preview->setSpan(row, 0, 1, shownColumns);
            continue;
        }
        for (size_t c = 0; c < cells[i].size() && c < static_cast<size_t>(shownColumns); ++c) {
            auto* item = new QTableWidgetItem(Q(cells[i][c]));
            const int col = static_cast<int>(c) + 1;
            if (kinds[i] == columns::TLineKind::Header) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
            } else if (col == chosen.xColumn) {
                item->setBackground(XColour);
            } else if (col == chosen.sigmaColumn) {
                item->setBackground(SigmaColour);
            } else if (std::find(chosen.yColumns.begin(), chosen.yColumns.end(), col) !=
                       chosen.yColumns.end()) {
                item->setBackground(YColour);
            }
            Preview->setItem(row, static_cast<int>(c), item);
        }
    }
    Preview->resizeColumnsToContents();
    RefreshSummary();
}

void TImportDialog::RefreshSummary() {
    const columns::TColumnOptions o = Choices();
    std::string text;
    for (const std::string& l : lines_) text.append(l).append("\n");
    std::vector<TCurveB> curves;
    columns::TColumnReport report;
    std::string error;
    const bool ok = !o.yColumns.empty() && columns::ReadColumns(text, "", o, curves, report, error);
    QString said = QStringLiteral("%1-separated, decimal %2. ")
                       .arg(Q(std::string(columns::SeparatorName(report.separator))))
                       .arg(report.decimalComma ? QStringLiteral("comma") : QStringLiteral("point"));
    if (o.yColumns.empty()) {
        said += QStringLiteral("Check at least one y column.");
    } else if (!ok) {
        // The message names "the data": here it is the lines shown.
        said += Q(error).replace(QStringLiteral("the data: "), QStringLiteral("In the lines shown, ")) + ".";
    } else {
        said += QStringLiteral("%1 from the lines shown")
                    .arg(curves.size() == 1 ? QStringLiteral("1 curve of %1 points").arg(curves[0].Count())
                                            : QStringLiteral("%1 curves").arg(curves.size()));
        if (o.sigmaColumn > 0) said += QStringLiteral(", with sigma");
        said += QLatin1Char('.');
        for (const std::string& line : report.SkippedText())
            said += QLatin1Char(' ') + Q(line) + QLatin1Char('.');
    }
    Summary->setText(said);
    ImportBtn->setEnabled(!o.yColumns.empty());
}
