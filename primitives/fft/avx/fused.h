// The kernel bodies of the fused transform of slots 5 and 6 and of the row transform of their
// large orders, either direction (the schedules that call them by name: fft/avx/schedule.h).
//
//     firstOdd<Dir::Fwd, false>(src, area, bitRevTable, n);   // bit-reversed columns -> area
//     radix4Pass<Dir::Fwd, false>(area, stretch, s, count);   // one radix-4 pass in the area
//
// The bit reversal costs no pass of its own: the first stage gathers the bit-reversed columns
// straight from the source and does the first radix-4 (even orders) or radix-8 (odd orders)
// butterflies on the way (the row transform's first passes take points already bit-reversed).
// Between the first stage and the last pass the data sits in the work area in split blocks,
// 8 real parts then 8 imaginary parts of consecutive values, so that every radix-4 pass works on
// whole vectors with no shuffles; the last pass re-interleaves while it writes the destination.
//
// The twiddle table holds one stretch per pass in the order the passes run (strides 4, 16, .. or
// 8, 32, .. up to n/4): stride 4 one 24-float record, larger strides s/8 records of 48 floats,
// each the cosines and negated sines of w^k, w^2k, w^3k (w = e^(-2 pi j / 4s)) for 8 columns.
// The inverse reads the same floats as their conjugates.
//
// Rounding: products with twiddle factors as fft/split_radix4.h says; with Fma (slot 6) the
// sqrt(1/2) rotations of the radix-8 first stage are fused the same way, one product rounded and
// the other fused, always through an explicit intrinsic.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "core/slot.h"
#include "fft/fft_direction.h"
#include "fft/split_radix4.h"
#include "sigprim.h"

namespace sig::SIG_NS::avx {

using fft::Dir;
using V = __m256;

using C8 = Split<F8>;

inline V add(V a, V b) { return _mm256_add_ps(a, b); }
inline V sub(V a, V b) { return _mm256_sub_ps(a, b); }
inline V mul(V a, V b) { return _mm256_mul_ps(a, b); }

// ---- Interleaved values of the first stages -------------------------------------------------

// Four complex values (re, im) per vector, loaded from anywhere: src may be only 8-byte aligned.
inline V loadPairs(const cf32* p) { return _mm256_loadu_ps(&p->re); }

// -j v: re and im exchanged, then the new imaginary part negated (the sign pattern +0, -0).
inline V timesMinusJ(V v)
{
    const V sign = _mm256_setr_ps(0.0f, -0.0f, 0.0f, -0.0f, 0.0f, -0.0f, 0.0f, -0.0f);
    return _mm256_xor_ps(_mm256_permute_ps(v, 0xB1), sign);
}

// +j v: exchanged, the new real part negated.
inline V timesJ(V v)
{
    const V sign = _mm256_setr_ps(-0.0f, 0.0f, -0.0f, 0.0f, -0.0f, 0.0f, -0.0f, 0.0f);
    return _mm256_xor_ps(_mm256_permute_ps(v, 0xB1), sign);
}

// The 4-point transform of (a, b, c, d), four columns at a time:
// forward Y0 = (a+c)+(b+d), Y1 = (a-c)-j(b-d), Y2 = (a+c)-(b+d), Y3 = (a-c)+j(b-d).
template <Dir D>
inline void dft4(V a, V b, V c, V d, V& y0, V& y1, V& y2, V& y3)
{
    const V sac = add(a, c), dac = sub(a, c), sbd = add(b, d), e = timesMinusJ(sub(b, d));
    y0 = add(sac, sbd);
    y2 = sub(sac, sbd);
    y1 = D == Dir::Fwd ? add(dac, e) : sub(dac, e);
    y3 = D == Dir::Fwd ? sub(dac, e) : add(dac, e);
}

// Four interleaved vectors y0..y3 of columns 0..3 regrouped per column: re02 holds the real parts
// of y0..y3 for column 0 (low half) and column 2 (high half), im02 their imaginary parts; re13 and
// im13 the same for columns 1 and 3.
inline void regroup(V y0, V y1, V y2, V y3, V& re02, V& im02, V& re13, V& im13)
{
    const V lo01 = _mm256_unpacklo_ps(y0, y1), lo23 = _mm256_unpacklo_ps(y2, y3);
    const V hi01 = _mm256_unpackhi_ps(y0, y1), hi23 = _mm256_unpackhi_ps(y2, y3);
    re02 = _mm256_shuffle_ps(lo01, lo23, 0x44);
    im02 = _mm256_shuffle_ps(lo01, lo23, 0xEE);
    re13 = _mm256_shuffle_ps(hi01, hi23, 0x44);
    im13 = _mm256_shuffle_ps(hi01, hi23, 0xEE);
}

inline V lowHalves(V a, V b) { return _mm256_permute2f128_ps(a, b, 0x20); }
inline V highHalves(V a, V b) { return _mm256_permute2f128_ps(a, b, 0x31); }

// rev_3(i): where column c0 + i of a first-stage step lands.
inline constexpr int32_t kRev3[8] = {0, 4, 2, 6, 1, 5, 3, 7};

// ---- First stages ------------------------------------------------------------------------------
// Step k of either walk starts at source column c0 = T[k]/4 = 8 rev_(order-6)(k) and covers the 8
// columns c0 .. c0+7, whose bit-reversed places are (n/64) rev_3(i) + k; n/64 steps in all (the
// even stage walks differently at n = 4096, below).

// Even orders: quad slot t (4 real parts, then 4 imaginary parts) gets the 4-point transform of
// column rev_(order-2)(t), whose inputs lie n/4 apart. A step also does the columns n/8 further
// on, which land in the quad slot just after, so it writes runs of 16 floats. At n = 4096 the walk
// takes 4 columns per half in twice the steps (c0 = T[k]/4 = 4 rev_7(k), places (n/16) rev_2(i)
// + 2k, the same floats as (n/32) rev_3(i) + 2k for i < 4): 4 runs instead of 8.
template <Dir D, int32_t Columns>
void firstEvenWalk(const cf32* src, float* area, const int32_t* bitRev, int32_t n)
{
    const ptrdiff_t q = n / 4, e = n / 8;
    for (int32_t k = 0; k < n / (8 * Columns); ++k) {
        const cf32* col = src + (bitRev[k] >> 2);
        float* out = area + 16 * k;
        for (int32_t half = 0; half < 2; ++half) {
            for (int32_t four = 0; four < Columns; four += 4) {
                const cf32* x = col + half * e + four;
                V y0, y1, y2, y3, re02, im02, re13, im13;
                dft4<D>(loadPairs(x), loadPairs(x + q), loadPairs(x + 2 * q), loadPairs(x + 3 * q), y0,
                        y1, y2, y3);
                regroup(y0, y1, y2, y3, re02, im02, re13, im13);
                float* slot = out + 8 * half;
                _mm256_store_ps(slot + q * kRev3[four], lowHalves(re02, im02));
                _mm256_store_ps(slot + q * kRev3[four + 1], lowHalves(re13, im13));
                _mm256_store_ps(slot + q * kRev3[four + 2], highHalves(re02, im02));
                _mm256_store_ps(slot + q * kRev3[four + 3], highHalves(re13, im13));
            }
        }
    }
}

template <Dir D>
void firstEven(const cf32* src, float* area, const int32_t* bitRev, int32_t n)
{
    if (n == 4096)
        firstEvenWalk<D, 4>(src, area, bitRev, n);
    else
        firstEvenWalk<D, 8>(src, area, bitRev, n);
}

// The 8-point transform of x0..x7, four columns at a time, outputs y0..y7 in natural order: the
// 4-point transform of the sums x_m + x_(m+4) gives the even outputs, that of the differences
// turned by e^(-j pi m/4) the odd ones. The turns by 45 degrees scale x1 - x5 and x7 - x3 by
// sqrt(1/2) and combine their parts.
template <Dir D, bool Fma>
inline void dft8(const V (&v)[8], V (&y)[8])
{
    const V halfRoot2 = _mm256_set1_ps(0.70710677f);
    const V s0 = add(v[0], v[4]), s1 = add(v[1], v[5]), s2 = add(v[2], v[6]), s3 = add(v[3], v[7]);
    const V d0 = sub(v[0], v[4]), d1 = sub(v[1], v[5]), d2 = sub(v[2], v[6]), e3 = sub(v[7], v[3]);
    // d1 turned by e^(-j pi/4) = sqrt(1/2)(1 - j) and e3 = -(x3 - x7) by e^(j pi/4) for the
    // forward; the inverse turns d1 by e^(j pi/4) and e3 by e^(-j pi/4).
    const V d1h = mul(timesMinusJ(d1), halfRoot2), e3h = mul(timesMinusJ(e3), halfRoot2);
    const V r1 = D == Dir::Fwd ? mulAdd<F8, Fma>(d1, halfRoot2, d1h) : mulSub<F8, Fma>(d1, halfRoot2, d1h);
    const V r3 = D == Dir::Fwd ? mulSub<F8, Fma>(e3, halfRoot2, e3h) : mulAdd<F8, Fma>(e3, halfRoot2, e3h);
    const V r2 = D == Dir::Fwd ? timesMinusJ(d2) : timesJ(d2);
    dft4<D>(s0, s1, s2, s3, y[0], y[2], y[4], y[6]);
    dft4<D>(d0, r1, r2, r3, y[1], y[3], y[5], y[7]);
}

// Odd orders: split block b gets the 8-point transform of column rev_(order-3)(b), whose inputs
// x0..x7 lie n/8 apart.
template <Dir D, bool Fma>
void firstOdd(const cf32* src, float* area, const int32_t* bitRev, int32_t n)
{
    const ptrdiff_t e = n / 8;
    for (int32_t k = 0; k < n / 64; ++k) {
        const cf32* col = src + (bitRev[k] >> 2);
        float* out = area + 16 * k;
        for (int32_t four = 0; four < 8; four += 4) {
            const cf32* x = col + four;
            V v[8], y[8];
            for (int32_t m = 0; m < 8; ++m)
                v[m] = loadPairs(x + m * e);
            dft8<D, Fma>(v, y);
            V re02[2], im02[2], re13[2], im13[2];
            regroup(y[0], y[1], y[2], y[3], re02[0], im02[0], re13[0], im13[0]);
            regroup(y[4], y[5], y[6], y[7], re02[1], im02[1], re13[1], im13[1]);
            const ptrdiff_t run = n / 4;  // floats from one run of blocks to the next
            float* at[4] = {out + run * kRev3[four], out + run * kRev3[four + 1],
                            out + run * kRev3[four + 2], out + run * kRev3[four + 3]};
            _mm256_store_ps(at[0], lowHalves(re02[0], re02[1]));
            _mm256_store_ps(at[0] + 8, lowHalves(im02[0], im02[1]));
            _mm256_store_ps(at[1], lowHalves(re13[0], re13[1]));
            _mm256_store_ps(at[1] + 8, lowHalves(im13[0], im13[1]));
            _mm256_store_ps(at[2], highHalves(re02[0], re02[1]));
            _mm256_store_ps(at[2] + 8, highHalves(im02[0], im02[1]));
            _mm256_store_ps(at[3], highHalves(re13[0], re13[1]));
            _mm256_store_ps(at[3] + 8, highHalves(im13[0], im13[1]));
        }
    }
}

// ---- First stages over points already in bit-reversed order -----------------------------------
// The block transform of the large orders gets its rows bit-reversed by the caller, so a leaf's
// first butterflies take consecutive points. 32 points per step; every step reads its points
// before it writes their bytes, so dst may be src. src may be only 8-byte aligned.

// Complex lane i of a, b, c, d gathered into vector i (a 4 x 4 transpose of 64-bit values).
inline void transposePairs(V a, V b, V c, V d, V& x0, V& x1, V& x2, V& x3)
{
    const __m256d t0 = _mm256_unpacklo_pd(_mm256_castps_pd(a), _mm256_castps_pd(b));
    const __m256d t1 = _mm256_unpackhi_pd(_mm256_castps_pd(a), _mm256_castps_pd(b));
    const __m256d t2 = _mm256_unpacklo_pd(_mm256_castps_pd(c), _mm256_castps_pd(d));
    const __m256d t3 = _mm256_unpackhi_pd(_mm256_castps_pd(c), _mm256_castps_pd(d));
    x0 = _mm256_castpd_ps(_mm256_permute2f128_pd(t0, t2, 0x20));
    x1 = _mm256_castpd_ps(_mm256_permute2f128_pd(t1, t3, 0x20));
    x2 = _mm256_castpd_ps(_mm256_permute2f128_pd(t0, t2, 0x31));
    x3 = _mm256_castpd_ps(_mm256_permute2f128_pd(t1, t3, 0x31));
}

// Each run of 4 points (the natural inputs 0, 2, 1, 3 of a 4-point transform) becomes a quad slot
// of its transform, the form earlyEven reads.
template <Dir D>
void firstEvenRun(const cf32* src, float* dst, int32_t m)
{
    for (ptrdiff_t i = 0; i < m; i += 16) {
        V p0, p1, p2, p3, y0, y1, y2, y3, re02, im02, re13, im13;
        transposePairs(loadPairs(src + i), loadPairs(src + i + 4), loadPairs(src + i + 8),
                       loadPairs(src + i + 12), p0, p1, p2, p3);
        dft4<D>(p0, p2, p1, p3, y0, y1, y2, y3);
        regroup(y0, y1, y2, y3, re02, im02, re13, im13);
        float* out = dst + 2 * i;
        _mm256_store_ps(out, lowHalves(re02, im02));
        _mm256_store_ps(out + 8, lowHalves(re13, im13));
        _mm256_store_ps(out + 16, highHalves(re02, im02));
        _mm256_store_ps(out + 24, highHalves(re13, im13));
    }
}

// Each run of 8 points (the natural inputs 0, 4, 2, 6, 1, 5, 3, 7) becomes a split block of its
// 8-point transform.
template <Dir D, bool Fma>
void firstOddRun(const cf32* src, float* dst, int32_t m)
{
    for (ptrdiff_t i = 0; i < m; i += 32) {
        const cf32* x = src + i;
        V p[8], v[8], y[8];
        transposePairs(loadPairs(x), loadPairs(x + 8), loadPairs(x + 16), loadPairs(x + 24), p[0], p[1],
                       p[2], p[3]);
        transposePairs(loadPairs(x + 4), loadPairs(x + 12), loadPairs(x + 20), loadPairs(x + 28), p[4],
                       p[5], p[6], p[7]);
        for (int32_t k = 0; k < 8; ++k)
            v[k] = p[kRev3[k]];
        dft8<D, Fma>(v, y);
        V re02[2], im02[2], re13[2], im13[2];
        regroup(y[0], y[1], y[2], y[3], re02[0], im02[0], re13[0], im13[0]);
        regroup(y[4], y[5], y[6], y[7], re02[1], im02[1], re13[1], im13[1]);
        float* out = dst + 2 * i;
        _mm256_store_ps(out, lowHalves(re02[0], re02[1]));
        _mm256_store_ps(out + 8, lowHalves(im02[0], im02[1]));
        _mm256_store_ps(out + 16, lowHalves(re13[0], re13[1]));
        _mm256_store_ps(out + 24, lowHalves(im13[0], im13[1]));
        _mm256_store_ps(out + 32, highHalves(re02[0], re02[1]));
        _mm256_store_ps(out + 40, highHalves(im02[0], im02[1]));
        _mm256_store_ps(out + 48, highHalves(re13[0], re13[1]));
        _mm256_store_ps(out + 56, highHalves(im13[0], im13[1]));
    }
}

// ---- Radix-4 passes over split blocks --------------------------------------------------------

// One record's factors w^k, w^2k, w^3k for 8 columns.
struct Factors {
    V re1, im1, re2, im2, re3, im3;
};
inline Factors loadFactors(const float* r)
{
    return {_mm256_load_ps(r),      _mm256_load_ps(r + 8),  _mm256_load_ps(r + 16),
            _mm256_load_ps(r + 24), _mm256_load_ps(r + 32), _mm256_load_ps(r + 40)};
}

// The butterfly on columns 8g..8g+7 of a group whose quarters start quarter floats apart.
template <Dir D, bool Fma>
inline void butterflyBlocks(const float* in, ptrdiff_t quarter, const Factors& w, C8& x0, C8& x1,
                            C8& x2, C8& x3)
{
    const C8 p0 = loadSplit<F8>(in), p1 = loadSplit<F8>(in + quarter), p2 = loadSplit<F8>(in + 2 * quarter),
             p3 = loadSplit<F8>(in + 3 * quarter);
    butterfly<F8, D>(p0, twiddle<F8, D, Fma>(p1, w.re2, w.im2), twiddle<F8, D, Fma>(p2, w.re1, w.im1),
                 twiddle<F8, D, Fma>(p3, w.re3, w.im3), x0, x1, x2, x3);
}

// Stride s (a multiple of 8) over count groups of 4s consecutive values, in place, the stretch of
// stride s read from its start for every group.
template <Dir D, bool Fma>
void radix4Pass(float* area, const float* stretch, int32_t s, int32_t count)
{
    const ptrdiff_t quarter = 2 * ptrdiff_t{s};
    for (int32_t g = 0; g < count; ++g) {
        float* group = area + 4 * quarter * g;
        for (int32_t r = 0; r < s / 8; ++r) {
            const Factors w = loadFactors(stretch + 48 * r);
            C8 x0, x1, x2, x3;
            butterflyBlocks<D, Fma>(group + 16 * r, quarter, w, x0, x1, x2, x3);
            storeSplit<F8>(group + 16 * r, x0);
            storeSplit<F8>(group + 16 * r + quarter, x1);
            storeSplit<F8>(group + 16 * r + 2 * quarter, x2);
            storeSplit<F8>(group + 16 * r + 3 * quarter, x3);
        }
    }
}

// The stride-8 pass of odd orders: one record serves every group of 32 values.
template <Dir D, bool Fma>
void earlyOdd(float* area, const float* record, int32_t m)
{
    const Factors w = loadFactors(record);
    for (float* group = area; group < area + 2 * ptrdiff_t{m}; group += 64) {
        C8 x0, x1, x2, x3;
        butterflyBlocks<D, Fma>(group, 16, w, x0, x1, x2, x3);
        storeSplit<F8>(group, x0);
        storeSplit<F8>(group + 16, x1);
        storeSplit<F8>(group + 32, x2);
        storeSplit<F8>(group + 48, x3);
    }
}

// The stride-4 pass of even orders: groups of four quad slots become two split blocks, two groups
// per step (one in each 128-bit half), with the 24-float record in both halves.
template <Dir D, bool Fma>
void earlyEven(float* area, const float* record, int32_t m)
{
    const V re1 = _mm256_broadcast_ps(reinterpret_cast<const __m128*>(record));
    const V im1 = _mm256_broadcast_ps(reinterpret_cast<const __m128*>(record + 4));
    const V re2 = _mm256_broadcast_ps(reinterpret_cast<const __m128*>(record + 8));
    const V im2 = _mm256_broadcast_ps(reinterpret_cast<const __m128*>(record + 12));
    const V re3 = _mm256_broadcast_ps(reinterpret_cast<const __m128*>(record + 16));
    const V im3 = _mm256_broadcast_ps(reinterpret_cast<const __m128*>(record + 20));
    for (float* pair = area; pair < area + 2 * ptrdiff_t{m}; pair += 64) {
        C8 p[4];
        for (int32_t i = 0; i < 4; ++i) {
            const V a = _mm256_load_ps(pair + 8 * i), b = _mm256_load_ps(pair + 32 + 8 * i);
            p[i] = {lowHalves(a, b), highHalves(a, b)};
        }
        C8 x0, x1, x2, x3;
        butterfly<F8, D>(p[0], twiddle<F8, D, Fma>(p[1], re2, im2), twiddle<F8, D, Fma>(p[2], re1, im1),
                     twiddle<F8, D, Fma>(p[3], re3, im3), x0, x1, x2, x3);
        storeSplit<F8>(pair, {lowHalves(x0.re, x1.re), lowHalves(x0.im, x1.im)});
        storeSplit<F8>(pair + 16, {lowHalves(x2.re, x3.re), lowHalves(x2.im, x3.im)});
        storeSplit<F8>(pair + 32, {highHalves(x0.re, x1.re), highHalves(x0.im, x1.im)});
        storeSplit<F8>(pair + 48, {highHalves(x2.re, x3.re), highHalves(x2.im, x3.im)});
    }
}

// The last pass, stride n/4 over the whole area, writing the result to dst: interleaved, or left
// in split blocks when interleave is false. A step reads the four blocks whose places it writes,
// so dst may be the area itself; dst may be only 8-byte aligned.
template <Dir D, bool Fma>
void lastPass(const float* area, cf32* dst, const float* stretch, int32_t n, bool interleave = true)
{
    const ptrdiff_t quarter = n / 2;  // floats
    float* out = &dst->re;
    for (int32_t r = 0; r < n / 32; ++r) {
        const Factors w = loadFactors(stretch + 48 * r);
        C8 x[4];
        butterflyBlocks<D, Fma>(area + 16 * r, quarter, w, x[0], x[1], x[2], x[3]);
        for (int32_t i = 0; i < 4; ++i) {
            float* at = out + i * quarter + 16 * r;
            if (interleave) {
                const V lo = _mm256_unpacklo_ps(x[i].re, x[i].im), hi = _mm256_unpackhi_ps(x[i].re, x[i].im);
                _mm256_storeu_ps(at, lowHalves(lo, hi));
                _mm256_storeu_ps(at + 8, highHalves(lo, hi));
            } else {
                _mm256_storeu_ps(at, x[i].re);
                _mm256_storeu_ps(at + 8, x[i].im);
            }
        }
    }
}

}  // namespace sig::SIG_NS::avx
