// Derivative, integral and the point-wise operations of a curve.
#include "curves/curvesb.h"
#include "curves/faultguard.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {
TCurveB Make(std::initializer_list<TXYPoint> pts) {
    TCurveB c;
    for (const auto& p : pts) c.AddPoint(p.x, p.y);
    c.CalcRanges();
    c.Saved = true;
    return c;
}

void ExpectY(const TCurveB& c, std::initializer_list<double> ys) {
    ASSERT_EQ(c.Count(), static_cast<int32_t>(ys.size()));
    int32_t i = 1;
    for (double y : ys) EXPECT_NEAR(c.Y(i++), y, 1e-12) << "point " << i - 1;
}
} // namespace

TEST(OpsDerivative, ParabolaExactAtEveryPoint) {
    TCurveB c = Make({{0, 0}, {1, 1}, {3, 9}, {4, 16}});
    c.Comment = "data";
    ASSERT_TRUE(c.Derivative());
    ExpectY(c, {0, 2, 6, 8});
    EXPECT_EQ(c.Comment, "data: derivative");
    EXPECT_EQ(c.YMax, 8.0);
    EXPECT_FALSE(c.Saved);
    EXPECT_EQ(c.X(3), 3.0); // x stays
}

TEST(OpsDerivative, RepeatedXTakesThePreviousDerivative) {
    // Point 2 has no earlier point with a smaller x: it repeats point 1's derivative.
    TCurveB c = Make({{0, 0}, {0, 0}, {1, 1}, {2, 4}});
    ASSERT_TRUE(c.Derivative());
    ExpectY(c, {0, 0, 2, 4});

    // A first neighbour closer than 1e-8 keeps the first point's value and repeats it further on.
    TCurveB near = Make({{0, 5}, {1e-9, 5}, {1, 6}, {2, 7}});
    ASSERT_TRUE(near.Derivative());
    EXPECT_EQ(near.Y(1), 5.0);
    EXPECT_EQ(near.Y(2), 5.0);
}

TEST(OpsDerivative, FailsWithoutNeighboursAndLeavesCurve) {
    for (TCurveB c : {Make({{1, 1}}), Make({{1, 1}, {2, 2}}), Make({{3, 1}, {2, 2}, {1, 3}}), TCurveB()}) {
        const TCurveB before = c;
        EXPECT_FALSE(c.Derivative());
        EXPECT_TRUE(c.Saved || c.Count() == 0);
        for (int32_t i = 1; i <= c.Count(); ++i) EXPECT_EQ(c.Y(i), before.Y(i));
        EXPECT_EQ(c.Comment, before.Comment);
    }
}

TEST(OpsIntegral, TrapezoidRunningSum) {
    TCurveB one = Make({{0, 1}, {1, 1}, {2, 1}});
    double total = -1;
    ASSERT_TRUE(one.Integral(total));
    ExpectY(one, {0, 1, 2});
    EXPECT_EQ(total, 2.0);
    EXPECT_EQ(one.YMin, 0.0);
    EXPECT_EQ(one.YMax, 2.0);
    EXPECT_FALSE(one.Saved);

    TCurveB two = Make({{0, 2}, {0.5, 2}});
    ASSERT_TRUE(two.Integral(total));
    ExpectY(two, {0, 1});
    EXPECT_EQ(total, 1.0);

    // A straight line on an uneven grid is integrated exactly: y = 2x + 1 gives x^2 + x.
    TCurveB line = Make({{0, 1}, {0.5, 2}, {2, 5}, {2.25, 5.5}});
    ASSERT_TRUE(line.Integral(total));
    ExpectY(line, {0, 0.75, 6, 2.25 * 2.25 + 2.25});
    EXPECT_DOUBLE_EQ(total, 2.25 * 2.25 + 2.25);

    TCurveB single = Make({{1, 3}});
    total = -1;
    EXPECT_FALSE(single.Integral(total));
    EXPECT_EQ(single.Y(1), 3.0);
    EXPECT_EQ(total, -1.0);
}

TEST(OpsPointwise, TimesXInverseLog10) {
    TCurveB c = Make({{2, 3}, {-1, 4}, {5, 0}});
    c.TimesX();
    ExpectY(c, {6, -4, 0});
    EXPECT_EQ(c.YMin, -4.0);

    TCurveB inv = Make({{1, 0}, {2, -4}, {3, 8}});
    inv.Inverse();
    ExpectY(inv, {0, -0.25, 0.125});
    EXPECT_EQ(inv.YMax, 0.125);
    EXPECT_FALSE(inv.Saved);

    TCurveB lg = Make({{1, 100}, {2, 1e-40}, {3, -5}, {4, 1e-30}, {5, 2e-30}});
    lg.Log10();
    EXPECT_NEAR(lg.Y(1), 2.0, 1e-15);
    EXPECT_EQ(lg.Y(2), 1e-50);
    EXPECT_EQ(lg.Y(3), 1e-50);
    EXPECT_EQ(lg.Y(4), 1e-50); // the threshold itself is not above 1e-30
    EXPECT_NEAR(lg.Y(5), std::log10(2e-30), 1e-12);
    EXPECT_EQ(lg.YMax, lg.Y(1));
}

TEST(OpsPointwise, OverflowReachesTheGuard) {
    TCurveB c = Make({{1e300, 1e300}, {2, 2}});
    const TArithFault f = RunGuarded([&]() -> const TCurveB& {
        c.TimesX();
        return c;
    });
    EXPECT_EQ(f, TArithFault::Overflow);
}

TEST(OpsRemoveRange, RangesAndRefusals) {
    TCurveB c = Make({{1, 10}, {2, 50}, {3, 30}, {4, 40}, {5, 20}});
    ASSERT_TRUE(c.RemoveRange(1, 3));
    ASSERT_EQ(c.Count(), 2);
    EXPECT_EQ(c.X(1), 4.0);
    EXPECT_EQ(c.XMin, 4.0);
    EXPECT_EQ(c.XMax, 5.0);
    EXPECT_EQ(c.YMin, 20.0);
    EXPECT_EQ(c.YMax, 40.0);
    EXPECT_FALSE(c.Saved);

    TCurveB tail = Make({{1, 10}, {2, 50}, {3, 30}, {4, 40}, {5, 20}});
    ASSERT_TRUE(tail.RemoveRange(4, 5));
    EXPECT_EQ(tail.XMax, 3.0);
    EXPECT_EQ(tail.YMax, 50.0);

    TCurveB mid = Make({{1, 10}, {2, 50}, {3, 30}, {4, 40}, {5, 20}});
    ASSERT_TRUE(mid.RemoveRange(2, 2));
    ExpectY(mid, {10, 30, 40, 20});
    EXPECT_EQ(mid.XMin, 1.0);

    // The whole curve, an inverted pair and indices outside the curve change nothing.
    TCurveB five = Make({{1, 10}, {2, 50}, {3, 30}, {4, 40}, {5, 20}});
    EXPECT_FALSE(five.RemoveRange(1, 5));
    EXPECT_FALSE(five.RemoveRange(4, 2));
    EXPECT_FALSE(five.RemoveRange(0, 2));
    EXPECT_FALSE(five.RemoveRange(3, 6));
    EXPECT_EQ(five.Count(), 5);
    EXPECT_TRUE(five.Saved);
}

namespace {
TCurveB Steps(int32_t n) {
    TCurveB c;
    c.SetCount(n);
    c.Comment = "formula";
    return c;
}
} // namespace

TEST(OpsFromFunction, GridSkipsUnevaluablePoints) {
    TCurveB c = Steps(3);
    ASSERT_TRUE(c.FromFunction("1/x", 1, -1)); // x = 0 cannot be evaluated: the grid goes on to x = 2
    for (int32_t i = 1; i <= 3; ++i) {
        const double xs[] = {-1, 1, 2}, ys[] = {-1, 1, 0.5};
        EXPECT_EQ(c.X(i), xs[i - 1]);
        EXPECT_EQ(c.Y(i), ys[i - 1]);
    }
    EXPECT_EQ(c.XMax, 2.0);
    EXPECT_EQ(c.YMin, -1.0);
    EXPECT_FALSE(c.Saved);

    TCurveB sq = Steps(3);
    ASSERT_TRUE(sq.FromFunction("x^2", 1, -1));
    ExpectY(sq, {1, 0, 1});
    EXPECT_EQ(sq.X(2), 0.0);

    TCurveB big = Steps(3);
    ASSERT_TRUE(big.FromFunction("x*1e12+5", 1, -1)); // values of 1e10 or more are stored as 0
    ExpectY(big, {0, 5, 0});
}

TEST(OpsFromFunction, FailuresLeaveTheCurve) {
    TCurveB c = Steps(5);
    c.SetXY(1, 7, 8);
    EXPECT_FALSE(c.FromFunction("x+", 1, 0));  // does not parse
    EXPECT_FALSE(c.FromFunction("foo", 1, 0)); // no such variable
    // Never evaluable: ends after the bounded number of failures instead of stepping forever.
    EXPECT_FALSE(c.FromFunction("1/(x-x)", 1, 0));
    // A gap of about 1200 steps is longer than the bound (1000 for short curves) ...
    EXPECT_FALSE(c.FromFunction("1/trunc(x/600)", 3, 1));
    EXPECT_EQ(c.X(1), 7.0);
    EXPECT_EQ(c.Y(1), 8.0);
    EXPECT_EQ(c.Comment, "formula");
    // ... one of about 1000 is not, and a longer curve tolerates gaps as long as itself.
    ASSERT_TRUE(c.FromFunction("1/trunc(x/500)", 3, 1));
    EXPECT_EQ(c.X(1), 500.0);
    EXPECT_EQ(c.Y(1), 1.0);
    TCurveB longer = Steps(1500);
    ASSERT_TRUE(longer.FromFunction("1/trunc(x/1200)", 1500, 1));
    EXPECT_EQ(longer.X(1), 1200.0);
    EXPECT_EQ(TCurveB::FormulaFailureLimit(3), 1000);
    EXPECT_EQ(TCurveB::FormulaFailureLimit(5000), 5000);

    TCurveB one = Steps(1);
    EXPECT_FALSE(one.FromFunction("x", 1, 0));
}
