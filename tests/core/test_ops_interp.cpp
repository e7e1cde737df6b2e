// Resampling, curve arithmetic, averaging and merging.
#include "curves/curvesb.h"
#include "curves/faultguard.h"

#include <gtest/gtest.h>
#include <vector>

namespace {
TCurveB Make(std::initializer_list<TXYPoint> pts) {
    TCurveB c;
    for (const auto& p : pts) c.AddPoint(p.x, p.y);
    c.CalcRanges();
    c.Saved = true;
    return c;
}

void ExpectPoints(const TCurveB& c, std::initializer_list<TXYPoint> pts) {
    ASSERT_EQ(c.Count(), static_cast<int32_t>(pts.size()));
    int32_t i = 1;
    for (const auto& p : pts) {
        EXPECT_NEAR(c.X(i), p.x, 1e-12) << "point " << i;
        EXPECT_NEAR(c.Y(i), p.y, 1e-12) << "point " << i;
        ++i;
    }
}
} // namespace

TEST(OpsResample, GridStopsBelowXMax) {
    // y = 10 x on 0..3.
    const TCurveB src = Make({{0, 0}, {1, 10}, {2, 20}, {3, 30}});
    TCurveB c = src;
    c.Comment = "keep?";
    c.FileName = "a.dat";
    ASSERT_TRUE(c.Resample(1, 0.25));
    ExpectPoints(c, {{0.25, 2.5}, {1.25, 12.5}, {2.25, 22.5}});
    EXPECT_TRUE(c.Comment.empty());
    EXPECT_TRUE(c.FileName.empty());
    EXPECT_FALSE(c.Saved);
    EXPECT_EQ(c.XMin, 0.25);
    EXPECT_EQ(c.YMax, 22.5);

    c = src;
    ASSERT_TRUE(c.Resample(1, 0)); // 3 equals XMax and is left out
    ExpectPoints(c, {{0, 0}, {1, 10}, {2, 20}});

    c = src;
    ASSERT_TRUE(c.Resample(0.5, 2.75)); // the offset lies inside: the grid reaches back to XMin
    ExpectPoints(c, {{0.25, 2.5}, {0.75, 7.5}, {1.25, 12.5}, {1.75, 17.5}, {2.25, 22.5}, {2.75, 27.5}});
}

TEST(OpsResample, FailuresLeaveTheCurve) {
    const TCurveB src = Make({{0, 0}, {1, 10}, {2, 20}, {3, 30}});
    for (double h : {5.0, 0.0, -1.0, 1e-300}) {
        TCurveB c = src;
        EXPECT_FALSE(c.Resample(h, 0)) << h;
        ExpectPoints(c, {{0, 0}, {1, 10}, {2, 20}, {3, 30}});
        EXPECT_TRUE(c.Saved);
    }
    // An offset so far away that no sane number of steps reaches the curve.
    TCurveB far = src;
    EXPECT_FALSE(far.Resample(1, 1e12));
    // Unsorted source: the sweep cannot go back to the smallest x.
    TCurveB unsorted = Make({{1, 10}, {0, 0}, {2, 20}, {3, 30}});
    EXPECT_FALSE(unsorted.Resample(1, 0));
    EXPECT_EQ(unsorted.Count(), 4);
}

TEST(OpsCurveMath, OperationsAndUncoveredPoints) {
    const TCurveB six = Make({{0, 6}, {1, 6}, {2, 6}, {3, 6}});
    TCurveB c = six;
    c.CurveMath(Make({{0, -2}, {3, -2}}), TCurveB::MathDivide); // negative divisors are refused
    ExpectPoints(c, {{0, 6}, {1, 6}, {2, 6}, {3, 6}});
    c.CurveMath(Make({{0, 2}, {3, 2}}), TCurveB::MathDivide);
    ExpectPoints(c, {{0, 3}, {1, 3}, {2, 3}, {3, 3}});
    c.CurveMath(Make({{0, 1e-8}, {3, 1e-8}}), TCurveB::MathDivide); // not above 1e-8
    EXPECT_EQ(c.Y(1), 3.0);

    // The other curve covers only x = 1.5..3: the rest keeps its values.
    c = six;
    c.CurveMath(Make({{1.5, 0}, {3, 3}}), TCurveB::MathAdd);
    ExpectPoints(c, {{0, 6}, {1, 6}, {2, 7}, {3, 9}});
    EXPECT_EQ(c.YMax, 9.0);
    EXPECT_FALSE(c.Saved);

    c = six;
    c.CurveMath(Make({{0, 1}, {3, 4}}), TCurveB::MathSubtract);
    ExpectPoints(c, {{0, 5}, {1, 4}, {2, 3}, {3, 2}});
    c.CurveMath(Make({{0, 2}, {3, 2}}), TCurveB::MathMultiply);
    ExpectPoints(c, {{0, 10}, {1, 8}, {2, 6}, {3, 4}});
    c.CurveMath(c, TCurveB::MathAdd); // with itself: the values before the operation
    ExpectPoints(c, {{0, 20}, {1, 16}, {2, 12}, {3, 8}});

    c = six;
    c.CurveMath(Make({{0, 1}, {3, 1}}), 7); // unknown code
    ExpectPoints(c, {{0, 6}, {1, 6}, {2, 6}, {3, 6}});
    EXPECT_TRUE(c.Saved);
}

TEST(OpsAverage, FirstCurveGrid) {
    const TCurveB a = Make({{0, 1}, {1, 2}, {2, 3}});
    const TCurveB b = Make({{1, 4}, {2, 5}, {3, 6}});
    TCurveB a2 = a;
    a2.Comment = "first";
    const TCurveB* list[] = {&a2, &b};
    TCurveB r;
    ASSERT_TRUE(TCurveB::Average(list, false, r));
    ExpectPoints(r, {{0, 1}, {1, 3}, {2, 4}}); // at x = 0 only the first curve contributes
    EXPECT_EQ(r.Comment, "first");
    EXPECT_EQ(r.XMax, 2.0);
    EXPECT_EQ(r.YMin, 1.0);
    EXPECT_FALSE(r.Saved);

    // The result may be one of the listed curves.
    TCurveB c = b;
    const TCurveB* self[] = {&c, &a};
    ASSERT_TRUE(TCurveB::Average(self, false, c));
    ExpectPoints(c, {{1, 3}, {2, 4}, {3, 6}});
}

TEST(OpsAverage, EvenGrid) {
    const TCurveB a = Make({{0, 0}, {2, 2}, {4, 4}});
    const TCurveB b = Make({{1, 3}, {2, 4}});
    const TCurveB* list[] = {&a, &b};
    TCurveB r;
    ASSERT_TRUE(TCurveB::Average(list, true, r));
    ExpectPoints(r, {{0, 0}, {1, 2}, {2, 3}, {3, 3}, {4, 4}});
    EXPECT_EQ(r.XMin, 0.0);
    EXPECT_EQ(r.XMax, 4.0);
    EXPECT_EQ(r.YMax, 4.0);

    // Thirty steps of 0.1 add up to a little more than 3: the last grid value must stay on the curves.
    const TCurveB wide = Make({{0, 1}, {3, 1}});
    const TCurveB fine = Make({{0, 1}, {0.1, 1}});
    const TCurveB* two[] = {&wide, &fine};
    ASSERT_TRUE(TCurveB::Average(two, true, r));
    EXPECT_EQ(r.Count(), 31);
    EXPECT_LE(r.X(31), 3.0);
    EXPECT_EQ(r.Y(31), 1.0);
    EXPECT_EQ(r.XMax, r.X(31));
}

TEST(OpsAverage, FaultsReachTheGuard) {
    // Two points on one x: the spacing is zero.
    const TCurveB dup = Make({{0, 1}, {0, 2}, {1, 3}});
    const TCurveB other = Make({{0, 1}, {1, 1}});
    const TCurveB* list[] = {&dup, &other};
    TCurveB r;
    bool ok = true;
    TArithFault f = RunGuarded([&]() -> const TCurveB& {
        ok = TCurveB::Average(list, true, r);
        return r;
    });
    EXPECT_EQ(f, TArithFault::DivideByZero);
    EXPECT_FALSE(ok);

    // A gap between the curves leaves grid values nobody covers.
    const TCurveB left = Make({{0, 1}, {1, 1}});
    const TCurveB right = Make({{3, 1}, {4, 1}});
    const TCurveB* gap[] = {&left, &right};
    f = RunGuarded([&]() -> const TCurveB& {
        ok = TCurveB::Average(gap, true, r);
        return r;
    });
    EXPECT_EQ(f, TArithFault::Invalid);
    EXPECT_FALSE(ok);
    EXPECT_EQ(CheckFinite(r), TArithFault::Invalid);

    // Nothing to average, or a grid too fine to build: refused without touching the result.
    TCurveB keep = Make({{5, 5}});
    EXPECT_FALSE(TCurveB::Average({}, true, keep));
    const TCurveB tiny = Make({{0, 0}, {1e-9, 0}, {1e3, 0}});
    const TCurveB* huge[] = {&tiny};
    EXPECT_FALSE(TCurveB::Average(huge, true, keep));
    ExpectPoints(keep, {{5, 5}});
}

TEST(OpsMerge, UnionSortedStably) {
    const TCurveB a = Make({{0, 1}, {2, 1}});
    TCurveB b = Make({{1, 5}, {2, 7}});
    b.Comment = "second";
    const TCurveB c = Make({{2, 9}, {-1, 3}}); // unsorted on its own
    TCurveB a2 = a;
    a2.Comment = "first";
    const TCurveB* list[] = {&a2, &b, &c};
    TCurveB r;
    ASSERT_TRUE(TCurveB::Merge(list, r));
    ExpectPoints(r, {{-1, 3}, {0, 1}, {1, 5}, {2, 1}, {2, 7}, {2, 9}});
    EXPECT_EQ(r.Comment, "first");
    EXPECT_EQ(r.XMin, -1.0);
    EXPECT_EQ(r.XMax, 2.0);
    EXPECT_EQ(r.YMax, 9.0);
    EXPECT_FALSE(r.Saved);

    // The same order as a stable sort of all points taken curve after curve.
    TCurveB all;
    for (const TCurveB* k : list)
        for (int32_t i = 1; i <= k->Count(); ++i) all.AddPoint(k->X(i), k->Y(i));
    all.SortByX();
    for (int32_t i = 1; i <= all.Count(); ++i) EXPECT_EQ(all.Y(i), r.Y(i));

    TCurveB keep = Make({{5, 5}});
    const TCurveB* single[] = {&a};
    EXPECT_FALSE(TCurveB::Merge(single, keep));
    ExpectPoints(keep, {{5, 5}});
}
