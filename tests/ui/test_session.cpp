// Sessions of the curve windows: saved, the windows closed and the session opened again, the plot shows the
// same pixels and the fit panel the same fit; damaged sessions open nothing; the recovery session follows the
// unsaved curves, is offered after an abnormal end and is gone after a normal one.
#include "app/recovery.h"
#include "app/sessionstore.h"
#include "fit/Fit2.h"
#include "fit/FitDialog.h"
#include "fit/FitResultDlg.h"
#include "plot/CurvePanels.h"
#include "plot/GraphPicture.h"
#include "plot/w_curve.h"
#include "windowfixture.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QTimer>

#include <cmath>
#include <cstring>

namespace {

// A noisy Gaussian peak on a slope, unsaved.
TCurveB Peak(int n) {
    TCurveB c;
    for (int i = 0; i < n; ++i) {
        const double x = i * 0.1;
        c.AddPoint(x, 3.0 * std::exp(-(x - 5.0) * (x - 5.0) / 0.8) + 0.2 * x + 0.05 * std::sin(17.0 * i));
    }
    c.CalcRanges();
    return c;
}

bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// What the plot panel shows, drawn now.
QImage PanelPicture(Tcurvewindow& w) {
    QApplication::processEvents();
    return w.CurvePanel->grab().toImage();
}

} // namespace

class TestSession : public QObject {
    Q_OBJECT
    TWindowFixture f;
    Tcurvewindow& W() { return *f.win; }

    // Closes the windows that opened beside the fixture's.
    void CloseOthers() {
        while (W().NextWindow != nullptr) {
            Tcurvewindow* w = W().LastWindow();
            w->ClosingByMain = true; // closed without the save questions
            w->close();
        }
    }

    // Runs Fit in the panel of w, closing the Results window it shows.
    void RunFit(Tcurvewindow& w) {
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [] {
            if (auto* d = qobject_cast<TFitResultDlg*>(QApplication::activeModalWidget())) d->accept();
        });
        poll.start(0);
        w.FitPanel->FitBtn->click();
    }

    // The fixture's window made into a piece of work: two curves with their own styles, axes set by hand,
    // the legend, new-curve mode and a fitted model of two terms.
    void MakeWork() {
        W().resize(700, 520);
        W().CurvePanel->AddCurve(Peak(101), true, false);
        W().CurvePanel->AddCurve(MakeCurve({{0, 1}, {4, 2.5}, {9, 0.5}}, f.Path("b.dat").toStdString()), true,
                                 false);
        TPlottedCurve& b = *W().CurvePanel->Curve(2);
        b.symbol = true;
        b.SymbolSize = 5;
        b.linestyle = psDash;
        b.linecolor = 0x00FFFF;
        TGrid& g = W().CurvePanel->Grid();
        g.WorldMin = {-0.5, -1.0 / 3.0};
        g.WorldMax = {10.25, 4.0};
        g.XDiv = 5;
        g.Title = QStringLiteral("Peak and slope");
        g.XCaption = QStringLiteral("time");
        W().CurvePanel->SetLegendShown(true);
        W().CurvePanel->CurveSet().SetActive(1);
        W().SetNewCurveMode(true);
        W().CurvePanel->CurveSet().Redraw();
        W().RefreshAfterSetChange();
        f.A("Fit1")->trigger();
        QVERIFY(W().FitPanelShowing());
        W().FitPanel->AddTerm(TPeak::Polynomial, 1, true);
        W().FitPanel->AddTerm(TPeak::Gaussian, 0, true);
        W().FitPanel->SetData(*W().CurvePanel->Curve(1), 11, 95);
        RunFit(W());
    }

private slots:
    void initTestCase() { f.IsolateUserFiles(); }
    void init() { QVERIFY(f.OpenWindow()); }
    void cleanup() {
        CloseOthers();
        f.CloseWindow();
    }

    void SavedSessionOpensAsItWas() {
        MakeWork();
        const QImage before = PanelPicture(W());
        const std::vector<TPeak> termsBefore = W().FitPanel->Fit().Terms();
        const double chiBefore = W().FitPanel->Fit().CurrentChiSquare();
        const QString chiText = W().FitPanel->ChiSqr->text();
        QVERIFY(termsBefore.size() == 2 && W().FitPanel->Fit().iterations > 0);
        const QString file = f.Path("work.gmsession");
        f.msg->FileNames.push_back(file);
        f.A("SaveSession1")->trigger();
        QVERIFY(QFileInfo::exists(file));
        QCOMPARE(f.msg->Log.back().text, SessionFileFilter());
        // A name typed without the extension gets it; an existing file of that name is asked about first.
        f.msg->FileNames.push_back(f.Path("work"));
        f.A("SaveSession1")->trigger();
        QCOMPARE(f.msg->Log.back().text, file + QStringLiteral(" already exists. Replace it?"));
        QVERIFY(!QFileInfo::exists(file + QStringLiteral(".bak")));
        f.msg->FileNames.push_back(f.Path("work"));
        f.msg->ConfirmAnswers.push_back(true);
        f.A("SaveSession1")->trigger();
        QVERIFY(QFileInfo::exists(f.Path("work.gmsession.bak")));
        // The batch tool draws the window's graph as Export graph does.
        const QString picture = f.Path("work.png");
        Cli({QStringLiteral("render"), file, QStringLiteral("--size"), QStringLiteral("640x480"),
             QStringLiteral("-o"), picture});
        QCOMPARE(QImage(picture).convertToFormat(QImage::Format_RGB32),
                 GraphImage(W().CurvePanel->CurveSet(), QSize(640, 480), 1.0)
                     .convertToFormat(QImage::Format_RGB32));

        // The windows are closed; a fresh one opens the session.
        f.msg->SaveAnswers.push_back(TSaveAnswer::No);
        cleanup();
        init();
        f.msg->FileNames.push_back(file);
        f.A("OpenSession1")->trigger();
        QVERIFY(W().NextWindow == nullptr);
        QCOMPARE(W().CurvePanel->CurveCount(), 2);
        QCOMPARE(W().CurvePanel->ActiveIndex(), 1);
        QVERIFY(W().NewCurveModeOn() && f.A("NewCurveModeBtn")->isChecked());
        QVERIFY(W().LegendShown());
        QVERIFY(!W().CurvePanel->Curve(1)->Saved);
        QVERIFY(W().CurvePanel->Curve(2)->Saved);
        QCOMPARE(W().CurvePanel->Curve(2)->FileName, f.Path("b.dat").toStdString());
        QVERIFY(W().FitPanelShowing());
        const TFitParamB& fit = W().FitPanel->Fit();
        QCOMPARE(W().FitPanel->RangeFirst(), 11);
        QCOMPARE(W().FitPanel->RangeLast(), 95);
        QCOMPARE(fit.TermCount(), 2);
        for (int32_t t = 0; t < 2; ++t)
            for (size_t k = 1; k <= static_cast<size_t>(fit.Term(t).nparams); ++k) {
                QVERIFY(SameBits(fit.Term(t).value[k], termsBefore[static_cast<size_t>(t)].value[k]));
                QVERIFY(SameBits(fit.Term(t).sigma[k], termsBefore[static_cast<size_t>(t)].sigma[k]));
            }
        QVERIFY(SameBits(fit.CurrentChiSquare(), chiBefore));
        QCOMPARE(W().FitPanel->ChiSqr->text(), chiText);
        // The same picture, pixel for pixel: curves, styles, axes, legend and the model over them.
        const QImage after = PanelPicture(W());
        QCOMPARE(after.size(), before.size());
        QVERIFY(after == before);
        // The curve commands rest while the panel shows, as they did.
        QVERIFY(!f.A("Delete1")->isEnabled());
    }

    void WindowsOpenBesideCurvesTheyWouldCover() {
        TSession s;
        for (int i = 0; i < 2; ++i) {
            TSessionWindow& w = s.windows.emplace_back();
            w.geometry = QRect(100 + 50 * i, 80, 500, 400);
            w.curves.emplace_back(Peak(10 + i));
            w.active = 1;
            w.axes.WorldMax = {20, 20};
        }
        const QString file = f.Path("two.gmsession");
        QString error;
        QVERIFY(WriteSession(file, SessionToJson(s), error));
        // An empty window takes the first window of the session.
        W().LoadFiles({file});
        QCOMPARE(W().CurvePanel->CurveCount(), 1);
        QCOMPARE(W().CurvePanel->Curve(1)->Count(), 10);
        QCOMPARE(W().geometry(), QRect(100, 80, 500, 400));
        QVERIFY(W().NextWindow != nullptr && W().NextWindow->NextWindow == nullptr);
        QCOMPARE(W().NextWindow->CurvePanel->Curve(1)->Count(), 11);
        QCOMPARE(W().NextWindow->geometry(), QRect(150, 80, 500, 400));
        // A window with curves keeps them: the session's windows all open beside it.
        CloseOthers();
        f.msg->FileNames.push_back(file);
        f.A("Open1")->trigger();
        QCOMPARE(W().CurvePanel->CurveCount(), 1);
        int windows = 0;
        for (Tcurvewindow* w = &W(); w != nullptr; w = w->NextWindow) ++windows;
        QCOMPARE(windows, 3);
    }

    void DamagedSessionOpensNothing() {
        W().CurvePanel->AddCurve(Peak(20), true, true);
        TSession s;
        for (int i = 0; i < 2; ++i) {
            TSessionWindow& w = s.windows.emplace_back();
            w.geometry = QRect(0, 0, 400, 300);
        }
        // The second window's place is no number.
        QJsonObject root = QJsonDocument::fromJson(SessionToJson(s)).object();
        QJsonArray windows = root[QStringLiteral("windows")].toArray();
        QJsonObject second = windows[1].toObject();
        second[QStringLiteral("geometry")] = QJsonArray{QStringLiteral("x"), 0, 400, 300};
        windows[1] = second;
        root[QStringLiteral("windows")] = windows;
        const QByteArray json = QJsonDocument(root).toJson();
        const QString file = f.Path("damaged.gmsession");
        WriteFile(file, json.toStdString());
        QVERIFY(!W().OpenSession(file));
        QCOMPARE(f.msg->Log.back().kind, QStringLiteral("error"));
        QCOMPARE(
            f.msg->Log.back().text,
            QStringLiteral("The session was not opened: %1: window 2: \"geometry\" is not four whole numbers "
                           "x, y, width, height")
                .arg(file));
        QVERIFY(W().NextWindow == nullptr);
        QCOMPARE(W().CurvePanel->CurveCount(), 1);
        // Fit settings out of range are found before any window changes, too.
        s.windows[0].curves.emplace_back(Peak(20));
        s.windows[0].active = 1;
        s.windows[1].fit.emplace().settings = QJsonObject{{QStringLiteral("maxIterations"), 10001}};
        QString error;
        QVERIFY(WriteSession(file, SessionToJson(s), error));
        QVERIFY(!W().OpenSession(file));
        QVERIFY(f.msg->Log.back().text.endsWith(QStringLiteral(
            "window 2, fit settings: \"maxIterations\" is not a whole number from 0 to 10000")));
        QVERIFY(W().NextWindow == nullptr);
    }

    void FitSettingsTravelWhole() {
        TFitSettings s;
        s.tolerance = 1.0 / 3.0;
        s.maxIterations = 10000;
        s.dragUpdate = false;
        s.displayIncrements = TFitSettingsDlg::MaxIncrements;
        s.relativeTest = true;
        s.ftol = 1e-9;
        s.xtol = 1.0;
        s.weights = static_cast<int32_t>(TWeighting::Relative);
        TFitSettings r;
        QString why;
        QVERIFY(FitSettingsFromJson(FitSettingsToJson(s), r, why));
        QVERIFY(SameBits(r.tolerance, s.tolerance) && r.maxIterations == s.maxIterations && !r.dragUpdate &&
                r.displayIncrements == s.displayIncrements && r.relativeTest && r.ftol == s.ftol &&
                r.xtol == s.xtol && r.weights == s.weights);
        QJsonObject o = FitSettingsToJson(s);
        QCOMPARE(o.value(QStringLiteral("weights")).toString(), QStringLiteral("relative"));
        o[QStringLiteral("weights")] = QStringLiteral("variance");
        QVERIFY(!FitSettingsFromJson(o, r, why));
        QVERIFY(why.contains(QLatin1String("\"weights\"")));
        o = FitSettingsToJson(s);
        o[QStringLiteral("displayIncrements")] = TFitSettingsDlg::MaxIncrements + 1;
        QVERIFY(!FitSettingsFromJson(o, r, why));
        o[QStringLiteral("displayIncrements")] = 1;
        QVERIFY(!FitSettingsFromJson(o, r, why));
        o = FitSettingsToJson(s);
        o[QStringLiteral("xtol")] = 1.5;
        QVERIFY(!FitSettingsFromJson(o, r, why));
        QVERIFY(why.contains(QLatin1String("\"xtol\"")));
        // The bounds of a number belong to its range.
        o = FitSettingsToJson(s);
        o[QStringLiteral("tolerance")] = 0.0;
        o[QStringLiteral("ftol")] = 0.0;
        QVERIFY(FitSettingsFromJson(o, r, why));
        QCOMPARE(r.tolerance, 0.0);
        o[QStringLiteral("tolerance")] = -1e-300;
        QVERIFY(!FitSettingsFromJson(o, r, why));
        // Missing values keep their defaults.
        QVERIFY(FitSettingsFromJson(QJsonObject{}, r, why));
        QCOMPARE(r.maxIterations, TFitSettings{}.maxIterations);
        QCOMPARE(r.weights, TFitSettings{}.weights);
    }

    void RecoverySessionFollowsUnsavedCurves() {
        const QString folder = f.Path("recovery");
        TRecovery recovery(W(), folder, 50);
        QVERIFY(recovery.Keeps());
        recovery.Start();
        // Nothing unsaved: no recovery session.
        W().CurvePanel->AddCurve(MakeCurve({{0, 0}, {1, 1}}, f.Path("a.dat").toStdString()), true, true);
        QTest::qWait(200);
        QVERIFY(!QFileInfo::exists(recovery.FileName()));
        // An unsaved curve is written within the interval.
        W().CurvePanel->AddCurve(Peak(30), true, true);
        QTRY_VERIFY(recovery.WriteCount() > 0);
        recovery.WaitForWrite();
        QTRY_VERIFY(QFileInfo::exists(recovery.FileName()));
        TSession read;
        QString error;
        QVERIFY(ReadSession(recovery.FileName(), read, error));
        QCOMPARE(read.windows[0].curves.size(), size_t{2});
        // A second program keeps none while this one runs.
        TRecovery second(W(), folder, 50);
        QVERIFY(!second.Keeps());
        // Saved, the work needs no recovery any more.
        W().CurvePanel->Curve(2)->FileName = f.Path("p.dat").toStdString();
        W().CurvePanel->Curve(2)->Saved = true;
        QTRY_VERIFY(!QFileInfo::exists(recovery.FileName()));
        W().CurvePanel->Curve(2)->Saved = false;
        QTRY_VERIFY(QFileInfo::exists(recovery.FileName()));
        recovery.Finish();
        QVERIFY(!QFileInfo::exists(recovery.FileName()));
    }

    void LeftRecoveryIsOfferedAndRestored() {
        const QString folder = f.Path("left");
        TSession s;
        TSessionWindow& w = s.windows.emplace_back();
        w.geometry = QRect(10, 10, 600, 450);
        w.curves.emplace_back(Peak(40));
        w.active = 1;
        QDir().mkpath(folder);
        QString error;
        QVERIFY(WriteSession(QDir(folder).filePath(QStringLiteral("recovery.gmsession")), SessionToJson(s),
                             error));
        {
            // Declined: the recovery session goes, the window stays empty.
            TRecovery recovery(W(), folder, 60000);
            f.msg->ConfirmAnswers.push_back(false);
            recovery.Start();
            QVERIFY(f.msg->Log.back().text.startsWith(
                QLatin1String("Graphmill did not end normally last time.")));
            QCOMPARE(W().CurvePanel->CurveCount(), 0);
            QVERIFY(!QFileInfo::exists(recovery.FileName()));
        }
        QVERIFY(WriteSession(QDir(folder).filePath(QStringLiteral("recovery.gmsession")), SessionToJson(s),
                             error));
        {
            TRecovery recovery(W(), folder, 60000);
            f.msg->ConfirmAnswers.push_back(true);
            recovery.Start();
            QCOMPARE(W().CurvePanel->CurveCount(), 1);
            QCOMPARE(W().CurvePanel->Curve(1)->Count(), 40);
            QVERIFY(SameBits(W().CurvePanel->Curve(1)->Y(17), Peak(40).Y(17)));
            QVERIFY(!QFileInfo::exists(recovery.FileName()));
        }
        // A damaged one is set aside, not lost and not offered again.
        TRecovery later(W(), folder, 60000);
        WriteFile(later.FileName(), "{\"format\": 1");
        f.msg->ConfirmAnswers.push_back(true);
        later.Start();
        QVERIFY(
            f.msg->Log.back().text.contains(later.FileName() + QStringLiteral(": not a Graphmill session")));
        QVERIFY(!QFileInfo::exists(later.FileName()));
        QVERIFY(QFileInfo::exists(later.FileName() + QStringLiteral(".unread")));
        later.Finish();
    }

    // The program itself, killed in the middle of its work, leaves the recovery session behind.
    void KilledProgramLeavesItsRecovery() {
        const QString data = f.Path("killed");
        TSession s;
        TSessionWindow& w = s.windows.emplace_back();
        w.geometry = QRect(0, 0, 500, 400);
        w.curves.emplace_back(Peak(25)); // unsaved
        w.active = 1;
        const QString file = f.Path("unsaved.gmsession");
        QString error;
        QVERIFY(WriteSession(file, SessionToJson(s), error));
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), data);
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), f.Path("killedconfig"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("GRAPHMILL_RECOVERY_INTERVAL"), QStringLiteral("0.2"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(GRAPHMILL_APP), {file});
        QVERIFY(p.waitForStarted());
        const QString recovery = data + QStringLiteral("/Graphmill/recovery.gmsession");
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(recovery), 20000);
        p.kill(); // SIGKILL
        p.waitForFinished();
        TSession read;
        QVERIFY2(ReadSession(recovery, read, error), qPrintable(error));
        QCOMPARE(read.windows[0].curves.size(), size_t{1});
        QVERIFY(SameBits(read.windows[0].curves[0].Y(25), Peak(25).Y(25)));
        // The next start finds the lock of a process that is gone and takes the recovery session up.
        TRecovery next(W(), data + QStringLiteral("/Graphmill"), 60000);
        QVERIFY(next.Keeps());
        f.msg->ConfirmAnswers.push_back(true);
        next.Start();
        QCOMPARE(W().CurvePanel->CurveCount(), 1);
        next.Finish();
    }
};

QTEST_MAIN(TestSession)
#include "test_session.moc"
