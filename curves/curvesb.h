// The curve record: the point store plus its header (extremes, comment, file name, saved flag), the curve
// file reader and writer, and the numeric operations on one curve.
#pragma once

#include "curves/curvesA.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

// A model that a fitted curve is drawn from: a sum of terms that can be evaluated at any x, as a whole or one
// term alone. The fit engine is one; the curve record needs nothing else of it.
class TFitModel {
public:
    virtual int32_t ModelTermCount() const = 0;
    // The whole model for selector -1, else the term with that 0-based index.
    virtual double ModelValueAt(double x, int32_t selector) const = 0;

protected:
    ~TFitModel() = default;
};

// Lines of one kind met while reading: how many, and the first of them (1-based line number, first 80
// characters) to show the user.
struct TLineTally {
    int64_t count = 0;
    int64_t firstLine = 0;
    std::string firstText;
};

// What the lenient curve reader passed over, for a caller that tells the user: the reader itself never
// refuses a line.
struct TCurveReadNotes {
    TLineTally skipped;       // lines holding something, but no number
    TLineTally partlyRead;    // lines whose numbers came with text that was dropped ("0;1,5" gives (1, 5))
    bool moreThanTwo = false; // a data line holds more than two numbers (the rest are not read)
};

class TCurveB : public TCurveA {
public:
    explicit TCurveB(int32_t size = 0);
    TCurveB(const TCurveB& source);
    TCurveB& operator=(const TCurveB& source);
    TCurveB(TCurveB&&) noexcept = default;
    TCurveB& operator=(TCurveB&&) noexcept = default;
    ~TCurveB() override = default;

    // Copies points and header of source (a plain point store brings no header).
    void CreateCopy(const TCurveB& source, bool reAlloc = true, bool fullCapacity = false);
    virtual void CopyHeader(const TCurveB& source);

    double XMin = 0.0;
    double XMax = 0.0;
    double YMax = 0.0;
    double YMin = 0.0;
    std::string Comment;
    std::string FileName;
    bool Saved = false;

    // ---- header and shape (a curve without points gets 0.0, 0.0 for the pair concerned)
    void CalcXRange();
    virtual void CalcYRange();
    void CalcRanges() {
        CalcXRange();
        CalcYRange();
    }
    void MarkModified() { Saved = false; }
    void Offset(double dx, double dy);
    void Scale(double fx, double fy);
    // Stable ascending sort by x; XMin and XMax then come from the first and last points.
    virtual void SortByX();
    // First j > i with x(j) > x(i), or -1; last j < i with x(j) < x(i), or -1.
    int32_t NextHigherX(int32_t i) const;
    int32_t PrevLowerX(int32_t i) const;
    // Smallest spacing of neighbouring x values above 1e-10; 1e10 when there is none.
    double MinSpacing() const;

    // ---- curve file
    // Reads a curve file. Always gives a curve; one that could not be read has no points, and `error`
    // (when given) then says why, naming the file.
    // A gzip-compressed file is read as the text it holds; a damaged one gives no points. notes (when
    // given) get what the reader passed over.
    static TCurveB CreateFromFile(const std::string& fileName, bool init = true, std::string* error = nullptr,
                                  TCurveReadNotes* notes = nullptr);
    // Reads curve text already in memory (standard input, the clipboard); same rules as a file.
    static TCurveB CreateFromText(std::string_view text, TCurveReadNotes* notes = nullptr);
    // Writes the points to fileName (with the rules of OpenForWrite). On success FileName and Saved are
    // updated; on failure the curve and any existing file stay as they were and `error` says why.
    bool SaveToFile(const std::string& fileName, const std::string& defaultExt = "",
                    const std::string& defaultDir = "", std::string* error = nullptr);
    // The data lines of the file form: x, a space, y, CR LF, each number in 23 characters.
    std::string DataText() const;

    // ==== Operations on the points ===========================================================
    // Each runs on a private copy of the active curve. Failures are reported by the result (the curve is
    // then unchanged unless said otherwise); arithmetic faults (division by zero, invalid operations,
    // overflow) are left to the fault guard of the command, which abandons the command.

    // ---- calculus and point-wise operations (curvesb_calc.cpp)
    // dy/dx by second-order differences on an uneven grid, exact for parabolas. Fails, unchanged, when the
    // first or the last point lacks two neighbours on its side; ": derivative" is appended to Comment.
    bool Derivative();
    // Replaces y by the running trapezoid integral (0 at the first point); total gets the definite
    // integral. Fails, unchanged, below two points.
    bool Integral(double& total);
    void TimesX();
    // y := 1 / y where y is not 0.
    virtual void Inverse();
    // y := log10 y, or 1e-50 for y <= 1e-30.
    void Log10();
    // Deletes points first..last (1-based). Fails for an empty or inverted range, indices outside the
    // curve, or the whole curve.
    bool RemoveRange(int32_t first, int32_t last);
    // Sets all Count() points (at least 2) from a formula of x, stepping from left by
    // (right - left) / (Count() - 1); points where the formula cannot be evaluated are skipped and the grid
    // goes on past right. Fails, unchanged, on a formula that does not parse or one that stays unevaluable
    // for FormulaFailureLimit(Count()) steps in a row.
    bool FromFunction(const std::string& formula, double right, double left);
    static int32_t FormulaFailureLimit(int32_t steps);

    // ---- interpolation, curve arithmetic and averaging (curvesb_interp.cpp)
    // Largest grid any operation builds; finer grids fail rather than exhaust memory.
    static constexpr int32_t MaxGridPoints = 1 << 24;
    // Replaces the points by linear interpolation onto the grid offset + k interval inside
    // [XMin, XMax). Fails, unchanged, for fewer than two grid points, more than MaxGridPoints, or a grid
    // value the curve (which should be sorted by x) cannot bracket. Comment and FileName are emptied.
    bool Resample(double interval, double offset);
    // Operation codes of CurveMath: this curve is the left operand.
    enum : int { MathAdd = 1, MathSubtract = 2, MathDivide = 3, MathMultiply = 4 };
    // Combines y with the other curve interpolated at each x; points outside the other curve, and points
    // whose divisor is 1e-8 or less in magnitude, keep their values.
    virtual void CurveMath(const TCurveA& other, int op);
    // Averages the curves, in list order, into result: on an even grid over their joint x range with their
    // smallest neighbour spacing (evenSpacing), else at the x values of the first curve. A zero spacing or a
    // grid value no curve covers leaves a non-finite value in result (an arithmetic fault for the guard)
    // and returns false; so does an empty list or a grid above MaxGridPoints (result then unchanged).
    static bool Average(std::span<const TCurveB* const> curves, bool evenSpacing, TCurveB& result);
    // The union of the points of at least two curves, sorted stably by x (equal x keep list order), with
    // the header of the first curve. Fewer than two curves: result unchanged, false.
    static bool Merge(std::span<const TCurveB* const> curves, TCurveB& result);

    // ---- smoothing and regression (curvesb_smooth.cpp)
    // Moving least-squares polynomial of the given order over the n points nearest in x to each point,
    // each fit on the unchanged data in powers of x minus the point's x (so that it stays right however far
    // the curve lies from x = 0). A point whose window fit fails (too few different x in its window) keeps
    // its value. Fails, unchanged, when n < 3, n > Count() or n <= order.
    virtual bool SplineSmooth(int32_t n, int order);
    // Replaces y by the least-squares polynomial over the whole curve; coeffs gets a0..a_order. Fails,
    // unchanged, below order + 1 points or for singular equations; exactly order + 1 points divide by zero
    // in the standard error (an arithmetic fault).
    bool PolyRegression(int order, std::vector<double>& coeffs, double& stdError);
    // Gaussian low-pass filter of the given relative width through the Fourier transform; points the
    // filtered transform does not cover keep their values. Fails, unchanged, only when the curve has no
    // transform (x not strictly ascending, too many points).
    bool SpectralSmooth(double width);
    // Fixed five-point smoothing (three-point at the ends); nothing below 3 points.
    virtual void Smooth5();
    // Shape kinds of CreateShape (the numbering of the fit model's terms).
    enum : int { ShapeGaussian = 1 };
    // n points from left to right of a shape; for the Gaussian params are amplitude, centre and sigma.
    // Fails for n < 2 or an unknown kind.
    bool CreateShape(const double* params, double right, double left, int32_t n, int kind);

    // ---- Fourier transform (curvesb_fft.cpp)
    enum : int { FFTReal = 1, FFTImaginary = 2, FFTMagnitude = 3 };
    // Largest transform length.
    static constexpr int32_t MaxFFTLength = 16384;
    // Resamples the curve (real part) and imag (imaginary part, or none) onto N = 2^k even points, transforms
    // (direction +1 forward, -1 inverse, 1/sqrt(N) both ways) and keeps the real part, the imaginary part or
    // the magnitude on the frequency grid -pi/L..pi/L. Fails, unchanged, for x not strictly ascending by
    // at least 1e-10, N above MaxFFTLength, or a direction or mode out of range.
    bool FFT(const TCurveA* imag, int direction, int mode);
    // Why this curve cannot be transformed (FFT, spectral smoothing), as the end of a sentence starting
    // with the operation's name: "needs at least two points; the curve has 1."; empty when it can be.
    std::string TransformRefusal() const;
    // Why Derivative, Integral or SplineSmooth(n, order) failed on this curve (as it was before the call), in
    // the same form: the window and graphmill-cli say the same.
    std::string DerivativeRefusal() const;
    std::string IntegralRefusal() const;
    std::string SplineRefusal(int32_t n, int order) const;

    // ---- fitted curves
    // Lays the Count points on an even grid from XMin to XMax and gives each the model's value (selector -1)
    // or one term's value there; Comment becomes "fitted curve". Fails, changing nothing, without terms, with
    // a selector naming no term, or when XMin is not below XMax.
    bool MakeFitCurve(const TFitModel& model, int32_t selector);
    // The same over source's x range with source's number of points.
    bool MakeFitCurveFrom(const TCurveA& source, const TFitModel& model, int32_t selector);

private:
    // With releaseMapped the text is a file's private mapping, whose pages are given back as they are read.
    void ParseText(std::string_view text, bool releaseMapped = false, TCurveReadNotes* notes = nullptr);
    // Resample's sweep over the curve's own arrays where it cannot fail; false (nothing changed) otherwise.
    bool ResampleInPlace(double g, double h);
    void FinishResample(double lo, double hi);
};
