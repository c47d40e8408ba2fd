// The cross-block kernels of the vector slots (fft/cross_block.h): 128-bit registers on slots 1
// to 4, 256-bit ones on slots 5 and 6. Slots 2 and 4 share one forward member, slot 3 has its
// own, with the same bits; every other slot and direction has a member of its own. Both ignore
// their flag.
#include "core/slot.h"

#if SIG_SLOT >= 1
#include "fft/cross_block.h"
#include "fft/fft_kernels.h"

namespace sig::SIG_NS {

namespace {
#if SIG_SLOT >= 5
using Vec = F8;
#else
using Vec = F4;
#endif
}  // namespace

void sigkFftCrossBlock_cf32(cf32* data, int32_t n, int32_t span, const float* twiddles, int32_t,
                            int32_t step)
{
    crossBlockPasses<Vec, fft::Dir::Fwd>(data, n, span, twiddles, step);
}

void sigkFftInvCrossBlock_cf32(cf32* data, int32_t n, int32_t span, const float* twiddles, int32_t,
                               int32_t step)
{
    crossBlockPasses<Vec, fft::Dir::Inv>(data, n, span, twiddles, step);
}

}  // namespace sig::SIG_NS
#endif
