// The discrete Fourier transform of a curve: resampling onto a power-of-two even grid, an in-place radix-2
// transform, and one real output on the symmetric frequency grid.
#include "curves/curvesb.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

namespace {

// In-place radix-2 transform of n complex values stored as (re, im) pairs:
// H(m) = sum over k of h(k) exp(direction 2 pi i k m / n), not normalised.
void Transform(double* data, int32_t n, int direction, std::vector<double>& twiddle) {
    // Bit-reversal reordering.
    for (int32_t i = 0, j = 0; i < n; ++i) {
        if (j > i) {
            std::swap(data[2 * j], data[2 * i]);
            std::swap(data[2 * j + 1], data[2 * i + 1]);
        }
        int32_t m = n >> 1;
        while (m >= 1 && (j & m)) {
            j ^= m;
            m >>= 1;
        }
        j |= m;
    }
    // Butterflies for block lengths 2, 4, ..., n. The twiddle factors of a pass come from the recurrence
    // w := w + w (cos t - 1) + i w sin t, with cos t - 1 = -2 sin^2(t / 2); they are tabulated per pass so
    // that the blocks can be walked in memory order with the very same factors.
    twiddle.resize(static_cast<size_t>(n));
    for (int32_t len = 2; len <= n; len <<= 1) {
        const int32_t half = len >> 1;
        const double theta = 2.0 * std::numbers::pi / (direction * len);
        const double wtemp = std::sin(0.5 * theta);
        const double wpr = -2.0 * wtemp * wtemp;
        const double wpi = std::sin(theta);
        double wr = 1.0, wi = 0.0;
        for (int32_t m = 0; m < half; ++m) {
            twiddle[static_cast<size_t>(2 * m)] = wr;
            twiddle[static_cast<size_t>(2 * m + 1)] = wi;
            const double w = wr;
            wr = wr * wpr - wi * wpi + wr;
            wi = wi * wpr + w * wpi + wi;
        }
        for (int32_t blk = 0; blk < n; blk += len) {
            double* a = data + 2 * blk;
            double* b = a + 2 * half;
            for (int32_t m = 0; m < half; ++m) {
                const double tr = twiddle[static_cast<size_t>(2 * m)];
                const double ti = twiddle[static_cast<size_t>(2 * m + 1)];
                const double tempr = tr * b[2 * m] - ti * b[2 * m + 1];
                const double tempi = tr * b[2 * m + 1] + ti * b[2 * m];
                b[2 * m] = a[2 * m] - tempr;
                b[2 * m + 1] = a[2 * m + 1] - tempi;
                a[2 * m] += tempr;
                a[2 * m + 1] += tempi;
            }
        }
    }
}

} // namespace

bool TCurveB::FFT(const TCurveA* imag, int direction, int mode) {
    if ((direction != 1 && direction != -1) || mode < FFTReal || mode > FFTMagnitude) return false;
    const int32_t cnt = count_;
    if (cnt < 2) return false;
    const double* x = XData();
    // The smallest signed step between neighbours: a repeated or descending x makes it too small.
    double h = x[1] - x[0];
    for (int32_t i = 2; i < cnt; ++i) h = std::min(h, x[i] - x[i - 1]);
    if (!(h >= 1e-10)) return false;
    const double L = XMax - XMin;
    const double samples = L / h + 1;
    // N is the smallest power of two not below trunc(samples); it must stay within MaxFFTLength.
    if (!(samples >= 2.0 && samples < MaxFFTLength + 1.0)) return false;
    const int32_t N = static_cast<int32_t>(std::bit_ceil(static_cast<uint32_t>(samples)));

    // Sample k sits in slot (k + N/2) mod N, so that the middle of the x range is the time origin.
    std::vector<double> data(static_cast<size_t>(2 * N));
    const double step = L / (N - 1);
    int32_t hint = 1, imagHint = 1;
    double prev = 0.0;
    for (int32_t k = 0; k < N; ++k) {
        const double t = XMin + k * step;
        double v;
        // Only rounding at the last grid value can leave the curve: the previous sample stands in.
        if (ValueAt(hint, t, v)) prev = v;
        const size_t slot = static_cast<size_t>((k + N / 2) % N);
        data[2 * slot] = prev;
        data[2 * slot + 1] = imag && imag->ValueAt(imagHint, t, v) ? v : 0.0;
    }
    std::vector<double> twiddle;
    Transform(data.data(), N, direction, twiddle);

    // Point i shows slot (N/2 + i - 1) mod N on the grid -pi/L..pi/L; 1/sqrt(N) in both directions.
    SetCount(N);
    double* ox = XData();
    double* oy = YData();
    const double fs = std::numbers::pi / L;
    const double df = 2 * fs / (N - 1);
    const double norm = std::sqrt(static_cast<double>(N));
    for (int32_t i = 0; i < N; ++i) {
        const size_t j = static_cast<size_t>((N / 2 + i) % N);
        const double re = data[2 * j], im = data[2 * j + 1];
        double v;
        if (mode == FFTReal)
            v = re;
        else if (mode == FFTImaginary)
            v = im;
        else {
            const double s = re * re + im * im;
            v = s == 0.0 ? 0.0 : std::sqrt(s);
        }
        ox[i] = i * df - fs;
        oy[i] = v / norm;
    }
    XMin = ox[0];
    XMax = ox[N - 1];
    CalcYRange();
    DropSigma();
    MarkModified();
    return true;
}

std::string TCurveB::TransformRefusal() const {
    if (Count() < 2) return "needs at least two points; the curve has " + std::to_string(Count()) + ".";
    double h = X(2) - X(1);
    for (int32_t i = 3; i <= Count(); ++i) h = std::min(h, X(i) - X(i - 1));
    // The transform needs x rising by at least 1e-10 from point to point, and at most MaxFFTLength samples
    // of the smallest spacing over the x range.
    if (!(h >= 1e-10))
        return "needs x values that rise strictly from point to point; those of the curve do not.";
    const double samples = (XMax - XMin) / h + 1;
    if (!(samples < MaxFFTLength + 1.0)) {
        char steps[32];
        std::snprintf(steps, sizeof steps, "%.10g", std::trunc(samples - 1));
        return std::string("needs too many points: the curve's x range holds ") + steps +
               " steps of its smallest spacing, and at most " + std::to_string(MaxFFTLength) +
               " points can be transformed.";
    }
    return {};
}
