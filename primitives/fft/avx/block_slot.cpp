// The row transforms of the large orders on slots 5 and 6, both directions: rows of 2^15 to 2^18
// points already in bit-reversed order (see blockTransform in fft/avx/fused.h). Slot 6 fuses the
// products the kernels mark as fused; slot 5 rounds every product.
#include "core/slot.h"

#if SIG_SLOT >= 5
#include "fft/avx/fused.h"
#include "fft/fft_kernels.h"

namespace sig::SIG_NS {

namespace {
constexpr bool kFma = SIG_SLOT >= 6;
}

void sigkFftRadixFwd_cf32(cf32* data, int32_t n, const float* twiddles, cf32* work, int32_t flag)
{
    avx::blockTransform<fft::Dir::Fwd, kFma>(data, n, twiddles, work, flag == 1);
}

void sigkFftRadixInv_cf32(cf32* data, int32_t n, const float* twiddles, cf32* work, int32_t flag)
{
    avx::blockTransform<fft::Dir::Inv, kFma>(data, n, twiddles, work, flag == 1);
}

}  // namespace sig::SIG_NS
#endif
