// The pieces the 128-bit middle-order transforms of slots 1 to 4 share (fft/sse/level1.h,
// fft/sse/blocked.h) and the column pass of their large orders reuses: the 4-point transforms of
// two columns at once turned into split blocks, the radix-4 butterfly over split blocks (4 real
// parts, then 4 imaginary parts, 32 bytes), the general radix-4 pass, and the stores of the last
// pass. No product is fused, so every slot that runs them gives the same bits.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "core/slot.h"
#include "core/vector_simd.h"
#include "fft/fft_direction.h"
#include "fft/split_radix4.h"
#include "sigprim.h"

namespace sig::SIG_NS::sse {

using fft::Dir;
using V = __m128;
using C4 = Split<F4>;

inline bool aligned16(const void* p) { return misalign(p, 16) == 0; }

// Two complex values from anywhere, one 8-byte load each: lo into the low lanes, hi above.
inline V loadTwo(const float* lo, const float* hi)
{
    return _mm_loadh_pi(F4::loadPair(lo), reinterpret_cast<const __m64*>(hi));
}

// +j v for the two interleaved values of v: parts exchanged, the new real parts negated.
inline V timesJ(V v) { return _mm_xor_ps(_mm_shuffle_ps(v, v, 0xB1), _mm_setr_ps(-0.0f, 0.0f, -0.0f, 0.0f)); }

// The 4-point transforms of two columns at once, a..d holding the columns' inputs as interleaved
// pairs (column 0 low, column 1 high): forward Y0 = (a+c)+(b+d), Y1 = (a-c)-j(b-d),
// Y2 = (a+c)-(b+d), Y3 = (a-c)+j(b-d), the inverse turning the other way. Each column's Y0..Y3
// become one split block.
template <Dir D>
inline void dft4Pairs(V a, V b, V c, V d, C4& column0, C4& column1)
{
    const V sac = _mm_add_ps(a, c), dac = _mm_sub_ps(a, c), sbd = _mm_add_ps(b, d);
    const V jd = timesJ(_mm_sub_ps(b, d));
    const V y0 = _mm_add_ps(sac, sbd), y2 = _mm_sub_ps(sac, sbd);
    const V y1 = D == Dir::Fwd ? _mm_sub_ps(dac, jd) : _mm_add_ps(dac, jd);
    const V y3 = D == Dir::Fwd ? _mm_add_ps(dac, jd) : _mm_sub_ps(dac, jd);
    const V lo01 = _mm_unpacklo_ps(y0, y1), lo23 = _mm_unpacklo_ps(y2, y3);
    const V hi01 = _mm_unpackhi_ps(y0, y1), hi23 = _mm_unpackhi_ps(y2, y3);
    column0 = {_mm_movelh_ps(lo01, lo23), _mm_movehl_ps(lo23, lo01)};
    column1 = {_mm_movelh_ps(hi01, hi23), _mm_movehl_ps(hi23, hi01)};
}

// ---- Radix-4 butterflies over split blocks ---------------------------------------------------

// One twiddle record's factors w^k, w^2k, w^3k for 4 columns (24 floats: cosines and negated
// sines of each).
struct Factors {
    V re1, im1, re2, im2, re3, im3;
};
inline Factors loadFactors(const float* r)
{
    return {F4::load(r), F4::load(r + 4), F4::load(r + 8), F4::load(r + 12), F4::load(r + 16), F4::load(r + 20)};
}

// The butterfly on the quarters p0..p3 of a group (the transforms of the residues 0, 2, 1, 3):
// the second takes w^2k, the third w^k, the fourth w^3k.
template <Dir D>
inline void butterfly4(C4 p0, C4 p1, C4 p2, C4 p3, const Factors& w, C4 (&x)[4])
{
    butterfly<F4, D>(p0, twiddle<F4, D, false>(p1, w.re2, w.im2), twiddle<F4, D, false>(p2, w.re1, w.im1),
                     twiddle<F4, D, false>(p3, w.re3, w.im3), x[0], x[1], x[2], x[3]);
}

// The butterfly on the four blocks of a group that start `quarter` floats apart, with the record
// of the four k they hold.
template <Dir D>
inline void butterflyAt(const float* in, ptrdiff_t quarter, const float* rec, C4 (&x)[4])
{
    butterfly4<D>(loadSplit<F4>(in), loadSplit<F4>(in + quarter), loadSplit<F4>(in + 2 * quarter),
                  loadSplit<F4>(in + 3 * quarter), loadFactors(rec), x);
}

template <Dir D>
inline void butterflyInPlace(float* at, ptrdiff_t quarter, const float* rec)
{
    C4 x[4];
    butterflyAt<D>(at, quarter, rec, x);
    for (int i = 0; i < 4; ++i)
        storeSplit<F4>(at + i * quarter, x[i]);
}

// One radix-4 pass of quarter m over len values of the area, in place, every group of 4m values
// reading the pass's set from its start: eight k per step, or two groups per step for m = 4.
template <Dir D>
void pass(float* area, ptrdiff_t len, ptrdiff_t m, const float* set)
{
    const ptrdiff_t quarter = 2 * m;  // floats
    if (m == 4) {
        for (float* g = area; g < area + 2 * len; g += 64) {
            butterflyInPlace<D>(g, quarter, set);
            butterflyInPlace<D>(g + 32, quarter, set);
        }
        return;
    }
    for (float* g = area; g < area + 2 * len; g += 8 * m)
        for (ptrdiff_t r = 0; r < m / 4; r += 2) {
            butterflyInPlace<D>(g + 8 * r, quarter, set + 24 * r);
            butterflyInPlace<D>(g + 8 * r + 8, quarter, set + 24 * r + 24);
        }
}

// ---- The last pass ---------------------------------------------------------------------------

// A block to out: interleaved or split, with 16-byte stores where out is aligned, else 8-byte ones.
inline void storeBlock(float* out, C4 v, bool interleave, bool aligned)
{
    const V a = interleave ? _mm_unpacklo_ps(v.re, v.im) : v.re;
    const V b = interleave ? _mm_unpackhi_ps(v.re, v.im) : v.im;
    if (aligned) {
        _mm_store_ps(out, a);
        _mm_store_ps(out + 4, b);
    } else {
        _mm_storel_pi(reinterpret_cast<__m64*>(out), a);
        _mm_storeh_pi(reinterpret_cast<__m64*>(out + 2), a);
        _mm_storel_pi(reinterpret_cast<__m64*>(out + 4), b);
        _mm_storeh_pi(reinterpret_cast<__m64*>(out + 6), b);
    }
}

// The radix-4 butterfly of quarter n/4 over the one group of the area, written to out: a step
// reads the blocks whose places it writes, so out may be the area.
template <Dir D>
void lastRadix4(const float* area, float* out, ptrdiff_t n, const float* set, bool interleave)
{
    const bool aligned = aligned16(out);
    const ptrdiff_t quarter = n / 2;  // floats
    for (ptrdiff_t r = 0; r < n / 16; ++r) {
        C4 x[4];
        butterflyAt<D>(area + 8 * r, quarter, set + 24 * r, x);
        for (int i = 0; i < 4; ++i)
            storeBlock(out + 8 * r + i * quarter, x[i], interleave, aligned);
    }
}

}  // namespace sig::SIG_NS::sse
