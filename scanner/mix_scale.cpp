#include "mix_scale.h"

namespace {

constexpr int32_t kLargestScale = 13;   // enough for (-32768, -32768): 46341 * 3296 < 2^28

}  // namespace

uint32_t capturePeakNorm(const cs16* capture, int32_t len)
{
    uint32_t peak = 0;
    for (int32_t i = 0; i < len; ++i) {
        const int32_t re = capture[i].re, im = capture[i].im;
        const uint32_t norm = uint32_t(re * re) + uint32_t(im * im);
        peak = norm > peak ? norm : peak;
    }
    return peak;
}

int32_t mixScaleFactor(uint32_t peakNorm)
{
    // A product's parts satisfy re^2 + im^2 = |sample|^2 |tone|^2, so neither exceeds
    // B = sqrt(peakNorm) * 3296. The multiply rounds x / 2^s half to even and then saturates:
    // the result stays within +-32767 while |x| < 32767.5 * 2^s, i.e. 4 B^2 < (65535 * 2^s)^2
    // (for s = 0 the same test reads |x| <= 32767). All in 64 bits: 4 B^2 < 2^57.
    const uint64_t bound = kMixToneModulusBound;
    const uint64_t fourB2 = 4 * uint64_t(peakNorm) * bound * bound;
    int32_t s = 0;
    while (s < kLargestScale && fourB2 >= (uint64_t(65535) << s) * (uint64_t(65535) << s))
        ++s;
    return s;
}
