// Formula parsing and evaluation as the user sees it through typed formulas of x.
#include "expr/parse.h"

#include <array>
#include <bit>
#include <cfenv>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

// The value of a formula of x, or nothing when it fails to parse or to evaluate.
std::optional<double> Eval(const std::string& formula, double x = 0.0) {
    TExpression e;
    if (e.SetExpression("x", formula) != 0) return std::nullopt;
    double v = -1.0;
    if (e.Evaluate(x, v) != 0) {
        EXPECT_EQ(v, 0.0);
        return std::nullopt;
    }
    return v;
}

bool Parses(const std::string& formula) {
    TExpression e;
    return e.SetExpression("x", formula) == 0;
}

struct TCase {
    const char* formula;
    double x;
    double expected;
};

} // namespace

TEST(Parse, ValuesOfFormulas) {
    const TCase cases[] = {
        // precedence and associativity
        {"2+3 * 4", 0, 14},
        {"2 * 3+4", 0, 10},
        {"10-4-3", 0, 3},
        {"10-4+3", 0, 9},
        {"100/10/2", 0, 5},
        {"2^3^2", 0, 512},
        {"(2^3)^2", 0, 64},
        {"(1+2)*(3+4)", 0, 21},
        {"1e3", 0, 1000},
        {".5+5.", 0, 5.5},
        {"x*x-x", 3, 6},
        // unary minus at the start and after "("
        {"-2^2", 0, -4},
        {"5+-2", 0, 3},
        {"-x", 2, -2},
        {"sin(-x)", 1, std::sin(-1.0)},
        // powers: exp(b ln|a|), the sign of a negative base from the parity of b rounded (halves to even)
        {"(-3)^2", 0, 9},
        {"(-2)^3", 0, -8},
        {"0^0", 0, 1},
        {"0^2", 0, 0},
        {"0^(0-1)", 0, 0},
        {"(-8)^(1/3)", 0, 2},
        {"(-2)^0.5", 0, std::sqrt(2.0)},
        {"(-2)^1.4", 0, -std::pow(2.0, 1.4)},
        {"(-2)^1.5", 0, std::pow(2.0, 1.5)},
        {"(-2)^2.5", 0, std::pow(2.0, 2.5)},
        {"(-2)^2.6", 0, -std::pow(2.0, 2.6)},
        {"1^1e300", 0, 1},
        {"2^(0-5000)", 0, 0},
        {"0.5^1e301", 0, 0},
        // functions, any case, with their substitute values
        {"sin(x)", 0.7, std::sin(0.7)},
        {"SIN(x)", 0.7, std::sin(0.7)},
        {"tan(2)", 0, std::tan(2.0)},
        {"arctan(1)", 0, std::atan(1.0)},
        {"trunc(0-2.7)", 0, -2},
        {"exp(1)", 0, std::exp(1.0)},
        {"exp(3000)", 0, 1e8},
        {"exp(2000)", 0, 1e8},
        {"exp(0-3000)", 0, 0},
        {"exp(0-746)", 0, 0},
        {"exp(0-1000)", 0, 0},
        {"log(1000)", 0, 3},
        {"log(0)", 0, 0},
        {"ln(0-1)", 0, 0},
        {"ln(x)", std::exp(2.0), 2},
        // divisions down to the 1e-50 limit; no overflow on the way to large results
        {"1/x", 1e-50, 1e50},
        {"x*x", 1e150, 1e300},
        {"x*x", 1.3e154, 1.69e308},
        {"x+x", 8e307, 1.6e308},
        {"x*0.5", 1.7e308, 0.85e308},
        {"x/0.0000000001", 1e290, 1e300},
    };
    for (const TCase& c : cases) {
        const std::optional<double> v = Eval(c.formula, c.x);
        ASSERT_TRUE(v) << c.formula;
        EXPECT_NEAR(*v, c.expected, 1e-13 * std::max(1.0, std::fabs(c.expected))) << c.formula;
    }
}

TEST(Parse, FailuresAtParsingAndAtEvaluation) {
    for (const char* bad :
         {"",      "   ",  "5 * -2", "x ^ -2", "+5",      "1e-3",  "5-",    "*5",    "X",       "foo",
          "sin",   "sinx", "2(3)",   "sin()",  "()",      "(x",    "x)",    "sin(x", "sinx(1)", "x+",
          "1.2.3", "1e",   "e5",     "x++1",   "sin(x)2", "1e999", "x)+(x", "(x))",  "x\t+1"})
        EXPECT_FALSE(Parses(bad)) << bad;
    // These parse, and every evaluation fails: a result too large for a double, a divisor below 1e-50, a
    // formula number outside the set, an input that is no number. None raises a floating-point fault.
    std::feclearexcept(FE_ALL_EXCEPT);
    const TCase failing[] = {
        {"x/0", 1, 0},      {"1/x", 1e-51, 0},     {"1/x", 0, 0},           {"exp(1999)", 0, 0},
        {"x*x", 1e200, 0},  {"x+x", 1.7e308, 0},   {"x-(0-x)", 1.7e308, 0}, {"x/0.001", 1e307, 0},
        {"x^2", 1e200, 0},  {"(0-x)^3", 1e200, 0}, {"2^5000", 0, 0},        {"10^1e301", 0, 0},
        {"expr(11)", 0, 0}, {"expr(0)", 0, 0},     {"x", NAN, 0},           {"x", HUGE_VAL, 0}};
    for (const TCase& c : failing) {
        EXPECT_TRUE(Parses(c.formula)) << c.formula;
        EXPECT_FALSE(Eval(c.formula, c.x)) << c.formula;
    }
    EXPECT_FALSE(Eval("x*2.320427015131812e305", 774.7251359940737)); // x is DBL_MAX / y, x y rounds up
    EXPECT_EQ(std::fetestexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW), 0);
}

TEST(Parse, SetsOfFormulasOverNamedVariables) {
    // Variables compare with case; a name may begin with a function's name; EXPR(n) reads result n, of
    // this evaluation for earlier formulas and of the previous one otherwise.
    TExpression e;
    for (const char* name : {"x", "X", "sinx", "abcdefghijklmnopqrstuvwxyz"}) ASSERT_EQ(e.AddParam(name), 0);
    EXPECT_EQ(e.Params().Name(4), "abcdefghijklmnopqrst");
    e.SetText(1, "x-X+sinx");
    e.SetText(2, "EXPR(1)*abcdefghijklmnopqrst");
    e.SetText(3, "expr(x/10)+expr(3)");
    e.SetCount(3);
    ASSERT_EQ(e.Compile(), 0);
    for (int k = 2; k <= 4; ++k) e.Params().SetValue(k, 1.5 * k);
    double v = 0.0;
    ASSERT_EQ(e.Evaluate(14.0, v), 0); // 14/10 rounds to 1
    EXPECT_EQ(v, 15.5);
    EXPECT_EQ(e.Result(2), v * 6);
    EXPECT_EQ(e.Result(3), v);
    ASSERT_EQ(e.Evaluate(14.0, v), 0);
    EXPECT_EQ(e.Result(3), v + v);
    // An eleventh variable is refused; a failed compile leaves nothing to evaluate.
    for (int k = 5; k <= 10; ++k) EXPECT_EQ(e.AddParam("p"), 0);
    EXPECT_EQ(e.AddParam("p11"), 1);
    e.SetText(2, "bad name");
    EXPECT_EQ(e.Compile(), 1);
    EXPECT_EQ(e.Root(1), nullptr);
    EXPECT_EQ(e.EvaluateAll(), 1);
    e.SetCount(0);
    EXPECT_EQ(e.Compile(), 1);
    // Spaces are removed, in the formula and in the variable's name.
    TExpression spaced;
    ASSERT_EQ(spaced.SetExpression(" t ", "s i n ( t ) * 2"), 0);
    ASSERT_EQ(spaced.Evaluate(1.0, v), 0);
    EXPECT_EQ(v, 2.0 * std::sin(1.0));
}

TEST(Parse, DeepInputIsRefusedWithoutExhaustingTheStack) {
    EXPECT_FALSE(Parses(std::string(10000, '(') + "x" + std::string(10000, ')')));
    std::string chain = "x", calls = "x", sum = "x", longSum = "x";
    for (int k = 0; k < 100000; ++k) chain += "+x";
    for (int k = 0; k < 1200; ++k) calls = "sin(" + calls + ")";
    for (int k = 0; k < 500; ++k) sum += "+x";
    for (int k = 0; k < 1500; ++k) longSum += "+x";
    EXPECT_FALSE(Parses(chain));
    EXPECT_FALSE(Parses(calls));
    EXPECT_FALSE(Parses(longSum));
    // Within the limits, deep formulas work.
    EXPECT_EQ(Eval(std::string(900, '(') + "x+1" + std::string(900, ')'), 1.0), 2.0);
    EXPECT_EQ(Eval(sum, 1.0), 501.0);
}

TEST(Parse, BlocksOfPointsGiveWhatEachPointGives) {
    // Sets of formulas over points that cross every failure and substitute rule, in blocks shorter than,
    // equal to and longer than a run of lanes: the same bits, failures and zeros as point by point (with
    // EXPR(n) of a later formula seeing the point before, as one by one it does).
    const std::vector<std::vector<const char*>> sets = {
        {"a*exp(-b*x)*sin(c*x)", "exp(-b*x)*sin(c*x)", "-x*a*exp(-b*x)*sin(c*x)", "x*a*exp(-b*x)*cos(c*x)"},
        {"exp(x)+1/(x-3)", "x^b-ln(x)+log(x)", "tan(x)*arctan(x)-trunc(x)", "EXPR(1)*2-EXPR(2)"},
        {"x*10^200*c", "x/10^(-60)", "(x*10^150)*(x*10^150)", "a+x*10^307+x*10^307"},
        {"x-EXPR(3)", "EXPR(1)+EXPR(x)", "x*a"},
        {"x*a", "EXPR(3)*1", "x+b"},
    };
    std::vector<double> xs;
    for (int i = 0; i < 150; ++i) xs.push_back(-3.0 + i * 0.0625);
    for (double v : {3.0, 700.0, 709.0, 710.0, 1999.0, 2001.0, -750.0, 1e200, -1e200, 1e-300, 0.0, -0.0,
                     std::nan(""), double(INFINITY), -double(INFINITY), 1.5707963267948966, 2.0, 5.0, 9.0})
        xs.push_back(v);
    for (const auto& set : sets) {
        TExpression e;
        for (const char* name : {"x", "a", "b", "c"}) ASSERT_EQ(e.AddParam(name), 0);
        for (size_t k = 0; k < set.size(); ++k) e.SetText(static_cast<int>(k) + 1, set[k]);
        e.SetCount(static_cast<int>(set.size()));
        ASSERT_EQ(e.Compile(), 0) << set[0];
        const double vars[TParamArray::MaxCount] = {0, 1.8, 0.25, 2.9};
        for (const size_t n : {size_t{0}, size_t{1}, size_t{64}, xs.size()}) {
            std::vector<std::vector<double>> out(set.size(), std::vector<double>(n, -1.0));
            std::vector<double*> at;
            for (auto& o : out) at.push_back(o.data());
            std::unique_ptr<bool[]> failed(new bool[n + 1]);
            // Failing points raise none of the faults a command watches for, however far they run on.
            std::feclearexcept(FE_ALL_EXCEPT);
            e.EvaluateBlock(vars, xs.data(), static_cast<int32_t>(n), at.data(), failed.get());
            EXPECT_FALSE(std::fetestexcept(FE_OVERFLOW | FE_INVALID | FE_DIVBYZERO)) << set[0];
            std::array<double, TParamArray::MaxCount> v{};
            std::copy_n(vars, TParamArray::MaxCount, v.begin());
            std::array<double, TExpression::MaxCount> r{};
            int fails = 0;
            for (size_t p = 0; p < n; ++p) {
                v[0] = xs[p];
                const bool fail = e.EvaluateAll(v.data(), r.data()) != 0;
                fails += fail;
                ASSERT_EQ(failed[p], fail) << set[0] << " at x = " << xs[p];
                for (size_t k = 0; k < set.size(); ++k)
                    ASSERT_EQ(std::bit_cast<uint64_t>(out[k][p]), std::bit_cast<uint64_t>(fail ? 0.0 : r[k]))
                        << set[k] << " at x = " << xs[p];
            }
            if (n == xs.size()) {
                EXPECT_GT(fails, 0) << set[0];
            }
        }
    }
    // A variable that is not finite fails every point.
    TExpression e;
    ASSERT_EQ(e.AddParam("x"), 0);
    ASSERT_EQ(e.AddParam("a"), 0);
    e.SetText(1, "x+a");
    e.SetCount(1);
    ASSERT_EQ(e.Compile(), 0);
    const double vars[TParamArray::MaxCount] = {0, INFINITY};
    double out[3] = {-1, -1, -1};
    double* at[1] = {out};
    bool failed[3] = {};
    e.EvaluateBlock(vars, xs.data(), 3, at, failed);
    for (int p = 0; p < 3; ++p) {
        EXPECT_TRUE(failed[p]);
        EXPECT_EQ(out[p], 0.0);
    }
}
