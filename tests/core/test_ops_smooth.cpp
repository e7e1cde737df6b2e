// Moving-polynomial smoothing, regression, spectral smoothing and the five-point filter.
#include "curves/curvesb.h"
#include "curves/faultguard.h"

#include <algorithm>
#include <cmath>
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

// Uneven x (a smooth stretch plus a jitter) with a noisy signal.
TCurveB Noisy(int32_t n) {
    TCurveB c;
    for (int32_t i = 0; i < n; ++i) {
        const double x = i + 0.3 * std::sin(1.7 * i);
        c.AddPoint(x, std::sin(0.2 * x) + 0.1 * std::sin(13.1 * i));
    }
    c.CalcRanges();
    return c;
}

// The window of point i as the smoothing defines it: nearest in x, the right one on a tie.
TCurveB Window(const TCurveB& c, int32_t i, int32_t n) {
    TCurveB w;
    w.AddPoint(c.X(i), c.Y(i));
    int32_t l = i - 1, r = i + 1;
    while (w.Count() < n) {
        const bool right =
            l < 1 || (r <= c.Count() && std::fabs(c.X(r) - c.X(i)) <= std::fabs(c.X(l) - c.X(i)));
        const int32_t j = right ? r++ : l--;
        w.AddPoint(c.X(j), c.Y(j));
    }
    return w;
}
} // namespace

TEST(OpsSpline, ParabolaAndWholeCurveWindow) {
    TCurveB par;
    for (int i = 0; i < 40; ++i) par.AddPoint(i * 0.5 + 0.01 * i * i, 3 - 0.2 * i + 0.05 * i * i);
    for (int i = 0; i < 40; ++i) par.SetY(i + 1, 1 - par.X(i + 1) + 0.25 * par.X(i + 1) * par.X(i + 1));
    par.CalcRanges();
    TCurveB s = par;
    ASSERT_TRUE(s.SplineSmooth(13, 2));
    for (int32_t i = 1; i <= 40; ++i) EXPECT_NEAR(s.Y(i), par.Y(i), 1e-9) << i;
    EXPECT_FALSE(s.Saved);

    // Exactly 13 points: every window is the whole curve, so every point lies on one fitted parabola.
    TCurveB thirteen = Noisy(13);
    double a[3], se;
    ASSERT_TRUE(thirteen.PolyFit(2, a, se));
    TCurveB t = thirteen;
    ASSERT_TRUE(t.SplineSmooth(13, 2));
    for (int32_t i = 1; i <= 13; ++i) {
        const double x = thirteen.X(i);
        EXPECT_NEAR(t.Y(i), a[0] + a[1] * x + a[2] * x * x, 1e-12) << i;
    }
    TCurveB twelve = Noisy(12);
    EXPECT_FALSE(twelve.SplineSmooth(13, 2));
    EXPECT_EQ(twelve.Y(5), Noisy(12).Y(5));
}

TEST(OpsSpline, TabulatedPowersEqualThePowerFunction) {
    for (double x : {-2.5, -1.0, 0.0, 0.3, 7.0, 1e-8, 123456.789}) {
        double p[9];
        TCurveA::Powers(x, 8, p);
        for (int k = 0; k <= 8; ++k) EXPECT_EQ(p[k], TCurveA::Power(x, k)) << x << "^" << k;
    }
}

TEST(OpsSpline, EachPointMatchesItsOwnWindowFit) {
    const TCurveB src = Noisy(200);
    for (int order : {1, 2, 3}) {
        TCurveB s = src;
        ASSERT_TRUE(s.SplineSmooth(9, order));
        for (int32_t i : {1, 2, 5, 100, 199, 200}) {
            TCurveB w = Window(src, i, 9);
            double a[4], se;
            ASSERT_TRUE(w.PolyFit(order, a, se));
            w.ApplyPoly(order, a); // point i is the window's first point
            const double v = w.Y(1);
            EXPECT_EQ(s.Y(i), v) << "order " << order << " point " << i; // the very same arithmetic
        }
    }
}

TEST(OpsSpline, RefusalsAndSkippedWindows) {
    const TCurveB src = Noisy(20);
    for (auto [n, order] : {std::pair{2, 0}, std::pair{21, 2}, std::pair{5, 5}, std::pair{5, 7}}) {
        TCurveB c = src;
        c.Saved = true;
        EXPECT_FALSE(c.SplineSmooth(n, order)) << n << " " << order;
        EXPECT_TRUE(c.Saved);
        EXPECT_EQ(c.Y(3), src.Y(3));
    }
    // A straight line: the quadratic term vanishes (skipped) or is tiny; either way the line stays.
    TCurveB line = Make({{0, 1}, {1, 3}, {2, 5}, {3, 7}, {4, 9}});
    ASSERT_TRUE(line.SplineSmooth(3, 2));
    for (int32_t i = 1; i <= 5; ++i) EXPECT_NEAR(line.Y(i), 2 * i - 1, 1e-12);
    // A window of exactly order + 1 points interpolates: no standard error is formed, so nothing faults.
    TCurveB c = src;
    const TArithFault f = RunGuarded([&]() -> const TCurveB& {
        c.SplineSmooth(3, 2);
        return c;
    });
    EXPECT_EQ(f, TArithFault::None);
    for (int32_t i = 1; i <= 20; ++i) EXPECT_NEAR(c.Y(i), src.Y(i), 1e-9);
    // Points sharing one x make the window's equations singular: the point keeps its value.
    TCurveB same = Make({{1, 1}, {1, 5}, {1, 2}, {1, 7}});
    ASSERT_TRUE(same.SplineSmooth(4, 2));
    EXPECT_EQ(same.Y(2), 5.0);
}

TEST(OpsRegression, CoefficientsAndFaults) {
    TCurveB c = Make({{0, 1}, {1, 3}, {2, 5}});
    std::vector<double> a;
    double se = -1;
    const TArithFault f = RunGuarded([&] { ASSERT_TRUE(c.PolyRegression(1, a, se)); });
    EXPECT_EQ(f, TArithFault::None);
    ASSERT_EQ(a.size(), 2u);
    EXPECT_NEAR(a[0], 1.0, 1e-14);
    EXPECT_NEAR(a[1], 2.0, 1e-14);
    EXPECT_NEAR(se, 0.0, 1e-7);
    for (int32_t i = 1; i <= 3; ++i) EXPECT_NEAR(c.Y(i), 2 * i - 1, 1e-12);
    EXPECT_FALSE(c.Saved);

    // Points on a line with awkward decimals: the residual may round below zero, which is no fault.
    TCurveB line;
    for (int i = 0; i < 50; ++i) line.AddPoint(0.1 * i, 0.3 + 0.7 * (0.1 * i));
    EXPECT_EQ(RunGuarded([&] { line.PolyRegression(1, a, se); }), TArithFault::None);
    EXPECT_TRUE(std::isfinite(se));

    TCurveB noisy = Noisy(30);
    ASSERT_TRUE(noisy.PolyRegression(3, a, se));
    EXPECT_EQ(a.size(), 4u);
    EXPECT_GT(se, 0.0);

    // Too few points, or equations that are singular: refused, curve unchanged.
    TCurveB two = Make({{0, 1}, {1, 2}});
    EXPECT_FALSE(two.PolyRegression(2, a, se));
    TCurveB same = Make({{1, 1}, {1, 2}, {1, 3}, {1, 4}});
    EXPECT_FALSE(same.PolyRegression(3, a, se));
    EXPECT_EQ(same.Y(4), 4.0);
    EXPECT_TRUE(same.Saved);

    // Exactly order + 1 points: the standard error divides by zero and the command is abandoned.
    TCurveB three = Make({{0, 1}, {1, 3}, {2, 2}});
    EXPECT_NE(RunGuarded([&] { three.PolyRegression(2, a, se); }), TArithFault::None);
}

TEST(OpsSpectral, ConstantStaysAndNoiseShrinks) {
    TCurveB flat;
    for (int i = 0; i <= 100; ++i) flat.AddPoint(i * 0.1, -3);
    flat.CalcRanges();
    flat.Comment = "flat";
    ASSERT_TRUE(flat.SpectralSmooth(0.3));
    for (int32_t i = 5; i <= 96; ++i) EXPECT_NEAR(flat.Y(i), -3.0, 0.05) << i;
    EXPECT_EQ(flat.Comment, "flat");
    EXPECT_NEAR(flat.X(11), 1.0, 1e-12);
    EXPECT_FALSE(flat.Saved);

    // A slow wave with fast noise: the filtered curve is nearer to the wave than the noisy data.
    TCurveB wave;
    for (int i = 0; i < 512; ++i) wave.AddPoint(i, 5 + std::sin(i / 40.0) + 0.5 * std::sin(2.9 * i));
    wave.CalcRanges();
    TCurveB sm = wave;
    ASSERT_TRUE(sm.SpectralSmooth(0.1));
    double before = 0, after = 0;
    for (int32_t i = 50; i <= 450; ++i) {
        const double clean = 5 + std::sin((i - 1) / 40.0);
        before += std::fabs(wave.Y(i) - clean);
        after += std::fabs(sm.Y(i) - clean);
    }
    EXPECT_LT(after, 0.3 * before);
    EXPECT_EQ(sm.YMax, *std::max_element(sm.YData(), sm.YData() + sm.Count()));

    // No spectrum (a repeated x): nothing is filtered and the curve stays as it was.
    TCurveB dup = Make({{0, 1}, {1, 2}, {1, 3}, {2, 4}});
    EXPECT_FALSE(dup.SpectralSmooth(0.3));
    EXPECT_EQ(dup.Y(2), 2.0);
    EXPECT_TRUE(dup.Saved);
}

TEST(OpsShape, GaussianPoints) {
    TCurveB g;
    const double p[3] = {2, 1, 0.5};
    ASSERT_TRUE(g.CreateShape(p, 3, -1, 5, TCurveB::ShapeGaussian));
    ASSERT_EQ(g.Count(), 5);
    EXPECT_EQ(g.X(1), -1.0);
    EXPECT_EQ(g.X(5), 3.0);
    EXPECT_EQ(g.Y(3), 2.0);
    EXPECT_NEAR(g.Y(2), 2 * std::exp(-2.0), 1e-15);
    EXPECT_EQ(g.XMax, 3.0);
    const double narrow[3] = {1, 0, 1e-3};
    ASSERT_TRUE(g.CreateShape(narrow, 1, -1, 3, TCurveB::ShapeGaussian));
    EXPECT_EQ(g.Y(1), 0.0); // exponent far below -2000
    EXPECT_FALSE(g.CreateShape(p, 1, 0, 1, TCurveB::ShapeGaussian));
    EXPECT_FALSE(g.CreateShape(p, 1, 0, 10, 2));
}

TEST(OpsSmooth5, SpikeSpreadsEndsKept) {
    TCurveB c = Make({{1, 1}, {2, 1}, {3, 1}, {4, 10}, {5, 1}, {6, 1}, {7, 1}});
    c.Smooth5();
    EXPECT_DOUBLE_EQ(c.Y(1), 1.0);
    EXPECT_DOUBLE_EQ(c.Y(7), 1.0);
    EXPECT_DOUBLE_EQ(c.Y(2), 1.0);
    EXPECT_DOUBLE_EQ(c.Y(3), (-3 + 12 + 17 + 120 - 3) / 35.0);
    EXPECT_DOUBLE_EQ(c.Y(4), (-3 + 12 + 170 + 12 - 3) / 35.0);
    EXPECT_DOUBLE_EQ(c.Y(5), (-3 + 120 + 17 + 12 - 3) / 35.0);
    EXPECT_DOUBLE_EQ(c.Y(6), 1.0);
    EXPECT_DOUBLE_EQ(c.YMax, c.Y(4));
    EXPECT_FALSE(c.Saved);

    TCurveB two = Make({{1, 1}, {2, 5}});
    two.Smooth5();
    EXPECT_EQ(two.Y(2), 5.0);
    EXPECT_TRUE(two.Saved);
}
