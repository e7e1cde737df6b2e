// info FILE: the number of points and the ranges of a curve, and what its file holds: the columns on its
// data lines, the separator and decimal mark, the header's names, and the lines passed over and why; or the
// windows and curves of a session.
#include "cli/cli.h"
#include "cli/cliio.h"
#include "curves/filebytes.h"

#include "plot/session.h"

#include <cstdio>

namespace {

const std::vector<cli::TOptionSpec> InfoOptions = cli::CurveOptions({}, cli::ReadsCurves);

std::string Lines(int64_t n) {
    return std::to_string(n) + (n == 1 ? " line" : " lines");
}

void PrintTally(const char* what, const TLineTally& t, const char* why) {
    if (t.count == 0) return;
    std::printf("%s %s (%s), the first line %lld: %s\n", what, Lines(t.count).c_str(), why,
                static_cast<long long>(t.firstLine), t.firstText.c_str());
}

void PrintRanges(const TCurveB& curve) {
    std::printf("count %d\nxrange %.17g %.17g\nyrange %.17g %.17g\n", curve.Count(), curve.XMin, curve.XMax,
                curve.YMin, curve.YMax);
}

int SessionInfo(const std::string& path) {
    TSession session;
    QString error;
    if (!ReadSession(QString::fromStdString(path), session, error)) {
        cli::Error("info", error.toStdString());
        return cli::UsageError;
    }
    std::printf("windows %zu\n", session.windows.size());
    for (size_t w = 0; w < session.windows.size(); ++w) {
        const TSessionWindow& window = session.windows[w];
        std::printf("window %zu curves %zu active %d fitterms %zu\n", w + 1, window.curves.size(),
                    window.active, window.fit ? window.fit->terms.size() : 0);
        for (size_t c = 0; c < window.curves.size(); ++c) {
            const TPlottedCurve& curve = window.curves[c];
            std::printf("curve %zu.%zu%s%s%s%s\n", w + 1, c + 1, curve.Saved ? "" : " unsaved",
                        curve.HasSigma() ? " sigma" : "", curve.FileName.empty() ? "" : " file ",
                        curve.FileName.c_str());
            PrintRanges(curve);
        }
    }
    return cli::Done;
}

int RunInfo(const std::vector<std::string>& args) {
    cli::TArgs a("info", args, InfoOptions);
    if (!a.Ok() || !a.ExpectPositionals(1)) return cli::UsageError;
    if (IsSessionFile(QString::fromStdString(a.Positional(0)))) return SessionInfo(a.Positional(0));
    const std::string& path = a.Positional(0);
    const std::string shown = path == "-" ? "standard input" : path;
    // The text is read once, and looked at by both readers.
    std::string input, error;
    TFileBytes bytes;
    std::string_view text;
    if (path == "-") {
        if (!cli::TakeStandardInput("info", input)) return cli::UsageError;
        text = input;
    } else {
        if (!bytes.Open(path, error)) {
            cli::Error("info", error);
            return cli::UsageError;
        }
        text = bytes.Text();
    }
    const columns::TColumnOptions* chosen = a.Columns();
    const columns::TColumnOptions options = chosen != nullptr ? *chosen : columns::TColumnOptions();
    std::vector<TCurveB> curves;
    columns::TColumnReport report;
    const bool byColumns = columns::ReadColumns(text, shown, options, curves, report, error);
    TCurveB curve;
    TCurveReadNotes notes;
    if (chosen != nullptr) {
        if (!byColumns) {
            cli::Error("info", error);
            return cli::UsageError;
        }
        curve = std::move(curves.front());
    } else {
        curve = TCurveB::CreateFromText(text, &notes);
        if (curve.Count() == 0) {
            cli::Error("info", shown + ": no points found");
            return cli::UsageError;
        }
    }
    PrintRanges(curve);
    if (curve.HasSigma()) std::printf("sigma yes\n");
    if (report.minColumns == report.maxColumns)
        std::printf("columns %d\n", report.maxColumns);
    else
        std::printf("columns %d to %d\n", report.minColumns, report.maxColumns);
    std::printf("separator %s, decimal %s\n", std::string(columns::SeparatorName(report.separator)).c_str(),
                report.decimalComma ? "comma" : "point");
    for (size_t i = 0; i < report.names.size(); ++i)
        std::printf("name %zu %s\n", i + 1, report.names[i].c_str());
    if (chosen != nullptr) {
        for (int r = 0; r < columns::SkipReasons; ++r)
            PrintTally("skipped", report.skipped[static_cast<size_t>(r)],
                       std::string(columns::ReasonText(columns::TSkipReason(r))).c_str());
    } else {
        PrintTally("skipped", notes.skipped, "a line of text");
        PrintTally("partly read", notes.partlyRead, "text beside the numbers");
        if (notes.moreThanTwo) std::printf("more than two numbers on a line: only the first two are read\n");
    }
    return cli::Done;
}

const cli::TRegister
    reg({"info",
         "count and ranges of a curve, and the columns of its file, or the windows and curves of a session",
         "Usage: graphmill-cli info FILE [READING OPTIONS]\n"
         "Prints count N, xrange XMIN XMAX, yrange YMIN YMAX, then what the file holds:\n"
         "  sigma yes                   the curve carries a sigma per point (from --columns X,Y,SIGMA)\n"
         "  columns N (or N to M)       the cells on its data lines\n"
         "  separator S, decimal D      as found (or as chosen)\n"
         "  name K TEXT                 the header's name of column K (with --header)\n"
         "  skipped N lines (WHY), the first line L: TEXT\n"
         "                              lines that gave no point: a line of text, too few\n"
         "                              columns, a cell that is not a number, NaN or\n"
         "                              infinity, a negative sigma\n"
         "Without reading options the curve is read as a curve file (two numbers a line; a\n"
         "line of one number v gives the point (index, v)), and info also tells lines read\n"
         "partly and lines holding more than two numbers.\n"
         "Reading options (every command that reads curves takes them):\n"
         "  --columns X,Y[,SIGMA]   columns from 1; X 0 for the row number (from 1)\n"
         "  --separator auto|comma|semicolon|tab|space\n"
         "  --decimal-comma         numbers with a decimal comma (auto after semicolons)\n"
         "  --skip N                lines to drop at the start\n"
         "  --comment CHARS         lines starting with one of them are comments (#%!)\n"
         "  --header                the first line after those names the columns\n"
         "Gzip-compressed files are read as the text they hold.\n"
         "Of a session (FILE.gmsession): windows N, then for each window a line\n"
         "window W curves N active A fitterms T, and for each of its curves a line\n"
         "curve W.C [unsaved] [sigma] [file NAME] followed by its three lines.\n",
         RunInfo,
         {{"", InfoOptions}}});

} // namespace
