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
// B re, B im): fft/split_radix4.h's lastColumnPass, shared with the 128-bit slots.
#pragma once

#include "fft/avx/fused.h"

namespace sig::SIG_NS::avx {

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
    lastColumnPass<F8, D, Fma>(tile, t, factors);
}

}  // namespace sig::SIG_NS::avx
