// The Fourier transform of a curve.
#include "curves/curvesb.h"

#include <cmath>
#include <complex>
#include <gtest/gtest.h>
#include <numbers>

namespace {
constexpr double Pi = std::numbers::pi;

TCurveB Make(std::initializer_list<TXYPoint> pts) {
    TCurveB c;
    for (const auto& p : pts) c.AddPoint(p.x, p.y);
    c.CalcRanges();
    c.Saved = true;
    return c;
}

TCurveB Even(int32_t n, double x0, double dx, double (*f)(double)) {
    TCurveB c;
    for (int32_t i = 0; i < n; ++i) c.AddPoint(x0 + i * dx, f(x0 + i * dx));
    c.CalcRanges();
    return c;
}
} // namespace

TEST(OpsFFT, ConstantGivesTheZeroFrequencyPoint) {
    TCurveB c = Make({{0, 1}, {1, 1}, {2, 1}});
    c.Comment = "const";
    ASSERT_TRUE(c.FFT(nullptr, 1, TCurveB::FFTMagnitude));
    ASSERT_EQ(c.Count(), 4);
    const double xs[] = {-Pi / 2, -Pi / 6, Pi / 6, Pi / 2};
    const double ys[] = {0, 0, 2, 0};
    for (int i = 1; i <= 4; ++i) {
        EXPECT_NEAR(c.X(i), xs[i - 1], 1e-14);
        EXPECT_NEAR(c.Y(i), ys[i - 1], 1e-14);
    }
    EXPECT_EQ(c.XMin, c.X(1));
    EXPECT_EQ(c.XMax, c.X(4));
    EXPECT_NEAR(c.YMax, 2.0, 1e-14);
    EXPECT_EQ(c.Comment, "const");
    EXPECT_FALSE(c.Saved);
}

TEST(OpsFFT, LengthAndSampling) {
    // x = 0, 0.5, 2: h = 0.5 gives 5 samples and N = 8.
    TCurveB c = Make({{0, 0}, {0.5, 1}, {2, 4}});
    ASSERT_TRUE(c.FFT(nullptr, 1, TCurveB::FFTReal));
    EXPECT_EQ(c.Count(), 8);
    EXPECT_NEAR(c.X(1), -Pi / 2, 1e-14);

    // Against a direct sum: samples at 0, 2/3, 4/3, 2 (linear interpolation), slot (k + N/2) mod N,
    // H(m) = sum h(k) exp(2 pi i k m / N) / sqrt(N), point i showing slot (N/2 + i - 1) mod N.
    TCurveB d = Make({{0, 1}, {1, 4}, {2, -2}});
    const double samples[] = {1, 3, 2, -2};
    std::complex<double> h[4];
    for (int k = 0; k < 4; ++k) h[(k + 2) % 4] = samples[k];
    TCurveB re = d, im = d, mag = d;
    ASSERT_TRUE(re.FFT(nullptr, 1, TCurveB::FFTReal));
    ASSERT_TRUE(im.FFT(nullptr, 1, TCurveB::FFTImaginary));
    ASSERT_TRUE(mag.FFT(nullptr, 1, TCurveB::FFTMagnitude));
    for (int i = 1; i <= 4; ++i) {
        const int m = (2 + i - 1) % 4;
        std::complex<double> H = 0;
        for (int k = 0; k < 4; ++k) H += h[k] * std::polar(1.0, 2 * Pi * k * m / 4);
        H /= 2.0;
        EXPECT_NEAR(re.Y(i), H.real(), 1e-12) << i;
        EXPECT_NEAR(im.Y(i), H.imag(), 1e-12) << i;
        EXPECT_NEAR(mag.Y(i), std::abs(H), 1e-12) << i;
    }
    // The inverse direction conjugates: the imaginary part of a real input changes sign.
    TCurveB inv = d;
    ASSERT_TRUE(inv.FFT(nullptr, -1, TCurveB::FFTImaginary));
    for (int i = 1; i <= 4; ++i) EXPECT_NEAR(inv.Y(i), -im.Y(i), 1e-12);
}

TEST(OpsFFT, RefusedInputsLeaveTheCurve) {
    const TCurveB bad[] = {
        Make({{0, 1}, {1, 2}, {1, 3}}),                // repeated x
        Make({{0, 1}, {2, 2}, {1, 3}}),                // a descending pair
        Make({{0, 1}}),                                // one point
        Even(20000, 0, 1, [](double x) { return x; }), // N = 32768
        Make({{0, 1}, {1e-11, 2}, {1, 3}}),            // spacing below 1e-10
    };
    for (const TCurveB& b : bad) {
        TCurveB c = b;
        c.Saved = true;
        EXPECT_FALSE(c.FFT(nullptr, 1, TCurveB::FFTMagnitude));
        ASSERT_EQ(c.Count(), b.Count());
        EXPECT_EQ(c.Y(c.Count()), b.Y(b.Count()));
        EXPECT_TRUE(c.Saved);
    }
    TCurveB ok = Make({{0, 1}, {1, 2}, {2, 3}});
    EXPECT_FALSE(ok.FFT(nullptr, 0, TCurveB::FFTMagnitude));
    EXPECT_FALSE(ok.FFT(nullptr, 1, 4));
    EXPECT_EQ(ok.Count(), 3);
    // The largest transform: 16384 points.
    TCurveB big = Even(16384, 0, 1, [](double x) { return std::sin(x); });
    ASSERT_TRUE(big.FFT(nullptr, 1, TCurveB::FFTMagnitude));
    EXPECT_EQ(big.Count(), 16384);
}

TEST(OpsFFT, ForwardThenInverseRoundTrip) {
    // A non-negative curve on 0..10 with 64 even points (N = 64, no resampling error).
    const TCurveB src =
        Even(64, 0, 10.0 / 63, [](double x) { return 2 + std::sin(x) + 0.3 * std::cos(3 * x); });
    TCurveB re = src, im = src;
    ASSERT_TRUE(re.FFT(nullptr, 1, TCurveB::FFTReal));
    ASSERT_TRUE(im.FFT(nullptr, 1, TCurveB::FFTImaginary));
    EXPECT_NEAR(re.X(1), -Pi / 10, 1e-14);
    ASSERT_TRUE(re.FFT(&im, -1, TCurveB::FFTMagnitude));
    ASSERT_EQ(re.Count(), 64);
    EXPECT_NEAR(re.XMin, -5.0, 1e-12);
    EXPECT_NEAR(re.XMax, 5.0, 1e-12);
    for (int i = 1; i <= 64; ++i) {
        EXPECT_NEAR(re.X(i), src.X(i) - 5, 1e-12);
        EXPECT_NEAR(re.Y(i), src.Y(i), 1e-9) << i;
    }
}
