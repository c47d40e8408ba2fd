// 16-bit multiply-add helpers shared by the vector kernels of slots 1 to 6: scaling of 32-bit
// sums by 2^m with rounding half to even, and saturating packs to complex 16-bit.
#pragma once

#include "core/slot.h"

#if SIG_SLOT >= 1
#include <immintrin.h>

namespace sig::SIG_NS {

// Scales four 32-bit sums by 2^m, m in [-31, 31]: left shifts lose high bits, right shifts
// round half to even with 32-bit wrapping adds (the plain rule, lane by lane).
struct Scale32 {
    int m;
    __m128i count, bias, one;
    explicit Scale32(int mm)
        : m(mm),
          count(_mm_cvtsi32_si128(mm >= 0 ? mm : -mm)),
          bias(_mm_set1_epi32(mm < 0 ? static_cast<int32_t>((1u << (-mm - 1)) - 1u) : 0)),
          one(_mm_set1_epi32(1))
    {
    }
    __m128i operator()(__m128i a) const
    {
        if (m > 0)
            return _mm_sll_epi32(a, count);
        if (m == 0)
            return a;
        const __m128i odd = _mm_and_si128(_mm_sra_epi32(a, count), one);
        return _mm_sra_epi32(_mm_add_epi32(_mm_add_epi32(a, bias), odd), count);
    }
};

// {a0, a1, a2, a3} sums of each argument's four lanes.
inline __m128i sumLanes4(__m128i a0, __m128i a1, __m128i a2, __m128i a3)
{
    const __m128i t0 = _mm_add_epi32(_mm_unpacklo_epi32(a0, a1), _mm_unpackhi_epi32(a0, a1));
    const __m128i t1 = _mm_add_epi32(_mm_unpacklo_epi32(a2, a3), _mm_unpackhi_epi32(a2, a3));
    return _mm_add_epi32(_mm_unpacklo_epi64(t0, t1), _mm_unpackhi_epi64(t0, t1));
}

// Four complex results from four real and four imaginary 32-bit parts, saturated to 16 bits.
inline __m128i packComplex(__m128i re, __m128i im)
{
    return _mm_packs_epi32(_mm_unpacklo_epi32(re, im), _mm_unpackhi_epi32(re, im));
}

}  // namespace sig::SIG_NS
#endif
