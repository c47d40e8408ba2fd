// Complex dot products: the plain double-accumulating sum and the vector sums of slots 1 to 6,
// written once over the register types of vector_simd.h.
//
// The vector forms keep float partial sums in a pair of accumulators:
//  - CrossAcc (slot 1, SSE2): x*y collects (re*re, im*im), x*swap(y) collects (re*im, im*re);
//  - DupAcc (slots 2 to 6): dupRe(x)*y collects (xr*yr, xr*yi), dupIm(x)*y (xi*yr, xi*yi).
// Slots 2 to 6 run one 128-bit member, so they give the same sum to the bit: the AVX slots only
// re-encode its instructions, and no product is fused into its sum.
// One source is read with aligned loads once it has reached the register width (the product is
// symmetric, so the sources may swap roles); the other with unaligned loads.
#pragma once

#include "core/vector_simd.h"
#include "sigprim.h"

namespace sig::SIG_NS {

// Slot 0: both sums in double, every float product exact there, rounded to float once.
inline cf32 dotPlain(const cf32* x, const cf32* y, int32_t len)
{
    double re = 0.0, im = 0.0;
    for (int32_t i = 0; i < len; ++i) {
        double xr = x[i].re, xi = x[i].im, yr = y[i].re, yi = y[i].im;
        re = (re + xr * yr) - xi * yi;
        im = (im + xr * yi) + xi * yr;
    }
    return cf32{static_cast<float>(re), static_cast<float>(im)};
}

#if SIG_SLOT >= 1

template <class V>
struct CrossAcc {
    using R = typename V::R;
    R direct = V::zero(), crossed = V::zero();
    void add(R x, R y)
    {
        direct = V::add(direct, V::mul(x, y));
        crossed = V::add(crossed, V::mul(x, V::swapPairs(y)));
    }
};

template <class V>
struct DupAcc {
    using R = typename V::R;
    R byRe = V::zero(), byIm = V::zero();
    void add(R x, R y)
    {
        byRe = V::add(byRe, V::mul(V::dupRe(x), y));
        byIm = V::add(byIm, V::mul(V::dupIm(x), y));
    }
};

// The finished complex sum of a four-lane accumulator pair.
inline cf32 finish(const CrossAcc<F4>& a)
{
    F4::R d = F4::foldPairs(a.direct), c = F4::foldPairs(a.crossed);
    return cf32{F4::lane0(d) - F4::lane1(d), F4::lane0(c) + F4::lane1(c)};
}

inline cf32 finish(const DupAcc<F4>& a)
{
    F4::R s = F4::foldPairs(F4::addsub(a.byRe, F4::swapPairs(a.byIm)));
    return cf32{F4::lane0(s), F4::lane1(s)};
}

// Complex elements per register of type V.
template <class V>
inline constexpr int kPerReg = V::kLanes / 2;

// Runs whole steps of U registers per source while they last, all into one accumulator pair.
// Advances the pointers and the count past what it consumed.
template <class V, int U, bool kAlignedX, class Acc>
inline void dotSteps(const float*& x, const float*& y, int32_t& n, Acc& acc)
{
    constexpr int kStep = U * kPerReg<V>;
    while (n >= kStep) {
        for (int u = 0; u < U; ++u) {
            typename V::R a = kAlignedX ? V::load(x + u * V::kLanes) : V::loadu(x + u * V::kLanes);
            acc.add(a, V::loadu(y + u * V::kLanes));
        }
        x += 2 * kStep;
        y += 2 * kStep;
        n -= kStep;
    }
}

// Picks the source to read aligned and puts it first. Slot 1 takes the first one that is
// 8-byte aligned; slots 2 to 6 (kPrefer16) the first one already at 16 bytes, else the first at 8.
// Returns the number of single elements that bring it to a 'bytes' boundary (0 when none can).
template <bool kPrefer16>
inline int32_t orderForAlignment(const float*& x, const float*& y, unsigned bytes, bool& aligned)
{
    const bool yFirst = (kPrefer16 && misalign(x, 16) != 0 && misalign(y, 16) == 0) ||
                        (misalign(x, 8) != 0 && misalign(y, 8) == 0);
    if (yFirst) {
        const float* t = x;
        x = y;
        y = t;
    }
    aligned = misalign(x, 8) == 0;
    return aligned ? static_cast<int32_t>(((bytes - misalign(x, bytes)) % bytes) / 8) : 0;
}

// One element alone: its floats in the low pair, zeros above.
template <class Acc>
inline void dotSingle(const float*& x, const float*& y, int32_t& n, Acc& acc)
{
    acc.add(F4::loadPair(x), F4::loadPair(y));
    x += 2;
    y += 2;
    --n;
}

// The 128-bit member: slot 1 one register per step into CrossAcc, slots 2 to 6 two registers
// per step into one DupAcc, then one register, then one element.
template <class Acc, int U>
inline cf32 dotF4(const float* x, const float* y, int32_t n)
{
    Acc acc;
    bool aligned;
    int32_t lead = orderForAlignment<(kSlot >= 2)>(x, y, 16, aligned);
    if (lead > 0 && n > 0)
        dotSingle(x, y, n, acc);
    if (aligned)
        dotSteps<F4, U, true>(x, y, n, acc);
    else
        dotSteps<F4, U, false>(x, y, n, acc);
    if constexpr (U > 1)
        dotSteps<F4, 1, false>(x, y, n, acc);
    if (n > 0)
        dotSingle(x, y, n, acc);
    return finish(acc);
}

#endif  // SIG_SLOT >= 1

// The dot product of this slot.
inline cf32 dotOfSlot(const cf32* src1, const cf32* src2, int32_t len)
{
    const float* x = &src1->re;
    const float* y = &src2->re;
#if SIG_SLOT == 0
    (void)x;
    (void)y;
    return dotPlain(src1, src2, len);
#elif SIG_SLOT == 1
    return dotF4<CrossAcc<F4>, 1>(x, y, len);
#else
    return dotF4<DupAcc<F4>, 2>(x, y, len);
#endif
}

}  // namespace sig::SIG_NS
