// Weighted fits, the covariance of a fit's parameters, their confidence intervals and the model's band,
// checked against the weighted normal equations solved in long double on the same data.
#include "fit/Fit2.h"

#include <cmath>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Real = long double;

// a e^(b x) + c: the Exponential term and a Polynomial of order 0.
struct TData {
    TCurveB curve;
    std::vector<double> sigma;
};

TData Decay(int n, unsigned seed) {
    TData d;
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0.0, 1.0);
    for (int i = 0; i < n; ++i) {
        const double x = 4.0 * i / (n - 1);
        const double s = 0.02 * (1 + i % 3) * (1 + x);
        d.curve.AddPoint(x, 3.0 * std::exp(-0.7 * x) + 0.5 + s * noise(rng));
        d.sigma.push_back(s);
    }
    d.curve.CalcRanges();
    return d;
}

void AddModel(TFitParamB& fit) {
    fit.AddTerm(TPeak::Exponential);
    fit.AddTerm(TPeak::Polynomial, 0);
    fit.Term(0).value = {0, 2.5, -0.6};
    fit.Term(1).value = {0, 0.4};
    fit.convergeTest = TConvergeTest::Relative;
}

// The least point of sum ((y - f) / sigma)^2 by Gauss-Newton steps on the normal equations in long double,
// its covariance (J'WJ)^-1, and the sigmas: measured, or scaled by the reduced chi-square.
struct TReference {
    std::array<Real, 3> p{2.5L, -0.6L, 0.4L};
    std::array<std::array<Real, 3>, 3> cov{};
    std::array<Real, 3> sigma{};
};

TReference Solve(const TCurveB& c, const std::vector<double>& sigma, bool measured) {
    TReference r;
    const int n = c.Count();
    for (int iter = 0; iter < 60; ++iter) {
        std::array<std::array<Real, 4>, 3> a{};
        Real chi = 0;
        for (int i = 0; i < n; ++i) {
            const Real x = c.XData()[i], w = 1 / static_cast<Real>(sigma[static_cast<size_t>(i)]);
            const Real e = std::exp(r.p[1] * x);
            const Real res = (c.YData()[i] - (r.p[0] * e + r.p[2])) * w;
            const Real g[3] = {e * w, r.p[0] * x * e * w, w};
            chi += res * res;
            for (int k = 0; k < 3; ++k) {
                a[k][3] += g[k] * res;
                for (int j = 0; j < 3; ++j) a[k][j] += g[k] * g[j];
            }
        }
        // Gauss-Jordan on the 3 x 3 system with the identity beside it for the inverse.
        std::array<std::array<Real, 7>, 3> m{};
        for (int k = 0; k < 3; ++k) {
            for (int j = 0; j < 4; ++j) m[k][j] = a[k][j];
            m[k][4 + k] = 1;
        }
        for (int col = 0; col < 3; ++col) {
            const Real piv = m[col][col];
            for (int j = 0; j < 7; ++j) m[col][j] /= piv;
            for (int row = 0; row < 3; ++row)
                if (row != col) {
                    const Real f = m[row][col];
                    for (int j = 0; j < 7; ++j) m[row][j] -= f * m[col][j];
                }
        }
        for (int k = 0; k < 3; ++k) {
            r.p[k] += m[k][3];
            for (int j = 0; j < 3; ++j) r.cov[k][j] = m[k][4 + j] * (measured ? 1 : chi / (n - 3));
        }
        for (int k = 0; k < 3; ++k) r.sigma[k] = std::sqrt(r.cov[k][k]);
    }
    return r;
}

void ExpectDigits(double v, Real ref, double digits, const std::string& what) {
    EXPECT_LE(std::fabs(v - ref), std::pow(10.0, -digits) * std::fabs(ref))
        << what << ": " << v << " vs " << static_cast<double>(ref);
}

// The engine's parameter values in the reference's order.
std::array<double, 3> Values(const TFitParamB& fit) {
    return {fit.Term(0).value[1], fit.Term(0).value[2], fit.Term(1).value[1]};
}
std::array<double, 3> Sigmas(const TFitParamB& fit) {
    return {fit.Term(0).sigma[1], fit.Term(0).sigma[2], fit.Term(1).sigma[1]};
}

} // namespace

TEST(FitWeights, AgreeWithTheNormalEquationsInLongDouble) {
    // Each weighting on a small set and, with measured sigmas, on one past a stretch of the parallel sums
    // (32768 points), so that the weights follow the points into every stretch.
    for (const int n : {60, 40000}) {
        const TData d = Decay(n, 7);
        for (const TWeighting w : {TWeighting::Sigma, TWeighting::Poisson, TWeighting::Relative}) {
            if (n > 60 && w != TWeighting::Sigma) continue;
            std::vector<double> sigma = d.sigma;
            for (int i = 0; i < n; ++i) {
                const double y = d.curve.YData()[i];
                if (w == TWeighting::Poisson)
                    sigma[static_cast<size_t>(i)] = std::sqrt(std::max(std::fabs(y), 1.0));
                if (w == TWeighting::Relative) sigma[static_cast<size_t>(i)] = std::fabs(y);
            }
            TFitParamB fit;
            ASSERT_TRUE(fit.SetData(d.curve, 1, n));
            std::string error;
            ASSERT_TRUE(fit.SetWeights(w, w == TWeighting::Sigma ? d.sigma : std::vector<double>{}, &error))
                << error;
            AddModel(fit);
            ASSERT_TRUE(fit.RunFit());
            ASSERT_EQ(fit.Status(), TFitStatus::Converged) << WeightingName(w);
            const TReference ref = Solve(d.curve, sigma, MeasuredSigmas(w));
            const auto v = Values(fit), s = Sigmas(fit);
            const std::string what = std::string(WeightingName(w)) + " " + std::to_string(n);
            for (int k = 0; k < 3; ++k) {
                ExpectDigits(v[static_cast<size_t>(k)], ref.p[k], 10, what + " value");
                ExpectDigits(s[static_cast<size_t>(k)], ref.sigma[k], 10, what + " sigma");
                for (int j = 0; j < 3; ++j)
                    ExpectDigits(fit.Covariance()[static_cast<size_t>(k * 3 + j)], ref.cov[k][j], 9,
                                 what + " covariance");
            }
        }
    }
}

TEST(FitWeights, CovarianceIsSymmetricPositiveDefiniteAndSkipsLockedParameters) {
    const TData d = Decay(50, 3);
    TFitParamB fit;
    ASSERT_TRUE(fit.SetData(d.curve, 1, 50));
    ASSERT_TRUE(fit.SetWeights(TWeighting::Sigma, d.sigma));
    AddModel(fit);
    fit.AddTerm(TPeak::Polynomial, 1);
    fit.Term(2).value = {0, 0.0, 0.01};
    fit.Term(2).lock[1] = true; // its offset would repeat term 2's
    ASSERT_TRUE(fit.RunFit());
    ASSERT_EQ(fit.FreeParams().size(), 4u);
    EXPECT_EQ(fit.FreeParams()[3].term, 2);
    EXPECT_EQ(fit.FreeParams()[3].k, 2);
    const std::vector<double> c = fit.FreeCovariance();
    ASSERT_EQ(c.size(), 16u);
    // The covariance over all five parameters holds the same with the locked one's row and column 0.
    const std::vector<double>& all = fit.Covariance();
    ASSERT_EQ(all.size(), 25u);
    for (size_t i = 0, fi = 0; i < 5; ++i) {
        for (size_t j = 0, fj = 0; j < 5; ++j) {
            const double expected = i == 3 || j == 3 ? 0.0 : c[fi * 4 + fj];
            EXPECT_EQ(all[i * 5 + j], expected) << i << " " << j;
            if (j != 3) ++fj;
        }
        if (i != 3) ++fi;
    }
    // Cholesky succeeds: positive definite.
    std::array<double, 16> l{};
    for (int j = 0; j < 4; ++j) {
        double s = c[static_cast<size_t>(j * 4 + j)];
        for (int k = 0; k < j; ++k)
            s -= l[static_cast<size_t>(j * 4 + k)] * l[static_cast<size_t>(j * 4 + k)];
        ASSERT_GT(s, 0.0);
        l[static_cast<size_t>(j * 4 + j)] = std::sqrt(s);
        for (int i = j + 1; i < 4; ++i) {
            double t = c[static_cast<size_t>(i * 4 + j)];
            for (int k = 0; k < j; ++k)
                t -= l[static_cast<size_t>(i * 4 + k)] * l[static_cast<size_t>(j * 4 + k)];
            l[static_cast<size_t>(i * 4 + j)] = t / l[static_cast<size_t>(j * 4 + j)];
        }
    }
    const std::vector<double> r = fit.Correlation();
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(r[static_cast<size_t>(i * 5)], 1.0);
        for (int j = 0; j < 4; ++j) {
            EXPECT_EQ(c[static_cast<size_t>(i * 4 + j)], c[static_cast<size_t>(j * 4 + i)]);
            EXPECT_LE(std::fabs(r[static_cast<size_t>(i * 4 + j)]), 1.0);
        }
    }
    EXPECT_DOUBLE_EQ(std::sqrt(c[15]), fit.Term(2).sigma[2]);
    EXPECT_EQ(fit.Term(2).sigma[1], 0.0);
    EXPECT_EQ(fit.DegreesOfFreedom(), 46);
}

TEST(FitWeights, UnitSigmasGiveTheUnweightedFitWithUnscaledSigmas) {
    const TData d = Decay(40, 11);
    TFitParamB plain, unit;
    for (TFitParamB* f : {&plain, &unit}) {
        ASSERT_TRUE(f->SetData(d.curve, 1, 40));
        AddModel(*f);
    }
    ASSERT_TRUE(unit.SetWeights(TWeighting::Sigma, std::vector<double>(40, 1.0)));
    // (The relative test measures steps against the sigmas, which differ in meaning here.)
    plain.convergeTest = unit.convergeTest = TConvergeTest::ChiSquareChange;
    ASSERT_TRUE(plain.RunFit());
    ASSERT_TRUE(unit.RunFit());
    const double scaleBy = std::sqrt(plain.ReducedChiSquare());
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(Values(plain)[static_cast<size_t>(k)], Values(unit)[static_cast<size_t>(k)]);
        EXPECT_NEAR(Sigmas(plain)[static_cast<size_t>(k)], Sigmas(unit)[static_cast<size_t>(k)] * scaleBy,
                    1e-12 * Sigmas(plain)[static_cast<size_t>(k)]);
    }
    // The unweighted result text says nothing of weights; the weighted one says how its sigmas are meant.
    EXPECT_EQ(plain.ResultText().find("Weights"), std::string::npos);
    EXPECT_NE(unit.ResultText().find("Weights: sigma; parameter sigmas from the measured sigmas."),
              std::string::npos);
    EXPECT_NE(plain.FullResultText().find("Weights: none; parameter sigmas scaled by the reduced chi-square"),
              std::string::npos);
}

TEST(FitWeights, BadSigmasAreRefusedNamingThePoint) {
    const TData d = Decay(20, 5);
    TFitParamB fit;
    // The data start at the curve's point 3: errors number points as the curve does.
    ASSERT_TRUE(fit.SetData(d.curve, 3, 20));
    ASSERT_TRUE(fit.SetWeights(TWeighting::Poisson));
    std::string error;
    for (const double bad : {0.0, -0.1, std::nan(""), HUGE_VAL, 1e-320}) {
        std::vector<double> s(18, 0.1);
        s[4] = bad;
        EXPECT_FALSE(fit.SetWeights(TWeighting::Sigma, s, &error)) << bad;
        EXPECT_NE(error.find("point 7: sigma "), std::string::npos) << error;
        EXPECT_EQ(fit.Weighting(), TWeighting::Poisson); // as it was
    }
    EXPECT_FALSE(fit.SetWeights(TWeighting::Sigma, std::vector<double>(17, 0.1), &error));
    EXPECT_EQ(error, "17 sigmas for 18 data points");
    // the smallest sigma whose weight is a number is taken
    std::vector<double> s(18, 0.1);
    s[0] = 1e-300;
    EXPECT_TRUE(fit.SetWeights(TWeighting::Sigma, s, &error)) << error;
    // relative: a y of 0 has no sigma
    TCurveB zero = d.curve;
    zero.SetXY(10, zero.XData()[9], 0.0);
    ASSERT_TRUE(fit.SetData(zero, 1, 20));
    EXPECT_EQ(fit.Weighting(), TWeighting::None); // new data, no weights
    EXPECT_FALSE(fit.SetWeights(TWeighting::Relative, {}, &error));
    EXPECT_EQ(error, "point 10: y 0 gives no relative sigma (|y| is not positive)");
    // Poisson's sigma is at least 1, so a y of 0 is no trouble
    EXPECT_TRUE(fit.SetWeights(TWeighting::Poisson, {}, &error));
    EXPECT_DOUBLE_EQ(fit.PointSigma(9), 1.0);
    EXPECT_DOUBLE_EQ(fit.PointSigma(0), std::sqrt(std::max(std::fabs(zero.YData()[0]), 1.0)));
}

TEST(FitWeights, SigmasOfARangeComeFromASigmaCurveOrTheCurve) {
    TCurveB data = Decay(10, 1).curve, sigmas;
    for (int i = 1; i <= 10; ++i) sigmas.AddPoint(i, 0.1 * i);
    std::vector<double> s;
    std::string error;
    EXPECT_FALSE(SigmasOfRange(data, nullptr, 2, 9, s, error));
    EXPECT_EQ(error, "the data carry no sigmas; choose a curve of sigmas");
    ASSERT_TRUE(SigmasOfRange(data, &sigmas, 2, 9, s, error));
    ASSERT_EQ(s.size(), 8u);
    EXPECT_DOUBLE_EQ(s.front(), 0.2);
    EXPECT_DOUBLE_EQ(s.back(), 0.9);
    // a range of one point has its one sigma; a reversed range none
    ASSERT_TRUE(SigmasOfRange(data, &sigmas, 4, 4, s, error));
    EXPECT_EQ(s, std::vector<double>{0.4});
    EXPECT_FALSE(SigmasOfRange(data, &sigmas, 5, 4, s, error));
    EXPECT_FALSE(SigmasOfRange(data, &sigmas, 0, 4, s, error));
    EXPECT_FALSE(SigmasOfRange(data, &sigmas, 1, 11, s, error));
    sigmas.AddPoint(11, 1.1);
    EXPECT_FALSE(SigmasOfRange(data, &sigmas, 2, 9, s, error));
    EXPECT_NE(error.find("11 points and the data 10"), std::string::npos);
    data.EnableSigma();
    for (int i = 1; i <= 10; ++i) data.SetSigma(i, 0.01 * i);
    ASSERT_TRUE(SigmasOfRange(data, nullptr, 1, 10, s, error));
    EXPECT_DOUBLE_EQ(s[9], 0.1);
}

TEST(FitWeights, IntervalsWidenByTheTQuantileAndTheBandFollowsTheCovariance) {
    // A straight line: the band's half width at x is t sqrt(var a + 2 x cov ab + x^2 var b).
    TCurveB line;
    for (int i = 0; i < 12; ++i) line.AddPoint(i, 1.0 + 0.5 * i + (i % 2 ? 0.1 : -0.1) * (1 + i % 3));
    line.CalcRanges();
    TFitParamB fit;
    ASSERT_TRUE(fit.SetData(line, 1, 12));
    fit.AddTerm(TPeak::Polynomial, 1);
    ASSERT_TRUE(fit.RunFit());
    ASSERT_EQ(fit.DegreesOfFreedom(), 10);
    // Student's t for 10 degrees of freedom: 2.228138851986 at 95 %, 3.169272672617 at 99 %.
    EXPECT_NEAR(fit.TQuantile(), 2.228138851986, 1e-11);
    double low = 0, high = 0;
    fit.ConfidenceInterval(0, 2, low, high);
    EXPECT_NEAR(high - fit.Term(0).value[2], 2.228138851986 * fit.Term(0).sigma[2], 1e-12);
    EXPECT_NEAR(fit.Term(0).value[2] - low, high - fit.Term(0).value[2], 1e-15);
    fit.confidence = 99;
    EXPECT_NEAR(fit.TQuantile(), 3.169272672617, 1e-11);
    for (const double bad : {0.0, 100.0, -5.0, std::nan("")}) {
        fit.confidence = bad;
        EXPECT_TRUE(std::isnan(fit.TQuantile())) << bad;
    }
    fit.confidence = 95;
    const auto& c = fit.Covariance();
    TCurveB model, lower, upper;
    ASSERT_TRUE(fit.BandAtDataPoints(model, lower, upper));
    ASSERT_EQ(model.Count(), 12);
    for (int i = 1; i <= 12; ++i) {
        const double x = line.XData()[i - 1];
        const double half = fit.TQuantile() * std::sqrt(c[0] + 2 * x * c[1] + x * x * c[3]);
        EXPECT_NEAR(upper.YData()[i - 1] - model.YData()[i - 1], half, 1e-12);
        EXPECT_NEAR(model.YData()[i - 1] - lower.YData()[i - 1], half, 1e-12);
        EXPECT_EQ(lower.XData()[i - 1], x);
        double m = 0, h = 0;
        ASSERT_TRUE(fit.BandAt(x, m, h));
        EXPECT_NEAR(h, half, 1e-12);
        EXPECT_NEAR(m, model.YData()[i - 1], 1e-12);
    }
    // Before a fit has finished there is no band.
    fit.Prepare();
    EXPECT_FALSE(fit.BandAtDataPoints(model, lower, upper));
}

TEST(FitWeights, CorrelationMatrixTextKeepsItsColumnsApart) {
    // A symmetric peak on an offset: its centre is uncorrelated with the rest to rounding, numbers like
    // -5.279e-08 that fill a whole column. Each row reads back as its label and one number per column.
    TCurveB peak;
    for (int i = 0; i <= 60; ++i) {
        const double x = i * 0.2;
        peak.AddPoint(x, 3 * std::exp(-0.5 * std::pow((x - 6) / 1.1, 2)) + 0.5 + (i % 3 - 1) * 0.01);
    }
    peak.CalcRanges();
    TFitParamB fit;
    ASSERT_TRUE(fit.SetData(peak, 1, peak.Count()));
    fit.AddTerm(TPeak::Gaussian);
    fit.AddTerm(TPeak::Polynomial, 0);
    fit.InitialGuesses(peak, 1, peak.Count());
    ASSERT_TRUE(fit.RunFit());
    const std::string text = fit.ConfidenceText();
    const size_t at = text.find("Correlation matrix of the free parameters:\n");
    ASSERT_NE(at, std::string::npos) << text;
    std::istringstream lines(text.substr(at));
    std::string line;
    std::getline(lines, line);
    std::getline(lines, line); // the column numbers, right-aligned in columns of 11 after the labels' 14
    EXPECT_EQ(line, std::string(14, ' ') + "          1          2          3          4");
    const std::vector<double> r = fit.Correlation();
    for (size_t i = 0; i < 4; ++i) {
        ASSERT_TRUE(std::getline(lines, line));
        EXPECT_EQ(line.size(), 14u + 4 * 11) << line;
        std::istringstream numbers(line.substr(14));
        std::vector<double> row;
        for (std::string word; numbers >> word;) {
            size_t used = 0;
            row.push_back(std::stod(word, &used));
            EXPECT_EQ(used, word.size()) << line; // one number to a word
        }
        ASSERT_EQ(row.size(), 4u) << line;
        for (size_t j = 0; j < 4; ++j)
            EXPECT_NEAR(row[j], r[i * 4 + j], 1e-3 * std::fabs(r[i * 4 + j])) << line;
    }
}
