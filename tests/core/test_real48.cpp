// The six-byte real and the arithmetic-fault guard.
#include "curves/faultguard.h"
#include "curves/real48.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace {
double RoundTrip(double v) {
    TReal48 r{};
    EXPECT_TRUE(EncodeReal48(v, r)) << v;
    return DecodeReal48(r);
}
} // namespace

TEST(Real48, LayoutAndRoundTrips) {
    TReal48 r{};
    ASSERT_TRUE(EncodeReal48(0.0, r));
    EXPECT_EQ(r, (TReal48{0, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(EncodeReal48(1.0, r));
    EXPECT_EQ(r, (TReal48{129, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(EncodeReal48(-1.5, r));
    EXPECT_EQ(r, (TReal48{129, 0, 0, 0, 0, 0xC0}));
    for (double v : {1.0, -1.0, -1e10, 0.0}) EXPECT_EQ(RoundTrip(v), v);
    // Rounded to the nearest value of the form: within half a unit of the 39-bit fraction.
    for (double v : {0.1, 3.14159265358979, -2.718281828459045, 12345.6789, 1e-30, 1.5e38}) {
        EXPECT_LE(std::fabs(RoundTrip(v) - v), std::fabs(v) * std::ldexp(1.0, -40)) << v;
    }
    // Every value of the form decodes and encodes back to the same bytes.
    for (int e : {1, 2, 100, 129, 200, 255})
        for (uint64_t f : {uint64_t{0}, uint64_t{1}, uint64_t{0x5555555555}, (uint64_t{1} << 39) - 1}) {
            TReal48 in{static_cast<uint8_t>(e)};
            for (int k = 1; k <= 5; ++k) in[k] = static_cast<uint8_t>(f >> (8 * (k - 1)));
            in[5] |= 0x80;
            TReal48 out{};
            ASSERT_TRUE(EncodeReal48(DecodeReal48(in), out));
            EXPECT_EQ(in, out);
        }
    // A mantissa that rounds up to 2 carries into the exponent.
    ASSERT_TRUE(EncodeReal48(std::nextafter(2.0, 0.0), r));
    EXPECT_EQ(r, (TReal48{130, 0, 0, 0, 0, 0}));
}

TEST(Real48, ValuesTheFormCannotHold) {
    TReal48 r{1, 2, 3, 4, 5, 6};
    EXPECT_TRUE(EncodeReal48(1e-300, r)); // too small: zero
    EXPECT_EQ(r, (TReal48{0, 0, 0, 0, 0, 0}));
    EXPECT_FALSE(EncodeReal48(1e39, r));
    EXPECT_FALSE(EncodeReal48(-1e300, r));
    EXPECT_FALSE(EncodeReal48(std::numeric_limits<double>::infinity(), r));
    EXPECT_FALSE(EncodeReal48(std::numeric_limits<double>::quiet_NaN(), r));
    EXPECT_EQ(r, (TReal48{0, 0, 0, 0, 0, 0}));
    EXPECT_TRUE(EncodeReal48(Real48Max, r));
    EXPECT_EQ(DecodeReal48(r), Real48Max);
    EXPECT_FALSE(EncodeReal48(std::nextafter(Real48Max, 1e300), r)); // would round to the largest value
}

TEST(FaultGuard, NamesTheFault) {
    volatile double zero = 0.0, one = 1.0, big = 1e308;
    EXPECT_EQ(RunGuarded([&] { return one / zero; }), TArithFault::DivideByZero);
    EXPECT_EQ(RunGuarded([&] { return zero / zero; }), TArithFault::Invalid);
    EXPECT_EQ(RunGuarded([&] { return big * 10.0; }), TArithFault::Overflow);
    EXPECT_EQ(RunGuarded([&] { return one / 3.0; }), TArithFault::None);
    EXPECT_STREQ(ArithFaultMessage(TArithFault::DivideByZero), "Floating point division by zero");
    // A curve that holds a non-finite value is a fault even when no flag was raised by this command.
    TCurveA c;
    c.AddPoint(1, std::numeric_limits<double>::infinity());
    EXPECT_EQ(RunGuarded([&]() -> const TCurveA& { return c; }), TArithFault::Overflow);
}
