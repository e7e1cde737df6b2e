// The curve operations on the sizes users work with: a million points for the point-wise, calculus,
// interpolation and smoothing operations, 16384 points for the Fourier transform.
#include "curves/curvesb.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <random>

namespace {

constexpr int32_t Million = 1000000;
constexpr int32_t FFTPoints = 16384;

// Ascending, slightly uneven x; a smooth positive signal with noise.
TCurveB MakeCurve(int32_t n, double dx, unsigned seed) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> jitter(-0.2, 0.2);
    TCurveB c(n);
    c.SetCount(n);
    double* x = c.XData();
    double* y = c.YData();
    for (int32_t i = 0; i < n; ++i) {
        x[i] = (i + jitter(rng)) * dx;
        y[i] = 2.0 + std::sin(x[i] * 7.0) + 0.1 * jitter(rng);
    }
    c.CalcRanges();
    return c;
}

const TCurveB& MillionCurve() {
    static const TCurveB c = MakeCurve(Million, 1e-3, 1);
    return c;
}

// Runs op on a fresh copy of source each iteration; only op is timed.
template <class Op>
void Timed(benchmark::State& state, const TCurveB& source, Op op) {
    TCurveB work(source);
    for (auto _ : state) {
        state.PauseTiming();
        work.CreateCopy(source, false);
        state.ResumeTiming();
        op(work);
        benchmark::DoNotOptimize(work.YData());
        benchmark::ClobberMemory();
    }
}

void BM_Derivative(benchmark::State& state) {
    Timed(state, MillionCurve(), [&](TCurveB& c) {
        if (!c.Derivative()) state.SkipWithError("derivative failed");
    });
}
BENCHMARK(BM_Derivative)->Unit(benchmark::kMillisecond);

void BM_Integral(benchmark::State& state) {
    Timed(state, MillionCurve(), [&](TCurveB& c) {
        double total;
        if (!c.Integral(total)) state.SkipWithError("integral failed");
    });
}
BENCHMARK(BM_Integral)->Unit(benchmark::kMillisecond);

void BM_TimesX(benchmark::State& state) {
    Timed(state, MillionCurve(), [](TCurveB& c) { c.TimesX(); });
}
BENCHMARK(BM_TimesX)->Unit(benchmark::kMillisecond);

void BM_Inverse(benchmark::State& state) {
    Timed(state, MillionCurve(), [](TCurveB& c) { c.Inverse(); });
}
BENCHMARK(BM_Inverse)->Unit(benchmark::kMillisecond);

void BM_Log10(benchmark::State& state) {
    Timed(state, MillionCurve(), [](TCurveB& c) { c.Log10(); });
}
BENCHMARK(BM_Log10)->Unit(benchmark::kMillisecond);

void BM_Resample(benchmark::State& state) {
    const TCurveB& src = MillionCurve();
    const double interval = (src.XMax - src.XMin) / Million;
    Timed(state, src, [&](TCurveB& c) {
        if (!c.Resample(interval, src.XMin + 0.5 * interval)) state.SkipWithError("resample failed");
    });
}
BENCHMARK(BM_Resample)->Unit(benchmark::kMillisecond);

void BM_CurveMath(benchmark::State& state) {
    static const TCurveB other = MakeCurve(Million, 1e-3, 2);
    Timed(state, MillionCurve(), [](TCurveB& c) { c.CurveMath(other, TCurveB::MathDivide); });
}
BENCHMARK(BM_CurveMath)->Unit(benchmark::kMillisecond);

void BM_Merge(benchmark::State& state) {
    static const TCurveB other = MakeCurve(Million, 1e-3, 2);
    const TCurveB* list[] = {&MillionCurve(), &other};
    TCurveB result;
    for (auto _ : state) {
        if (!TCurveB::Merge(list, result)) state.SkipWithError("merge failed");
        benchmark::DoNotOptimize(result.YData());
    }
}
BENCHMARK(BM_Merge)->Unit(benchmark::kMillisecond);

void BM_SplineSmooth(benchmark::State& state) {
    Timed(state, MillionCurve(), [&](TCurveB& c) {
        if (!c.SplineSmooth(13, 2)) state.SkipWithError("smoothing failed");
    });
}
BENCHMARK(BM_SplineSmooth)->Unit(benchmark::kMillisecond);

void BM_FFT(benchmark::State& state) {
    static const TCurveB src = MakeCurve(FFTPoints, 1.0, 3);
    // Evenly spaced input, so that the transform length is the point count.
    TCurveB even = src;
    for (int32_t i = 0; i < FFTPoints; ++i) even.XData()[i] = i;
    even.CalcRanges();
    Timed(state, even, [&](TCurveB& c) {
        if (!c.FFT(nullptr, 1, TCurveB::FFTMagnitude)) state.SkipWithError("transform failed");
    });
}
BENCHMARK(BM_FFT)->Unit(benchmark::kMicrosecond);

void BM_SpectralSmooth(benchmark::State& state) {
    TCurveB even = MakeCurve(FFTPoints, 1.0, 4);
    for (int32_t i = 0; i < FFTPoints; ++i) even.XData()[i] = i;
    even.CalcRanges();
    Timed(state, even, [&](TCurveB& c) {
        if (!c.SpectralSmooth(0.3)) state.SkipWithError("spectral smoothing failed");
    });
}
BENCHMARK(BM_SpectralSmooth)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
