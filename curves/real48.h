// The six-byte real of notifications, the user function library and the table editor: byte 0 is the
// exponent biased by 129 (0 means the value 0), bytes 1 to 5 the 39-bit fraction, least significant byte
// first, and the top bit of byte 5 the sign. Value: (-1)^s (1 + f / 2^39) 2^(e - 129).
#pragma once

#include <array>
#include <cstdint>

using TReal48 = std::array<uint8_t, 6>;

// Largest magnitude the form holds: (2 - 2^-39) 2^126, about 1.7e38.
constexpr double Real48Max = (2.0 - 1.0 / 549755813888.0) * 85070591730234615865843651857942052864.0;

// Encodes v rounded to the nearest value of the form; a magnitude below the smallest one becomes zero.
// Returns false, with out set to zero, for a value the form cannot hold (not finite or beyond Real48Max);
// the caller must then refuse the value rather than store a wrong one.
bool EncodeReal48(double v, TReal48& out);
// Every six bytes decode to a finite value (exponent 0 gives zero whatever the other bytes hold).
double DecodeReal48(const TReal48& in);
