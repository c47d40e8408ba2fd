// The inverse FFT kernels, declared inside the including slot's namespace (compile through
// sig_slot_sources). They read a record that the plain planner built (fft/fft_spec.h).
//
// Every inverse kernel is the twin of a forward kernel: the same passes, tables and records,
// with conjugated twiddles and +j for -j. Conjugation commutes exactly with every float sum and
// product (rounding is symmetric in sign), so the twin is computed as conj(forward(conj x)):
// bit for bit the result of the conjugate-twiddle passes, with one implementation of each pass.
//
// Usage (what the FIR's FFT mode does on slot 0):
//     plainInv(src, dst, spec, workBuf);   // checks like the forward entry; -9 without memory
#pragma once

#include <cstddef>

#include "fft/fft_kernels.h"
#include "fft/fft_plain.h"

namespace sig::SIG_NS {

// dst[i] = conj(src[i]) for n values; src == dst allowed.
void fftConjugate(const cf32* src, cf32* dst, ptrdiff_t n);

// Plain inverse kernels (slot 0's; compiled into every slot's units like all plain code).
void plainRadixInv(cf32* data, int32_t n, const float* twiddles);
void plainSmallInv(int32_t order, const cf32* src, cf32* dst, const float* factor);
void plainInvLarge(const sigFftSpec_cf32* spec, const cf32* src, cf32* dst, int32_t order,
                   cf32* work);
// The inverse transform of the plain layout with the spec's inverse scaling: spec NULL -8, tag
// -17, src or dst NULL -8, -9 when a needed work buffer cannot be allocated (dst untouched).
sigStatus plainInv(const cf32* src, cf32* dst, const sigFftSpec_cf32* spec, uint8_t* workBuf);

#if SIG_SLOT == 0
// All inverse passes of n points (4 <= n <= 4096) over bit-reversed data, in place, unscaled.
void sigkFftRadixInv_cf32(cf32* data, int32_t n, const float* twiddles);
// Orders 11 to 27: bit reversal, blocks or four-step split; scales itself (spec word 3).
void sigkFftInvLarge_cf32(const sigFftSpec_cf32* spec, const cf32* src, cf32* dst, int32_t order,
                          cf32* work);
void sigkFftInvLargeSplit_cf32(const sigFftSpec_cf32* spec, cf32* data, int32_t order,
                               int32_t depth, cf32* work);
void sigkFftInvCrossBlock_cf32(cf32* data, ptrdiff_t total, ptrdiff_t blockLen,
                               const float* twiddles);
#endif

}  // namespace sig::SIG_NS
