// The real-to-complex interleave of one slot.
#include "core/vector_interleave.h"
#include "core/vector_kernels.h"

#define SIG_LIST "core/vector_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

void sigkRealToCplx_f32(const float* re, const float* im, cf32* dst, int32_t n)
{
    interleaveOfSlot<true, true>(re, im, dst, n);
}

void sigkRealToCplxRe_f32(const float* re, cf32* dst, int32_t n)
{
    interleaveOfSlot<true, false>(re, nullptr, dst, n);
}

void sigkRealToCplxIm_f32(const float* im, cf32* dst, int32_t n)
{
    interleaveOfSlot<false, true>(nullptr, im, dst, n);
}

sigStatus sigRealToCplx_f32(const float* re, const float* im, cf32* dst, int32_t len)
{
    if (dst == nullptr)
        return sigErrNull;
    if (len <= 0)
        return sigErrLength;
    if (re == nullptr && im == nullptr)
        return sigErrNull;
    if (re == nullptr)
        sigkRealToCplxIm_f32(im, dst, len);
    else if (im == nullptr)
        sigkRealToCplxRe_f32(re, dst, len);
    else
        sigkRealToCplx_f32(re, im, dst, len);
    return sigOk;
}

}  // namespace sig::SIG_NS
