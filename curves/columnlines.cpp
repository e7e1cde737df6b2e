// The lines of a column file taken apart: the cells of one line (a separator character ends each cell, runs
// of blanks do for whitespace, quotes keep a separator as text), and a stretch of whole lines read into the
// points of the curves, plain number lines in one pass, any other line cell by cell with what is wrong with
// it counted.
#include "curves/columnlines.h"

#include "curves/curvefile.h"
#include "curves/fastnumber.h"
#include "curves/textlines.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace columns {

namespace {

inline bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

using textlines::IsLineEnd;

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

// True for a line with nothing but blanks and separators.
bool IsEmptyLine(std::string_view line, TSeparator separator) {
    const char sep = SeparatorChar(separator);
    return std::all_of(line.begin(), line.end(), [sep](char c) { return IsBlank(c) || c == sep; });
}

class TStretchReader {
public:
    TStretchReader(const TColumnOptions& o, TSeparator separator, bool decimalComma)
        : xColumn_(o.xColumn), sigmaColumn_(o.sigmaColumn), yColumns_(o.yColumns.begin(), o.yColumns.end()),
          separator_(separator), sep_(SeparatorChar(separator)), decimalComma_(decimalComma),
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
        out.s.assign(sigmaColumn_ > 0 ? curves_ : 0, {});
        const size_t expect = textlines::ExpectedLines(room, textlines::LineLength(from, end));
        for (size_t j = 0; j < curves_; ++j) {
            textlines::Reserve(out.x[j], expect);
            textlines::Reserve(out.y[j], expect);
            if (sigmaColumn_ > 0) textlines::Reserve(out.s[j], expect);
        }
        // A plain number line is read straight from the text, its end found by the reading; any other line
        // is found first and then taken apart cell by cell.
        textlines::ForEachWith(
            from, end, release,
            [&](const char* at) {
                return decimalComma_ ? PlainLine<','>(at, end, out) : PlainLine<'.'>(at, end, out);
            },
            [&](std::string_view line, const char* at) {
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
        const bool xOk = ok(xColumn_);
        bool sigmaOk = ok(sigmaColumn_);
        if (sigmaOk && sigmaColumn_ > 0 && cell_[static_cast<size_t>(sigmaColumn_)] < 0.0) {
            sigmaOk = false;
            negative = true;
        }
        size_t given = 0;
        const double x =
            xColumn_ > 0 ? cell_[static_cast<size_t>(xColumn_)] : static_cast<double>(out.pointLines + 1);
        if (xOk && sigmaOk)
            for (size_t j = 0; j < curves_; ++j) {
                const int32_t c = yColumns_[j];
                if (!ok(c)) continue;
                out.x[j].push_back(x);
                out.y[j].push_back(cell_[static_cast<size_t>(c)]);
                if (sigmaColumn_ > 0) out.s[j].push_back(cell_[static_cast<size_t>(sigmaColumn_)]);
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

    // The line most files are made of, read in one pass from its start to its end, which the reading finds:
    // up to the last column a curve reads, each cell read is a plain number, each other cell unquoted, and
    // the sigma not negative. Returns the start of the next line. Anything else (null) is left to the cell
    // walk, which has the line found and reads it afresh and tells what is wrong with it: a blank line, a
    // comment and a line that starts with a separator among them.
    template <char Mark>
    [[gnu::flatten]] const char* PlainLine(const char* const start, const char* const end, TStretch& out) {
        double* const cell = cell_.data();
        const uint8_t* const needed = needed_.data();
        const bool white = separator_ == TSeparator::Whitespace;
        const char* p = start;
        while (p < end && IsBlank(*p)) ++p;
        if (p == end || comment_[static_cast<unsigned char>(*p)] || *p == sep_) return nullptr;
        // A leading tab is a cell's end where tabs separate; leading blanks are passed only where blanks do.
        if (!white) p = start;
        bool atEnd = false; // the last cell read ended the line
        for (int32_t n = 1; n <= last_; ++n) {
            if (atEnd) return nullptr; // too few columns
            if (!white)
                while (p < end && IsBlank(*p) && *p != sep_) ++p;
            if (needed[n] != 0) {
                p = curvefile::fastnumber::FastPrefix<Mark>(p, end, cell[n]);
                if (p == nullptr) return nullptr;
                if (!white)
                    while (p < end && IsBlank(*p) && *p != sep_) ++p;
                // The number is the whole cell, or the cell is left to the walk.
                if (p < end && !IsLineEnd(*p) && (white ? !IsBlank(*p) : *p != sep_)) return nullptr;
            } else if (white) {
                while (p < end && !IsBlank(*p) && !IsLineEnd(*p)) ++p;
            } else {
                if (p < end && *p == '"') return nullptr; // a quoted cell may hold the separator
                while (p < end && *p != sep_ && !IsLineEnd(*p)) ++p;
            }
            if (white)
                while (p < end && IsBlank(*p)) ++p;
            atEnd = p == end || IsLineEnd(*p);
            if (!atEnd && !white) ++p; // past the separator: a cell follows, if only an empty one
        }
        const double sigma = sigmaColumn_ > 0 ? cell[sigmaColumn_] : 0.0;
        if (sigma < 0.0) return nullptr;
        // The cells after the last one read: counted, not taken apart.
        int32_t columns = last_;
        if (!white && !atEnd) {
            for (++columns; p < end && !IsLineEnd(*p); ++p) {
                if (*p == '"') return nullptr;
                columns += *p == sep_;
            }
        } else if (white) {
            for (; p < end && !IsLineEnd(*p); ++columns) {
                while (p < end && !IsBlank(*p) && !IsLineEnd(*p)) ++p;
                while (p < end && IsBlank(*p)) ++p;
            }
        }
        ++out.dataLines;
        ++out.pointLines;
        const double x = xColumn_ > 0 ? cell[xColumn_] : static_cast<double>(out.pointLines);
        for (size_t j = 0; j < curves_; ++j) {
            out.x[j].push_back(x);
            out.y[j].push_back(cell[yColumns_[j]]);
            if (sigmaColumn_ > 0) out.s[j].push_back(sigma);
        }
        out.minColumns = std::min(out.minColumns, columns);
        out.maxColumns = std::max(out.maxColumns, columns);
        out.minAll = std::min(out.minAll, columns);
        out.maxAll = std::max(out.maxAll, columns);
        return textlines::PastLineEnd(p, end);
    }

    // The columns, copied: the caller's options may lie beside data another core writes, and reading them
    // every line would then stall both cores.
    int32_t xColumn_, sigmaColumn_;
    TOwnLinesVector<int32_t> yColumns_;
    TSeparator separator_;
    char sep_;
    bool decimalComma_;
    int32_t last_;
    size_t curves_;
    TOwnLinesVector<uint8_t> needed_; // per column up to the last needed: 1 when some curve reads it
    TOwnLinesVector<double> cell_;
    TOwnLinesVector<TCellState> state_;
    std::array<bool, 256> comment_{}; // the comment characters
};

} // namespace

char SeparatorChar(TSeparator s) {
    return s == TSeparator::Comma       ? ','
           : s == TSeparator::Semicolon ? ';'
           : s == TSeparator::Tab       ? '\t'
                                        : ' ';
}

bool IsComment(std::string_view line, const std::string& comment) {
    const size_t at = line.find_first_not_of(" \t");
    return at != std::string_view::npos && comment.find(line[at]) != std::string::npos;
}

// The highest column a curve reads (x, y or sigma).
int32_t LastNeeded(const TColumnOptions& o) {
    int32_t last = std::max(o.xColumn, o.sigmaColumn);
    for (const int32_t c : o.yColumns) last = std::max(last, c);
    return last;
}

void ReadStretch(const TColumnOptions& options, TSeparator separator, bool decimalComma, const char* from,
                 const char* end, size_t room, bool release, TStretch& out) {
    TStretchReader(options, separator, decimalComma).Read(from, end, room, release, out);
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

} // namespace columns
