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
        // Past the largest double is no number: not the 1e40 typed on the way, and Enter says so and confirms
        // nothing; leaving the field keeps the text for correcting.
        e.setAccessibleName(QStringLiteral("Value"));
        Type(&e, QStringLiteral("1e400"));
        QCOMPARE(e.Value(), 1e300);
        QVERIFY(!e.IsNumber());
        confirmed = 0;
        QTest::keyClick(&e, Qt::Key_Return);
        QCOMPARE(confirmed, 0.0);
        QCOMPARE(msg->Texts("error"),
                 QStringList{QStringLiteral("Value: \"1e400\" is not a finite number.")});
        e.clearFocus();
        QCOMPARE(e.text(), QStringLiteral("1e400"));
        QCOMPARE(confirmed, 0.0);
        // A value set keeps all its digits until the user edits its shortened text; then the text counts,
        // even typed back as it was.
        e.SetValue(1700001234.5);
        QCOMPARE(e.text(), QStringLiteral("1.7E0009"));
        QCOMPARE(e.Value(), 1700001234.5);
        e.setFocus();
        QTest::keyClick(&e, Qt::Key_Return);
        QCOMPARE(confirmed, 1700001234.5);
        QTest::keyClick(&e, Qt::Key_Backspace);
        QCOMPARE(e.Value(), 1.7e0);
        QTest::keyClicks(&e, QStringLiteral("9"));
        QCOMPARE(e.Value(), 1.7e9);
        // A locale with a decimal comma: "2,5" is 2.5.
        QLocale::setDefault(QLocale(QLocale::German));
        Type(&e, QStringLiteral("2,5"));
        QCOMPARE(e.Value(), 2.5);
        QLocale::setDefault(QLocale::c());
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
        // Opened again, the dialog starts without an imaginary input: the curve chosen before is not taken
        // into this transform unseen. The FFT command on the open dialog keeps the choice.
        Trigger("FFT1");
        QCOMPARE(d->ComplexList().currentText(), QStringLiteral("none"));
        Trigger("Undo1");
        QTest::mouseClick(execute, Qt::LeftButton);
        QCOMPARE(Active(), Cli({"fft", "--output", "real", wave}));
        Trigger("Undo1");
        d->ComplexList().setCurrentIndex(1);
        Trigger("FFT1");
        QCOMPARE(d->ComplexList().currentText(), QStringLiteral("#2: peak.dat"));
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
        // No finite number: refused by name, nothing run (the 20 typed before is not taken either).
        const QByteArray smoothed = Active();
        Type(howMuch, QStringLiteral("2e999"));
        QTest::mouseClick(execute, Qt::LeftButton);
        QCOMPARE(Active(), smoothed);
        QCOMPARE(msg->Texts("error"),
                 QStringList{QStringLiteral("How much: \"2e999\" is not a finite number.")});
        msg->Log.clear();
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
        Trigger("Undo1");

        // Time stamps: the fields show five digits, the grid starts on the data, every x exact.
        std::vector<std::pair<double, double>> stamps;
        for (int k = 0; k < 10; ++k) stamps.push_back({1700001234 + 0.7 * k, k});
        win->LoadFiles({File("stamps.dat", stamps)});
        win->CurvePanel->SetActiveCurve(Count());
        WhileShown<TInterpDlg>([this](TInterpDlg& d) {
            QCOMPARE(d.OffsetEdit().text(), QStringLiteral("1.7E0009"));
            // No finite number in a field: OK says which and keeps the dialog open.
            Type(&d.IntervalEdit(), QStringLiteral("1e400"));
            QTest::mouseClick(Child(&d, "OkBtn"), Qt::LeftButton);
            QVERIFY(d.isVisible());
            QCOMPARE(msg->Texts("error"),
                     QStringList{QStringLiteral("Interpolate interval: \"1e400\" is not a finite number.")});
            Type(&d.IntervalEdit(), QStringLiteral("0.7"));
            QTest::mouseClick(Child(&d, "OkBtn"), Qt::LeftButton);
        });
        Trigger("Interpolate1");
        const TPlottedCurve* grid = win->CurvePanel->ActiveCurve();
        QCOMPARE(grid->X(1), 1700001234.0);
        QVERIFY(std::fabs(grid->X(2) - 1700001234.7) < 1e-6 && std::fabs(grid->Y(2) - 1.0) < 1e-6);
        QCOMPARE(Active(), Cli({"interpolate", "--interval", "0.7", Path("stamps.dat")}));
        // Untouched, both presets are whole, as the command line's defaults are.
        Trigger("Undo1");
        WhileShown<TInterpDlg>([](TInterpDlg& d) { d.accept(); });
        Trigger("Interpolate1");
        QCOMPARE(win->CurvePanel->ActiveCurve()->X(1), 1700001234.0);
        QCOMPARE(Active(), Cli({"interpolate", Path("stamps.dat")}));
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
        // Past the largest double: not the 1e40 that parsed on the way, but a refusal by the button's name;
        // the curve and the typed text stay.
        const QByteArray before = Active();
        for (const char* button : {"MultiplyBtn", "DivideBtn"}) {
            Type(&d.MultiplyEdit(), QStringLiteral("1e400"));
            QTest::mouseClick(Child(&d, button), Qt::LeftButton);
            QCOMPARE(Active(), before);
            QCOMPARE(d.MultiplyEdit().text(), QStringLiteral("1e400"));
        }
        QCOMPARE(msg->Texts("error"),
                 (QStringList{QStringLiteral("Multiply: \"1e400\" is not a finite number."),
                              QStringLiteral("Divide: \"1e400\" is not a finite number.")}));
        msg->Log.clear();
        // A divisor without a finite reciprocal is refused with a message.
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
        // The hints say what the buttons compute: the active curve is the left operand.
        QCOMPARE(Child(&d, "DivideBtn")->toolTip(), QStringLiteral("Divide active by curve"));
        QCOMPARE(Child(&d, "MinusBtn")->statusTip(), QStringLiteral("Subtract curve from active"));
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
            // Each field takes what is typed into it, whatever the other holds: Left 20 over Right 3 stays 20
            // and Right stays 3, until Right is typed.
            Type(&d.LeftEdit(), QStringLiteral("20"));
            QTest::keyClick(&d.LeftEdit(), Qt::Key_Tab);
            QCOMPARE(d.LeftEdit().text(), QStringLiteral("20"));
            QCOMPARE(d.Right(), 3.0);
            Type(&d.RightEdit(), QStringLiteral("30"));
            QTest::keyClick(&d.RightEdit(), Qt::Key_Tab);
            QCOMPARE(d.Left(), 20.0);
            QCOMPARE(d.Right(), 30.0);
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
    }

    void formulaRangeIsRefusedNotRewritten() {
        // Right below Left, Right equal to Left and a Left that is no number are refused with a message, the
        // dialog stays open and the fields keep what was typed.
        win->CurvePanel->Grid().SetWorld({0.0, 0.0}, {10.0, 1.0});
        WhileShown<TFunctionDlg>([this](TFunctionDlg& d) {
            QTest::keyClicks(&d.FunctionEdit(), QStringLiteral("x"));
            const struct {
                const char *left, *right, *message;
            } cases[] = {{"10", "3", "Right (3) must be greater than Left (10)."},
                         {"5", "5", "Right (5) must be greater than Left (5)."},
                         {"1e400", "5", "Left: \"1e400\" is not a finite number."}};
            for (const auto& c : cases) {
                Type(&d.LeftEdit(), QLatin1String(c.left));
                QTest::keyClick(&d.LeftEdit(), Qt::Key_Tab);
                Type(&d.RightEdit(), QLatin1String(c.right));
                QTest::keyClick(&d.RightEdit(), Qt::Key_Tab);
                QTest::mouseClick(Child(&d, "OkBtn"), Qt::LeftButton);
                QVERIFY(d.isVisible());
                QCOMPARE(msg->Texts("error").value(0), QLatin1String(c.message));
                QCOMPARE(d.LeftEdit().text(), QLatin1String(c.left));
                QCOMPARE(d.RightEdit().text(), QLatin1String(c.right));
                msg->Log.clear();
            }
        });
        Trigger("FunctionBtn");
        QCOMPARE(Count(), 3);
        // An axis range of time stamps: the fields show five digits and the curve gets every one of them;
        // just above Left is above it.
        win->CurvePanel->Grid().SetWorld({1700001234.0, 0.0}, {1700001240.5, 1.0});
        WhileShown<TFunctionDlg>([](TFunctionDlg& d) {
            QCOMPARE(d.RightEdit().text(), QStringLiteral("1.7E0009"));
            QCOMPARE(d.FunctionEdit().text(), QStringLiteral("x")); // kept from the last opening
            Type(&d.StepsEdit(), QStringLiteral("3"));
            QTest::mouseClick(Child(&d, "OkBtn"), Qt::LeftButton);
        });
        Trigger("FunctionBtn");
        QVERIFY(msg->Log.empty());
        QCOMPARE(Count(), 4);
        QCOMPARE(Active(),
                 Cli({"function", "x", "--left", "1700001234", "--right", "1700001240.5", "--steps", "3"}));
        WhileShown<TFunctionDlg>([](TFunctionDlg& d) {
            Type(&d.LeftEdit(), QStringLiteral("1700001234"));
            Type(&d.RightEdit(), QStringLiteral("1700001234"));
            QTest::mouseClick(Child(&d, "OkBtn"), Qt::LeftButton);
            QVERIFY(d.isVisible());
        });
        Trigger("FunctionBtn");
        QCOMPARE(msg->Texts("error"),
                 QStringList{QStringLiteral("Right (1700001234) must be greater than Left (1700001234).")});
    }

    void modelessDialogsStayWhileTheirWindowIsUsed() {
        Trigger("FFT1");
        QTest::keyClick(win.get(), Qt::Key_R, Qt::ControlModifier);
        QWidget* fft = win->FFTDialog;
        QWidget* smooth = win->SmoothDialog;
        QVERIFY(fft->isVisible() && smooth->isVisible());
        // A click into the window's own plot makes the window active: both dialogs stay.
        win->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(win.get()));
        QTest::mouseClick(win->CurvePanel, Qt::LeftButton, Qt::NoModifier, win->CurvePanel->rect().center());
        QTest::qWait(20);
        QVERIFY(fft->isVisible() && smooth->isVisible());
        // Another curve window in front closes them.
        Tcurvewindow* second = win->NewWindow();
        second->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(second));
        QTRY_VERIFY(!fft->isVisible() && !smooth->isVisible());
        second->close();
    }
};

QTEST_MAIN(TestOperationDialogs)
#include "test_operationdialogs.moc"
