// average [--grid min-interval|first-curve|union] FILE FILE...: several curves averaged or merged into one.
#include "cli/cli.h"
#include "cli/cliio.h"
#include "curves/opargs.h"

#include <cmath>
#include <memory>

namespace {

// The averaging dialog lists at most this many curves, the capacity of a curve set.
constexpr size_t MaxCurves = 100;

const std::vector<cli::TOptionSpec> AverageOptions = cli::CurveOptions(
    {cli::OutputOption(), {"--grid", true, false, 1, {"min-interval", "first-curve", "union"}}},
    cli::ReadsCurves | cli::WritesCurve);

int RunAverage(const std::vector<std::string>& args) {
    cli::TArgs a("average", args, AverageOptions);
    std::string grid = "min-interval";
    if (!a.Ok() || !a.Choice("--grid", grid)) return cli::UsageError;
    if (a.PositionalCount() < 2) {
        cli::Error("average", "at least two curves are needed");
        return cli::UsageError;
    }
    if (a.PositionalCount() > MaxCurves) {
        cli::Error("average", "at most 100 curves can be averaged");
        return cli::UsageError;
    }
    std::vector<std::unique_ptr<TCurveB>> curves;
    std::vector<const TCurveB*> list;
    for (const auto& path : a.Positionals()) {
        curves.push_back(std::make_unique<TCurveB>());
        if (!cli::ReadCurve(a, path, *curves.back())) return cli::UsageError;
        list.push_back(curves.back().get());
    }
    if (grid == "min-interval") {
        const double points = opargs::AverageGridPoints(list);
        if (std::isfinite(points) && points > opargs::MaxGridPoints) {
            cli::Error("average", "the min-interval grid would have " + cli::FormatGeneral(points, 12) +
                                      " points (at most " + std::to_string(opargs::MaxGridPoints) +
                                      "); use --grid first-curve or union");
            return cli::UsageError;
        }
    }
    return cli::ApplyAndWrite(a, TCurveB(), [&](TCurveB& result) {
        if (grid == "union") return TCurveB::Merge(list, result);
        return TCurveB::Average(list, grid == "min-interval", result);
    });
}

const cli::TRegister averageCommand(
    {"average",
     "average or merge several curves",
     "Usage: graphmill-cli average [--grid min-interval|first-curve|union] FILE FILE... [-o PATH]\n"
     "Averages two to 100 curves, taken in the order given, each interpolated linearly; a grid value\n"
     "counts only the curves that cover it. --grid chooses the x values of the result:\n"
     "  min-interval  (default) an even grid over the joint x range with the smallest neighbour spacing\n"
     "                (at most 67768 points)\n"
     "  first-curve   the x values of the first curve\n"
     "  union         every point of every curve, sorted by x (no averaging)\n"
     "Two neighbouring points with the same x (min-interval) or a grid value no curve covers is an\n"
     "arithmetic fault (exit 3).\n",
     RunAverage,
     {{"", AverageOptions}}});

} // namespace
