// The plot panel driven by real mouse and key events: zooming, panning, the crosshair, choice of the active
// curve, point picking, results and undo.
#include "plot/CurvePanels.h"
#include "plot/SpecialCombos.h"
#include "plot/undohistory.h"
#include "plot/w_curve.h"
#include "windowfixture.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTest>
#include <QWheelEvent>

#include <vector>

namespace {
struct TRecorder : NotifyTarget {
    std::vector<std::array<int, 3>> Calls;
    intptr_t Notify(int code, int32_t a, int32_t b) override {
        Calls.push_back({code, a, b});
        return 0;
    }
    int Count(int code) const {
        return static_cast<int>(
            std::count_if(Calls.begin(), Calls.end(), [&](auto& c) { return c[0] == code; }));
    }
    int Last(int code) const {
        for (auto it = Calls.rbegin(); it != Calls.rend(); ++it)
            if ((*it)[0] == code) return (*it)[1];
        return -999;
    }
};

TCurveB Flat(double y, const char* name = "") {
    std::vector<std::pair<double, double>> pts;
    for (int i = 0; i <= 10; ++i) pts.push_back({double(i), y});
    return MakeCurve(pts, name);
}
} // namespace

class TestCurvePanel : public QObject {
    Q_OBJECT

    TRecorder rec;
    std::unique_ptr<TCurvePanel> panel;

    // A world of exactly 100 pixels per x unit, from x = 0, so that pixel columns name exact x values.
    // Curves at y = 0 and y = 10 over y from -5 to 15, painted, the first one active.
    void TwoLevelsShown() {
        panel->AddCurve(Flat(0), true, true);
        panel->AddCurve(Flat(10), true, true);
        panel->Grid().SetWorld({0, -5}, {10, 15});
        panel->CurveSet().Redraw();
        panel->repaint();
        panel->CurveSet().SetActive(1);
    }

    void ExactXScale(double ymin, double ymax) {
        TGrid& g = panel->Grid();
        // Twice: the y labels of the new range may move the plot's left edge.
        for (int pass = 0; pass < 2; ++pass) {
            g.WorldMin = {0, ymin};
            g.WorldMax = {(g.Right() - g.Left()) / 100.0, ymax};
            g.UpdateScale();
            panel->CurveSet().Redraw();
            panel->repaint();
        }
        QCOMPARE(g.Scale.x, 100.0);
    }

private slots:
    void init() {
        rec.Calls.clear();
        panel = std::make_unique<TCurvePanel>(nullptr, &rec);
        panel->resize(600, 420);
        panel->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel.get()));
        panel->repaint();
    }
    void cleanup() { panel.reset(); }

    void zoomDragSetsWorldToRectangleAndEndsZoomMode() {
        panel->AddCurve(Flat(1), true, true);
        panel->AddCurve(Flat(5), true, true);
        panel->repaint();
        QVERIFY(!panel->IsZoomMode());
        int zoomed = 0;
        panel->OnZoomed = [&] { ++zoomed; };
        panel->ZoomRequest(true);
        QVERIFY(panel->IsZoomMode());
        QCOMPARE(rec.Last(notify::ZoomModeChanged), 1);

        TGrid& g = panel->Grid();
        const QPoint a(g.Left() + 50, g.Top() + 30), b(g.Left() + 200, g.Top() + 150);
        const double x1 = g.DeviceToWorldX(a.x()), x2 = g.DeviceToWorldX(b.x());
        const double yTop = g.DeviceToWorldY(a.y()), yBottom = g.DeviceToWorldY(b.y());
        const int rebuilds = panel->RebuildCount();
        QTest::mousePress(panel.get(), Qt::LeftButton, {}, a);
        QTest::mouseMove(panel.get(), QPoint(120, 90));
        QTest::mouseMove(panel.get(), b);
        panel->repaint();
        QCOMPARE(panel->RebuildCount(), rebuilds); // the rubber band is drawn over the cached image
        QTest::mouseRelease(panel.get(), Qt::LeftButton, {}, b);
        QCOMPARE(g.WorldMin.x, x1);
        QCOMPARE(g.WorldMax.x, x2);
        QCOMPARE(g.WorldMin.y, yBottom);
        QCOMPARE(g.WorldMax.y, yTop);
        QVERIFY(!panel->IsZoomMode());
        QCOMPARE(rec.Last(notify::ZoomModeChanged), 0);
        QCOMPARE(zoomed, 1);

        // Released where it started: no zoom, but the mode still ends.
        panel->ZoomRequest(true);
        QTest::mousePress(panel.get(), Qt::LeftButton, {}, a);
        QTest::mouseRelease(panel.get(), Qt::LeftButton, {}, a);
        QCOMPARE(g.WorldMin.x, x1);
        QVERIFY(!panel->IsZoomMode());
        QCOMPARE(zoomed, 2);

        // Dragged past the frame of a logarithmic axis that reaches 1e300: beyond the numbers, no zoom.
        g.SetXLog(true);
        g.SetWorld({1e-20, 0}, {1e300, 10});
        g.UpdateScale();
        panel->ZoomRequest(true);
        QTest::mousePress(panel.get(), Qt::LeftButton, {}, a);
        QTest::mouseRelease(panel.get(), Qt::LeftButton, {}, QPoint(panel->width() - 1, b.y()));
        QCOMPARE(g.WorldMax.x, 1e300);
        QVERIFY(!panel->IsZoomMode());
    }

    void panAndZoomKeys() {
        panel->AddCurve(Flat(1), true, true);
        TGrid& g = panel->Grid();
        g.SetWorld({0, 0}, {10, 10});
        QVERIFY(panel->KeyDown(Qt::Key_Left, Qt::ControlModifier));
        QCOMPARE(g.WorldMin.x, -2.0);
        QVERIFY(panel->KeyDown(Qt::Key_Left, Qt::ControlModifier));
        QCOMPARE(g.WorldMin.x, -4.0);
        QCOMPARE(g.WorldMax.x, 6.0);
        QVERIFY(panel->KeyDown(Qt::Key_Up, Qt::ControlModifier));
        QCOMPARE(g.WorldMin.y, -2.0);
        QVERIFY(panel->KeyDown(Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier));
        QCOMPARE(g.WorldMax.x - g.WorldMin.x, 12.5);
        QVERIFY(panel->KeyDown(Qt::Key_Down, Qt::ControlModifier | Qt::ShiftModifier));
        QCOMPARE(g.WorldMax.y - g.WorldMin.y, 12.5);
        // Alt+Ctrl is not a panning combination; a plain arrow without the cursor does nothing.
        QVERIFY(!panel->KeyDown(Qt::Key_Left, Qt::ControlModifier | Qt::AltModifier));
        QVERIFY(!panel->KeyDown(Qt::Key_Left, Qt::NoModifier));
        QVERIFY(panel->KeyDown(Qt::Key_Return, Qt::NoModifier));
        QCOMPARE(rec.Count(notify::PointPicked), 1);
    }

    void wheelZoomsAboutThePointerAndFitShowsAll() {
        panel->AddCurve(MakeCurve({{0, 0}, {10, 10}}), true, true);
        panel->repaint();
        TGrid& g = panel->Grid();
        const RealPoint fullMin = g.WorldMin, fullMax = g.WorldMax;
        g.SetWorld({0, 0}, {10, 10});
        panel->repaint();
        const QPoint at(g.Left() + 50, g.Bottom() - 80);
        auto wheel = [&](int delta, Qt::KeyboardModifiers mods) {
            QWheelEvent e(at, panel->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, mods,
                          Qt::NoScrollPhase, false);
            QApplication::sendEvent(panel.get(), &e);
        };
        const double x0 = g.DeviceToWorldX(at.x()), y0 = g.DeviceToWorldY(at.y());
        // One step away from the user: both ranges shrink to 80 % about the world point under the pointer.
        wheel(120, Qt::NoModifier);
        QVERIFY(std::abs(g.WorldMin.x - (x0 - 0.8 * x0)) < 1e-9);
        QVERIFY(std::abs(g.WorldMax.x - (x0 + 0.8 * (10 - x0))) < 1e-9);
        QVERIFY(std::abs(g.WorldMin.y - (y0 - 0.8 * y0)) < 1e-9);
        // Half steps add up; a step back undoes the zoom.
        wheel(-60, Qt::NoModifier);
        wheel(-60, Qt::NoModifier);
        QVERIFY(std::abs(g.WorldMax.x - 10) < 1e-9 && std::abs(g.WorldMin.y) < 1e-9);
        // Ctrl: x only; Shift: y only.
        wheel(120, Qt::ControlModifier);
        QVERIFY(g.WorldMax.x < 10);
        QCOMPARE(g.WorldMax.y, 10.0);
        const double xmax = g.WorldMax.x;
        wheel(120, Qt::ShiftModifier);
        QCOMPARE(g.WorldMax.x, xmax);
        QVERIFY(g.WorldMax.y < 10);
        // Fit: back to the range of the curves.
        panel->ZoomToFit();
        QCOMPARE(g.WorldMin.x, fullMin.x);
        QCOMPARE(g.WorldMax.y, fullMax.y);
        // On a logarithmic axis a step out widens by decades and keeps the pointer's value in place.
        g.SetYLog(true);
        g.SetWorld({0, 1}, {10, 1000});
        panel->repaint();
        const double y1 = g.DeviceToWorldY(at.y());
        wheel(-120, Qt::ShiftModifier);
        panel->repaint();
        QVERIFY(g.WorldMin.y > 0.1 && g.WorldMin.y < 1 && g.WorldMax.y > 1000);
        QVERIFY(std::abs(g.WorldToDeviceY(y1) - at.y()) <= 1);
        // Near the largest double the ends stay numbers: a step in from a range as wide as the numbers (its
        // span overflows), then steps out past them.
        g.SetWorld({-1e308, 1}, {1e308, 1000});
        wheel(120, Qt::ControlModifier);
        QVERIFY(g.WorldMax.x - g.WorldMin.x > 1e307 && g.WorldMax.x < 1e308);
        wheel(-360, Qt::ControlModifier);
        QVERIFY(std::isfinite(g.WorldMin.x) && std::isfinite(g.WorldMax.x));
    }

    void overlayIsDrawnOnlyWhenTheImagesChange() {
        panel->AddCurve(MakeCurve({{0, 0}, {10, 10}}), true, true);
        panel->repaint();
        int draws = 0;
        // A blue horizontal line through the middle of the plot, in world coordinates.
        panel->DrawOverlay([&](QPainter& p, const TGrid& g) {
            ++draws;
            p.setPen(Qt::blue);
            const int y = g.WorldToDeviceY(5) - g.Top() + 1;
            p.drawLine(0, y, g.Right() - g.Left(), y);
        });
        panel->repaint();
        QCOMPARE(draws, 1);
        const TGrid& g = panel->Grid();
        const QPoint probe((g.Left() + g.Right()) / 2 + 7, g.WorldToDeviceY(5) + 2);
        QCOMPARE(panel->grab().toImage().pixelColor(probe), QColor(Qt::blue));
        // Mouse moves with the crosshair composite the cached images and the overlay: no model drawing.
        panel->SetCursorShown(true);
        const int rebuilds = panel->RebuildCount();
        for (int x = g.Left() + 10; x < g.Right(); x += 37)
            QTest::mouseMove(panel.get(), QPoint(x, g.Top() + 20));
        panel->repaint();
        QCOMPARE(draws, 1);
        QCOMPARE(panel->RebuildCount(), rebuilds);
        // New axes: the overlay follows them.
        QVERIFY(panel->KeyDown(Qt::Key_Up, Qt::ControlModifier));
        panel->repaint();
        QCOMPARE(draws, 2);
        panel->RemoveOverlay();
        panel->SetCursorShown(false);
        panel->repaint();
        QVERIFY(panel->grab().toImage().pixelColor(g.Left() + 30, g.WorldToDeviceY(5) + 2) !=
                QColor(Qt::blue));
    }

    void snappingCursorGoesToTheNearerPoint() {
        panel->AddCurve(MakeCurve({{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}}), true, true);
        panel->repaint();
        ExactXScale(-1, 5);
        QString readout;
        panel->OnReadout = [&](const QString& t) { readout = t; };
        panel->Crosshair.Interpolate = false;
        panel->SetCursorShown(true);
        QCOMPARE(rec.Last(notify::Cursor), 1);
        const int left = panel->Grid().Left();
        QTest::mouseMove(panel.get(), QPoint(left + 200, 100));
        QCOMPARE(panel->Crosshair.Index, 3);
        QCOMPARE(readout, QStringLiteral("(  2.0000,  2.0000)"));
        QTest::mouseMove(panel.get(), QPoint(left + 250, 100)); // x = 2.5: equal distances stay behind
        QCOMPARE(panel->Crosshair.Index, 3);
        QTest::mouseMove(panel.get(), QPoint(left + 260, 100)); // x = 2.6
        QCOMPARE(panel->Crosshair.Index, 4);
        QTest::mouseMove(panel.get(), QPoint(left + 150, 100)); // x = 1.5 moving left: equal, stays behind
        QCOMPARE(panel->Crosshair.Index, 3);

        panel->SetCursorShown(false);
        QCOMPARE(readout, QString());
        QCOMPARE(rec.Last(notify::Cursor), 0);
    }

    void interpolatingCursorRestsOnTheCurveEnds() {
        panel->AddCurve(MakeCurve({{1, 1}, {2, 3}, {3, 2}}), true, true);
        panel->repaint();
        ExactXScale(0, 4);
        panel->SetCursorShown(true);
        const int left = panel->Grid().Left();
        QTest::mouseMove(panel.get(), QPoint(left + 150, 50));
        QCOMPARE(panel->Crosshair.World.x, 1.5);
        QCOMPARE(panel->Crosshair.World.y, 2.0);
        QTest::mouseMove(panel.get(),
                         QPoint(left + 20, 50)); // left of the curve, which starts inside the plot
        QCOMPARE(panel->Crosshair.World.x, 1.0);
        QCOMPARE(panel->Crosshair.Pos.x, left + 100);
        QCOMPARE(panel->ReadoutText({1.5, -0.25}), QStringLiteral("(  1.5000, -0.2500)"));
        QCOMPARE(panel->ReadoutText({-0.00004, 2e-9}), QStringLiteral("(  0.0000,  0.0000)"));
        QCOMPARE(panel->ReadoutText({3, 1.7976931348623157e308}), QStringLiteral("(  3.0000,1.7977e+308)"));
    }

    void clickSelectsCurveWithin80Pixels() {
        TwoLevelsShown();
        const TGrid& g = panel->Grid();
        const int x = g.Left() + 100, y10 = g.WorldToDeviceY(10);
        QTest::mouseClick(panel.get(), Qt::LeftButton, {}, QPoint(x, y10 + 80));
        QCOMPARE(panel->ActiveIndex(), 1);
        QTest::mouseClick(panel.get(), Qt::LeftButton, {}, QPoint(x, y10 + 79));
        QCOMPARE(panel->ActiveIndex(), 2);
        // Outside the plot rectangle nothing is chosen.
        QTest::mouseClick(panel.get(), Qt::LeftButton, {}, QPoint(g.Left() - 5, g.WorldToDeviceY(0)));
        QCOMPARE(panel->ActiveIndex(), 2);
    }

    void pointPickReportsIndicesAndRestoresTheCursor() {
        panel->AddCurve(MakeCurve({{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}}), true, true);
        panel->repaint();
        ExactXScale(-1, 5);
        QVERIFY(panel->Crosshair.Interpolate);
        panel->SetPointPick(true);
        QVERIFY(panel->IsPointPick());
        QVERIFY(panel->IsCursorShown());
        QVERIFY(!panel->Crosshair.Interpolate);
        const int left = panel->Grid().Left();
        QTest::mouseMove(panel.get(), QPoint(left + 300, 60));
        QTest::mouseClick(panel.get(), Qt::LeftButton, {}, QPoint(left + 300, 60));
        QCOMPARE(rec.Last(notify::PointPicked), 4);
        panel->SetPointPick(false);
        QVERIFY(!panel->IsCursorShown()); // it was off before picking began
        QVERIFY(panel->Crosshair.Interpolate);
        // An empty set does not pick.
        panel->CurveSet().SetCountAndRedraw(0);
        panel->SetPointPick(true);
        QVERIFY(!panel->IsPointPick());
    }

    void markingDragsReportTheirEnds() {
        panel->AddCurve(Flat(1), true, true);
        panel->AddCurve(Flat(5), true, true);
        panel->repaint();
        panel->BeginMarkDrag(2);
        QCOMPARE(panel->DragShape(), 2);
        QVERIFY(!panel->IsZoomMode()); // marking is not the zoom of the Zoom in command
        QCOMPARE(rec.Count(notify::ZoomModeChanged), 0);
        const TGrid& g = panel->Grid();
        const QPoint a(g.Left() + 40, g.Top() + 40), b(g.Left() + 140, g.Top() + 90);
        const TGrid before = g;
        QTest::mousePress(panel.get(), Qt::LeftButton, {}, a);
        QTest::mouseMove(panel.get(), b);
        QTest::mouseRelease(panel.get(), Qt::LeftButton, {}, b);
        QCOMPARE(rec.Count(notify::MarkDragEnded), 1);
        QCOMPARE(g.WorldMin.x, before.WorldMin.x); // no zoom

        // A zoom interrupts the marking mode, which comes back after it.
        panel->ZoomRequest(true);
        QCOMPARE(panel->DragShape(), 0);
        QTest::mousePress(panel.get(), Qt::LeftButton, {}, a);
        QTest::mouseRelease(panel.get(), Qt::LeftButton, {}, b);
        QCOMPARE(panel->DragShape(), 2);
        QVERIFY(g.WorldMin.x != before.WorldMin.x);
        panel->BeginMarkDrag(1);
        QCOMPARE(panel->DragShape(), 1);
    }

    void doubleClickSwallowsItsPress() {
        TwoLevelsShown();
        int doubles = 0;
        panel->OnDoubleClick = [&](QPoint) {
            ++doubles;
            panel->IgnoreNextPress();
        };
        const QPoint onTwo(panel->Grid().Left() + 50, panel->Grid().WorldToDeviceY(10) + 2);
        QMouseEvent dbl(QEvent::MouseButtonDblClick, onTwo, panel->mapToGlobal(onTwo), Qt::LeftButton,
                        Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(panel.get(), &dbl);
        QCOMPARE(doubles, 1);
        QCOMPARE(panel->ActiveIndex(), 1);
        QTest::mouseClick(panel.get(), Qt::LeftButton, {}, onTwo);
        QCOMPARE(panel->ActiveIndex(), 2);
    }

    void applyResultStepsKeepTheStyle() {
        panel->UndoEnabled = true;
        panel->AddCurve(Flat(1, "/data/one.dat"), true, true);
        panel->AddCurve(Flat(2, "/data/two.dat"), true, true);
        panel->Curve(2)->linecolor = 0x123456;
        // Two replacements: the first Undo brings back the curve before the second one, the next the curve
        // before the first, each in the curve's style.
        QVERIFY(panel->ApplyResult(std::make_unique<TCurveB>(Flat(7)), false, 2));
        QCOMPARE(rec.Last(notify::UndoStored), 1);
        QVERIFY(panel->ApplyResult(std::make_unique<TCurveB>(Flat(9)), false, 2));
        QCOMPARE(panel->Curve(2)->linecolor, TColor(0x123456));
        panel->Undo();
        QCOMPARE(panel->Curve(2)->Y(1), 7.0);
        QCOMPARE(panel->Curve(2)->linecolor, TColor(0x123456));
        QCOMPARE(rec.Last(notify::UndoStored), 1);
        panel->Undo();
        QCOMPARE(panel->Curve(2)->Y(1), 2.0);
        QVERIFY(!panel->HasUndo());
        QCOMPARE(rec.Last(notify::UndoStored), 0);
        // A deleted curve comes back (last) in its own style, not in that of the slot it lands in.
        panel->SetActiveCurve(1);
        panel->DeleteActiveCurve();
        panel->Undo();
        QCOMPARE(panel->Curve(1)->linecolor, TColor(0x123456));
        QCOMPARE(panel->Curve(2)->FileName, std::string("/data/one.dat"));

        // As a new curve: added last, without a file name, a step that takes it out again.
        rec.Calls.clear();
        QVERIFY(panel->ApplyResult(std::make_unique<TCurveB>(Flat(3, "/data/three.dat")), true, 1));
        QCOMPARE(panel->CurveCount(), 3);
        QVERIFY(panel->Curve(3)->FileName.empty());
        QVERIFY(!panel->Curve(3)->Saved);
        QCOMPARE(rec.Last(notify::UndoStored), 1);
        QCOMPARE(panel->History().Stack().text(panel->History().Count() - 1),
                 QStringLiteral("Operation of curve #1 as curve #3"));
        panel->Undo();
        QCOMPARE(panel->CurveCount(), 2);

        // Without undo enabled no step is kept.
        panel->UndoEnabled = false;
        const int steps = panel->History().Count();
        rec.Calls.clear();
        QVERIFY(panel->ApplyResult(std::make_unique<TCurveB>(Flat(4)), false, 1));
        QVERIFY(panel->ApplyResult(std::make_unique<TCurveB>(Flat(5)), true, 1));
        QCOMPARE(panel->History().Count(), steps);
        QCOMPARE(rec.Count(notify::UndoStored), 0);
    }

    void droppedPanelAddsItsActiveCurve() {
        panel->AddCurve(Flat(1, "a.dat"), true, true);
        panel->Curve(1)->linecolor = 0x123456;
        TCurvePanel other(nullptr, nullptr);
        other.resize(300, 200);
        other.AddCurve(Flat(5, "b.dat"), true, true);
        auto drop = [](TCurvePanel& target, QMimeData* mime) {
            QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&target, &enter);
            QDropEvent dropped(QPointF(20, 20), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(&target, &dropped);
            delete mime;
        };
        drop(other, panel->MakeDragData());
        QCOMPARE(other.CurveCount(), 2);
        QCOMPARE(other.Curve(2)->linecolor, TColor(0x123456));
        QVERIFY(other.Curve(2)->FileName.empty());
        QVERIFY(!other.Curve(2)->Saved);
        drop(*panel, panel->MakeDragData()); // onto itself: nothing
        QCOMPARE(panel->CurveCount(), 1);
    }

    void curvePickerListsEveryCurveWithItsStyle() {
        TGraphicComboBox picker;
        picker.resize(200, 20);
        panel->AddCurve(Flat(1, "C:\\data\\run.txt"), true, true);
        panel->AddCurve(Flat(2, "/home/u/two.dat"), true, true);
        panel->FillCurveCombo(picker, true);
        QCOMPARE(picker.count(), 3);
        QCOMPARE(picker.itemText(0), QStringLiteral("#1: run.txt"));
        QCOMPARE(picker.itemText(1), QStringLiteral("#2: two.dat"));
        QCOMPARE(picker.itemText(2), QStringLiteral("none"));
        QVERIFY(picker.ItemImage(2).isNull());
        // The sample of curve 2 shows its colour (fuchsia) on the background.
        const QImage sample = picker.ItemImage(1);
        QCOMPARE(sample.pixelColor(sample.width() / 2, sample.height() / 2),
                 ToQColor(panel->Curve(2)->linecolor));
    }
};

QTEST_MAIN(TestCurvePanel)
#include "test_curvepanel.moc"
