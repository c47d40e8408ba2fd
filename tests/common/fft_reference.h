// Double-precision references for the FFT tests: FFTW's double transform and error measures
// against it, and a signal of the shapes the system transforms. Link fftw3 to use it.
#pragma once

#include <cmath>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

#include <fftw3.h>

#include "sigprim.h"

namespace fft_reference {

using cd = std::complex<double>;

// The forward DFT, sum of x[m] e^(-j 2 pi k m / n), by double-precision FFTW (estimate plan).
inline std::vector<cd> dft(const std::vector<cd>& x)
{
    std::vector<cd> out(x.size());
    auto* in = reinterpret_cast<fftw_complex*>(const_cast<cd*>(x.data()));
    fftw_plan plan = fftw_plan_dft_1d(static_cast<int>(x.size()), in,
                                      reinterpret_cast<fftw_complex*>(out.data()), FFTW_FORWARD,
                                      FFTW_ESTIMATE | FFTW_PRESERVE_INPUT);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    return out;
}

// Complex noise under two tones and a DC offset.
inline std::vector<cf32> testSignal(size_t n, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<float> noise(0.0f, 0.5f);
    std::vector<cf32> x(n);
    const double f1 = 0.1234567, f2 = 0.377;
    for (size_t i = 0; i < n; ++i) {
        const double p1 = 2.0 * M_PI * f1 * static_cast<double>(i);
        const double p2 = 2.0 * M_PI * f2 * static_cast<double>(i);
        x[i].re = static_cast<float>(std::cos(p1) + 0.25 * std::cos(p2) + 0.1) + noise(rng);
        x[i].im = static_cast<float>(std::sin(p1) - 0.25 * std::sin(p2)) + noise(rng);
    }
    return x;
}

inline std::vector<cd> toDouble(const std::vector<cf32>& x)
{
    std::vector<cd> out(x.size());
    for (size_t i = 0; i < x.size(); ++i)
        out[i] = {x[i].re, x[i].im};
    return out;
}

// Relative rms error allowed a transform of 2^order points: half a float rounding (2^-24) per
// radix-2 level, plus one. Measured: 0.13 to 0.26 of that per level from order 2 to 22.
inline double allowedError(int32_t order) { return 0.5 * std::ldexp(1.0, -24) * (order + 2); }

// Root-mean-square error of y against scale * ref, relative to the rms of scale * ref.
inline double relativeRmsError(const cf32* y, const std::vector<cd>& ref, double scale)
{
    double err = 0, norm = 0;
    for (size_t i = 0; i < ref.size(); ++i) {
        const cd r = ref[i] * scale;
        err += std::norm(cd(y[i].re, y[i].im) - r);
        norm += std::norm(r);
    }
    return std::sqrt(err / norm);
}

}  // namespace fft_reference
