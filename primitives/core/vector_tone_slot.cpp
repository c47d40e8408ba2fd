// The tone generator of one slot and its float recurrence kernel.
#include "core/mem_hooks.h"
#include "core/vector_kernels.h"
#include "core/vector_tone.h"

#define SIG_LIST "core/vector_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

#if SIG_SLOT >= 1

// The main loop bypasses the cache with streaming stores, and fences them, whenever it reaches
// a 16-byte aligned output.
void sigkToneRecur_cf32(float* out, int32_t n, float c)
{
    // Floats up to the next 16-byte boundary first, so the main loop can stream.
    unsigned off = misalign(out, 16);
    if (off % 4 == 0 && off != 0) {
        int32_t m = static_cast<int32_t>(4 - off / 4);
        if (n > m) {
            toneRecurScalar(out, m, c);
            out += m;
            n -= m;
        }
    }
    ToneRecur r(out - 16, c);
    const bool streaming = misalign(out, 16) == 0 && n >= 8;
    if (streaming)
        reportMemPath(sigMemStreamed);
    F4::R lo, hi;
    for (; n >= 8; n -= 8, out += 8) {
        r.next(lo, hi);
        if (streaming) {
            F4::stream(out, lo);
            F4::stream(out + 4, hi);
        } else {
            F4::storeu(out, lo);
            F4::storeu(out + 4, hi);
        }
    }
    if (streaming)
        _mm_sfence();
    if (n >= 4) {
        F4::storeu(out, r.nextFour());
        out += 4;
        n -= 4;
    }
    if (n > 0) {
        // The tail continues from the registers, never from lines just streamed out.
        float y[16 + 4];
        r.spill(y);
        toneRecurScalar(y + 16, n, c);
        for (int32_t k = 0; k < n; ++k)
            out[k] = y[16 + k];
    }
}

#else
void sigkToneRecur_cf32(float* out, int32_t n, float c) { toneRecurScalar(out, n, c); }
#endif

sigStatus sigTone_cf32(cf32* dst, int32_t len, float magnitude, float relFreq, float* phase, int32_t hint)
{
    // Plain range comparisons let a NaN through; the checks reject only what they name.
    if (phase == nullptr)
        return sigErrNull;
    if (magnitude <= 0.0f)
        return sigErrToneMag;
    if (relFreq < 0.0f || relFreq >= 1.0f)
        return sigErrToneFreq;
    float start = *phase;
    if (start < 0.0f || static_cast<double>(start) >= kTwoPi)
        return sigErrTonePhase;
    if (dst == nullptr)
        return sigErrNull;
    if (len <= 0)
        return sigErrLength;

    double w = static_cast<double>(relFreq) * kTwoPi;
    *phase = toneEndPhase(start, len, w);
#if SIG_SLOT >= 1
    if (hint == 1) {
        toneBlockedPath(dst, len, magnitude, start, w, sigkToneRecur_cf32);
        return sigOk;
    }
#else
    (void)hint;
#endif
    toneDoublePath(dst, len, magnitude, start, w);
    return sigOk;
}

}  // namespace sig::SIG_NS
