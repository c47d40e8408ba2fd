/* The scanner's primitives: dispatch-slot selection, complex 16-bit memory, FIR, multiply and
 * tone, 16-bit to float conversion, real-by-complex dot product, Hann window. */
#ifndef SIGPRIM_SCAN_H
#define SIGPRIM_SCAN_H

#ifdef __cplusplus
extern "C" {
#endif

/* Chooses the dispatch slot from the processor's features. Call once at program start, before
 * any other primitive runs and before any thread starts. Returns 0 on a "GenuineIntel"
 * processor, 20 otherwise (the slot is set all the same). */
int sigInitDispatch(void);

/* Feature word (two 32-bit words, the high one 0) and optionally cpuid leaf 1 (eax, ebx, ecx,
 * edx). 36 when cpuid is missing, -8 for a NULL featureWord, else 0. */
sigStatus sigGetCpuFeatures(uint32_t* featureWord, uint32_t* cpuidRecord);

/* Records the feature mask of the chosen slot; nothing reads it. Returns 0. */
sigStatus sigSetEnabledFeatures(uint32_t low, uint32_t high);

/* Allocators: NULL for count <= 0, for a byte size beyond the signed 32-bit range, or when the
 * allocation fails. Release with sigFree. */
cs16* sigMalloc_cs16(int32_t count);
cs32* sigMalloc_cs32(int32_t count);

/* Forward copy of len elements (no overlap); zero len elements. -8 NULL, -6 len <= 0. */
sigStatus sigCopy_cs16(const cs16* src, cs16* dst, int32_t len);
sigStatus sigZero_cs16(cs16* dst, int32_t len);
sigStatus sigZero_f32(float* dst, int32_t len);

/* Multi-rate complex 16-bit FIR with 32-bit accumulation. The state lives in a caller buffer
 * whose size comes from sigFirMrGetSize_cs16 of the same process (the size depends on the
 * dispatch slot). Outputs are the effective taps' sums times 2^-scaleFactor, rounded half to
 * even and saturated to 16 bits. */
typedef struct sigFirState_cs16 sigFirState_cs16;
sigStatus sigFirMrGetSize_cs16(int32_t tapsLen, int32_t upFactor, int32_t downFactor,
                               int32_t* bufSize);
sigStatus sigFirMrInit_cs16(sigFirState_cs16** state, const cs32* taps, int32_t tapsLen,
                            int32_t tapsFactor, int32_t upFactor, int32_t upPhase,
                            int32_t downFactor, int32_t downPhase, const cs16* dly, uint8_t* buf);
sigStatus sigFirSetDelay_cs16(sigFirState_cs16* state, const cs16* dly);
/* len counts blocks of downFactor inputs; writes len * upFactor outputs. */
sigStatus sigFir_cs16(const cs16* src, cs16* dst, int32_t len, sigFirState_cs16* state,
                      int32_t scaleFactor);

/* dst[i] = src1[i] * src2[i] * 2^-scaleFactor, rounded half to even, saturated; dst may be
 * src1 or src2. */
sigStatus sigMul_cs16(const cs16* src1, const cs16* src2, cs16* dst, int32_t len,
                      int32_t scaleFactor);

/* dst[n] = magnitude * exp(j (*phase + 2 pi relFreq n)); *phase receives the phase the next
 * block starts at. hint 1 lets the vector slots compute in blocks of 1024 samples. */
sigStatus sigTone_cs16(cs16* dst, int32_t len, int32_t magnitude, float relFreq, float* phase,
                       int32_t hint);

/* dst[i] = src[i] * 2^-scaleFactor (scaleFactor limited to [-112, 126]); exact. */
sigStatus sigConvert_s16f32(const int16_t* src, float* dst, int32_t len, int32_t scaleFactor);

/* result = sum of srcReal[i] * srcCplx[i]. */
sigStatus sigDotProd_f32cf32(const float* srcReal, const cf32* srcCplx, int32_t len,
                             cf32* result);

/* Symmetric Hann window, w[n] = 0.5 (1 - cos(2 pi n / (len - 1))); in place allowed; len >= 3. */
sigStatus sigWinHann_cf32(const cf32* src, cf32* dst, int32_t len);

#ifdef __cplusplus
}
#endif

#endif
