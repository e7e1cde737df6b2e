// The one guard around every command: floating-point division by zero, invalid operations and overflow are
// not let through as infinities or NaN; the command that raised them is abandoned and the curves it would
// have changed stay as they were. The numeric code itself raises no exceptions and returns status values.
#pragma once

#include "curves/curvesA.h"

#include <type_traits>

enum class TArithFault { None, DivideByZero, Invalid, Overflow };

// The message the user sees for a fault ("" for None).
const char* ArithFaultMessage(TArithFault fault);

// Clears the floating-point fault flags on construction; Check reports the first fault raised since.
class TFaultGuard {
public:
    TFaultGuard();
    TArithFault Check() const;
};

// A fault for a curve that holds an infinity (overflow) or a NaN (invalid operation); None otherwise.
TArithFault CheckFinite(const TCurveA& curve);
TArithFault CheckFinite(double value);

// The compiler does not order floating-point work against the flag calls: a result that stays in a register
// could be computed after Check. Handing its address to an empty barrier forces it to exist before.
template <class T>
inline void FaultBarrier(const T& result) {
    asm volatile("" : : "r"(&result) : "memory");
}

// Runs op under the guard. op returns the results to check for finiteness (a curve, a double, or nothing).
template <class Op>
TArithFault RunGuarded(Op&& op) {
    TFaultGuard guard;
    if constexpr (std::is_void_v<decltype(op())>) {
        op();
        asm volatile("" : : : "memory");
        return guard.Check();
    } else {
        const auto& result = op();
        FaultBarrier(result);
        const TArithFault fault = guard.Check();
        return fault != TArithFault::None ? fault : CheckFinite(result);
    }
}
