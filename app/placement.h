// Where a tool window (table editor, fit panel, display properties) opens next to its curve window.
#pragma once

#include "plot/NotifyTarget.h" // PackPair, UnpackLow, UnpackHigh

#include <QPoint>
#include <QRect>
#include <QSize>

// mode 1 and 4: beside the window, aligned with its top (mode 4 goes below when there is no room beside);
// mode 2: below the window; mode 3: beside horizontally, below vertically. Everything is kept on a screen
// of the given size.
QPoint ToolWindowPlace(int mode, const QRect& window, QSize tool, QSize screen);
