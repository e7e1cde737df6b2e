// Where a tool window (table editor, fit panel, display properties) opens next to its curve window.
#pragma once

#include "plot/NotifyTarget.h" // PackPair, UnpackLow, UnpackHigh

#include <QPoint>
#include <QRect>
#include <QSize>

#include <vector>

// mode 1 and 4: beside the window, aligned with its top (mode 4 goes below when there is no room beside);
// mode 2: below the window; mode 3: beside horizontally, below vertically. Everything is kept on a screen
// of the given size.
QPoint ToolWindowPlace(int mode, const QRect& window, QSize tool, QSize screen);

// Where a tool window of size `tool` hides the least: beside the window when the screen has room there (left
// first, aligned with the window's top), else wherever on `screen` it covers the least of `plot` and of the
// windows in `keepClear` together (the fit panel, for its function chooser), then of the window itself (its
// toolbar, curve picker and status area), keeping close to the window.
QPoint LeastHiddenPlace(const QRect& window, const QRect& plot, const std::vector<QRect>& keepClear,
                        QSize tool, const QRect& screen);
