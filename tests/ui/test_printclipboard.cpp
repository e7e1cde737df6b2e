// Printing, exported pictures and the clipboard, driven through the window's commands: what lands on the
// clipboard and comes back, what a printed PDF page and an exported file hold.
#include "../pixels.h"
#include "app/ExportGraphDlg.h"
#include "app/curvewin.h"
#include "modaldialogs.h"
#include "plot/CurvePanels.h"
#include "plot/GraphPicture.h"
#include "plot/w_curve.h"
#include "windowfixture.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>

#include <cstring>
#include <functional>

namespace {
// The points of curve n of a panel (none when there is no such curve).
std::vector<std::pair<double, double>> Points(TCurvePanel& panel, int32_t n) {
    std::vector<std::pair<double, double>> v;
    if (const TCurveA* c = panel.Curve(n))
        for (int32_t i = 1; i <= c->Count(); ++i) v.emplace_back(c->X(i), c->Y(i));
    return v;
}

QByteArray ReadAll(const QString& name) {
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void SetClipboard(const QByteArray& block, const QString& text) {
    auto* mime = new QMimeData;
    if (!block.isNull()) mime->setData(QStringLiteral("BinaryCurve"), block);
    if (!text.isNull()) mime->setText(text);
    QApplication::clipboard()->setMimeData(mime);
}
} // namespace

class TestPrintClipboard : public QObject, TWindowFixture {
    Q_OBJECT

    TCurvePanel& Panel() const { return *win->CurvePanel; }

private slots:
    void initTestCase() { IsolateUserFiles(); }
    void init() {
        QApplication::clipboard()->clear();
        QVERIFY(OpenWindow());
    }
    void cleanup() { CloseWindow(); }

    void copyPasteAndCut() {
        QVERIFY(!A("Paste1")->isEnabled() && A("PopPaste")->isVisible());
        const std::vector<std::pair<double, double>> pts = {
            {1.5, -2}, {10, 0.001}, {1e100, -4.9e-324}, {0.1, 1.0 / 3}};
        Panel().AddCurve(MakeCurve({{0, 0}, {1, 1}}), true, false);
        Panel().AddCurve(MakeCurve(pts), true, true);
        Panel().SetActiveCurve(2);
        QTest::keyClick(win.get(), Qt::Key_C, Qt::ControlModifier); // Edit > Copy by its shortcut
        const QMimeData* clip = QApplication::clipboard()->mimeData();
        QCOMPARE(qvariant_cast<QImage>(clip->imageData()).size(), Panel().size());
        QCOMPARE(QImage::fromData(clip->data("image/png"), "PNG").size(), Panel().size());
        QVERIFY(clip->data("image/svg+xml").contains("<svg") &&
                clip->data("BinaryCurve").size() == 16 * 4 + 4);
        QVERIFY(clip->text().startsWith("1.5000000E+00\t-2.0000000E+00\r\n1.0000000E+01\t1.0000000E-03\r\n"
                                        "1.0000000E+100\t-4.9406565E-324\r\n"));

        // Another window pastes every value exactly (the block), whatever the text rounds.
        Tcurvewindow other;
        A("PasteBtn", &other)->trigger();
        QCOMPARE(Points(*other.CurvePanel, 1), pts);

        // Cut is Copy, then Delete: Undo brings the curve back as the last one.
        Panel().SetActiveCurve(1);
        A("CutBtn")->trigger();
        QCOMPARE(QApplication::clipboard()->text(),
                 "0.0000000E+00\t0.0000000E+00\r\n1.0000000E+00\t1.0000000E+00\r\n");
        QCOMPARE(Panel().CurveCount(), 1);
        A("Undo1")->trigger();
        QCOMPARE(Points(Panel(), 2), (std::vector<std::pair<double, double>>{{0, 0}, {1, 1}}));
    }

    void pasteReadsTextOfOtherProgramsAndRefusesBadBlocks() {
        // A header, "+" signs and a line of names: the readable lines give the points.
        SetClipboard({}, "time\tvalue\r\n1.5E+00\t+2\r\n2.5e+01 -3E+02\r\nname\tnote\r\n4 5\r\n");
        A("PopPaste")->trigger();
        QCOMPARE(Points(Panel(), 1), (std::vector<std::pair<double, double>>{{1.5, 2}, {25, -300}, {4, 5}}));

        // A block whose size does not match its count (it claims 1000 points) is not read; the text is.
        QByteArray block(4 + 16 * 2 - 1, '\0');
        const int32_t claimed = 1000;
        std::memcpy(block.data(), &claimed, 4);
        SetClipboard(block, "5 6");
        A("Paste1")->trigger();
        QCOMPARE(Points(Panel(), 2), (std::vector<std::pair<double, double>>{{5, 6}}));

        // Nothing readable: nothing added, and the user is told.
        SetClipboard(block, "a b c");
        A("Paste1")->trigger();
        QCOMPARE(Panel().CurveCount(), 2);
        QCOMPARE(msg->Texts("error"), QStringList{"No points could be read from the clipboard."});
    }

    void printFitsThePageOfAPdfFile() {
        // Curve 4 takes white from the colour table: on the white page it is drawn black.
        for (int i = 0; i < 4; ++i) Panel().AddCurve(MakeCurve({{0, i + 0.0}, {10, i + 1.0}}), true, true);
        const QPrinter a4(QPrinter::HighResolution); // the page Qt prints on: A4 at 1200 dpi
        const int W = a4.width(), H = a4.height();
        QByteArray page;
        // Prints; where the white picture of the graph lands on the page.
        auto print = [&](QSize panel, const char* file) {
            Panel().setFixedSize(panel);
            msg->ConfirmAnswers = {true};
            A("Print1")->trigger();
            const QByteArray pdf = ReadAll(Path(file));
            page = pdf.contains("/MediaBox [0 0 595") ? PdfPage(pdf) : QByteArray();
            const auto m = QRegularExpression("1 0 0 1 (\\d+) (\\d+) cm\n0 0 (\\d+) (\\d+) re\nf")
                               .match(QString::fromLatin1(page));
            return QRect(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt(),
                         m.captured(4).toInt());
        };
        msg->ConfirmAnswers = {false};
        A("Print1")->trigger(); // Cancel prints nothing

        // Without a printer the dialog asks for a PDF file. A panel twice as wide as high: the page width
        // decides (84 % of it, 8 % from the left), centred vertically.
        msg->PrinterFiles = {Path("wide.pdf")};
        QRect r = print(QSize(600, 300), "wide.pdf");
        QVERIFY(qAbs(r.width() - 0.84 * W) <= 1 && r.left() == qRound(0.08 * W) &&
                qAbs(r.center().y() - H / 2) <= 1);
        QVERIFY(page.contains("0 1 0 SCN") && !page.contains("1 1 1 SCN")); // curve 1 in lime, no white line
        QCOMPARE(Panel().Grid().BackgrColor, TColor(0x000000));

        // Print Setup chooses another file; a tall panel is limited by the page height.
        msg->PrinterFiles = {Path("tall.pdf"), Path("tall.pdf")};
        A("PrintSetup1")->trigger();
        r = print(QSize(300, 600), "tall.pdf");
        QVERIFY(qAbs(r.height() - 0.84 * H) <= 1 && r.top() == qRound(0.08 * H) &&
                qAbs(r.center().x() - W / 2) <= 1);

        // Every Print asks for the file again, offering the last one: no Print writes over an earlier page
        // unasked (the dialog asks before replacing a file). Cancel there prints nothing.
        QVERIFY(QFile::remove(Path("tall.pdf")));
        msg->PrinterFiles = {QString()};
        print(QSize(300, 600), "tall.pdf");
        QVERIFY(!QFile::exists(Path("tall.pdf")));

        // A job that cannot start says so; the next Print offers that file again.
        msg->PrinterFiles = {Path("no/such/dir.pdf"), Path("none.pdf")};
        print(QSize(300, 600), "no/such/dir.pdf");
        print(QSize(300, 600), "none.pdf");
        QVERIFY(QFile::exists(Path("none.pdf")));
        QCOMPARE(msg->Texts("error"),
                 QStringList{"The print job could not be started on " + Path("no/such/dir.pdf") + "."});
        QCOMPARE(msg->Texts("confirm").front(), "Print the graph on the currently selected printer?");
        QCOMPARE(msg->Texts("printer"),
                 (QStringList{"print|", "setup|" + Path("wide.pdf"), "print|" + Path("tall.pdf"),
                              "print|" + Path("tall.pdf"), "print|" + Path("tall.pdf"),
                              "print|" + Path("no/such/dir.pdf")}));
    }

    void thePrinterDialogOffersTheLastFileAndAsksBeforeReplacingIt() {
        // The desktop's own dialog, as Print opens it when printing into a file.
        WriteFile(Path("old.pdf"), "old");
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFileName(Path("old.pdf"));
        QStringList seen;
        for (const QMessageBox::StandardButton answer : {QMessageBox::No, QMessageBox::Yes}) {
            WhileShown<QPrintDialog>([&seen, answer](QPrintDialog& d) {
                const auto* file = d.findChild<QLineEdit*>(QStringLiteral("filename"));
                seen << (file != nullptr ? file->text() : QStringLiteral("no file field"));
                WhileShown<QMessageBox>([&seen, answer](QMessageBox& box) {
                    seen << box.text();
                    box.button(answer)->click();
                });
                // Its Print button (accept() alone skips the dialog's checks).
                d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
            });
            const bool chosen = TDesktopMessages().ChoosePrinter(win.get(), printer, false);
            QCOMPARE(chosen, answer == QMessageBox::Yes);
        }
        QCOMPARE(seen, (QStringList{Path("old.pdf"),
                                    Path("old.pdf") + " already exists.\nDo you want to overwrite it?",
                                    Path("old.pdf"),
                                    Path("old.pdf") + " already exists.\nDo you want to overwrite it?"}));
        QCOMPARE(ReadAll(Path("old.pdf")), QByteArray("old")); // choosing writes nothing yet
    }

    void printedTextScalesWithThePage() {
        Panel().AddCurve(MakeCurve({{0, 0}, {10, 1}}), true, true);
        // A wide panel shrinks a lot onto the page: its text keeps its share of the graph, and at least 8
        // points.
        for (const int width : {600, 1600}) {
            Panel().setFixedSize(width, 400);
            msg->ConfirmAnswers = {true};
            const QString file = Path(("w" + std::to_string(width) + ".pdf").c_str());
            msg->PrinterFiles = {file};
            A("Print1")->trigger();
            const QByteArray page = PdfPage(ReadAll(file));
            const QPrinter a4(QPrinter::HighResolution);
            const double scale = 0.84 * a4.width() / width;
            // Text is drawn in a font of "size Tf" pixels of the page (1200 to the inch); the screen's is 12.
            const auto m = QRegularExpression("/F\\d+ ([\\d.]+) Tf").match(QString::fromLatin1(page));
            QVERIFY2(m.hasMatch(), page.left(400).constData());
            QCOMPARE(m.captured(1).toInt(), qRound(12 * std::max(scale, 8 / 72.0 * 1200 / 12)));
        }
    }

    void exportMatchesTheBatchToolInEachFormat() {
        WriteFile(Path("sine.dat"), "0 0\n1 0.84\n2 0.91\n3 0.14\n4 -0.76\n5 -0.96\n");
        win->LoadFiles({Path("sine.dat")});
        const QString panelSize = QStringLiteral("%1 x %2").arg(Panel().width()).arg(Panel().height());
        // The size asked for: in pixels (the window's graph offered), or in centimetres at a resolution.
        const auto exportAs = [&](const char* name, const std::function<void(TExportGraphDlg&)>& step) {
            msg->FileNames = {Path(name)};
            WhileShown<TExportGraphDlg>(step);
            A("ExportGraph1")->trigger();
        };
        exportAs("g.png", [&](TExportGraphDlg& d) {
            QVERIFY(d.PixelsRadio->isChecked() && d.WindowBackground->isChecked());
            QCOMPARE(d.windowTitle(), QStringLiteral("Export graph"));
            QCOMPARE(d.SizeLabel->text(), panelSize + " pixels");
            QVERIFY(!d.ResolutionEdit->isEnabled());
            d.WidthEdit->setValue(400);
            d.HeightEdit->setValue(300);
            d.OKBtn->click();
        });
        exportAs("g.SVG", [](TExportGraphDlg& d) { d.OKBtn->click(); });
        exportAs("g.pdf", [](TExportGraphDlg& d) {
            d.WidthEdit->setValue(500);
            d.HeightEdit->setValue(200);
            d.OKBtn->click();
        });
        QVERIFY(msg->Texts("error").isEmpty());

        QProcess cli;
        cli.start(QStringLiteral(GRAPHMILL_CLI),
                  {"render", Path("sine.dat"), "--size", "400x300", "-o", Path("cli.png")});
        QVERIFY(cli.waitForFinished() && cli.exitCode() == 0);
        const QImage exported(Path("g.png"));
        QCOMPARE(exported.size(), QSize(400, 300));
        QVERIFY(exported.convertToFormat(QImage::Format_RGB32) ==
                QImage(Path("cli.png")).convertToFormat(QImage::Format_RGB32));
        // The file holds the pixels drawn, written with a table of their colours when there are at most 256.
        QCOMPARE(exported.format(), QImage::Format_Indexed8);
        QVERIFY(exported.convertToFormat(QImage::Format_RGB32) ==
                GraphImage(Panel().CurveSet(), QSize(400, 300), 1.0));
        QVERIFY(ReadAll(Path("g.SVG"))
                    .contains(("viewBox=\"0 0 " + QString(panelSize).replace(" x ", " ") + "\"").toLatin1()));
        const QByteArray pdf = ReadAll(Path("g.pdf"));
        QVERIFY(pdf.contains("/MediaBox [0 0 375.000000 150.000000]") && PdfPage(pdf).contains("0 1 0 SCN"));

        // Centimetres at a resolution, on white as printed: the batch tool's picture of that size and
        // resolution on a white background.
        exportAs("cm.png", [](TExportGraphDlg& d) {
            d.CentimetresRadio->click();
            QVERIFY(d.ResolutionEdit->isEnabled());
            d.ResolutionEdit->setValue(192);
            d.WidthEdit->setValue(10);
            d.HeightEdit->setValue(7.5);
            QCOMPARE(d.SizeLabel->text(), QStringLiteral("756 x 567 pixels"));
            d.WhiteBackground->click();
            d.OKBtn->click();
        });
        cli.start(QStringLiteral(GRAPHMILL_CLI), {"render", Path("sine.dat"), "--size", "10x7.5cm", "--dpi",
                                                  "192", "--background", "white", "-o", Path("cm-cli.png")});
        QVERIFY(cli.waitForFinished() && cli.exitCode() == 0);
        const QImage cm(Path("cm.png"));
        QCOMPARE(cm.size(), QSize(756, 567));
        QCOMPARE(cm.dotsPerMeterX(), 7559);
        QVERIFY(cm.convertToFormat(QImage::Format_RGB32) ==
                QImage(Path("cm-cli.png")).convertToFormat(QImage::Format_RGB32));
        QCOMPARE(Panel().Grid().BackgrColor, TColor(0x000000)); // the window keeps its own

        // Sizes out of range cannot be confirmed: both sides of each limit; refused names and sizes write
        // nothing.
        exportAs("small.png", [](TExportGraphDlg& d) {
            QVERIFY(d.CentimetresRadio->isChecked() && d.WhiteBackground->isChecked()); // kept
            d.ResolutionEdit->setValue(50);
            d.WidthEdit->setValue(2.6); // 51 pixels
            QVERIFY(d.OKBtn->isEnabled());
            d.WidthEdit->setValue(2.5); // 49
            QVERIFY(!d.OKBtn->isEnabled());
            QCOMPARE(d.SizeLabel->text(),
                     QStringLiteral("49 x 148 pixels: a side must be 50 to 10000 pixels"));
            d.PixelsRadio->click();
            QCOMPARE(d.WidthEdit->value(), 50.0); // the least the edit takes
            QVERIFY(d.OKBtn->isEnabled());
            d.CentimetresRadio->click(); // the same pixels in centimetres
            QCOMPARE(d.WidthEdit->value(), 2.54);
            QCOMPARE(d.HeightEdit->value(), 7.52);
            d.ResolutionEdit->setValue(2400);
            d.WidthEdit->setValue(10.6);
            d.HeightEdit->setValue(10);
            QVERIFY(!d.OKBtn->isEnabled()); // 10016 pixels
            d.WidthEdit->setValue(10.58);   // 9997
            QVERIFY(d.OKBtn->isEnabled());
            d.HeightEdit->setValue(0.5); // 472 pixels, drawn as 19
            QVERIFY(!d.OKBtn->isEnabled());
            QVERIFY(d.SizeLabel->text().endsWith(QStringLiteral("too small for its resolution")));
        });
        msg->FileNames = {Path("g.jpg")};
        A("ExportGraph1")->trigger();
        QCOMPARE(msg->Texts("error"),
                 QStringList{Path("g.jpg") + ": the name must end in .png, .svg or .pdf"});
        QVERIFY(!QFile::exists(Path("g.jpg")) && !QFile::exists(Path("small.png")));
    }
};

QTEST_MAIN(TestPrintClipboard)
#include "test_printclipboard.moc"
