#include "app/placement.h"

QPoint ToolWindowPlace(int mode, const QRect& window, QSize tool, QSize screen) {
    const int L = window.left(), T = window.top(), W = window.width(), H = window.height();
    const int w = tool.width(), h = tool.height();
    const int SW = screen.width(), SH = screen.height();
    int x = 0, y = 0;
    bool below = mode == 2 || mode == 3;
    if (mode == 1 || mode == 3 || mode == 4) {
        if (w < L)
            x = L - w - 1;
        else if (w < SW - W - L)
            x = L + W + 1;
        else if (mode == 4)
            below = true;
        else
            x = L > SW - L - W ? 0 : SW - w;
        if (!below) y = SH - T > h ? T : SH - h;
    }
    if (below) {
        y = SH - T - H > h ? T + H + 1 : SH - h;
        if (mode != 3) x = SW - L > w ? L : SW - w;
    }
    return {x, y};
}
