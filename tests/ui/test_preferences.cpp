// The preferences file and dialog: what a window takes from Graphmill.ini at its first show, what it writes,
// and what a damaged or unwritable file does. The user's folders are temporary ones.
#include "app/CurvePreferences.h"
#include "app/curvewin.h"
#include "modaldialogs.h"
#include "plot/CurvePanels.h"
#include "plot/SpecialCombos.h"
#include "plot/w_curve.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

namespace {
QString ReadText(const QString& name) {
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}
} // namespace

class TestPreferences : public QObject, TWindowFixture {
    Q_OBJECT

    QString Ini() const { return dir.filePath("config/Graphmill.ini"); }
    Tcurvewindow& Show() {
        win = std::make_unique<Tcurvewindow>();
        win->show();
        if (!QTest::qWaitForWindowExposed(win.get())) qFatal("window not shown");
        return *win;
    }

private slots:
    void initTestCase() {
        IsolateUserFiles();
        QVERIFY(PreferencesFile().startsWith(dir.path()));
    }
    void init() {
        QDir(dir.filePath("config")).removeRecursively();
        QDir(dir.filePath("data")).removeRecursively();
        QDir().mkpath(dir.filePath("config"));
        DefaultCurveProps = {};
        msg = std::make_unique<TScriptedMessages>();
    }
    void cleanup() { CloseWindow(); }

    void freshStartMakesTheDataFolderAndWritesNothing() {
        Tcurvewindow& w = Show();
        QCOMPARE(w.FunctionLibraryFile, dir.filePath("data/Graphmill/UserFit.dat"));
        QVERIFY(QFileInfo(dir.filePath("data/Graphmill")).isDir());
        QVERIFY(!QFile::exists(Ini())); // nothing written until the main window closes
    }

    void fileValuesAreCheckedKey_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("lines");
        QTest::addColumn<bool>("symbols");
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("library");
        const QString user = QStringLiteral("data/Graphmill/UserFit.dat");
        QTest::newRow("only FunctionLibrary")
            << QByteArray("[Fitting]\nFunctionLibrary=Mine.dat\n") << true << false << 3 << user;
        QTest::newRow("the key read") << QByteArray("[Fitting]\nFunctionLiabrary=Mine.dat\n") << true << false
                                      << 3 << "data/Graphmill/Mine.dat";
        QTest::newRow("absolute name") << QByteArray("[Fitting]\nFunctionLiabrary=/srv/lib.dat\n") << true
                                       << false << 3 << "/srv/lib.dat";
        QTest::newRow("symbols, size")
            << QByteArray("[Display]\nLines=0\nSymbols=1\nSymbolSize=9\n") << false << true << 9 << user;
        QTest::newRow("size beyond limits")
            << QByteArray("[Display]\nSymbolSize=500\n") << true << false << 20 << user;
        QTest::newRow("size below limits")
            << QByteArray("[Display]\nSymbolSize=0\n") << true << false << 1 << user;
        QTest::newRow("smallest size")
            << QByteArray("[Display]\nSymbolSize=1\n") << true << false << 1 << user;
        QTest::newRow("neither lines nor symbols")
            << QByteArray("[Display]\nLines=0\nSymbols=0\n") << true << false << 3 << user;
        QTest::newRow("bad values") << QByteArray("[Display]\nLines=yes\nSymbolSize=3,5\nBackColor=green\n")
                                    << true << false << 3 << user;
        // Values that name a type: QSettings would build a flag, a number, a text and a picture from their
        // bytes; each is a damaged value and gives the default.
        static const char typed[] =
            "[Display]\r\nLines\x01\x00\x00\x03=[General]\nx=@Variant(\\0\\0\\0Ax7f)\n"
            "[Display]\nSymbols=@Variant(\\0\\0\\0\\x1\\0\\x1)\n"
            "SymbolSize=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\0\\t)\n"
            "BackColor=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\0\\xff)\n"
            "GridColor=@Variant(\\0\\0\\x10\\x1\\0\\0\\0\\0\\0)\n"
            "[Fitting]\nFunctionLiabrary=@ByteArray(Mine.dat)\n";
        QTest::newRow("values naming types")
            << QByteArray(typed, sizeof typed - 1) << true << false << 3 << user;
        QTest::newRow("garbage") << QByteArray("\x01\xff[[=\n\0\0binary\x80\x81=\n[Display\nLines==", 34)
                                 << true << false << 3 << user;
    }
    void fileValuesAreCheckedKey() {
        QFETCH(QByteArray, file);
        QFETCH(bool, lines);
        QFETCH(bool, symbols);
        QFETCH(int, size);
        QFETCH(QString, library);
        WriteFile(Ini(), file.toStdString());
        Tcurvewindow& w = Show();
        QCOMPARE(DefaultCurveProps.Lines, lines);
        QCOMPARE(DefaultCurveProps.Symbols, symbols);
        QCOMPARE(DefaultCurveProps.SymbolSize, size);
        QCOMPARE(w.CurvePanel->Grid().BackgrColor, TColor(0x000000));
        QCOMPARE(w.FunctionLibraryFile, library.startsWith('/') ? library : dir.filePath(library));
    }

    void everyKeyRoundTripsAndOthersAreKept() {
        WriteFile(Ini(), "[Display]\nLines=1\nFutureKey=7\n[Later]\nThing=x\n");
        Tcurvewindow& w = Show();
        DefaultCurveProps = {false, true, 12};
        TGrid& g = w.CurvePanel->Grid();
        g.color = 0x00FFFF;
        g.gridlines = false;
        g.BackgrColor = 0xFFFFFF;
        w.CurvePanel->Crosshair.CursorColor = 0x800080;
        w.SetNewCurveMode(true);
        w.SetAutoUpdate(false);
        w.SetDataDir(dir.filePath("@data dir, with comma; \"quoted\" \\ and \u00e9"));
        w.close(); // the main window writes the file
        const QString text = ReadText(Ini());
        for (const char* line :
             {"Lines=0", "Symbols=1", "SymbolSize=12", "GridColor=65535", "GridLines=0", "BackColor=16777215",
              "CursorColor=8388736", "NewCurveMode=1", "AutoUpdate=0", "FutureKey=7", "[Later]", "Thing=x"})
            QVERIFY2(text.contains(QLatin1String(line)), line);
        // In the order Graphmill writes them; what it does not know comes after its own.
        qsizetype at = -1;
        for (const char* key :
             {"[Directories]", "\nCurrent=", "[Display]",
              "\nLines=", "\nSymbols=", "\nSymbolSize=", "\nGridColor=", "\nGridLines=", "\nBackColor=",
              "\nCursorColor=", "\nNewCurveMode=", "\nAutoUpdate=", "\nFutureKey=", "[Later]"}) {
            const qsizetype next = text.indexOf(QLatin1String(key));
            QVERIFY2(next > at, key);
            at = next;
        }

        DefaultCurveProps = {};
        Tcurvewindow& again = Show();
        QVERIFY(!DefaultCurveProps.Lines && DefaultCurveProps.Symbols);
        QCOMPARE(DefaultCurveProps.SymbolSize, 12);
        QCOMPARE(again.CurvePanel->Grid().color, TColor(0x00FFFF));
        QVERIFY(!again.CurvePanel->Grid().gridlines);
        QCOMPARE(again.CurvePanel->Grid().BackgrColor, TColor(0xFFFFFF));
        QCOMPARE(again.CurvePanel->Crosshair.CursorColor, TColor(0x800080));
        QVERIFY(again.NewCurveMode);
        QVERIFY(again.Action(QStringLiteral("NewCurveModeBtn"))->isChecked());
        QVERIFY(!again.CurvePanel->AutoUpdate);
        QVERIFY(!again.Action(QStringLiteral("AutoUpdateBtn"))->isChecked());
        QCOMPARE(again.DataDir, dir.filePath("@data dir, with comma; \"quoted\" \\ and \u00e9") + '/');
    }

    void preferencesDialogCancelOrOkWritesTheFile() {
        Tcurvewindow& w = Show();
        WhileShown<TCurvePrefs>([](TCurvePrefs& d) {
            QVERIFY(d.LinesRadio->isChecked());
            QVERIFY(!d.SymbolSizeEdit->isEnabled());
            d.SymbolsRadio->click();
            QVERIFY(d.SymbolSizeEdit->isEnabled());
            d.CancelBtn->click();
        });
        w.Action(QStringLiteral("Preferences1"))->trigger();
        QVERIFY(DefaultCurveProps.Lines && !DefaultCurveProps.Symbols);
        QVERIFY(ReadText(Ini()).contains(QLatin1String("Symbols=0")));

        WhileShown<TCurvePrefs>([](TCurvePrefs& d) {
            d.BothRadio->click();
            d.SymbolSizeEdit->setValue(6);
            d.BackColor->setCurrentIndex(d.BackColor->IndexOfColor(0xFFFFFF));
            d.GridLines->setChecked(false);
            d.CursorInterpolation->setChecked(false);
            d.ToolbarVisible->setChecked(false);
            d.OKBtn->click();
        });
        w.Action(QStringLiteral("Preferences1"))->trigger();
        QVERIFY(DefaultCurveProps.Lines && DefaultCurveProps.Symbols);
        QVERIFY(!w.CurvePanel->Crosshair.Interpolate);
        QVERIFY(!w.ToolbarShown());
        const QString text = ReadText(Ini());
        for (const char* line : {"Symbols=1", "SymbolSize=6", "BackColor=16777215", "GridLines=0"})
            QVERIFY2(text.contains(QLatin1String(line)), line);
        // Curves added from now on take the new style.
        TCurveB c;
        c.AddPoint(0, 0);
        w.CurvePanel->AddCurve(c, true, true);
        QVERIFY(w.CurvePanel->Curve(1)->symbol);
        QCOMPARE(w.CurvePanel->Curve(1)->SymbolSize, 6);
    }
};

QTEST_MAIN(TestPreferences)
#include "test_preferences.moc"
