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
