// The Fourier transform of a curve.
#include "opscurves.h"

#include <cmath>
#include <complex>
#include <numbers>

namespace {
constexpr double Pi = std::numbers::pi;
} // namespace

TEST(OpsFFT, ConstantAndDirectSum) {
    TCurveB c = Make({{0, 1}, {1, 1}, {2, 1}});
    ASSERT_TRUE(c.FFT(nullptr, 1, TCurveB::FFTMagnitude)); // N = 4
    ExpectPoints(c, {{-Pi / 2, 0}, {-Pi / 6, 0}, {Pi / 6, 2}, {Pi / 2, 0}}, 1e-14);
    EXPECT_EQ(c.XMax, c.X(4));
    EXPECT_FALSE(c.Saved);
    TCurveB eight = Make({{0, 0}, {0.5, 1}, {2, 4}}); // h = 0.5: 5 samples, N = 8
    EXPECT_TRUE(eight.FFT(nullptr, 1, TCurveB::FFTReal) && eight.Count() == 8);

    // Samples at 0, 2/3, 4/3, 2 in slots (k + 2) mod 4; point i shows slot (i + 1) mod 4 over 1/sqrt(4).
    const TCurveB d = Make({{0, 1}, {1, 4}, {2, -2}});
    const double samples[] = {1, 3, 2, -2};
    TCurveB out[4] = {d, d, d, d};
    for (int mode = 1; mode <= 3; ++mode) ASSERT_TRUE(out[mode].FFT(nullptr, 1, mode));
    ASSERT_TRUE(out[0].FFT(nullptr, -1, TCurveB::FFTImaginary));
    for (int i = 1; i <= 4; ++i) {
        std::complex<double> H = 0;
        for (int k = 0; k < 4; ++k)
            H += samples[k] * std::polar(0.5, 2 * Pi * ((k + 2) % 4) * ((i + 1) % 4) / 4);
        EXPECT_NEAR(out[1].Y(i), H.real(), 1e-12) << i;
        EXPECT_NEAR(out[2].Y(i), H.imag(), 1e-12) << i;
        EXPECT_NEAR(out[3].Y(i), std::abs(H), 1e-12) << i;
        EXPECT_NEAR(out[0].Y(i), -H.imag(), 1e-12) << i; // the inverse direction conjugates
    }
}

TEST(OpsFFT, RefusedInputsLeaveTheCurve) {
    for (TCurveB c : {Make({{0, 1}, {1, 2}, {1, 3}}), Make({{0, 1}, {2, 2}, {1, 3}}), Make({{0, 1}}),
                      Make({{0, 1}, {1e-11, 2}, {1, 3}})}) {
        EXPECT_FALSE(c.FFT(nullptr, 1, TCurveB::FFTMagnitude));
        EXPECT_EQ(c.Y(1), 1.0);
        EXPECT_TRUE(c.Saved);
    }
    TCurveB ok = Make({{0, 1}, {1, 2}, {2, 3}});
    EXPECT_FALSE(ok.FFT(nullptr, 0, TCurveB::FFTMagnitude) || ok.FFT(nullptr, 1, 4));
    TCurveB big = Sampled(0, 19999, 20000, [](double x) { return x; }); // N would be 32768
    EXPECT_FALSE(big.FFT(nullptr, 1, TCurveB::FFTMagnitude));
    big.SetCount(16384); // the largest transform
    big.CalcRanges();
    ASSERT_TRUE(big.FFT(nullptr, 1, TCurveB::FFTMagnitude));
    EXPECT_EQ(big.Count(), 16384);
}

TEST(OpsFFT, ForwardThenInverseRoundTrip) {
    // 64 even points on 0..10: N = 64, so the resampling adds no error.
    const TCurveB src = Sampled(0, 10, 64, [](double x) { return 2 + std::sin(x) + 0.3 * std::cos(3 * x); });
    TCurveB re = src, im = src;
    ASSERT_TRUE(re.FFT(nullptr, 1, TCurveB::FFTReal));
    ASSERT_TRUE(im.FFT(nullptr, 1, TCurveB::FFTImaginary));
    EXPECT_NEAR(re.X(1), -Pi / 10, 1e-14);
    ASSERT_TRUE(re.FFT(&im, -1, TCurveB::FFTMagnitude));
    ASSERT_EQ(re.Count(), 64);
    EXPECT_NEAR(re.XMin, -5.0, 1e-12);
    for (int i = 1; i <= 64; ++i) {
        EXPECT_NEAR(re.X(i), src.X(i) - 5, 1e-12);
        EXPECT_NEAR(re.Y(i), src.Y(i), 1e-9) << i;
    }
}
