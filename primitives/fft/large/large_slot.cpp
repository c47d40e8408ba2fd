// The large orders of the vector slots, both directions: the generic driver (fft/large/driver.h)
// over each slot's row kernel, column pass and tile copies, with the slot's thresholds:
//   slots 1 and 3: whole-array bit reversal at order 16 (out of place: copy, then in place),
//     tiles gathered from src at orders 17 and 18, copied first in 2^19-point chunks from 19;
//   slots 2 and 4: whole-array bit reversal at order 18 (out of place: the copying kernel),
//     tiles gathered from src at orders 19 to 22, copied first in 2^23-point chunks from 23;
//   slots 5 and 6: tiles at every large order (19 on), gathered from src up to 22, copied first
//     in 2^23-point chunks from 23; rows of up to 2^18 by the block transform, split groups of 8.
// Tile side, first tiled order, row limit and split tables are the ones the slot's planner
// used (fft/fft_spec.h), so the driver reads the record the way it was built.
#include "core/slot.h"

#if SIG_SLOT >= 1
#include "fft/fft_direction.h"
#include "fft/large/driver.h"

namespace sig::SIG_NS {

namespace {

constexpr bool kFrom16 = kSlot == 1 || kSlot == 3;  // the levels whose large path starts at 16

constexpr LargeLevel kLevel = {
    fft::kDirectLimit[kSlot],
    fft::kTileOrder[kSlot],
    fft::kBlockBitRevFrom[kSlot],
    kFrom16,
    kFrom16 ? 19 : 23,
    kFrom16 ? 19 : 23,
    fft::kSplitT[kSlot],
    fft::kSplitG[kSlot],
};

template <fft::Dir D>
struct Kernels {
    static constexpr LargeLevel level = kLevel;
    static bool scaled(const sigFftSpec_cf32* spec)
    {
        return (D == fft::Dir::Fwd ? spec->fwdScale : spec->invScale) != 0;
    }
    static void row(cf32* data, int32_t n, const float* twiddles, cf32* work)
    {
        if constexpr (D == fft::Dir::Fwd)
            sigkFftRadixFwd_cf32(data, n, twiddles, work, 0);
        else
            sigkFftRadixInv_cf32(data, n, twiddles, work, 0);
    }
    static void cols(float* tile, int32_t span, int32_t groups, const float* twiddles)
    {
        if constexpr (D == fft::Dir::Fwd)
            sigkFftRadix4Cols_cf32(tile, tile, span, groups, twiddles);
        else
            sigkFftRadix4ColsInv_cf32(tile, tile, span, groups, twiddles);
    }
    static void gather(const cf32* matrix, cf32* tile, int32_t stride, int32_t rows, int32_t width)
    {
        sigkFftTileGather_cf32(matrix, tile, stride, rows, width);
    }
    static void scatter(cf32* matrix, const cf32* tile, int32_t stride, int32_t rows, int32_t width,
                        int32_t interleave)
    {
        sigkFftTileScatter_cf32(matrix, tile, stride, rows, width, interleave);
    }
};

using Forward = Large<Kernels<fft::Dir::Fwd>>;
using Inverse = Large<Kernels<fft::Dir::Inv>>;

}  // namespace

void sigkFftFwdLarge_cf32(const sigFftSpec_cf32* spec, const cf32* src, cf32* dst, int32_t order,
                          cf32* work)
{
    Forward::transform(spec, src, dst, order, work);
}

void sigkFftInvLarge_cf32(const sigFftSpec_cf32* spec, const cf32* src, cf32* dst, int32_t order,
                          cf32* work)
{
    Inverse::transform(spec, src, dst, order, work);
}

void sigkFftLargeSplit_cf32(const sigFftSpec_cf32* spec, cf32* data, int32_t order, int32_t depth,
                            cf32* work)
{
    Forward::split(spec, data, order, depth, work);
}

void sigkFftInvLargeSplit_cf32(const sigFftSpec_cf32* spec, cf32* data, int32_t order,
                               int32_t depth, cf32* work)
{
    Inverse::split(spec, data, order, depth, work);
}

}  // namespace sig::SIG_NS
#endif
