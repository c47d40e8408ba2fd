// The row transforms of the large orders on slots 5 and 6, their quarter recursion and first
// passes, both directions: rows of 2^15 to 2^18 points already in bit-reversed order (bodies in
// fft/avx/fused.h, schedule in fft/avx/schedule.h). Slot 6 fuses the products the kernels mark as
// fused; slot 5 rounds every product.
#include "core/slot.h"

#if SIG_SLOT >= 5
#include "fft/avx/schedule.h"
#include "fft/fft_kernels.h"

namespace sig::SIG_NS {

namespace {
constexpr bool kFma = SIG_SLOT >= 6;
constexpr fft::Dir kFwd = fft::Dir::Fwd, kInv = fft::Dir::Inv;
}  // namespace

void sigkFftRadixFwd_cf32(cf32* data, int32_t n, const float* twiddles, cf32* work, int32_t flag)
{
    avx::blockTransform<kFwd, kFma>(data, n, twiddles, work, flag == 1);
}

void sigkFftRadixInv_cf32(cf32* data, int32_t n, const float* twiddles, cf32* work, int32_t flag)
{
    avx::blockTransform<kInv, kFma>(data, n, twiddles, work, flag == 1);
}

const float* sigkFftRadixQuarterFwd_cf32(const cf32* src, int32_t m, const float* twiddles, float* dst)
{
    return avx::rowQuarter<kFwd>(src, m, twiddles, dst);
}

const float* sigkFftRadixQuarterInv_cf32(const cf32* src, int32_t m, const float* twiddles, float* dst)
{
    return avx::rowQuarter<kInv>(src, m, twiddles, dst);
}

void sigkFftRadixFirstEvenFwd_cf32(const cf32* src, float* dst, int32_t m)
{
    avx::firstEvenRun<kFwd>(src, dst, m);
}

void sigkFftRadixFirstEvenInv_cf32(const cf32* src, float* dst, int32_t m)
{
    avx::firstEvenRun<kInv>(src, dst, m);
}

void sigkFftRadixFirstOddFwd_cf32(const cf32* src, float* dst, int32_t m)
{
    avx::firstOddRun<kFwd, kFma>(src, dst, m);
}

void sigkFftRadixFirstOddInv_cf32(const cf32* src, float* dst, int32_t m)
{
    avx::firstOddRun<kInv, kFma>(src, dst, m);
}

}  // namespace sig::SIG_NS
#endif
