// True GMSK (BT 0.3, modulation index 1/2, differential encoding) for the decoder's unit tests,
// computed in double precision from the Gaussian frequency pulse, independent of the decoder's
// linearised references. Sample m lies at time (m / sps + delay) symbol periods, symbol i being
// centred at time i.
#pragma once

#include <cmath>
#include <complex>
#include <cstdint>
#include <random>
#include <vector>

namespace gmsk_test {

using cd = std::complex<double>;

// Phase response: the fraction (0..1) of a symbol's pi/2 that has accrued t symbol periods
// after its centre.
inline double phasePulse(double t)
{
    const double bt = 0.3;
    const double s = std::sqrt(std::log(2.0)) / (2.0 * M_PI * bt);   // Gaussian sigma, in T
    // Integral of rect(1) convolved with the Gaussian: closed form with erf.
    auto G = [&](double x) {
        // antiderivative of Phi(x / s): x Phi(x/s) + s phi(x/s)
        double z = x / s;
        return x * 0.5 * std::erfc(-z / std::sqrt(2.0)) + s * std::exp(-0.5 * z * z) / std::sqrt(2.0 * M_PI);
    };
    return G(t + 0.5) - G(t - 0.5);
}

// a_i = +1 when bit i repeats bit i-1 (a 0 before the first), else -1.
inline std::vector<double> symbols(const std::vector<uint8_t>& bits)
{
    std::vector<double> a(bits.size());
    uint8_t prev = 0;
    for (size_t i = 0; i < bits.size(); ++i) {
        a[i] = bits[i] == prev ? 1.0 : -1.0;
        prev = bits[i];
    }
    return a;
}

// count samples at sps per symbol; symbols beyond the bits count as +1 (a run of zero bits),
// before the first bit as nothing (phase 0).
inline std::vector<cd> modulate(const std::vector<uint8_t>& bits, int sps, double delay,
                                double phase0, int count)
{
    std::vector<double> a = symbols(bits);
    std::vector<cd> out(count);
    for (int m = 0; m < count; ++m) {
        double t = static_cast<double>(m) / sps + delay;
        double phase = phase0;
        for (size_t i = 0; i < a.size(); ++i) {
            double dt = t - static_cast<double>(i);
            if (dt < -3.0)
                break;
            phase += a[i] * M_PI / 2 * (dt > 3.0 ? 1.0 : phasePulse(dt));
        }
        out[m] = std::polar(1.0, phase);
    }
    return out;
}

// The delay (in symbols) at which a symbol has accrued the share of its phase that the
// decoder's linearised model assigns to its own sample (1.2968 of pi/2).
inline double modelDelay()
{
    const double target = 1.2968 / (M_PI / 2);
    double lo = 0.0, hi = 1.5;
    for (int i = 0; i < 60; ++i) {
        double mid = 0.5 * (lo + hi);
        (phasePulse(mid) < target ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

inline std::vector<uint8_t> randomBits(std::mt19937& rng, int n)
{
    std::vector<uint8_t> b(n);
    for (auto& x : b)
        x = static_cast<uint8_t>(rng() & 1);
    return b;
}

inline void addNoise(std::vector<cd>& x, double sigma, std::mt19937& rng)
{
    std::normal_distribution<double> n(0.0, sigma / std::sqrt(2.0));
    for (auto& v : x)
        v += cd(n(rng), n(rng));
}

}  // namespace gmsk_test
