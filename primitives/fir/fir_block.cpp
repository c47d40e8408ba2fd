// The direct-form block kernel sigkFirBlock_cf32 of the plain slot: count outputs of a
// single-rate FIR over a window that holds the history followed by the input. It reads the
// reversed taps (taps[t] meets x[k + t]) and sums four outputs side by side. The vector slots'
// members are fir_block_sse.cpp (slots 1-4) and fir_block_avx.cpp (slots 5 and 6).
#include "fir/fir_kernels.h"

#if SIG_SLOT == 0

namespace sig::SIG_NS {

void sigkFirBlock_cf32(const cf32* taps, const cf32* x, cf32* dst, int32_t count, int32_t tapsLen)
{
    int32_t k0 = 0;
    for (; k0 + 4 <= count; k0 += 4) {
        double re[4] = {0, 0, 0, 0}, im[4] = {0, 0, 0, 0};
        for (int32_t t = 0; t < tapsLen; ++t) {
            const cf32 h = taps[t];
            for (int32_t l = 0; l < 4; ++l) {
                const cf32 v = x[k0 + t + l];
                re[l] = float(re[l] + (double(v.re) * h.re - double(v.im) * h.im));
                im[l] = float(im[l] + (double(v.re) * h.im + double(v.im) * h.re));
            }
        }
        for (int32_t l = 0; l < 4; ++l)
            dst[k0 + l] = cf32{float(re[l]), float(im[l])};
    }
    for (; k0 < count; ++k0) {
        float re = 0.0f, im = 0.0f;
        for (int32_t t = 0; t < tapsLen; ++t) {
            const cf32 h = taps[t], v = x[k0 + t];
            re = float(double(re) + (double(v.re) * h.re - double(v.im) * h.im));
            im = float(double(im) + (double(v.re) * h.im + double(v.im) * h.re));
        }
        dst[k0] = cf32{re, im};
    }
}

}  // namespace sig::SIG_NS

#endif
