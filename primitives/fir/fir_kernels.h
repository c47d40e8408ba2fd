// The FIR kernels of one slot, called directly by that slot's filter code.
#pragma once

#include "core/slot.h"
#include "fir/fir_record.h"

namespace sig::SIG_NS {

// Builds a multi-rate record without the entry checks (the public builder passes 'FI04').
sigStatus sigkFirMrInit_cf32(sigFirRecord_cf32** state, const cf32* taps, int32_t tapsLen,
                             int32_t upFactor, int32_t upPhase, int32_t downFactor,
                             int32_t downPhase, const cf32* dly, uint8_t* buf, uint32_t tag);

// Multi-rate driver: nb blocks from src into dst (distinct arrays); keeps the history.
void sigkFirMr_cf32(sigFirRecord_cf32* state, const cf32* src, cf32* dst, int32_t nb);

// Polyphase block kernel: count outputs (0 or a multiple of 4U) from the window positions the
// phase table gives, starting at buffer index base; returns the index the next call starts at.
int32_t sigkFirMrBlock_cf32(const cf32* tapTable, const cf32* buf, cf32* dst, int32_t count,
                            const int32_t* phaseTable, int32_t upFactor, int32_t base, int32_t n,
                            int32_t tapStride);

// Direct-form block kernel: dst[m] = sum over k of h[k] x[m + tapsLen - 1 - k], m < count; reads
// x[0 .. count + tapsLen - 2]. Slot 0 reads the reversed taps (word 1), slots 1-6 the
// lane-replicated table (word 13).
#if SIG_SLOT == 0
void sigkFirBlock_cf32(const cf32* taps, const cf32* x, cf32* dst, int32_t count, int32_t tapsLen);
#else
void sigkFirBlock_cf32(const float* table, const cf32* x, cf32* dst, int32_t count, int32_t tapsLen);

// The vector members' calls with nothing to sum: no outputs, or no taps (zeros throughout).
// True when the call is done.
inline bool firBlockHasNothingToSum(cf32* dst, int32_t count, int32_t tapsLen)
{
    if (count > 0 && tapsLen <= 0)
        for (int32_t m = 0; m < count; ++m)
            dst[m] = cf32{0.0f, 0.0f};
    return count <= 0 || tapsLen <= 0;
}
#endif

// FFT mode of a single-rate record: len samples from src into dst (distinct arrays).
sigStatus sigkFirFftBlock_cf32(sigFirRecord_cf32* state, const cf32* src, cf32* dst, int32_t len);
// srcDst[k] = srcDst[k] * src[k]: -8 a NULL array, -6 len <= 0.
sigStatus sigkMulInPlace_cf32(const cf32* src, cf32* srcDst, int32_t len);
// Inverse FFT with the spec's inverse scaling: -8, -17 (tag), -8, -9 (no work buffer).
sigStatus sigkFftInv_cf32(const cf32* src, cf32* dst, const sigFftSpec_cf32* spec, uint8_t* workBuf);

// In-place single-rate filtering goes through the scratch in chunks of this many samples.
inline constexpr int32_t kFirInPlaceChunk = kSlot >= 5 ? 4224 : 4096;

}  // namespace sig::SIG_NS
