// The point-wise operations of the Operate menu: derivative, integral, timesx, inverse, log, remove-range.
#include "cli/cli.h"
#include "cli/cliio.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace {

// Every command here takes -o alone.
const std::vector<cli::TOptionSpec> SimpleOptions =
    cli::CurveOptions({cli::OutputOption()}, cli::ReadsCurves | cli::WritesCurve);

// One FILE in, the operation on its copy, the curve out; `why` tells why the operation failed on the curve.
int RunSimple(const std::string& command, const std::vector<std::string>& args,
              const std::function<bool(TCurveB&)>& op, std::string (TCurveB::*why)() const = nullptr,
              const std::function<void()>& report = {}) {
    cli::TArgs a(command, args, SimpleOptions);
    if (!a.Ok() || !a.ExpectPositionals(1)) return cli::UsageError;
    TCurveB curve;
    if (!cli::ReadCurve(a, a.Positional(0), curve)) return cli::UsageError;
    return cli::ApplyAndWrite(a, curve, op, why == nullptr ? "" : command + " " + (curve.*why)(), report);
}

std::string SimpleHelp(const std::string& command, const std::string& what) {
    return "Usage: graphmill-cli " + command + " FILE [-o PATH]\n" + what;
}

const cli::TRegister derivativeCommand(
    {"derivative",
     "dy/dx of a curve",
     SimpleHelp("derivative",
                "Replaces y by dy/dx (second-order differences on the uneven grid, exact for parabolas).\n"
                "Fails (exit 1) when the first or last point has no two neighbours with larger (smaller) x,\n"
                "for example a curve of fewer than three points or one sorted downwards in x.\n"),
     [](const std::vector<std::string>& args) {
         return RunSimple(
             "derivative", args, [](TCurveB& c) { return c.Derivative(); }, &TCurveB::DerivativeRefusal);
     },
     {{"", SimpleOptions}}});

int RunIntegral(const std::vector<std::string>& args) {
    double total = 0.0;
    return RunSimple(
        "integral", args,
        [&](TCurveB& c) {
            const bool ok = c.Integral(total);
            // An infinite total with finite running values cannot happen, but the report must not print one.
            return ok && std::isfinite(total);
        },
        &TCurveB::IntegralRefusal,
        [&] { std::cerr << "Definite integral:  " << cli::FormatGeneral(total, 5) << "\n"; });
}

const cli::TRegister integralCommand(
    {"integral",
     "running integral; the definite integral on standard error",
     SimpleHelp("integral",
                "Replaces y by the running integral, the trapezoid sum along the straight lines between the\n"
                "points (0 at the first point). Standard error gets \"Definite integral:  \" and the total\n"
                "with 5 significant digits. Fails below two points.\n"),
     RunIntegral,
     {{"", SimpleOptions}}});

// A point-wise operation that cannot fail: FILE in, the operation on its copy, the curve out.
cli::TCommand PointwiseCommand(const std::string& name, const std::string& summary, const std::string& what,
                               void (TCurveB::*op)()) {
    return {name,
            summary,
            SimpleHelp(name, what),
            [name, op](const std::vector<std::string>& args) {
                return RunSimple(name, args, [op](TCurveB& c) {
                    (c.*op)();
                    return true;
                });
            },
            {{"", SimpleOptions}}};
}

const cli::TRegister timesxCommand(PointwiseCommand("timesx", "y multiplied by x", "y := x * y.\n",
                                                    &TCurveB::TimesX));
const cli::TRegister inverseCommand(PointwiseCommand("inverse", "reciprocal of y (0 stays 0)",
                                                     "y := 1 / y; points with y = 0 keep 0.\n",
                                                     &TCurveB::Inverse));
const cli::TRegister logCommand(PointwiseCommand("log", "common logarithm of y",
                                                 "y := log10 y; y <= 1e-30 gives 1e-50.\n", &TCurveB::Log10));

int RunRemoveRange(const std::vector<std::string>& args) {
    cli::TArgs a("remove-range", args, SimpleOptions);
    if (!a.Ok() || !a.ExpectPositionals(3)) return cli::UsageError;
    long index[2] = {0, 0};
    for (int k = 0; k < 2; ++k)
        if (!cli::ParseInteger(a.Positional(k), index[k])) {
            cli::Error("remove-range", "'" + a.Positional(k) + "' is not a point index");
            return cli::UsageError;
        }
    TCurveB curve;
    if (!cli::ReadCurve(a, a.Positional(2), curve)) return cli::UsageError;
    for (long i : index)
        if (i < 1 || i > curve.Count()) {
            cli::Error("remove-range", "point index " + std::to_string(i) + " is outside the curve (1 to " +
                                           std::to_string(curve.Count()) + ")");
            return cli::UsageError;
        }
    // The window's own rule: a range that would leave fewer than two points is refused.
    if (std::labs(index[1] - index[0]) >= curve.Count() - 1)
        return cli::Failed("remove-range", "Invalid points");
    return cli::ApplyAndWrite(a, curve, [&](TCurveB& c) {
        return c.RemoveRange(static_cast<int32_t>(index[0]), static_cast<int32_t>(index[1]));
    });
}

const cli::TRegister removeRangeCommand(
    {"remove-range",
     "delete the points FIRST..LAST",
     "Usage: graphmill-cli remove-range FIRST LAST FILE [-o PATH]\n"
     "Deletes the points FIRST to LAST (point indices from 1). \"Invalid points\" (exit 1) when the indices\n"
     "are Count - 1 or more apart; FIRST above LAST fails (exit 1); an index outside 1..Count exits 2.\n",
     RunRemoveRange,
     {{"", SimpleOptions}}});

} // namespace
