// Reading and writing curve files of a million points, and sorting them by x.
#include "curves/curvesb.h"

#include <benchmark/benchmark.h>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int Points = 1000000;

const std::string& MillionLineFile() {
    static const std::string path = [] {
        const std::string p = (std::filesystem::temp_directory_path() / "graphmill-bench-1m.dat").string();
        std::FILE* f = std::fopen(p.c_str(), "w");
        std::mt19937_64 rng(42);
        std::uniform_real_distribution<double> u(-1e3, 1e3);
        for (int i = 0; i < Points; ++i) std::fprintf(f, "%.15E %.15E\n", i * 1e-3, u(rng));
        std::fclose(f);
        return p;
    }();
    return path;
}

void BM_ReadMillionLines(benchmark::State& state) {
    const std::string& path = MillionLineFile();
    for (auto _ : state) {
        TCurveB c = TCurveB::CreateFromFile(path);
        benchmark::DoNotOptimize(c.YData());
        if (c.Count() != Points) state.SkipWithError("wrong count");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_ReadMillionLines)->Unit(benchmark::kMillisecond);

// Baseline in the same run: the same bytes split at line ends and converted by std::from_chars alone, with
// no header rule, no token rules and no curve. The reader's time is read as a ratio to this one.
void BM_BaselineFromChars(benchmark::State& state) {
    const std::string& path = MillionLineFile();
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        std::string text(std::filesystem::file_size(path), '\0');
        if (std::fread(text.data(), 1, text.size(), f) != text.size()) state.SkipWithError("read failed");
        std::fclose(f);
        std::vector<double> xs, ys;
        xs.reserve(Points);
        ys.reserve(Points);
        const char* p = text.data();
        const char* const end = p + text.size();
        while (p < end) {
            double x = 0, y = 0;
            p = std::from_chars(p, end, x).ptr + 1;
            p = std::from_chars(p, end, y).ptr + 1;
            xs.push_back(x);
            ys.push_back(y);
        }
        benchmark::DoNotOptimize(ys.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(path)));
}
BENCHMARK(BM_BaselineFromChars)->Unit(benchmark::kMillisecond);

void BM_WriteMillionLines(benchmark::State& state) {
    TCurveB c = TCurveB::CreateFromFile(MillionLineFile());
    const std::string out = (std::filesystem::temp_directory_path() / "graphmill-bench-out.dat").string();
    for (auto _ : state) {
        if (!c.SaveToFile(out)) state.SkipWithError("save failed");
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(out)));
    std::filesystem::remove(out);
    std::filesystem::remove(std::filesystem::temp_directory_path() / "graphmill-bench-out.bak");
}
BENCHMARK(BM_WriteMillionLines)->Unit(benchmark::kMillisecond);

void BM_SortMillionPoints(benchmark::State& state) {
    TCurveB c = TCurveB::CreateFromFile(MillionLineFile());
    for (int i = 1; i <= c.Count(); ++i) c.SetX(i, c.Y(i)); // random order
    for (auto _ : state) {
        state.PauseTiming();
        TCurveB work(c);
        state.ResumeTiming();
        work.SortByX();
        benchmark::DoNotOptimize(work.XData());
    }
}
BENCHMARK(BM_SortMillionPoints)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
