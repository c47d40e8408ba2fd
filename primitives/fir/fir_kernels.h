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

}  // namespace sig::SIG_NS
