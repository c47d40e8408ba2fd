// The middle-order kernels of slots 2, 3 and 4, both directions (see fft/sse/blocked.h): the three
// slots compile the same code with their own instruction sets and give the same bits.
#include "core/slot.h"

#if SIG_SLOT >= 2 && SIG_SLOT <= 4
#include "fft/fft_kernels.h"
#include "fft/sse/blocked.h"

namespace sig::SIG_NS {

void sigkFftFwdFused_cf32(const cf32* src, cf32* dst, int32_t n, const float* twiddles,
                          const int32_t* bitRevTable, cf32* work)
{
    sse::blocked::fusedTransform<fft::Dir::Fwd>(src, dst, n, twiddles, bitRevTable, work);
}

void sigkFftInvFused_cf32(const cf32* src, cf32* dst, int32_t n, const float* twiddles,
                          const int32_t* bitRevTable, cf32* work)
{
    sse::blocked::fusedTransform<fft::Dir::Inv>(src, dst, n, twiddles, bitRevTable, work);
}

void sigkFftRadixFwd_cf32(cf32* data, int32_t n, const float* twiddles, cf32* work, int32_t flag)
{
    sse::blocked::radixTransform<fft::Dir::Fwd>(data, n, twiddles, work, flag);
}

void sigkFftRadixInv_cf32(cf32* data, int32_t n, const float* twiddles, cf32* work, int32_t flag)
{
    sse::blocked::radixTransform<fft::Dir::Inv>(data, n, twiddles, work, flag);
}

}  // namespace sig::SIG_NS
#endif
