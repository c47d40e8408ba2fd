// The large-order helpers of slots 5 and 6: the radix-4 column pass of either direction (see
// fft/avx/columns.h) and the tile moves between a strided complex matrix and a contiguous tile,
// shared by the bit reversal and the column phase of both directions.
#include "core/slot.h"

#if SIG_SLOT >= 5
#include "fft/avx/columns.h"
#include "fft/fft_kernels.h"

namespace sig::SIG_NS {

namespace {
constexpr bool kFma = SIG_SLOT >= 6;
}

void sigkFftRadix4Cols_cf32(float* data, float*, int32_t t, int32_t groups, const float* twiddles)
{
    avx::columnPass<fft::Dir::Fwd, kFma>(data, t, groups, twiddles);
}

void sigkFftRadix4ColsInv_cf32(float* data, float*, int32_t t, int32_t groups, const float* twiddles)
{
    avx::columnPass<fft::Dir::Inv, kFma>(data, t, groups, twiddles);
}

// Rows of width points (a multiple of 16), 16 at a time; either side may be only 8-byte aligned.
void sigkFftTileGather_cf32(const cf32* src, cf32* dst, int32_t stride, int32_t rows, int32_t width)
{
    for (int32_t r = 0; r < rows; ++r) {
        const float* in = &src[ptrdiff_t{r} * stride].re;
        float* out = &dst[ptrdiff_t{r} * width].re;
        for (ptrdiff_t c = 0; c < 2 * ptrdiff_t{width}; c += 32) {
            const __m256 a = _mm256_loadu_ps(in + c), b = _mm256_loadu_ps(in + c + 8);
            const __m256 d = _mm256_loadu_ps(in + c + 16), e = _mm256_loadu_ps(in + c + 24);
            _mm256_storeu_ps(out + c, a);
            _mm256_storeu_ps(out + c + 8, b);
            _mm256_storeu_ps(out + c + 16, d);
            _mm256_storeu_ps(out + c + 24, e);
        }
    }
}

// The reverse move, 8 points at a time (width a multiple of 8); with interleave set each split
// block of 8 real then 8 imaginary parts leaves as 8 interleaved points.
void sigkFftTileScatter_cf32(cf32* dst, const cf32* src, int32_t stride, int32_t rows, int32_t width,
                             int32_t interleave)
{
    for (int32_t r = 0; r < rows; ++r) {
        float* out = &dst[ptrdiff_t{r} * stride].re;
        const float* in = &src[ptrdiff_t{r} * width].re;
        for (ptrdiff_t c = 0; c < 2 * ptrdiff_t{width}; c += 16) {
            __m256 a = _mm256_loadu_ps(in + c), b = _mm256_loadu_ps(in + c + 8);
            if (interleave != 0) {
                const __m256 lo = _mm256_unpacklo_ps(a, b), hi = _mm256_unpackhi_ps(a, b);
                a = avx::lowHalves(lo, hi);
                b = avx::highHalves(lo, hi);
            }
            _mm256_storeu_ps(out + c, a);
            _mm256_storeu_ps(out + c + 8, b);
        }
    }
}

}  // namespace sig::SIG_NS
#endif
