// eval: one expression set over named variables.
#include "clirunner.h"

#include <gtest/gtest.h>

TEST(CliEval, FormulasShareVariablesAndResults) {
    auto r = RunCli({"eval", "--var", "x=2", "x^2", "EXPR(1)+1"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "4\n5\n");
    r = RunCli({"eval", "2+3 * 4", "2 * 3+4", "10-4-3", "10-4+3", "100/10/2", "5+-2", "1e3"});
    EXPECT_EQ(r.out, "14\n10\n3\n9\n5\n3\n1000\n");
    // variables in the order given; a formula starting with "-" is positional
    r = RunCli({"eval", "--var", "a=1", "--var", "b=-0.5", "-b", "a-b", "EXPR(b+2.5)"});
    EXPECT_EQ(r.out, "0.5\n1.5\n1.5\n");
    // full precision
    r = RunCli({"eval", "1/3"});
    EXPECT_EQ(r.out, "0.33333333333333331\n");
    // a variable named X is not x
    EXPECT_EQ(RunCli({"eval", "--var", "x=1", "X"}).status, 2);
}

TEST(CliEval, ParseAndEvaluationFailuresNameTheFormula) {
    auto r = RunCli({"eval", "1", "5 * -2"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "graphmill-cli: eval: parse error in formula 2\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(RunCli({"eval", "1e-3"}).err, "graphmill-cli: eval: parse error in formula 1\n");
    r = RunCli({"eval", "--var", "x=0", "1", "2", "1/x"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "graphmill-cli: eval: evaluation failed in formula 3\n");
    EXPECT_EQ(r.out, "");
    // a forward reference reads 0 in the one evaluation
    r = RunCli({"eval", "1/EXPR(2)", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "graphmill-cli: eval: evaluation failed in formula 1\n");
    // usage
    EXPECT_EQ(RunCli({"eval"}).status, 2);
    EXPECT_EQ(RunCli({"eval", "--var", "x", "x"}).status, 2);
    EXPECT_EQ(RunCli({"eval", "--var", "x=abc", "x"}).status, 2);
    std::vector<std::string> args{"eval"};
    for (int i = 0; i < 11; ++i) args.push_back("1");
    EXPECT_EQ(RunCli(args).status, 2);
    args = {"eval"};
    for (int i = 0; i < 11; ++i) args.insert(args.end(), {"--var", "v" + std::to_string(i) + "=1"});
    args.push_back("v1");
    EXPECT_EQ(RunCli(args).status, 2);
    args.erase(args.begin() + 1, args.begin() + 3);
    EXPECT_EQ(RunCli(args).out, "1\n");
}
