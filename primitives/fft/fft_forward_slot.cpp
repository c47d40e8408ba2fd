// The forward transform entry sigFftFwd_cf32 of each slot.
//
//     sigFftFwd_cf32(src, dst, spec, nullptr);   // allocates a work buffer when the spec needs one
//
// Checks: spec NULL -8, tag -17, src NULL -8, dst NULL -8; then the small orders go through the
// small-order kernels, the others take a work buffer (the caller's from its 64-byte boundary, or
// one allocated for the call: -9 when that fails, dst untouched) and run the direct or the large
// path of the slot's table layout.
#include "fft/fft_kernels.h"
#include "fft/fft_plain.h"
#include "fft/plain_transform.h"

#define SIG_LIST "core/core_list.h"
#include "core/slot_decls.h"
#define SIG_LIST "fft/fft_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

using fft::fftTable;

sigStatus fftCheckArgs(const cf32* src, const cf32* dst, const sigFftSpec_cf32* spec)
{
    if (spec == nullptr)
        return sigErrNull;
    if (spec->tag != fft::kFftSpecTag)
        return sigErrTag;
    if (src == nullptr || dst == nullptr)
        return sigErrNull;
    return sigOk;
}

bool fftTakeWork(const sigFftSpec_cf32* spec, uint8_t* workBuf, cf32** work, uint8_t** owned)
{
    *work = nullptr;
    *owned = nullptr;
    if (spec->workBytes <= 0)
        return true;
    if (workBuf == nullptr) {
        *owned = sigMalloc_u8(spec->workBytes);
        if (*owned == nullptr)
            return false;
        workBuf = *owned;
    }
    *work = reinterpret_cast<cf32*>(fft::fftAlign64(workBuf));
    return true;
}

namespace {
struct Forward {
    static bool scaled(const sigFftSpec_cf32* spec) { return spec->fwdScale != 0; }
    static constexpr auto small = plainSmallFwd;
    static constexpr auto radix = plainRadixFwd;
    static constexpr auto large = plainFwdLarge;
};
}  // namespace

sigStatus plainFwd(const cf32* src, cf32* dst, const sigFftSpec_cf32* spec, uint8_t* workBuf)
{
    return plainTransform<Forward>(src, dst, spec, workBuf);
}

#if SIG_SLOT >= 1
namespace {

// The vector kernels of this slot: fused bit reversal and passes up to the slot's direct limit
// (slots 1 and 3 do order 15 as bit reversal and radix passes), the large driver above. A
// template, so that nothing of it is compiled before the slot runs its own table layout.
template <int32_t Layout>
sigStatus vectorFwd(const cf32* src, cf32* dst, const sigFftSpec_cf32* spec, uint8_t* workBuf)
{
    if (const sigStatus st = fftCheckArgs(src, dst, spec); st != sigOk)
        return st;
    const int32_t order = spec->order;
    if (order <= fft::kSmallLimit[Layout]) {
        if (spec->fwdScale != 0)
            sigkFftSmallTable_cf32.scaled[order](src, dst, spec->factor);
        else
            sigkFftSmallTable_cf32.unscaled[order](src, dst);
        return sigOk;
    }
    cf32* work;
    uint8_t* owned;
    if (!fftTakeWork(spec, workBuf, &work, &owned))
        return sigErrMemory;
    const int32_t n = 1 << order;
    const float* twiddles = fftTable<float>(spec, spec->twiddles);
    const int32_t* bitRev = fftTable<int32_t>(spec, spec->bitRev);
    if (order > fft::kDirectLimit[Layout]) {
        sigkFftFwdLarge_cf32(spec, src, dst, order, work);
    } else {
#if SIG_SLOT == 1 || SIG_SLOT == 3
        if (order == 15) {
            if (src == dst)
                sigkBitRevInPlace_cf32(dst, n, bitRev);
            else
                sigkBitRevCopy_cf32(src, dst, n, bitRev);
            sigkFftRadixFwd_cf32(dst, n, twiddles, work, 1);
        } else
#endif
        {
            sigkFftFwdFused_cf32(src, dst, n, twiddles, bitRev, work);
        }
        if (spec->fwdScale != 0)
            sigkScale_f32(spec->factor, reinterpret_cast<float*>(dst), 2 * n);
    }
    sigFree(owned);
    return sigOk;
}

}  // namespace
#endif

sigStatus sigFftFwd_cf32(const cf32* src, cf32* dst, const sigFftSpec_cf32* spec, uint8_t* workBuf)
{
#if SIG_SLOT >= 1
    if constexpr (kFftLayout != 0)
        return vectorFwd<kFftLayout>(src, dst, spec, workBuf);
#endif
    return plainFwd(src, dst, spec, workBuf);
}

}  // namespace sig::SIG_NS
