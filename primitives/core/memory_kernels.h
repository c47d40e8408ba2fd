// The guarded memory kernels that other modules of the same slot call directly.
// Each tests dst/src for NULL (-8), then the count (-6), then fills, copies or moves.
#pragma once

#include "core/slot.h"
#include "sigprim.h"

namespace sig::SIG_NS {

sigStatus sigkCopy_u8(const void* src, void* dst, int32_t n);       // no overlap unless src == dst
sigStatus sigkZero_u8(void* dst, int32_t n);
sigStatus sigkZero_f32(float* dst, int32_t count);
sigStatus sigkSet_s32(int32_t value, int32_t* dst, int32_t count);
sigStatus sigkMove_cf32(const cf32* src, cf32* dst, int32_t len);   // overlap-safe

}  // namespace sig::SIG_NS
