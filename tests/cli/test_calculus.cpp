// derivative, integral, timesx, inverse, log, remove-range and function.
#include "clirunner.h"

#include <gtest/gtest.h>

// The numbers themselves are checked on the curve operations; here: dispatch, messages and exit statuses.
TEST(CliCalculus, DerivativeIntegralAndPointwise) {
    TTempDir dir;
    EXPECT_EQ(
        RunCurve({"derivative", dir.Write("sq.dat", CurveText({{0, 0}, {1, 1}, {3, 9}, {4, 16}}))})[3].y,
        8.0);
    EXPECT_EQ(RunCli({"derivative", dir.Write("down.dat", "3 1\n2 2\n1 3\n")}).status, 1);
    auto r = RunCli({"integral", dir.Write("one.dat", CurveText({{0, 1}, {1, 1}, {2, 1}}))});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "Definite integral:  2\n");
    EXPECT_EQ(Points(r.out)[2].y, 2.0);
    EXPECT_EQ(RunCli({"integral", "-"}, "0 1\n3.14159265 1\n").err, "Definite integral:  3.1416\n");
    r = RunCli({"integral", "-"}, "0 5\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "graphmill-cli: integral failed\n");

    const auto f = dir.Write("a.dat", CurveText({{2, 100}, {4, -5}}));
    EXPECT_EQ(RunCurve({"log", f})[1].y, 1e-50);
    EXPECT_EQ(RunCurve({"inverse", f})[1].y, -0.2);
    EXPECT_EQ(RunCurve({"timesx", f})[1].y, -20.0);
    EXPECT_EQ(RunCli({"timesx", dir.Write("big.dat", "1e300 1e300\n2 2\n")}).status, 3);
}

TEST(CliCalculus, RemoveRange) {
    TTempDir dir;
    const auto f = dir.Write("five.dat", CurveText({{1, 10}, {2, 20}, {3, 30}, {4, 40}, {5, 50}}));
    auto p = RunCurve({"remove-range", "1", "3", f});
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].x, 4.0);
    EXPECT_EQ(RunCurve({"remove-range", "2", "4", f}).size(), 2u);
    // Count - 1 or more apart: the window's refusal; the second index below the first: the removal fails
    auto r = RunCli({"remove-range", "5", "1", f});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "graphmill-cli: remove-range: Invalid points\n");
    r = RunCli({"remove-range", "3", "2", f});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "graphmill-cli: remove-range failed\n");
}

TEST(CliCalculus, FunctionOfX) {
    auto p = RunCurve({"function", "x^2", "--left", "-1", "--right", "1", "--steps", "3"});
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].y, 1.0);
    EXPECT_EQ(p[1].y, 0.0);
    // 1/x cannot be evaluated at 0: the point is skipped and the grid goes on past the right end
    p = RunCurve({"function", "1/x", "--left", "-1", "--right", "1", "--steps", "3"});
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[2].x, 2.0);
    EXPECT_EQ(p[2].y, 0.5);
    // 100 steps by default, a formula starting with "-", Right equal to Left becomes Left + 0.1
    EXPECT_EQ(RunCurve({"function", "-x", "--left", "0", "--right", "99"})[99].y, -99.0);
    p = RunCurve({"function", "x*1000000000000", "--left", "1", "--right", "1", "--steps", "3"});
    EXPECT_EQ(p[0].y, 0.0); // 1e10 or more is stored as 0
    EXPECT_NEAR(p[2].x, 1.1, 1e-12);
    auto r = RunCli({"function", "", "--left", "0", "--right", "1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "graphmill-cli: function: Enter a function of x.\n");
    r = RunCli({"function", "2*-x", "--left", "0", "--right", "1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "graphmill-cli: function: The string you have entered is not a valid function of 'x'.\n");
    // unevaluable from some x on: a failure rather than an endless run
    EXPECT_EQ(RunCli({"function", "1/(x-x)", "--left", "0", "--right", "1"}).status, 1);
}
