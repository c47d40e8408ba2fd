// The middle-order transforms of slots 2, 3 and 4 (128-bit vectors), either direction, unscaled:
//
//     sse::blocked::fusedTransform<Dir::Fwd>(src, dst, n, twiddles, bitRevTable, work);   // orders 6 to 17
//     sse::blocked::radixTransform<Dir::Fwd>(data, n, twiddles, work, interleave);        // orders 5 to 17
//
// Both are decimation in time over the bit-reversed order. The fused transform gathers the
// bit-reversed columns straight from src while it does the first 4-point transforms; the radix
// transform takes data already in bit-reversed order and starts with 16-point transforms. Between
// the first stage and the last pass the data sits in the work area in split blocks of four values
// (4 real parts, then 4 imaginary parts, the same 32 bytes as the four interleaved values), so that
// every radix-4 pass works on whole vectors; the last pass re-interleaves while it writes, or, for
// the radix transform with interleave != 1, leaves the split blocks for the large-order driver.
//
// Cache blocking: above 2048 points the first stage of the radix transform and the passes of
// quarter 4 to 256 run over one 2048-point block (16 KiB) after the other, each block reading the
// twiddle sets from the start and ending as two 1024-point transforms; only the passes from
// quarter 1024 on, and the last pass, sweep the whole array.
//
// Tables: the index table e[i] = 2 rev_(order-2)(i) (e[0] is taken as 0 without a load), and one
// twiddle set per pass in pass order: for quarter m, m/4 records of 24 floats, the cosines and
// negated sines of w^k, w^2k, w^3k (w = e^(-2 pi j/4m)) for four adjacent k; an odd order ends with
// a radix-2 set of n/8 records of 8 floats (cosines and negated sines of e^(-2 pi j k/n)). The
// inverse reads the same floats as their conjugates. No product is fused: the three slots give the
// same bits, and every inverse is the conjugate twin of its forward.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "fft/sse/radix4_blocks.h"

namespace sig::SIG_NS::sse::blocked {

inline constexpr ptrdiff_t kBlock = 2048;            // points of one cache block
inline constexpr ptrdiff_t kLastBlockQuarter = 256;  // the largest quarter run block by block

// ---- First stages --------------------------------------------------------------------------------

// The fused first stage: block t (positions 4t..4t+3) gets the 4-point transform of the samples
// s + q n/4, s = rev_(order-2)(t). Blocks t and n/8 + t share the column pair s, s+1, so a step
// loads the two neighbours of each leg as one vector. From 2048 points with a 16-byte aligned src
// a step loads s..s+3 of each leg (two column pairs, blocks i, n/16 + i, n/8 + i, 3n/16 + i);
// otherwise it does the columns s, s+1 and s + n/8, s + n/8 + 1 (blocks 2i, 2i+1 and the two n/8
// further on). Both walks do the same arithmetic, so they give the same bits.
template <Dir D>
void fusedFirst(const cf32* src, float* area, ptrdiff_t n, const int32_t* bitRev)
{
    const float* x = &src->re;
    const ptrdiff_t leg = n / 2;  // floats between the legs of a column, n/4 values
    C4 c0, c1;
    if (n >= kBlock && aligned16(src)) {
        for (ptrdiff_t i = 0; i < n / 16; ++i) {
            const float* p = x + 4 * ptrdiff_t{i == 0 ? 0 : bitRev[4 * i]};
            dft4Pairs<D>(_mm_load_ps(p), _mm_load_ps(p + leg), _mm_load_ps(p + 2 * leg),
                         _mm_load_ps(p + 3 * leg), c0, c1);
            storeSplit<F4>(area + 8 * i, c0);
            storeSplit<F4>(area + n + 8 * i, c1);
            dft4Pairs<D>(_mm_load_ps(p + 4), _mm_load_ps(p + 4 + leg), _mm_load_ps(p + 4 + 2 * leg),
                         _mm_load_ps(p + 4 + 3 * leg), c0, c1);
            storeSplit<F4>(area + n / 2 + 8 * i, c0);
            storeSplit<F4>(area + 3 * n / 2 + 8 * i, c1);
        }
        return;
    }
    for (ptrdiff_t i = 0; i < n / 16; ++i) {
        const float* p = x + 2 * ptrdiff_t{i == 0 ? 0 : bitRev[4 * i]};
        for (ptrdiff_t h = 0; h < 2; ++h) {
            const float* q = p + h * (n / 4);  // the second pair of columns n/8 values on
            dft4Pairs<D>(_mm_loadu_ps(q), _mm_loadu_ps(q + leg), _mm_loadu_ps(q + 2 * leg),
                         _mm_loadu_ps(q + 3 * leg), c0, c1);
            storeSplit<F4>(area + 16 * i + 8 * h, c0);
            storeSplit<F4>(area + n + 16 * i + 8 * h, c1);
        }
    }
}

// The 16-point first stage of the radix transform over len values of bit-reversed data: per 16
// values, the 4-point transforms of the values at p, p+2, p+1, p+3 of each quadruple p (read with
// 8-byte loads, any alignment), then the quarter-4 butterfly with the first twiddle record. area
// may be data itself: a step reads its 16 values before it writes their 128 bytes.
template <Dir D>
void radixFirst(const float* data, float* area, ptrdiff_t len, const float* rec)
{
    const Factors w = loadFactors(rec);
    for (ptrdiff_t g = 0; g < 2 * len; g += 32) {
        const float* p = data + g;
        _mm_prefetch(reinterpret_cast<const char*>(p + 64), _MM_HINT_T0);
        _mm_prefetch(reinterpret_cast<const char*>(p + 80), _MM_HINT_T0);
        C4 b[4];
        for (int h = 0; h < 2; ++h) {
            const float* q = p + 16 * h;  // quadruples 2h and 2h+1
            dft4Pairs<D>(loadTwo(q, q + 8), loadTwo(q + 4, q + 12), loadTwo(q + 2, q + 10),
                         loadTwo(q + 6, q + 14), b[2 * h], b[2 * h + 1]);
        }
        C4 x[4];
        butterfly4<D>(b[0], b[1], b[2], b[3], w, x);
        for (int i = 0; i < 4; ++i)
            storeSplit<F4>(area + g + 8 * i, x[i]);
    }
}

// ---- Radix-4 passes over split blocks ----------------------------------------------------------

// The passes from quarter m0 (with the set at `set`) while 8m <= n; above one block, the passes up
// to quarter 256 run block by block after `first` has done the block. Returns the set of the last
// pass.
template <Dir D, class First>
const float* passes(float* area, ptrdiff_t n, ptrdiff_t m0, const float* set, First first)
{
    const ptrdiff_t len = n > kBlock ? kBlock : n;
    const float* p = set;
    ptrdiff_t m = m0;
    for (ptrdiff_t b = 0; b < n; b += len) {
        first(b, len);
        p = set;
        for (m = m0; m <= kLastBlockQuarter && 8 * m <= n; m *= 4) {
            pass<D>(area + 2 * b, len, m, p);
            p += 6 * m;
        }
    }
    for (; 8 * m <= n; m *= 4) {
        pass<D>(area, n, m, p);
        p += 6 * m;
    }
    return p;
}

// ---- Last pass ---------------------------------------------------------------------------------

inline bool evenOrder(ptrdiff_t n) { return (n & 0x55555555) != 0; }

// One group over the whole area, written to out: the radix-4 butterfly of quarter n/4 for even
// orders, the radix-2 butterfly of half n/2 with the radix-2 set for odd ones. A step reads the
// blocks whose places it writes, so out may be the area.
template <Dir D>
void lastPass(const float* area, float* out, ptrdiff_t n, const float* set, bool interleave)
{
    if (evenOrder(n)) {
        lastRadix4<D>(area, out, n, set, interleave);
        return;
    }
    const bool aligned = aligned16(out);
    for (ptrdiff_t r = 0; r < n / 8; ++r) {
        const C4 a = loadSplit<F4>(area + 8 * r);
        const C4 c = twiddle<F4, D, false>(loadSplit<F4>(area + n + 8 * r), F4::load(set + 8 * r),
                                           F4::load(set + 8 * r + 4));
        storeBlock(out + 8 * r, a + c, interleave, aligned);
        storeBlock(out + n + 8 * r, a - c, interleave, aligned);
    }
}

// ---- The two transforms ------------------------------------------------------------------------

// src to dst, natural order. The work area is dst when dst is 16-byte aligned and is not src, else
// work (16-byte aligned, room for n values).
template <Dir D>
void fusedTransform(const cf32* src, cf32* dst, int32_t count, const float* table, const int32_t* bitRev,
                    cf32* work)
{
    const ptrdiff_t n = count;
    float* area = src != dst && aligned16(dst) ? &dst->re : &work->re;
    fusedFirst<D>(src, area, n, bitRev);
    const float* last = passes<D>(area, n, 4, table, [](ptrdiff_t, ptrdiff_t) {});
    lastPass<D>(area, &dst->re, n, last, true);
}

// data (bit-reversed order) in place to natural order, interleaved when interleave is 1, else in
// split blocks. The work area is data when it is 16-byte aligned, else work.
template <Dir D>
void radixTransform(cf32* data, int32_t count, const float* table, cf32* work, int32_t interleave)
{
    const ptrdiff_t n = count;
    float* x = &data->re;
    float* area = aligned16(data) ? x : &work->re;
    const float* last = passes<D>(area, n, 16, table + 24, [&](ptrdiff_t b, ptrdiff_t len) {
        radixFirst<D>(x + 2 * b, area + 2 * b, len, table);
    });
    lastPass<D>(area, x, n, last, interleave == 1);
}

}  // namespace sig::SIG_NS::sse::blocked
