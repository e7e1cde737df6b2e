// The fit model: one term (TPeak) of a built-in shape, a user-defined function or a tabulated curve, with its
// parameters, bounds, locks and initial-guess styles, and the model sums over a list of terms.
#pragma once

#include "curves/curvesb.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TExpression;
class TUserFunction;

// Initial-guess style codes of a parameter.
enum : int32_t {
    gsNone = 0,
    gsOffset = 1,
    gsSlope = 2,
    gsAuxFunction = 3,
    gsPeakAmplitude = 4,
    gsPeakPosition = 5,
    gsPeakWidth = 6,
    gsExponentialA = 7,
    gsExponentialB = 8,
    gsSineAmplitude = 9,
    gsSineK = 10,
    gsSinePhase = 11,
    GuessStyleCount = 12
};

// The name of a guess style as the style list shows it ("" for an unknown code).
const char* GuessStyleName(int32_t style);

class TPeak {
public:
    // Term types: the built-in shapes 0..13 and user-defined functions. The numbers of the first seven are
    // the program's since its start; the shapes from 7 on live in the shapes unit (fit/peakshapes.h).
    static constexpr int32_t Polynomial = 0;
    static constexpr int32_t Gaussian = 1;
    static constexpr int32_t Lorentzian = 2;
    static constexpr int32_t Sinusoidal = 3;
    static constexpr int32_t GausLorentz = 4;
    static constexpr int32_t Exponential = 5;
    static constexpr int32_t Tabulated = 6;
    static constexpr int32_t Voigt = 7;
    static constexpr int32_t PseudoVoigt = 8;
    static constexpr int32_t Pearson7 = 9;
    static constexpr int32_t SplitGaussian = 10;
    static constexpr int32_t SplitLorentzian = 11;
    static constexpr int32_t Logistic = 12;
    static constexpr int32_t ExpGaussian = 13;
    static constexpr int32_t BuiltInCount = 14;
    static constexpr int32_t UserDefined = 100;

    static constexpr int MaxParams = 10;
    static constexpr int MaxPolyOrder = 8;

    // Per-parameter fields are indexed 1..MaxParams like the parameters themselves; slot 0 is unused.
    using TParamReals = std::array<double, MaxParams + 1>;

    // A term of a built-in type with its defaults; order is the polynomial's order (0..8), else unused.
    // An unknown type gives a polynomial of order 0.
    static TPeak Create(int32_t type, int32_t order = 0);
    // A term of a user-defined function: its parameters are the function's variables 2..n, with their
    // initial values, bounds and guess styles. Fails (false, `out` untouched) when its formulas do not
    // compile.
    static bool CreateUser(const TUserFunction& function, TPeak& out);
    // The built-in type names, as the term lists show them ("" for an unknown code).
    static const char* BuiltInTypeName(int32_t type);

    // A copy shares the auxiliary curves and the compiled expression with the original.
    TPeak Copy() const { return *this; }

    std::string TypeName() const;
    std::string ParamName(int k) const;

    // Does nothing while parameter k is locked.
    void SetValue(int k, double v) {
        if (!lock[static_cast<size_t>(k)]) value[static_cast<size_t>(k)] = v;
    }
    // Every value above its max becomes max, every value below its min becomes min; locks are not consulted.
    void ClipToBounds();

    // The term's value at an arbitrary x (a tabulated term interpolates its curve there).
    double Value(double x) const;
    // The value, and in d[1..nparams] the partial derivatives with respect to the parameters.
    double ValueAndDerivatives(double x, TParamReals& d) const;
    // The working form used by the fit: adds the values at x[0..n) to f[0..n) and, when d is given, stores
    // the derivative with respect to parameter k at d[k - 1][0..n). point is the 1-based data point number of
    // x[0] (a tabulated term then reads its samples), or 0 for x values that are not the fit's data points.
    void AddValues(const double* x, int32_t n, int32_t point, double* f, double* const* d) const;

    // Sets the parameters from the points first..last of curve by their guess styles (locked ones keep their
    // values), clips every value to its bounds and, with subtract, removes this built-in term's values from
    // every point of the curve.
    void InitialGuess(TCurveB& curve, int32_t first, int32_t last, bool subtract);
    // Sets the parameters from two corners of a rectangle marked in the plot (locked ones keep their values).
    void TwoPointGuess(TXYPoint p1, TXYPoint p2);

    // ---- tabulated terms
    // Takes source as the term's curve (it needs at least 2 points).
    bool SetTabulatedSource(TCurveB source);
    // Samples the term's curve at the fit's data points: sample k belongs to data point k.
    void SampleTabulated(const double* x, int32_t n);
    // The term's curve at x: its first y left of its first point, its last y right of its last point,
    // interpolated between (0 where no pair of points brackets x).
    double TabulatedAt(double x) const;
    // y of data point k's sample (TabulatedAt for a point that has none).
    double TabulatedSample(int32_t k, double x) const;

    int32_t type = Polynomial;
    int32_t nparams = 1;
    // The type for a built-in term; the function's tag for a user-defined one (-1 normally: no subtraction).
    int32_t kindCode = Polynomial;
    TParamReals value{};
    TParamReals sigma{};
    TParamReals initial{};
    TParamReals min{};
    TParamReals max{};
    std::array<int32_t, MaxParams + 1> guessStyle{};
    std::array<bool, MaxParams + 1> lock{};

    // Tabulated term: the file, the curve read from it, and its samples at the data points.
    std::string fileName;
    std::shared_ptr<const TCurveB> tabSource;
    std::shared_ptr<const TCurveB> tabulated;

    // User-defined term: the compiled function and derivative formulas, and the names the term shows. The
    // names are copied so that a term outlives a change to the function library.
    std::shared_ptr<TExpression> expression;
    // The function's definition as the term was made from it: a saved session makes the term again from it
    // whatever has become of the library since.
    std::shared_ptr<const TUserFunction> userFunction;
    std::string userName;
    std::array<std::string, MaxParams + 1> userParamNames;

private:
    TPeak();
    void AddUserValues(const double* x, int32_t n, double* f, double* const* d) const;
    void GuessParameter(int k, const TCurveB& curve, int32_t first, int32_t last);

    // Search position in tabSource for sweeps of rising x (kept only when tabSource is sorted by x).
    mutable int32_t tabHint_ = 1;
    mutable double tabLastX_ = 0.0;
    bool tabSorted_ = false;
};

// The sum of the terms' values at x (starting at 0).
double ModelValue(const std::vector<TPeak>& terms, double x);
// The same, with each term's derivative vector in derivs[term] (derivs holds one vector per term).
double ModelValueAndDerivatives(const std::vector<TPeak>& terms, double x, TPeak::TParamReals* derivs);
