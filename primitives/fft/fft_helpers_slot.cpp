// Large-order helpers of the vector slots 1 to 4 (slots 5 and 6 keep theirs with their kernels):
// 64 x 64 tiles moved between a strided complex matrix and a contiguous buffer, and one radix-4
// pass over columns held in the blocked split layout, in either direction.
//
// Blocked split layout: complex values grouped by four into 32-byte blocks, the four real parts
// then the four imaginary parts, so a column pass works on whole vectors with no shuffles.
//
// The pass is the middle-order radix-4 butterfly (fft/sse/radix4_blocks.h) and the shared last column
// pass (fft/split_radix4.h) at 128 bits, products never fused: each output takes the operations
// of the complex product and butterfly of fft/plain/complex.h in the same order, so the four
// slots keep the results they had as scalar code.
#include "core/slot.h"

#if SIG_SLOT >= 1 && SIG_SLOT <= 4
#include "core/vector_simd.h"
#include "fft/fft_direction.h"
#include "fft/fft_kernels.h"
#include "fft/split_radix4.h"
#include "fft/sse/radix4_blocks.h"

namespace sig::SIG_NS {

namespace {

constexpr ptrdiff_t kChunk = 8;  // values moved at a time (64 bytes, four 16-byte moves)

inline ptrdiff_t roundedWidth(int32_t width)
{
    return width <= kChunk ? kChunk : (width + kChunk - 1) / kChunk * kChunk;
}

}  // namespace

// Rows of the rounded width, 8 values at a time; either side may be only 8-byte aligned (a
// matrix row starts wherever its column does).
void sigkFftTileGather_cf32(const cf32* src, cf32* dst, int32_t stride, int32_t rows, int32_t width)
{
    const ptrdiff_t w = roundedWidth(width);
    for (int32_t r = 0; r < rows; ++r) {
        const float* in = &src[ptrdiff_t{r} * stride].re;
        float* out = &dst[ptrdiff_t{r} * w].re;
        // The next row's stretch is requested while this one moves: rows lie a whole matrix row
        // apart, too far for the hardware prefetcher to follow.
        const char* next = reinterpret_cast<const char*>(in + (r + 1 < rows ? 2 * ptrdiff_t{stride} : 0));
        for (ptrdiff_t c = 0; c < 2 * w; c += 2 * kChunk) {
            _mm_prefetch(next + 4 * c, _MM_HINT_T0);
            const __m128 a = F4::loadu(in + c), b = F4::loadu(in + c + 4);
            const __m128 d = F4::loadu(in + c + 8), e = F4::loadu(in + c + 12);
            F4::storeu(out + c, a);
            F4::storeu(out + c + 4, b);
            F4::storeu(out + c + 8, d);
            F4::storeu(out + c + 12, e);
        }
    }
}

// With mode 1 each split block (4 real parts, then 4 imaginary parts) leaves as 4 interleaved
// values; any other mode copies.
void sigkFftTileScatter_cf32(cf32* dst, const cf32* src, int32_t stride, int32_t rows,
                             int32_t width, int32_t mode)
{
    const ptrdiff_t w = roundedWidth(width);
    for (int32_t r = 0; r < rows; ++r) {
        float* out = &dst[ptrdiff_t{r} * stride].re;
        const float* in = &src[ptrdiff_t{r} * w].re;
        for (ptrdiff_t c = 0; c < 2 * w; c += 2 * kChunk) {
            __m128 a = F4::loadu(in + c), b = F4::loadu(in + c + 4);
            __m128 d = F4::loadu(in + c + 8), e = F4::loadu(in + c + 12);
            if (mode == 1) {
                const __m128 re0 = a, im0 = b, re1 = d, im1 = e;
                a = _mm_unpacklo_ps(re0, im0);
                b = _mm_unpackhi_ps(re0, im0);
                d = _mm_unpacklo_ps(re1, im1);
                e = _mm_unpackhi_ps(re1, im1);
            }
            F4::storeu(out + c, a);
            F4::storeu(out + c + 4, b);
            F4::storeu(out + c + 8, d);
            F4::storeu(out + c + 12, e);
        }
    }
}

namespace {

// One radix-4 column pass of either direction over count groups of 4a values (a a multiple of
// 8), tile and factors 16-byte aligned. Several groups: every group reads the same 3a factors,
// records of 24 floats per 4 positions (w^k, w^2k, w^3k); one group: the last pass.
template <fft::Dir D>
void radix4Cols(float* data, int32_t a, int32_t count, const float* twiddles)
{
    if (count < 1)
        return;
    if (count == 1) {
        lastColumnPass<F4, D, false>(data, a, twiddles);
        return;
    }
    const ptrdiff_t quarter = 2 * ptrdiff_t{a};  // floats
    for (int32_t g = 0; g < count; ++g) {
        float* group = data + g * 4 * quarter;
        for (ptrdiff_t k = 0; k < a; k += 4)
            sse::butterflyInPlace<D>(group + 2 * k, quarter, twiddles + 6 * k);
    }
}

}  // namespace

void sigkFftRadix4Cols_cf32(float* data, float*, int32_t a, int32_t count, const float* twiddles)
{
    radix4Cols<fft::Dir::Fwd>(data, a, count, twiddles);
}

void sigkFftRadix4ColsInv_cf32(float* data, float*, int32_t a, int32_t count, const float* twiddles)
{
    radix4Cols<fft::Dir::Inv>(data, a, count, twiddles);
}

}  // namespace sig::SIG_NS
#endif
