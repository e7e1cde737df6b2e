// fit [OPTIONS] FILE: a least-squares fit of a model of terms to a curve, as
// the fit panel runs it.
#include "cli/cli.h"
#include "cli/cliio.h"
#include "cli/fitbatch.h"
#include "curves/real48.h"
#include "expr/UserFunctions.h"
#include "fit/Fit2.h"
#include "fit/peakfigures.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <optional>

namespace {

// Bounds are limited to what the function library can hold, as in the fit panel's rows.
constexpr double BoundLimit = Real48Max;

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
        {"gaussian", TPeak::Gaussian},
        {"lorentzian", TPeak::Lorentzian},
        {"sinusoidal", TPeak::Sinusoidal},
        {"gauss-lorentz", TPeak::GausLorentz},
        {"exponential", TPeak::Exponential},
        {"voigt", TPeak::Voigt},
        {"pseudo-voigt", TPeak::PseudoVoigt},
        {"pearson7", TPeak::Pearson7},
        {"split-gaussian", TPeak::SplitGaussian},
        {"split-lorentzian", TPeak::SplitLorentzian},
        {"logistic", TPeak::Logistic},
        {"emg", TPeak::ExpGaussian},
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
                          "sinusoidal, gauss-lorentz, exponential, voigt, pseudo-voigt, pearson7, "
                          "split-gaussian, split-lorentzian, logistic, emg, tabulated:PATH or user:NAME");
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

const std::vector<cli::TOptionSpec> FitOptions = cli::CurveOptions(
    {
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
        {"--converge", true, false, 1, {"tolerance", "relative"}},
        {"--ftol", true, false},
        {"--xtol", true, false},
        {"--max-iterations", true, false},
        {"--generate-term", true, false},
        {"--json", false, false},
        {"--report", true, false, 1, {"text", "full"}},
        {"--residuals", true, false},
        {"--model-at-points", true, false},
        {"--jobs", true, false},
        {"--chain", false, false},
        {"--weights", true, false, 1, {"none", "sigma", "poisson", "relative"}},
        {"--sigma", true, false},
        {"--confidence", true, false},
        {"--band", true, false},
    },
    cli::ReadsCurves | cli::WritesCurve);

// v so that it reads back to the same double (the shortest such form); null for what JSON cannot hold.
std::string JsonNumber(double v) {
    if (!std::isfinite(v)) return "null";
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

// Length of the well-formed UTF-8 sequence at text[i], or 0 when the byte there starts none.
std::size_t Utf8Length(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t k) {
        return k < text.size() ? static_cast<unsigned char>(text[k]) : 0u;
    };
    const unsigned b = byte(i);
    const auto follows = [&](std::size_t k, unsigned lo, unsigned hi) {
        return byte(k) >= lo && byte(k) <= hi;
    };
    if (b < 0x80) return 1;
    if (b >= 0xC2 && b <= 0xDF) return follows(i + 1, 0x80, 0xBF) ? 2 : 0;
    if (b >= 0xE0 && b <= 0xEF) {
        const unsigned lo = b == 0xE0 ? 0xA0 : 0x80, hi = b == 0xED ? 0x9F : 0xBF;
        return follows(i + 1, lo, hi) && follows(i + 2, 0x80, 0xBF) ? 3 : 0;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        const unsigned lo = b == 0xF0 ? 0x90 : 0x80, hi = b == 0xF4 ? 0x8F : 0xBF;
        return follows(i + 1, lo, hi) && follows(i + 2, 0x80, 0xBF) && follows(i + 3, 0x80, 0xBF) ? 4 : 0;
    }
    return 0;
}

// A JSON string of text. Bytes that are not UTF-8 (names from libraries written in a single-byte code
// page) are read as Latin-1, so that the output stays valid JSON.
std::string JsonString(const std::string& text) {
    std::string s = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        const std::size_t n = Utf8Length(text, i);
        if (c == '"' || c == '\\') {
            s += '\\';
            s += c;
        } else if (n == 0 || static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
            s += buf;
        } else {
            s.append(text, i, n);
            i += n;
            continue;
        }
        ++i;
    }
    return s + '"';
}

// "figures": the peak figures of every peak-shaped term, each figure with its standard error.
std::string FiguresJson(const TFitParamB& fit) {
    std::string j = "  \"figures\": [";
    const char* separator = "\n";
    for (int32_t t = 0; t < fit.TermCount(); ++t) {
        const std::vector<double> cov = fit.TermCovariance(t);
        TPeakFigures f;
        if (!peakfigures::Figures(fit.Term(t), cov.empty() ? nullptr : cov.data(), f)) continue;
        j += separator;
        j += "    {\"term\": " + std::to_string(t + 1) + ", \"type\": " + JsonString(fit.Term(t).TypeName());
        for (const auto& [name, figure] : {std::pair{"centre", f.centre}, std::pair{"height", f.height},
                                           std::pair{"area", f.area}, std::pair{"fwhm", f.fwhm}})
            j += std::string(", \"") + name + "\": {\"value\": " + JsonNumber(figure.value) +
                 ", \"sigma\": " + JsonNumber(figure.sigma) + "}";
        j += "}";
        separator = ",\n";
    }
    return j + (separator[0] == ',' ? "\n  ]\n" : "]\n");
}

// ---- weights, covariance and confidence

// The weighting the options ask for (--weights, by default sigma when --sigma is given, else none) and the
// curve of --sigma; false after saying what is wrong. The same for every file fitted.
bool WeightsOption(const cli::TArgs& a, TWeighting& weighting, std::optional<TCurveB>& sigmaCurve) {
    const auto sigmaPath = a.Value("--sigma");
    std::string name = sigmaPath ? "sigma" : "none";
    if (!a.Choice("--weights", name)) return false;
    WeightingFromName(name, weighting);
    if (sigmaPath && weighting != TWeighting::Sigma) {
        cli::Error("fit", "--sigma belongs to --weights sigma");
        return false;
    }
    if (sigmaPath && !cli::ReadCurve("fit", *sigmaPath, sigmaCurve.emplace())) return false;
    return true;
}

// Sets the weights of points first..last of the file's curve; false after saying what is wrong.
bool ApplyWeights(const cli::TArgs& a, const std::string& file, const TCurveB& curve, int32_t first,
                  int32_t last, TWeighting weighting, const std::optional<TCurveB>& sigmaCurve,
                  TFitParamB& fit) {
    const auto sigmaPath = a.Value("--sigma");
    std::vector<double> sigmas;
    std::string error;
    if (weighting == TWeighting::Sigma &&
        !SigmasOfRange(curve, sigmaCurve ? &*sigmaCurve : nullptr, first, last, sigmas, error)) {
        cli::Error("fit", "--weights sigma: " + (sigmaPath ? *sigmaPath : file) + ": " + error +
                              (sigmaPath ? "" : " (give --sigma PATH)"));
        return false;
    }
    if (!fit.SetWeights(weighting, sigmas, &error)) {
        cli::Error("fit", "--weights " + std::string(WeightingName(weighting)) + ": " +
                              (sigmaPath ? *sigmaPath : file) + ": " + error);
        return false;
    }
    return true;
}

// "weights", "confidence", "dof", the free parameters and their covariance and correlation, as members of
// the result object.
std::string CovarianceJson(const TFitParamB& fit) {
    const size_t n = fit.FreeParams().size();
    auto matrix = [&](const std::vector<double>& m) {
        std::string s = "[";
        for (size_t i = 0; i < n; ++i) {
            s += i == 0 ? "[" : ", [";
            for (size_t j = 0; j < n; ++j)
                s += (j == 0 ? "" : ", ") +
                     (m.size() == n * n ? JsonNumber(m[i * n + j]) : std::string("null"));
            s += "]";
        }
        return s + "]";
    };
    std::string j = "  \"weights\": " + JsonString(WeightingName(fit.Weighting())) + ",\n";
    j += "  \"sigmas\": " + JsonString(MeasuredSigmas(fit.Weighting()) ? "measured" : "scaled") + ",\n";
    j += "  \"confidence\": " + JsonNumber(fit.confidence) + ",\n";
    j += "  \"t\": " + JsonNumber(fit.TQuantile()) + ",\n";
    j += "  \"dof\": " + std::to_string(fit.DegreesOfFreedom()) + ",\n";
    j += "  \"free_parameters\": [";
    for (size_t i = 0; i < n; ++i)
        j += (i == 0 ? "{\"term\": " : ", {\"term\": ") + std::to_string(fit.FreeParams()[i].term + 1) +
             ", \"index\": " + std::to_string(fit.FreeParams()[i].k) + "}";
    j += "],\n";
    j += "  \"covariance\": " + matrix(fit.FreeCovariance()) + ",\n";
    j += "  \"correlation\": " + matrix(fit.Correlation()) + ",\n";
    return j;
}

// The members "ci_low" and "ci_high" of parameter k of term t.
std::string IntervalJson(const TFitParamB& fit, int32_t t, int k) {
    double low = 0.0, high = 0.0;
    fit.ConfidenceInterval(t, k, low, high);
    return ", \"ci_low\": " + JsonNumber(low) + ", \"ci_high\": " + JsonNumber(high);
}

// The result as one JSON object: the figures of the result text in full precision, and every parameter with
// its bounds and lock. Parameter names lose the padding the result text aligns them with.
std::string ResultJson(const TFitParamB& fit) {
    static const char* const statusNames[] = {"converged", "max_iterations", "failed"};
    std::string j = "{\n";
    j += "  \"status\": " + JsonString(statusNames[static_cast<int>(fit.Status())]) + ",\n";
    // The status line; for a failed fit the line that says what failed.
    const std::vector<std::string> lines = fit.ResultLines();
    j += "  \"message\": " + JsonString(lines[fit.Failed() != 0 && lines.size() > 1 ? 1 : 0]) + ",\n";
    j += "  \"iterations\": " + std::to_string(fit.iterations) + ",\n";
    j += "  \"points\": " + std::to_string(fit.PointCount()) + ",\n";
    j += "  \"chi_square\": " + JsonNumber(fit.SumOfSquares()) + ",\n";
    j += "  \"reduced_chi_square\": " + JsonNumber(fit.ReducedChiSquare()) + ",\n";
    j += "  \"reported\": " + JsonNumber(fit.Rms()) + ",\n";
    j += "  \"r_squared\": " + JsonNumber(fit.RSquared()) + ",\n";
    j += CovarianceJson(fit);
    j += "  \"parameters\": [";
    const char* separator = "\n";
    for (int32_t t = 0; t < fit.TermCount(); ++t) {
        const TPeak& p = fit.Term(t);
        for (int k = 1; k <= p.nparams; ++k) {
            const size_t i = static_cast<size_t>(k);
            std::string name = p.ParamName(k);
            name.erase(name.find_last_not_of(' ') + 1);
            j += separator;
            j += "    {\"term\": " + std::to_string(t + 1) + ", \"index\": " + std::to_string(k) +
                 ", \"type\": " + JsonString(p.TypeName()) + ", \"name\": " + JsonString(name) +
                 ", \"value\": " + JsonNumber(p.value[i]) + ", \"sigma\": " + JsonNumber(p.sigma[i]) +
                 ", \"locked\": " + (p.lock[i] ? "true" : "false") + ", \"min\": " + JsonNumber(p.min[i]) +
                 ", \"max\": " + JsonNumber(p.max[i]) + ", \"at_bound\": " +
                 (BoundReached(p, k) != nullptr ? JsonString(BoundReached(p, k)) : std::string("null")) +
                 IntervalJson(fit, t, k) + "}";
            separator = ",\n";
        }
    }
    j += "\n  ],\n";
    j += FiguresJson(fit);
    j += "}\n";
    return j;
}

// The fit of one file; `out` gathers what it gave, the exit status is returned.
int FitFileRun(const cli::TArgs& a, const std::string& file, const cli::TFitOutputs& paths,
               const std::vector<double>* start, cli::TFitOutcome& out) {
    std::vector<std::pair<std::string, std::string>> outputs; // option, path
    for (const auto& [option, path] : {std::pair<const char*, const std::string&>{"-o", paths.model},
                                       {"--residuals", paths.residuals},
                                       {"--model-at-points", paths.modelAtPoints}})
        if (!path.empty()) outputs.emplace_back(option, path);
    TFitParamB fit;
    double tolerance = fit.tolerance, ftol = fit.ftol, xtol = fit.xtol;
    long maxIterations = fit.maxIterations;
    if (!a.Number("--tolerance", tolerance, -HUGE_VAL, HUGE_VAL) ||
        !a.Number("--ftol", ftol, 0.0, HUGE_VAL) || !a.Number("--xtol", xtol, 0.0, HUGE_VAL) ||
        !a.Integer("--max-iterations", maxIterations, 0, 10000))
        return cli::UsageError;
    std::string converge = "tolerance", reportKind = "text";
    if (!a.Choice("--converge", converge) || !a.Choice("--report", reportKind)) return cli::UsageError;
    if (reportKind == "full" && a.Has("--json")) {
        cli::Error("fit", "--report full and --json are two forms of the result: give one");
        return cli::UsageError;
    }
    if (converge != "relative" && (a.Has("--ftol") || a.Has("--xtol"))) {
        cli::Error("fit", "--ftol and --xtol belong to --converge relative");
        return cli::UsageError;
    }
    double confidence = fit.confidence;
    if (!a.Number("--confidence", confidence, 0.0, 100.0)) return cli::UsageError;
    if (!(confidence > 0.0 && confidence < 100.0)) {
        cli::Error("fit", "--confidence: a level above 0 and below 100 (percent) expected");
        return cli::UsageError;
    }
    fit.confidence = confidence;
    TWeighting weighting = TWeighting::None;
    std::optional<TCurveB> sigmaCurve;
    if (!WeightsOption(a, weighting, sigmaCurve)) return cli::UsageError;
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
    out.fileFault = true;
    if (!cli::ReadCurve(a, file, curve)) return cli::UsageError;
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
    if (!ApplyWeights(a, file, curve, static_cast<int32_t>(first), static_cast<int32_t>(last), weighting,
                      sigmaCurve, fit))
        return cli::UsageError;

    out.fileFault = false;
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
                out.fileFault = true;
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
                cli::Error(
                    "fit",
                    std::string(option) + " '" + text +
                        "': bounds lie within about -1.7e38 to 1.7e38, what the function library holds");
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
    fit.convergeTest = converge == "relative" ? TConvergeTest::Relative : TConvergeTest::ChiSquareChange;
    fit.ftol = ftol;
    fit.xtol = xtol;
    out.argumentsChecked = true;
    out.fileFault = true;

    bool started = false;
    TCurveB generated(curve), residuals, modelAtPoints;
    std::array<TCurveB, 3> band;
    bool generatedOk = false;
    const int status = cli::Guarded("fit", [&] {
        // Adding each term with "Initialize fit" checked guesses every term so far,
        // in model order, on one copy of the curve from which each built-in term's
        // guess is subtracted for the next.
        if (!a.Has("--no-guess") && start == nullptr)
            for (int32_t added = 1; added <= fit.TermCount(); ++added) {
                TCurveB work(curve);
                for (int32_t t = 0; t < added; ++t)
                    fit.Term(t).InitialGuess(work, static_cast<int32_t>(first), static_cast<int32_t>(last),
                                             true);
            }
        // A typed value is clamped to the parameter's bounds when the edit is left.
        for (const auto& [ref, v] : start == nullptr ? sets : decltype(sets){}) {
            const TPeak& p = fit.Term(ref.first);
            const size_t k = static_cast<size_t>(ref.second);
            fit.Term(ref.first).SetValue(ref.second, std::clamp(v, p.min[k], p.max[k]));
        }
        // A start given for every parameter, as an earlier fit of the same model left them.
        size_t i = 0;
        for (int32_t t = 0; start != nullptr && t < fit.TermCount(); ++t)
            for (int k = 1; k <= fit.Term(t).nparams && i < start->size(); ++k)
                fit.Term(t).value[static_cast<size_t>(k)] = (*start)[i++];
        for (const auto& [t, k] : locks) fit.Term(t).lock[static_cast<size_t>(k)] = true;
        started = fit.RunFit();
        if (!started || fit.Failed() != 0) return;
        if (!paths.model.empty())
            generatedOk =
                fit.ModelCurve(generated, generateTerm != 0 ? static_cast<int32_t>(generateTerm - 1) : -1);
        if (!paths.residuals.empty()) fit.ModelAtDataPoints(residuals, true);
        if (!paths.modelAtPoints.empty()) fit.ModelAtDataPoints(modelAtPoints, false);
        if (!paths.band.empty()) fit.BandAtDataPoints(band[0], band[1], band[2]);
    });
    if (status != cli::Done) return status;
    if (!started)
        return cli::Failed("fit", fit.LastError().empty() ? "the fit could not start" : fit.LastError());
    out.json = ResultJson(fit);
    out.text = reportKind == "full" ? fit.FullResultText() : fit.ResultText();
    if (fit.Failed() != 0) return cli::OperationFailed;
    out.fitted = true;
    out.converged = fit.Status() == TFitStatus::Converged;
    for (int32_t t = 0; t < fit.TermCount(); ++t)
        for (int k = 1; k <= fit.Term(t).nparams; ++k)
            out.values.push_back(fit.Term(t).value[static_cast<size_t>(k)]);
    if (!paths.model.empty() && !generatedOk)
        return cli::Failed("fit", "the model curve cannot be generated over this curve's x range");
    auto curveOf = [&](const std::string& option) -> TCurveB& {
        return option == "-o" ? generated : option == "--residuals" ? residuals : modelAtPoints;
    };
    // Nothing is written when any of the curves holds a fault.
    for (const auto& [option, path] : outputs)
        if (const int fault = cli::ReportFault("fit", CheckFinite(curveOf(option))); fault != cli::Done)
            return fault;
    if (!paths.band.empty())
        for (const TCurveB& c : band)
            if (const int fault = cli::ReportFault("fit", CheckFinite(c)); fault != cli::Done) return fault;
    for (const auto& [option, path] : outputs) {
        if (const int written = cli::WriteCurveTo("fit", path, curveOf(option), a.Format());
            written != cli::Done)
            return written;
        out.written.push_back(path);
    }
    if (!paths.band.empty()) {
        const auto bandPaths = cli::BandPaths(paths.band);
        for (size_t i = 0; i < bandPaths.size(); ++i) {
            if (const int written = cli::WriteCurveTo("fit", bandPaths[i], band[i]); written != cli::Done)
                return written;
            out.written.push_back(bandPaths[i]);
        }
    }
    return cli::Done;
}

int RunFit(const std::vector<std::string>& args) {
    cli::TArgs a("fit", args, FitOptions);
    if (!a.Ok() || !a.ExpectPositionals(1, cli::TArgs::Unlimited)) return cli::UsageError;
    if (a.PositionalCount() > 1) return cli::FitBatch(a);
    long jobs = 0;
    if (!cli::JobsOption(a, jobs)) return cli::UsageError;
    // The curves the fit writes; one of them may take standard output, and the result then goes to standard
    // error so that the curve stays readable by the next command of a pipeline.
    const cli::TFitOutputs outputs{a.Value("-o").value_or(""), a.Value("--residuals").value_or(""),
                                   a.Value("--model-at-points").value_or(""), a.Value("--band").value_or("")};
    const int toStdout = (outputs.model == "-") + (outputs.residuals == "-") + (outputs.modelAtPoints == "-");
    if (toStdout > 1) {
        cli::Error("fit", "only one curve can go to standard output (-)");
        return cli::UsageError;
    }
    if (outputs.band == "-") {
        cli::Error("fit", "--band writes three curves: give a file path, not -");
        return cli::UsageError;
    }
    const cli::TFitOutcome outcome = cli::FitFile(a, a.Positional(0), outputs, nullptr);
    const std::string& report = a.Has("--json") ? outcome.json : outcome.text;
    std::FILE* reportTo = toStdout > 0 ? stderr : stdout;
    std::fputs(report.c_str(), reportTo);
    std::fflush(reportTo);
    return outcome.status;
}

} // namespace

cli::TFitOutcome cli::FitFile(const TArgs& args, const std::string& file, const TFitOutputs& outputs,
                              const std::vector<double>* start) {
    TFitOutcome out;
    out.status = FitFileRun(args, file, outputs, start, out);
    return out;
}

std::string cli::FitJsonString(const std::string& text) {
    return JsonString(text);
}

namespace {

const cli::TRegister fitCommand(
    {"fit",
     "least-squares fit of a model of terms",
     "Usage: graphmill-cli fit --term TERM [--term TERM]... [OPTIONS] FILE...\n"
     "Fits the sum of the terms to the curve in FILE by damped least squares and prints the result text.\n"
     "  --term TERM          a term, in model order (at most 10): polynomial[:ORDER] (ORDER 0 to 8, default\n"
     "                       1), gaussian, lorentzian, sinusoidal, gauss-lorentz, exponential,\n"
     "                       voigt, pseudo-voigt, pearson7, split-gaussian, split-lorentzian, logistic,\n"
     "                       emg, tabulated:PATH (a curve file sampled at the data points), user:NAME\n"
     "  --library LIBFILE    the function library of user terms\n"
     "  --range FIRST LAST   the data points fitted (point indices; default the whole curve, at least 4)\n"
     "  --min T.K=VALUE      lower bound of parameter K of term T (both from 1); |VALUE| <= 1.7e38\n"
     "  --max T.K=VALUE      upper bound\n"
     "  --no-guess           keep the terms' defaults instead of the initial guesses from the data\n"
     "  --set T.K=VALUE      start value (clamped to the bounds), applied after the guesses\n"
     "  --lock T.K           hold the parameter fixed\n"
     "  --converge TEST      when the fit has converged: tolerance (the default: chi-square fell by less\n"
     "                       than points x --tolerance over the last two steps) or relative (a step lowered\n"
     "                       chi-square by at most --ftol of itself and changed no free parameter by more\n"
     "                       than --xtol of the larger of its value and its standard error, or chi-square\n"
     "                       is 0; for nearly exact data and ill-conditioned models)\n"
     "  --tolerance T        the tolerance test's figure per data point (1e-4)\n"
     "  --ftol F, --xtol X   the relative test's limits (1e-12 and 1e-10)\n"
     "  --max-iterations N   0 to 10000 (100)\n"
     "  --report KIND        text (the default: the result text of the fit panel) or full (the Results\n"
     "                       window's full view: every number in full precision, the sums of the fit, the\n"
     "                       peak figures, the weights, the confidence intervals and the correlation\n"
     "                       matrix)\n"
     "  --json               print the result as one JSON object instead of the result text: status,\n"
     "                       message, iterations, points, chi_square (sum of squared residuals),\n"
     "                       reduced_chi_square, reported (the text's ChiSquare), r_squared,\n"
     "                       parameters (term, index, type, name, value, sigma, locked, min, max,\n"
     "                       at_bound: \"min\" or \"max\" for a free parameter that ended at that bound,\n"
     "                       else null; ci_low and ci_high: its confidence interval), weights, sigmas\n"
     "                       (measured or scaled), confidence, t, dof (points - free parameters),\n"
     "                       free_parameters (term, index), the covariance and correlation matrices over\n"
     "                       them, and figures (term, type, and centre, height, area, fwhm each as value\n"
     "                       and sigma), every number exact to the last bit\n"
     "  --weights W          none (the default), sigma (each point's measured sigma: the curve's own, or\n"
     "                       --sigma), poisson (sigma^2 = max(|y|, 1)) or relative (sigma = |y|); the fit\n"
     "                       minimises the sum of ((y - model) / sigma)^2. With sigma and poisson the\n"
     "                       parameter sigmas come from the sigmas as they are; with none and relative they\n"
     "                       are scaled by the reduced chi-square\n"
     "  --sigma PATH         a curve whose y values are the sigmas, point for point (implies --weights\n"
     "                       sigma)\n"
     "  --confidence P       the level of the intervals and the band, in percent, above 0 and below 100\n"
     "                       (95)\n"
     "  --band PATH          write the model at the data points' x and its confidence band as three curves:\n"
     "                       for PATH NAME.EXT the files NAME-model.EXT, NAME-lower.EXT and NAME-upper.EXT\n"
     "  -o PATH              also write the model curve as Generate makes it: as many points as FILE has,\n"
     "                       evenly spaced over FILE's whole x range\n"
     "  --generate-term T    with -o: term T alone instead of the whole model\n"
     "  --residuals PATH     write the data points of the fit range with y minus the model\n"
     "  --model-at-points PATH  write the model at the x of the data points of the fit range\n"
     "PATH - is standard output (for one of the curves); the result then goes to standard error.\n"
     "The bounds are set first, then the initial guesses (clipped to the bounds), then --set and --lock.\n"
     "Exit 0 when the fit converged or the iterations ran out, 1 when the fit failed (\"ERROR:  matrix\n"
     "does not converge!!!\", no curve written) or could not start (fewer data points than parameters\n"
     "plus one).\n"
     "Parameters (T.K numbers them from 1 in this order):\n"
     "  gaussian, lorentzian   amp, x0, hwhm: the Gaussian amp e^(-(x-x0)^2/(2 hwhm^2)), its hwhm being\n"
     "                         the standard deviation sigma (its half width at half maximum is 1.1774\n"
     "                         sigma); the Lorentzian amp / (1 + ((x-x0)/hwhm)^2)\n"
     "  gauss-lorentz          amp, x0, hwhm, gs.frc: gs.frc Gaussian plus 1 - gs.frc Lorentzian\n"
     "  voigt                  height (the maximum), x0, sigma (of the Gaussian), l.hwhm (the Lorentzian's\n"
     "                         half width at half maximum): their exact convolution\n"
     "  pseudo-voigt           height, x0, hwhm, l.frc: (1 - l.frc) Gaussian + l.frc Lorentzian, both of\n"
     "                         half width hwhm (0 = Gaussian .. 1 = Lorentzian)\n"
     "  pearson7               height, x0, hwhm, m: height / (1 + ((x-x0)/hwhm)^2 (2^(1/m) - 1))^m\n"
     "  split-gaussian, split-lorentzian  height, x0, hwhm.l, hwhm.r: half widths left and right of x0\n"
     "  logistic               step, x0, width: step / (1 + e^(-(x-x0)/width))\n"
     "  emg                    height, x0, sigma, tau: the Gaussian height e^(-(x-x0)^2/(2 sigma^2))\n"
     "                         convolved with an exponential tail of length tau (tailing peaks)\n"
     "The peak figures (centre, height, area, fwhm; --report full and --json) of every peak-shaped term\n"
     "carry standard errors through the covariance of its parameters.\n"
     "Several files are fitted each with the same terms, options and starting values:\n"
     "  --jobs N             fit N files at a time (1 to 1024; default: the machine's cores)\n"
     "  --chain              fit one file after another, each starting from the result of the last file\n"
     "                       fitted without failure instead of the initial guesses and --set\n"
     "The results come in the order of the files: with --json one line per file, the file's JSON object\n"
     "with \"file\" (the path as given) first; a file that cannot be fitted (unreadable, too few points,\n"
     "the fit failed or could not start, a curve not written) has status \"failed\" and its message, and\n"
     "the other files go on. Without --json each file's result text follows a line \"==> FILE <==\", a\n"
     "blank line between files, and \"failed: MESSAGE\" for a file without a result. -o, --residuals,\n"
     "--model-at-points and --band then name folders (made when missing) that get one curve per file\n"
     "under the file's own name (--band three, named as above). --sigma is then one curve of sigmas for\n"
     "every file. Exit 0 when every file's fit converged, 1 when some did not, 2 on a usage error (before\n"
     "any file's result).\n"
     "Example: graphmill-cli fit --term gaussian --term polynomial:0 peak.dat -o model.dat\n",
     RunFit,
     {{"", FitOptions}}});

} // namespace
