// sigkMulCInPlace_f32: data[i] *= factor in single precision. Every slot gives the same floats:
// one rounded product per element, whichever register width carries it.
#include "core/mem_vec.h"
#include "core/memory_kernels.h"

namespace sig::SIG_NS {

namespace {
// One element, through a byte copy: data need not be 4-byte aligned.
inline void mulOne(float* p, float factor)
{
    float v;
    __builtin_memcpy(&v, p, sizeof v);
    v *= factor;
    __builtin_memcpy(p, &v, sizeof v);
}

#if SIG_SLOT >= 5
inline void mul8(float* p, __m256 f, bool aligned)
{
    __m256 v = aligned ? _mm256_load_ps(p) : _mm256_loadu_ps(p);
    v = _mm256_mul_ps(v, f);
    aligned ? _mm256_store_ps(p, v) : _mm256_storeu_ps(p, v);
}
#elif SIG_SLOT >= 1
inline void mul8(float* p, __m128 f, bool aligned)
{
    __m128 a = aligned ? _mm_load_ps(p) : _mm_loadu_ps(p);
    __m128 b = aligned ? _mm_load_ps(p + 4) : _mm_loadu_ps(p + 4);
    a = _mm_mul_ps(a, f);
    b = _mm_mul_ps(b, f);
    if (aligned) {
        _mm_store_ps(p, a);
        _mm_store_ps(p + 4, b);
    } else {
        _mm_storeu_ps(p, a);
        _mm_storeu_ps(p + 4, b);
    }
}
#endif
}  // namespace

void sigkMulCInPlace_f32(float factor, float* data, int32_t count)
{
    int32_t i = 0;
#if SIG_SLOT >= 1
    constexpr int32_t kPrefetchAbove = 131072;  // floats; beyond that the data has left the cache
    if (count >= 11) {
        bool aligned = (reinterpret_cast<uintptr_t>(data) & 3) == 0;
        if (aligned)
            for (; (reinterpret_cast<uintptr_t>(data + i) & 15) != 0; ++i)
                mulOne(data + i, factor);
#if SIG_SLOT >= 5
        const __m256 f = _mm256_set1_ps(factor);
        aligned = aligned && (reinterpret_cast<uintptr_t>(data + i) & 31) == 0;
#else
        const __m128 f = _mm_set1_ps(factor);
#endif
        int32_t blockEnd = i + (count - i) / 8 * 8;
        bool prefetch = blockEnd - i > kPrefetchAbove;
        for (; i < blockEnd; i += 8) {
            if (prefetch)
                _mm_prefetch(reinterpret_cast<const char*>(data + i) + 64, _MM_HINT_NTA);
            mul8(data + i, f, aligned);
        }
    }
#endif
    for (; i < count; ++i)
        mulOne(data + i, factor);
}

}  // namespace sig::SIG_NS
