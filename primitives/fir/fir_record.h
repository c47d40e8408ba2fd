// The FIR record: one header shared by the multi-rate ('FI04') and single-rate ('FI02')
// records, followed by the regions the builder lays out (reversed taps, tap table, phase table,
// delay line, scratch). The pointer fields are real pointers, so every size below is computed
// from sizeof(sigFirRecord_cf32) rather than from a fixed header length.
#pragma once

#include <cstddef>
#include <cstdint>

#include "sigprim.h"

inline constexpr uint32_t kFirTagMultiRate = 0x46493034;   // 'FI04'
inline constexpr uint32_t kFirTagSingleRate = 0x46493032;  // 'FI02'

struct alignas(16) sigFirRecord_cf32 {
    uint32_t tag;          // 0
    cf32* taps;            // 1: reversed taps, taps[k] = h[tapsLen-1-k]
    cf32* dlyLine;         // 2: history (oldest first), then room for the delay extension
    int32_t tapsLen;       // 3
    int32_t upFactor;      // 4: U
    int32_t dlyExt;        // 5: E (single-rate: room behind the history)
    int32_t downFactor;    // 6: D
    int32_t headLen;       // 7: L
    sigFftSpec_cf32* fftSpec;  // 8: forward FFT record (single-rate FFT mode)
    cf32* fftTaps;         // 9: filter spectrum (single-rate FFT mode)
    int32_t fftLen;        // 10: FFT mode when > 0
    int32_t dlyOffset;     // 11
    int32_t* phaseTable;   // 12: level 0 start indices; levels 1-6 byte steps
    cf32* tapTable;        // 13
    int32_t tapStride;     // 14: level 0 n, levels 1-6 f
    int32_t word15;
    int32_t dlyLen;        // 16: history length
    cf32* fftBuf;          // 17: FFT block buffer (single-rate FFT mode)
    uint8_t* fftWork;      // 18: FFT work buffer or NULL
    int32_t word19;
    cf32* scratch;         // 20
    int32_t word21;
    int32_t word22;        // 0
    int32_t upPhase;       // 23
    int32_t downPhase;     // 24
    int32_t word25, word26, word27;
};

namespace sig {

// Derived quantities and region sizes of a multi-rate record, all computed in 64 bits.
struct FirMrLayout {
    int32_t n;       // taps per polyphase branch, history length
    int32_t r;       // working row length: smallest multiple of U >= tapsLen + 3D
    int32_t E;       // delay extension
    int32_t L;       // head length
    int32_t f;       // levels 1-6: n rounded up to even (level 0: n)
    int32_t M;       // levels 1-6: max(r, U f) (level 0: r)
    int64_t tapsBytes, tapTableBytes, phaseBytes, delayBytes, scratchBytes;
    int64_t recordBytes;  // header + regions, from the 16-aligned start
    int64_t bufferBytes;  // recordBytes + 15: what a buffer of any alignment needs
};

// Fills *out for the level-0 layout (vectorLayout false) or the layout of levels 1-6.
// Arguments must be positive. Returns sigErrMemory when a size or a stored quantity does not
// fit in 32 bits, else sigOk.
sigStatus firMrLayout(int32_t tapsLen, int32_t up, int32_t down, bool vectorLayout,
                      FirMrLayout* out);

}  // namespace sig
