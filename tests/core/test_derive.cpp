// Derivatives of typed formulas: the text parses, agrees with a central difference of the formula as the
// evaluator computes it, and is simplified.
#include "expr/Derive.h"
#include "expr/parse.h"

#include <array>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> Names = {"x", "a", "b"};

// Evaluates a formula of x, a and b at the given values (x, a, b); false when it fails.
class TFormula {
public:
    explicit TFormula(const std::string& text) {
        for (const auto& n : Names) e_.AddParam(n);
        e_.SetText(1, text);
        e_.SetCount(1);
        parsed_ = e_.Compile() == 0;
    }
    bool Parsed() const { return parsed_; }
    bool At(std::array<double, 3> v, double& out) {
        for (int k = 0; k < 3; ++k) e_.Params().SetValue(k + 1, v[static_cast<std::size_t>(k)]);
        if (e_.EvaluateAll() != 0) return false;
        out = e_.Result(1);
        return true;
    }

private:
    TExpression e_;
    bool parsed_ = false;
};

// Compares the derivative of formula by variable `by` (1 x, 2 a, 3 b) with a central difference at n points
// of [lo, hi], the other variables at x = 0.7, a = 1.3, b = 0.4. Points where the difference with step h
// and 2h disagree (a kink or jump of the evaluator's own rules) are skipped; at least half must count.
void ExpectAgrees(const std::string& formula, int by, double lo, double hi, int n = 41) {
    SCOPED_TRACE(formula + " by " + Names[static_cast<std::size_t>(by - 1)]);
    const TDerivative d = Derive(formula, Names, Names[static_cast<std::size_t>(by - 1)]);
    ASSERT_TRUE(d.Ok) << d.Reason;
    TFormula f(formula), df(d.Text);
    ASSERT_TRUE(df.Parsed()) << d.Text;
    int counted = 0;
    for (int i = 0; i < n; ++i) {
        std::array<double, 3> v = {0.7, 1.3, 0.4};
        const double t = lo + (hi - lo) * i / (n - 1);
        auto at = [&](double u) {
            v[static_cast<std::size_t>(by - 1)] = u;
            double r = NAN;
            return f.At(v, r) ? r : NAN;
        };
        const double h = 1e-5 * std::max(1.0, std::fabs(t));
        const double fd = (at(t + h) - at(t - h)) / (2 * h), fd2 = (at(t + 2 * h) - at(t - 2 * h)) / (4 * h);
        if (!std::isfinite(fd) || std::fabs(fd - fd2) > 1e-5 * std::max(1.0, std::fabs(fd))) continue;
        v[static_cast<std::size_t>(by - 1)] = t;
        double value = NAN;
        ASSERT_TRUE(df.At(v, value)) << d.Text << " at " << t;
        EXPECT_NEAR(value, fd, 1e-6 * std::max(1.0, std::fabs(fd))) << d.Text << " at " << t;
        ++counted;
    }
    EXPECT_GE(counted, n / 2) << d.Text;
}

std::string DerivedText(const std::string& formula, const std::string& by = "a") {
    const TDerivative d = Derive(formula, Names, by);
    return d.Ok ? d.Text : "refused: " + d.Reason;
}

} // namespace

TEST(Derive, AgreesWithCentralDifferences) {
    struct TCase {
        const char* formula;
        int by;
        double lo, hi;
    } cases[] = {
        // each function of the table, in either case
        {"sin(a*x)", 2, -3, 3},
        {"COS(a^2)", 2, -2, 2},
        {"tan(a)", 2, -1.4, 1.4},
        {"arctan(a*x-b)", 2, -5, 5},
        {"exp(0-a*x)", 2, -3, 3},
        {"log(a+b)", 2, 0.1, 5},
        {"Ln(a*x)", 2, 0.1, 5},
        {"a*trunc(3*x)+trunc(b)", 2, -2, 2},
        // chains, products, quotients
        {"sin(exp(a*x))*ln(1+a^2)", 2, -1, 1.5},
        {"a*x*sin(a)*cos(b*a)", 2, -3, 3},
        {"a/(1+a*x)", 2, 0, 4},
        {"(a-x)/(a+x)^2/b", 2, 0, 3},
        {"x/b/a-1/a", 2, 0.5, 3},
        {"ln(1+a^2)*arctan(a/x)-exp(0-a*x)/tan(a+1)", 2, 0, 0.5},
        {"log(x*exp(a)+b)^2/(1+sin(a)^2)", 2, -1, 2},
        // powers: the variable in the base, the exponent, or both; negative bases with integer exponents
        {"a^3+a^2+a^1+a^0", 2, -2, 2},
        {"(a-2)^3-(a+x)^b", 2, 0, 4},
        {"a^(0-0.5)+a^0.25", 2, 0.2, 3},
        {"x^a+2^a+a^x", 2, -2, 2},
        {"a^a", 2, 0.2, 3},
        {"(a^2+1)^(a/2)", 2, -2, 2},
        {"2^3^a", 2, -1, 1},
        {"(2^a)^3", 2, -1, 1},
        // unary minus at the start, after "(" and after an operator
        {"-a^2", 2, -2, 2},
        {"-a*x+sin(-a)", 2, -2, 2},
        {"x-(-a)+5+-a*b", 2, -2, 2},
        {"(-a)^3", 2, -2, 2},
        {"0-(0-a)^2", 2, -2, 2},
        // by x and by b
        {"x*sin(x)-exp(x)/x", 1, 0.5, 3},
        {"a*exp(0-((x-1)/b)^2)", 3, 0.3, 3},
    };
    for (const auto& c : cases) ExpectAgrees(c.formula, c.by, c.lo, c.hi);
}

TEST(Derive, RandomCompositionsReadBackAndAgree) {
    // Random formulas over every operator, unary minus and the smooth functions, nested a few levels:
    // the printing of every shape of tree (parentheses, signs, constants) must read back as derived.
    std::mt19937 random(7);
    auto pick = [&](std::size_t n) { return random() % n; };
    // U and V stand for smaller formulas, put in without parentheses of their own where the shape allows.
    static const std::string shapes[] = {
        "U+V", "U-V",  "U*V",    "(U)*(V)",     "U/(2+sin(V))", "(1+(U)^2)^V",     "(U)^3",
        "U^2", "(-U)", "sin(U)", "exp(sin(U))", "ln(2+cos(U))", "cos(U)*arctan(V)"};
    std::function<std::string(int)> term = [&](int depth) -> std::string {
        static const char* leaves[] = {"a", "x", "b", "2", "0.5", "3"};
        if (depth == 0 || pick(4) == 0) return leaves[pick(6)];
        std::string s = shapes[pick(std::size(shapes))];
        s.replace(s.find('U'), 1, term(depth - 1));
        if (const auto v = s.find('V'); v != std::string::npos) s.replace(v, 1, term(depth - 1));
        return s;
    };
    for (int i = 0; i < 150; ++i) ExpectAgrees(term(4), 2, -1, 1, 7);
}

TEST(Derive, SimplifiedText) {
    const std::pair<const char*, const char*> cases[] = {
        {"a*x", "x"},
        {"3*a", "3"},
        {"x", "0"},
        {"a*x+b", "x"},
        {"a*2*3", "6"},
        {"a/3", "1/3"},
        {"a^2", "2*a"},
        {"a^3", "3*a^2"},
        {"a^0.5", "0.5*a^(-0.5)"},
        {"x^a", "x^a*ln(x)"},
        {"1/a", "-1/a^2"},
        {"sin(2*a)", "2*cos(2*a)"},
        {"exp(0-a*x)", "-x*exp(-a*x)"},
        {"(x-a)^2", "2*(a-x)"},
        {"log(a)", "0.4342944819032518/a"},
        {"0.00001*a+1e300*a", "0.00001+1e300"},
        {"b*trunc(x)", "0"},
    };
    for (const auto& [formula, expected] : cases) EXPECT_EQ(DerivedText(formula), expected) << formula;
}

TEST(Derive, Refusals) {
    const std::pair<const char*, const char*> cases[] = {
        {"trunc(a*x)", "TRUNC"},
        {"a*x+EXPR(1)", "EXPR"},
        {"a*", "does not parse"},
        {"c*x", "does not parse"},
    };
    for (const auto& [formula, reason] : cases)
        EXPECT_NE(DerivedText(formula).find(reason), std::string::npos)
            << formula << ": " << DerivedText(formula);
    EXPECT_NE(DerivedText("a*x", "c").find("no variable named 'c'"), std::string::npos);
}
