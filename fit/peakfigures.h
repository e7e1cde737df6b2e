// The figures of a peak-shaped term of the fit model (centre, height, area and full width at half maximum)
// with their standard errors carried through the covariance of the term's parameters.
#pragma once

#include <cstdint>
#include <limits>

class TPeak;

struct TPeakFigure {
    double value = std::numeric_limits<double>::quiet_NaN();
    double sigma = 0.0;
};

struct TPeakFigures {
    // The x of the maximum, the maximum, the integral over all x, and the distance between the two points
    // where the peak falls to half its maximum.
    TPeakFigure centre, height, area, fwhm;
};

namespace peakfigures {

// Types whose terms are single peaks: the Gaussian, Lorentzian and Gauss-Lorentz terms and the peaks of
// the shapes unit (every one of them but the logistic step).
bool IsPeakShaped(int32_t type);

// The figures of a peak-shaped term. covariance is the covariance matrix of the term's parameters,
// nparams x nparams row by row (a locked parameter's row and column 0), or null: the sigmas are then 0.
// False for a term that is no peak or has none (a width or height of 0, a maximum that cannot be found).
bool Figures(const TPeak& term, const double* covariance, TPeakFigures& out);

// The figures of the term's shape at height 1 and centre 0 (its own parameters 3 on): where its maximum
// lies, the maximum, its area and its full width at half maximum. False as above.
bool UnitShape(const TPeak& term, double& centre, double& height, double& area, double& fwhm);

} // namespace peakfigures
