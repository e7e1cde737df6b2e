// The legend, the round tick values and the error bars of a curve window: the View commands, their place in
// the preferences, the legend on the plot panel moved with the mouse and in the pictures the window makes,
// and the error bars switched in Curve display.
#include "../pixels.h"
#include "app/CurvePreferences.h"
#include "modaldialogs.h"
#include "plot/CurvePanels.h"
#include "plot/CurveProps.h"
#include "plot/GraphPicture.h"
#include "plot/w_curve.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QMenu>
#include <QPushButton>
#include <QSettings>

namespace {
TCurveB Wave(double phase, const std::string& name) {
    std::vector<std::pair<double, double>> pts;
    for (int i = 0; i <= 100; ++i) pts.push_back({i * 0.1, std::sin(i * 0.1 + phase) * 3.3 + 0.7});
    return MakeCurve(pts, name);
}

int Changed(const QImage& a, const QImage& b, QRect* where = nullptr) {
    int n = 0;
    QRect r;
    for (int y = 0; y < std::min(a.height(), b.height()); ++y)
        for (int x = 0; x < std::min(a.width(), b.width()); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) {
                ++n;
                r |= QRect(x, y, 1, 1);
            }
    if (where != nullptr) *where = r;
    return n;
}
} // namespace

class TestGraphLegend : public QObject, TWindowFixture {
    Q_OBJECT

    TCurvePanel& Panel() const { return *win->CurvePanel; }
    void TwoWaves() {
        Panel().AddCurve(Wave(0, "/data/run/first.dat"), true, false);
        Panel().AddCurve(Wave(1.5, "/data/run/second.dat"), true, true);
        Panel().repaint();
    }

private slots:
    void initTestCase() { IsolateUserFiles(); }
    void init() {
        QFile::remove(PreferencesFile());
        QVERIFY(OpenWindow());
    }
    void cleanup() { CloseWindow(); }

    void viewCommandsAreKept() {
        QAction* legend = A("Legend1");
        QAction* round = A("RoundTicks1");
        QCOMPARE(round->text(), QStringLiteral("Round tick values"));
        QVERIFY(legend->isCheckable() && round->isCheckable());
        QVERIFY(!legend->isChecked() && !round->isChecked());
        QVERIFY(legend->isEnabled() && round->isEnabled()); // also with no curve
        TwoWaves();
        QVERIFY(Panel().LegendRect().isEmpty());
        const QImage plain = Panel().grab().toImage();

        legend->trigger();
        QVERIFY(legend->isChecked() && Panel().LegendShown());
        Panel().repaint();
        QVERIFY(!Panel().LegendRect().isEmpty());
        QRect changed;
        QVERIFY(Changed(plain, Panel().grab().toImage(), &changed) > 0);
        QVERIFY(Panel().LegendRect().contains(changed));
        QSettings file(PreferencesFile(), QSettings::IniFormat);
        QCOMPARE(file.value("Graph/Legend").toInt(), 1);
        QCOMPARE(file.value("Graph/RoundTicks").toInt(), 0);

        const int before = Panel().RebuildCount();
        round->trigger();
        QVERIFY(round->isChecked() && Panel().Grid().RoundTicks);
        Panel().repaint();
        QVERIFY(Panel().RebuildCount() > before);
        file.sync();
        QCOMPARE(file.value("Graph/RoundTicks").toInt(), 1);

        // A new window takes both from the file, and switching off is kept as well.
        Tcurvewindow* other = win->NewWindow();
        QVERIFY(QTest::qWaitForWindowExposed(other));
        QVERIFY(other->CurvePanel->LegendShown() && other->CurvePanel->Grid().RoundTicks);
        QVERIFY(A("Legend1", other)->isChecked() && A("RoundTicks1", other)->isChecked());
        A("Legend1", other)->trigger();
        file.sync();
        QCOMPARE(file.value("Graph/Legend").toInt(), 0);
        QVERIFY(win->CurvePanel->LegendShown());
        other->close();
    }

    void legendMovedWithTheMouse() {
        TwoWaves();
        Panel().SetLegendShown(true);
        Panel().repaint();
        const QRect start = Panel().LegendRect();
        QVERIFY(!start.isEmpty());
        const int rebuilds = Panel().RebuildCount();
        Panel().CurveSet().SetActive(2);
        const QPoint grab = start.center(), to = grab + QPoint(-200, 120);
        QTest::mousePress(&Panel(), Qt::LeftButton, {}, grab);
        QTest::mouseMove(&Panel(), grab + QPoint(-50, 30));
        QTest::mouseMove(&Panel(), to);
        QTest::mouseRelease(&Panel(), Qt::LeftButton, {}, to);
        QCOMPARE(Panel().LegendRect(), start.translated(-200, 120));
        // Taking the legend chose no curve, zoomed nothing and drew no curve again.
        QCOMPARE(Panel().ActiveIndex(), 2);
        QVERIFY(!Panel().ZoomDragging());
        QCOMPARE(Panel().RebuildCount(), rebuilds);
        Panel().repaint();
        QCOMPARE(Panel().LegendRect(), start.translated(-200, 120));
        const QImage shown = Panel().grab().toImage();
        const QRect at = Panel().LegendRect();
        QCOMPARE(shown.pixelColor(at.left(), at.center().y()), QColor(Qt::white));

        // Dragged far past the plot it stops at the frame.
        const TGrid& g = Panel().Grid();
        QTest::mousePress(&Panel(), Qt::LeftButton, {}, at.center());
        QTest::mouseMove(&Panel(), at.center() + QPoint(-2000, 2000));
        QTest::mouseRelease(&Panel(), Qt::LeftButton, {}, at.center() + QPoint(-2000, 2000));
        QCOMPARE(Panel().LegendRect().topLeft(), QPoint(g.Left() + 2, g.Bottom() - at.height() + 2));

        // The copied picture puts it at the same place: bottom left.
        QImage page(Panel().size(), QImage::Format_RGB32);
        QPainter p(&page);
        p.setFont(GraphFont());
        WCurveSet& set = Panel().CurveSet();
        const TGrid screen = set.Grid;
        set.Grid.Layout(p, page.width(), page.height());
        const QRect box = set.Legend.Box(set, set.Grid, p);
        QCOMPARE(box.left(), set.Grid.Left());
        QCOMPARE(box.bottom(), set.Grid.Bottom() - 1);
        set.Grid = screen;
        p.end();
        QVERIFY(Changed(GraphImage(set, Panel().size(), 1.0), [&] {
                    set.Legend.Shown = false;
                    QImage img = GraphImage(set, Panel().size(), 1.0);
                    set.Legend.Shown = true;
                    return img;
                }()) > 50);

        // Shown again, it takes the emptiest corner once more; hidden, it takes no press.
        Panel().SetLegendShown(false);
        Panel().repaint();
        QVERIFY(Panel().LegendRect().isEmpty());
        Panel().SetLegendShown(true);
        Panel().repaint();
        QCOMPARE(Panel().LegendRect(), start);
        Panel().SetLegendShown(false);
        Panel().repaint();
        QTest::mousePress(&Panel(), Qt::LeftButton, {}, start.center());
        QTest::mouseRelease(&Panel(), Qt::LeftButton, {}, start.center());
        QCOMPARE(Panel().LegendRect(), QRect());

        // In zoom mode a press on the legend begins the zoom rectangle.
        Panel().SetLegendShown(true);
        Panel().repaint();
        QCOMPARE(Panel().LegendRect(), start);
        Panel().ZoomRequest(true);
        QTest::mousePress(&Panel(), Qt::LeftButton, {}, start.center());
        QVERIFY(Panel().ZoomDragging());
        QTest::mouseRelease(&Panel(), Qt::LeftButton, {}, start.center());
        QCOMPARE(Panel().LegendRect(), start);
    }

    void errorBarsSwitchedInCurveDisplay() {
        TCurveB measured = MakeCurve({{1, 1}, {2, 3}, {3, 2}}, "/d/measured.dat");
        measured.EnableSigma();
        for (int32_t i = 1; i <= 3; ++i) measured.SetSigma(i, 0.5);
        Panel().AddCurve(measured, true, false);
        Panel().AddCurve(MakeCurve({{1, 2}, {3, 1}}), true, true);
        Panel().repaint();
        const QColor bar = ToQColor(Panel().Curve(1)->ErrorBarColor());
        const int with = Count(Panel().PlotImage(), bar, Panel().PlotImage().rect());

        // A curve without sigmas has nothing to switch.
        Panel().SetActiveCurve(2);
        WhileShown<TCurveProperties>([](TCurveProperties& d) {
            QVERIFY(!d.ErrorBarCheck->isEnabled());
            d.OKBtn->click();
        });
        A("Curvedisplay1")->trigger();
        QVERIFY(Panel().Curve(2)->errorbars);
        Panel().SetActiveCurve(1);
        WhileShown<TCurveProperties>([](TCurveProperties& d) {
            QVERIFY(d.ErrorBarCheck->isEnabled() && d.ErrorBarCheck->isChecked());
            d.ErrorBarCheck->click();
            d.OKBtn->click();
        });
        A("Curvedisplay1")->trigger();
        QVERIFY(!Panel().Curve(1)->errorbars);
        Panel().repaint();
        QVERIFY(Count(Panel().PlotImage(), bar, Panel().PlotImage().rect()) < with - 100);
        // And on again.
        WhileShown<TCurveProperties>([](TCurveProperties& d) {
            QVERIFY(!d.ErrorBarCheck->isChecked());
            d.ErrorBarCheck->click();
            d.OKBtn->click();
        });
        A("Curvedisplay1")->trigger();
        Panel().repaint();
        QCOMPARE(Count(Panel().PlotImage(), bar, Panel().PlotImage().rect()), with);
    }
};

QTEST_MAIN(TestGraphLegend)
#include "test_graphlegend.moc"
