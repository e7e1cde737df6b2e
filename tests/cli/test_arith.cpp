// Arithmetic with a constant or a second curve, interpolation and averaging.
#include "clirunner.h"

#include <gtest/gtest.h>

TEST(CliArith, ConstantOperations) {
    TTempDir dir;
    const auto f = dir.Write("a.dat", CurveText({{1, 2}, {2, -4}}));
    const struct {
        const char* op;
        const char* c;
        TPoint second;
    } cases[] = {
        {"add", "3", {2, -1}},     {"subtract", "3", {2, -7}},        {"multiply", "3", {2, -12}},
        {"divide", "-2", {2, 2}},  {"shift-right", "0.5", {2.5, -4}}, {"shift-left", "0.5", {1.5, -4}},
        {"stretch", "2", {4, -4}}, {"shrink", "4", {0.5, -4}},        {"divide", "2e-12", {2, -2e12}}};
    for (const auto& c : cases) {
        const auto p = RunCurve({"constant", c.op, c.c, f});
        ASSERT_EQ(p.size(), 2u) << c.op;
        EXPECT_DOUBLE_EQ(p[1].x, c.second.x) << c.op;
        EXPECT_DOUBLE_EQ(p[1].y, c.second.y) << c.op;
    }
}

TEST(CliArith, CurveMathWithTheActiveCurveOnTheLeft) {
    TTempDir dir;
    const auto a = dir.Write("a.dat", CurveText({{0, 6}, {1, 6}, {2, 6}, {3, 6}}));
    const auto b = dir.Write("b.dat", CurveText({{0, 2}, {1, 2}}));
    const auto neg = dir.Write("neg.dat", CurveText({{0, -2}, {3, -2}}));
    EXPECT_EQ(RunCurve({"math", "subtract", a, b})[1].y, 4.0);
    EXPECT_EQ(RunCurve({"math", "divide", a, neg})[0].y, -3.0);
    EXPECT_EQ(RunCurve({"math", "multiply", a, neg})[3].y, -12.0);
    auto p = RunCurve({"math", "add", "-", a}, CurveText({{0, 1}, {1, 1}}));
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[1].y, 7.0);
}

TEST(CliArith, InterpolateDefaultsAndFailure) {
    TTempDir dir;
    const auto f = dir.Write("a.dat", CurveText({{0, 0}, {1, 1}, {3, 9}}));
    // defaults: offset XMin, interval the smallest spacing; XMax itself is left out
    auto p = RunCurve({"interpolate", f});
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[2].x, 2.0);
    EXPECT_EQ(p[2].y, 5.0);
    EXPECT_EQ(RunCurve({"interpolate", "--offset", "0.25", "--interval", "1", f})[2].x, 2.25);
    // the presets keep every digit, as the dialog keeps them though it shows 5: time stamps stay on the data
    p = RunCurve({"interpolate", dir.Write("odd.dat", CurveText({{0, 0}, {0.123456789, 1}, {1, 2}}))});
    EXPECT_EQ(p[1].x, 0.123456789);
    p = RunCurve(
        {"interpolate",
         dir.Write("stamps.dat",
                   CurveText({{1700001234.5, 0}, {1700001235.5, 1}, {1700001236.5, 2}, {1700001237.5, 3}}))});
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].x, 1700001234.5);
    EXPECT_EQ(p[2].x, 1700001236.5);
    EXPECT_EQ(p[2].y, 2.0);
    const auto r = RunCli({"interpolate", dir.Write("one.dat", "5 5\n")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "graphmill-cli: interpolate: Error performing interpolation operation.\n");
}

TEST(CliArith, AverageGridsAndFaults) {
    TTempDir dir;
    const auto a = dir.Write("a.dat", CurveText({{0, 0}, {1, 1}, {2, 2}}));
    const auto b = dir.Write("b.dat", CurveText({{1, 10}, {2, 20}, {3, 30}}));
    auto p = RunCurve({"average", "--grid", "first-curve", a, b});
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[1].y, 5.5);
    p = RunCurve({"average", a, b}); // min-interval: 0..3 in steps of 1
    ASSERT_EQ(p.size(), 4u);
    EXPECT_EQ(p[3].y, 30.0);
    p = RunCurve(
        {"average", "--grid", "union", dir.Write("m1.dat", "0 1\n2 1\n"), dir.Write("m2.dat", "1 5\n")});
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[1].y, 5.0);
    std::vector<std::string> many{"average"};
    for (int i = 0; i < 100; ++i) many.push_back(a);
    EXPECT_EQ(RunCli(many).status, 0);
    many.push_back(a);
    EXPECT_EQ(RunCli(many).status, 2);
    // a min-interval grid beyond the interpolation dialog's 67768 points is refused
    const auto fine = dir.Write("fine.dat", CurveText({{0, 0}, {1e-4, 0}, {10, 1}}));
    EXPECT_EQ(RunCli({"average", fine, a}).status, 2);
    EXPECT_EQ(RunCli({"average", "--grid", "first-curve", fine, a}).status, 0);
    // equal neighbouring x make the spacing zero: an arithmetic fault
    const auto r = RunCli({"average", dir.Write("z.dat", "0 0\n0 1\n2 2\n"), a});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "");
}
