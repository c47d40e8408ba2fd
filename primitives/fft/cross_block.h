// Cross-block passes of the vector slots: radix-2 stages that merge adjacent, already transformed
// blocks into one transform, in place, on interleaved complex values.
//
// data holds n values as n/span blocks of span values, each block the transform (natural order)
// of one residue class of the whole input, the blocks in the order a whole-array bit reversal
// leaves them. Each stage pairs the blocks U (even) and V (odd) of length S and, for every
// position m below S, forms v = V[m] w(m), U[m] = u + v, V[m] = u - v, with
// w(m) = e^(-j 2 pi m / 2S): table[m n/2S] for m < S/2 and -j table[(m - S/2) n/2S] above. The
// table holds e^(-j 2 pi i / n) as (cos, -sin) for i below n/4 (nothing for n = 2); the inverse
// multiplies by the conjugate factors. Stages run until one block remains (S = span, 2 span, ...
// below n).
//
// Loop order: positions in groups of step/2 per half-block (a power of two, at least one register
// of values, at most half a block and kMaxCrossGroup); each group's factors, both halves, are
// gathered once into a small aligned buffer, in the form the products take them, and then serve
// every pair of blocks of the stage. A stage whose half-block holds less than a register (S = 1
// and 2, and S = 4 on 256-bit registers) goes one position at a time instead. Neither the
// grouping nor the single positions change a result.
//
// Products as core/vector_mul.h rounds them (slot 6: the product with the factor's imaginary
// part rounded, the other fused into the sum), by the factor w(m) itself: the -j turn and the
// conjugation are exact and made on the factor before the product.
//
// Usage: after a bit reversal of the whole array of n points and the transforms of its blocks
// of span points, crossBlockPasses<F8, fft::Dir::Fwd>(data, n, span, table, 256) leaves the
// n-point transform. span and n: powers of two (anything else leaves data as it is, so that no
// stage reaches past the array); data needs only 8-byte alignment.
#pragma once

#include <cstddef>

#include "core/vector_mul.h"
#include "core/vector_simd.h"
#include "fft/fft_direction.h"
#include "sigprim.h"

namespace sig::SIG_NS {

#if SIG_SLOT >= 1

// Most positions per half-block in one group: its factors fill an 8 KiB stack buffer.
inline constexpr ptrdiff_t kMaxCrossGroup = 256;

// The factors of positions first .. first+count-1 of a stage whose table stride is `stride`, in
// four runs of 2 count floats, each value copied over its pair as the products take them: real
// and imaginary parts of w(m) (conjugated for the inverse), then of w(m) turned by -j (+j).
template <class VT, fft::Dir D>
inline void crossFactors(const float* table, ptrdiff_t first, ptrdiff_t count, ptrdiff_t stride,
                         float* f)
{
    const float* w = table + 2 * first * stride;
    if (stride != 1) {  // gathered into the first run, which each register leaves before it is rewritten
        for (ptrdiff_t i = 0; i < count; ++i) {
            f[2 * i] = w[2 * i * stride];
            f[2 * i + 1] = w[2 * i * stride + 1];
        }
        w = f;
    }
    const ptrdiff_t run = 2 * count;
    for (ptrdiff_t i = 0; i < run; i += VT::kLanes) {
        const typename VT::R raw = VT::loadu(w + i);
        const typename VT::R re = VT::dupRe(raw), im = VT::dupIm(raw);
        // w = re + j im; -j w = im - j re; and for the inverse conj(w) = re - j im, +j conj(w) = im + j re.
        VT::store(f + i, re);
        VT::store(f + run + i, D == fft::Dir::Fwd ? im : VT::neg(im));
        VT::store(f + 2 * run + i, im);
        VT::store(f + 3 * run + i, D == fft::Dir::Fwd ? VT::neg(re) : re);
    }
}

// count values of each block from u and v on, factors in two runs of 2 count floats from f:
// u + v w and u - v w.
template <class VT>
inline void crossButterflies(float* u, float* v, const float* f, ptrdiff_t count)
{
    const float* fIm = f + 2 * count;
    for (ptrdiff_t i = 0; i < 2 * count; i += VT::kLanes) {
        const typename VT::R a = VT::loadu(u + i);
        const typename VT::R p = mulRegBy<VT>(VT::loadu(v + i), VT::load(f + i), VT::load(fIm + i));
        VT::storeu(u + i, VT::add(a, p));
        VT::storeu(v + i, VT::sub(a, p));
    }
}

// w^0 as the table's first entry holds it, (cos 0, -sin 0).
inline constexpr float kCrossOne[2] = {1.0f, -0.0f};

// One stage of block length s, one position at a time: the stages whose half-block is shorter
// than a register. The factor is formed as crossFactors forms it, the product is mulOne's, the
// register product's scalar twin. Entry 0 is never read here: the table of a 2-point transform
// holds no entry at all, and its one stage (S = 1) needs only w^0.
template <fft::Dir D>
inline void crossStageSingles(float* values, ptrdiff_t n, ptrdiff_t s, const float* table)
{
    const ptrdiff_t stride = n / (2 * s);
    for (ptrdiff_t pair = 0; pair < n; pair += 2 * s) {
        for (ptrdiff_t m = 0; m < s; ++m) {
            const bool turned = 2 * m >= s;   // S = 1: its one position is not turned
            const ptrdiff_t entry = (turned ? m - s / 2 : m) * stride;
            const float* w = entry == 0 ? kCrossOne : table + 2 * entry;
            // w = re + j im; -j w = im - j re; and for the inverse conj(w) and +j conj(w) = im + j re.
            const float re = w[0], im = w[1];
            const float f[2] = {turned ? im : re, D == fft::Dir::Fwd ? (turned ? -re : im) : (turned ? re : -im)};
            float* u = values + 2 * (pair + m);
            float* v = u + 2 * s;
            float p[2];
            mulOne(v, f, p);
            const float ur = u[0], ui = u[1];
            u[0] = ur + p[0];
            u[1] = ui + p[1];
            v[0] = ur - p[0];
            v[1] = ui - p[1];
        }
    }
}

inline bool isPowerOfTwo(ptrdiff_t x) { return x > 0 && (x & (x - 1)) == 0; }

template <class VT, fft::Dir D>
void crossBlockPasses(cf32* data, ptrdiff_t n, ptrdiff_t span, const float* table, int32_t step)
{
    constexpr ptrdiff_t kPerRegister = VT::kLanes / 2;
    if (!isPowerOfTwo(span) || !isPowerOfTwo(n))
        return;
    alignas(32) float factors[8 * kMaxCrossGroup];
    float* const values = &data->re;
    for (ptrdiff_t s = span; s < n; s *= 2) {
        const ptrdiff_t half = s / 2, stride = n / (2 * s);
        if (half < kPerRegister) {
            crossStageSingles<D>(values, n, s, table);
            continue;
        }
        ptrdiff_t group = kPerRegister;
        while (2 * group <= step / 2 && 2 * group <= half && 2 * group <= kMaxCrossGroup)
            group *= 2;
        for (ptrdiff_t m = 0; m < half; m += group) {
            crossFactors<VT, D>(table, m, group, stride, factors);
            for (ptrdiff_t pair = 0; pair < n; pair += 2 * s) {
                float* u = values + 2 * (pair + m);
                float* v = u + 2 * s;
                crossButterflies<VT>(u, v, factors, group);
                crossButterflies<VT>(u + s, v + s, factors + 4 * group, group);  // m + S/2
            }
        }
    }
}

#endif

}  // namespace sig::SIG_NS
