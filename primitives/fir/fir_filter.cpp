// sigFir_cf32 of one slot: argument checks, in-place handling and the multi-rate driver.
//
// The multi-rate driver reads one index space: index q + n is input sample q of the call and
// indices 0..n-1 are the history. The first L outputs (the head) are the only ones whose windows
// reach into the history; they run over the delay line, where the first E inputs are placed
// behind the history. Every later output reads the caller's input directly. The last cycles go
// through the tail, which stops each sum at the input's end.
#include "core/memory_kernels.h"
#include "fir/fir_kernels.h"

#define SIG_LIST "core/core_list.h"
#include "core/slot_decls.h"
#define SIG_LIST "fir/fir_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

namespace {

// Step to output k's window from output k-1's (k = 0: from the cycle's base; k = 4U: from the
// cycle's last output to the next cycle's base).
int32_t phaseStep(const int32_t* P, int32_t k)
{
    if constexpr (kSlot == 0)
        return k == 0 ? P[0] : P[k] - P[k - 1];
    else
        return P[k] / 8;
}

// Tap i of output row `row` (row = 4j + l) as a complex h.
cf32 rowTap(const sigFirRecord_cf32& rec, int32_t row, int32_t i)
{
    const int64_t stride = rec.tapStride;
    if constexpr (kSlot == 0) {
        return rec.tapTable[((row / 4) * stride + i) * 4 + row % 4];
    } else {
        const cf32 a = rec.tapTable[row * stride + i];  // half A holds (Re h, -Im h)
        return cf32{a.re, -a.im};
    }
}

// Outputs one at a time from window position `base` of buf; a sum stops at index `end`, where
// the input ends (the taps beyond it are zero). The first output is the first of a cycle.
void tailOutputs(const sigFirRecord_cf32& rec, const cf32* buf, cf32* dst, int32_t count,
                 int64_t base, int64_t end)
{
    const int32_t cycle = 4 * rec.upFactor;
    const int32_t n = rec.dlyLen;
    const int32_t* P = rec.phaseTable;
    int64_t w = base;
    int32_t k = 0;
    for (int32_t o = 0; o < count; ++o) {
        w += phaseStep(P, k);
        float re = 0.0f, im = 0.0f;
        for (int64_t i = 0; i < n && w + i < end; ++i) {
            const cf32 x = buf[w + i];
            const cf32 h = rowTap(rec, k, static_cast<int32_t>(i));
            if constexpr (kSlot == 0) {
                re = static_cast<float>(double(re) + (double(x.re) * h.re - double(x.im) * h.im));
                im = static_cast<float>(double(im) + (double(x.re) * h.im + double(x.im) * h.re));
            } else {
                re = re + (x.re * h.re - x.im * h.im);
                im = im + (x.re * h.im + x.im * h.re);
            }
        }
        dst[o] = cf32{re, im};
        if (++k == cycle) {
            w += phaseStep(P, cycle);
            k = 0;
        }
    }
}

void copyCf32(const cf32* src, cf32* dst, int32_t count)
{
    if (count > 0)
        sigkCopy_u8(src, dst, 8 * count);  // callers keep 8 count within 32 bits
}

// The scratch's capacity in complex values, as the builder sized it.
int32_t scratchCapacity(const sigFirRecord_cf32& rec)
{
    FirMrLayout lay;
    firMrLayout(rec.tapsLen, rec.upFactor, rec.downFactor, kSlot != 0, &lay);
    return static_cast<int32_t>(lay.scratchBytes / 8);
}

sigStatus filterMultiRate(sigFirRecord_cf32* rec, const cf32* src, cf32* dst, int32_t len)
{
    const int64_t U = rec->upFactor, D = rec->downFactor;
    // Every index of the call (history, input, window overhang) must stay within 32 bits.
    if (len * D + rec->dlyLen + rec->dlyExt + 4 * D > INT32_MAX || len * U > INT32_MAX)
        return sigErrMemory;
    if (src != dst) {
        sigkFirMr_cf32(rec, src, dst, len);
        return sigOk;
    }
    if (U > D) {
        // More outputs than inputs: the outputs would overrun unread input, so work from a copy.
        const int64_t inLen = len * D;
        if (8 * inLen > INT32_MAX)
            return sigErrMemory;
        cf32* copy = SIG_NS::sigMalloc_cf32(static_cast<int32_t>(inLen));
        if (copy == nullptr)
            return sigErrMemory;
        copyCf32(src, copy, static_cast<int32_t>(inLen));
        sigkFirMr_cf32(rec, copy, dst, len);
        SIG_NS::sigFree(copy);
        return sigOk;
    }
    // U <= D: through the scratch in chunks it can hold (at least one block, since the scratch
    // holds 4r >= 12U values); the output position never passes the input position.
    const int32_t chunk = scratchCapacity(*rec) / static_cast<int32_t>(U);
    const cf32* in = src;
    cf32* out = dst;
    for (int32_t left = len; left > 0;) {
        const int32_t b = left < chunk ? left : chunk;
        sigkFirMr_cf32(rec, in, rec->scratch, b);
        copyCf32(rec->scratch, out, static_cast<int32_t>(b * U));
        in += b * D;
        out += b * U;
        left -= b;
    }
    return sigOk;
}

// Direct-form block kernel of this slot over the window starting at x.
void firBlock(const sigFirRecord_cf32& rec, const cf32* x, cf32* dst, int32_t count)
{
#if SIG_SLOT == 0
    sigkFirBlock_cf32(rec.taps, x, dst, count, rec.tapsLen);
#else
    sigkFirBlock_cf32(reinterpret_cast<const float*>(rec.tapTable), x, dst, count, rec.tapsLen);
#endif
}

// Single-rate direct form, src and dst distinct. Output k's window is the T samples ending at
// input k: history z[1..T-1] (z[0], the oldest, is never used) followed by the input.
void directForm(sigFirRecord_cf32* rec, const cf32* src, cf32* dst, int32_t len)
{
    const int32_t T = rec->tapsLen, C = rec->dlyExt;
    cf32* d = rec->dlyLine + rec->dlyOffset;
    rec->dlyOffset = 0;
    if (len <= C) {
        copyCf32(src, d + T, len);
        firBlock(*rec, d + 1, dst, len);
        sigkMove_cf32(d + len, rec->dlyLine, T);
        return;
    }
    // The first R outputs read history; every later window lies wholly inside the input.
    const int32_t R = (T + 3) & ~3;
    copyCf32(src, d + T, C);
    firBlock(*rec, d + 1, dst, R);
    copyCf32(src + len - T, rec->dlyLine, T);
    firBlock(*rec, src + (R - T + 1), dst + R, len - R);
}

sigStatus filterSingleRate(sigFirRecord_cf32* rec, const cf32* src, cf32* dst, int32_t len)
{
    constexpr int32_t kFftFrom = 256;  // shorter inputs take the direct form
    if (src != dst) {
        if (len >= kFftFrom && rec->fftLen > 0)
            return sigkFirFftBlock_cf32(rec, src, dst, len);
        directForm(rec, src, dst, len);
        return sigOk;
    }
    // In place: each chunk is filtered into the scratch, then copied over itself. FFT mode only
    // while enough samples remain after the chunk; the last chunk takes the direct form.
    for (int32_t done = 0; done < len;) {
        const int32_t chunk = len - done < kFirInPlaceChunk ? len - done : kFirInPlaceChunk;
        if (rec->fftLen > 0 && len - done - chunk >= kFftFrom) {
            if (sigStatus st = sigkFirFftBlock_cf32(rec, src + done, rec->scratch, chunk))
                return st;
        } else {
            directForm(rec, src + done, rec->scratch, chunk);
        }
        copyCf32(rec->scratch, dst + done, chunk);
        done += chunk;
    }
    return sigOk;
}

}  // namespace

void sigkFirMr_cf32(sigFirRecord_cf32* rec, const cf32* src, cf32* dst, int32_t nb)
{
    const int32_t U = rec->upFactor, D = rec->downFactor;
    const int32_t n = rec->dlyLen, E = rec->dlyExt, L = rec->headLen;
    const int32_t inLen = nb * D, outLen = nb * U;
    const int32_t cycle = 4 * U;
    cf32* line = rec->dlyLine;
    const cf32* taps = rec->tapTable;
    const int32_t* P = rec->phaseTable;

    if (inLen > E) {
        copyCf32(src, line + n, E);
        const int32_t base1 = sigkFirMrBlock_cf32(taps, line, dst, L, P, U, 0, n, rec->tapStride);
        sigkMove_cf32(src + inLen - n, line, n);
        const int32_t rem = outLen - L;
        int32_t tail = rem % cycle;
        int32_t bulk = rem - tail;
        if (bulk > 0) {  // hold one cycle back for the tail, which minds the input's end
            bulk -= cycle;
            tail += cycle;
        }
        // From here on buffer index q + n is src[q]: pass src with the base shifted by n.
        const int32_t base2 =
            sigkFirMrBlock_cf32(taps, src, dst + L, bulk, P, U, base1 - n, n, rec->tapStride);
        tailOutputs(*rec, src, dst + L + bulk, tail, base2, inLen);
    } else {
        copyCf32(src, line + n, inLen);
        const int32_t tail = outLen % cycle;
        const int32_t bulk = outLen - tail;
        const int32_t base = sigkFirMrBlock_cf32(taps, line, dst, bulk, P, U, 0, n, rec->tapStride);
        tailOutputs(*rec, line, dst + bulk, tail, base, int64_t{n} + inLen);
        sigkMove_cf32(line + inLen, line, n);
    }
}

sigStatus sigFir_cf32(const cf32* src, cf32* dst, int32_t len, sigFirMrState_cf32* state)
{
    if (state == nullptr || src == nullptr || dst == nullptr)
        return sigErrNull;
    if (len <= 0)
        return sigErrLength;
    if (state->tag == kFirTagMultiRate)
        return filterMultiRate(state, src, dst, len);
    if (state->tag == kFirTagSingleRate)
        return filterSingleRate(state, src, dst, len);
    return sigErrTag;
}

}  // namespace sig::SIG_NS
