// Terms of the fit model: defaults, values, derivatives, tabulated curves and initial guesses.
#include "curves/faultguard.h"
#include "fit/Fit1.h"
#include "opscurves.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>
#include <utility>

namespace {

constexpr double Pi = std::numbers::pi;

// Central differences of the term's value with respect to each parameter against its analytic derivatives.
void ExpectDerivatives(const TPeak& term, double x) {
    TPeak::TParamReals d{};
    term.ValueAndDerivatives(x, d);
    for (int k = 1; k <= term.nparams; ++k) {
        TPeak lo = term.Copy(), hi = term.Copy();
        const double h = 1e-6 * std::max(1.0, std::fabs(term.value[static_cast<size_t>(k)]));
        lo.value[static_cast<size_t>(k)] -= h;
        hi.value[static_cast<size_t>(k)] += h;
        const double fd = (hi.Value(x) - lo.Value(x)) / (2 * h);
        EXPECT_NEAR(d[static_cast<size_t>(k)], fd, 1e-5 * std::max(1.0, std::fabs(fd)))
            << term.TypeName() << " parameter " << k << " at x = " << x;
    }
}

} // namespace

TEST(FitModel, ValueRules) {
    TPeak g = TPeak::Create(TPeak::Gaussian);
    g.value = {0, 2.0, 1.0, 0.5};
    EXPECT_DOUBLE_EQ(g.Value(1.5), 2.0 * std::exp(-0.5 * 1.0 * 1.0));
    EXPECT_EQ(g.Value(1.0 + 0.5 * 64), 0.0); // exponent below -2000
    g.value[3] = 0.0;
    EXPECT_EQ(g.Value(1.0), -200000.0);
    EXPECT_EQ(g.Value(7.0), -200000.0);

    TPeak l = TPeak::Create(TPeak::Lorentzian);
    l.value = {0, 3.0, 0.0, 2.0};
    EXPECT_DOUBLE_EQ(l.Value(2.0), 1.5);
    l.value[3] = 0.0;
    EXPECT_EQ(l.Value(2.0), 0.0);

    TPeak e = TPeak::Create(TPeak::Exponential);
    e.value = {0, 2.0, 1.5};
    EXPECT_EQ(e.Value(100.0), 2e40);
    EXPECT_EQ(e.Value(-100.0), 0.0);
    EXPECT_DOUBLE_EQ(e.Value(1.0), 2.0 * std::exp(1.5));

    TPeak s = TPeak::Create(TPeak::Sinusoidal);
    s.value = {0, 2.0, 3.0, 0.5};
    EXPECT_DOUBLE_EQ(s.Value(0.7), 2.0 * std::sin(3.0 * 0.7 - 0.5));

    // Polynomial orders stop at 8; a locked parameter ignores SetValue.
    EXPECT_EQ(TPeak::Create(TPeak::Polynomial, 12).nparams, 9);
    TPeak p = TPeak::Create(TPeak::Polynomial, 2);
    p.value = {0, 1.0, -2.0, 0.5};
    p.lock[2] = true;
    p.SetValue(2, 9.0);
    p.SetValue(1, 9.0);
    EXPECT_EQ(p.value[2], -2.0);
    EXPECT_EQ(p.value[1], 9.0);
}

TEST(FitModel, DerivativesMatchFiniteDifferences) {
    std::vector<TPeak> terms;
    TPeak t = TPeak::Create(TPeak::Polynomial, 4);
    t.value = {0, 0.5, -1.2, 0.3, 0.07, -0.01};
    terms.push_back(t);
    for (int type : {TPeak::Gaussian, TPeak::Lorentzian, TPeak::GausLorentz}) {
        t = TPeak::Create(type);
        t.value = {0, 2.5, 0.4, 0.8, 0.3};
        terms.push_back(t);
    }
    t = TPeak::Create(TPeak::Sinusoidal);
    t.value = {0, 1.5, 2.2, 0.7};
    terms.push_back(t);
    t = TPeak::Create(TPeak::Exponential);
    t.value = {0, 1.3, -0.6};
    terms.push_back(t);
    t = TPeak::Create(TPeak::Tabulated);
    t.SetTabulatedSource(Sampled(-3, 3, 13, [](double x) { return x * x; }));
    t.value[1] = 2.0;
    terms.push_back(t);
    for (const TPeak& term : terms)
        for (double x : {-1.3, -0.2, 0.4, 0.9, 2.1}) ExpectDerivatives(term, x);
}

TEST(FitModel, ZeroWidthDerivativesRaiseNoFault) {
    for (int type : {TPeak::Gaussian, TPeak::Lorentzian, TPeak::GausLorentz}) {
        TPeak t = TPeak::Create(type);
        t.value[3] = 0.0;
        TPeak::TParamReals d{};
        TFaultGuard guard;
        const double v = t.ValueAndDerivatives(0.5, d);
        FaultBarrier(d);
        FaultBarrier(v);
        EXPECT_EQ(guard.Check(), TArithFault::None) << t.TypeName();
        EXPECT_EQ(d[2], 0.0);
        EXPECT_EQ(d[3], 0.0);
        EXPECT_EQ(d[1], type == TPeak::Lorentzian ? 0.0 : type == TPeak::Gaussian ? -100000.0 : -50000.0);
    }
}

TEST(FitModel, TabulatedCurveSamplesAndHolds) {
    TPeak t = TPeak::Create(TPeak::Tabulated);
    TCurveB one;
    one.AddPoint(1, 1);
    EXPECT_FALSE(t.SetTabulatedSource(one));
    EXPECT_EQ(t.Value(1.0), 0.0); // no curve: nothing to scale

    TCurveB src;
    src.AddPoint(0, 10);
    src.AddPoint(1, 20);
    src.AddPoint(2, 0);
    ASSERT_TRUE(t.SetTabulatedSource(src));
    t.value[1] = 0.5;
    const double xs[] = {-5, 0.25, 1.5, 2, 9};
    t.SampleTabulated(xs, 5);
    ASSERT_EQ(t.tabulated->Count(), 5);
    EXPECT_EQ(t.tabulated->Y(1), 10.0); // held at the first y
    EXPECT_EQ(t.tabulated->Y(2), 12.5);
    EXPECT_EQ(t.tabulated->Y(3), 10.0);
    EXPECT_EQ(t.tabulated->Y(5), 0.0); // held at the last y
    // At data points the samples are used; elsewhere the curve is interpolated, rising or falling x alike.
    double f[2] = {0, 0};
    t.AddValues(xs + 1, 2, 2, f, nullptr);
    EXPECT_EQ(f[0], 6.25);
    EXPECT_EQ(f[1], 5.0);
    EXPECT_EQ(t.Value(0.5), 7.5);
    EXPECT_EQ(t.Value(1.75), 2.5);
    EXPECT_EQ(t.Value(0.5), 7.5);
    EXPECT_EQ(t.Value(-1), 5.0);
    // A copy shares the curve.
    EXPECT_EQ(t.Copy().tabSource.get(), t.tabSource.get());
}

TEST(FitModel, InitialGuessStyles) {
    // A line: slope first, then the offset through the end points.
    TCurveB line = Sampled(1, 5, 9, [](double x) { return 3 - 2 * x; });
    TPeak p = TPeak::Create(TPeak::Polynomial, 2);
    p.initial[3] = 0.25;
    p.InitialGuess(line, 1, 9, false);
    EXPECT_DOUBLE_EQ(p.value[2], -2.0);
    EXPECT_DOUBLE_EQ(p.value[1], 3.0);
    EXPECT_EQ(p.value[3], 0.25); // style none: the initial value
    // An offset whose parameter 2 is no slope (a peak's position, here 7) starts at the mean of the end
    // values; a locked slope still counts as the slope.
    TPeak q = TPeak::Create(TPeak::Polynomial, 1);
    q.guessStyle[2] = gsPeakPosition;
    q.lock[2] = true;
    q.value[2] = 7;
    q.InitialGuess(line, 1, 9, false);
    EXPECT_DOUBLE_EQ(q.value[1], (1.0 - 7.0) / 2);
    q.guessStyle[2] = gsSlope;
    q.InitialGuess(line, 1, 9, false);
    EXPECT_DOUBLE_EQ(q.value[1], -3.0 - 7 * 3.0);
    TPeak level = TPeak::Create(TPeak::Polynomial, 0);
    level.InitialGuess(line, 1, 9, false);
    EXPECT_DOUBLE_EQ(level.value[1], -3.0);

    // A peak: amplitude, position and half width at half maximum (from the left flank).
    TCurveB peak = Sampled(-10, 10, 201, [](double x) { return 4 * std::exp(-0.5 * (x - 2) * (x - 2)); });
    TPeak g = TPeak::Create(TPeak::Gaussian);
    g.InitialGuess(peak, 1, 201, false);
    EXPECT_NEAR(g.value[1], 4.0, 1e-9);
    EXPECT_NEAR(g.value[2], 2.0, 1e-12);
    EXPECT_NEAR(g.value[3], 1.2, 1e-9); // the first point at or below half height lies 1.2 left of the top
    // With subtract the guessed peak is taken off every point.
    TCurveB rest = peak;
    g.InitialGuess(rest, 1, 201, true);
    EXPECT_NEAR(rest.Y(121), 4.0 - g.Value(2.0), 1e-12);

    // The width respects its lower bound.
    TPeak e = TPeak::Create(TPeak::Lorentzian);
    TCurveB spike = Sampled(0, 4, 5, [](double x) { return x == 0 ? 5.0 : 0.0; });
    e.InitialGuess(spike, 1, 5, false);
    EXPECT_EQ(e.value[3], 1e-10); // width 0 clipped to the bound

    // Exponential: a e^(b x) from the end points, locked parameters kept.
    TCurveB ex = Sampled(0, 2, 21, [](double x) { return 3 * std::exp(-1.5 * x); });
    TPeak xp = TPeak::Create(TPeak::Exponential);
    xp.InitialGuess(ex, 1, 21, false);
    EXPECT_NEAR(xp.value[2], -1.5, 1e-12);
    EXPECT_NEAR(xp.value[1], 3.0, 1e-12);
    xp.lock[1] = true;
    xp.value[1] = 9;
    xp.InitialGuess(ex, 1, 21, false);
    EXPECT_EQ(xp.value[1], 9.0);
    // A rising curve whose end ratio is below 1e-5 is clamped, and the amplitude taken at the midpoint.
    TCurveB steep = Sampled(0, 1, 11, [](double x) { return std::exp(20 * x); });
    TPeak st = TPeak::Create(TPeak::Exponential);
    st.InitialGuess(steep, 1, 11, false);
    EXPECT_NEAR(st.value[2], -std::log(1e-5), 1e-12);
    EXPECT_NEAR(st.value[1] / ((1 + std::exp(20.0)) / 2 * std::exp(std::log(1e-5) * 0.5)), 1.0, 1e-12);
    // A logarithm that would make x_B L exceed 40 is replaced by 40 / x_B.
    TCurveB slow = Sampled(0, 10, 11, [](double x) { return std::exp(-x); });
    st.InitialGuess(slow, 1, 11, false);
    EXPECT_NEAR(st.value[2], -0.4, 1e-12);

    // Sine: amplitude ymin - ymax, k from the range, phase the x of the maximum reduced below 2 pi.
    TCurveB sine = Sampled(0, 20, 2001, [](double x) { return 2 * std::sin(x); });
    TPeak s = TPeak::Create(TPeak::Sinusoidal);
    s.InitialGuess(sine, 1, 2001, false);
    EXPECT_NEAR(s.value[1], -4.0, 1e-3);
    EXPECT_NEAR(s.value[2], 2 * Pi / 20, 1e-12);
    EXPECT_NEAR(s.value[3], Pi / 2, 0.01);
    TCurveB far = Sampled(1e6, 1e6 + 1, 3, [](double x) { return x; });
    s.InitialGuess(far, 1, 3, false);
    EXPECT_GT(s.value[3], 0.0);
    EXPECT_LE(s.value[3], 2 * Pi);

    // Tabulated: the mean ratio of data to curve; a term without a curve stops the whole guess.
    TPeak t = TPeak::Create(TPeak::Tabulated);
    t.value[1] = 0.5;
    t.InitialGuess(line, 1, 9, false);
    EXPECT_EQ(t.value[1], 0.5);
    t.SetTabulatedSource(Sampled(0, 6, 7, [](double x) { return x + 1; }));
    TCurveB scaled = Sampled(0, 6, 7, [](double x) { return 2.5 * (x + 1); });
    t.InitialGuess(scaled, 2, 6, false);
    EXPECT_NEAR(t.value[1], 2.5, 1e-12);
}

TEST(FitModel, TwoPointGuess) {
    TPeak p = TPeak::Create(TPeak::Polynomial, 1);
    p.TwoPointGuess({1, 2}, {3, 8});
    EXPECT_EQ(p.value[2], 3.0);
    EXPECT_EQ(p.value[1], -1.0);
    p.TwoPointGuess({1, 2}, {1, 8}); // a vertical pair: slope 1e10
    EXPECT_EQ(p.value[2], 1e10);

    TPeak g = TPeak::Create(TPeak::Gaussian);
    g.TwoPointGuess({2, 5}, {3.5, 1});
    EXPECT_EQ(g.value[1], 4.0);
    EXPECT_EQ(g.value[2], 2.0);
    EXPECT_EQ(g.value[3], 1.5);

    TPeak e = TPeak::Create(TPeak::Exponential);
    e.TwoPointGuess({0, 1}, {2, 3});
    EXPECT_DOUBLE_EQ(e.value[2], 2.0 / (2 * 2));
    EXPECT_DOUBLE_EQ(e.value[1], 2 * std::exp(-0.5 * 1));
    e.TwoPointGuess({1, 1}, {1, 3}); // one x: b stays
    EXPECT_DOUBLE_EQ(e.value[2], 0.5);

    // A line from a trough to the next crest, either way round: the sine passes through both ends.
    TPeak s = TPeak::Create(TPeak::Sinusoidal);
    for (const auto& [a, b] : {std::pair<TXYPoint, TXYPoint>{{5, -1}, {7, 2}}, {{7, 2}, {5, -1}}}) {
        s.TwoPointGuess(a, b);
        EXPECT_EQ(s.value[1], 1.5);
        EXPECT_DOUBLE_EQ(s.value[2], Pi / 2);
        EXPECT_NEAR(s.Value(5), -1.5, 1e-12);
        EXPECT_NEAR(s.Value(7), 1.5, 1e-12);
    }

    TPeak t = TPeak::Create(TPeak::Tabulated);
    t.TwoPointGuess({1, 5}, {2, 6});
    EXPECT_EQ(t.value[1], 1.0); // no two-point rule for this style
}
