// interpolate [--interval H] [--offset S] FILE: the curve resampled onto an even grid.
#include "cli/cli.h"
#include "cli/cliio.h"
#include "curves/opargs.h"

#include <cmath>

namespace {

const std::vector<cli::TOptionSpec> InterpolateOptions =
    cli::CurveOptions({cli::OutputOption(), {"--interval", true, false}, {"--offset", true, false}},
                      cli::ReadsCurves | cli::WritesCurve);

int RunInterpolate(const std::vector<std::string>& args) {
    cli::TArgs a("interpolate", args, InterpolateOptions);
    if (!a.Ok() || !a.ExpectPositionals(1)) return cli::UsageError;
    TCurveB curve;
    if (!cli::ReadCurve(a, a.Positional(0), curve)) return cli::UsageError;
    // The dialog's presets (within its limits), whole as the dialog keeps them; the limits do not apply when
    // they coincide (a curve without x span).
    const auto f = opargs::InterpolationFields(curve);
    double offset = f.offset;
    double interval = f.interval;
    if (f.offsetMin != f.offsetMax) {
        if (!a.Number("--offset", offset, f.offsetMin, f.offsetMax) ||
            !a.Number("--interval", interval, f.intervalMin, f.intervalMax))
            return cli::UsageError;
    } else if (!a.Number("--offset", offset, -HUGE_VAL, HUGE_VAL) ||
               !a.Number("--interval", interval, -HUGE_VAL, HUGE_VAL)) {
        return cli::UsageError;
    }
    return cli::ApplyAndWrite(
        a, curve, [&](TCurveB& c) { return c.Resample(interval, offset); },
        "Error performing interpolation operation.");
}

const cli::TRegister interpolateCommand(
    {"interpolate",
     "resample onto an even grid",
     "Usage: graphmill-cli interpolate [--interval H] [--offset S] FILE [-o PATH]\n"
     "Resamples the curve by linear interpolation onto the grid S + k H that lies inside [XMin, XMax)\n"
     "(a grid value equal to XMax is left out). Defaults: S = XMin and H = the smallest spacing of\n"
     "neighbouring x values (brought within the limits), each with all its digits (the interpolation\n"
     "dialog shows 5 of them and keeps the rest).\n"
     "Limits: S from XMin to XMax, H from span/67767 to span/3 (span = XMax - XMin).\n"
     "\"Error performing interpolation operation.\" (exit 1) when fewer than two grid points result or the\n"
     "curve, which should be sorted by x, cannot give a grid value.\n",
     RunInterpolate,
     {{"", InterpolateOptions}}});

} // namespace
