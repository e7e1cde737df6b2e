#include "curves/columnreader.h"

#include "curves/curvefile.h"
#include "curves/fastnumber.h"
#include "curves/filebytes.h"
#include "curves/parallel.h"
#include "curves/textlines.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

namespace columns {

namespace {

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

inline char SeparatorChar(TSeparator s) {
    return s == TSeparator::Comma       ? ','
           : s == TSeparator::Semicolon ? ';'
           : s == TSeparator::Tab       ? '\t'
                                        : ' ';
}

enum TCellState : uint8_t { CellOk, CellMissing, CellNotNumber, CellNotFinite };

// Converts one cell; with decimalComma its commas are decimal points.
TCellState Convert(std::string_view cell, bool decimalComma, double& v) {
    char buf[64];
    if (decimalComma && cell.find(',') != std::string_view::npos) {
        if (cell.size() > sizeof buf) return CellNotNumber;
        std::transform(cell.begin(), cell.end(), buf, [](char c) { return c == ',' ? '.' : c; });
        cell = std::string_view(buf, cell.size());
    }
    if (curvefile::ConvertNumber(cell, v)) return CellOk;
    // Told apart from text only on this rare road: NaN, infinity, and numbers beyond the double range.
    const char* first = cell.data();
    const char* last = first + cell.size();
    if (first < last && *first == '+') ++first;
    double w = 0.0;
    const auto [ptr, ec] = std::from_chars(first, last, w, std::chars_format::general);
    if (ptr == last && first < last && (ec == std::errc::result_out_of_range || !std::isfinite(w)))
        return CellNotFinite;
    return CellNotNumber;
}

// Walks the cells of one line. For a separator character each single occurrence ends a cell (so that an
// empty cell keeps its place, as spreadsheets write it); for whitespace, runs of blanks do.
class TCells {
public:
    TCells(std::string_view line, TSeparator separator)
        : p_(line.data()), end_(line.data() + line.size()), sep_(SeparatorChar(separator)),
          white_(separator == TSeparator::Whitespace) {
        if (white_) SkipBlanks();
    }
    bool More() const { return white_ ? p_ < end_ : !done_; }
    // The next cell, trimmed, without its quotes (quoted keeps the raw text between them, "" not undone).
    std::string_view Next(bool* quoted = nullptr) {
        if (white_) {
            const char* s = p_;
            while (p_ < end_ && !IsBlank(*p_)) ++p_;
            const std::string_view cell(s, static_cast<size_t>(p_ - s));
            SkipBlanks();
            return cell;
        }
        while (p_ < end_ && IsBlank(*p_) && *p_ != sep_) ++p_;
        std::string_view cell;
        if (p_ < end_ && *p_ == '"') {
            // A quoted cell runs to the quote that is not doubled; the separator inside it is text.
            const char* s = ++p_;
            while (p_ < end_ && !(*p_ == '"' && !(p_ + 1 < end_ && p_[1] == '"'))) p_ += *p_ == '"' ? 2 : 1;
            cell = std::string_view(s, static_cast<size_t>(std::min(p_, end_) - s));
            if (quoted != nullptr) *quoted = true;
            const void* at = std::memchr(p_, sep_, static_cast<size_t>(end_ - std::min(p_, end_)));
            p_ = at != nullptr ? static_cast<const char*>(at) : end_;
        } else {
            const void* at = std::memchr(p_, sep_, static_cast<size_t>(end_ - p_));
            const char* e = at != nullptr ? static_cast<const char*>(at) : end_;
            const char* t = e;
            while (t > p_ && IsBlank(t[-1]) && t[-1] != sep_) --t;
            cell = std::string_view(p_, static_cast<size_t>(t - p_));
            p_ = e;
        }
        if (p_ < end_)
            ++p_; // past the separator: a cell follows, if only an empty one
        else
            done_ = true;
        return cell;
    }
    // The next cell as a number: a plain number is converted in the same pass that finds its end, anything
    // else taken apart as a cell first.
    TCellState NextNumber(bool decimalComma, double& v) {
        const char* q = p_;
        while (!white_ && q < end_ && IsBlank(*q) && *q != sep_) ++q;
        q = curvefile::NumberPrefix(q, end_, v, decimalComma);
        if (q != nullptr) {
            if (white_) {
                if (q == end_ || IsBlank(*q)) {
                    p_ = q;
                    SkipBlanks();
                    return CellOk;
                }
            } else {
                while (q < end_ && IsBlank(*q) && *q != sep_) ++q;
                if (q == end_) {
                    p_ = end_;
                    done_ = true;
                    return CellOk;
                }
                if (*q == sep_) {
                    p_ = q + 1;
                    return CellOk;
                }
            }
        }
        return Convert(Next(), decimalComma, v);
    }
    // The cells left on the line, counted without being taken apart where no quote can hide a separator.
    int32_t CountRest() {
        if (!More()) return 0;
        if (!white_ && std::memchr(p_, '"', static_cast<size_t>(end_ - p_)) == nullptr)
            return static_cast<int32_t>(std::count(p_, end_, sep_)) + 1;
        int32_t n = 0;
        while (More()) {
            Next();
            ++n;
        }
        return n;
    }

private:
    void SkipBlanks() {
        while (p_ < end_ && IsBlank(*p_)) ++p_;
    }
    const char* p_;
    const char* end_;
    char sep_;
    bool white_;
    bool done_ = false;
};

bool IsComment(std::string_view line, const std::string& comment) {
    const size_t at = line.find_first_not_of(" \t");
    return at != std::string_view::npos && comment.find(line[at]) != std::string::npos;
}

// True for a line with nothing but blanks and separators.
bool IsEmptyLine(std::string_view line, TSeparator separator) {
    const char sep = SeparatorChar(separator);
    return std::all_of(line.begin(), line.end(), [sep](char c) { return IsBlank(c) || c == sep; });
}

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
        // The next line starts after this one's end.
        const char* p = at + line.size();
        if (p < end && *p == '\r') {
            ++p;
            if (p < end && *p == '\n') ++p;
        } else if (p < end && *p == '\n') {
            ++p;
        }
        start = p;
        return true;
    });
    if (skip > 0 || wantHeader) start = end;
    return start;
}

// The last column a line must hold, and which columns the curves need.
int32_t LastNeeded(const TColumnOptions& o) {
    int32_t last = std::max(o.xColumn, o.sigmaColumn);
    for (const int32_t c : o.yColumns) last = std::max(last, c);
    return last;
}

// What one stretch of lines gave.
struct TStretch {
    std::vector<std::vector<double>> x, y, s; // per curve
    std::array<int64_t, SkipReasons> skipped{};
    std::array<const char*, SkipReasons> first{};
    int64_t dataLines = 0, pointLines = 0, commentLines = 0;
    int32_t minColumns = INT32_MAX, maxColumns = 0; // over the lines that gave a point
    int32_t minAll = INT32_MAX, maxAll = 0;         // over every data line
};

class TStretchReader {
public:
    TStretchReader(const TColumnOptions& o, TSeparator separator, bool decimalComma)
        : o_(o), separator_(separator), sep_(SeparatorChar(separator)), decimalComma_(decimalComma),
          last_(LastNeeded(o)), curves_(o.yColumns.size()) {
        // The columns some curve reads (x, sigma, y).
        needed_.assign(static_cast<size_t>(last_) + 1, 0);
        for (const int32_t c : {o.xColumn, o.sigmaColumn})
            if (c > 0) needed_[static_cast<size_t>(c)] = 1;
        for (const int32_t c : o.yColumns) needed_[static_cast<size_t>(c)] = 1;
        cell_.resize(static_cast<size_t>(last_) + 1);
        for (const char c : o.comment) comment_[static_cast<unsigned char>(c)] = true;
        state_.resize(static_cast<size_t>(last_) + 1);
    }

    // Reads the lines of [from, end) into out, its arrays sized for `room` bytes of such lines (the first
    // stretch takes room for the whole text, so that the others are appended to it where it lies).
    void Read(const char* from, const char* end, size_t room, bool release, TStretch& out) {
        out.x.assign(curves_, {});
        out.y.assign(curves_, {});
        out.s.assign(o_.sigmaColumn > 0 ? curves_ : 0, {});
        const size_t expect = textlines::ExpectedLines(room, textlines::LineLength(from, end));
        for (size_t j = 0; j < curves_; ++j) {
            textlines::Reserve(out.x[j], expect);
            textlines::Reserve(out.y[j], expect);
            if (o_.sigmaColumn > 0) textlines::Reserve(out.s[j], expect);
        }
        textlines::ForEach(from, end, release, [&](std::string_view line, const char* at) {
            Line(line, at, out);
            return true;
        });
    }

private:
    void Line(std::string_view line, const char* at, TStretch& out) {
        // Comments and blank lines (a line of separators alone is blank too) are passed over silently.
        size_t lead = 0;
        while (lead < line.size() && IsBlank(line[lead])) ++lead;
        if (lead == line.size() || comment_[static_cast<unsigned char>(line[lead])] ||
            (line[lead] == sep_ && IsEmptyLine(line, separator_))) {
            ++out.commentLines;
            return;
        }
        // A leading tab is a cell's end where tabs separate; leading blanks are passed only where blanks do.
        const char* const start = separator_ == TSeparator::Whitespace ? line.data() + lead : line.data();
        const char* const end = line.data() + line.size();
        if (decimalComma_ ? PlainLine<','>(start, end, out) : PlainLine<'.'>(start, end, out)) return;
        ++out.dataLines;
        TCells cells(line, separator_);
        int32_t n = 0;
        int numbers = 0; // needed cells that hold a number (finite or not)
        bool missing = false, notNumber = false, notFinite = false, negative = false;
        while (n < last_ && cells.More()) {
            ++n;
            if (needed_[static_cast<size_t>(n)] == 0) {
                cells.Next();
                continue;
            }
            TCellState& st = state_[static_cast<size_t>(n)];
            st = cells.NextNumber(decimalComma_, cell_[static_cast<size_t>(n)]);
            numbers += st == CellOk || st == CellNotFinite;
            notNumber = notNumber || st == CellNotNumber;
            notFinite = notFinite || st == CellNotFinite;
        }
        const int32_t columns = n + cells.CountRest();
        out.minAll = std::min(out.minAll, columns);
        out.maxAll = std::max(out.maxAll, columns);
        for (int32_t c = n + 1; c <= last_; ++c)
            if (needed_[static_cast<size_t>(c)] != 0) {
                state_[static_cast<size_t>(c)] = CellMissing;
                missing = true;
            }
        auto ok = [this](int32_t c) { return c <= 0 || state_[static_cast<size_t>(c)] == CellOk; };
        const bool xOk = ok(o_.xColumn);
        bool sigmaOk = ok(o_.sigmaColumn);
        if (sigmaOk && o_.sigmaColumn > 0 && cell_[static_cast<size_t>(o_.sigmaColumn)] < 0.0) {
            sigmaOk = false;
            negative = true;
        }
        size_t given = 0;
        const double x =
            o_.xColumn > 0 ? cell_[static_cast<size_t>(o_.xColumn)] : static_cast<double>(out.pointLines + 1);
        if (xOk && sigmaOk)
            for (size_t j = 0; j < curves_; ++j) {
                const int32_t c = o_.yColumns[j];
                if (!ok(c)) continue;
                out.x[j].push_back(x);
                out.y[j].push_back(cell_[static_cast<size_t>(c)]);
                if (o_.sigmaColumn > 0) out.s[j].push_back(cell_[static_cast<size_t>(o_.sigmaColumn)]);
                ++given;
            }
        if (given > 0) {
            ++out.pointLines;
            out.minColumns = std::min(out.minColumns, columns);
            out.maxColumns = std::max(out.maxColumns, columns);
        }
        if (given == curves_) return;
        // Text where numbers were wanted and none at all: a line of text, however many cells it has.
        const TSkipReason why = numbers == 0 && notNumber ? SkipText
                                : missing                 ? SkipTooFewColumns
                                : notNumber               ? SkipNotNumber
                                : notFinite               ? SkipNotFinite
                                : negative                ? SkipNegativeSigma
                                                          : SkipNotNumber;
        if (out.skipped[why]++ == 0) out.first[why] = at;
    }

    // The line most files are made of, read in one pass: up to the last column a curve reads, each cell
    // read is a plain number, each other cell unquoted, and the sigma not negative. Anything else (false)
    // is left to the cell walk, which reads the line afresh and tells what is wrong with it.
    template <char Mark>
    [[gnu::flatten]] bool PlainLine(const char* p, const char* const end, TStretch& out) {
        double* const cell = cell_.data();
        const uint8_t* const needed = needed_.data();
        const bool white = separator_ == TSeparator::Whitespace;
        bool atEnd = false; // the last cell read ended the line
        for (int32_t n = 1; n <= last_; ++n) {
            if (atEnd) return false; // too few columns
            if (!white)
                while (p < end && IsBlank(*p) && *p != sep_) ++p;
            if (needed[n] != 0) {
                p = curvefile::fastnumber::FastPrefix<Mark>(p, end, cell[n]);
                if (p == nullptr) return false;
                if (!white)
                    while (p < end && IsBlank(*p) && *p != sep_) ++p;
                // The number is the whole cell, or the cell is left to the walk.
                if (p < end && (white ? !IsBlank(*p) : *p != sep_)) return false;
            } else if (white) {
                while (p < end && !IsBlank(*p)) ++p;
            } else {
                if (p < end && *p == '"') return false; // a quoted cell may hold the separator
                const void* at = std::memchr(p, sep_, static_cast<size_t>(end - p));
                p = at != nullptr ? static_cast<const char*>(at) : end;
            }
            if (white)
                while (p < end && IsBlank(*p)) ++p;
            atEnd = p == end;
            if (!atEnd && !white) ++p; // past the separator: a cell follows, if only an empty one
        }
        const double sigma = o_.sigmaColumn > 0 ? cell[o_.sigmaColumn] : 0.0;
        if (sigma < 0.0) return false;
        // The cells after the last one read: counted, not taken apart.
        int32_t columns = last_;
        if (!white && !atEnd) {
            if (std::memchr(p, '"', static_cast<size_t>(end - p)) != nullptr) return false;
            columns += static_cast<int32_t>(std::count(p, end, sep_)) + 1;
        } else if (white) {
            for (; p < end; ++columns) {
                while (p < end && !IsBlank(*p)) ++p;
                while (p < end && IsBlank(*p)) ++p;
            }
        }
        ++out.dataLines;
        ++out.pointLines;
        const double x = o_.xColumn > 0 ? cell[o_.xColumn] : static_cast<double>(out.pointLines);
        for (size_t j = 0; j < curves_; ++j) {
            out.x[j].push_back(x);
            out.y[j].push_back(cell[o_.yColumns[j]]);
            if (o_.sigmaColumn > 0) out.s[j].push_back(sigma);
        }
        out.minColumns = std::min(out.minColumns, columns);
        out.maxColumns = std::max(out.maxColumns, columns);
        out.minAll = std::min(out.minAll, columns);
        out.maxAll = std::max(out.maxAll, columns);
        return true;
    }

    const TColumnOptions& o_;
    TSeparator separator_;
    char sep_;
    bool decimalComma_;
    int32_t last_;
    size_t curves_;
    std::vector<uint8_t> needed_; // per column up to the last needed: 1 when some curve reads it
    std::vector<double> cell_;
    std::vector<TCellState> state_;
    std::array<bool, 256> comment_{}; // the comment characters
};

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

std::vector<std::string> SplitCells(std::string_view line, TSeparator separator) {
    std::vector<std::string> out;
    TCells cells(line, separator == TSeparator::Auto ? TSeparator::Whitespace : separator);
    while (cells.More()) {
        bool quoted = false;
        const std::string_view cell = cells.Next(&quoted);
        std::string text(cell);
        if (quoted)
            for (size_t at = 0; (at = text.find("\"\"", at)) != std::string::npos; ++at) text.erase(at, 1);
        out.push_back(std::move(text));
    }
    return out;
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
    std::string_view header;
    int64_t passed = 0;
    const char* begin = DataStart(text, options, header, passed);
    if (options.header) report.names = SplitCells(header, separator);
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
        TStretchReader(options, separator, decimalComma)
            .Read(from, to, static_cast<size_t>((k == 0 ? end : to) - from), release, own);
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
