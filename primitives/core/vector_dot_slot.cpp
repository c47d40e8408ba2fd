// The complex dot product of one slot: argument checks, then this slot's kernel.
#include "core/vector_dot.h"
#include "core/vector_kernels.h"

#define SIG_LIST "core/vector_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

void sigkDotProd_cf32(const cf32* src1, const cf32* src2, int32_t len, cf32* result)
{
    // Computed in full before the store: result may lie inside a source.
    cf32 sum = dotOfSlot(src1, src2, len);
    *result = sum;
}

sigStatus sigDotProd_cf32(const cf32* src1, const cf32* src2, int32_t len, cf32* result)
{
    if (src1 == nullptr || src2 == nullptr || result == nullptr)
        return sigErrNull;
    if (len <= 0)
        return sigErrLength;
    sigkDotProd_cf32(src1, src2, len, result);
    return sigOk;
}

}  // namespace sig::SIG_NS
