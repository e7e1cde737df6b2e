// What a finished fit says about the certainty of its result: the covariance and correlation of the free
// parameters, their confidence intervals from Student's t, and the confidence band of the model.
#include "fit/Fit2.h"

#include "fit/Fit2_sums.h"

#include <boost/math/distributions/students_t.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

// v with 4 significant digits in a field of width characters.
std::string Short(double v, int width) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 4);
    std::string s(buf, res.ptr);
    if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<size_t>(width) - s.size(), ' ');
    return s;
}

std::string TrimmedName(const TPeak& p, int k) {
    std::string name = p.ParamName(k);
    name.erase(name.find_last_not_of(' ') + 1);
    return name;
}

} // namespace

double TFitParamB::TQuantile() const {
    const int32_t dof = DegreesOfFreedom();
    if (!(confidence > 0.0 && confidence < 100.0) || dof < 1) return NaN;
    const boost::math::students_t_distribution<double> t(dof);
    return boost::math::quantile(t, 0.5 + confidence / 200.0);
}

void TFitParamB::ConfidenceInterval(int32_t term, int k, double& low, double& high) const {
    const TPeak& p = Term(term);
    const double v = p.value[static_cast<size_t>(k)];
    const double half = TQuantile() * p.sigma[static_cast<size_t>(k)];
    low = v - half;
    high = v + half;
}

namespace {
// t sqrt(g C g') over all m parameters in model order (a locked one's row and column of C are 0).
double BandHalfWidth(const std::vector<double>& cov, size_t m, const double* g, double t) {
    double s = 0.0;
    for (size_t i = 0; i < m; ++i)
        for (size_t j = 0; j < m; ++j) s += g[i] * cov[i * m + j] * g[j];
    return t * std::sqrt(std::max(s, 0.0));
}
} // namespace

bool TFitParamB::BandAt(double x, double& model, double& halfWidth) const {
    if (covariance_.empty() || freeParams_.empty()) return false;
    std::vector<double> g;
    model = 0.0;
    for (const TPeak& p : terms_) {
        TPeak::TParamReals d{};
        model += p.ValueAndDerivatives(x, d);
        g.insert(g.end(), d.begin() + 1, d.begin() + 1 + p.nparams);
    }
    halfWidth = BandHalfWidth(covariance_, g.size(), g.data(), TQuantile());
    return true;
}

bool TFitParamB::BandAtDataPoints(TCurveB& model, TCurveB& lower, TCurveB& upper) const {
    const int32_t count = PointCount();
    if (covariance_.empty() || freeParams_.empty() || count == 0) return false;
    const int32_t m = ParamCount();
    const double t = TQuantile();
    for (TCurveB* c : {&model, &lower, &upper}) {
        *c = TCurveB(count);
        c->SetCount(count);
    }
    std::vector<double> f(BlockSize), rows(static_cast<size_t>(m) * BlockSize), g(static_cast<size_t>(m));
    std::vector<double*> d(static_cast<size_t>(m));
    for (int32_t k = 0; k < m; ++k)
        d[static_cast<size_t>(k)] = rows.data() + static_cast<size_t>(k) * BlockSize;
    for (int32_t start = 0; start < count; start += BlockSize) {
        const int32_t n = std::min(BlockSize, count - start);
        EvalBlock(terms_, start, n, f.data(), d.data());
        for (int32_t p = 0; p < n; ++p) {
            for (int32_t k = 0; k < m; ++k) g[static_cast<size_t>(k)] = d[static_cast<size_t>(k)][p];
            const double half = BandHalfWidth(covariance_, static_cast<size_t>(m), g.data(), t);
            const double x = px_[static_cast<size_t>(start + p)];
            model.SetXY(start + p + 1, x, f[static_cast<size_t>(p)]);
            lower.SetXY(start + p + 1, x, f[static_cast<size_t>(p)] - half);
            upper.SetXY(start + p + 1, x, f[static_cast<size_t>(p)] + half);
        }
    }
    for (TCurveB* c : {&model, &lower, &upper}) c->CalcRanges();
    return true;
}

std::string TFitParamB::ConfidenceText() const {
    std::string text =
        "\nWeights: " + std::string(WeightingName(weighting_)) +
        (MeasuredSigmas(weighting_) ? "; parameter sigmas from the measured sigmas, not scaled\n"
                                    : "; parameter sigmas scaled by the reduced chi-square\n");
    text += "Degrees of freedom: " + std::to_string(DegreesOfFreedom()) + "\n";
    if (covariance_.empty()) return text;
    const double t = TQuantile();
    text += "\n" + fitsums::ExactText(confidence) + "% confidence intervals (t = " + fitsums::ExactText(t) +
            "):\n";
    for (int32_t term = 0; term < TermCount(); ++term) {
        const TPeak& p = Term(term);
        for (int k = 1; k <= p.nparams; ++k) {
            double low = 0.0, high = 0.0;
            ConfidenceInterval(term, k, low, high);
            text += "   #" + std::to_string(term + 1) + " " + TrimmedName(p, k) + ": " +
                    fitsums::ExactText(low) + " to " + fitsums::ExactText(high) +
                    (p.lock[static_cast<size_t>(k)] ? "  (locked)" : "") + "\n";
        }
    }
    const size_t n = freeParams_.size();
    const std::vector<double> r = Correlation();
    text += "\nCorrelation matrix of the free parameters:\n";
    // Each number after a space, so that the widest (-1.234e-100) stays apart from its neighbour.
    constexpr int width = 10;
    std::string header(14, ' ');
    for (size_t j = 0; j < n; ++j) header += " " + Short(static_cast<double>(j + 1), width);
    text += header + "\n";
    for (size_t i = 0; i < n; ++i) {
        const TParamRef& ref = freeParams_[i];
        std::string label = std::to_string(i + 1) + " #" + std::to_string(ref.term + 1) + " " +
                            TrimmedName(Term(ref.term), ref.k);
        label.resize(14, ' ');
        text += label;
        for (size_t j = 0; j < n; ++j) text += " " + Short(r[i * n + j], width);
        text += "\n";
    }
    return text;
}
