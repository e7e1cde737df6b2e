// constant OP C FILE: a constant added to, multiplied into, or applied to the x axis of a curve;
// math OP FILE OTHER: two curves combined point by point.
#include "cli/cli.h"
#include "cli/cliio.h"
#include "curves/opargs.h"

#include <utility>

namespace {

struct TConstantOp {
    const char* name;
    bool xAxis;      // acts on x (shift, stretch) rather than y
    bool scale;      // Scale rather than Offset
    bool reciprocal; // the constant's reciprocal is applied (divide, shrink)
    double sign;     // subtract and shift-left negate the constant
};

// The eight buttons of the scaling tool, in its order.
constexpr TConstantOp ConstantOps[] = {
    {"add", false, false, false, 1.0},        {"subtract", false, false, false, -1.0},
    {"multiply", false, true, false, 1.0},    {"divide", false, true, true, 1.0},
    {"shift-right", true, false, false, 1.0}, {"shift-left", true, false, false, -1.0},
    {"stretch", true, true, false, 1.0},      {"shrink", true, true, true, 1.0},
};

// Both commands take -o alone.
const std::vector<cli::TOptionSpec> ArithOptions =
    cli::CurveOptions({cli::OutputOption()}, cli::ReadsCurves | cli::WritesCurve);

std::vector<std::string> ConstantOpNames() {
    std::vector<std::string> names;
    for (const auto& o : ConstantOps) names.emplace_back(o.name);
    return names;
}

int RunConstant(const std::vector<std::string>& args) {
    cli::TArgs a("constant", args, ArithOptions);
    if (!a.Ok() || !a.ExpectPositionals(3)) return cli::UsageError;
    const TConstantOp* op = nullptr;
    for (const auto& o : ConstantOps)
        if (a.Positional(0) == o.name) op = &o;
    if (op == nullptr) {
        cli::Error("constant",
                   "unknown operation '" + a.Positional(0) +
                       "' (add, subtract, multiply, divide, shift-right, shift-left, stretch, shrink)");
        return cli::UsageError;
    }
    double c = 0.0;
    if (!cli::ParseNumber(a.Positional(1), c)) {
        cli::Error("constant", "'" + a.Positional(1) + "' is not a number");
        return cli::UsageError;
    }
    double v = op->sign * c;
    if (op->reciprocal && !opargs::Reciprocal(c, v)) {
        cli::Error("constant", std::string(op->name) + " by " + a.Positional(1) +
                                   " refused: its reciprocal is not a finite number");
        return cli::UsageError;
    }
    TCurveB curve;
    if (!cli::ReadCurve(a, a.Positional(2), curve)) return cli::UsageError;
    return cli::ApplyAndWrite(a, curve, [&](TCurveB& w) {
        if (op->scale)
            op->xAxis ? w.Scale(v, 1.0) : w.Scale(1.0, v);
        else
            op->xAxis ? w.Offset(v, 0.0) : w.Offset(0.0, v);
        return true;
    });
}

const cli::TRegister constantCommand(
    {"constant", "add, multiply, shift or stretch by a constant",
     "Usage: graphmill-cli constant OP C FILE [-o PATH]\n"
     "Applies the constant C to the curve in FILE. OP is one of:\n"
     "  add          y + C             subtract     y - C\n"
     "  multiply     y * C             divide       y / C (1 / C must be a finite number)\n"
     "  shift-right  x + C             shift-left   x - C\n"
     "  stretch      x * C             shrink       x / C (1 / C must be a finite number)\n"
     "A negative stretch or shrink reverses the x axis; the points are then sorted by x again.\n"
     "C may be negative (constant add -2.5 a.dat).\n",
     RunConstant, cli::WordForms(ConstantOpNames(), ArithOptions)});

// The codes of the curve math tool's buttons.
const std::pair<const char*, int> MathOps[] = {{"add", TCurveB::MathAdd},
                                               {"subtract", TCurveB::MathSubtract},
                                               {"multiply", TCurveB::MathMultiply},
                                               {"divide", TCurveB::MathDivide}};

std::vector<std::string> MathOpNames() {
    std::vector<std::string> names;
    for (const auto& op : MathOps) names.emplace_back(op.first);
    return names;
}

int RunMath(const std::vector<std::string>& args) {
    cli::TArgs a("math", args, ArithOptions);
    if (!a.Ok() || !a.ExpectPositionals(3)) return cli::UsageError;
    int code = 0;
    for (const auto& [name, c] : MathOps)
        if (a.Positional(0) == name) code = c;
    if (code == 0) {
        cli::Error("math", "unknown operation '" + a.Positional(0) + "' (add, subtract, multiply, divide)");
        return cli::UsageError;
    }
    TCurveB curve, other;
    if (!cli::ReadCurve(a, a.Positional(1), curve) || !cli::ReadCurve(a, a.Positional(2), other))
        return cli::UsageError;
    return cli::ApplyAndWrite(a, curve, [&](TCurveB& c) {
        c.CurveMath(other, code);
        return true;
    });
}

const cli::TRegister mathCommand(
    {"math", "add, subtract, multiply or divide two curves",
     "Usage: graphmill-cli math OP FILE OTHER [-o PATH]\n"
     "Combines the curve in FILE (the left operand) with OTHER interpolated linearly at each x of FILE:\n"
     "OP is add, subtract, multiply or divide. Points of FILE outside OTHER's x range keep their values,\n"
     "and so do points where the divisor's magnitude is 1e-8 or less.\n",
     RunMath, cli::WordForms(MathOpNames(), ArithOptions)});

} // namespace
