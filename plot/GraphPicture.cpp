#include "plot/GraphPicture.h"

#include "curves/curvefile.h"
#include "plot/w_curve.h"

#include <QBuffer>
#include <QFileInfo>
#include <QFont>
#include <QImageWriter>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSvgGenerator>

#include <array>
#include <cmath>

namespace {
// Puts the axes back as they were on the screen, however the drawing of a page is left.
class TKeepGrid {
public:
    explicit TKeepGrid(TGrid& grid) : grid_(grid), screen_(grid) {}
    ~TKeepGrid() { grid_ = screen_; }
    TKeepGrid(const TKeepGrid&) = delete;
    TKeepGrid& operator=(const TKeepGrid&) = delete;

private:
    TGrid& grid_;
    const TGrid screen_;
};
} // namespace

QFont GraphFont() {
    QFont f;
    f.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Arial"), QStringLiteral("Helvetica")});
    f.setPixelSize(12);
    return f;
}

void PaintGraphPage(WCurveSet& set, QPainter& surface, int width, int height, double factor,
                    std::optional<TColor> background) {
    // The page's layout would otherwise stay with the axes, and the window's mouse would map through it until
    // the next repaint.
    const TKeepGrid keep(set.Grid);
    if (background) set.Grid.BackgrColor = *background;
    surface.save();
    surface.fillRect(0, 0, width, height, Qt::white);
    surface.setFont(GraphFont());
    surface.setPen(Qt::black);
    set.PaintTo(surface, width, height, factor);
    surface.restore();
}

QSize GraphLayoutSize(QSize pixels, int dpi) {
    if (dpi == ScreenDpi || dpi <= 0) return pixels;
    const double r = static_cast<double>(dpi) / ScreenDpi;
    return {static_cast<int>(std::lround(pixels.width() / r)),
            static_cast<int>(std::lround(pixels.height() / r))};
}

int PixelsOfCm(double cm, int dpi) {
    const double px = cm / 2.54 * dpi;
    return px < 1e9 ? static_cast<int>(std::lround(px)) : 1000000000;
}

QImage GraphImage(WCurveSet& set, QSize size, double factor, int dpi, std::optional<TColor> background) {
    QImage image(size, QImage::Format_RGB32);
    image.setDotsPerMeterX(static_cast<int>(dpi / 0.0254 + 0.5));
    image.setDotsPerMeterY(static_cast<int>(dpi / 0.0254 + 0.5));
    const QSize layout = GraphLayoutSize(size, dpi);
    // The painter maps the layout onto the pixels; without a change of resolution it is the identity.
    if (layout != size) {
        image.setDevicePixelRatio(static_cast<double>(dpi) / ScreenDpi);
        image.fill(Qt::white); // a rounded layout may leave the last pixel column or row
    }
    QPainter p(&image);
    PaintGraphPage(set, p, layout.width(), layout.height(), factor, background);
    return image;
}

std::optional<QSize> ParseGraphSize(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^\\s*(\\d{1,9})\\s*[xX]\\s*(\\d{1,9})\\s*$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch()) return std::nullopt;
    return QSize(m.captured(1).toInt(), m.captured(2).toInt());
}

std::optional<QSize> ParseGraphSize(const QString& text, int dpi) {
    static const QRegularExpression cm(
        QStringLiteral("^\\s*(\\d{1,5}(?:\\.\\d{0,6})?)\\s*[xX]\\s*(\\d{1,5}(?:\\.\\d{0,6})?)\\s*cm\\s*$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = cm.match(text);
    if (m.hasMatch())
        return QSize(PixelsOfCm(m.captured(1).toDouble(), dpi), PixelsOfCm(m.captured(2).toDouble(), dpi));
    static const QRegularExpression px(QStringLiteral("^(.*\\d)\\s*px\\s*$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch p = px.match(text);
    return ParseGraphSize(p.hasMatch() ? p.captured(1) : text);
}

std::optional<TGraphFormat> GraphFormatOf(const QString& fileName, QString* error) {
    const QString ext = QFileInfo(fileName).suffix().toLower();
    if (ext == QLatin1String("png")) return TGraphFormat::Png;
    if (ext == QLatin1String("svg")) return TGraphFormat::Svg;
    if (ext == QLatin1String("pdf")) return TGraphFormat::Pdf;
    if (error != nullptr) *error = fileName + QStringLiteral(": the name must end in .png, .svg or .pdf");
    return std::nullopt;
}

namespace {
// The image with a table of its colours when it has 256 or fewer (a graph seldom has more), else a null
// image. Pixel for pixel the same picture, in a quarter of the bytes: the PNG encoder, which filters and
// deflates every byte, is then several times quicker.
QImage WithColorTable(const QImage& image) {
    if (image.format() != QImage::Format_RGB32 || image.isNull()) return {};
    QImage indexed(image.size(), QImage::Format_Indexed8);
    QList<QRgb> table;
    // Open addressing over a table four times the largest palette; slots hold index + 1, 0 when free.
    constexpr uint32_t Slots = 1024;
    std::array<QRgb, Slots> keys{};
    std::array<uint16_t, Slots> slot{};
    for (int y = 0; y < image.height(); ++y) {
        const auto* src = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        uchar* dst = indexed.scanLine(y);
        QRgb last = ~src[0];
        uchar lastIndex = 0;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = src[x] | 0xFF000000u;
            if (c != last) {
                uint32_t h = (c * 2654435761u) >> 22;
                while (slot[h] != 0 && keys[h] != c) h = (h + 1) & (Slots - 1);
                if (slot[h] == 0) {
                    if (table.size() == 256) return {};
                    table.append(c);
                    keys[h] = c;
                    slot[h] = static_cast<uint16_t>(table.size());
                }
                last = c;
                lastIndex = static_cast<uchar>(slot[h] - 1);
            }
            dst[x] = lastIndex;
        }
    }
    indexed.setColorTable(table);
    indexed.setDotsPerMeterX(image.dotsPerMeterX());
    indexed.setDotsPerMeterY(image.dotsPerMeterY());
    return indexed;
}
} // namespace

bool WritePng(const QImage& image, QIODevice& out) {
    QImageWriter writer(&out, "png");
    // Quality 80 is the fastest deflate level: the graph is mostly flat areas, which compress well anyway.
    writer.setQuality(80);
    const QImage indexed = WithColorTable(image);
    return writer.write(indexed.isNull() ? image : indexed);
}

bool WriteGraph(WCurveSet& set, QIODevice& out, TGraphFormat format, QSize size, double factor, int dpi,
                std::optional<TColor> background) {
    // Drawings are laid out at the screen resolution; their size on paper is that of the pixels at dpi.
    const QSize layout = GraphLayoutSize(size, dpi);
    const int w = layout.width(), h = layout.height();
    switch (format) {
    case TGraphFormat::Png:
        return WritePng(GraphImage(set, size, factor, dpi, background), out);
    case TGraphFormat::Svg: {
        QSvgGenerator svg;
        svg.setOutputDevice(&out);
        svg.setSize(layout);
        svg.setViewBox(QRect(0, 0, w, h));
        svg.setResolution(ScreenDpi);
        svg.setTitle(QStringLiteral("Graphmill graph"));
        QPainter p;
        if (!p.begin(&svg)) return false;
        PaintGraphPage(set, p, w, h, factor, background);
        return p.end();
    }
    case TGraphFormat::Pdf: {
        QPdfWriter pdf(&out);
        pdf.setResolution(ScreenDpi);
        pdf.setPageLayout(
            QPageLayout(QPageSize(QSizeF(w * 72.0 / ScreenDpi, h * 72.0 / ScreenDpi), QPageSize::Point),
                        QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        pdf.setCreator(QStringLiteral("Graphmill"));
        QPainter p;
        if (!p.begin(&pdf)) return false;
        PaintGraphPage(set, p, pdf.width(), pdf.height(), factor, background);
        return p.end();
    }
    }
    return false;
}

bool SaveGraph(WCurveSet& set, const QString& fileName, QSize size, double factor, QString& error, int dpi,
               std::optional<TColor> background) {
    const std::optional<TGraphFormat> format = GraphFormatOf(fileName, &error);
    if (!format) return false;
    // Drawn in memory, then written by the program's own file routine, which checks every write, the flush
    // to the disk and the close: Qt's save file can take a write that failed at its close (a full disk) for
    // success and put an empty file in place of the old picture.
    QBuffer picture;
    picture.open(QIODevice::WriteOnly);
    if (!WriteGraph(set, picture, *format, size, factor, dpi, background)) {
        error = fileName + QStringLiteral(": cannot draw the picture");
        return false;
    }
    curvefile::TSaveFile file;
    const QByteArray& bytes = picture.data();
    if (!file.OpenForWrite(fileName.toStdString(), "", "", "") ||
        !file.Write(bytes.constData(), static_cast<size_t>(bytes.size())) || !file.Commit()) {
        error = QString::fromStdString(file.Error());
        return false;
    }
    return true;
}
