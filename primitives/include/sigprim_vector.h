/* Complex float vector operations: dot product, multiply, interleave, tone, norm.
 *
 * Each checks its arguments first, in the order listed, and writes nothing when one fails. */
#ifndef SIGPRIM_VECTOR_H
#define SIGPRIM_VECTOR_H

#ifdef __cplusplus
extern "C" {
#endif

/* *result = sum of src1[i] * src2[i], no conjugate on either side. The result is written once,
 * at the end, so it may lie inside a source.
 * src1, src2 or result NULL: -8; len <= 0: -6.
 * Example: sigDotProd_cf32(x, h, 48, &acc); */
sigStatus sigDotProd_cf32(const cf32* src1, const cf32* src2, int32_t len, cf32* result);

/* dst[i] = src1[i] * src2[i]. dst may be src1 or src2 itself.
 * src1, src2 or dst NULL: -8; len <= 0: -6.
 * Example: sigMul_cf32(samples, tone, tone, 1646); mixes in place over the tone. */
sigStatus sigMul_cf32(const cf32* src1, const cf32* src2, cf32* dst, int32_t len);

/* dst[i] = (re[i], im[i]); a NULL re or im gives +0.0 parts. Values are copied bit for bit.
 * dst NULL: -8; len <= 0: -6; re and im both NULL: -8.
 * Example: sigRealToCplx_f32(taps, NULL, ctaps, 48); */
sigStatus sigRealToCplx_f32(const float* re, const float* im, cf32* dst, int32_t len);

/* dst[n] = magnitude * (cos(p + n*w), sin(p + n*w)), w = 2*pi*relFreq, p = *phase on entry;
 * *phase receives p + len*w reduced into [0, 2*pi), so the next call continues the tone.
 * hint 1 selects the faster blocked float recurrence on the vector slots.
 * phase NULL: -8; magnitude <= 0: -46; relFreq outside [0, 1): -45; *phase outside
 * [0, 2*pi): -44; dst NULL: -8; len <= 0: -6.
 * Example: float ph = 0; sigTone_cf32(lo, 1646, 1.0f, 0.01f, &ph, 1); */
sigStatus sigTone_cf32(cf32* dst, int32_t len, float magnitude, float relFreq, float* phase, int32_t hint);

/* *result = sqrt(sum of |src[i]|^2), as a double.
 * src NULL: -8; result NULL: -8; len <= 0: -6.
 * Example: double e; sigNormL2_cf32(block, 1250, &e); */
sigStatus sigNormL2_cf32(const cf32* src, int32_t len, double* result);

#ifdef __cplusplus
}
#endif

#endif
