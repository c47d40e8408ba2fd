// The complex multiply of one slot and the raw in-place product the FFT-mode filter calls.
#include "core/vector_kernels.h"
#include "core/vector_mul.h"

#define SIG_LIST "core/vector_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

void sigkMul_cf32(const cf32* src1, const cf32* src2, cf32* dst, int32_t len)
{
    const float* a = &src1->re;
    const float* b = &src2->re;
    float* d = &dst->re;
#if SIG_SLOT == 0
    mulSingles(a, b, d, len);
#elif SIG_SLOT <= 4
    mulF4<2>(a, b, d, len);
#else
    // A destination near either source goes one element at a time, each output using the
    // sources as they stand when its element is reached.
    if (startsWithin(d, a, len) || startsWithin(d, b, len))
        mulSingles(a, b, d, len);
    else
        mulF8<kSlot >= 6 ? 29 : 8, false>(a, b, d, len);
#endif
}

// Slots 5 and 6 run the in-place multiply's own 256-bit member, with its overlap rule.
void sigkMulInPlaceRaw_cf32(const cf32* src, cf32* srcDst, int32_t len)
{
#if SIG_SLOT >= 1 && SIG_SLOT <= 4
    mulF4<SIG_SLOT == 1 ? 1 : 2>(&srcDst->re, &src->re, &srcDst->re, len);
#elif SIG_SLOT >= 5
    mulInPlaceF8(&src->re, &srcDst->re, len);
#else
    sigkMul_cf32(srcDst, src, srcDst, len);
#endif
}

sigStatus sigMul_cf32(const cf32* src1, const cf32* src2, cf32* dst, int32_t len)
{
    if (src1 == nullptr || src2 == nullptr || dst == nullptr)
        return sigErrNull;
    if (len <= 0)
        return sigErrLength;
    sigkMul_cf32(src1, src2, dst, len);
    return sigOk;
}

}  // namespace sig::SIG_NS
