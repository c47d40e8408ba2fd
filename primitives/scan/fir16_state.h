// The complex 16-bit FIR state, built in a caller buffer, and its layout.
//
// Regions after the header, in order: the normalised taps (cs32, reversed), the delay-line
// buffer (n delay samples, then room for a staging copy of the block's start), the 16-bit
// polyphase tap table (by phase group and lane), the phase-index table, and on the vector slots
// the twin tap lists that a 16-bit multiply-add reads: per output of a cycle, nPad entries
// {re, -im} followed by nPad entries {im, re}.
#pragma once

#include <cstdint>

#include "core/slot.h"
#include "sigprim.h"

struct sigFirState_cs16 {
    int32_t tag;
    int32_t tapsLen;    // T
    int32_t upFactor;   // U
    int32_t downFactor; // D
    int32_t phaseLen2;  // 2n, n = taps per phase
    int32_t stageLen2;  // 2 (g + 1)
    int32_t headLen2;   // 2 U ceil(n / D)
    int32_t dlyStart;   // single-rate form only
    int32_t vecStride;  // nPad: length of one twin tap list (vector slots), 0 on the plain slot
    int32_t reserved;
    int32_t upPhase;
    int32_t downPhase;
    int64_t tapScale;   // tapsFactor + normalising shift, kept wide so no sum of them wraps
    cs32* taps;
    cs16* dlyLine;
    cs16* tapTable;
    int32_t* phaseIdx;
    uint32_t* vecTaps;
};

namespace sig::SIG_NS {

inline constexpr int32_t kTagMultiRate = 0x46493132;   // 'FI12'
inline constexpr int32_t kTagSingleRate = 0x46493130;  // 'FI10'

// Samples one vector load covers in the twin tap lists: 8 with 256-bit registers (slot 6),
// 4 with 128-bit ones, none on the plain slot.
inline constexpr int kFirLanes = kSlot >= 6 ? 8 : (kSlot >= 1 ? 4 : 0);

// Byte offsets of the regions from the 16-byte-aligned state, all in 64 bits.
struct FirLayout {
    int64_t n, g, I, nPad;
    int64_t tapsAt, dlyAt, tapTableAt, phaseAt, vecAt, end;
};

constexpr int64_t align16(int64_t x) { return (x + 15) & ~int64_t(15); }

// false when a size does not fit the signed 32-bit range of the size query.
inline bool firLayout(int64_t T, int64_t U, int64_t D, FirLayout* L)
{
    L->n = (T + U - 1) / U;
    L->I = (T + 3 * D + U - 1) / U * U;
    L->g = (L->n / (4 * D) + 1) * (4 * D);
    if constexpr (kFirLanes > 0)
        L->nPad = (L->n + kFirLanes - 1) / kFirLanes * kFirLanes;
    else
        L->nPad = 0;
    L->tapsAt = align16(sizeof(sigFirState_cs16));
    L->dlyAt = L->tapsAt + align16(T * 8);
    L->tapTableAt = L->dlyAt + align16((L->n + L->g + 2) * 4);
    L->phaseAt = L->tapTableAt + L->I * 16;
    // The phase table's region, then the build scratch room the plain size has always had.
    L->vecAt = align16(L->phaseAt + U * 16 + 16 + L->I * 32);
    L->end = L->vecAt + 4 * U * L->nPad * 8;
    // 16 bytes of slack for aligning the caller's buffer.
    return L->end + 16 <= INT32_MAX;
}

}  // namespace sig::SIG_NS
