// Element-wise complex products, one element at a time or a register at a time.
//
// How each slot rounds (a = (ar, ai), b = (br, bi)):
//  - slot 0: both parts in double, where the float products are exact, then rounded to float;
//  - slots 1 to 5: each product rounded to float, then the difference and the sum;
//  - slot 6: re = fma(ar, br, -(ai*bi)), im = fma(ai, br, ar*bi), the inner product rounded.
// Every element's inputs are read before its output is written, so dst may be either source.
#pragma once

#include "core/vector_simd.h"
#include "sigprim.h"

namespace sig::SIG_NS {

inline void mulOne(const float* a, const float* b, float* d)
{
    float ar = a[0], ai = a[1], br = b[0], bi = b[1];
#if SIG_SLOT == 0
    double re = static_cast<double>(ar) * br - static_cast<double>(ai) * bi;
    double im = static_cast<double>(ar) * bi + static_cast<double>(ai) * br;
    d[0] = static_cast<float>(re);
    d[1] = static_cast<float>(im);
#elif SIG_SLOT <= 5
    d[0] = ar * br - ai * bi;
    d[1] = ai * br + ar * bi;
#else
    d[0] = __builtin_fmaf(ar, br, -(ai * bi));
    d[1] = __builtin_fmaf(ai, br, ar * bi);
#endif
}

// Elements one at a time in increasing order; advances the pointers.
inline void mulSingles(const float*& a, const float*& b, float*& d, int32_t count)
{
    for (int32_t i = 0; i < count; ++i, a += 2, b += 2, d += 2)
        mulOne(a, b, d);
}

#if SIG_SLOT >= 1
// The products of the complex values in x by factors given as their real parts and their
// imaginary parts, each copied over its pair (dupRe and dupIm of the factors).
template <class V>
inline typename V::R mulRegBy(typename V::R x, typename V::R yRe, typename V::R yIm)
{
    typename V::R crossed = V::mul(V::swapPairs(x), yIm);   // (ai*bi, ar*bi)
#if SIG_SLOT >= 6
    return V::fmaddsub(x, yRe, crossed);
#else
    return V::addsub(V::mul(x, yRe), crossed);
#endif
}

// The products of the complex values in one register of each source.
template <class V>
inline typename V::R mulReg(typename V::R x, typename V::R y)
{
    return mulRegBy<V>(x, V::dupRe(y), V::dupIm(y));
}

// Steps of U registers per source while at least a whole step remains. All 2U loads of a step
// are made before its first store. kAlignedD: the destination is at the register width.
template <class V, int U, bool kAlignedD>
inline void mulSteps(const float*& a, const float*& b, float*& d, int32_t& n)
{
    constexpr int kStep = U * V::kLanes / 2;
    while (n >= kStep) {
        typename V::R x[U], y[U];
        for (int u = 0; u < U; ++u) {
            x[u] = V::loadu(a + u * V::kLanes);
            y[u] = V::loadu(b + u * V::kLanes);
        }
        for (int u = 0; u < U; ++u) {
            typename V::R p = mulReg<V>(x[u], y[u]);
            if constexpr (kAlignedD)
                V::store(d + u * V::kLanes, p);
            else
                V::storeu(d + u * V::kLanes, p);
        }
        a += 2 * kStep;
        b += 2 * kStep;
        d += 2 * kStep;
        n -= kStep;
    }
}

// The 128-bit multiply of slots 1 to 4, and the raw in-place one: U registers (2U elements) per
// step from more than 2U elements. A destination at 8 but not 16 bytes takes one element alone
// and then stores aligned; one not even 8-byte aligned stores unaligned. The rest one by one.
template <int U>
inline void mulF4(const float* a, const float* b, float* d, int32_t n)
{
    if (n > 2 * U) {
        if (misalign(d, 8) == 0) {
            if (misalign(d, 16) != 0) {
                mulSingles(a, b, d, 1);
                --n;
            }
            mulSteps<F4, U, true>(a, b, d, n);
        } else {
            mulSteps<F4, U, false>(a, b, d, n);
        }
    }
    mulSingles(a, b, d, n);
}
#endif

#if SIG_SLOT >= 5
// True when two arrays of len elements start less than len elements apart, the same start
// included: a wide step would then read elements that an earlier store has already changed.
inline bool startsWithin(const float* p, const float* q, int32_t len)
{
    const uintptr_t a = reinterpret_cast<uintptr_t>(p), b = reinterpret_cast<uintptr_t>(q);
    return (a > b ? a - b : b - a) < static_cast<uintptr_t>(len) * sizeof(cf32);
}

// The 256-bit multiply of slots 5 and 6: eight elements a step. From kHeadFrom elements the
// destination is first brought to a 32-byte boundary by single elements (with fewer than eight
// left after them every element goes alone, in order); shorter runs of eight or more step from element 0 with unaligned stores,
// which kShortAnyAlign allows even for a destination not 8-byte aligned. A destination not
// 8-byte aligned otherwise goes one element at a time. Slot 6 takes one step of four after the
// steps of eight; the rest are single elements.
template <int32_t kHeadFrom, bool kShortAnyAlign>
inline void mulF8(const float* a, const float* b, float* d, int32_t n)
{
    static_assert(kHeadFrom >= 8);
    bool stepped = false;
    if (n >= 8 && n < kHeadFrom && (kShortAnyAlign || misalign(d, 8) == 0)) {
        mulSteps<F8, 2, false>(a, b, d, n);
        stepped = true;
    } else if (n >= kHeadFrom && misalign(d, 8) == 0) {
        const int32_t head = static_cast<int32_t>(((32 - misalign(d, 32)) % 32) / 8);
        mulSingles(a, b, d, head);
        n -= head;
        if (n >= 8) {
            mulSteps<F8, 2, true>(a, b, d, n);
            stepped = true;
        }
    }
    if (kSlot >= 6 && stepped && n >= 4)
        mulSteps<F8, 1, false>(a, b, d, n);
    mulSingles(a, b, d, n);
}

// srcDst[i] = src[i] * srcDst[i] on slots 5 and 6, srcDst being the first factor of the
// rounding rules above. Arrays that overlap (the same one included) go two elements a step,
// both read before either is written, in index order; otherwise the 256-bit steps, which slot 6
// starts without a head up to 16 elements.
inline void mulInPlaceF8(const float* s, float* d, int32_t n)
{
    if (startsWithin(s, d, n)) {
        const float* a = d;
        float* out = d;
        mulSteps<F4, 1, false>(a, s, out, n);
        mulSingles(a, s, out, n);
        return;
    }
    mulF8<kSlot >= 6 ? 17 : 8, (kSlot >= 6)>(d, s, d, n);
}
#endif

}  // namespace sig::SIG_NS
