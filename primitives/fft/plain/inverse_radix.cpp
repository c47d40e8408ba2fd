// The inverse butterfly passes of an n-point transform over bit-reversed data, in place: the
// forward passes on the conjugated block (see fft/plain/inverse_kernels.h).
#include "fft/plain/inverse_kernels.h"

namespace sig::SIG_NS {

void plainRadixInv(cf32* data, int32_t n, const float* twiddles)
{
    fftConjugate(data, data, n);
    plainRadixFwd(data, n, twiddles);
    fftConjugate(data, data, n);
}

#if SIG_SLOT == 0
void sigkFftRadixInv_cf32(cf32* data, int32_t n, const float* twiddles)
{
    plainRadixInv(data, n, twiddles);
}
#endif

}  // namespace sig::SIG_NS
