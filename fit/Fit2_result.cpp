// The result of a fit: the standard errors of its parameters, its figures and the result text.
#include "fit/Fit2.h"

#include "fit/Fit2_sums.h"

#include <array>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>
#include <vector>

using fitsums::EffectiveScale;

namespace {

// v in fixed notation with the given decimals, right-aligned in a field of width characters (wider when the
// number needs it). Independent of the process locale, so the decimal separator is always a full stop.
std::string Fixed(double v, int width, int decimals) {
    char buf[400];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals);
    std::string s = res.ec == std::errc() ? std::string(buf, res.ptr) : std::string("?");
    if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<size_t>(width) - s.size(), ' ');
    return s;
}

} // namespace

void TFitParamB::StandardErrors(const TSystem& sys, double chi, std::array<double, MaxFitParams>& sigma,
                                std::vector<double>* covariance, std::vector<double>* correlation) const {
    // Locked parameters are not estimated: they take no degree of freedom.
    const double dof = PointCount() - mFree_;
    const bool measured = MeasuredSigmas(weighting_);
    const size_t free = static_cast<size_t>(mFree_);
    // The element of the inverse of parameters a and b in the parameters' own units: with measured sigmas
    // as it stands, else times the reduced chi-square.
    auto own = [&](double v, int32_t a, int32_t b) {
        const int columns = columnExponent_[static_cast<size_t>(a)] + columnExponent_[static_cast<size_t>(b)];
        return measured ? std::ldexp(v, columns) : std::ldexp(v * chi / dof, columns + 2 * residualExponent_);
    };
    std::array<int32_t, MaxFitParams> freeIndex{};
    for (int32_t i = 0, j = 0; i < m_; ++i)
        if (!lockedList_[static_cast<size_t>(i)]) freeIndex[static_cast<size_t>(j++)] = i;
    constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
    if (covariance) covariance->assign(free * free, NaN);
    if (correlation) correlation->assign(free * free, NaN);
    std::array<double, MaxFitParams> e{}, v{};
    for (int32_t i = 0, j = 0; i < m_; ++i) {
        const size_t ii = static_cast<size_t>(i);
        sigma[ii] = 0.0;
        if (lockedList_[ii]) continue;
        e.fill(0.0);
        e[ii] = 1.0;
        if (SolveFree(sys.alpha, e.data(), v.data(), 0.0)) {
            sigma[ii] = measured
                            ? std::ldexp(std::sqrt(std::fabs(v[static_cast<size_t>(j)])), columnExponent_[ii])
                            : InParamUnits(std::sqrt(std::fabs(v[static_cast<size_t>(j)]) * chi / dof), i);
            if (covariance)
                for (size_t r = 0; r < free; ++r) {
                    (*covariance)[r * free + static_cast<size_t>(j)] = own(v[r], freeIndex[r], i);
                    if (correlation) (*correlation)[r * free + static_cast<size_t>(j)] = v[r];
                }
        }
        ++j;
    }
    // Each column was solved on its own: the two halves agree to rounding, and the mean of the two is
    // symmetric exactly.
    if (covariance)
        for (std::vector<double>* matrix : {covariance, correlation}) {
            if (matrix == nullptr) continue;
            for (size_t r = 0; r < free; ++r)
                for (size_t c = 0; c < r; ++c) {
                    double& a = (*matrix)[r * free + c];
                    double& b = (*matrix)[c * free + r];
                    a = b = 0.5 * a + 0.5 * b;
                }
        }
    // The correlation from the inverse in the columns' units, where it is a number whatever the data's
    // magnitude; its diagonal is 1 exactly.
    if (correlation) {
        std::vector<double> d(free);
        for (size_t r = 0; r < free; ++r) d[r] = std::sqrt(std::fabs((*correlation)[r * free + r]));
        for (size_t r = 0; r < free; ++r)
            for (size_t c = 0; c < free; ++c) {
                double& x = (*correlation)[r * free + c];
                x = r == c && d[r] > 0.0 ? 1.0 : d[r] > 0.0 && d[c] > 0.0 ? x / d[r] / d[c] : NaN;
            }
    }
}

void TFitParamB::ErrorEstimates() {
    // The undamped system of the last step's starting point.
    std::array<double, MaxFitParams> sigma{};
    // The covariance of parameters of enormous size (heights of 1e170) lies beyond the doubles: its
    // elements are then infinite, and that is no fault of the fit.
    std::fexcept_t flags;
    std::fegetexceptflag(&flags, FE_OVERFLOW);
    StandardErrors(systems_[static_cast<size_t>(current_)], chiSquare_, sigma, &covariance_, &correlation_);
    std::fesetexceptflag(&flags, FE_OVERFLOW);
    freeParams_.clear();
    size_t i = 0;
    for (int32_t t = 0; t < TermCount(); ++t)
        for (int k = 1; k <= terms_[static_cast<size_t>(t)].nparams; ++k) {
            if (!lockedList_[i]) freeParams_.push_back({t, k});
            terms_[static_cast<size_t>(t)].sigma[static_cast<size_t>(k)] = sigma[i++];
        }
}

TFitStatus TFitParamB::Status() const {
    if (failed_) return TFitStatus::Failed;
    return converged ? TFitStatus::Converged : TFitStatus::MaxIterations;
}

double TFitParamB::SumOfSquares() const {
    const double s = EffectiveScale(scale);
    return FromFitUnits(chiSquare_ * s * s);
}

double TFitParamB::ReducedChiSquare() const {
    const int32_t dof = PointCount() - mFree_;
    return dof > 0 ? SumOfSquares() / dof : std::numeric_limits<double>::quiet_NaN();
}

double TFitParamB::RSquared() const {
    // Both sums in the units of the data's y, so that neither underflows.
    const double s = EffectiveScale(scale);
    return ySpread_ > 0.0
               ? 1.0 - std::ldexp(chiSquare_ * s * s, 2 * (residualExponent_ - yExponent_)) / ySpread_
               : std::numeric_limits<double>::quiet_NaN();
}

bool TFitParamB::ModelAtDataPoints(TCurveB& curve, bool residuals) const {
    const int32_t count = PointCount();
    if (terms_.empty() || count == 0) return false;
    curve = TCurveB(count);
    curve.SetCount(count);
    double f[BlockSize];
    for (int32_t start = 0; start < count; start += BlockSize) {
        const int32_t n = std::min(BlockSize, count - start);
        EvalBlock(terms_, start, n, f, nullptr);
        for (int32_t p = 0; p < n; ++p) {
            const size_t i = static_cast<size_t>(start + p);
            curve.SetXY(start + p + 1, px_[i], residuals ? py_[i] - f[p] : f[p]);
        }
    }
    curve.CalcRanges();
    return true;
}

const char* BoundReached(const TPeak& term, int k) {
    if (k < 1 || k > term.nparams) return nullptr;
    const size_t kk = static_cast<size_t>(k);
    if (term.lock[kk]) return nullptr;
    if (term.value[kk] <= term.min[kk]) return "min";
    if (term.value[kk] >= term.max[kk]) return "max";
    return nullptr;
}

namespace {
// The mark of a parameter that ended at a bound, after its line in the result.
std::string BoundMark(const TPeak& term, int k) {
    const char* bound = BoundReached(term, k);
    return bound != nullptr ? std::string("  (at ") + bound + ")" : std::string();
}
} // namespace

std::string TFitParamB::ParameterLine(int32_t term, int k) const {
    if (term < 0 || term >= TermCount()) return "";
    const TPeak& t = Term(term);
    const size_t kk = static_cast<size_t>(k);
    if (k < 1 || k > t.nparams) return "";
    return "   " + std::string(" parameter #") + std::to_string(k) + " (" + t.ParamName(k) + ")" +
           Fixed(t.value[kk], 8, 4) + " \u00b1 " + Fixed(t.sigma[kk], 8, 4) + BoundMark(t, k);
}

std::vector<std::string> TFitParamB::ResultLines() const {
    std::vector<std::string> lines;
    if (failed_) lines.emplace_back("ERROR:  matrix does not converge!!!");
    if (failed_ && !failure_.empty())
        lines.push_back(failure_);
    else if (converged)
        lines.push_back(std::to_string(iterations) + " itterations performed; tolerance satisfied.");
    else
        lines.emplace_back("Maximum number of itterations exceeded; tolerance not satisfied.");
    bool atBound = false;
    for (const TPeak& t : terms_)
        for (int k = 1; k <= t.nparams; ++k) atBound = atBound || BoundReached(t, k) != nullptr;
    // A fit held at a bound has not found the least chi-square the model has: the status says so, whatever
    // the tolerance test found.
    if (atBound)
        lines.emplace_back("Parameters marked (at min) or (at max) ended at a bound; the best fit may lie "
                           "beyond it.");
    // A weighted fit says so, and how its sigmas are to be read; an unweighted one's text stays as it was.
    if (weighting_ != TWeighting::None)
        lines.push_back(std::string("Weights: ") + WeightingName(weighting_) +
                        (MeasuredSigmas(weighting_)
                             ? "; parameter sigmas from the measured sigmas."
                             : "; parameter sigmas scaled by the reduced chi-square."));
    lines.emplace_back(" ");
    lines.push_back("ChiSquare:  " + Fixed(rms_, 10, 6));
    lines.emplace_back(" ");
    for (int32_t t = 0; t < TermCount(); ++t) {
        lines.emplace_back("  ");
        lines.push_back("#" + std::to_string(t) + " " + Term(t).TypeName());
        for (int k = 1; k <= Term(t).nparams; ++k) lines.push_back(ParameterLine(t, k));
    }
    return lines;
}

std::string TFitParamB::ResultText() const {
    std::string text;
    for (const std::string& line : ResultLines()) text += line + "\n";
    return text;
}

std::string TFitParamB::FullResultText() const {
    auto exact = [](double v) {
        char buf[64];
        const auto res = std::to_chars(buf, buf + sizeof buf, v);
        return std::string(buf, res.ptr);
    };
    const std::vector<std::string> lines = ResultLines();
    // The status lines of the result text (up to its first blank line).
    std::string text;
    for (const std::string& line : lines) {
        if (line == " ") break;
        text += line + "\n";
    }
    text += "\nPoints: " + std::to_string(PointCount()) + ", free parameters: " + std::to_string(mFree_) +
            ", iterations: " + std::to_string(iterations) + "\n";
    text += "Sum of squares:      " + exact(SumOfSquares()) + "\n";
    text += "Reduced chi-square:  " + exact(ReducedChiSquare()) + "\n";
    text += "R-squared:           " + exact(RSquared()) + "\n";
    text += "ChiSquare (reported): " + exact(rms_) + "\n";
    for (int32_t t = 0; t < TermCount(); ++t) {
        const TPeak& p = Term(t);
        text += "\n#" + std::to_string(t + 1) + "  " + p.TypeName() + "\n";
        for (int k = 1; k <= p.nparams; ++k) {
            std::string name = p.ParamName(k);
            name.erase(name.find_last_not_of(' ') + 1);
            const size_t kk = static_cast<size_t>(k);
            text += "   " + name + " = " + exact(p.value[kk]) + " \u00b1 " + exact(p.sigma[kk]) +
                    (p.lock[kk] ? "  (locked)" : "") + BoundMark(p, k) + "\n";
        }
    }
    return text + ConfidenceText();
}
