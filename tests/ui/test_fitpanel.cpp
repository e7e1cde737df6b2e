// The fit panel driven as a user would, from the Fit command of a curve window: terms added from the
// function chooser, the parameter rows, Fit, Abort, the range picked in the plot, shapes marked there, user
// functions defined in the function editor, and the model curves generated. Results are compared with what
// graphmill-cli fit prints for the same file, terms, range, locks and bounds.
#include "app/curvewin.h"
#include "app/shareddialogs.h"
#include "curves/SmoothDialog.h"
#include "curves/real48.h"
#include "fit/AddPeak.h"
#include "fit/AddVariable.h"
#include "fit/Fit2.h"
#include "fit/FitDialog.h"
#include "fit/FitResultDlg.h"
#include "fit/FitSettings.h"
#include "fit/NewFunc.h"
#include "fit/RSpinEdit.h"
#include "modaldialogs.h"
#include "plot/CurvePanels.h"
#include "plot/undohistory.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>

#include <cmath>
#include <limits>

namespace {
const QString NoisyPeak = QStringLiteral(GRAPHMILL_SOURCE_DIR "/examples/noisy_peak.dat");

// What graphmill-cli prints, as text.
QString CliText(const QStringList& args) {
    return QString::fromUtf8(Cli(args));
}
} // namespace

class TestFitPanel : public QObject, TWindowFixture {
    Q_OBJECT

    TFitDlg& P() const { return *win->FitPanel; }
    TCurvePanel& Plot() const { return *win->CurvePanel; }
    TParmPanel& Row(int k) const { return *P().Rows->Row(k); }
    double Value(int term, int k) const { return P().Fit().Term(term).value[static_cast<size_t>(k)]; }

    // Opens the panel with the Fit command on the loaded files.
    bool Open(const QStringList& files = {NoisyPeak}) {
        win->LoadFiles(files);
        A("Fit1")->trigger();
        return win->FitPanel != nullptr && P().isVisible();
    }
    // Adds a term from the chooser: its list row (0..13 built in, 14 + k library function k).
    void AddTerm(int row, int order = 1) {
        P().AddBtn->click();
        TAddPeakDlg& chooser = *P().Chooser();
        chooser.FunctionList->setCurrentRow(row);
        chooser.OrderEdit->setValue(order);
        chooser.AddBtn->click();
    }
    // Runs Fit and returns the text of the Results window it shows (empty when none showed); the text in
    // full precision goes to fullText. The run lets events through, so the window is looked for until it
    // shows.
    QString fullText;
    QString RunFit() {
        QString text;
        fullText.clear();
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            auto* d = qobject_cast<TFitResultDlg*>(QApplication::activeModalWidget());
            if (d == nullptr) return;
            text = d->Text();
            d->FullPrecision()->setChecked(true);
            fullText = d->Text();
            d->accept();
        });
        poll.start(0);
        P().FitBtn->click();
        return text;
    }

    // Adds a parameter row through "New Variable"; without a derivative its Derive button works it out.
    static void AddParam(TNewFunctionDlg& d, const QString& name, const QString& derivative = {},
                         const QString& initial = QStringLiteral("0")) {
        WhileShown<TAddVarDlg>([=](TAddVarDlg& v) {
            v.VarEdit->setText(name);
            if (derivative.isEmpty())
                v.DeriveClick();
            else
                v.DerivEdit->setText(derivative);
            v.InitialEdit->setText(initial);
            v.accept();
        });
        d.AddClick();
    }
    // The names of the functions the library file holds.
    QStringList LibraryFile() const {
        TUserFunctionList list;
        list.Load(win->FunctionLibraryFile.toStdString());
        QStringList names;
        for (int i = 0; i < list.Count(); ++i) names << QString::fromStdString(list.Get(i)->Name);
        return names;
    }

private slots:
    void initTestCase() { IsolateUserFiles(); }
    void init() { QVERIFY(OpenWindow()); }
    void cleanup() { CloseWindow(); }

    void gaussianOnBackgroundMatchesTheCli() {
        // A smoothing dialog already open stops acting while the panel is open, like the commands.
        win->LoadFiles({NoisyPeak});
        A("Smooth1")->trigger();
        auto* execute = win->SmoothDialog->findChild<QPushButton*>(QStringLiteral("ExecuteBtn"));
        QVERIFY(Open({}));
        QVERIFY(A("FitBtn")->isChecked());
        for (const char* name :
             {"Delete1", "Clearall1", "Cut1", "Curvedata1", "FFT1", "Derivative1", "TableBtn"})
            QVERIFY2(!A(name)->isEnabled(), name);
        for (const char* name : {"Save1", "ZoomOutBtn", "CursorBtn", "NewCurveModeBtn", "FitBtn"})
            QVERIFY2(A(name)->isEnabled(), name);
        QVERIFY(!execute->isEnabled());
        QVERIFY(!P().FitBtn->isEnabled() && !P().CurveGen->isEnabled());

        AddTerm(0, 1);
        AddTerm(1);
        QCOMPARE(P().PeakList->item(0)->text(), QStringLiteral("#1  Polynomial order 1"));
        QCOMPARE(P().PeakList->item(1)->text(), QStringLiteral("#2  Gaussian"));
        QCOMPARE(Row(3).NameLabel->text(), QStringLiteral("hwhm"));
        QVERIFY(!Row(4).isVisible());
        QVERIFY(Plot().HasOverlay());
        const QStringList terms = {"fit", "--term", "polynomial:1", "--term", "gaussian", NoisyPeak};
        QCOMPARE(RunFit(), CliText(terms));
        QCOMPARE(P().Iteration->text(), QStringLiteral("  4"));

        // In full precision the numbers are those of --json, to the last bit.
        const QString full = fullText;
        const QByteArray json = Cli(QStringList(terms) << "--json");
        const QJsonArray params = QJsonDocument::fromJson(json).object().value("parameters").toArray();
        QCOMPARE(params.size(), 5);
        for (const QJsonValue& v : params) {
            const QJsonObject p = v.toObject();
            const QRegularExpression line(
                QStringLiteral("\n   %1 = (\\S+) \u00b1 (\\S+)\n").arg(p["name"].toString()));
            const auto m = line.match(full);
            QVERIFY2(m.hasMatch(), qPrintable(p["name"].toString()));
            QCOMPARE(m.captured(1).toDouble(), p["value"].toDouble());
            QCOMPARE(m.captured(2).toDouble(), p["sigma"].toDouble());
        }

        // Generate with All adds the model as graphmill-cli -o writes it.
        P().All->setChecked(true);
        P().CurveGen->click();
        QCOMPARE(Plot().CurveCount(), 2);
        QCOMPARE(QString::fromStdString(Plot().Curve(2)->DataText()), CliText(QStringList(terms) << "-o"
                                                                                                 << "-"));
        // Generate is a step of the undo history: taken back and done again, the model is the same.
        const std::string model = Plot().Curve(2)->DataText();
        QCOMPARE(win->CurvePanel->History().Stack().undoText(), QStringLiteral("Fit model as curve #2"));
        A("Undo1")->trigger();
        QCOMPARE(Plot().CurveCount(), 1);
        A("Redo1")->trigger();
        QCOMPARE(Plot().CurveCount(), 2);
        QCOMPARE(Plot().Curve(2)->DataText(), model);

        // Closing gives the commands back and takes the model off the plot.
        A("FitBtn")->trigger();
        QVERIFY(!P().isVisible() && !A("FitBtn")->isChecked());
        QVERIFY(A("Delete1")->isEnabled() && execute->isEnabled());
        QVERIFY(!Plot().HasOverlay());
    }

    void abortStopsALongFitWhileOnlyAbortActs() {
        QVERIFY(Open());
        AddTerm(0, 1);
        AddTerm(1);
        // The relative test with no slack: the fit would run all of its 10000 iterations.
        WhileShown<TFitSettingsDlg>([](TFitSettingsDlg& d) {
            d.RelativeRadio->setChecked(true);
            Enter(d.FtolEdit, QStringLiteral("0"));
            Enter(d.XtolEdit, QStringLiteral("0"));
            d.MaxIterEdit->setValue(10000);
            d.accept();
        });
        P().Settings->click();
        bool probed = false, results = false;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&] {
            if (auto* modal = QApplication::activeModalWidget()) {
                results = true;
                modal->close();
            }
            if (probed || !P().Running() || P().Fit().iterations < 3) return;
            probed = true;
            QVERIFY(P().AbortBtn->isEnabled());
            for (QWidget* w :
                 std::initializer_list<QWidget*>{P().FitBtn, P().StepBtn, P().AddBtn, P().PeakList,
                                                 P().Settings, Row(1).ValueEdit, P().RangeLeftBtn})
                QVERIFY(!w->isEnabled());
            QVERIFY(!A("FitBtn")->isEnabled());
            P().close();
            QVERIFY(P().isVisible());
            QTest::mouseClick(P().AbortBtn, Qt::LeftButton);
        });
        probe.start(0);
        P().FitBtn->click();
        probe.stop();
        QVERIFY(probed);
        QVERIFY(!results);
        QVERIFY(P().Fit().iterations < 100);
        QVERIFY(P().FitBtn->isEnabled() && !P().AbortBtn->isEnabled() && A("FitBtn")->isEnabled());

        // The relative test with its own limits gives what --converge relative gives.
        WhileShown<TFitSettingsDlg>([](TFitSettingsDlg& d) {
            d.Load(TFitSettings{});
            d.RelativeRadio->setChecked(true);
            d.accept();
        });
        P().Settings->click();
        P().InitBtn->click();
        QCOMPARE(RunFit(), CliText({"fit", "--term", "polynomial:1", "--term", "gaussian", "--converge",
                                    "relative", NoisyPeak}));

        // Another active curve is fitted whole; one of five points is too short for five parameters.
        QVERIFY(Plot().AddCurve(MakeCurve({{0, 1}, {1, 2}, {2, 4}, {3, 2}, {4, 1}}), true, true));
        win->NextCurve();
        QCOMPARE(P().RangeDisplay->text(), QStringLiteral("points 1 to 5"));
        QCOMPARE(RunFit(), QString());
        QVERIFY(msg->Texts("error").last().startsWith(QLatin1String("Too few data points: 5 points for 5")));
    }

    void panelAndChooserOpenWhereTheyHideTheLeastOfThePlot() {
        win->setGeometry(40, 30, 520, 380);
        QVERIFY(Open());
        const QRect screen = win->screen()->availableGeometry();
        const QRect plot(Plot().mapToGlobal(QPoint(0, 0)), Plot().size());
        // What a window at r hides of the plot and of the other rectangle given.
        auto hidden = [&](const QRect& r, const QRect& other) {
            int area = 0;
            for (const QRect& work : {plot, other}) {
                const QRect both = r & work;
                area += both.isEmpty() ? 0 : both.width() * both.height();
            }
            return area;
        };
        // No place on the screen, tried every 10 pixels, hides less.
        auto least = [&](QSize size, const QRect& other) {
            int fewest = std::numeric_limits<int>::max();
            for (int y = screen.top(); y + size.height() <= screen.bottom() + 1; y += 10)
                for (int x = screen.left(); x + size.width() <= screen.right() + 1; x += 10)
                    fewest = std::min(fewest, hidden(QRect(QPoint(x, y), size), other));
            return fewest;
        };
        const QRect panel = P().frameGeometry();
        QVERIFY(screen.contains(panel));
        QVERIFY(hidden(panel, QRect()) <= least(panel.size(), QRect()));
        // The function chooser hides no more of the plot and the panel together than it must.
        P().AddBtn->click();
        const QRect chooser = P().Chooser()->frameGeometry();
        QVERIFY(screen.contains(chooser));
        QVERIFY(hidden(chooser, panel) <= least(chooser.size(), panel));
    }

    void settingsRefuseWhatIsNoNumber() {
        QVERIFY(Open());
        WhileShown<TFitSettingsDlg>([this](TFitSettingsDlg& d) {
            QCOMPARE(d.windowTitle(), QStringLiteral("Fit settings"));
            Type(d.ToleranceEdit, QStringLiteral("1e400"));
            d.accept();
            QVERIFY(d.isVisible());
            QCOMPARE(msg->Texts("error"),
                     QStringList{QStringLiteral("Tolerance: \"1e400\" is not a finite number.")});
            Type(d.ToleranceEdit, QStringLiteral("0.002"));
            d.accept();
        });
        P().Settings->click();
        QCOMPARE(msg->Texts("error").size(), 1);
        WhileShown<TFitSettingsDlg>([](TFitSettingsDlg& d) {
            QCOMPARE(d.ToleranceEdit->Value(), 0.002);
            d.reject();
        });
        P().Settings->click();
    }

    void resultsWindowShowsLongLinesWhole() {
        TFitResultDlg d;
        const QString longLine = QStringLiteral("#0 ") + QString(150, QLatin1Char('w'));
        d.SetText(QStringLiteral("short\n") + longLine + QStringLiteral("\nend"));
        d.show();
        QVERIFY(QTest::qWaitForWindowExposed(&d));
        auto* text = d.findChild<QPlainTextEdit*>(QStringLiteral("ResultText"));
        // Wider than it opens for short texts, and what still does not fit wraps: nothing out of sight.
        QVERIFY(d.width() > 420);
        QCOMPARE(text->horizontalScrollBar()->maximum(), 0);
        QVERIFY(text->lineWrapMode() != QPlainTextEdit::NoWrap);
        QVERIFY(d.width() <= d.screen()->availableGeometry().width());
    }

    void weightsAndTheFullResultMatchTheCli() {
        QVERIFY(Open());
        AddTerm(0, 1);
        AddTerm(1);
        // "sigma" without sigmas of the curve's own and no curve of sigmas chosen: the fit does not start.
        P().WeightsBox->setCurrentText(QStringLiteral("sigma"));
        QVERIFY(P().SigmaSource->isEnabled());
        QCOMPARE(P().SigmaSource->itemText(0), QStringLiteral("the curve's own sigmas"));
        QCOMPARE(RunFit(), QString());
        QCOMPARE(msg->Texts("error").value(0),
                 QStringLiteral("Weights \"sigma\": the data carry no sigmas; choose a curve of sigmas"));
        // The curve itself as its own sigmas (the window's curves are listed): its y values are positive.
        QCOMPARE(P().SigmaSource->count(), 2);
        QCOMPARE(P().SigmaSource->itemText(1), QStringLiteral("#1: noisy_peak.dat"));
        P().SigmaSource->setCurrentIndex(1);
        const QString sigmaText = RunFit();
        QVERIFY2(
            sigmaText.contains(QStringLiteral("Weights: sigma; parameter sigmas from the measured sigmas.")),
            qPrintable(sigmaText));
        QCOMPARE(sigmaText, CliText({"fit", "--term", "polynomial:1", "--term", "gaussian", "--sigma",
                                     NoisyPeak, NoisyPeak}));
        // Poisson weights: the settings keep the choice, and the full view is --report full.
        P().WeightsBox->setCurrentText(QStringLiteral("poisson"));
        QVERIFY(!P().SigmaSource->isEnabled());
        QCOMPARE(P().CurrentSettings().weights, 2);
        // a fresh start: the same terms again from their guesses
        P().ClearAllBtn->click();
        AddTerm(0, 1);
        AddTerm(1);
        const QStringList poisson = {"fit",      "--term",    "polynomial:1", "--term",
                                     "gaussian", "--weights", "poisson",      NoisyPeak};
        QCOMPARE(RunFit(), CliText(poisson));
        QCOMPARE(fullText, CliText(QStringList(poisson) << "--report"
                                                        << "full"));
        QVERIFY(fullText.contains(QStringLiteral("Correlation matrix of the free parameters:")));
        // The band is drawn on request over the model line.
        P().BandCheck->setChecked(true);
        QVERIFY(Plot().HasOverlay());
        // Choosing weights again takes back the sigmas of the weights before.
        P().WeightsBox->setCurrentText(QStringLiteral("none"));
        QCOMPARE(P().Fit().Weighting(), TWeighting::None);
        P().ClearAllBtn->click();
        AddTerm(0, 1);
        AddTerm(1);
        QCOMPARE(RunFit(), CliText({"fit", "--term", "polynomial:1", "--term", "gaussian", NoisyPeak}));
        // Settings that bring other weights (those of another window) take effect at the next fit.
        TFitSettings other = P().CurrentSettings();
        other.weights = static_cast<int32_t>(TWeighting::Poisson);
        P().ApplySettings(other);
        QCOMPARE(P().WeightsBox->currentText(), QStringLiteral("poisson"));
        const QString again = RunFit();
        QVERIFY2(again.contains(QStringLiteral("Weights: poisson;")), qPrintable(again));
        QCOMPARE(P().Fit().Weighting(), TWeighting::Poisson);
    }

    void rangeLocksAndBoundsMatchTheCli() {
        QVERIFY(Open());
        AddTerm(0, 1);
        AddTerm(1);
        Plot().repaint();
        const TGrid& g = Plot().Grid();
        // A bound is picked with a click on the curve; the picked point holds the other bound six points off.
        auto pick = [&](QPushButton* bound, double x) {
            bound->click();
            QVERIFY(bound->isChecked() && Plot().IsPointPick());
            const QPoint at(g.WorldToDeviceX(x), g.WorldToDeviceY(2));
            QTest::mouseMove(&Plot(), at);
            QTest::mouseClick(&Plot(), Qt::LeftButton, {}, at);
            QVERIFY(!bound->isChecked() && !Plot().IsPointPick());
        };
        pick(P().RangeRightBtn, 19);
        const int32_t last = P().RangeLast();
        QVERIFY(last > 370 && last < 390);
        pick(P().RangeLeftBtn, (last - 5) * 0.05); // too close: ignored
        QCOMPARE(P().RangeFirst(), 1);
        pick(P().RangeLeftBtn, 6);
        const int32_t first = P().RangeFirst();
        QVERIFY(first > 110 && first < 130);
        QCOMPARE(P().RangeDisplay->text(), QStringLiteral("points %1 to %2").arg(first).arg(last));

        // Bounds first (a minimum above the maximum is refused), then the guesses, a typed value and a lock,
        // in the order graphmill-cli applies them.
        Enter(Row(3).MaxEdit, QStringLiteral("0.7"));
        Enter(Row(3).MinEdit, QStringLiteral("0.9"));
        QCOMPARE(msg->Texts("error"),
                 QStringList{QStringLiteral("The minimum of hwhm must not lie above its maximum.")});
        QCOMPARE(P().Fit().Term(1).min[3], 1e-10);
        // Enter confirms the field and nothing else: the chooser beside the panel stays open.
        QVERIFY(P().Chooser()->isVisible());
        P().InitBtn->click();
        Enter(Row(2).ValueEdit, QStringLiteral("12.4"));
        Row(1).LockCheck->click();
        QVERIFY(!Row(1).ValueEdit->isEnabled());
        const double amp = Value(1, 1);
        QCOMPARE(RunFit(), CliText({"fit", "--term", "polynomial:1", "--term", "gaussian", "--range",
                                    QString::number(first), QString::number(last), "--max", "2.3=0.7",
                                    "--set", "2.2=12.4", "--lock", "2.1", NoisyPeak}));
        QCOMPARE(Value(1, 1), amp);
        QCOMPARE(Value(1, 3), 0.7);

        // Alt+Up and Alt+Left nudge the first and second parameters of the selected term.
        const double offset = Value(0, 1), slope = Value(0, 2);
        P().SelectTerm(0);
        QTest::keyClick(P().PeakList, Qt::Key_Up, Qt::AltModifier);
        QTest::keyClick(Row(1).MinEdit, Qt::Key_Left, Qt::AltModifier);
        QCOMPARE(Value(0, 1), offset * 1.1);
        QCOMPARE(Value(0, 2), slope * 0.9);
    }

    void boundsTakeWhatTheLibraryHoldsAndResultsFlagThem() {
        QVERIFY(Open());
        AddTerm(0, 0);
        // Open bounds on a new term, shown and kept whole.
        QCOMPARE(P().Fit().Term(0).max[1], Real48Max);
        QCOMPARE(P().Fit().Term(0).min[1], -Real48Max);
        // The open bound is shown whole, its sign and exponent in view.
        TREdit* low = Row(1).MinEdit;
        QVERIFY(low->text().startsWith(QLatin1Char('-')));
        QVERIFY2(low->fontMetrics().horizontalAdvance(low->text()) < low->contentsRect().width() - 4,
                 qPrintable(low->text()));
        // A bound of 1e20 (as a library function may hold) survives tabbing through its field, and so does
        // the value it allows.
        P().Fit().Term(0).max[1] = 1e20;
        P().Fit().Term(0).value[1] = 5e19;
        P().ValuesChanged();
        Row(1).MaxEdit->setFocus();
        QTest::keyClick(Row(1).MaxEdit, Qt::Key_Tab);
        QCOMPARE(P().Fit().Term(0).max[1], 1e20);
        QCOMPARE(Value(0, 1), 5e19);
        Enter(Row(1).MaxEdit, QStringLiteral("1.5e38"));
        QCOMPARE(P().Fit().Term(0).max[1], 1.5e38);
        Enter(Row(1).MinEdit, QStringLiteral("-1e39")); // beyond what the library holds: the limit
        QCOMPARE(P().Fit().Term(0).min[1], -Real48Max);

        // A maximum below the data's level: the offset ends on it, and the Results window says so.
        Enter(Row(1).MaxEdit, QStringLiteral("1"));
        const QString held = RunFit();
        QCOMPARE(Value(0, 1), 1.0);
        QVERIFY2(held.contains(QLatin1String("Parameters marked (at min) or (at max) ended at a bound")),
                 qPrintable(held));
        QVERIFY(held.contains(QStringLiteral("(offset)  1.0000 \u00b1")));
        QVERIFY(held.contains(QLatin1String("  (at max)")));
        QVERIFY(fullText.contains(QStringLiteral("offset = 1 \u00b1 ")) && fullText.contains("(at max)"));

        // Max iterations 0: Fit evaluates the start only; the count shows 0.
        Enter(Row(1).MaxEdit, QStringLiteral("100"));
        P().InitBtn->click();
        const double start = Value(0, 1);
        WhileShown<TFitSettingsDlg>([](TFitSettingsDlg& d) {
            d.MaxIterEdit->setValue(0);
            d.accept();
        });
        P().Settings->click();
        QVERIFY(RunFit().startsWith(QLatin1String("Maximum number of itterations exceeded")));
        QCOMPARE(Value(0, 1), start);
        QCOMPARE(P().Fit().iterations, 0);
        QCOMPARE(P().Iteration->text().trimmed(), QStringLiteral("0"));
    }

    void markedShapeGivesTheSelectedTermItsValues() {
        QVERIFY(Open());
        AddTerm(1);
        const double before = Value(0, 3);
        Plot().repaint();
        const TGrid& g = Plot().Grid();
        auto mark = [&](QPoint a, QPoint b) {
            QTest::mousePress(&Plot(), Qt::LeftButton, {}, a);
            QTest::mouseMove(&Plot(), (a + b) / 2);
            QTest::mouseMove(&Plot(), b);
            QTest::mouseRelease(&Plot(), Qt::LeftButton, {}, b);
        };
        const QPoint a(g.WorldToDeviceX(12.5), g.WorldToDeviceY(7));
        mark(a, a); // a click marks nothing
        QCOMPARE(Value(0, 3), before);
        mark(a, QPoint(g.WorldToDeviceX(13.5), g.WorldToDeviceY(1)));
        QVERIFY(std::fabs(Value(0, 1) - 6.0) < 0.05);
        QVERIFY(std::fabs(Value(0, 2) - 12.5) < 0.05);
        QVERIFY(std::fabs(Value(0, 3) - 1.0) < 0.05);
    }

    void peakShapesFromTheChooser() {
        QVERIFY(Open());
        P().AddBtn->click();
        TAddPeakDlg& chooser = *P().Chooser();
        // The shapes follow the original seven, each a built-in type: no order, no edit, no delete.
        for (int row = TPeak::Voigt; row < TAddPeakDlg::BuiltInCount; ++row) {
            chooser.FunctionList->setCurrentRow(row);
            QCOMPARE(chooser.FunctionList->item(row)->text(), QString::fromUtf8(TPeak::BuiltInTypeName(row)));
            QVERIFY(!chooser.OrderEdit->isEnabled() && !chooser.EditBtn->isEnabled() &&
                    !chooser.DelBtn->isEnabled());
        }
        AddTerm(TPeak::Voigt);
        QCOMPARE(P().PeakList->item(0)->text(), QStringLiteral("#1  Voigt"));
        QCOMPARE(Row(3).NameLabel->text(), QStringLiteral("sigma"));
        QCOMPARE(Row(4).NameLabel->text(), QStringLiteral("l.hwhm"));
        // The fit and its full view are the command line's, the peak figures included.
        const QStringList terms = {"fit", "--term", "voigt", NoisyPeak};
        QCOMPARE(RunFit(), CliText(terms));
        QVERIFY(fullText.contains(QStringLiteral("\nPeak figures:\n#1  Voigt\n   centre = ")));
        QCOMPARE(fullText, CliText(terms + QStringList{"--report", "full"}));
        // A rectangle marked from the top out to the half width.
        P().TwoPointGuess({12.0, 4.0}, {12.5, 1.0});
        QCOMPARE(Value(0, 1), 3.0);
        QCOMPARE(Value(0, 2), 12.0);
        QCOMPARE(Value(0, 3), 0.59 * 0.5);
        QCOMPARE(Value(0, 4), 0.25);
        // A step takes no marked shape: its values stay.
        AddTerm(TPeak::Logistic);
        QCOMPARE(P().PeakList->item(1)->text(), QStringLiteral("#2  Logistic step"));
        const TPeak::TParamReals before = P().Fit().Term(1).value;
        P().TwoPointGuess({12.0, 4.0}, {12.5, 1.0});
        QVERIFY(P().Fit().Term(1).value == before);
    }

    void functionChooserAndTheSharedLibrary() {
        QVERIFY(Open());
        P().AddBtn->click();
        TAddPeakDlg& chooser = *P().Chooser();
        QVERIFY(!chooser.EditBtn->isEnabled() && !chooser.DelBtn->isEnabled());
        chooser.FunctionList->setCurrentRow(1);
        QVERIFY(!chooser.OrderEdit->isEnabled());

        // A tabulated term's file: refused when it holds fewer than two points.
        WriteFile(Path("one.dat"), "1 2\r\n");
        WriteFile(Path("two.dat"), "0 0\r\n20 1\r\n");
        msg->FileNames = {Path("one.dat"), Path("two.dat")};
        chooser.FunctionList->setCurrentRow(6);
        chooser.AddBtn->click();
        QCOMPARE(msg->Texts("error"),
                 QStringList{QStringLiteral("The file you have chosen is not a valid data file.")});
        QVERIFY(msg->Texts("open")[0].startsWith(
            QLatin1String("Select file for tabulated function.|ASCII file")));
        chooser.AddBtn->click();
        QCOMPARE(P().PeakList->item(0)->text(), QStringLiteral("#1  Tabulated"));
        // Enter on the list adds the chosen function and keeps the chooser open.
        chooser.FunctionList->setCurrentRow(1);
        QTest::keyClick(chooser.FunctionList, Qt::Key_Return);
        QCOMPARE(P().PeakList->count(), 2);
        QVERIFY(chooser.isVisible());

        // Defining: every refusal in turn, the dialog staying open with the input.
        msg->Log.clear();
        WhileShown<TNewFunctionDlg>([&](TNewFunctionDlg& d) {
            d.accept();
            d.NameEdit->setText(QStringLiteral("line"));
            d.FuncEdit->setText(QStringLiteral("a * x + b"));
            AddParam(d, QStringLiteral("a.1"), QStringLiteral("x"));
            d.accept();
            d.RemoveClick();
            // A blank in a name is refused, as graphmill-cli refuses it, and the name stays as typed.
            AddParam(d, QStringLiteral("a b"), QStringLiteral("x"));
            d.accept();
            QCOMPARE(d.Variables->item(0)->text(), QStringLiteral("a b"));
            d.RemoveClick();
            for (const char* name : {"a", "b", "c", "d", "e", "f", "g", "h", "i"})
                AddParam(d, QLatin1String(name));
            d.AddClick(); // a tenth
            d.ClearClick();
            AddParam(d, QStringLiteral("a"));
            AddParam(d, QStringLiteral("b"));
            QCOMPARE(d.Derivatives->item(0)->text(), QStringLiteral("x"));
            d.accept();
        });
        chooser.DefineBtn->click();
        QCOMPARE(
            msg->Texts("error"),
            (QStringList{"No function name.", "One or more variable names are invalid.",
                         "One or more variable names are invalid.", "A function has at most 9 parameters."}));
        QCOMPARE(LibraryFile(), QStringList{"line"});

        // A peak on a background with every derivative worked out by Derive fits as graphmill-cli fits it.
        WhileShown<TNewFunctionDlg>([&](TNewFunctionDlg& d) {
            d.NameEdit->setText(QStringLiteral("peak"));
            d.FuncEdit->setText(QStringLiteral("A*exp(0-((x-c)/w)^2/2)+b"));
            AddParam(d, QStringLiteral("A"), {}, QStringLiteral("5"));
            AddParam(d, QStringLiteral("c"), {}, QStringLiteral("12"));
            AddParam(d, QStringLiteral("w"), {}, QStringLiteral("1"));
            AddParam(d, QStringLiteral("b"), {}, QStringLiteral("1"));
            d.accept();
        });
        chooser.DefineBtn->click();
        QCOMPARE(LibraryFile(), (QStringList{"line", "peak"}));
        QCOMPARE(chooser.FunctionList->currentItem()->text(), QStringLiteral("peak"));
        P().ClearAllBtn->click();
        chooser.AddBtn->click();
        QCOMPARE(RunFit(),
                 CliText({"fit", "--library", win->FunctionLibraryFile, "--term", "user:peak", NoisyPeak}));

        // The library is the program's: another window's chooser lists the functions at once; an edit and a
        // delete are written to the file.
        Tcurvewindow other;
        other.show();
        other.LoadFiles({NoisyPeak});
        other.Action(QStringLiteral("Fit1"))->trigger();
        other.FitPanel->AddBtn->click();
        QListWidget* list = other.FitPanel->Chooser()->FunctionList;
        QCOMPARE(list->item(TAddPeakDlg::BuiltInCount + 1)->text(), QStringLiteral("peak"));
        chooser.FunctionList->setCurrentRow(TAddPeakDlg::BuiltInCount);
        WhileShown<TNewFunctionDlg>([](TNewFunctionDlg& d) {
            QCOMPARE(d.FuncEdit->text(), QStringLiteral("a*x+b"));
            d.NameEdit->setText(QStringLiteral("straight"));
            d.accept();
        });
        chooser.EditBtn->click();
        QCOMPARE(list->item(TAddPeakDlg::BuiltInCount)->text(), QStringLiteral("straight"));
        msg->ConfirmAnswers = {true};
        chooser.DelBtn->click();
        QCOMPARE(LibraryFile(), QStringList{"peak"});
        QCOMPARE(list->count(), TAddPeakDlg::BuiltInCount + 1);
        other.close();
    }
};

QTEST_MAIN(TestFitPanel)
#include "test_fitpanel.moc"
