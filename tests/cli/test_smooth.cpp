// smooth spline|spectral|regression and fft.
#include "clirunner.h"

#include <cmath>
#include <gtest/gtest.h>

TEST(CliSmooth, SplineWindowRule) {
    TTempDir dir;
    std::vector<TPoint> zigzag;
    for (int i = 0; i < 13; ++i) zigzag.push_back({double(i), double(i % 2)});
    // the default window is 13 points
    EXPECT_EQ(RunCli({"smooth", "spline", dir.Write("13.dat", CurveText(zigzag))}).status, 0);
    zigzag.pop_back();
    const auto f12 = dir.Write("12.dat", CurveText(zigzag));
    const auto r = RunCli({"smooth", "spline", f12});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "graphmill-cli: smooth spline: spline smoothing over 13 points needs at least 13 points; the "
              "curve has 12.\n");
    EXPECT_EQ(RunCli({"smooth", "spline", "--stiffness", "9", f12}).status, 0);
    EXPECT_EQ(RunCli({"smooth", "spline", "--stiffness", "1000", f12}).status, 1);
}

TEST(CliSmooth, SplineFitsWindowsWithoutCurvature) {
    const auto r =
        RunCli({"smooth", "spline", "--stiffness", "2", "--order", "2", "-"}, "0 0\n1 0\n2 1\n3 2\n4 2\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const auto p = Points(r.out);
    ASSERT_EQ(p.size(), 5u);
    const double want[] = {-0.2, 0.4, 1.0, 1.6, 2.2};
    for (size_t i = 0; i < 5; ++i) EXPECT_NEAR(p[i].y, want[i], 1e-12) << i;
}

TEST(CliSmooth, RegressionAndSpectral) {
    TTempDir dir;
    const auto f = dir.Write("l.dat", CurveText({{0, 1}, {1, 3}, {2, 5}}));
    auto r = RunCli({"smooth", "regression", f});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "Regression results:\na0:  1\na1:  2\n");
    EXPECT_NEAR(Points(r.out)[1].y, 3.0, 1e-12);
    EXPECT_EQ(RunCli({"smooth", "regression", "--order", "0", f}).err, "Regression results:\na0:  3\n");
    // exactly order + 1 points: the standard error divides by zero; points on one x: failure
    r = RunCli({"smooth", "regression", "--order", "2", f});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err.find("Regression results"), std::string::npos);
    r = RunCli({"smooth", "regression", "--order", "3", "-"}, "2 1\n2 3\n2 4\n2 7\n2 9\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    // spectral: "how much" 0 means width 1000, which leaves the points all but unchanged
    EXPECT_NEAR(RunCurve({"smooth", "spectral", "--how-much", "0", f})[1].y, 3.0, 1e-5);
}

TEST(CliFft, MagnitudeAndRoundTrip) {
    TTempDir dir;
    // the magnitude by default
    EXPECT_NEAR(RunCurve({"fft", dir.Write("one.dat", CurveText({{0, 1}, {1, 1}, {2, 1}}))})[2].y, 2.0,
                1e-12);
    // forward real and imaginary parts, then the inverse gives the values back on -L/2..L/2
    std::vector<TPoint> wave;
    for (int i = 0; i < 16; ++i) wave.push_back({double(i), 2.0 + std::sin(i * 0.7)});
    const auto w = dir.Write("w.dat", CurveText(wave));
    const auto re = (dir / "re.dat").string(), im = (dir / "im.dat").string();
    ASSERT_EQ(RunCli({"fft", "--output", "real", w, "-o", re}).status, 0);
    ASSERT_EQ(RunCli({"fft", "--output", "imaginary", w, "-o", im}).status, 0);
    const auto p = RunCurve({"fft", "--inverse", "--imaginary", im, re});
    ASSERT_EQ(p.size(), 16u);
    EXPECT_NEAR(p[0].x, -7.5, 1e-9);
    for (size_t i = 0; i < 16; ++i) EXPECT_NEAR(p[i].y, wave[i].y, 1e-9) << i;
    // A curve the transform cannot take: exit 1 with the reason, for the FFT and spectral smoothing.
    const auto falling = dir.Write("falling.dat", CurveText({{2, 1}, {1, 2}, {0, 3}}));
    for (const auto& command :
         std::vector<std::vector<std::string>>{{"fft", falling}, {"smooth", "spectral", falling}}) {
        const auto r = RunCli(command);
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("rise strictly"), std::string::npos) << r.err;
    }
}
