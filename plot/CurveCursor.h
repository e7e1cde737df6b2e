// The crosshair cursor of a plot panel: where it stands on the active curve, how it follows the mouse (along
// the curve, or from point to point) and the read-out of its world position. It only computes positions; the
// panel draws it over its cached images.
#pragma once

#include "curves/curvesb.h"
#include "plot/coord_win.h"

#include <QString>

class TCurveCursor {
public:
    bool Shown = false;
    bool Interpolate = true; // follow the curve between points; else jump from point to point
    bool PointPick = false;
    // The next move places the crosshair even when its column did not change (after a rebuild, or when it
    // was just shown).
    bool SkipErase = false;
    IntPoint Pos{1, 1};
    IntPoint PrevPos{1, 1};
    RealPoint World{0, 0};
    int32_t Index = 1; // point of the active curve under the cursor
    TColor CursorColor = 0x0000FF;
    IntPoint PlotTopLeft{0, 0}; // copy of the plot rectangle, refreshed at every image rebuild
    IntPoint PlotBottomRight{0, 0};
    bool SavedShown = false;
    bool SavedInterpolate = true;
    bool SavedSelectNearest = true;

    // Each move returns true when the crosshair took a new position (Pos, PrevPos, World and Index set).
    // To device column px: along the curve with Interpolate, else to the nearest point in the direction of
    // the movement.
    bool MoveToX(const TCurveB& curve, const TGrid& grid, int px);
    bool FollowCurve(const TCurveB& curve, const TGrid& grid, int px);
    bool SnapToPoint(const TCurveB& curve, const TGrid& grid, int px);
    // By delta pixels (Interpolate) or delta points, staying inside the plot.
    bool MoveBy(const TCurveB& curve, const TGrid& grid, int delta);

    // "(" x "," y ")", each in fixed point with 4 decimals and at least 8 wide; zero is written without sign.
    static QString ReadoutText(RealPoint world);
    QString Readout() const { return ReadoutText(World); }

private:
    void Place(IntPoint pos, RealPoint world, int32_t index);
};
