// Vector registers of the current slot, as two small types the kernel templates are written
// against: F4 (four float lanes, 128-bit) on slots 1 to 6 and F8 (eight lanes, 256-bit) on
// slots 5 and 6. Each wraps its intrinsics in the same names, so one template body serves every
// width and the instruction choice per slot stays in this file.
//
// Complex values sit in adjacent lanes (re, im). dupRe/dupIm copy the real or imaginary part
// over its pair, swapPairs exchanges re and im, addsub subtracts in the real lanes and adds in
// the imaginary ones; fmaddsub (slot 6) does a*b - c in the real lanes and a*b + c in the
// imaginary ones with one rounding each. Slot 1 has only SSE2, so its forms are built from shuffles and a sign
// flip, which give the same values bit for bit.
#pragma once

#include "core/slot.h"

#if SIG_SLOT >= 1
#include <immintrin.h>
#endif

namespace sig::SIG_NS {

#if SIG_SLOT >= 1
struct F4 {
    using R = __m128;
    static constexpr int kLanes = 4;
    static R zero() { return _mm_setzero_ps(); }
    static R set1(float v) { return _mm_set1_ps(v); }
    static R load(const float* p) { return _mm_load_ps(p); }
    static R loadu(const float* p) { return _mm_loadu_ps(p); }
    static void store(float* p, R v) { _mm_store_ps(p, v); }
    static void storeu(float* p, R v) { _mm_storeu_ps(p, v); }
    static void stream(float* p, R v) { _mm_stream_ps(p, v); }
    static R add(R a, R b) { return _mm_add_ps(a, b); }
    static R sub(R a, R b) { return _mm_sub_ps(a, b); }
    static R mul(R a, R b) { return _mm_mul_ps(a, b); }
    static R neg(R a) { return _mm_xor_ps(a, _mm_set1_ps(-0.0f)); }  // exact, zeros included
    static R swapPairs(R a) { return _mm_shuffle_ps(a, a, 0xB1); }
#if SIG_SLOT >= 2
    static R dupRe(R a) { return _mm_moveldup_ps(a); }
    static R dupIm(R a) { return _mm_movehdup_ps(a); }
    static R addsub(R a, R b) { return _mm_addsub_ps(a, b); }
#else
    static R dupRe(R a) { return _mm_shuffle_ps(a, a, 0xA0); }
    static R dupIm(R a) { return _mm_shuffle_ps(a, a, 0xF5); }
    // a + (-b) in the real lanes is a - b exactly; the flipped sign bit changes nothing else.
    static R addsub(R a, R b) { return _mm_add_ps(a, _mm_xor_ps(b, _mm_set_ps(0.f, -0.f, 0.f, -0.f))); }
#endif
    // One complex value (two floats) into the low lanes, zero above.
    static R loadPair(const float* p)
    {
        return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
    }
    static void storePair(float* p, R v) { _mm_storel_epi64(reinterpret_cast<__m128i*>(p), _mm_castps_si128(v)); }
    // Sum of the two complex values held in the register, in the low pair.
    static R foldPairs(R a) { return _mm_add_ps(a, _mm_movehl_ps(a, a)); }
    static float lane0(R a) { return _mm_cvtss_f32(a); }
    static float lane1(R a) { return _mm_cvtss_f32(_mm_shuffle_ps(a, a, 0x55)); }
#if SIG_SLOT >= 6
    static R fmadd(R a, R b, R c) { return _mm_fmadd_ps(a, b, c); }
    static R fmsub(R a, R b, R c) { return _mm_fmsub_ps(a, b, c); }
    static R fmaddsub(R a, R b, R c) { return _mm_fmaddsub_ps(a, b, c); }
#endif
};
#endif

#if SIG_SLOT >= 5
struct F8 {
    using R = __m256;
    static constexpr int kLanes = 8;
    static R zero() { return _mm256_setzero_ps(); }
    static R set1(float v) { return _mm256_set1_ps(v); }
    static R load(const float* p) { return _mm256_load_ps(p); }
    static R loadu(const float* p) { return _mm256_loadu_ps(p); }
    static void store(float* p, R v) { _mm256_store_ps(p, v); }
    static void storeu(float* p, R v) { _mm256_storeu_ps(p, v); }
    static R add(R a, R b) { return _mm256_add_ps(a, b); }
    static R sub(R a, R b) { return _mm256_sub_ps(a, b); }
    static R mul(R a, R b) { return _mm256_mul_ps(a, b); }
    static R neg(R a) { return _mm256_xor_ps(a, _mm256_set1_ps(-0.0f)); }
    static R swapPairs(R a) { return _mm256_permute_ps(a, 0xB1); }
    static R dupRe(R a) { return _mm256_moveldup_ps(a); }
    static R dupIm(R a) { return _mm256_movehdup_ps(a); }
    static R addsub(R a, R b) { return _mm256_addsub_ps(a, b); }
    // The two 128-bit halves added: four complex partial sums become two.
    static __m128 foldHalves(R a) { return _mm_add_ps(_mm256_castps256_ps128(a), _mm256_extractf128_ps(a, 1)); }
#if SIG_SLOT >= 6
    static R fmadd(R a, R b, R c) { return _mm256_fmadd_ps(a, b, c); }
    static R fmsub(R a, R b, R c) { return _mm256_fmsub_ps(a, b, c); }
    static R fmaddsub(R a, R b, R c) { return _mm256_fmaddsub_ps(a, b, c); }
#endif
};
#endif

// Alignment of an address, in bytes modulo a power of two.
inline unsigned misalign(const void* p, unsigned bytes)
{
    return static_cast<unsigned>(reinterpret_cast<__UINTPTR_TYPE__>(p) & (bytes - 1));
}

}  // namespace sig::SIG_NS
