/* Complex float FIR filters: the multi-rate polyphase record and the filter primitive.
 *
 * A filter lives in one record built in memory the caller provides:
 *
 *     int32_t size;
 *     sigFirMrGetSize_cf32(48, 1, 2, &size);               // 48 taps, up 1, down 2
 *     uint8_t* buf = sigMalloc_u8(size);
 *     sigFirMrState_cf32* fir;
 *     sigFirMrInit_cf32(&fir, taps, 48, 1, 0, 2, 0, NULL, buf);
 *     sigFirSetDelay_cf32(fir, history);                   // most recent sample first
 *     sigFir_cf32(in, out, 1646, fir);                     // 1646 blocks: 3292 in, 1646 out
 *     sigFree(buf);
 *
 * Taps are given in natural order (h[0] meets the newest sample). The record keeps the history
 * between calls, so a signal cut into blocks filters as if it came in one piece. */
#ifndef SIGPRIM_FIR_H
#define SIGPRIM_FIR_H

#ifdef __cplusplus
extern "C" {
#endif

/* Multi-rate records (tag 'FI04') and single-rate records (tag 'FI02') share one header, so
 * the filter and the delay-line loader accept either through the same pointer type. */
typedef struct sigFirRecord_cf32 sigFirMrState_cf32;
typedef struct sigFirRecord_cf32 sigFirState_cf32;

/* Bytes a buffer needs for a multi-rate record, whatever its alignment.
 * -8 bufSize NULL, -26 tapsLen <= 0, -29 a factor <= 0, -9 the size exceeds 32 bits. */
sigStatus sigFirMrGetSize_cf32(int32_t tapsLen, int32_t upFactor, int32_t downFactor,
                               int32_t* bufSize);

/* Builds the record in buf and stores its 16-byte-aligned address in *state. dly NULL means a
 * zero history, else dly holds ceil(tapsLen / upFactor) samples, most recent first.
 * -8 state, taps or buf NULL; -26; -29; -28 a phase outside [0, factor); -9 the record's
 * sizes or indices exceed 32 bits (then nothing is written). */
sigStatus sigFirMrInit_cf32(sigFirMrState_cf32** state, const cf32* taps, int32_t tapsLen,
                            int32_t upFactor, int32_t upPhase, int32_t downFactor,
                            int32_t downPhase, const cf32* dly, uint8_t* buf);

/* Loads the history (most recent sample first) or, with dly NULL, clears it.
 * -8 state NULL, -17 not a FIR record. */
sigStatus sigFirSetDelay_cf32(sigFirMrState_cf32* state, const cf32* dly);

/* Filters src into dst (they may be the same array). For a multi-rate record len counts blocks
 * of downFactor inputs and upFactor outputs; for a single-rate record it counts samples.
 * -8, -6 len <= 0, -17 not a FIR record, -9 no memory for an in-place copy or a length whose
 * sample counts exceed 32 bits. */
sigStatus sigFir_cf32(const cf32* src, cf32* dst, int32_t len, sigFirMrState_cf32* state);

#ifdef __cplusplus
}
#endif

#endif
