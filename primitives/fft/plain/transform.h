// The plain transform of either direction: checks, small orders, work buffer, then the direct
// path (bit reversal, radix passes, scaling) up to order 10 or the large path above it. Dir
// names the direction's kernels and its scale switch (see plainFwd and plainInv).
#pragma once

#include "fft/fft_plain.h"

#define SIG_LIST "core/core_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

template <class Dir>
sigStatus plainTransform(const cf32* src, cf32* dst, const sigFftSpec_cf32* spec, uint8_t* workBuf)
{
    if (const sigStatus st = fftCheckArgs(src, dst, spec); st != sigOk)
        return st;
    const int32_t order = spec->order;
    const bool scale = Dir::scaled(spec);
    if (order <= fft::kSmallLimit[0]) {
        Dir::small(order, src, dst, scale ? &spec->factor : nullptr);
        return sigOk;
    }
    cf32* work;
    uint8_t* owned;
    if (!fftTakeWork(spec, workBuf, &work, &owned))
        return sigErrMemory;
    if (order > 10) {
        Dir::large(spec, src, dst, order, work);
    } else {
        const int32_t n = 1 << order;
        plainBitRev(spec, src, dst, n);
        Dir::radix(dst, n, fft::fftTable<float>(spec, spec->twiddles));
        if (scale)
            plainScale(spec->factor, reinterpret_cast<float*>(dst), 2 * n);
    }
    sigFree(owned);
    return sigOk;
}

}  // namespace sig::SIG_NS
