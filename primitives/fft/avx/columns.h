// The column phase of the large orders on slots 5 and 6: one radix-4 pass over a tile of columns
// held in split blocks (8 real parts, then 8 imaginary parts), either direction.
//
//     columnPass<Dir::Fwd, Fma>(tile, t, groups, factors);
//
// The tile holds groups of 4t points; in each, positions p, p+t, p+2t, p+3t hold the sub-results
// of the residues 0, 2, 1, 3. With more than one group the pass is the general radix-4 pass of
// fft/avx/fused.h, one block of 3t factors (six vectors per 8 positions, the stretch form) serving
// every group. The last pass of a column phase has one group and its factors w1 = A, w2 = B = A^2
// stored for the first half of the positions only, as four vectors per 8 positions (A re, A im,
// B re, B im): it is done as two radix-2 steps, and the second half, whose factors are the first
// half's turned by e^(-j pi/4) and -j, derives them instead of reading them.
#pragma once

#include "fft/avx/fused.h"

namespace sig::SIG_NS::avx {

// Positions 8 at a time of the last pass: x1 and x3 turned by B, then the sums and differences
// with x0 and x2, the x2 side turned by A.
template <Dir D, bool Fma>
inline void lastColumns(float* at, ptrdiff_t quarter, V ar, V ai, V br, V bi)
{
    const C8 x0 = loadSplit<F8>(at), x1 = loadSplit<F8>(at + quarter);
    const C8 x2 = loadSplit<F8>(at + 2 * quarter), x3 = loadSplit<F8>(at + 3 * quarter);
    const C8 b1 = twiddle<F8, D, Fma>(x1, br, bi), b3 = twiddle<F8, D, Fma>(x3, br, bi);
    const C8 u0 = x0 + b1, u1 = x0 - b1;
    const C8 a0 = twiddle<F8, D, Fma>(x2 + b3, ar, ai), a1 = twiddle<F8, D, Fma>(x2 - b3, ar, ai);
    const C8 minusJ = {add(u1.re, a1.im), sub(u1.im, a1.re)};  // u1 - j a1
    const C8 plusJ = {sub(u1.re, a1.im), add(u1.im, a1.re)};   // u1 + j a1
    storeSplit<F8>(at, u0 + a0);
    storeSplit<F8>(at + quarter, D == Dir::Fwd ? minusJ : plusJ);
    storeSplit<F8>(at + 2 * quarter, u0 - a0);
    storeSplit<F8>(at + 3 * quarter, D == Dir::Fwd ? plusJ : minusJ);
}

// One pass of span t (a multiple of 16 points) over groups groups of 4t points at tile (32-byte
// aligned), in place; groups below 1 does nothing.
template <Dir D, bool Fma>
void columnPass(float* tile, int32_t t, int32_t groups, const float* factors)
{
    if (groups > 1) {
        radix4Pass<D, Fma>(tile, factors, t, groups);
        return;
    }
    if (groups < 1)
        return;
    const ptrdiff_t quarter = 2 * ptrdiff_t{t};  // floats
    const V halfRoot2 = _mm256_set1_ps(0.70710677f);
    const V negate = _mm256_set1_ps(-0.0f);
    for (int32_t r = 0; r < t / 16; ++r) {
        const float* f = factors + 32 * r;
        const V ar = _mm256_load_ps(f), ai = _mm256_load_ps(f + 8);
        const V br = _mm256_load_ps(f + 16), bi = _mm256_load_ps(f + 24);
        lastColumns<D, Fma>(tile + 16 * r, quarter, ar, ai, br, bi);
        // A (1 - j) sqrt(1/2) and -j B for the position t/2 further on.
        const V ar2 = mul(add(ar, ai), halfRoot2), ai2 = mul(sub(ai, ar), halfRoot2);
        lastColumns<D, Fma>(tile + t + 16 * r, quarter, ar2, ai2, bi, _mm256_xor_ps(br, negate));
    }
}

}  // namespace sig::SIG_NS::avx
