// Looking at drawn pictures: pixels of one colour in an area, and the drawing commands of a PDF page.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRect>

inline int Count(const QImage& img, QColor c, QRect area) {
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += img.pixelColor(x, y) == c;
    return n;
}

// The drawing commands of a PDF page as Qt writes it: the deflated stream holding the rectangles.
inline QByteArray PdfPage(const QByteArray& pdf) {
    for (qsizetype at = pdf.indexOf("stream\n"); at >= 0; at = pdf.indexOf("stream\n", at + 1)) {
        const qsizetype begin = at + 7, end = pdf.indexOf("endstream", begin);
        if (end < 0) break;
        // qUncompress takes zlib data behind a 4-byte big-endian size hint.
        const QByteArray page = qUncompress(QByteArray("\x01\x00\x00\x00", 4) + pdf.mid(begin, end - begin));
        if (page.contains(" re\n")) return page;
    }
    return {};
}
