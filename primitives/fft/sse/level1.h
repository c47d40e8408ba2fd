// The middle-order transforms of slot 1 (SSE2), either direction, unscaled:
//
//     level1::fused<Dir::Fwd>(src, dst, n, twiddles, bitRevTable, work);   // orders 6 to 14
//     level1::radix<Dir::Fwd>(data, n, twiddles, work, 1);                 // data bit-reversed
//
// The fused transform needs no bit-reversal pass: its first stage gathers the bit-reversed
// columns straight from the source through the index table (entry i = 2 rev_(order-2)(i)) and
// does the first butterflies on the way; the radix transform starts from data already permuted.
// Both then run radix-4 passes over the split layout, blocks of 4 consecutive values stored as 4
// real parts then 4 imaginary parts, so that a butterfly works on whole vectors, 4 columns at a
// time. The last pass re-interleaves while it writes (or, for the radix transform with flag 0,
// leaves the split layout for the large-order path).
//
// First stages: 4-point transforms for even orders up to 12, 8-point ones (two 4-point
// transforms joined by the eighth roots of unity of kW8) for odd orders, and 16-point ones
// (four 4-point transforms joined by the first radix-4 set) for order 14 and for even orders of
// the radix transform. Every quarter of a butterfly group holds the transform of one input
// residue mod 4, in the order 0, 2, 1, 3.
//
// The twiddle table holds one set per radix-4 pass, quarter sizes 4, 16, .. (even orders) or 8,
// 32, .. (odd orders) up to n/4; the set of quarter size m is m/4 records of 24 floats: cosines
// and negated sines of w^k, w^2k, w^3k for 4 columns (w = e^(-2 pi j / 4m)). A set depends only
// on m, so a smaller transform of the same parity reads the same table from its start. The
// inverse reads the same floats as their conjugates.
//
// Rounding: products with twiddle factors as fft/split_radix4.h says, never fused; the 4-point
// transform as (a+c) +- (b+d) and (a-c) -+ j(b-d). Every path (in place, either alignment, either
// first stage of an even order) evaluates each output in the same operations, so they agree to
// the bit.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "core/slot.h"
#include "fft/fft_direction.h"
#include "fft/split_radix4.h"
#include "sigprim.h"

namespace sig::SIG_NS::level1 {

using fft::Dir;
using V = __m128;
using C4 = Split<F4>;

// The eighth roots w8^k = e^(-2 pi j k / 8), k = 0..3, as cosines and negated sines. The half
// root is the float one unit above the nearest to sqrt(1/2); the odd first stage's bits depend on
// exactly this value.
alignas(16) inline constexpr float kW8Re[4] = {1.0f, 0.70710683f, 0.0f, -0.70710683f};
alignas(16) inline constexpr float kW8Im[4] = {0.0f, -0.70710683f, -1.0f, -0.70710683f};
// The sign bits of both real parts of a pair of values.
alignas(16) inline constexpr float kNegRe[4] = {-0.0f, 0.0f, -0.0f, 0.0f};

inline bool aligned16(const void* p) { return (reinterpret_cast<uintptr_t>(p) & 15) == 0; }

// ---- Pairs of interleaved values: two transforms side by side, one per half ------------------

// Two neighbouring complex values from anywhere (src may be only 8-byte aligned).
inline V loadPair(const cf32* p) { return _mm_loadu_ps(&p->re); }

// j v for both values of the pair: parts exchanged, then the new real parts negated.
inline V timesJ(V v) { return _mm_xor_ps(_mm_shuffle_ps(v, v, 0xB1), _mm_load_ps(kNegRe)); }

// The 4-point transform of (a, b, c, d) = x0, x1, x2, x3 for both halves: forward
// y0 = (a+c)+(b+d), y1 = (a-c)-j(b-d), y2 = (a+c)-(b+d), y3 = (a-c)+j(b-d); the inverse turns +j.
template <Dir D>
inline void dft4(V a, V b, V c, V d, V& y0, V& y1, V& y2, V& y3)
{
    const V sac = _mm_add_ps(a, c), dac = _mm_sub_ps(a, c), sbd = _mm_add_ps(b, d);
    const V jbd = timesJ(_mm_sub_ps(b, d));
    y0 = _mm_add_ps(sac, sbd);
    y2 = _mm_sub_ps(sac, sbd);
    y1 = D == Dir::Fwd ? _mm_sub_ps(dac, jbd) : _mm_add_ps(dac, jbd);
    y3 = D == Dir::Fwd ? _mm_add_ps(dac, jbd) : _mm_sub_ps(dac, jbd);
}

// The 4-point transforms of both halves as split blocks (outputs 0..3 of the low half, of the
// high half).
template <Dir D>
inline void dft4Split(V a, V b, V c, V d, C4& lo, C4& hi)
{
    V y0, y1, y2, y3;
    dft4<D>(a, b, c, d, y0, y1, y2, y3);
    _MM_TRANSPOSE4_PS(y0, y1, y2, y3);
    lo = {y0, y1};
    hi = {y2, y3};
}

// ---- Radix-4 butterflies over split blocks -------------------------------------------------

// One record's factors w^k, w^2k, w^3k for 4 columns.
struct Factors {
    V re1, im1, re2, im2, re3, im3;
};
inline Factors loadFactors(const float* r)
{
    return {_mm_load_ps(r),      _mm_load_ps(r + 4),  _mm_load_ps(r + 8),
            _mm_load_ps(r + 12), _mm_load_ps(r + 16), _mm_load_ps(r + 20)};
}

// The butterfly on the quarters p0..p3 (residues 0, 2, 1, 3): the second takes w^2k, the third
// w^k, the fourth w^3k.
template <Dir D>
inline void butterfly4(C4 p0, C4 p1, C4 p2, C4 p3, const Factors& w, C4 x[4])
{
    butterfly<F4, D>(p0, twiddle<F4, D, false>(p1, w.re2, w.im2), twiddle<F4, D, false>(p2, w.re1, w.im1),
                     twiddle<F4, D, false>(p3, w.re3, w.im3), x[0], x[1], x[2], x[3]);
}

// The 8-point step of the odd first stages: outputs k and k+4 are A[k] +- w8^k B[k].
template <Dir D>
inline void join8(C4 a, C4 b, float* out)
{
    const C4 t = twiddle<F4, D, false>(b, _mm_load_ps(kW8Re), _mm_load_ps(kW8Im));
    storeSplit<F4>(out, a + t);
    storeSplit<F4>(out + 8, a - t);
}

// The 16-point step: four 4-point transforms joined by the first radix-4 set (one record),
// written as the 4 split blocks at out.
template <Dir D>
inline void join16(const C4 q[4], const Factors& w, float* out)
{
    C4 x[4];
    butterfly4<D>(q[0], q[1], q[2], q[3], w, x);
    for (int i = 0; i < 4; ++i)
        storeSplit<F4>(out + 8 * i, x[i]);
}

// ---- First stages of the fused transform, from the source through the index table ------------
// Position p of the area receives the stage's transform for the bit-reversed place of p. Values
// s and s+1 of the source lie side by side and land n/2 places apart, so one pair load serves two
// transforms and each step writes one block in each half of the area.

// Even orders up to 12: block t gets the 4-point transform of column rev_(order-2)(t) = e[2t],
// whose inputs lie n/4 apart.
template <Dir D>
void firstEven(const cf32* src, float* area, const int32_t* bitRev, int32_t n)
{
    const ptrdiff_t q = n / 4;
    for (int32_t t = 0; t < n / 8; ++t) {
        const cf32* x = src + bitRev[2 * t];
        C4 lo, hi;
        dft4Split<D>(loadPair(x), loadPair(x + q), loadPair(x + 2 * q), loadPair(x + 3 * q), lo, hi);
        storeSplit<F4>(area + 8 * t, lo);
        storeSplit<F4>(area + n + 8 * t, hi);
    }
}

// Odd orders: the 8 places from 8i get the 8-point transform of column s = e[4i], inputs n/8
// apart: A of the even inputs (column s), B of the odd ones (column s + n/8).
template <Dir D>
void firstOdd(const cf32* src, float* area, const int32_t* bitRev, int32_t n)
{
    const ptrdiff_t q = n / 4, e = n / 8;
    for (int32_t i = 0; i < n / 16; ++i) {
        const cf32* x = src + bitRev[4 * i];
        C4 aLo, aHi, bLo, bHi;
        dft4Split<D>(loadPair(x), loadPair(x + q), loadPair(x + 2 * q), loadPair(x + 3 * q), aLo, aHi);
        dft4Split<D>(loadPair(x + e), loadPair(x + e + q), loadPair(x + e + 2 * q), loadPair(x + e + 3 * q),
                     bLo, bHi);
        join8<D>(aLo, bLo, area + 16 * i);
        join8<D>(aHi, bHi, area + n + 16 * i);
    }
}

// Order 14: the 16 places from 16i get the 16-point transform of column e[4i]/2, whose quarter
// q is the 4-point transform of column e[4i+q]/2 (residue rev_2(q) of the 16 inputs n/16 apart).
// Places 16i and 16i + n/2 come from columns c and c+1, so i runs over the first half.
template <Dir D>
void first16(const cf32* src, float* area, const int32_t* bitRev, const float* record, int32_t n)
{
    const ptrdiff_t q = n / 4;
    const Factors w = loadFactors(record);
    for (int32_t i = 0; i < n / 32; ++i) {
        C4 lo[4], hi[4];
        for (int32_t r = 0; r < 4; ++r) {
            const cf32* x = src + bitRev[4 * i + r] / 2;
            dft4Split<D>(loadPair(x), loadPair(x + q), loadPair(x + 2 * q), loadPair(x + 3 * q), lo[r], hi[r]);
        }
        join16<D>(lo, w, area + 32 * i);
        join16<D>(hi, w, area + n + 32 * i);
    }
}

// ---- First stages of the radix transform, from bit-reversed data -----------------------------
// In stored order a quadruple p..p+3 holds the inputs x0, x2, x1, x3 of one 4-point transform.
// Two quadruples are loaded as four pairs and regrouped into one transform per half; a block
// is read whole before its places are written, so the area may be the data itself.

// The pairs (a, b, c, d) of the quadruples at u (low half) and v (high half).
inline void quadruples(const cf32* u, const cf32* v, V& a, V& b, V& c, V& d)
{
    const V u01 = loadPair(u), u23 = loadPair(u + 2), v01 = loadPair(v), v23 = loadPair(v + 2);
    a = _mm_movelh_ps(u01, v01);
    c = _mm_movehl_ps(v01, u01);
    b = _mm_movelh_ps(u23, v23);
    d = _mm_movehl_ps(v23, u23);
}

// Even orders: 16-point blocks, quarter r from the quadruple at 16i + 4r.
template <Dir D>
void radixFirst16(const cf32* data, float* area, const float* record, int32_t n)
{
    const Factors w = loadFactors(record);
    for (int32_t i = 0; i < n / 16; ++i) {
        const cf32* x = data + 16 * i;
        C4 p[4];
        for (int32_t r = 0; r < 4; r += 2) {
            V a, b, c, d;
            quadruples(x + 4 * r, x + 4 * r + 4, a, b, c, d);
            dft4Split<D>(a, b, c, d, p[r], p[r + 1]);
        }
        join16<D>(p, w, area + 32 * i);
    }
}

// Odd orders: 8-point blocks, A from the quadruple at 8i, B from the one after it.
template <Dir D>
void radixFirst8(const cf32* data, float* area, int32_t n)
{
    for (int32_t i = 0; i < n / 8; ++i) {
        V a, b, c, d;
        quadruples(data + 8 * i, data + 8 * i + 4, a, b, c, d);
        C4 lo, hi;
        dft4Split<D>(a, b, c, d, lo, hi);
        join8<D>(lo, hi, area + 16 * i);
    }
}

// ---- Passes --------------------------------------------------------------------------------

// One radix-4 pass of quarter size m over the n values of the area, in place: every group of 4m
// values reads the set from its start, one record per 4 columns.
template <Dir D>
void pass(float* area, int32_t n, int32_t m, const float* set)
{
    const ptrdiff_t quarter = 2 * ptrdiff_t{m};  // floats
    for (float* group = area; group < area + 2 * ptrdiff_t{n}; group += 4 * quarter)
        for (int32_t k = 0; k < m; k += 4) {
            float* at = group + 2 * k;
            C4 x[4];
            butterfly4<D>(loadSplit<F4>(at), loadSplit<F4>(at + quarter), loadSplit<F4>(at + 2 * quarter),
                          loadSplit<F4>(at + 3 * quarter), loadFactors(set + 6 * k), x);
            for (int i = 0; i < 4; ++i)
                storeSplit<F4>(at + i * quarter, x[i]);
        }
}

// How the last pass leaves its blocks at out.
enum class Out { Interleaved, Split };

// The last pass, quarter size n/4, one group: reads the area, writes out (possibly the area
// itself, as every step writes only the four blocks it has read). Out may be unaligned.
template <Dir D>
void lastPass(const float* area, float* out, int32_t n, const float* set, Out layout)
{
    const ptrdiff_t quarter = n / 2;  // floats
    const bool alignedOut = aligned16(out);
    for (int32_t k = 0; k < n / 4; k += 4) {
        const float* at = area + 2 * k;
        C4 x[4];
        butterfly4<D>(loadSplit<F4>(at), loadSplit<F4>(at + quarter), loadSplit<F4>(at + 2 * quarter),
                      loadSplit<F4>(at + 3 * quarter), loadFactors(set + 6 * k), x);
        for (int i = 0; i < 4; ++i) {
            float* to = out + i * quarter + 2 * k;
            V lo = x[i].re, hi = x[i].im;
            if (layout == Out::Interleaved) {
                lo = _mm_unpacklo_ps(x[i].re, x[i].im);
                hi = _mm_unpackhi_ps(x[i].re, x[i].im);
            }
            if (alignedOut) {
                _mm_store_ps(to, lo);
                _mm_store_ps(to + 4, hi);
            } else {
                _mm_storeu_ps(to, lo);
                _mm_storeu_ps(to + 4, hi);
            }
        }
    }
}

// Passes from quarter size m while more than one group remains, then the last pass into out.
template <Dir D>
void passes(float* area, float* out, int32_t n, int32_t m, const float* set, Out layout)
{
    for (; 4 * m < n; m *= 4) {
        pass<D>(area, n, m, set);
        set += 6 * ptrdiff_t{m};
    }
    lastPass<D>(area, out, n, set, layout);
}

inline bool oddOrder(int32_t n) { return (n & 0x55555555) == 0; }

// ---- The transforms --------------------------------------------------------------------------

// n = 2^order, orders 6 to 14, from src into dst (src == dst allowed). The work area is dst when
// dst is 16-byte aligned and is not src, else work (room for n values, 16-byte aligned).
template <Dir D>
void fused(const cf32* src, cf32* dst, int32_t n, const float* twiddles, const int32_t* bitRev,
           cf32* work)
{
    float* area = reinterpret_cast<float*>(aligned16(dst) && dst != src ? dst : work);
    if (oddOrder(n)) {
        firstOdd<D>(src, area, bitRev, n);
        passes<D>(area, &dst->re, n, 8, twiddles, Out::Interleaved);
    } else if (n == 16384) {
        first16<D>(src, area, bitRev, twiddles, n);
        passes<D>(area, &dst->re, n, 16, twiddles + 24, Out::Interleaved);
    } else {
        firstEven<D>(src, area, bitRev, n);
        passes<D>(area, &dst->re, n, 4, twiddles, Out::Interleaved);
    }
}

// n = 2^order, orders 5 and up, data in bit-reversed order, transformed in place; interleave 1
// leaves interleaved values, 0 the split layout. The work area is data when data is 16-byte
// aligned, else work.
template <Dir D>
void radix(cf32* data, int32_t n, const float* twiddles, cf32* work, int32_t interleave)
{
    float* area = reinterpret_cast<float*>(aligned16(data) ? data : work);
    const Out layout = interleave ? Out::Interleaved : Out::Split;
    if (oddOrder(n)) {
        radixFirst8<D>(data, area, n);
        passes<D>(area, &data->re, n, 8, twiddles, layout);
    } else {
        radixFirst16<D>(data, area, twiddles, n);
        passes<D>(area, &data->re, n, 16, twiddles + 24, layout);
    }
}

}  // namespace sig::SIG_NS::level1
