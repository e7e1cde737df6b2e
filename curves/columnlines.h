// The lines of a column file taken apart, for the column reader: the cells of a line and a stretch of whole
// lines read into points.
#pragma once

#include "curves/cachelines.h"
#include "curves/columnreader.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace columns {

// The character that ends a cell (a blank for whitespace, where runs of blanks do).
char SeparatorChar(TSeparator s);
// True for a line whose first character past its blanks is one of the comment characters.
bool IsComment(std::string_view line, const std::string& comment);
// The highest column a curve reads (x, y or sigma).
int32_t LastNeeded(const TColumnOptions& o);

// What one stretch of lines gave. The headers of its arrays, which each line's points move on, hold cache
// lines of their own.
struct TStretch {
    TOwnLinesVector<std::vector<double>> x, y, s; // per curve
    std::array<int64_t, SkipReasons> skipped{};
    std::array<const char*, SkipReasons> first{};
    int64_t dataLines = 0, pointLines = 0, commentLines = 0;
    int32_t minColumns = INT32_MAX, maxColumns = 0; // over the lines that gave a point
    int32_t minAll = INT32_MAX, maxAll = 0;         // over every data line
};

// Reads the whole lines of [from, end) into out, its arrays sized for `room` bytes of such lines. With
// release the text is a file's private mapping, given back as the reading goes.
void ReadStretch(const TColumnOptions& options, TSeparator separator, bool decimalComma, const char* from,
                 const char* end, size_t room, bool release, TStretch& out);

} // namespace columns
