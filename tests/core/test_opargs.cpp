// The rules by which the operation dialogs and graphmill-cli turn their settings into the arguments of the
// curve operations, each at both sides of its limits as the user guide states them.
#include "curves/opargs.h"
#include "opscurves.h"

#include <cfloat>
#include <cmath>
#include <tuple>

TEST(OpArgs, SplineWindowIsStiffnessPlusThreeAndCarriesItsOrder) {
    const struct {
        int stiffness, order;
        int32_t window;
        int orderAfter;
    } cases[] = {
        {10, 2, 13, 2},                   // the defaults: a 13-point quadratic window
        {1000, 8, 1003, 8}, {0, 0, 3, 0}, // the least window: 3 points
        {0, 2, 5, 2},                     // an order the 3 points cannot carry widens the window to order + 3
        {1, 2, 5, 2},                     // stiffness 1 is still too small to lower the order to
        {1, 1, 4, 1},                     // an order of at most the stiffness fits as it is
        {2, 2, 5, 2},       {2, 3, 5, 2}, // from stiffness 2 on the order is lowered to the stiffness
        {5, 8, 8, 5},       {0, 8, 11, 8},
    };
    for (const auto& c : cases) {
        int order = c.order;
        EXPECT_EQ(opargs::SplineWindow(c.stiffness, order), c.window) << c.stiffness << " " << c.order;
        EXPECT_EQ(order, c.orderAfter) << c.stiffness << " " << c.order;
    }
    // The window the rule gives for stiffness 0 and order 2 runs on a curve of 5 points, not on one of 4.
    int order = 2;
    const int32_t n = opargs::SplineWindow(0, order);
    TCurveB five = Make({{0, 1}, {1, 0}, {2, 1}, {3, 0}, {4, 1}}),
            four = Make({{0, 1}, {1, 0}, {2, 1}, {3, 0}});
    EXPECT_TRUE(five.SplineSmooth(n, order));
    EXPECT_FALSE(four.SplineSmooth(n, order));
    EXPECT_NE(four.SplineRefusal(n, order).find("needs at least 5 points; the curve has 4."),
              std::string::npos);
}

TEST(OpArgs, SplineSmoothLimitsOfWindowAndOrder) {
    TCurveB c = Make({{0, 0}, {1, 1}, {2, 4}, {3, 9}, {4, 16}, {5, 25}, {6, 36}, {7, 49}, {8, 64}, {9, 81}});
    // n from 3 points to the curve's count, above the order
    for (auto [n, order, ok] : {std::tuple{2, 0, false},
                                {3, 0, true},
                                {3, 2, true},
                                {3, 3, false},
                                {10, 8, true},
                                {10, 9, true},
                                {10, 10, false},
                                {11, 2, false},
                                {10, -1, false}}) {
        TCurveB s = c;
        EXPECT_EQ(s.SplineSmooth(n, order), ok) << n << " " << order;
    }
}

TEST(OpArgs, SpectralWidthIsTheReciprocalOfHowMuch) {
    EXPECT_EQ(opargs::SpectralWidth(0.0), 1000.0);
    EXPECT_EQ(opargs::SpectralWidth(0.3), 1.0 / 0.3);
    EXPECT_EQ(opargs::SpectralWidth(10000.0), 1e-4);
    EXPECT_DOUBLE_EQ(opargs::SpectralWidth(1e-5), 1e5); // only 0 itself means 1000
}

TEST(OpArgs, InterpolationFieldsStartWithinTheirLimits) {
    // Offset from XMin to XMax, starting at XMin; interval from span / 67767 to span / 3.
    auto fields = [](std::initializer_list<TXYPoint> pts) { return opargs::InterpolationFields(Make(pts)); };
    auto f = fields({{2, 0}, {3, 0}, {5, 0}, {11, 0}});
    EXPECT_EQ(f.offset, 2.0);
    EXPECT_EQ(f.offsetMin, 2.0);
    EXPECT_EQ(f.offsetMax, 11.0);
    EXPECT_EQ(f.intervalMin, 9.0 * 1.475644487730016e-5);
    EXPECT_NEAR(f.intervalMin, 9.0 / 67767, 1e-18);
    EXPECT_EQ(f.intervalMax, 3.0);
    EXPECT_EQ(f.interval, 1.0); // the smallest spacing, within the limits
    // A spacing exactly span / 3 stays; one above it is lowered to it.
    EXPECT_EQ(fields({{0, 0}, {1, 0}, {3, 0}}).interval, 1.0);
    EXPECT_EQ(fields({{0, 0}, {1.5, 0}, {3, 0}}).interval, 1.0);
    // A spacing below span / 67767 is raised to it; one just above it stays.
    EXPECT_EQ(fields({{0, 0}, {1e-5, 0}, {1, 0}}).interval, 1.475644487730016e-5);
    EXPECT_EQ(fields({{0, 0}, {1.5e-5, 0}, {1, 0}}).interval, 1.5e-5);
    // Without an x span the limits coincide and the interval is left as it is.
    f = fields({{4, 1}, {4, 2}});
    EXPECT_EQ(f.offsetMin, f.offsetMax);
    EXPECT_EQ(f.intervalMin, f.intervalMax);
    EXPECT_EQ(f.interval, 1e10);
}

TEST(OpArgs, AverageGridPointsOverTheCurvesSmallestSpacing) {
    auto points = [](std::initializer_list<TCurveB> curves) {
        std::vector<const TCurveB*> list;
        for (const TCurveB& c : curves) list.push_back(&c);
        return opargs::AverageGridPoints(list);
    };
    // The smallest spacing of any curve over the joint range, ends included.
    EXPECT_EQ(points({Make({{0, 0}, {1, 0}, {2, 0}}), Make({{1, 0}, {1.5, 0}, {3, 0}})}), 7.0);
    EXPECT_EQ(points({Make({{0, 0}, {0.3, 0}, {1, 0}}), Make({{0, 0}, {1, 0}})}), 4.0); // 1 / 0.3 cut
    // The last spacing of a curve counts too.
    EXPECT_EQ(points({Make({{0, 0}, {4, 0}, {5, 0}}), Make({{0, 0}, {5, 0}})}), 6.0);
    // The largest grid allowed, and one point more.
    EXPECT_EQ(points({Make({{0, 0}, {1, 0}}), Make({{0, 0}, {67767, 0}})}), double(opargs::MaxGridPoints));
    EXPECT_EQ(opargs::MaxGridPoints, 67768);
    EXPECT_GT(points({Make({{0, 0}, {1, 0}}), Make({{0, 0}, {67768, 0}})}), opargs::MaxGridPoints);
    // A zero spacing gives no grid (the average faults); curves of one point give none either.
    EXPECT_EQ(points({Make({{0, 0}, {0, 1}, {2, 0}}), Make({{0, 0}, {2, 0}})}), HUGE_VAL);
    EXPECT_EQ(points({Make({{0, 0}}), Make({{3, 0}})}), 0.0);
}

TEST(OpArgs, ReciprocalOfTheConstantMustBeFinite) {
    double r = 7.0;
    EXPECT_TRUE(opargs::Reciprocal(2.0, r));
    EXPECT_EQ(r, 0.5);
    EXPECT_TRUE(opargs::Reciprocal(-4.0, r));
    EXPECT_EQ(r, -0.25);
    // The limit lies at 1 / DBL_MAX, about 5.6e-309, on both signs.
    EXPECT_TRUE(opargs::Reciprocal(5.6e-309, r));
    EXPECT_TRUE(std::isfinite(r) && r > 1.7e308);
    EXPECT_TRUE(opargs::Reciprocal(-5.6e-309, r));
    EXPECT_LT(r, -1.7e308);
    r = 7.0;
    for (double c : {0.0, -0.0, 5.5e-309, -5.5e-309, 1e-310, DBL_TRUE_MIN, double(NAN)}) {
        EXPECT_FALSE(opargs::Reciprocal(c, r)) << c;
        EXPECT_EQ(r, 7.0) << c; // left as it was
    }
}
