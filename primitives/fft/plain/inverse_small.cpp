// Inverse transforms of 1 to 32 points: natural order in and out, every input read before an
// output is written (src == dst allowed). The scaled forms scale the first-stage values.
#include "fft/plain/inverse_kernels.h"

namespace sig::SIG_NS {

void fftConjugate(const cf32* src, cf32* dst, ptrdiff_t n)
{
    for (ptrdiff_t i = 0; i < n; ++i)
        dst[i] = cf32{src[i].re, -src[i].im};
}

void plainSmallInv(int32_t order, const cf32* src, cf32* dst, const float* factor)
{
    cf32 x[32] = {};
    const int32_t n = 1 << order;
    fftConjugate(src, x, n);
    plainSmallFwd(order, x, x, factor);
    fftConjugate(x, dst, n);
}

#if SIG_SLOT == 0

void sigkFftInvN4_cf32(const cf32* src, cf32* dst) { plainSmallInv(2, src, dst, nullptr); }
void sigkFftInvN8_cf32(const cf32* src, cf32* dst) { plainSmallInv(3, src, dst, nullptr); }
void sigkFftInvN16_cf32(const cf32* src, cf32* dst) { plainSmallInv(4, src, dst, nullptr); }
void sigkFftInvN32_cf32(const cf32* src, cf32* dst) { plainSmallInv(5, src, dst, nullptr); }
void sigkFftInvN4Scaled_cf32(const cf32* src, cf32* dst, float f) { plainSmallInv(2, src, dst, &f); }
void sigkFftInvN8Scaled_cf32(const cf32* src, cf32* dst, float f) { plainSmallInv(3, src, dst, &f); }
void sigkFftInvN16Scaled_cf32(const cf32* src, cf32* dst, float f) { plainSmallInv(4, src, dst, &f); }
void sigkFftInvN32Scaled_cf32(const cf32* src, cf32* dst, float f) { plainSmallInv(5, src, dst, &f); }

const FftSmallTable sigkFftInvSmallTable_cf32 = {
    {sigkFftN1_cf32, sigkFftN2_cf32, sigkFftInvN4_cf32, sigkFftInvN8_cf32, sigkFftInvN16_cf32,
     sigkFftInvN32_cf32},
    {sigkFftN1Scaled_cf32, sigkFftN2Scaled_cf32, sigkFftInvN4Scaled_cf32, sigkFftInvN8Scaled_cf32,
     sigkFftInvN16Scaled_cf32, sigkFftInvN32Scaled_cf32},
};

#endif

}  // namespace sig::SIG_NS
