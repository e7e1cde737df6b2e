// Every save of the desktop program (a curve, an exported picture, a graph printed to a PDF file, the
// preferences, the function library) under a full disk, a read-only folder, a folder that is gone and a name
// that is a folder's: a message naming the file, and the file that was there before as it was.
#include "../faultplace.h"
#include "app/CurvePreferences.h"
#include "app/ExportGraphDlg.h"
#include "expr/UserFunctions.h"
#include "fit/AddPeak.h"
#include "modaldialogs.h"
#include "plot/CurvePanels.h"
#include "windowfixture.h"

#include <QDoubleSpinBox>
#include <QPushButton>
#include <QRadioButton>

class TestSaveFaults : public QObject {
    Q_OBJECT
    TWindowFixture f;

private slots:
    void initTestCase() { f.IsolateUserFiles(); }
    void init() {
        QVERIFY(f.OpenWindow());
        f.win->CurvePanel->AddCurve(MakeCurve({{0, 1}, {1, 3}, {2, 2}}), true, true);
    }
    void cleanup() { f.CloseWindow(); }

    void everySaveKeepsTheOldFileAndSaysWhy_data() {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("what");
        for (const TFault fault : AllFaults)
            for (const char* what : {"curve", "picture", "print", "preferences", "library"})
                QTest::addRow("%s, %s", what, FaultName(fault)) << static_cast<int>(fault) << what;
    }
    void everySaveKeepsTheOldFileAndSaysWhy() {
        QFETCH(int, fault);
        QFETCH(QString, what);
        const auto kind = static_cast<TFault>(fault);
        const char* name = what == "curve"         ? "c.dat"
                           : what == "picture"     ? "g.png"
                           : what == "print"       ? "p.pdf"
                           : what == "preferences" ? "Graphmill.ini"
                                                   : "UserFit.dat";
        std::string before = "[Display]\nLines=1\n";
        if (what == "library") {
            // A library of one function: the file is read before it is written.
            TUserFunctionList list;
            QCOMPARE(DefineUserFunction(list, "f", "a*x", {{"a", "x", 1, 0, 2, 0}}), "");
            QCOMPARE(list.Save(f.dir.filePath("lib.dat").toStdString()), 0);
            QFile lib(f.dir.filePath("lib.dat"));
            QVERIFY(lib.open(QIODevice::ReadOnly));
            before = lib.readAll().toStdString();
        }
        const TFaultPlace place(kind, f.dir.path().toStdString(), name, before);
        if (!place.Ready()) QSKIP("this machine cannot make that fault");
        const QString target = QString::fromStdString(place.Target().string());
        QStringList errors;
        if (what == "curve") {
            f.msg->FileNames = {target};
            f.A("SaveAs1")->trigger();
            QVERIFY(!f.win->CurvePanel->Curve(1)->Saved);
        } else if (what == "picture") {
            f.msg->FileNames = {target};
            WhileShown<TExportGraphDlg>([](TExportGraphDlg& d) {
                d.PixelsRadio->click();
                d.WidthEdit->setValue(300);
                d.HeightEdit->setValue(200);
                d.OKBtn->click();
            });
            f.A("ExportGraph1")->trigger();
        } else if (what == "print") {
            f.msg->PrinterFiles = {target, target};
            f.A("PrintSetup1")->trigger();
            f.msg->ConfirmAnswers = {true};
            f.A("Print1")->trigger();
        } else if (what == "preferences") {
            const QByteArray home = qgetenv("XDG_CONFIG_HOME");
            qputenv("XDG_CONFIG_HOME", place.Dir().c_str());
            WhileShown<TCurvePrefs>([](TCurvePrefs& d) { d.CancelBtn->click(); });
            f.A("Preferences1")->trigger();
            qputenv("XDG_CONFIG_HOME", home);
            if (kind == TFault::Vanished) {
                // The configuration folder is made again, and the file written there.
                QVERIFY(f.msg->Texts("error").isEmpty());
                QVERIFY(QFile::exists(target));
                return;
            }
        } else {
            // Defining a function saves the library; the function dialog shows why a save failed.
            QString error;
            QCOMPARE(TFitLibrary::Of(target).Define("g", "b*x", {{"b", "x", 1, 0, 2, 0}}, -1, &error),
                     QString());
            errors << error;
        }
        errors << f.msg->Texts("error");
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().contains(target), qPrintable(errors.first()));
        QVERIFY(place.Intact());
    }
};

QTEST_MAIN(TestSaveFaults)
#include "test_savefaults.moc"
