// The fused transforms of slots 5 and 6, orders 7 to 18, and their named kernels, both
// directions (bodies in fft/avx/fused.h, schedule in fft/avx/schedule.h). Slot 6 fuses the
// products the kernels mark as fused; slot 5 rounds every product.
#include "core/slot.h"

#if SIG_SLOT >= 5
#include "fft/avx/schedule.h"
#include "fft/fft_kernels.h"

namespace sig::SIG_NS {

namespace {
constexpr bool kFma = SIG_SLOT >= 6;
constexpr fft::Dir kFwd = fft::Dir::Fwd, kInv = fft::Dir::Inv;
}  // namespace

void sigkFftFwdFused_cf32(const cf32* src, cf32* dst, int32_t n, const float* twiddles,
                          const int32_t* bitRevTable, cf32* work)
{
    avx::fusedTransform<kFwd, kFma>(src, dst, n, twiddles, bitRevTable, work);
}

void sigkFftInvFused_cf32(const cf32* src, cf32* dst, int32_t n, const float* twiddles,
                          const int32_t* bitRevTable, cf32* work)
{
    avx::fusedTransform<kInv, kFma>(src, dst, n, twiddles, bitRevTable, work);
}

void sigkFftFusedFirstEvenFwd_cf32(const cf32* src, float* area, const int32_t* bitRevTable, int32_t n)
{
    avx::firstEven<kFwd>(src, area, bitRevTable, n);
}

void sigkFftFusedFirstEvenInv_cf32(const cf32* src, float* area, const int32_t* bitRevTable, int32_t n)
{
    avx::firstEven<kInv>(src, area, bitRevTable, n);
}

void sigkFftFusedFirstOddFwd_cf32(const cf32* src, float* area, const int32_t* bitRevTable, int32_t n)
{
    avx::firstOdd<kFwd, kFma>(src, area, bitRevTable, n);
}

void sigkFftFusedFirstOddInv_cf32(const cf32* src, float* area, const int32_t* bitRevTable, int32_t n)
{
    avx::firstOdd<kInv, kFma>(src, area, bitRevTable, n);
}

void sigkFftRadix4EarlyFwd_cf32(float* area, const float* twiddles, int32_t m)
{
    avx::earlyEven<kFwd, kFma>(area, twiddles, m);
}

void sigkFftRadix4EarlyInv_cf32(float* area, const float* twiddles, int32_t m)
{
    avx::earlyEven<kInv, kFma>(area, twiddles, m);
}

void sigkFftRadix4EarlyOddFwd_cf32(float* area, const float* twiddles, int32_t m)
{
    avx::earlyOdd<kFwd, kFma>(area, twiddles, m);
}

void sigkFftRadix4EarlyOddInv_cf32(float* area, const float* twiddles, int32_t m)
{
    avx::earlyOdd<kInv, kFma>(area, twiddles, m);
}

void sigkFftRadix4PassFwd_cf32(float* area, const float* twiddles, int32_t s, int32_t count)
{
    avx::radix4Pass<kFwd, kFma>(area, twiddles, s, count);
}

void sigkFftRadix4PassInv_cf32(float* area, const float* twiddles, int32_t s, int32_t count)
{
    avx::radix4Pass<kInv, kFma>(area, twiddles, s, count);
}

const float* sigkFftFusedQuarterFwd_cf32(float* area, int32_t m, const float* twiddles)
{
    return avx::fusedQuarter<kFwd>(area, m, twiddles);
}

const float* sigkFftFusedQuarterInv_cf32(float* area, int32_t m, const float* twiddles)
{
    return avx::fusedQuarter<kInv>(area, m, twiddles);
}

}  // namespace sig::SIG_NS
#endif
