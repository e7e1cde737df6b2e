// fit and library: the fit engine and the user function library from the shell.
#include "clirunner.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {

std::string PeakText() {
    std::vector<TPoint> p;
    for (int i = 0; i <= 40; ++i) {
        const double x = i * 0.25;
        p.push_back({x, 3 * std::exp(-0.5 * std::pow((x - 5) / 1.2, 2)) + 0.5});
    }
    return CurveText(p);
}

std::string LineText() {
    std::vector<TPoint> p;
    for (int i = 0; i < 20; ++i) p.push_back({i * 0.5, 2 * i * 0.5 + 1 + (i % 2 ? 0.01 : -0.01)});
    return CurveText(p);
}

} // namespace

TEST(CliFit, GaussianWithBackgroundAndGeneratedCurve) {
    TTempDir dir;
    const auto f = dir.Write("peak.dat", PeakText());
    const auto out = (dir / "model.dat").string();
    auto r = RunCli({"fit", "--term", "gaussian", "--term", "polynomial:0", f, "-o", out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(" itterations performed; tolerance satisfied.\n \nChiSquare:    0.000000\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("#0 Gaussian\n    parameter #1 (amp   )  3.0000 ±   0.0000\n"), std::string::npos);
    EXPECT_NE(r.out.find("    parameter #3 (hwhm  )  1.2000 ±"), std::string::npos);
    EXPECT_NE(r.out.find("#1 Polynomial\n    parameter #1 (offset)  0.5000 ±"), std::string::npos);
    // the Generate curve: the curve's count and x range, the whole model
    auto p = Points(ReadFile(out));
    ASSERT_EQ(p.size(), 41u);
    EXPECT_EQ(p.back().x, 10.0);
    EXPECT_NEAR(p[20].y, 3.5, 1e-6);
    // one term alone
    ASSERT_EQ(
        RunCli({"fit", "--term", "gaussian", "--term", "polynomial:0", "--generate-term", "2", f, "-o", out})
            .status,
        0);
    p = Points(ReadFile(out));
    EXPECT_NEAR(p[0].y, 0.5, 1e-6);
    EXPECT_NEAR(p[20].y, 0.5, 1e-6);
}

TEST(CliFit, BoundsGuessesSetAndLock) {
    TTempDir dir;
    const auto f = dir.Write("line.dat", LineText());
    // a lock keeps the set value and reports sigma 0
    auto r = RunCli({"fit", "--term", "polynomial", "--set", "1.1=0.4", "--lock", "1.1", f});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("parameter #1 (offset)  0.4000 ±   0.0000"), std::string::npos);
    // a bound stops the parameter exactly there; a set value beyond the bounds is clamped
    r = RunCli({"fit", "--term", "polynomial", "--min", "1.1=5", "--max", "1.1=6", f});
    EXPECT_NE(r.out.find("parameter #1 (offset)  5.0000"), std::string::npos);
    r = RunCli({"fit", "--term", "polynomial", "--max", "1.1=0.5", "--set", "1.1=9", "--lock", "1.1", f});
    EXPECT_NE(r.out.find("parameter #1 (offset)  0.5000 ±   0.0000"), std::string::npos);
    // the step count is spent at the first step; without guesses the fit starts from the defaults
    r = RunCli({"fit", "--term", "exponential", "--no-guess", "--max-iterations", "0", f});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Maximum number of itterations exceeded; tolerance not satisfied.\n"),
              std::string::npos);
    EXPECT_NE(r.out, RunCli({"fit", "--term", "exponential", "--max-iterations", "0", f}).out);
    // the guesses of a straight line find it before any iteration
    r = RunCli({"fit", "--term", "polynomial", "--max-iterations", "0", f});
    EXPECT_NE(r.out.find("(slope )  2.0"), std::string::npos);
}

TEST(CliFit, RangeAndRefusals) {
    TTempDir dir;
    const auto f = dir.Write("peak.dat", PeakText());
    // four points cannot carry four parameters: the fit does not start
    auto r = RunCli({"fit", "--term", "polynomial:3", "--range", "1", "4", f});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("points"), std::string::npos);
    r = RunCli({"fit", "--term", "polynomial", "--range", "1", "3", f});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(RunCli({"fit", "--term", "polynomial", "--range", "1", "5", f}).status, 0);
    EXPECT_EQ(RunCli({"fit", "--term", "polynomial", "--range", "0", "5", f}).status, 2);
    EXPECT_EQ(RunCli({"fit", "--term", "polynomial", "--range", "5", "42", f}).status, 2);
    EXPECT_EQ(RunCli({"fit", "--term", "polynomial", "--range", "5", f}).status, 2);
    // model and parameter references
    EXPECT_EQ(RunCli({"fit", f}).status, 2);
    EXPECT_EQ(RunCli({"fit", "--term", "voigt", f}).status, 2);
    EXPECT_EQ(RunCli({"fit", "--term", "polynomial:9", f}).status, 2);
    r = RunCli({"fit", "--term", "gaussian", "--set", "2.1=3", f});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("no term 2"), std::string::npos);
    EXPECT_EQ(RunCli({"fit", "--term", "gaussian", "--lock", "1.4", f}).status, 2);
    EXPECT_EQ(RunCli({"fit", "--term", "gaussian", "--min", "1.1=2e12", f}).status, 2);
    EXPECT_EQ(RunCli({"fit", "--term", "gaussian", "--min", "1.1=3", "--max", "1.1=2", f}).status, 2);
    EXPECT_EQ(RunCli({"fit", "--term", "gaussian", "--max-iterations", "10001", f}).status, 2);
    EXPECT_EQ(RunCli({"fit", "--term", "gaussian", "--generate-term", "1", f}).status, 2);
    EXPECT_EQ(
        RunCli({"fit", "--term", "gaussian", "--generate-term", "2", f, "-o", (dir / "o").string()}).status,
        2);
    std::vector<std::string> eleven{"fit", f};
    for (int i = 0; i < 11; ++i) eleven.insert(eleven.end(), {"--term", "polynomial:0"});
    EXPECT_EQ(RunCli(eleven).status, 2);
    // auxiliary terms: a tabulated file that is no curve, a user term without its library
    r = RunCli({"fit", "--term", "tabulated:" + (dir / "none.dat").string(), f});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("not a valid data file"), std::string::npos);
    EXPECT_EQ(RunCli({"fit", "--term", "user:line", f}).status, 2);
    const auto lib = (dir / "lib.dat").string();
    ASSERT_EQ(
        RunCli({"library", "define", lib, "--name", "line", "--function", "a*x", "--param", "a=x"}).status,
        0);
    r = RunCli({"fit", "--term", "user:curve", "--library", lib, f});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("no function named 'curve'"), std::string::npos);
}

TEST(CliFit, TabulatedTermScalesAnotherCurve) {
    TTempDir dir;
    const auto f = dir.Write("peak.dat", PeakText());
    const auto r = RunCli({"fit", "--term", "tabulated:" + f, "--no-guess", f});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("#0 Tabulated\n    parameter #1 (coef)  1.0000 ±   0.0000\n"), std::string::npos);
}

TEST(CliLibrary, DefineListShowDelete) {
    TTempDir dir;
    const auto lib = (dir / "UserFit.dat").string();
    auto r = RunCli({"library", "define", lib, "--name", "line", "--function", "a * x + b", "--param", "a=x",
                     "--param", "b=1,0.5,-10,10,offset"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(RunCli({"library", "define", lib, "--name", "decay", "--function", "A*exp(0-k*x)", "--param",
                      "A=EXPR(1)/A", "--param", "k=0-x*EXPR(1),1,0,100,8"})
                  .status,
              0);
    r = RunCli({"library", "list", lib});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "line\ta b\ndecay\tA k\n");
    r = RunCli({"library", "show", lib, "line"});
    EXPECT_EQ(r.out, "a*x+b\na\tx\t0\t-10000000000\t10000000000\tnone\nb\t1\t0.5\t-10\t10\toffset\n");
    r = RunCli({"library", "show", lib, "decay"});
    EXPECT_NE(r.out.find("k\t0-x*EXPR(1)\t1\t0\t100\texponential b\n"), std::string::npos);
    // the define check's messages, nothing changed
    const auto before = ReadFile(lib);
    r = RunCli({"library", "define", lib, "--name", "line", "--function", "x", "--param", "a=1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "graphmill-cli: library define: Duplicate function name.\n");
    EXPECT_EQ(RunCli({"library", "define", lib, "--function", "x"}).err,
              "graphmill-cli: library define: No function name.\n");
    EXPECT_EQ(RunCli({"library", "define", lib, "--name", "n"}).err,
              "graphmill-cli: library define: No function given.\n");
    EXPECT_EQ(RunCli({"library", "define", lib, "--name", "n", "--function", "a", "--param", "a.b=1"}).err,
              "graphmill-cli: library define: One or more variable names are invalid.\n");
    EXPECT_EQ(RunCli({"library", "define", lib, "--name", "n", "--function", "a", "--param", "a="}).err,
              "graphmill-cli: library define: One or more derivative expressions are invalid.\n");
    EXPECT_EQ(RunCli({"library", "define", lib, "--name", "n", "--function", "a*", "--param", "a=1"}).err,
              "graphmill-cli: library define: Error parsing expresions.\n");
    EXPECT_EQ(RunCli({"library", "define", lib, "--name", "n", "--function", "a", "--param", "a=1,z"}).status,
              2);
    EXPECT_EQ(RunCli({"library", "define", lib, "--name", "n", "--function", "a", "--param", "a=1,0,0,1,12"})
                  .status,
              2);
    EXPECT_EQ(ReadFile(lib), before);
    // delete
    EXPECT_EQ(RunCli({"library", "delete", lib, "line"}).status, 0);
    EXPECT_EQ(RunCli({"library", "list", lib}).out, "decay\tA k\n");
    r = RunCli({"library", "delete", lib, "line"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("no function named 'line'"), std::string::npos);
}

TEST(CliLibrary, BadFilesAreNeverRewritten) {
    TTempDir dir;
    const auto missing = (dir / "missing.dat").string();
    EXPECT_EQ(RunCli({"library", "list", missing}).status, 2);
    EXPECT_EQ(RunCli({"library", "show", missing, "f"}).status, 2);
    EXPECT_FALSE(std::filesystem::exists(missing));
    // an empty library is four zero bytes
    const auto empty = dir.Write("empty.dat", std::string(4, '\0'));
    auto r = RunCli({"library", "list", empty});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    // a damaged library is refused, and define does not overwrite it with what could be read
    const auto damaged = dir.Write("damaged.dat", std::string("\x02\x00\x00\x00\x02", 5));
    r = RunCli({"library", "define", damaged, "--name", "f", "--function", "a", "--param", "a=1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("damaged"), std::string::npos);
    EXPECT_EQ(ReadFile(damaged).size(), 5u);
    EXPECT_EQ(RunCli({"library", "frob", empty}).status, 2);
    EXPECT_EQ(RunCli({"library"}).status, 2);
    EXPECT_EQ(RunCli({"library", "show", empty}).status, 2);
}

TEST(CliFit, UserTermFromTheLibrary) {
    TTempDir dir;
    const auto f = dir.Write("line.dat", LineText());
    const auto lib = (dir / "lib.dat").string();
    ASSERT_EQ(RunCli({"library", "define", lib, "--name", "line", "--function", "a*x+b", "--param", "a=x",
                      "--param", "b=1,0.5,-10,10,offset"})
                  .status,
              0);
    const auto out = (dir / "m.dat").string();
    const auto r = RunCli({"fit", "--term", "user:line", "--library", lib, "--lock", "1.2", f, "-o", out});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("#0 line\n    parameter #1 (a)  "), std::string::npos);
    EXPECT_NE(r.out.find("parameter #2 (b)  "), std::string::npos);
    EXPECT_NE(r.out.find("±   0.0000\n"), std::string::npos); // the locked parameter
    EXPECT_EQ(Points(ReadFile(out)).size(), 20u);
}
