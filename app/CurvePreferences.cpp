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
#include <optional>

// ---------------------------------------------------------------- the file

namespace {
// The values of an INI file by "Section/Key" ("Key" alone in [General]), each as the text QSettings wrote.
// The file is read here, not through QSettings: QSettings turns a value written as "@Variant(...)" into
// whatever type its bytes name (a picture, a date, any registered type) while it reads a section, so the
// file would choose what is built from its bytes. Here every value stays text; one that names a type is
// damaged and gives the default, as any other value that is not what the key holds.
using TIniValues = QHash<QString, QString>;

// A key or section name as QSettings writes it: %XX or %UXXXX for characters outside plain ASCII names.
QString IniName(const QByteArray& raw) {
    QString name;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        bool ok = false;
        if (raw[i] == '%' && i + 2 < raw.size() && raw[i + 1] == 'U') {
            const uint code = raw.mid(i + 2, 4).toUInt(&ok, 16);
            if (ok && i + 5 < raw.size()) {
                name += QChar(char16_t(code));
                i += 5;
                continue;
            }
        } else if (raw[i] == '%' && i + 2 < raw.size()) {
            const uint code = raw.mid(i + 1, 2).toUInt(&ok, 16);
            if (ok) {
                name += QChar(char16_t(code));
                i += 2;
                continue;
            }
        }
        name += QChar::fromLatin1(raw[i]);
    }
    return name;
}

// A value as QSettings writes a string: quoted stretches, backslash escapes (\n, \xHHHH, \0oo), a
// doubled "@" for a text that starts with one, "@String(...)" around a text with NUL characters, and
// commas outside quotes between the items of a list (joined again by commas: a folder name with commas
// written by another program stays whole). Any other item that starts with "@" names a type (@Variant,
// @ByteArray, @Invalid, ...): no text, so the value is damaged.
std::optional<QString> IniValue(const QByteArray& raw) {
    const QString text = QString::fromUtf8(raw);
    QString value, item, blanks; // blanks: white space outside quotes, kept only inside an item
    bool quoted = false, started = false, listed = false;
    const auto digit = [](QChar c, int base) {
        const int d = c.isDigit()                                    ? c.digitValue()
                      : (c.toLower() >= u'a' && c.toLower() <= u'f') ? c.toLower().unicode() - u'a' + 10
                                                                     : 99;
        return d < base ? d : -1;
    };
    const auto add = [&](QChar c) {
        item += blanks;
        blanks.clear();
        item += c;
        started = true;
    };
    bool damaged = false;
    const auto endItem = [&] {
        // Each item of a list is one text as QSettings writes it: "@@..." for a text that starts with "@",
        // "@String(...)" for one that holds NUL characters; any other "@" form names a type.
        if (item.startsWith(QLatin1String("@String(")) && item.endsWith(u')'))
            item = item.mid(8, item.size() - 9);
        else if (item.startsWith(QLatin1String("@@")))
            item.remove(0, 1);
        else if (item.startsWith(u'@'))
            damaged = true;
        if (listed) value += u',';
        value += item;
        item.clear();
        blanks.clear();
        started = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"') {
            quoted = !quoted;
            item += blanks;
            blanks.clear();
            started = true;
        } else if (c == u'\\' && i + 1 < text.size()) {
            const QChar e = text[++i];
            static const QString from = QStringLiteral("abfnrtv\"'?\\"),
                                 to = QStringLiteral("\a\b\f\n\r\t\v\"'?\\");
            if (const qsizetype k = from.indexOf(e); k >= 0) {
                add(to[k]);
            } else if (e == u'x' || digit(e, 8) >= 0) {
                const int base = e == u'x' ? 16 : 8;
                uint code = e == u'x' ? 0 : uint(digit(e, 8));
                for (int n = 0; n < 4 && i + 1 < text.size() && digit(text[i + 1], base) >= 0; ++n)
                    code = code * uint(base) + uint(digit(text[++i], base));
                add(QChar(char16_t(code & 0xFFFF)));
            } else {
                add(e);
            }
        } else if (quoted) {
            add(c);
        } else if (c == u',') {
            endItem();
            listed = true;
        } else if (c == u';') {
            break; // a comment to the end of the line
        } else if (c.isSpace()) {
            if (started) blanks += c;
        } else {
            add(c);
        }
    }
    endItem();
    if (damaged) return std::nullopt;
    return value;
}

// Reads every "key=value" line under its section. Values that name a type are left out (damaged: the
// default serves); a key that comes again takes its last value.
TIniValues ReadIni(const QString& file) {
    TIniValues values;
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly)) return values;
    QString section;
    for (QByteArray line : in.readAll().split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#')) continue;
        if (line.startsWith('[')) {
            const qsizetype close = line.indexOf(']');
            section = IniName(line.mid(1, close < 0 ? -1 : close - 1).trimmed());
            if (section.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0) section.clear();
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0) continue;
        const QString key = IniName(line.left(eq).trimmed());
        const QString path = section.isEmpty() ? key : section + u'/' + key;
        if (std::optional<QString> value = IniValue(line.mid(eq + 1)))
            values.insert(path, *value);
        else
            values.remove(path);
    }
    return values;
}

QString Text(const TIniValues& s, const char* key, const QString& fallback) {
    return s.value(QLatin1String(key), fallback);
}

// A whole number of at most 32 bits (colours are written signed by some programs), or the fallback.
int64_t Integer(const TIniValues& s, const char* key, int64_t fallback) {
    bool ok = false;
    const qlonglong v = Text(s, key, QString()).trimmed().toLongLong(&ok);
    if (!ok || v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<uint32_t>::max())
        return fallback;
    return v;
}

bool Flag(const TIniValues& s, const char* key, bool fallback) {
    const QString t = Text(s, key, QString()).trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0) return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0) return false;
    return Integer(s, key, fallback ? 1 : 0) != 0;
}

TColor Color(const TIniValues& s, const char* key, TColor fallback) {
    return static_cast<TColor>(static_cast<uint32_t>(Integer(s, key, fallback)));
}

// The sections and keys of the file in the order Graphmill has always written them. QSettings writes every
// section's keys in alphabetical order; the file is put back into this order after each write, sections
// and keys Graphmill does not know following its own in the order they came.
const QList<QByteArray>& SectionOrder() {
    static const QList<QByteArray> order{"Directories", "Display", "Fitting", "Graph", "Import"};
    return order;
}
const QList<QByteArray>& KeyOrder() {
    static const QList<QByteArray> order{
        "Current",   "Lines",       "Symbols",      "SymbolSize", "GridColor",        "GridLines",
        "BackColor", "CursorColor", "NewCurveMode", "AutoUpdate", "FunctionLiabrary", "FunctionLibrary",
        "Legend",    "RoundTicks",  "Separator",    "Decimal",    "SkipLines",        "Comment",
        "Header",    "XColumn",     "YColumns",     "SigmaColumn"};
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

QString PreferencesFile() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
        .filePath(QStringLiteral("Graphmill.ini"));
}

TPreferences ReadPreferencesFile(const QString& file) {
    TPreferences p;
    if (!QFileInfo(file).isFile()) return p;
    const TIniValues s = ReadIni(file);
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
    p.Legend = Flag(s, "Graph/Legend", p.Legend);
    p.RoundTicks = Flag(s, "Graph/RoundTicks", p.RoundTicks);
    const QString library = Text(s, "Fitting/FunctionLiabrary", p.FunctionLiabrary).trimmed();
    if (!library.isEmpty()) p.FunctionLiabrary = library;
    // New curves drawn with neither lines nor symbols would be invisible.
    if (!p.Lines && !p.Symbols) p.Lines = true;
    return p;
}

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
    s.setValue(QStringLiteral("Graph/Legend"), p.Legend ? 1 : 0);
    s.setValue(QStringLiteral("Graph/RoundTicks"), p.RoundTicks ? 1 : 0);
    return Finish(s, file, error);
}

columns::TColumnOptions ReadImportChoices(const QString& file) {
    columns::TColumnOptions o;
    if (!QFileInfo(file).isFile()) return o;
    const TIniValues s = ReadIni(file);
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
