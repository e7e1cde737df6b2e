// Mapping, world-range corrections, layout and drawing of the axes window, checked on QImage surfaces.
#include "plot/coord_win.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <climits>
#include <cmath>
#include <limits>
#include <set>

namespace {

QFont TestFont() {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(12);
    return f;
}

// The grid drawn on a white image, grid lines red; the image is returned through `img`.
void DrawOn(TGrid& g, QImage& img) {
    img.fill(Qt::white);
    QPainter p(&img);
    p.setFont(TestFont());
    p.setPen(QColor(0, 0, 255)); // text in blue
    g.color = 0x0000FF;
    g.Draw(p, img.width(), img.height());
}

// Columns of the row through the middle of the plot that hold a red grid line.
std::set<int> GridColumns(const TGrid& g, const QImage& img) {
    std::set<int> cols;
    for (int x = 0; x < img.width(); ++x)
        if (img.pixelColor(x, (g.Top() + g.Bottom()) / 2 + 3) == QColor(Qt::red)) cols.insert(x);
    return cols;
}

// A pixel of the (blue) text DrawOn writes, its softened edges included.
bool Ink(const QImage& img, int x, int y) {
    return img.pixelColor(x, y).blue() > 150 && img.pixelColor(x, y).red() < 100;
}

// Text in the x labels' band below the plot, within two pixels of column x.
bool TextBelow(const QImage& img, const TGrid& g, int x) {
    for (int y = g.Bottom() + 7; y < g.Bottom() + 25; ++y)
        for (int dx = -2; dx <= 2; ++dx)
            if (Ink(img, x + dx, y)) return true;
    return false;
}

} // namespace

class TestCoordWin : public QObject {
    Q_OBJECT
private slots:
    void mappingBothWays() {
        QCOMPARE(Log10(-5.0), 0.0);
        QVERIFY(std::fabs(Pow10(Log10(0.05)) / 0.05 - 1.0) < 1e-12);
        QCOMPARE(Pow10(1000.0), 1e8);
        QCOMPARE(Pow10(-1000.0), 0.0);

        TGrid g;
        g.DevTopLeft = {50, 10};
        g.DevBottomRight = {450, 210};
        g.UpdateScale();
        QCOMPARE(g.WorldToDeviceX(2.5), 150);
        QCOMPARE(g.DeviceToWorldX(150), 2.5);
        QCOMPARE(g.WorldToDeviceY(10.0), 10);
        QCOMPARE(g.DeviceToWorldY(110), 5.0);
        // 40 pixels per unit: 32000 pixels away is still mapped, beyond maps to 0 rather than to an edge.
        QCOMPARE(g.WorldToDeviceX(800.0), 50 + 32000);
        QCOMPARE(g.WorldToDeviceX(1000.0), 0);
        QCOMPARE(g.WorldToDeviceX(std::nan("")), 0);
        // A log range assigned directly with a non-positive bound keeps a unit scale instead of dividing by
        // 0.
        g.XLog = true;
        g.WorldMin.x = 0.0;
        g.UpdateScale();
        QCOMPARE(g.Scale.x, 1.0);
        // A log axis of six hundred decades and a linear one wider than the largest double: their spans leave
        // the doubles, their mappings do not.
        g.XLog = false;
        g.SetWorld({-1e308, 1e-300}, {1e308, 1e300});
        g.SetYLog(true);
        g.UpdateScale();
        QCOMPARE(g.WorldToDeviceX(0.0), 250);
        QCOMPARE(g.WorldToDeviceY(1.0), 110);
        QVERIFY(std::fabs(g.DeviceToWorldY(10) / 1e300 - 1.0) < 1e-9);
    }

    void worldCorrections() {
        TGrid g;
        g.SetWorld({5, 5}, {5, 5});
        QCOMPARE(g.WorldMax.x, 6.0);
        QCOMPARE(g.WorldMax.y, 6.0);
        // Narrow ranges keep their span while a double can tell their ends apart (nanoseconds, microamps);
        // only a span lost in rounding is widened.
        g.SetWorld({0, 1e-6}, {4.9e-9, 1.5e-6});
        QCOMPARE(g.WorldMax.x, 4.9e-9);
        QCOMPARE(g.WorldMax.y, 1.5e-6);
        g.SetWorld({1e9, 0}, {1e9 + 1e-4, 1});
        QCOMPARE(g.WorldMax.x, 1e9 + 1.0);
        // Their labels: an exponent where fixed text would not fit, zero where a tick rounds to it.
        QCOMPARE(FormatTickLabel(1.2e-18, LabelDecimals(4.9e-18)), QStringLiteral("1.2e-18"));
        QCOMPARE(FormatTickLabel(2e-39, LabelDecimals(2e-20)).trimmed(), QStringLiteral("0"));
        QCOMPARE(FormatTickLabel(1.2e-9, LabelDecimals(4.9e-9)), QStringLiteral("0.0000000012"));
        g.SetWorld({-3, 0}, {5, 1});
        g.SetXLog(true);
        QCOMPARE(g.WorldMin.x, 0.05);
        QCOMPARE(g.WorldMax.x, 5.0);
        g.WorldMin.x = -1;
        g.SetXLog(true); // the flag does not change: no fix
        QCOMPARE(g.WorldMin.x, -1.0);
        g.SetWorld({0, 0}, {0, 0});
        QCOMPARE(g.WorldMin.x, 1e-20);
        QCOMPARE(g.WorldMax.x, 1e-20 + 10);
        g.WorldMin.y = -2;
        g.WorldMax.y = -1;
        g.SetYLog(true);
        QCOMPARE(g.WorldMax.y, 1.0);
        QCOMPARE(g.WorldMin.y, 0.01);
        TGrid z;
        z.Zoom(2.0, 0.0, 0.5, 0.1);
        QCOMPARE(z.WorldMin.x, -5.0);
        QCOMPARE(z.WorldMax.x, 15.0);
        QCOMPARE(z.WorldMin.y, 3.5);
        QCOMPARE(z.WorldMax.y, 8.5);
        // Zooming out or panning past the largest double leaves the range as it was.
        z.SetWorld({-5e307, 0}, {1.5e308, 1});
        z.Zoom(1.25, 0, 1, 0);
        z.Zoom(1, 0.5, 1, 0);
        QCOMPARE(z.WorldMin.x, -5e307);
        QCOMPARE(z.WorldMax.x, 1.5e308);
    }

    void labelDecimalsAndLayout() {
        QCOMPARE(LabelDecimals(1000.0), 1);
        QCOMPARE(LabelDecimals(1.0), 2);
        QCOMPARE(LabelDecimals(0.01), 4);
        QCOMPARE(LabelDecimals(3.0), 2); // log10 3 = 0.48 rounds to 0
        QCOMPARE(LabelDecimals(std::numeric_limits<double>::infinity()), 2);
        QCOMPARE(FormatTickLabel(2.5, 2), QStringLiteral("2.50"));
        QCOMPARE(FormatTickLabel(1, 1), QStringLiteral(" 1.0"));
        // Huge values take an exponent: their fixed-point text, cut to 20 characters, would read as another
        // number.
        QCOMPARE(FormatTickLabel(-1e300, 1), QStringLiteral("-1.0e+300"));
        QCOMPARE(FormatTickLabel(1e17, 1), QStringLiteral("100000000000000000.0"));
        // A value that rounds to zero is written without a sign (tick labels and the cursor read-out).
        QCOMPARE(FormatTickLabel(-0.004, 2), QStringLiteral("0.00"));
        QCOMPARE(FormatFixed(-0.00004, 4), QStringLiteral("0.0000"));
        QCOMPARE(FormatFixed(-0.0, 0), QStringLiteral("0"));
        QCOMPARE(FormatFixed(-0.006, 2), QStringLiteral("-0.01"));
        QCOMPARE(LogGridPattern(0.05, 50), 2);
        QCOMPARE(LogGridPattern(1, 10), 1);
        QCOMPARE(LogGridPattern(1, 1e6), 0);

        QImage img(400, 300, QImage::Format_RGB32);
        QPainter p(&img);
        p.setFont(TestFont());
        const QFontMetrics fm(p.font(), &img);
        TGrid g;
        // Wide x labels: half of the first and of the last one fit beside the plot, not cut at the edges.
        g.SetWorld({-2.96e9, 0}, {2.96e9, 1});
        g.Layout(p, 400, 300);
        QCOMPARE(g.Left(), 12 + fm.horizontalAdvance(QStringLiteral("-2960000000.0")) / 2);
        QCOMPARE(g.Right(), 400 - 12 - fm.horizontalAdvance(QStringLiteral("2960000000.0")) / 2);
    }

    void frameAndLinearGrid() {
        QImage img(400, 300, QImage::Format_RGB32);
        TGrid g;
        DrawOn(g, img);
        const int midY = (g.Top() + g.Bottom()) / 2 + 3;
        for (int x : {g.Left() - 1, g.Left() - 3, g.Right() + 1, g.Right() + 3})
            QCOMPARE(img.pixelColor(x, midY), QColor(Qt::black));
        QCOMPARE(img.pixelColor(g.Left() - 2, midY), QColor(Qt::white));
        std::set<int> expected;
        for (int i = 1; i < 4; ++i) expected.insert(g.Left() + int(double(i) * (g.Right() - g.Left()) / 4));
        QCOMPARE(GridColumns(g, img), expected);
        QCOMPARE(img.pixelColor(*expected.begin(), g.Bottom()), QColor(Qt::red)); // down to the bottom row

        // A narrow plot draws fewer divisions than asked; a request below 1 counts as the minimum.
        QImage narrow(230, 300, QImage::Format_RGB32);
        g.SetWorld({0, -1000}, {10, 1000}); // wide labels such as -1000.0
        DrawOn(g, narrow);
        const int lw = g.Left() - 12, w = g.Right() - g.Left();
        QVERIFY(w / 4 < lw + 10);
        QCOMPARE(g.DrawnXDiv(), std::max(2, w / (lw + 10)));
        QCOMPARE(g.XDiv, 4);
        g.XDiv = 0;
        g.YDiv = -3;
        DrawOn(g, narrow);
        QVERIFY(g.DrawnXDiv() >= 2 && g.DrawnYDiv() >= 2);
    }

    void labelsOfRangesNearTheLargestDouble() {
        // Every division of -1e300 .. 1.7e308 gets its label beside its grid line, though i * (max - min)
        // is beyond a double.
        QImage img(400, 300, QImage::Format_RGB32);
        TGrid g;
        g.SetWorld({0, -1e300}, {10, 1.7e308});
        DrawOn(g, img);
        for (int i = 0; i <= g.DrawnYDiv(); ++i) {
            const int y = g.Bottom() -
                          static_cast<int>(std::lround(double(i) * (g.Bottom() - g.Top()) / g.DrawnYDiv()));
            int text = 0;
            for (int yy = std::max(0, y - 5); yy <= std::min(img.height() - 1, y + 5); ++yy)
                for (int x = 0; x < g.Left() - 3; ++x)
                    text += img.pixelColor(x, yy).blue() > 200 && img.pixelColor(x, yy).red() < 100;
            QVERIFY2(text > 10, qPrintable(QString::number(i)));
        }
    }

    void logarithmicGridAndLabels() {
        QImage img(500, 300, QImage::Format_RGB32);
        TGrid g;
        g.SetXLog(true);
        g.SetWorld({0.05, 0}, {50, 10});
        DrawOn(g, img);
        std::set<int> expected;
        for (double v : {0.1, 0.2, 1.0, 2.0, 10.0, 20.0}) expected.insert(g.WorldToDeviceX(v));
        QCOMPARE(GridColumns(g, img), expected);
        // Labels centred under 0.1, 1 and 10; none at 0.05 on the left edge.
        const auto textNear = [&](int x) { return TextBelow(img, g, x); };
        for (double v : {0.1, 1.0, 10.0}) QVERIFY(textNear(g.WorldToDeviceX(v)));
        QVERIFY(!textNear(g.Left() - 12));

        // Decades are exact powers of ten: an axis ending just above 1000 has its line and label there.
        g.SetWorld({0.005, 0}, {1000.001, 10});
        DrawOn(g, img);
        const int x1000 = g.WorldToDeviceX(1000.0);
        QVERIFY(GridColumns(g, img).count(x1000) == 1);
        QVERIFY(textNear(x1000));

        // From exactly 100 over 7 decades: decade lines only (pattern 0), the first one on the left edge,
        // none outside.
        g.SetWorld({100, 0}, {1e9, 10});
        DrawOn(g, img);
        const auto cols = GridColumns(g, img);
        QCOMPARE(int(cols.size()), 8); // 100 .. 1e9
        QCOMPARE(*cols.begin(), g.Left());
        QVERIFY(*cols.rbegin() <= g.Right());

        // Hundreds of decades: lines closer than three pixels are left out, so the plot is not one grey area.
        g.SetWorld({1e-300, 0}, {1e300, 10});
        DrawOn(g, img);
        const auto dense = GridColumns(g, img);
        QVERIFY(dense.size() > 50);
        for (auto a = dense.begin(), b = std::next(a); b != dense.end(); ++a, ++b) QVERIFY(*b - *a >= 3);
    }

    void logAxisWithinADecadeLabelsItsEnds() {
        // An axis that holds fewer than two decades gets labels at its ends besides the decade it holds; one
        // of two decades or more shows the decades alone.
        QImage img(500, 300, QImage::Format_RGB32);
        TGrid g;
        g.SetXLog(true);
        g.SetYLog(true);
        auto textBelow = [&](double v) { return TextBelow(img, g, g.WorldToDeviceX(v)); };
        auto textBeside = [&](double v) {
            const int y = g.WorldToDeviceY(v);
            for (int x = 0; x < g.Left() - 3; ++x)
                for (int dy = -2; dy <= 2; ++dy)
                    if (Ink(img, x, y + dy)) return true;
            return false;
        };
        g.SetWorld({2, 2}, {8, 8}); // no decade at all
        DrawOn(g, img);
        for (double v : {2.0, 8.0}) QVERIFY(textBelow(v) && textBeside(v));
        g.SetWorld({5, 5}, {50, 50}); // one decade
        DrawOn(g, img);
        for (double v : {5.0, 10.0, 50.0}) QVERIFY(textBelow(v) && textBeside(v));
        g.SetWorld({5, 5}, {500, 500}); // two decades
        DrawOn(g, img);
        for (double v : {10.0, 100.0}) QVERIFY(textBelow(v) && textBeside(v));
        for (double v : {5.0, 500.0}) QVERIFY(!textBelow(v) && !textBeside(v));
    }

    void yCaptionIsCentredOnThePlot() {
        // The y caption reads upward beside the labels, centred on the plot's height.
        QImage img(500, 300, QImage::Format_RGB32);
        TGrid g;
        g.YCaption = QStringLiteral("Voltage over time");
        DrawOn(g, img);
        int first = -1;
        for (int x = 0; x < g.Left() && first < 0; ++x)
            for (int y = 0; y < img.height() && first < 0; ++y)
                if (Ink(img, x, y)) first = x;
        QVERIFY(first >= 0);
        int top = img.height(), bottom = -1;
        for (int x = first; x < first + 6; ++x)
            for (int y = 0; y < img.height(); ++y)
                if (Ink(img, x, y)) {
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        QVERIFY(bottom - top > 60);                                      // the whole caption, not one letter
        QVERIFY(std::abs((top + bottom) - (g.Top() + g.Bottom())) <= 3); // measured in its own font
    }

    void clipSegment() {
        double t0 = -1, t1 = -1;
        // Across the rectangle 0..10 x 0..10 from left to right: enters at a quarter, leaves at three
        // quarters.
        QVERIFY(ClipSegment(-5, 5, 15, 5, 0, 0, 10, 10, t0, t1));
        QCOMPARE(t0, 0.25);
        QCOMPARE(t1, 0.75);
        QVERIFY(ClipSegment(2, 2, 3, 8, 0, 0, 10, 10, t0, t1) && t0 == 0 && t1 == 1); // wholly inside
        QVERIFY(ClipSegment(10, -5, 10, 15, 0, 0, 10, 10, t0, t1));                   // along an edge
        QVERIFY(!ClipSegment(10.5, -5, 10.5, 15, 0, 0, 10, 10, t0, t1));              // beside it
        QVERIFY(!ClipSegment(-5, 12, 5, 22, 0, 0, 10, 10, t0, t1));                   // past a corner
        QVERIFY(!ClipSegment(-5, 5, std::nan(""), 5, 0, 0, 10, 10, t0, t1));
    }

    void roundSteps() {
        struct TCase {
            double range;
            int32_t wanted, most;
            double step;
            int exponent;
        };
        const TCase cases[] = {
            {10, 4, 100, 2, 0},      // 5 divisions of 2 lie nearer 4 than 2 divisions of 5
            {10, 5, 5, 2, 0},        // the most allowed, exactly
            {10, 5, 4, 5, 0},        // one fewer: 2.5 is no round step, 5 is
            {9.9, 4, 100, 2, 0},     // -2.2 .. 7.7
            {0.37, 4, 100, 0.1, -1}, // 3.7 divisions
            {3e-7, 4, 100, 1e-7, -7},  {2.5e6, 5, 100, 5e5, 5},
            {10, 1, 100, 5, 0},        // one division asked for: two, so that two labels show
            {97531, 3, 100, 20000, 4}, // 1.95 divisions of 50000 could hold a single multiple
        };
        for (const TCase& c : cases) {
            const TRoundStep s = RoundStep(c.range, c.wanted, c.most);
            QVERIFY2(std::fabs(s.Step / c.step - 1) < 1e-12, qPrintable(QString::number(c.range)));
            QCOMPARE(s.Exponent, c.exponent);
        }
        QCOMPARE(RoundDecimals(RoundStep(0.37, 4, 100)), 1);
        QCOMPARE(RoundDecimals(RoundStep(2.5e6, 5, 100)), 0);
        QCOMPARE(RoundDecimals(RoundStep(3e-7, 4, 100)), 7);
        // No step for a range that is no positive number, no divisions wanted or allowed, or a limit that no
        // round step meets (fewer than two divisions).
        for (const double range : {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity()})
            QCOMPARE(RoundStep(range, 4, 10).Step, 0.0);
        QCOMPARE(RoundStep(10, 0, 10).Step, 0.0);
        QCOMPARE(RoundStep(10, 4, 0).Step, 0.0);
        QCOMPARE(RoundStep(3, 1, 1).Step, 0.0);
        QCOMPARE(RoundStep(10, 1, 2).Step, 5.0);
        QCOMPARE(RoundStep(9, 1, 2).Step, 0.0); // 2.5 is no round step, 5 gives fewer than two
    }

    void roundTickValues() {
        // The decimal values themselves: 3 x 0.1 is the double of 0.3.
        QCOMPARE(RoundTickValues(0.05, 0.45, {0.1, -1}), (std::vector<double>{0.1, 0.2, 0.3, 0.4}));
        const std::vector<double> both = RoundTickValues(-1.0, 1.0, {0.5, -1});
        QCOMPARE(both, (std::vector<double>{-1.0, -0.5, 0.0, 0.5, 1.0}));
        QVERIFY(!std::signbit(both[2]));
        // An end a rounding error past a multiple keeps it (0.1 + 0.2 lies just above 0.3).
        QCOMPARE(RoundTickValues(0.1 + 0.2, 0.7, {0.1, -1}).front(), 0.3);
        QCOMPARE(RoundTickValues(-1e6, 1e6, {5e5, 5}), (std::vector<double>{-1e6, -5e5, 0, 5e5, 1e6}));
        // None without a step, where doubles cannot tell the multiples apart, or past 1000 of them.
        QVERIFY(RoundTickValues(0, 1, {}).empty());
        QVERIFY(RoundTickValues(1e9, 1e9 + 1e-6, {1e-7, -7}).empty());
        QCOMPARE(RoundTickValues(0, 999, {1, 0}).size(), size_t(1000));
        QVERIFY(RoundTickValues(0, 1000, {1, 0}).empty());
    }

    void roundTickGridLines() {
        QImage img(400, 300, QImage::Format_RGB32);
        TGrid g;
        g.SetWorld({-2.2, 0.3}, {7.7, 9.1});
        DrawOn(g, img);
        const QImage even = img;
        g.RoundTicks = true;
        DrawOn(g, img);
        QCOMPARE(g.DrawnXDiv(), 4);
        std::set<int> expected;
        for (const double v : {-2.0, 0.0, 2.0, 4.0, 6.0}) expected.insert(g.WorldToDeviceX(v));
        QCOMPARE(GridColumns(g, img), expected);
        std::set<int> rows, expectedRows;
        for (int y = g.Top() + 1; y < g.Bottom(); ++y)
            if (img.pixelColor((g.Left() + g.Right()) / 2 + 5, y) == QColor(Qt::red)) rows.insert(y);
        for (const double v : {2.0, 4.0, 6.0, 8.0}) expectedRows.insert(g.WorldToDeviceY(v));
        QCOMPARE(rows, expectedRows);
        QVERIFY(img != even);

        // Logarithmic axes keep their decades: the same pixels either way. So does x over a range whose
        // multiples doubles cannot tell apart, while its y is divided on round values.
        const auto draw = [](bool round, bool log) {
            TGrid h;
            h.SetXLog(log);
            h.SetYLog(log);
            h.SetWorld(log ? RealPoint{0.05, 1e-3} : RealPoint{1e9, 0},
                       log ? RealPoint{50, 1e6} : RealPoint{1e9 + 1e-6, 1});
            h.RoundTicks = round;
            QImage a(400, 300, QImage::Format_RGB32);
            DrawOn(h, a);
            return std::make_pair(a, GridColumns(h, a));
        };
        QVERIFY(draw(false, true).first == draw(true, true).first);
        QCOMPARE(draw(false, false).second, draw(true, false).second);
        QVERIFY(draw(false, false).first != draw(true, false).first);
    }

    void divisionJustTallEnoughKeepsTheCountAsked() {
        // 50 divisions asked, each exactly as tall as a label and its gap: all 50 are drawn (a plot a little
        // lower draws fewer, never more than asked).
        QImage probe(300, 1000, QImage::Format_RGB32);
        TGrid g;
        g.YDiv = 50;
        DrawOn(g, probe);
        const int th = QFontMetrics(TestFont(), &probe).height(), room = th + 10;
        const int extra = probe.height() - (g.Bottom() - g.Top());
        QImage img(300, extra + 50 * room + 49, QImage::Format_RGB32);
        DrawOn(g, img);
        QCOMPARE((g.Bottom() - g.Top()) / room, 50 + 49 / room);
        QCOMPARE(g.DrawnYDiv(), 50);
        QImage lower(300, extra + 50 * room - 1, QImage::Format_RGB32);
        DrawOn(g, lower);
        QCOMPARE(g.DrawnYDiv(), 49);
    }

    void xLabelsCloserThanTheirGapAreLeftOut() {
        // Labels of 0 .. 2e18: the middle ones are written in full ("500000000000000000.0"), far wider than
        // those at the ends, by which the divisions are sized. A label is drawn only where it starts at least
        // 4 pixels after the one drawn before it. Plot widths are tried where the second label would start
        // within 4 pixels either side of that limit.
        const QImage probe(10, 10, QImage::Format_RGB32);
        const QFontMetrics fm(TestFont(), &probe);
        const int first = fm.horizontalAdvance(QStringLiteral(" 0.0"));
        const int second = fm.horizontalAdvance(QStringLiteral("500000000000000000.0"));
        int tried = 0;
        for (int width = 300; width <= 700; ++width) {
            QImage img(width, 200, QImage::Format_RGB32);
            TGrid g;
            g.SetWorld({0, 0}, {2e18, 1});
            DrawOn(g, img);
            const int x = g.WorldToDeviceX(5e17), left = x - second / 2;
            const int limit = g.Left() - first / 2 + first + 4;
            if (g.DrawnXDiv() != 4 || left < limit - 4 || left >= limit + 4) continue;
            ++tried;
            bool ink = false;
            for (int y = g.Bottom() + 7; y < g.Bottom() + 7 + fm.height(); ++y)
                for (int dx = -3; dx <= 3; ++dx) ink = ink || Ink(img, x + dx, y);
            QVERIFY2(ink == (left >= limit), qPrintable(QStringLiteral("width %1").arg(width)));
        }
        QVERIFY(tried > 8);
    }

    void gapsBesideTheTextGrowWithIt() {
        // A page drawn at a factor (4 here, over 10 on a printer) makes text and gaps larger together: where
        // each piece of text lands follows from the font and the gaps of the screen times the factor. The ink
        // of a glyph is found to within a pixel of antialiasing.
        for (const int scale : {1, 4}) {
            QImage img(1200, 900, QImage::Format_RGB32);
            img.fill(Qt::white);
            QPainter p(&img);
            QFont font = TestFont();
            font.setPixelSize(12 * scale);
            p.setFont(font);
            p.setPen(QColor(0, 0, 255));
            TGrid g;
            g.color = 0x0000FF;
            g.Title = QStringLiteral("Title");
            g.XCaption = QStringLiteral("Time");
            g.YCaption = QStringLiteral("Signal");
            g.SetWorld({0, 0}, {10, 10});
            g.TextScale = scale;
            g.Draw(p, img.width(), img.height());
            p.end();
            const QFontMetrics fm(font, &img);
            const int th = fm.height(), W = img.width(), H = img.height();
            const auto gap = [scale](int pixels) { return pixels * scale; };
            const auto blue = [&img](int x, int y) {
                const QColor c = img.pixelColor(x, y);
                return c.blue() > 128 && c.red() < 128;
            };
            // The first and last column or row of blue ink in a rectangle.
            const auto inkColumns = [&](int top, int bottom, int left, int right) {
                QPoint ends(INT_MAX, INT_MIN);
                for (int y = std::max(top, 0); y <= std::min(bottom, H - 1); ++y)
                    for (int x = std::max(left, 0); x <= std::min(right, W - 1); ++x)
                        if (blue(x, y)) ends = {std::min(ends.x(), x), std::max(ends.y(), x)};
                return ends;
            };
            const auto firstInkRow = [&](int top, int bottom, int left, int right) {
                for (int y = top; y <= bottom; ++y)
                    for (int x = left; x <= right; ++x)
                        if (blue(x, y)) return y;
                return INT_MAX;
            };
            QStringList labels;
            for (int i = 0; i <= 4; ++i) labels << FormatTickLabel(2.5 * i, LabelDecimals(10));
            int labelWidth = 0, labelInkRight = INT_MIN, labelInkTop = INT_MAX;
            for (const QString& t : labels) {
                labelWidth = std::max(labelWidth, fm.horizontalAdvance(t));
                const QRect ink = fm.tightBoundingRect(t);
                labelInkRight = std::max(labelInkRight, ink.right() - fm.horizontalAdvance(t));
                labelInkTop = std::min(labelInkTop, ink.top());
            }
            const QString why = QStringLiteral("factor %1").arg(scale);
            const auto near = [&why](int measured, int expected) {
                return qAbs(measured - expected) <= 1 ||
                       (qWarning() << why << "measured" << measured << "expected" << expected, false);
            };

            // The plot keeps its margins from the picture's edges and the room of the texts.
            QCOMPARE(g.Top(), gap(12) + th);
            QCOMPARE(g.Bottom(), H - 2 * th - gap(16));
            QCOMPARE(g.Right(), W - gap(12) - labelWidth / 2);
            // The y labels end their gap left of the plot, the x labels start theirs below it.
            const int h2 = th / 2;
            QVERIFY(near(inkColumns(g.Top() - h2, g.Bottom() + gap(7) - 1, 0, g.Left() - 4).y(),
                         g.Left() - gap(6) + labelInkRight));
            QVERIFY(near(firstInkRow(g.Bottom() + 4, H - 1, g.Left(), g.Right()),
                         g.Bottom() + gap(7) + fm.ascent() + labelInkTop));
            // Title above, x caption under the labels, y caption left of them.
            QVERIFY(near(firstInkRow(0, g.Top() - 4, g.Left(), g.Right()),
                         gap(4) + fm.ascent() + fm.tightBoundingRect(g.Title).top()));
            const int xCaptionTop = g.Bottom() + th + gap(9);
            QVERIFY(near(firstInkRow(g.Bottom() + gap(7) + th, H - 1, g.Left(), g.Right()),
                         xCaptionTop + fm.ascent() + fm.tightBoundingRect(g.XCaption).top()));
            QVERIFY(near(inkColumns(xCaptionTop, H - 1, g.Left(), g.Right()).x(),
                         (g.Left() + g.Right() - fm.horizontalAdvance(g.XCaption)) / 2 +
                             fm.tightBoundingRect(g.XCaption).left()));
            QFont rotated = font;
            rotated.setFamilies(
                {QStringLiteral("Ariel"), QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
            rotated.setPixelSize(12 * scale + 1);
            const QFontMetrics rfm(rotated, &img);
            // Turned to read upward, the caption's baseline runs down the picture: its ink's right edge is
            // its lowest point below the baseline.
            QVERIFY(near(inkColumns(g.Top(), g.Bottom(), 0, g.Left() - gap(6) - labelWidth - 1).y(),
                         g.Left() - gap(10) - labelWidth - th + rfm.ascent() +
                             rfm.tightBoundingRect(g.YCaption).bottom()));
        }
    }
};

QTEST_MAIN(TestCoordWin)
#include "test_coord_win.moc"
