// The curve set: adding by copy with the ranges rule, the full set, removal, activation, notifications,
// drawing order, the picture of the whole graph and the averages of chosen curves.
#include "../pixels.h"
#include "plot/w_curve.h"

#include <QImage>
#include <QPainter>
#include <QTest>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

struct TRecorder : NotifyTarget {
    std::vector<int>& log;
    explicit TRecorder(std::vector<int>& l) : log(l) {}
    intptr_t Notify(int code, int32_t, int32_t) override {
        log.push_back(code);
        return 0;
    }
};

TCurveB Line(double x0, double x1, double y0, double y1, int n = 2) {
    TCurveB c;
    for (int i = 0; i < n; ++i) {
        const double t = n > 1 ? double(i) / (n - 1) : 0.0;
        c.AddPoint(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t);
    }
    c.CalcRanges();
    return c;
}

// xmin, xmax, ymin, ymax of the set.
std::vector<double> Bounds(const TCurveSet& s) {
    return {s.Min.x, s.Max.x, s.Min.y, s.Max.y};
}

QImage Painted(WCurveSet& s, double factor) {
    QImage img(400, 300, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSize(9);
    p.setFont(f);
    s.PaintTo(p, 400, 300, factor);
    if (p.font().pointSize() != 9) img = QImage(); // the painter's own font must come back
    return img;
}

} // namespace

class TestCurveSet : public QObject {
    Q_OBJECT
private slots:
    void addTakesRangesPerBound() {
        TCurveSet s;
        TCurveB one = Line(3, 3, 4, 4, 1);
        QVERIFY(s.Add(one));
        QVERIFY(s.Count() == 1 && s.Active() == 1);
        QCOMPARE(Bounds(s), (std::vector<double>{0, 0, 0, 0})); // a single point takes no bound
        TCurveB flat = Line(-2, 5, 7, 7);                       // y range degenerate: x bounds only
        s.Add(flat);
        QCOMPARE(Bounds(s), (std::vector<double>{-2, 5, 0, 0}));
        s.Add(Line(1, 2, -1, 9));
        QCOMPARE(Bounds(s), (std::vector<double>{-2, 5, -1, 9}));
        QCOMPARE(s.Active(), 1);
        flat.SetX(1, 100); // the set holds its own copy
        QCOMPARE(s.Curve(2)->X(1), -2.0);
        s.RecomputeRanges();
        QCOMPARE(Bounds(s), (std::vector<double>{-2, 5, -1, 9}));
        s.SetCount(0);
        s.MergeRanges();
        QCOMPARE(Bounds(s), (std::vector<double>{0, 10, 0, 10}));
        QCOMPARE(s.Active(), 0);
    }

    void addCurveColoursAndTheFullSet() {
        WCurveSet s;
        DefaultCurveProps = {false, true, 5};
        for (int i = 1; i <= 100; ++i) QVERIFY(s.AddCurve(Line(0, i, 0, 1), i == 2, false));
        DefaultCurveProps = {};
        QCOMPARE(s.Grid.WorldMax.x, 2.0); // rescaled when curve 2 came in
        const TPlottedCurve& c = *s.Curve(2);
        QVERIFY(c.linecolor == 0xFF00FF && c.SymbolColor == 0xFF00FF && c.SymbolSize == 5 && !c.line &&
                c.symbol);
        QCOMPARE(s.Curve(13)->linecolor, TColor(0x00FF00));
        QCOMPARE(s.Curve(100)->linecolor, TColor(0xFFFFFF)); // table entry 4, white
        // The 101st curve is refused; curve 1 is not given up for it.
        QVERIFY(!s.AddCurve(Line(0, 500, 0, 1), true, true));
        QCOMPARE(s.Count(), 100);
        QCOMPARE(s.Curve(1)->XMax, 1.0);
        QCOMPARE(s.Max.x, 100.0);
        s.Curve(1)->linecolor = 0x123456;
        s.ResetColors(false);
        QCOMPARE(s.Curve(1)->linecolor, TColor(0x00FF00));
    }

    void rescaleGivesOneValueASpan() {
        // A single point or a constant curve adds no bound to the set's range; the axes still take it in, a
        // third of the way up a visible span (a tenth to ten times the value on a logarithmic axis).
        auto world = [](std::initializer_list<TCurveB> curves, bool ylog) {
            WCurveSet s;
            s.Grid.SetYLog(ylog);
            for (const TCurveB& c : curves) s.AddCurve(c, true, false);
            const TGrid& g = s.Grid;
            return std::vector<double>{g.WorldMin.x, g.WorldMax.x, g.WorldMin.y, g.WorldMax.y};
        };
        QCOMPARE(world({Line(3, 3, 4, 4, 1)}, false), (std::vector<double>{2, 5, 3, 6}));
        QCOMPARE(world({Line(0, 10, 0, 0)}, false), (std::vector<double>{0, 10, -1, 2}));
        QCOMPARE(world({Line(0, 10, 50, 50), Line(0, 10, 50, 50)}, false),
                 (std::vector<double>{0, 10, 45, 60}));
        QCOMPARE(world({Line(3, 3, 4, 4, 1)}, true), (std::vector<double>{2, 5, 0.4, 40}));
        // Near the largest double the span stops at it: an end beyond it maps no point.
        QCOMPARE(world({Line(3, 3, 1.7e308, 1.7e308, 1)}, false)[3], std::numeric_limits<double>::max());
    }

    void removeAndDelete() {
        WCurveSet s;
        for (int i = 1; i <= 3; ++i) s.AddCurve(Line(0, i, 0, i), false, false);
        s.SetActive(3);
        s.SetActive(7);  // ignored
        s.SetActive(-1); // ignored
        s.Remove(3);
        QVERIFY(s.Count() == 2 && s.Active() == 2 && s.Max.x == 2.0);
        s.Remove(1); // the later curves move down
        QCOMPARE(s.Curve(1)->XMax, 2.0);
        s.Remove(9);
        QCOMPARE(s.Count(), 1);
        s.Grid.SetWorld({-5, -5}, {50, 50});
        s.DeleteCurve(1, true, false);
        QVERIFY(s.Count() == 0 && s.Active() == 0);
        QVERIFY(s.Grid.WorldMin.x == 0 && s.Grid.WorldMax.x == 10 && s.Grid.WorldMin.y == 0 &&
                s.Grid.WorldMax.y == 10);
        s.Remove(1); // empty: nothing
    }

    void activationWrapsAndNotifies() {
        std::vector<int> log;
        TRecorder panel(log), window(log);
        WCurveSet s;
        s.OwnerPanel = &panel;
        s.NotifyWindow = &window;
        int activeChanged = 0;
        s.OnActiveChanged = [&](WCurveSet&) { ++activeChanged; };
        s.AddCurve(Line(0, 1, 0, 1), false, false);
        s.SetActiveWrap(0); // one curve: nothing
        QVERIFY(activeChanged == 0 && log.empty());
        s.AddCurve(Line(0, 1, 0, 1), false, false);
        s.AddCurve(Line(0, 1, 0, 1), false, false);
        s.SetActiveWrap(0);
        QCOMPARE(s.Active(), 3);
        QCOMPARE(log, (std::vector<int>{0x401, 0x7E8, 0x7EA})); // the panel rebuilds, then the window is told
        s.SetActiveWrap(4);
        QCOMPARE(s.Active(), 1);
        s.SetActiveWrap(1); // already active
        QCOMPARE(activeChanged, 2);
        // With RedrawOnActivate off (the panel's setting), only the window is told.
        log.clear();
        s.RedrawOnActivate = false;
        s.SetActiveWrap(2);
        s.SetActiveAndNotify(3);
        QCOMPARE(log, (std::vector<int>{0x7E8, 0x7EA}));
        QVERIFY(s.Active() == 3 && activeChanged == 4);
    }

    void paintToKeepsCurvesInsideThePlot() {
        WCurveSet s;
        s.Grid.BackgrColor = 0x000000;
        s.AddCurve(Line(-5, 15, -5, 15, 400), false, false); // runs beyond the axes on both sides
        s.Curve(1)->symbol = true;
        s.Grid.SetWorld({0, 0}, {10, 10});
        QImage img = Painted(s, 1.0);
        QVERIFY(!img.isNull());
        const QColor lime(0, 255, 0);
        const QRect plot(QPoint(s.Grid.Left(), s.Grid.Top()), QPoint(s.Grid.Right(), s.Grid.Bottom()));
        QVERIFY(Count(img, lime, plot) > 100);
        QCOMPARE(Count(img, lime, img.rect()), Count(img, lime, plot));
        QCOMPARE(img.pixelColor(plot.left() + 5, plot.top() + 5), QColor(Qt::black));    // background
        QCOMPARE(img.pixelColor(plot.left() - 3, plot.center().y()), QColor(Qt::black)); // outer frame
        QCOMPARE(img.pixelColor(plot.left() - 2, plot.center().y()), QColor(Qt::white));

        // A factor of 2 doubles the symbol radius and puts the shared scale back.
        s.SetCount(0);
        s.AddCurve(Line(5.6, 5.6, 5.6, 5.6, 1), false,
                   false); // clear of the grid lines drawn over the curves
        s.Curve(1)->symbol = true;
        QCOMPARE(Count(Painted(s, 1.0), lime, img.rect()), 32);  // radius 3
        QCOMPARE(Count(Painted(s, 2.0), lime, img.rect()), 112); // radius 6
        QCOMPARE(SymbolScale, 1.0);

        // The gaps between the frame and the labels grow with the text (a printed page draws at a factor of
        // ten and more): rows below the frame stay clear for 7 pixels times the factor, the labels follow.
        for (const double factor : {1.0, 2.5}) {
            const QImage page = Painted(s, factor);
            const TGrid& g = s.Grid; // laid out for the page
            const auto dark = [&page](int top, int bottom, int left, int right) {
                int n = 0;
                for (int y = top; y < bottom; ++y)
                    for (int x = left; x <= right; ++x) n += page.pixelColor(x, y).lightness() < 128;
                return n;
            };
            const int gap = static_cast<int>(std::lround(7 * factor));
            QCOMPARE(dark(g.Bottom() + 4, g.Bottom() + gap, g.Left(), g.Right()), 0);
            QVERIFY(dark(g.Bottom() + gap, g.Bottom() + gap + 12 * int(factor), g.Left(), g.Right()) > 20);
            const int ygap = static_cast<int>(std::lround(6 * factor));
            QCOMPARE(dark(g.Top(), g.Bottom(), g.Left() - ygap + 1, g.Left() - 4), 0);
            QVERIFY(dark(g.Top(), g.Bottom(), 0, g.Left() - ygap) > 20);
        }
        QCOMPARE(s.Grid.TextScale, 1.0);
    }

    void pastedText() {
        auto points = [](const char* text) {
            const TCurveB c = ParsePasteText(text);
            std::vector<double> v;
            for (int i = 1; i <= c.Count(); ++i) v.insert(v.end(), {c.X(i), c.Y(i)});
            return v;
        };
        QCOMPARE(points("1 2\n3 4\n5"), (std::vector<double>{1, 2, 3, 4}));
        QCOMPARE(points("1,2,3,4"), (std::vector<double>{1, 2, 3, 4}));
        QCOMPARE(points("1.5E-01\t-2\r\n7\r\n8 9\r\n"), (std::vector<double>{0.15, -2, 8, 9}));
        QCOMPARE(points("+1 +-2\n+3 4"), (std::vector<double>{3, 4})); // one sign to a number
        QCOMPARE(points("1e999 2\n1-2 3\n"), std::vector<double>{});   // no infinity, no half-read number
        // A CR alone ends a line as LF does: a lone number's line, and the rest of a line that is no data.
        QCOMPARE(points("1 2\r3 4\r"), (std::vector<double>{1, 2, 3, 4}));
        QCOMPARE(points("1\r2 3\r"), (std::vector<double>{2, 3}));
        QCOMPARE(points("word 5\r7 8\r"), (std::vector<double>{7, 8}));
        // A block of no points: nothing is copied out of the empty curve's absent arrays.
        TCurveB empty;
        QVERIFY(ParseCurveBlock(std::string_view("\0\0\0\0", 4), empty) && empty.Count() == 0);
    }

    void clipboardTextKeepsEveryDigitNeeded() {
        // Eight digits where they read back exactly; time stamps a second apart, thirds and the smallest
        // double take what they need, and every value pasted back is the very same double.
        TCurveB c;
        c.AddPoint(1700001234, 1.5);
        c.AddPoint(1700001235, 1.0 / 3);
        c.AddPoint(0.1, -4.9e-324);
        c.AddPoint(-123456789.5, 1e100);
        for (int i = 0; i < 200; ++i) c.AddPoint(std::ldexp(1.0 + i * 0.0123456789, i - 100), -i * 1e-7);
        const std::string text = CurveClipboardText(c);
        QVERIFY(text.starts_with("1.700001234E+09\t1.5000000E+00\r\n1.700001235E+09\t"
                                 "3.333333333333333E-01\r\n1.0000000E-01\t-4.9406565E-324\r\n"
                                 "-1.234567895E+08\t1.0000000E+100\r\n"));
        const TCurveB back = ParsePasteText(text);
        QCOMPARE(back.Count(), c.Count());
        for (int32_t i = 1; i <= c.Count(); ++i) {
            QCOMPARE(back.X(i), c.X(i));
            QCOMPARE(back.Y(i), c.Y(i));
        }
    }

    void blockSizes() {
        // A block is read only when its size is exactly that of its count of points.
        const std::string block = CurveBlock(Line(1.5, 1.5, -2, -2, 1));
        QCOMPARE(block.size(), size_t(20));
        TCurveB c;
        QVERIFY(ParseCurveBlock(block, c));
        QVERIFY(c.Count() == 1 && c.X(1) == 1.5 && c.Y(1) == -2.0);
        for (const std::string& bad : {block + '\0', block.substr(0, 19), block.substr(0, 3)}) {
            QVERIFY(!ParseCurveBlock(bad, c));
            QCOMPARE(c.Count(), 0);
        }
    }

    void previewAndAverages() {
        WCurveSet s;
        s.Grid.BackgrColor = 0x000000;
        s.AddCurve(Line(0, 2, 2, 2, 3), false, false);
        s.AddCurve(Line(1, 3, 4, 4, 3), false, false);
        TCurveB c;
        for (TXYPoint p : {TXYPoint{0, 1}, {2, 1}, {1, 5}}) c.AddPoint(p.x, p.y);
        c.CalcRanges();
        s.AddCurve(c, false, false);
        QImage img(30, 10, QImage::Format_RGB32);
        s.PreviewOfCurve(1, img);
        QVERIFY(img.pixelColor(0, 0) == QColor(Qt::black) && img.pixelColor(3, 5) == QColor(0, 255, 0));

        TCurveB r;
        const int32_t ab[] = {1, 2};
        QVERIFY(s.Average(ab, r, false)); // at the x values of the first listed curve
        QVERIFY(r.Count() == 3 && r.X(1) == 0.0 && r.Y(1) == 2.0 && r.Y(2) == 3.0);
        const int32_t ca[] = {3, 1};
        QVERIFY(s.Merge(ca, r));
        QVERIFY(r.Count() == 6 && r.Y(1) == 1.0 && r.Y(2) == 2.0); // equal x keep list order
        TCurveB untouched;
        const int32_t three[] = {3}, bad[] = {1, 7};
        QVERIFY(!s.Average(three, untouched, true)); // fewer than two: nothing
        QVERIFY(!s.Merge(bad, untouched));           // no curve 7
        QCOMPARE(untouched.Count(), 0);
    }
};

QTEST_MAIN(TestCurveSet)
#include "test_curveset.moc"
