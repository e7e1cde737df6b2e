// Curves through the clipboard: Copy puts the graph (as an image, PNG and SVG), the active curve's text and
// its exact "BinaryCurve" block there; Paste reads the block, or else the text; Cut is Copy, then Delete.
#include "app/curvewin.h"
#include "plot/CurvePanels.h"
#include "plot/GraphPicture.h"
#include "plot/UserMessages.h"
#include "plot/w_curve.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QMimeData>

#include <new>

namespace {
const QString BlockFormat = QStringLiteral("BinaryCurve");

QByteArray Bytes(const std::string& s) {
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}
} // namespace

void Tcurvewindow::CopyCurve() {
    const TPlottedCurve* active = CurvePanel->ActiveCurve();
    if (active == nullptr) return;
    TBusyPointer busy;
    WCurveSet& set = CurvePanel->CurveSet();
    auto* mime = new QMimeData;
    const QImage image = GraphImage(set, CurvePanel->size(), 1.0);
    mime->setImageData(image);
    // Office programs, drawing programs and image editors each take one of these.
    QBuffer png, svg;
    png.open(QIODevice::WriteOnly);
    svg.open(QIODevice::WriteOnly);
    if (WritePng(image, png)) mime->setData(QStringLiteral("image/png"), png.data());
    if (WriteGraph(set, svg, TGraphFormat::Svg, CurvePanel->size(), 1.0))
        mime->setData(QStringLiteral("image/svg+xml"), svg.data());
    // A curve too large for the memory left leaves out its text or its block, not the rest.
    try {
        mime->setText(QString::fromLatin1(Bytes(CurveClipboardText(*active))));
    } catch (const std::bad_alloc&) {
    }
    try {
        mime->setData(BlockFormat, Bytes(CurveBlock(*active)));
    } catch (const std::bad_alloc&) {
    }
    QApplication::clipboard()->setMimeData(mime);
}

void Tcurvewindow::CutCurve() {
    if (CurvePanel->ActiveCurve() == nullptr) return;
    CopyCurve();
    RemoveActive(QStringLiteral("Cut"));
}

void Tcurvewindow::PasteCurve() {
    const QMimeData* clip = QApplication::clipboard()->mimeData();
    if (clip == nullptr || !ClipboardHasCurve()) return;
    TCurveB curve;
    {
        TBusyPointer busy;
        // The block holds the exact values. Any program may put data under its name: one whose size does not
        // match its count is not read, and the text is read instead.
        if (clip->hasFormat(BlockFormat)) {
            const QByteArray block = clip->data(BlockFormat);
            ParseCurveBlock({block.constData(), static_cast<size_t>(block.size())}, curve);
        }
        if (curve.Count() == 0 && clip->hasText()) curve = ParsePasteText(clip->text().toStdString());
    }
    if (curve.Count() == 0) {
        Messages().Error(this, QStringLiteral("No points could be read from the clipboard."));
        return;
    }
    if (CurvePanel->AddCurve(curve, CurvePanel->AutoUpdate, true))
        CurvePanel->RecordAdded(QStringLiteral("Paste"));
}
