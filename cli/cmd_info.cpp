// info FILE: the number of points and the ranges of a curve.
#include "cli/cli.h"
#include "cli/cliio.h"

#include <cstdio>

namespace {

int RunInfo(const std::vector<std::string>& args) {
    cli::TArgs a("info", args, {});
    if (!a.Ok() || !a.ExpectPositionals(1)) return cli::UsageError;
    TCurveB curve;
    if (!cli::ReadCurve("info", a.Positional(0), curve)) return cli::UsageError;
    std::printf("count %d\nxrange %.17g %.17g\nyrange %.17g %.17g\n", curve.Count(), curve.XMin, curve.XMax,
                curve.YMin, curve.YMax);
    return cli::Done;
}

const cli::TRegister reg({"info",
                          "count and ranges of a curve",
                          "Usage: graphmill-cli info FILE\n"
                          "Prints three lines: count N, xrange XMIN XMAX, yrange YMIN YMAX.\n",
                          RunInfo,
                          {{"", {}}}});

} // namespace
