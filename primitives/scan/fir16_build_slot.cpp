// Size query, builder and delay-line loader of the complex 16-bit FIR.
#include <cstring>

#include "core/filter_args.h"
#include "core/memory_kernels.h"
#include "scan/fir16_state.h"

#define SIG_LIST "scan/scan_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

namespace {

int64_t floorDiv(int64_t a, int64_t b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }
int64_t ceilDiv(int64_t a, int64_t b) { return -floorDiv(-a, b); }

// Shift that brings every tap part within 32766 in magnitude. Magnitudes are taken in 64
// bits, so a part of -2^31 is handled like any other.
int32_t normalisingShift(const cs32* taps, int32_t T)
{
    int64_t largest = 0;
    for (int32_t i = 0; i < T; ++i) {
        const int64_t re = taps[i].re, im = taps[i].im;
        largest = __builtin_llabs(re) > largest ? __builtin_llabs(re) : largest;
        largest = __builtin_llabs(im) > largest ? __builtin_llabs(im) : largest;
    }
    int32_t shift = 0;
    while (largest > 32766) {
        largest >>= 1;
        ++shift;
    }
    return shift;
}

uint32_t packPair(int32_t lo, int32_t hi)
{
    return static_cast<uint16_t>(lo) | static_cast<uint32_t>(static_cast<uint16_t>(hi)) << 16;
}

// Output r of a cycle (0 <= r < 4U) is taken at position P = r D + downPhase of the upsampled
// stream; its window holds the input samples i with P - (T-1) <= i U + upPhase <= P. The phase
// index is the window's first sample as an index into z (n delay samples, then the block), and
// tap slot t multiplies sample i0 + t.
void buildTables(sigFirState_cs16* s, const FirLayout& L)
{
    const int64_t T = s->tapsLen, U = s->upFactor, D = s->downFactor, n = L.n;
    for (int64_t r = 0; r < 4 * U; ++r) {
        const int64_t P = r * D + s->downPhase;
        const int64_t iLast = floorDiv(P - s->upPhase, U);
        const int64_t iFirst = ceilDiv(P - (T - 1) - s->upPhase, U);
        // A window without samples (possible when T < U) repeats the previous entry.
        s->phaseIdx[r] = static_cast<int32_t>(iFirst <= iLast || r == 0 ? iFirst + n
                                                                        : s->phaseIdx[r - 1]);
        const int64_t j = r / 4, l = r % 4;
        for (int64_t t = 0; t < n; ++t) {
            const int64_t i = iFirst + t;
            // Stored taps are reversed: caller tap h sits at T - 1 - h.
            const cs32 tap = i <= iLast ? s->taps[T - 1 - (P - i * U - s->upPhase)] : cs32{0, 0};
            s->tapTable[(n * j + t) * 4 + l] = cs16{static_cast<int16_t>(tap.re),
                                                     static_cast<int16_t>(tap.im)};
            if constexpr (kFirLanes > 0) {
                uint32_t* list = s->vecTaps + r * 2 * L.nPad;
                list[t] = packPair(tap.re, -tap.im);
                list[L.nPad + t] = packPair(tap.im, tap.re);
            }
        }
    }
    s->phaseIdx[4 * U] = static_cast<int32_t>(4 * D);
}

}  // namespace

sigStatus sigFirMrGetSize_cs16(int32_t tapsLen, int32_t upFactor, int32_t downFactor,
                               int32_t* bufSize)
{
    if (bufSize == nullptr)
        return sigErrNull;
    if (sigStatus st = filterShapeStatus(tapsLen, upFactor, downFactor))
        return st;
    FirLayout L;
    if (!firLayout(tapsLen, upFactor, downFactor, &L))
        return sigErrMemory;
    *bufSize = static_cast<int32_t>(L.end + 16);
    return sigOk;
}

sigStatus sigFirMrInit_cs16(sigFirState_cs16** state, const cs32* taps, int32_t tapsLen,
                            int32_t tapsFactor, int32_t upFactor, int32_t upPhase,
                            int32_t downFactor, int32_t downPhase, const cs16* dly, uint8_t* buf)
{
    if (state == nullptr || taps == nullptr || buf == nullptr)
        return sigErrNull;
    if (sigStatus st = filterShapeStatus(tapsLen, upFactor, downFactor))
        return st;
    if (sigStatus st = filterPhaseStatus(upFactor, upPhase, downFactor, downPhase))
        return st;
    // Every size and cycle position must fit 32 bits; checked before anything is written, so a
    // failed build leaves nothing that looks like a state.
    FirLayout L;
    if (!firLayout(tapsLen, upFactor, downFactor, &L) ||
        4 * int64_t(upFactor) * downFactor + downPhase >= 0x7fffffff)
        return sigErrMemory;

    uint8_t* base = reinterpret_cast<uint8_t*>((reinterpret_cast<uintptr_t>(buf) + 15) &
                                               ~uintptr_t(15));
    auto* s = reinterpret_cast<sigFirState_cs16*>(base);
    std::memset(s, 0, sizeof *s);
    s->taps = reinterpret_cast<cs32*>(base + L.tapsAt);
    s->dlyLine = reinterpret_cast<cs16*>(base + L.dlyAt);
    s->tapTable = reinterpret_cast<cs16*>(base + L.tapTableAt);
    s->phaseIdx = reinterpret_cast<int32_t*>(base + L.phaseAt);
    s->vecTaps = kFirLanes ? reinterpret_cast<uint32_t*>(base + L.vecAt) : nullptr;
    s->tapsLen = tapsLen;
    s->upFactor = upFactor;
    s->downFactor = downFactor;
    s->upPhase = upPhase;
    s->downPhase = downPhase;
    s->phaseLen2 = static_cast<int32_t>(2 * L.n);
    s->stageLen2 = static_cast<int32_t>(2 * L.g + 2);
    s->headLen2 = static_cast<int32_t>(2 * upFactor * ((L.n + downFactor - 1) / downFactor));
    s->vecStride = static_cast<int32_t>(L.nPad);

    const int32_t shift = normalisingShift(taps, tapsLen);
    for (int32_t d = 0; d < tapsLen; ++d)
        s->taps[d] = cs32{taps[tapsLen - 1 - d].re >> shift, taps[tapsLen - 1 - d].im >> shift};
    s->tapScale = int64_t(shift) + tapsFactor;

    sigkZero_f32(reinterpret_cast<float*>(s->dlyLine), static_cast<int32_t>(L.n + L.g + 2));
    buildTables(s, L);
    *state = s;
    s->tag = kTagMultiRate;
    if (dly != nullptr)
        sig::SIG_NS::sigFirSetDelay_cs16(s, dly);
    return sigOk;
}

sigStatus sigFirSetDelay_cs16(sigFirState_cs16* state, const cs16* dly)
{
    if (state == nullptr)
        return sigErrNull;
    int32_t count;
    if (state->tag == kTagSingleRate) {
        count = state->tapsLen;
        state->dlyStart = 0;
    } else if (state->tag == kTagMultiRate) {
        count = state->phaseLen2 / 2;
    } else {
        return sigErrTag;
    }
    if (dly == nullptr) {
        sigkZero_f32(reinterpret_cast<float*>(state->dlyLine), count);
        return sigOk;
    }
    // dly[0] is the newest sample, the one just before the next block.
    for (int32_t i = 0; i < count; ++i)
        state->dlyLine[i] = dly[count - 1 - i];
    return sigOk;
}

}  // namespace sig::SIG_NS
