// Single-precision extension of a complex 16-bit tone, four samples a step:
// y[n] = k4 y[n-4] - y[n-8] on floats, rounded half to even and saturated on the way out.
#include "core/mem_hooks.h"
#include "scan/scan_kernels.h"

#if SIG_SLOT >= 1
#include <immintrin.h>

namespace sig::SIG_NS {

namespace {
// Eight floats (four samples) as saturated 16-bit values.
__m128i toS16x8(__m128 a, __m128 b)
{
    const __m128 lo = _mm_set1_ps(-32768.0f), hi = _mm_set1_ps(32767.0f);
    const __m128i ia = _mm_cvtps_epi32(_mm_min_ps(_mm_max_ps(a, lo), hi));
    const __m128i ib = _mm_cvtps_epi32(_mm_min_ps(_mm_max_ps(b, lo), hi));
    return _mm_packs_epi32(ia, ib);
}
}  // namespace

void sigkToneRecur_cs16(const float* seeds, int16_t* dst, int32_t count, float k4)
{
    // y[k - 16 .. k - 1] as float values (re, im interleaved): two samples a register.
    __m128 y0 = _mm_loadu_ps(seeds), y1 = _mm_loadu_ps(seeds + 4);
    __m128 y2 = _mm_loadu_ps(seeds + 8), y3 = _mm_loadu_ps(seeds + 12);
    const __m128 k = _mm_set1_ps(k4);
    // Whole steps of eight values go out past the cache as two 8-byte streaming stores, fenced
    // once; the last values with ordinary stores.
    int32_t i = 0;
    if (count >= 8)
        reportMemPath(sigMemStreamed);
    for (; count - i >= 8; i += 8) {
        const __m128 n0 = _mm_sub_ps(_mm_mul_ps(k, y2), y0);
        const __m128 n1 = _mm_sub_ps(_mm_mul_ps(k, y3), y1);
        const __m128i out = toS16x8(n0, n1);
        long long* p = reinterpret_cast<long long*>(dst + i);
        _mm_stream_si64(p, _mm_cvtsi128_si64(out));
        _mm_stream_si64(p + 1, _mm_cvtsi128_si64(_mm_unpackhi_epi64(out, out)));
        y0 = y2, y1 = y3, y2 = n0, y3 = n1;
    }
    if (i != 0)
        _mm_sfence();
    if (i < count) {
        const __m128 n0 = _mm_sub_ps(_mm_mul_ps(k, y2), y0);
        const __m128 n1 = _mm_sub_ps(_mm_mul_ps(k, y3), y1);
        alignas(16) int16_t last[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(last), toS16x8(n0, n1));
        for (int32_t j = 0; j < count - i; ++j)
            dst[i + j] = last[j];
    }
}

}  // namespace sig::SIG_NS
#endif
