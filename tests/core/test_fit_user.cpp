// Terms made from user-defined functions: creation, values with derivatives, failures and fitting.
#include "expr/UserFunctions.h"
#include "fit/Fit2.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

// f = a exp(b x) with the user's derivatives, guessed as an exponential.
TUserFunction Decay() {
    TUserFunction f;
    f.Name = "decay";
    f.AddVariable("x", "a*exp(b*x)", 0, 0, 0, 0);
    f.AddVariable("a", "exp(b*x)", 2.0, -100, 100, gsExponentialA);
    f.AddVariable("b", "x*EXPR(1)", -0.5, -10, 10, gsExponentialB);
    return f;
}

} // namespace

TEST(FitUserTerm, CreatedFromTheFunction) {
    TPeak t = TPeak::Create(TPeak::Polynomial);
    TUserFunction f = Decay();
    ASSERT_TRUE(TPeak::CreateUser(f, t));
    EXPECT_EQ(t.nparams, 2);
    EXPECT_EQ(t.ParamName(2), "b");
    EXPECT_EQ(t.min[2], -10.0);

    // The names stay with the term when the library's function changes or goes.
    f.Name = "renamed";
    EXPECT_EQ(t.TypeName(), "decay");
    EXPECT_EQ(t.Copy().expression.get(), t.expression.get());

    // Value and derivatives come from one evaluation of the set.
    TPeak::TParamReals d{};
    const double v = t.ValueAndDerivatives(1.5, d);
    EXPECT_DOUBLE_EQ(v, 2.0 * std::exp(-0.75));
    EXPECT_DOUBLE_EQ(t.Value(1.5), v);
    EXPECT_DOUBLE_EQ(d[1], std::exp(-0.75));
    EXPECT_DOUBLE_EQ(d[2], 1.5 * v);

    TUserFunction bad;
    bad.Name = "bad";
    bad.AddVariable("x", "a*(x", 0, 0, 0, 0);
    bad.AddVariable("a", "x", 1, -1, 1, 0);
    TPeak kept = t;
    EXPECT_FALSE(TPeak::CreateUser(bad, kept));
    EXPECT_EQ(kept.TypeName(), "decay");
    TFitParamB fit;
    EXPECT_FALSE(fit.AddUserTerm(bad));
    EXPECT_EQ(fit.TermCount(), 0);
}

TEST(FitUserTerm, FailedEvaluationGivesZero) {
    // a / x fails at x = 0 (a divisor below 1e-50): the point has value and derivatives 0.
    TUserFunction f;
    f.Name = "hyper";
    f.AddVariable("x", "a/x", 0, 0, 0, 0);
    f.AddVariable("a", "1/x", 3.0, -10, 10, 0);
    TPeak t = TPeak::Create(TPeak::Polynomial);
    ASSERT_TRUE(TPeak::CreateUser(f, t));
    TPeak::TParamReals d{};
    d[1] = 7;
    EXPECT_EQ(t.ValueAndDerivatives(0.0, d), 0.0);
    EXPECT_EQ(d[1], 0.0);
    EXPECT_EQ(t.Value(0.0), 0.0);
    EXPECT_DOUBLE_EQ(t.Value(2.0), 1.5);

    // Its guesses use the styles of its variables; with kind code -1 nothing is subtracted, with a tag of
    // its own it is.
    TCurveB c;
    for (int i = 1; i <= 5; ++i) c.AddPoint(i, 10.0 / i);
    t.guessStyle[1] = gsPeakAmplitude;
    t.InitialGuess(c, 1, 5, true);
    EXPECT_DOUBLE_EQ(t.value[1], 8.0);
    EXPECT_EQ(c.Y(2), 5.0);
    t.kindCode = 7;
    t.InitialGuess(c, 1, 5, true);
    EXPECT_DOUBLE_EQ(c.Y(2), 1.0);
}

TEST(FitUserTerm, FitsWithGuessesAndBuiltInTerms) {
    TCurveB data;
    for (int i = 0; i < 60; ++i) {
        const double x = 0.1 * i;
        data.AddPoint(x, 4.0 * std::exp(-1.3 * x) + 0.2);
    }
    data.CalcRanges();
    TFitParamB fit;
    ASSERT_TRUE(fit.SetData(data, 1, 60));
    ASSERT_TRUE(fit.AddUserTerm(Decay()));
    ASSERT_TRUE(fit.AddTerm(TPeak::Polynomial, 0));
    TCurveB work = data;
    fit.Term(0).InitialGuess(work, 1, 60, true);
    EXPECT_LT(fit.Term(0).value[2], -0.3);
    ASSERT_TRUE(fit.RunFit());
    EXPECT_TRUE(fit.converged);
    EXPECT_NEAR(fit.Term(0).value[1], 4.0, 1e-5);
    EXPECT_NEAR(fit.Term(0).value[2], -1.3, 1e-5);
    EXPECT_NEAR(fit.Term(1).value[1], 0.2, 1e-5);
    const std::vector<std::string> lines = fit.ResultLines();
    EXPECT_EQ(lines[5], "#0 decay");
    EXPECT_EQ(lines[6].substr(0, 19), "    parameter #1 (a");
}

TEST(FitUserTerm, PeakOnABackgroundIsGuessedAndFittedOverManyPoints) {
    // a exp(-0.5 ((x - c) / w)^2) + b: parameter 2 is the peak's position, no slope, so the offset starts at
    // the mean of the end values (it started at about -124, the model far off the data).
    TUserFunction f;
    f.Name = "peak";
    f.AddVariable("x", "a*exp(-0.5*((x-c)/w)^2)+b", 0, 0, 0, gsNone);
    f.AddVariable("a", "exp(-0.5*((x-c)/w)^2)", 1, -1e10, 1e10, gsPeakAmplitude);
    f.AddVariable("c", "a*exp(-0.5*((x-c)/w)^2)*(x-c)/w^2", 1, -1e10, 1e10, gsPeakPosition);
    f.AddVariable("w", "a*exp(-0.5*((x-c)/w)^2)*(x-c)^2/w^3", 1, 1e-10, 1e10, gsPeakWidth);
    f.AddVariable("b", "1", 0, -1e10, 1e10, gsOffset);
    // The example peak, 12.5 wide 0.8 high 6 on 1 + 0.05 x, over 0..20, without its noise; enough points that
    // the sums are spread over the cores.
    const int32_t n = 100001;
    TCurveB data(n);
    for (int32_t i = 0; i < n; ++i) {
        const double x = 20.0 * i / (n - 1);
        data.AddPoint(x, 6 * std::exp(-0.5 * std::pow((x - 12.5) / 0.8, 2)) + 1 + 0.05 * x);
    }
    data.CalcRanges();
    TFitParamB fit;
    ASSERT_TRUE(fit.SetData(data, 1, n));
    ASSERT_TRUE(fit.AddUserTerm(f));
    fit.InitialGuesses(data, 1, n);
    EXPECT_DOUBLE_EQ(fit.Term(0).value[4], (1.0 + 2.0) / 2);
    EXPECT_NEAR(fit.Term(0).value[2], 12.5, 0.01); // the highest point
    ASSERT_TRUE(fit.RunFit());
    EXPECT_EQ(fit.Failed(), 0);
    EXPECT_NEAR(fit.Term(0).value[2], 12.5, 0.05);
    EXPECT_NEAR(fit.Term(0).value[1], 6.0, 0.5);
    // The model over the points is the same whether the sums ran on one thread or several.
    TFitParamB one;
    TCurveB few(7);
    for (int32_t i = 1; i <= 7; ++i) few.AddPoint(data.X(i * 14000), data.Y(i * 14000));
    ASSERT_TRUE(one.SetData(few, 1, 7));
    ASSERT_TRUE(one.AddUserTerm(f));
    one.Term(0).value = fit.Term(0).value;
    TCurveB at;
    ASSERT_TRUE(fit.ModelAtDataPoints(at, false));
    for (int32_t i = 1; i <= 7; ++i) EXPECT_EQ(one.ModelValueAt(few.X(i), -1), at.Y(i * 14000)) << i;
}
