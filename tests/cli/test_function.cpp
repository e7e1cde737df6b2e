// function: a new curve from a formula of x.
#include "clirunner.h"

#include <gtest/gtest.h>

TEST(CliFunction, GridStepsAndSkippedPoints) {
    auto p = RunCurve({"function", "x^2", "--left", "-1", "--right", "1", "--steps", "3"});
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].x, -1.0);
    EXPECT_EQ(p[0].y, 1.0);
    EXPECT_EQ(p[1].y, 0.0);
    EXPECT_EQ(p[2].x, 1.0);
    // 1/x cannot be evaluated at 0: that point is skipped and the grid goes on past the right end
    p = RunCurve({"function", "1/x", "--left", "-1", "--right", "1", "--steps", "3"});
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[1].x, 1.0);
    EXPECT_EQ(p[2].x, 2.0);
    EXPECT_EQ(p[2].y, 0.5);
    // 100 steps by default; a formula starting with "-" is the formula
    p = RunCurve({"function", "-x", "--left", "0", "--right", "99"});
    ASSERT_EQ(p.size(), 100u);
    EXPECT_EQ(p[99].y, -99.0);
    // values of 1e10 or more are stored as 0; Right equal to Left becomes Left + 0.1
    p = RunCurve({"function", "x*1000000000000", "--left", "1", "--right", "1", "--steps", "3"});
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].y, 0.0);
    EXPECT_NEAR(p[2].x, 1.1, 1e-12);
}

TEST(CliFunction, MessagesAndLimits) {
    auto r = RunCli({"function", "", "--left", "0", "--right", "1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "graphmill-cli: function: Enter a function of x.\n");
    r = RunCli({"function", "2*-x", "--left", "0", "--right", "1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "graphmill-cli: function: The string you have entered is not a valid function of 'x'.\n");
    EXPECT_EQ(RunCli({"function", "y", "--left", "0", "--right", "1"}).status, 2);
    EXPECT_EQ(RunCli({"function", "x", "--left", "0", "--right", "1", "--steps", "2"}).status, 2);
    EXPECT_EQ(RunCli({"function", "x", "--left", "0", "--right", "1", "--steps", "67769"}).status, 2);
    TTempDir dir;
    const auto out = (dir / "max.dat").string();
    EXPECT_EQ(RunCli({"function", "x", "--left", "0", "--right", "1", "--steps", "67768", "-o", out}).status,
              0);
    EXPECT_EQ(Points(ReadFile(out)).size(), 67768u);
    EXPECT_EQ(RunCli({"function", "x", "--left", "0"}).status, 2);
    EXPECT_EQ(RunCli({"function", "x", "--left", "1", "--right", "0"}).status, 2);
    // a formula that cannot be evaluated from some x on ends in failure rather than running forever
    r = RunCli({"function", "1/(x-x)", "--left", "0", "--right", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "graphmill-cli: function failed\n");
    EXPECT_EQ(r.out, "");
}
