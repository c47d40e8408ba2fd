// The middle-order transforms of slot 1, both directions (see fft/sse/level1.h): the fused
// transform of orders 6 to 14 and the radix transform over bit-reversed data (order 15, and the
// rows of the large orders).
#include "core/slot.h"

#if SIG_SLOT == 1
#include "fft/fft_kernels.h"
#include "fft/sse/level1.h"

namespace sig::SIG_NS {

void sigkFftFwdFused_cf32(const cf32* src, cf32* dst, int32_t n, const float* twiddles,
                          const int32_t* bitRevTable, cf32* work)
{
    sse::level1::fused<fft::Dir::Fwd>(src, dst, n, twiddles, bitRevTable, work);
}

void sigkFftInvFused_cf32(const cf32* src, cf32* dst, int32_t n, const float* twiddles,
                          const int32_t* bitRevTable, cf32* work)
{
    sse::level1::fused<fft::Dir::Inv>(src, dst, n, twiddles, bitRevTable, work);
}

void sigkFftRadixFwd_cf32(cf32* data, int32_t n, const float* twiddles, cf32* work, int32_t flag)
{
    sse::level1::radix<fft::Dir::Fwd>(data, n, twiddles, work, flag);
}

void sigkFftRadixInv_cf32(cf32* data, int32_t n, const float* twiddles, cf32* work, int32_t flag)
{
    sse::level1::radix<fft::Dir::Inv>(data, n, twiddles, work, flag);
}

}  // namespace sig::SIG_NS
#endif
