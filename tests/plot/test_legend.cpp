// The legend of a graph: the names it gives, the corner it takes, the place the user moves it to, what it
// draws on pictures; and pictures at another resolution.
#include "../pixels.h"
#include "plot/GraphPicture.h"
#include "plot/legend.h"
#include "plot/w_curve.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QTest>

namespace {

TCurveB Curve(std::initializer_list<TXYPoint> points, const std::string& file = {},
              const std::string& comment = {}) {
    TCurveB c;
    for (const TXYPoint& p : points) c.AddPoint(p.x, p.y);
    c.CalcRanges();
    c.FileName = file;
    c.Comment = comment;
    return c;
}

// A grid of 0 .. 10 both ways on the plot rectangle (40, 10) .. (440, 310).
void SetPlot(TGrid& g) {
    g.SetWorld({0, 0}, {10, 10});
    g.DevTopLeft = {40, 10};
    g.DevBottomRight = {440, 310};
    g.UpdateScale();
}

// The box the legend of a set takes on its grid, measured with the pictures' font.
QRect BoxOf(const WCurveSet& set) {
    QImage img(500, 400, QImage::Format_RGB32);
    QPainter p(&img);
    p.setFont(GraphFont());
    return set.Legend.Box(set, set.Grid, p);
}

// Which corner of the plot a box lies in: "top right", "bottom left", ...
QString CornerOf(const QRect& box, const TGrid& g) {
    const QPoint c = box.center();
    return QString(c.y() < (g.Top() + g.Bottom()) / 2 ? "top " : "bottom ") +
           (c.x() < (g.Left() + g.Right()) / 2 ? "left" : "right");
}

// A cloud of points around (x, y).
TCurveB Cloud(double x, double y) {
    TCurveB c;
    for (int i = 0; i < 10; ++i)
        for (int j = 0; j < 10; ++j) c.AddPoint(x + (i - 5) * 0.1, y + (j - 5) * 0.1);
    c.CalcRanges();
    return c;
}

QStringList SvgTexts(WCurveSet& set, QSize size) {
    QBuffer svg;
    svg.open(QIODevice::WriteOnly);
    if (!WriteGraph(set, svg, TGraphFormat::Svg, size, 1.0)) return {};
    QStringList texts;
    static const QRegularExpression text(QStringLiteral(">\\s*([^<>]*)</text>"));
    for (const auto& m : text.globalMatch(QString::fromUtf8(svg.data()))) texts << m.captured(1).trimmed();
    return texts;
}

} // namespace

class TestLegend : public QObject {
    Q_OBJECT
private slots:
    void names() {
        QCOMPARE(LegendName(Curve({{0, 0}}, "/data/run 2/sine.dat"), 1), QStringLiteral("sine.dat"));
        QCOMPARE(LegendName(Curve({{0, 0}}, "C:\\data\\run.txt"), 1), QStringLiteral("run.txt"));
        QCOMPARE(LegendName(Curve({{0, 0}}, "", "fitted\n curve"), 2), QStringLiteral("fitted curve"));
        QCOMPARE(LegendName(Curve({{0, 0}}, "/data/a.dat", "comment"), 2), QStringLiteral("a.dat"));
        QCOMPARE(LegendName(Curve({{0, 0}}), 3), QStringLiteral("Curve #3"));
        QCOMPARE(LegendName(Curve({{0, 0}}, "/data/"), 4), QStringLiteral("Curve #4"));
    }

    void emptiestCorner() {
        struct TCase {
            std::vector<TXYPoint> clouds;
            const char* corner;
        };
        const TCase cases[] = {
            {{{5, 5}}, "top right"}, // a tie: the first corner
            {{{9.5, 9.5}}, "top left"},
            {{{9.5, 9.5}, {0.5, 9.5}}, "bottom right"},
            {{{9.5, 9.5}, {0.5, 9.5}, {9.5, 0.5}}, "bottom left"},
            // The fewest: one cloud against two in every other corner.
            {{{9.5, 9.5}, {9.4, 9.4}, {0.5, 9.5}, {0.4, 9.4}, {0.5, 0.5}, {0.4, 0.4}, {9.5, 0.5}},
             "bottom right"},
        };
        for (const TCase& c : cases) {
            WCurveSet set;
            SetPlot(set.Grid);
            for (const TXYPoint& p : c.clouds) set.AddCurve(Cloud(p.x, p.y), false, false);
            const QRect box = BoxOf(set);
            QVERIFY(!box.isEmpty());
            QCOMPARE(CornerOf(box, set.Grid), QString(c.corner));
            QVERIFY(box.left() > set.Grid.Left() && box.right() < set.Grid.Right());
            QVERIFY(box.top() > set.Grid.Top() && box.bottom() < set.Grid.Bottom());
        }
    }

    void placeGivenByTheUser() {
        WCurveSet set;
        SetPlot(set.Grid);
        set.AddCurve(Curve({{1, 1}, {9, 9}}, "/a/one.dat"), false, false);
        const QRect corner = BoxOf(set);
        QCOMPARE(CornerOf(corner, set.Grid), QStringLiteral("top left")); // the line crosses the others
        // Moved: the same place again, and the same share of the room on a larger plot.
        set.Legend.PlaceAt(corner.translated(100, 50), set.Grid);
        QCOMPARE(BoxOf(set), corner.translated(100, 50));
        const double fx = double(corner.left() + 100 - 40) / (400 - corner.width());
        set.Grid.DevBottomRight = {840, 610};
        set.Grid.UpdateScale();
        const QRect wide = BoxOf(set);
        QCOMPARE(wide.size(), corner.size());
        QCOMPARE(wide.left(), 40 + int(std::lround(fx * (800 - corner.width()))));
        SetPlot(set.Grid);
        // Past the plot's edges it stops at them.
        set.Legend.PlaceAt(corner.translated(1000, 1000), set.Grid);
        QCOMPARE(set.Legend.Place, std::optional<QPointF>(QPointF(1, 1)));
        QCOMPARE(BoxOf(set).bottomRight(), QPoint(set.Grid.Right() - 1, set.Grid.Bottom() - 1));
        set.Legend.PlaceAt(corner.translated(-1000, -1000), set.Grid);
        QCOMPARE(BoxOf(set).topLeft(), QPoint(set.Grid.Left(), set.Grid.Top()));
        set.Legend.Place.reset();
        QCOMPARE(BoxOf(set), corner);
    }

    void rowsThatFit() {
        WCurveSet set;
        SetPlot(set.Grid);
        QVERIFY(BoxOf(set).isEmpty()); // no curves
        for (int i = 1; i <= 100; ++i) {
            TCurveB c = Cloud(5, 5);
            c.FileName = "/d/c" + std::to_string(i) + ".dat";
            set.AddCurve(std::move(c), false, false);
        }
        const QRect box = BoxOf(set);
        QVERIFY(!box.isEmpty() && box.height() <= 300);
        // The names that fit, then the count of the others.
        set.Legend.Shown = true;
        const QStringList texts = SvgTexts(set, {500, 400});
        QVERIFY(texts.contains("c1.dat"));
        QVERIFY(!texts.contains("c100.dat"));
        const qsizetype shown =
            std::count_if(texts.begin(), texts.end(), [](const QString& t) { return t.endsWith(".dat"); });
        QVERIFY(shown > 3);
        QVERIFY(texts.contains(QStringLiteral("+ %1 more").arg(100 - shown)));

        // As wide as the name needs: margins, the sample, the name.
        WCurveSet one;
        SetPlot(one.Grid);
        one.AddCurve(Curve({{1, 1}, {2, 2}}, "/d/x"), false, false);
        const QFontMetrics fm(GraphFont());
        const int pad = std::max(2, fm.height() / 3);
        QCOMPARE(BoxOf(one).width(), 3 * pad + 2 * fm.height() + fm.horizontalAdvance("x"));
        QCOMPARE(BoxOf(one).height(), 2 * pad + fm.height());

        // Four curves on a growing plot: one name and the count, then two names and "+ 2 more" (as many
        // names as counted), then all four.
        WCurveSet four;
        SetPlot(four.Grid);
        for (int i = 0; i < 4; ++i) four.AddCurve(Cloud(5, 5), false, false);
        const int threeRows = 2 * pad + 3 * fm.height();
        for (int height = 20; height < 300; ++height) {
            four.Grid.DevBottomRight.y = four.Grid.Top() + height;
            four.Grid.UpdateScale();
            if (BoxOf(four).height() >= threeRows) break;
        }
        QCOMPARE(BoxOf(four).height(), threeRows);

        // A plot with room for one row shows one curve, and nothing rather than a lone count of three.
        WCurveSet low;
        SetPlot(low.Grid);
        low.Grid.DevBottomRight.y = low.Grid.Top() + 45;
        low.Grid.UpdateScale();
        low.AddCurve(Cloud(5, 5), false, false);
        QVERIFY(!BoxOf(low).isEmpty());
        low.AddCurve(Cloud(5, 5), false, false);
        low.AddCurve(Cloud(5, 5), false, false);
        QVERIFY(BoxOf(low).isEmpty());
    }

    void drawnOnPictures() {
        WCurveSet set;
        set.AddCurve(Curve({{0, 0}, {1, 1}}, "/x/rise.dat"), true, false);
        set.AddCurve(Curve({{0, 1}, {1, 0}}, "", "fall"), true, false);
        set.Curve(2)->symbol = true;
        set.Curve(2)->SymbolSize = 4;
        set.Grid.BackgrColor = 0x000000;
        const QImage without = GraphImage(set, {400, 300}, 1.0);
        set.Legend.Shown = true;
        const QImage with = GraphImage(set, {400, 300}, 1.0);
        QImage probe(400, 300, QImage::Format_RGB32);
        QRect box;
        {
            QPainter p(&probe);
            p.setFont(GraphFont());
            set.Grid.Layout(p, 400, 300);
            box = set.Legend.Box(set, set.Grid, p);
        }
        QVERIFY(!box.isEmpty());
        // Nothing changes outside the box.
        for (int y = 0; y < 300; ++y)
            for (int x = 0; x < 400; ++x)
                if (!box.contains(x, y) && with.pixel(x, y) != without.pixel(x, y))
                    QFAIL(qPrintable(QString("changed outside the legend at %1, %2").arg(x).arg(y)));
        // A white frame on the black plot, the line samples in the curves' colours, the symbol sample.
        QCOMPARE(with.pixelColor(box.left(), box.center().y()), QColor(Qt::white));
        QCOMPARE(with.pixelColor(box.center().x(), box.bottom()), QColor(Qt::white));
        const QColor first = ToQColor(set.Curve(1)->linecolor), second = ToQColor(set.Curve(2)->SymbolColor);
        QVERIFY(Count(with, first, box.adjusted(1, 1, -1, -box.height() / 2)) >= 20);
        QVERIFY(Count(with, second, box.adjusted(1, box.height() / 2, -1, -1)) >= 20);
        QCOMPARE(Count(with, second, box.adjusted(1, 1, -1, -box.height() / 2)), 0);
        int light = 0; // the names, white with softened edges
        for (int y = box.top() + 1; y < box.bottom(); ++y)
            for (int x = box.left() + 1; x < box.right(); ++x) light += qGray(with.pixel(x, y)) > 160;
        QVERIFY(light > 60);

        // On white, as printed: a black frame, and a white curve drawn black.
        set.Curve(1)->linecolor = 0xFFFFFF;
        const QImage white = GraphImage(set, {400, 300}, 1.0, ScreenDpi, 0xFFFFFF);
        QCOMPARE(white.pixelColor(box.left(), box.center().y()), QColor(Qt::black));
        QCOMPARE(white.pixelColor(box.left() + 1, box.center().y()), QColor(Qt::white));
        QCOMPARE(set.Curve(1)->linecolor, TColor(0xFFFFFF));
        int dark = 0; // the sample and the name
        for (int y = box.top() + 1; y < box.center().y(); ++y)
            for (int x = box.left() + 1; x < box.right(); ++x) dark += qGray(white.pixel(x, y)) < 96;
        QVERIFY(dark >= 20 + 30);
        // The names in the drawing's text.
        QVERIFY(SvgTexts(set, {400, 300}).contains("rise.dat"));
        QVERIFY(SvgTexts(set, {400, 300}).contains("fall"));
    }

    void errorBarSample() {
        // A curve with sigmas shows a bar with caps in its sample: here alone, without line or symbol.
        WCurveSet set;
        SetPlot(set.Grid);
        TCurveB c = Curve({{1, 1}, {2, 2}}, "/d/m.dat");
        c.EnableSigma();
        c.SetSigma(1, 0.1);
        set.AddCurve(c, false, false);
        set.Curve(1)->line = false;
        set.Curve(1)->SymbolColor = 0x00FF00;
        QImage img(500, 400, QImage::Format_RGB32);
        img.fill(Qt::black);
        QPainter p(&img);
        p.setFont(GraphFont());
        const QRect box = set.Legend.Box(set, set.Grid, p);
        set.Legend.Paint(set, set.Grid, p, box, 0x000000);
        p.end();
        const QFontMetrics fm(GraphFont());
        const int half = std::max(2, fm.height() / 2 - 1), cap = 3;
        QCOMPARE(Count(img, QColor(0, 255, 0), box), 2 * half + 1 + 2 * 2 * cap);
        set.Curve(1)->errorbars = false;
        img.fill(Qt::black);
        p.begin(&img);
        set.Legend.Paint(set, set.Grid, p, box, 0x000000);
        p.end();
        QCOMPARE(Count(img, QColor(0, 255, 0), box), 0);
    }

    void picturesAtAResolution() {
        QCOMPARE(GraphLayoutSize({800, 600}, 192), QSize(400, 300));
        QCOMPARE(GraphLayoutSize({800, 600}, ScreenDpi), QSize(800, 600));
        QCOMPARE(PixelsOfCm(2.54, 300), 300);
        QCOMPARE(ParseGraphSize("15 x 10 cm", 300), std::optional<QSize>(QSize(1772, 1181)));
        QCOMPARE(ParseGraphSize("2.54X1.27CM", 100), std::optional<QSize>(QSize(100, 50)));
        QCOMPARE(ParseGraphSize("800x600px", 300), std::optional<QSize>(QSize(800, 600)));
        QCOMPARE(ParseGraphSize(" 800 x 600 ", 300), std::optional<QSize>(QSize(800, 600)));
        for (const char* bad : {"15x10mm", "1.5x2", "15xcm", "x10cm", "15x10 cm px"})
            QVERIFY2(!ParseGraphSize(bad, 300), bad);
        // The layout, too, must be at least 50 pixels a side: both sides of that limit at 192 dpi.
        QVERIFY(GraphSizeAllowed({100, 100}, 192));
        QVERIFY(!GraphSizeAllowed({100, 98}, 192));
        QVERIFY(!GraphSizeAllowed({10001, 20000}, 192));

        // Twice the pixels of the same layout: the plot's frame at twice the coordinates, lines two pixels
        // wide.
        WCurveSet set;
        set.AddCurve(Curve({{0, 0}, {1, 1}}), true, false);
        set.Grid.BackgrColor = 0x302010;
        const QImage one = GraphImage(set, {400, 300}, 1.0);
        const QImage two = GraphImage(set, {800, 600}, 1.0, 192);
        QCOMPARE(two.size(), QSize(800, 600));
        QCOMPARE(two.dotsPerMeterX(), int(192 / 0.0254 + 0.5));
        const auto plot = [](const QImage& img) {
            QRect r;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    if (img.pixelColor(x, y) == QColor(0x10, 0x20, 0x30)) r |= QRect(x, y, 1, 1);
            return r;
        };
        const QRect a = plot(one), b = plot(two);
        QCOMPARE(b, QRect(a.topLeft() * 2, a.size() * 2));
    }
};

QTEST_MAIN(TestLegend)
#include "test_legend.moc"
