// The multi-rate FIR record: size query, builder and delay-line loader of one slot.
//
// Slot 0 lays the tap table out as the plain kernel reads it (four lanes interleaved per tap)
// with start indices in the phase table; slots 1-6 keep one row per output, in two halves
// (Re h, -Im h) and (Im h, Re h), and byte steps in the phase table.
#include "core/filter_args.h"
#include "core/memory_kernels.h"
#include "fir/fir_kernels.h"

#define SIG_LIST "fir/fir_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

namespace {

constexpr bool kVectorLayout = kSlot != 0;

uint8_t* alignUp16(uint8_t* p)
{
    uintptr_t a = reinterpret_cast<uintptr_t>(p);
    return reinterpret_cast<uint8_t*>((a + 15) & ~uintptr_t{15});
}

// The lane lists and the phase table (as start indices) of the level-0 construction, in the
// scratch: lists[U n l + n j + i] is the reversed-tap index that tap i of lane l, position j
// applies, -1 where no tap falls. rows is the working area of 4r lane rows.
void buildPhasesAndLists(int32_t T, int32_t U, int32_t pu, int32_t D, int32_t pd,
                         const FirMrLayout& lay, int32_t* P, int32_t* lists, int32_t* rows)
{
    const int32_t n = lay.n, r = lay.r;
    sigkSet_s32(-1, P, 4 * U);
    sigkSet_s32(-1, lists, 4 * r);
    sigkSet_s32(-1, rows, 4 * r);
    // Lane l's row, read with stride r, holds e - lD at e where that is a tap index.
    for (int32_t l = 0; l < 4; ++l)
        for (int32_t k = 0; k < T; ++k)
            rows[static_cast<int64_t>(l) * (D + r) + k] = k;

    // v walks the positions of input samples on the up-sampled axis, shifted by T-1 so that
    // e = v - t is the lane-0 reversed-tap index; s is v's buffer index (history included).
    int64_t v = (T - 1) % U + pu;
    int32_t s = 1;
    if (v >= U) {
        v -= U;
        s = 0;
    }
    int32_t s0 = 0;
    for (int32_t j = 0; j < U; ++j) {
        const int64_t t = int64_t{4} * D * j + pd;
        while (v < t) {
            v += U;
            ++s;
        }
        if (j == 0)
            s0 = s;
        for (int32_t l = 0; l < 4; ++l) {
            const int32_t k = 4 * j + l;
            int32_t* list = lists + static_cast<int64_t>(U) * n * l + static_cast<int64_t>(n) * j;
            int32_t filled = 0;
            int32_t c = 0;
            for (int64_t e = v - t; e < r; e += U, ++c) {
                const int32_t tap = rows[static_cast<int64_t>(l) * r + e];
                if (tap < 0)
                    continue;
                list[filled++] = tap;
                if (P[k] < 0)
                    P[k] = s + c;
            }
        }
    }
    const int64_t tEnd = int64_t{4} * U * D + pd;
    while (v < tEnd) {
        v += U;
        ++s;
    }
    if (P[0] < 0)
        P[0] = s0;
    P[4 * U] = s - P[0];
    // Positions and lanes without any tap start where their predecessor does.
    for (int32_t k = 1; k <= 4 * U; ++k)
        if (P[k] < 0)
            P[k] = P[k - 1];
}

cf32 tapOrZero(const cf32* reversed, int32_t index)
{
    return index >= 0 ? reversed[index] : cf32{0.0f, 0.0f};
}

void layOutTapTable(const int32_t* lists, const cf32* reversed, int32_t U, const FirMrLayout& lay,
                    cf32* table)
{
    const int32_t n = lay.n;
    if constexpr (!kVectorLayout) {
        // Entry (j n + i) 4 + l: four lanes of one tap next to each other.
        for (int32_t d = 0; d < U * n; ++d)
            for (int32_t l = 0; l < 4; ++l)
                table[4 * d + l] = tapOrZero(reversed, lists[U * n * l + d]);
    } else {
        // Row 4j + l of f taps (zero-padded) in half A as (Re h, -Im h), in half B as (Im h, Re h).
        const int32_t f = lay.f;
        cf32* halfB = table + static_cast<int64_t>(4) * U * f;
        for (int32_t j = 0; j < U; ++j)
            for (int32_t l = 0; l < 4; ++l) {
                const int32_t* list = lists + U * n * l + n * j;
                const int64_t row = static_cast<int64_t>(4 * j + l) * f;
                for (int32_t i = 0; i < f; ++i) {
                    const cf32 h = i < n ? tapOrZero(reversed, list[i]) : cf32{0.0f, 0.0f};
                    table[row + i] = cf32{h.re, -h.im};
                    halfB[row + i] = cf32{h.im, h.re};
                }
            }
    }
}

// Writes history samples (most recent first in dly) oldest first into the delay line.
void loadHistory(cf32* line, const cf32* dly, int32_t count)
{
    for (int32_t k = 0; k < count; ++k)
        line[k] = dly[count - 1 - k];
}

}  // namespace

sigStatus sigFirMrGetSize_cf32(int32_t tapsLen, int32_t upFactor, int32_t downFactor,
                               int32_t* bufSize)
{
    if (bufSize == nullptr)
        return sigErrNull;
    if (sigStatus st = filterShapeStatus(tapsLen, upFactor, downFactor))
        return st;
    FirMrLayout lay;
    if (sigStatus st = firMrLayout(tapsLen, upFactor, downFactor, kVectorLayout, &lay))
        return st;
    *bufSize = static_cast<int32_t>(lay.bufferBytes);
    return sigOk;
}

sigStatus sigkFirMrInit_cf32(sigFirRecord_cf32** state, const cf32* taps, int32_t T, int32_t U,
                             int32_t pu, int32_t D, int32_t pd, const cf32* dly, uint8_t* buf,
                             uint32_t tag)
{
    // Every way to fail is tested before the first write, so a failed build leaves the buffer
    // as it was and nothing that could pass for a record.
    FirMrLayout lay;
    if (sigStatus st = firMrLayout(T, U, D, kVectorLayout, &lay))
        return st;
    if (int64_t{4} * U * D + pd > 2147483646)
        return sigErrMemory;

    uint8_t* start = alignUp16(buf);
    auto* rec = reinterpret_cast<sigFirRecord_cf32*>(start);
    uint8_t* p = start + sizeof(sigFirRecord_cf32);
    cf32* reversed = reinterpret_cast<cf32*>(p);
    p += lay.tapsBytes;
    cf32* tapTable = reinterpret_cast<cf32*>(p);
    p += lay.tapTableBytes;
    int32_t* phases = reinterpret_cast<int32_t*>(p);
    p += lay.phaseBytes;
    cf32* line = reinterpret_cast<cf32*>(p);
    p += lay.delayBytes;
    cf32* scratch = reinterpret_cast<cf32*>(p);

    sigkZero_u8(rec, sizeof(sigFirRecord_cf32));
    rec->taps = reversed;
    rec->dlyLine = line;
    rec->tapsLen = T;
    rec->upFactor = U;
    rec->dlyExt = lay.E;
    rec->downFactor = D;
    rec->headLen = lay.L;
    rec->fftSpec = nullptr;
    rec->fftTaps = nullptr;
    rec->fftLen = -1;
    rec->dlyOffset = 0;
    rec->phaseTable = phases;
    rec->tapTable = tapTable;
    rec->tapStride = lay.f;
    rec->dlyLen = lay.n;
    rec->scratch = scratch;
    rec->upPhase = pu;
    rec->downPhase = pd;

    for (int32_t k = 0; k < T; ++k)
        reversed[k] = taps[T - 1 - k];

    int32_t* lists = reinterpret_cast<int32_t*>(scratch);
    int32_t* rows = lists + 4 * static_cast<int64_t>(lay.r);
    buildPhasesAndLists(T, U, pu, D, pd, lay, phases, lists, rows);
    layOutTapTable(lists, reversed, U, lay, tapTable);
    if constexpr (kVectorLayout) {
        // Byte steps from one output's window to the next, the last one closing the cycle.
        for (int32_t k = 4 * U; k >= 1; --k)
            phases[k] = 8 * (phases[k] - phases[k - 1]);
        phases[0] *= 8;
    }

    sigkZero_f32(reinterpret_cast<float*>(line), 2 * (lay.n + lay.E + 1));
    if (dly != nullptr)
        loadHistory(line, dly, lay.n);
    rec->tag = tag;
    *state = rec;
    return sigOk;
}

sigStatus sigFirMrInit_cf32(sigFirMrState_cf32** state, const cf32* taps, int32_t tapsLen,
                            int32_t upFactor, int32_t upPhase, int32_t downFactor,
                            int32_t downPhase, const cf32* dly, uint8_t* buf)
{
    if (state == nullptr || taps == nullptr || buf == nullptr)
        return sigErrNull;
    if (sigStatus st = filterShapeStatus(tapsLen, upFactor, downFactor))
        return st;
    if (sigStatus st = filterPhaseStatus(upFactor, upPhase, downFactor, downPhase))
        return st;
    return sigkFirMrInit_cf32(state, taps, tapsLen, upFactor, upPhase, downFactor, downPhase, dly,
                              buf, kFirTagMultiRate);
}

sigStatus sigFirSetDelay_cf32(sigFirMrState_cf32* state, const cf32* dly)
{
    if (state == nullptr)
        return sigErrNull;
    if (state->tag != kFirTagSingleRate && state->tag != kFirTagMultiRate)
        return sigErrTag;
    state->dlyOffset = 0;
    const int32_t count = state->dlyLen;
    if (count <= 0)
        return sigOk;
    if (dly != nullptr)
        loadHistory(state->dlyLine, dly, count);
    else
        sigkZero_f32(reinterpret_cast<float*>(state->dlyLine), 2 * count);
    return sigOk;
}

}  // namespace sig::SIG_NS
