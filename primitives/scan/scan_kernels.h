// Kernels of the scanner's primitives that other code of the same slot calls directly.
#pragma once

#include "core/slot.h"
#include "sigprim.h"

namespace sig::SIG_NS {

// Overlap-safe move of n complex 16-bit elements: -8 for NULL, -6 for n <= 0, else 0.
sigStatus sigkMove_cs16(const cs16* src, cs16* dst, int32_t n);

// srcDst[i] = srcDst[i] * src[i] with the scaling of sigMul_cs16; -8 NULL, -6 len < 1.
sigStatus sigkMulInPlace_cs16(const cs16* src, cs16* srcDst, int32_t len, int32_t scaleFactor);

// Continues a tone in single precision: seeds holds samples 0..7 as 16 floats (re, im), dst
// points at sample 8 and receives count 16-bit values (two per sample) of
// y[n] = k4 * y[n-4] - y[n-8], rounded half to even and saturated. Slots 1 to 6; no checks.
void sigkToneRecur_cs16(const float* seeds, int16_t* dst, int32_t count, float k4);

// result = sum of srcReal[i] * srcCplx[i], summed in float vector lanes. Slots 1 to 6; no checks.
void sigkDotProd_f32cf32(const float* srcReal, const cf32* srcCplx, int32_t len, cf32* result);

}  // namespace sig::SIG_NS
