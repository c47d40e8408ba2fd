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

#endif

}  // namespace sig::SIG_NS
