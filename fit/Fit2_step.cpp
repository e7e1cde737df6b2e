// The Levenberg-Marquardt iteration of the fit: the preparation, the curvature matrix and gradient of a
// parameter set, the damped solve and the convergence tests.
#include "fit/Fit2.h"

#include "curves/faultguard.h"
#include "fit/Fit2_sums.h"

#include <algorithm>
#include <array>
#include <cfenv>
#include <cmath>
#include <limits>
#include <string>
#include <vector>

using fitsums::Dot;
using fitsums::EffectiveScale;

namespace {

// Runs op, which computes from trial parameters, and tells whether it raised a division by zero, an invalid
// operation or an overflow. The fault flags are left as they were before: a trial that faults is a rejected
// step, not a fault of the command.
template <class Op>
bool RunsClean(Op&& op) {
    constexpr int watched = FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW;
    std::fexcept_t before;
    std::fegetexceptflag(&before, watched);
    std::feclearexcept(watched);
    op();
    asm volatile("" : : : "memory");
    const bool clean = std::fetestexcept(watched) == 0;
    std::fesetexceptflag(&before, watched);
    return clean;
}

} // namespace

bool TFitParamB::Prepare() {
    lastError_.clear();
    prepared_ = false;
    // A new preparation forgets the covariance of the last fit, whether or not it succeeds.
    covariance_.clear();
    correlation_.clear();
    freeParams_.clear();
    const int32_t n = PointCount();
    m_ = ParamCount();
    if (terms_.empty()) {
        lastError_ = "There is no function to fit.";
        return false;
    }
    if (m_ > MaxFitParams) {
        lastError_ = "The functions have " + std::to_string(m_) + " parameters in all; a fit holds at most " +
                     std::to_string(MaxFitParams) + ".";
        return false;
    }
    if (n - m_ < 1) {
        lastError_ = "Too few data points: " + std::to_string(n) + " points for " + std::to_string(m_) +
                     " parameters; a fit needs more points than parameters.";
        return false;
    }
    for (TSystem& sys : systems_) sys.valid = false;
    delta_.fill(0.0);
    dampScale_.fill(0.0);
    columnExponent_.fill(0);
    trialTerms_ = terms_;
    valuesBefore_.resize(terms_.size());
    blockF_.assign(BlockSize, 0.0);
    blockG_.assign(static_cast<size_t>(m_) * BlockSize, 0.0);
    blockRows_.resize(static_cast<size_t>(m_));
    for (int32_t k = 0; k < m_; ++k) blockRows_[static_cast<size_t>(k)] = blockG_.data() + k * BlockSize;
    RefreshLocks();
    lambda_ = -1.0;
    lambdaOld_ = 10.0;
    if (std::fabs(scale) < 1e-4) scale = 1.0;
    SetResidualUnit(yExponent_);
    double chi = 0.0;
    if (!RunsClean([&] {
            chi = ScaledChiSquare();
            FaultBarrier(chi);
        }) ||
        !std::isfinite(chi)) {
        // A model far above the data (a peak's smallest height over data of 1e-170): its residuals set the
        // unit, so that the start's chi-square is a number.
        double largest = 0.0;
        if (RunsClean([&] {
                largest = LargestResidual(terms_);
                FaultBarrier(largest);
            }) &&
            largest > 0.0 && std::isfinite(largest))
            SetResidualUnit(std::max(yExponent_, std::ilogb(largest)));
        chiKey_ = TChiKey{};
    }
    chiSquare_ = ScaledChiSquare();
    // Start the previous chi-squares high enough that the convergence test needs two real steps.
    chiPrev_ = chiSquare_ + ToFitUnits(3 * n * tolerance);
    chiPrev2_ = chiSquare_ + ToFitUnits(5 * n * tolerance);
    iterations = 0;
    converged = false;
    failed_ = 0;
    accepted_ = false;
    prepared_ = true;
    UpdateRms();
    return true;
}

void TFitParamB::RefreshLocks() {
    int32_t i = 0;
    anyLocked_ = false;
    for (const TPeak& t : terms_)
        for (int k = 1; k <= t.nparams && i < m_; ++k) {
            lockedList_[static_cast<size_t>(i++)] = t.lock[static_cast<size_t>(k)];
            anyLocked_ = anyLocked_ || t.lock[static_cast<size_t>(k)];
        }
    mFree_ = 0;
    for (int32_t k = 0; k < m_; ++k) mFree_ += lockedList_[static_cast<size_t>(k)] ? 0 : 1;
}

void TFitParamB::BuildSystem(TSystem& sys, const std::vector<TPeak>& terms) {
    const int32_t m = m_;
    TMatrix& alpha = sys.alpha;
    auto& beta = sys.beta;
    for (int32_t k = 0; k < m; ++k) alpha[static_cast<size_t>(k)].fill(0.0);
    beta.fill(0.0);
    const int32_t count = PointCount();
    // Per stretch: beta's m sums, then the lower triangle of alpha row by row.
    const size_t width = static_cast<size_t>(m + m * (m + 1) / 2);
    std::vector<double> sums(static_cast<size_t>((count + StretchPoints - 1) / StretchPoints) * width, 0.0);
    ForEachStretch(terms, [&](int32_t part) {
        thread_local std::vector<double> scratch;
        scratch.resize(static_cast<size_t>(m + 1) * BlockSize);
        double* f = scratch.data();
        double* g[MaxFitParams];
        for (int32_t k = 0; k < m; ++k) g[k] = f + (k + 1) * BlockSize;
        double* s = sums.data() + static_cast<size_t>(part) * width;
        ResidualBlocks(terms, part, f, g, [&](int32_t n) {
            for (int32_t k = 0; k < m; ++k)
                if (const int e = columnExponent_[static_cast<size_t>(k)]; e != 0) {
                    const double c = std::ldexp(1.0, e);
                    for (int32_t p = 0; p < n; ++p) g[k][p] *= c;
                }
            // The rank-one updates of the block's points, summed per matrix element.
            double* a = s + m;
            for (int32_t k = 0; k < m; ++k) {
                s[k] += Dot(f, g[k], n);
                for (int32_t j = 0; j <= k; ++j) *a++ += Dot(g[k], g[j], n);
            }
        });
    });
    for (size_t at = 0; at < sums.size(); at += width) {
        const double* a = sums.data() + at + m;
        for (int32_t k = 0; k < m; ++k) {
            beta[static_cast<size_t>(k)] += sums[at + static_cast<size_t>(k)];
            for (int32_t j = 0; j <= k; ++j) alpha[static_cast<size_t>(k)][static_cast<size_t>(j)] += *a++;
        }
    }
    const double s = EffectiveScale(scale);
    const double s2 = s * s;
    for (int32_t k = 0; k < m; ++k) {
        beta[static_cast<size_t>(k)] /= s2;
        for (int32_t j = 0; j <= k; ++j) {
            alpha[static_cast<size_t>(k)][static_cast<size_t>(j)] /= s2;
            alpha[static_cast<size_t>(j)][static_cast<size_t>(k)] =
                alpha[static_cast<size_t>(k)][static_cast<size_t>(j)];
        }
    }
    sys.valid = true;
}

bool TFitParamB::BuildInRange(TSystem& sys, const std::vector<TPeak>& terms, bool guarded) {
    // A curvature between 2^-900 and 2^900 leaves room for every product of two derivatives and for the
    // sums over the points.
    auto inRange = [&] {
        for (int32_t k = 0; k < m_; ++k) {
            const double d = sys.alpha[static_cast<size_t>(k)][static_cast<size_t>(k)];
            if (!(d >= 0x1p-900 && d <= 0x1p900)) return false;
        }
        return true;
    };
    const bool clean = RunsClean([&] { BuildSystem(sys, terms); });
    if (clean && inRange()) return true;
    // The largest derivative of each parameter over the data; a column that lies out of range (not one that
    // is 0 throughout: that parameter has no influence here) is brought to between 1 and 2.
    std::array<double, MaxFitParams> largest{};
    RunsClean([&] {
        double* f = blockF_.data();
        double* const* g = blockRows_.data();
        for (int32_t start = 0; start < PointCount(); start += BlockSize) {
            const int32_t n = std::min(BlockSize, PointCount() - start);
            EvalBlock(terms, start, n, f, g);
            WeighDerivatives(start, n, g, m_);
            for (int32_t k = 0; k < m_; ++k)
                for (int32_t p = 0; p < n; ++p)
                    largest[static_cast<size_t>(k)] =
                        std::max(largest[static_cast<size_t>(k)], std::fabs(g[k][p]));
        }
    });
    bool changed = false;
    for (int32_t k = 0; k < m_; ++k) {
        const size_t kk = static_cast<size_t>(k);
        if (!(largest[kk] > 0.0 && std::isfinite(largest[kk]))) continue;
        const int scaled = std::ilogb(largest[kk]) + columnExponent_[kk];
        if (scaled >= -400 && scaled <= 400) continue;
        const int e = -std::ilogb(largest[kk]);
        // The damping scale in the new units; one that would leave the range of doubles stays at its edge
        // (a parameter that has lost nearly all its influence stays held where it is).
        double& damp = dampScale_[kk];
        const int shift = 2 * (e - columnExponent_[kk]);
        if (damp > 0.0 && std::ilogb(damp) + shift > 900)
            damp = 0x1p900;
        else if (damp > 0.0 && std::ilogb(damp) + shift < -900)
            damp = 0x1p-900;
        else
            damp = std::ldexp(damp, shift);
        columnExponent_[kk] = e;
        changed = true;
    }
    if (!changed) {
        if (clean) return true;
        if (guarded) return false;
        BuildSystem(sys, terms);
        return true;
    }
    // The other system is in the old units.
    for (TSystem& other : systems_)
        if (&other != &sys) other.valid = false;
    if (guarded) return RunsClean([&] { BuildSystem(sys, terms); });
    BuildSystem(sys, terms);
    return true;
}

void TFitParamB::NoteSystem(const TSystem& sys, bool stepTaken) {
    const bool keepLargest = convergeTest == TConvergeTest::Relative;
    // The largest curvature is remembered with a memory that fades by this factor at each step taken: a
    // parameter whose influence fades still cannot take an unbounded step at once, but one whose curvature
    // was enormous at a far start only (the exponential of a reciprocal started far off) is not held back
    // for good by it. Only steps fade it, so that a system built again (new units) leaves it as it was.
    constexpr double fading = 0.7;
    for (int32_t k = 0; k < m_; ++k) {
        const double d = sys.alpha[static_cast<size_t>(k)][static_cast<size_t>(k)];
        double& scale = dampScale_[static_cast<size_t>(k)];
        scale = keepLargest ? std::max(stepTaken ? scale * fading : scale, d) : d;
    }
}

bool TFitParamB::SolveFree(const TMatrix& alpha, const double* rhs, double* sol, double lambda) const {
    const int32_t n = mFree_;
    TMatrix a;
    // Copy the rows and columns of the free parameters, in order, with the damped diagonal; the right-hand
    // side of each free parameter goes into the spare column.
    int32_t r = 0;
    for (int32_t k = 0; k < m_; ++k) {
        if (lockedList_[static_cast<size_t>(k)]) continue;
        auto& row = a[static_cast<size_t>(r)];
        int32_t c = 0;
        for (int32_t j = 0; j < m_; ++j)
            if (!lockedList_[static_cast<size_t>(j)])
                row[static_cast<size_t>(c++)] = alpha[static_cast<size_t>(k)][static_cast<size_t>(j)];
        row[static_cast<size_t>(r)] += lambda * dampScale_[static_cast<size_t>(k)];
        row[static_cast<size_t>(n)] = rhs[k];
        ++r;
    }
    for (int32_t c = 0; c < n; ++c) {
        int32_t pivot = c;
        for (int32_t i = c + 1; i < n; ++i)
            if (std::fabs(a[static_cast<size_t>(i)][static_cast<size_t>(c)]) >
                std::fabs(a[static_cast<size_t>(pivot)][static_cast<size_t>(c)]))
                pivot = i;
        if (a[static_cast<size_t>(pivot)][static_cast<size_t>(c)] == 0.0) return false;
        if (pivot != c) std::swap(a[static_cast<size_t>(pivot)], a[static_cast<size_t>(c)]);
        const auto& pr = a[static_cast<size_t>(c)];
        for (int32_t i = c + 1; i < n; ++i) {
            auto& row = a[static_cast<size_t>(i)];
            const double factor = row[static_cast<size_t>(c)] / pr[static_cast<size_t>(c)];
            if (factor == 0.0) continue;
            for (int32_t j = c; j <= n; ++j)
                row[static_cast<size_t>(j)] -= factor * pr[static_cast<size_t>(j)];
        }
    }
    for (int32_t i = n - 1; i >= 0; --i) {
        const auto& row = a[static_cast<size_t>(i)];
        if (row[static_cast<size_t>(i)] == 0.0) return false;
        double s = row[static_cast<size_t>(n)];
        for (int32_t j = i + 1; j < n; ++j) s -= row[static_cast<size_t>(j)] * sol[j];
        sol[i] = s / row[static_cast<size_t>(i)];
    }
    return true;
}

void TFitParamB::Iterate() {
    if (lambda_ < 0) lambda_ = 0.001;
    RefreshLocks();
    // A rejected step leaves the parameters the system was built for: only the damping changes. The start
    // and parameters the user has changed since get their system here.
    TSystem& sys = systems_[static_cast<size_t>(current_)];
    if (!sys.valid || !(sys.key == KeyOf())) {
        BuildInRange(sys, terms_, false);
        sys.key = KeyOf();
        NoteSystem(sys);
    }
    if (!SolveFree(sys.alpha, sys.beta.data(), delta_.data(), lambda_)) {
        Fail("The fit's equations cannot be solved at iteration " + std::to_string(iterations) +
             ": a free parameter has no influence on the model over the data, or two have the same.");
        return;
    }
    // Under the relative test the step follows the curvature of the model along it; a step that the model
    // bends away from is not taken, and the damping grows as for any rejected step.
    if (convergeTest == TConvergeTest::Relative && !Accelerate(sys)) {
        lambdaOld_ = lambda_;
        accepted_ = false;
        lambda_ *= 10;
        if (lambda_ > 1e50) FailDamping();
        return;
    }
    int32_t i = 0, j = 0;
    relChange_ = 0.0;
    std::array<double, MaxFitParams> change{}, size{};
    for (size_t t = 0; t < terms_.size(); ++t) {
        const TPeak& cur = terms_[t];
        TPeak& trial = trialTerms_[t];
        trial.value = cur.value;
        for (int k = 1; k <= cur.nparams; ++k, ++i) {
            if (lockedList_[static_cast<size_t>(i)]) continue;
            const size_t kk = static_cast<size_t>(k);
            double v = cur.value[kk] + InParamUnits(delta_[static_cast<size_t>(j++)], i);
            if (v < cur.min[kk]) v = cur.min[kk];
            if (v > cur.max[kk]) v = cur.max[kk];
            trial.value[kk] = v;
            const size_t ii = static_cast<size_t>(i);
            change[ii] = std::fabs(v - cur.value[kk]);
            size[ii] = std::max(std::fabs(v), std::fabs(cur.value[kk]));
            if (change[ii] > 0.0) relChange_ = std::max(relChange_, change[ii] / size[ii]);
        }
    }
    double chiTrial = 0.0;
    const bool clean = RunsClean([&] {
        chiTrial = ScaledChiSquare(trialTerms_);
        FaultBarrier(chiTrial);
    });
    const bool usable = clean && std::isfinite(chiTrial);
    const double chiOld = chiSquare_;
    const double slack = ToFitUnits(PointCount() * tolerance);
    lambdaOld_ = lambda_;
    accepted_ = usable && chiTrial <= chiOld;
    if (accepted_) {
        chiBefore_ = chiOld;
        chiPrevBefore_ = chiPrev_;
        chiPrev2Before_ = chiPrev2_;
        relDecrease_ = chiOld > 0.0 ? (chiOld - chiTrial) / chiOld : 0.0;
        lambda_ *= 0.1;
        for (size_t t = 0; t < terms_.size(); ++t) {
            valuesBefore_[t] = terms_[t].value;
            terms_[t].value = trialTerms_[t].value;
        }
        chiPrev2_ = chiPrev_;
        chiPrev_ = chiOld;
        chiSquare_ = chiTrial;
        chiKey_ = KeyOf();
        // A parameter whose best value is 0 (an odd polynomial's even terms over symmetric data) changes by
        // rounding, which is no small part of itself: its change is taken relative to its standard error
        // where that is the larger, so that the test can pass. Only a step that would otherwise end the fit
        // needs the errors.
        if (convergeTest == TConvergeTest::Relative && relDecrease_ <= ftol && relChange_ > xtol) {
            std::array<double, MaxFitParams> sigma{};
            StandardErrors(sys, chiTrial, sigma);
            relChange_ = 0.0;
            for (size_t k = 0; k < static_cast<size_t>(m_); ++k)
                if (change[k] > 0.0)
                    relChange_ = std::max(relChange_, change[k] / std::max(size[k], sigma[k]));
        }
    } else if (usable && chiTrial <= chiOld + slack) {
        chiPrev2_ = chiPrev_;
        chiPrev_ = chiTrial;
        lambda_ *= 10;
        chiSquare_ = chiOld;
    } else {
        lambda_ *= 10;
        chiSquare_ = chiOld;
    }
    // Under the relative test a damping that has fallen to nothing is no failure: the steps are then plain
    // Gauss-Newton steps, which the test ends by itself.
    if (convergeTest == TConvergeTest::Relative && lambda_ < 1e-100) lambda_ = 1e-100;
    if (lambda_ > 1e50 || lambda_ < 1e-100) FailDamping();
}

bool TFitParamB::Accelerate(const TSystem& sys) {
    // The velocity v is the damped Gauss-Newton step delta_. The model's second derivative along it, by a
    // finite difference over h v, gives through the same damped system the acceleration a; the step becomes
    // v + a / 2 when a is small beside v (|a| <= 2 x 0.75 |v| in the damping's norm), else it is refused.
    constexpr double h = 0.1;
    constexpr double largestRatio = 0.75;
    const size_t m = static_cast<size_t>(m_);
    std::array<int32_t, MaxFitParams> freeIndex{};
    for (int32_t i = 0, j = 0; i < m_; ++i)
        if (!lockedList_[static_cast<size_t>(i)]) freeIndex[static_cast<size_t>(j++)] = i;
    // J'(y - F(p + h v)) with the derivatives at p, in the system's units.
    std::array<double, MaxFitParams> betaH{};
    const bool clean = RunsClean([&] {
        // The parameters at h v, without the bounds: this is only a probe of the model's bending.
        int32_t i = 0, j = 0;
        for (size_t t = 0; t < terms_.size(); ++t) {
            trialTerms_[t].value = terms_[t].value;
            for (int k = 1; k <= terms_[t].nparams; ++k, ++i)
                if (!lockedList_[static_cast<size_t>(i)])
                    trialTerms_[t].value[static_cast<size_t>(k)] +=
                        h * InParamUnits(delta_[static_cast<size_t>(j++)], i);
        }
        double* f = blockF_.data();
        double* const* g = blockRows_.data();
        std::vector<double> r(BlockSize);
        for (int32_t start = 0; start < PointCount(); start += BlockSize) {
            const int32_t n = std::min(BlockSize, PointCount() - start);
            EvalBlock(trialTerms_, start, n, f, nullptr);
            for (int32_t p = 0; p < n; ++p) {
                const size_t at = static_cast<size_t>(start + p);
                r[static_cast<size_t>(p)] =
                    (py_[at] - f[p]) * (weight_.empty() ? 1.0 : weight_[at]) * perResidualUnit_;
            }
            EvalBlock(terms_, start, n, f, g);
            WeighDerivatives(start, n, g, m_);
            for (size_t k = 0; k < m; ++k) {
                const double c = std::ldexp(1.0, columnExponent_[k]);
                for (int32_t p = 0; p < n; ++p) betaH[k] += r[static_cast<size_t>(p)] * g[k][p] * c;
            }
        }
        const double s = EffectiveScale(scale);
        for (size_t k = 0; k < m; ++k) betaH[k] /= s * s;
    });
    if (!clean) return true;
    bool solved = false;
    double aNorm = 0.0, vNorm = 0.0;
    // The squared norms of a and v with each parameter weighed by its damping scale.
    std::array<double, MaxFitParams> rhs{}, accel{};
    const bool cleanNorms = RunsClean([&] {
        // J' F_vv = (2 / h) ((beta - betaH) / h - alpha v), over all parameters (0 for the locked ones).
        for (int32_t r = 0; r < mFree_; ++r) {
            const size_t k = static_cast<size_t>(freeIndex[static_cast<size_t>(r)]);
            double av = 0.0;
            for (int32_t c = 0; c < mFree_; ++c)
                av += sys.alpha[k][static_cast<size_t>(freeIndex[static_cast<size_t>(c)])] *
                      delta_[static_cast<size_t>(c)];
            rhs[k] = -(2.0 / h) * ((sys.beta[k] - betaH[k]) / h - av);
        }
        solved = SolveFree(sys.alpha, rhs.data(), accel.data(), lambda_);
        if (!solved) return;
        // Each term d v^2 and d a^2 divided by the same power of two, the largest of the d v^2, so that the
        // sums are numbers and scale exactly with the data.
        int e = std::numeric_limits<int>::min();
        for (int32_t r = 0; r < mFree_; ++r) {
            const double d = dampScale_[static_cast<size_t>(freeIndex[static_cast<size_t>(r)])];
            const double v = delta_[static_cast<size_t>(r)];
            if (d > 0.0 && v != 0.0) e = std::max(e, std::ilogb(d) + 2 * std::ilogb(v));
        }
        if (e == std::numeric_limits<int>::min()) e = 0;
        for (int32_t r = 0; r < mFree_; ++r) {
            const double d =
                std::ldexp(dampScale_[static_cast<size_t>(freeIndex[static_cast<size_t>(r)])], -e);
            const double a = accel[static_cast<size_t>(r)], v = delta_[static_cast<size_t>(r)];
            aNorm += d * a * a;
            vNorm += d * v * v;
        }
    });
    // An acceleration beyond the doubles bends more than any step can follow.
    if (!cleanNorms) return false;
    if (!solved) return true;
    if (4.0 * aNorm > largestRatio * largestRatio * vNorm) return false;
    for (int32_t r = 0; r < mFree_; ++r)
        delta_[static_cast<size_t>(r)] += 0.5 * accel[static_cast<size_t>(r)];
    return true;
}

void TFitParamB::Fail(std::string why) {
    failed_ = 1;
    failure_ = std::move(why);
}

void TFitParamB::FailDamping() {
    if (lambda_ > 1e50)
        Fail("No step lowered chi-square at iteration " + std::to_string(iterations) +
             ": the damping grew past 1e50 (the model cannot be evaluated near these values, or they are "
             "already the best).");
    else
        Fail("The damping fell below 1e-100 at iteration " + std::to_string(iterations) + ".");
}

void TFitParamB::AdoptAcceptedStep() {
    TSystem& next = systems_[static_cast<size_t>(1 - current_)];
    bool finite = BuildInRange(next, terms_, true);
    for (int32_t k = 0; k < m_ && finite; ++k) {
        finite = std::isfinite(next.beta[static_cast<size_t>(k)]);
        for (int32_t j = 0; j <= k && finite; ++j)
            finite = std::isfinite(next.alpha[static_cast<size_t>(k)][static_cast<size_t>(j)]);
    }
    if (finite) {
        next.key = KeyOf();
        current_ = 1 - current_;
        NoteSystem(next, true);
        return;
    }
    // The derivatives at the new parameters are of no use: back to the old ones, with more damping.
    next.valid = false;
    for (size_t t = 0; t < terms_.size(); ++t) terms_[t].value = valuesBefore_[t];
    chiSquare_ = chiBefore_;
    chiPrev_ = chiPrevBefore_;
    chiPrev2_ = chiPrev2Before_;
    chiKey_ = KeyOf();
    accepted_ = false;
    lambda_ = lambdaOld_ * 10;
    if (lambda_ > 1e50) FailDamping();
}

bool TFitParamB::ConvergedNow() const {
    if (!accepted_) return false;
    if (convergeTest == TConvergeTest::Relative)
        return chiSquare_ == 0.0 || (relDecrease_ <= ftol && relChange_ <= xtol);
    const double slack = ToFitUnits(PointCount() * tolerance);
    return lambda_ < 1 && chiPrev_ - chiSquare_ < slack && chiPrev2_ - chiSquare_ < slack;
}

bool TFitParamB::Step() {
    if (!prepared_ && !Prepare()) {
        failed_ = 1;
        failure_ = lastError_;
        UpdateRms();
        return true;
    }
    // A failure belongs to the step that met it: after the user has changed the parameters the next step
    // tries again.
    failed_ = 0;
    failure_.clear();
    chiSquare_ = ScaledChiSquare();
    if (iterations >= maxIterations) {
        // No iteration is left (a limit of 0): the start is evaluated, with its errors, and the fit ends.
        TSystem& sys = systems_[static_cast<size_t>(current_)];
        if (!sys.valid || !(sys.key == KeyOf())) {
            BuildInRange(sys, terms_, false);
            sys.key = KeyOf();
            NoteSystem(sys);
        }
        converged = false;
        ErrorEstimates();
        UpdateRms();
        return true;
    }
    ++iterations;
    Iterate();
    if (failed_) {
        UpdateRms();
        return true;
    }
    const bool done = ConvergedNow();
    if (!done && iterations < maxIterations) {
        if (accepted_) AdoptAcceptedStep();
        UpdateRms();
        if (failed_) return true;
        return false;
    }
    converged = done;
    ErrorEstimates();
    UpdateRms();
    return true;
}

bool TFitParamB::RunFit() {
    if (!Prepare()) return false;
    while (!Step()) {
    }
    return true;
}
