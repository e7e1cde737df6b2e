// info FILE: the number of points and the ranges of a curve, or the windows and curves of a session.
#include "cli/cli.h"
#include "cli/cliio.h"

#include "plot/session.h"

#include <cstdio>

namespace {

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
    cli::TArgs a("info", args, {});
    if (!a.Ok() || !a.ExpectPositionals(1)) return cli::UsageError;
    if (IsSessionFile(QString::fromStdString(a.Positional(0)))) return SessionInfo(a.Positional(0));
    TCurveB curve;
    if (!cli::ReadCurve("info", a.Positional(0), curve)) return cli::UsageError;
    PrintRanges(curve);
    return cli::Done;
}

const cli::TRegister reg({"info",
                          "count and ranges of a curve, or the windows and curves of a session",
                          "Usage: graphmill-cli info FILE\n"
                          "Prints three lines: count N, xrange XMIN XMAX, yrange YMIN YMAX.\n"
                          "Of a session (FILE.gmsession): windows N, then for each window a line\n"
                          "window W curves N active A fitterms T, and for each of its curves a line\n"
                          "curve W.C [unsaved] [sigma] [file NAME] followed by its three lines.\n",
                          RunInfo,
                          {{"", {}}}});

} // namespace
