#include "plot/CurveCursor.h"

#include <algorithm>

namespace {
// A value that rounds to zero at 4 decimals reads "0.0000", not "-0.0000"; from 1e18 on, as on the axis
// labels, with an exponent: 309 digits of a value near the largest double, cut by the status bar, read as
// another number.
QString Fixed4(double v) {
    return FormatTickLabel(v, 4).rightJustified(8, QLatin1Char(' '));
}
} // namespace

QString TCurveCursor::ReadoutText(RealPoint world) {
    return QStringLiteral("(%1,%2)").arg(Fixed4(world.x), Fixed4(world.y));
}

void TCurveCursor::Place(IntPoint pos, RealPoint world, int32_t index) {
    World = world;
    PrevPos = Pos;
    Index = index;
    Pos = pos;
}

bool TCurveCursor::MoveToX(const TCurveB& curve, const TGrid& grid, int px) {
    return Interpolate ? FollowCurve(curve, grid, px) : SnapToPoint(curve, grid, px);
}

bool TCurveCursor::FollowCurve(const TCurveB& c, const TGrid& g, int px) {
    if (c.Count() == 0 || (px == Pos.x && !SkipErase)) return false;
    double x = g.DeviceToWorldX(px), y = 0;
    int32_t hint = 0;
    bool ok = true;
    // Left of the curve: on its first point when that lies inside the plot, else at the plot's edge.
    if (x < c.XMin) {
        if (c.XMin > g.WorldMin.x) {
            x = c.XMin;
            y = c.Y(1);
            for (int32_t i = 1; i <= c.Count(); ++i)
                if (c.X(i) == c.XMin) {
                    y = c.Y(i);
                    break;
                }
            px = g.WorldToDeviceX(x);
        } else {
            x = g.WorldMin.x;
            ok = c.ValueAt(hint, x, y);
            px = g.Left();
        }
    } else if (x > c.XMax) {
        if (c.XMax < g.WorldMax.x) {
            x = c.XMax;
            y = c.Y(c.Count());
            for (int32_t i = c.Count(); i >= 1; --i)
                if (c.X(i) == c.XMax) {
                    y = c.Y(i);
                    break;
                }
            px = g.WorldToDeviceX(x);
        } else {
            x = g.WorldMax.x;
            ok = c.ValueAt(hint, x, y);
            px = g.Right();
        }
    } else {
        ok = c.ValueAt(hint, x, y);
    }
    if (!ok) return false;
    IntPoint pos{px, g.WorldToDeviceY(y)};
    g.ClipPoint(pos);
    if (pos.x == Pos.x && pos.y == Pos.y && !SkipErase) {
        World = {x, y};
        Index = hint;
        return false;
    }
    Place(pos, {x, y}, hint);
    return true;
}

bool TCurveCursor::SnapToPoint(const TCurveB& c, const TGrid& g, int px) {
    const int32_t n = c.Count();
    if (n == 0 || (px == Pos.x && !SkipErase)) return false;
    const double x = g.DeviceToWorldX(px);
    int32_t i = std::clamp(Index, 1, n);
    // Equal distances go to the point behind the movement.
    if (x > World.x) {
        if (i < n) {
            int32_t j = i + 1;
            while (c.X(j) < x && j < n) ++j;
            if (c.X(j) < x)
                i = n;
            else if (c.X(j) == x)
                i = j;
            else
                i = x - c.X(j - 1) <= c.X(j) - x ? j - 1 : j;
        }
    } else if (i > 1) {
        int32_t j = i - 1;
        while (c.X(j) > x && j > 1) --j;
        if (c.X(j) > x)
            i = 1;
        else if (c.X(j) == x)
            i = j;
        else
            i = x - c.X(j) < c.X(j + 1) - x ? j : j + 1;
    }
    if (!SkipErase && i == Index) return false;
    IntPoint pos{g.WorldToDeviceX(c.X(i)), g.WorldToDeviceY(c.Y(i))};
    g.ClipPoint(pos);
    Place(pos, {c.X(i), c.Y(i)}, i);
    return true;
}

bool TCurveCursor::MoveBy(const TCurveB& c, const TGrid& g, int delta) {
    if (c.Count() == 0) return false;
    if (Interpolate) {
        const int X = Pos.x + delta;
        if (X < g.Left() || X > g.Right()) return false;
        const double x = g.DeviceToWorldX(X);
        double y = 0;
        int32_t hint = 0;
        if (!c.ValueAt(hint, x, y)) return false;
        Place({X, g.WorldToDeviceY(y)}, {x, y}, hint);
        return true;
    }
    const int32_t i = std::clamp(Index + delta, 1, c.Count());
    if (i == Index) return false;
    const IntPoint pos{g.WorldToDeviceX(c.X(i)), g.WorldToDeviceY(c.Y(i))};
    if (pos.x < g.Left() || pos.x > g.Right()) return false;
    Place(pos, {c.X(i), c.Y(i)}, i);
    return true;
}
