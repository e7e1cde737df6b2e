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
