// Resampling, curve arithmetic, averaging and merging.
#include "curves/faultguard.h"
#include "opscurves.h"

#include <cmath>

TEST(OpsResample, GridBelowXMaxAndFailures) {
    const TCurveB src = Make({{0, 0}, {1, 10}, {2, 20}, {3, 30}});
    TCurveB c = src;
    c.Comment = "old";
    ASSERT_TRUE(c.Resample(1, 0.25));
    ExpectPoints(c, {{0.25, 2.5}, {1.25, 12.5}, {2.25, 22.5}}); // 3.25 lies beyond XMax
    EXPECT_TRUE(c.Comment.empty());
    EXPECT_EQ(c.YMax, 22.5);
    EXPECT_FALSE(c.Saved);
    c = src;
    ASSERT_TRUE(c.Resample(1, 0)); // 3 equals XMax and is left out
    ExpectPoints(c, {{0, 0}, {1, 10}, {2, 20}});

    // One grid point, no interval, an interval lost in rounding, an offset absurdly far away, and a source
    // whose smallest x comes after its first point: all fail with the curve unchanged.
    for (auto [h, offset] : {std::pair{5.0, 0.0}, {0.0, 0.0}, {-1.0, 0.0}, {1e-300, 0.0}, {1.0, 1e12}}) {
        c = src;
        EXPECT_FALSE(c.Resample(h, offset)) << h << " " << offset;
        EXPECT_TRUE(c.Saved);
    }
    c = Make({{1, 10}, {0, 0}, {2, 20}, {3, 30}});
    EXPECT_FALSE(c.Resample(1, 0));
}

TEST(OpsResample, LargeGridsMatchInterpolation) {
    // Grids much finer and much coarser than the points, over an ascending curve with uneven and repeated x:
    // every grid point is the curve's interpolated value there, whatever the sweep does with the arrays.
    TCurveB src;
    for (int i = 0; i < 5000; ++i) src.AddPoint(i / 7 + 0.02 * (i % 7 / 3), std::sin(0.01 * i));
    src.CalcRanges();
    for (double h : {0.013, 0.4, 3.7}) {
        TCurveB c = src;
        const double offset = src.XMin + 0.1;
        ASSERT_TRUE(c.Resample(h, offset)) << h;
        double j = 0; // the grid reaches back from the offset to the first x
        while (offset + (j - 1) * h >= src.XMin) --j;
        const double g = offset + j * h;
        double v, t = g;
        int32_t hint = 1;
        for (int32_t k = 1; k <= c.Count(); ++k) {
            t = g + (k - 1) * h;
            ASSERT_TRUE(src.ValueAt(hint, t, v));
            ASSERT_EQ(c.X(k), t) << h << " " << k;
            ASSERT_EQ(c.Y(k), v) << h << " " << k;
        }
        EXPECT_EQ(c.Count(), c.Capacity());
        EXPECT_GE(g + c.Count() * h, src.XMax);
        EXPECT_LT(c.X(c.Count()), src.XMax);
    }
}

TEST(OpsResample, GridValuesDoNotDriftOverLongCurves) {
    // A scan of 4001 points from 0 to 100 in steps of 0.025, as read from a file: the grid of the same
    // step stops at 99.975, one point short of XMax (4000 additions of 0.025 fall a hair short of 100 and
    // would add a point there). Both sweeps: over the curve's own arrays, and aside (offset past the
    // first x, so the grid reaches back).
    TCurveB scan;
    for (int k = 0; k <= 4000; ++k)
        scan.AddPoint(
            std::stod(std::to_string(k * 25 / 1000) + "." + std::to_string(1000 + k * 25 % 1000).substr(1)),
            k % 7);
    scan.CalcRanges();
    ASSERT_EQ(scan.XMax, 100.0);
    for (double offset : {0.0, 50.0, 100.0}) {
        TCurveB c = scan;
        ASSERT_TRUE(c.Resample(0.025, offset)) << offset;
        ASSERT_EQ(c.Count(), 4000) << offset;
        for (int32_t k = 1; k <= c.Count(); ++k) ASSERT_EQ(c.X(k), (k - 1) * 0.025) << offset << " " << k;
        EXPECT_NEAR(c.Y(c.Count()), scan.Y(4000), 1e-9);
    }
    // A grid from a far offset: each value is the first grid value plus a whole number of steps.
    TCurveB c = scan;
    ASSERT_TRUE(c.Resample(0.1, -1000.05));
    EXPECT_EQ(c.Count(), 1000);
    EXPECT_NEAR(c.X(1), 0.05, 1e-12);
    for (int32_t k = 1; k <= c.Count(); ++k) ASSERT_EQ(c.X(k), c.X(1) + (k - 1) * 0.1) << k;
}

TEST(OpsCurveMath, OperationsAndUncoveredPoints) {
    const TCurveB six = Make({{0, 6}, {1, 6}, {2, 6}, {3, 6}});
    TCurveB c = six;
    c.CurveMath(Make({{0, 1e-8}, {1.5, -1e-8}, {3, -1e-8}}), TCurveB::MathDivide); // |divisor| <= 1e-8
    c.CurveMath(six, 7);                                                           // unknown code
    ExpectPoints(c, {{0, 6}, {1, 6}, {2, 6}, {3, 6}});
    c.CurveMath(Make({{0, -2}, {3, -2}}), TCurveB::MathDivide); // negative divisors divide too
    c.CurveMath(Make({{1.5, 0}, {3, 3}}), TCurveB::MathAdd);    // covers only the second half
    ExpectPoints(c, {{0, -3}, {1, -3}, {2, -2}, {3, 0}});
    c.CurveMath(Make({{0, 1}, {3, 4}}), TCurveB::MathSubtract);
    c.CurveMath(Make({{0, 2}, {3, 2}}), TCurveB::MathMultiply);
    c.CurveMath(c, TCurveB::MathAdd); // with itself: the values before the operation
    ExpectPoints(c, {{0, -16}, {1, -20}, {2, -20}, {3, -16}});
    EXPECT_EQ(c.YMax, -16.0);
}

TEST(OpsAverage, BothGrids) {
    TCurveB a = Make({{0, 1}, {1, 2}, {2, 3}});
    a.Comment = "first";
    const TCurveB b = Make({{1, 4}, {2, 5}, {3, 6}});
    const TCurveB* ab[] = {&a, &b};
    TCurveB r;
    ASSERT_TRUE(TCurveB::Average(ab, false, r));
    ExpectPoints(r, {{0, 1}, {1, 3}, {2, 4}}); // at x = 0 only the first curve contributes
    EXPECT_EQ(r.Comment, "first");
    EXPECT_FALSE(r.Saved);

    const TCurveB e = Make({{0, 0}, {2, 2}, {4, 4}}), f = Make({{1, 3}, {2, 4}});
    const TCurveB* ef[] = {&e, &f};
    ASSERT_TRUE(TCurveB::Average(ef, true, r)); // h = 1 over 0..4
    ExpectPoints(r, {{0, 0}, {1, 2}, {2, 3}, {3, 3}, {4, 4}});
    EXPECT_EQ(r.XMax, 4.0);

    // Thirty steps of 0.1 add up to a little more than 3: the last grid value must stay on the curves.
    const TCurveB wide = Make({{0, 1}, {3, 1}}), fine = Make({{0, 1}, {0.1, 1}});
    const TCurveB* wf[] = {&wide, &fine};
    ASSERT_TRUE(TCurveB::Average(wf, true, r));
    EXPECT_EQ(r.Count(), 31);
    EXPECT_EQ(r.Y(31), 1.0);
    // Every grid value is lo + k h, formed afresh: no drift along the grid.
    for (int32_t k = 1; k <= 30; ++k) ASSERT_EQ(r.X(k), (k - 1) * 0.1) << k;
}

TEST(OpsAverage, FaultsReachTheGuard) {
    TCurveB r;
    auto guarded = [&r](std::span<const TCurveB* const> list) {
        return RunGuarded([&]() -> const TCurveB& {
            TCurveB::Average(list, true, r);
            return r;
        });
    };
    const TCurveB dup = Make({{0, 1}, {0, 2}, {1, 3}}); // two points on one x: zero spacing
    const TCurveB* one[] = {&dup};
    EXPECT_EQ(guarded(one), TArithFault::DivideByZero);
    const TCurveB left = Make({{0, 1}, {1, 1}}), right = Make({{3, 1}, {4, 1}}); // nobody covers x = 2
    const TCurveB* gap[] = {&left, &right};
    EXPECT_EQ(guarded(gap), TArithFault::Invalid);
    EXPECT_EQ(CheckFinite(r), TArithFault::Invalid);

    // Nothing to average, or a grid too fine to build: refused without touching the result.
    TCurveB keep = Make({{5, 5}});
    const TCurveB tiny = Make({{0, 0}, {1e-9, 0}, {1e3, 0}});
    const TCurveB* huge[] = {&tiny};
    EXPECT_FALSE(TCurveB::Average({}, true, keep));
    EXPECT_FALSE(TCurveB::Average(huge, true, keep));
    ExpectPoints(keep, {{5, 5}});
}

TEST(OpsMerge, UnionSortedStably) {
    TCurveB a = Make({{0, 1}, {2, 1}});
    a.Comment = "first";
    const TCurveB b = Make({{1, 5}, {2, 7}}), c = Make({{2, 9}, {-1, 3}}); // c is unsorted
    const TCurveB* list[] = {&a, &b, &c};
    TCurveB r;
    ASSERT_TRUE(TCurveB::Merge(list, r));
    ExpectPoints(r, {{-1, 3}, {0, 1}, {1, 5}, {2, 1}, {2, 7}, {2, 9}}); // equal x keep list order
    EXPECT_EQ(r.Comment, "first");
    EXPECT_EQ(r.XMin, -1.0);
    EXPECT_EQ(r.YMax, 9.0);
    EXPECT_FALSE(r.Saved);

    TCurveB keep = Make({{5, 5}});
    const TCurveB* single[] = {&a};
    EXPECT_FALSE(TCurveB::Merge(single, keep));
    ExpectPoints(keep, {{5, 5}});
}
