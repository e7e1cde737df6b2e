// Curves from columns of a data text, as instruments and spreadsheets write them: a chosen separator and
// decimal mark, lines to skip, comment lines, a header row naming the columns, an x column (or the row
// number) and one curve per chosen y column, with an optional sigma column. Unlike the lenient curve file
// reader, every line that gives no point is counted and the first one kept, so that the user is told.
#pragma once

#include "curves/curvesb.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace columns {

enum class TSeparator { Auto, Comma, Semicolon, Tab, Whitespace };
enum class TDecimalMark { Auto, Point, Comma };

// Highest column number the options may name.
constexpr int32_t MaxColumn = 100000;
// Bytes of a compressed file inflated for a preview.
constexpr std::size_t PreviewBytes = std::size_t{1} << 20;

struct TColumnOptions {
    TSeparator separator = TSeparator::Auto;
    // Auto: a comma after a semicolon separator (as spreadsheets in much of Europe write), else a point;
    // with tab or whitespace separators, a comma when the numbers hold commas and no points.
    TDecimalMark decimal = TDecimalMark::Auto;
    int32_t skipLines = 0;       // lines dropped at the start, whatever they hold
    std::string comment = "#%!"; // a line starting (after blanks) with one of these is a comment
    bool header = false;         // the first line after the skipped lines and comments names the columns
    int32_t xColumn = 1;         // 1-based; 0: the row number (from 1) is x
    std::vector<int32_t> yColumns{2};
    int32_t sigmaColumn = 0; // 0: none; else its cell is the sigma of every y on that line
};

// Why a data line gave no point (to one of the curves at least).
enum TSkipReason : int {
    SkipText,          // no cell it needs is a number, and some are text: a line of text
    SkipNotNumber,     // some cell it needs is not a number
    SkipTooFewColumns, // the line ends before a column it needs
    SkipNotFinite,     // a cell is NaN or infinity
    SkipNegativeSigma, // the sigma cell is negative
    SkipReasons
};

// What the text held and what was passed over.
struct TColumnReport {
    TSeparator separator = TSeparator::Whitespace; // as used (never Auto)
    bool decimalComma = false;
    std::vector<std::string> names; // the header row's cells (with a header row)
    int32_t minColumns = 0; // fewest and most cells on a line that gave a point (any data line when none did)
    int32_t maxColumns = 0;
    int64_t dataLines = 0;    // lines that are neither skipped at the start, blank, comments nor the header
    int64_t pointLines = 0;   // data lines that gave at least one point
    int64_t commentLines = 0; // comment lines and blank lines
    std::array<TLineTally, SkipReasons> skipped{};

    int64_t SkippedLines() const;
    // One line per reason, as "3 lines skipped (a line of text), the first line 7: abc"; empty when none.
    std::vector<std::string> SkippedText() const;
};

// The name of a separator as the command line and the preferences write it: "auto", "comma",
// "semicolon", "tab", "whitespace"; parsing also takes "space" for whitespace.
std::string_view SeparatorName(TSeparator s);
bool ParseSeparator(std::string_view name, TSeparator& s);
// A short description for messages: "comma", "semicolon", "tab", "whitespace".
std::string_view ReasonText(TSkipReason r);

// Splits one line into cells with a resolved separator (not Auto): cells are trimmed of blanks and of the
// double quotes around them (a quoted cell may hold the separator; "" in it stands for one quote).
std::vector<std::string> SplitCells(std::string_view line, TSeparator separator);

// The separator and decimal mark the options give for this text (Auto resolved from its first data lines).
void Resolve(std::string_view text, const TColumnOptions& options, TSeparator& separator, bool& decimalComma);

// How the reader takes each line of a text (a preview shows them so).
enum class TLineKind { Skipped, Comment, Header, Data };
std::vector<TLineKind> LineKinds(const std::vector<std::string>& lines, const TColumnOptions& options);

// Reads one curve per y column from text. False, with error naming the file (fileName) and the column, when
// a column named in the options is out of range or some y column gives no point; curves is then untouched.
// The curves are named in their Comment after the header cell of their y column (else "column N"), and
// carry the sigma column when there is one. With release the text is a file's private mapping.
bool ReadColumns(std::string_view text, const std::string& fileName, const TColumnOptions& options,
                 std::vector<TCurveB>& curves, TColumnReport& report, std::string& error,
                 bool release = false);

// The same for a file (gzip-compressed or not); the curves get the file's name as FileName.
bool ReadColumnFile(const std::string& fileName, const TColumnOptions& options, std::vector<TCurveB>& curves,
                    TColumnReport& report, std::string& error);

// The first lines of a file (decompressed), at most maxLines of them, for a preview; false with error.
bool FirstLines(const std::string& fileName, int32_t maxLines, std::vector<std::string>& lines,
                std::string& error);

} // namespace columns
