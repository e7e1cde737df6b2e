// Pictures of a curve set's graph: the white page every picture is drawn on (printing, the clipboard,
// exported files and graphmill-cli render), and the graph written as PNG, SVG or PDF. One drawing serves all
// of them, so a picture saved by the window and one drawn by the batch tool have the same pixels.
#pragma once

#include "plot/coord_win.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

class QFont;
class QIODevice;
class QPainter;
class WCurveSet;

// The font of every picture's labels and titles: a pixel size, so that it scales with the drawing factor
// alone on every device (a printer's pixels are much smaller than the screen's).
QFont GraphFont();

// Pictures are laid out as on a screen of this resolution. A picture of another resolution holds the same
// layout, each of its pixels drawn with dpi / ScreenDpi device pixels: text, symbols and lines keep their
// size on paper, and the picture has more pixels, not a larger graph.
constexpr int ScreenDpi = 96;
constexpr int MinDpi = 50;
constexpr int MaxDpi = 2400;

// A white page of width x height with the graph on it (WCurveSet::PaintTo with the factor, black text), the
// plot on its own background or on the one given. The set's axes keep their colour and their layout on the
// screen whatever happens while drawing.
void PaintGraphPage(WCurveSet& set, QPainter& surface, int width, int height, double factor,
                    std::optional<TColor> background = std::nullopt);

// The page as an image of `size` device pixels at dpi, the plot on its own background or on the one given.
QImage GraphImage(WCurveSet& set, QSize size, double factor, int dpi = ScreenDpi,
                  std::optional<TColor> background = std::nullopt);
// The layout of a picture of `pixels` at dpi (the pixels themselves at the screen resolution).
QSize GraphLayoutSize(QSize pixels, int dpi);
// Device pixels of a side of `cm` centimetres at dpi.
int PixelsOfCm(double cm, int dpi);

// Sides of a picture in pixels.
constexpr int MinGraphSide = 50;
constexpr int MaxGraphSide = 10000;
// "WIDTHxHEIGHT" (x or X, blanks around the numbers allowed); nothing when the text is not of that form.
std::optional<QSize> ParseGraphSize(const QString& text);
// The same, also with "px" after it, or "cm" (decimals allowed) for centimetres at dpi.
std::optional<QSize> ParseGraphSize(const QString& text, int dpi);
inline bool GraphSizeAllowed(QSize s) {
    return s.width() >= MinGraphSide && s.height() >= MinGraphSide && s.width() <= MaxGraphSide &&
           s.height() <= MaxGraphSide;
}
// A picture of `pixels` at dpi whose layout, too, is at least MinGraphSide a side.
inline bool GraphSizeAllowed(QSize pixels, int dpi) {
    const QSize layout = GraphLayoutSize(pixels, dpi);
    return GraphSizeAllowed(pixels) && layout.width() >= MinGraphSide && layout.height() >= MinGraphSide;
}

enum class TGraphFormat { Png, Svg, Pdf };
// The format a file name asks for by its extension (.png, .svg, .pdf in any case); for another name, nothing,
// and the message saying so in error when given.
std::optional<TGraphFormat> GraphFormatOf(const QString& fileName, QString* error = nullptr);

// An image as a PNG file.
bool WritePng(const QImage& image, QIODevice& out);

// Writes the page of the given size (device pixels at dpi) in a format; false when the device refused it.
// SVG and PDF pages are as large on paper as the picture would be at dpi.
bool WriteGraph(WCurveSet& set, QIODevice& out, TGraphFormat format, QSize size, double factor,
                int dpi = ScreenDpi, std::optional<TColor> background = std::nullopt);
// Writes the page to fileName in the format of its extension. The file is replaced only when the whole
// picture was written; on failure error holds a message naming the file and the reason.
bool SaveGraph(WCurveSet& set, const QString& fileName, QSize size, double factor, QString& error,
               int dpi = ScreenDpi, std::optional<TColor> background = std::nullopt);
