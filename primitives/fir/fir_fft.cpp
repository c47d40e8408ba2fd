// FFT-mode block convolution of single-rate records (overlap-save), with the spectrum multiply
// and the inverse transform entry that it calls, for one slot.
//
// Block b holds N consecutive samples of z, the T-1 newest history samples followed by the
// input, starting at z[bB] (B = N - T + 1); after the forward transform, the product with the
// filter spectrum and the inverse transform (scaled by 1/N by the record's FFT plan), block
// positions T-1 .. N-1 are the outputs bB .. bB + B - 1. Blocks are gathered from z rather than
// addressed as input + bB - (T-1), so no block reads before the caller's input when the FFT is
// shorter than twice the taps; for the same reason the new history (the last T samples of z) is
// written after the last block.
#include "core/memory_kernels.h"
#include "core/vector_kernels.h"
#include "fft/plain/inverse_kernels.h"
#include "fft/vector_transform.h"
#include "fir/fir_kernels.h"

#define SIG_LIST "core/core_list.h"
#include "core/slot_decls.h"
#define SIG_LIST "fft/fft_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

namespace {

void copyValues(const cf32* src, cf32* dst, int64_t count)
{
    if (count > 0)
        sigkCopy_u8(src, dst, static_cast<int32_t>(8 * count));  // at most one FFT block
}

// z[p .. p + count - 1] into block, where z is history[0 .. T-2] followed by src.
void gather(const cf32* history, const cf32* src, int64_t T, int64_t p, int64_t count, cf32* block)
{
    const int64_t fromHistory = p < T - 1 ? (T - 1 - p < count ? T - 1 - p : count) : 0;
    copyValues(history + p, block, fromHistory);
    const int64_t s = p + fromHistory - (T - 1);
    copyValues(src + s, block + fromHistory, count - fromHistory);
}

}  // namespace

sigStatus sigkMulInPlace_cf32(const cf32* src, cf32* srcDst, int32_t len)
{
    if (src == nullptr || srcDst == nullptr)
        return sigErrNull;
    if (len <= 0)
        return sigErrLength;
    sigkMulInPlaceRaw_cf32(src, srcDst, len);
    return sigOk;
}

#if SIG_SLOT >= 1
namespace {
struct VectorInverse {
    static bool scaled(const sigFftSpec_cf32* spec) { return spec->invScale != 0; }
    static const FftSmallTable& small() { return sigkFftInvSmallTable_cf32; }
    static constexpr auto fused = sigkFftInvFused_cf32;
#if SIG_SLOT <= 4
    static constexpr auto radix = sigkFftRadixInv_cf32;
#endif
    static constexpr auto large = sigkFftInvLarge_cf32;
};
}  // namespace
#endif

sigStatus sigkFftInv_cf32(const cf32* src, cf32* dst, const sigFftSpec_cf32* spec, uint8_t* workBuf)
{
#if SIG_SLOT >= 1
    if (const sigStatus st = fftCheckArgs(src, dst, spec); st != sigOk)
        return st;
    return vectorTransform<VectorInverse>(src, dst, spec, workBuf);
#else
    return plainInv(src, dst, spec, workBuf);
#endif
}

sigStatus sigkFirFftBlock_cf32(sigFirRecord_cf32* rec, const cf32* src, cf32* dst, int32_t len)
{
    const int64_t T = rec->tapsLen, N = rec->fftLen, B = N - T + 1;
    const sigFftSpec_cf32* spec = rec->fftSpec;
    cf32* block = rec->fftBuf;
    cf32* d = rec->dlyLine + rec->dlyOffset;
    rec->dlyOffset = 0;
    const cf32* history = d + 1;  // the oldest of the T history samples is never used

    for (int64_t p = 0; p < len; p += B) {
        const int64_t outputs = len - p < B ? len - p : B;
        const int64_t available = T - 1 + len - p;  // z values from p to the end
        sigStatus st;
        if (p >= T - 1 && available >= N) {
            st = SIG_NS::sigFftFwd_cf32(src + (p - (T - 1)), block, spec, rec->fftWork);
        } else {
            const int64_t count = available < N ? available : N;
            gather(history, src, T, p, count, block);
            if (count < N)
                sigkZero_f32(&block[count].re, static_cast<int32_t>(2 * (N - count)));
            st = SIG_NS::sigFftFwd_cf32(block, block, spec, rec->fftWork);
        }
        if (st != sigOk)
            return st;
        sigkMulInPlace_cf32(rec->fftTaps, block, static_cast<int32_t>(N));
        st = sigkFftInv_cf32(block, block, spec, rec->fftWork);
        if (st != sigOk)
            return st;
        copyValues(block + (T - 1), dst + p, outputs);
    }

    // The next call's history: the last T samples of z.
    if (len >= T) {
        copyValues(src + (len - T), rec->dlyLine, T);
    } else {
        sigkMove_cf32(d + len, rec->dlyLine, static_cast<int32_t>(T - len));
        copyValues(src, rec->dlyLine + (T - len), len);
    }
    return sigOk;
}

}  // namespace sig::SIG_NS
