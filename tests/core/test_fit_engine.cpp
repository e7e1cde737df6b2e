// The least-squares engine: convergence, locks, bounds, refusals, error estimates and the result text.
#include "curves/faultguard.h"
#include "fit/Fit2.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <unistd.h>

namespace {

double GaussLine(double x) {
    return 5.0 * std::exp(-0.5 * std::pow((x - 1.0) / 1.5, 2)) + 0.4 + 0.1 * x;
}

TCurveB Sampled(double x0, double x1, int n, double (*f)(double), double noise = 0.0, unsigned seed = 1) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> gauss(0.0, noise > 0 ? noise : 1.0);
    TCurveB c;
    for (int i = 0; i < n; ++i) {
        const double x = x0 + (x1 - x0) * i / (n - 1);
        c.AddPoint(x, f(x) + (noise > 0 ? gauss(rng) : 0.0));
    }
    c.CalcRanges();
    return c;
}

// A Gaussian on a straight background, started about 20 % off the values GaussLine was made with.
void AddGaussLine(TFitParamB& fit) {
    fit.AddTerm(TPeak::Gaussian);
    fit.AddTerm(TPeak::Polynomial, 1);
    fit.Term(0).value = {0, 4.0, 1.3, 1.2};
    fit.Term(1).value = {0, 0.5, 0.08};
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
    EXPECT_FALSE(fit.SetData(data, 1, 3)); // fewer than 4 points
    EXPECT_FALSE(fit.SetData(data, 0, 50));
    EXPECT_FALSE(fit.SetData(data, 90, 102));
    ASSERT_TRUE(fit.SetData(data, 1, 101));
    EXPECT_FALSE(fit.Prepare()); // no term
    AddGaussLine(fit);
    fit.maxIterations = 0;
    ASSERT_TRUE(fit.Prepare());
    EXPECT_TRUE(fit.Step());
    EXPECT_FALSE(fit.converged);
    EXPECT_EQ(fit.ResultLines()[0], "Maximum number of itterations exceeded; tolerance not satisfied.");

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
    EXPECT_EQ(lines[1], "Maximum number of itterations exceeded; tolerance not satisfied.");
    EXPECT_EQ(fit.Term(0).value[1], 0.0); // the last accepted values stay
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

TEST(FitEngine, NoisyPeakSigmasMatchTheSpread) {
    // Errors estimated by one fit against the spread of the values over many noisy copies of the data.
    const int runs = 300;
    const double noise = 0.2;
    std::vector<double> a, x0, w;
    double sigmaA = 0, sigmaX0 = 0, sigmaW = 0;
    for (int r = 0; r < runs; ++r) {
        TFitParamB fit;
        ASSERT_TRUE(
            fit.SetData(Sampled(-6, 8, 200, GaussLine, noise, 100u + static_cast<unsigned>(r)), 1, 200));
        AddGaussLine(fit);
        FitAll(fit);
        ASSERT_EQ(fit.Failed(), 0);
        a.push_back(fit.Term(0).value[1]);
        x0.push_back(fit.Term(0).value[2]);
        w.push_back(fit.Term(0).value[3]);
        if (r == 0) {
            sigmaA = fit.Term(0).sigma[1];
            sigmaX0 = fit.Term(0).sigma[2];
            sigmaW = fit.Term(0).sigma[3];
            EXPECT_NEAR(a.back(), 5.0, 5 * sigmaA);
            EXPECT_NEAR(x0.back(), 1.0, 5 * sigmaX0);
            EXPECT_NEAR(w.back(), 1.5, 5 * sigmaW);
            EXPECT_NEAR(fit.Rms(), noise / fit.YRange(), 0.2 * noise / fit.YRange());
        }
    }
    auto spread = [](const std::vector<double>& v) {
        double m = 0, s = 0;
        for (double e : v) m += e;
        m /= static_cast<double>(v.size());
        for (double e : v) s += (e - m) * (e - m);
        return std::sqrt(s / static_cast<double>(v.size() - 1));
    };
    for (auto [est, vals] : {std::pair{sigmaA, a}, {sigmaX0, x0}, {sigmaW, w}}) {
        EXPECT_GT(est, spread(vals) / 1.5);
        EXPECT_LT(est, spread(vals) * 1.5);
    }
}

TEST(FitEngine, TabulatedTermFromFile) {
    const auto dir = std::filesystem::temp_directory_path() / ("gm-fit-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string shape = (dir / "shape.dat").string(), single = (dir / "one.dat").string();
    std::ofstream(shape) << "0 0\n1 1\n2 4\n3 9\n4 16\n";
    std::ofstream(single) << "1 1\n";

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
    // Sampled at the data points, with the curve's end values held outside it.
    ASSERT_EQ(fit.Term(0).tabulated->Count(), 25);
    EXPECT_EQ(fit.Term(0).tabulated->Y(1), 0.0);
    EXPECT_EQ(fit.Term(0).tabulated->Y(25), 16.0);
    fit.AddTerm(TPeak::Polynomial, 1);
    FitAll(fit);
    EXPECT_TRUE(fit.converged);
    EXPECT_GT(fit.Term(0).value[1], 0.0);
    // A new fit range brings new samples.
    ASSERT_TRUE(fit.SetData(Sampled(0, 4, 9, [](double x) { return x; }), 2, 9));
    EXPECT_EQ(fit.Term(0).tabulated->Count(), 8);
    EXPECT_DOUBLE_EQ(fit.Term(0).tabulated->Y(1), 0.5);
    EXPECT_DOUBLE_EQ(fit.Term(0).tabulated->Y(3), 2.5);
    std::filesystem::remove_all(dir);
}

TEST(FitEngine, FittedCurves) {
    TFitParamB fit;
    TCurveB curve = Sampled(0, 10, 11, [](double x) { return x; });
    TCurveB out;
    EXPECT_FALSE(out.MakeFitCurveFrom(curve, fit, -1)); // no term
    ASSERT_TRUE(fit.AddTerm(TPeak::Polynomial, 1));
    ASSERT_TRUE(fit.AddTerm(TPeak::Polynomial, 0));
    fit.Term(0).value = {0, 1.0, 2.0};
    fit.Term(1).value = {0, 10.0};
    ASSERT_TRUE(out.MakeFitCurveFrom(curve, fit, -1));
    EXPECT_EQ(out.Comment, "fitted curve");
    EXPECT_EQ(out.Count(), 11);
    EXPECT_DOUBLE_EQ(out.X(6), 5.0);
    EXPECT_DOUBLE_EQ(out.Y(6), 21.0);
    EXPECT_DOUBLE_EQ(out.YMax, 31.0);
    ASSERT_TRUE(fit.ModelCurve(out, 1));
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
