// The plain FFT algorithms (slot 0's kernels) and the planner's table builders of every layout.
#pragma once

#include <cstddef>

#include "core/slot.h"
#include "fft/fft_kernels.h"
#include "fft/fft_spec.h"
#include "sigprim.h"

namespace sig::SIG_NS {

// Size query and planner of a given table layout (0 plain, 1..6 the vector slots' formats).
sigStatus fftGetSizeLayout(int32_t layout, int32_t order, int32_t flag, int32_t* specSize,
                           int32_t* initBufSize, int32_t* workBufSize);
sigStatus fftInitLayout(int32_t layout, sigFftSpec_cf32** spec, int32_t order, int32_t flag,
                        int32_t hint, uint8_t* specMem, uint8_t* initBuf);

// Table builders shared by the direct and the large-order set-ups.
void* fftTwiddleTableLayout(int32_t layout, int32_t order, const float* sine, int32_t sineOrder,
                            void* dst);
void* fftTwiddleRecords(int32_t order, const float* sine, int32_t sineOrder, void* dst);
void* fftCrossBlockTable(int32_t order, const float* sine, int32_t sineOrder, void* dst);
void fftColumnStream(int32_t m, int32_t t, const float* sine, int32_t sineOrder, cf32* dst,
                     cf32* scratch);
void fftVectorColumnTable(int32_t layout, int32_t m, const float* sine, int32_t sineOrder,
                          float* dst);

// Plain kernels (swap-list bit reversal, radix-4 passes, small orders, scaling, large orders).
void plainBitRevCopy(const cf32* src, cf32* dst, ptrdiff_t n, const int32_t* table);
void plainBitRevInPlace(cf32* data, ptrdiff_t n, const int32_t* table);
// The first step of every plain transform: src in the plan's bit-reversed order into dst, in
// place when they are the same buffer.
inline void plainBitRev(const sigFftSpec_cf32* spec, const cf32* src, cf32* dst, ptrdiff_t n)
{
    const int32_t* table = fft::fftTable<int32_t>(spec, spec->bitRev);
    if (src == dst)
        plainBitRevInPlace(dst, n, table);
    else
        plainBitRevCopy(src, dst, n, table);
}
void plainRadixFwd(cf32* data, int32_t n, const float* twiddles);
// The scaling contract: data NULL -8, count <= 0 -6, factor 1 no change, factor 0 zero-fill,
// otherwise multiply(factor, data, count).
sigStatus scaleFloats(float factor, float* data, int32_t count,
                      void (*multiply)(float factor, float* data, int32_t count));
sigStatus plainScale(float factor, float* data, int32_t count);
void plainSmallFwd(int32_t order, const cf32* src, cf32* dst, const float* factor);
void plainFwdLarge(const sigFftSpec_cf32* spec, const cf32* src, cf32* dst, int32_t order,
                   cf32* work);
// The forward passes of a large order after its bit reversal, split at the given depth or in
// blocks (plainLargePasses chooses, at depth 0); scale says whether the leaves apply the spec's
// factor, so that the inverse can run the same passes on conjugated data with its own switch.
void plainLargeSplit(const sigFftSpec_cf32* spec, cf32* data, int32_t order, int32_t depth,
                     cf32* work, bool scale);
void plainLargePasses(const sigFftSpec_cf32* spec, cf32* data, int32_t order, cf32* work,
                      bool scale);
void plainCrossBlock(cf32* data, ptrdiff_t total, ptrdiff_t blockLen, const float* twiddles);
// The checks of every transform entry (spec NULL -8, tag -17, src or dst NULL -8), and its work
// buffer: the caller's from its first 64-byte boundary, or one of the spec's work size allocated
// for the call (*owned, release with sigFree), or none; false when the allocation failed.
sigStatus fftCheckArgs(const cf32* src, const cf32* dst, const sigFftSpec_cf32* spec);
bool fftTakeWork(const sigFftSpec_cf32* spec, uint8_t* workBuf, cf32** work, uint8_t** owned);
sigStatus plainFwd(const cf32* src, cf32* dst, const sigFftSpec_cf32* spec, uint8_t* workBuf);

}  // namespace sig::SIG_NS
