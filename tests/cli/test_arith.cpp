// Arithmetic between a curve and a constant, or a curve and a second curve.
#include "clirunner.h"

#include <gtest/gtest.h>

TEST(CliConstant, EachOperationMapsOntoOffsetOrScale) {
    TTempDir dir;
    const auto f = dir.Write("a.dat", CurveText({{1, 2}, {2, -4}}));
    auto p = RunCurve({"constant", "add", "3", f});
    EXPECT_EQ(p[0].y, 5.0);
    p = RunCurve({"constant", "subtract", "3", f});
    EXPECT_EQ(p[1].y, -7.0);
    p = RunCurve({"constant", "multiply", "3", f});
    EXPECT_EQ(p[1].y, -12.0);
    p = RunCurve({"constant", "divide", "-2", f});
    EXPECT_EQ(p[0].y, -1.0);
    EXPECT_EQ(p[1].y, 2.0);
    p = RunCurve({"constant", "shift-right", "0.5", f});
    EXPECT_EQ(p[0].x, 1.5);
    p = RunCurve({"constant", "shift-left", "0.5", f});
    EXPECT_EQ(p[1].x, 1.5);
    p = RunCurve({"constant", "stretch", "2", f});
    EXPECT_EQ(p[1].x, 4.0);
    EXPECT_EQ(p[1].y, -4.0);
    p = RunCurve({"constant", "shrink", "4", f});
    EXPECT_EQ(p[0].x, 0.25);
    // a negative stretch mirrors the axis and sorts again
    p = RunCurve({"constant", "stretch", "-1", f});
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].x, -2.0);
    EXPECT_EQ(p[0].y, -4.0);
}

TEST(CliConstant, RefusesTinyDivisorsAndBadArguments) {
    TTempDir dir;
    const auto f = dir.Write("a.dat", CurveText({{1, 2}, {2, 4}}));
    for (const char* op : {"divide", "shrink"})
        for (const char* c : {"0", "1e-10", "-1e-9"}) {
            const auto r = RunCli({"constant", op, c, f});
            EXPECT_EQ(r.status, 2) << op << " " << c;
            EXPECT_NE(r.err.find("1e-9"), std::string::npos);
            EXPECT_EQ(r.out, "");
        }
    // just above the limit is accepted; multiply by 0 is fine
    EXPECT_EQ(RunCli({"constant", "divide", "2e-9", f}).status, 0);
    EXPECT_EQ(RunCurve({"constant", "multiply", "0", f})[1].y, 0.0);
    auto r = RunCli({"constant", "power", "2", f});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("power"), std::string::npos);
    r = RunCli({"constant", "add", "two", f});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("'two' is not a number"), std::string::npos);
    EXPECT_EQ(RunCli({"constant", "add", "1"}).status, 2);
    EXPECT_EQ(RunCli({"constant", "add", "1", (dir / "none.dat").string()}).status, 2);
}

TEST(CliMath, ActiveCurveIsTheLeftOperand) {
    TTempDir dir;
    const auto a = dir.Write("a.dat", CurveText({{0, 6}, {1, 6}, {2, 6}, {3, 6}}));
    const auto b = dir.Write("b.dat", CurveText({{0, 2}, {1, 2}}));
    auto p = RunCurve({"math", "subtract", a, b});
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[0].y, 4.0);
    EXPECT_EQ(p[1].y, 4.0);
    EXPECT_EQ(p[2].y, 6.0); // outside the other curve: kept
    p = RunCurve({"math", "divide", a, b});
    EXPECT_EQ(p[0].y, 3.0);
    const auto neg = dir.Write("neg.dat", CurveText({{0, -2}, {3, -2}}));
    p = RunCurve({"math", "divide", a, neg});
    EXPECT_EQ(p[1].y, 6.0); // a negative divisor leaves the point
    p = RunCurve({"math", "multiply", a, neg});
    EXPECT_EQ(p[3].y, -12.0);
    p = RunCurve({"math", "add", b, a});
    EXPECT_EQ(p.size(), 2u);
    EXPECT_EQ(p[1].y, 8.0);
    // standard input as one operand, but not both
    p = RunCurve({"math", "add", "-", b}, CurveText({{0, 1}, {1, 1}}));
    EXPECT_EQ(p[1].y, 3.0);
    const auto r = RunCli({"math", "add", "-", "-"}, "1\n2\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("only once"), std::string::npos);
    EXPECT_EQ(RunCli({"math", "modulo", a, b}).status, 2);
    EXPECT_EQ(RunCli({"math", "add", a}).status, 2);
}

TEST(CliInterpolate, DefaultsFromTheCurveAndLimits) {
    TTempDir dir;
    const auto f = dir.Write("a.dat", CurveText({{0, 0}, {1, 1}, {3, 9}}));
    // default offset XMin and interval the smallest spacing; XMax itself is left out
    auto p = RunCurve({"interpolate", f});
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[2].x, 2.0);
    EXPECT_EQ(p[2].y, 5.0);
    p = RunCurve({"interpolate", "--offset", "0.25", "--interval", "1", f});
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].x, 0.25);
    EXPECT_EQ(p[2].x, 2.25);
    // limits: offset XMin..XMax, interval span/67767..span/3
    auto r = RunCli({"interpolate", "--interval", "1.01", f});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--interval"), std::string::npos);
    EXPECT_EQ(RunCli({"interpolate", "--interval", "4e-5", f}).status, 2);
    EXPECT_EQ(RunCli({"interpolate", "--interval", "5e-5", f, "-o", (dir / "fine.dat").string()}).status, 0);
    EXPECT_EQ(RunCli({"interpolate", "--offset", "-0.1", f}).status, 2);
    EXPECT_EQ(RunCli({"interpolate", "--offset", "3", "--interval", "1", f}).status, 0);
    EXPECT_EQ(RunCli({"interpolate", "--interval", "abc", f}).status, 2);
    // the default interval is read back from the field as shown: 5 significant digits
    const auto odd = dir.Write("odd.dat", CurveText({{0, 0}, {0.123456789, 1}, {1, 2}}));
    p = RunCurve({"interpolate", odd});
    ASSERT_GE(p.size(), 2u);
    EXPECT_EQ(p[1].x, 0.12346);
    // a curve the grid cannot be laid on: the program's message
    const auto one = dir.Write("one.dat", "5 5\n");
    r = RunCli({"interpolate", one});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "graphmill-cli: interpolate: Error performing interpolation operation.\n");
}

TEST(CliAverage, GridChoices) {
    TTempDir dir;
    const auto a = dir.Write("a.dat", CurveText({{0, 0}, {1, 1}, {2, 2}}));
    const auto b = dir.Write("b.dat", CurveText({{1, 10}, {2, 20}, {3, 30}}));
    auto p = RunCurve({"average", "--grid", "first-curve", a, b});
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].y, 0.0); // only a covers x = 0
    EXPECT_EQ(p[1].y, 5.5);
    p = RunCurve({"average", a, b}); // min-interval by default: 0..3 in steps of 1
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[3].y, 30.0);
    const auto c = dir.Write("c.dat", CurveText({{0, 0}, {2, 0}, {4, 0}}));
    const auto d = dir.Write("d.dat", CurveText({{1, 0}, {2, 0}}));
    EXPECT_EQ(RunCurve({"average", c, d}).size(), 5u);
    p = RunCurve(
        {"average", "--grid", "union", dir.Write("m1.dat", "0 1\n2 1\n"), dir.Write("m2.dat", "1 5\n")});
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[1].x, 1.0);
    EXPECT_EQ(p[1].y, 5.0);
}

TEST(CliAverage, RefusalsAndFaults) {
    TTempDir dir;
    const auto a = dir.Write("a.dat", CurveText({{0, 0}, {1, 1}}));
    auto r = RunCli({"average", a});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("at least two"), std::string::npos);
    EXPECT_EQ(RunCli({"average", "--grid", "median", a, a}).status, 2);
    std::vector<std::string> many{"average"};
    for (int i = 0; i < 101; ++i) many.push_back(a);
    EXPECT_EQ(RunCli(many).status, 2);
    many.pop_back();
    EXPECT_EQ(RunCli(many).status, 0);
    // two points with the same x make the spacing zero: an arithmetic fault, nothing written
    const auto z = dir.Write("z.dat", CurveText({{0, 0}, {0, 1}, {2, 2}}));
    const auto out = (dir / "o.dat").string();
    r = RunCli({"average", z, a, "-o", out});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("division by zero"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(out));
}
