// The transform entries of a slot with its own kernels, either direction, after the entry's
// checks: the small orders through the slot's straight-line kernels (scaled ones when the
// direction's switch is on), the middle orders through the fused transform in a work buffer (the
// caller's from its 64-byte boundary, or one allocated for the call: -9 when that fails, dst
// untouched) followed by the slot's scaling; slots 1 and 3 do order 15 as a bit reversal and
// the radix passes; the orders above the direct limit go to the large-order driver, which scales
// by itself. Dir names the direction's table, kernels and scale switch (see the forward and
// inverse entries).
#pragma once

#include "fft/fft_kernels.h"
#include "fft/fft_plain.h"

#define SIG_LIST "core/core_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

#if SIG_SLOT >= 1

template <class Dir>
sigStatus vectorTransform(const cf32* src, cf32* dst, const sigFftSpec_cf32* spec, uint8_t* workBuf)
{
    const int32_t order = spec->order;
    const bool scale = Dir::scaled(spec);
    if (order <= fft::kSmallLimit[kSlot]) {
        if (scale)
            Dir::small().scaled[order](src, dst, spec->factor);
        else
            Dir::small().unscaled[order](src, dst);
        return sigOk;
    }
    cf32* work;
    uint8_t* owned;
    if (!fftTakeWork(spec, workBuf, &work, &owned))
        return sigErrMemory;
    if (order > fft::kDirectLimit[kSlot]) {
        Dir::large(spec, src, dst, order, work);
        sigFree(owned);
        return sigOk;
    }
    const int32_t n = 1 << order;
    const float* twiddles = fft::fftTable<float>(spec, spec->twiddles);
    const int32_t* bitRev = fft::fftTable<int32_t>(spec, spec->bitRev);
    if constexpr (kSlot == 1 || kSlot == 3) {
        if (order == 15) {
            if (src == dst)
                sigkBitRevInPlace_cf32(dst, n, bitRev);
            else
                sigkBitRevCopy_cf32(src, dst, n, bitRev);
            Dir::radix(dst, n, twiddles, work, 1);
        } else {
            Dir::fused(src, dst, n, twiddles, bitRev, work);
        }
    } else {
        Dir::fused(src, dst, n, twiddles, bitRev, work);
    }
    if (scale)
        sigkScale_f32(spec->factor, reinterpret_cast<float*>(dst), 2 * n);
    sigFree(owned);
    return sigOk;
}

#endif

}  // namespace sig::SIG_NS
