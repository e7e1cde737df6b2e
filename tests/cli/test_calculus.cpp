// derivative, integral, timesx, inverse, log, remove-range and function.
#include "clirunner.h"

#include <gtest/gtest.h>

// The numbers themselves are checked on the curve operations; here: dispatch, messages and exit statuses.
TEST(CliCalculus, DerivativeIntegralAndPointwise) {
    TTempDir dir;
    const auto f = dir.Write("a.dat", CurveText({{2, 100}, {4, -5}, {5, 1}}));
    EXPECT_EQ(RunCurve({"derivative", f})[2].y, 25.5);
    auto r = RunCli({"integral", f});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "Definite integral:  93\n");
    EXPECT_EQ(RunCli({"integral", "-"}, "0 1\n3.14159265 1\n").err, "Definite integral:  3.1416\n");
    EXPECT_EQ(RunCurve({"log", f})[1].y, 1e-50);
    EXPECT_EQ(RunCurve({"inverse", f})[1].y, -0.2);
    EXPECT_EQ(RunCurve({"timesx", f})[1].y, -20.0);
}

TEST(CliCalculus, RemoveRange) {
    TTempDir dir;
    const auto f = dir.Write("five.dat", CurveText({{1, 10}, {2, 20}, {3, 30}, {4, 40}, {5, 50}}));
    const auto p = RunCurve({"remove-range", "1", "3", f});
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].x, 4.0);
    // Count - 1 or more apart: the window's refusal
    const auto r = RunCli({"remove-range", "5", "1", f});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "graphmill-cli: remove-range: Invalid points\n");
}

TEST(CliCalculus, FunctionOfX) {
    auto p = RunCurve({"function", "x^2", "--left", "-1", "--right", "1", "--steps", "3"});
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].y, 1.0);
    EXPECT_EQ(p[1].y, 0.0);
    // 100 steps by default, a formula starting with "-", Right equal to Left becomes Left + 0.1
    EXPECT_EQ(RunCurve({"function", "-x", "--left", "0", "--right", "99"})[99].y, -99.0);
    EXPECT_NEAR(RunCurve({"function", "x", "--left", "1", "--right", "1", "--steps", "3"})[2].x, 1.1, 1e-12);
    auto r = RunCli({"function", "", "--left", "0", "--right", "1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "graphmill-cli: function: Enter a function of x.\n");
    r = RunCli({"function", "2*-x", "--left", "0", "--right", "1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "graphmill-cli: function: The string you have entered is not a valid function of 'x'.\n");
}
