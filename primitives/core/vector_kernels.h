// The complex float vector kernels that other modules of the same slot call directly. None of
// them tests its arguments: the caller has, and every length here is at least 1.
#pragma once

#include "core/slot.h"
#include "sigprim.h"

namespace sig::SIG_NS {

// *result = sum of src1[i] * src2[i] (no conjugate), written once at the end.
void sigkDotProd_cf32(const cf32* src1, const cf32* src2, int32_t len, cf32* result);

// *result = sum of src1[i] * src2[i] over two float arrays, written once at the end; len 0
// gives +0. Nothing calls it.
void sigkDotProd_f32(const float* src1, const float* src2, int32_t len, float* result);

// dst[i] = src1[i] * src2[i]; dst may be src1 or src2 itself, but no other overlap.
void sigkMul_cf32(const cf32* src1, const cf32* src2, cf32* dst, int32_t len);

// srcDst[i] = srcDst[i] * src[i]. On slots 5 and 6 the arrays may also overlap: they are then
// taken two elements a step, both read before either is written.
void sigkMulInPlaceRaw_cf32(const cf32* src, cf32* srcDst, int32_t len);

// out[k] = c * out[k-8] - out[k-16] for k = 0 .. n-1 (n floats), each product and difference
// rounded to float; the 16 floats before out hold the last 8 complex samples.
void sigkToneRecur_cf32(float* out, int32_t n, float c);

// Interleave: dst[i] = (re[i], im[i]), (re[i], +0) or (+0, im[i]), copied bit for bit.
void sigkRealToCplx_f32(const float* re, const float* im, cf32* dst, int32_t n);
void sigkRealToCplxRe_f32(const float* re, cf32* dst, int32_t n);
void sigkRealToCplxIm_f32(const float* im, cf32* dst, int32_t n);

// *result = sqrt(sum of re^2 + im^2), float partial sums in two four-lane accumulators.
void sigkNormL2_cf32(const cf32* src, int32_t n, double* result);

}  // namespace sig::SIG_NS
