// derivative, integral, timesx, inverse, log and remove-range on curve files.
#include "clirunner.h"

#include <gtest/gtest.h>

TEST(CliCalculus, DerivativeOfAParabolaIsExactAtTheEnds) {
    TTempDir dir;
    const auto f = dir.Write("sq.dat", CurveText({{0, 0}, {1, 1}, {3, 9}, {4, 16}}));
    const auto p = RunCurve({"derivative", f});
    ASSERT_EQ(p.size(), 4u);
    const double expected[] = {0, 2, 6, 8};
    for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(p[i].y, expected[i], 1e-12) << i;
    // a curve sorted downwards has no later point with a larger x for its first point
    const auto down = dir.Write("down.dat", CurveText({{3, 1}, {2, 2}, {1, 3}}));
    auto r = RunCli({"derivative", down, "-o", (dir / "o.dat").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "graphmill-cli: derivative failed\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "o.dat"));
    EXPECT_EQ(RunCli({"derivative", "-"}, "0 1\n1 2\n").status, 1);
}

TEST(CliCalculus, IntegralReportsTheTotalOnStandardError) {
    TTempDir dir;
    const auto f = dir.Write("one.dat", CurveText({{0, 1}, {1, 1}, {2, 1}}));
    auto r = RunCli({"integral", f});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "Definite integral:  2\n");
    const auto p = Points(r.out);
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].y, 0.0);
    EXPECT_EQ(p[2].y, 2.0);
    // five significant digits in the report
    r = RunCli({"integral", "-"}, "0 1\n3.14159265 1\n");
    EXPECT_EQ(r.err, "Definite integral:  3.1416\n");
    r = RunCli({"integral", "-"}, "0 5\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "graphmill-cli: integral failed\n");
}

TEST(CliCalculus, DerivativeThenIntegralPipeline) {
    TTempDir dir;
    std::vector<TPoint> line;
    for (int i = 0; i <= 10; ++i) line.push_back({i * 0.5, 3.0 * i * 0.5 + 1.0});
    const auto f = dir.Write("line.dat", CurveText(line));
    const auto d = RunCli({"derivative", f});
    ASSERT_EQ(d.status, 0);
    const auto r = RunCli({"integral", "-"}, d.out);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "Definite integral:  15\n");
    const auto p = Points(r.out);
    ASSERT_EQ(p.size(), line.size());
    for (size_t i = 0; i < p.size(); ++i) EXPECT_NEAR(p[i].y, line[i].y - 1.0, 1e-12);
}

TEST(CliCalculus, PointwiseOperations) {
    TTempDir dir;
    const auto f = dir.Write("a.dat", CurveText({{2, 100}, {3, 1e-40}, {4, -5}, {5, 0}}));
    auto p = RunCurve({"log", f});
    ASSERT_EQ(p.size(), 4u);
    EXPECT_NEAR(p[0].y, 2.0, 1e-14);
    EXPECT_EQ(p[1].y, 1e-50);
    EXPECT_EQ(p[2].y, 1e-50);
    p = RunCurve({"inverse", f});
    EXPECT_EQ(p[0].y, 0.01);
    EXPECT_EQ(p[2].y, -0.2);
    EXPECT_EQ(p[3].y, 0.0);
    p = RunCurve({"timesx", f});
    EXPECT_EQ(p[0].y, 200.0);
    EXPECT_EQ(p[2].y, -20.0);
    // overflow of y * x is a fault: exit 3, nothing written
    const auto big = dir.Write("big.dat", CurveText({{1e300, 1e300}, {2, 2}}));
    const auto r = RunCli({"timesx", big});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("overflow"), std::string::npos);
}

TEST(CliCalculus, RemoveRangeRules) {
    TTempDir dir;
    const auto f = dir.Write("five.dat", CurveText({{1, 10}, {2, 20}, {3, 30}, {4, 40}, {5, 50}}));
    auto p = RunCurve({"remove-range", "1", "3", f});
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].x, 4.0);
    p = RunCurve({"remove-range", "2", "4", f});
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[1].y, 50.0);
    // Count - 1 or more apart: the window's refusal
    auto r = RunCli({"remove-range", "1", "5", f});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "graphmill-cli: remove-range: Invalid points\n");
    EXPECT_EQ(RunCli({"remove-range", "5", "1", f}).status, 1);
    // the second index below the first: the removal itself fails
    r = RunCli({"remove-range", "3", "2", f});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "graphmill-cli: remove-range failed\n");
    // indices that are no points of the curve
    r = RunCli({"remove-range", "0", "2", f});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("outside"), std::string::npos);
    EXPECT_EQ(RunCli({"remove-range", "2", "6", f}).status, 2);
    EXPECT_EQ(RunCli({"remove-range", "2", "x", f}).status, 2);
    EXPECT_EQ(RunCli({"remove-range", "2", f}).status, 2);
}
