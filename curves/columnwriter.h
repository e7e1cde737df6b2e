// A curve as columns for spreadsheets and other programs: x, y and (when the curve has it) sigma, with a
// header row, separated by commas or tabs, each number in the shortest form that reads back to the same
// double.
#pragma once

#include "curves/curvesb.h"

#include <string>
#include <string_view>

namespace columns {

enum class TExportFormat { Csv, Tsv };

// "csv" or "tsv"; false for anything else.
bool ParseExportFormat(std::string_view name, TExportFormat& format);

// The whole text: the header row "x,y" (or "x,y,sigma"), then one line per point, LF-ended. Empty when a
// value is not finite; `error` then names the point.
bool ColumnText(const TCurveB& curve, TExportFormat format, std::string& text, std::string& error);

// Writes the text to fileName through the program's safe save (a ".bak" copy of a file it replaces);
// false with error (naming the file) and nothing changed on failure.
bool ExportColumns(const TCurveB& curve, const std::string& fileName, TExportFormat format,
                   std::string& error);

} // namespace columns
