// The radix-4 butterfly over the split layout, for any vector width: blocks of W consecutive
// complex values stored as their W real parts, then their W imaginary parts (W = the lanes of VT,
// F4 on the 128-bit slots, F8 on slots 5 and 6; core/vector_simd.h). In that layout a butterfly
// works on whole vectors, W columns at a time, with no shuffles.
//
// Twiddle factors are stored as (cos, -sin) rows; the inverse multiplies by their conjugates.
// Rounding: each of a product's two products and their sum rounded; with Fma (slot 6) the product
// with the sine rounded and the product with the cosine fused into the sum, always through an
// explicit intrinsic.
#pragma once

#include <cstddef>

#include "core/vector_simd.h"
#include "fft/fft_direction.h"

namespace sig::SIG_NS {

#if SIG_SLOT >= 1

template <class VT>
struct Split {
    typename VT::R re, im;
};

template <class VT>
inline Split<VT> operator+(Split<VT> a, Split<VT> b)
{
    return {VT::add(a.re, b.re), VT::add(a.im, b.im)};
}
template <class VT>
inline Split<VT> operator-(Split<VT> a, Split<VT> b)
{
    return {VT::sub(a.re, b.re), VT::sub(a.im, b.im)};
}

// a*b + c and a*b - c: one rounding with Fma, else the product rounded first.
template <class VT, bool Fma>
inline typename VT::R mulAdd(typename VT::R a, typename VT::R b, typename VT::R c)
{
#if SIG_SLOT >= 6
    if constexpr (Fma)
        return VT::fmadd(a, b, c);
#endif
    return VT::add(VT::mul(a, b), c);
}
template <class VT, bool Fma>
inline typename VT::R mulSub(typename VT::R a, typename VT::R b, typename VT::R c)
{
#if SIG_SLOT >= 6
    if constexpr (Fma)
        return VT::fmsub(a, b, c);
#endif
    return VT::sub(VT::mul(a, b), c);
}

// p times the stored factor (wr, wi) = (cos, -sin), or times its conjugate for the inverse.
template <class VT, fft::Dir D, bool Fma>
inline Split<VT> twiddle(Split<VT> p, typename VT::R wr, typename VT::R wi)
{
    if constexpr (D == fft::Dir::Fwd)
        return {mulSub<VT, Fma>(p.re, wr, VT::mul(p.im, wi)), mulAdd<VT, Fma>(p.im, wr, VT::mul(p.re, wi))};
    else
        return {mulAdd<VT, Fma>(p.re, wr, VT::mul(p.im, wi)), mulSub<VT, Fma>(p.im, wr, VT::mul(p.re, wi))};
}

// The radix-4 butterfly over the four sub-transforms P0..P3 of a group (the transforms of the
// input residues 0, 2, 1, 3), factors applied: t1 = P1 w^2k, t2 = P2 w^k, t3 = P3 w^3k.
// X0 = (P0 + t1) + (t2 + t3), X2 = (P0 + t1) - (t2 + t3); forward X1 = (P0 - t1) - j(t2 - t3) and
// X3 = (P0 - t1) + j(t2 - t3), the inverse turning the other way.
template <class VT, fft::Dir D>
inline void butterfly(Split<VT> p0, Split<VT> t1, Split<VT> t2, Split<VT> t3, Split<VT>& x0,
                      Split<VT>& x1, Split<VT>& x2, Split<VT>& x3)
{
    const Split<VT> a = p0 + t1, b = p0 - t1, c = t2 + t3, d = t2 - t3;
    x0 = a + c;
    x2 = a - c;
    const Split<VT> minusJd = {VT::add(b.re, d.im), VT::sub(b.im, d.re)};
    const Split<VT> plusJd = {VT::sub(b.re, d.im), VT::add(b.im, d.re)};
    x1 = D == fft::Dir::Fwd ? minusJd : plusJd;
    x3 = D == fft::Dir::Fwd ? plusJd : minusJd;
}

// A split block at p (aligned to the vector width).
template <class VT>
inline Split<VT> loadSplit(const float* p)
{
    return {VT::load(p), VT::load(p + VT::kLanes)};
}
template <class VT>
inline void storeSplit(float* p, Split<VT> v)
{
    VT::store(p, v.re);
    VT::store(p + VT::kLanes, v.im);
}

// One block of positions of the last column pass of a large order (blocks `quarter` floats
// apart): x1 and x3 turned by B, the sums and differences with x0 and x2, the x2 side turned by A.
template <class VT, fft::Dir D, bool Fma>
inline void lastColumns(float* at, ptrdiff_t quarter, typename VT::R ar, typename VT::R ai,
                        typename VT::R br, typename VT::R bi)
{
    const Split<VT> x0 = loadSplit<VT>(at), x1 = loadSplit<VT>(at + quarter);
    const Split<VT> x2 = loadSplit<VT>(at + 2 * quarter), x3 = loadSplit<VT>(at + 3 * quarter);
    const Split<VT> b1 = twiddle<VT, D, Fma>(x1, br, bi), b3 = twiddle<VT, D, Fma>(x3, br, bi);
    const Split<VT> u0 = x0 + b1, u1 = x0 - b1;
    const Split<VT> a0 = twiddle<VT, D, Fma>(x2 + b3, ar, ai), a1 = twiddle<VT, D, Fma>(x2 - b3, ar, ai);
    const Split<VT> minusJ = {VT::add(u1.re, a1.im), VT::sub(u1.im, a1.re)};  // u1 - j a1
    const Split<VT> plusJ = {VT::sub(u1.re, a1.im), VT::add(u1.im, a1.re)};   // u1 + j a1
    storeSplit<VT>(at, u0 + a0);
    storeSplit<VT>(at + quarter, D == fft::Dir::Fwd ? minusJ : plusJ);
    storeSplit<VT>(at + 2 * quarter, u0 - a0);
    storeSplit<VT>(at + 3 * quarter, D == fft::Dir::Fwd ? plusJ : minusJ);
}

// The last column pass of a large order over one group of 4t points (t a multiple of 2W) at tile:
// its factors w1 = A and w2 = B = A^2 are stored for the first half of the positions only, as
// four vectors per W positions (A re, A im, B re, B im), and it runs as two radix-2 steps. The
// second half's factors are the first half's turned by e^(-j pi/4) and -j, derived, not read.
template <class VT, fft::Dir D, bool Fma>
inline void lastColumnPass(float* tile, ptrdiff_t t, const float* factors)
{
    constexpr int W = VT::kLanes;
    const ptrdiff_t quarter = 2 * t;  // floats
    const typename VT::R halfRoot2 = VT::set1(0.70710677f);
    for (ptrdiff_t k = 0; k < t / 2; k += W) {
        const float* f = factors + 4 * k;
        const typename VT::R ar = VT::load(f), ai = VT::load(f + W);
        const typename VT::R br = VT::load(f + 2 * W), bi = VT::load(f + 3 * W);
        lastColumns<VT, D, Fma>(tile + 2 * k, quarter, ar, ai, br, bi);
        // A (1 - j) sqrt(1/2) and -j B for the position t/2 further on.
        const typename VT::R ar2 = VT::mul(VT::add(ar, ai), halfRoot2);
        const typename VT::R ai2 = VT::mul(VT::sub(ai, ar), halfRoot2);
        lastColumns<VT, D, Fma>(tile + t + 2 * k, quarter, ar2, ai2, bi, VT::neg(br));
    }
}

#endif

}  // namespace sig::SIG_NS
