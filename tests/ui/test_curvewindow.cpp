// Curve windows driven as a user would: menus and buttons, keys, the status area, files, closing questions
// with scripted answers, and the placement of windows.
#include "app/curvewin.h"
#include "app/placement.h"
#include "curves/SmoothDialog.h"
#include "plot/CurvePanels.h"
#include "plot/SpecialCombos.h"
#include "plot/w_curve.h"
#include "windowfixture.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QScreen>
#include <QSet>
#include <QStatusTipEvent>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QToolBar>

class TestCurveWindow : public QObject, TWindowFixture {
    Q_OBJECT

private slots:
    void initTestCase() { IsolateUserFiles(); }
    void init() { QVERIFY(OpenWindow()); }
    void cleanup() { CloseWindow(); }

    void everyButtonHasAPictureOfItsOwn() {
        // Every button but the text button "log " shows a picture of its own.
        QSet<QByteArray> pictures;
        int buttons = 0;
        for (QToolBar* band : win->ToolbarBands())
            for (QAction* a : band->actions()) {
                if (a->objectName() == QLatin1String("LogBtn")) continue;
                ++buttons;
                const QImage icon = a->icon().pixmap(22, 22).toImage();
                int drawn = 0;
                for (int y = 0; y < icon.height(); ++y)
                    for (int x = 0; x < icon.width(); ++x) drawn += qAlpha(icon.pixel(x, y)) > 128;
                QVERIFY2(drawn > 20, qPrintable(a->objectName()));
                pictures.insert(
                    QByteArray(reinterpret_cast<const char*>(icon.constBits()), icon.sizeInBytes()));
            }
        QCOMPARE(pictures.size(), buttons);
        // Commands that are not built yet are not shown.
        QVERIFY(!A("PopTable")->isVisible());
        QVERIFY(A("PopOpen")->isVisible());
        A("toolbar1")->trigger();
        QVERIFY(win->ToolbarBands().front()->isHidden());
        QVERIFY(!A("toolbar1")->isChecked());
    }

    void menuShortcutsDoOnlyTheirOwnCommand() {
        win->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(win.get()));
        win->CurvePanel->AddCurve(MakeCurve({{0, 1}, {1, 2}}, "a.dat"), true, true);
        win->CurvePanel->AddCurve(MakeCurve({{0, 3}, {1, 4}}, "b.dat"), true, true);
        QWidget* plot = win->CurvePanel;
        plot->setFocus();
        // A menu shortcut runs its own command, never the plain key of another (C switches the cursor, R
        // deletes, E clears, G picks a range); Ctrl+E and Ctrl+G are no shortcut and do nothing.
        QTest::keyClick(plot, Qt::Key_C, Qt::ControlModifier); // Copy
        QVERIFY(!win->CurvePanel->IsCursorShown());
        QVERIFY(QApplication::clipboard()->mimeData()->hasFormat(QStringLiteral("BinaryCurve")));
        QTest::keyClick(plot, Qt::Key_X, Qt::ControlModifier); // Cut
        QCOMPARE(win->CurvePanel->CurveCount(), 1);
        QTest::keyClick(plot, Qt::Key_V, Qt::ControlModifier); // Paste
        QCOMPARE(win->CurvePanel->CurveCount(), 2);
        QTest::keyClick(plot, Qt::Key_E, Qt::ControlModifier);
        QTest::keyClick(plot, Qt::Key_G, Qt::ControlModifier);
        QCOMPARE(win->CurvePanel->CurveCount(), 2);
        QCOMPARE(win->PickMode, 0);
        QTest::keyClick(plot, Qt::Key_R, Qt::ControlModifier); // Smooth/Regression
        QVERIFY(win->SmoothDialog != nullptr && win->SmoothDialog->isVisible());
        QCOMPARE(win->CurvePanel->CurveCount(), 2);
        QVERIFY(msg->Log.empty());
        win->SmoothDialog->close();
        win->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(win.get()));
        plot->setFocus();
        // Alt or Meta with a plain key does nothing either; Shift does not stop a plain key.
        QTest::keyClick(plot, Qt::Key_R, Qt::AltModifier);
        QCOMPARE(win->CurvePanel->CurveCount(), 2);
        QTest::keyClick(plot, Qt::Key_C, Qt::ShiftModifier);
        QVERIFY(win->CurvePanel->IsCursorShown());
        // Del is the Delete command's own shortcut.
        QTest::keyClick(plot, Qt::Key_Delete);
        QCOMPARE(win->CurvePanel->CurveCount(), 1);

        // Letters typed into a text field of the window are the field's.
        auto* field = new QLineEdit(win->centralWidget());
        field->show();
        field->setFocus();
        QTest::keyClicks(field, QStringLiteral("ercgs l"));
        QCOMPARE(field->text(), QStringLiteral("ercgs l"));
        QCOMPARE(win->CurvePanel->CurveCount(), 1);
        QVERIFY(msg->Log.empty());
        delete field;
    }

    void activePickerChoosesTheActiveCurve() {
        for (const char* name : {"one.dat", "two.dat", "noisy_peak_with_a_long_name.dat"})
            win->CurvePanel->AddCurve(MakeCurve({{0, 1}, {1, 2}}, name), true, true);
        QCOMPARE(win->CurvePanel->ActiveIndex(), 1);
        emit win->CurvePicker->activated(1);
        QCOMPARE(win->CurvePanel->ActiveIndex(), 2);
        QCOMPARE(win->CurvePicker->currentIndex(), 1);
        QCOMPARE(win->FileNamePanel()->text(), QStringLiteral("two.dat"));
        // Wide enough for its longest line.
        const QFontMetrics fm(win->CurvePicker->font());
        QVERIFY(win->CurvePicker->width() >=
                fm.horizontalAdvance(QStringLiteral("#3: noisy_peak_with_a_long_name.dat")) + 30);
        // The style sample of the chosen line stops at the text field: the drop-down button stays in view.
        win->CurvePanel->SetActiveCurve(3);
        QStyleOptionComboBox opt;
        opt.initFrom(win->CurvePicker);
        const QRect field = win->CurvePicker->style()->subControlRect(
            QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, win->CurvePicker);
        const QImage picker = win->CurvePicker->grab().toImage();
        const QColor sample = ToQColor(win->CurvePanel->CurveSet().SlotColor(3));
        int inField = 0, beyond = 0;
        for (int y = 0; y < picker.height(); ++y)
            for (int x = 0; x < picker.width(); ++x)
                (x <= field.right() ? inField : beyond) += picker.pixelColor(x, y) == sample;
        QVERIFY(inField > 10);
        QCOMPARE(beyond, 0);
    }

    void commandsFollowTheCountOfCurves() {
        for (const char* n :
             {"DerivativeBtn", "IntegralBtn", "SaveBtn", "ZoomInBtn", "CursorBtn", "RemoveRangeBtn", "LogBtn",
              "Save1", "SaveAs1", "Integral1", "Cursor1", "Zoom1", "In1", "Out1"})
            QVERIFY2(!A(n)->isEnabled(), n);
        QVERIFY(!A("Undo1")->isEnabled());
        QVERIFY(A("LoadBtn")->isEnabled());
        // The text button "log " looks disabled too: no navy text.
        QWidget* log = win->ToolbarBands().at(2)->widgetForAction(A("LogBtn"));
        auto navy = [log] {
            const QImage img = log->grab().toImage();
            int n = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x) {
                    const QColor c = img.pixelColor(x, y);
                    n += c.blue() > 90 && c.red() < 60 && c.green() < 60;
                }
            return n;
        };
        QCOMPARE(navy(), 0);
        QVERIFY(!A("PopSave")->isVisible());
        QVERIFY(!A("PopClear")->isVisible());
        // Keys on an empty set change nothing and ask nothing.
        QTest::keyClick(win.get(), Qt::Key_C);
        QTest::keyClick(win.get(), Qt::Key_G);
        QTest::keyClick(win.get(), Qt::Key_Space);
        QVERIFY(!win->CurvePanel->IsCursorShown());
        QCOMPARE(win->PickMode, 0);
        QCOMPARE(win->StatusLine()->text(), QStringLiteral("Load a file"));

        win->CurvePanel->AddCurve(MakeCurve({{0, 1}, {1, 2}, {2, 3}}, "a.dat"), true, true);
        QCOMPARE(win->StatusLine()->text(), QStringLiteral("Operate on the active curve"));
        for (const char* n : {"DerivativeBtn", "Save1", "Cursor1", "Zoom1"}) QVERIFY2(A(n)->isEnabled(), n);
        QVERIFY(A("PopSave")->isVisible());
        QVERIFY(navy() > 0);
        QCOMPARE(win->FileNamePanel()->text(), QStringLiteral("a.dat"));
        QCOMPARE(win->CurvePicker->currentText(), QStringLiteral("#1: a.dat"));
        // The commands of two curves wait for the second one, and follow a delete and its Undo.
        auto twoCurveCommands = [this] {
            return win->CommandUsable("Averagecurves1") && win->CommandUsable("AverageBtn") &&
                   win->CommandUsable("Curvemath1") && win->CommandUsable("CurveMathBtn");
        };
        QVERIFY(!twoCurveCommands());
        win->CurvePanel->AddCurve(MakeCurve({{0, 3}, {1, 4}}, "b.dat"), true, true);
        QVERIFY(twoCurveCommands());
        A("Delete1")->trigger();
        QVERIFY(!twoCurveCommands());
        A("Undo1")->trigger();
        QVERIFY(twoCurveCommands());
    }

    void integralReplacesTheCurveAndReportsTheTotal() {
        win->CurvePanel->AddCurve(MakeCurve({{0, 1}, {1, 1}, {2, 1}}, "c.dat"), true, true);
        win->CurvePanel->Curve(1)->linecolor = 0x0000FF;
        A("IntegralBtn")->trigger();
        QCOMPARE(msg->Texts("information"), QStringList{QStringLiteral("Definite integral:  2")});
        QCOMPARE(win->CurvePanel->CurveCount(), 1);
        QCOMPARE(win->CurvePanel->Curve(1)->Y(3), 2.0);
        QCOMPARE(win->CurvePanel->Curve(1)->linecolor, TColor(0x0000FF));
        QVERIFY(A("Undo1")->isEnabled());
        A("Undo1")->trigger();
        QCOMPARE(win->CurvePanel->Curve(1)->Y(3), 1.0);
        QVERIFY(!A("Undo1")->isEnabled());

        // New-curve mode: the derivative joins as a new curve, and Undo takes it out again.
        A("NewCurveModeBtn")->trigger();
        QVERIFY(win->NewCurveMode);
        A("DerivativeBtn")->trigger();
        QCOMPARE(win->CurvePanel->CurveCount(), 2);
        QCOMPARE(win->CurvePanel->Curve(1)->Y(3), 1.0);
        A("Undo1")->trigger();
        QCOMPARE(win->CurvePanel->CurveCount(), 1);
        QVERIFY(!A("Undo1")->isEnabled());
    }

    void failedOperationsLeaveTheSetUnchangedAndSayWhy() {
        win->CurvePanel->AddCurve(MakeCurve({{0, 1e-310}, {1, 2}}, "tiny.dat"), true, true);
        A("InverseBtn")->trigger();
        QCOMPARE(msg->Texts("error"), QStringList{QStringLiteral("Floating point overflow")});
        QCOMPARE(win->CurvePanel->Curve(1)->Y(2), 2.0);
        QVERIFY(!A("Undo1")->isEnabled());
        // An operation that refuses the curve says why and changes nothing.
        A("DerivativeBtn")->trigger();
        QCOMPARE(msg->Texts("error").last(),
                 QStringLiteral("The derivative needs at least three points; the curve has 2."));
        QVERIFY(!A("Undo1")->isEnabled());
    }

    void removeRangeByPickingTwoPoints() {
        std::vector<std::pair<double, double>> pts;
        for (int i = 0; i < 10; ++i) pts.push_back({double(i), double(i * i)});
        win->CurvePanel->AddCurve(MakeCurve(pts, "r.dat"), true, true);
        QTest::keyClick(win.get(), Qt::Key_G);
        QCOMPARE(win->StatusLine()->text(), QStringLiteral("Click on left bound of range"));
        // A change of the set meanwhile leaves the pick's prompt in place.
        win->RefreshAfterSetChange();
        QCOMPARE(win->StatusLine()->text(), QStringLiteral("Click on left bound of range"));
        QVERIFY(A("RemoveRangeBtn")->isChecked());
        const int first = win->CurvePanel->Crosshair.Index;
        QTest::keyClick(win.get(), Qt::Key_Return);
        QCOMPARE(win->StatusLine()->text(), QStringLiteral("Click on right bound of range"));
        QTest::keyClick(win.get(), Qt::Key_Right);
        QTest::keyClick(win.get(), Qt::Key_Right);
        QCOMPARE(win->CurvePanel->Crosshair.Index, first + 2);
        QTest::keyClick(win.get(), Qt::Key_Return);
        QCOMPARE(win->CurvePanel->Curve(1)->Count(), 7);
        QCOMPARE(win->StatusLine()->text(), QStringLiteral("Operate on the active curve"));
        QVERIFY(!A("RemoveRangeBtn")->isChecked());
        QVERIFY(!win->CurvePanel->IsPointPick());
        QVERIFY(A("Undo1")->isEnabled());

        // The same with mouse clicks on the plot, the right bound picked first.
        win->CurvePanel->repaint();
        const TGrid& g = win->CurvePanel->Grid();
        auto at = [&](double x) { return QPoint(g.WorldToDeviceX(x), (g.Top() + g.Bottom()) / 2); };
        A("RemoveRangeBtn")->trigger();
        QVERIFY(win->CurvePanel->IsPointPick());
        QTest::mouseMove(win->CurvePanel, at(6));
        QTest::mouseClick(win->CurvePanel, Qt::LeftButton, {}, at(6));
        QTest::mouseMove(win->CurvePanel, at(7.9));
        QTest::mouseClick(win->CurvePanel, Qt::LeftButton, {}, at(7.9));
        QCOMPARE(win->CurvePanel->Curve(1)->Count(), 5);
        QCOMPARE(win->CurvePanel->Curve(1)->X(5), 9.0);
        A("Undo1")->trigger();
        QCOMPARE(win->CurvePanel->Curve(1)->Count(), 7);

        // Bounds as far apart as the whole curve are refused.
        win->BeginRemoveRange();
        win->Notify(notify::PointPicked, 1, 0);
        win->Notify(notify::PointPicked, 7, 0);
        QCOMPARE(msg->Texts("error"), QStringList{QStringLiteral("Invalid points")});
        QCOMPARE(win->CurvePanel->Curve(1)->Count(), 7);

        // Switching the cursor off ends the pick; G starts a new one, and a click chooses curves again after.
        QTest::keyClick(win.get(), Qt::Key_G);
        QTest::keyClick(win.get(), Qt::Key_C);
        QCOMPARE(win->PickMode, 0);
        QVERIFY(!A("RemoveRangeBtn")->isChecked());
        QCOMPARE(win->StatusLine()->text(), QStringLiteral("Operate on the active curve"));
        QTest::keyClick(win.get(), Qt::Key_G);
        QVERIFY(win->CurvePanel->IsPointPick());
        QVERIFY(A("RemoveRangeBtn")->isChecked());
        QTest::keyClick(win.get(), Qt::Key_C);
        QVERIFY(win->CurvePanel->SelectNearest);
        QVERIFY(win->CurvePanel->Crosshair.Interpolate);
        // Deleting the last curve while picking ends the pick as well.
        QTest::keyClick(win.get(), Qt::Key_G);
        QTest::keyClick(win.get(), Qt::Key_R);
        QCOMPARE(win->PickMode, 0);
        QVERIFY(!A("RemoveRangeBtn")->isChecked());
    }

    void deleteKeysCursorAndNextCurve() {
        win->CurvePanel->AddCurve(MakeCurve({{0, 1}, {1, 2}}, "a.dat"), true, true);
        win->CurvePanel->AddCurve(MakeCurve({{0, 3}, {1, 4}}, "b.dat"), true, true);
        win->CurvePanel->CurveSet().SetActive(1);
        QTest::keyClick(win.get(), Qt::Key_Space);
        QCOMPARE(win->CurvePanel->ActiveIndex(), 2);
        QTest::mouseClick(win->ActivePanel(), Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(win->CurvePanel->ActiveIndex(), 1);
        QTest::keyClick(win.get(), Qt::Key_C);
        QVERIFY(win->CurvePanel->IsCursorShown());
        QVERIFY(A("CursorBtn")->isChecked());
        QVERIFY(A("Cursor1")->isChecked());
        QVERIFY(!win->CursorPanel()->text().isEmpty());
        win->CurvePanel->Curve(1)->linecolor = 0x123456;
        QTest::keyClick(win.get(), Qt::Key_Dollar, Qt::ShiftModifier); // Shift+4: colours of the positions
        QCOMPARE(win->CurvePanel->Curve(1)->linecolor, win->CurvePanel->CurveSet().SlotColor(1));
        A("ZoomInBtn")->trigger();
        QVERIFY(win->CurvePanel->IsZoomMode());
        QTest::keyClick(win.get(), Qt::Key_C);
        QVERIFY(!win->CurvePanel->IsCursorShown());
        QTest::keyClick(win.get(), Qt::Key_C); // showing the cursor ends zoom mode
        QVERIFY(!A("ZoomInBtn")->isChecked());
        QTest::keyClick(win.get(), Qt::Key_R);
        QCOMPARE(win->CurvePanel->CurveCount(), 1);
        QCOMPARE(win->CurvePicker->count(), 1);
        QTest::keyClick(win.get(), Qt::Key_Delete);
        QCOMPARE(win->CurvePanel->CurveCount(), 0);
        QVERIFY(!win->CurvePanel->IsCursorShown());
        A("Undo1")->trigger();
        QCOMPARE(win->CurvePanel->CurveCount(), 1);
        QCOMPARE(win->CurvePanel->Curve(1)->FileName, std::string("b.dat"));
    }

    void clearAllAsksFirst() {
        win->CurvePanel->AddCurve(MakeCurve({{0, 1}, {1, 2}}), true, true);
        win->CurvePanel->AddCurve(MakeCurve({{0, 1}, {1, 2}}, "kept.dat"), true, true);
        win->CurvePanel->AddCurve(MakeCurve({{0, 1}, {1, 2}}), true, true);
        msg->SaveAnswers = {TSaveAnswer::No, TSaveAnswer::Cancel};
        QTest::keyClick(win.get(), Qt::Key_E);
        QCOMPARE(msg->Texts("asksave"), (QStringList{"Save curve #1  ?", "Save curve #3  ?"}));
        QCOMPARE(win->CurvePanel->CurveCount(), 3);
        msg->SaveAnswers = {TSaveAnswer::No, TSaveAnswer::No};
        const QRectF axes(QPointF(win->CurvePanel->Grid().WorldMin.x, win->CurvePanel->Grid().WorldMin.y),
                          QPointF(win->CurvePanel->Grid().WorldMax.x, win->CurvePanel->Grid().WorldMax.y));
        win->CurvePanel->SetActiveCurve(2);
        A("Clearall1")->trigger();
        QCOMPARE(win->CurvePanel->CurveCount(), 0);
        QVERIFY(!A("DerivativeBtn")->isEnabled());
        QCOMPARE(win->StatusLine()->text(), QStringLiteral("Load a file"));
        // Undo brings every curve back in its place, the active one active, the axes as they were.
        QVERIFY(A("Undo1")->isEnabled());
        A("Undo1")->trigger();
        QCOMPARE(win->CurvePanel->CurveCount(), 3);
        QCOMPARE(win->CurvePanel->ActiveIndex(), 2);
        QCOMPARE(win->CurvePanel->Curve(2)->FileName, std::string("kept.dat"));
        QCOMPARE(QRectF(QPointF(win->CurvePanel->Grid().WorldMin.x, win->CurvePanel->Grid().WorldMin.y),
                        QPointF(win->CurvePanel->Grid().WorldMax.x, win->CurvePanel->Grid().WorldMax.y)),
                 axes);
        QVERIFY(A("DerivativeBtn")->isEnabled());
    }

    void saveWithoutANameIsSaveAs() {
        win->CurvePanel->AddCurve(MakeCurve({{0, 1}, {1, 2}}), true, true);
        msg->FileNames = {Path("out.dat")};
        A("Save1")->trigger(); // no file name yet: Save as
        QCOMPARE(msg->Texts("save"), QStringList{"ASCII file (*.dat, *.txt, *.asc, *.lin);;Any file (*.*)"});
        QVERIFY(QFile::exists(Path("out.dat")));
        QVERIFY(win->CurvePanel->Curve(1)->Saved);
        QCOMPARE(win->FileNamePanel()->text(), QStringLiteral("out.dat"));
    }

    void openAndDroppedFiles() {
        WriteFile(Path("one.dat"), "1 2\n2 3\n3 5\n");
        WriteFile(Path("two.txt"), "header\nDATA\n0 1\n1 0\n");
        WriteFile(Path("empty.dat"), "");
        msg->FileNames = {Path("one.dat")};
        QTest::keyClick(win.get(), Qt::Key_L);
        QCOMPARE(win->CurvePanel->CurveCount(), 1);
        QCOMPARE(win->DataDir, dir.path() + QLatin1Char('/'));

        const int refreshes = win->RefreshCount();
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(Path("two.txt")), QUrl::fromLocalFile(Path("empty.dat")),
                      QUrl::fromLocalFile(Path("one.dat"))});
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(win.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(win.get(), &drop);
        QCOMPARE(win->CurvePanel->CurveCount(), 3);
        QCOMPARE(win->RefreshCount(), refreshes + 1); // one redraw for the whole drop
        QCOMPARE(msg->Texts("error").size(), 1);
        QVERIFY(msg->Texts("error").front().contains(QStringLiteral("empty.dat")));

        // A dropped name longer than 255 characters is loaded whole.
        QString deep = dir.path();
        while (deep.size() < 300) deep += QStringLiteral("/a_rather_long_folder_name_for_a_curve");
        QVERIFY(QDir().mkpath(deep));
        WriteFile(deep + "/deep.dat", "0 1\n1 2\n");
        win->DropFiles({deep + "/deep.dat"});
        QCOMPARE(win->CurvePanel->CurveCount(), 4);
        QCOMPARE(msg->Texts("error").size(), 1);
    }

    void fullWindowRefusesTheHundredAndFirstCurve() {
        for (int i = 0; i < 100; ++i)
            win->CurvePanel->AddCurve(MakeCurve({{0, double(i)}, {1, 1}}, "x"), false, false);
        WriteFile(Path("more.dat"), "1 2\n2 3\n");
        msg->FileNames = {Path("more.dat")};
        A("Open1")->trigger();
        QCOMPARE(win->CurvePanel->CurveCount(), 100);
        QCOMPARE(win->CurvePanel->Curve(1)->Y(1), 0.0);
        QCOMPARE(msg->Texts("error"), QStringList{"A curve window holds at most 100 curves."});
    }

    void closingAsksMainThenLastWindowsFirst() {
        Tcurvewindow* second = win->NewWindow();
        Tcurvewindow* third = win->NewWindow();
        QCOMPARE(win->NextWindow, second);
        QCOMPARE(second->NextWindow, third);
        QCOMPARE(third->pos(), win->pos() + QPoint(40, 40));
        auto unsaved = [](Tcurvewindow* w, int n) {
            for (int i = 0; i < n; ++i) w->CurvePanel->AddCurve(MakeCurve({{0, 1}, {1, 2}}), true, true);
        };
        unsaved(win.get(), 1);
        unsaved(second, 2);
        unsaved(third, 1);
        win->CurvePanel->AddCurve(MakeCurve({{0, 1}, {1, 2}}, "saved.dat"), true, true);

        // Cancel at the main question keeps everything.
        msg->ConfirmAnswers = {false};
        QVERIFY(!win->close());
        QCOMPARE(win->LastWindow(), third);

        // Cancel in the middle window's questions: the third window is gone, the rest stays.
        msg->Log.clear();
        msg->ConfirmAnswers = {true};
        msg->SaveAnswers = {TSaveAnswer::No, TSaveAnswer::No, TSaveAnswer::Cancel};
        QVERIFY(!win->close());
        QCOMPARE(win->LastWindow(), second);
        QVERIFY(!second->ClosingByMain);

        msg->Log.clear();
        msg->ConfirmAnswers = {true};
        msg->SaveAnswers = {TSaveAnswer::No, TSaveAnswer::No, TSaveAnswer::No};
        QVERIFY(win->close());
        QCOMPARE(msg->Log.size(), size_t(4));
        QCOMPARE(msg->Log[0].text,
                 QStringLiteral("Closing the Graphmill main window will close all other curve "
                                "windows. Continue?"));
        QCOMPARE(msg->Log[1].text, QStringLiteral("Save curve #1  ?")); // second window, curve 1
        QCOMPARE(msg->Log[2].text, QStringLiteral("Save curve #2  ?")); // second window, curve 2
        QCOMPARE(msg->Log[3].text, QStringLiteral("Save curve #1  ?")); // main window; saved.dat is not asked
        QCOMPARE(win->NextWindow, nullptr);
    }

    void placementBesideOrBelow() {
        const QSize screen(1280, 1024);
        // Room on the left.
        QCOMPARE(ToolWindowPlace(1, QRect(500, 100, 400, 300), QSize(200, 150), screen), QPoint(299, 100));
        // No room left, room on the right.
        QCOMPARE(ToolWindowPlace(1, QRect(100, 100, 400, 300), QSize(200, 150), screen), QPoint(501, 100));
        // Near the bottom the tool window is pulled up onto the screen.
        QCOMPARE(ToolWindowPlace(4, QRect(100, 900, 400, 100), QSize(200, 150), screen), QPoint(501, 874));
        // No room on either side: mode 4 goes below, mode 1 to the screen edge farther from the window.
        QCOMPARE(ToolWindowPlace(4, QRect(100, 100, 1000, 300), QSize(300, 150), screen), QPoint(100, 401));
        QCOMPARE(ToolWindowPlace(1, QRect(100, 100, 1000, 300), QSize(300, 150), screen), QPoint(980, 100));
        QCOMPARE(ToolWindowPlace(1, QRect(200, 100, 1000, 300), QSize(300, 150), screen), QPoint(0, 100));
        QCOMPARE(ToolWindowPlace(2, QRect(1200, 900, 300, 100), QSize(300, 150), screen), QPoint(980, 874));
        QCOMPARE(ToolWindowPlace(3, QRect(500, 100, 400, 300), QSize(200, 150), screen), QPoint(299, 401));
        // Panels that stay open over the work: beside the window when there is room, left first, top-aligned.
        const QRect desk(0, 0, 1280, 1024);
        QCOMPARE(
            LeastHiddenPlace(QRect(500, 100, 400, 300), QRect(510, 150, 380, 200), {}, QSize(200, 150), desk),
            QPoint(299, 100));
        QCOMPARE(
            LeastHiddenPlace(QRect(100, 100, 400, 300), QRect(110, 150, 380, 200), {}, QSize(200, 150), desk),
            QPoint(501, 100));
        // A window of 900 on a screen of 1280 leaves no room for a panel of 560 beside it: below it then, not
        // over the right part of the plot.
        const QRect wide(50, 0, 900, 600), plot(60, 80, 880, 460);
        QCOMPARE(LeastHiddenPlace(wide, plot, {}, QSize(560, 400), desk), QPoint(0, 601));
        // No room anywhere: the least of the plot is hidden (here the window's bottom strip and below it).
        const QRect tall(50, 0, 900, 1000), tallPlot(60, 80, 880, 860);
        QCOMPARE(LeastHiddenPlace(tall, tallPlot, {}, QSize(560, 400), desk), QPoint(720, 624));
        // A window over the whole screen: just under its plot, over the status area, rather than lower.
        QCOMPARE(LeastHiddenPlace(desk, QRect(0, 50, 1280, 800), {}, QSize(300, 150), desk), QPoint(0, 851));
        // The function chooser keeps clear of the panel too, and of the window's picker where it can.
        const QRect panel(0, 601, 560, 400);
        const QPoint chooser = LeastHiddenPlace(wide, plot, {panel}, QSize(300, 380), desk);
        const QRect c(chooser, QSize(300, 380));
        QVERIFY(!c.intersects(panel) && !c.intersects(wide) && desk.contains(c));

        // The reply of the notification packs left and top.
        win->setGeometry(500, 100, 400, 300);
        const auto reply = static_cast<int32_t>(win->Notify(notify::PlaceToolWindow, 1, PackPair(200, 150)));
        QCOMPARE(UnpackHigh(reply), win->frameGeometry().top());
        QCOMPARE(UnpackLow(reply), win->frameGeometry().left() - 201);
    }

    void tileSharesTheScreenAndCascadeStepsByTheFrame() {
        // One window takes the whole area: the screen's, from the menu.
        A("Tile1")->trigger();
        QCOMPARE(win->frameGeometry(), win->screen()->availableGeometry());
        win->Tile(QRect(0, 20, 1280, 1004));
        QCOMPARE(win->frameGeometry(), QRect(0, 20, 1280, 1004));
        // Three share it in two columns and two rows, each as wide as its toolbar and status area need.
        Tcurvewindow* second = win->NewWindow();
        Tcurvewindow* third = win->NewWindow();
        win->Tile(QRect(0, 20, 1280, 1004));
        QCOMPARE(win->frameGeometry(), QRect(0, 20, 640, 502));
        QCOMPARE(second->frameGeometry(), QRect(640, 20, 640, 502));
        QCOMPARE(third->frameGeometry(), QRect(0, 522, 640, 502));
        // On a small screen a window is never cut below what it needs to show.
        win->Tile(QRect(0, 0, 600, 400));
        for (Tcurvewindow* w : {win.get(), second, third})
            QVERIFY(w->width() >= w->minimumSizeHint().width());
        third->close();
        win->Cascade();
        QCOMPARE(win->pos(), QPoint(50, 50));
        const int step = second->pos().x() - 50;
        QVERIFY(step > 0);
        QCOMPARE(second->pos(), QPoint(50 + step, 50 + step));
        second->close();
    }

    void statusLineShowsTheLongPartOfAHint() {
        // A hint "short|long": the short part is the tooltip, the long part goes to the status line while the
        // pointer is over the command; a hint without "|" serves as both; no hint gives the prompt back.
        const QString prompt = win->StatusLine()->text();
        QAction* button = A("DerivativeBtn");
        QCOMPARE(button->toolTip(), QStringLiteral("Derivative"));
        QVERIFY(button->showStatusText(win.get()));
        QCOMPARE(win->StatusLine()->text(), QStringLiteral("Take the derivative of the active curve"));
        QAction* item = A("Derivative1");
        QCOMPARE(item->toolTip(), QStringLiteral("Take the derivative of the active curve"));
        QCOMPARE(item->statusTip(), item->toolTip());
        QStatusTipEvent none{QString()};
        QApplication::sendEvent(win.get(), &none);
        QCOMPARE(win->StatusLine()->text(), prompt);
        QVERIFY(!prompt.isEmpty());
    }

    void anUnreachableDisplayIsReportedByName() {
        // The program itself on an X display that no server answers (one resetting answers after a moment):
        // it says which display and ends, instead of aborting in the window system layer.
        QProcess app;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        env.remove(QStringLiteral("XDG_SESSION_TYPE"));
        env.insert(QStringLiteral("DISPLAY"), QStringLiteral(":9971"));
        app.setProcessEnvironment(env);
        app.start(QStringLiteral(GRAPHMILL_APP), {});
        QVERIFY(app.waitForFinished(30000));
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.exitCode(), 1);
        QCOMPARE(app.readAllStandardError(),
                 QByteArray("graphmill: the X display \":9971\" cannot be reached\n"));
    }
};

QTEST_MAIN(TestCurveWindow)
#include "test_curvewindow.moc"
