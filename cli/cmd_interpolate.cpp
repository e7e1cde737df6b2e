// interpolate [--interval H] [--offset S] FILE: the curve resampled onto an even grid.
#include "cli/cli.h"
#include "cli/cliio.h"

#include <cmath>

namespace {

// The interpolation dialog's limits of the interval, as fractions of the curve's x span.
constexpr double FinestIntervalFactor = 1.475644487730016e-5; // 1 / 67767
constexpr double CoarsestIntervalFactor = 1.0 / 3.0;

int RunInterpolate(const std::vector<std::string>& args) {
    cli::TArgs a("interpolate", args,
                 {cli::OutputOption(), {"--interval", true, false}, {"--offset", true, false}});
    if (!a.Ok() || !a.ExpectPositionals(1)) return cli::UsageError;
    TCurveB curve;
    if (!cli::ReadCurve("interpolate", a.Positional(0), curve)) return cli::UsageError;
    // The dialog's presets, read back from its fields as shown; its limits apply to typed values only, and
    // not at all when they coincide (a curve without x span).
    const double span = curve.XMax - curve.XMin;
    double offset = cli::AsShownInField(curve.XMin);
    double interval = cli::AsShownInField(curve.MinSpacing());
    const bool limited = span != 0.0;
    if (limited) {
        if (!a.Number("--offset", offset, curve.XMin, curve.XMax) ||
            !a.Number("--interval", interval, span * FinestIntervalFactor, span * CoarsestIntervalFactor))
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
    {"interpolate", "resample onto an even grid",
     "Usage: graphmill-cli interpolate [--interval H] [--offset S] FILE [-o PATH]\n"
     "Resamples the curve by linear interpolation onto the grid S + k H that lies inside [XMin, XMax)\n"
     "(a grid value equal to XMax is left out). Defaults: S = XMin and H = the smallest spacing of\n"
     "neighbouring x values, each to 5 significant digits as the interpolation dialog shows them.\n"
     "Limits: S from XMin to XMax, H from span/67767 to span/3 (span = XMax - XMin).\n"
     "\"Error performing interpolation operation.\" (exit 1) when fewer than two grid points result or the\n"
     "curve, which should be sorted by x, cannot give a grid value.\n",
     RunInterpolate});

} // namespace
