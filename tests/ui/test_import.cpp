// File > Import with the "Import Data" dialog, File > Export data, compressed files through Open and drop,
// and what Open and the operations tell in the status line.
#include "../gzipped.h"
#include "../tempdir.h"
#include "app/CurvePreferences.h"
#include "app/ImportDialog.h"
#include "app/curvewin.h"
#include "modaldialogs.h"
#include "plot/CurvePanels.h"
#include "plot/SpecialCombos.h"
#include "plot/curve_plot.h"
#include "windowfixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

namespace {

void WriteBytes(const QString& name, const std::string& bytes) {
    std::ofstream(name.toStdString(), std::ios::binary) << bytes;
}

const std::string Sheet = "% Messung 7\n"
                          "Zeit;Spannung;Strom;Fehler\n"
                          "0;1,5;-1;0,1\n"
                          "1;2,5;-2;0,2\n"
                          "2;3,5;x;0,3\n";

QStringList HeaderLabels(const QTableWidget* t) {
    QStringList out;
    for (int c = 0; c < t->columnCount(); ++c) out << t->horizontalHeaderItem(c)->text();
    return out;
}

void Check(QListWidget* list, int column, bool on) {
    list->item(column - 1)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}
} // namespace

class TestImport : public QObject, TWindowFixture {
    Q_OBJECT

    QString Ini() const { return dir.filePath("config/Graphmill.ini"); }

private slots:
    void initTestCase() { IsolateUserFiles(); }
    void init() {
        QFile::remove(Ini());
        QVERIFY(OpenWindow());
    }
    void cleanup() { CloseWindow(); }

    void previewFollowsEveryChoice() {
        WriteFile(Path("sheet.csv"), Sheet);
        TImportDialog d;
        QString error;
        columns::TColumnOptions o;
        o.header = true;
        QVERIFY(d.SetFile(Path("sheet.csv"), o, error));
        QCOMPARE(d.windowTitle(), QStringLiteral("Import Data"));
        QCOMPARE(d.CommentEdit->text(), QStringLiteral("#%!"));
        QCOMPARE(d.Preview->rowCount(), 5);
        QCOMPARE(HeaderLabels(d.Preview), (QStringList{"1: Zeit", "2: Spannung", "3: Strom", "4: Fehler"}));
        QCOMPARE(d.Preview->item(2, 1)->text(), QStringLiteral("1,5"));
        QCOMPARE(d.Preview->item(0, 0)->text(), QStringLiteral("% Messung 7")); // a comment, over all columns
        QCOMPARE(d.Preview->columnSpan(0, 0), 4);
        QCOMPARE(d.XBox->currentText(), QStringLiteral("1: Zeit"));
        QCOMPARE(d.YList->count(), 4);
        QCOMPARE(d.SigmaBox->currentText(), QStringLiteral("none"));
        QVERIFY2(d.Summary->text().startsWith("semicolon-separated, decimal comma. 1 curve of 3 points"),
                 qPrintable(d.Summary->text()));
        // A second y column with a cell of text: two curves, the line told.
        Check(d.YList, 3, true);
        QVERIFY2(
            d.Summary->text().contains("2 curves") &&
                d.Summary->text().contains("1 line skipped (a cell that is not a number), the first line 5"),
            qPrintable(d.Summary->text()));
        QCOMPARE(d.Choices().yColumns, (std::vector<int32_t>{2, 3}));
        // The sigma column: coloured in the preview, named in the summary.
        d.SigmaBox->setCurrentIndex(4);
        QCOMPARE(d.Choices().sigmaColumn, 4);
        QCOMPARE(d.Preview->item(2, 3)->background().color(), QColor(0xff, 0xf1, 0xc4));
        QVERIFY(d.Summary->text().contains("with sigma"));
        // Without the header row the names line is a line of text and the columns have no names.
        d.HeaderCheck->setChecked(false);
        QCOMPARE(HeaderLabels(d.Preview), (QStringList{"1", "2", "3", "4"}));
        QVERIFY2(d.Summary->text().contains("a line of text"), qPrintable(d.Summary->text()));
        QCOMPARE(d.Choices().yColumns, (std::vector<int32_t>{2, 3})); // kept through the refill
        // Lines to skip: the skipped ones are greyed over the whole row.
        d.SkipEdit->setValue(2);
        QCOMPARE(d.Preview->item(1, 0)->toolTip(), QStringLiteral("skipped"));
        QCOMPARE(d.Preview->item(2, 0)->text(), QStringLiteral("0"));
        // Whitespace: one column only, and the summary says why no curve comes of it.
        d.SeparatorBox->setCurrentIndex(4);
        QCOMPARE(d.Preview->columnCount(), 1);
        QVERIFY2(d.Summary->text().contains("In the lines shown, no line has a column"),
                 qPrintable(d.Summary->text()));
        // The decimal mark forced to a point: "1,5" is no number any more.
        d.SeparatorBox->setCurrentIndex(2);
        d.DecimalBox->setCurrentIndex(1);
        QVERIFY2(d.Summary->text().contains("decimal point"), qPrintable(d.Summary->text()));
        QVERIFY2(d.Summary->text().contains("no line gives a point from column 2"),
                 qPrintable(d.Summary->text()));
        // No y column: nothing to import.
        Check(d.YList, 2, false);
        Check(d.YList, 3, false);
        QVERIFY(!d.ImportBtn->isEnabled());
        QVERIFY(d.Summary->text().contains("Check at least one y column."));
        // A comment character typed: the first line is data again.
        Check(d.YList, 2, true);
        d.SkipEdit->setValue(0);
        Type(d.CommentEdit, QStringLiteral("#"));
        QVERIFY(d.Preview->item(0, 0)->toolTip().isEmpty());
    }

    void rememberedColumnsTheFileLacksFallBack() {
        WriteFile(Path("two.txt"), "1 2\n3 4\n");
        columns::TColumnOptions o;
        o.xColumn = 3;
        o.yColumns = {5, 6};
        o.sigmaColumn = 7;
        TImportDialog d;
        QString error;
        QVERIFY(d.SetFile(Path("two.txt"), o, error));
        QCOMPARE(d.Choices().xColumn, 1);
        QCOMPARE(d.Choices().yColumns, (std::vector<int32_t>{2}));
        QCOMPARE(d.Choices().sigmaColumn, 0);
        QCOMPARE(d.YList->count(), 2);
        // One column: the row number as x.
        WriteFile(Path("one.txt"), "5\n6\n");
        QVERIFY(d.SetFile(Path("one.txt"), o, error));
        QCOMPARE(d.Choices().xColumn, 0);
        QCOMPARE(d.Choices().yColumns, (std::vector<int32_t>{1}));
        QVERIFY(d.Summary->text().contains("1 curve of 2 points"));
        // A file that cannot be read: refused, naming it.
        QVERIFY(!d.SetFile(Path("missing.csv"), o, error));
        QVERIFY(error.startsWith(Path("missing.csv")));
    }

    void importAddsOneCurvePerColumnAndRemembersTheChoices() {
        WriteBytes(Path("sheet.csv.gz"), Gzipped(Sheet));
        QDir().mkpath(dir.filePath("config"));
        WriteFile(Ini(), "[Display]\nSymbolSize=7\n[Other]\nKey=kept\n");
        QCOMPARE(A("Import1")->shortcut(), QKeySequence(QStringLiteral("Ctrl+I")));
        msg->FileNames = {Path("sheet.csv.gz")};
        WhileShown<TImportDialog>([](TImportDialog& d) {
            d.HeaderCheck->setChecked(true);
            Check(d.YList, 3, true);
            d.SigmaBox->setCurrentIndex(4);
            QTest::mouseClick(d.ImportBtn, Qt::LeftButton);
        });
        A("Import1")->trigger();
        QCOMPARE(msg->Texts("error"), QStringList{});
        QCOMPARE(win->CurvePanel->CurveCount(), 2);
        const TPlottedCurve* u = win->CurvePanel->Curve(1);
        const TPlottedCurve* i = win->CurvePanel->Curve(2);
        QCOMPARE(u->Count(), 3);
        QCOMPARE(u->Y(3), 3.5);
        QCOMPARE(i->Count(), 2);
        QVERIFY(u->HasSigma());
        QCOMPARE(u->Sigma(2), 0.2);
        QCOMPARE(QString::fromStdString(u->Comment), QStringLiteral("Spannung"));
        QCOMPARE(ShortFileName(u->FileName), QStringLiteral("sheet_Spannung.dat"));
        QCOMPARE(ShortFileName(i->FileName), QStringLiteral("sheet_Strom.dat"));
        QCOMPARE(win->CurvePicker->itemText(1), QStringLiteral("#2: sheet_Strom.dat"));
        QCOMPARE(win->StatusLine()->text(),
                 QStringLiteral(
                     "Imported 2 curves from sheet.csv.gz with sigma; 1 line skipped (a cell that is not a "
                     "number), the first line 5: 2;3,5;x;0,3."));
        // The choices are kept in their own section; the other sections stay as they were.
        const columns::TColumnOptions kept = ReadImportChoices(PreferencesFile());
        QVERIFY(kept.header);
        QCOMPARE(kept.yColumns, (std::vector<int32_t>{2, 3}));
        QCOMPARE(kept.sigmaColumn, 4);
        QCOMPARE(kept.comment, std::string("#%!"));
        QCOMPARE(ReadPreferencesFile(Ini()).SymbolSize, 7);
        QVERIFY(QSettings(Ini(), QSettings::IniFormat).value("Other/Key").toString() == "kept");
        // The next import starts from them.
        msg->FileNames = {Path("sheet.csv.gz")};
        WhileShown<TImportDialog>([](TImportDialog& d) {
            QVERIFY(d.HeaderCheck->isChecked());
            QCOMPARE(d.Choices().yColumns, (std::vector<int32_t>{2, 3}));
            d.reject();
        });
        A("Import1")->trigger();
        QCOMPARE(win->CurvePanel->CurveCount(), 2);

        // Operations: a constant factor scales the sigma values; one that computes new y values drops them,
        // and the status line says so.
        QVERIFY(win->RunOnActive([](TCurveB& c) {
            c.Scale(1, -2);
            return true;
        }));
        QCOMPARE(win->CurvePanel->ActiveCurve()->Sigma(2), 0.4);
        A("Integral1")->trigger();
        QVERIFY(!win->CurvePanel->ActiveCurve()->HasSigma());
        QVERIFY2(win->StatusLine()->text().startsWith("The sigma values were dropped"),
                 qPrintable(win->StatusLine()->text()));
    }

    void importRefusalsAddNothing() {
        WriteFile(Path("text.csv"), "a,b\nc,d\n");
        msg->FileNames = {Path("text.csv")};
        WhileShown<TImportDialog>([](TImportDialog& d) { QTest::mouseClick(d.ImportBtn, Qt::LeftButton); });
        A("Import1")->trigger();
        QCOMPARE(win->CurvePanel->CurveCount(), 0);
        QCOMPARE(msg->Texts("error"),
                 QStringList{Path("text.csv") + ": no line gives a point from column 2"});
        // A damaged compressed file is refused before the dialog shows.
        std::string gz = Gzipped(Sheet);
        gz.resize(gz.size() / 2);
        WriteBytes(Path("bad.csv.gz"), gz);
        msg->FileNames = {Path("bad.csv.gz")};
        A("Import1")->trigger();
        QCOMPARE(msg->Texts("error").size(), 2);
        QCOMPARE(msg->Texts("error")[1], Path("bad.csv.gz") + ": the compressed data ends too soon");
        QCOMPARE(win->CurvePanel->CurveCount(), 0);
        // Cancelled at the file dialog: nothing at all.
        A("Import1")->trigger();
        QCOMPARE(msg->Texts("error").size(), 2);
    }

    void openReadsCompressedFilesAndTellsWhatItPassedOver() {
        WriteBytes(Path("c.dat.gz"), Gzipped("t u v\n1 2 3\n4 5 6\n"));
        msg->FileNames = {Path("c.dat.gz")};
        A("Open1")->trigger();
        QCOMPARE(win->CurvePanel->CurveCount(), 1);
        QCOMPARE(win->CurvePanel->Curve(1)->Y(2), 5.0);
        QCOMPARE(win->StatusLine()->text(),
                 QStringLiteral(
                     "c.dat.gz: lines hold more than two numbers (only the first two are read); 1 line "
                     "without numbers skipped (the first, line 1: t u v). File > Import chooses columns "
                     "and separators."));
        // A plain two-column file says nothing new.
        WriteFile(Path("plain.dat"), "1 2\n3 4\n");
        win->SetPrompt(QStringLiteral("before"));
        msg->FileNames = {Path("plain.dat")};
        A("Open1")->trigger();
        QCOMPARE(win->StatusLine()->text(), QStringLiteral("before"));
        // Dropped files: compressed ones too, damaged ones refused with the reason.
        std::string gz = Gzipped("1 2\n");
        WriteBytes(Path("good.gz"), gz);
        gz[gz.size() / 2] ^= 0x40;
        WriteBytes(Path("bad.gz"), gz.substr(0, gz.size() - 3));
        WriteFile(Path("semi.csv"), "0;1,5\n");
        win->DropFiles({Path("good.gz"), Path("bad.gz"), Path("semi.csv")});
        QCOMPARE(win->CurvePanel->CurveCount(), 4);
        QCOMPARE(msg->Texts("error").size(), 1);
        QVERIFY2(msg->Texts("error")[0].contains(Path("bad.gz") + ": "), qPrintable(msg->Texts("error")[0]));
        QVERIFY2(
            win->StatusLine()->text().startsWith("semi.csv: 1 line with text beside the numbers, left out"),
            qPrintable(win->StatusLine()->text()));
    }

    void exportDataWritesColumnsThatReadBack() {
        TCurveB c = MakeCurve({{0.1, 1.0 / 3}, {2e-300, -7}});
        c.EnableSigma();
        c.SetSigma(1, 0.25);
        win->CurvePanel->AddCurve(std::move(c), true, true);
        msg->FileNames = {Path("out")};
        A("ExportData1")->trigger();
        QCOMPARE(ReadFile(Path("out.csv").toStdString()),
                 std::string("x,y,sigma\n0.1,0.3333333333333333,0.25\n2e-300,-7,0\n"));
        QCOMPARE(win->StatusLine()->text(),
                 QStringLiteral("Curve #1 exported to out.csv with its sigma values."));
        msg->FileNames = {Path("out.tsv")};
        A("ExportData1")->trigger();
        QCOMPARE(ReadFile(Path("out.tsv").toStdString()).substr(0, 10), std::string("x\ty\tsigma\n"));
        // Into a folder that does not exist: the reason, nothing else.
        msg->FileNames = {Path("none/out.csv")};
        A("ExportData1")->trigger();
        QCOMPARE(msg->Texts("error").size(), 1);
        QVERIFY2(msg->Texts("error")[0].startsWith("Curve #1 was not exported: "),
                 qPrintable(msg->Texts("error")[0]));
        // Saving keeps the two-column curve file.
        QVERIFY(win->SaveCurveAs(1) == false); // no name given
        msg->FileNames = {Path("saved.dat")};
        QVERIFY(win->SaveCurveAs(1));
        QCOMPARE(ReadFile(Path("saved.dat").toStdString()).size(), size_t{98});
    }
};

QTEST_MAIN(TestImport)
#include "test_import.moc"
