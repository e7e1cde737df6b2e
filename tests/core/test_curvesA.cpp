// The point store and header operations of a curve.
#include "curves/faultguard.h"
#include "opscurves.h"

#include <cmath>

TEST(CurveStore, GrowingKeepsThePointsAndZeroesNewSlots) {
    TCurveA c(5);
    for (int i = 1; i <= 5; ++i) c.AddPoint(i, i);
    c.SetCount(c.Capacity() + 1);
    EXPECT_EQ(c.Count(), 6);
    EXPECT_EQ(c.Y(5), 5.0);
    EXPECT_EQ(c.Y(6), 0.0);
    TCurveA b;
    for (int i = 0; i < 1001; ++i) b.AddPoint(i, i);
    EXPECT_EQ(b.X(1001), 1000.0);
    // Shrinking the visible count and growing it again shows zeroed slots after SetCapacity.
    b.SetCount(3);
    b.SetCapacity(10);
    b.SetCount(5);
    EXPECT_EQ(b.X(4), 0.0);
}

TEST(CurveStore, CopyKeepsPointsAndHeader) {
    TCurveB src = Make({{1, 2}, {3, 4}});
    src.Comment = "c";
    TCurveB copy(src);
    EXPECT_EQ(copy.Count(), 2);
    EXPECT_EQ(copy.Capacity(), 2); // sized to the source's count
    EXPECT_EQ(copy.Y(2), 4.0);
    EXPECT_EQ(copy.Comment, "c");
    EXPECT_TRUE(copy.Saved);
    copy.SetY(1, 9);
    EXPECT_EQ(src.Y(1), 2.0);
    // Moving takes the points over; the curve left behind has none (not a count over empty arrays).
    TCurveB moved(std::move(copy));
    EXPECT_EQ(moved.Count(), 2);
    EXPECT_EQ(moved.Y(1), 9.0);
    EXPECT_EQ(copy.Count(), 0);
    EXPECT_EQ(copy.Capacity(), 0);
    src = std::move(moved);
    EXPECT_EQ(src.Y(1), 9.0);
    EXPECT_EQ(moved.Count(), 0);
}

TEST(CurveStore, ValueAtHints) {
    TCurveB c = Make({{0, 0}, {1, 10}, {2, 20}, {4, 0}});
    int32_t hint = 0;
    double y = 0;
    ASSERT_TRUE(c.ValueAt(hint, 0.5, y));
    EXPECT_DOUBLE_EQ(y, 5.0);
    EXPECT_EQ(hint, 1);
    ASSERT_TRUE(c.ValueAt(hint, 3.0, y));
    EXPECT_DOUBLE_EQ(y, 10.0);
    EXPECT_EQ(hint, 3);
    EXPECT_FALSE(c.ValueAt(hint, 0.5, y)); // left of the hint: never searched backwards
    ASSERT_TRUE(c.ValueAt(hint, 4.0, y));  // exactly the last x
    EXPECT_EQ(y, 0.0);
    EXPECT_FALSE(c.ValueAt(hint, 4.5, y));
    hint = 1;
    EXPECT_FALSE(c.ValueAt(hint, -1.0, y));

    // A pair of points at one x does not fault: the first gives the value there.
    TCurveB step = Make({{1, 0}, {1, 5}, {2, 2}});
    hint = 1;
    TFaultGuard guard;
    ASSERT_TRUE(step.ValueAt(hint, 1.0, y));
    EXPECT_EQ(y, 0.0);
    ASSERT_TRUE(step.ValueAt(hint, 1.5, y));
    EXPECT_EQ(y, 3.5);
    EXPECT_EQ(guard.Check(), TArithFault::None);

    TCurveB one = Make({{2, 3}});
    hint = 1;
    EXPECT_FALSE(one.ValueAt(hint, 2.0, y));
    TCurveB none;
    hint = 1;
    EXPECT_FALSE(none.ValueAt(hint, 0.0, y));
}

TEST(CurveStore, PolyFitExactAndFaults) {
    TCurveB c;
    for (int i = -3; i <= 4; ++i) c.AddPoint(i, 2 - 3.0 * i + 0.5 * i * i);
    double a[3], se = -1;
    ASSERT_TRUE(c.PolyFit(2, a, se));
    EXPECT_NEAR(a[0], 2.0, 1e-12);
    EXPECT_NEAR(a[1], -3.0, 1e-12);
    EXPECT_NEAR(a[2], 0.5, 1e-12);
    EXPECT_NEAR(se, 0.0, 1e-6);
    c.ApplyPoly(2, a);
    EXPECT_NEAR(c.Y(1), 2 + 9 + 4.5, 1e-10);

    double mean = 0, b[1];
    for (int i = 1; i <= 8; ++i) mean += c.Y(i) / 8;
    ASSERT_TRUE(c.PolyFit(0, b, se)); // order 0: the mean
    EXPECT_NEAR(b[0], mean, 1e-12);

    // Too few points fail; order 2 over exactly three points divides by zero in the standard error.
    TCurveB three = Make({{0, 1}, {1, 3}, {2, 2}});
    EXPECT_FALSE(three.PolyFit(3, a, se));
    EXPECT_NE(RunGuarded([&] { three.PolyFit(2, a, se); }), TArithFault::None);

    // Fewer different x than order + 1 make the equations singular, whatever x is: the fit fails, no fault.
    double d[4];
    for (double x : {0.0, 1.0, 2.0, 0.3})
        for (int order : {1, 2, 3}) {
            TCurveB same = Make({{x, 1}, {x, 3}, {x, 4}, {x, 7}, {x, 9}, {x, 2}});
            EXPECT_EQ(RunGuarded([&] { EXPECT_FALSE(same.PolyFit(order, d, se)) << x << " " << order; }),
                      TArithFault::None);
        }
    TCurveB twoX = Make({{2, 1}, {0.3, 3}, {2, 4}, {0.3, 7}, {2, 9}});
    EXPECT_FALSE(twoX.PolyFit(2, d, se));
    EXPECT_TRUE(twoX.PolyFit(1, d, se));
}

TEST(CurveHeader, RangesOffsetScaleSort) {
    TCurveB big = Make({{1, 3e10}, {2, 2e10}, {3, 5e10}});
    EXPECT_EQ(big.YMin, 2e10);
    EXPECT_EQ(big.YMax, 5e10);
    TCurveB empty;
    empty.CalcRanges();
    EXPECT_EQ(empty.XMin, 0.0);
    EXPECT_EQ(empty.YMax, 0.0);

    TCurveB c = Make({{1, 10}, {2, 20}, {3, 30}});
    c.Offset(1, -10);
    EXPECT_EQ(c.XMin, 2.0);
    EXPECT_EQ(c.YMax, 20.0);
    EXPECT_FALSE(c.Saved);
    c.Scale(-1, -2); // a mirrored x axis is sorted again
    ExpectPoints(c, {{-4, -40}, {-3, -20}, {-2, 0}}, 0.0);
    EXPECT_TRUE(c.XMin == -4.0 && c.XMax == -2.0 && c.YMin == -40.0 && c.YMax == 0.0);

    // Stable: equal x keep their order.
    TCurveB s = Make({{3, 1}, {1, 2}, {3, 3}, {1, 4}, {2, 5}});
    s.SortByX();
    const double ys[] = {2, 4, 5, 1, 3};
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(s.Y(i), ys[i - 1]);
    EXPECT_EQ(s.XMin, 1.0);
    EXPECT_EQ(s.XMax, 3.0);
}

TEST(CurveHeader, SmallestSpacing) {
    TCurveB c = Make({{1, 0}, {1, 0}, {2, 0}, {2.5, 0}, {2.5, 0}});
    EXPECT_EQ(c.MinSpacing(), 0.5);
    EXPECT_EQ(Make({{1, 0}, {1, 1}}).MinSpacing(), 1e10);
}

TEST(CurveSigma, AbsentUntilEnabledAndFollowsEveryResize) {
    TCurveA c;
    for (int i = 1; i <= 3; ++i) c.AddPoint(i, 10 * i);
    EXPECT_FALSE(c.HasSigma());
    EXPECT_EQ(c.SigmaData(), nullptr);
    c.EnableSigma();
    ASSERT_TRUE(c.HasSigma());
    ASSERT_NE(c.SigmaData(), nullptr);
    for (int i = 1; i <= c.Capacity(); ++i) EXPECT_EQ(c.Sigma(i), 0.0);
    c.SetSigma(1, 0.5);
    c.SetSigma(3, 1.5);
    c.EnableSigma(); // a second call keeps the values
    EXPECT_EQ(c.Sigma(3), 1.5);
    // Growth past the capacity, through AddPoint (over 1000 points: the step of 1000) and SetCount.
    for (int i = 4; i <= 1500; ++i) c.AddPoint(i, i);
    EXPECT_EQ(c.Sigma(1), 0.5);
    EXPECT_EQ(c.Sigma(3), 1.5);
    EXPECT_EQ(c.Sigma(1500), 0.0);
    c.SetCount(c.Capacity() + 1);
    EXPECT_EQ(c.Sigma(c.Count()), 0.0);
    EXPECT_EQ(c.Sigma(c.Capacity()), 0.0); // every slot is backed, not only the counted ones
    // A slot given up by SetCount and reused by AddPoint gets sigma 0, not the old value.
    c.SetCount(2);
    c.AddPoint(7, 7);
    EXPECT_EQ(c.Sigma(3), 0.0);
    c.SetSigma(3, 2.0);
    c.SetCapacity(3);
    EXPECT_EQ(c.Capacity(), 3);
    EXPECT_EQ(c.Sigma(3), 2.0);
    c.SetCount(2);
    c.SetCapacity(5);
    EXPECT_EQ(c.Sigma(3), 0.0); // slots past the count are zeroed
    c.DropSigma();
    EXPECT_FALSE(c.HasSigma());
    EXPECT_EQ(c.SigmaData(), nullptr);
    c.AddPoint(1, 1); // without sigma nothing is written to it
    c.EnableSigma();
    EXPECT_EQ(c.Sigma(1), 0.0); // enabled afresh: zeros, not the dropped values
}

TEST(CurveSigma, CopiesAndMovesCarryIt) {
    TCurveB src = Make({{1, 2}, {3, 4}});
    src.SetCapacity(6);
    src.EnableSigma();
    src.SetSigma(1, 0.25);
    src.SetSigma(2, 0.75);
    TCurveB copy(src);
    ASSERT_TRUE(copy.HasSigma());
    EXPECT_EQ(copy.Capacity(), 2);
    EXPECT_EQ(copy.Sigma(2), 0.75);
    copy.SetSigma(1, 9);
    EXPECT_EQ(src.Sigma(1), 0.25);
    TCurveB full;
    full.CreateCopy(src, true, true);
    EXPECT_EQ(full.Capacity(), 6);
    EXPECT_EQ(full.SigmaData()[5], 0.0);
    EXPECT_EQ(full.Sigma(1), 0.25);
    // Copying into a curve that keeps its arrays: its sigma slots are made to match its capacity.
    TCurveB into = Make({{0, 0}, {0, 0}, {0, 0}, {0, 0}});
    into.CreateCopy(src, false);
    ASSERT_TRUE(into.HasSigma());
    EXPECT_EQ(into.Sigma(2), 0.75);
    EXPECT_EQ(into.Sigma(4), 0.0);
    // A curve without sigma copied over one with sigma leaves none.
    into = Make({{5, 5}});
    EXPECT_FALSE(into.HasSigma());
    TCurveB plain = Make({{0, 0}, {1, 1}, {2, 2}});
    copy.CreateCopy(plain, false);
    EXPECT_FALSE(copy.HasSigma());
    EXPECT_EQ(copy.SigmaData(), nullptr);

    TCurveB moved(std::move(full));
    ASSERT_TRUE(moved.HasSigma());
    EXPECT_EQ(moved.Sigma(2), 0.75);
    EXPECT_FALSE(full.HasSigma());
    EXPECT_EQ(full.SigmaData(), nullptr);
    plain = std::move(moved);
    ASSERT_TRUE(plain.HasSigma());
    EXPECT_EQ(plain.Sigma(1), 0.25);
    EXPECT_FALSE(moved.HasSigma());
}

TEST(CurveSigma, ReordersAndScalesOfTheRecord) {
    TCurveB c = Make({{3, 30}, {1, 10}, {2, 20}, {1, 11}});
    c.EnableSigma();
    for (int i = 1; i <= 4; ++i) c.SetSigma(i, i * 0.1);
    c.SortByX();
    // Stable: the two points at x = 1 keep their order, each with its own sigma.
    EXPECT_EQ(c.Y(1), 10.0);
    EXPECT_DOUBLE_EQ(c.Sigma(1), 0.2);
    EXPECT_DOUBLE_EQ(c.Sigma(2), 0.4);
    EXPECT_DOUBLE_EQ(c.Sigma(3), 0.3);
    EXPECT_DOUBLE_EQ(c.Sigma(4), 0.1);
    c.Offset(5, -100);
    EXPECT_DOUBLE_EQ(c.Sigma(4), 0.1);
    c.Scale(-1, -2); // x reversed: sorted again, sigma with its point; the magnitude of fy
    EXPECT_EQ(c.X(1), -8.0);
    EXPECT_DOUBLE_EQ(c.Sigma(1), 0.2);
    EXPECT_DOUBLE_EQ(c.Sigma(4), 0.8);
    c.Scale(1, 0.5);
    EXPECT_DOUBLE_EQ(c.Sigma(1), 0.1);
    // Reading a curve replaces the points: no sigma is left from before.
    TCurveB r = TCurveB::CreateFromText("1 2\n3 4\n");
    r.EnableSigma();
    r = TCurveB::CreateFromText("1 2\n3 4\n5 6\n");
    EXPECT_FALSE(r.HasSigma());
}

namespace {
// Points 1..n at x = i with y = i * i and sigma = i / 10.
TCurveB WithSigma(int n) {
    TCurveB c;
    for (int i = 1; i <= n; ++i) c.AddPoint(i, i * i);
    c.EnableSigma();
    for (int i = 1; i <= n; ++i) c.SetSigma(i, i / 10.0);
    c.CalcRanges();
    return c;
}
} // namespace

TEST(CurveSigma, OperationsThatMovePointsCarryItOthersDropIt) {
    // Range removal: the sigma values close up with their points; the freed slots are zero.
    TCurveB r = WithSigma(6);
    ASSERT_TRUE(r.RemoveRange(2, 3));
    ASSERT_TRUE(r.HasSigma());
    EXPECT_DOUBLE_EQ(r.Sigma(1), 0.1);
    EXPECT_DOUBLE_EQ(r.Sigma(2), 0.4);
    EXPECT_DOUBLE_EQ(r.Sigma(4), 0.6);
    EXPECT_EQ(r.SigmaData()[4], 0.0);
    EXPECT_EQ(r.SigmaData()[5], 0.0);
    ASSERT_TRUE(r.RemoveRange(4, 4)); // the last point
    EXPECT_DOUBLE_EQ(r.Sigma(3), 0.5);

    // Merge: each point with its own sigma, in the merged order; any curve without sigma: none.
    TCurveB a = WithSigma(3), b = WithSigma(2);
    b.Offset(0.5, 0);
    b.SetSigma(1, 7.0);
    const TCurveB* both[] = {&a, &b};
    TCurveB m;
    ASSERT_TRUE(TCurveB::Merge(both, m));
    ASSERT_TRUE(m.HasSigma());
    ASSERT_EQ(m.Count(), 5);
    EXPECT_EQ(m.X(2), 1.5);
    EXPECT_EQ(m.Sigma(2), 7.0);
    EXPECT_DOUBLE_EQ(m.Sigma(3), 0.2);
    EXPECT_DOUBLE_EQ(m.Sigma(5), 0.3);
    // Unsorted input is sorted with its sigma.
    TCurveB u = WithSigma(3);
    u.SetX(1, 9);
    const TCurveB* unsorted[] = {&u, &b};
    ASSERT_TRUE(TCurveB::Merge(unsorted, m));
    EXPECT_EQ(m.X(5), 9.0);
    EXPECT_DOUBLE_EQ(m.Sigma(5), 0.1);
    TCurveB plain = Make({{0, 0}, {10, 10}});
    const TCurveB* mixed[] = {&a, &plain};
    ASSERT_TRUE(TCurveB::Merge(mixed, m));
    EXPECT_FALSE(m.HasSigma());

    // Every operation that computes new y values leaves no sigma behind.
    auto dropped = [](const char* what, auto op) {
        TCurveB c = WithSigma(40);
        op(c);
        EXPECT_FALSE(c.HasSigma()) << what;
        EXPECT_EQ(c.SigmaData(), nullptr) << what;
    };
    double total = 0;
    std::vector<double> coeffs;
    double se = 0;
    const double gauss[] = {1, 20, 5};
    dropped("derivative", [](TCurveB& c) { EXPECT_TRUE(c.Derivative()); });
    dropped("integral", [&](TCurveB& c) { EXPECT_TRUE(c.Integral(total)); });
    dropped("times x", [](TCurveB& c) { c.TimesX(); });
    dropped("inverse", [](TCurveB& c) { c.Inverse(); });
    dropped("log", [](TCurveB& c) { c.Log10(); });
    dropped("formula", [](TCurveB& c) { EXPECT_TRUE(c.FromFunction("x", 1, 0)); });
    dropped("resample", [](TCurveB& c) { EXPECT_TRUE(c.Resample(0.5, 0)); });
    dropped("curve math", [](TCurveB& c) { c.CurveMath(c, TCurveB::MathAdd); });
    dropped("spline", [](TCurveB& c) { EXPECT_TRUE(c.SplineSmooth(5, 2)); });
    dropped("regression", [&](TCurveB& c) { EXPECT_TRUE(c.PolyRegression(2, coeffs, se)); });
    dropped("spectral", [](TCurveB& c) { EXPECT_TRUE(c.SpectralSmooth(0.1)); });
    dropped("smooth5", [](TCurveB& c) { c.Smooth5(); });
    dropped("shape",
            [&](TCurveB& c) { EXPECT_TRUE(c.CreateShape(gauss, 40, 0, 50, TCurveB::ShapeGaussian)); });
    dropped("fft", [](TCurveB& c) { EXPECT_TRUE(c.FFT(nullptr, 1, TCurveB::FFTMagnitude)); });
}
