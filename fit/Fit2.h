// The least-squares engine: a model of up to ten terms fitted to the data points of a curve by the
// Levenberg-Marquardt method, with locked and bounded parameters. TFitParamA holds the terms, the data and
// the settings; TFitParamB adds the matrices and the iteration, driven one step at a time.
#pragma once

#include "fit/Fit1.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

// How a fit decides that it has converged.
enum class TConvergeTest : int32_t {
    // The chi-square fell by less than N x tolerance over each of the last two steps, the last one accepted
    // with the damping below 1: an absolute figure, quick on ordinary noisy data.
    ChiSquareChange = 0,
    // An accepted step lowered chi-square by at most ftol of itself and moved no free parameter by more than
    // xtol of the larger of its value and its standard error (a parameter whose best value is 0 moves by
    // rounding, which is no small part of itself), or chi-square is 0: free of the data's scale, for nearly
    // exact data and
    // ill-conditioned models. Fits under this test also damp each parameter by the largest curvature it has
    // had, so that a parameter whose influence fades cannot jump away, and a damping that falls to nothing
    // is no failure.
    Relative = 1,
};

// "min" or "max" when free parameter k of the term lies at that bound, else nullptr (locked parameters are
// never flagged: the fit did not move them).
const char* BoundReached(const TPeak& term, int k);

// How a finished fit ended.
enum class TFitStatus : int32_t { Converged, MaxIterations, Failed };

// What each data point's residual is divided by before it is squared.
enum class TWeighting : int32_t {
    None = 0,     // every point alike (sigma 1)
    Sigma = 1,    // the measured sigma of each point
    Poisson = 2,  // counts: sigma^2 = max(|y|, 1)
    Relative = 3, // sigma = |y|
};
// "none", "sigma", "poisson", "relative".
const char* WeightingName(TWeighting w);
// The weighting of a name of WeightingName; false for another text.
bool WeightingFromName(const std::string& name, TWeighting& w);
// The sigmas of points first..last of data (1-based) for a weighted fit: the y values of sigmaCurve point for
// point when it is given (it must have as many points as data), else data's own sigmas. False with error
// saying why when there are none.
bool SigmasOfRange(const TCurveA& data, const TCurveA* sigmaCurve, int32_t first, int32_t last,
                   std::vector<double>& sigmas, std::string& error);
// Measured sigmas (sigma, poisson) give the parameters' covariance as it stands; without them (none,
// relative) the residuals' own spread sets its size, so it is scaled by the reduced chi-square.
inline bool MeasuredSigmas(TWeighting w) {
    return w == TWeighting::Sigma || w == TWeighting::Poisson;
}

class TFitParamA : public TFitModel {
public:
    static constexpr int MaxTerms = 10;
    // Parameters of all terms together that one fit can hold.
    static constexpr int MaxFitParams = 50;

    TFitParamA();
    virtual ~TFitParamA() = default;

    // ---- the model. Adding fails (false) when MaxTerms terms exist.
    bool AddTerm(int32_t type, int32_t order = 0);
    // Fails when the function's formulas do not compile.
    bool AddUserTerm(const TUserFunction& function);
    // Reads the file as the term's curve and samples it at the current data points; fails (adding nothing,
    // error saying why) when the file gives fewer than 2 points.
    bool AddTabulatedTerm(const std::string& fileName, std::string* error = nullptr);
    // Adds a term as it is (one of a saved model); a tabulated term is sampled at the current data points.
    bool AddTerm(TPeak term);
    // index is 0-based; later terms move up one place.
    void RemoveTerm(int32_t index);
    void Clear();

    int32_t TermCount() const { return static_cast<int32_t>(terms_.size()); }
    TPeak& Term(int32_t index) { return terms_[static_cast<size_t>(index)]; }
    const TPeak& Term(int32_t index) const { return terms_[static_cast<size_t>(index)]; }
    const std::vector<TPeak>& Terms() const { return terms_; }
    // Total parameter count of all terms.
    int32_t ParamCount() const;

    // Initial guesses of every term in model order over points first..last of curve: each term is guessed
    // from what the earlier ones leave of a copy of the curve (the curve itself is not changed).
    void InitialGuesses(const TCurveB& curve, int32_t first, int32_t last);

    // ---- the data: points first..last of curve (1-based); fails with fewer than 4 points, and then leaves
    // no data (a fit of the curve passed before would be a fit of data the user no longer sees).
    bool SetData(const TCurveB& curve, int32_t first, int32_t last);
    int32_t PointCount() const { return static_cast<int32_t>(px_.size()); }
    const double* DataX() const { return px_.data(); }
    const double* DataY() const { return py_.data(); }
    double YRange() const { return yRange_; }
    // The curve's point number of the first data point.
    int32_t DataFirst() const { return dataFirst_; }

    // ---- weights of the data points; SetData drops them, so they are set after the data. For Sigma,
    // sigmas holds one value per data point; a sigma that is 0, negative or not finite is refused with an
    // error naming its point (as the curve numbers it), and the weights stay as they were. The schemes
    // compute their sigmas from the data's y (relative refuses a point whose y is 0).
    bool SetWeights(TWeighting weighting, const std::vector<double>& sigmas = {},
                    std::string* error = nullptr);
    TWeighting Weighting() const { return weighting_; }
    // The sigma of data point i (0-based): 1 without weights.
    double PointSigma(int32_t i) const {
        return weight_.empty() ? 1.0 : 1.0 / weight_[static_cast<size_t>(i)];
    }
    // The sum of squared deviations of the data's y from their mean (0 without data), with weights the
    // weighted sum about the weighted mean.
    double YSpread() const { return std::ldexp(ySpread_, 2 * yExponent_); }

    // Chi-square of the current terms' parameters or of another parameter set of the same model over the
    // data: sum of squared residuals divided by scale squared (below the smallest double for data below
    // about 1e-155, although the fit itself works with it unharmed).
    double ChiSquare() { return FromFitUnits(ScaledChiSquare()); }
    double ChiSquare(const std::vector<TPeak>& terms) const { return FromFitUnits(ScaledChiSquare(terms)); }
    double CurrentChiSquare() const { return FromFitUnits(chiSquare_); }
    // Chi-square of the current parameters with the reported figure brought up to date, after the user has
    // changed a parameter.
    double UpdateChiSquare();
    // The root-mean-square residual relative to the data's y range: the figure reported as "ChiSquare".
    double Rms() const { return rms_; }

    // ---- curves of the model
    int32_t ModelTermCount() const override { return TermCount(); }
    double ModelValueAt(double x, int32_t selector) const override;
    // The curve record's MakeFitCurve with this model; selector -1 for the whole model.
    bool ModelCurve(TCurveB& curve, int32_t selector) const { return curve.MakeFitCurve(*this, selector); }
    // The fitted curve shown over the plot: DisplayIncrements() points from the first to the last data x.
    const TCurveB& DisplayCurve() const { return display_; }
    bool RefreshDisplayCurve() { return ModelCurve(display_, -1); }
    int32_t DisplayIncrements() const { return displayIncrements_; }
    void SetDisplayIncrements(int32_t n);

    // ---- settings
    TConvergeTest convergeTest = TConvergeTest::ChiSquareChange;
    // The chi-square change test's slack, per data point.
    double tolerance = 1e-4;
    // The relative test's limits: on the relative decrease of chi-square and on the largest change of a free
    // parameter in one accepted step, relative to the larger of its value and its standard error.
    double ftol = 1e-12;
    double xtol = 1e-10;
    int32_t maxIterations = 100;
    // Residuals are divided by this; a value of magnitude below 1e-4 counts as 1 when a fit is prepared.
    double scale = 1.0;
    // The level, in percent, of the parameters' confidence intervals and of the model's confidence band.
    double confidence = 95.0;

protected:
    // Points are evaluated in blocks of this many: each term runs its loop over a block at a time.
    static constexpr int32_t BlockSize = 256;
    // Sums over the points are formed per stretch of this many points (block by block) and the stretches'
    // sums added in order, so that they are the same numbers however many threads form them.
    static constexpr int32_t StretchPoints = 128 * BlockSize;
    // Runs part(k) for every stretch k of the points: on several threads when there are several stretches
    // and every term may be evaluated on any thread, else in order on this one.
    template <class Part>
    void ForEachStretch(const std::vector<TPeak>& terms, Part&& part) const;
    // For each block of stretch `part`: the residuals (y minus the model, in residual units) into f and, with
    // d, the derivatives into the rows d (as EvalBlock), then use(points of the block).
    template <class Use>
    void ResidualBlocks(const std::vector<TPeak>& terms, int32_t part, double* f, double* const* d,
                        Use&& use) const;

    // The parameter values, scale and data a chi-square or a matrix belongs to.
    struct TChiKey {
        std::array<double, MaxTerms * TPeak::MaxParams> values{};
        int32_t count = -1;
        double scale = 0.0;
        uint64_t generation = 0;
        bool operator==(const TChiKey& o) const {
            return count == o.count && scale == o.scale && generation == o.generation &&
                   std::equal(values.begin(), values.begin() + count, o.values.begin());
        }
    };
    TChiKey KeyOf() const;

    // Forgets that a fit was prepared: the model or the data changed shape.
    void Invalidate();
    // yExponent_ and ySpread_ of the data, weighted when weights are set.
    void MeasureSpread();
    // The fit's units. Residuals are taken in units of 2^residualExponent_, the power of two at or below the
    // data's largest |y| (or, for a start whose model lies far above the data, its largest residual), so
    // that a chi-square neither underflows (data of 1e-160 have squares below the smallest double) nor
    // overflows whatever the data's magnitude; the chi-squares inside the fit are in these units. A power of
    // two divides exactly: for data that never come near those limits every figure of the fit is the same
    // as without it.
    void SetResidualUnit(int exponent);
    // A sum of squares in the fit's units in the data's own units, and the other way (then at most 1e300,
    // so that sums of it stay finite: it is a slack of the tolerance test).
    double FromFitUnits(double sumOfSquares) const { return std::ldexp(sumOfSquares, 2 * residualExponent_); }
    double ToFitUnits(double sumOfSquares) const;
    // Chi-square in the fit's units, of the current terms (kept until they change) or of terms.
    double ScaledChiSquare();
    double ScaledChiSquare(const std::vector<TPeak>& terms) const;
    // The largest |residual| of terms over the data (weighted, with weights).
    double LargestResidual(const std::vector<TPeak>& terms) const;
    // With weights, multiplies rows d[0..m) of the derivatives of points start..start+n by the points'
    // weights.
    void WeighDerivatives(int32_t start, int32_t n, double* const* d, int32_t m) const;
    void UpdateRms();
    // Evaluates terms over the data points in blocks: values into f[0..n) and, with d, the derivatives of all
    // parameters in term order into the rows d[0..M).
    void EvalBlock(const std::vector<TPeak>& terms, int32_t start, int32_t n, double* f,
                   double* const* d) const;

    std::vector<TPeak> terms_;
    std::vector<double> px_, py_;
    // 1/sigma of each data point, empty without weights.
    std::vector<double> weight_;
    TWeighting weighting_ = TWeighting::None;
    int32_t dataFirst_ = 0;
    double yRange_ = 0.0;
    // In units of 2^yExponent_, the power of two at or below the data's largest |y|.
    double ySpread_ = 0.0;
    int yExponent_ = 0;
    // Residuals are multiplied by perResidualUnit_ = 2^-residualExponent_.
    int residualExponent_ = 0;
    double perResidualUnit_ = 1.0;
    int32_t displayIncrements_ = 100;
    TCurveB display_;

    double chiSquare_ = 0.0;
    double rms_ = 0.0;
    double chiPrev_ = 0.0, chiPrev2_ = 0.0;
    double lambda_ = -1.0, lambdaOld_ = 10.0;
    bool prepared_ = false;
    // The parameters chiSquare_ was computed for: the same parameters are never summed over the data twice.
    TChiKey chiKey_;

private:
    void LayOutDisplay();
    uint64_t generation_ = 1;
};

class TFitParamB : public TFitParamA {
public:
    // Readies a fit of the current terms to the data. Fails (with LastError() saying why) when the terms hold
    // more than MaxFitParams parameters or there are not more data points than parameters.
    bool Prepare();
    // One iteration with its convergence test; true when the fit has finished (converged, out of iterations
    // or failed). Prepares first when the model or the data changed since the last preparation.
    //
    // A trial step whose model, derivatives or chi-square overflow or are not finite is rejected like any
    // step that raises chi-square, and leaves no fault behind: only the accepted parameters (the start, or
    // the result of an accepted step) can end a fit in an arithmetic fault.
    bool Step();
    // Prepare, then Step until finished. False when the preparation failed.
    bool RunFit();

    const std::string& LastError() const { return lastError_; }
    int32_t Failed() const { return failed_; }
    // What made the fit fail (empty while it has not).
    const std::string& Failure() const { return failure_; }
    double Lambda() const { return lambda_; }

    // Steps taken since the fit was prepared (at most maxIterations: a limit of 0 evaluates the start only),
    // and whether the tolerance was met within them; the fit panel resets both when it starts stepping
    // again.
    int32_t iterations = 0;
    bool converged = false;

    // ---- the result in full precision (the parameters and their sigmas are in the terms)
    TFitStatus Status() const;
    // Parameters that are not locked (known once a fit has been prepared).
    int32_t FreeParamCount() const { return mFree_; }
    // The sum of squared residuals over the data points, without the scale.
    double SumOfSquares() const;
    // SumOfSquares divided by the data points minus the free parameters.
    double ReducedChiSquare() const;
    // 1 - SumOfSquares / YSpread; NaN when all data y are equal.
    double RSquared() const;
    // Data points less free parameters: the degrees of freedom of the intervals and the reduced chi-square.
    int32_t DegreesOfFreedom() const { return PointCount() - mFree_; }

    // ---- covariance and confidence of the finished fit
    // A parameter of the model: its term (from 0) and its number in the term (from 1).
    struct TParamRef {
        int32_t term;
        int k;
    };
    // The free parameters in model order: the rows and columns of FreeCovariance and Correlation.
    const std::vector<TParamRef>& FreeParams() const { return freeParams_; }
    // The covariance of the free parameters only, row by row (Covariance without the rows and columns of
    // locked parameters); empty until a fit has finished.
    std::vector<double> FreeCovariance() const;
    // The covariance of the free parameters divided by the product of their sigmas (NaN where a sigma is
    // 0); empty as the covariance.
    const std::vector<double>& Correlation() const { return correlation_; }
    // The t of Student's distribution with the fit's degrees of freedom that a two-sided interval at the
    // confidence level reaches (NaN for a level outside 0 to 100 or no degree of freedom).
    double TQuantile() const;
    // value - t sigma and value + t sigma of parameter k of term.
    void ConfidenceInterval(int32_t term, int k, double& low, double& high) const;
    // The model at x and the half width of its confidence band there: t sqrt(g C g'), g the model's
    // derivatives by the free parameters. False before a fit has finished.
    bool BandAt(double x, double& model, double& halfWidth) const;
    // The model and its band (three curves) at the data points' x. False before a fit has finished or
    // without data.
    bool BandAtDataPoints(TCurveB& model, TCurveB& lower, TCurveB& upper) const;
    // The lines the full result adds about the covariance: weights, degrees of freedom, the intervals and
    // the correlation matrix.
    std::string ConfidenceText() const;

    // The model at the data points (a tabulated term takes its samples there), or with residuals the data
    // points with y replaced by y minus the model; in the data's order. False without a term or data.
    bool ModelAtDataPoints(TCurveB& curve, bool residuals) const;

    // ---- the result as the fit panel shows it
    // "   " " parameter #k (name)" value " ± " sigma, numbers in fixed notation with 4 decimals, width 8.
    std::string ParameterLine(int32_t term, int k) const;
    std::vector<std::string> ResultLines() const;
    // The lines, each ended by a line feed.
    std::string ResultText() const;
    // The same result with every number in full precision (each reads back to the same double), the terms
    // numbered from 1 as the fit panel lists them, and the sum of squares, reduced chi-square and R².
    std::string FullResultText() const;

    // ---- peak figures
    // The covariance of the parameters of the finished fit, ParamCount() x ParamCount() row by row in model
    // order (rows and columns of locked parameters 0); empty before a fit has finished. With measured
    // sigmas (MeasuredSigmas) it is the inverse curvature matrix, else that times the reduced chi-square.
    const std::vector<double>& Covariance() const { return covariance_; }
    // The block of term's parameters in it (empty when there is none).
    std::vector<double> TermCovariance(int32_t term) const;
    // The figures of every peak-shaped term in full precision with their standard errors: a line "#" term
    // number (from 1), two spaces and the type name, then centre, height, area and fwhm, a line each,
    // "   name = value ± sigma".
    std::string FiguresText() const;

private:
    using TMatrix = std::array<std::array<double, MaxFitParams + 1>, MaxFitParams>;
    // The undamped curvature matrix and gradient of one parameter set.
    struct TSystem {
        TMatrix alpha{};
        std::array<double, MaxFitParams> beta{};
        TChiKey key;
        bool valid = false;
    };

    void Iterate();
    bool ConvergedNow() const;
    // The fit has failed, for the reason given (shown in the result).
    void Fail(std::string why);
    // The damping left its range.
    void FailDamping();
    // Builds the system of terms' parameters into sys, each parameter's derivatives multiplied by
    // 2^columnExponent_[k].
    void BuildSystem(TSystem& sys, const std::vector<TPeak>& terms);
    // BuildSystem, and where a parameter's curvature leaves the range of doubles the derivatives are
    // measured and the system built again with that parameter's column brought into range. guarded: a build
    // that faults or is not finite leaves no fault behind and gives false; otherwise a fault of the last
    // build is the command's.
    bool BuildInRange(TSystem& sys, const std::vector<TPeak>& terms, bool guarded);
    // A solution of a system (parameter k's entry, in the units of its column and of the residuals) in the
    // parameter's own units.
    double InParamUnits(double v, int32_t k) const {
        return std::ldexp(v, columnExponent_[static_cast<size_t>(k)] + residualExponent_);
    }
    // Builds the system of the step just accepted. When that overflows or is not finite the step is taken
    // back as a rejected one.
    void AdoptAcceptedStep();
    // Solves the free parameters' system (alpha with lambda times the damping scale added to its diagonal,
    // rows and columns of locked parameters removed) for the right-hand side rhs of all parameters; sol gets
    // one value per free parameter, in order.
    bool SolveFree(const TMatrix& alpha, const double* rhs, double* sol, double lambda) const;
    // Under the relative test: adds half the geodesic acceleration to the step delta_ solved from sys, or
    // false when the model bends too much along the step for it to be taken.
    bool Accelerate(const TSystem& sys);
    // Takes a system into use: under the relative test the damping scale of each parameter is the largest
    // curvature it has had in this fit, that of the steps before faded when stepTaken (sys is that of the
    // step just accepted).
    void NoteSystem(const TSystem& sys, bool stepTaken = false);
    // The standard error of each parameter (0 for a locked one, or where sys cannot be solved) from the
    // undamped system sys and the chi-square chi in the fit's units, in model order; with covariance, also
    // the parameters' covariance matrix the errors are the roots of the diagonal of, and with correlation
    // the correlation of the free parameters.
    void StandardErrors(const TSystem& sys, double chi, std::array<double, MaxFitParams>& sigma,
                        std::vector<double>* covariance = nullptr,
                        std::vector<double>* correlation = nullptr) const;
    void ErrorEstimates();
    void RefreshLocks();

    // The system the last step was solved with, and the spare one the next is built into. Its matrix, its
    // gradient and the damping scale are in the units of the columns: parameter k's derivatives are taken
    // times 2^columnExponent_[k], 0 unless they lie so far from 1 that their squares would leave the range
    // of doubles (the derivatives by the position and width of a peak of height 1e-160).
    std::array<TSystem, 2> systems_;
    std::array<int, MaxFitParams> columnExponent_{};
    int32_t current_ = 0;
    std::array<double, MaxFitParams> delta_{};
    // What lambda multiplies on the diagonal: the diagonal itself (Marquardt's damping), or under the
    // relative test the largest diagonal met so far, its memory fading step by step (NoteSystem), which
    // keeps a parameter whose influence fades from taking an unbounded step.
    std::array<double, MaxFitParams> dampScale_{};
    std::vector<TPeak> trialTerms_;
    std::vector<TParamRef> freeParams_;
    std::vector<double> correlation_;
    int32_t m_ = 0;
    std::array<bool, MaxFitParams> lockedList_{};
    bool anyLocked_ = false;
    int32_t mFree_ = 0;
    int32_t failed_ = 0;
    std::string lastError_;
    std::string failure_;
    std::vector<double> covariance_;

    // The last step: accepted or not, and for an accepted one the figures of the relative test and what
    // taking it back needs.
    bool accepted_ = false;
    double relDecrease_ = 0.0;
    double relChange_ = 0.0;
    double chiBefore_ = 0.0, chiPrevBefore_ = 0.0, chiPrev2Before_ = 0.0;
    std::vector<TPeak::TParamReals> valuesBefore_;

    // Work space of one block of points for the search of columns out of range, allocated when a fit is
    // prepared.
    std::vector<double> blockF_, blockG_;
    std::vector<double*> blockRows_;
};
