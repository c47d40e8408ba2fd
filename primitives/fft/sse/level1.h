// The middle-order transforms of slot 1 (SSE2), either direction, unscaled:
//
//     sse::level1::fused<Dir::Fwd>(src, dst, n, twiddles, bitRevTable, work);   // orders 6 to 14
//     sse::level1::radix<Dir::Fwd>(data, n, twiddles, work, 1);                 // data bit-reversed
//
// The fused transform needs no bit-reversal pass: its first stage gathers the bit-reversed
// columns straight from the source through the index table (entry i = 2 rev_(order-2)(i)) and
// does the first butterflies on the way; the radix transform starts from data already permuted.
// Both then run radix-4 passes over the split layout, blocks of 4 consecutive values stored as 4
// real parts then 4 imaginary parts, so that a butterfly works on whole vectors, 4 columns at a
// time, two butterflies per step. The last pass re-interleaves while it writes (or, for the radix
// transform with flag 0, leaves the split layout for the large-order path), with 16-byte stores
// where its output is 16-byte aligned and 8-byte ones elsewhere.
//
// First stages: 4-point transforms for even orders up to 12, 8-point ones (two 4-point
// transforms joined by the eighth roots of unity of kW8) for odd orders, and 16-point ones
// (four 4-point transforms joined by the first radix-4 set) for order 14 and for even orders of
// the radix transform. Every quarter of a butterfly group holds the transform of one input
// residue mod 4, in the order 0, 2, 1, 3. Only the even orders up to 12 load two neighbouring
// source values as one vector (16-byte loads, aligned ones where src is 16-byte aligned); the
// others pair the inputs of the two columns an 8- or 16-point step joins, one 8-byte load each.
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

#include <cstddef>
#include <cstdint>

#include "fft/sse/radix4_blocks.h"

namespace sig::SIG_NS::sse::level1 {

// The eighth roots w8^k = e^(-2 pi j k / 8), k = 0..3, as cosines and negated sines. The half
// root is the float one unit above the nearest to sqrt(1/2); the odd first stage's bits depend on
// exactly this value.
alignas(16) inline constexpr float kW8Re[4] = {1.0f, 0.70710683f, 0.0f, -0.70710683f};
alignas(16) inline constexpr float kW8Im[4] = {0.0f, -0.70710683f, -1.0f, -0.70710683f};

// ---- Joining 4-point transforms --------------------------------------------------------------

// The 8-point step of the odd first stages: outputs k and k+4 are A[k] +- w8^k B[k].
template <Dir D>
inline void join8(C4 a, C4 b, float* out)
{
    const C4 t = twiddle<F4, D, false>(b, F4::load(kW8Re), F4::load(kW8Im));
    storeSplit<F4>(out, a + t);
    storeSplit<F4>(out + 8, a - t);
}

// The 16-point step: four 4-point transforms joined by the first radix-4 set (one record),
// written as the 4 split blocks at out.
template <Dir D>
inline void join16(const C4 (&q)[4], const Factors& w, float* out)
{
    C4 x[4];
    butterfly4<D>(q[0], q[1], q[2], q[3], w, x);
    for (int i = 0; i < 4; ++i)
        storeSplit<F4>(out + 8 * i, x[i]);
}

// ---- First stages of the fused transform, from the source through the index table ------------
// Position p of the area receives the stage's transform for the bit-reversed place of p. Values
// s and s+1 of the source lie side by side and land n/2 places apart, so a column's neighbour
// feeds the same place of the area's upper half.

// Two neighbouring complex values as one vector.
template <bool Aligned>
inline V loadNeighbours(const cf32* p)
{
    return Aligned ? F4::load(&p->re) : F4::loadu(&p->re);
}

// Even orders up to 12: block t gets the 4-point transform of column rev_(order-2)(t) = e[2t],
// whose inputs lie n/4 apart, and the block n/8 further on that of its neighbour column; one
// vector holds both columns' value of a leg. Aligned: src is 16-byte aligned (e[2t] is even).
template <Dir D, bool Aligned>
void firstEven(const cf32* src, float* area, const int32_t* bitRev, int32_t n)
{
    const ptrdiff_t q = n / 4;
    for (int32_t t = 0; t < n / 8; ++t) {
        const cf32* x = src + bitRev[2 * t];
        C4 lo, hi;
        dft4Pairs<D>(loadNeighbours<Aligned>(x), loadNeighbours<Aligned>(x + q), loadNeighbours<Aligned>(x + 2 * q),
                     loadNeighbours<Aligned>(x + 3 * q), lo, hi);
        storeSplit<F4>(area + 8 * t, lo);
        storeSplit<F4>(area + n + 8 * t, hi);
    }
}

// The 4-point transforms of the columns at a and b (inputs n/4 apart) side by side.
template <Dir D>
inline void dft4Columns(const cf32* a, const cf32* b, ptrdiff_t q, C4& columnA, C4& columnB)
{
    dft4Pairs<D>(loadTwo(&a->re, &b->re), loadTwo(&a[q].re, &b[q].re), loadTwo(&a[2 * q].re, &b[2 * q].re),
                 loadTwo(&a[3 * q].re, &b[3 * q].re), columnA, columnB);
}

// Odd orders: the 8 places from 8i get the 8-point transform of column s = e[4i], inputs n/8
// apart: A of the even inputs (column s), B of the odd ones (column s + n/8); the 8 places n/2
// further on get that of column s + 1.
template <Dir D>
void firstOdd(const cf32* src, float* area, const int32_t* bitRev, int32_t n)
{
    const ptrdiff_t q = n / 4, e = n / 8;
    for (int32_t i = 0; i < n / 16; ++i)
        for (int32_t h = 0; h < 2; ++h) {
            const cf32* x = src + bitRev[4 * i] + h;
            C4 a, b;
            dft4Columns<D>(x, x + e, q, a, b);
            join8<D>(a, b, area + h * n + 16 * i);
        }
}

// Order 14: the 16 places from 16i get the 16-point transform of column e[4i]/2, whose quarter
// r is the 4-point transform of column e[4i+r]/2 (residue rev_2(r) of the 16 inputs n/16 apart);
// the 16 places n/2 further on get the same of the neighbour columns. i runs over the first half.
template <Dir D>
void first16(const cf32* src, float* area, const int32_t* bitRev, const float* record, int32_t n)
{
    const ptrdiff_t q = n / 4;
    const Factors w = loadFactors(record);
    for (int32_t i = 0; i < n / 32; ++i)
        for (int32_t h = 0; h < 2; ++h) {
            const cf32* x[4];
            for (int32_t r = 0; r < 4; ++r)
                x[r] = src + bitRev[4 * i + r] / 2 + h;
            C4 quarters[4];
            dft4Columns<D>(x[0], x[1], q, quarters[0], quarters[1]);
            dft4Columns<D>(x[2], x[3], q, quarters[2], quarters[3]);
            join16<D>(quarters, w, area + h * n + 32 * i);
        }
}

// ---- First stages of the radix transform, from bit-reversed data -----------------------------
// In stored order a quadruple p..p+3 holds the inputs x0, x2, x1, x3 of one 4-point transform.
// Two quadruples are loaded as four pairs and regrouped into one transform per half; a block
// is read whole before its places are written, so the area may be the data itself.

// The pairs (a, b, c, d) of the quadruples at u (low half) and v (high half).
inline void quadruples(const cf32* u, const cf32* v, V& a, V& b, V& c, V& d)
{
    const V u01 = F4::loadu(&u->re), u23 = F4::loadu(&u[2].re), v01 = F4::loadu(&v->re), v23 = F4::loadu(&v[2].re);
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
            dft4Pairs<D>(a, b, c, d, p[r], p[r + 1]);
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
        dft4Pairs<D>(a, b, c, d, lo, hi);
        join8<D>(lo, hi, area + 16 * i);
    }
}

// ---- Passes --------------------------------------------------------------------------------

// Passes from quarter size m while more than one group remains, then the last pass into out
// (interleaved, or left in split blocks).
template <Dir D>
void passes(float* area, float* out, int32_t n, int32_t m, const float* set, bool interleave)
{
    for (; 4 * m < n; m *= 4) {
        pass<D>(area, n, m, set);
        set += 6 * ptrdiff_t{m};
    }
    lastRadix4<D>(area, out, n, set, interleave);
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
        passes<D>(area, &dst->re, n, 8, twiddles, true);
    } else if (n == 16384) {
        first16<D>(src, area, bitRev, twiddles, n);
        passes<D>(area, &dst->re, n, 16, twiddles + 24, true);
    } else {
        if (aligned16(src))
            firstEven<D, true>(src, area, bitRev, n);
        else
            firstEven<D, false>(src, area, bitRev, n);
        passes<D>(area, &dst->re, n, 4, twiddles, true);
    }
}

// n = 2^order, orders 5 and up, data in bit-reversed order, transformed in place; interleave 1
// leaves interleaved values, 0 the split layout. The work area is data when data is 16-byte
// aligned, else work.
template <Dir D>
void radix(cf32* data, int32_t n, const float* twiddles, cf32* work, int32_t interleave)
{
    float* area = reinterpret_cast<float*>(aligned16(data) ? data : work);
    if (oddOrder(n)) {
        radixFirst8<D>(data, area, n);
        passes<D>(area, &data->re, n, 8, twiddles, interleave != 0);
    } else {
        radixFirst16<D>(data, area, twiddles, n);
        passes<D>(area, &data->re, n, 16, twiddles + 24, interleave != 0);
    }
}

}  // namespace sig::SIG_NS::sse::level1
