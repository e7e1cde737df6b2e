// Formula parsing and evaluation as the user sees it through typed formulas of x.
#include "expr/parse.h"

#include <cfenv>
#include <cmath>
#include <gtest/gtest.h>
#include <optional>
#include <string>

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

} // namespace

TEST(Parse, PrecedenceAndAssociativity) {
    EXPECT_EQ(Eval("2+3 * 4"), 14.0);
    EXPECT_EQ(Eval("2 * 3+4"), 10.0);
    EXPECT_EQ(Eval("10-4-3"), 3.0);
    EXPECT_EQ(Eval("10-4+3"), 9.0);
    EXPECT_EQ(Eval("10+4-3"), 11.0);
    EXPECT_EQ(Eval("100/10/2"), 5.0);
    EXPECT_EQ(Eval("12/2*3"), 18.0);
    // Powers are exp(b ln a): exact to rounding only.
    EXPECT_NEAR(Eval("2^3^2").value_or(0), 512.0, 1e-12);
    EXPECT_NEAR(Eval("(2^3)^2").value_or(0), 64.0, 1e-12);
    EXPECT_EQ(Eval("2*(3+4)"), 14.0);
    EXPECT_EQ(Eval("((7))"), 7.0);
    EXPECT_EQ(Eval("(1+2)*(3+4)"), 21.0);
    EXPECT_EQ(Eval("1e3"), 1000.0);
    EXPECT_EQ(Eval(".5+5."), 5.5);
    EXPECT_EQ(Eval("x*x-x", 3.0), 6.0);
}

TEST(Parse, UnaryMinusIsOnlyAtStartOrAfterParenthesis) {
    EXPECT_EQ(Eval("-2^2"), -4.0);
    EXPECT_EQ(Eval("5+-2"), 3.0);
    EXPECT_EQ(Eval("-x", 2.0), -2.0);
    EXPECT_EQ(Eval("sin(-x)", 1.0), std::sin(-1.0));
    EXPECT_NEAR(Eval("(-3)^2").value_or(0), 9.0, 1e-13);
    EXPECT_FALSE(Parses("5 * -2"));
    EXPECT_FALSE(Parses("x ^ -2"));
    EXPECT_FALSE(Parses("+5"));
    EXPECT_FALSE(Parses("1e-3")); // the exponent's sign splits the number
    EXPECT_FALSE(Parses("5-"));
    EXPECT_FALSE(Parses("*5"));
}

TEST(Parse, PowerRule) {
    EXPECT_NEAR(Eval("(-2)^3").value_or(0), -8.0, 1e-13);
    EXPECT_EQ(Eval("0^0"), 1.0);
    EXPECT_EQ(Eval("0^2"), 0.0);
    EXPECT_EQ(Eval("0^(0-1)"), 0.0);
    EXPECT_NEAR(Eval("(-8)^(1/3)").value_or(0), 2.0, 1e-12);
    EXPECT_NEAR(Eval("(-2)^0.5").value_or(0), std::sqrt(2.0), 1e-12);
    EXPECT_NEAR(Eval("(-2)^1.4").value_or(0), -std::pow(2.0, 1.4), 1e-12); // 1.4 rounds to 1: odd
    EXPECT_NEAR(Eval("(-2)^1.5").value_or(0), std::pow(2.0, 1.5), 1e-12);  // halves round to even: 2
    EXPECT_NEAR(Eval("(-2)^2.5").value_or(0), std::pow(2.0, 2.5), 1e-12);  // 2
    EXPECT_NEAR(Eval("(-2)^3.5").value_or(0), std::pow(2.0, 3.5), 1e-9);   // 4
    EXPECT_NEAR(Eval("(-2)^2.6").value_or(0), -std::pow(2.0, 2.6), 1e-9);  // 3
    EXPECT_EQ(Eval("1^1e300"), 1.0);
    EXPECT_EQ(Eval("2^(0-5000)"), 0.0);
    EXPECT_EQ(Eval("0.5^1e301"), 0.0);
    EXPECT_FALSE(Eval("2^5000"));
    EXPECT_FALSE(Eval("10^1e301"));
}

TEST(Parse, FunctionsAndSubstituteValues) {
    EXPECT_EQ(Eval("sin(x)", 0.7), std::sin(0.7));
    EXPECT_EQ(Eval("SIN(x)", 0.7), std::sin(0.7));
    EXPECT_EQ(Eval("Cos(x)", 0.7), std::cos(0.7));
    EXPECT_NEAR(Eval("tan(2)").value_or(0), -2.18503986326, 1e-10);
    EXPECT_EQ(Eval("arctan(1)"), std::atan(1.0));
    EXPECT_EQ(Eval("trunc(0-2.7)"), -2.0);
    EXPECT_EQ(Eval("trunc(2.7)"), 2.0);
    EXPECT_EQ(Eval("exp(1)"), std::exp(1.0));
    EXPECT_EQ(Eval("exp(3000)"), 1e8);
    EXPECT_EQ(Eval("exp(0-3000)"), 0.0);
    EXPECT_EQ(Eval("exp(0-1000)"), 0.0);
    EXPECT_NEAR(Eval("log(1000)").value_or(0), 3.0, 1e-15);
    EXPECT_EQ(Eval("log(0)"), 0.0);
    EXPECT_EQ(Eval("ln(0-1)"), 0.0);
    EXPECT_EQ(Eval("ln(1)"), 0.0);
    EXPECT_EQ(Eval("ln(x)", std::exp(2.0)), 2.0);
    // Nested calls and calls as operands.
    EXPECT_NEAR(Eval("sin(x)^2+cos(x)^2", 1.234).value_or(0), 1.0, 1e-15);
    EXPECT_EQ(Eval("2*exp(ln(3))"), 2.0 * std::exp(std::log(3.0)));
}

TEST(Parse, CaseRulesAndNames) {
    TExpression e;
    ASSERT_EQ(e.AddParam("x"), 0);
    ASSERT_EQ(e.AddParam("X"), 0);
    ASSERT_EQ(e.AddParam("sinx"), 0);
    e.SetText(1, "x-X+sinx");
    e.SetCount(1);
    ASSERT_EQ(e.Compile(), 0);
    e.Params().SetValue(1, 10.0);
    e.Params().SetValue(2, 3.0);
    e.Params().SetValue(3, 0.5);
    ASSERT_EQ(e.EvaluateAll(), 0);
    EXPECT_EQ(e.Result(1), 7.5);

    EXPECT_FALSE(Parses("X"));   // only x is a variable
    EXPECT_FALSE(Parses("foo")); // neither variable nor function
    EXPECT_FALSE(Parses("sin"));
    EXPECT_FALSE(Parses("sinx"));
    // Spaces are removed, in the formula and in the variable's name.
    TExpression spaced;
    ASSERT_EQ(spaced.SetExpression(" t ", "s i n ( t ) * 2"), 0);
    double v = 0.0;
    ASSERT_EQ(spaced.Evaluate(1.0, v), 0);
    EXPECT_EQ(v, 2.0 * std::sin(1.0));
    // Other white space is no space.
    EXPECT_FALSE(Parses("x\t+1"));
}

TEST(Parse, ParseFailures) {
    for (const char* bad : {"", "   ", "2(3)", "sin()", "()", "(x", "x)", "sin(x", "sin x", "sinx(1)", "x+",
                            "1.2.3", "1e", "e5", "x++1", "sin(x)2", "1e999", "x)+(x", "(x))"})
        EXPECT_FALSE(Parses(bad)) << bad;
    EXPECT_TRUE(Parses("(x)+(x)"));
    EXPECT_TRUE(Parses("sin((x))"));
}

TEST(Parse, DivisionRule) {
    // A divisor below 1e-50 in magnitude parses but fails each evaluation.
    EXPECT_TRUE(Parses("x/0"));
    EXPECT_FALSE(Eval("x/0", 1.0));
    EXPECT_FALSE(Eval("1/x", 1e-51));
    EXPECT_EQ(Eval("1/x", 1e-50), 1e50);
    EXPECT_EQ(Eval("1/x", 4.0), 0.25);
}

TEST(Parse, ExprReadsResultsOfTheSameSet) {
    TExpression e;
    ASSERT_EQ(e.AddParam("x"), 0);
    ASSERT_EQ(e.AddParam("a"), 0);
    e.SetText(1, "a*x");
    e.SetText(2, "EXPR(1)*2");
    e.SetText(3, "expr(x)+expr(3)"); // expr(3) is formula 3's previous value
    e.SetCount(3);
    ASSERT_EQ(e.Compile(), 0);
    e.Params().SetValue(2, 5.0);
    double v = 0.0;
    ASSERT_EQ(e.Evaluate(1.4, v), 0);
    EXPECT_EQ(v, 5.0 * 1.4);
    EXPECT_EQ(e.Result(2), v * 2);
    EXPECT_EQ(e.Result(3), v); // expr(1.4) reads formula 1; formula 3 was 0 before
    ASSERT_EQ(e.Evaluate(1.4, v), 0);
    EXPECT_EQ(e.Result(3), v + v);
    // exp( is EXP, expr( is EXPR.
    EXPECT_EQ(Eval("exp(1)"), std::exp(1.0));
    EXPECT_EQ(Eval("expr(1)"), 0.0); // its own previous value: 0 before the first evaluation
    EXPECT_FALSE(Eval("expr(11)"));
    EXPECT_FALSE(Eval("expr(0)"));
}

TEST(Parse, VariableTable) {
    TExpression e;
    for (int k = 1; k <= 10; ++k) EXPECT_EQ(e.AddParam("p" + std::to_string(k)), 0);
    EXPECT_EQ(e.AddParam("p11"), 1);
    EXPECT_EQ(e.Params().Count(), 10);
    EXPECT_EQ(e.AddParam("x"), 1);
    TExpression cut;
    cut.AddParam("abcdefghijklmnopqrstuvwxyz");
    EXPECT_EQ(cut.Params().Name(1), "abcdefghijklmnopqrst");
    // A set with no formula, or one whose compile failed, evaluates to failure.
    EXPECT_EQ(cut.Compile(), 1);
    EXPECT_EQ(cut.EvaluateAll(), 1);
    cut.SetText(1, "abcdefghijklmnopqrst+1");
    cut.SetText(2, "bad name");
    cut.SetCount(2);
    EXPECT_EQ(cut.Compile(), 1);
    EXPECT_EQ(cut.Root(1), nullptr);
    cut.SetCount(1);
    EXPECT_EQ(cut.Compile(), 0);
    ASSERT_NE(cut.Root(1), nullptr);
    EXPECT_EQ(cut.Root(1)->Kind, TParseNode::Binary);
    EXPECT_EQ(cut.Root(1)->Op, OpAdd);
    EXPECT_EQ(cut.Root(1)->Arg1.Kind, TArgument::Variable);
    EXPECT_EQ(cut.Root(1)->Arg2.Value, 1.0);
}

TEST(Parse, DeepInputIsRefusedWithoutExhaustingTheStack) {
    const std::string deepParens = std::string(10000, '(') + "x" + std::string(10000, ')');
    EXPECT_FALSE(Parses(deepParens));
    std::string chain = "x";
    for (int k = 0; k < 100000; ++k) chain += "+x";
    EXPECT_FALSE(Parses(chain));
    std::string calls = "x";
    for (int k = 0; k < 1200; ++k) calls = "sin(" + calls + ")";
    EXPECT_FALSE(Parses(calls));
    // Within the limits, deep formulas work.
    const std::string nested = std::string(900, '(') + "x+1" + std::string(900, ')');
    EXPECT_EQ(Eval(nested, 1.0), 2.0);
    std::string sum = "x";
    for (int k = 0; k < 500; ++k) sum += "+x";
    EXPECT_EQ(Eval(sum, 1.0), 501.0);
    std::string longSum = "x";
    for (int k = 0; k < 1500; ++k) longSum += "+x";
    EXPECT_FALSE(Parses(longSum));
}

TEST(Parse, OverflowFailsWithoutRaisingFaults) {
    std::feclearexcept(FE_ALL_EXCEPT);
    EXPECT_FALSE(Eval("exp(1000)"));
    EXPECT_FALSE(Eval("x*x", 1e200));
    EXPECT_FALSE(Eval("x+x", 1.7e308));
    EXPECT_FALSE(Eval("x-(0-x)", 1.7e308));
    EXPECT_FALSE(Eval("x/0.001", 1e307));
    EXPECT_FALSE(Eval("x^2", 1e200));
    EXPECT_FALSE(Eval("(0-x)^3", 1e200));
    EXPECT_FALSE(Eval("1/x", 0.0));
    EXPECT_FALSE(Eval("x", std::nan("")));
    EXPECT_FALSE(Eval("x", HUGE_VAL));
    EXPECT_EQ(Eval("log(x)+ln(x)", 0.0), 0.0);
    EXPECT_DOUBLE_EQ(Eval("x*x", 1e150).value_or(0), 1e300);
    EXPECT_EQ(Eval("x+x", 8e307), 1.6e308);
    EXPECT_EQ(Eval("x*0.5", 1.7e308), 0.85e308);
    EXPECT_DOUBLE_EQ(Eval("x/0.0000000001", 1e290).value_or(0), 1e300);
    EXPECT_EQ(std::fetestexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW), 0);
}
