// The column import of a million-row three-column CSV against Open on the same points as a two-column
// curve file, in the same run: the import is to take at most 1.5 times Open's time, on all cores as Open.
#include "curves/columnreader.h"
#include "curves/curvesb.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>

namespace {

constexpr int Rows = 1000000;

// The same x and y in both files; the CSV adds a sigma column and a header row.
void WriteFiles(const std::string& curvePath, const std::string& csvPath) {
    std::FILE* a = std::fopen(curvePath.c_str(), "w");
    std::FILE* b = std::fopen(csvPath.c_str(), "w");
    std::fprintf(b, "time,signal,sigma\n");
    std::mt19937_64 rng(42);
    std::uniform_real_distribution<double> u(-1e3, 1e3);
    for (int i = 0; i < Rows; ++i) {
        const double x = i * 1e-3, y = u(rng), s = std::abs(y) * 1e-3 + 0.01;
        std::fprintf(a, "%.15E %.15E\n", x, y);
        std::fprintf(b, "%.15E,%.15E,%.6E\n", x, y, s);
    }
    std::fclose(a);
    std::fclose(b);
}

const std::string& CurvePath() {
    static const std::string p =
        (std::filesystem::temp_directory_path() / "graphmill-bench-open-1m.dat").string();
    return p;
}
const std::string& CsvPath() {
    static const std::string p = [] {
        const std::string csv =
            (std::filesystem::temp_directory_path() / "graphmill-bench-import-1m.csv").string();
        WriteFiles(CurvePath(), csv);
        return csv;
    }();
    return p;
}

void BM_OpenTwoColumns(benchmark::State& state) {
    CsvPath(); // both files are written on first use
    for (auto _ : state) {
        TCurveB c = TCurveB::CreateFromFile(CurvePath());
        benchmark::DoNotOptimize(c.YData());
        if (c.Count() != Rows) state.SkipWithError("wrong count");
    }
}
BENCHMARK(BM_OpenTwoColumns)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// state.range(0): 1 takes the sigma column too, 0 only x and y.
void BM_ImportThreeColumnCsv(benchmark::State& state) {
    columns::TColumnOptions o;
    o.header = true;
    o.xColumn = 1;
    o.yColumns = {2};
    o.sigmaColumn = state.range(0) != 0 ? 3 : 0;
    CsvPath(); // written before the clock runs, when this benchmark runs alone
    for (auto _ : state) {
        std::vector<TCurveB> curves;
        columns::TColumnReport report;
        std::string error;
        if (!columns::ReadColumnFile(CsvPath(), o, curves, report, error) || curves[0].Count() != Rows)
            state.SkipWithError("import failed");
        else
            benchmark::DoNotOptimize(curves[0].YData());
    }
}
BENCHMARK(BM_ImportThreeColumnCsv)
    ->ArgName("sigma")
    ->Arg(1)
    ->Arg(0)
    ->Unit(benchmark::kMillisecond)
    ->MeasureProcessCPUTime()
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
