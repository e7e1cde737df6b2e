// The shapes of the fit model from type 7 on: names, defaults, values with exact derivatives, and guesses.
// The Voigt profile is the real part of the Faddeeva function w(z) (libcerf), its derivatives come from
// w'(z) = -2 z w(z) + 2i / sqrt(pi).
#include "fit/peakshapes.h"

#include "fit/Fit1.h"
#include "fit/peakfigures.h"

#include <cerf.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace peakshapes {

namespace {

using Complex = std::complex<double>;

constexpr double Pi = std::numbers::pi;
constexpr double SqrtPi = 1.7724538509055160273;
constexpr double Sqrt2 = std::numbers::sqrt2;
constexpr double Ln2 = std::numbers::ln2;
// sqrt(2 ln 2): a Gaussian of standard deviation s falls to half its maximum at this many s.
constexpr double HalfWidthPerSigma = 1.1774100225154747;
// Past this many widths a shape of Gaussian fall-off is below the smallest double.
constexpr double GaussCut = 64.0;
// Past this many widths the square of the distance would overflow; shapes of power-law fall-off are then
// below 1e-300 of their height (and below 1e-150 for the heaviest Pearson VII tails).
constexpr double PowerCut = 1e150;

constexpr int First = TPeak::Voigt;
constexpr int Count = TPeak::BuiltInCount - TPeak::Voigt;

const char* const Names[Count] = {
    "Voigt",         "Pseudo-Voigt",          "Pearson VII", "Split Gaussian", "Split Lorentzian",
    "Logistic step", "Exp. modified Gaussian"};
const char* const Params[Count][4] = {
    {"height", "x0    ", "sigma ", "l.hwhm"}, {"height", "x0    ", "hwhm  ", "l.frc "},
    {"height", "x0    ", "hwhm  ", "m     "}, {"height", "x0    ", "hwhm.l", "hwhm.r"},
    {"height", "x0    ", "hwhm.l", "hwhm.r"}, {"step  ", "x0    ", "width ", ""},
    {"height", "x0    ", "sigma ", "tau   "}};

// ---- the Faddeeva function

Complex Faddeeva(Complex z) {
    double _Complex a;
    __real__ a = z.real();
    __imag__ a = z.imag();
    const double _Complex w = w_of_z(a);
    return {__real__ w, __imag__ w};
}

// w'(z) = -2 z w(z) + 2i / sqrt(pi). Far from 0 the two terms cancel to a remainder of order 1/z^2; there
// (|z| >= 50 in the upper half-plane, where every Voigt argument lies) the asymptotic series
// w(z) = i/sqrt(pi) sum (2n-1)!!/2^n z^-(2n+1), differentiated term by term, gives it in full precision
// (eight terms leave 1e-20 of it).
Complex FaddeevaPrime(Complex z, Complex w) {
    if (std::abs(z) >= 50.0 && z.imag() >= 0.0) {
        const Complex q = 1.0 / (z * z);
        Complex power = q, sum = 0.0;
        double a = 1.0; // (2n-1)!! / 2^n
        for (int n = 0; n < 8; ++n) {
            sum += (2.0 * n + 1.0) * a * power;
            a *= (2.0 * n + 1.0) / 2.0;
            power *= q;
        }
        return Complex(0.0, -1.0 / SqrtPi) * sum;
    }
    return -2.0 * z * w + Complex(0.0, 2.0 / SqrtPi);
}

// erfcx(y) = Re w(iy) and its derivative by y, which is -Im w'(iy).
double ErfcxPrime(double y) {
    const Complex z(0.0, y);
    return -FaddeevaPrime(z, Complex(erfcx(y), 0.0)).imag();
}

// ---- the shapes. Each adds h * shape to f[p] and fills the derivatives when d is given.

inline void Zero(double* const* d, int np, int32_t p) {
    for (int k = 0; k < np; ++k) d[k][p] = 0.0;
}

// A Lorentzian of half width gamma (the Voigt's limit without Gaussian part).
void LorentzPoint(double h, double dd, double gamma, double* f, double* const* d, int32_t p, int kGamma) {
    const double q = gamma != 0.0 ? dd / gamma : 0.0;
    const double l = gamma != 0.0 && std::fabs(q) < PowerCut ? 1.0 / (1.0 + q * q) : 0.0;
    f[p] += h * l;
    if (!d) return;
    const double t = l != 0.0 ? 2.0 * h * q * l * l / gamma : 0.0;
    d[0][p] = l;
    d[1][p] = t;
    d[kGamma - 1][p] = t * q;
}

void AddVoigt(const double* v, const double* x, int32_t n, double* f, double* const* d) {
    const double h = v[1], x0 = v[2];
    // The profile depends on the widths' magnitudes only.
    const double sigma = std::fabs(v[3]), sSign = v[3] < 0 ? -1.0 : 1.0;
    const double gamma = std::fabs(v[4]), gSign = v[4] < 0 ? -1.0 : 1.0;
    const double s = sigma * Sqrt2;
    const double y0 = s > 0.0 ? gamma / s : HUGE_VAL;
    // Beyond y0 = 1e100 the Gaussian part changes the profile by less than 1e-200 of itself.
    if (!(y0 < 1e100)) {
        for (int32_t p = 0; p < n; ++p) {
            if (d) d[2][p] = 0.0;
            LorentzPoint(h, x[p] - x0, gamma, f, d, p, 4);
            if (d) d[3][p] *= gSign;
        }
        return;
    }
    // The profile over its value at the centre, erfcx(y0) = Re w(i y0), so that h is the maximum.
    const double norm = erfcx(y0), normPrime = ErfcxPrime(y0);
    for (int32_t p = 0; p < n; ++p) {
        const Complex z((x[p] - x0) / s, y0);
        if (!std::isfinite(z.real())) {
            // So far out that the distance in widths overflows: nothing is left of the peak.
            if (d) Zero(d, 4, p);
            continue;
        }
        const Complex w = Faddeeva(z);
        const double r = w.real();
        f[p] += h * r / norm;
        if (!d) continue;
        const Complex wp = FaddeevaPrime(z, w);
        // dz/dx0 = -1/s, dz/dsigma = -z/sigma, dz/dgamma = i/s; dy0/dsigma = -y0/sigma, dy0/dgamma = 1/s.
        d[0][p] = r / norm;
        d[1][p] = -h * wp.real() / (s * norm);
        d[2][p] = sSign * h * (-(wp * z).real() * norm + r * normPrime * y0) / (sigma * norm * norm);
        d[3][p] = gSign * h * (-wp.imag() * norm - r * normPrime) / (s * norm * norm);
    }
}

void AddPseudoVoigt(const double* v, const double* x, int32_t n, double* f, double* const* d) {
    const double h = v[1], x0 = v[2], w = v[3], eta = v[4];
    for (int32_t p = 0; p < n; ++p) {
        const double q = w != 0.0 ? (x[p] - x0) / w : 0.0;
        const double g = w != 0.0 && std::fabs(q) < GaussCut ? std::exp(-Ln2 * q * q) : 0.0;
        const double l = w != 0.0 && std::fabs(q) < PowerCut ? 1.0 / (1.0 + q * q) : 0.0;
        const double shape = (1.0 - eta) * g + eta * l;
        f[p] += h * shape;
        if (!d) continue;
        const double t = l != 0.0 ? h * q * ((1.0 - eta) * 2.0 * Ln2 * g + eta * 2.0 * l * l) / w : 0.0;
        d[0][p] = shape;
        d[1][p] = t;
        d[2][p] = t * q;
        d[3][p] = h * (l - g);
    }
}

void AddPearson7(const double* v, const double* x, int32_t n, double* f, double* const* d) {
    const double h = v[1], x0 = v[2], w = v[3], m = v[4];
    // (1 + c q^2)^-m with c = 2^(1/m) - 1 falls to half at q = 1 for every m.
    const double c = m > 0.0 ? std::expm1(Ln2 / m) : HUGE_VAL;
    const bool valid = w != 0.0 && std::isfinite(c);
    for (int32_t p = 0; p < n; ++p) {
        const double q = valid ? (x[p] - x0) / w : 0.0;
        if (!valid || !(std::fabs(q) < PowerCut)) {
            if (d) Zero(d, 4, p);
            continue;
        }
        const double logB = std::log1p(c * q * q);
        const double shape = std::exp(-m * logB);
        f[p] += h * shape;
        if (!d) continue;
        const double t = 2.0 * h * m * c * q * shape / ((1.0 + c * q * q) * w);
        d[0][p] = shape;
        d[1][p] = t;
        d[2][p] = t * q;
        // dc/dm = -(ln 2 / m^2) (c + 1).
        d[3][p] = h * shape * (-logB + Ln2 / m * (c + 1.0) * q * q / (1.0 + c * q * q));
    }
}

// Split peaks: a Gaussian (half width at half maximum as its width) or a Lorentzian with one width left of
// the centre and another right of it.
void AddSplit(bool gauss, const double* v, const double* x, int32_t n, double* f, double* const* d) {
    const double h = v[1], x0 = v[2];
    for (int32_t p = 0; p < n; ++p) {
        const double dd = x[p] - x0;
        const bool left = dd < 0.0;
        const double w = left ? v[3] : v[4];
        const double q = w != 0.0 ? dd / w : 0.0;
        double shape = 0.0, t = 0.0;
        if (w != 0.0 && gauss && std::fabs(q) < GaussCut) {
            shape = std::exp(-Ln2 * q * q);
            t = 2.0 * Ln2 * h * q * shape / w;
        } else if (w != 0.0 && !gauss && std::fabs(q) < PowerCut) {
            shape = 1.0 / (1.0 + q * q);
            t = 2.0 * h * q * shape * shape / w;
        }
        f[p] += h * shape;
        if (!d) continue;
        d[0][p] = shape;
        d[1][p] = t;
        d[2][p] = left ? t * q : 0.0;
        d[3][p] = left ? 0.0 : t * q;
    }
}

// A step of height a from 0 to a, centred at x0, a / (1 + e^(-(x - x0)/w)).
void AddLogistic(const double* v, const double* x, int32_t n, double* f, double* const* d) {
    const double a = v[1], x0 = v[2], w = v[3];
    for (int32_t p = 0; p < n; ++p) {
        const double dd = x[p] - x0;
        if (w == 0.0) {
            // A step without width.
            const double s = dd > 0.0 ? 1.0 : dd < 0.0 ? 0.0 : 0.5;
            f[p] += a * s;
            if (d) {
                Zero(d, 3, p);
                d[0][p] = s;
            }
            continue;
        }
        const double q = dd / w;
        // e = e^-|q| keeps both halves of the step free of overflow.
        const double e = std::exp(-std::fabs(q));
        const double s = q >= 0.0 ? 1.0 / (1.0 + e) : e / (1.0 + e);
        f[p] += a * s;
        if (!d) continue;
        // s (1 - s) = e / (1 + e)^2.
        const double slope = e / ((1.0 + e) * (1.0 + e));
        const double t = slope != 0.0 ? -a * slope / w : 0.0;
        d[0][p] = s;
        d[1][p] = t;
        d[2][p] = t * q;
    }
}

// The exponentially modified Gaussian: the Gaussian h e^(-(x - x0)^2 / (2 sigma^2)) convolved with a unit
// exponential decay of time constant tau,
//   h (sigma/tau) sqrt(pi/2) e^(sigma^2/(2 tau^2) - (x - x0)/tau) erfc((sigma/tau - (x - x0)/sigma) / sqrt
//   2).
// Where the erfc argument t is positive the product is formed as erfcx(t) e^(-(x - x0)^2 / (2 sigma^2)),
// which neither overflows nor underflows before the value does; where it is negative the exponent is
// negative. A negative tau gives the mirror image (a fronting peak); tau 0 is the Gaussian itself.
void AddExpGaussian(const double* v, const double* x, int32_t n, double* f, double* const* d) {
    const double h = v[1], x0 = v[2];
    const double sigma = std::fabs(v[3]), sSign = v[3] < 0 ? -1.0 : 1.0;
    const double tau = std::fabs(v[4]), mirror = v[4] < 0 ? -1.0 : 1.0;
    constexpr double K = 1.2533141373155002512; // sqrt(pi / 2)
    const double r = tau != 0.0 ? sigma / tau : 0.0;
    for (int32_t p = 0; p < n; ++p) {
        const double dd = mirror * (x[p] - x0);
        const double q = sigma != 0.0 ? dd / sigma : 0.0;
        if (sigma == 0.0 || !(std::fabs(q) < PowerCut)) {
            if (d) Zero(d, 4, p);
            continue;
        }
        const double g = std::fabs(q) < GaussCut ? std::exp(-0.5 * q * q) : 0.0;
        if (tau == 0.0) {
            // The Gaussian; its derivative by tau is the one a small shift of the Gaussian to the right has.
            f[p] += h * g;
            if (d) {
                d[0][p] = g;
                d[1][p] = mirror * h * g * q / sigma;
                d[2][p] = sSign * h * g * q * q / sigma;
                d[3][p] = mirror * h * g * q / sigma;
            }
            continue;
        }
        const double t = (r - q) / Sqrt2;
        double e;
        if (t >= 0.0) {
            e = g != 0.0 ? erfcx(t) * g : 0.0;
        } else {
            const double exponent = 0.5 * r * r - dd / tau;
            e = std::exp(exponent) * std::erfc(t);
        }
        const double shape = r * K * e;
        f[p] += h * shape;
        if (!d) continue;
        if (e == 0.0 && g == 0.0) {
            Zero(d, 4, p);
            continue;
        }
        d[0][p] = shape;
        d[1][p] = mirror * h * r * (K * e / tau - g / sigma);
        d[2][p] = sSign * h *
                  (K * e / tau + r * (K * e * sigma / (tau * tau) - g * (1.0 / tau + dd / (sigma * sigma))));
        d[3][p] =
            mirror * h *
            (-K * e * sigma / (tau * tau) +
             r * (K * e * (dd / (tau * tau) - sigma * sigma / (tau * tau * tau)) + g * sigma / (tau * tau)));
    }
}

// ---- guesses

// A peak in a range of points: its top, and its half widths where the points fall to halfway between the
// range's lowest point and the top, on either side (interpolated between points).
struct TPeakSpan {
    bool any = false;
    double height = 0.0, top = 0.0, left = 0.0, right = 0.0;
};

// The distance from point m to where the points from m stepping by `step` first reach `level` or fall below
// it, or 0 when they do not within first..last.
double HalfWidth(const TCurveB& c, int32_t m, int32_t step, int32_t first, int32_t last, double level) {
    for (int32_t i = m + step; i >= first && i <= last; i += step) {
        const int32_t j = i - step;
        if (c.Y(i) <= level) {
            const double dy = c.Y(j) - c.Y(i);
            const double x = dy > 0.0 ? c.X(i) + (c.X(j) - c.X(i)) * (level - c.Y(i)) / dy : c.X(i);
            return std::fabs(x - c.X(m));
        }
    }
    return 0.0;
}

TPeakSpan Span(const TCurveB& c, int32_t first, int32_t last) {
    TPeakSpan s;
    if (first > last) return s;
    int32_t m = first;
    double ymin = c.Y(first);
    for (int32_t i = first; i <= last; ++i) {
        if (c.Y(i) > c.Y(m)) m = i;
        ymin = std::min(ymin, c.Y(i));
    }
    s.any = true;
    s.height = c.Y(m) - ymin;
    s.top = c.X(m);
    const double level = ymin + s.height / 2;
    double l = HalfWidth(c, m, -1, first, last, level);
    double r = HalfWidth(c, m, 1, first, last, level);
    // A side that does not fall to half within the range takes the other side's width; without either, a
    // quarter of the range.
    if (l == 0.0) l = r;
    if (r == 0.0) r = l;
    if (l == 0.0) l = r = std::fabs(c.X(last) - c.X(first)) / 4;
    if (l == 0.0) l = r = 1.0;
    s.left = l;
    s.right = r;
    return s;
}

// The exponentially modified Gaussian's h and x0 that put its maximum at (top, height) with its present
// widths.
void PlaceExpGaussian(TPeak& p, double top, double height) {
    double centre = 0.0, max = 0.0, area = 0.0, fwhm = 0.0;
    if (!peakfigures::UnitShape(p, centre, max, area, fwhm)) centre = 0.0, max = 1.0;
    p.SetValue(1, height / max);
    p.SetValue(2, top - centre);
}

// The exponentially modified Gaussian's tau that gives it the full width fwhm with its present sigma (the
// width grows with tau; a width below the Gaussian's own gives a short tail of a tenth of sigma).
void FitTail(TPeak& p, double fwhm) {
    const double sigma = std::fabs(p.value[3]);
    auto widthWith = [&](double tau) {
        TPeak q = p.Copy();
        q.value[4] = tau;
        double centre = 0.0, max = 0.0, area = 0.0, width = 0.0;
        return peakfigures::UnitShape(q, centre, max, area, width) ? width : 0.0;
    };
    double lo = 0.1 * sigma, hi = sigma;
    if (!(sigma > 0.0) || widthWith(lo) >= fwhm) {
        p.SetValue(4, lo);
        return;
    }
    for (int i = 0; i < 60 && widthWith(hi) < fwhm; ++i) hi *= 2;
    for (int i = 0; i < 50; ++i) {
        const double mid = (lo + hi) / 2;
        (widthWith(mid) < fwhm ? lo : hi) = mid;
    }
    p.SetValue(4, (lo + hi) / 2);
}

// Sets the height, position and widths of a peak shape from its top and its half widths left and right.
void SetPeak(TPeak& p, double height, double top, double left, double right) {
    const double w = (left + right) / 2;
    switch (p.type) {
    case TPeak::Voigt:
        // Half of the width from each part: a Voigt of sigma 0.59 w and Lorentzian half width 0.5 w has
        // about w as its half width.
        p.SetValue(3, 0.59 * w);
        p.SetValue(4, 0.5 * w);
        break;
    case TPeak::PseudoVoigt:
    case TPeak::Pearson7:
        p.SetValue(3, w);
        break;
    case TPeak::SplitGaussian:
    case TPeak::SplitLorentzian:
        p.SetValue(3, left);
        p.SetValue(4, right);
        break;
    case TPeak::ExpGaussian:
        // The left side is the Gaussian's; the tail makes up the rest of the full width.
        p.SetValue(3, left / HalfWidthPerSigma);
        FitTail(p, left + right);
        PlaceExpGaussian(p, top, height);
        return;
    default:
        break;
    }
    p.SetValue(1, height);
    p.SetValue(2, top);
}

void GuessStep(TPeak& p, const TCurveB& c, int32_t first, int32_t last) {
    if (first > last) return;
    const double ya = c.Y(first), yb = c.Y(last);
    double a = yb - ya;
    if (a == 0.0) {
        // Ends at one level: a step of 0 would leave the position and width without influence, so the step
        // takes the range's spread (a rise; 1 over a flat range).
        double lo = ya, hi = ya;
        for (int32_t i = first; i <= last; ++i) lo = std::min(lo, c.Y(i)), hi = std::max(hi, c.Y(i));
        a = hi > lo ? hi - lo : 1.0;
    }
    // Where the points first pass a given fraction of the step from the range's first y.
    auto passes = [&](double fraction) {
        const double level = ya + fraction * a;
        for (int32_t i = first + 1; i <= last; ++i)
            if ((c.Y(i) - level) * a >= 0.0) {
                const double dy = c.Y(i) - c.Y(i - 1);
                return dy != 0.0 ? c.X(i - 1) + (c.X(i) - c.X(i - 1)) * (level - c.Y(i - 1)) / dy : c.X(i);
            }
        return c.X(last);
    };
    p.SetValue(1, a);
    p.SetValue(2, passes(0.5));
    // The logistic step rises from a quarter to three quarters over 2 ln 3 widths.
    double w = std::fabs(passes(0.75) - passes(0.25)) / (2.0 * std::log(3.0));
    if (!(w > 0.0)) w = std::fabs(c.X(last) - c.X(first)) / 10;
    if (w > 0.0) p.SetValue(3, w);
}

} // namespace

bool Owns(int32_t type) {
    return type >= First && type < TPeak::BuiltInCount;
}

const char* TypeName(int32_t type) {
    return Owns(type) ? Names[type - First] : "";
}

const char* ParamName(int32_t type, int k) {
    return Owns(type) && k >= 1 && k <= 4 ? Params[type - First][k - 1] : "";
}

void SetDefaults(TPeak& p) {
    p.nparams = p.type == TPeak::Logistic ? 3 : 4;
    p.value[1] = 1.0;
    p.value[3] = 1.0;
    p.min[3] = 1e-10;
    if (p.type != TPeak::Logistic) {
        // Peaks point up, as the Gaussian does; a step may go either way.
        p.min[1] = 1e-10;
        p.guessStyle[1] = gsPeakAmplitude;
        p.guessStyle[2] = gsPeakPosition;
        p.guessStyle[3] = gsPeakWidth;
    }
    switch (p.type) {
    case TPeak::Voigt:
    case TPeak::SplitGaussian:
    case TPeak::SplitLorentzian:
    case TPeak::ExpGaussian:
        p.value[4] = 1.0;
        p.min[4] = 1e-10;
        break;
    case TPeak::PseudoVoigt:
        p.value[4] = 0.5;
        p.min[4] = 0.0;
        p.max[4] = 1.0;
        break;
    case TPeak::Pearson7:
        // m 1 is a Lorentzian, large m a Gaussian; below 1/2 the area is infinite.
        p.value[4] = 2.0;
        p.min[4] = 0.5;
        break;
    default:
        break;
    }
}

void AddValues(const TPeak& p, const double* x, int32_t n, double* f, double* const* d) {
    const double* v = p.value.data();
    switch (p.type) {
    case TPeak::Voigt:
        AddVoigt(v, x, n, f, d);
        break;
    case TPeak::PseudoVoigt:
        AddPseudoVoigt(v, x, n, f, d);
        break;
    case TPeak::Pearson7:
        AddPearson7(v, x, n, f, d);
        break;
    case TPeak::SplitGaussian:
    case TPeak::SplitLorentzian:
        AddSplit(p.type == TPeak::SplitGaussian, v, x, n, f, d);
        break;
    case TPeak::Logistic:
        AddLogistic(v, x, n, f, d);
        break;
    case TPeak::ExpGaussian:
        AddExpGaussian(v, x, n, f, d);
        break;
    default:
        break;
    }
}

void InitialGuess(TPeak& p, const TCurveB& curve, int32_t first, int32_t last) {
    if (p.type == TPeak::Logistic) {
        GuessStep(p, curve, first, last);
        return;
    }
    const TPeakSpan s = Span(curve, first, last);
    if (s.any) SetPeak(p, s.height, s.top, s.left, s.right);
}

bool TwoPointGuess(TPeak& p, TXYPoint p1, TXYPoint p2) {
    if (p.type == TPeak::Logistic) return false;
    const double w = std::fabs(p2.x - p1.x);
    if (p.type == TPeak::ExpGaussian) {
        // The rectangle tells nothing of the tail: tau stays, sigma takes the half width.
        p.SetValue(3, w / HalfWidthPerSigma);
        PlaceExpGaussian(p, p1.x, std::fabs(p2.y - p1.y));
        return true;
    }
    SetPeak(p, std::fabs(p2.y - p1.y), p1.x, w, w);
    return true;
}

} // namespace peakshapes
