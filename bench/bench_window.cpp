// The desktop program at scale: a real curve window (offscreen) with a curve of 1,000,000 or 10,000,000
// points read from a text file. Each case times what the user waits for, the paint included: opening the file
// until the graph is shown, one full redraw after a pan or a zoom, one crosshair move (snapping to points),
// one switch of the active curve, and Undo of a derivative. The memory counters are the growth of the
// process's resident memory over the curve's own doubles (16 bytes a point): at the peak while opening, once
// open, and with a derivative and its undo curve held.
#include "app/curvewin.h"
#include "plot/CurvePanels.h"
#include "plot/w_curve.h"

#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

// A noisy sine, written as "%.15E %.15E" lines (about 47 bytes a point), once per size and run.
const std::string& DataFile(int64_t points) {
    static std::map<int64_t, std::string> files;
    std::string& path = files[points];
    if (path.empty()) {
        path = (std::filesystem::temp_directory_path() /
                ("graphmill-bench-window-" + std::to_string(points) + ".dat"))
                   .string();
        std::FILE* f = std::fopen(path.c_str(), "w");
        std::mt19937_64 rng(7);
        std::normal_distribution<double> noise(0.0, 0.05);
        for (int64_t i = 0; i < points; ++i) {
            const double x = static_cast<double>(i) * 1e-3;
            std::fprintf(f, "%.15E %.15E\n", x, std::sin(x * 0.05) + noise(rng));
        }
        std::fclose(f);
    }
    return path;
}

void RemoveDataFiles() {
    for (int64_t n : {1000000, 10000000})
        std::filesystem::remove(std::filesystem::temp_directory_path() /
                                ("graphmill-bench-window-" + std::to_string(n) + ".dat"));
}

// Resident memory of the process in bytes: now ("VmRSS") or its peak ("VmHWM").
double Resident(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string k = std::string(key) + ":";
    while (std::getline(in, line))
        if (line.rfind(k, 0) == 0) return std::stod(line.substr(k.size())) * 1024.0;
    return 0.0;
}

// The peak of resident memory starts again from now.
void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

struct TWindow {
    std::unique_ptr<Tcurvewindow> win = std::make_unique<Tcurvewindow>();
    TWindow() {
        win->resize(1280, 900);
        win->show();
        QApplication::processEvents();
    }
    TCurvePanel& Panel() { return *win->CurvePanel; }
    // Opens the file and paints the graph, as the Open command does.
    void Open(int64_t points) {
        win->LoadFiles({QString::fromStdString(DataFile(points))});
        Paint();
    }
    // Whatever is waiting to be painted is painted now.
    void Paint() { Panel().repaint(); }
    void Trigger(const char* name) { win->Action(QLatin1String(name))->trigger(); }
};

double MiB(double bytes) {
    return bytes / (1024.0 * 1024.0);
}

void BM_OpenAndShow(benchmark::State& state) {
    const int64_t n = state.range(0);
    DataFile(n);
    TWindow w;
    double peak = 0, held = 0;
    for (auto _ : state) {
        state.PauseTiming();
        w.Trigger("Clearall1");
        QApplication::processEvents();
        const double before = Resident("VmRSS");
        ResetPeak();
        state.ResumeTiming();
        w.Open(n);
        state.PauseTiming();
        peak = Resident("VmHWM") - before;
        held = Resident("VmRSS") - before;
        if (w.Panel().CurveCount() != 1 || w.Panel().ActiveCurve()->Count() != n)
            state.SkipWithError("the curve was not read whole");
        state.ResumeTiming();
    }
    const double doubles = 16.0 * static_cast<double>(n);
    state.counters["peak_MiB"] = MiB(peak);
    state.counters["held_MiB"] = MiB(held);
    state.counters["held_per_doubles"] = held / doubles;
}

// A window with the curve open and shown.
struct TOpenWindow : TWindow {
    explicit TOpenWindow(int64_t n) { Open(n); }
};

void BM_PanRedraw(benchmark::State& state) {
    TOpenWindow w(state.range(0));
    // Zoomed in to a tenth first, so that the pans move over the curve.
    for (int k = 0; k < 10; ++k) w.Panel().KeyDown(Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
    w.Paint();
    int k = 0;
    for (auto _ : state) {
        w.Panel().KeyDown(++k % 2 != 0 ? Qt::Key_Right : Qt::Key_Left, Qt::ControlModifier);
        w.Paint();
    }
}

void BM_ZoomRedraw(benchmark::State& state) {
    TOpenWindow w(state.range(0));
    int k = 0;
    for (auto _ : state) {
        w.Panel().KeyDown(++k % 2 != 0 ? Qt::Key_Left : Qt::Key_Right,
                          Qt::ControlModifier | Qt::ShiftModifier);
        w.Paint();
    }
}

void BM_CrosshairMove(benchmark::State& state) {
    TOpenWindow w(state.range(0));
    TCurvePanel& panel = w.Panel();
    panel.SetCursorShown(true);
    panel.Crosshair.Interpolate = false; // snapping to points
    w.Paint();
    const TGrid& g = panel.Grid();
    const int y = (g.Top() + g.Bottom()) / 2;
    int x = g.Left() + 1, dx = 7;
    const int rebuilds = panel.RebuildCount();
    for (auto _ : state) {
        if (x + dx > g.Right() || x + dx < g.Left()) dx = -dx;
        x += dx;
        QMouseEvent move(QEvent::MouseMove, QPointF(x, y), panel.mapToGlobal(QPointF(x, y)), Qt::NoButton,
                         Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(&panel, &move);
        QApplication::processEvents();
    }
    if (panel.RebuildCount() != rebuilds) state.SkipWithError("a crosshair move rebuilt the images");
}

void BM_ActiveSwitch(benchmark::State& state) {
    TOpenWindow w(state.range(0));
    // A second curve of a thousand points over the same range.
    TCurveB small;
    const TPlottedCurve& big = *w.Panel().ActiveCurve();
    for (int i = 0; i < 1000; ++i) small.AddPoint(big.XMin + (big.XMax - big.XMin) * i / 999.0, 0.5);
    small.CalcRanges();
    w.Panel().AddCurve(small, false, true);
    w.Paint();
    for (auto _ : state) {
        w.Panel().SetActiveCurve(w.Panel().ActiveIndex() + 1);
        w.Paint();
    }
}

void BM_UndoDerivative(benchmark::State& state) {
    const int64_t n = state.range(0);
    TOpenWindow w(n);
    const double open = Resident("VmRSS");
    double withUndo = 0;
    for (auto _ : state) {
        state.PauseTiming();
        w.Trigger("Derivative1");
        w.Paint();
        withUndo = std::max(withUndo, Resident("VmRSS") - open);
        state.ResumeTiming();
        w.Trigger("Undo1");
        w.Paint();
    }
    // Over the curve itself: the derivative's curve and the undo curve share what they can.
    state.counters["undo_extra_MiB"] = MiB(withUndo);
}

// Baselines in the same run, to read the figures above as ratios on another machine: the bytes of the file
// read into memory and their lines counted (the least an open costs), and the cached graph copied onto the
// panel once (the least a repaint costs).
void BM_BaselineReadBytes(benchmark::State& state) {
    const std::string& path = DataFile(state.range(0));
    std::vector<char> buffer(std::filesystem::file_size(path));
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        const size_t got = std::fread(buffer.data(), 1, buffer.size(), f);
        std::fclose(f);
        benchmark::DoNotOptimize(std::count(buffer.data(), buffer.data() + got, '\n'));
    }
}

void BM_BaselineCopyGraph(benchmark::State& state) {
    TOpenWindow w(1000000);
    const QImage graph = w.Panel().PlotImage();
    QImage target(graph.size(), graph.format());
    for (auto _ : state) {
        QPainter p(&target);
        p.drawImage(0, 0, graph);
    }
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_OpenAndShow)->Apply(Sizes)->Iterations(5);
BENCHMARK(BM_PanRedraw)->Apply(Sizes);
BENCHMARK(BM_ZoomRedraw)->Apply(Sizes);
BENCHMARK(BM_CrosshairMove)->Apply(Sizes);
BENCHMARK(BM_ActiveSwitch)->Apply(Sizes);
BENCHMARK(BM_UndoDerivative)->Apply(Sizes)->Iterations(5);
BENCHMARK(BM_BaselineReadBytes)->Apply(Sizes);
BENCHMARK(BM_BaselineCopyGraph)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    static char platform[] = "-platform", offscreen[] = "offscreen";
    int qtArgc = 3;
    char* qtArgv[] = {argv[0], platform, offscreen, nullptr};
    // The windows read and write their preferences in a folder of their own, never the user's.
    const auto home = std::filesystem::temp_directory_path() / "graphmill-bench-window-home";
    qputenv("XDG_CONFIG_HOME", (home / "config").string().c_str());
    qputenv("XDG_DATA_HOME", (home / "data").string().c_str());
    QApplication app(qtArgc, qtArgv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    RemoveDataFiles();
    std::filesystem::remove_all(home);
    return 0;
}
