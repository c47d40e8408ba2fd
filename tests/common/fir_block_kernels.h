// The vector slots' direct-form block kernels by slot, for the tests and benchmarks that call
// them directly (the library reaches them only through its single-rate filter).
#pragma once

#include "sigprim.h"

#define FIR_BLOCK_DECLARE(ns)                                                   \
    namespace sig::ns {                                                         \
    void sigkFirBlock_cf32(const float*, const cf32*, cf32*, int32_t, int32_t); \
    }
FIR_BLOCK_DECLARE(s1) FIR_BLOCK_DECLARE(s2) FIR_BLOCK_DECLARE(s3)
FIR_BLOCK_DECLARE(s4) FIR_BLOCK_DECLARE(s5) FIR_BLOCK_DECLARE(s6)
#undef FIR_BLOCK_DECLARE

namespace fir_block {

// (lane-replicated tap table, window, dst, count, tapsLen); slot 0 has no such member.
using Kernel = void (*)(const float*, const cf32*, cf32*, int32_t, int32_t);
inline constexpr Kernel kPerSlot[7] = {nullptr,
                                       sig::s1::sigkFirBlock_cf32,
                                       sig::s2::sigkFirBlock_cf32,
                                       sig::s3::sigkFirBlock_cf32,
                                       sig::s4::sigkFirBlock_cf32,
                                       sig::s5::sigkFirBlock_cf32,
                                       sig::s6::sigkFirBlock_cf32};

}  // namespace fir_block
