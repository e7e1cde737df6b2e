// The reference problems of publishedproblems.h (published data) and fitproblems.h (made data), each from
// each of its starts, fitted under the relative test with at most 10,000 iterations. The counters give the
// significant digits in which the values and the sigmas agree with the known answers (the fewest of any
// parameter; 17 when equal), the iterations, whether the fit converged, and the problem's difficulty (0
// lower, 1 average, 2 higher).
#include "bench/publishedproblems.h"

#include <benchmark/benchmark.h>

namespace {

using namespace fitproblems;

void FitProblem(benchmark::State& state, const TProblem& problem, const TCertified& certified, size_t start) {
    TOutcome o;
    for (auto _ : state) o = Solve(problem, certified, problem.starts[start]);
    state.counters["digits"] = o.digits;
    state.counters["sigma_digits"] = problem.noise == 0 ? 0 : o.sigmaDigits;
    state.counters["iterations"] = o.iterations;
    state.counters["converged"] = o.status == TFitStatus::Converged ? 1 : 0;
    state.counters["difficulty"] = problem.difficulty;
}

} // namespace

int main(int argc, char** argv) {
    static const std::vector<TProblem> problems = Problems();
    static std::vector<TCertified> certified;
    for (const TProblem& p : problems) certified.push_back(Certify(p));
    static const std::vector<TPublished> published = Published();
    static std::vector<TCertified> publishedCertified;
    for (const TPublished& p : published) publishedCertified.push_back(Certified(p));
    for (size_t i = 0; i < published.size(); ++i)
        for (size_t s = 0; s < published[i].problem.starts.size(); ++s)
            benchmark::RegisterBenchmark(
                (std::string("published/") + published[i].problem.name + "/start" + std::to_string(s + 1))
                    .c_str(),
                [i, s](benchmark::State& state) {
                    FitProblem(state, published[i].problem, publishedCertified[i], s);
                })
                ->Unit(benchmark::kMillisecond);
    for (size_t i = 0; i < problems.size(); ++i)
        for (size_t s = 0; s < problems[i].starts.size(); ++s)
            benchmark::RegisterBenchmark(
                (std::string(problems[i].name) + "/start" + std::to_string(s + 1)).c_str(),
                [i, s](benchmark::State& state) { FitProblem(state, problems[i], certified[i], s); })
                ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
