// fit [OPTIONS] FILE: a least-squares fit of a model of terms to a curve, as
// the fit panel runs it.
#include "cli/cli.h"
#include "cli/cliio.h"
#include "expr/UserFunctions.h"
#include "fit/Fit2.h"

#include <cmath>
#include <cstdio>
#include <iostream>

namespace {

// Bounds typed into the parameter rows are limited to this magnitude.
constexpr double BoundLimit = 1e12;

struct TTermSpec {
    int32_t type = TPeak::Polynomial;
    int32_t order = 1;
    std::string argument; // the file of a tabulated term, the function of a user term
};

bool ParseTermSpec(const std::string& text, TTermSpec& term) {
    const size_t colon = text.find(':');
    const std::string kind = text.substr(0, colon);
    const std::string arg = colon == std::string::npos ? "" : text.substr(colon + 1);
    static const std::pair<const char*, int32_t> plain[] = {
        {"gaussian", TPeak::Gaussian},       {"lorentzian", TPeak::Lorentzian},
        {"sinusoidal", TPeak::Sinusoidal},   {"gauss-lorentz", TPeak::GausLorentz},
        {"exponential", TPeak::Exponential},
    };
    term = TTermSpec{};
    if (kind == "polynomial") {
        long order = 1;
        if (colon != std::string::npos &&
            (!cli::ParseInteger(arg, order) || order < 0 || order > TPeak::MaxPolyOrder)) {
            cli::Error("fit", "--term " + text + ": the polynomial order must be 0 to 8");
            return false;
        }
        term.order = static_cast<int32_t>(order);
        return true;
    }
    for (const auto& [name, type] : plain)
        if (kind == name && colon == std::string::npos) {
            term.type = type;
            return true;
        }
    if ((kind == "tabulated" || kind == "user") && !arg.empty()) {
        term.type = kind == "tabulated" ? TPeak::Tabulated : TPeak::UserDefined;
        term.argument = arg;
        return true;
    }
    cli::Error("fit", "--term '" + text +
                          "': expected polynomial[:ORDER], gaussian, lorentzian, "
                          "sinusoidal, gauss-lorentz, "
                          "exponential, tabulated:PATH or user:NAME");
    return false;
}

// "T.K" (term and parameter from 1) of the model, optionally followed by
// "=VALUE".
bool ParseParamRef(const TFitParamB& fit, const std::string& option, const std::string& text, bool withValue,
                   int32_t& term, int& param, double& value) {
    const size_t eq = text.find('=');
    const std::string ref = withValue ? text.substr(0, eq) : text;
    const size_t dot = ref.find('.');
    long t = 0, k = 0;
    const bool shapeOk = (!withValue || eq != std::string::npos) && dot != std::string::npos &&
                         cli::ParseInteger(ref.substr(0, dot), t) &&
                         cli::ParseInteger(ref.substr(dot + 1), k);
    if (!shapeOk) {
        cli::Error("fit", option + " '" + text + "': " + (withValue ? "T.K=VALUE" : "T.K") + " expected");
        return false;
    }
    if (t < 1 || t > fit.TermCount()) {
        cli::Error("fit", option + " '" + text + "': the model has no term " + std::to_string(t));
        return false;
    }
    if (k < 1 || k > fit.Term(static_cast<int32_t>(t - 1)).nparams) {
        cli::Error("fit", option + " '" + text + "': term " + std::to_string(t) + " has no parameter " +
                              std::to_string(k));
        return false;
    }
    if (withValue && !cli::ParseNumber(text.substr(eq + 1), value)) {
        cli::Error("fit", option + " '" + text + "': '" + text.substr(eq + 1) + "' is not a number");
        return false;
    }
    term = static_cast<int32_t>(t - 1);
    param = static_cast<int>(k);
    return true;
}

const std::vector<cli::TOptionSpec> FitOptions = {
    cli::OutputOption(),
    {"--term", true, true},
    {"--library", true, false},
    {"--range", true, false, 2},
    {"--min", true, true},
    {"--max", true, true},
    {"--no-guess", false, false},
    {"--set", true, true},
    {"--lock", true, true},
    {"--tolerance", true, false},
    {"--max-iterations", true, false},
    {"--generate-term", true, false},
};

int RunFit(const std::vector<std::string>& args) {
    cli::TArgs a("fit", args, FitOptions);
    if (!a.Ok() || !a.ExpectPositionals(1)) return cli::UsageError;
    if (a.Value("-o") == "-") {
        cli::Error("fit", "-o -: the result text goes to standard output; give the curve a file");
        return cli::UsageError;
    }
    TFitParamB fit;
    double tolerance = fit.tolerance;
    long maxIterations = fit.maxIterations;
    if (!a.Number("--tolerance", tolerance, -HUGE_VAL, HUGE_VAL) ||
        !a.Integer("--max-iterations", maxIterations, 0, 10000))
        return cli::UsageError;
    std::vector<TTermSpec> specs;
    for (const auto& text : a.Values("--term")) {
        specs.emplace_back();
        if (!ParseTermSpec(text, specs.back())) return cli::UsageError;
    }
    if (specs.empty()) {
        cli::Error("fit", "no model: give at least one --term");
        return cli::UsageError;
    }
    if (specs.size() > static_cast<size_t>(TFitParamA::MaxTerms)) {
        cli::Error("fit", "a model has at most 10 terms");
        return cli::UsageError;
    }
    TUserFunctionList library;
    const auto libPath = a.Value("--library");
    if (libPath && library.Load(*libPath) != 0) {
        cli::Error("fit", *libPath + ": cannot read the function library");
        return cli::UsageError;
    }
    TCurveB curve;
    if (!cli::ReadCurve("fit", a.Positional(0), curve)) return cli::UsageError;
    long first = 1, last = curve.Count();
    if (a.Has("--range")) {
        const auto r = a.Values("--range");
        if (!cli::ParseInteger(r[0], first) || !cli::ParseInteger(r[1], last) || first < 1 ||
            last > curve.Count() || first > last) {
            cli::Error("fit", "--range " + r[0] + " " + r[1] + ": point indices FIRST <= LAST within 1 to " +
                                  std::to_string(curve.Count()) + " expected");
            return cli::UsageError;
        }
    }
    if (!fit.SetData(curve, static_cast<int32_t>(first), static_cast<int32_t>(last)))
        return cli::Failed("fit", "the fit range holds fewer than 4 points");

    // The model, in the order given. Tabulated terms are sampled at the data
    // points of the range.
    for (const auto& term : specs) {
        if (term.type == TPeak::Tabulated) {
            std::string error;
            bool added = false;
            // Sampling interpolates the file's curve at the data points; a curve whose points share one x
            // can divide by a zero width there.
            TArithFault fault = RunGuarded([&] { added = fit.AddTabulatedTerm(term.argument, &error); });
            if (fault == TArithFault::None && added && fit.Term(fit.TermCount() - 1).tabulated)
                fault = CheckFinite(*fit.Term(fit.TermCount() - 1).tabulated);
            if (fault != TArithFault::None) {
                cli::Error("fit", "--term tabulated:" + term.argument + ": " + ArithFaultMessage(fault));
                return cli::ArithmeticFault;
            }
            if (!added) {
                cli::Error("fit", "The file you have chosen is not a valid data file." +
                                      (error.empty() ? " (" + term.argument + ")" : " (" + error + ")"));
                return cli::UsageError;
            }
        } else if (term.type == TPeak::UserDefined) {
            if (!libPath) {
                cli::Error("fit", "--term user:" + term.argument + " needs --library LIBFILE");
                return cli::UsageError;
            }
            const int index = library.IndexOf(term.argument);
            if (index < 0) {
                cli::Error("fit", *libPath + ": no function named '" + term.argument + "'");
                return cli::UsageError;
            }
            if (!fit.AddUserTerm(*library.Get(index))) {
                cli::Error("fit", "user function '" + term.argument + "' does not compile");
                return cli::UsageError;
            }
        } else {
            fit.AddTerm(term.type, term.order);
        }
    }

    int32_t term = 0;
    int param = 0;
    double value = 0.0;
    for (const char* option : {"--min", "--max"})
        for (const auto& text : a.Values(option)) {
            if (!ParseParamRef(fit, option, text, true, term, param, value)) return cli::UsageError;
            if (std::fabs(value) > BoundLimit) {
                cli::Error("fit", std::string(option) + " '" + text + "': bounds lie within -1e12 to 1e12");
                return cli::UsageError;
            }
            TPeak& p = fit.Term(term);
            (option[2] == 'm' && option[3] == 'i' ? p.min : p.max)[static_cast<size_t>(param)] = value;
        }
    for (int32_t t = 0; t < fit.TermCount(); ++t)
        for (int k = 1; k <= fit.Term(t).nparams; ++k)
            if (fit.Term(t).min[static_cast<size_t>(k)] > fit.Term(t).max[static_cast<size_t>(k)]) {
                cli::Error("fit", "parameter " + std::to_string(t + 1) + "." + std::to_string(k) +
                                      ": its min lies above its max");
                return cli::UsageError;
            }
    std::vector<std::pair<std::pair<int32_t, int>, double>> sets;
    for (const auto& text : a.Values("--set")) {
        if (!ParseParamRef(fit, "--set", text, true, term, param, value)) return cli::UsageError;
        sets.push_back({{term, param}, value});
    }
    std::vector<std::pair<int32_t, int>> locks;
    for (const auto& text : a.Values("--lock")) {
        if (!ParseParamRef(fit, "--lock", text, false, term, param, value)) return cli::UsageError;
        locks.push_back({term, param});
    }
    long generateTerm = 0;
    if (!a.Integer("--generate-term", generateTerm, 1, fit.TermCount())) return cli::UsageError;
    if (generateTerm != 0 && !a.Has("-o")) {
        cli::Error("fit", "--generate-term needs -o PATH");
        return cli::UsageError;
    }
    fit.tolerance = tolerance;
    fit.maxIterations = static_cast<int32_t>(maxIterations);

    bool started = false;
    TCurveB generated(curve);
    bool generatedOk = false;
    const int status = cli::Guarded("fit", [&] {
        // Adding each term with "Initialize fit" checked guesses every term so far,
        // in model order, on one copy of the curve from which each built-in term's
        // guess is subtracted for the next.
        if (!a.Has("--no-guess"))
            for (int32_t added = 1; added <= fit.TermCount(); ++added) {
                TCurveB work(curve);
                for (int32_t t = 0; t < added; ++t)
                    fit.Term(t).InitialGuess(work, static_cast<int32_t>(first), static_cast<int32_t>(last),
                                             true);
            }
        // A typed value is clamped to the parameter's bounds when the edit is left.
        for (const auto& [ref, v] : sets) {
            const TPeak& p = fit.Term(ref.first);
            const size_t k = static_cast<size_t>(ref.second);
            fit.Term(ref.first).SetValue(ref.second, std::clamp(v, p.min[k], p.max[k]));
        }
        for (const auto& [t, k] : locks) fit.Term(t).lock[static_cast<size_t>(k)] = true;
        started = fit.RunFit();
        if (started && fit.Failed() == 0 && a.Has("-o"))
            generatedOk =
                fit.ModelCurve(generated, generateTerm != 0 ? static_cast<int32_t>(generateTerm - 1) : -1);
    });
    if (status != cli::Done) return status;
    if (!started)
        return cli::Failed("fit", fit.LastError().empty() ? "the fit could not start" : fit.LastError());
    std::fputs(fit.ResultText().c_str(), stdout);
    std::fflush(stdout);
    if (fit.Failed() != 0) return cli::OperationFailed;
    if (!a.Has("-o")) return cli::Done;
    if (!generatedOk)
        return cli::Failed("fit", "the model curve cannot be generated over this curve's x range");
    if (const int fault = cli::ReportFault("fit", CheckFinite(generated)); fault != cli::Done) return fault;
    return cli::WriteCurve(a, generated);
}

const cli::TRegister fitCommand({"fit", "least-squares fit of a model of terms",
                                 "Usage: graphmill-cli fit --term TERM [--term TERM]... [OPTIONS] FILE\n"
                                 "Fits the sum of the terms to the curve in FILE by damped least squares "
                                 "and prints the result text.\n"
                                 "  --term TERM          a term, in model order (at most 10): "
                                 "polynomial[:ORDER] (ORDER 0 to 8, default\n"
                                 "                       1), gaussian, lorentzian, sinusoidal, "
                                 "gauss-lorentz, exponential,\n"
                                 "                       tabulated:PATH (a curve file sampled at the data "
                                 "points), user:NAME\n"
                                 "  --library LIBFILE    the function library of user terms\n"
                                 "  --range FIRST LAST   the data points fitted (point indices; default "
                                 "the whole curve, at least 4)\n"
                                 "  --min T.K=VALUE      lower bound of parameter K of term T (both from "
                                 "1); |VALUE| <= 1e12\n"
                                 "  --max T.K=VALUE      upper bound\n"
                                 "  --no-guess           keep the terms' defaults instead of the initial "
                                 "guesses from the data\n"
                                 "  --set T.K=VALUE      start value (clamped to the bounds), applied "
                                 "after the guesses\n"
                                 "  --lock T.K           hold the parameter fixed\n"
                                 "  --tolerance T        convergence tolerance (1e-4)\n"
                                 "  --max-iterations N   0 to 10000 (100)\n"
                                 "  -o PATH              also write the model over the curve's points (the "
                                 "Generate curve)\n"
                                 "  --generate-term T    with -o: term T alone instead of the whole model\n"
                                 "The bounds are set first, then the initial guesses (clipped to the "
                                 "bounds), then --set and --lock.\n"
                                 "Exit 0 when the tolerance was met or the iterations ran out, 1 when the "
                                 "fit failed (\"ERROR:  matrix\n"
                                 "does not converge!!!\") or could not start (fewer data points than "
                                 "parameters plus one).\n"
                                 "Example: graphmill-cli fit --term gaussian --term polynomial:0 peak.dat "
                                 "-o model.dat\n",
                                 RunFit});

} // namespace
