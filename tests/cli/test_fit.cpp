// fit and library: the fit engine and the user function library from the shell.
#include "clirunner.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string PeakText() {
    std::vector<TPoint> p;
    for (int i = 0; i <= 40; ++i)
        p.push_back({i * 0.25, 3 * std::exp(-0.5 * std::pow((i * 0.25 - 5) / 1.2, 2)) + 0.5});
    return CurveText(p);
}

std::string LineText() {
    std::vector<TPoint> p;
    for (int i = 0; i < 20; ++i) p.push_back({i * 0.5, i + 1 + (i % 2 ? 0.01 : -0.01)});
    return CurveText(p);
}

// Adds the function "line", a*x + b, to the library file.
int DefineLine(const std::string& lib) {
    return RunCli({"library", "define", lib, "--name", "line", "--function", "a * x + b", "--param", "a=x",
                   "--param", "b=1,0.5,-10,10,offset"})
        .status;
}

} // namespace

TEST(CliFit, GaussianWithBackgroundAndGeneratedCurve) {
    TTempDir dir;
    const auto f = dir.Write("peak.dat", PeakText());
    const auto out = (dir / "model.dat").string();
    auto r = RunCli({"fit", "--term", "gaussian", "--term", "polynomial:0", f, "-o", out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, " itterations performed; tolerance satisfied.\n \nChiSquare:    0.000000\n"));
    EXPECT_TRUE(Has(r.out, "#0 Gaussian\n    parameter #1 (amp   )  3.0000 ±   0.0000\n"));
    EXPECT_TRUE(Has(r.out, "#1 Polynomial\n    parameter #1 (offset)  0.5000 ±"));
    // the Generate curve has the curve's points; --generate-term gives one term alone
    auto p = Points(ReadFile(out));
    ASSERT_EQ(p.size(), 41u);
    EXPECT_NEAR(p[20].y, 3.5, 1e-6);
    r = RunCli({"fit", "--term", "gaussian", "--term", "polynomial:0", "--generate-term", "2", f, "-o", out});
    ASSERT_EQ(r.status, 0);
    EXPECT_NEAR(Points(ReadFile(out))[20].y, 0.5, 1e-6);
}

TEST(CliFit, BoundsSetLockAndRange) {
    TTempDir dir;
    const auto f = dir.Write("line.dat", LineText());
    // a lock keeps the set value and reports sigma 0; a set value beyond a bound is clamped
    EXPECT_TRUE(Has(RunCli({"fit", "--term", "polynomial", "--set", "1.1=0.4", "--lock", "1.1", f}).out,
                    "(offset)  0.4000 ±   0.0000"));
    EXPECT_TRUE(Has(
        RunCli({"fit", "--term", "polynomial", "--max", "1.1=0.5", "--set", "1.1=9", "--lock", "1.1", f}).out,
        "(offset)  0.5000 ±   0.0000"));
    // a bound stops the parameter exactly there
    EXPECT_TRUE(Has(RunCli({"fit", "--term", "polynomial", "--min", "1.1=5", "--max", "1.1=6", f}).out,
                    "(offset)  5.0000"));
    // no iterations: finished at the first step; --no-guess starts from the defaults instead
    const auto r = RunCli({"fit", "--term", "exponential", "--max-iterations", "0", f});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Has(r.out, "Maximum number of itterations exceeded; tolerance not satisfied.\n"));
    EXPECT_NE(r.out, RunCli({"fit", "--term", "exponential", "--no-guess", "--max-iterations", "0", f}).out);
    // four points cannot carry four parameters: the fit does not start
    const auto few = RunCli({"fit", "--term", "polynomial:3", "--range", "1", "4", f});
    EXPECT_EQ(few.status, 1);
    EXPECT_EQ(few.out, "");
    EXPECT_EQ(RunCli({"fit", "--term", "polynomial", "--range", "1", "3", f}).status, 1);
    EXPECT_EQ(RunCli({"fit", "--term", "polynomial", "--range", "1", "5", f}).status, 0);
}

TEST(CliFit, TabulatedAndUserTerms) {
    TTempDir dir;
    const auto f = dir.Write("line.dat", LineText());
    EXPECT_TRUE(Has(RunCli({"fit", "--term", "tabulated:" + f, "--no-guess", f}).out,
                    "#0 Tabulated\n    parameter #1 (coef)  1.0000 ±   0.0000\n"));
    // a tabulated curve without x span is its first point's value at its one x and 0 elsewhere: no fault
    const auto flat = dir.Write("flat.dat", "1.5 1\n1.5 2\n");
    const auto step = RunCli({"fit", "--term", "tabulated:" + flat, f});
    EXPECT_EQ(step.status, 0) << step.err;
    EXPECT_TRUE(Has(step.out, "#0 Tabulated\n"));
    const auto lib = (dir / "lib.dat").string();
    ASSERT_EQ(DefineLine(lib), 0);
    const auto r = RunCli({"fit", "--term", "user:line", "--library", lib, "--lock", "1.2", f});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, "#0 line\n    parameter #1 (a)  "));
    EXPECT_TRUE(Has(r.out, "parameter #2 (b)  "));
    EXPECT_TRUE(Has(r.out, "±   0.0000\n"));
    EXPECT_TRUE(
        Has(RunCli({"fit", "--term", "user:curve", "--library", lib, f}).err, "no function named 'curve'"));
}

TEST(CliLibrary, DefineListShowDelete) {
    TTempDir dir;
    const auto lib = (dir / "UserFit.dat").string();
    ASSERT_EQ(DefineLine(lib), 0);
    ASSERT_EQ(RunCli({"library", "define", lib, "--name", "decay", "--function", "A*exp(0-k*x)", "--param",
                      "A=EXPR(1)/A", "--param", "k=0-x*EXPR(1),1,0,100,8"})
                  .status,
              0);
    EXPECT_EQ(RunCli({"library", "list", lib}).out, "line\ta b\ndecay\tA k\n");
    EXPECT_EQ(RunCli({"library", "show", lib, "line"}).out,
              "a*x+b\na\tx\t0\t-10000000000\t10000000000\tnone\nb\t1\t0.5\t-10\t10\toffset\n");
    EXPECT_TRUE(
        Has(RunCli({"library", "show", lib, "decay"}).out, "k\t0-x*EXPR(1)\t1\t0\t100\texponential b\n"));
    // the define check's messages reach the user (each is checked on the library itself); the option
    // parser's own refusals; the library stays as it was
    const auto before = ReadFile(lib);
    const std::pair<std::vector<std::string>, std::string> refusals[] = {
        {{"--name", "line", "--function", "x", "--param", "a=1"}, "Duplicate function name."},
        {{"--name", "n", "--function", "a*", "--param", "a=1"}, "Error parsing expresions."},
        {{"--name", "n", "--function", "a", "--param", "a=1,z"}, "'z' is not a number"},
        {{"--name", "n", "--function", "a", "--param", "a=1,0,0,1e39"}, "beyond what the library file holds"},
        {{"--name", "n", "--function", "a", "--param", "a=" + std::string(256, '1')},
         "longer than 255 characters"},
        {{"--name", "n", "--function", "a", "--param", "a=1,0,0,1,12"}, "no guess style"},
    };
    for (const auto& [options, message] : refusals) {
        std::vector<std::string> args{"library", "define", lib};
        args.insert(args.end(), options.begin(), options.end());
        const auto r = RunCli(args);
        EXPECT_EQ(r.status, 2) << message;
        EXPECT_TRUE(Has(r.err, message)) << r.err;
    }
    EXPECT_EQ(ReadFile(lib), before);
    EXPECT_EQ(RunCli({"library", "delete", lib, "line"}).status, 0);
    EXPECT_EQ(RunCli({"library", "list", lib}).out, "decay\tA k\n");
    EXPECT_EQ(RunCli({"library", "delete", lib, "line"}).status, 2);
}

TEST(CliLibrary, DamagedFilesAreNeverRewritten) {
    TTempDir dir;
    EXPECT_EQ(RunCli({"library", "list", dir.Write("empty.dat", std::string(4, '\0'))}).out, "");
    const auto damaged = dir.Write("damaged.dat", std::string("\x02\x00\x00\x00\x02", 5));
    const auto r = RunCli({"library", "define", damaged, "--name", "f", "--function", "a", "--param", "a=1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(Has(r.err, "damaged"));
    EXPECT_EQ(ReadFile(damaged).size(), 5u);
}
