// The rules every command shares: help, version, unknown commands, input and output of curves.
#include "clirunner.h"

#include <gtest/gtest.h>

TEST(CliGeneral, VersionHelpAndUnknownCommand) {
    const auto v = RunCli({"--version"});
    EXPECT_EQ(v.status, 0);
    EXPECT_EQ(v.out.rfind("graphmill-cli ", 0), 0u) << v.out;
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
    EXPECT_EQ(r.out, "count 3\nxrange 0.5 2\nyrange -3 7\ncolumns 2\nseparator whitespace, decimal point\n");
    const auto s = RunCli({"info", "-"}, "4\n9\n");
    EXPECT_EQ(s.status, 0);
    EXPECT_EQ(s.out, "count 2\nxrange 1 2\nyrange 4 9\ncolumns 1\nseparator whitespace, decimal point\n");
}

TEST(CliGeneral, BadInputNamesTheFile) {
    TTempDir dir;
    const auto missing = (dir / "missing.dat").string();
    auto r = RunCli({"info", missing});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(missing), std::string::npos);
    EXPECT_NE(r.err.find("No such file"), std::string::npos);
    r = RunCli({"info", dir.Write("words.dat", "no numbers here\n")});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("no points"), std::string::npos);
    r = RunCli({"info", "a", "b"});
    EXPECT_EQ(r.status, 2);
    r = RunCli({"info", "--bogus", "a"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--bogus"), std::string::npos);
}

TEST(CliGeneral, OptionsOutputAndPipelines) {
    TTempDir dir;
    const auto f = dir.Write("a.dat", "0 1\n1 2\n");
    const auto out = (dir / "out.dat").string();
    dir.Write("out.dat", "old\n");
    // -o after the positionals, a negative number as a positional; the replaced file is kept as .bak
    auto r = RunCli({"constant", "add", "-2.5", f, "-o", out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(ReadFile(dir / "out.bak"), "old\n");
    EXPECT_EQ(Points(ReadFile(out))[1].y, -0.5);
    // standard output in the file form; -o - is standard output too
    r = RunCli({"constant", "multiply", "1", f, "-o", "-"});
    EXPECT_EQ(r.out, " 0.00000000000000E+0000  1.00000000000000E+0000\r\n"
                     " 1.00000000000000E+0000  2.00000000000000E+0000\r\n");
    // "--" ends the options; one command's output is the next one's input
    r = RunCli({"info", "-"}, RunCli({"constant", "--", "shift-right", "10", "-"}, "4\n5\n").out);
    EXPECT_EQ(r.out, "count 2\nxrange 11 12\nyrange 4 5\ncolumns 2\nseparator whitespace, decimal point\n");
    EXPECT_EQ(RunCli({"constant", "--help"}).out, RunCli({"help", "constant"}).out);
}

TEST(CliGeneral, FailuresWriteNothing) {
    TTempDir dir;
    const auto f = dir.Write("a.dat", "0 1e300\n1 2\n");
    const auto out = (dir / "o.dat").string();
    // an arithmetic fault: exit 3 with the fault's name
    auto r = RunCli({"constant", "multiply", "1e300", f, "-o", out});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err, "graphmill-cli: constant: Floating point overflow\n");
    // an operation that reports failure: exit 1
    r = RunCli({"derivative", f, "-o", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("graphmill-cli: derivative: derivative needs"), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(out));
    // a parameter name with a space is refused as typed, not joined into "ab"
    r = RunCli({"library", "define", (dir / "lib.dat").string(), "--name", "f", "--function", "a*x",
                "--param", "a b=x"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(": One or more variable names are invalid."), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "lib.dat"));
    // standard input is read once
    r = RunCli({"math", "add", "-", "-"}, "1\n2\n");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("only once"), std::string::npos);
}

// Usage and input errors of every command: exit 2, nothing on standard output. %F is a curve of five
// points, %L a straight line of twenty.
TEST(CliGeneral, UsageErrorsAndLimits) {
    TTempDir dir;
    const auto five = dir.Write("five.dat", "1 10\n2 20\n3 30\n4 40\n5 50\n");
    const char* const cases[] = {"constant power 2 %F",
                                 "constant add two %F",
                                 "constant divide -0 %F",
                                 "constant shrink 0 %F",
                                 "constant add 1 -o",
                                 "constant add 1 %F -o a -o b",
                                 "remove-range 0 2 %F",
                                 "remove-range 2 6 %F",
                                 "remove-range 2 x %F",
                                 "function x --left 0",
                                 "function x --left 1 --right 0",
                                 "function x --left 0 --right 1 --steps 2",
                                 "function x --left 0 --right 1 --steps 67769",
                                 "interpolate --interval 1.34 %F",
                                 "interpolate --interval 5e-5 %F",
                                 "interpolate --offset 0.9 %F",
                                 "interpolate --offset 5.1 %F",
                                 "math modulo %F %F",
                                 "average %F",
                                 "average --grid median %F %F",
                                 "smooth %F",
                                 "smooth spline --stiffness 1001 %F",
                                 "smooth spline --stiffness -1 %F",
                                 "smooth spline --order 9 %F",
                                 "smooth spectral --how-much 10001 %F",
                                 "smooth spectral --how-much -0.1 %F",
                                 "smooth regression --order 9 %F",
                                 "smooth regression --order 1.5 %F",
                                 "fft --output phase %F",
                                 "fft --inverse=1 %F",
                                 "fft --imaginary missing.dat %F",
                                 "eval",
                                 "eval --var x x",
                                 "eval --var x=abc x",
                                 "eval --var x=1 --var x=2 x",
                                 "eval 1 2 3 4 5 6 7 8 9 10 11",
                                 "library frob lib.dat",
                                 "library list missing.dat",
                                 "fit %F",
                                 "fit --term voigt %F",
                                 "fit --term polynomial:9 %F",
                                 "fit --term gaussian --set 2.1=3 %F",
                                 "fit --term gaussian --lock 1.4 %F",
                                 "fit --term gaussian --min 1.1=2e12 %F",
                                 "fit --term gaussian --min 1.1=3 --max 1.1=2 %F",
                                 "fit --term gaussian --max-iterations 10001 %F",
                                 "fit --term gaussian --generate-term 1 %F",
                                 "fit --term gaussian --ftol 1e-9 %F",
                                 "fit --term gaussian --converge relative --xtol -1 %F",
                                 "fit --term gaussian --converge absolute %F",
                                 "fit --term polynomial --range 0 5 %F",
                                 "fit --term polynomial --range 2 6 %F",
                                 "fit --term user:line %F",
                                 "fit --term tabulated:missing.dat %F"};
    for (const char* line : cases) {
        auto args = Words(line);
        for (auto& a : args)
            if (a == "%F")
                a = five;
            else if (a.find(".dat") != std::string::npos)
                a = (dir / a).string();
        const auto r = RunCli(args);
        std::string shown;
        for (const auto& a : args) shown += " " + a;
        EXPECT_EQ(r.status, 2) << shown << "\n" << r.err;
        EXPECT_EQ(r.out, "") << shown;
        EXPECT_NE(r.err, "") << shown;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "lib.dat"));
}
