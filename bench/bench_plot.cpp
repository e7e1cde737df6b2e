// Drawing speed: one curve through the axes onto a 1200 x 800 image, the whole graph (PaintTo), the PNG
// encoding (as pictures are written), and graphmill-cli render of a 1,000,000-point text file as a whole
// process.
#include "plot/GraphPicture.h"
#include "plot/w_curve.h"

#include <QBuffer>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>

namespace {

constexpr int W = 1200;
constexpr int H = 800;

TCurveB NoisySine(int n) {
    TCurveB c(n);
    std::mt19937 rng(3);
    std::normal_distribution<double> noise(0.0, 0.1);
    for (int i = 0; i < n; ++i) c.AddPoint(i * 10.0 / n, std::sin(i * 100.0 / n) + noise(rng));
    c.CalcRanges();
    return c;
}

QFont GraphFont() {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(12);
    return f;
}

// A set with one curve laid out on a 1200 x 800 image, as the render command prepares it.
struct TScene {
    WCurveSet set;
    QImage image{W, H, QImage::Format_RGB32};
    explicit TScene(int n, bool lines, bool symbols) {
        DefaultCurveProps.Lines = lines;
        DefaultCurveProps.Symbols = symbols;
        set.AddCurve(NoisySine(n), true, false);
        set.Grid.BackgrColor = 0;
        image.fill(Qt::white);
        QPainter p(&image);
        p.setFont(GraphFont());
        set.Grid.Layout(p, W, H);
    }
};

void DrawCurve(benchmark::State& state, bool lines, bool symbols) {
    TScene s(static_cast<int>(state.range(0)), lines, symbols);
    QPainter p(&s.image);
    for (auto _ : state) {
        s.set.DrawCurves(p, false);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_DrawLines(benchmark::State& state) {
    DrawCurve(state, true, false);
}
void BM_DrawSymbols(benchmark::State& state) {
    DrawCurve(state, false, true);
}
BENCHMARK(BM_DrawLines)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DrawSymbols)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The drawing call of the render command: background, curves, frame, grid lines and labels.
void BM_PaintTo(benchmark::State& state) {
    TScene s(static_cast<int>(state.range(0)), true, false);
    for (auto _ : state) {
        QPainter p(&s.image);
        p.fillRect(0, 0, W, H, Qt::white);
        p.setFont(GraphFont());
        s.set.PaintTo(p, W, H, 1.0);
    }
}
BENCHMARK(BM_PaintTo)->Arg(10000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_EncodePng(benchmark::State& state) {
    TScene s(1000000, true, false);
    {
        QPainter p(&s.image);
        p.setFont(GraphFont());
        s.set.PaintTo(p, W, H, 1.0);
    }
    for (auto _ : state) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        WritePng(s.image, buffer);
        state.counters["bytes"] = static_cast<double>(buffer.size());
    }
}
BENCHMARK(BM_EncodePng)->Unit(benchmark::kMillisecond);

// graphmill-cli render of a 1,000,000-point text file to a 1200 x 800 PNG, start to exit.
void BM_RenderProcess(benchmark::State& state) {
    const std::string dir = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp");
    const std::string data = dir + "/graphmill_bench_render.dat";
    const std::string out = dir + "/graphmill_bench_render.png";
    {
        const TCurveB c = NoisySine(1000000);
        FILE* f = std::fopen(data.c_str(), "w");
        if (f == nullptr) {
            state.SkipWithError("cannot write the data file");
            return;
        }
        for (int i = 1; i <= c.Count(); ++i) std::fprintf(f, "%.9g %.9g\n", c.X(i), c.Y(i));
        std::fclose(f);
    }
    const std::string cmd = std::string(GRAPHMILL_CLI) + " render " + data + " --size 1200x800 -o " + out;
    // Processor time of the children besides the wall time: the machine's cores are shared.
    auto childCpu = [] {
        rusage u{};
        getrusage(RUSAGE_CHILDREN, &u);
        return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
    };
    const double cpu0 = childCpu();
    for (auto _ : state) {
        const int rc = std::system(cmd.c_str());
        if (rc == -1 || !WIFEXITED(rc) || WEXITSTATUS(rc) != 0) {
            state.SkipWithError("graphmill-cli render failed");
            break;
        }
    }
    state.counters["process_cpu_ms"] = (childCpu() - cpu0) * 1000.0 / static_cast<double>(state.iterations());
    std::remove(data.c_str());
    std::remove(out.c_str());
}
BENCHMARK(BM_RenderProcess)->Unit(benchmark::kMillisecond)->Iterations(10);

} // namespace

int main(int argc, char** argv) {
    static char platform[] = "-platform", offscreen[] = "offscreen";
    int qtArgc = 3;
    char* qtArgv[] = {argv[0], platform, offscreen, nullptr};
    QGuiApplication app(qtArgc, qtArgv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
