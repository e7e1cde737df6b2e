// The least-squares engine: convergence, locks, bounds, refusals, error estimates and the result text.
#include "../tempdir.h"
#include "curves/faultguard.h"
#include "curves/parallel.h"
#include "expr/UserFunctions.h"
#include "fit/Fit2.h"
#include "opscurves.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <gtest/gtest.h>
#include <new>
#include <thread>

namespace {

double GaussLine(double x) {
    return 5.0 * std::exp(-0.5 * std::pow((x - 1.0) / 1.5, 2)) + 0.4 + 0.1 * x;
}

// A Gaussian on a straight background, started about 20 % off the values GaussLine was made with.
void AddGaussLine(TFitParamB& fit) {
    fit.AddTerm(TPeak::Gaussian);
    fit.AddTerm(TPeak::Polynomial, 1);
    fit.Term(0).value = {0, 4.0, 1.3, 1.2};
    fit.Term(1).value = {0, 0.5, 0.08};
}

// A user function of one formula and the derivative formulas of its parameters, all starting at 1.
TUserFunction UserFunction(const std::string& formula,
                           const std::vector<std::pair<std::string, std::string>>& params) {
    TUserFunction f;
    f.Name = "f";
    f.AddVariable("x", formula, 0, 0, 0, gsNone);
    for (const auto& [name, derivative] : params) f.AddVariable(name, derivative, 1, -1e10, 1e10, gsNone);
    return f;
}

std::string FitAll(TFitParamB& fit) {
    EXPECT_TRUE(fit.RunFit()) << fit.LastError();
    return fit.ResultText();
}

} // namespace

TEST(FitEngine, StraightLineIsFittedExactly) {
    TFitParamB fit;
    ASSERT_TRUE(fit.SetData(Sampled(0, 9, 10, [](double x) { return 2 - 0.5 * x; }), 1, 10));
    fit.AddTerm(TPeak::Polynomial, 1);
    FitAll(fit);
    EXPECT_TRUE(fit.converged);
    EXPECT_EQ(fit.Failed(), 0);
    EXPECT_LT(fit.iterations, 10);
    EXPECT_NEAR(fit.Term(0).value[1], 2.0, 1e-8);
    EXPECT_NEAR(fit.Term(0).value[2], -0.5, 1e-8);
    EXPECT_LT(fit.CurrentChiSquare(), 1e-15);
    EXPECT_LT(fit.Term(0).sigma[1], 1e-9);
    EXPECT_LT(fit.Term(0).sigma[2], 1e-9);
    const std::vector<std::string> lines = fit.ResultLines();
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[0], std::to_string(fit.iterations) + " itterations performed; tolerance satisfied.");
    EXPECT_EQ(lines[1], " ");
    EXPECT_EQ(lines[2], "ChiSquare:    0.000000");
    EXPECT_EQ(lines[4], "  ");
    EXPECT_EQ(lines[5], "#0 Polynomial");
    EXPECT_EQ(lines[6], "    parameter #1 (offset)  2.0000 \u00b1   0.0000");
    EXPECT_EQ(lines[7], "    parameter #2 (slope ) -0.5000 \u00b1   0.0000");
}

TEST(FitEngine, LocksAndBounds) {
    TFitParamB fit;
    ASSERT_TRUE(fit.SetData(Sampled(-5, 5, 101, GaussLine), 1, 101));
    AddGaussLine(fit);
    fit.Term(1).value[1] = 0.25;
    fit.Term(1).lock[1] = true;
    fit.Term(0).max[2] = 0.9; // the true position 1.0 lies beyond this bound
    // Guesses in model order: the peak from the raw data (clipped to its bound), the line from the rest.
    fit.InitialGuesses(Sampled(-5, 5, 101, GaussLine), 1, 101);
    EXPECT_EQ(fit.Term(0).value[2], 0.9);
    EXPECT_NEAR(fit.Term(0).value[1], 5.6, 0.1);
    EXPECT_EQ(fit.Term(1).value[1], 0.25);
    EXPECT_NEAR(fit.Term(1).value[2], 0.1, 0.05);
    TFaultGuard guard; // an ordinary fit raises no arithmetic fault that would abandon the command
    FitAll(fit);
    EXPECT_EQ(guard.Check(), TArithFault::None);
    EXPECT_EQ(fit.Term(1).value[1], 0.25);
    EXPECT_EQ(fit.Term(1).sigma[1], 0.0);
    EXPECT_GT(fit.Term(1).sigma[2], 0.0);
    EXPECT_EQ(fit.Term(0).value[2], 0.9);
    for (int k = 1; k <= 3; ++k) EXPECT_TRUE(std::isfinite(fit.Term(0).sigma[static_cast<size_t>(k)]));
}

TEST(FitEngine, IterationLimitAndRefusals) {
    TFitParamB fit;
    const TCurveB data = Sampled(-5, 5, 101, GaussLine);
    ASSERT_TRUE(fit.SetData(data, 1, 101));
    EXPECT_FALSE(fit.SetData(data, 1, 3)); // fewer than 4 points: the data passed before are gone too
    EXPECT_EQ(fit.PointCount(), 0);
    EXPECT_FALSE(fit.SetData(data, 0, 50));
    EXPECT_FALSE(fit.SetData(data, 90, 102));
    ASSERT_TRUE(fit.SetData(data, 1, 101));
    EXPECT_FALSE(fit.Prepare()); // no term
    AddGaussLine(fit);
    fit.maxIterations = 0;
    ASSERT_TRUE(fit.Prepare());
    const TPeak::TParamReals start = fit.Term(0).value;
    EXPECT_TRUE(fit.Step());
    EXPECT_FALSE(fit.converged);
    EXPECT_EQ(fit.ResultLines()[0], "Maximum number of itterations exceeded; tolerance not satisfied.");
    // A limit of 0 evaluates the start only: no step taken, the start's errors estimated.
    EXPECT_EQ(fit.iterations, 0);
    EXPECT_EQ(fit.Term(0).value, start);
    EXPECT_GT(fit.Term(0).sigma[1], 0.0);
    // A limit of N takes at most N steps, each Step call one of them; a fit that converges within the limit
    // says so.
    for (int32_t limit : {1, 2, 3}) {
        fit.maxIterations = limit;
        fit.Term(0).value = start;
        ASSERT_TRUE(fit.Prepare());
        int32_t calls = 1;
        while (!fit.Step()) ++calls;
        EXPECT_EQ(fit.iterations, limit);
        EXPECT_EQ(calls, limit);
        EXPECT_FALSE(fit.converged) << limit;
        EXPECT_NE(fit.Term(0).value, start);
    }
    fit.maxIterations = 100;
    fit.Term(0).value = start;
    FitAll(fit);
    const int32_t needed = fit.iterations;
    ASSERT_TRUE(fit.converged);
    fit.maxIterations = needed;
    fit.Term(0).value = start;
    FitAll(fit);
    EXPECT_TRUE(fit.converged);
    EXPECT_EQ(fit.iterations, needed);
    fit.maxIterations = needed - 1;
    fit.Term(0).value = start;
    FitAll(fit);
    EXPECT_FALSE(fit.converged);
    EXPECT_EQ(fit.iterations, needed - 1);

    // Not more points than parameters: the fit does not start.
    ASSERT_TRUE(fit.SetData(data, 1, 5));
    EXPECT_FALSE(fit.Prepare());
    EXPECT_NE(fit.LastError().find("Too few data points"), std::string::npos);
    ASSERT_TRUE(fit.SetData(data, 1, 6));
    EXPECT_TRUE(fit.Prepare());

    // More than 50 parameters in all: refused with the reason.
    ASSERT_TRUE(fit.SetData(data, 1, 101));
    fit.Clear();
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(fit.AddTerm(TPeak::Polynomial, 8));
    EXPECT_FALSE(fit.Prepare());
    EXPECT_NE(fit.LastError().find("54 parameters"), std::string::npos);
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(fit.AddTerm(TPeak::Exponential));
    EXPECT_FALSE(fit.AddTerm(TPeak::Exponential)); // ten terms at most
    EXPECT_TRUE(fit.Step());                       // a step that cannot prepare finishes at once
    EXPECT_EQ(fit.Failed(), 1);

    fit.RemoveTerm(0);
    EXPECT_EQ(fit.TermCount(), 9);
    EXPECT_EQ(fit.Term(0).nparams, 9);
    EXPECT_EQ(fit.Term(5).type, TPeak::Exponential);
}

TEST(FitEngine, SingularMatrixFails) {
    // Amplitude 0 leaves the position and width without any effect on the model.
    TFitParamB fit;
    ASSERT_TRUE(fit.SetData(Sampled(-5, 5, 50, GaussLine), 1, 50));
    fit.AddTerm(TPeak::Gaussian);
    fit.Term(0).min[1] = -1e10;
    fit.Term(0).value[1] = 0.0;
    FitAll(fit);
    EXPECT_EQ(fit.Failed(), 1);
    const std::vector<std::string> lines = fit.ResultLines();
    EXPECT_EQ(lines[0], "ERROR:  matrix does not converge!!!");
    // What failed, not the iteration limit.
    EXPECT_EQ(lines[1], "The fit's equations cannot be solved at iteration 1: a free parameter has no "
                        "influence on the model over the data, or two have the same.");
    EXPECT_EQ(fit.Failure(), lines[1]);
    EXPECT_EQ(fit.Term(0).value[1], 0.0); // the last accepted values stay
    // A damping that grows past its range says so.
    TFitParamB stuck;
    ASSERT_TRUE(stuck.SetData(Sampled(-5, 5, 50, GaussLine), 1, 50));
    stuck.AddTerm(TPeak::Exponential);
    stuck.Term(0).value = {0, 1.0, 400.0}; // e^(b x) capped at 1e40 over half the data: no step helps
    stuck.maxIterations = 10000;
    FitAll(stuck);
    if (stuck.Failed() != 0) {
        EXPECT_EQ(stuck.ResultLines()[1].rfind("No step lowered chi-square at iteration ", 0), 0u)
            << stuck.ResultLines()[1];
        EXPECT_LT(stuck.iterations, 10000);
    }
}

TEST(FitEngine, DefaultBoundsKeepTheDataScaleAndBoundsAreFlagged) {
    // Counts of about 5e13: a constant, a line and a peak all fit at the data's own scale.
    const TCurveB big = Sampled(0, 10, 50, [](double x) { return 5e13 + 1e12 * std::sin(x); });
    TFitParamB fit;
    ASSERT_TRUE(fit.SetData(big, 1, 50));
    fit.AddTerm(TPeak::Polynomial, 0);
    fit.InitialGuesses(big, 1, 50);
    const std::string text = FitAll(fit);
    EXPECT_NEAR(fit.Term(0).value[1] / 5e13, 1.0, 0.01);
    EXPECT_EQ(BoundReached(fit.Term(0), 1), nullptr);
    EXPECT_EQ(text.find("(at "), std::string::npos) << text;
    EXPECT_EQ(text.find("bound"), std::string::npos) << text;
    for (int type = 0; type < TPeak::BuiltInCount; ++type) {
        const TPeak t = TPeak::Create(type, 1);
        for (int k = 1; k <= t.nparams; ++k) {
            EXPECT_LE(t.min[static_cast<size_t>(k)], type == TPeak::Polynomial ? -1.7e38 : 1.0) << type;
            // Only the mixing fractions have an upper bound of their own.
            const bool fraction = (type == TPeak::GausLorentz || type == TPeak::PseudoVoigt) && k == 4;
            EXPECT_GE(t.max[static_cast<size_t>(k)], fraction ? 1.0 : 1.7e38) << type;
        }
    }

    // A bound the user set that the data would pass: the parameter ends on it, and the result says so on
    // its line and under the status, in both texts.
    fit.Term(0).max[1] = 1e10;
    fit.Term(0).value[1] = 0;
    const std::string held = FitAll(fit);
    EXPECT_EQ(fit.Term(0).value[1], 1e10);
    EXPECT_STREQ(BoundReached(fit.Term(0), 1), "max");
    const std::vector<std::string> lines = fit.ResultLines();
    EXPECT_EQ(lines[1],
              "Parameters marked (at min) or (at max) ended at a bound; the best fit may lie beyond it.");
    EXPECT_EQ(lines.back().substr(lines.back().size() - 10), "  (at max)") << lines.back();
    EXPECT_NE(fit.FullResultText().find("offset = 1e+10 \u00b1 "), std::string::npos);
    EXPECT_NE(fit.FullResultText().find("  (at max)\n"), std::string::npos);
    // At the lower bound, and both sides of it; a locked parameter on a bound is not flagged.
    TPeak p = TPeak::Create(TPeak::Gaussian);
    p.value[1] = 1e-10;
    EXPECT_STREQ(BoundReached(p, 1), "min");
    p.value[1] = std::nextafter(1e-10, 1.0);
    EXPECT_EQ(BoundReached(p, 1), nullptr);
    p.max[2] = 3;
    p.value[2] = std::nextafter(3.0, 0.0);
    EXPECT_EQ(BoundReached(p, 2), nullptr);
    p.value[2] = 3;
    EXPECT_STREQ(BoundReached(p, 2), "max");
    p.lock[2] = true;
    EXPECT_EQ(BoundReached(p, 2), nullptr);
    EXPECT_EQ(BoundReached(p, 0), nullptr);
    EXPECT_EQ(BoundReached(p, 4), nullptr);
}

TEST(FitEngine, FlatDataReportsAFiniteFigure) {
    TFitParamB fit;
    ASSERT_TRUE(fit.SetData(Sampled(0, 1, 20, [](double) { return 3.0; }), 1, 20));
    EXPECT_EQ(fit.YRange(), 0.0);
    fit.AddTerm(TPeak::Polynomial, 0);
    ASSERT_TRUE(fit.Prepare());
    EXPECT_DOUBLE_EQ(fit.Rms(), 3.0); // residual 3 everywhere, relative to 1
    FitAll(fit);
    EXPECT_NEAR(fit.Term(0).value[1], 3.0, 1e-9);
    EXPECT_TRUE(std::isfinite(fit.Rms()));
}

TEST(FitEngine, TabulatedTermFromFile) {
    const TTempDir dir;
    const std::string shape = dir.Write("shape.dat", "0 0\n1 1\n2 4\n3 9\n4 16\n");
    const std::string single = dir.Write("one.dat", "1 1\n");

    TFitParamB fit;
    ASSERT_TRUE(
        fit.SetData(Sampled(-1, 5, 25, [](double x) { return 3.0 * std::clamp(x, 0.0, 4.0); }), 1, 25));
    std::string error;
    EXPECT_FALSE(fit.AddTabulatedTerm(single, &error));
    EXPECT_NE(error.find(single), std::string::npos);
    EXPECT_FALSE(fit.AddTabulatedTerm((dir / "missing.dat").string(), &error));
    EXPECT_NE(error.find("missing.dat"), std::string::npos);
    EXPECT_EQ(fit.TermCount(), 0);

    ASSERT_TRUE(fit.AddTabulatedTerm(shape, &error)) << error;
    EXPECT_EQ(fit.Term(0).fileName, shape);
    // Sampled at the data points (held at its ends outside it: the model's test).
    ASSERT_EQ(fit.Term(0).tabulated->Count(), 25);
    fit.AddTerm(TPeak::Polynomial, 1);
    FitAll(fit);
    EXPECT_TRUE(fit.converged);
    EXPECT_GT(fit.Term(0).value[1], 0.0);
    // A new fit range brings new samples.
    ASSERT_TRUE(fit.SetData(Sampled(0, 4, 9, [](double x) { return x; }), 2, 9));
    EXPECT_EQ(fit.Term(0).tabulated->Count(), 8);
    EXPECT_DOUBLE_EQ(fit.Term(0).tabulated->Y(1), 0.5);
    EXPECT_DOUBLE_EQ(fit.Term(0).tabulated->Y(3), 2.5);
}

TEST(FitEngine, FittedCurves) {
    TFitParamB fit;
    TCurveB curve = Sampled(0, 10, 11, [](double x) { return x; });
    TCurveB out = curve;
    ASSERT_TRUE(fit.AddTerm(TPeak::Polynomial, 1));
    ASSERT_TRUE(fit.AddTerm(TPeak::Polynomial, 0));
    fit.Term(0).value = {0, 1.0, 2.0};
    fit.Term(1).value = {0, 10.0};
    ASSERT_TRUE(fit.ModelCurve(out, -1)); // every term
    EXPECT_DOUBLE_EQ(out.Y(6), 21.0);
    ASSERT_TRUE(fit.ModelCurve(out, 1)); // the second term alone
    EXPECT_EQ(out.Y(3), 10.0);
    EXPECT_FALSE(fit.ModelCurve(out, 2));
    out.XMax = out.XMin;
    EXPECT_FALSE(fit.ModelCurve(out, -1));

    // The displayed curve spans the data with the chosen number of points.
    ASSERT_TRUE(fit.SetData(curve, 3, 8));
    fit.SetDisplayIncrements(6);
    ASSERT_EQ(fit.DisplayCurve().Count(), 6);
    EXPECT_DOUBLE_EQ(fit.DisplayCurve().X(1), 2.0);
    EXPECT_DOUBLE_EQ(fit.DisplayCurve().X(6), 7.0);
    EXPECT_DOUBLE_EQ(fit.DisplayCurve().Y(6), 25.0);
}

TEST(FitEngine, RejectedStepsRaiseTheDampingAndTheFitRecovers) {
    TFitParamB fit;
    ASSERT_TRUE(fit.SetData(Sampled(-5, 5, 101, GaussLine), 1, 101));
    AddGaussLine(fit);
    fit.Term(0).value = {0, 1.0, -1.0, 0.6}; // far off: the first full steps overshoot
    ASSERT_TRUE(fit.Prepare());
    int rejected = 0;
    double lambda = 0.001;
    while (!fit.Step()) {
        if (fit.Lambda() > lambda) {
            EXPECT_DOUBLE_EQ(fit.Lambda(), lambda * 10);
            ++rejected;
        }
        lambda = fit.Lambda();
    }
    EXPECT_GT(rejected, 0);
    EXPECT_TRUE(fit.converged);
    EXPECT_NEAR(fit.Term(0).value[1], 5.0, 1e-4);
    EXPECT_NEAR(fit.Term(0).value[2], 1.0, 1e-4);
    EXPECT_NEAR(std::fabs(fit.Term(0).value[3]), 1.5, 1e-4);
}

TEST(FitEngine, LineSigmasFollowTheClosedForm) {
    // For a straight line the error estimates are sqrt(chi2 / (N - 2) / Sxx) for the slope and
    // sqrt(chi2 / (N - 2) * (1 / N + mean(x)^2 / Sxx)) for the offset.
    const int n = 20;
    TFitParamB fit;
    ASSERT_TRUE(fit.SetData(Sampled(
                                0, 19, n, [](double x) { return 1 + 0.5 * x; }, 0.3),
                            1, n));
    fit.AddTerm(TPeak::Polynomial, 1);
    FitAll(fit);
    double mean = 0, sxx = 0;
    for (int i = 0; i < n; ++i) mean += fit.DataX()[i] / n;
    for (int i = 0; i < n; ++i) sxx += (fit.DataX()[i] - mean) * (fit.DataX()[i] - mean);
    const double variance = fit.SumOfSquares() / (n - 2);
    EXPECT_NEAR(fit.Term(0).sigma[2], std::sqrt(variance / sxx), 1e-9 * fit.Term(0).sigma[2]);
    EXPECT_NEAR(fit.Term(0).sigma[1], std::sqrt(variance * (1.0 / n + mean * mean / sxx)),
                1e-9 * fit.Term(0).sigma[1]);
    EXPECT_DOUBLE_EQ(fit.ReducedChiSquare(), variance);
}

TEST(FitEngine, LockedParameterAnywhereActsAsTheModelWithoutIt) {
    // An exponential, a Gaussian and a line; the fit with one parameter locked must equal the fit of the
    // model in which that parameter is a constant: the same values and sigmas of the free parameters, the
    // same chi-square. Locks at the first, a middle and the last place.
    const TCurveB data = Sampled(
        -6, 8, 120,
        [](double x) {
            return 2 * std::exp(-0.3 * x) + 5 * std::exp(-0.5 * std::pow((x - 1) / 1.5, 2)) + 0.4 + 0.1 * x;
        },
        0.05);
    const int32_t types[3] = {TPeak::Exponential, TPeak::Gaussian, TPeak::Polynomial};
    const TPeak::TParamReals starts[3] = {{0, 1.8, -0.25}, {0, 4.5, 1.1, 1.3}, {0, 0.3, 0.12}};
    struct TCase {
        int term, k;
        double value;
        std::string formula; // the term with the parameter as a constant (the line's slope: off the data)
        std::vector<std::pair<std::string, std::string>> params;
    };
    const TCase cases[] = {
        {0, 1, 2.0, "2*exp(b*x)", {{"b", "x*EXPR(1)"}}},
        {1,
         2,
         1.0,
         "A*exp(-0.5*((x-1)/w)^2)",
         {{"A", "exp(-0.5*((x-1)/w)^2)"}, {"w", "A*(x-1)^2/w^3*exp(-0.5*((x-1)/w)^2)"}}},
        {2, 2, 0.1, "", {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.term);
        TCurveB rest = data;
        if (c.term == 2)
            for (int32_t i = 1; i <= rest.Count(); ++i)
                rest.SetXY(i, rest.X(i), rest.Y(i) - c.value * rest.X(i));
        TFitParamB locked, reduced;
        ASSERT_TRUE(locked.SetData(data, 1, 120));
        ASSERT_TRUE(reduced.SetData(rest, 1, 120));
        for (int t = 0; t < 3; ++t) {
            locked.AddTerm(types[t], 1);
            if (t != c.term)
                reduced.AddTerm(types[t], 1);
            else if (t == 2)
                reduced.AddTerm(TPeak::Polynomial, 0);
            else
                ASSERT_TRUE(reduced.AddUserTerm(UserFunction(c.formula, c.params)));
            locked.Term(t).value = starts[t];
            for (int k = 1, rk = 1; k <= locked.Term(t).nparams; ++k)
                if (t != c.term || k != c.k) reduced.Term(t).value[static_cast<size_t>(rk++)] = starts[t][k];
        }
        locked.Term(c.term).value[static_cast<size_t>(c.k)] = c.value;
        locked.Term(c.term).lock[static_cast<size_t>(c.k)] = true;
        for (TFitParamB* fit : {&locked, &reduced}) {
            fit->convergeTest = TConvergeTest::Relative;
            FitAll(*fit);
            ASSERT_TRUE(fit->converged);
        }
        EXPECT_EQ(locked.Term(c.term).value[static_cast<size_t>(c.k)], c.value);
        EXPECT_EQ(locked.Term(c.term).sigma[static_cast<size_t>(c.k)], 0.0);
        EXPECT_NEAR(reduced.SumOfSquares(), locked.SumOfSquares(), 1e-10 * locked.SumOfSquares());
        for (int t = 0; t < 3; ++t)
            for (int k = 1; k <= locked.Term(t).nparams; ++k) {
                if (t == c.term && k == c.k) continue;
                const size_t i = static_cast<size_t>(k), ri = t == c.term && k > c.k ? i - 1 : i;
                EXPECT_NEAR(reduced.Term(t).value[ri], locked.Term(t).value[i],
                            1e-7 * std::fabs(locked.Term(t).value[i]))
                    << t << "." << k;
                EXPECT_NEAR(reduced.Term(t).sigma[ri], locked.Term(t).sigma[i],
                            1e-6 * locked.Term(t).sigma[i])
                    << t << "." << k;
            }
    }
}

TEST(FitEngine, TrialWhoseDerivativesOverflowIsRejected) {
    // The derivative the user typed overflows once a reaches 10: the steps there are taken back, the fit
    // ends below 10 and leaves no fault for the command.
    TFitParamB fit;
    ASSERT_TRUE(fit.SetData(Sampled(1, 10, 10, [](double x) { return 12 * x; }), 1, 10));
    ASSERT_TRUE(fit.AddUserTerm(UserFunction("a*x", {{"a", "x*(1+1e200*trunc(a/10)*1e200)"}})));
    fit.convergeTest = TConvergeTest::Relative;
    fit.maxIterations = 1000;
    TFaultGuard guard;
    FitAll(fit);
    EXPECT_EQ(guard.Check(), TArithFault::None);
    EXPECT_NE(fit.Status(), TFitStatus::Failed);
    EXPECT_LT(fit.Term(0).value[1], 10.0);
    EXPECT_GT(fit.Term(0).value[1], 9.9);
}

TEST(FitEngine, ManyPointsAreSummedInStretchesOverTheCores) {
    // 100,000 points make four stretches of sums, taken by whichever thread is free: the fit still lands on
    // the values the points were made with.
    TFitParamB fit;
    ASSERT_TRUE(fit.SetData(Sampled(-10, 10, 100000, GaussLine), 1, 100000));
    AddGaussLine(fit);
    fit.convergeTest = TConvergeTest::Relative;
    TFaultGuard guard;
    FitAll(fit);
    EXPECT_EQ(guard.Check(), TArithFault::None);
    EXPECT_LT(fit.CurrentChiSquare(), 1e-12);
    EXPECT_NEAR(fit.Term(0).value[1], 5.0, 1e-9);
    EXPECT_NEAR(fit.Term(0).value[2], 1.0, 1e-9);
    EXPECT_NEAR(fit.Term(1).value[1], 0.4, 1e-9);
    EXPECT_NEAR(fit.Term(1).value[2], 0.1, 1e-9);
}

TEST(ParallelFor, EveryPartRunsOnceAndFaultsAndExceptionsReachTheCallingThread) {
    // A fault raised by a part that a helper thread ran is raised on the calling thread too, where a
    // command's guard looks for it.
    const auto caller = std::this_thread::get_id();
    std::vector<std::atomic<int>> runs(32);
    std::atomic<bool> helped{false};
    TFaultGuard guard;
    ParallelFor(32, [&](int32_t k) {
        ++runs[static_cast<size_t>(k)];
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (std::this_thread::get_id() != caller) {
            helped = true;
            volatile double big = 1e308;
            big = big * 10.0;
        }
    });
    for (const auto& r : runs) EXPECT_EQ(r.load(), 1);
    if (!helped) GTEST_SKIP() << "no helper thread took a part (one core, or a busy machine)";
    EXPECT_EQ(guard.Check(), TArithFault::Overflow);

    // So is an exception (no memory, say), once every part has ended.
    std::atomic<int> ran{0};
    helped = false;
    bool threw = false;
    try {
        ParallelFor(32, [&](int32_t) {
            ++ran;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (std::this_thread::get_id() != caller) {
                helped = true;
                throw std::bad_alloc();
            }
        });
    } catch (const std::bad_alloc&) {
        threw = true;
    }
    EXPECT_EQ(ran.load(), 32);
    EXPECT_EQ(threw, helped.load());
}

TEST(ParallelFor, ACapHoldsTheThreadsOfItsOwnThreadWhileItLives) {
    const int free = ParallelThreads(64);
    {
        const TThreadCap one(1);
        EXPECT_EQ(ParallelThreads(64), 1);
        const auto caller = std::this_thread::get_id();
        std::atomic<bool> elsewhere{false};
        ParallelFor(16, [&](int32_t) { elsewhere = elsewhere || std::this_thread::get_id() != caller; });
        EXPECT_FALSE(elsewhere.load());
        {
            const TThreadCap more(4); // an inner cap does not raise an outer one
            EXPECT_EQ(ParallelThreads(64), 1);
        }
        int other = 0; // another thread keeps every core
        std::thread([&] { other = ParallelThreads(64); }).join();
        EXPECT_EQ(other, free);
    }
    EXPECT_EQ(ParallelThreads(64), free);
    {
        const TThreadCap two(2);
        EXPECT_EQ(ParallelThreads(64), std::min(free, 2));
        EXPECT_EQ(ParallelThreads(1), 1);
        const TThreadCap none(0); // no threads at all is this thread alone
        EXPECT_EQ(ParallelThreads(64), 1);
    }
}

TEST(FitEngine, DataOfAnyMagnitudeGiveTheSameFit) {
    // The same noisy peak on a background, times 2^-560 (its squares lie below the smallest double) and
    // times 2^560 (above the largest): the fit reaches the same shape, its heights and sigmas in proportion.
    // (The steps follow the model's bending, measured at the rounding of each data's own units, so they
    // may part in the last digits. Where chi-square no longer changes but by rounding, a fit that got
    // there a step early spends steps raising the damping until a step small enough to end it is taken:
    // the fits end within a dozen steps and 1e-9 of each other.)
    const TCurveB data = Sampled(-5, 8, 200, GaussLine, 0.05);
    auto fitOf = [&](int exponent, TFitParamB& fit) {
        TCurveB c = data;
        for (int32_t i = 1; i <= c.Count(); ++i) c.SetY(i, std::ldexp(c.Y(i), exponent));
        ASSERT_TRUE(fit.SetData(c, 1, c.Count()));
        AddGaussLine(fit);
        for (auto [t, k] : {std::pair{0, 1}, {1, 1}, {1, 2}}) {
            TPeak& p = fit.Term(t);
            const size_t i = static_cast<size_t>(k);
            p.value[i] = std::ldexp(p.value[i], exponent);
            p.min[i] = t == 0 ? 0.0 : -1e300; // bounds that hold every height
            p.max[i] = 1e300;
        }
        fit.convergeTest = TConvergeTest::Relative;
        FitAll(fit);
    };
    TFitParamB plain;
    fitOf(0, plain);
    ASSERT_EQ(plain.Status(), TFitStatus::Converged);
    for (int exponent : {-560, 560}) {
        TFitParamB scaled;
        TFaultGuard guard;
        fitOf(exponent, scaled);
        EXPECT_EQ(guard.Check(), TArithFault::None);
        EXPECT_EQ(scaled.Status(), TFitStatus::Converged) << exponent;
        EXPECT_NEAR(scaled.iterations, plain.iterations, 12) << exponent;
        for (int t = 0; t < 2; ++t)
            for (int k = 1; k <= plain.Term(t).nparams; ++k) {
                const size_t i = static_cast<size_t>(k);
                const int e = t == 0 && k > 1 ? 0 : exponent; // position and width keep their units
                EXPECT_NEAR(std::ldexp(scaled.Term(t).value[i], -e), plain.Term(t).value[i],
                            1e-9 * std::fabs(plain.Term(t).value[i]))
                    << exponent << " " << t << "." << k;
                EXPECT_NEAR(std::ldexp(scaled.Term(t).sigma[i], -e), plain.Term(t).sigma[i],
                            1e-9 * plain.Term(t).sigma[i])
                    << exponent << " " << t << "." << k;
            }
        EXPECT_DOUBLE_EQ(scaled.RSquared(), plain.RSquared()) << exponent;
    }
}

TEST(FitEngine, RelativeTestEndsWhereABestValueIsZero) {
    // The even terms of a polynomial through an odd curve, and the position and slope under a symmetric peak,
    // are best at 0 and change by rounding from step to step: the fit converges all the same.
    TFitParamB poly, peak;
    ASSERT_TRUE(poly.SetData(Sampled(-3, 3, 13, [](double x) { return std::sin(x); }), 1, 13));
    poly.AddTerm(TPeak::Polynomial, 4);
    ASSERT_TRUE(peak.SetData(
        Sampled(-6, 6, 61, [](double x) { return 2 * std::exp(-x * x / 2) + 0.05 * std::cos(16.5 * x); }), 1,
        61));
    AddGaussLine(peak);
    peak.Term(0).value[2] = 0.3;
    for (TFitParamB* fit : {&poly, &peak}) {
        fit->convergeTest = TConvergeTest::Relative;
        fit->maxIterations = 10000;
        FitAll(*fit);
        EXPECT_EQ(fit->Status(), TFitStatus::Converged);
        EXPECT_LT(fit->iterations, 50);
    }
    for (int k : {1, 3, 5}) EXPECT_LT(std::fabs(poly.Term(0).value[static_cast<size_t>(k)]), 1e-12) << k;
    EXPECT_LT(std::fabs(peak.Term(0).value[2]), 1e-12);
}
