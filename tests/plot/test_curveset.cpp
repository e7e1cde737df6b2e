// The curve set: adding by copy with the ranges rule, the full set, removal, activation, notifications,
// drawing order and the picture of the whole graph.
#include "plot/w_curve.h"

#include <QImage>
#include <QPainter>
#include <QTest>

#include <utility>
#include <vector>

namespace {

struct TRecorder : NotifyTarget {
    std::vector<std::pair<const char*, int>> calls;
    const char* name;
    explicit TRecorder(const char* n) : name(n) {}
    intptr_t Notify(int code, int32_t, int32_t) override {
        calls.emplace_back(name, code);
        return 0;
    }
};

TCurveB Line(double x0, double x1, double y0, double y1, int n = 2) {
    TCurveB c;
    for (int i = 0; i < n; ++i) {
        const double t = n == 1 ? 0.0 : double(i) / (n - 1);
        c.AddPoint(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t);
    }
    c.CalcRanges();
    return c;
}

int CountColour(const QImage& img, QColor c, QRect area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (img.pixelColor(x, y) == c) ++n;
    return n;
}

} // namespace

class TestCurveSet : public QObject {
    Q_OBJECT
private slots:
    void addTakesRangesPerBound() {
        TCurveSet s;
        TCurveB one;
        one.AddPoint(3, 4);
        one.CalcRanges();
        QVERIFY(s.Add(one));
        QCOMPARE(s.Count(), 1);
        QCOMPARE(s.Active(), 1);
        // A single point has a degenerate range both ways: no bound is taken.
        QCOMPARE(s.Min.x, 0.0);
        QCOMPARE(s.Max.y, 0.0);
        TCurveB flat = Line(-2, 5, 7, 7); // y range degenerate: only x bounds
        s.Add(flat);
        QCOMPARE(s.Min.x, -2.0);
        QCOMPARE(s.Max.x, 5.0);
        QCOMPARE(s.Max.y, 0.0);
        s.Add(Line(1, 2, -1, 9));
        QCOMPARE(s.Min.y, -1.0);
        QCOMPARE(s.Max.y, 9.0);
        QCOMPARE(s.Active(), 1);
        // The set keeps its own copy.
        flat.SetX(1, 100);
        QCOMPARE(s.Curve(2)->X(1), -2.0);
        QVERIFY(s.Curve(0) == nullptr && s.Curve(4) == nullptr);
        // Recomputed from the curves themselves.
        s.RecomputeRanges();
        QCOMPARE(s.Min.y, -1.0);
        QCOMPARE(s.Max.y, 9.0);
        QCOMPARE(s.Min.x, -2.0);
        s.SetCount(0);
        s.MergeRanges();
        QCOMPARE(s.Max.x, 10.0);
        QCOMPARE(s.Max.y, 10.0);
        QCOMPARE(s.Active(), 0);
    }

    void fullSetRefusesInsteadOfDroppingCurveOne() {
        WCurveSet s;
        for (int i = 1; i <= 100; ++i) QVERIFY(s.AddCurve(Line(0, i, 0, 1), false, false));
        QCOMPARE(s.Count(), 100);
        QCOMPARE(s.Curve(100)->linecolor, TColor(0xFFFFFF)); // slot 100: table entry 4, white
        QCOMPARE(s.Curve(1)->linecolor, TColor(0x00FF00));
        QCOMPARE(s.Curve(13)->linecolor, TColor(0x00FF00));
        QVERIFY(!s.AddCurve(Line(0, 500, 0, 1), true, true));
        QVERIFY(!s.Add(Line(0, 500, 0, 1)));
        QCOMPARE(s.Count(), 100);
        QCOMPARE(s.Curve(1)->XMax, 1.0); // curve 1 is still the first one added
        QCOMPARE(s.Max.x, 100.0);
    }

    void addCurveAppliesSlotColourAndDefaultStyle() {
        WCurveSet s;
        DefaultCurveProps = {false, true, 5};
        s.AddCurve(Line(0, 1, 0, 1), false, false);
        s.AddCurve(Line(0, 2, 0, 3), true, false);
        DefaultCurveProps = {};
        const TPlottedCurve& c = *s.Curve(2);
        QCOMPARE(c.linecolor, TColor(0xFF00FF));
        QCOMPARE(c.SymbolColor, TColor(0xFF00FF));
        QCOMPARE(c.SymbolSize, 5);
        QVERIFY(!c.line && c.symbol);
        QCOMPARE(s.Grid.WorldMax.x, 2.0);
        QCOMPARE(s.Grid.WorldMax.y, 3.0);
        s.Curve(1)->linecolor = 0x123456;
        s.ResetColors(false);
        QCOMPARE(s.Curve(1)->linecolor, TColor(0x00FF00));
    }

    void removeAndDelete() {
        WCurveSet s;
        for (int i = 1; i <= 3; ++i) s.AddCurve(Line(0, i, 0, i), false, false);
        s.SetActive(3);
        s.SetActive(7); // ignored
        QCOMPARE(s.Active(), 3);
        s.Remove(3);
        QCOMPARE(s.Count(), 2);
        QCOMPARE(s.Active(), 2);
        QCOMPARE(s.Max.x, 2.0);
        s.Remove(1); // the later curves move down
        QCOMPARE(s.Curve(1)->XMax, 2.0);
        s.Remove(9); // no such curve
        QCOMPARE(s.Count(), 1);
        s.Grid.SetWorld({-5, -5}, {50, 50});
        s.DeleteCurve(1, true, false);
        QCOMPARE(s.Count(), 0);
        QCOMPARE(s.Active(), 0);
        QCOMPARE(s.Grid.WorldMin.x, 0.0);
        QCOMPARE(s.Grid.WorldMax.x, 10.0);
        QCOMPARE(s.Grid.WorldMax.y, 10.0);
        s.Remove(1); // empty: nothing
        QCOMPARE(s.Count(), 0);
        // ReplaceSlot hands back the old curve.
        s.AddCurve(Line(0, 1, 0, 1), false, false);
        auto old = s.ReplaceSlot(1, std::make_unique<TPlottedCurve>(Line(0, 7, 0, 1)));
        QCOMPARE(old->XMax, 1.0);
        QCOMPARE(s.Curve(1)->XMax, 7.0);
    }

    void activationWrapsAndNotifies() {
        WCurveSet s;
        TRecorder panel("panel"), window("window");
        s.OwnerPanel = &panel;
        s.NotifyWindow = &window;
        int activeChanged = 0;
        s.OnActiveChanged = [&](WCurveSet&) { ++activeChanged; };
        s.AddCurve(Line(0, 1, 0, 1), false, false);
        s.SetActiveWrap(0); // one curve: nothing
        QCOMPARE(activeChanged, 0);
        QVERIFY(window.calls.empty());
        s.AddCurve(Line(0, 1, 0, 1), false, false);
        s.AddCurve(Line(0, 1, 0, 1), false, false);
        s.SetActiveWrap(0);
        QCOMPARE(s.Active(), 3);
        s.SetActiveWrap(4);
        QCOMPARE(s.Active(), 1);
        s.SetActiveWrap(1); // already active
        QCOMPARE(activeChanged, 2);
        // Redraw: the panel rebuilds first, then the window hears 0x7E8 and 0x7EA.
        QCOMPARE(panel.calls.size(), size_t(2));
        QCOMPARE(panel.calls[0].second, 0x401);
        QCOMPARE(window.calls.size(), size_t(4));
        QCOMPARE(window.calls[0].second, 0x7E8);
        QCOMPARE(window.calls[1].second, 0x7EA);
        // With RedrawOnActivate off (the panel's setting), only the window is told.
        panel.calls.clear();
        window.calls.clear();
        s.RedrawOnActivate = false;
        s.SetActiveWrap(2);
        QVERIFY(panel.calls.empty());
        QCOMPARE(window.calls.size(), size_t(2));
        s.SetActiveAndNotify(3);
        QCOMPARE(s.Active(), 3);
        QVERIFY(panel.calls.empty());
        QCOMPARE(activeChanged, 4);
        // DrawEnabled off: Redraw sends nothing.
        s.DrawEnabled = false;
        window.calls.clear();
        s.RescaleAndRedraw();
        s.ZoomBy(2, 0, 2, 0);
        QVERIFY(window.calls.empty());
        QCOMPARE(s.Grid.WorldMin.x, -0.5);
        // A set without a window simply does not send.
        WCurveSet lone;
        int changed = 0, invalidated = 0;
        lone.OnChanged = [&](WCurveSet&) { ++changed; };
        lone.OnInvalidate = [&](WCurveSet&) { ++invalidated; };
        lone.SetCountAndRedraw(0);
        QCOMPARE(changed, 1);
        QCOMPARE(invalidated, 1);
    }

    void activeCurveIsDrawnLast() {
        WCurveSet s;
        s.AddCurve(Line(0, 10, 5, 5), true, false); // lime
        s.AddCurve(Line(0, 10, 5, 5), true, false); // fuchsia, same pixels
        s.Grid.SetWorld({0, 0}, {10, 10});
        s.Grid.DevTopLeft = {10, 10};
        s.Grid.DevBottomRight = {110, 110};
        s.Grid.UpdateScale();
        auto colourAtMiddle = [&] {
            QImage img(120, 120, QImage::Format_RGB32);
            img.fill(Qt::black);
            QPainter p(&img);
            s.DrawCurves(p, false);
            p.end();
            return img.pixelColor(60, 60);
        };
        s.SetActive(1);
        QCOMPARE(colourAtMiddle(), QColor(0, 255, 0));
        s.SetActive(2);
        QCOMPARE(colourAtMiddle(), QColor(255, 0, 255));
        // With offset the plot area starts at (1, 1) and the grid is left as it was.
        QImage area(103, 103, QImage::Format_RGB32);
        area.fill(Qt::black);
        QPainter p(&area);
        s.DrawCurves(p, true);
        p.end();
        QCOMPARE(area.pixelColor(51, 51), QColor(255, 0, 255));
        QCOMPARE(s.Grid.Left(), 10);
    }

    void paintToKeepsCurvesInsideThePlot() {
        WCurveSet s;
        s.Grid.BackgrColor = 0x000000;
        TCurveB wide = Line(-5, 15, -5, 15, 400); // runs beyond the axes on both sides
        s.AddCurve(wide, false, false);
        s.Curve(1)->symbol = true;
        s.Grid.SetWorld({0, 0}, {10, 10});
        QImage img(400, 300, QImage::Format_RGB32);
        img.fill(Qt::white);
        {
            QPainter p(&img);
            QFont f(QStringLiteral("DejaVu Sans"));
            f.setPixelSize(12);
            p.setFont(f);
            s.PaintTo(p, 400, 300, 1.0);
        }
        const QColor lime(0, 255, 0);
        const QRect plot(QPoint(s.Grid.Left(), s.Grid.Top()), QPoint(s.Grid.Right(), s.Grid.Bottom()));
        QVERIFY(CountColour(img, lime, plot) > 100);
        QCOMPARE(CountColour(img, lime, img.rect()), CountColour(img, lime, plot));
        QCOMPARE(img.pixelColor(plot.left() + 5, plot.top() + 5), QColor(Qt::black));    // background
        QCOMPARE(img.pixelColor(plot.left() - 3, plot.center().y()), QColor(Qt::black)); // outer frame
        QCOMPARE(img.pixelColor(plot.left() - 2, plot.center().y()), QColor(Qt::white));
        QCOMPARE(SymbolScale, 1.0);

        // A factor of 2 doubles the symbols (not the lines) and the text, and puts the scale back.
        s.Curve(1)->line = false;
        TCurveB dot;
        dot.AddPoint(5.6, 5.6); // clear of the grid lines, which are drawn over the curves
        s.SetCount(0);
        s.AddCurve(dot, false, false);
        s.Curve(1)->symbol = true;
        s.Curve(1)->line = false;
        int fontAfter = 0;
        auto symbolPixels = [&](double factor) {
            QImage im(400, 300, QImage::Format_RGB32);
            im.fill(Qt::white);
            QPainter p(&im);
            QFont f(QStringLiteral("DejaVu Sans"));
            f.setPointSize(9);
            p.setFont(f);
            s.PaintTo(p, 400, 300, factor);
            fontAfter = p.font().pointSize();
            p.end();
            return std::pair{CountColour(im, lime, im.rect()), s.Grid.Top()};
        };
        const auto [small, top1] = symbolPixels(1.0);
        const auto [big, top2] = symbolPixels(2.0);
        QCOMPARE(small, 32); // radius 3
        QCOMPARE(big, 112);  // radius 6
        QCOMPARE(top1, 12);  // no title: the top margin does not depend on the font
        QCOMPARE(top2, 12);
        QCOMPARE(fontAfter, 9); // the painter's own font is given back
        QCOMPARE(SymbolScale, 1.0);
    }

    void averageAndMergeOfChosenCurves() {
        WCurveSet s;
        TCurveB a, b, c;
        for (double x : {0.0, 1.0, 2.0}) a.AddPoint(x, 2.0);
        for (double x : {1.0, 2.0, 3.0}) b.AddPoint(x, 4.0);
        c.AddPoint(0, 1);
        c.AddPoint(2, 1);
        c.AddPoint(1, 5);
        for (TCurveB* k : {&a, &b, &c}) {
            k->CalcRanges();
            s.AddCurve(*k, false, false);
        }
        TCurveB r;
        const int32_t ab[] = {1, 2};
        QVERIFY(s.Average(ab, r, false));
        QCOMPARE(r.Count(), 3); // at the x values of the first listed curve
        QCOMPARE(r.X(1), 0.0);
        QCOMPARE(r.Y(1), 2.0); // only the first curve covers x = 0
        QCOMPARE(r.Y(2), 3.0);
        const int32_t three[] = {3};
        TCurveB untouched;
        QVERIFY(!s.Average(three, untouched, true)); // fewer than two: nothing
        QCOMPARE(untouched.Count(), 0);
        const int32_t bad[] = {1, 7};
        QVERIFY(!s.Merge(bad, untouched));
        QCOMPARE(untouched.Count(), 0);
        const int32_t ca[] = {3, 1};
        QVERIFY(s.Merge(ca, r));
        QCOMPARE(r.Count(), 6);
        QCOMPARE(r.X(1), 0.0);
        QCOMPARE(r.Y(1), 1.0); // equal x keep list order: curve 3 first
        QCOMPARE(r.Y(2), 2.0);
    }

    void previewOfCurve() {
        WCurveSet s;
        s.Grid.BackgrColor = 0x000000;
        s.AddCurve(Line(0, 1, 0, 1), false, false);
        QImage img(30, 10, QImage::Format_RGB32);
        img.fill(Qt::white);
        s.PreviewOfCurve(1, img);
        QCOMPARE(img.pixelColor(0, 0), QColor(Qt::black));
        QCOMPARE(img.pixelColor(3, 5), QColor(0, 255, 0));
        s.PreviewOfCurve(5, img); // no such curve: background only
        QCOMPARE(img.pixelColor(3, 5), QColor(Qt::black));
    }
};

QTEST_MAIN(TestCurveSet)
#include "test_curveset.moc"
