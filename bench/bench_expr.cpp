// Evaluation speed of a compiled formula: a dozen nodes at a million values of x (the size of a generated
// curve or a fit over a long curve).
#include "expr/UserFunctions.h"
#include "expr/parse.h"

#include <benchmark/benchmark.h>

namespace {

void BM_EvaluateMillion(benchmark::State& state) {
    TExpression e;
    if (e.SetExpression("x", "sin(x)*exp(0-x/10)+x^2/(1+x)") != 0) {
        state.SkipWithError("formula did not parse");
        return;
    }
    for (auto _ : state) {
        double sum = 0.0;
        for (int i = 0; i < 1000000; ++i) {
            double v = 0.0;
            e.Evaluate(0.001 + i * 1e-5, v);
            sum += v;
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_EvaluateMillion)->Unit(benchmark::kMillisecond);

// A user function with its derivatives, as a fit term evaluates it at each point.
void BM_UserFunctionWithDerivatives(benchmark::State& state) {
    TUserFunction f;
    f.AddVariable("x", "a*exp(0-(x-c)^2/(2*w^2))", 0, 0, 0, 0);
    f.AddVariable("a", "exp(0-(x-c)^2/(2*w^2))", 1, 0, 0, 0);
    f.AddVariable("c", "EXPR(1)*(x-c)/w^2", 0, 0, 0, 0);
    f.AddVariable("w", "EXPR(1)*(x-c)^2/w^3", 1, 0, 0, 0);
    auto e = f.BuildExpression();
    if (!e) {
        state.SkipWithError("function did not build");
        return;
    }
    e->Params().SetValue(2, 2.0);
    e->Params().SetValue(3, 5.0);
    e->Params().SetValue(4, 1.5);
    for (auto _ : state) {
        double sum = 0.0;
        for (int i = 0; i < 1000000; ++i) {
            e->Params().SetValue(1, i * 1e-5);
            e->EvaluateAll();
            sum += e->Result(1) + e->Result(2) + e->Result(3) + e->Result(4);
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_UserFunctionWithDerivatives)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
