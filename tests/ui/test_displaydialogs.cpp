// The colour picker, the display properties dialog and the axes dialog, opened from a curve window as a
// user would (menus and double clicks) and driven while they show.
#include "app/curvewin.h"
#include "modaldialogs.h"
#include "plot/AxisScaleDlg.h"
#include "plot/CurvePanels.h"
#include "plot/CurveProps.h"
#include "plot/SpecialCombos.h"
#include "plot/w_curve.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QStyle>
#include <QTest>

namespace {
TCurveB Line(double y0, double slope) {
    TCurveB c;
    for (int i = 0; i <= 10; ++i) c.AddPoint(i, y0 + slope * i);
    c.CalcRanges();
    return c;
}

// The user picks item `index` of a picker.
void Choose(TColorCombo* combo, int index) {
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

} // namespace

class TestDisplayDialogs : public QObject, TWindowFixture {
    Q_OBJECT

    TPlottedCurve& C(int n) { return *win->CurvePanel->Curve(n); }
    TGrid& G() { return win->CurvePanel->Grid(); }
    void Run(const char* name) { A(name)->trigger(); }

private slots:
    void initTestCase() { IsolateUserFiles(); }
    void init() {
        QVERIFY(OpenWindow());
        win->resize(700, 500);
        win->CurvePanel->AddCurve(Line(0, 1), true, false);
        win->CurvePanel->AddCurve(Line(100, 0), true, true);
        win->CurvePanel->repaint();
    }
    void cleanup() { CloseWindow(); }

    void colourPickerNamesColoursAndTakesOthers() {
        TColorCombo colours;
        colours.FillColors();
        const int standard = colours.count();
        colours.setCurrentIndex(-1);
        QCOMPARE(colours.SelectedColor(), TColor(0x000000));

        // "Other...": a named colour selects its item, any other gets one of its own; Cancel keeps the
        // choice.
        QSignalSpy changed(&colours, &TColorCombo::Changed);
        Choose(&colours, 2);
        msg->Colors = {QColor(0, 0, 255), QColor(0x12, 0x34, 0x56)};
        Choose(&colours, colours.count() - 1);
        QCOMPARE(colours.currentText(), QStringLiteral("blue"));
        Choose(&colours, colours.count() - 1);
        QCOMPARE(colours.currentText(), QStringLiteral("#123456"));
        QCOMPARE(colours.SelectedColor(), TColor(0x563412));
        Choose(&colours, colours.count() - 1);
        QCOMPARE(colours.currentText(), QStringLiteral("#123456"));
        QCOMPARE(changed.count(), 3);
        QCOMPARE(colours.count(), standard + 1);
    }

    void displayDialogStoresOnlyWhatWasApplied() {
        C(1).linecolor = 0x563412; // no named colour
        C(1).line = true;
        C(2).linecolor = 0x808080;
        // An unnamed colour is shown as itself, and storing keeps it.
        WhileShown<TCurveProperties>([](TCurveProperties& d) {
            QCOMPARE(d.windowTitle(), QStringLiteral("Display Properties - Curve #1"));
            QCOMPARE(d.LineColor->currentText(), QStringLiteral("#123456"));
            QVERIFY(d.LineColor->isEnabled());
            QVERIFY(!d.SymbolSize->isEnabled());
            d.SymbolCheck->click();
            QVERIFY(d.SymbolSize->isEnabled());
            d.SymbolSize->setValue(7);
            d.OKBtn->click();
        });
        win->CurvePanel->SetActiveCurve(1);
        Run("Curvedisplay1");
        QCOMPARE(C(1).linecolor, TColor(0x563412));
        QVERIFY(C(1).symbol);
        QCOMPARE(C(1).SymbolSize, 7);

        // Grey selects "dark grey". Apply stores and turns Cancel into Close; a change after it is dropped by
        // Close, as is a change with Close alone.
        win->CurvePanel->SetActiveCurve(2);
        WhileShown<TCurveProperties>([](TCurveProperties& d) {
            QCOMPARE(d.LineColor->currentText(), QStringLiteral("dark grey"));
            QCOMPARE(d.CancelBtn->text(), QStringLiteral("Cancel"));
            Choose(d.LineColor, 2);
            d.ApplyBtn->click();
            QCOMPARE(d.CancelBtn->text(), QStringLiteral("Close"));
            Choose(d.LineColor, 0);
            d.CancelBtn->click();
        });
        Run("PopDisplay");
        QCOMPARE(C(2).linecolor, TColor(0x0000FF));
        WhileShown<TCurveProperties>([](TCurveProperties& d) {
            QCOMPARE(d.CancelBtn->text(), QStringLiteral("Cancel"));
            d.LineCheck->click();
            d.CancelBtn->click();
        });
        Run("Curvedisplay1");
        QVERIFY(C(2).line);
    }

    void doubleClickOpensDisplayInsideTheFrameAndAxesOutside() {
        QString opened;
        auto note = [&opened](QDialog& d) { opened = d.windowTitle(); };
        // Near curve 1 (y = x), while curve 2 is active: the click chooses the curve edited.
        const QPoint nearOne(G().WorldToDeviceX(5), G().WorldToDeviceY(5));
        WhileShown<QDialog>(note);
        QTest::mouseDClick(win->CurvePanel, Qt::LeftButton, {}, nearOne);
        QCOMPARE(opened, QStringLiteral("Display Properties - Curve #1"));
        WhileShown<QDialog>(note);
        QTest::mouseDClick(win->CurvePanel, Qt::LeftButton, {}, QPoint(G().Left() / 2, G().Top() + 5));
        QCOMPARE(opened, QStringLiteral("Axis Scaling"));
    }

    void axesApplyConfirmedValuesAndFixRanges() {
        QSignalSpy captions(win->CurvePanel, &TCurvePanel::AxisCaptionsChanged);
        WhileShown<TAxesDlg>([&](TAxesDlg& d) {
            QVERIFY(!d.ApplyBtn->isVisible());
            // A number counts once confirmed: typing 250 never applies 2 or 25 on the way.
            Enter(d.Y1, "5");
            d.Y2->setFocus();
            d.Y2->selectAll();
            QTest::keyClicks(d.Y2, "25");
            QCOMPARE(G().WorldMax.y, 100.0); // the range from the curves, still
            QCOMPARE(d.Y2->text(), QStringLiteral("25"));
            QTest::keyClicks(d.Y2, "0");
            QTest::keyClick(d.Y2, Qt::Key_Return);
            QCOMPARE(G().WorldMin.y, 5.0);
            QCOMPARE(G().WorldMax.y, 250.0);
            // A maximum not above its minimum is raised by 1, in the dialog too.
            Enter(d.X1, "5");
            Enter(d.X2, "5");
            QCOMPARE(G().WorldMax.x, 6.0);
            QCOMPARE(d.X2->text(), QStringLiteral("6"));
            // Captions apply as they are typed, the title only with the next change.
            QTest::keyClicks(d.YCaption, "volts");
            QCOMPARE(G().YCaption, QStringLiteral("volts"));
            QTest::keyClicks(d.title, "run");
            QVERIFY(!G().Title.contains(QStringLiteral("run")));
            // Log scale with a minimum below zero: the fix shows in the fields; Y keeps its own limit.
            Enter(d.X1, "-3");
            Enter(d.X2, "5");
            d.XLogScale->click();
            QVERIFY(G().XLog);
            QCOMPARE(G().WorldMin.x, 0.05);
            QCOMPARE(d.X1->text(), QStringLiteral("0.05"));
            Enter(d.X1, "-1"); // refused on a log axis: the lowest it takes
            QCOMPARE(d.X1->text(), QStringLiteral("1e-20"));
            Enter(d.Y1, "-2");
            QCOMPARE(G().WorldMin.y, -2.0);
            // No finite number: refused by name, the axis keeps its value and the field the text, for
            // correcting; OK refuses it too and the dialog stays.
            Enter(d.Y1, "inf");
            QCOMPARE(G().WorldMin.y, -2.0);
            QCOMPARE(d.Y1->text(), QStringLiteral("inf"));
            Enter(d.Y1, "1e400");
            QCOMPARE(G().WorldMin.y, -2.0);
            d.OkBtn->click();
            QVERIFY(d.isVisible());
            QCOMPARE(msg->Texts("error"),
                     QStringList({QStringLiteral("Y Axis Min: \"inf\" is not a finite number."),
                                  QStringLiteral("Y Axis Min: \"1e400\" is not a finite number."),
                                  QStringLiteral("Y Axis Min: \"1e400\" is not a finite number.")}));
            Enter(d.Y1, "-2");
            d.XLogScale->click();
            Enter(d.X1, "-1");
            QCOMPARE(G().WorldMin.x, -1.0);
            d.OkBtn->click();
        });
        Run("Axes1");
        QCOMPARE(G().YDiv, 4);
        QVERIFY(G().Title.endsWith(QStringLiteral("run")));
        QVERIFY(!captions.isEmpty());
        QCOMPARE(captions.last().at(1).toString(), QStringLiteral("volts"));
    }

    void axesStayUnderTheirOwnMessage() {
        // A message over the dialog (a refused number) leaves it open; another window in front closes it.
        WhileShown<TAxesDlg>([this](TAxesDlg& d) {
            QMessageBox box(QMessageBox::Critical, QStringLiteral("Graphmill"), QStringLiteral("refused"),
                            QMessageBox::Ok, &d);
            box.open();
            QApplication::setActiveWindow(&box);
            QTest::qWait(20);
            QVERIFY(d.isVisible());
            box.close();
            QApplication::setActiveWindow(&d);
            QApplication::setActiveWindow(win.get());
            QTRY_VERIFY(!d.isVisible());
        });
        Run("Axes1");
    }

    void axesFieldsShowEveryDigit() {
        G().WorldMin = {-0.1943951023931953, -2.2250738585072014e-308};
        G().WorldMax = {1.0000000000000002, 1.7976931348623157e308};
        WhileShown<TAxesDlg>([](TAxesDlg& d) {
            // Each field holds its whole text: the frame and the edit's inner margins (2 pixels a side)
            // besides.
            for (QLineEdit* e : {d.X1, d.X2, d.Y1, d.Y2}) {
                const int frame = e->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, e);
                QVERIFY2(e->width() >= e->fontMetrics().horizontalAdvance(e->text()) + 2 * frame + 4,
                         qPrintable(e->text()));
            }
            QCOMPARE(d.X1->text(), QStringLiteral("-0.1943951023931953"));
        });
        Run("Axes1");
    }

    // Last: it leaves the shared dialog with Auto Update off.
    void axesCancelPutsBackEverythingExactly() {
        // Ranges that need more than five digits, a title and a caption typed: Cancel restores them all.
        G().WorldMin = {1.00001e9, 1700000000.123};
        G().WorldMax = {1.00002e9, 1700000001.5};
        const RealPoint min = G().WorldMin, max = G().WorldMax;
        WhileShown<TAxesDlg>([&](TAxesDlg& d) {
            QCOMPARE(d.Y1->text(), QStringLiteral("1700000000.123"));
            d.AutoUpdate->click();
            QVERIFY(d.ApplyBtn->isVisible());
            QTest::keyClicks(d.title, "new title");
            QTest::keyClicks(d.XCaption, "time");
            Enter(d.X2, "2e9");
            QCOMPARE(G().WorldMax.x, max.x); // nothing applied without Auto Update
            d.ApplyBtn->click();
            QCOMPARE(G().WorldMax.x, 2e9);
            d.X1->setFocus();
            QTest::keyClicks(d.X1, "7"); // half typed, then Escape
            QTest::keyClick(&d, Qt::Key_Escape);
        });
        Run("AxesBtn");
        QCOMPARE(G().WorldMin.x, min.x);
        QCOMPARE(G().WorldMax.x, max.x);
        QCOMPARE(G().WorldMin.y, min.y);
        QCOMPARE(G().WorldMax.y, max.y);
        QCOMPARE(G().Title, QString());
        QCOMPARE(G().XCaption, QString());
    }
};

QTEST_MAIN(TestDisplayDialogs)
#include "test_displaydialogs.moc"
