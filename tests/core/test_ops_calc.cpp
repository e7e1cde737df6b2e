// Derivative, integral, the point-wise operations, range removal and formula curves.
#include "opscurves.h"

#include <cmath>

TEST(OpsDerivative, ExactForParabolasAndFailsWithoutNeighbours) {
    TCurveB c = Make({{0, 0}, {1, 1}, {3, 9}, {4, 16}});
    c.Comment = "data";
    ASSERT_TRUE(c.Derivative());
    ExpectPoints(c, {{0, 0}, {1, 2}, {3, 6}, {4, 8}}); // the end points too
    EXPECT_EQ(c.Comment, "data: derivative");
    EXPECT_EQ(c.YMax, 8.0);
    EXPECT_FALSE(c.Saved);
    // Unsorted x: the neighbours are the nearest earlier lower and later higher x (at the ends the next two
    // on the one side); a point without one repeats the derivative before it. For y = x^3 the estimate from
    // offsets hA, hB is 3x^2 - hA hB, which tells whether the right neighbours were taken: here (2, 3),
    // none, (-3, 1), (-2, 2), (-2, 2), none, (-1.5, 1.5), (-1.5, -3).
    TCurveB cubic = Make({{0, 0}, {-1, -1}, {2, 8}, {1, 1}, {3, 27}, {5, 125}, {2.5, 15.625}, {4, 64}});
    ASSERT_TRUE(cubic.Derivative());
    ExpectPoints(cubic, {{0, -6}, {-1, -6}, {2, 15}, {1, 7}, {3, 31}, {5, 31}, {2.5, 21}, {4, 43.5}});
    // The first neighbour counts from 1e-8 away, the second from 1e-11; nearer, the point repeats the one
    // before (here y = x^2).
    TCurveB close = Make({{0, 0}, {5e-8, 2.5e-15}, {1, 1}, {1 + 5e-9, 1 + 1e-8}, {2, 4}, {3, 9}});
    ASSERT_TRUE(close.Derivative());
    EXPECT_NEAR(close.Y(2), 1e-7, 1e-12);
    EXPECT_EQ(close.Y(4), close.Y(3));
    // Long runs of equal or falling x take linear time (a scan per point would not finish).
    const int32_t half = 500000;
    TCurveB runs(2 * half + 2);
    runs.SetCount(2 * half + 2);
    for (int32_t i = 0; i < half; ++i) runs.SetXY(i + 1, 0, i);
    for (int32_t i = 0; i < half; ++i) runs.SetXY(half + i + 1, half - i, i);
    runs.SetXY(2 * half + 1, half + 1, 0);
    runs.SetXY(2 * half + 2, half + 2, 0);
    ASSERT_TRUE(runs.Derivative());
    EXPECT_EQ(runs.Y(half), runs.Y(1)); // no earlier lower x inside the run of zeros

    for (TCurveB f : {Make({{1, 1}}), Make({{1, 1}, {2, 2}}), Make({{3, 1}, {2, 2}, {1, 3}})}) {
        EXPECT_FALSE(f.Derivative());
        EXPECT_TRUE(f.Saved);
        EXPECT_EQ(f.Y(1), 1.0);
    }
}

TEST(OpsIntegral, TrapezoidRunningSum) {
    double total = -1;
    TCurveB one = Make({{0, 1}, {1, 1}, {2, 1}});
    ASSERT_TRUE(one.Integral(total));
    ExpectPoints(one, {{0, 0}, {1, 1}, {2, 2}});
    EXPECT_EQ(total, 2.0);
    EXPECT_EQ(one.YMax, 2.0);
    EXPECT_FALSE(one.Saved);
    // y = 2x + 1 on an uneven grid integrates exactly to x^2 + x.
    TCurveB line = Make({{0, 1}, {0.5, 2}, {2, 5}, {2.25, 5.5}});
    ASSERT_TRUE(line.Integral(total));
    ExpectPoints(line, {{0, 0}, {0.5, 0.75}, {2, 6}, {2.25, 7.3125}});
    EXPECT_EQ(total, 7.3125);

    // Over falling x the steps are negative: a constant 1 at x = 2, 1, 0 gives -1 and -2.
    TCurveB falling = Make({{2, 1}, {1, 1}, {0, 1}});
    ASSERT_TRUE(falling.Integral(total));
    ExpectPoints(falling, {{2, 0}, {1, -1}, {0, -2}});
    EXPECT_EQ(total, -2.0);

    TCurveB single = Make({{1, 3}});
    EXPECT_FALSE(single.Integral(total));
    EXPECT_EQ(single.Y(1), 3.0);
}

TEST(OpsPointwise, TimesXInverseLog10) {
    TCurveB c = Make({{2, 3}, {-1, 4}, {5, 0}});
    c.TimesX();
    ExpectPoints(c, {{2, 6}, {-1, -4}, {5, 0}});
    c.Inverse();
    ExpectPoints(c, {{2, 1.0 / 6}, {-1, -0.25}, {5, 0}});
    EXPECT_EQ(c.YMin, -0.25);
    TCurveB lg = Make({{1, 100}, {2, 1e-40}, {3, -5}, {4, 1e-30}});
    lg.Log10();
    ExpectPoints(lg, {{1, 2}, {2, 1e-50}, {3, 1e-50}, {4, 1e-50}}, 0.0);
    EXPECT_FALSE(lg.Saved);
}

TEST(OpsRemoveRange, RangesAndRefusals) {
    const TCurveB five = Make({{1, 10}, {2, 50}, {3, 30}, {4, 40}, {5, 20}});
    TCurveB c = five;
    ASSERT_TRUE(c.RemoveRange(1, 3));
    ExpectPoints(c, {{4, 40}, {5, 20}});
    EXPECT_EQ(c.XMin, 4.0);
    EXPECT_EQ(c.YMin, 20.0);
    EXPECT_FALSE(c.Saved);
    c = five;
    ASSERT_TRUE(c.RemoveRange(4, 5));
    EXPECT_EQ(c.XMax, 3.0);
    EXPECT_EQ(c.YMax, 50.0);
    // The whole curve, an inverted pair and indices outside the curve change nothing.
    c = five;
    for (auto [first, last] : {std::pair{1, 5}, {4, 2}, {0, 2}, {3, 6}})
        EXPECT_FALSE(c.RemoveRange(first, last));
    EXPECT_EQ(c.Count(), 5);
    EXPECT_TRUE(c.Saved);
}

TEST(OpsFromFunction, SkipsUnevaluablePointsWithinABound) {
    TCurveB c;
    c.SetCount(3);
    ASSERT_TRUE(c.FromFunction("1/x", 1, -1)); // x = 0 fails: the grid goes on to x = 2
    ExpectPoints(c, {{-1, -1}, {1, 1}, {2, 0.5}});
    EXPECT_EQ(c.XMax, 2.0);
    ASSERT_TRUE(c.FromFunction("x*1e12+5", 1, -1)); // values of 1e10 or more become 0
    ExpectPoints(c, {{-1, 0}, {0, 5}, {1, 0}});

    // Parse errors, formulas never evaluable, and gaps of more than max(steps, 1000) steps fail unchanged.
    for (const char* f : {"x+", "foo", "1/(x-x)", "1/trunc(x/600)"})
        EXPECT_FALSE(c.FromFunction(f, 2, 1)) << f;
    EXPECT_EQ(c.Y(2), 5.0);
    ASSERT_TRUE(c.FromFunction("1/trunc(x/500)", 2, 1)); // about 1000 failed steps
    EXPECT_EQ(c.X(1), 500.0);
    TCurveB longer;
    longer.SetCount(1500);
    ASSERT_TRUE(longer.FromFunction("1/trunc(x/1200)", 1500, 1));
    EXPECT_EQ(longer.X(1), 1200.0);
}
