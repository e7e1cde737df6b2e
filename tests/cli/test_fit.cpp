// fit and library: the fit engine and the user function library from the shell.
#include "clirunner.h"
#include "curves/real48.h"
#include "fit/Fit2.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
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

QJsonObject Json(const TCliResult& r) {
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.out));
    EXPECT_TRUE(doc.isObject()) << r.out << r.err;
    return doc.object();
}

QJsonObject Param(const QJsonObject& result, int i) {
    return result["parameters"].toArray()[i].toObject();
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
    EXPECT_TRUE(Has(r.out, " itterations performed; tolerance satisfied.\n")) << r.out;
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
    // no iterations: the start evaluated only; --no-guess starts from the defaults instead
    const auto r = RunCli({"fit", "--term", "exponential", "--max-iterations", "0", f});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(Has(r.out, "Maximum number of itterations exceeded; tolerance not satisfied.\n"));
    // N is the most iterations taken
    for (const char* n : {"0", "1", "2"}) {
        const auto j = Json(RunCli({"fit", "--term", "exponential", "--max-iterations", n, "--json", f}));
        EXPECT_EQ(j["iterations"].toInt(), std::atoi(n)) << n;
        EXPECT_EQ(j["status"].toString(), "max_iterations") << n;
    }
    const auto free = Json(RunCli({"fit", "--term", "polynomial", "--json", f}));
    ASSERT_EQ(free["status"].toString(), "converged");
    const int needed = free["iterations"].toInt();
    const auto limit = std::to_string(needed);
    EXPECT_EQ(Json(RunCli({"fit", "--term", "polynomial", "--max-iterations", limit, "--json", f}))["status"]
                  .toString(),
              "converged");
    EXPECT_EQ(Json(RunCli({"fit", "--term", "polynomial", "--max-iterations", std::to_string(needed - 1),
                           "--json", f}))["iterations"]
                  .toInt(),
              needed - 1);
    EXPECT_NE(r.out, RunCli({"fit", "--term", "exponential", "--no-guess", "--max-iterations", "0", f}).out);
    // four points cannot carry four parameters: the fit does not start
    const auto few = RunCli({"fit", "--term", "polynomial:3", "--range", "1", "4", f});
    EXPECT_EQ(few.status, 1);
    EXPECT_EQ(few.out, "");
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
    // the locked row reports sigma 0, the free one does not
    const size_t b = r.out.find("parameter #2 (b)");
    ASSERT_NE(b, std::string::npos);
    EXPECT_EQ(r.out.substr(r.out.find('\n', b) - 12, 13), " ±   0.0000\n");
    EXPECT_FALSE(Has(r.out.substr(0, b), "±   0.0000"));
    EXPECT_TRUE(
        Has(RunCli({"fit", "--term", "user:curve", "--library", lib, f}).err, "no function named 'curve'"));
    // a name in a single-byte code page, as older libraries hold them: the JSON result stays valid text
    ASSERT_EQ(
        RunCli({"library", "define", lib, "--name", "caf\xe9", "--function", "a*x", "--param", "a=x"}).status,
        0);
    const auto latin = RunCli({"fit", "--term", "user:caf\xe9", "--library", lib, f, "--json"});
    ASSERT_EQ(latin.status, 0) << latin.err;
    EXPECT_EQ(Param(Json(latin), 0)["type"].toString(), QString::fromUtf8("caf\u00e9"));
}

TEST(CliFit, DataAboveTheOldBoundsAndParametersHeldAtBounds) {
    TTempDir dir;
    std::vector<TPoint> counts;
    for (int i = 0; i < 30; ++i) counts.push_back({double(i), 5e13 + (i % 3) * 1e11});
    const auto f = dir.Write("big.dat", CurveText(counts));
    // a constant of the data's scale: free, converged, at no bound
    auto j = Json(RunCli({"fit", "--term", "polynomial:0", "--json", f}));
    EXPECT_EQ(j["status"].toString(), "converged");
    EXPECT_NEAR(Param(j, 0)["value"].toDouble(), 5.01e13, 1e9);
    EXPECT_TRUE(Param(j, 0)["at_bound"].isNull());
    // a bound below the data holds the parameter, and every form of the result says so
    j = Json(RunCli({"fit", "--term", "polynomial:0", "--max", "1.1=1e10", "--json", f}));
    EXPECT_EQ(Param(j, 0)["value"].toDouble(), 1e10);
    EXPECT_EQ(Param(j, 0)["at_bound"].toString(), "max");
    j = Json(
        RunCli({"fit", "--term", "polynomial", "--min", "1.2=1e20", "--max", "1.2=1.7e38", "--json", f}));
    EXPECT_EQ(Param(j, 1)["at_bound"].toString(), "min");
    EXPECT_EQ(Param(j, 1)["max"].toDouble(), 1.7e38);
    const auto text = RunCli({"fit", "--term", "polynomial:0", "--max", "1.1=1e10", f});
    EXPECT_TRUE(Has(text.out, "Parameters marked (at min) or (at max) ended at a bound; the best fit may lie "
                              "beyond it.\n"))
        << text.out;
    EXPECT_TRUE(Has(text.out, "(offset)10000000000.0000 ±"));
    EXPECT_TRUE(Has(text.out, "  (at max)\n"));
    // bounds up to what the library holds, and not beyond
    EXPECT_EQ(RunCli({"fit", "--term", "polynomial:0", "--max", "1.1=1.7e38", f}).status, 0);
    const auto beyond = RunCli({"fit", "--term", "polynomial:0", "--max", "1.1=1.8e38", f});
    EXPECT_EQ(beyond.status, 2);
    EXPECT_TRUE(Has(beyond.err, "1.1=1.8e38': bounds lie within about -1.7e38 to 1.7e38")) << beyond.err;
}

TEST(CliFit, FailedFitSaysWhatFailed) {
    TTempDir dir;
    const auto f = dir.Write("peak.dat", PeakText());
    // amplitude 0 and locked: position and width have no influence, the equations are singular
    const auto r = RunCli(
        {"fit", "--term", "gaussian", "--no-guess", "--min", "1.1=-1", "--set", "1.1=0", "--lock", "1.1", f});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(Has(r.out,
                    "ERROR:  matrix does not converge!!!\nThe fit's equations cannot be solved at iteration "
                    "1: a free parameter has no influence on the model over the data, or two have the "
                    "same.\n"))
        << r.out;
    EXPECT_FALSE(Has(r.out, "Maximum number"));
    const auto j = Json(RunCli({"fit", "--term", "gaussian", "--no-guess", "--min", "1.1=-1", "--set",
                                "1.1=0", "--lock", "1.1", "--json", f}));
    EXPECT_EQ(j["status"].toString(), "failed");
    EXPECT_TRUE(j["message"].toString().startsWith("The fit's equations cannot be solved"));
}

TEST(CliFit, JsonCarriesTheResultInFullPrecision) {
    TTempDir dir;
    const auto f = dir.Write("line.dat", LineText());
    const std::vector<std::string> args = {"fit",    "--term", "polynomial", "--term", "polynomial:0",
                                           "--lock", "2.1",    "--no-guess", f};
    const auto text = RunCli(args);
    auto withJson = args;
    withJson.push_back("--json");
    const auto r = RunCli(withJson);
    ASSERT_EQ(r.status, 0) << r.err;
    const QJsonObject j = Json(r);
    // the same fit run here: every number reads back to the same double
    TFitParamB fit;
    const TCurveB curve = TCurveB::CreateFromFile(f, true, nullptr);
    ASSERT_TRUE(fit.SetData(curve, 1, curve.Count()));
    fit.AddTerm(TPeak::Polynomial, 1);
    fit.AddTerm(TPeak::Polynomial, 0);
    fit.Term(1).lock[1] = true;
    ASSERT_TRUE(fit.RunFit());
    EXPECT_EQ(j["status"].toString(), "converged");
    EXPECT_EQ(j["message"].toString().toStdString() + "\n", text.out.substr(0, text.out.find('\n') + 1));
    const std::pair<const char*, double> figures[] = {
        {"iterations", fit.iterations},
        {"points", 20},
        {"chi_square", fit.SumOfSquares()},
        {"reported", fit.Rms()},
        {"r_squared", fit.RSquared()},
        // 20 points less 2 free parameters: the locked one is no degree of freedom
        {"reduced_chi_square", fit.SumOfSquares() / 18}};
    for (const auto& [name, value] : figures) EXPECT_EQ(j[name].toDouble(), value) << name;
    const auto params = j["parameters"].toArray();
    ASSERT_EQ(params.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const QJsonObject p = params[i].toObject();
        const TPeak& t = fit.Term(i / 2);
        const size_t k = static_cast<size_t>(i % 2 + 1);
        EXPECT_EQ(p["term"].toInt(), i / 2 + 1);
        EXPECT_EQ(p["index"].toInt(), static_cast<int>(k));
        EXPECT_EQ(p["type"].toString(), "Polynomial");
        EXPECT_EQ(p["value"].toDouble(), t.value[k]);
        EXPECT_EQ(p["sigma"].toDouble(), t.sigma[k]);
        EXPECT_EQ(p["locked"].toBool(), i == 2);
        // open bounds, and no parameter on them
        EXPECT_EQ(p["min"].toDouble(), -Real48Max);
        EXPECT_EQ(p["max"].toDouble(), Real48Max);
        EXPECT_TRUE(p["at_bound"].isNull());
    }
    EXPECT_EQ(Param(j, 1)["name"].toString(), "slope"); // without the padding of the text
}

TEST(CliFit, PeakShapesAndTheirFigures) {
    TTempDir dir;
    // A pseudo-Voigt of height 3 at 5, half width 1.2 and a Lorentzian fraction of 0.3, on a level of 0.5.
    std::vector<TPoint> p;
    for (int i = 0; i <= 80; ++i) {
        const double q = (i * 0.125 - 5) / 1.2;
        p.push_back({i * 0.125, 3 * (0.7 * std::exp(-std::log(2.0) * q * q) + 0.3 / (1 + q * q)) + 0.5 +
                                    (i % 2 ? 0.002 : -0.002)});
    }
    const auto f = dir.Write("pv.dat", CurveText(p));
    const std::vector<std::string> args = {"fit", "--term", "polynomial:0", "--term", "pseudo-voigt", f};
    auto full = args;
    full.insert(full.end(), {"--report", "full"});
    auto r = RunCli(full);
    ASSERT_EQ(r.status, 0) << r.err;
    // The full view: the sums, the parameters in full precision, then the figures of the peak alone.
    EXPECT_TRUE(Has(r.out, "Sum of squares:")) << r.out;
    EXPECT_TRUE(Has(r.out, "\n#2  Pseudo-Voigt\n   height = ")) << r.out;
    EXPECT_TRUE(Has(r.out, "\nPeak figures:\n#2  Pseudo-Voigt\n   centre = 5")) << r.out;
    EXPECT_FALSE(Has(r.out.substr(r.out.find("Peak figures:")), "Polynomial")) << r.out;
    // The plain text has no figures.
    EXPECT_FALSE(Has(RunCli(args).out, "Peak figures:"));
    auto json = args;
    json.push_back("--json");
    r = RunCli(json);
    ASSERT_EQ(r.status, 0) << r.err;
    const QJsonArray figures = Json(r)["figures"].toArray();
    ASSERT_EQ(figures.size(), 1);
    const QJsonObject peak = figures[0].toObject();
    EXPECT_EQ(peak["term"].toInt(), 2);
    EXPECT_EQ(peak["type"].toString(), "Pseudo-Voigt");
    const std::pair<const char*, double> expected[] = {
        {"centre", 5.0},
        {"height", 3.0},
        {"fwhm", 2.4},
        {"area", 3 * 1.2 * (0.7 * 2.1289340388624524 + 0.3 * M_PI)}};
    for (const auto& [name, value] : expected) {
        const QJsonObject figure = peak[name].toObject();
        EXPECT_NEAR(figure["value"].toDouble(), value, 0.01 * value) << name;
        EXPECT_GT(figure["sigma"].toDouble(), 0.0) << name;
        EXPECT_LT(figure["sigma"].toDouble(), 0.01 * value) << name;
    }
    // A model without peaks has an empty list.
    json = {"fit", "--term", "polynomial", f, "--json"};
    EXPECT_TRUE(Json(RunCli(json))["figures"].toArray().isEmpty());
    // Every term name of the model, each in its place of the result text.
    const std::pair<const char*, const char*> names[] = {{"voigt", "Voigt"},
                                                         {"pseudo-voigt", "Pseudo-Voigt"},
                                                         {"pearson7", "Pearson VII"},
                                                         {"split-gaussian", "Split Gaussian"},
                                                         {"split-lorentzian", "Split Lorentzian"},
                                                         {"logistic", "Logistic step"},
                                                         {"emg", "Exp. modified Gaussian"}};
    for (const auto& [term, name] : names) {
        r = RunCli({"fit", "--term", term, "--max-iterations", "0", f});
        EXPECT_EQ(r.status, 0) << term << r.err;
        EXPECT_TRUE(Has(r.out, std::string("\n#0 ") + name + "\n")) << r.out;
    }
    // Wrong uses.
    r = RunCli({"fit", "--term", "voigt:2", f});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(Has(r.err, "pseudo-voigt, pearson7, split-gaussian, split-lorentzian, logistic, emg"))
        << r.err;
    r = RunCli({"fit", "--term", "voigt", "--report", "short", f});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(Has(r.err, "--report: 'short' is not one of text, full")) << r.err;
    EXPECT_EQ(RunCli({"fit", "--term", "voigt", "--report", "full", "--json", f}).status, 2);
    EXPECT_EQ(RunCli({"fit", "--term", "voigt", "--report", "text", f}).out,
              RunCli({"fit", "--term", "voigt", f}).out);
    // help fit says what the Gaussian's width is.
    EXPECT_TRUE(Has(RunCli({"help", "fit"}).out,
                    "its hwhm being\n                         the standard deviation sigma"));
}

TEST(CliFit, ResidualsAndModelAtTheDataPoints) {
    TTempDir dir;
    const auto f = dir.Write("line.dat", LineText());
    const auto residuals = (dir / "res.dat").string(), generated = (dir / "gen.dat").string();
    const auto r = RunCli({"fit", "--term", "polynomial:2", "--range", "3", "18", f, "--json", "--residuals",
                           residuals, "--model-at-points", "-", "-o", generated});
    ASSERT_EQ(r.status, 0) << r.err;
    // the model goes to standard output, so the result goes to standard error
    const auto model = Points(r.out);
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(r.err));
    const double chi = doc.object()["chi_square"].toDouble();
    const auto res = Points(ReadFile(residuals));
    const auto data = Points(LineText());
    ASSERT_EQ(res.size(), 16u);
    ASSERT_EQ(model.size(), 16u);
    double sum = 0;
    for (size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(res[i].x, data[i + 2].x);
        EXPECT_EQ(model[i].x, data[i + 2].x);
        EXPECT_NEAR(model[i].y + res[i].y, data[i + 2].y, 1e-13);
        sum += res[i].y * res[i].y;
    }
    EXPECT_NEAR(sum, chi, 1e-12 * chi);
    // -o is the Generate curve: the curve's count of points over its whole x range
    const auto gen = Points(ReadFile(generated));
    ASSERT_EQ(gen.size(), 20u);
    EXPECT_EQ(gen.front().x, 0.0);
    EXPECT_NEAR(gen.back().x, 9.5, 1e-12);
    EXPECT_EQ(RunCli({"fit", "--term", "polynomial", f, "--residuals", "-", "-o", "-"}).status, 2);
}

TEST(CliFit, OverflowingTrialStepsAreRejected) {
    // From b2 = 0.5 the first steps of this rise overflow the model; they are rejected steps, not a fault.
    TTempDir dir;
    const auto f = dir.Write("box.dat", "1 109\n2 149\n3 149\n5 191\n7 213\n10 224\n");
    const auto lib = (dir / "box.lib").string();
    ASSERT_EQ(RunCli({"library", "define", lib, "--name", "box", "--function", "b1*(1-exp(0-b2*x))",
                      "--param", "b1=1-exp(0-b2*x)", "--param", "b2=b1*x*exp(0-b2*x)"})
                  .status,
              0);
    const auto r = RunCli({"fit", "--library", lib, "--term", "user:box", "--no-guess", "--set", "1.1=1",
                           "--set", "1.2=0.5", f});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(Has(r.out, " itterations performed; tolerance satisfied.\n")) << r.out;
    EXPECT_TRUE(Has(r.out, "(b1)213.80")) << r.out;
}

TEST(CliFit, RelativeTestNeedsBothItsLimitsAndStatusNamesTheEnd) {
    TTempDir dir;
    std::vector<TPoint> noisy;
    for (int i = 0; i <= 60; ++i) {
        const double x = i * 0.2;
        noisy.push_back({x, 3 * std::exp(-0.5 * std::pow((x - 6.3) / 1.1, 2)) + 0.05 * std::sin(7.3 * i)});
    }
    const auto f = dir.Write("noisy.dat", CurveText(noisy));
    auto fit = [&](std::vector<std::string> options) {
        std::vector<std::string> args{"fit", "--term", "gaussian", "--json", f};
        args.insert(args.end(), options.begin(), options.end());
        const auto r = RunCli(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return Json(r);
    };
    // Any accepted step lowers chi-square by at most all of itself (ftol 1): the parameter test alone decides
    // whether the fit goes on, and it goes on to the best values; with no parameter limit it stops at once.
    const QJsonObject full = fit({"--converge", "relative"});
    const QJsonObject both = fit({"--converge", "relative", "--ftol", "1", "--xtol", "1e-10"});
    const QJsonObject early = fit({"--converge", "relative", "--ftol", "1", "--xtol", "1e300"});
    for (const QJsonObject* j : {&full, &both, &early}) EXPECT_EQ((*j)["status"].toString(), "converged");
    EXPECT_LT(early["iterations"].toInt(), both["iterations"].toInt());
    EXPECT_GT(early["chi_square"].toDouble(), both["chi_square"].toDouble() * (1 + 1e-9));
    EXPECT_NEAR(both["chi_square"].toDouble(), full["chi_square"].toDouble(),
                1e-9 * full["chi_square"].toDouble());
    // And the chi-square limit alone (no parameter limit) ends the fit later than no limit at all does.
    const QJsonObject chiOnly = fit({"--converge", "relative", "--ftol", "0", "--xtol", "1e300"});
    EXPECT_GT(chiOnly["iterations"].toInt(), early["iterations"].toInt());
    // The iterations ran out; the fit failed (a zero amplitude leaves position and width without effect).
    EXPECT_EQ(fit({"--max-iterations", "0"})["status"].toString(), "max_iterations");
    const auto r = RunCli(
        {"fit", "--term", "gaussian", "--json", "--no-guess", "--min", "1.1=-1e10", "--set", "1.1=0", f});
    EXPECT_EQ(r.status, 1);
    const QJsonObject failed = Json(r);
    EXPECT_EQ(failed["status"].toString(), "failed");
    // The message says what failed, not the iteration limit.
    EXPECT_TRUE(failed["message"].toString().startsWith("The fit's equations cannot be solved"))
        << failed["message"].toString().toStdString();
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
              "a*x+b\na\tx\t0\t-1.7014118346031449e+38\t1.7014118346031449e+38\tnone\nb\t1\t0.5\t-"
              "10\t10\toffset\n");
    EXPECT_TRUE(
        Has(RunCli({"library", "show", lib, "decay"}).out, "k\t0-x*EXPR(1)\t1\t0\t100\texponential b\n"));
    // the define check's messages reach the user (each is checked on the library itself); the option
    // parser's own refusals; the library stays as it was
    const auto before = ReadFile(lib);
    const std::pair<std::vector<std::string>, std::string> refusals[] = {
        {{"--name", "line", "--function", "x", "--param", "a=1"}, "Duplicate function name."},
        {{"--name", "n", "--function", "a", "--param", "a=1,z"}, "'z' is not a number"},
        {{"--name", "n", "--function", "a", "--param", "a=1,0,0,1e39"}, "beyond what the library file holds"},
        {{"--name", "n", "--function", "a", "--param", "a=" + std::string(256, '1')},
         "longer than 255 characters"},
        {{"--name", "n", "--function", "a", "--param", "a=1,0,0,1,12"}, "no guess style"},
        {{"--name", "n", "--function", "a", "--param", "a=1,0,5,1"},
         "parameter a: its min 5 lies above its max 1"},
        {{"--name", "n", "--function", "a", "--param", "a=1,2e10,-1e10,1e10"},
         "parameter a: its start value 2e+10 lies outside its bounds -1e+10 to 1e+10"},
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

TEST(CliLibrary, DerivedDerivatives) {
    // A Gaussian on a background: the derivatives are worked out and shown (a fit of a derived function is
    // the function panel's test, against this tool's fit).
    TTempDir dir;
    const auto lib = (dir / "lib.dat").string();
    const auto r =
        RunCli({"library", "define", lib, "--derive", "--name", "g", "--function", "A*exp(0-((x-c)/w)^2)+b",
                "--param", "A=,1", "--param", "c=,4.5", "--param", "w=,1,0.1,10", "--param", "b=1"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string shown = RunCli({"library", "show", lib, "g"}).out;
    EXPECT_TRUE(Has(shown, "A\texp(-((x-c)/w)^2)\t1\t")) << shown;
    EXPECT_TRUE(Has(shown, "b\t1\t0\t")) << shown;
    // without --derive a missing derivative is refused as before; a derived formula over the file's 255
    // characters like a typed one; a function without usable derivative with the reason
    std::string nested = "a*x";
    for (int k = 0; k < 10; ++k) nested = "sin(" + nested + ")";
    const std::pair<std::vector<std::string>, std::string> refusals[] = {
        {{"--function", "a*x", "--param", "a"}, "NAME=DERIVATIVE"},
        {{"--derive", "--function", nested, "--param", "a"}, "longer than 255 characters"},
        {{"--derive", "--function", "trunc(a*x)", "--param", "a"}, "TRUNC has no usable derivative"},
        {{"--derive", "--function", "a*x+c", "--param", "a"}, "Error parsing expresions."},
    };
    for (const auto& [options, message] : refusals) {
        std::vector<std::string> args{"library", "define", lib, "--name", "n"};
        args.insert(args.end(), options.begin(), options.end());
        const auto refused = RunCli(args);
        EXPECT_EQ(refused.status, 2) << message;
        EXPECT_TRUE(Has(refused.err, message)) << refused.err;
    }
}

TEST(CliFit, WeightsFromASigmaFileAndSchemes) {
    // A straight line whose odd points are ten times less certain: their residuals count a hundredth.
    TTempDir dir;
    std::vector<TPoint> data, sigma;
    for (int i = 0; i < 12; ++i) {
        data.push_back({static_cast<double>(i), 2 + 0.5 * i + (i % 2 ? 0.3 : -0.02) * (i % 3 - 1)});
        sigma.push_back({static_cast<double>(i), i % 2 ? 1.0 : 0.1});
    }
    const auto f = dir.Write("line.dat", CurveText(data));
    const auto s = dir.Write("sigma.dat", CurveText(sigma));
    const auto r =
        RunCli({"fit", "--term", "polynomial", "--converge", "relative", "--sigma", s, "--json", f});
    ASSERT_EQ(r.status, 0) << r.err;
    const QJsonObject j = Json(r);
    EXPECT_EQ(j["weights"].toString(), "sigma");
    EXPECT_EQ(j["sigmas"].toString(), "measured");
    EXPECT_EQ(j["dof"].toInt(), 10);
    EXPECT_EQ(j["free_parameters"].toArray().size(), 2);
    EXPECT_EQ(j["free_parameters"].toArray()[1].toObject()["index"].toInt(), 2);
    const QJsonArray cov = j["covariance"].toArray();
    ASSERT_EQ(cov.size(), 2);
    EXPECT_EQ(cov[0].toArray()[1].toDouble(), cov[1].toArray()[0].toDouble());
    EXPECT_DOUBLE_EQ(std::sqrt(cov[1].toArray()[1].toDouble()), Param(j, 1)["sigma"].toDouble());
    EXPECT_EQ(j["correlation"].toArray()[0].toArray()[0].toDouble(), 1.0);
    // The same sigmas as a column of the data file weigh the fit alike, to the last digit.
    std::string csv = "x;y;sigma\n";
    char line[128];
    for (int i = 0; i < 12; ++i) {
        std::snprintf(line, sizeof line, "%.17g;%.17g;%.17g\n", data[i].x, data[i].y, sigma[i].y);
        csv += line;
    }
    const auto c = dir.Write("line.csv", csv);
    const auto byColumn = RunCli({"fit", "--term", "polynomial", "--converge", "relative", "--weights",
                                  "sigma", "--header", "--columns", "1,2,3", "--json", c});
    ASSERT_EQ(byColumn.status, 0) << byColumn.err;
    for (int k : {0, 1})
        for (const char* key : {"value", "sigma", "ci_low", "ci_high"})
            EXPECT_EQ(Param(Json(byColumn), k)[key].toDouble(), Param(j, k)[key].toDouble()) << k << key;
    // Student's t for 10 degrees of freedom at 95 %.
    const double t = j["t"].toDouble();
    EXPECT_NEAR(t, 2.228138851986, 1e-11);
    EXPECT_DOUBLE_EQ(Param(j, 0)["ci_high"].toDouble(),
                     Param(j, 0)["value"].toDouble() + t * Param(j, 0)["sigma"].toDouble());
    // The sums by hand: weighted least squares of a line.
    double sw = 0, sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (int i = 0; i < 12; ++i) {
        const double w = 1 / (sigma[i].y * sigma[i].y), x = data[i].x, y = data[i].y;
        sw += w, sx += w * x, sy += w * y, sxx += w * x * x, sxy += w * x * y;
    }
    const double det = sw * sxx - sx * sx;
    EXPECT_NEAR(Param(j, 1)["value"].toDouble(), (sw * sxy - sx * sy) / det, 1e-12);
    EXPECT_NEAR(Param(j, 1)["sigma"].toDouble(), std::sqrt(sw / det), 1e-12);
    // --confidence 99 widens the interval by its own t; the text reports say the weighting.
    const QJsonObject j99 = Json(RunCli({"fit", "--term", "polynomial", "--converge", "relative", "--sigma",
                                         s, "--json", "--confidence", "99", f}));
    EXPECT_NEAR(j99["t"].toDouble(), 3.169272672617, 1e-11);
    EXPECT_GT(Param(j99, 0)["ci_high"].toDouble(), Param(j, 0)["ci_high"].toDouble());
    const auto text = RunCli({"fit", "--term", "polynomial", "--weights", "poisson", f});
    EXPECT_TRUE(Has(text.out, "Weights: poisson; parameter sigmas from the measured sigmas.\n")) << text.out;
    const auto full = RunCli({"fit", "--term", "polynomial", "--weights", "relative", "--report", "full", f});
    EXPECT_TRUE(Has(full.out, "Weights: relative; parameter sigmas scaled by the reduced chi-square\n"));
    EXPECT_TRUE(Has(full.out, "95% confidence intervals (t = 2.228138851"));
    EXPECT_TRUE(Has(full.out, "Correlation matrix of the free parameters:\n")) << full.out;
    // Without a weights option the result is the one it always was, short or named.
    const auto plain = RunCli({"fit", "--term", "polynomial", f});
    EXPECT_FALSE(Has(plain.out, "Weights"));
    EXPECT_EQ(RunCli({"fit", "--term", "polynomial", "--report", "text", f}).out, plain.out);
    EXPECT_EQ(Json(RunCli({"fit", "--term", "polynomial", "--json", f}))["weights"].toString(), "none");
}

TEST(CliFit, WeightsAreRefusedWithoutSigmasOrWithBadOnes) {
    TTempDir dir;
    const auto f = dir.Write("line.dat", LineText());
    std::vector<TPoint> sigma;
    for (int i = 0; i < 20; ++i) sigma.push_back({static_cast<double>(i), i == 6 ? 0.0 : 0.1});
    const auto s = dir.Write("sigma.dat", CurveText(sigma));
    sigma.pop_back();
    const auto shortSigma = dir.Write("short.dat", CurveText(sigma));
    auto err = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"fit", "--term", "polynomial"});
        const auto r = RunCli(args);
        EXPECT_EQ(r.status, 2) << r.out;
        return r.err;
    };
    EXPECT_TRUE(Has(err({"--weights", "sigma", f}), "the data carry no sigmas"));
    EXPECT_TRUE(Has(err({"--sigma", s, f}), "point 7: sigma 0 is not a positive finite number"));
    // the range's own numbering: point 7 of the curve is still called point 7
    EXPECT_TRUE(Has(err({"--sigma", s, "--range", "3", "12", f}), "point 7: sigma 0"));
    EXPECT_TRUE(Has(err({"--sigma", shortSigma, f}), "has 19 points and the data 20"));
    EXPECT_TRUE(Has(err({"--weights", "poisson", "--sigma", s, f}), "--sigma belongs to --weights sigma"));
    EXPECT_TRUE(
        Has(err({"--weights", "counts", f}), "'counts' is not one of none, sigma, poisson, relative"));
    for (const char* level : {"0", "100", "-1", "101"})
        EXPECT_TRUE(Has(err({"--confidence", level, f}), "--confidence")) << level;
    EXPECT_TRUE(Has(err({"--report", "long", f}), "'long' is not one of text, full"));
    EXPECT_TRUE(Has(err({"--report", "full", "--json", f}), "give one"));
    EXPECT_TRUE(Has(err({"--band", "-", f}), "not -"));
    // a refusal of the relative weights names the point whose y is 0
    std::vector<TPoint> zero;
    for (int i = 0; i < 8; ++i) zero.push_back({static_cast<double>(i), i == 4 ? 0.0 : 1.0 + i});
    EXPECT_TRUE(Has(err({"--weights", "relative", dir.Write("zero.dat", CurveText(zero))}),
                    "point 5: y 0 gives no relative sigma"));
}

TEST(CliFit, BandWritesModelLowerAndUpperAtTheDataPoints) {
    TTempDir dir;
    const auto f = dir.Write("line.dat", LineText());
    const std::string band = (dir / "band.dat").string();
    const auto r = RunCli({"fit", "--term", "polynomial", "--range", "2", "19", "--band", band, f});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto model = Points(ReadFile((dir / "band-model.dat").string()));
    const auto lower = Points(ReadFile((dir / "band-lower.dat").string()));
    const auto upper = Points(ReadFile((dir / "band-upper.dat").string()));
    ASSERT_EQ(model.size(), 18u);
    ASSERT_EQ(lower.size(), 18u);
    ASSERT_EQ(upper.size(), 18u);
    for (size_t i = 0; i < model.size(); ++i) {
        EXPECT_EQ(model[i].x, (i + 1) * 0.5);
        EXPECT_GT(upper[i].y, model[i].y);
        EXPECT_NEAR(upper[i].y - model[i].y, model[i].y - lower[i].y, 1e-9);
    }
    // narrowest near the middle of the data, as a line's band is
    EXPECT_LT(upper[9].y - model[9].y, upper[0].y - model[0].y);
    // a path without an extension takes the suffixes at its end
    const std::string bare = (dir / "b").string();
    ASSERT_EQ(RunCli({"fit", "--term", "polynomial", "--band", bare, f}).status, 0);
    EXPECT_EQ(Points(ReadFile(bare + "-upper")).size(), 20u);
    // a dot that starts the file's name, or one in a folder's name, is no extension
    std::filesystem::create_directory(dir / "d.x");
    for (const std::string& path : {(dir / ".b").string(), (dir / "d.x" / "b").string()}) {
        ASSERT_EQ(RunCli({"fit", "--term", "polynomial", "--band", path, f}).status, 0) << path;
        for (const char* part : {"-model", "-lower", "-upper"})
            EXPECT_EQ(Points(ReadFile(path + part)).size(), 20u) << path << part;
    }
}
