#include "curves/faultguard.h"

#include <cfenv>
#include <cmath>

namespace {
constexpr int Watched = FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW;
}

const char* ArithFaultMessage(TArithFault fault) {
    switch (fault) {
    case TArithFault::DivideByZero:
        return "Floating point division by zero";
    case TArithFault::Invalid:
        return "Invalid floating point operation";
    case TArithFault::Overflow:
        return "Floating point overflow";
    case TArithFault::None:
        break;
    }
    return "";
}

TFaultGuard::TFaultGuard() {
    std::feclearexcept(Watched);
}

TArithFault TFaultGuard::Check() const {
    const int raised = std::fetestexcept(Watched);
    if (raised & FE_DIVBYZERO) return TArithFault::DivideByZero;
    if (raised & FE_INVALID) return TArithFault::Invalid;
    if (raised & FE_OVERFLOW) return TArithFault::Overflow;
    return TArithFault::None;
}

TArithFault CheckFinite(double value) {
    if (std::isnan(value)) return TArithFault::Invalid;
    if (std::isinf(value)) return TArithFault::Overflow;
    return TArithFault::None;
}

TArithFault CheckFinite(const TCurveA& curve) {
    const double* xs = curve.XData();
    const double* ys = curve.YData();
    for (int32_t i = 0; i < curve.Count(); ++i) {
        if (std::isfinite(xs[i]) && std::isfinite(ys[i])) continue;
        const TArithFault f = CheckFinite(xs[i]);
        return f != TArithFault::None ? f : CheckFinite(ys[i]);
    }
    return TArithFault::None;
}
