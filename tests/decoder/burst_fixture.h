// Bursts for the burst-receiver tests: layouts filled with random data around the known bits,
// modulated as true GMSK at one sample per symbol.
#pragma once

#include <vector>

#include "burst_ref.h"
#include "gmsk_signal.h"

namespace burst_test {

// A 148-bit burst of the context's layout: tail zeros, random data, the known bits.
inline std::vector<uint8_t> burstBits(const corvane::BurstCtx& ctx, std::mt19937& rng,
                                      std::vector<uint8_t>* data)
{
    const corvane::BurstLayout& L = *ctx.layout;
    std::vector<uint8_t> bits(corvane::kBurstLen, 0);
    *data = gmsk_test::randomBits(rng, 2 * L.dataLen);
    for (int i = 0; i < L.dataLen; ++i) {
        bits[L.dataStart1 + i] = (*data)[i];
        bits[L.dataStart2 + i] = (*data)[L.dataLen + i];
    }
    for (int i = 0; i < ctx.ref.knownLen; ++i)
        bits[ctx.ref.knownStart + i] = ctx.known[i];
    return bits;
}

// The burst placed at sample `lead` of a buffer of `total` samples (zero bits around it), with
// the given extra delay in symbols, start phase, amplitude and complex noise of std. dev. sigma.
inline std::vector<cf32> placeBurst(const std::vector<uint8_t>& bits, int lead, int total,
                                    double delay, double phase, double amp, double sigma,
                                    std::mt19937& rng)
{
    std::vector<uint8_t> all(lead, 0);
    all.insert(all.end(), bits.begin(), bits.end());
    all.resize(total, 0);
    auto sig = gmsk_test::modulate(all, 1, gmsk_test::modelDelay() + delay, phase, total);
    for (auto& v : sig)
        v *= amp;
    if (sigma > 0)
        gmsk_test::addNoise(sig, sigma, rng);
    std::vector<cf32> x(total);
    for (int i = 0; i < total; ++i)
        x[i] = {static_cast<float>(sig[i].real()), static_cast<float>(sig[i].imag())};
    return x;
}

}  // namespace burst_test
