#include "app/placement.h"

#include <algorithm>
#include <tuple>

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

namespace {
int64_t Overlap(const QRect& a, const QRect& b) {
    const QRect both = a.intersected(b);
    return both.isEmpty() ? 0 : int64_t(both.width()) * both.height();
}

// The pixels between two rectangles (0 when they touch or overlap), across and down added.
int Gap(const QRect& a, const QRect& b) {
    const int across = std::max({0, b.left() - a.right() - 1, a.left() - b.right() - 1});
    const int down = std::max({0, b.top() - a.bottom() - 1, a.top() - b.bottom() - 1});
    return across + down;
}
} // namespace

QPoint LeastHiddenPlace(const QRect& window, const QRect& plot, const std::vector<QRect>& keepClear,
                        QSize tool, const QRect& screen) {
    const int w = tool.width(), h = tool.height();
    // Places to try: against every edge of the window, the plot, the windows kept clear and the screen.
    std::vector<int> xs{window.left() - w - 1, window.right() + 2, window.left(),         plot.left() - w - 1,
                        plot.right() + 2,      screen.left(),      screen.right() - w + 1};
    std::vector<int> ys{window.top(),      window.bottom() + 2, window.top() - h - 1,   plot.top() - h - 1,
                        plot.bottom() + 2, screen.top(),        screen.bottom() - h + 1};
    for (const QRect& r : keepClear) {
        xs.insert(xs.end(), {r.left() - w - 1, r.right() + 2, r.left()});
        ys.insert(ys.end(), {r.top() - h - 1, r.bottom() + 2, r.top()});
    }
    auto onScreen = [&](int v, int lo, int hi) { return std::max(lo, std::min(v, hi)); };
    using TCost = std::tuple<int64_t, int64_t, int, int>;
    TCost best{};
    QPoint place;
    bool first = true;
    for (const int y0 : ys)
        for (const int x0 : xs) {
            const QRect r(onScreen(x0, screen.left(), screen.right() - w + 1),
                          onScreen(y0, screen.top(), screen.bottom() - h + 1), w, h);
            // The plot and the windows kept clear weigh alike: both are what the user works with.
            int64_t hidden = Overlap(r, plot);
            for (const QRect& k : keepClear) hidden += Overlap(r, k);
            const TCost cost{hidden, Overlap(r, window), Gap(r, window), std::abs(r.top() - window.top())};
            // Ties keep the earlier place: the left side of the window before the right one.
            if (first || cost < best) {
                best = cost;
                place = r.topLeft();
                first = false;
            }
        }
    return place;
}
