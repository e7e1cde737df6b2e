// A Gaussian on a straight background (5 parameters) fitted to 10,000 and 100,000 noisy points from a start
// about 20 % off, under the tolerance test and under the relative test. The counters give the iterations the
// fit took and the largest relative difference of its parameters from those of a fit run to full
// convergence (tolerance 1e-12).
#include "expr/UserFunctions.h"
#include "fit/Fit2.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cmath>
#include <random>

namespace {

TCurveB NoisyPeak(int n) {
    std::mt19937_64 rng(7);
    std::normal_distribution<double> noise(0.0, 0.2);
    TCurveB c(n);
    for (int i = 0; i < n; ++i) {
        const double x = -10.0 + 20.0 * i / (n - 1);
        const double q = (x - 1.0) / 1.5;
        c.AddPoint(x, 5.0 * std::exp(-0.5 * q * q) + 0.4 + 0.1 * x + noise(rng));
    }
    c.CalcRanges();
    return c;
}

void Start(TFitParamB& fit) {
    fit.Term(0).value = {0, 4.0, 1.2, 1.8};
    fit.Term(1).value = {0, 0.32, 0.08};
}

void Setup(TFitParamB& fit, const TCurveB& data, double tolerance) {
    fit.SetData(data, 1, data.Count());
    fit.AddTerm(TPeak::Gaussian);
    fit.AddTerm(TPeak::Polynomial, 1);
    fit.tolerance = tolerance;
    fit.maxIterations = 1000;
    Start(fit);
}

void BM_FitGaussLine(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const double tolerance = std::pow(10.0, -static_cast<double>(state.range(1)));
    const TCurveB data = NoisyPeak(n);

    TFitParamB reference;
    Setup(reference, data, 1e-12);
    reference.RunFit();

    TFitParamB fit;
    Setup(fit, data, tolerance);
    if (state.range(1) == 0) fit.convergeTest = TConvergeTest::Relative;
    for (auto _ : state) {
        Start(fit);
        if (!fit.RunFit() || fit.Failed()) state.SkipWithError("fit failed");
    }
    double worst = 0.0;
    for (int t = 0; t < 2; ++t)
        for (int k = 1; k <= fit.Term(t).nparams; ++k) {
            const double a = fit.Term(t).value[static_cast<size_t>(k)];
            const double b = reference.Term(t).value[static_cast<size_t>(k)];
            worst = std::max(worst, std::fabs(a - b) / std::fabs(b));
        }
    state.counters["iterations"] = fit.iterations;
    state.counters["rel_diff"] = worst;
    state.counters["converged"] = fit.converged ? 1 : 0;
}
// Arguments: points, and the tolerance as a power of ten (4: the default 1e-4), or 0 for the relative test
// with its default limits.
BENCHMARK(BM_FitGaussLine)
    ->Args({10000, 4})
    ->Args({100000, 4})
    ->Args({10000, 8})
    ->Args({100000, 8})
    ->Args({10000, 0})
    ->Args({100000, 0})
    ->Unit(benchmark::kMillisecond);

// Preparing and the first step over 100,000 points: the chi-square of the start, the matrix there, the
// chi-square of the trial and, the step being accepted, the matrix of the next step.
void BM_FitSingleStep(benchmark::State& state) {
    const TCurveB data = NoisyPeak(100000);
    TFitParamB fit;
    Setup(fit, data, 1e-4);
    for (auto _ : state) {
        Start(fit);
        fit.Prepare();
        fit.Step();
    }
}
BENCHMARK(BM_FitSingleStep)->Unit(benchmark::kMillisecond);

// The first step of a fit of 1,000,000 points with a user function (a damped sine, three parameters): what
// the fit panel's count waits for after Fit, and the longest an Abort waits. The same step of the built-in
// Gaussian on a line over as many points is the baseline.
void BM_FitFirstStepMillion(benchmark::State& state) {
    const bool user = state.range(0) != 0;
    TCurveB data(1000000);
    for (int i = 0; i < 1000000; ++i) {
        const double x = i * 1e-5;
        data.AddPoint(x, 2.0 * std::exp(-0.3 * x) * std::sin(3.0 * x));
    }
    data.CalcRanges();
    TFitParamB fit;
    fit.SetData(data, 1, data.Count());
    TUserFunction f;
    f.Name = "damped";
    f.AddVariable("x", "a*exp(-b*x)*sin(c*x)", 0, 0, 0, gsNone);
    f.AddVariable("a", "exp(-b*x)*sin(c*x)", 1.8, -100, 100, gsNone);
    f.AddVariable("b", "-x*a*exp(-b*x)*sin(c*x)", 0.25, -10, 10, gsNone);
    f.AddVariable("c", "x*a*exp(-b*x)*cos(c*x)", 2.9, 0, 100, gsNone);
    if (user) {
        if (!fit.AddUserTerm(f)) state.SkipWithError("the user function was refused");
    } else {
        fit.AddTerm(TPeak::Gaussian);
        fit.AddTerm(TPeak::Polynomial, 1);
    }
    for (auto _ : state) {
        if (user)
            fit.Term(0).value = {0, 1.8, 0.25, 2.9};
        else
            Start(fit);
        fit.Prepare();
        fit.Step();
    }
}
BENCHMARK(BM_FitFirstStepMillion)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
