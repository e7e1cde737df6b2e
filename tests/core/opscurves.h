// Small and sampled curves for the operation and fit tests.
#pragma once

#include "curves/curvesb.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <random>

// A curve of the given points with its ranges, marked as saved so that tests can see MarkModified.
inline TCurveB Make(std::initializer_list<TXYPoint> pts) {
    TCurveB c;
    for (const auto& p : pts) c.AddPoint(p.x, p.y);
    c.CalcRanges();
    c.Saved = true;
    return c;
}

// n points of f at even steps over x0..x1, with normal noise of the given deviation when it is above 0.
inline TCurveB Sampled(double x0, double x1, int n, double (*f)(double), double noise = 0.0,
                       unsigned seed = 1) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> gauss(0.0, noise > 0 ? noise : 1.0);
    TCurveB c;
    for (int i = 0; i < n; ++i) {
        const double x = x0 + (x1 - x0) * i / (n - 1);
        c.AddPoint(x, f(x) + (noise > 0 ? gauss(rng) : 0.0));
    }
    c.CalcRanges();
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
