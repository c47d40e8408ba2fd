// What the straight-line small transforms of the 128-bit slots (1 to 4) and the 256-bit slots
// (5 and 6) have in common: the cosines every twiddle of up to 64 points is taken from, and the
// moves of single complex values that keep their bits (the 1-point kernels included).
#pragma once

#include <emmintrin.h>

#include "core/slot.h"
#include "sigprim.h"

#if SIG_SLOT < 1
#error "the small vector transforms belong to slots 1 to 6"
#endif

namespace sig::SIG_NS::fftsmall {

// cos(2*pi*q/64), q = 0..16, as the nearest floats: every twiddle of 16, 32 and 64 points is a
// cosine or sine of a multiple of 2*pi/64, and the quarter wave gives them all; the even entries
// alone serve 16 and 32 points.
inline constexpr float kCos64[17] = {1.0f,         0.99518472f,  0.980785251f, 0.956940353f,
                                     0.923879504f, 0.881921291f, 0.831469595f, 0.773010433f,
                                     0.707106769f, 0.634393275f, 0.555570245f, 0.471396744f,
                                     0.382683426f, 0.290284663f, 0.195090324f, 0.0980171412f,
                                     0.0f};
inline constexpr float kSqrtHalf = kCos64[8];

// One complex value in the low half of a register, and back; the bits pass unchanged.
inline __m128 loadOne(const cf32* p)
{
    return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}
inline void storeOne(cf32* p, __m128 v)
{
    _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_castps_si128(v));
}

// ---- The direction-free kernels of 1 point ------------------------------------------------------

inline void copy1(const cf32* src, cf32* dst) { storeOne(dst, loadOne(src)); }

inline void scale1(const cf32* src, cf32* dst, float f)
{
    const cf32 x = *src;
    *dst = cf32{x.re * f, x.im * f};
}

}  // namespace sig::SIG_NS::fftsmall
