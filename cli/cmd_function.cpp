// function FORMULA --left L --right R [--steps N]: a new curve from a formula
// of x.
#include "cli/cli.h"
#include "cli/cliio.h"
#include "expr/parse.h"

#include <cmath>

namespace {

constexpr long MinSteps = 3;
constexpr long MaxSteps = 67768;

const std::vector<cli::TOptionSpec> FunctionOptions = cli::CurveOptions(
    {cli::OutputOption(), {"--left", true, false}, {"--right", true, false}, {"--steps", true, false}},
    cli::WritesCurve);

int RunFunction(const std::vector<std::string>& args) {
    cli::TArgs a("function", args, FunctionOptions);
    if (!a.Ok() || !a.ExpectPositionals(1)) return cli::UsageError;
    for (const char* required : {"--left", "--right"})
        if (!a.Has(required)) {
            cli::Error("function", std::string("option ") + required + " is required");
            return cli::UsageError;
        }
    double left = 0.0, right = 0.0;
    long steps = 100;
    if (!a.Number("--left", left, -HUGE_VAL, HUGE_VAL) || !a.Number("--right", right, -HUGE_VAL, HUGE_VAL) ||
        !a.Integer("--steps", steps, MinSteps, MaxSteps))
        return cli::UsageError;
    // The dialog keeps Right at or above Left, and moves an equal Right 0.1 past
    // Left.
    if (right < left) {
        cli::Error("function", "--right " + *a.Value("--right") + " is below --left " + *a.Value("--left"));
        return cli::UsageError;
    }
    if (right == left) right = left + 0.1;
    const std::string& formula = a.Positional(0);
    if (formula.empty()) {
        cli::Error("function", "Enter a function of x.");
        return cli::UsageError;
    }
    {
        TExpression check;
        if (check.SetExpression("x", formula) != 0) {
            cli::Error("function", "The string you have entered is not a valid function of 'x'.");
            return cli::UsageError;
        }
    }
    TCurveB curve;
    curve.SetCount(static_cast<int32_t>(steps));
    return cli::ApplyAndWrite(a, curve, [&](TCurveB& c) { return c.FromFunction(formula, right, left); });
}

const cli::TRegister
    functionCommand({"function",
                     "a new curve from a formula of x",
                     "Usage: graphmill-cli function FORMULA --left L --right R [--steps N] [-o "
                     "PATH]\n"
                     "Makes a curve of N points (default 100, 3 to 67768) from FORMULA, a "
                     "function of x, starting at L in\n"
                     "steps of (R - L) / (N - 1). Where the formula cannot be evaluated no "
                     "point is stored and the grid goes\n"
                     "on past R; values of 1e10 or more in magnitude are stored as 0. R must "
                     "not be below L (an R equal to L\n"
                     "becomes L + 0.1). An empty formula or one that does not parse exits 2.\n"
                     "Example: graphmill-cli function 'x^2' --left -1 --right 1 --steps 3\n",
                     RunFunction,
                     {{"", FunctionOptions}}});

} // namespace
