// The peak and step shapes from type 7 on and the peak figures: derivatives against central differences out
// to the far tails, the Voigt term against a numerical convolution, noisy peaks fitted back, guesses, and
// the figures with their standard errors.
#include "curves/faultguard.h"
#include "fit/Fit2.h"
#include "fit/peakfigures.h"

#include <charconv>
#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double Pi = std::numbers::pi;

TPeak Term(int32_t type, std::vector<double> values) {
    TPeak t = TPeak::Create(type);
    for (size_t k = 0; k < values.size(); ++k) t.value[k + 1] = values[k];
    return t;
}

std::string Describe(const TPeak& t) {
    std::string s = t.TypeName() + " (";
    for (int k = 1; k <= t.nparams; ++k) s += std::to_string(t.value[static_cast<size_t>(k)]) + " ";
    return s + ")";
}

// The term's parameter sets of the derivative test: every shape with narrow and wide widths and its shape
// parameters from one end of their range to the other.
std::vector<TPeak> ShapeGrid() {
    std::vector<TPeak> grid;
    for (double w : {0.3, 1.0, 7.0}) {
        grid.push_back(Term(TPeak::Gaussian, {2.5, 1.0, w}));
        grid.push_back(Term(TPeak::Lorentzian, {2.5, 1.0, w}));
        grid.push_back(Term(TPeak::GausLorentz, {2.5, 1.0, w, 0.3}));
        for (double g : {1e-3, 0.5, 3.0, 200.0}) grid.push_back(Term(TPeak::Voigt, {2.5, 1.0, w, g * w}));
        for (double eta : {0.0, 0.3, 1.0}) grid.push_back(Term(TPeak::PseudoVoigt, {2.5, 1.0, w, eta}));
        for (double m : {0.6, 1.0, 2.5, 50.0, 1e6}) grid.push_back(Term(TPeak::Pearson7, {2.5, 1.0, w, m}));
        for (double r : {0.4, 2.0}) {
            grid.push_back(Term(TPeak::SplitGaussian, {2.5, 1.0, w, r * w}));
            grid.push_back(Term(TPeak::SplitLorentzian, {2.5, 1.0, w, r * w}));
        }
        grid.push_back(Term(TPeak::Logistic, {2.5, 1.0, w}));
        grid.push_back(Term(TPeak::Logistic, {-2.5, 1.0, w}));
        for (double tau : {0.05, 1.0, 10.0}) grid.push_back(Term(TPeak::ExpGaussian, {2.5, 1.0, w, tau * w}));
    }
    // A fronting peak (negative tau), and a Voigt without Gaussian part: the Lorentzian.
    grid.push_back(Term(TPeak::ExpGaussian, {2.5, 1.0, 1.0, -0.7}));
    grid.push_back(Term(TPeak::Voigt, {2.5, 1.0, 0.0, 0.8}));
    return grid;
}

// The scale of parameter k of t: its size, or for the centre the width.
double ParamScale(const TPeak& t, int k) {
    if (k == 2) return std::fabs(t.value[3] != 0.0 ? t.value[3] : t.value[4]);
    return std::max(std::fabs(t.value[static_cast<size_t>(k)]), 0.1);
}

} // namespace

TEST(PeakShapes, DerivativesAreExactOutToTheFarTails) {
    for (const TPeak& t : ShapeGrid()) {
        const double w = ParamScale(t, 2);
        for (double q : {0.0, 0.2, -0.2, 1.0, -1.0, 3.0, -3.0, 10.0, -10.0, 40.0, -40.0, 1e3, -1e3, 1e6, -1e6,
                         1e12, -1e12}) {
            const double x = t.value[2] + q * w;
            TPeak::TParamReals d{};
            const double f = t.ValueAndDerivatives(x, d);
            ASSERT_TRUE(std::isfinite(f)) << Describe(t) << " at " << q;
            EXPECT_EQ(f, t.Value(x)) << Describe(t) << " at " << q;
            for (int k = 1; k <= t.nparams; ++k) {
                const size_t kk = static_cast<size_t>(k);
                ASSERT_TRUE(std::isfinite(d[kk])) << Describe(t) << " parameter " << k << " at " << q;
                // A split peak's curvature jumps at its centre, where a central difference by the centre is
                // off by a term of the step's size: its slope there is 0 from both sides.
                const bool split = t.type == TPeak::SplitGaussian || t.type == TPeak::SplitLorentzian;
                if (split && k == 2 && q == 0.0) {
                    EXPECT_EQ(d[kk], 0.0);
                    continue;
                }
                const double s = ParamScale(t, k), h = 1e-6 * s;
                TPeak up = t.Copy(), down = t.Copy();
                up.value[kk] += h;
                down.value[kk] -= h;
                const double numeric = (up.Value(x) - down.Value(x)) / (2 * h);
                // Relative to the derivative, and beside it to the size it has near the peak.
                const double tolerance = 2e-6 * std::fabs(numeric) + 1e-9 * std::fabs(t.value[1]) / s;
                EXPECT_NEAR(d[kk], numeric, tolerance) << Describe(t) << " parameter " << k << " at " << q;
            }
        }
    }
}

TEST(PeakShapes, ExtremeParametersGiveNoFault) {
    // Widths at their bounds, heights far from 1 and points far out: finite values and derivatives.
    for (int32_t type = TPeak::Voigt; type < TPeak::BuiltInCount; ++type)
        for (double w : {1e-10, 1e10})
            for (double w4 : {1e-10, 1.0, 1e10})
                for (double x : {-1e12, -3.0, 0.0, 1e-9, 5.0, 1e12}) {
                    TPeak t = Term(type, {1e10, 0.0, w, type == TPeak::PseudoVoigt ? 1.0 : w4});
                    TPeak::TParamReals d{};
                    const double f = t.ValueAndDerivatives(x, d);
                    ASSERT_TRUE(std::isfinite(f)) << Describe(t) << " at " << x;
                    for (int k = 1; k <= t.nparams; ++k)
                        ASSERT_TRUE(std::isfinite(d[static_cast<size_t>(k)]))
                            << Describe(t) << " parameter " << k << " at " << x;
                }
    // Zero widths give no peak, and no fault.
    for (int32_t type = TPeak::Voigt; type < TPeak::BuiltInCount; ++type) {
        TPeak t = Term(type, {2.0, 0.0, 0.0, type == TPeak::Pearson7 ? 2.0 : 0.0});
        TPeak::TParamReals d{};
        for (double x : {-1.0, 1.0}) EXPECT_TRUE(std::isfinite(t.ValueAndDerivatives(x, d))) << Describe(t);
        EXPECT_EQ(t.Value(-1.0), 0.0) << Describe(t);
    }
    // The Voigt of no Gaussian part is the Lorentzian, and of no Lorentzian part the Gaussian of that sigma.
    EXPECT_DOUBLE_EQ(Term(TPeak::Voigt, {2, 1, 0, 0.5}).Value(2.0), 2 * 0.2);
    EXPECT_NEAR(Term(TPeak::Voigt, {2, 1, 0.5, 0}).Value(2.0), 2 * std::exp(-2.0), 1e-15);
    // A step without width, and tau 0: the Gaussian.
    EXPECT_EQ(Term(TPeak::Logistic, {3, 1, 0}).Value(1.0), 1.5);
    EXPECT_EQ(Term(TPeak::Logistic, {3, 1, 0}).Value(1.5), 3.0);
    EXPECT_DOUBLE_EQ(Term(TPeak::ExpGaussian, {2, 1, 0.5, 0}).Value(2.0), 2 * std::exp(-2.0));
}

namespace {

// The Voigt profile at x as the convolution of the Gaussian of sigma and the Lorentzian of half width
// gamma, by the trapezoidal rule, which converges geometrically for this integrand over the whole line: with
// a step of gamma/8 its error is e^(-16 pi) of the value.
double Convolution(double x, double sigma, double gamma) {
    const double step = std::min(gamma / 8, sigma / 4), reach = 40 * sigma;
    double sum = 0.0;
    for (double t = -reach; t <= reach; t += step)
        sum += std::exp(-0.5 * t * t / (sigma * sigma)) * gamma / ((x - t) * (x - t) + gamma * gamma);
    return sum * step / (Pi * sigma * std::sqrt(2 * Pi));
}

} // namespace

TEST(PeakShapes, VoigtIsTheConvolutionOfAGaussianAndALorentzian) {
    for (const auto& [sigma, gamma] : {std::pair{1.0, 0.5}, {1.0, 3.0}, {0.4, 0.05}, {2.0, 0.01}}) {
        const TPeak t = Term(TPeak::Voigt, {3.0, 0.0, sigma, gamma});
        const double centre = Convolution(0.0, sigma, gamma);
        for (double x : {0.0, 0.3, -0.9, 2.5, 8.0, 30.0}) {
            const double expected = 3.0 * Convolution(x, sigma, gamma) / centre;
            EXPECT_NEAR(t.Value(x), expected, 1e-10 * expected) << sigma << " " << gamma << " at " << x;
        }
        // Its area is the height over the unit-area profile's maximum.
        TPeakFigures f;
        ASSERT_TRUE(peakfigures::Figures(t, nullptr, f));
        EXPECT_NEAR(f.area.value, 3.0 / centre, 1e-10 * f.area.value);
    }
}

namespace {

struct TCase {
    int32_t type;
    std::vector<double> truth;
    double left, right; // the x range sampled
};

TCurveB Noisy(const TPeak& t, double left, double right, int n, double noise, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> gauss(0.0, noise > 0 ? noise : 1.0);
    TCurveB c;
    for (int i = 0; i < n; ++i) {
        const double x = left + (right - left) * i / (n - 1);
        c.AddPoint(x, t.Value(x) + (noise > 0 ? gauss(rng) : 0.0));
    }
    c.CalcRanges();
    return c;
}

const TCase Cases[] = {
    {TPeak::Gaussian, {4.0, 10.0, 0.8}, 4, 16},
    {TPeak::Lorentzian, {4.0, 10.0, 0.8}, 2, 18},
    {TPeak::GausLorentz, {4.0, 10.0, 0.8, 0.4}, 2, 18},
    {TPeak::Voigt, {4.0, 10.0, 0.6, 0.4}, 2, 18},
    {TPeak::PseudoVoigt, {4.0, 10.0, 0.9, 0.35}, 2, 18},
    {TPeak::Pearson7, {4.0, 10.0, 0.9, 1.8}, 2, 18},
    {TPeak::SplitGaussian, {4.0, 10.0, 0.5, 1.4}, 6, 16},
    {TPeak::SplitLorentzian, {4.0, 10.0, 0.5, 1.4}, 2, 20},
    {TPeak::Logistic, {3.0, 10.0, 0.7}, 4, 16},
    {TPeak::ExpGaussian, {4.0, 10.0, 0.5, 1.5}, 7, 20},
};

} // namespace

TEST(PeakShapes, NoisyPeaksAreFittedBackWithinTheirSigmas) {
    unsigned seed = 11;
    for (const TCase& c : Cases) {
        const TPeak truth = Term(c.type, c.truth);
        const TCurveB data = Noisy(truth, c.left, c.right, 401, 0.02, seed++);
        TFitParamB fit;
        ASSERT_TRUE(fit.SetData(data, 1, data.Count()));
        ASSERT_TRUE(fit.AddTerm(c.type));
        // From the guesses, as "Initialize fit" starts a fit.
        fit.InitialGuesses(data, 1, data.Count());
        const TPeak& t = fit.Term(0);
        EXPECT_NEAR(t.value[2], truth.value[2], 0.5 * std::fabs(truth.value[3]) + 0.2) << Describe(t);
        ASSERT_TRUE(fit.RunFit()) << fit.LastError();
        EXPECT_TRUE(fit.converged) << Describe(t);
        for (int k = 1; k <= t.nparams; ++k) {
            const size_t kk = static_cast<size_t>(k);
            EXPECT_GT(t.sigma[kk], 0.0) << Describe(t) << " parameter " << k;
            EXPECT_NEAR(t.value[kk], truth.value[kk], 4 * t.sigma[kk]) << Describe(t) << " parameter " << k;
        }
        // The figures too, through the covariance of the parameters.
        TPeakFigures expected, fitted;
        const std::vector<double> cov = fit.TermCovariance(0);
        ASSERT_EQ(cov.size(), static_cast<size_t>(t.nparams * t.nparams));
        if (!peakfigures::IsPeakShaped(c.type)) {
            EXPECT_FALSE(peakfigures::Figures(t, cov.data(), fitted));
            continue;
        }
        ASSERT_TRUE(peakfigures::Figures(truth, nullptr, expected));
        ASSERT_TRUE(peakfigures::Figures(t, cov.data(), fitted));
        for (auto figure :
             {&TPeakFigures::centre, &TPeakFigures::height, &TPeakFigures::area, &TPeakFigures::fwhm}) {
            EXPECT_GT((fitted.*figure).sigma, 0.0) << Describe(t);
            EXPECT_NEAR((fitted.*figure).value, (expected.*figure).value, 4 * (fitted.*figure).sigma)
                << Describe(t);
        }
    }
}

TEST(PeakShapes, TermsOfTheModel) {
    // The original seven keep their numbers; the new ones follow, and an unknown type is a polynomial.
    EXPECT_STREQ(TPeak::BuiltInTypeName(TPeak::Tabulated), "Tabulated");
    const char* const names[] = {
        "Voigt",         "Pseudo-Voigt",          "Pearson VII", "Split Gaussian", "Split Lorentzian",
        "Logistic step", "Exp. modified Gaussian"};
    for (int32_t type = TPeak::Voigt; type < TPeak::BuiltInCount; ++type)
        EXPECT_STREQ(TPeak::BuiltInTypeName(type), names[type - TPeak::Voigt]);
    EXPECT_STREQ(TPeak::BuiltInTypeName(TPeak::BuiltInCount), "");
    EXPECT_EQ(TPeak::Create(TPeak::BuiltInCount).type, TPeak::Polynomial);
    const TPeak v = TPeak::Create(TPeak::Voigt);
    EXPECT_EQ(v.nparams, 4);
    EXPECT_EQ(v.ParamName(3), "sigma ");
    EXPECT_EQ(v.ParamName(4), "l.hwhm");
    EXPECT_EQ(v.ParamName(5), "");
    EXPECT_EQ(TPeak::Create(TPeak::Logistic).nparams, 3);
    EXPECT_EQ(TPeak::Create(TPeak::Logistic).ParamName(1), "step  ");
    // Defaults: a peak of height 1 and widths 1 bounded away from 0; the shape parameters in their ranges.
    const TPeak pv = TPeak::Create(TPeak::PseudoVoigt);
    EXPECT_EQ(pv.value[4], 0.5);
    EXPECT_EQ(pv.min[4], 0.0);
    EXPECT_EQ(pv.max[4], 1.0);
    EXPECT_EQ(TPeak::Create(TPeak::Pearson7).min[4], 0.5);
    EXPECT_EQ(TPeak::Create(TPeak::ExpGaussian).min[4], 1e-10);
    EXPECT_EQ(TPeak::Create(TPeak::ExpGaussian).initial[4], 1.0);
    EXPECT_LE(TPeak::Create(TPeak::Logistic).min[1], -1.7e38); // the step is free, either way
    EXPECT_EQ(TPeak::Create(TPeak::SplitGaussian).min[1], 1e-10);
    // Every shape's height parameter is the maximum at the centre (the exponentially modified Gaussian's
    // is the Gaussian's before the tail is added).
    for (int32_t type = TPeak::Voigt; type < TPeak::ExpGaussian; ++type) {
        TPeak t = TPeak::Create(type);
        t.value[1] = 2.5;
        t.value[2] = 3.0;
        EXPECT_NEAR(t.Value(3.0), type == TPeak::Logistic ? 1.25 : 2.5, 1e-15) << t.TypeName();
    }
}

TEST(PeakShapes, MarkedRectangleGuesses) {
    // Pressed at the top (2, 5) and dragged out to the half width: each peak then has its maximum there
    // (a split peak takes the width on both sides).
    for (int32_t type = TPeak::Voigt; type < TPeak::BuiltInCount; ++type) {
        TPeak t = TPeak::Create(type);
        t.TwoPointGuess({2.0, 5.0}, {2.5, 0.5});
        if (type == TPeak::Logistic) {
            // A step takes no marked shape.
            EXPECT_EQ(t.value, TPeak::Create(type).value);
            continue;
        }
        TPeakFigures f;
        ASSERT_TRUE(peakfigures::Figures(t, nullptr, f)) << t.TypeName();
        EXPECT_NEAR(f.centre.value, 2.0, 1e-9) << t.TypeName();
        EXPECT_NEAR(f.height.value, 4.5, 1e-9) << t.TypeName();
        if (type != TPeak::ExpGaussian) {
            EXPECT_NEAR(f.fwhm.value, 1.0, 0.03) << t.TypeName();
        }
    }
    // The exponentially modified Gaussian keeps its tail.
    TPeak emg = Term(TPeak::ExpGaussian, {1, 0, 1, 0.7});
    emg.TwoPointGuess({2.0, 5.0}, {2.5, 0.5});
    EXPECT_EQ(emg.value[4], 0.7);
    EXPECT_NEAR(emg.value[3], 0.5 / std::sqrt(2 * std::log(2.0)), 1e-15);
    // Locked parameters keep their values.
    TPeak t = TPeak::Create(TPeak::SplitLorentzian);
    t.lock[4] = true;
    t.TwoPointGuess({2.0, 5.0}, {1.0, 1.0});
    EXPECT_EQ(t.value[3], 1.0);
    EXPECT_EQ(t.value[4], 1.0);
    t.TwoPointGuess({2.0, 5.0}, {1.5, 1.0});
    EXPECT_EQ(t.value[3], 0.5);
    EXPECT_EQ(t.value[4], 1.0);
}

TEST(PeakShapes, GuessesFromTheData) {
    // A split Lorentzian on points of its own takes its two half widths from the two sides.
    const TPeak truth = Term(TPeak::SplitLorentzian, {3.0, 5.0, 0.5, 2.0});
    TCurveB c = Noisy(truth, 0, 20, 2001, 1e-9, 1);
    TPeak t = TPeak::Create(TPeak::SplitLorentzian);
    t.InitialGuess(c, 1, c.Count(), false);
    EXPECT_NEAR(t.value[1], 3.0, 0.1);
    EXPECT_NEAR(t.value[2], 5.0, 0.01);
    EXPECT_NEAR(t.value[3], 0.5, 0.02);
    EXPECT_NEAR(t.value[4], 2.0, 0.05);
    // With subtract, what is left of the curve is small.
    t.InitialGuess(c, 1, c.Count(), true);
    for (int32_t i = 1; i <= c.Count(); ++i) ASSERT_LT(std::fabs(c.Y(i)), 0.1);
    // A falling step: a negative step, its middle and its width.
    const TPeak step = Term(TPeak::Logistic, {-2.0, 3.0, 0.5});
    c = Noisy(step, -5, 10, 601, 1e-9, 1);
    t = TPeak::Create(TPeak::Logistic);
    t.InitialGuess(c, 1, c.Count(), false);
    EXPECT_NEAR(t.value[1], -2.0, 0.01);
    EXPECT_NEAR(t.value[2], 3.0, 0.02);
    EXPECT_NEAR(t.value[3], 0.5, 0.02);
    // A tailing peak: sigma from its left side, tau from how much wider its right side is, and its maximum
    // on the data's highest point.
    const TPeak tailing = Term(TPeak::ExpGaussian, {3.0, 5.0, 0.4, 1.2});
    c = Noisy(tailing, 0, 20, 2001, 0, 1);
    t = TPeak::Create(TPeak::ExpGaussian);
    t.InitialGuess(c, 1, c.Count(), false);
    EXPECT_NEAR(t.value[3], 0.4, 0.15);
    EXPECT_NEAR(t.value[4], 1.2, 0.6);
    TPeakFigures guessed, made;
    ASSERT_TRUE(peakfigures::Figures(t, nullptr, guessed));
    ASSERT_TRUE(peakfigures::Figures(tailing, nullptr, made));
    EXPECT_NEAR(guessed.centre.value, made.centre.value, 0.01);
    EXPECT_NEAR(guessed.height.value, made.height.value, 1e-3);
    // A range whose ends lie at one level: the step is its spread, not 0 (which would leave x0 and the width
    // without influence).
    c = Noisy(Term(TPeak::Gaussian, {2, 5, 1}), 0, 10, 101, 0, 1);
    t = TPeak::Create(TPeak::Logistic);
    t.InitialGuess(c, 1, c.Count(), false);
    EXPECT_NEAR(t.value[1], 2.0, 1e-5);
    c = Noisy(Term(TPeak::Gaussian, {0, 5, 1}), 0, 10, 101, 0, 1);
    t.InitialGuess(c, 1, c.Count(), false);
    EXPECT_EQ(t.value[1], 1.0);
    // A peak at the range's first point takes the width of its other side; a range of one point width 1;
    // an empty range changes nothing.
    c = Noisy(Term(TPeak::PseudoVoigt, {2, 0, 1, 0}), 0, 8, 81, 1e-12, 1);
    t = TPeak::Create(TPeak::PseudoVoigt);
    t.InitialGuess(c, 1, c.Count(), false);
    EXPECT_NEAR(t.value[3], 1.0, 0.01);
    t.value[3] = 5.0;
    t.InitialGuess(c, 3, 3, false);
    EXPECT_EQ(t.value[3], 1.0);
    EXPECT_EQ(t.value[2], 0.2);
    TPeak untouched = TPeak::Create(TPeak::Voigt);
    untouched.InitialGuess(c, 5, 4, false);
    EXPECT_EQ(untouched.value, TPeak::Create(TPeak::Voigt).value);
}

TEST(PeakFigures, ClosedFormsAndTheirErrors) {
    // A Gaussian of sigma 0.5: fwhm 2 sqrt(2 ln 2) sigma, area amp sigma sqrt(2 pi).
    TPeak g = Term(TPeak::Gaussian, {3.0, 2.0, 0.5});
    // Covariance of amp, x0, sigma with a correlation between amp and sigma.
    const double cov[9] = {0.04, 0.0, 0.003, 0.0, 0.01, 0.0, 0.003, 0.0, 0.0025};
    TPeakFigures f;
    ASSERT_TRUE(peakfigures::Figures(g, cov, f));
    const double k = std::sqrt(2 * Pi);
    EXPECT_NEAR(f.centre.value, 2.0, 1e-12);
    EXPECT_NEAR(f.height.value, 3.0, 1e-12);
    EXPECT_NEAR(f.area.value, 3.0 * 0.5 * k, 1e-12);
    EXPECT_NEAR(f.fwhm.value, 2 * std::sqrt(2 * std::log(2.0)) * 0.5, 1e-12);
    EXPECT_NEAR(f.centre.sigma, 0.1, 1e-9);
    EXPECT_NEAR(f.height.sigma, 0.2, 1e-9);
    // d area = sigma k d amp + amp k d sigma.
    const double da = 0.5 * k, ds = 3.0 * k;
    EXPECT_NEAR(f.area.sigma, std::sqrt(da * da * 0.04 + 2 * da * ds * 0.003 + ds * ds * 0.0025), 1e-8);
    EXPECT_NEAR(f.fwhm.sigma, 2 * std::sqrt(2 * std::log(2.0)) * 0.05, 1e-8);
    // Without a covariance the errors are 0.
    ASSERT_TRUE(peakfigures::Figures(g, nullptr, f));
    EXPECT_EQ(f.area.sigma, 0.0);

    // The pseudo-Voigt's area moves with its Lorentzian fraction.
    TPeak pv = Term(TPeak::PseudoVoigt, {2.0, 0.0, 1.5, 0.25});
    double pvCov[16] = {};
    pvCov[15] = 0.01;
    ASSERT_TRUE(peakfigures::Figures(pv, pvCov, f));
    EXPECT_NEAR(f.area.value, 2 * 1.5 * (0.75 * std::sqrt(Pi / std::log(2.0)) + 0.25 * Pi), 1e-12);
    EXPECT_NEAR(f.area.sigma, 2 * 1.5 * (Pi - std::sqrt(Pi / std::log(2.0))) * 0.1, 1e-8);
    EXPECT_NEAR(f.fwhm.value, 3.0, 1e-12);
    EXPECT_NEAR(f.fwhm.sigma, 0.0, 1e-9);

    // Lorentzian, Gauss-Lorentz, Pearson VII and the split peaks.
    ASSERT_TRUE(peakfigures::Figures(Term(TPeak::Lorentzian, {2, 0, 1.5}), nullptr, f));
    EXPECT_NEAR(f.area.value, 2 * Pi * 1.5, 1e-12);
    EXPECT_NEAR(f.fwhm.value, 3.0, 1e-12);
    ASSERT_TRUE(peakfigures::Figures(Term(TPeak::GausLorentz, {2, 0, 1.5, 0.4}), nullptr, f));
    EXPECT_NEAR(f.area.value, 2 * 1.5 * (0.4 * k + 0.6 * Pi), 1e-12);
    const TPeak gl = Term(TPeak::GausLorentz, {2, 0, 1.5, 0.4});
    EXPECT_NEAR(gl.Value(f.fwhm.value / 2), 1.0, 1e-12);
    ASSERT_TRUE(peakfigures::Figures(Term(TPeak::Pearson7, {2, 0, 1.5, 1.0}), nullptr, f));
    EXPECT_NEAR(f.area.value, 2 * Pi * 1.5, 1e-12); // m = 1 is the Lorentzian
    EXPECT_NEAR(f.fwhm.value, 3.0, 1e-12);
    ASSERT_TRUE(peakfigures::Figures(Term(TPeak::Pearson7, {2, 0, 1.5, 0.5}), nullptr, f));
    EXPECT_EQ(f.area.value, HUGE_VAL);
    ASSERT_TRUE(peakfigures::Figures(Term(TPeak::SplitGaussian, {2, 1, 0.5, 1.5}), nullptr, f));
    EXPECT_NEAR(f.area.value, 2 * 1.0 * std::sqrt(Pi / std::log(2.0)), 1e-12);
    EXPECT_NEAR(f.fwhm.value, 2.0, 1e-12);
    EXPECT_NEAR(f.centre.value, 1.0, 1e-12);
    ASSERT_TRUE(peakfigures::Figures(Term(TPeak::SplitLorentzian, {2, 1, 0.5, 1.5}), nullptr, f));
    EXPECT_NEAR(f.area.value, 2 * Pi, 1e-12);

    // No figures for what is no peak.
    EXPECT_FALSE(peakfigures::Figures(Term(TPeak::Logistic, {1, 0, 1}), nullptr, f));
    EXPECT_FALSE(peakfigures::Figures(TPeak::Create(TPeak::Polynomial, 2), nullptr, f));
    EXPECT_FALSE(peakfigures::Figures(Term(TPeak::Gaussian, {1, 0, 0}), nullptr, f));
    EXPECT_FALSE(peakfigures::Figures(Term(TPeak::Lorentzian, {0, 0, 1}), nullptr, f));
}

TEST(PeakFigures, TailedPeakFromItsSamples) {
    // The exponentially modified Gaussian's maximum lies right of x0 and below the Gaussian's height; its
    // figures agree with a dense sampling and its area is the Gaussian's.
    const TPeak t = Term(TPeak::ExpGaussian, {3.0, 10.0, 0.5, 1.5});
    double best = 0.0, bestX = 0.0;
    std::vector<double> xs;
    for (int i = 0; i <= 550000; ++i) xs.push_back(5.0 + i * 1e-4);
    for (double x : xs)
        if (t.Value(x) > best) best = t.Value(x), bestX = x;
    double left = 0.0, right = 0.0, area = 0.0;
    for (double x : xs) {
        const double v = t.Value(x);
        area += v * 1e-4;
        if (v >= best / 2 && left == 0.0) left = x;
        if (v >= best / 2) right = x;
    }
    TPeakFigures f;
    ASSERT_TRUE(peakfigures::Figures(t, nullptr, f));
    EXPECT_NEAR(f.centre.value, bestX, 2e-4);
    EXPECT_GT(f.centre.value, 10.0);
    EXPECT_NEAR(f.height.value, best, 1e-8);
    EXPECT_LT(f.height.value, 3.0);
    EXPECT_NEAR(f.fwhm.value, right - left, 3e-4);
    EXPECT_NEAR(f.area.value, area, 1e-6);
    EXPECT_NEAR(f.area.value, 3.0 * 0.5 * std::sqrt(2 * Pi), 1e-12);
    // A fronting one is its mirror image.
    TPeakFigures m;
    ASSERT_TRUE(peakfigures::Figures(Term(TPeak::ExpGaussian, {3.0, 10.0, 0.5, -1.5}), nullptr, m));
    EXPECT_NEAR(m.centre.value, 20.0 - f.centre.value, 1e-9);
    EXPECT_NEAR(m.fwhm.value, f.fwhm.value, 1e-9);
}

TEST(PeakFigures, CovarianceOfTheFit) {
    TFitParamB fit;
    const TPeak truth = Term(TPeak::Gaussian, {4.0, 10.0, 0.8});
    const TCurveB data = Noisy(truth, 4, 16, 201, 0.05, 3);
    ASSERT_TRUE(fit.SetData(data, 1, data.Count()));
    fit.AddTerm(TPeak::Polynomial, 0);
    fit.AddTerm(TPeak::Gaussian);
    fit.InitialGuesses(data, 1, data.Count());
    EXPECT_TRUE(fit.Covariance().empty());
    EXPECT_NE(fit.FiguresText().find("   fwhm = "), std::string::npos); // without errors before a fit
    fit.Term(0).lock[1] = true;
    fit.Term(0).value[1] = 0.0;
    ASSERT_TRUE(fit.RunFit());
    // Four parameters: a square symmetric matrix whose diagonal gives the sigmas; the locked offset's row
    // and column are 0.
    const std::vector<double>& cov = fit.Covariance();
    ASSERT_EQ(cov.size(), 16u);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(cov[static_cast<size_t>(i)], 0.0);
        EXPECT_EQ(cov[static_cast<size_t>(4 * i)], 0.0);
        for (int j = 0; j < 4; ++j)
            EXPECT_NEAR(cov[static_cast<size_t>(4 * i + j)], cov[static_cast<size_t>(4 * j + i)],
                        1e-12 * std::fabs(cov[static_cast<size_t>(4 * i + j)]));
    }
    for (int k = 1; k <= 3; ++k) {
        const size_t kk = static_cast<size_t>(k);
        EXPECT_NEAR(std::sqrt(cov[kk * 4 + kk]), fit.Term(1).sigma[kk], 1e-12 * fit.Term(1).sigma[kk]);
    }
    // The Gaussian's block; none for a term that does not exist.
    const std::vector<double> block = fit.TermCovariance(1);
    ASSERT_EQ(block.size(), 9u);
    EXPECT_EQ(block[4], cov[10]);
    EXPECT_EQ(block[5], cov[11]);
    EXPECT_TRUE(fit.TermCovariance(2).empty());
    EXPECT_EQ(fit.TermCovariance(0).size(), 1u);
    // The full text gives the Gaussian's figures, not the polynomial's.
    const std::string text = fit.FullResultText();
    const size_t at = text.find("\nPeak figures:\n#2  Gaussian\n   centre = ");
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_EQ(text.find("#1  Polynomial", at), std::string::npos);
    TPeakFigures f;
    ASSERT_TRUE(peakfigures::Figures(fit.Term(1), block.data(), f));
    char area[64];
    *std::to_chars(area, area + 63, f.area.value).ptr = '\0';
    EXPECT_NE(text.find(std::string("   area = ") + area + " \u00b1 "), std::string::npos) << text;
    // A new preparation forgets the covariance of the last fit.
    ASSERT_TRUE(fit.Prepare());
    EXPECT_TRUE(fit.Covariance().empty());
}

TEST(PeakFigures, DataNearTheLargestDoubles) {
    // Heights near 1e271: their variances lie beyond the doubles. The fit and its figures raise no fault;
    // the errors of height and area are infinite, those of centre and width are not, and a gradient and a
    // covariance far from 1 give an error in full.
    const double big = std::ldexp(1.0, 900);
    const TPeak truth = Term(TPeak::Gaussian, {4.0 * big, 10.0, 0.8});
    const TCurveB data = Noisy(truth, 4, 16, 201, 0.05 * big, 3);
    TFitParamB fit;
    ASSERT_TRUE(fit.SetData(data, 1, data.Count()));
    fit.AddTerm(TPeak::Gaussian);
    fit.Term(0).max[1] = 1e300;
    TFaultGuard guard;
    fit.InitialGuesses(data, 1, data.Count());
    ASSERT_TRUE(fit.RunFit());
    const std::string text = fit.FiguresText();
    EXPECT_EQ(guard.Check(), TArithFault::None);
    const std::vector<double> cov = fit.TermCovariance(0);
    EXPECT_EQ(cov[0], HUGE_VAL);
    TPeakFigures f;
    ASSERT_TRUE(peakfigures::Figures(fit.Term(0), cov.data(), f));
    EXPECT_EQ(f.height.sigma, HUGE_VAL);
    EXPECT_EQ(f.area.sigma, HUGE_VAL);
    EXPECT_NEAR(f.centre.sigma, fit.Term(0).sigma[2], 1e-9 * f.centre.sigma);
    EXPECT_GT(f.fwhm.sigma, 0.0);
    EXPECT_LT(f.fwhm.sigma, 1.0);
    EXPECT_NE(text.find("   height = "), std::string::npos);
    const TPeak g = Term(TPeak::Gaussian, {1e300, 0.0, 1e-300});
    const double tiny[9] = {0, 0, 0, 0, 1e-300, 0, 0, 0, 0};
    ASSERT_TRUE(peakfigures::Figures(g, tiny, f));
    EXPECT_NEAR(f.centre.sigma, 1e-150, 1e-162);
    const double wide[9] = {1e300, 0, 0, 0, 0, 0, 0, 0, 0};
    ASSERT_TRUE(peakfigures::Figures(g, wide, f));
    EXPECT_NEAR(f.height.sigma, 1e150, 1e138);
    EXPECT_NEAR(f.area.sigma, 1e150 * 1e-300 * std::sqrt(2 * Pi), 1e-160);
    EXPECT_EQ(guard.Check(), TArithFault::None);
}
