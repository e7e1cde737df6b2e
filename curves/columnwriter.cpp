#include "curves/columnwriter.h"

#include "curves/curvefile.h"

#include <charconv>
#include <cmath>

namespace columns {

bool ParseExportFormat(std::string_view name, TExportFormat& format) {
    if (name == "csv")
        format = TExportFormat::Csv;
    else if (name == "tsv")
        format = TExportFormat::Tsv;
    else
        return false;
    return true;
}

bool ColumnText(const TCurveB& curve, TExportFormat format, std::string& text, std::string& error) {
    const char sep = format == TExportFormat::Csv ? ',' : '\t';
    const bool sigma = curve.HasSigma();
    text.clear();
    for (int32_t i = 1; i <= curve.Count(); ++i)
        if (!std::isfinite(curve.X(i)) || !std::isfinite(curve.Y(i)) ||
            (sigma && !std::isfinite(curve.Sigma(i)))) {
            error = "point " + std::to_string(i) + " is not a finite number";
            return false;
        }
    text = std::string("x") + sep + "y" + (sigma ? std::string(1, sep) + "sigma" : std::string()) + "\n";
    // The shortest text that reads back to the same double: at most 24 characters a number.
    text.reserve(text.size() + static_cast<size_t>(curve.Count()) * (sigma ? 75 : 50));
    char buf[128];
    for (int32_t i = 1; i <= curve.Count(); ++i) {
        char* p = std::to_chars(buf, buf + 32, curve.X(i)).ptr;
        *p++ = sep;
        p = std::to_chars(p, p + 32, curve.Y(i)).ptr;
        if (sigma) {
            *p++ = sep;
            p = std::to_chars(p, p + 32, curve.Sigma(i)).ptr;
        }
        *p++ = '\n';
        text.append(buf, static_cast<size_t>(p - buf));
    }
    return true;
}

bool ExportColumns(const TCurveB& curve, const std::string& fileName, TExportFormat format,
                   std::string& error) {
    std::string text, why;
    if (!ColumnText(curve, format, text, why)) {
        error = "cannot export to " + fileName + ": " + why;
        return false;
    }
    curvefile::TSaveFile file;
    if (!file.OpenForWrite(fileName, "", ".bak", "") || !file.Write(text.data(), text.size()) ||
        !file.Commit()) {
        error = file.Error();
        return false;
    }
    return true;
}

} // namespace columns
