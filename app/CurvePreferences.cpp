#include "app/CurvePreferences.h"

#include "curves/curvefile.h"
#include "plot/SpecialCombos.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>

// ---------------------------------------------------------------- the file

namespace {
QString Text(const QSettings& s, const char* key, const QString& fallback) {
    const QVariant v = s.value(QLatin1String(key));
    if (!v.isValid()) return fallback;
    // A value with commas that was not written by us comes back as a list.
    if (v.typeId() == QMetaType::QStringList) return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

// A whole number of at most 32 bits (colours are written signed by some programs), or the fallback.
int64_t Integer(const QSettings& s, const char* key, int64_t fallback) {
    bool ok = false;
    const qlonglong v = Text(s, key, QString()).trimmed().toLongLong(&ok);
    if (!ok || v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<uint32_t>::max())
        return fallback;
    return v;
}

bool Flag(const QSettings& s, const char* key, bool fallback) {
    const QString t = Text(s, key, QString()).trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) return false;
    return Integer(s, key, fallback ? 1 : 0) != 0;
}

TColor Color(const QSettings& s, const char* key, TColor fallback) {
    return static_cast<TColor>(static_cast<uint32_t>(Integer(s, key, fallback)));
}

// The sections and keys of the file in the order Graphmill has always written them. QSettings writes every
// section's keys in alphabetical order; the file is put back into this order after each write, sections
// and keys Graphmill does not know following its own in the order they came.
const QList<QByteArray>& SectionOrder() {
    static const QList<QByteArray> order{"Directories", "Display", "Fitting", "Import"};
    return order;
}
const QList<QByteArray>& KeyOrder() {
    static const QList<QByteArray> order{"Current",      "Lines",      "Symbols",          "SymbolSize",
                                         "GridColor",    "GridLines",  "BackColor",        "CursorColor",
                                         "NewCurveMode", "AutoUpdate", "FunctionLiabrary", "FunctionLibrary",
                                         "Separator",    "Decimal",    "SkipLines",        "Comment",
                                         "Header",       "XColumn",    "YColumns",         "SigmaColumn"};
    return order;
}

qsizetype Rank(const QList<QByteArray>& order, const QByteArray& name) {
    const qsizetype i = order.indexOf(name.trimmed());
    return i < 0 ? order.size() : i;
}

// Rewrites the file (as QSettings left it: sections of one-line keys) in the writing order. Nothing is lost
// when this fails: the file is then as QSettings wrote it.
void PutInWritingOrder(const QString& file) {
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) return;
    struct TSection {
        QByteArray header; // "[Name]"; empty for lines before the first section
        QList<QByteArray> lines;
    };
    QList<TSection> sections(1);
    for (const QByteArray& line : in.readAll().split('\n')) {
        if (line.trimmed().isEmpty()) continue;
        if (line.startsWith('['))
            sections.append({line, {}});
        else
            sections.last().lines.append(line);
    }
    in.close();
    const auto name = [](const TSection& s) { return s.header.mid(1, s.header.lastIndexOf(']') - 1); };
    std::stable_sort(sections.begin() + 1, sections.end(), [&](const TSection& a, const TSection& b) {
        return Rank(SectionOrder(), name(a)) < Rank(SectionOrder(), name(b));
    });
    QByteArray text;
    for (TSection& s : sections) {
        if (Rank(SectionOrder(), name(s)) < SectionOrder().size())
            std::stable_sort(s.lines.begin(), s.lines.end(), [](const QByteArray& a, const QByteArray& b) {
                return Rank(KeyOrder(), a.left(a.indexOf('='))) < Rank(KeyOrder(), b.left(b.indexOf('=')));
            });
        if (s.header.isEmpty() && s.lines.isEmpty()) continue;
        if (!text.isEmpty()) text += '\n';
        if (!s.header.isEmpty()) text += s.header + '\n';
        for (const QByteArray& line : s.lines) text += line + '\n';
    }
    // Through the program's own save, which checks the flush and the close: Qt's save file can take a write
    // that fails at its close (a full disk) for success, and would leave an empty file.
    curvefile::TSaveFile out;
    if (out.OpenForWrite(file.toStdString(), "", "", "") &&
        out.Write(text.constData(), static_cast<size_t>(text.size())))
        out.Commit();
}
} // namespace

namespace {
const char* const DecimalNames[] = {"auto", "point", "comma"};

// Checks that the file may be written (not a folder, readable when it exists): writing over a file we could
// not read would lose whatever else it holds.
bool Writable(const QString& file, QString& error) {
    const QFileInfo info(file);
    QDir().mkpath(info.absolutePath());
    if (info.isDir()) {
        error = QStringLiteral("The preferences could not be written: %1 is a folder.").arg(file);
        return false;
    }
    if (info.exists() && (!info.isFile() || !info.isReadable())) {
        error = QStringLiteral("The preferences could not be written: %1 cannot be read.").arg(file);
        return false;
    }
    return true;
}

// Writes out what was set and puts the file in the writing order.
bool Finish(QSettings& s, const QString& file, QString& error) {
    s.sync();
    // A damaged file read back while writing gives FormatError; it was written all the same.
    if (s.status() == QSettings::AccessError) {
        error = QStringLiteral("The preferences could not be written to %1.").arg(file);
        return false;
    }
    PutInWritingOrder(file);
    return true;
}
} // namespace

QString PreferencesFile() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("Graphmill.ini"));
}

TPreferences ReadPreferencesFile(const QString& file) {
    TPreferences p;
    if (!QFileInfo(file).isFile()) return p;
    const QSettings s(file, QSettings::IniFormat);
    p.Current = Text(s, "Directories/Current", p.Current);
    p.Lines = Flag(s, "Display/Lines", p.Lines);
    p.Symbols = Flag(s, "Display/Symbols", p.Symbols);
    p.SymbolSize =
        static_cast<int32_t>(std::clamp<int64_t>(Integer(s, "Display/SymbolSize", p.SymbolSize), 1, 20));
    p.GridColor = Color(s, "Display/GridColor", p.GridColor);
    p.GridLines = Flag(s, "Display/GridLines", p.GridLines);
    p.BackColor = Color(s, "Display/BackColor", p.BackColor);
    p.CursorColor = Color(s, "Display/CursorColor", p.CursorColor);
    p.NewCurveMode = Flag(s, "Display/NewCurveMode", p.NewCurveMode);
    p.AutoUpdate = Flag(s, "Display/AutoUpdate", p.AutoUpdate);
    const QString library = Text(s, "Fitting/FunctionLiabrary", p.FunctionLiabrary).trimmed();
    if (!library.isEmpty()) p.FunctionLiabrary = library;
    // New curves drawn with neither lines nor symbols would be invisible.
    if (!p.Lines && !p.Symbols) p.Lines = true;
    return p;
}

bool WritePreferencesFile(const QString& file, const TPreferences& p, bool fitPanel, QString& error) {
    if (!Writable(file, error)) return false;
    QSettings s(file, QSettings::IniFormat);
    s.setValue(QStringLiteral("Directories/Current"), p.Current);
    s.setValue(QStringLiteral("Display/Lines"), p.Lines ? 1 : 0);
    s.setValue(QStringLiteral("Display/Symbols"), p.Symbols ? 1 : 0);
    s.setValue(QStringLiteral("Display/SymbolSize"), p.SymbolSize);
    if (fitPanel) s.setValue(QStringLiteral("Fitting/FunctionLibrary"), QString());
    s.setValue(QStringLiteral("Display/GridColor"), p.GridColor);
    s.setValue(QStringLiteral("Display/GridLines"), p.GridLines ? 1 : 0);
    s.setValue(QStringLiteral("Display/BackColor"), p.BackColor);
    s.setValue(QStringLiteral("Display/CursorColor"), p.CursorColor);
    s.setValue(QStringLiteral("Display/NewCurveMode"), p.NewCurveMode ? 1 : 0);
    s.setValue(QStringLiteral("Display/AutoUpdate"), p.AutoUpdate ? 1 : 0);
    return Finish(s, file, error);
}

columns::TColumnOptions ReadImportChoices(const QString& file) {
    columns::TColumnOptions o;
    if (!QFileInfo(file).isFile()) return o;
    const QSettings s(file, QSettings::IniFormat);
    columns::ParseSeparator(Text(s, "Import/Separator", QString()).trimmed().toStdString(), o.separator);
    const QString decimal = Text(s, "Import/Decimal", QString()).trimmed();
    for (int k = 0; k < 3; ++k)
        if (decimal == QLatin1String(DecimalNames[k])) o.decimal = static_cast<columns::TDecimalMark>(k);
    o.skipLines = static_cast<int32_t>(std::clamp<int64_t>(Integer(s, "Import/SkipLines", 0), 0, 1000000));
    if (s.contains(QStringLiteral("Import/Comment")))
        o.comment = Text(s, "Import/Comment", QString()).toStdString();
    o.header = Flag(s, "Import/Header", false);
    o.xColumn =
        static_cast<int32_t>(std::clamp<int64_t>(Integer(s, "Import/XColumn", 1), 0, columns::MaxColumn));
    std::vector<int32_t> ys;
    for (const QString& part :
         Text(s, "Import/YColumns", QString()).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int v = part.toInt(&ok);
        if (ok && v >= 1 && v <= columns::MaxColumn && std::find(ys.begin(), ys.end(), v) == ys.end())
            ys.push_back(v);
    }
    if (!ys.empty()) o.yColumns = ys;
    o.sigmaColumn =
        static_cast<int32_t>(std::clamp<int64_t>(Integer(s, "Import/SigmaColumn", 0), 0, columns::MaxColumn));
    return o;
}

bool WriteImportChoices(const QString& file, const columns::TColumnOptions& o, QString& error) {
    if (!Writable(file, error)) return false;
    QSettings s(file, QSettings::IniFormat);
    s.setValue(QStringLiteral("Import/Separator"),
               QString::fromUtf8(columns::SeparatorName(o.separator).data(),
                                 static_cast<qsizetype>(columns::SeparatorName(o.separator).size())));
    s.setValue(QStringLiteral("Import/Decimal"), QLatin1String(DecimalNames[static_cast<int>(o.decimal)]));
    s.setValue(QStringLiteral("Import/SkipLines"), o.skipLines);
    s.setValue(QStringLiteral("Import/Comment"), QString::fromStdString(o.comment));
    s.setValue(QStringLiteral("Import/Header"), o.header ? 1 : 0);
    s.setValue(QStringLiteral("Import/XColumn"), o.xColumn);
    QStringList ys;
    for (const int32_t c : o.yColumns) ys << QString::number(c);
    s.setValue(QStringLiteral("Import/YColumns"), ys.join(QLatin1Char(' ')));
    s.setValue(QStringLiteral("Import/SigmaColumn"), o.sigmaColumn);
    return Finish(s, file, error);
}

QString LibraryFileFor(const QString& name) {
    if (QFileInfo(name).isAbsolute()) return name;
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dir);
    return QDir(dir).filePath(name);
}

// ---------------------------------------------------------------- the dialog

TCurvePrefs::TCurvePrefs(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Preferences"));
    setModal(true);
    Pages = new QTabWidget(this);

    auto* display = new QWidget(Pages);
    auto* curves = new QGroupBox(QStringLiteral("Curves"), display);
    LinesRadio = new QRadioButton(QStringLiteral("Lines"), curves);
    SymbolsRadio = new QRadioButton(QStringLiteral("Symbols"), curves);
    BothRadio = new QRadioButton(QStringLiteral("Both"), curves);
    SymbolsRadio->setChecked(true);
    SymbolSizeEdit = new QSpinBox(curves);
    SymbolSizeEdit->setRange(1, 20);
    SymbolSizeEdit->setValue(3);
    auto* curvesLayout = new QFormLayout(curves);
    curvesLayout->addRow(LinesRadio);
    curvesLayout->addRow(SymbolsRadio);
    curvesLayout->addRow(BothRadio);
    curvesLayout->addRow(QStringLiteral("Symbol size:"), SymbolSizeEdit);

    auto* graph = new QGroupBox(QStringLiteral("Graph"), display);
    GridLines = new QCheckBox(QStringLiteral("Grid lines"), graph);
    auto* graphLayout = new QFormLayout(graph);
    graphLayout->addRow(GridLines);
    for (auto [combo, label] :
         {std::pair{&GridColor, "Grid color:"}, std::pair{&CursorColor, "Cursor XOR color:"},
          std::pair{&BackColor, "Background color:"}}) {
        *combo = new TColorCombo(graph);
        (*combo)->FillColors();
        graphLayout->addRow(QLatin1String(label), *combo);
    }
    auto* displayLayout = new QHBoxLayout(display);
    displayLayout->addWidget(curves);
    displayLayout->addWidget(graph);
    Pages->addTab(display, QStringLiteral("Display"));

    auto* misc = new QWidget(Pages);
    CursorInterpolation = new QCheckBox(QStringLiteral("&Cursor interpolation"), misc);
    ToolbarVisible = new QCheckBox(QStringLiteral("&Toolbar visible"), misc);
    auto* miscLayout = new QVBoxLayout(misc);
    miscLayout->addWidget(CursorInterpolation);
    miscLayout->addWidget(ToolbarVisible);
    miscLayout->addStretch(1);
    Pages->addTab(misc, QStringLiteral("Miscelaneous"));

    OKBtn = new QPushButton(QStringLiteral("OK"), this);
    OKBtn->setDefault(true);
    CancelBtn = new QPushButton(QStringLiteral("Cancel"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKBtn);
    buttons->addWidget(CancelBtn);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Pages);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    for (QRadioButton* r : {LinesRadio, SymbolsRadio, BothRadio})
        connect(r, &QRadioButton::clicked, this, &TCurvePrefs::EnableSymbolSize);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    EnableSymbolSize();
}

void TCurvePrefs::ShowCurveStyle(bool lines, bool symbols) {
    if (!symbols)
        (lines ? LinesRadio : SymbolsRadio)->setChecked(true);
    else
        (lines ? BothRadio : SymbolsRadio)->setChecked(true);
    EnableSymbolSize();
}

void TCurvePrefs::ChosenCurveStyle(bool& lines, bool& symbols) const {
    lines = LinesRadio->isChecked() || BothRadio->isChecked();
    symbols = SymbolsRadio->isChecked() || BothRadio->isChecked();
}

void TCurvePrefs::EnableSymbolSize() {
    SymbolSizeEdit->setEnabled(!LinesRadio->isChecked());
}
