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
#include "fft/plain/transform.h"
#include "fft/vector_transform.h"

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
struct VectorForward {
    static bool scaled(const sigFftSpec_cf32* spec) { return spec->fwdScale != 0; }
    static const FftSmallTable& small() { return sigkFftSmallTable_cf32; }
    static constexpr auto fused = sigkFftFwdFused_cf32;
#if SIG_SLOT <= 4
    static constexpr auto radix = sigkFftRadixFwd_cf32;
#endif
    static constexpr auto large = sigkFftFwdLarge_cf32;
};
}  // namespace
#endif

sigStatus sigFftFwd_cf32(const cf32* src, cf32* dst, const sigFftSpec_cf32* spec, uint8_t* workBuf)
{
#if SIG_SLOT >= 1
    if (const sigStatus st = fftCheckArgs(src, dst, spec); st != sigOk)
        return st;
    return vectorTransform<VectorForward>(src, dst, spec, workBuf);
#else
    return plainFwd(src, dst, spec, workBuf);
#endif
}

}  // namespace sig::SIG_NS
