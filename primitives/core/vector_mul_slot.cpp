// The complex multiply of one slot and the raw in-place product the FFT-mode filter calls.
#include "core/vector_kernels.h"
#include "core/vector_mul.h"

#define SIG_LIST "core/vector_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

#if SIG_SLOT >= 5
namespace {
// True when dst starts within len elements of src, the same start included: the wide steps
// of slots 5 and 6 would then read elements already overwritten, so they go one at a time.
bool nearSource(const cf32* dst, const cf32* src, int32_t len)
{
    uintptr_t d = reinterpret_cast<uintptr_t>(dst), s = reinterpret_cast<uintptr_t>(src);
    uintptr_t dist = d > s ? d - s : s - d;
    return dist < static_cast<uintptr_t>(len) * sizeof(cf32);
}
}  // namespace
#endif

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
    if (nearSource(dst, src1, len) || nearSource(dst, src2, len))
        mulSingles(a, b, d, len);
    else
        mulF8(a, b, d, len);
#endif
}

void sigkMulInPlaceRaw_cf32(const cf32* src, cf32* srcDst, int32_t len)
{
#if SIG_SLOT >= 1 && SIG_SLOT <= 4
    mulF4<SIG_SLOT == 1 ? 1 : 2>(&srcDst->re, &src->re, &srcDst->re, len);
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
