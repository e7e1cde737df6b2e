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

// A white page of width x height with the graph on it (WCurveSet::PaintTo with the factor, black text), the
// plot on its own background or on the one given. The set's axes keep their colour and their layout on the
// screen whatever happens while drawing.
void PaintGraphPage(WCurveSet& set, QPainter& surface, int width, int height, double factor,
                    std::optional<TColor> background = std::nullopt);

// The page as an image at the screen resolution (96 dpi).
QImage GraphImage(WCurveSet& set, QSize size, double factor);

// Sides of a picture in pixels.
constexpr int MinGraphSide = 50;
constexpr int MaxGraphSide = 10000;
// "WIDTHxHEIGHT" (x or X, blanks around the numbers allowed); nothing when the text is not of that form.
std::optional<QSize> ParseGraphSize(const QString& text);
inline bool GraphSizeAllowed(QSize s) {
    return s.width() >= MinGraphSide && s.height() >= MinGraphSide && s.width() <= MaxGraphSide &&
           s.height() <= MaxGraphSide;
}

enum class TGraphFormat { Png, Svg, Pdf };
// The format a file name asks for by its extension (.png, .svg, .pdf in any case); for another name, nothing,
// and the message saying so in error when given.
std::optional<TGraphFormat> GraphFormatOf(const QString& fileName, QString* error = nullptr);

// An image as a PNG file.
bool WritePng(const QImage& image, QIODevice& out);

// Writes the page of the given size in a format; false when the device refused it.
bool WriteGraph(WCurveSet& set, QIODevice& out, TGraphFormat format, QSize size, double factor);
// Writes the page to fileName in the format of its extension. The file is replaced only when the whole
// picture was written; on failure error holds a message naming the file and the reason.
bool SaveGraph(WCurveSet& set, const QString& fileName, QSize size, double factor, QString& error);
