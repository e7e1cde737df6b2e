// Moving-polynomial smoothing, regression, spectral smoothing and the five-point filter.
#include "curves/faultguard.h"
#include "opscurves.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
TCurveB Noisy(int32_t n) { // uneven x, noisy y
    TCurveB c;
    for (int32_t i = 0; i < n; ++i)
        c.AddPoint(i + 0.3 * std::sin(1.7 * i), std::sin(0.2 * i) + 0.1 * std::sin(13.1 * i));
    return c;
}
} // namespace

TEST(OpsSpline, WholeCurveWindow) {
    // Exactly 13 points: every window is the whole curve, so every point lies on one fitted parabola.
    TCurveB t = Noisy(13), whole = Noisy(13);
    double a[3], se;
    ASSERT_TRUE(whole.PolyFit(2, a, se));
    whole.ApplyPoly(2, a);
    ASSERT_TRUE(t.SplineSmooth(13, 2));
    for (int32_t i = 1; i <= 13; ++i) EXPECT_NEAR(t.Y(i), whole.Y(i), 1e-12) << i;
}

TEST(OpsSpline, EachPointGetsItsOwnWindowFit) {
    // Uneven x, and even x with an even window, where every window meets ties.
    TCurveB even = Noisy(200);
    for (int32_t i = 1; i <= 200; ++i) even.SetX(i, i);
    for (auto [src, n] : {std::pair{Noisy(200), 9}, {even, 8}})
        for (int order : {1, 2, 3}) {
            TCurveB s = src;
            ASSERT_TRUE(s.SplineSmooth(n, order));
            for (int32_t i : {1, 2, 100, 199, 200}) {
                // The n points nearest in x, the right one on a tie, in the order they join the window: the
                // smoothed value is their fit's about the point, with the very same arithmetic.
                TCurveB w = Make({{src.X(i), src.Y(i)}});
                for (int32_t l = i - 1, r = i + 1; w.Count() < n;) {
                    const bool right = l < 1 || (r <= 200 && std::fabs(src.X(r) - src.X(i)) <=
                                                                 std::fabs(src.X(l) - src.X(i)));
                    const int32_t j = right ? r++ : l--;
                    w.AddPoint(src.X(j), src.Y(j));
                }
                double a[4], se;
                ASSERT_TRUE(w.PolyFit(order, a, se, src.X(i)));
                EXPECT_EQ(s.Y(i), a[0]) << n << " points, order " << order << ", point " << i;
            }
        }
}

TEST(OpsSpline, PolynomialsStayWhereverXLies) {
    // Points on a parabola stay on it, to rounding, with x at day numbers or Unix times (y spans 303).
    for (double x0 : {0.0, 5e4, 1.7e9})
        for (int order : {2, 3}) {
            TCurveB c;
            for (int k = 0; k < 200; ++k) c.AddPoint(x0 + k, 3 + 0.5 * k - 0.01 * k * k);
            const TCurveB in = c;
            ASSERT_TRUE(c.SplineSmooth(13, order));
            for (int32_t i = 1; i <= 200; ++i)
                EXPECT_NEAR(c.Y(i), in.Y(i), 1e-10) << x0 << " " << order << " " << i;
        }
}

TEST(OpsSpline, WindowsWithoutCurvatureTakeTheirFit) {
    // Stepped data: the five-point window is odd about its centre, so the fitted quadratic term is exactly
    // 0; every point still takes the local fit (here the line 1 + 0.6 (x - 2)).
    TCurveB c = Make({{0, 0}, {1, 0}, {2, 1}, {3, 2}, {4, 2}});
    ASSERT_TRUE(c.SplineSmooth(5, 2));
    const double want[] = {-0.2, 0.4, 1.0, 1.6, 2.2};
    for (int32_t i = 1; i <= 5; ++i) EXPECT_NEAR(c.Y(i), want[i - 1], 1e-12) << i;
    // Counts along a longer curve: windows with and without curvature alike are fitted.
    TCurveB counts;
    for (int i = 0; i < 40; ++i) counts.AddPoint(i, (i / 3) % 4);
    const TCurveB raw = counts;
    ASSERT_TRUE(counts.SplineSmooth(5, 2));
    int changed = 0;
    for (int32_t i = 1; i <= 40; ++i) changed += counts.Y(i) != raw.Y(i);
    EXPECT_GE(changed, 30);
}

TEST(OpsSpline, RefusalsAndSkippedWindows) {
    const TCurveB src = Noisy(20);
    TCurveB c = src;
    for (auto [n, order] : {std::pair{2, 0}, {21, 2}, {5, 5}}) EXPECT_FALSE(c.SplineSmooth(n, order));
    EXPECT_EQ(c.Y(3), src.Y(3));
    // A window of exactly order + 1 points interpolates; no standard error is formed, so nothing faults.
    EXPECT_EQ(RunGuarded([&]() -> const TCurveB& {
                  c.SplineSmooth(3, 2);
                  return c;
              }),
              TArithFault::None);
    for (int32_t i = 1; i <= 20; ++i) EXPECT_NEAR(c.Y(i), src.Y(i), 1e-9);
    // Windows with fewer different x than order + 1 are singular: their points are kept.
    for (int order : {1, 2, 3}) {
        TCurveB same = Make({{2, 1}, {2, 5}, {2, 2}, {0.3, 7}, {0.3, 4}, {0.3, 3}});
        ASSERT_TRUE(same.SplineSmooth(order == 1 ? 3 : 4, order));
        EXPECT_EQ(same.Y(2), 5.0) << order;
        EXPECT_EQ(same.Y(5), 4.0) << order;
    }
    TCurveB run; // x rises, stays at 0.8 over points 9 to 16, and rises again
    for (int i = 0; i < 24; ++i) run.AddPoint(0.1 * (i < 8 ? i : std::max(8, i - 7)), std::sin(i));
    ASSERT_TRUE(run.SplineSmooth(4, 2));
    EXPECT_EQ(run.Y(12), std::sin(11.0));
}

TEST(OpsRegression, CoefficientsAndFaults) {
    TCurveB c = Make({{0, 1}, {1, 3}, {2, 5}});
    std::vector<double> a;
    double se = -1;
    EXPECT_EQ(RunGuarded([&] { ASSERT_TRUE(c.PolyRegression(1, a, se)); }), TArithFault::None);
    ASSERT_EQ(a.size(), 2u);
    EXPECT_NEAR(a[0], 1.0, 1e-14);
    EXPECT_NEAR(a[1], 2.0, 1e-14);
    ExpectPoints(c, {{0, 1}, {1, 3}, {2, 5}});
    EXPECT_FALSE(c.Saved);
    // A perfect fit whose residual rounds below zero is no fault.
    TCurveB line;
    for (int i = 0; i < 50; ++i) line.AddPoint(0.1 * i, 0.3 + 0.7 * (0.1 * i));
    EXPECT_EQ(RunGuarded([&] { line.PolyRegression(1, a, se); }), TArithFault::None);

    // Too few points or singular equations: refused, unchanged. Exactly order + 1 points: a fault.
    TCurveB same = Make({{0.3, 1}, {0.3, 2}, {0.3, 3}, {0.3, 4}, {0.3, 5}});
    for (int order : {1, 5}) EXPECT_FALSE(same.PolyRegression(order, a, se)) << order;
    EXPECT_TRUE(same.Saved);
    EXPECT_EQ(same.Y(1), 1.0);
    TCurveB three = Make({{0, 1}, {1, 3}, {2, 2}});
    EXPECT_NE(RunGuarded([&] { three.PolyRegression(2, a, se); }), TArithFault::None);

    // Far from x = 0 compared to its spread (years, day numbers): points exactly on a polynomial stay on
    // it, and the coefficients are those of the powers of x.
    TCurveB years, days;
    for (int i = 0; i <= 30; ++i) {
        const double t = i - 15;
        years.AddPoint(1990 + i, 1 + 0.5 * t - 0.02 * t * t + 0.001 * t * t * t);
    }
    for (int i = 0; i < 100; ++i) days.AddPoint(1e5 + i, 3 + 0.5 * i - 0.01 * i * i);
    const TCurveB yearsIn = years, daysIn = days;
    ASSERT_TRUE(years.PolyRegression(3, a, se));
    for (int32_t i = 1; i <= 31; ++i) EXPECT_NEAR(years.Y(i), yearsIn.Y(i), 1e-9) << i;
    const double m = 2005, expected[4] = {1 - 0.5 * m - 0.02 * m * m - 0.001 * m * m * m,
                                          0.5 + 0.04 * m + 0.003 * m * m, -0.02 - 0.003 * m, 0.001};
    for (int k = 0; k <= 3; ++k)
        EXPECT_NEAR(a[static_cast<size_t>(k)], expected[k], 1e-9 * std::fabs(expected[k]));
    ASSERT_TRUE(days.PolyRegression(2, a, se));
    for (int32_t i = 1; i <= 100; ++i) EXPECT_NEAR(days.Y(i), daysIn.Y(i), 1e-9) << i;
}

TEST(OpsSpectral, ConstantStaysNoiseShrinks) {
    TCurveB flat;
    for (int i = 0; i <= 100; ++i) flat.AddPoint(i * 0.1, -3);
    flat.CalcRanges();
    ASSERT_TRUE(flat.SpectralSmooth(0.3));
    for (int32_t i = 5; i <= 96; ++i) EXPECT_NEAR(flat.Y(i), -3.0, 0.05) << i;
    EXPECT_NEAR(flat.X(11), 1.0, 1e-12);

    TCurveB wave; // a slow wave with fast noise comes out nearer to the wave
    for (int i = 0; i < 512; ++i) wave.AddPoint(i, 5 + std::sin(i / 40.0) + 0.5 * std::sin(2.9 * i));
    wave.CalcRanges();
    ASSERT_TRUE(wave.SpectralSmooth(0.1));
    for (int32_t i = 50; i <= 450; i += 10) EXPECT_NEAR(wave.Y(i), 5 + std::sin((i - 1) / 40.0), 0.15) << i;
    // The strongest smoothing the dialog offers (width 1e-4) keeps the zero frequency whole: the mean.
    TCurveB level;
    for (int i = 0; i < 200; ++i) level.AddPoint(i * 0.1, 5 + 0.3 * std::sin(i * 0.05));
    level.CalcRanges();
    ASSERT_TRUE(level.SpectralSmooth(1e-4));
    EXPECT_NEAR(level.YMin, 5.0556, 0.001);
    EXPECT_LT(level.YMax - level.YMin, 1e-6);
    // Without a spectrum (a repeated x) nothing is filtered.
    TCurveB dup = Make({{0, 1}, {1, 2}, {1, 3}, {2, 4}});
    EXPECT_FALSE(dup.SpectralSmooth(0.3));
    EXPECT_TRUE(dup.Saved);
}

TEST(OpsSmooth, GaussianShapeOfTheSpectralFilter) {
    TCurveB g;
    const double p[3] = {2, 1, 0.5}, narrow[3] = {1, 0, 1e-3};
    ASSERT_TRUE(g.CreateShape(p, 3, -1, 5, TCurveB::ShapeGaussian));
    const double e2 = 2 * std::exp(-2.0), e8 = 2 * std::exp(-8.0);
    ExpectPoints(g, {{-1, e8}, {0, e2}, {1, 2}, {2, e2}, {3, e8}}, 1e-15);
    ASSERT_TRUE(g.CreateShape(narrow, 1, -1, 3, TCurveB::ShapeGaussian));
    EXPECT_EQ(g.Y(1), 0.0); // exponent far below -2000
    EXPECT_FALSE(g.CreateShape(p, 1, 0, 10, 2));
}
