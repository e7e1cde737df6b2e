// The fit model's terms: the defaults, names, values and derivatives of the original seven built-in types,
// tabulated and user-defined terms, the initial guesses by guess style, and the model sums. The shapes from
// type 7 on are handed to the shapes unit (fit/peakshapes.h).
#include "fit/Fit1.h"

#include "curves/real48.h"
#include "expr/UserFunctions.h"
#include "fit/peakshapes.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>

namespace {

constexpr double Pi = std::numbers::pi;

const char* const StyleNames[GuessStyleCount] = {
    "none",       "offset",        "slope",         "aux. function",  "peak amplitude", "peak position",
    "peak width", "exponential a", "exponential b", "sine amplitude", "sine k",         "sine phase"};

const char* const TypeNames[TPeak::Voigt] = {"Polynomial",       "Gaussian",    "Lorentzian", "Sinusoidal",
                                             "Gaus-Lorentz sum", "Exponential", "Tabulated"};

const char* const PolyNames[TPeak::MaxPolyOrder + 1] = {"offset", "slope ", "b2", "b3", "b4",
                                                        "b5",     "b6",     "b7", "b8"};
const char* const PeakNames[4] = {"amp   ", "x0    ", "hwhm  ", "gs.frc"};
const char* const SineNames[3] = {"amp", "k", "theta0"};
const char* const ExpNames[2] = {"a", "b"};

// The Gaussian shape at q = (x - x0) / w: cut to 0 where the exponent falls to -2000 or below. Beyond
// |q| = 64 the exponent is below -2000 anyway, which keeps q * q from overflowing.
inline double GaussShape(double q) {
    if (std::fabs(q) >= 64.0) return 0.0;
    const double t = -0.5 * q * q;
    return t <= -2000.0 ? 0.0 : std::exp(t);
}

// The Lorentzian shape at q; past |q| = 1e150 the value is below 1e-300 and q * q would overflow.
inline double LorentzShape(double q) {
    return std::fabs(q) < 1e150 ? 1.0 / (1.0 + q * q) : 0.0;
}

// A Gaussian of width exactly 0 has this shape value everywhere; its position and width derivatives are 0.
constexpr double ZeroWidthGauss = -100000.0;

inline double ExpShape(double t) {
    if (t > 100.0) return 1e40;
    if (t < -100.0) return 0.0;
    return std::exp(t);
}

} // namespace

const char* GuessStyleName(int32_t style) {
    return style >= 0 && style < GuessStyleCount ? StyleNames[style] : "";
}

const char* TPeak::BuiltInTypeName(int32_t type) {
    if (peakshapes::Owns(type)) return peakshapes::TypeName(type);
    return type >= 0 && type < Voigt ? TypeNames[type] : "";
}

TPeak::TPeak() {
    // Open bounds: the largest values the function library can hold, so that no data of any ordinary scale
    // (counts of 1e14, times in nanoseconds) are cut off by a bound the user never set.
    min.fill(-Real48Max);
    max.fill(Real48Max);
}

TPeak TPeak::Create(int32_t type, int32_t order) {
    TPeak p;
    if (type < 0 || type >= BuiltInCount) type = Polynomial;
    p.type = type;
    p.kindCode = type;
    switch (type) {
    case Polynomial:
        p.nparams = std::clamp(order, 0, MaxPolyOrder) + 1;
        p.guessStyle[1] = gsOffset;
        p.guessStyle[2] = p.nparams >= 2 ? gsSlope : gsNone;
        break;
    case Gaussian:
    case Lorentzian:
    case GausLorentz:
        p.nparams = type == GausLorentz ? 4 : 3;
        p.value[1] = 1.0;
        p.value[3] = 1.0;
        p.min[1] = 1e-10;
        p.min[3] = 1e-10;
        p.guessStyle[1] = gsPeakAmplitude;
        p.guessStyle[2] = gsPeakPosition;
        p.guessStyle[3] = gsPeakWidth;
        if (type == GausLorentz) {
            p.value[4] = 0.5;
            p.min[4] = 0.0;
            p.max[4] = 1.0;
        }
        break;
    case Sinusoidal:
        p.nparams = 3;
        p.value[2] = 1.0;
        p.value[3] = Pi;
        p.guessStyle[1] = gsSineAmplitude;
        p.guessStyle[2] = gsSineK;
        p.guessStyle[3] = gsSinePhase;
        break;
    case Exponential:
        p.nparams = 2;
        p.value[1] = 1.0;
        p.value[2] = 1.0;
        p.guessStyle[1] = gsExponentialA;
        p.guessStyle[2] = gsExponentialB;
        break;
    case Tabulated:
        p.nparams = 1;
        p.value[1] = 1.0;
        p.min[1] = 0.0;
        p.guessStyle[1] = gsAuxFunction;
        break;
    default:
        peakshapes::SetDefaults(p);
        break;
    }
    p.initial = p.value;
    return p;
}

std::string TPeak::TypeName() const {
    if (type == UserDefined) return userName;
    if (type == Polynomial) return TypeNames[Polynomial];
    return BuiltInTypeName(type);
}

std::string TPeak::ParamName(int k) const {
    if (k < 1 || k > nparams) return "";
    switch (type) {
    case Polynomial:
        return PolyNames[k - 1];
    case Gaussian:
    case Lorentzian:
    case GausLorentz:
        return PeakNames[k - 1];
    case Sinusoidal:
        return SineNames[k - 1];
    case Exponential:
        return ExpNames[k - 1];
    case Tabulated:
        return "coef";
    case UserDefined:
        return userParamNames[static_cast<size_t>(k)];
    default:
        return peakshapes::ParamName(type, k);
    }
}

void TPeak::ClipToBounds() {
    for (int k = 1; k <= nparams; ++k) {
        const size_t i = static_cast<size_t>(k);
        if (value[i] > max[i]) value[i] = max[i];
        if (value[i] < min[i]) value[i] = min[i];
    }
}

double TPeak::Value(double x) const {
    double f = 0.0;
    AddValues(&x, 1, 0, &f, nullptr);
    return f;
}

double TPeak::ValueAndDerivatives(double x, TParamReals& d) const {
    double* rows[MaxParams];
    for (int k = 0; k < MaxParams; ++k) rows[k] = &d[static_cast<size_t>(k + 1)];
    double f = 0.0;
    AddValues(&x, 1, 0, &f, rows);
    return f;
}

void TPeak::AddValues(const double* x, int32_t n, int32_t point, double* f, double* const* d) const {
    const double* v = value.data();
    switch (type) {
    case Polynomial:
        for (int32_t p = 0; p < n; ++p) {
            double power = 1.0, sum = 0.0;
            for (int i = 1; i <= nparams; ++i) {
                if (d) d[i - 1][p] = power;
                sum += v[i] * power;
                if (i < nparams) power *= x[p];
            }
            f[p] += sum;
        }
        break;
    case Gaussian: {
        const double a = v[1], x0 = v[2], w = v[3];
        for (int32_t p = 0; p < n; ++p) {
            double g = ZeroWidthGauss, q = 0.0;
            if (w != 0.0) {
                q = (x[p] - x0) / w;
                g = GaussShape(q);
            }
            f[p] += a * g;
            if (d) {
                const double t = w != 0.0 ? a * g * q / w : 0.0;
                d[0][p] = g;
                d[1][p] = t;
                d[2][p] = t * q;
            }
        }
        break;
    }
    case Lorentzian: {
        const double a = v[1], x0 = v[2], w = v[3];
        for (int32_t p = 0; p < n; ++p) {
            double l = 0.0, q = 0.0;
            if (w != 0.0) {
                q = (x[p] - x0) / w;
                l = LorentzShape(q);
            }
            f[p] += a * l;
            if (d) {
                const double t = w != 0.0 ? 2.0 * a * q * l * l / w : 0.0;
                d[0][p] = l;
                d[1][p] = t;
                d[2][p] = t * q;
            }
        }
        break;
    }
    case Sinusoidal: {
        const double a = v[1], k = v[2], th = v[3];
        for (int32_t p = 0; p < n; ++p) {
            const double arg = k * x[p] - th;
            const double s = std::sin(arg);
            f[p] += a * s;
            if (d) {
                const double c = std::cos(arg);
                d[0][p] = s;
                d[1][p] = a * x[p] * c;
                d[2][p] = -a * c;
            }
        }
        break;
    }
    case GausLorentz: {
        const double a = v[1], x0 = v[2], w = v[3], fr = v[4];
        for (int32_t p = 0; p < n; ++p) {
            double g = ZeroWidthGauss, l = 0.0, q = 0.0;
            if (w != 0.0) {
                q = (x[p] - x0) / w;
                g = GaussShape(q);
                l = LorentzShape(q);
            }
            const double shape = fr * g + (1.0 - fr) * l;
            f[p] += a * shape;
            if (d) {
                const double t = w != 0.0 ? a * (fr * g * q / w + (1.0 - fr) * 2.0 * q * l * l / w) : 0.0;
                d[0][p] = shape;
                d[1][p] = t;
                d[2][p] = t * q;
                d[3][p] = a * (g - l);
            }
        }
        break;
    }
    case Exponential: {
        const double a = v[1], b = v[2];
        for (int32_t p = 0; p < n; ++p) {
            const double e = ExpShape(b * x[p]);
            f[p] += a * e;
            if (d) {
                d[0][p] = e;
                d[1][p] = a * e * x[p];
            }
        }
        break;
    }
    case Tabulated: {
        const double c = v[1];
        for (int32_t p = 0; p < n; ++p) {
            const double t = point > 0 ? TabulatedSample(point + p, x[p]) : TabulatedAt(x[p]);
            f[p] += c * t;
            if (d) d[0][p] = t;
        }
        break;
    }
    case UserDefined:
        AddUserValues(x, n, f, d);
        break;
    default:
        peakshapes::AddValues(*this, x, n, f, d);
        break;
    }
}

// ---- tabulated terms

bool TPeak::SetTabulatedSource(TCurveB source) {
    if (source.Count() < 2) return false;
    bool sorted = true;
    for (int32_t i = 2; i <= source.Count() && sorted; ++i) sorted = !(source.X(i - 1) > source.X(i));
    tabSorted_ = sorted;
    tabHint_ = 1;
    tabLastX_ = source.X(1);
    tabSource = std::make_shared<const TCurveB>(std::move(source));
    tabulated.reset();
    return true;
}

double TPeak::TabulatedAt(double x) const {
    if (!tabSource) return 0.0;
    const TCurveB& s = *tabSource;
    const int32_t n = s.Count();
    if (x < s.X(1)) return s.Y(1);
    if (x > s.X(n)) return s.Y(n);
    // A sweep of rising x over a sorted curve goes on from where the last query ended; anything else searches
    // from the first point.
    int32_t hint = tabSorted_ && x >= tabLastX_ ? tabHint_ : 1;
    double y = 0.0;
    const bool ok = s.ValueAt(hint, x, y);
    if (tabSorted_) {
        tabHint_ = hint;
        tabLastX_ = x;
    }
    return ok ? y : 0.0;
}

double TPeak::TabulatedSample(int32_t k, double x) const {
    if (tabulated && k >= 1 && k <= tabulated->Count()) return tabulated->Y(k);
    return TabulatedAt(x);
}

void TPeak::SampleTabulated(const double* x, int32_t n) {
    if (!tabSource) return;
    auto aux = std::make_shared<TCurveB>(n);
    aux->SetCount(n);
    for (int32_t i = 0; i < n; ++i) aux->SetXY(i + 1, x[i], TabulatedAt(x[i]));
    aux->CalcRanges();
    tabulated = std::move(aux);
}

// ---- initial guesses

namespace {

// The extremes of the points first..last: the least y, the greatest y and the first point that reaches it.
struct TRangeStats {
    bool any = false;
    double ymin = 0.0, ymax = 0.0;
    int32_t m = 0;
};

TRangeStats Stats(const TCurveB& c, int32_t first, int32_t last) {
    TRangeStats s;
    for (int32_t i = first; i <= last; ++i) {
        const double y = c.Y(i);
        if (!s.any || y > s.ymax) {
            s.ymax = y;
            s.m = i;
        }
        if (!s.any || y < s.ymin) s.ymin = y;
        s.any = true;
    }
    return s;
}

} // namespace

void TPeak::GuessParameter(int k, const TCurveB& c, int32_t first, int32_t last) {
    const int style = guessStyle[static_cast<size_t>(k)];
    const bool any = first <= last;
    const double xa = any ? c.X(first) : 0.0, ya = any ? c.Y(first) : 0.0;
    const double xb = any ? c.X(last) : 0.0, yb = any ? c.Y(last) : 0.0;
    switch (style) {
    case gsNone:
        SetValue(k, initial[static_cast<size_t>(k)]);
        break;
    case gsOffset:
        // The mean of the end values, less the line's rise to the mid x when parameter 2 is the slope; any
        // other parameter 2 (a peak's position) says nothing of a slope.
        if (any)
            SetValue(k, (ya + yb) / 2 -
                            (nparams >= 2 && guessStyle[2] == gsSlope ? value[2] * (xa + xb) / 2 : 0.0));
        break;
    case gsSlope:
        // Two points at one x give no slope: the guess is then a level line.
        if (any) SetValue(k, xb != xa ? (yb - ya) / (xb - xa) : 0.0);
        break;
    case gsAuxFunction: {
        if (!any) break;
        double sum = 0.0;
        for (int32_t i = first; i <= last; ++i) {
            const double t = TabulatedAt(c.X(i));
            if (t != 0.0) sum += c.Y(i) / t;
        }
        SetValue(k, sum / (last - first + 1));
        break;
    }
    case gsPeakAmplitude:
    case gsPeakPosition:
    case gsPeakWidth: {
        const TRangeStats s = Stats(c, first, last);
        double v = style == gsPeakPosition ? 0.0 : 1.0;
        if (s.any) {
            const double range = s.ymax - s.ymin;
            if (style == gsPeakAmplitude) v = range;
            if (style == gsPeakPosition) v = c.X(s.m);
            if (style == gsPeakWidth) {
                int32_t j = s.m;
                while (c.Y(j) > range / 2 && j > 1) --j;
                v = std::fabs(c.X(j) - c.X(s.m));
            }
        }
        SetValue(k, v);
        if (k == 4) SetValue(k, 0.5);
        break;
    }
    case gsExponentialA:
    case gsExponentialB: {
        if (!any) break;
        const double k1 = xa != xb ? 1.0 / (xa - xb) : 1.0;
        double ratio = std::fabs(yb) <= 1e-10 ? 1.0 : ya / yb;
        const bool clamped = ratio < 1e-5;
        if (clamped) ratio = 1e-5;
        double l = std::log(ratio);
        if (xb * l > 40) l = 40 / xb;
        if (style == gsExponentialB) {
            SetValue(k, k1 * l);
        } else {
            const double px = clamped ? (xa + xb) / 2 : xb;
            const double py = clamped ? (ya + yb) / 2 : yb;
            SetValue(k, py * std::exp(-k1 * l * px));
        }
        break;
    }
    case gsSineAmplitude:
    case gsSineK:
    case gsSinePhase: {
        const TRangeStats s = Stats(c, first, last);
        if (!s.any) break;
        if (style == gsSineAmplitude) SetValue(k, s.ymin - s.ymax);
        if (style == gsSineK && xb != xa) SetValue(k, 2 * Pi / (xb - xa));
        if (style == gsSinePhase) {
            // Reduced by whole turns until it is at most 2 pi (fmod does the many subtractions at once).
            double ph = c.X(s.m);
            if (ph > 2 * Pi) {
                ph = std::fmod(ph, 2 * Pi);
                if (ph == 0.0) ph = 2 * Pi;
            }
            SetValue(k, ph);
        }
        break;
    }
    default:
        break;
    }
}

void TPeak::InitialGuess(TCurveB& curve, int32_t first, int32_t last, bool subtract) {
    first = std::max(first, 1);
    last = std::min(last, curve.Count());
    if (peakshapes::Owns(type)) {
        peakshapes::InitialGuess(*this, curve, first, last);
    } else {
        // The offset guess uses the slope, so the slope is guessed first.
        for (int k = 1; k <= nparams; ++k)
            if (guessStyle[static_cast<size_t>(k)] == gsSlope) GuessParameter(k, curve, first, last);
        for (int k = 1; k <= nparams; ++k) {
            const int style = guessStyle[static_cast<size_t>(k)];
            if (style == gsSlope) continue;
            if (style == gsAuxFunction && !tabSource) return;
            GuessParameter(k, curve, first, last);
        }
    }
    ClipToBounds();
    if (subtract && kindCode != -1) {
        double* xs = curve.XData();
        double* ys = curve.YData();
        for (int32_t i = 0; i < curve.Count(); ++i) ys[i] -= Value(xs[i]);
    }
}

void TPeak::TwoPointGuess(TXYPoint p1, TXYPoint p2) {
    if (peakshapes::Owns(type)) {
        if (peakshapes::TwoPointGuess(*this, p1, p2)) ClipToBounds();
        return;
    }
    // The parameters among the first three that carry a given style.
    auto withStyle = [this](int style) {
        for (int k = 1; k <= std::min(3, nparams); ++k)
            if (guessStyle[static_cast<size_t>(k)] == style) return k;
        return 0;
    };
    auto set = [this](int k, double v) {
        if (k > 0) SetValue(k, v);
    };
    const double dx = p2.x - p1.x, dy = p2.y - p1.y;
    switch (guessStyle[1]) {
    case gsOffset:
    case gsSlope: {
        const double slope = std::fabs(dx) <= 1e-10 ? 1e10 : dy / dx;
        set(withStyle(gsSlope), slope);
        set(withStyle(gsOffset), p1.y - slope * p1.x);
        break;
    }
    case gsPeakAmplitude:
    case gsPeakPosition:
    case gsPeakWidth:
        set(withStyle(gsPeakAmplitude), std::fabs(dy));
        set(withStyle(gsPeakPosition), p1.x);
        set(withStyle(gsPeakWidth), std::fabs(dx));
        break;
    case gsExponentialA:
    case gsExponentialB: {
        const int kb = withStyle(gsExponentialB);
        const double m = (p1.y + p2.y) / 2;
        // Two points at one x give no rate; b then stays as it is.
        if (std::fabs(m) > 1e-10 && dx != 0.0) set(kb, dy / (dx * m));
        const double b = kb > 0 ? value[static_cast<size_t>(kb)] : 0.0;
        set(withStyle(gsExponentialA), m * std::exp(-b * (p1.x + p2.x) / 2));
        break;
    }
    case gsSineAmplitude: {
        set(withStyle(gsSineAmplitude), std::fabs(dy) / 2);
        const int kk = withStyle(gsSineK);
        if (dx != 0.0) set(kk, Pi / std::fabs(dx));
        // The line runs between a trough and the next crest: A sin(k x - theta0), A > 0, is at its least
        // (k x - theta0 = -pi/2) at the lower end and at its greatest (+pi/2) at the upper one. The phase is
        // an angle: it takes k x1, not x1.
        const double k = kk > 0 ? value[static_cast<size_t>(kk)] : 1.0;
        set(withStyle(gsSinePhase), std::fmod(k * p1.x + (dy >= 0 ? Pi / 2 : -Pi / 2), 2 * Pi));
        break;
    }
    default:
        return;
    }
    ClipToBounds();
}

// ---- model sums

double ModelValue(const std::vector<TPeak>& terms, double x) {
    double f = 0.0;
    for (const TPeak& t : terms) t.AddValues(&x, 1, 0, &f, nullptr);
    return f;
}

double ModelValueAndDerivatives(const std::vector<TPeak>& terms, double x, TPeak::TParamReals* derivs) {
    double f = 0.0;
    for (size_t i = 0; i < terms.size(); ++i) f += terms[i].ValueAndDerivatives(x, derivs[i]);
    return f;
}

// ---- user-defined terms

bool TPeak::CreateUser(const TUserFunction& function, TPeak& out) {
    std::unique_ptr<TExpression> compiled = function.BuildExpression();
    if (!compiled) return false;
    TPeak p;
    p.type = UserDefined;
    p.kindCode = function.Tag;
    p.nparams = std::clamp(function.VarCount - 1, 0, MaxParams - 1);
    p.userName = function.Name;
    for (int k = 1; k <= p.nparams; ++k) {
        const TUserVariable& v = function.Var(k + 1);
        const size_t i = static_cast<size_t>(k);
        p.value[i] = v.Initial;
        p.initial[i] = v.Initial;
        p.min[i] = v.Min;
        p.max[i] = v.Max;
        p.guessStyle[i] = v.GuessStyle;
        p.userParamNames[i] = v.Name;
    }
    p.expression = std::move(compiled);
    p.userFunction = std::make_shared<const TUserFunction>(function);
    out = std::move(p);
    return true;
}

void TPeak::AddUserValues(const double* x, int32_t n, double* f, double* const* d) const {
    if (!expression) {
        if (d)
            for (int k = 0; k < nparams; ++k) std::fill(d[k], d[k] + n, 0.0);
        return;
    }
    // The variables and results are held here, not in the shared expression, so that the fit can evaluate
    // the term over several stretches of points at once.
    const TExpression& e = *expression;
    std::array<double, TParamArray::MaxCount> vars{};
    std::copy_n(e.Params().Values(), TParamArray::MaxCount, vars.begin());
    for (int k = 1; k <= nparams; ++k) vars[static_cast<size_t>(k)] = value[static_cast<size_t>(k)];
    // One pass gives the value and every derivative. When any formula fails the point contributes nothing:
    // value and derivatives 0, the same in the pass with derivatives as in the one without.
    // A derivative the function does not define is 0.
    const size_t formulas =
        static_cast<size_t>(std::clamp(std::max(e.Count(), nparams + 1), 1, TExpression::MaxCount));
    std::vector<double> store(formulas * static_cast<size_t>(n), 0.0);
    std::array<double*, TExpression::MaxCount> results{};
    for (size_t k = 0; k < formulas; ++k) results[k] = store.data() + k * static_cast<size_t>(n);
    std::unique_ptr<bool[]> failed(new bool[static_cast<size_t>(n)]);
    e.EvaluateBlock(vars.data(), x, n, results.data(), failed.get());
    for (int32_t p = 0; p < n; ++p)
        if (!failed[static_cast<size_t>(p)]) f[p] += results[0][p];
    if (d)
        for (int k = 1; k <= nparams; ++k) std::copy_n(results[static_cast<size_t>(k)], n, d[k - 1]);
}
