// The vector slots' cross-block passes by slot and direction, for the tests and benchmarks that
// call them directly (no transform selects them). Slot 0's plain passes take other arguments and
// are not in the table.
#pragma once

#include "sigprim.h"

#define FFT_CROSS_BLOCK_DECLARE(ns)                                                         \
    namespace sig::ns {                                                                     \
    void sigkFftCrossBlock_cf32(cf32*, int32_t, int32_t, const float*, int32_t, int32_t);    \
    void sigkFftInvCrossBlock_cf32(cf32*, int32_t, int32_t, const float*, int32_t, int32_t); \
    }
FFT_CROSS_BLOCK_DECLARE(s1)
FFT_CROSS_BLOCK_DECLARE(s2)
FFT_CROSS_BLOCK_DECLARE(s3)
FFT_CROSS_BLOCK_DECLARE(s4)
FFT_CROSS_BLOCK_DECLARE(s5)
FFT_CROSS_BLOCK_DECLARE(s6)
#undef FFT_CROSS_BLOCK_DECLARE

namespace fft_cross_block {

// (data, n, span, twiddle table, flag, step), in place.
using Kernel = void (*)(cf32*, int32_t, int32_t, const float*, int32_t, int32_t);
#define FFT_CROSS_BLOCK_OF(ns) {sig::ns::sigkFftCrossBlock_cf32, sig::ns::sigkFftInvCrossBlock_cf32}
// [slot][0 forward, 1 inverse]
inline constexpr Kernel kPerSlot[7][2] = {{},
                                          FFT_CROSS_BLOCK_OF(s1),
                                          FFT_CROSS_BLOCK_OF(s2),
                                          FFT_CROSS_BLOCK_OF(s3),
                                          FFT_CROSS_BLOCK_OF(s4),
                                          FFT_CROSS_BLOCK_OF(s5),
                                          FFT_CROSS_BLOCK_OF(s6)};
#undef FFT_CROSS_BLOCK_OF

}  // namespace fft_cross_block
