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

// Usage and input errors of every command: exit 2, nothing on standard output, and a message that names the
// option or value refused (a refusal for another reason does not pass). %F is a curve of five points
// (x 1 to 5); @ stands for the test's folder.
TEST(CliGeneral, UsageErrorsAndLimits) {
    TTempDir dir;
    const auto five = dir.Write("five.dat", "1 10\n2 20\n3 30\n4 40\n5 50\n");
    const std::pair<const char*, const char*> cases[] = {
        {"constant power 2 %F", "unknown operation 'power'"},
        {"constant add two %F", "'two' is not a number"},
        {"constant divide -0 %F", "divide by -0 refused: its reciprocal is not a finite number"},
        {"constant shrink 0 %F", "shrink by 0 refused"},
        {"constant divide 1e-310 %F", "divide by 1e-310 refused"},
        {"constant shrink -5e-309 %F", "shrink by -5e-309 refused"},
        {"constant add 1 -o", "option -o needs a value"},
        {"constant add 1 %F -o a -o b", "option -o given twice"},
        {"remove-range 0 2 %F", "point index 0 is outside the curve (1 to 5)"},
        {"remove-range 2 6 %F", "point index 6 is outside the curve (1 to 5)"},
        {"remove-range 2 x %F", "'x' is not a point index"},
        {"function x --left 0", "option --right is required"},
        {"function x --right 0", "option --left is required"},
        {"function x --left 1 --right 0", "--right 0 is below --left 1"},
        {"function x --left 0 --right 1 --steps 2", "--steps: 2 is out of range (3 to 67768)"},
        {"function x --left 0 --right 1 --steps 67769", "--steps: 67769 is out of range (3 to 67768)"},
        {"interpolate --interval 1.34 %F", "--interval: 1.34 is out of range (5.90258e-05 to 1.33333)"},
        {"interpolate --interval 5e-5 %F", "--interval: 5e-5 is out of range"},
        {"interpolate --offset 0.9 %F", "--offset: 0.9 is out of range (1 to 5)"},
        {"interpolate --offset 5.1 %F", "--offset: 5.1 is out of range (1 to 5)"},
        {"math modulo %F %F", "unknown operation 'modulo'"},
        {"average %F", "at least two curves are needed"},
        {"average --grid median %F %F", "--grid: 'median' is not one of min-interval, first-curve, union"},
        {"smooth %F", "unknown method '"},
        {"smooth spline --stiffness 1001 %F", "--stiffness: 1001 is out of range (0 to 1000)"},
        {"smooth spline --stiffness -1 %F", "--stiffness: -1 is out of range (0 to 1000)"},
        {"smooth spline --order 9 %F", "--order: 9 is out of range (0 to 8)"},
        {"smooth spline --order -1 %F", "--order: -1 is out of range (0 to 8)"},
        {"smooth spectral --how-much 10001 %F", "--how-much: 10001 is out of range (0 to 10000)"},
        {"smooth spectral --how-much -0.1 %F", "--how-much: -0.1 is out of range (0 to 10000)"},
        {"smooth regression --order 9 %F", "--order: 9 is out of range (0 to 8)"},
        {"smooth regression --order -1 %F", "--order: -1 is out of range (0 to 8)"},
        {"smooth regression --order 1.5 %F", "--order: '1.5' is not a whole number"},
        {"fft --output phase %F", "--output: 'phase' is not one of real, imaginary, magnitude"},
        {"fft --inverse=1 %F", "option --inverse takes no value"},
        {"fft --imaginary @missing.dat %F", "missing.dat"},
        {"eval", "missing arguments (graphmill-cli help eval)"},
        {"eval --var x x", "--var 'x': NAME=VALUE expected"},
        {"eval --var x=abc x", "--var 'x=abc': NAME=VALUE expected"},
        {"eval --var x=1 --var x=2 x", "--var 'x=2': variable x is given twice"},
        {"eval 1 2 3 4 5 6 7 8 9 10 11", "unexpected argument '11'"},
        {"library frob @lib.dat", "unknown action 'frob'"},
        {"library list @missing.dat", "missing.dat: No such file"},
        {"fit %F", "no model: give at least one --term"},
        {"fit --term spline %F", "--term 'spline': expected polynomial[:ORDER]"},
        {"fit --term polynomial:9 %F", "--term polynomial:9: the polynomial order must be 0 to 8"},
        {"fit --term polynomial:-1 %F", "--term polynomial:-1: the polynomial order must be 0 to 8"},
        {"fit --term gaussian --set 2.1=3 %F", "--set '2.1=3': the model has no term 2"},
        {"fit --term gaussian --set 0.1=3 %F", "--set '0.1=3': the model has no term 0"},
        {"fit --term gaussian --lock 1.4 %F", "--lock '1.4': term 1 has no parameter 4"},
        {"fit --term gaussian --lock 1.0 %F", "--lock '1.0': term 1 has no parameter 0"},
        {"fit --term polynomial:0 --term gaussian --lock 1.2 %F", "--lock '1.2': term 1 has no parameter 2"},
        {"fit --term gaussian --converge relative --converge tolerance %F", "option --converge given twice"},
        {"fit --term gaussian --set 1.1 %F", "--set '1.1': T.K=VALUE expected"},
        {"fit --term gaussian --set 1.1=x %F", "--set '1.1=x': 'x' is not a number"},
        {"fit --term gaussian --min 1.1=2e38 %F",
         "--min '1.1=2e38': bounds lie within about -1.7e38 to 1.7e38"},
        {"fit --term gaussian --max 1.1=-1.71e38 %F", "--max '1.1=-1.71e38': bounds lie within"},
        {"fit --term gaussian --min 1.1=3 --max 1.1=2 %F", "parameter 1.1: its min lies above its max"},
        {"fit --term gaussian --max-iterations 10001 %F",
         "--max-iterations: 10001 is out of range (0 to 10000)"},
        {"fit --term gaussian --max-iterations -1 %F", "--max-iterations: -1 is out of range (0 to 10000)"},
        {"fit --term gaussian --generate-term 1 %F", "--generate-term needs -o PATH"},
        {"fit --term gaussian --generate-term 2 %F -o @g.dat", "--generate-term: 2 is out of range (1 to 1)"},
        {"fit --term gaussian --ftol 1e-9 %F", "--ftol and --xtol belong to --converge relative"},
        {"fit --term gaussian --xtol 1e-9 %F", "--ftol and --xtol belong to --converge relative"},
        {"fit --term gaussian --converge tolerance --xtol 1e-9 %F", "belong to --converge relative"},
        {"fit --term gaussian --converge relative --xtol -1 %F", "--xtol: -1 is out of range"},
        {"fit --term gaussian --converge relative --ftol -1 %F", "--ftol: -1 is out of range"},
        {"fit --term gaussian --converge absolute %F",
         "--converge: 'absolute' is not one of tolerance, relative"},
        {"fit --term polynomial --range 0 5 %F", "--range 0 5: point indices FIRST <= LAST within 1 to 5"},
        {"fit --term polynomial --range 2 6 %F", "--range 2 6: point indices"},
        {"fit --term polynomial --range 4 3 %F", "--range 4 3: point indices"},
        {"fit --term user:line %F", "--term user:line needs --library LIBFILE"},
        {"fit --term tabulated:@missing.dat %F", "The file you have chosen is not a valid data file."},
        {"fit --term gaussian --residuals - --model-at-points - %F",
         "only one curve can go to standard output"}};
    const std::string folder = dir.Path().string() + "/";
    for (const auto& [line, mention] : cases) {
        auto args = Words(line);
        for (auto& a : args) {
            if (a == "%F") a = five;
            if (const auto at = a.find('@'); at != std::string::npos) a.replace(at, 1, folder);
        }
        const auto r = RunCli(args);
        EXPECT_EQ(r.status, 2) << line << "\n" << r.err;
        EXPECT_EQ(r.out, "") << line;
        EXPECT_NE(r.err.find(mention), std::string::npos) << line << "\n" << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "lib.dat"));
    EXPECT_FALSE(std::filesystem::exists(dir / "g.dat"));
}

// The ends of the same limits are accepted: whatever the command then does, it is no usage error.
TEST(CliGeneral, LimitsAcceptTheirEnds) {
    TTempDir dir;
    const auto five = dir.Write("five.dat", "1 10\n2 20\n3 30\n4 40\n5 50\n");
    const char* const lines[] = {
        "constant divide 5.6e-309 %F",
        "remove-range 1 2 %F",
        "remove-range 5 4 %F",
        "function x --left 0 --right 1 --steps 3",
        "function x --left 0 --right 1 --steps 67768",
        "function x --left 1 --right 1",
        "interpolate --interval 1.3333 --offset 1 %F",
        "interpolate --interval 6e-5 --offset 5 %F",
        "smooth spline --stiffness 0 --order 0 %F",
        "smooth spline --stiffness 1000 --order 8 %F",
        "smooth spectral --how-much 0 %F",
        "smooth spectral --how-much 10000 %F",
        "smooth regression --order 0 %F",
        "smooth regression --order 8 %F",
        "eval --var x=1 1 2 3 4 5 6 7 8 9 10",
        "fit --term polynomial:0 --term polynomial:8 --max-iterations 0 %F",
        "fit --term gaussian --min 1.1=-1.7e38 --max 1.1=1.7e38 --max-iterations 10000 %F",
        "fit --term gaussian --converge relative --xtol 0 --ftol 0 --max-iterations 1 %F",
        "fit --term polynomial --range 1 5 --set 1.1=1 --lock 1.2 %F"};
    for (const char* line : lines) {
        auto args = Words(line);
        for (auto& a : args)
            if (a == "%F") a = five;
        const auto r = RunCli(args);
        EXPECT_NE(r.status, 2) << line << "\n" << r.err;
    }
}
