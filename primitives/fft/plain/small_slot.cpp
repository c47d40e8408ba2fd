// Forward transforms of 1 to 32 points without tables: natural order in and out, every input read
// before an output is written (src == dst is allowed). One radix-2 description serves every size;
// the scaled forms multiply every first-stage sum and difference by the factor.
#include "fft/plain/complex.h"
#include "fft/fft_kernels.h"
#include "fft/fft_plain.h"

namespace sig::SIG_NS {

namespace {

// cos(pi*k/16), k = 0..8, as single-precision constants.
constexpr float kCos16[9] = {1.0f,       0.98078525f, 0.9238795f,  0.8314696f, 0.70710677f,
                             0.55557024f, 0.38268343f, 0.19509032f, 0.0f};

// w_32^k = e^(-j*2*pi*k/32) for k = 0..15 (cos, -sin).
constexpr cf32 w32(int32_t k)
{
    return k <= 8 ? cf32{kCos16[k], -kCos16[8 - k]} : cf32{-kCos16[16 - k], -kCos16[k - 8]};
}
constexpr cf32 kW32[16] = {w32(0), w32(1), w32(2),  w32(3),  w32(4),  w32(5),  w32(6),  w32(7),
                           w32(8), w32(9), w32(10), w32(11), w32(12), w32(13), w32(14), w32(15)};

constexpr int32_t reverseBits(int32_t x, int32_t bits)
{
    int32_t r = 0;
    for (int32_t b = 0; b < bits; ++b)
        r |= ((x >> b) & 1) << (bits - 1 - b);
    return r;
}

template <int32_t Order, bool Scaled>
void smallFwd(const cf32* src, cf32* dst, float factor)
{
    constexpr int32_t n = 1 << Order;
    cf32 x[n];
#pragma GCC unroll 32
    for (int32_t i = 0; i < n; ++i)
        x[reverseBits(i, Order)] = src[i];
    if constexpr (n == 1) {
        dst[0] = Scaled ? scaled(x[0], factor) : x[0];
        return;
    } else {
#pragma GCC unroll 16
        for (int32_t i = 0; i < n; i += 2) {
            const cf32 s = x[i] + x[i + 1], d = x[i] - x[i + 1];
            x[i] = Scaled ? scaled(s, factor) : s;
            x[i + 1] = Scaled ? scaled(d, factor) : d;
        }
#pragma GCC unroll 8
        for (int32_t span = 2; span < n; span *= 2) {
#pragma GCC unroll 16
            for (int32_t g = 0; g < n; g += 2 * span) {
#pragma GCC unroll 16
                for (int32_t k = 0; k < span; ++k) {
                    const cf32 a = x[g + k];
                    const cf32 b = k == 0 ? x[g + span + k] : kW32[k * 16 / span] * x[g + span + k];
                    x[g + k] = a + b;
                    x[g + span + k] = a - b;
                }
            }
        }
#pragma GCC unroll 32
        for (int32_t i = 0; i < n; ++i)
            dst[i] = x[i];
    }
}

template <int32_t Order>
void unscaledKernel(const cf32* src, cf32* dst)
{
    smallFwd<Order, false>(src, dst, 1.0f);
}

template <int32_t Order>
void scaledKernel(const cf32* src, cf32* dst, float factor)
{
    smallFwd<Order, true>(src, dst, factor);
}

}  // namespace

// The plain small transforms of this slot's translation unit (order 0 to 5); factor NULL: unscaled.
void plainSmallFwd(int32_t order, const cf32* src, cf32* dst, const float* factor)
{
    static constexpr FftSmallKernel kUnscaled[6] = {unscaledKernel<0>, unscaledKernel<1>,
                                                    unscaledKernel<2>, unscaledKernel<3>,
                                                    unscaledKernel<4>, unscaledKernel<5>};
    static constexpr FftSmallScaledKernel kScaled[6] = {scaledKernel<0>, scaledKernel<1>,
                                                        scaledKernel<2>, scaledKernel<3>,
                                                        scaledKernel<4>, scaledKernel<5>};
    if (factor != nullptr)
        kScaled[order](src, dst, *factor);
    else
        kUnscaled[order](src, dst);
}

#if SIG_SLOT == 0

void sigkFftN1_cf32(const cf32* src, cf32* dst) { unscaledKernel<0>(src, dst); }
void sigkFftN2_cf32(const cf32* src, cf32* dst) { unscaledKernel<1>(src, dst); }
void sigkFftFwdN4_cf32(const cf32* src, cf32* dst) { unscaledKernel<2>(src, dst); }
void sigkFftFwdN8_cf32(const cf32* src, cf32* dst) { unscaledKernel<3>(src, dst); }
void sigkFftFwdN16_cf32(const cf32* src, cf32* dst) { unscaledKernel<4>(src, dst); }
void sigkFftFwdN32_cf32(const cf32* src, cf32* dst) { unscaledKernel<5>(src, dst); }
void sigkFftN1Scaled_cf32(const cf32* src, cf32* dst, float f) { scaledKernel<0>(src, dst, f); }
void sigkFftN2Scaled_cf32(const cf32* src, cf32* dst, float f) { scaledKernel<1>(src, dst, f); }
void sigkFftFwdN4Scaled_cf32(const cf32* src, cf32* dst, float f) { scaledKernel<2>(src, dst, f); }
void sigkFftFwdN8Scaled_cf32(const cf32* src, cf32* dst, float f) { scaledKernel<3>(src, dst, f); }
void sigkFftFwdN16Scaled_cf32(const cf32* src, cf32* dst, float f) { scaledKernel<4>(src, dst, f); }
void sigkFftFwdN32Scaled_cf32(const cf32* src, cf32* dst, float f) { scaledKernel<5>(src, dst, f); }

const FftSmallTable sigkFftSmallTable_cf32 = {
    {sigkFftN1_cf32, sigkFftN2_cf32, sigkFftFwdN4_cf32, sigkFftFwdN8_cf32, sigkFftFwdN16_cf32,
     sigkFftFwdN32_cf32},
    {sigkFftN1Scaled_cf32, sigkFftN2Scaled_cf32, sigkFftFwdN4Scaled_cf32, sigkFftFwdN8Scaled_cf32,
     sigkFftFwdN16Scaled_cf32, sigkFftFwdN32Scaled_cf32},
};

#endif

}  // namespace sig::SIG_NS
