// eval: one expression set over named variables.
#include "clirunner.h"

#include <gtest/gtest.h>

TEST(CliEval, ResultsAndFailures) {
    auto r = RunCli({"eval", "--var", "x=2", "x^2", "EXPR(1)+1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "4\n5\n");
    EXPECT_EQ(RunCli({"eval", "1e3", "1/3"}).out, "1000\n0.33333333333333331\n"); // shortest exact form
    // variables in the order given; a formula starting with "-" is positional
    EXPECT_EQ(RunCli({"eval", "--var", "a=1", "--var", "b=-0.5", "-b", "a-b", "EXPR(b+2.5)"}).out,
              "0.5\n1.5\n1.5\n");
    r = RunCli({"eval", "1", "5 * -2"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "graphmill-cli: eval: parse error in formula 2\n");
    r = RunCli({"eval", "--var", "x=0", "1", "2", "1/x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "graphmill-cli: eval: evaluation failed in formula 3\n");
    EXPECT_EQ(r.out, "");
    // a forward reference reads 0 in the one evaluation
    EXPECT_EQ(RunCli({"eval", "1/EXPR(2)", "1"}).err,
              "graphmill-cli: eval: evaluation failed in formula 1\n");
}
