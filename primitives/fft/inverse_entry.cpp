// The plain inverse transform: checks, small orders, work buffer, direct or large path.
#include "fft/inverse_kernels.h"

#define SIG_LIST "core/core_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

using fft::fftTable;

sigStatus plainInv(const cf32* src, cf32* dst, const sigFftSpec_cf32* spec, uint8_t* workBuf)
{
    if (const sigStatus st = fftCheckArgs(src, dst, spec); st != sigOk)
        return st;
    const int32_t order = spec->order;
    if (order <= fft::kSmallLimit[0]) {
        plainSmallInv(order, src, dst, spec->invScale != 0 ? &spec->factor : nullptr);
        return sigOk;
    }
    cf32* work;
    uint8_t* owned;
    if (!fftTakeWork(spec, workBuf, &work, &owned))
        return sigErrMemory;
    if (order > 10) {
        plainInvLarge(spec, src, dst, order, work);
    } else {
        const int32_t n = 1 << order;
        const int32_t* bitRev = fftTable<int32_t>(spec, spec->bitRev);
        if (src == dst)
            plainBitRevInPlace(dst, n, bitRev);
        else
            plainBitRevCopy(src, dst, n, bitRev);
        plainRadixInv(dst, n, fftTable<float>(spec, spec->twiddles));
        if (spec->invScale != 0)
            plainScale(spec->factor, reinterpret_cast<float*>(dst), 2 * n);
    }
    SIG_NS::sigFree(owned);
    return sigOk;
}

}  // namespace sig::SIG_NS
