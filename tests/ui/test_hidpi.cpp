// The plot panel on a screen of two device pixels per pixel (QT_SCALE_FACTOR=2): the same layout as on an
// ordinary screen, drawn with twice the pixels each way, lines and text crisp rather than an enlarged copy.
#include "plot/CurvePanels.h"
#include "plot/w_curve.h"
#include "windowfixture.h"

#include <QApplication>
#include <QPainter>

class TestHiDpi : public QObject {
    Q_OBJECT
private slots:
    void twiceThePixelsAtTheSameLayout() {
        QCOMPARE(qApp->devicePixelRatio(), 2.0);
        TCurvePanel panel(nullptr, nullptr);
        panel.resize(400, 300);
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        panel.AddCurve(MakeCurve({{0, 0}, {10, 0.2}}, "/d/low.dat"), true, true);
        panel.Grid().SetWorld({0, 0}, {10, 10});
        panel.SetLegendShown(true);
        panel.repaint();
        QCOMPARE(panel.devicePixelRatioF(), 2.0);

        const QImage& img = panel.PlotImage();
        QCOMPARE(img.size(), QSize(396 * 2, 296 * 2));
        QCOMPARE(img.devicePixelRatio(), 2.0);
        // The layout of an ordinary screen.
        const TGrid& g = panel.Grid();
        TGrid same = g;
        QImage ordinary(396, 296, QImage::Format_RGB32);
        {
            QPainter p(&ordinary);
            same.Layout(p, 400, 300);
        }
        QCOMPARE(g.Left(), same.Left());
        QCOMPARE(g.Top(), same.Top());
        QCOMPARE(g.Right(), same.Right());
        QCOMPARE(g.Bottom(), same.Bottom());

        // A grid line of one pixel is two device columns of the grid colour, from an even one, between white
        // ones: no blur.
        const QColor grey = ToQColor(g.color);
        const int y = g.Top() + 7; // below the frame, above any horizontal grid line
        std::vector<int> runs; // start, length
        for (int col = 2 * g.Left() + 2; col < 2 * g.Right() - 2; ++col) {
            if (img.pixelColor(col, 2 * y) != grey) {
                QCOMPARE(img.pixelColor(col, 2 * y), QColor(Qt::white));
                continue;
            }
            if (!runs.empty() && runs[runs.size() - 2] + runs.back() == col)
                ++runs.back();
            else
                runs.insert(runs.end(), {col, 1});
        }
        QVERIFY(runs.size() >= 2);
        for (size_t i = 0; i < runs.size(); i += 2) {
            QCOMPARE(runs[i] % 2, 0);
            QCOMPARE(runs[i + 1], 2);
        }
        const int x = runs[0] / 2;
        // The frame likewise.
        QCOMPARE(img.pixelColor(2 * (g.Left() - 1), 2 * y), QColor(Qt::black));
        QCOMPARE(img.pixelColor(2 * (g.Left() - 1) + 1, 2 * y), QColor(Qt::black));
        QCOMPARE(img.pixelColor(2 * (g.Left() - 1) + 2, 2 * y), QColor(Qt::white));

        // Text drawn at the screen's resolution: the labels have edges within the pairs of device pixels
        // that an enlarged copy would fill alike.
        int fine = 0;
        for (int row = 0; row + 1 < img.height(); row += 2)
            for (int col = 0; col + 1 < 2 * (g.Left() - 4); col += 2)
                fine += img.pixel(col, row) != img.pixel(col + 1, row) ||
                        img.pixel(col, row) != img.pixel(col, row + 1);
        QVERIFY(fine > 20);

        // The widget shows those pixels as they are, and the legend with them.
        const QImage shown = panel.grab().toImage();
        QCOMPARE(shown.size(), QSize(800, 600));
        QCOMPARE(shown.pixelColor(2 * x + 4, 2 * y + 4), grey);
        QCOMPARE(shown.pixelColor(2 * x + 3, 2 * y + 4), QColor(Qt::white));
        const QRect legend = panel.LegendRect();
        QVERIFY(!legend.isEmpty());
        QCOMPARE(shown.pixelColor(2 * legend.left(), 2 * legend.center().y()), QColor(Qt::black));
        QCOMPARE(shown.pixelColor(2 * legend.left() + 1, 2 * legend.center().y()), QColor(Qt::black));
        QCOMPARE(shown.pixelColor(2 * legend.left() + 2, 2 * legend.center().y()), QColor(Qt::white));
    }
};

int main(int argc, char** argv) {
    // Before the application exists: the screen then has two device pixels per pixel.
    qputenv("QT_SCALE_FACTOR", "2");
    QApplication app(argc, argv);
    TestHiDpi test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_hidpi.moc"
