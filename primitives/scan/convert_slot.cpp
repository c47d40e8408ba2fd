// 16-bit integers to floats times 2^-scaleFactor. Every product is exact (a 16-bit integer
// times a power of two inside the normal float range), so every slot gives the same bits.
#include <cstring>

#include "sigprim.h"

#if SIG_SLOT >= 1
#include <immintrin.h>
#endif

#define SIG_LIST "scan/scan_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

namespace {
// 2^-s built from its exponent field, s limited to [-112, 126].
float powerOfTwo(int32_t scaleFactor)
{
    const int32_t s = scaleFactor < -112 ? -112 : scaleFactor > 126 ? 126 : scaleFactor;
    const uint32_t bits = static_cast<uint32_t>(127 - s) << 23;
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}
}  // namespace

sigStatus sigConvert_s16f32(const int16_t* src, float* dst, int32_t len, int32_t scaleFactor)
{
    if (src == nullptr || dst == nullptr)
        return sigErrNull;
    if (len <= 0)
        return sigErrLength;
    const float factor = scaleFactor == 0 ? 1.0f : powerOfTwo(scaleFactor);
    int32_t i = 0;
#if SIG_SLOT >= 1
    const __m128 f = _mm_set1_ps(factor);
    for (; i + 8 <= len; i += 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i lo = _mm_srai_epi32(_mm_unpacklo_epi16(x, x), 16);
        const __m128i hi = _mm_srai_epi32(_mm_unpackhi_epi16(x, x), 16);
        _mm_storeu_ps(dst + i, _mm_mul_ps(_mm_cvtepi32_ps(lo), f));
        _mm_storeu_ps(dst + i + 4, _mm_mul_ps(_mm_cvtepi32_ps(hi), f));
    }
#endif
    for (; i < len; ++i)
        dst[i] = static_cast<float>(src[i]) * factor;
    return sigOk;
}

}  // namespace sig::SIG_NS
