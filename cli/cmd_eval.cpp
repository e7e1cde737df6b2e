// eval [--var NAME=VALUE]... FORMULA [FORMULA...]: one expression set evaluated
// once.
#include "cli/cli.h"
#include "cli/cliio.h"
#include "expr/parse.h"

#include <cstdio>
#include <memory>

namespace {

struct TVariable {
    std::string name;
    double value = 0.0;
};

// An expression set of the first `count` formulas, compiled; its evaluation is
// exactly the first `count` steps of evaluating the whole set once.
std::unique_ptr<TExpression> Build(const std::vector<TVariable>& vars,
                                   const std::vector<std::string>& formulas, size_t count) {
    auto e = std::make_unique<TExpression>();
    for (const auto& v : vars) e->AddParam(v.name);
    for (size_t k = 0; k < vars.size(); ++k) e->Params().SetValue(static_cast<int>(k + 1), vars[k].value);
    for (size_t k = 0; k < count; ++k) e->SetText(static_cast<int>(k + 1), formulas[k]);
    e->SetCount(static_cast<int>(count));
    return e;
}

const std::vector<cli::TOptionSpec> EvalOptions = {{"--var", true, true}};

int RunEval(const std::vector<std::string>& args) {
    cli::TArgs a("eval", args, EvalOptions);
    if (!a.Ok() || !a.ExpectPositionals(1, TExpression::MaxCount)) return cli::UsageError;
    std::vector<TVariable> vars;
    for (const auto& text : a.Values("--var")) {
        const size_t eq = text.find('=');
        TVariable v;
        if (eq == std::string::npos || eq == 0 || !cli::ParseNumber(text.substr(eq + 1), v.value)) {
            cli::Error("eval", "--var '" + text + "': NAME=VALUE expected, VALUE a number");
            return cli::UsageError;
        }
        v.name = text.substr(0, eq);
        // Formulas find a variable by its first 20 characters; a second one of that name would never be read.
        for (const auto& earlier : vars)
            if (earlier.name.substr(0, 20) == v.name.substr(0, 20)) {
                cli::Error("eval", "--var '" + text + "': variable " + v.name + " is given twice");
                return cli::UsageError;
            }
        vars.push_back(v);
    }
    if (vars.size() > static_cast<size_t>(TParamArray::MaxCount)) {
        cli::Error("eval", "at most 10 variables (--var) can be given");
        return cli::UsageError;
    }
    const auto& formulas = a.Positionals();
    // The set compiles all its formulas or none; the one that fails is the first
    // whose prefix fails.
    for (size_t k = 1; k <= formulas.size(); ++k)
        if (Build(vars, formulas, k)->Compile() != 0) {
            cli::Error("eval", "parse error in formula " + std::to_string(k));
            return cli::UsageError;
        }
    auto set = Build(vars, formulas, formulas.size());
    set->Compile();
    int failedAt = 0;
    const int status = cli::Guarded("eval", [&] {
        if (set->EvaluateAll() == 0) return;
        failedAt = static_cast<int>(formulas.size());
        for (size_t k = 1; k < formulas.size(); ++k) {
            auto prefix = Build(vars, formulas, k);
            prefix->Compile();
            if (prefix->EvaluateAll() != 0) {
                failedAt = static_cast<int>(k);
                break;
            }
        }
    });
    if (status != cli::Done) return status;
    if (failedAt != 0) return cli::Failed("eval", "evaluation failed in formula " + std::to_string(failedAt));
    for (size_t k = 1; k <= formulas.size(); ++k)
        if (const int fault = cli::ReportFault("eval", CheckFinite(set->Result(static_cast<int>(k))));
            fault != cli::Done)
            return fault;
    for (size_t k = 1; k <= formulas.size(); ++k) std::printf("%.17g\n", set->Result(static_cast<int>(k)));
    return cli::Done;
}

const cli::TRegister evalCommand({"eval",
                                  "evaluate formulas",
                                  "Usage: graphmill-cli eval [--var NAME=VALUE]... FORMULA [FORMULA...]\n"
                                  "Evaluates up to 10 formulas as one expression set over up to 10 "
                                  "variables (numbered in the order\n"
                                  "given) and prints each result on its own line (%.17g). Formula K may use "
                                  "EXPR(n), the value of\n"
                                  "formula n. Operators + - * / ^ (a^b^c is a^(b^c)); functions sin cos tan "
                                  "arctan exp log ln trunc;\n"
                                  "a minus is unary only at the start or after \"(\" (2*-3 does not parse; "
                                  "1e-3 neither, write 0.001).\n"
                                  "\"parse error in formula K\" exits 2, \"evaluation failed in formula K\" "
                                  "(a divisor below 1e-50)\n"
                                  "exits 1.\n"
                                  "Example: graphmill-cli eval --var x=2 'x^2' 'EXPR(1)+1'\n",
                                  RunEval,
                                  {{"", EvalOptions}}});

} // namespace
