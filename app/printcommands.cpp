// The graph on paper and in picture files: Print, Print Setup and Export graph.
#include "app/ExportGraphDlg.h"
#include "app/curvewin.h"
#include "app/shareddialogs.h"
#include "curves/curvefile.h"
#include "plot/CurvePanels.h"
#include "plot/GraphPicture.h"
#include "plot/UserMessages.h"
#include "plot/w_curve.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {
// The printer every curve window prints on, as Print Setup chose it. Without an installed printer it writes
// a PDF file.
std::unique_ptr<QPrinter>& SelectedPrinter() {
    static std::unique_ptr<QPrinter> printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return printer;
}

// A printer whose job failed to start stays busy inside Qt: a fresh one takes its place, keeping the printer,
// or the PDF file to offer again, and the paper.
void ReplacePrinter() {
    std::unique_ptr<QPrinter>& printer = SelectedPrinter();
    auto fresh = std::make_unique<QPrinter>(QPrinter::HighResolution);
    if (printer->outputFormat() == QPrinter::NativeFormat) fresh->setPrinterName(printer->printerName());
    if (printer->outputFormat() == QPrinter::PdfFormat) fresh->setOutputFileName(printer->outputFileName());
    fresh->setPageLayout(printer->pageLayout());
    printer = std::move(fresh);
}

int Round(double v) {
    return static_cast<int>(std::nearbyint(v));
}

struct TPagePlace {
    double scale;
    QRect picture;
};

// Where a graph of the panel's size goes on a page whose printable area is r: the dimension in which the
// graph is the larger part of the page decides the scale (84 % of the page that way, 8 % from its edge), and
// the graph is centred the other way.
TPagePlace PagePlace(QSize panel, QRect r) {
    const int pw = panel.width(), ph = panel.height();
    const int right = r.left() + r.width(), bottom = r.top() + r.height();
    double scale = 0;
    int left = 0, top = 0;
    if (static_cast<double>(ph) / pw >= static_cast<double>(r.height()) / r.width()) {
        scale = r.height() * 0.84 / ph;
        left = (r.left() + right) / 2 - Round((pw / 2) * scale);
        top = Round(0.08 * r.height());
    } else {
        scale = r.width() * 0.84 / pw;
        left = Round(0.08 * r.width());
        top = (r.top() + bottom) / 2 - Round((ph / 2) * scale);
    }
    return {scale, QRect(left, top, Round(pw * scale), Round(ph * scale))};
}

// The drawing factor of the printed text: the text keeps its share of the graph as on the screen, scaled
// with the page as the graph's lines are, and is never smaller than 8 points on paper.
double PrintedTextFactor(double pageScale, int dpi) {
    constexpr double MinPoints = 8.0;
    return std::max(pageScale, MinPoints / 72.0 * dpi / GraphFont().pixelSize());
}

QString PrinterPlace(const QPrinter& printer) {
    return printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : printer.printerName();
}
} // namespace

void Tcurvewindow::PrintGraph() {
    if (!Messages().Confirm(this, QStringLiteral("Print the graph on the currently selected printer?")))
        return;
    QPrinter& printer = *SelectedPrinter();
    // Printing into a PDF file (no printer is installed, or a file was chosen): the printer dialog asks for
    // the file at every Print, preset with the last one, so that no Print writes over an earlier page
    // unasked; the dialog asks before replacing a file.
    if (printer.outputFormat() == QPrinter::PdfFormat && !Messages().ChoosePrinter(this, printer, false))
        return;
    const QString where = PrinterPlace(printer);
    // A PDF file is drawn in memory with the printer's page and written by the program's own save, which
    // checks every write: Qt's printer writes its file as it goes, takes a full disk for success and leaves a
    // cut-off file in place of the old one.
    const bool toFile = printer.outputFormat() == QPrinter::PdfFormat;
    QBuffer pdfBytes;
    pdfBytes.open(QIODevice::WriteOnly);
    QPdfWriter pdf(&pdfBytes);
    pdf.setPageLayout(printer.pageLayout());
    pdf.setResolution(printer.resolution());
    pdf.setCreator(QStringLiteral("Graphmill"));
    QPaintDevice& device = toFile ? static_cast<QPaintDevice&>(pdf) : printer;
    QPainter page;
    bool started = false, ended = false;
    curvefile::TSaveFile file;
    {
        TBusyPointer busy;
        started = page.begin(&device) && (!toFile || file.OpenForWrite(where.toStdString(), "", "", ""));
        if (started) {
            // The printable area starts at the painter's origin.
            const TPagePlace at = PagePlace(CurvePanel->size(), QRect(0, 0, device.width(), device.height()));
            page.translate(at.picture.topLeft());
            page.setClipRect(QRect(QPoint(0, 0), at.picture.size()));
            PaintGraphPage(CurvePanel->CurveSet(), page, at.picture.width(), at.picture.height(),
                           PrintedTextFactor(at.scale, device.logicalDpiY()), 0xFFFFFF);
        }
        if (page.isActive()) ended = page.end() && started;
        if (ended && toFile) {
            const QByteArray& bytes = pdfBytes.data();
            if (!file.Write(bytes.constData(), static_cast<size_t>(bytes.size())) || !file.Commit()) {
                Messages().Error(this, QStringLiteral("The graph could not be printed: %1.")
                                           .arg(QString::fromStdString(file.Error())));
                return;
            }
        }
    }
    if (!started) {
        ReplacePrinter();
        Messages().Error(this, QStringLiteral("The print job could not be started on %1.").arg(where));
    } else if (!ended) {
        Messages().Error(this, QStringLiteral("The graph could not be printed on %1.").arg(where));
    }
}

void Tcurvewindow::PrintSetup() {
    Messages().ChoosePrinter(this, *SelectedPrinter(), true);
}

void Tcurvewindow::ExportGraph() {
    const QString name = Messages().SaveFile(
        this, DataDir,
        {QStringLiteral("Picture (*.png, *.svg, *.pdf)"), QStringLiteral("PNG image (*.png)"),
         QStringLiteral("SVG drawing (*.svg)"), QStringLiteral("PDF document (*.pdf)")});
    if (name.isEmpty()) return;
    QString error;
    if (!GraphFormatOf(name, &error)) {
        Messages().Error(this, error);
        return;
    }
    TExportGraphDlg& d = SharedDialog<TExportGraphDlg>();
    d.Load(CurvePanel->size());
    if (d.exec() != QDialog::Accepted) return;
    const std::optional<TColor> background = d.White() ? std::optional<TColor>(0xFFFFFF) : std::nullopt;
    bool saved = false;
    {
        TBusyPointer busy;
        saved = SaveGraph(CurvePanel->CurveSet(), name, d.PixelSize(), 1.0, error, d.Dpi(), background);
    }
    if (!saved) Messages().Error(this, error);
}
