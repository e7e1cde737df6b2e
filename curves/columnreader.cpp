#include "curves/columnreader.h"

#include "curves/columnlines.h"
#include "curves/filebytes.h"
#include "curves/parallel.h"
#include "curves/textlines.h"

#include <algorithm>
#include <cctype>

namespace columns {

namespace {

// Where the data lines start: past the lines to skip, the comments and blank lines before the header, and
// the header itself (whose line is returned in headerLine). Comment and blank lines passed are counted.
const char* DataStart(std::string_view text, const TColumnOptions& options, std::string_view& headerLine,
                      int64_t& passed) {
    const char* const end = text.data() + text.size();
    const char* start = text.data();
    int64_t skip = std::max<int32_t>(options.skipLines, 0);
    bool wantHeader = options.header;
    passed = 0;
    headerLine = {};
    textlines::ForEach(text.data(), end, false, [&](std::string_view line, const char* at) {
        if (skip > 0) {
            --skip;
        } else if (!wantHeader) {
            return false; // the data begin on this line
        } else if (IsComment(line, options.comment) ||
                   line.find_first_not_of(" \t") == std::string_view::npos) {
            ++passed;
        } else {
            headerLine = line;
            wantHeader = false;
        }
        start = textlines::PastLineEnd(at + line.size(), end);
        return true;
    });
    if (skip > 0 || wantHeader) start = end;
    return start;
}

// The name a curve of column c gets: its header cell, else "column c".
std::string ColumnName(const std::vector<std::string>& names, int32_t c) {
    if (c >= 1 && static_cast<size_t>(c) <= names.size() && !names[static_cast<size_t>(c - 1)].empty())
        return names[static_cast<size_t>(c - 1)];
    return "column " + std::to_string(c);
}

// The file a curve imported from fileName would be saved to: beside it, named after the file and the
// column (never the imported file itself, which a save in the two-column form would overwrite).
std::string ImportedFileName(const std::string& fileName, const std::string& column) {
    if (fileName.empty()) return {};
    const size_t slash = fileName.find_last_of('/');
    const size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    std::string stem = fileName.substr(nameAt);
    if (stem.size() > 3 && stem.ends_with(".gz")) stem.resize(stem.size() - 3);
    if (const size_t dot = stem.find_last_of('.'); dot != std::string::npos && dot > 0) stem.resize(dot);
    std::string col;
    for (const char c : column) {
        const bool plain = std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.';
        if (plain)
            col += c;
        else if (!col.empty() && col.back() != '_')
            col += '_';
        if (col.size() >= 40) break;
    }
    while (!col.empty() && (col.back() == '_' || col.back() == '.')) col.pop_back();
    if (col.empty()) col = "data";
    return fileName.substr(0, nameAt) + stem + "_" + col + ".dat";
}

std::string Plural(int64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

} // namespace

int64_t TColumnReport::SkippedLines() const {
    int64_t n = 0;
    for (const TLineTally& s : skipped) n += s.count;
    return n;
}

std::vector<std::string> TColumnReport::SkippedText() const {
    std::vector<std::string> out;
    for (int r = 0; r < SkipReasons; ++r) {
        const TLineTally& s = skipped[static_cast<size_t>(r)];
        if (s.count == 0) continue;
        out.push_back(Plural(s.count, "line", "lines") + " skipped (" +
                      std::string(ReasonText(TSkipReason(r))) + "), the first line " +
                      std::to_string(s.firstLine) + ": " + s.firstText);
    }
    return out;
}

std::string_view SeparatorName(TSeparator s) {
    switch (s) {
    case TSeparator::Auto:
        return "auto";
    case TSeparator::Comma:
        return "comma";
    case TSeparator::Semicolon:
        return "semicolon";
    case TSeparator::Tab:
        return "tab";
    case TSeparator::Whitespace:
        break;
    }
    return "whitespace";
}

bool ParseSeparator(std::string_view name, TSeparator& s) {
    for (const TSeparator t : {TSeparator::Auto, TSeparator::Comma, TSeparator::Semicolon, TSeparator::Tab,
                               TSeparator::Whitespace})
        if (name == SeparatorName(t)) {
            s = t;
            return true;
        }
    if (name != "space") return false;
    s = TSeparator::Whitespace;
    return true;
}

std::string_view ReasonText(TSkipReason r) {
    switch (r) {
    case SkipText:
        return "a line of text";
    case SkipNotNumber:
        return "a cell that is not a number";
    case SkipTooFewColumns:
        return "too few columns";
    case SkipNotFinite:
        return "NaN or infinity";
    case SkipNegativeSigma:
    case SkipReasons:
        break;
    }
    return "a negative sigma";
}

void Resolve(std::string_view text, const TColumnOptions& options, TSeparator& separator,
             bool& decimalComma) {
    separator = options.separator;
    if (separator == TSeparator::Auto || options.decimal == TDecimalMark::Auto) {
        // The first data lines decide.
        std::string_view header;
        int64_t passed = 0;
        const char* from = DataStart(text, options, header, passed);
        std::vector<std::string_view> sample;
        textlines::ForEach(from, text.data() + text.size(), false, [&](std::string_view line, const char*) {
            if (!IsComment(line, options.comment) && line.find_first_not_of(" \t") != std::string_view::npos)
                sample.push_back(line);
            return sample.size() < 50;
        });
        if (separator == TSeparator::Auto) {
            // The one of tab, semicolon and comma that the most lines hold (in that order on a tie), when at
            // least half of them do; else whitespace. Lines of text among the first ones do not tip it.
            separator = TSeparator::Whitespace;
            std::ptrdiff_t best = 0;
            for (const TSeparator s : {TSeparator::Tab, TSeparator::Semicolon, TSeparator::Comma}) {
                const char c = SeparatorChar(s);
                const auto with = std::count_if(sample.begin(), sample.end(), [c](std::string_view l) {
                    return l.find(c) != std::string_view::npos;
                });
                if (with > best && with * 2 >= static_cast<std::ptrdiff_t>(sample.size())) {
                    separator = s;
                    best = with;
                }
            }
        }
        if (options.decimal == TDecimalMark::Auto) {
            decimalComma = separator == TSeparator::Semicolon;
            if (separator == TSeparator::Tab || separator == TSeparator::Whitespace) {
                // Numbers with a decimal comma and none with a decimal point: a spreadsheet of that custom.
                auto between = [](std::string_view l, char mark) {
                    for (size_t i = 1; i + 1 < l.size(); ++i)
                        if (l[i] == mark && std::isdigit(static_cast<unsigned char>(l[i - 1])) &&
                            std::isdigit(static_cast<unsigned char>(l[i + 1])))
                            return true;
                    return false;
                };
                const bool commas =
                    std::any_of(sample.begin(), sample.end(), [&](auto l) { return between(l, ','); });
                const bool points =
                    std::any_of(sample.begin(), sample.end(), [&](auto l) { return between(l, '.'); });
                decimalComma = commas && !points;
            }
            return;
        }
    }
    decimalComma = options.decimal == TDecimalMark::Comma;
}

std::vector<TLineKind> LineKinds(const std::vector<std::string>& lines, const TColumnOptions& options) {
    std::vector<TLineKind> kinds;
    bool wantHeader = options.header;
    for (const std::string& line : lines) {
        const bool blank = line.find_first_not_of(" \t") == std::string::npos;
        if (static_cast<int64_t>(kinds.size()) < options.skipLines)
            kinds.push_back(TLineKind::Skipped);
        else if (blank || IsComment(line, options.comment))
            kinds.push_back(TLineKind::Comment);
        else if (wantHeader) {
            kinds.push_back(TLineKind::Header);
            wantHeader = false;
        } else
            kinds.push_back(TLineKind::Data);
    }
    return kinds;
}

bool ReadColumns(std::string_view text, const std::string& fileName, const TColumnOptions& options,
                 std::vector<TCurveB>& curves, TColumnReport& report, std::string& error, bool release) {
    report = TColumnReport();
    const std::string shown = fileName.empty() ? std::string("the data") : fileName;
    if (options.yColumns.empty()) {
        error = shown + ": no y column chosen";
        return false;
    }
    for (const int32_t c : options.yColumns)
        if (c < 1) {
            error = shown + ": the y column " + std::to_string(c) + " does not exist (columns count from 1)";
            return false;
        }
    if (LastNeeded(options) > MaxColumn) {
        error = shown + ": column " + std::to_string(LastNeeded(options)) + " is beyond the " +
                std::to_string(MaxColumn) + " a line may hold";
        return false;
    }
    if (options.xColumn < 0 || options.sigmaColumn < 0) {
        error = shown + ": the " + (options.xColumn < 0 ? "x" : "sigma") + " column " +
                std::to_string(options.xColumn < 0 ? options.xColumn : options.sigmaColumn) +
                " does not exist (columns count from 1, 0 for " +
                (options.xColumn < 0 ? "the row number)" : "none)");
        return false;
    }
    // A byte order mark (spreadsheets write one) is not part of the first cell.
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    TSeparator separator;
    bool decimalComma;
    Resolve(text, options, separator, decimalComma);
    report.separator = separator;
    report.decimalComma = decimalComma;
    // "1,5,2" would be read as 1.5 and 2, or any other way: no reading of it is right.
    if (separator == TSeparator::Comma && decimalComma) {
        error = shown + ": the comma cannot both separate the columns and mark the decimals (choose another "
                        "separator or the decimal point)";
        return false;
    }
    std::string_view header;
    int64_t passed = 0;
    const char* begin = DataStart(text, options, header, passed);
    // No names when no line was left to be the header.
    if (options.header && header.data() != nullptr) report.names = SplitCells(header, separator);
    const char* const end = text.data() + text.size();

    // Stretches of whole lines on all cores, joined in order afterwards.
    const std::vector<const char*> cut = textlines::CutForCores(begin, end);
    const size_t parts = cut.size() - 1;
    std::vector<TStretch> stretch(parts);
    ParallelFor(static_cast<int32_t>(parts), [&](int32_t k) {
        // Each core tallies into its own record, moved into place at the end: records side by side share
        // cache lines, and the cores' counting every line would then stall on each other.
        TStretch own;
        const char* from = cut[static_cast<size_t>(k)];
        const char* to = cut[static_cast<size_t>(k) + 1];
        ReadStretch(options, separator, decimalComma, from, to,
                    static_cast<size_t>((k == 0 ? end : to) - from), release, own);
        stretch[static_cast<size_t>(k)] = std::move(own);
    });

    const size_t ncurves = options.yColumns.size();
    std::vector<size_t> points(ncurves, 0);
    report.commentLines = passed;
    report.minColumns = INT32_MAX;
    int32_t minAll = INT32_MAX, maxAll = 0;
    std::array<const char*, SkipReasons> first{};
    for (const TStretch& s : stretch) {
        for (size_t j = 0; j < ncurves; ++j) points[j] += s.x[j].size();
        report.dataLines += s.dataLines;
        report.pointLines += s.pointLines;
        report.commentLines += s.commentLines;
        report.minColumns = std::min(report.minColumns, s.minColumns);
        report.maxColumns = std::max(report.maxColumns, s.maxColumns);
        minAll = std::min(minAll, s.minAll);
        maxAll = std::max(maxAll, s.maxAll);
        for (int r = 0; r < SkipReasons; ++r) {
            report.skipped[static_cast<size_t>(r)].count += s.skipped[static_cast<size_t>(r)];
            if (first[static_cast<size_t>(r)] == nullptr)
                first[static_cast<size_t>(r)] = s.first[static_cast<size_t>(r)];
        }
    }
    // The columns of the lines that gave points; of every data line when none did.
    if (report.pointLines == 0) {
        report.minColumns = minAll;
        report.maxColumns = maxAll;
    }
    if (report.minColumns == INT32_MAX) report.minColumns = 0;
    for (int r = 0; r < SkipReasons; ++r)
        textlines::Tally(text, first[static_cast<size_t>(r)], report.skipped[static_cast<size_t>(r)]);
    for (size_t j = 0; j < ncurves; ++j) {
        if (points[j] > 0) continue;
        const int32_t c = options.yColumns[j];
        const int32_t need = std::max({c, options.xColumn, options.sigmaColumn});
        if (report.dataLines == 0)
            error = shown + ": no data lines (column " + std::to_string(c) + " is empty)";
        else if (report.maxColumns < need)
            error = shown + ": no line has a column " + std::to_string(need) +
                    " (the data lines have at most " + Plural(report.maxColumns, "column", "columns") + ")";
        else
            error = shown + ": no line gives a point from column " + std::to_string(c);
        return false;
    }

    std::vector<TCurveB> out(ncurves);
    const bool sigma = options.sigmaColumn > 0;
    for (size_t j = 0; j < ncurves; ++j) {
        // The first stretch's arrays have room for all: the others are appended there and the arrays become
        // the curve's own.
        std::vector<double> x = std::move(stretch[0].x[j]), y = std::move(stretch[0].y[j]), s;
        if (sigma) s = std::move(stretch[0].s[j]);
        int64_t rows = stretch[0].pointLines; // row numbers of the stretches before
        for (size_t k = 1; k < parts; ++k) {
            TStretch& part = stretch[k];
            const size_t at = x.size();
            x.insert(x.end(), part.x[j].begin(), part.x[j].end());
            if (options.xColumn == 0)
                for (size_t i = at; i < x.size(); ++i) x[i] += static_cast<double>(rows);
            y.insert(y.end(), part.y[j].begin(), part.y[j].end());
            if (sigma) s.insert(s.end(), part.s[j].begin(), part.s[j].end());
            rows += part.pointLines;
            std::vector<double>().swap(part.x[j]);
            std::vector<double>().swap(part.y[j]);
            if (sigma) std::vector<double>().swap(part.s[j]);
        }
        // Room the points did not take (a column with few points among many lines) is given back.
        if (x.capacity() > x.size() + x.size() / 8 + 64) {
            x.shrink_to_fit();
            y.shrink_to_fit();
            s.shrink_to_fit();
        }
        TCurveB& c = out[j];
        c.TakePoints(std::move(x), std::move(y), sigma ? &s : nullptr);
        c.CalcRanges();
        c.Comment = ColumnName(report.names, options.yColumns[j]);
        c.FileName = ImportedFileName(fileName, c.Comment);
        // The points are all in the file they came from: closing the window loses nothing.
        c.Saved = true;
    }
    curves = std::move(out);
    return true;
}

bool ReadColumnFile(const std::string& fileName, const TColumnOptions& options, std::vector<TCurveB>& curves,
                    TColumnReport& report, std::string& error) {
    TFileBytes bytes;
    if (!bytes.Open(fileName, error)) return false;
    return ReadColumns(bytes.Text(), fileName, options, curves, report, error, bytes.Mapped());
}

bool FirstLines(const std::string& fileName, int32_t maxLines, std::vector<std::string>& lines,
                std::string& error) {
    lines.clear();
    TFileBytes bytes;
    // A preview needs the start only: a large compressed file is not inflated whole for it.
    if (!bytes.Open(fileName, error, PreviewBytes)) return false;
    std::string_view text = bytes.Text();
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    textlines::ForEach(text.data(), text.data() + text.size(), false,
                       [&](std::string_view line, const char*) {
                           lines.emplace_back(line);
                           return static_cast<int32_t>(lines.size()) < maxLines;
                       });
    return true;
}

} // namespace columns
