// The fused transforms of slots 5 and 6, orders 7 to 18 (see fft/avx/fused.h). Slot 6 fuses the
// products the kernels mark as fused; slot 5 rounds every product.
#include "core/slot.h"

#if SIG_SLOT >= 5
#include "fft/avx/fused.h"
#include "fft/fft_kernels.h"

namespace sig::SIG_NS {

inline constexpr bool kFma = SIG_SLOT >= 6;

void sigkFftFwdFused_cf32(const cf32* src, cf32* dst, int32_t n, const float* twiddles,
                          const int32_t* bitRevTable, cf32* work)
{
    avx::fusedTransform<fft::Dir::Fwd, kFma>(src, dst, n, twiddles, bitRevTable, work);
}

void sigkFftInvFused_cf32(const cf32* src, cf32* dst, int32_t n, const float* twiddles,
                          const int32_t* bitRevTable, cf32* work)
{
    avx::fusedTransform<fft::Dir::Inv, kFma>(src, dst, n, twiddles, bitRevTable, work);
}

}  // namespace sig::SIG_NS
#endif
