// The undo history of a curve window: every kind of step taken back and done again bit for bit, the names
// the history shows and its jumps, the 100-step limit and the memory limit, and that a step holds one copy of
// a curve.
#include "app/curvewin.h"
#include "app/shareddialogs.h"
#include "plot/AxisScaleDlg.h"
#include "plot/CurvePanels.h"
#include "plot/TableWindow.h"
#include "plot/undohistory.h"
#include "plot/w_curve.h"
#include "windowfixture.h"

#include <QApplication>
#include <QUndoView>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <functional>

namespace {
void AppendBytes(std::string& s, const void* p, size_t n) {
    s.append(static_cast<const char*>(p), n);
}

// Everything a step may change: each curve's points, sigmas, header and look (in no order: Undo of a
// deletion adds the curve again last), and the axes.
struct TState {
    std::vector<std::string> curves;
    TAxesState axes;
    bool operator==(const TState&) const = default;
};

std::string CurveBytes(const TPlottedCurve& c) {
    std::string s;
    const size_t n = sizeof(double) * static_cast<size_t>(c.Count());
    AppendBytes(s, c.XData(), n);
    AppendBytes(s, c.YData(), n);
    if (c.HasSigma()) AppendBytes(s, c.SigmaData(), n);
    s += '|' + c.FileName + '|' + (c.Saved ? 'S' : '-');
    const CurveStyle st = c.GetStyle();
    for (const int64_t v :
         {int64_t(st.line), int64_t(st.symbol), int64_t(st.linecolor), int64_t(st.linestyle),
          int64_t(st.SymbolSize), int64_t(st.SymbolColor), int64_t(st.errorbars)})
        AppendBytes(s, &v, sizeof v);
    return s;
}

TState StateOf(TCurvePanel& p) {
    TState s;
    for (int32_t i = 1; i <= p.CurveCount(); ++i) s.curves.push_back(CurveBytes(*p.Curve(i)));
    std::sort(s.curves.begin(), s.curves.end());
    s.axes = TAxesState::Of(p.Grid());
    return s;
}

TCurveB Ramp(int32_t points, double slope, const std::string& name = "") {
    std::vector<std::pair<double, double>> pts;
    for (int32_t i = 0; i < points; ++i) pts.push_back({i * 0.5, slope * i * i + 1.0});
    return MakeCurve(pts, name);
}

QStringList HistoryTexts(TUndoHistory& history) {
    QStringList texts;
    for (int i = 0; i < history.Count(); ++i) texts << history.Stack().text(i);
    return texts;
}

QStringList HistoryTexts(QUndoView* view) {
    QStringList texts;
    for (int r = 0; r < view->model()->rowCount(); ++r) texts << view->model()->index(r, 0).data().toString();
    return texts;
}
} // namespace

class TestUndoHistory : public QObject, TWindowFixture {
    Q_OBJECT

    TCurvePanel& Panel() const { return *win->CurvePanel; }
    TUndoHistory& History() const { return Panel().History(); }

    // The window's curves before every step and after the last.
    std::vector<TState> states;
    QStringList names;
    void Step(const std::function<void()>& act) {
        const int before = History().Count();
        act();
        QCOMPARE(History().Count(), before + 1);
        names << History().Stack().text(History().Count() - 1);
        states.push_back(StateOf(Panel()));
    }

private slots:
    void initTestCase() { IsolateUserFiles(); }
    void init() {
        QVERIFY(OpenWindow());
        states.clear();
        names.clear();
    }
    void cleanup() { CloseWindow(); }

    void everyKindOfStepGoesBackAndForthBitForBit() {
        // Without auto update the axes change only by the Axes step: every state is whole, ranges included.
        win->SetAutoUpdate(false);
        Panel().AddCurve(Ramp(40, 1.0, "a.dat"), true, true);
        TCurveB sig = Ramp(30, -2.0, "s.dat");
        sig.EnableSigma();
        for (int32_t i = 1; i <= sig.Count(); ++i) sig.SetSigma(i, 0.25 * i);
        Panel().AddCurve(sig, true, true);
        Panel().SetActiveCurve(1);
        states.push_back(StateOf(Panel()));

        Step([&] { A("DerivativeBtn")->trigger(); });
        Step([&] {
            A("NewCurveModeBtn")->trigger();
            A("IntegralBtn")->trigger();
            A("NewCurveModeBtn")->trigger();
        });
        Step([&] {
            win->BeginRemoveRange();
            win->Notify(notify::PointPicked, 10, 0);
            win->Notify(notify::PointPicked, 20, 0);
        });
        Step([&] {
            Panel().SetActiveCurve(2);
            Panel().OpenTable(2);
            TTableWindow* t = Panel().TableWindow(2);
            t->Table().Y[3] = 1234.5;
            t->Table().X.resize(10);
            t->Table().Y.resize(10);
            QVERIFY(t->OnTakeBack());
            t->Dispose();
        });
        Step([&] {
            CurveStyle style = Panel().Curve(2)->GetStyle();
            style.linecolor = 0x0000FF;
            style.SymbolSize = 7;
            Panel().SetCurveStyle(2, style);
        });
        Step([&] {
            TAxesDlg& d = SharedDialog<TAxesDlg>();
            d.Window = win.get();
            win->Notify(notify::AxesAction, 2, 0);
            TAxesValues v = d.Values();
            v.Title = QStringLiteral("Run 7");
            v.Y2 = 5000;
            v.YLog = true;
            d.ShowValues(v);
            win->Notify(notify::AxesAction, 0, 0);
        });
        Step([&] {
            A("Copy1")->trigger();
            A("Paste1")->trigger();
        });
        Step([&] { A("Cut1")->trigger(); });
        Step([&] {
            Panel().SetActiveCurve(1);
            A("Delete1")->trigger();
        });
        Step([&] { win->ResetColors(); });
        Step([&] {
            msg->SaveAnswers = {TSaveAnswer::No, TSaveAnswer::No, TSaveAnswer::No};
            A("Clearall1")->trigger();
        });
        QCOMPARE(names, (QStringList{"Derivative of curve #1", "Integral of curve #1 as curve #3",
                                     "Remove points 10-20 of curve #1", "Table edit of curve #2",
                                     "Display of curve #2", "Axes", "Paste as curve #4", "Cut curve #2",
                                     "Delete curve #1", "Reset colours", "Clear all"}));

        // Back to the start, step by step: each Undo gives the curves as they were before its step.
        for (int k = static_cast<int>(names.size()); k > 0; --k) {
            QVERIFY(A("Undo1")->isEnabled());
            A("Undo1")->trigger();
            QVERIFY2(StateOf(Panel()) == states[static_cast<size_t>(k - 1)], qPrintable(names[k - 1]));
        }
        QVERIFY(!A("Undo1")->isEnabled());
        // And forth again, by both keys of Redo.
        QCOMPARE(A("Redo1")->shortcuts(),
                 (QList<QKeySequence>{QKeySequence(QStringLiteral("Ctrl+Y")),
                                      QKeySequence(QStringLiteral("Ctrl+Shift+Z"))}));
        for (int k = 1; k <= static_cast<int>(names.size()); ++k) {
            QVERIFY(A("Redo1")->isEnabled());
            A("Redo1")->trigger();
            QVERIFY2(StateOf(Panel()) == states[static_cast<size_t>(k)], qPrintable(names[k - 1]));
        }
        QVERIFY(!A("Redo1")->isEnabled());
    }

    void undoFollowsTheWindowAndARecordedStepEndsRedo() {
        Panel().AddCurve(Ramp(10, 1.0, "a.dat"), true, true);
        const TState start = StateOf(Panel());
        A("DerivativeBtn")->trigger();
        const TState derived = StateOf(Panel());
        // The plot and the table follow Undo and Redo.
        Panel().OpenTable(1);
        QTest::keyClick(win.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(StateOf(Panel()), start);
        // The table shows the curve's points (and a row to type the next one into).
        auto tableShowsCurve = [this] {
            const TCurveTable& t = Panel().TableWindow(1)->Table();
            return t.Rows() == Panel().Curve(1)->Count() + 1 && t.Y[1] == Panel().Curve(1)->Y(2);
        };
        QVERIFY(tableShowsCurve());
        QVERIFY(A("Redo1")->isEnabled() && !A("Undo1")->isEnabled());
        A("Redo1")->trigger();
        QCOMPARE(StateOf(Panel()), derived);
        QVERIFY(tableShowsCurve());
        // A new step after an Undo: the step undone cannot be done again.
        A("Undo1")->trigger();
        A("InverseBtn")->trigger();
        QVERIFY(!A("Redo1")->isEnabled());
        QCOMPARE(History().Count(), 1);
        QCOMPARE(History().Stack().text(0), QStringLiteral("Inverse of curve #1"));
    }

    void historyViewShowsStepsAndJumps() {
        Panel().AddCurve(Ramp(12, 1.0, "a.dat"), true, true);
        states.push_back(StateOf(Panel()));
        Step([&] { A("DerivativeBtn")->trigger(); });
        Step([&] { A("X1")->trigger(); });
        Step([&] { A("Delete1")->trigger(); });
        A("Undohistory1")->trigger();
        auto* view = win->findChild<QUndoView*>(QStringLiteral("UndoHistoryView"));
        QVERIFY(view != nullptr);
        QTRY_VERIFY(view->window()->isVisible());
        QCOMPARE(view->window()->windowTitle(), QStringLiteral("Undo history"));
        QCOMPARE(HistoryTexts(view),
                 (QStringList{"Start", "Derivative of curve #1", "Times x of curve #1", "Delete curve #1"}));
        // Choosing a line goes to the state right after that step, backwards and forwards.
        for (const int row : {1, 0, 3, 2}) {
            view->setCurrentIndex(view->model()->index(row, 0));
            QCOMPARE(History().Stack().index(), row);
            QVERIFY(StateOf(Panel()) == states[static_cast<size_t>(row)]);
            QCOMPARE(A("Undo1")->isEnabled(), row > 0);
            QCOMPARE(A("Redo1")->isEnabled(), row < 3);
        }
        // The menu opens the same window again.
        A("Undohistory1")->trigger();
        QCOMPARE(win->findChildren<QUndoView*>().size(), 1);
    }

    void keepsAHundredSteps() {
        TCurvePanel& p = Panel();
        p.AddCurve(Ramp(5, 0.5), true, true);
        auto step = [&p](double c) {
            p.ApplyResult(std::make_unique<TCurveB>(Ramp(5, c)), false, 1, QStringLiteral("Step"));
        };
        auto slope = [&p] { return p.Curve(1)->Y(2) - 1.0; }; // y at x index 1 is slope + 1
        // A hundred steps all go back to the start.
        for (int k = 1; k <= TUndoHistory::MaxSteps; ++k) step(k);
        QCOMPARE(History().Count(), 100);
        while (p.HasUndo()) p.Undo();
        QCOMPARE(slope(), 0.5);
        while (p.HasRedo()) p.Redo();
        QCOMPARE(slope(), 100.0);
        // The 101st drops the first: Undo goes back only to the curve step 1 made.
        step(101);
        QCOMPARE(History().Count(), 100);
        QCOMPARE(History().Stack().text(0), QStringLiteral("Step of curve #1"));
        int undone = 0;
        for (; p.HasUndo(); ++undone) p.Undo();
        QCOMPARE(undone, 100);
        QCOMPARE(slope(), 1.0);
    }

    void dropsTheOldestPastTheMemoryLimit() {
        TCurvePanel& p = Panel();
        p.AddCurve(Ramp(1000, 0.5), true, true);
        auto step = [&p](double c) {
            p.ApplyResult(std::make_unique<TCurveB>(Ramp(1000, c)), false, 1, QStringLiteral("Step"));
        };
        auto slope = [&p] { return p.Curve(1)->Y(2) - 1.0; };
        QVERIFY(History().MemoryLimit() == TUndoHistory::QuarterOfMemory());
        QVERIFY(History().MemoryLimit() > 0);
        step(1);
        const size_t one = History().HeldBytes();
        QVERIFY(one >= 1000 * 2 * sizeof(double));
        // Three steps' curves exactly at the limit stay; a fourth passes it and the oldest goes.
        History().SetMemoryLimit(3 * one);
        step(2);
        step(3);
        QCOMPARE(History().Count(), 3);
        QCOMPARE(History().HeldBytes(), 3 * one);
        step(4);
        QCOMPARE(History().Count(), 3);
        QCOMPARE(History().HeldBytes(), 3 * one);
        // The steps left still go both ways.
        while (p.HasUndo()) p.Undo();
        QCOMPARE(slope(), 1.0);
        while (p.HasRedo()) p.Redo();
        QCOMPARE(slope(), 4.0);
        // One byte less and the next step leaves two.
        History().SetMemoryLimit(3 * one - 1);
        step(5);
        QCOMPARE(History().Count(), 2);
        QCOMPARE(History().Stack().index(), 2);
        p.Undo();
        p.Undo();
        QCOMPARE(slope(), 3.0);
        p.Redo();
        p.Redo();
        // The newest step stays even when it alone passes the limit.
        History().SetMemoryLimit(1);
        step(6);
        QCOMPARE(History().Count(), 1);
        p.Undo();
        QCOMPARE(slope(), 5.0);
    }

    void aStepHoldsOneCopyOfALargeCurve() {
        TCurvePanel& p = Panel();
        const int32_t n = 2'000'000;
        TCurveB big(n);
        for (int32_t i = 1; i <= n; ++i) big.AddPoint(i, 1.0 / i);
        big.CalcRanges();
        p.AddCurve(std::move(big), true, true);
        const size_t curveBytes = static_cast<size_t>(p.Curve(1)->Capacity()) * 2 * sizeof(double);
        A("X1")->trigger();
        // The step holds the curve as it was; the result is the live curve.
        QCOMPARE(History().HeldBytes(), curveBytes);
        TPlottedCurve* live = p.Curve(1);
        A("Undo1")->trigger();
        QCOMPARE(History().HeldBytes(), curveBytes);
        // Undo and Redo swap the states: the window's curve object stays, nothing is copied.
        QCOMPARE(p.Curve(1), live);
        QCOMPARE(p.Curve(1)->Y(4), 0.25);
        A("Redo1")->trigger();
        QCOMPARE(p.Curve(1)->Y(4), 1.0);
        // A deleted curve moves into its step and comes back as the same object.
        A("Delete1")->trigger();
        QCOMPARE(History().HeldBytes(), 2 * curveBytes);
        A("Undo1")->trigger();
        QCOMPARE(p.Curve(1), live);
        QCOMPARE(History().HeldBytes(), curveBytes);
    }

    void stepsFindTheirCurvesAfterOthersLeft() {
        TCurvePanel& p = Panel();
        p.AddCurve(Ramp(6, 1.0, "a.dat"), true, true);
        p.AddCurve(Ramp(6, 2.0, "b.dat"), true, true);
        p.AddCurve(Ramp(6, 3.0, "c.dat"), true, true);
        states.push_back(StateOf(p));
        // Curve 3 changed, then curve 1 deleted: the change belongs to what is curve 2 now.
        Step([&] {
            p.SetActiveCurve(3);
            A("LogBtn")->trigger();
        });
        Step([&] {
            p.SetActiveCurve(1);
            A("Delete1")->trigger();
        });
        Step([&] {
            p.SetActiveCurve(2);
            A("InverseBtn")->trigger();
        });
        QCOMPARE(names.last(), QStringLiteral("Inverse of curve #2"));
        for (int k = 3; k > 0; --k) {
            p.Undo();
            QVERIFY(StateOf(p).curves == states[static_cast<size_t>(k - 1)].curves);
        }
        QCOMPARE(p.Curve(3)->FileName, std::string("a.dat"));
        for (int k = 1; k <= 3; ++k) {
            p.Redo();
            QVERIFY(StateOf(p).curves == states[static_cast<size_t>(k)].curves);
        }
    }

    void memoryIsCountedWithSigmasAndAgainstAQuarterOfTheMachine() {
        // The limit is a quarter of the memory the system reports.
        std::ifstream meminfo("/proc/meminfo");
        std::string key;
        double kb = 0;
        while (meminfo >> key >> kb && key != "MemTotal:") meminfo.ignore(1000, '\n');
        const double quarter = static_cast<double>(TUndoHistory::QuarterOfMemory());
        QVERIFY(kb > 0);
        QVERIFY(std::fabs(quarter / (kb * 1024 / 4) - 1) < 0.01);
        // A curve with sigmas holds three arrays.
        TCurveB sig = Ramp(300, 1.0);
        sig.EnableSigma();
        Panel().AddCurve(sig, true, true);
        const size_t capacity = static_cast<size_t>(Panel().Curve(1)->Capacity());
        A("InverseBtn")->trigger();
        QCOMPARE(History().HeldBytes(), capacity * 3 * sizeof(double));
    }

    void unchangedLooksAndAxesMakeNoStep() {
        TCurvePanel& p = Panel();
        p.AddCurve(Ramp(5, 1.0), true, true);
        p.SetCurveStyle(1, p.Curve(1)->GetStyle());
        TAxesDlg& d = SharedDialog<TAxesDlg>();
        d.Window = win.get();
        win->Notify(notify::AxesAction, 2, 0);
        win->Notify(notify::AxesAction, 0, 0);
        QCOMPARE(History().Count(), 0);
        // A change of any one part of the look is a step.
        const std::vector<std::function<void(CurveStyle&)>> changes = {
            [](CurveStyle& s) { s.line = !s.line; },
            [](CurveStyle& s) { s.symbol = !s.symbol; },
            [](CurveStyle& s) { s.linecolor ^= 0x010101; },
            [](CurveStyle& s) { s.linestyle = s.linestyle == psSolid ? psDash : psSolid; },
            [](CurveStyle& s) { ++s.SymbolSize; },
            [](CurveStyle& s) { s.symbolstyle = 1 - s.symbolstyle; },
            [](CurveStyle& s) { s.SymbolColor ^= 0x010101; },
            [](CurveStyle& s) { s.errorbars = !s.errorbars; }};
        int steps = 0;
        for (const auto& change : changes) {
            CurveStyle s = p.Curve(1)->GetStyle();
            change(s);
            p.SetCurveStyle(1, s);
            QCOMPARE(History().Count(), ++steps);
        }
        // Looks hold no points.
        QCOMPARE(History().HeldBytes(), size_t(0));
    }

    void aNewCurveGivenUpLeavesTheStepsBeforeIt() {
        TCurvePanel& p = Panel();
        p.AddCurve(Ramp(5, 1.0, "a.dat"), true, true);
        A("X1")->trigger();
        A("NewCurve1")->trigger();
        TTableWindow* t = p.TableWindow(2);
        QVERIFY(t != nullptr);
        // One point typed into the new curve, then its table closed: the curve goes, and its only step can
        // bring back nothing (it was empty before): Undo goes on with the step before.
        t->Table().Resize(3);
        t->Table().X[0] = 1;
        t->Table().Y[0] = 2;
        QVERIFY(t->OnTakeBack());
        QCOMPARE(p.Curve(2)->Count(), 1);
        QVERIFY(dynamic_cast<QWidget*>(t)->close());
        QCOMPARE(p.CurveCount(), 1);
        p.Undo();
        QCOMPARE(p.CurveCount(), 1);
        p.Undo();
        QCOMPARE(p.CurveCount(), 1);
        QCOMPARE(p.Curve(1)->Y(2), Ramp(5, 1.0).Y(2));
    }

    void axesStepsFollowEveryPartOfTheAxes() {
        Panel().AddCurve(Ramp(5, 1.0), true, true);
        TAxesDlg& d = SharedDialog<TAxesDlg>();
        d.Window = win.get();
        const std::vector<std::function<void(TAxesValues&)>> changes = {
            [](TAxesValues& v) { v.X1 -= 1; },         [](TAxesValues& v) { v.X2 += 1; },
            [](TAxesValues& v) { v.Y1 -= 1; },         [](TAxesValues& v) { v.Y2 += 1; },
            [](TAxesValues& v) { v.XDiv += 1; },       [](TAxesValues& v) { v.YDiv += 1; },
            [](TAxesValues& v) { v.XCaption += 'x'; }, [](TAxesValues& v) { v.YCaption += 'y'; },
            [](TAxesValues& v) { v.Title += 't'; },    [](TAxesValues& v) { v.XLog = !v.XLog; },
            [](TAxesValues& v) { v.YLog = !v.YLog; }};
        int steps = 0;
        for (const auto& change : changes) {
            win->Notify(notify::AxesAction, 2, 0);
            TAxesValues v = d.Values();
            change(v);
            d.ShowValues(v);
            const TAxesState before = TAxesState::Of(Panel().Grid());
            win->Notify(notify::AxesAction, 0, 0);
            QCOMPARE(History().Count(), ++steps);
            const TAxesState after = TAxesState::Of(Panel().Grid());
            A("Undo1")->trigger();
            QVERIFY(TAxesState::Of(Panel().Grid()) == before);
            A("Redo1")->trigger();
            QVERIFY(TAxesState::Of(Panel().Grid()) == after);
        }
        QCOMPARE(History().HeldBytes(), size_t(0));
    }

    void constantsAndDeletionsNameTheirSteps() {
        Panel().AddCurve(Ramp(5, 1.0, "a.dat"), true, true);
        Panel().AddCurve(Ramp(5, 30.0, "wide.dat"), true, true);
        Panel().SetActiveCurve(1);
        for (const int code : {notify::AddConstant, notify::MultiplyConstant, notify::ShiftConstant,
                               notify::StretchConstant}) {
            int32_t a = 0, b = 0;
            PackDouble(2.5, a, b);
            win->Notify(code, a, b);
        }
        QCOMPARE(HistoryTexts(History()), (QStringList{"y + 2.5 of curve #1", "y * 2.5 of curve #1",
                                                       "x + 2.5 of curve #1", "x * 2.5 of curve #1"}));
        // With auto update the axes follow a deletion and its Undo.
        const double top = Panel().Grid().WorldMax.y;
        Panel().SetActiveCurve(2);
        A("Delete1")->trigger();
        QVERIFY(Panel().Grid().WorldMax.y < top);
        A("Undo1")->trigger();
        QCOMPARE(Panel().Grid().WorldMax.y, top);
    }
};

QTEST_MAIN(TestUndoHistory)
#include "test_undohistory.moc"
