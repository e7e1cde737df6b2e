// Drawing of one curve: visible range, thinning, the skipped runs outside the plot, symbols, the fit overlay.
#include "../pixels.h"
#include "plot/CurveCursor.h"
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

// The plot rectangle at (50, 50) .. (250, 150) of a 300 x 200 surface, over world 0..10 x 0..10.
TWin PlotWindow(double xmax = 10) {
    TWin w;
    w.DevTopLeft = {50, 50};
    w.DevBottomRight = {250, 150};
    w.WorldMax = {xmax, 10};
    w.UpdateScale();
    return w;
}

// A red curve, lines only unless changed.
TPlottedCurve Curve(std::initializer_list<TXYPoint> pts) {
    TPlottedCurve c;
    for (const auto& p : pts) c.AddPoint(p.x, p.y);
    c.CalcRanges();
    c.line = true;
    c.symbol = false;
    c.linecolor = c.SymbolColor = 0x0000FF;
    return c;
}

QImage Drawn(const TPlottedCurve& c, const TWin& w, TPenMode mode = TPenMode::Copy) {
    QImage img(300, 200, QImage::Format_RGB32);
    img.fill(White);
    QPainter p(&img);
    c.Draw(1, c.Count(), w, p, mode);
    return img;
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
        QVERIFY(i1 == 3 && i2 == 7);
        VisibleRange(c, 1, 10, 20, 30, i1, i2); // all left of the range
        QVERIFY(i1 == 10 && i2 == 10);
        VisibleRange(c, 1, 10, -5, -1, i1, i2); // all right of it
        QVERIFY(i1 == 1 && i2 == 2);
        TCurveA u;
        for (double x : {5.0, -3.0, 9.0, 1.0, 7.0, 2.0, -8.0}) u.AddPoint(x, 0);
        VisibleRange(u, 1, 7, 0, 4, i1, i2);
        QVERIFY(i1 >= 1 && i1 <= 7 && i2 >= 1 && i2 <= 7);
    }

    void onePointCurveShowsAsADot() {
        // Lines only: a single point has no segment, but must not vanish.
        const QImage img = Drawn(Curve({{5, 5}}), PlotWindow());
        QCOMPARE(Count(img, Red, QRect(145, 95, 10, 10)), 9);
        QCOMPARE(Count(img, Red, img.rect()), 9);
        // Outside the plot nothing is drawn.
        QCOMPARE(Count(Drawn(Curve({{20, 5}}), PlotWindow()), Red, QRect(0, 0, 300, 200)), 0);
    }

    void runsOutsideThePlotAreSkipped() {
        // Inside, then three points above the plot, then back inside.
        const TPlottedCurve c = Curve({{1, 5}, {2, 5}, {3, 12}, {4, 14}, {5, 12}, {6, 5}, {7, 5}});
        const TWin w = PlotWindow();
        const QImage img = Drawn(c, w);
        auto dev = [&](double x, double y) { return QPoint(w.WorldToDeviceX(x), w.WorldToDeviceY(y)); };
        QCOMPARE(img.pixelColor(dev(2, 5)), Red);
        QCOMPARE(img.pixelColor(dev(3, 12)), Red); // the first segment leaving the plot is drawn
        // Nothing between (3, 12), (4, 14) and (5, 12).
        QCOMPARE(Count(img, Red,
                       QRect(QPoint(dev(3, 12).x() + 1, 0), QPoint(dev(5, 12).x() - 1, dev(3, 12).y() - 1))),
                 0);
        // The line re-enters from (5, 12), the point just before the first one back inside.
        const int midX = (dev(5, 0).x() + dev(6, 0).x()) / 2;
        QVERIFY(Count(img, Red, QRect(QPoint(midX, dev(0, 12).y()), QPoint(midX, dev(0, 5).y()))) > 0);

        // Zoomed into a steep stretch of few points: segments between two points outside cross the plot, and
        // ends far beyond it (where the device mapping gives 0) are cut at the frame, not run to the corner.
        const TPlottedCurve peak = Curve({{1, 0}, {2, 0}, {3, 10}, {4, 0}, {5, 0}});
        for (const auto& [min, max] : {std::pair<RealPoint, RealPoint>{{1.76, 3.3}, {4.32, 8}},
                                       std::pair<RealPoint, RealPoint>{{2.9999, 9.998}, {3.0001, 10.0002}}}) {
            TWin z = PlotWindow();
            z.SetWorld(min, max);
            z.UpdateScale();
            const QImage zoomed = Drawn(peak, z);
            QVERIFY(Count(zoomed, Red, QRect(QPoint(50, 100), QPoint(149, 150))) > 0);
            QVERIFY(Count(zoomed, Red, QRect(QPoint(151, 100), QPoint(250, 150))) > 0);
            QCOMPARE(Count(zoomed, Red, QRect(0, 0, 45, 200)), 0); // the margin left of the plot
        }
    }

    void symbolsAreCirclesNearThePlot() {
        TPlottedCurve c = Curve({{5, 5}});
        c.line = false;
        c.symbol = true;
        c.symbolstyle = 3; // the same circles for every style
        const TWin w = PlotWindow();
        const QImage img = Drawn(c, w);
        QVERIFY(Count(img, Red, img.rect()) > 0);
        // A centre 3 pixels left of the plot is still drawn, 4 pixels left is not.
        c.SetX(1, -3 / w.Scale.x);
        QVERIFY(Count(Drawn(c, w), Red, QRect(0, 0, 300, 200)) > 0);
        c.SetX(1, -4 / w.Scale.x);
        QCOMPARE(Count(Drawn(c, w), Red, QRect(0, 0, 300, 200)), 0);
    }

    void thinningAboveTwelveHundredPoints() {
        // Odd points on one row, even points on another: with step 2 only the odd row gets symbols.
        auto rows = [](int n) {
            TPlottedCurve c;
            for (int i = 1; i <= n; ++i) c.AddPoint(i, i % 2 == 1 ? 2.0 : 8.0);
            c.line = false;
            c.SymbolColor = 0x0000FF;
            const TWin w = PlotWindow(n + 1.0);
            const QImage img = Drawn(c, w);
            return std::pair{Count(img, Red, QRect(50, w.WorldToDeviceY(2), 201, 1)),
                             Count(img, Red, QRect(50, w.WorldToDeviceY(8), 201, 1))};
        };
        QVERIFY(rows(1200).second > 0);
        QVERIFY(rows(1500).first > 0);
        QCOMPARE(rows(1500).second, 0);
    }

    // The dense-curve paths (lines merged per pixel column, one stamp per distinct symbol centre, large
    // symbols filled row by row) give the pixels of plain drawing.
    void denseCurvesMatchPlainDrawing() {
        std::mt19937 rng(7);
        std::normal_distribution<double> noise(0.0, 1.5);
        TPlottedCurve c = Curve({});
        for (int i = 0; i < 50000; ++i) c.AddPoint(i * 2e-4, 5 + std::sin(i * 1e-3) * 3 + noise(rng));
        c.symbol = true;
        c.SymbolColor = 0xFF0000;
        const TWin w = PlotWindow();
        int32_t i1 = 0, i2 = 0;
        VisibleRange(c, 1, c.Count(), w.WorldMin.x, w.WorldMax.x, i1, i2);
        const int32_t step = DecimationStep(i2 - i1);
        QCOMPARE(step, 5);
        auto dev = [&](int32_t i) { return QPoint(w.WorldToDeviceX(c.X(i)), w.WorldToDeviceY(c.Y(i))); };

        for (const int32_t size : {2, 12}) {
            c.SymbolSize = size;
            c.line = size == 2;
            const QImage fast = Drawn(c, w);
            QImage plain(300, 200, QImage::Format_RGB32);
            plain.fill(White);
            QPainter p(&plain);
            // Lines segment by segment by the same rule (a zero-length segment draws nothing)...
            p.setPen(QPen(Red, 1));
            QPoint cur = dev(i1);
            for (int32_t i = i1 + 1, out = 0; c.line && i <= i2; i += step) {
                const QPoint q = dev(i);
                out = w.PtInside({q.x(), q.y()}) ? (out >= 2 ? -1 : 0) : out + 1;
                if (out >= 2) continue;
                if (out == -1) {
                    cur = dev(i - 1);
                    out = 0;
                }
                if (cur != q) p.drawLine(cur, q);
                cur = q;
            }
            // ...then each symbol as a curve of one point.
            TPlottedCurve one = Curve({{0, 0}});
            one.line = false;
            one.symbol = true;
            one.SymbolColor = 0xFF0000;
            one.SymbolSize = size;
            for (int32_t i = i1; i <= i2; i += step) {
                one.SetXY(1, c.X(i), c.Y(i));
                one.Draw(1, 1, w, p);
            }
            p.end();
            QCOMPARE(fast, plain);
        }
    }

    void errorBarsWhereTheSigmasSay() {
        // 20 pixels per x unit from x = 0 at column 50, 10 per y unit from y = 0 at row 150.
        TPlottedCurve c = Curve({{2, 5}, {5, 5}, {8, 9}, {6, 5}, {7, 5}, {11, 5}});
        c.line = false;
        c.symbol = false;
        const QImage none = Drawn(c, PlotWindow());
        c.EnableSigma();
        for (auto [i, s] : {std::pair{1, 1.0}, {2, 0.0}, {3, 3.0}, {4, -0.5}, {5, std::nan("")}, {6, 1.0}})
            c.SetSigma(i, s);
        QVERIFY(c.ShowsErrorBars());
        c.SymbolColor = 0x00FF00; // no line: the bars take the symbols' colour
        const QColor green(0, 255, 0);
        const QImage img = Drawn(c, PlotWindow());
        const auto column = [&](int x) {
            std::vector<int> rows;
            for (int y = 0; y < img.height(); ++y)
                if (img.pixelColor(x, y) == green) rows.push_back(y);
            return rows;
        };
        const auto span = [](int from, int to) {
            std::vector<int> v;
            for (int y = from; y <= to; ++y) v.push_back(y);
            return v;
        };
        // y 4 .. 6 at x = 2, with caps three pixels each side.
        QCOMPARE(column(90), span(90, 110));
        QCOMPARE(column(87), (std::vector<int>{90, 110}));
        QCOMPARE(column(93), (std::vector<int>{90, 110}));
        QVERIFY(column(86).empty() && column(94).empty());
        // A sigma of 0 or NaN draws nothing; a negative one counts by its size.
        QVERIFY(column(150).empty() && column(190).empty());
        QCOMPARE(column(170), span(95, 105));
        // y 6 .. 12 at x = 8: cut at the top of the plot, without a cap there.
        QCOMPARE(column(210), span(50, 90));
        QCOMPARE(column(207), std::vector<int>{90});
        // Right of the plot (x = 11), none.
        QVERIFY(column(270).empty());
        QCOMPARE(Count(img, green, img.rect()), 21 + 12 + 11 + 12 + 41 + 6);

        // With a line they take its colour; switched off, or without sigmas, there are none.
        c.line = true;
        QCOMPARE(Drawn(c, PlotWindow()).pixelColor(90, 95), Red);
        c.errorbars = false;
        QVERIFY(!c.ShowsErrorBars());
        c.line = false;
        QVERIFY(Drawn(c, PlotWindow()) == none);
        c.errorbars = true;
        c.DropSigma();
        QVERIFY(!c.ShowsErrorBars() && Drawn(c, PlotWindow()) == none);
        // The switch travels with the style.
        TPlottedCurve d;
        c.errorbars = false;
        d.SetStyle(c.GetStyle());
        QVERIFY(!d.errorbars);
        c.errorbars = true;
        d.SetStyle(c.GetStyle());
        QVERIFY(d.errorbars);
    }

    void movingCurveFollowsTheModel() {
        TMovingCurve m;
        for (int i = 0; i <= 100; ++i) m.AddPoint(i * 0.1, 0);
        QImage img(203, 103, QImage::Format_RGB32); // the plot-area image of PlotWindow()
        img.fill(White);
        QPainter p(&img);
        m.Update([](double x) { return x < 5 ? 2.0 : 1.0 / (x - x); }, {5.0, 50.0}, PlotWindow(), p);
        p.end();
        QCOMPARE(m.Y(1), 2.0);
        QCOMPARE(m.Y(101), 0.0); // a model fault leaves no infinity in the curve
        QCOMPARE(m.YMax, 2.0);
        // In the image the plot starts at (1, 1): y = 2 lies at row 81; the marker at x = 5 rises from row
        // 101.
        QCOMPARE(img.pixelColor(41, 81), Red);
        QCOMPARE(img.pixelColor(101, 95), Red);
        QCOMPARE(img.pixelColor(101, 60), White);
    }

    void crosshairMovesOnlyWhenItsPlaceChanges() {
        TGrid g;
        g.DevTopLeft = {50, 50};
        g.DevBottomRight = {250, 150};
        g.UpdateScale();
        TCurveB c;
        for (TXYPoint p : {TXYPoint{0, 0}, {5, 5}, {10, 0}}) c.AddPoint(p.x, p.y);
        c.CalcRanges();
        TCurveCursor k;
        const int px = g.WorldToDeviceX(2.5);
        QVERIFY(k.FollowCurve(c, g, px));
        QCOMPARE(k.Pos.y, g.WorldToDeviceY(2.5));
        QVERIFY(!k.FollowCurve(c, g, px)); // the same column: nothing to draw again
        // After the curve changed, a move asked to place the crosshair anew does so in the same column.
        TCurveB up = c;
        up.SetY(2, 9);
        up.CalcRanges();
        k.SkipErase = true;
        QVERIFY(k.FollowCurve(up, g, px));
        QVERIFY(k.Pos.x == px && k.Pos.y == g.WorldToDeviceY(4.5));
        // From point to point the crosshair stops at the first and the last point.
        k.SkipErase = false;
        k.Interpolate = false;
        k.Index = 3;
        QVERIFY(!k.MoveBy(c, g, 1));
        QVERIFY(k.MoveBy(c, g, -1));
        QCOMPARE(k.Index, 2);
        QVERIFY(k.MoveBy(c, g, -5));
        QCOMPARE(k.Index, 1);
        QVERIFY(!k.MoveBy(c, g, -1));
        QVERIFY(k.Pos.x == g.WorldToDeviceX(0) && k.Pos.y == g.WorldToDeviceY(0));
    }
};

QTEST_MAIN(TestCurvePlot)
#include "test_curve_plot.moc"
