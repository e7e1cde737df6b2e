// The result of a fit: the standard errors of its parameters, its figures and the result text.
#include "fit/Fit2.h"

#include "fit/Fit2_sums.h"
#include "fit/peakfigures.h"

#include <array>
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

// x 2^e, or infinity of x's sign where that lies beyond the largest double, without the overflow fault
// ldexp would raise there: the variance of a parameter of data near 1e300 may be beyond the doubles although
// its standard error is not.
double ScaledOrInfinite(double x, int e) {
    if (x != 0.0 && std::isfinite(x) && std::ilogb(x) + e >= std::numeric_limits<double>::max_exponent)
        return std::copysign(HUGE_VAL, x);
    return std::ldexp(x, e);
}

} // namespace

void TFitParamB::StandardErrors(const TSystem& sys, double chi, std::array<double, MaxFitParams>& sigma,
                                std::vector<double>* covariance, std::vector<double>* correlation) const {
    // Locked parameters are not estimated: they take no degree of freedom.
    const double dof = PointCount() - mFree_;
    // Measured sigmas give the inverse as it stands; without them the residuals' spread sets its size.
    const bool measured = MeasuredSigmas(weighting_);
    const double factor = measured ? 1.0 : chi / dof;
    const int residualUnits = measured ? 0 : 2 * residualExponent_;
    const size_t m = static_cast<size_t>(m_), free = static_cast<size_t>(mFree_);
    if (covariance) covariance->assign(m * m, 0.0);
    // The inverse in the columns' own units, over the free parameters: the correlation is a number there
    // whatever the data's magnitude.
    std::vector<double> inverse(free * free, std::numeric_limits<double>::quiet_NaN());
    std::array<double, MaxFitParams> e{}, v{};
    for (int32_t i = 0, j = 0; i < m_; ++i) {
        const size_t ii = static_cast<size_t>(i);
        sigma[ii] = 0.0;
        if (lockedList_[ii]) continue;
        e.fill(0.0);
        e[ii] = 1.0;
        if (SolveFree(sys.alpha, e.data(), v.data(), 0.0)) {
            sigma[ii] = std::ldexp(std::sqrt(std::fabs(v[static_cast<size_t>(j)]) * factor),
                                   columnExponent_[ii] + residualUnits / 2);
            for (size_t r = 0; r < free; ++r) inverse[r * free + static_cast<size_t>(j)] = v[r];
            // Column i of the inverse, in the units of parameters i and l.
            if (covariance)
                for (int32_t l = 0, jl = 0; l < m_; ++l) {
                    if (lockedList_[static_cast<size_t>(l)]) continue;
                    (*covariance)[ii * m + static_cast<size_t>(l)] = ScaledOrInfinite(
                        v[static_cast<size_t>(jl++)] * factor,
                        columnExponent_[ii] + columnExponent_[static_cast<size_t>(l)] + residualUnits);
                }
        }
        ++j;
    }
    // Each column was solved on its own: the two halves agree to rounding, and the mean of the two is
    // symmetric exactly.
    auto symmetric = [](std::vector<double>& a, size_t n) {
        for (size_t r = 0; r < n; ++r)
            for (size_t c = 0; c < r; ++c)
                a[r * n + c] = a[c * n + r] = 0.5 * a[r * n + c] + 0.5 * a[c * n + r];
    };
    if (covariance) symmetric(*covariance, m);
    if (correlation) {
        symmetric(inverse, free);
        std::vector<double> d(free);
        for (size_t r = 0; r < free; ++r) d[r] = std::sqrt(std::fabs(inverse[r * free + r]));
        correlation->assign(free * free, std::numeric_limits<double>::quiet_NaN());
        for (size_t r = 0; r < free; ++r)
            for (size_t c = 0; c < free; ++c)
                if (d[r] > 0.0 && d[c] > 0.0)
                    (*correlation)[r * free + c] = r == c ? 1.0 : inverse[r * free + c] / d[r] / d[c];
    }
}

void TFitParamB::ErrorEstimates() {
    // The undamped system of the last step's starting point.
    std::array<double, MaxFitParams> sigma{};
    StandardErrors(systems_[static_cast<size_t>(current_)], chiSquare_, sigma, &covariance_, &correlation_);
    freeParams_.clear();
    size_t i = 0;
    for (int32_t t = 0; t < TermCount(); ++t)
        for (int k = 1; k <= terms_[static_cast<size_t>(t)].nparams; ++k) {
            if (!lockedList_[i]) freeParams_.push_back({t, k});
            terms_[static_cast<size_t>(t)].sigma[static_cast<size_t>(k)] = sigma[i++];
        }
}

std::vector<double> TFitParamB::FreeCovariance() const {
    const size_t m = static_cast<size_t>(ParamCount());
    if (covariance_.size() != m * m) return {};
    std::vector<double> free;
    free.reserve(freeParams_.size() * freeParams_.size());
    for (size_t r = 0; r < m; ++r)
        for (size_t c = 0; c < m; ++c)
            if (!lockedList_[r] && !lockedList_[c]) free.push_back(covariance_[r * m + c]);
    return free;
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
    const auto exact = fitsums::ExactText;
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
    const std::string figures = FiguresText();
    if (!figures.empty()) text += "\nPeak figures:\n" + figures;
    return text + ConfidenceText();
}

std::vector<double> TFitParamB::TermCovariance(int32_t term) const {
    const size_t m = static_cast<size_t>(ParamCount());
    if (term < 0 || term >= TermCount() || covariance_.size() != m * m) return {};
    size_t first = 0;
    for (int32_t t = 0; t < term; ++t) first += static_cast<size_t>(Term(t).nparams);
    const size_t n = static_cast<size_t>(Term(term).nparams);
    std::vector<double> block(n * n);
    for (size_t k = 0; k < n; ++k)
        for (size_t l = 0; l < n; ++l) block[k * n + l] = covariance_[(first + k) * m + first + l];
    return block;
}

std::string TFitParamB::FiguresText() const {
    std::string text;
    for (int32_t t = 0; t < TermCount(); ++t) {
        const std::vector<double> cov = TermCovariance(t);
        TPeakFigures f;
        if (!peakfigures::Figures(Term(t), cov.empty() ? nullptr : cov.data(), f)) continue;
        text += "#" + std::to_string(t + 1) + "  " + Term(t).TypeName() + "\n";
        const std::pair<const char*, const TPeakFigure*> items[] = {
            {"centre", &f.centre}, {"height", &f.height}, {"area", &f.area}, {"fwhm", &f.fwhm}};
        for (const auto& [name, figure] : items)
            text += "   " + std::string(name) + " = " + fitsums::ExactText(figure->value) + " \u00b1 " +
                    fitsums::ExactText(figure->sigma) + "\n";
    }
    return text;
}
