// Where a tool window (table editor, fit panel, display properties) opens next to its curve window.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// mode 1 and 4: beside the window, aligned with its top (mode 4 goes below when there is no room beside);
// mode 2: below the window; mode 3: beside horizontally, below vertically. Everything is kept on a screen
// of the given size.
QPoint ToolWindowPlace(int mode, const QRect& window, QSize tool, QSize screen);

// The packed form of the request and the reply: low 16 bits first value, high 16 bits second value.
inline int32_t PackPair(int low, int high) {
    return static_cast<int32_t>((static_cast<uint32_t>(high) << 16) | (static_cast<uint32_t>(low) & 0xFFFFu));
}
inline int UnpackLow(int32_t v) {
    return static_cast<int16_t>(static_cast<uint32_t>(v) & 0xFFFFu);
}
inline int UnpackHigh(int32_t v) {
    return static_cast<int16_t>(static_cast<uint32_t>(v) >> 16);
}
