// Plain inverse transform of the large orders (11 to 27), the twin of the forward large path:
// the whole array is bit-reversed once and conjugated, the forward passes run on it (1024-point
// blocks with cross-block passes, or the four-step split with its column twiddles), each leaf
// scaled once by the inverse switch, and the result is conjugated back.
#include "fft/plain/complex.h"
#include "fft/fft_plain.h"
#include "fft/plain/inverse_kernels.h"

namespace sig::SIG_NS {

void plainInvLarge(const sigFftSpec_cf32* spec, const cf32* src, cf32* dst, int32_t order,
                   cf32* work)
{
    const ptrdiff_t n = ptrdiff_t{1} << order;
    plainBitRev(spec, src, dst, n);
    fftConjugate(dst, dst, n);
    plainLargePasses(spec, dst, order, work, spec->invScale != 0);
    fftConjugate(dst, dst, n);
}

#if SIG_SLOT == 0

void sigkFftInvLarge_cf32(const sigFftSpec_cf32* spec, const cf32* src, cf32* dst, int32_t order,
                          cf32* work)
{
    plainInvLarge(spec, src, dst, order, work);
}

void sigkFftInvLargeSplit_cf32(const sigFftSpec_cf32* spec, cf32* data, int32_t order,
                               int32_t depth, cf32* work)
{
    const ptrdiff_t n = ptrdiff_t{1} << order;
    fftConjugate(data, data, n);
    plainLargeSplit(spec, data, order, depth, work, spec->invScale != 0);
    fftConjugate(data, data, n);
}

void sigkFftInvCrossBlock_cf32(cf32* data, ptrdiff_t total, ptrdiff_t blockLen,
                               const float* twiddles)
{
    fftConjugate(data, data, total);
    plainCrossBlock(data, total, blockLen, twiddles);
    fftConjugate(data, data, total);
}

#endif

}  // namespace sig::SIG_NS
