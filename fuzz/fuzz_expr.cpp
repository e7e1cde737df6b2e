// The expression parser and evaluator on any text: no crash, and an evaluation that succeeds gives finite
// results without raising a floating-point fault (the command layer would abandon the command for it).
//
// Input: the first line names the variables with their values ("x=1.5,a=-2"; up to ten are taken, an
// eleventh is refused); every further line is a formula of the set (up to ten). A single line is one
// formula of x, as the function dialog and graphmill-cli function use it.
#include "curves/curvefile.h"
#include "expr/parse.h"
#include "fuzzcheck.h"

#include <algorithm>
#include <array>
#include <cfenv>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

namespace {
std::vector<std::string_view> Split(std::string_view text, char sep) {
    std::vector<std::string_view> parts;
    for (;;) {
        const size_t at = text.find(sep);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + 1);
    }
}

constexpr double Zero = 0.0;
constexpr double Probes[] = {0.0,   1.0,    -1.0,   0.5,   1e-300, -1e-300,
                             1e300, -1e300, 2000.0, 709.8, 1e10,   4.9e-324};

// Evaluates the whole set with the variables as they are and checks the outcome.
void EvaluateAndCheck(TExpression& e) {
    std::feclearexcept(FE_ALL_EXCEPT);
    const int failed = e.EvaluateAll();
    const int raised = std::fetestexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
    FUZZ_CHECK(raised == 0, "evaluation raised a fault (flags %#x) for %s", raised, e.Text(1).c_str());
    if (failed != 0) return;
    for (int k = 1; k <= e.Count(); ++k)
        FUZZ_CHECK(std::isfinite(e.Result(k)), "formula %d gave %g", k, e.Result(k));
}
// The set over all probes at once, variable 1 taking each probe: the same bits and failures as point by
// point (from zeroed results, as a block starts), and no fault raised.
void BlockAndCheck(const TExpression& e) {
    constexpr int32_t n = sizeof Probes / sizeof Probes[0];
    std::array<double, TParamArray::MaxCount> vars{};
    std::copy_n(e.Params().Values(), TParamArray::MaxCount, vars.begin());
    std::array<std::array<double, n>, TExpression::MaxCount> out{};
    std::array<double*, TExpression::MaxCount> at{};
    for (size_t k = 0; k < at.size(); ++k) at[k] = out[k].data();
    bool failed[n] = {};
    std::feclearexcept(FE_ALL_EXCEPT);
    e.EvaluateBlock(vars.data(), Probes, n, at.data(), failed);
    FUZZ_CHECK(std::fetestexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW) == 0, "a block raised a fault");
    std::array<double, TExpression::MaxCount> r{};
    for (int32_t p = 0; p < n; ++p) {
        vars[0] = Probes[p];
        const bool fail = e.EvaluateAll(vars.data(), r.data()) != 0;
        FUZZ_CHECK(fail == failed[p], "a block %s at x = %g", fail ? "succeeded" : "failed", Probes[p]);
        for (size_t k = 0; k < static_cast<size_t>(e.Count()); ++k)
            FUZZ_CHECK(std::memcmp(&out[k][static_cast<size_t>(p)], fail ? &Zero : &r[k], sizeof(double)) ==
                           0,
                       "formula %zu at x = %g: %g in a block, %g alone", k + 1, Probes[p],
                       out[k][static_cast<size_t>(p)], fail ? 0.0 : r[k]);
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<std::string_view> lines = Split(AsText(data, size), '\n');
    TExpression e;
    if (lines.size() == 1) {
        if (e.SetExpression("x", lines[0]) != 0) return 0;
        for (const double x : Probes) {
            double v = 0;
            std::feclearexcept(FE_ALL_EXCEPT);
            const int failed = e.Evaluate(x, v);
            FUZZ_CHECK(std::fetestexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW) == 0,
                       "f(%g) raised a fault", x);
            FUZZ_CHECK(failed != 0 || std::isfinite(v), "f(%g) = %g", x, v);
        }
        BlockAndCheck(e);
        return 0;
    }
    std::vector<double> own;
    for (const std::string_view decl : Split(lines[0], ',')) {
        const size_t eq = decl.find('=');
        double v = 0.0;
        if (eq != std::string_view::npos && !curvefile::ConvertNumber(decl.substr(eq + 1), v)) v = 0.0;
        if (e.AddParam(decl.substr(0, eq)) != 0) break;
        own.push_back(v);
        e.Params().SetValue(static_cast<int>(own.size()), v);
    }
    int n = 0;
    for (size_t k = 1; k < lines.size() && n < TExpression::MaxCount; ++k) e.SetText(++n, lines[k]);
    e.SetCount(n);
    if (e.Compile() != 0) return 0;
    EvaluateAndCheck(e);
    BlockAndCheck(e);
    // The same set again, every variable at each probe: the results of the previous evaluation feed EXPR(n)
    // of formulas that refer to later ones.
    for (const double x : Probes) {
        for (int k = 1; k <= e.Params().Count(); ++k) e.Params().SetValue(k, x);
        EvaluateAndCheck(e);
    }
    return 0;
}
