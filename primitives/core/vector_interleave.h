// Real and imaginary float arrays interleaved into complex floats. Values move as bit patterns
// (shuffles and integer copies, never arithmetic), so NaN payloads and -0.0 arrive unchanged;
// a missing part is written as +0.0. kRe / kIm say which source arrays exist.
#pragma once

#include "core/vector_simd.h"
#include "sigprim.h"

namespace sig::SIG_NS {

template <bool kRe, bool kIm>
struct Parts {
    const float* re;
    const float* im;

    static uint32_t bits(const float* p)
    {
        uint32_t v;
        __builtin_memcpy(&v, p, sizeof v);
        return v;
    }
    // Element i written as two 32-bit words.
    void one(cf32* dst, int32_t i) const
    {
        uint32_t w[2] = {kRe ? bits(re + i) : 0u, kIm ? bits(im + i) : 0u};
        __builtin_memcpy(dst + i, w, sizeof w);
    }
    void advance(int32_t k)
    {
        if constexpr (kRe)
            re += k;
        if constexpr (kIm)
            im += k;
    }
#if SIG_SLOT >= 1
    // Four reals and four imaginaries, or zeros for a missing part.
    template <class V>
    typename V::R loadRe(int32_t i) const
    {
        if constexpr (kRe)
            return V::loadu(re + i);
        else
            return V::zero();
    }
    template <class V>
    typename V::R loadIm(int32_t i) const
    {
        if constexpr (kIm)
            return V::loadu(im + i);
        else
            return V::zero();
    }
#endif
};

// Slot 0: four elements a step, then the rest.
template <bool kRe, bool kIm>
inline void interleavePlain(Parts<kRe, kIm> s, cf32* dst, int32_t n)
{
    int32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        s.one(dst, i);
        s.one(dst, i + 1);
        s.one(dst, i + 2);
        s.one(dst, i + 3);
    }
    for (; i < n; ++i)
        s.one(dst, i);
}

#if SIG_SLOT >= 1
// Slots 1 to 5. A destination at 8 bytes is first brought to 16 with one element, then takes
// eight elements a step in aligned 16-byte stores, unless both sources sit off 8 bytes; then
// two elements a step and a last single one.
template <bool kRe, bool kIm>
inline void interleaveF4(Parts<kRe, kIm> s, cf32* dst, int32_t n)
{
    if (misalign(dst, 8) == 0) {
        if (misalign(dst, 16) != 0) {
            s.one(dst, 0);
            if (--n == 0)
                return;
            s.advance(1);
            ++dst;
        }
        bool bothOff = (!kRe || misalign(s.re, 8) != 0) && (!kIm || misalign(s.im, 8) != 0);
        if (!bothOff) {
            for (; n >= 8; n -= 8, s.advance(8), dst += 8) {
                for (int h = 0; h < 8; h += 4) {
                    F4::R r = s.template loadRe<F4>(h), m = s.template loadIm<F4>(h);
                    F4::store(&dst[h].re, _mm_unpacklo_ps(r, m));
                    F4::store(&dst[h + 2].re, _mm_unpackhi_ps(r, m));
                }
            }
        }
    }
    for (; n >= 2; n -= 2, s.advance(2), dst += 2) {
        s.one(dst, 0);
        s.one(dst, 1);
    }
    if (n == 1)
        s.one(dst, 0);
}
#endif

#if SIG_SLOT >= 6
// Up to seven elements by the bits of count: four, then two, then one.
template <bool kRe, bool kIm>
inline void interleaveTail(Parts<kRe, kIm> s, cf32* dst, int32_t count)
{
    if (count & 4) {
        F4::R r = s.template loadRe<F4>(0), m = s.template loadIm<F4>(0);
        F4::storeu(&dst[0].re, _mm_unpacklo_ps(r, m));
        F4::storeu(&dst[2].re, _mm_unpackhi_ps(r, m));
        s.advance(4);
        dst += 4;
    }
    if (count & 2) {
        s.one(dst, 0);
        s.one(dst, 1);
        s.advance(2);
        dst += 2;
    }
    if (count & 1)
        s.one(dst, 0);
}

// Slot 6: single elements up to a 32-byte boundary, then groups of eight from 256-bit loads,
// each group written as four 128-bit stores, then the tail.
template <bool kRe, bool kIm>
inline void interleaveF8(Parts<kRe, kIm> s, cf32* dst, int32_t n)
{
    int32_t j = static_cast<int32_t>(misalign(dst, 32) / 8);
    if (j != 0) {
        int32_t lead = 4 - j < n ? 4 - j : n;
        interleaveTail(s, dst, lead);
        s.advance(lead);
        dst += lead;
        n -= lead;
    }
    for (; n >= 8; n -= 8, s.advance(8), dst += 8) {
        F8::R r = s.template loadRe<F8>(0), m = s.template loadIm<F8>(0);
        __m256 lo = _mm256_unpacklo_ps(r, m), hi = _mm256_unpackhi_ps(r, m);
        F4::storeu(&dst[0].re, _mm256_castps256_ps128(lo));
        F4::storeu(&dst[2].re, _mm256_castps256_ps128(hi));
        F4::storeu(&dst[4].re, _mm256_extractf128_ps(lo, 1));
        F4::storeu(&dst[6].re, _mm256_extractf128_ps(hi, 1));
    }
    interleaveTail(s, dst, n);
}
#endif

// The interleave of this slot.
template <bool kRe, bool kIm>
inline void interleaveOfSlot(const float* re, const float* im, cf32* dst, int32_t n)
{
    Parts<kRe, kIm> s{re, im};
#if SIG_SLOT == 0
    interleavePlain(s, dst, n);
#elif SIG_SLOT <= 5
    interleaveF4(s, dst, n);
#else
    interleaveF8(s, dst, n);
#endif
}

}  // namespace sig::SIG_NS
