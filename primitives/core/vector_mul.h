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
// The 256-bit multiply of slots 5 and 6: eight elements a step into a destination brought to a
// 32-byte boundary by single elements; slot 6 skips the lead-in below kLeadFrom elements and
// takes one step of four before the single elements of the tail.
inline void mulF8(const float* a, const float* b, float* d, int32_t n)
{
    constexpr int32_t kLeadFrom = kSlot >= 6 ? 29 : 8;
    if (n >= 8 && misalign(d, 8) == 0) {
        if (n >= kLeadFrom) {
            int32_t lead = static_cast<int32_t>(((32 - misalign(d, 32)) % 32) / 8);
            mulSingles(a, b, d, lead);
            n -= lead;
            if (n >= 8)
                mulSteps<F8, 2, true>(a, b, d, n);
        } else {
            mulSteps<F8, 2, false>(a, b, d, n);
        }
        if (kSlot >= 6 && n >= 4)
            mulSteps<F8, 1, false>(a, b, d, n);
    }
    mulSingles(a, b, d, n);
}
#endif

}  // namespace sig::SIG_NS
