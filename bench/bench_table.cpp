// The table editor on a 1,000,000-point curve: opening its table and showing the first rows, jumping to the
// last rows, and one typed cell taken back into the curve, against copying the curve once (the least any
// command does with it).
#include "app/EditGrid.h"
#include "plot/CurvePanels.h"
#include "plot/w_curve.h"

#include <QApplication>
#include <QScrollBar>

#include <benchmark/benchmark.h>

namespace {

constexpr int Points = 1000000;

TCurveB Line() {
    TCurveB c(Points);
    c.SetCount(Points);
    for (int i = 1; i <= Points; ++i) c.SetXY(i, i * 1e-3, 0.5 * i);
    c.CalcRanges();
    return c;
}

struct TScene {
    TCurvePanel panel{nullptr, nullptr};
    TScene() {
        panel.resize(600, 400);
        panel.MakeTableWindow = [](QWidget* parent, NotifyTarget* w) -> TTableWindow* {
            return new TCurveEditGrid(parent, w);
        };
        panel.AddCurve(Line(), true, false);
    }
    TCurveEditGrid* Open() {
        panel.OpenTable(1);
        auto* e = dynamic_cast<TCurveEditGrid*>(panel.TableWindow(1));
        e->grab(); // the rows on screen drawn
        return e;
    }
};

void BM_CopyCurve(benchmark::State& state) {
    TScene s;
    for (auto _ : state) {
        TPlottedCurve copy(*s.panel.Curve(1));
        benchmark::DoNotOptimize(copy.XData());
    }
}
BENCHMARK(BM_CopyCurve)->Unit(benchmark::kMillisecond);

void BM_OpenTable(benchmark::State& state) {
    TScene s;
    for (auto _ : state) {
        s.Open();
        state.PauseTiming();
        s.panel.CloseAllTables();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenTable)->Unit(benchmark::kMillisecond);

void BM_ScrollToEnd(benchmark::State& state) {
    TScene s;
    TCurveEditGrid* e = s.Open();
    QScrollBar* bar = e->Grid()->verticalScrollBar();
    for (auto _ : state) {
        bar->setValue(bar->value() == 0 ? bar->maximum() : 0);
        e->Grid()->viewport()->grab();
    }
}
BENCHMARK(BM_ScrollToEnd)->Unit(benchmark::kMillisecond);

void BM_TypedCellTakenBack(benchmark::State& state) {
    TScene s;
    TCurveEditGrid* e = s.Open();
    const QModelIndex cell = e->Model()->index(Points / 2, 1);
    int k = 0;
    for (auto _ : state) e->Model()->setData(cell, QString::number(++k), Qt::EditRole);
}
BENCHMARK(BM_TypedCellTakenBack)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    static char platform[] = "-platform", offscreen[] = "offscreen";
    int qtArgc = 3;
    char* qtArgv[] = {argv[0], platform, offscreen, nullptr};
    QApplication app(qtArgc, qtArgv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
