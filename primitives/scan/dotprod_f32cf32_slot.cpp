// Real-by-complex dot product: result = sum of srcReal[i] * srcCplx[i]. The plain slot sums in
// extended precision in index order and rounds once; the vector slots sum in float lanes, all of
// them in the same 128-bit order (no fused products on slot 6), so slots 1 to 6 agree to the bit.
#include "scan/scan_kernels.h"

#if SIG_SLOT >= 1
#include <immintrin.h>
#endif

#define SIG_LIST "scan/scan_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

#if SIG_SLOT >= 1
void sigkDotProd_f32cf32(const float* srcReal, const cf32* srcCplx, int32_t len, cf32* result)
{
    const float* c = reinterpret_cast<const float*>(srcCplx);
    int32_t i = 0;
    __m128 a0 = _mm_setzero_ps(), a1 = _mm_setzero_ps();
    for (; i + 4 <= len; i += 4) {
        const __m128 r = _mm_loadu_ps(srcReal + i);
        a0 = _mm_add_ps(a0, _mm_mul_ps(_mm_unpacklo_ps(r, r), _mm_loadu_ps(c + 2 * i)));
        a1 = _mm_add_ps(a1, _mm_mul_ps(_mm_unpackhi_ps(r, r), _mm_loadu_ps(c + 2 * i + 4)));
    }
    const __m128 acc = _mm_add_ps(a0, a1);
    // Lanes hold {re, im, re, im}.
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, acc);
    float re = lanes[0] + lanes[2], im = lanes[1] + lanes[3];
    for (; i < len; ++i) {
        re += srcReal[i] * srcCplx[i].re;
        im += srcReal[i] * srcCplx[i].im;
    }
    *result = cf32{re, im};
}
#endif

sigStatus sigDotProd_f32cf32(const float* srcReal, const cf32* srcCplx, int32_t len, cf32* result)
{
    if (srcReal == nullptr || srcCplx == nullptr || result == nullptr)
        return sigErrNull;
    if (len <= 0)
        return sigErrLength;
#if SIG_SLOT >= 1
    sigkDotProd_f32cf32(srcReal, srcCplx, len, result);
#else
    long double re = 0, im = 0;
    for (int32_t i = 0; i < len; ++i) {
        re += static_cast<long double>(srcReal[i]) * srcCplx[i].re;
        im += static_cast<long double>(srcReal[i]) * srcCplx[i].im;
    }
    *result = cf32{static_cast<float>(re), static_cast<float>(im)};
#endif
    return sigOk;
}

}  // namespace sig::SIG_NS
