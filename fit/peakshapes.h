// The peak and step shapes of the fit model that follow its seven original types: Voigt, pseudo-Voigt,
// Pearson VII, split Gaussian, split Lorentzian, logistic step and exponentially modified Gaussian. For each:
// its name and parameter names, its defaults, its value with the exact partial derivatives by its
// parameters, and its initial guesses from the data and from a rectangle marked in the plot. The model
// (TPeak) holds the terms and hands the work of these types to the functions here.
#pragma once

#include "curves/curvesA.h"

#include <cstdint>

class TPeak;
class TCurveB;

namespace peakshapes {

// Is type one of the shapes of this unit?
bool Owns(int32_t type);
// The type name as the term lists show it, and the name of parameter k (1-based), padded like the
// original peak terms' names.
const char* TypeName(int32_t type);
const char* ParamName(int32_t type, int k);
// Gives p (already of the type) its parameter count, default values, bounds and guess styles.
void SetDefaults(TPeak& p);
// Adds the term's values at x[0..n) to f[0..n) and, with d, stores the derivative by parameter k at
// d[k - 1][0..n).
void AddValues(const TPeak& p, const double* x, int32_t n, double* f, double* const* d);
// The guess of every parameter from the points first..last of curve (locked parameters keep their values;
// the model clips to the bounds afterwards).
void InitialGuess(TPeak& p, const TCurveB& curve, int32_t first, int32_t last);
// The guess from two corners of a rectangle marked in the plot: p1 at the peak's top, p2 out at its half
// width. False for a shape that takes no such guess.
bool TwoPointGuess(TPeak& p, TXYPoint p1, TXYPoint p2);

} // namespace peakshapes
