// Mapping, world-range corrections, layout and drawing of the axes window, checked on QImage surfaces.
#include "plot/coord_win.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <cmath>
#include <set>

namespace {

QFont TestFont() {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(12);
    return f;
}

TGrid MappedGrid() {
    TGrid g;
    g.DevTopLeft = {50, 10};
    g.DevBottomRight = {450, 210};
    g.UpdateScale();
    return g;
}

// Columns of row y whose pixel has colour c.
std::set<int> ColumnsOf(const QImage& img, int y, QColor c) {
    std::set<int> cols;
    for (int x = 0; x < img.width(); ++x)
        if (img.pixelColor(x, y) == c) cols.insert(x);
    return cols;
}

} // namespace

class TestCoordWin : public QObject {
    Q_OBJECT
private slots:
    void logarithmsUseTheProgramConstant() {
        QCOMPARE(Log10(0.0), 0.0);
        QCOMPARE(Log10(-5.0), 0.0);
        QVERIFY(Log10(100.0) > 2.0);
        QVERIFY(std::fabs(Log10(100.0) - 2.0) < 1e-5);
        for (double v : {1e-7, 0.05, 3.0, 12345.0}) QVERIFY(std::fabs(Pow10(Log10(v)) / v - 1.0) < 1e-12);
        QCOMPARE(Pow10(1000.0), 1e8);
        QCOMPARE(Pow10(-1000.0), 0.0);
    }

    void mapsBothWays() {
        TGrid g = MappedGrid();
        QCOMPARE(g.WorldToDeviceX(2.5), 150);
        QCOMPARE(g.DeviceToWorldX(150), 2.5);
        QCOMPARE(g.WorldToDeviceY(0.0), 210);
        QCOMPARE(g.WorldToDeviceY(10.0), 10);
        QCOMPARE(g.DeviceToWorldY(110), 5.0);
        // 40 pixels per unit: 800 units is exactly 32000 pixels and still mapped; beyond maps to 0, not an
        // edge.
        QCOMPARE(g.WorldToDeviceX(800.0), 50 + 32000);
        QCOMPARE(g.WorldToDeviceX(1000.0), 0);
        QCOMPARE(g.WorldToDeviceX(-1000.0), 0);
        QCOMPARE(g.WorldToDeviceX(std::nan("")), 0);
        // Truncation toward zero on both sides of the origin.
        QCOMPARE(g.WorldToDeviceX(0.099), 53);
        QCOMPARE(g.WorldToDeviceX(-0.099), 47);
    }

    void logarithmicMapping() {
        TGrid g = MappedGrid();
        g.SetXLog(true);
        g.SetWorld({1.0, 0.0}, {1000.0, 10.0});
        g.UpdateScale();
        QCOMPARE(g.WorldToDeviceX(1.0), 50);
        QVERIFY(std::abs(g.WorldToDeviceX(10.0) - 183) <= 1);
        QVERIFY(std::fabs(g.DeviceToWorldX(450) - 1000.0) < 1e-6);
        // A non-positive value lands on the axis origin.
        QCOMPARE(g.WorldToDeviceX(-4.0), 50);
    }

    void setWorldCorrections() {
        TGrid g;
        g.SetWorld({5, 5}, {5, 5});
        QCOMPARE(g.WorldMax.x, 6.0);
        QCOMPARE(g.WorldMax.y, 6.0);
        g.SetWorld({-3, 0}, {5, 1});
        g.SetXLog(true);
        QCOMPARE(g.WorldMin.x, 0.05);
        QCOMPARE(g.WorldMax.x, 5.0);
        g.SetXLog(true); // no change of the flag, no fix
        g.WorldMin.x = -1;
        g.SetXLog(true);
        QCOMPARE(g.WorldMin.x, -1.0);
        g.SetWorld({0, 0}, {0, 0});
        QCOMPARE(g.WorldMin.x, 1e-20);
        QCOMPARE(g.WorldMax.x, 1e-20 + 10);
        QCOMPARE(g.WorldMax.y, 1.0);
        TGrid h;
        h.WorldMin = {-2, -7};
        h.WorldMax = {-1, 50};
        h.SetYLog(true);
        QCOMPARE(h.WorldMin.y, 1.0); // 0.1 * 50 is not below 1
        QCOMPARE(h.WorldMax.y, 50.0);
        h.XLog = true;
        h.FixLogRange();
        QCOMPARE(h.WorldMax.x, 1.0);
        QCOMPARE(h.WorldMin.x, 0.01);
    }

    void zoomAndScale() {
        TGrid g;
        g.Zoom(2.0, 0.0, 0.5, 0.1);
        QCOMPARE(g.WorldMin.x, -5.0);
        QCOMPARE(g.WorldMax.x, 15.0);
        QCOMPARE(g.WorldMin.y, 3.5);
        QCOMPARE(g.WorldMax.y, 8.5);
        g.WorldMax.y = g.WorldMin.y;
        g.UpdateScale();
        QCOMPARE(g.Scale.x, 1.0);
        QCOMPARE(g.Scale.y, 1.0);
        // A log range assigned directly with a non-positive bound keeps a unit scale instead of dividing by
        // 0.
        TGrid h = MappedGrid();
        h.XLog = true;
        h.WorldMin.x = 0.0;
        h.UpdateScale();
        QCOMPARE(h.Scale.x, 1.0);
        QCOMPARE(h.WorldToDeviceX(5.0), 50);
    }

    void insideAndClip() {
        TGrid g = MappedGrid();
        QVERIFY(g.PtInside({50, 10}));
        QVERIFY(!g.PtInsideStrict({50, 10}));
        QVERIFY(g.PtInsideStrict({51, 11}));
        QVERIFY(g.PtInside({450, 210}));
        QVERIFY(!g.PtInside({451, 100}));
        IntPoint p{-5, 500};
        g.ClipPoint(p);
        QCOMPARE(p.x, 50);
        QCOMPARE(p.y, 210);
    }

    void labelTexts() {
        QCOMPARE(LabelDecimals(1000.0), 1);
        QCOMPARE(LabelDecimals(1.0), 2);
        QCOMPARE(LabelDecimals(0.01), 4);
        QCOMPARE(LabelDecimals(0.5), 2);
        QCOMPARE(LabelDecimals(3.0), 2); // log10 3 = 0.48 rounds to 0
        QCOMPARE(LabelDecimals(4.0), 1); // 0.6 rounds to 1
        QCOMPARE(LabelDecimals(std::numeric_limits<double>::infinity()), 2);
        QCOMPARE(FormatTickLabel(2.5, 2), QStringLiteral("2.50"));
        QCOMPARE(FormatTickLabel(10, 1), QStringLiteral("10.0"));
        QCOMPARE(FormatTickLabel(1, 1), QStringLiteral(" 1.0"));
        QCOMPARE(FormatTickLabel(1000, 1), QStringLiteral("1000.0"));
        QCOMPARE(FormatTickLabel(0.5, 2), QStringLiteral("0.50"));
        QCOMPARE(LogGridPattern(0.05, 50), 2);
        QCOMPARE(LogGridPattern(1, 10), 1);
        QCOMPARE(LogGridPattern(1, 1e6), 0);
    }

    void layoutLeavesRoomForTheWidestLabel() {
        QImage img(400, 300, QImage::Format_RGB32);
        QPainter p(&img);
        p.setFont(TestFont());
        const QFontMetrics fm(p.font(), &img);
        TGrid g;
        g.SetWorld({0, 0}, {10, 1000});
        g.Layout(p, 400, 300);
        const int lw = fm.horizontalAdvance(QStringLiteral("1000.0")); // the top label has one decimal
        QCOMPARE(g.Left(), lw + 12);
        QCOMPARE(g.Top(), 12);
        QCOMPARE(g.Right(), 400 - 12 - lw / 2);
        QCOMPARE(g.Bottom(), 300 - fm.height() - 16);
        g.SetWorld({0, 0}, {10, 0.5});
        g.Title = QStringLiteral("T");
        g.XCaption = QStringLiteral("x");
        g.YCaption = QStringLiteral("y");
        g.Layout(p, 400, 300);
        const int lw2 = fm.horizontalAdvance(QStringLiteral("0.50"));
        QCOMPARE(g.Left(), lw2 + 12 + fm.height());
        QCOMPARE(g.Top(), 12 + fm.height());
        QCOMPARE(g.Bottom(), 300 - 2 * fm.height() - 16);
        // A degenerate range is widened for drawing.
        g.WorldMin = {3, 3};
        g.WorldMax = {3, 3};
        g.Layout(p, 400, 300);
        QCOMPARE(g.WorldMin.x, 2.0);
        QCOMPARE(g.WorldMax.y, 4.0);
    }

    void drawsFrameAndLinearGrid() {
        QImage img(400, 300, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        p.setFont(TestFont());
        TGrid g;
        g.color = 0x0000FF; // red grid lines, easy to tell from the black frame and text
        g.Draw(p, 400, 300);
        p.end();
        QCOMPARE(g.DrawnXDiv(), 4);
        QCOMPARE(g.DrawnYDiv(), 4);
        const int midY = (g.Top() + g.Bottom()) / 2 + 3;
        const QColor black(Qt::black), red(Qt::red);
        for (int x : {g.Left() - 1, g.Left() - 3, g.Right() + 1, g.Right() + 3})
            QCOMPARE(img.pixelColor(x, midY), black);
        QCOMPARE(img.pixelColor(g.Left() - 2, midY), QColor(Qt::white));
        std::set<int> expected;
        for (int i = 1; i < 4; ++i) expected.insert(g.Left() + int(double(i) * (g.Right() - g.Left()) / 4));
        QCOMPARE(ColumnsOf(img, midY, red), expected);
        // Vertical lines run from the top row to the bottom row of the plot.
        const int x1 = *expected.begin();
        QCOMPARE(img.pixelColor(x1, g.Top()), red);
        QCOMPARE(img.pixelColor(x1, g.Bottom()), red);
        QCOMPARE(img.pixelColor(x1, g.Bottom() + 1), black);
    }

    void narrowPlotDrawsFewerDivisions() {
        QImage img(230, 300, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        p.setFont(TestFont());
        TGrid g;
        g.SetWorld({0, -1000}, {10, 1000}); // labels like -1000.0 are wide
        g.XDiv = 4;
        g.Draw(p, 230, 300);
        const int lw = g.Left() - 12;
        const int w = g.Right() - g.Left();
        QVERIFY(w / 4 < lw + 10);
        QCOMPARE(g.DrawnXDiv(), std::max(2, w / (lw + 10)));
        QCOMPARE(g.XDiv, 4); // the request is kept
        // A nonsensical request counts as the minimum instead of dividing by zero.
        g.XDiv = 0;
        g.YDiv = -3;
        g.Draw(p, 230, 300);
        QVERIFY(g.DrawnXDiv() >= 2);
        QVERIFY(g.DrawnYDiv() >= 2);
    }

    void logarithmicGridLinesAndLabels() {
        QImage img(500, 300, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter p(&img);
        p.setFont(TestFont());
        p.setPen(QColor(0, 0, 255)); // text in blue
        TGrid g;
        g.color = 0x0000FF;
        g.SetXLog(true);
        g.SetWorld({0.05, 0}, {50, 10});
        g.Draw(p, 500, 300);
        p.end();
        std::set<int> expected;
        for (double v : {0.1, 0.2, 1.0, 2.0, 10.0, 20.0}) expected.insert(g.WorldToDeviceX(v));
        const int midY = (g.Top() + g.Bottom()) / 2 + 3;
        QCOMPARE(ColumnsOf(img, midY, QColor(Qt::red)), expected);
        // Labels are centred under 0.1, 1 and 10, none under 0.05 (the left edge).
        auto textNear = [&](int x) {
            for (int y = g.Bottom() + 7; y < g.Bottom() + 25; ++y)
                for (int dx = -2; dx <= 2; ++dx)
                    if (img.pixelColor(x + dx, y).blue() > 150 && img.pixelColor(x + dx, y).red() < 100)
                        return true;
            return false;
        };
        for (double v : {0.1, 1.0, 10.0}) QVERIFY(textNear(g.WorldToDeviceX(v)));
        QVERIFY(!textNear(g.Left() - 12));

        // An axis starting exactly at 100: the first decade line lies on the left edge.
        QImage img2(500, 300, QImage::Format_RGB32);
        img2.fill(Qt::white);
        QPainter p2(&img2);
        p2.setFont(TestFont());
        TGrid h;
        h.color = 0x0000FF;
        h.SetXLog(true);
        h.SetWorld({100, 0}, {1e9, 10}); // 7 decades: decade lines only
        h.Draw(p2, 500, 300);
        p2.end();
        const auto cols = ColumnsOf(img2, (h.Top() + h.Bottom()) / 2 + 3, QColor(Qt::red));
        QVERIFY(cols.count(h.Left()) == 1);
        QVERIFY(*cols.begin() >= h.Left());
        QVERIFY(*cols.rbegin() <= h.Right());
    }

    void captionsAndRotatedYCaption() {
        auto inkLeftOfLabels = [](const QString& yCaption, const QString& xCaption) {
            QImage img(400, 300, QImage::Format_RGB32);
            img.fill(Qt::white);
            QPainter p(&img);
            p.setFont(TestFont());
            TGrid g;
            g.YCaption = yCaption;
            g.XCaption = xCaption;
            g.Draw(p, 400, 300);
            p.end();
            const int th = QFontMetrics(TestFont(), &img).height();
            const int lw = g.Left() - 12 - (yCaption.isEmpty() ? 0 : th);
            int ink = 0, tallest = 0;
            for (int x = 0; x < g.Left() - 10 - lw; ++x) {
                int run = 0;
                for (int y = 0; y < img.height(); ++y)
                    if (img.pixelColor(x, y).lightness() < 128) {
                        ++ink;
                        ++run;
                    }
                tallest = std::max(tallest, run);
            }
            return std::pair{ink, tallest};
        };
        QCOMPARE(inkLeftOfLabels(QString(), QStringLiteral("x caption")).first, 0);
        const auto [ink, column] = inkLeftOfLabels(QStringLiteral("a long y caption"), QString());
        QVERIFY(ink > 20);
        QVERIFY(column > 2); // upright strokes of rotated text span several rows
        QVERIFY(inkLeftOfLabels(QStringLiteral("y"), QStringLiteral("x")).first > 0);
    }
};

QTEST_MAIN(TestCoordWin)
#include "test_coord_win.moc"
