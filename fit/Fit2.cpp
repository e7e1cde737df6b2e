// The model of the fit (its terms, the data points and the curve of the model shown over the plot) and its
// chi-square over the data.
#include "fit/Fit2.h"

#include "fit/Fit2_sums.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

using fitsums::Dot;
using fitsums::EffectiveScale;

TFitParamA::TFitParamA() {
    LayOutDisplay();
}

bool TFitParamA::AddTerm(int32_t type, int32_t order) {
    if (TermCount() >= MaxTerms) return false;
    terms_.push_back(TPeak::Create(type, order));
    Invalidate();
    return true;
}

bool TFitParamA::AddUserTerm(const TUserFunction& function) {
    if (TermCount() >= MaxTerms) return false;
    TPeak p = TPeak::Create(TPeak::Polynomial);
    if (!TPeak::CreateUser(function, p)) return false;
    terms_.push_back(std::move(p));
    Invalidate();
    return true;
}

bool TFitParamA::AddTabulatedTerm(const std::string& fileName, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    if (TermCount() >= MaxTerms)
        return fail("The model already holds " + std::to_string(MaxTerms) + " functions.");
    std::string readError;
    TCurveB source = TCurveB::CreateFromFile(fileName, true, &readError);
    if (source.Count() < 2)
        return fail(!readError.empty() && source.Count() == 0
                        ? readError
                        : fileName + ": a tabulated function needs 2 points or more");
    TPeak p = TPeak::Create(TPeak::Tabulated);
    p.fileName = fileName;
    p.SetTabulatedSource(std::move(source));
    p.SampleTabulated(px_.data(), PointCount());
    terms_.push_back(std::move(p));
    Invalidate();
    if (error) error->clear();
    return true;
}

bool TFitParamA::AddTerm(TPeak term) {
    if (TermCount() >= MaxTerms) return false;
    if (term.type == TPeak::Tabulated) term.SampleTabulated(px_.data(), PointCount());
    terms_.push_back(std::move(term));
    Invalidate();
    return true;
}

void TFitParamA::RemoveTerm(int32_t index) {
    if (index < 0 || index >= TermCount()) return;
    terms_.erase(terms_.begin() + index);
    Invalidate();
}

void TFitParamA::Clear() {
    terms_.clear();
    Invalidate();
}

void TFitParamA::InitialGuesses(const TCurveB& curve, int32_t first, int32_t last) {
    TCurveB rest(curve);
    for (TPeak& t : terms_) t.InitialGuess(rest, first, last, true);
}

int32_t TFitParamA::ParamCount() const {
    int32_t m = 0;
    for (const TPeak& t : terms_) m += t.nparams;
    return m;
}

void TFitParamA::Invalidate() {
    prepared_ = false;
    ++generation_;
}

bool TFitParamA::SetData(const TCurveB& curve, int32_t first, int32_t last) {
    // Weights belong to the points they were given for.
    weight_.clear();
    weighting_ = TWeighting::None;
    if (first < 1 || last > curve.Count() || last - first < 3) {
        px_.clear();
        py_.clear();
        dataFirst_ = 0;
        yRange_ = ySpread_ = 0.0;
        yExponent_ = 0;
        SetResidualUnit(0);
        for (TPeak& t : terms_)
            if (t.type == TPeak::Tabulated) t.SampleTabulated(px_.data(), 0);
        Invalidate();
        LayOutDisplay();
        return false;
    }
    const size_t n = static_cast<size_t>(last - first + 1);
    dataFirst_ = first;
    px_.assign(curve.XData() + first - 1, curve.XData() + first - 1 + n);
    py_.assign(curve.YData() + first - 1, curve.YData() + first - 1 + n);
    const auto [lo, hi] = std::minmax_element(py_.begin(), py_.end());
    yRange_ = *hi - *lo;
    MeasureSpread();
    // A tabulated term's samples belong to the data points, so new data points get new samples.
    for (TPeak& t : terms_)
        if (t.type == TPeak::Tabulated) t.SampleTabulated(px_.data(), PointCount());
    Invalidate();
    LayOutDisplay();
    return true;
}

void TFitParamA::MeasureSpread() {
    const size_t n = py_.size();
    auto weight = [&](size_t i) { return weight_.empty() ? 1.0 : weight_[i]; };
    double largest = 0.0;
    for (size_t i = 0; i < n; ++i) largest = std::max(largest, std::fabs(py_[i]) * weight(i));
    // 2^-1022 is the smallest unit whose reciprocal is a double.
    yExponent_ = largest > 0.0 && std::isfinite(largest) ? std::max(std::ilogb(largest), -1022) : 0;
    SetResidualUnit(yExponent_);
    ySpread_ = 0.0;
    if (n == 0) return;
    double mean = 0.0;
    if (weight_.empty()) {
        for (double y : py_) mean += y;
        mean /= static_cast<double>(n);
    } else {
        // The weighted mean, its weights taken relative to the largest so that their squares stay numbers.
        const double heaviest = *std::max_element(weight_.begin(), weight_.end());
        double sum = 0.0;
        for (size_t i = 0; i < n; ++i) {
            const double w = weight_[i] / heaviest;
            mean += w * w * py_[i];
            sum += w * w;
        }
        mean /= sum;
    }
    for (size_t i = 0; i < n; ++i) {
        const double d = (py_[i] - mean) * weight(i) * perResidualUnit_;
        ySpread_ += d * d;
    }
}

namespace {} // namespace

const char* WeightingName(TWeighting w) {
    switch (w) {
    case TWeighting::Sigma:
        return "sigma";
    case TWeighting::Poisson:
        return "poisson";
    case TWeighting::Relative:
        return "relative";
    case TWeighting::None:
        break;
    }
    return "none";
}

bool WeightingFromName(const std::string& name, TWeighting& w) {
    for (TWeighting k : {TWeighting::None, TWeighting::Sigma, TWeighting::Poisson, TWeighting::Relative})
        if (name == WeightingName(k)) {
            w = k;
            return true;
        }
    return false;
}

bool SigmasOfRange(const TCurveA& data, const TCurveA* sigmaCurve, int32_t first, int32_t last,
                   std::vector<double>& sigmas, std::string& error) {
    sigmas.clear();
    if (first < 1 || last > data.Count() || first > last) {
        error = "no data points to weigh";
        return false;
    }
    if (sigmaCurve != nullptr && sigmaCurve->Count() != data.Count()) {
        error = "the sigma curve has " + std::to_string(sigmaCurve->Count()) + " points and the data " +
                std::to_string(data.Count()) + "; its y values are the sigmas, point for point";
        return false;
    }
    if (sigmaCurve == nullptr && !data.HasSigma()) {
        error = "the data carry no sigmas; choose a curve of sigmas";
        return false;
    }
    const double* from = sigmaCurve != nullptr ? sigmaCurve->YData() : data.SigmaData();
    sigmas.assign(from + first - 1, from + last);
    return true;
}

bool TFitParamA::SetWeights(TWeighting weighting, const std::vector<double>& sigmas, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    const size_t n = py_.size();
    std::vector<double> weight;
    if (weighting != TWeighting::None) {
        if (weighting == TWeighting::Sigma && sigmas.size() != n)
            return fail(std::to_string(sigmas.size()) + " sigmas for " + std::to_string(n) + " data points");
        weight.resize(n);
        for (size_t i = 0; i < n; ++i) {
            const double y = py_[i];
            const double s = weighting == TWeighting::Sigma     ? sigmas[i]
                             : weighting == TWeighting::Poisson ? std::sqrt(std::max(std::fabs(y), 1.0))
                                                                : std::fabs(y);
            const std::string point = "point " + std::to_string(dataFirst_ + static_cast<int32_t>(i));
            // A sigma so small that its reciprocal overflows weighs nothing sensible either.
            if (!(s > 0.0) || !std::isfinite(s) || !std::isfinite(1.0 / s))
                return fail(weighting == TWeighting::Relative
                                ? point + ": y " + fitsums::ExactText(y) +
                                      " gives no relative sigma (|y| is not positive)"
                                : point + ": sigma " + fitsums::ExactText(s) +
                                      " is not a positive finite number; every sigma must be above 0");
            weight[i] = 1.0 / s;
        }
    }
    weight_ = std::move(weight);
    weighting_ = weighting;
    MeasureSpread();
    Invalidate();
    if (error) error->clear();
    return true;
}

void TFitParamA::SetDisplayIncrements(int32_t n) {
    displayIncrements_ = std::max(n, 2);
    LayOutDisplay();
}

void TFitParamA::LayOutDisplay() {
    const int32_t n = displayIncrements_;
    display_.SetCount(n);
    if (px_.empty()) {
        display_.XMin = display_.XMax = 0.0;
    } else {
        display_.XMin = std::min(px_.front(), px_.back());
        display_.XMax = std::max(px_.front(), px_.back());
    }
    const double step = (display_.XMax - display_.XMin) / (n - 1);
    for (int32_t i = 1; i <= n; ++i) display_.SetXY(i, display_.XMin + (i - 1) * step, 0.0);
    RefreshDisplayCurve();
}

double TFitParamA::ModelValueAt(double x, int32_t selector) const {
    if (selector < 0) return ModelValue(terms_, x);
    return selector < TermCount() ? terms_[static_cast<size_t>(selector)].Value(x) : 0.0;
}

void TFitParamA::EvalBlock(const std::vector<TPeak>& terms, int32_t start, int32_t n, double* f,
                           double* const* d) const {
    std::fill(f, f + n, 0.0);
    int32_t offset = 0;
    for (const TPeak& t : terms) {
        t.AddValues(px_.data() + start, n, start + 1, f, d ? d + offset : nullptr);
        offset += t.nparams;
    }
}

void TFitParamA::SetResidualUnit(int exponent) {
    if (exponent == residualExponent_) return;
    residualExponent_ = exponent;
    perResidualUnit_ = std::ldexp(1.0, -exponent);
    chiKey_ = TChiKey{};
}

double TFitParamA::ToFitUnits(double sumOfSquares) const {
    if (sumOfSquares == 0.0 || !std::isfinite(sumOfSquares)) return sumOfSquares;
    if (std::ilogb(sumOfSquares) - 2 * residualExponent_ > 996) return std::copysign(1e300, sumOfSquares);
    return std::ldexp(sumOfSquares, -2 * residualExponent_);
}

double TFitParamA::LargestResidual(const std::vector<TPeak>& terms) const {
    double f[BlockSize];
    double largest = 0.0;
    const int32_t count = PointCount();
    for (int32_t start = 0; start < count; start += BlockSize) {
        const int32_t n = std::min(BlockSize, count - start);
        EvalBlock(terms, start, n, f, nullptr);
        const double* y = py_.data() + start;
        for (int32_t p = 0; p < n; ++p)
            largest =
                std::max(largest, std::fabs(y[p] - f[p]) *
                                      (weight_.empty() ? 1.0 : weight_[static_cast<size_t>(start + p)]));
    }
    return largest;
}

void TFitParamA::WeighDerivatives(int32_t start, int32_t n, double* const* d, int32_t m) const {
    if (weight_.empty()) return;
    const double* w = weight_.data() + start;
    for (int32_t k = 0; k < m; ++k)
        for (int32_t p = 0; p < n; ++p) d[k][p] *= w[p];
}

double TFitParamA::ScaledChiSquare(const std::vector<TPeak>& terms) const {
    const int32_t count = PointCount();
    std::vector<double> sums(static_cast<size_t>((count + StretchPoints - 1) / StretchPoints), 0.0);
    ForEachStretch(terms, [&](int32_t k) {
        double f[BlockSize];
        double sum = 0.0;
        ResidualBlocks(terms, k, f, nullptr, [&](int32_t n) { sum += Dot(f, f, n); });
        sums[static_cast<size_t>(k)] = sum;
    });
    double sum = 0.0;
    for (const double part : sums) sum += part;
    const double s = EffectiveScale(scale);
    return sum / (s * s);
}

TFitParamA::TChiKey TFitParamA::KeyOf() const {
    TChiKey key;
    size_t i = 0;
    for (const TPeak& t : terms_)
        for (int k = 1; k <= t.nparams && i < key.values.size(); ++k)
            key.values[i++] = t.value[static_cast<size_t>(k)];
    key.count = static_cast<int32_t>(i);
    key.scale = scale;
    key.generation = generation_;
    return key;
}

double TFitParamA::ScaledChiSquare() {
    const TChiKey key = KeyOf();
    if (!(key == chiKey_)) {
        chiSquare_ = ScaledChiSquare(terms_);
        chiKey_ = key;
    }
    return chiSquare_;
}

double TFitParamA::UpdateChiSquare() {
    ScaledChiSquare();
    UpdateRms();
    return CurrentChiSquare();
}

void TFitParamA::UpdateRms() {
    const int32_t n = PointCount();
    // Data whose y values are all equal have no range to relate to; the figure is then relative to 1.
    // Weighted residuals are already relative to their sigmas.
    const double range = !weight_.empty() ? 1.0 : yRange_ > 0.0 ? yRange_ : 1.0;
    rms_ = n > 0 ? std::ldexp(std::sqrt(std::fabs(chiSquare_) / n), residualExponent_) *
                       std::fabs(EffectiveScale(scale)) / range
                 : 0.0;
}
