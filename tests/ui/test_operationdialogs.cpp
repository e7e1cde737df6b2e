// The operation dialogs driven as a user would, from the menus and buttons of a curve window to the changed
// curve: each result is compared with what graphmill-cli writes for the same file and settings. Also the
// numeric drag edit they are built from.
#include "app/curvewin.h"
#include "app/shareddialogs.h"
#include "curves/AvgCrvDialog.h"
#include "curves/CurveConstDlg.h"
#include "curves/CurveCurveDlg.h"
#include "curves/FFTDialog.h"
#include "curves/NewDialog.h"
#include "curves/SmoothDialog.h"
#include "curves/interpdialog.h"
#include "fit/RSpinEdit.h"
#include "modaldialogs.h"
#include "plot/CurvePanels.h"
#include "plot/SpecialCombos.h"
#include "windowfixture.h"

#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QToolBar>

namespace {
// A mouse event on a widget at x (mid height): press, move with the button down, release.
void Mouse(QWidget* w, QEvent::Type type, int x) {
    const QPointF p(x, w->height() / 2);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent e(type, p, w->mapToGlobal(p), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
void Drag(QWidget* w, std::initializer_list<int> xs) {
    Mouse(w, QEvent::MouseButtonPress, *xs.begin());
    for (const int x : xs) Mouse(w, QEvent::MouseMove, x);
    Mouse(w, QEvent::MouseButtonRelease, *(xs.end() - 1));
}

// A radio button takes a click on its indicator or caption, at its left.
void Choose(QWidget* radio) {
    QTest::mouseClick(radio, Qt::LeftButton, Qt::NoModifier, QPoint(6, radio->height() / 2));
}

template <class T = QPushButton>
T* Child(const QObject* parent, const char* name) {
    T* w = parent->findChild<T*>(QLatin1String(name));
    if (w == nullptr) qFatal("no control %s", name);
    return w;
}

} // namespace

class TestOperationDialogs : public QObject, TWindowFixture {
    Q_OBJECT

    QString File(const char* name, const std::vector<std::pair<double, double>>& points) {
        WriteFile(Path(name), MakeCurve(points).DataText());
        return Path(name);
    }
    QByteArray Active() const {
        return QByteArray::fromStdString(win->CurvePanel->ActiveCurve()->DataText());
    }
    void Trigger(const char* action) { A(action)->trigger(); }
    int32_t Count() const { return win->CurvePanel->CurveCount(); }

    QString wave, peak, line;

private slots:
    void initTestCase() {
        IsolateUserFiles();
        std::vector<std::pair<double, double>> w, p;
        for (int i = 0; i < 40; ++i) w.push_back({i * 0.25, 2 + std::sin(i * 0.7) + 0.1 * std::cos(i * 3.1)});
        for (int i = 0; i < 30; ++i)
            p.push_back({i * 0.3 + 0.1, std::exp(-0.1 * (i - 15) * (i - 15)) + 0.01 * i});
        wave = File("wave.dat", w);
        peak = File("peak.dat", p);
        line = File("line.dat", {{0, 1}, {1, 3}, {2, 5}, {3, 7}});
    }
    void init() {
        QVERIFY(OpenWindow());
        win->LoadFiles({wave, peak, line});
        win->CurvePanel->SetActiveCurve(1);
    }
    void cleanup() { CloseWindow(); }

    void dragEditArithmetic() {
        TRDragEdit e;
        e.resize(100, 20);
        double confirmed = 0;
        e.OnChange2 = [&] { confirmed = e.Value(); };
        e.SetValue(2);
        Drag(&e, {10, 20}); // 10 pixels to the right: 1 % each, as one factor 1.1
        QCOMPARE(e.Value(), 2.2);
        QCOMPARE(confirmed, 2.2);
        Drag(&e, {500, 0}); // however fast to the left, the value stays positive
        QVERIFY(e.Value() > 0 && e.Value() >= 2.2e-8 * 0.99999);
        e.SetValue(0);
        Drag(&e, {10, 11}); // 0 jumps to 0.1, then grows
        QCOMPARE(e.Value(), 0.101);
        e.SetValue(-1);
        Drag(&e, {10, 20}); // a negative value keeps its sign and grows in magnitude to the right
        QCOMPARE(e.Value(), -1.1);
        // Clamping comes before the confirmation, at the end of a drag and on Enter; without bounds none.
        e.SetLimits(0, 5);
        e.SetValue(4);
        Drag(&e, {0, 100});
        QCOMPARE(confirmed, 5.0);
        Type(&e, QStringLiteral("-3x"));
        QCOMPARE(e.text(), QStringLiteral("-3")); // the letter was refused
        QTest::keyClick(&e, Qt::Key_Return);
        QCOMPARE(confirmed, 0.0);
        Type(&e, QStringLiteral("-"));
        QCOMPARE(e.Value(), 0.0); // not a number: the last value
        e.SetLimits(0, 0);
        Type(&e, QStringLiteral("1e300"));
        QTest::keyClick(&e, Qt::Key_Return);
        QCOMPARE(confirmed, 1e300);
        // A locale with a decimal comma: "2,5" is 2.5.
        QLocale::setDefault(QLocale(QLocale::German));
        Type(&e, QStringLiteral("2,5"));
        QLocale::setDefault(QLocale::c());
        QCOMPARE(e.Value(), 2.5);
    }

    void fftFromMenuToUndo() {
        // A transform that cannot run says why and applies nothing: Undo stays off.
        win->LoadFiles({File("dup.dat", {{0, 1}, {1, 2}, {1, 3}, {2, 4}})});
        win->CurvePanel->SetActiveCurve(4);
        Trigger("FFT1");
        TFFTDlg* d = win->FFTDialog;
        QVERIFY(d != nullptr && d->isVisible());
        QVERIFY(Child<QRadioButton>(d, "MagnitudeBtn")->isChecked());
        QCOMPARE(d->ComplexList().currentText(), QStringLiteral("none"));
        QPushButton* execute = Child(d, "ExecuteBtn");
        QPushButton* undo = Child(d, "UndoBtn");
        const QByteArray dup = Active();
        QTest::mouseClick(execute, Qt::LeftButton);
        QCOMPARE(Active(), dup);
        QVERIFY(msg->Texts("error").value(0).contains(QLatin1String("rise strictly")));
        QVERIFY(!undo->isEnabled() && !win->Action(QStringLiteral("Undo1"))->isEnabled());
        // Choosing the real input makes it the active curve.
        emit d->RealList().activated(0);
        QCOMPARE(win->CurvePanel->ActiveIndex(), 1);
        const QByteArray before = Active();
        Choose(Child<QRadioButton>(d, "RealBtn"));
        // The complex input keeps its meaning when the lists are filled again: curve #2 stays #2, and "none"
        // stays none after a curve went.
        d->ComplexList().setCurrentIndex(1);
        QTest::mouseClick(execute, Qt::LeftButton);
        QCOMPARE(Active(), Cli({"fft", "--output", "real", "--imaginary", peak, wave}));
        QCOMPARE(d->ComplexList().currentText(), QStringLiteral("#2: peak.dat"));
        QVERIFY(undo->isEnabled());
        QTest::keyClick(d, Qt::Key_Escape); // Escape is Undo
        QCOMPARE(Active(), before);
        QVERIFY(!undo->isEnabled());
        // The close box only closes: the transform stays.
        QTest::mouseClick(execute, Qt::LeftButton);
        const QByteArray transformed = Active();
        QVERIFY(d->close());
        QCOMPARE(Active(), transformed);
        Trigger("FFT1");
        d->ComplexList().setCurrentIndex(d->ComplexList().count() - 1);
        win->CurvePanel->SetActiveCurve(3);
        Trigger("Delete1");
        QCOMPARE(d->ComplexList().currentText(), QStringLiteral("none"));
        // New-curve mode hides Undo.
        Trigger("NewCurveModeBtn");
        QVERIFY(undo->isHidden());
    }

    void smoothingMethodsAndMessages() {
        QTest::keyClick(win.get(), Qt::Key_R, Qt::ControlModifier);
        TSmoothDlg* d = win->SmoothDialog;
        QVERIFY(d != nullptr && d->isVisible());
        QWidget* stiffness = Child<QSpinBox>(d, "StiffnessEdit");
        QWidget* howMuch = Child<TRDragEdit>(d, "HowMuchEdit");
        QVERIFY(stiffness->isEnabled() && !howMuch->isEnabled());
        const QByteArray before = Active();
        QPushButton* execute = Child(d, "ExecuteBtn");
        QTest::mouseClick(execute, Qt::LeftButton);
        QCOMPARE(Active(), Cli({"smooth", "spline", wave}));
        QTest::mouseClick(Child(d, "UndoBtn"), Qt::LeftButton);
        QCOMPARE(Active(), before);
        Choose(Child<QRadioButton>(d, "SpectralBtn"));
        QVERIFY(!stiffness->isEnabled() && howMuch->isEnabled());
        Type(howMuch, QStringLiteral("20"));
        QTest::mouseClick(execute, Qt::LeftButton);
        QCOMPARE(Active(), Cli({"smooth", "spectral", "--how-much", "20", wave}));
        // Regression on the line of four points: the coefficients are shown; a failed run takes them away.
        win->CurvePanel->SetActiveCurve(3);
        Choose(Child<QRadioButton>(d, "RegressionBtn"));
        QTest::mouseClick(execute, Qt::LeftButton);
        QPushButton* view = Child(d, "ViewBtn");
        QVERIFY(view->isEnabled());
        QCOMPARE(d->CoefficientText(), QStringLiteral("Regression results:\na0:  1\na1:  2\n"));
        // Stiffness 0 is a window of 5 points: too many for the four points, said so, nothing changed.
        Choose(Child<QRadioButton>(d, "SplineBtn"));
        Type(stiffness, QStringLiteral("0"));
        const QByteArray four = Active();
        QTest::mouseClick(execute, Qt::LeftButton);
        QCOMPARE(Active(), four);
        QCOMPARE(msg->Texts("error"),
                 QStringList{QStringLiteral("Spline smoothing with stiffness 0 needs at least 5 points; the "
                                            "active curve has 4.")});
        QVERIFY(!view->isEnabled());
    }

    void interpolationPresetAndResult() {
        // A fine first spacing over a wide range: the preset interval is held at span / 67767.
        win->LoadFiles({File("fine.dat", {{0, 0}, {1e-6, 0}, {10, 1}})});
        win->CurvePanel->SetActiveCurve(4);
        WhileShown<TInterpDlg>([](TInterpDlg& d) {
            QCOMPARE(d.IntervalEdit().text(), QStringLiteral("0.00014756"));
            d.accept();
        });
        Trigger("InterpolateBtn");
        QCOMPARE(Active(), Cli({"interpolate", Path("fine.dat")}));
        Trigger("Undo1");
        QCOMPARE(win->CurvePanel->ActiveCurve()->Count(), 3);
        // Settings typed by the user, compared with the same settings given to the command line.
        win->CurvePanel->SetActiveCurve(1);
        WhileShown<TInterpDlg>([](TInterpDlg& d) {
            Type(&d.OffsetEdit(), QStringLiteral("0.1"));
            Type(&d.IntervalEdit(), QStringLiteral("0.3"));
            QTest::keyClick(&d.IntervalEdit(), Qt::Key_Return); // the default button
        });
        Trigger("Interpolate1");
        QCOMPARE(Active(), Cli({"interpolate", "--offset", "0.1", "--interval", "0.3", wave}));
    }

    void averageMovesOrderAndResult() {
        WhileShown<TAvgCrvDlg>([this](TAvgCrvDlg& d) {
            QListWidget& from = d.SourceList();
            QListWidget& to = d.DestinationList();
            QCOMPARE(from.count(), 3);
            QVERIFY(!Child(&d, "RemoveBtn")->isEnabled());
            QTest::mouseClick(Child(&d, "OkBtn"), Qt::LeftButton);
            QCOMPARE(msg->Texts("error"), QStringList{QStringLiteral(
                                              "You must place at least two curves in the destination box.")});
            QVERIFY(d.isVisible());
            // Curves 1 and 3 chosen together arrive in reverse order.
            from.clearSelection();
            for (const int row : {0, 2})
                QTest::mouseClick(from.viewport(), Qt::LeftButton, Qt::ControlModifier,
                                  from.visualItemRect(from.item(row)).center());
            QTest::mouseClick(Child(&d, "AddBtn"), Qt::LeftButton);
            QCOMPARE(to.count(), 2);
            QVERIFY(to.item(0)->text().startsWith(QLatin1String("Curve #3")));
            QVERIFY(Child(&d, "RemoveAllBtn")->isEnabled());
            QTest::mouseClick(Child(&d, "AddAllBtn"), Qt::LeftButton);
            QVERIFY(!Child(&d, "AddBtn")->isEnabled());
            to.setCurrentRow(2);
            QTest::mouseClick(Child(&d, "RemoveBtn"), Qt::LeftButton);
            QCOMPARE(std::vector<int32_t>(d.CurveNumbers()), (std::vector<int32_t>{3, 1}));
            Choose(Child<QRadioButton>(&d, "FirstCurveBtn"));
            QTest::mouseClick(Child(&d, "OkBtn"), Qt::LeftButton);
        });
        Trigger("Averagecurves1");
        QCOMPARE(Count(), 4);
        QCOMPARE(QByteArray::fromStdString(win->CurvePanel->Curve(4)->DataText()),
                 Cli({"average", "--grid", "first-curve", line, wave}));
    }

    void dataScalingServesTheWindowInUse() {
        Trigger("MathBtn");
        TCurveConst& d = SharedDialog<TCurveConst>();
        QVERIFY(d.isVisible() && Child(&d, "AddBtn")->isEnabled());
        const struct {
            const char* button;
            TRDragEdit* edit;
            const char* value;
            const char* op;
        } cases[] = {{"SubtractBtn", &d.AddEdit(), "2,5", "subtract"},
                     {"DivideBtn", &d.MultiplyEdit(), "-1e-12", "divide"},
                     {"MultiplyBtn", &d.MultiplyEdit(), "1e-40", "multiply"},
                     {"ShiftLeftBtn", &d.ShiftEdit(), "0.75", "shift-left"},
                     {"ShrinkBtn", &d.StretchEdit(), "-2", "shrink"}};
        QLocale::setDefault(QLocale(QLocale::German));
        for (const auto& c : cases) {
            const QString path = Path("active.dat");
            WriteFile(path, win->CurvePanel->ActiveCurve()->DataText());
            Type(c.edit, QLatin1String(c.value));
            QTest::mouseClick(Child(&d, c.button), Qt::LeftButton);
            QCOMPARE(Active(), Cli({"constant", c.op, QString::fromLatin1(c.value).replace(',', '.'), path}));
        }
        QLocale::setDefault(QLocale::c());
        // A divisor without a finite reciprocal is refused with a message.
        const QByteArray before = Active();
        Type(&d.MultiplyEdit(), QStringLiteral("0"));
        QTest::mouseClick(Child(&d, "DivideBtn"), Qt::LeftButton);
        QCOMPARE(Active(), before);
        QVERIFY(msg->Texts("error").value(0).startsWith(QLatin1String("Cannot divide by 0")));
        // A second window in use takes the tool over; closing it leaves the tool without a window.
        Tcurvewindow* second = win->NewWindow();
        second->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(second));
        QCOMPARE(d.Window(), second);
        QVERIFY(!Child(&d, "AddBtn")->isEnabled()); // the new window has no curves
        second->close();
        QVERIFY(!d.isVisible());
        QCOMPARE(d.Window(), nullptr);
    }

    void curveMathWithTheNextCurve() {
        Trigger("Curvemath1");
        TCurveCurve& d = SharedDialog<TCurveCurve>();
        QCOMPARE(d.CurveList().count(), 3);
        QCOMPARE(d.ChosenCurve(), 2); // the curve after the active one
        const QByteArray before = Active();
        for (const auto& [button, op] :
             {std::pair{"PlusBtn", "add"}, std::pair{"MinusBtn", "subtract"},
              std::pair{"TimesBtn", "multiply"}, std::pair{"DivideBtn", "divide"}}) {
            QTest::mouseClick(Child(&d, button), Qt::LeftButton);
            QCOMPARE(Active(), Cli({"math", op, wave, peak}));
            QTest::mouseClick(Child(&d, "UndoBtn"), Qt::LeftButton);
            QCOMPARE(Active(), before);
        }
        Trigger("NewCurveModeBtn");
        QVERIFY(Child(&d, "UndoBtn")->isHidden());
        d.close();
    }

    void formulaRangeAndResult() {
        win->CurvePanel->Grid().SetWorld({-2.0, 0.0}, {3.0, 1.0});
        WhileShown<TFunctionDlg>([this](TFunctionDlg& d) {
            QCOMPARE(d.LeftEdit().text(), QStringLiteral("-2"));
            QCOMPARE(d.RightEdit().text(), QStringLiteral("3"));
            // Left and Right bound each other only: a range 10..20 and a negative Left can be typed.
            Type(&d.RightEdit(), QStringLiteral("20"));
            QTest::keyClick(&d.RightEdit(), Qt::Key_Tab);
            Type(&d.LeftEdit(), QStringLiteral("10"));
            QTest::keyClick(&d.LeftEdit(), Qt::Key_Tab);
            QCOMPARE(d.Right(), 20.0);
            Type(&d.LeftEdit(), QStringLiteral("20"));
            QTest::keyClick(&d.LeftEdit(), Qt::Key_Tab); // equal: Right moves 0.1 on
            QCOMPARE(d.Right(), 20.1);
            // "Use window range" fills both from the axes and locks them.
            QTest::mouseClick(&d.WindowRangeButton(), Qt::LeftButton);
            QCOMPARE(d.Left(), -2.0);
            QVERIFY(!d.LeftEdit().isEnabled() && !d.RightEdit().isEnabled());
            QTest::mouseClick(&d.WindowRangeButton(), Qt::LeftButton);
            Type(&d.LeftEdit(), QStringLiteral("-1"));
            QTest::keyClick(&d.LeftEdit(), Qt::Key_Tab);
            Type(&d.RightEdit(), QStringLiteral("1"));
            QTest::keyClick(&d.RightEdit(), Qt::Key_Tab);
            Type(&d.StepsEdit(), QStringLiteral("3"));
            QTest::mouseClick(Child(&d, "OkBtn"), Qt::LeftButton);
            QCOMPARE(msg->Texts("error"), QStringList{QStringLiteral("Enter a function of x.")});
            QTest::keyClicks(&d.FunctionEdit(), QStringLiteral("x^"));
            QTest::mouseClick(Child(&d, "OkBtn"), Qt::LeftButton);
            QCOMPARE(msg->Texts("warning").size(), 1);
            QTest::keyClicks(&d.FunctionEdit(), QStringLiteral("2"));
            QTest::mouseClick(Child(&d, "OkBtn"), Qt::LeftButton);
        });
        QTest::mouseClick(win->ToolbarBands()[2]->widgetForAction(win->Action(QStringLiteral("FunctionBtn"))),
                          Qt::LeftButton);
        QCOMPARE(Count(), 4);
        QCOMPARE(win->CurvePanel->ActiveIndex(), 4);
        QCOMPARE(Active(), Cli({"function", "x^2", "--left", "-1", "--right", "1", "--steps", "3"}));
        // Right not above Left (equal once rounded to the shown digits) is refused.
        WhileShown<TFunctionDlg>([](TFunctionDlg& d) {
            d.SetRange(1.000001, 1.000002);
            QTest::mouseClick(Child(&d, "OkBtn"), Qt::LeftButton);
            QVERIFY(d.isVisible());
        });
        Trigger("FunctionBtn");
        QCOMPARE(Count(), 4);
        QVERIFY(msg->Texts("error").last().startsWith(QLatin1String("Right (1) must be greater")));
    }
};

QTEST_MAIN(TestOperationDialogs)
#include "test_operationdialogs.moc"
