// Drawing of one curve: visible range, thinning, the skipped runs outside the plot, symbols, previews.
#include "plot/MovingCurves.h"
#include "plot/curve_plot.h"

#include <QImage>
#include <QPainter>
#include <QTest>

#include <cmath>
#include <random>

namespace {

const QColor Red(255, 0, 0);
const QColor White(255, 255, 255);

// A 300 x 200 surface with the plot rectangle at (50, 50) .. (250, 150) over world 0..10 x 0..10.
TWin PlotWindow() {
    TWin w;
    w.DevTopLeft = {50, 50};
    w.DevBottomRight = {250, 150};
    w.WorldMin = {0, 0};
    w.WorldMax = {10, 10};
    w.UpdateScale();
    return w;
}

QImage Blank(int w = 300, int h = 200) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(White);
    return img;
}

TPlottedCurve Curve(std::initializer_list<TXYPoint> pts) {
    TPlottedCurve c;
    for (const auto& p : pts) c.AddPoint(p.x, p.y);
    c.CalcRanges();
    c.line = true;
    c.symbol = false;
    c.linecolor = 0x0000FF;
    c.SymbolColor = 0x0000FF;
    return c;
}

QImage Drawn(const TPlottedCurve& c, const TWin& w, int width = 300, int height = 200) {
    QImage img = Blank(width, height);
    QPainter p(&img);
    c.Draw(1, c.Count(), w, p);
    return img;
}

int CountColour(const QImage& img, QColor c, QRect area = QRect()) {
    if (area.isNull()) area = img.rect();
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (img.pixelColor(x, y) == c) ++n;
    return n;
}

} // namespace

class TestCurvePlot : public QObject {
    Q_OBJECT
private slots:
    void visibleRangeAndStep() {
        TCurveA c;
        for (int i = 1; i <= 10; ++i) c.AddPoint(i, 0);
        int32_t i1 = 0, i2 = 0;
        VisibleRange(c, 1, 10, 3.5, 6.5, i1, i2);
        QCOMPARE(i1, 3);
        QCOMPARE(i2, 7);
        VisibleRange(c, 1, 10, 20, 30, i1, i2); // all left of the range
        QCOMPARE(i1, 10);
        QCOMPARE(i2, 10);
        VisibleRange(c, 1, 10, -5, -1, i1, i2); // all right of it
        QCOMPARE(i1, 1);
        QCOMPARE(i2, 2);
        VisibleRange(c, 4, 8, 0, 100, i1, i2);
        QCOMPARE(i1, 4);
        QCOMPARE(i2, 8);
        TCurveA u;
        for (double x : {5.0, -3.0, 9.0, 1.0, 7.0, 2.0, -8.0}) u.AddPoint(x, 0);
        VisibleRange(u, 1, 7, 0, 4, i1, i2);
        QVERIFY(i1 >= 1 && i1 <= 7 && i2 >= 1 && i2 <= 7);
        QCOMPARE(DecimationStep(1200), 1);
        QCOMPARE(DecimationStep(1201), 2);
        QCOMPARE(DecimationStep(3001), 3);
        QCOMPARE(DecimationStep(20000), 3);
        QCOMPARE(DecimationStep(20001), 5);
    }

    void styleRecordRoundTrip() {
        TPlottedCurve a;
        QCOMPARE(a.linecolor, TColor(0x008000));
        QVERIFY(!a.line);
        QVERIFY(a.symbol);
        a.AddPoint(1, 2);
        a.Comment = "note";
        a.line = true;
        a.linestyle = psDashDot;
        a.SymbolSize = 7;
        a.symbolstyle = 4;
        a.SymbolColor = 0x123456;
        TPlottedCurve b(static_cast<const TCurveB&>(a)); // points and header, default style
        QCOMPARE(b.Count(), 1);
        QCOMPARE(b.Comment, std::string("note"));
        QCOMPARE(b.SymbolSize, 3);
        b.CopyHeaderAndStyle(a);
        const CurveStyle s = b.GetStyle();
        QCOMPARE(s.line, uint8_t(1));
        QCOMPARE(s.linestyle, uint8_t(psDashDot));
        QCOMPARE(s.SymbolSize, 7);
        QCOMPARE(s.symbolstyle, 4);
        QCOMPARE(s.SymbolColor, TColor(0x123456));
        CurveStyle bad = s;
        bad.linestyle = 200;
        b.SetStyle(bad);
        QCOMPARE(b.linestyle, psSolid);
        QCOMPARE(ToQtPenStyle(psDashDotDot), Qt::DashDotDotLine);
        QCOMPARE(FromQtPenStyle(Qt::DotLine), psDot);
    }

    void emptyCurveLeavesSurfaceAlone() {
        TPlottedCurve c;
        QImage img = Blank();
        QPainter p(&img);
        p.setPen(QPen(Qt::green, 3));
        c.Draw(1, 0, PlotWindow(), p);
        c.Draw(1, 5, PlotWindow(), p);
        QCOMPARE(p.pen().color(), QColor(Qt::green));
        QCOMPARE(p.pen().width(), 3);
        p.end();
        QCOMPARE(CountColour(img, White), 300 * 200);
    }

    void lineJoinsThePoints() {
        const TPlottedCurve c = Curve({{0, 5}, {10, 5}});
        const QImage img = Drawn(c, PlotWindow());
        for (int x = 50; x <= 250; x += 10) QCOMPARE(img.pixelColor(x, 100), Red);
        QCOMPARE(CountColour(img, Red, QRect(0, 0, 300, 99)), 0);
    }

    void runsOutsideThePlotAreSkipped() {
        // Inside, then three points above the plot, then back inside.
        const TPlottedCurve c = Curve({{1, 5}, {2, 5}, {3, 12}, {4, 14}, {5, 12}, {6, 5}, {7, 5}});
        const TWin w = PlotWindow();
        const QImage img = Drawn(c, w);
        // The first segment leaving the plot is drawn, up to (3, 12).
        QCOMPARE(img.pixelColor(w.WorldToDeviceX(3), w.WorldToDeviceY(12)), Red);
        // Nothing between (3, 12), (4, 14) and (5, 12): the run outside draws no line.
        QCOMPARE(CountColour(img, Red,
                             QRect(w.WorldToDeviceX(3) + 1, 0, w.WorldToDeviceX(5) - w.WorldToDeviceX(3) - 1,
                                   w.WorldToDeviceY(12) - 1)),
                 0);
        // The line re-enters from (5, 12), the point just before the first one back inside.
        QCOMPARE(img.pixelColor(w.WorldToDeviceX(5), w.WorldToDeviceY(12)), Red);
        const int midX = (w.WorldToDeviceX(5) + w.WorldToDeviceX(6)) / 2;
        QVERIFY(CountColour(
                    img, Red,
                    QRect(midX, w.WorldToDeviceY(12), 1, w.WorldToDeviceY(5) - w.WorldToDeviceY(12))) > 0);
        QCOMPARE(img.pixelColor(w.WorldToDeviceX(7), w.WorldToDeviceY(5)), Red);
    }

    void symbolsAreCirclesNearThePlot() {
        TPlottedCurve c = Curve({{5, 5}});
        c.line = false;
        c.symbol = true;
        const TWin w = PlotWindow();
        QImage img = Drawn(c, w);
        const int cx = w.WorldToDeviceX(5), cy = w.WorldToDeviceY(5);
        // SymbolSize 3: six pixels across through the centre.
        QCOMPARE(CountColour(img, Red, QRect(0, cy, 300, 1)), 6);
        QCOMPARE(CountColour(img, Red, QRect(cx, 0, 1, 200)), 6);
        // A centre 3 pixels left of the plot is still drawn, 4 pixels left is not.
        const double unit = 1.0 / w.Scale.x;
        c.SetX(1, -3 * unit);
        QVERIFY(CountColour(Drawn(c, w), Red) > 0);
        c.SetX(1, -4 * unit);
        QCOMPARE(CountColour(Drawn(c, w), Red), 0);
        // The scale of a printed graph grows the radius, rounded halves to even.
        SymbolScale = 2.5;
        QCOMPARE(c.SymbolRadius(), 8);
        SymbolScale = 1.5;
        QCOMPARE(c.SymbolRadius(), 4);
        SymbolScale = 1.0;
        c.symbolstyle = 3; // the same circles
        c.SetX(1, 5);
        QCOMPARE(CountColour(Drawn(c, w), Red, QRect(0, cy, 300, 1)), 6);
    }

    void thinningAboveTwelveHundredPoints() {
        // Odd points on one row, even points on another: with step 2 only the odd row gets symbols.
        auto rows = [](int n) {
            TPlottedCurve c;
            for (int i = 1; i <= n; ++i) c.AddPoint(i, i % 2 == 1 ? 2.0 : 8.0);
            c.CalcRanges();
            c.line = false;
            c.symbol = true;
            c.SymbolColor = 0x0000FF;
            TWin w = PlotWindow();
            w.WorldMin = {0, 0};
            w.WorldMax = {n + 1.0, 10};
            w.UpdateScale();
            const QImage img = Drawn(c, w);
            return std::pair{CountColour(img, Red, QRect(50, w.WorldToDeviceY(2), 201, 1)),
                             CountColour(img, Red, QRect(50, w.WorldToDeviceY(8), 201, 1))};
        };
        const auto [odd1200, even1200] = rows(1200);
        QVERIFY(odd1200 > 0 && even1200 > 0);
        const auto [odd1500, even1500] = rows(1500);
        QVERIFY(odd1500 > 0);
        QCOMPARE(even1500, 0);
    }

    void allPointsRightOfTheRangeDrawTheFirstSegment() {
        const TPlottedCurve c = Curve({{20, 5}, {30, 5}, {40, 5}});
        TWin w = PlotWindow();
        w.DevTopLeft = {5, 50};
        w.DevBottomRight = {15, 150};
        w.WorldMax = {1, 10};
        w.UpdateScale(); // 10 pixels per unit: x = 20 lies at 205, x = 30 at 305, beyond the surface's 300
        const QImage img = Drawn(c, w);
        QCOMPARE(img.pixelColor(250, w.WorldToDeviceY(5)), Red); // the segment from point 1 to point 2
        QCOMPARE(img.pixelColor(204, w.WorldToDeviceY(5)), White);
    }

    // The dense-curve paths (column merging of lines, stamped symbols) give the pixels of plain drawing.
    void denseCurvesMatchPlainDrawing() {
        std::mt19937 rng(7);
        std::normal_distribution<double> noise(0.0, 1.5);
        TPlottedCurve c;
        for (int i = 0; i < 50000; ++i) c.AddPoint(i * 1e-4 * 2, 5 + std::sin(i * 1e-3) * 3 + noise(rng));
        c.CalcRanges();
        c.line = true;
        c.symbol = true;
        c.linecolor = 0x0000FF;
        c.SymbolColor = 0xFF0000;
        c.SymbolSize = 2;
        const TWin w = PlotWindow();
        const QImage fast = Drawn(c, w);

        // The same symbols drawn one curve of one point at a time, every visited point (step 5 here).
        int32_t i1 = 0, i2 = 0;
        VisibleRange(c, 1, c.Count(), w.WorldMin.x, w.WorldMax.x, i1, i2);
        const int32_t step = DecimationStep(i2 - i1);
        QCOMPARE(step, 5);
        QImage single = Blank();
        {
            QPainter p(&single);
            TPlottedCurve one = c;
            one.line = false;
            one.SetCount(1);
            for (int32_t i = i1; i <= i2; i += step) {
                one.SetXY(1, c.X(i), c.Y(i));
                one.Draw(1, 1, w, p);
            }
        }
        QCOMPARE(CountColour(fast, QColor(0, 0, 255)), CountColour(single, QColor(0, 0, 255)));
        for (int y = 0; y < 200; ++y)
            for (int x = 0; x < 300; ++x)
                QCOMPARE(fast.pixelColor(x, y) == QColor(0, 0, 255),
                         single.pixelColor(x, y) == QColor(0, 0, 255));

        // Lines alone against a segment-by-segment drawing by the same rule.
        c.symbol = false;
        const QImage lines = Drawn(c, w);
        QImage reference = Blank();
        {
            QPainter p(&reference);
            p.setPen(QPen(Red, 1));
            int32_t i1 = 0, i2 = 0;
            VisibleRange(c, 1, c.Count(), w.WorldMin.x, w.WorldMax.x, i1, i2);
            const int32_t step = DecimationStep(i2 - i1);
            auto dev = [&](int32_t i) { return QPoint(w.WorldToDeviceX(c.X(i)), w.WorldToDeviceY(c.Y(i))); };
            QPoint cur = dev(i1);
            int out = 0;
            for (int32_t i = i1 + 1; i <= i2; i += step) {
                const QPoint q = dev(i);
                out = w.PtInside({q.x(), q.y()}) ? (out >= 2 ? -1 : 0) : out + 1;
                if (out < 2) {
                    if (out == -1) {
                        cur = dev(i - 1);
                        out = 0;
                    }
                    if (cur != q) p.drawLine(cur, q);
                    cur = q;
                }
            }
        }
        QCOMPARE(CountColour(lines, Red), CountColour(reference, Red));
        QCOMPARE(lines, reference);
    }

    void invertingTwiceRestores() {
        TPlottedCurve c = Curve({{1, 1}, {9, 9}, {2, 8}});
        c.symbol = true;
        QImage img = Blank();
        img.fill(QColor(10, 120, 200));
        const QImage before = img.copy();
        QPainter p(&img);
        c.Draw(1, 3, PlotWindow(), p, TPenMode::Invert);
        p.end();
        QVERIFY(img != before);
        QPainter p2(&img);
        c.Draw(1, 3, PlotWindow(), p2, TPenMode::Invert);
        p2.end();
        QCOMPARE(img, before);
    }

    void offsetDrawingStartsAtPixelOne() {
        TPlottedCurve c = Curve({{0, 0}});
        c.line = false;
        c.symbol = true;
        c.SymbolSize = 1;
        TWin w = PlotWindow();
        const TWin saved = w;
        QImage img = Blank(203, 103);
        QPainter p(&img);
        c.DrawOffset(1, 1, w, p);
        p.end();
        QCOMPARE(w.Left(), saved.Left());
        // Point (0, 0) is the bottom-left corner of the plot: pixel (1, 101) in the plot-area image.
        QVERIFY(img.pixelColor(0, 100) == Red || img.pixelColor(1, 101) == Red);
        QCOMPARE(CountColour(img, Red, QRect(10, 0, 193, 90)), 0);
    }

    void previewShowsLineAndSymbol() {
        TPlottedCurve c;
        c.line = true;
        c.symbol = true;
        c.linecolor = 0x0000FF;
        c.SymbolColor = 0xFF0000;
        QImage img = Blank(40, 12);
        c.DrawPreview(img);
        QCOMPARE(img.pixelColor(2, 6), Red);
        QCOMPARE(img.pixelColor(20, 6), QColor(0, 0, 255));
        QCOMPARE(img.pixelColor(20, 1), White);
    }

    void movingCurveFollowsTheModel() {
        TMovingCurve m;
        QCOMPARE(m.linecolor, TColor(0x0000FF));
        QVERIFY(m.line && !m.symbol);
        for (int i = 0; i <= 100; ++i) m.AddPoint(i * 0.1, 0);
        TWin w = PlotWindow();
        QImage img = Blank(203, 103);
        QPainter p(&img);
        m.Update([](double x) { return x < 5 ? 2.0 : 1.0 / (x - x); }, {5.0, 50.0}, w, p);
        p.end();
        QCOMPARE(m.Y(1), 2.0);
        QCOMPARE(m.Y(101), 0.0); // a model fault gives no infinity or NaN in the curve
        QCOMPARE(m.YMax, 2.0);
        // The model line at y = 2 and the marker at x = 5 rising from the bottom of the plot area.
        TWin area = w;
        area.DevTopLeft = {1, 1};
        area.DevBottomRight = {201, 101};
        area.UpdateScale();
        QCOMPARE(img.pixelColor(area.WorldToDeviceX(2), area.WorldToDeviceY(2)), Red);
        QCOMPARE(img.pixelColor(area.WorldToDeviceX(5), 95), Red);
        QCOMPARE(img.pixelColor(area.WorldToDeviceX(5), 60), White);
    }
};

QTEST_MAIN(TestCurvePlot)
#include "test_curve_plot.moc"
