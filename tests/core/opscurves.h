// Small curves for the operation tests.
#pragma once

#include "curves/curvesb.h"

#include <gtest/gtest.h>
#include <initializer_list>

// A curve of the given points with its ranges, marked as saved so that tests can see MarkModified.
inline TCurveB Make(std::initializer_list<TXYPoint> pts) {
    TCurveB c;
    for (const auto& p : pts) c.AddPoint(p.x, p.y);
    c.CalcRanges();
    c.Saved = true;
    return c;
}

inline void ExpectPoints(const TCurveB& c, std::initializer_list<TXYPoint> pts, double tol = 1e-12) {
    ASSERT_EQ(c.Count(), static_cast<int32_t>(pts.size()));
    int32_t i = 1;
    for (const auto& p : pts) {
        EXPECT_NEAR(c.X(i), p.x, tol) << "point " << i;
        EXPECT_NEAR(c.Y(i), p.y, tol) << "point " << i;
        ++i;
    }
}
