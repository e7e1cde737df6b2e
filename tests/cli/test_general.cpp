// The rules every command shares: help, version, unknown commands, input and output of curves.
#include "clirunner.h"

#include <gtest/gtest.h>

TEST(CliGeneral, VersionHelpAndUnknownCommand) {
    const auto v = RunCli({"--version"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out, "graphmill-cli 1.1\n");
    const auto h = RunCli({"--help"});
    EXPECT_EQ(h.status, 0);
    EXPECT_NE(h.out.find("info"), std::string::npos);
    const auto hi = RunCli({"help", "info"});
    EXPECT_EQ(hi.status, 0);
    EXPECT_NE(hi.out.find("Usage: graphmill-cli info FILE"), std::string::npos);
    const auto u = RunCli({"frobnicate"});
    EXPECT_EQ(u.status, 2);
    EXPECT_NE(u.err.find("frobnicate"), std::string::npos);
    EXPECT_EQ(RunCli({}).status, 2);
}

TEST(CliGeneral, InfoReadsFilesAndStandardInput) {
    TTempDir dir;
    const auto f = dir.Write("a.dat", "header\nDATA\n1 5\n2 -3\n0.5 7\n");
    const auto r = RunCli({"info", f});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "count 3\nxrange 0.5 2\nyrange -3 7\n");
    const auto s = RunCli({"info", "-"}, "4\n9\n");
    EXPECT_EQ(s.status, 0);
    EXPECT_EQ(s.out, "count 2\nxrange 1 2\nyrange 4 9\n");
}

TEST(CliGeneral, BadInputNamesTheFile) {
    TTempDir dir;
    const auto missing = (dir / "missing.dat").string();
    auto r = RunCli({"info", missing});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(missing), std::string::npos);
    EXPECT_NE(r.err.find("No such file"), std::string::npos);
    r = RunCli({"info", dir.Path().string()});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("is a directory"), std::string::npos);
    r = RunCli({"info", dir.Write("words.dat", "no numbers here\n")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("no points"), std::string::npos);
    r = RunCli({"info", "a", "b"});
    EXPECT_EQ(r.status, 2);
    r = RunCli({"info", "--bogus", "a"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--bogus"), std::string::npos);
}

TEST(CliGeneral, OptionsStandAnywhereAndDashesArePositional) {
    TTempDir dir;
    const auto f = dir.Write("a.dat", "0 1\n1 2\n");
    const auto out = (dir / "out.dat").string();
    // -o after the positionals, a negative constant taken as a positional
    auto r = RunCli({"constant", "add", "-2.5", f, "-o", out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    auto p = Points(ReadFile(out));
    ASSERT_EQ(p.size(), 2u);
    EXPECT_DOUBLE_EQ(p[1].y, -0.5);
    // "--" ends the options: a positional that looks like an option
    r = RunCli({"constant", "-o", out, "--", "add", "-1", f});
    EXPECT_EQ(r.status, 0) << r.err;
    r = RunCli({"constant", "--", "add", "1", "-o"});
    EXPECT_EQ(r.status, 2);
    // --opt=value form, a value missing, an option given twice
    r = RunCli({"constant", "add", "1", f, "-o"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("-o needs a value"), std::string::npos);
    r = RunCli({"constant", "add", "1", f, "-o", out, "-o", out});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("twice"), std::string::npos);
    // -o - is standard output
    r = RunCli({"constant", "add", "1", f, "-o", "-"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Points(r.out).size(), 2u);
}

TEST(CliGeneral, CurveOutputFormAndSaveWithBackup) {
    TTempDir dir;
    const auto f = dir.Write("a.dat", "0 1\n1 2\n");
    auto r = RunCli({"constant", "multiply", "1", f});
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.out, " 0.00000000000000E+0000  1.00000000000000E+0000\r\n"
                     " 1.00000000000000E+0000  2.00000000000000E+0000\r\n");
    const auto out = (dir / "res.dat").string();
    dir.Write("res.dat", "old\n");
    r = RunCli({"constant", "multiply", "2", f, "-o", out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir / "res.bak"), "old\n");
    EXPECT_EQ(Points(ReadFile(out)).back().y, 4.0);
    // a result that cannot be saved: usage error naming the file, nothing written
    const auto bad = (dir / "nodir" / "x.dat").string();
    r = RunCli({"constant", "multiply", "2", f, "-o", bad});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(bad), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(bad));
}

TEST(CliGeneral, StandardInputPipelinesAndCommandHelp) {
    auto r = RunCli({"constant", "add", "1", "-"}, "3\n4\n");
    ASSERT_EQ(r.status, 0);
    const auto p = Points(r.out);
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].x, 1.0);
    EXPECT_EQ(p[0].y, 4.0);
    // the output of one command is the input of the next
    r = RunCli({"info", "-"}, RunCli({"constant", "shift-right", "10", "-"}, r.out).out);
    EXPECT_EQ(r.out, "count 2\nxrange 11 12\nyrange 4 5\n");
    r = RunCli({"constant", "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, RunCli({"help", "constant"}).out);
    EXPECT_NE(r.out.find("Usage: graphmill-cli constant"), std::string::npos);
}

TEST(CliGeneral, ArithmeticFaultExitsThreeAndWritesNothing) {
    TTempDir dir;
    const auto f = dir.Write("a.dat", "0 1e300\n1 2\n");
    const auto out = (dir / "o.dat").string();
    const auto r = RunCli({"constant", "multiply", "1e300", f, "-o", out});
    EXPECT_EQ(r.status, 3);
    EXPECT_NE(r.err.find("Floating point overflow"), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(out));
    EXPECT_EQ(RunCli({"constant", "multiply", "1e300", f}).out, "");
}
