// Double-precision references for the FFT tests: the direct DFT with exact-argument roots for
// small sizes, double-precision FFTW for large ones, and error measures against them.
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

// e^(-j*2*pi*m/n), with m reduced modulo n first so the argument stays exact.
inline cd unitRoot(int64_t m, int64_t n)
{
    const long double a = -2.0L * 3.141592653589793238462643383279502884L *
                          static_cast<long double>(m % n) / static_cast<long double>(n);
    return {static_cast<double>(cosl(a)), static_cast<double>(sinl(a))};
}

inline std::vector<cd> directDft(const std::vector<cd>& x)
{
    const int64_t n = static_cast<int64_t>(x.size());
    std::vector<cd> root(static_cast<size_t>(n));
    for (int64_t m = 0; m < n; ++m)
        root[static_cast<size_t>(m)] = unitRoot(m, n);
    std::vector<cd> out(static_cast<size_t>(n));
    for (int64_t k = 0; k < n; ++k) {
        cd sum = 0;
        for (int64_t m = 0; m < n; ++m)
            sum += x[static_cast<size_t>(m)] * root[static_cast<size_t>((k * m) % n)];
        out[static_cast<size_t>(k)] = sum;
    }
    return out;
}

// Double-precision FFTW (estimate plan): an independent transform for the sizes where the direct
// sum is too slow. Link fftw3 to use it.
inline std::vector<cd> doubleFft(const std::vector<cd>& x)
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

inline std::vector<cd> dft(const std::vector<cd>& x)
{
    return x.size() <= 1024 ? directDft(x) : doubleFft(x);
}

// A signal of the shapes the system transforms: complex noise under two tones and a DC offset.
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
