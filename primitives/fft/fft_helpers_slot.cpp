// Large-order helpers of the vector slots 1 to 4 (slots 5 and 6 keep theirs with their kernels):
// 64 x 64 tiles moved between a strided complex matrix and a contiguous buffer, and one radix-4
// pass over columns held in the blocked split layout, in either direction.
//
// Blocked split layout: complex values grouped by four into 32-byte blocks, the four real parts
// then the four imaginary parts, so a column pass needs no shuffles inside its butterflies.
#include "fft/plain/complex.h"
#include "fft/fft_direction.h"
#include "fft/fft_kernels.h"

namespace sig::SIG_NS {

#if SIG_SLOT >= 1 && SIG_SLOT <= 4

namespace {

constexpr int32_t kChunk = 8;  // values moved at a time (64 bytes)

inline int32_t roundedWidth(int32_t width)
{
    return width <= kChunk ? kChunk : (width + kChunk - 1) / kChunk * kChunk;
}

// Value k of the blocked split array at p.
inline cf32 loadSplit(const float* p, ptrdiff_t k)
{
    const float* block = p + (k >> 2) * 8;
    return {block[k & 3], block[4 + (k & 3)]};
}
inline void storeSplit(float* p, ptrdiff_t k, cf32 v)
{
    float* block = p + (k >> 2) * 8;
    block[k & 3] = v.re;
    block[4 + (k & 3)] = v.im;
}

// Four factors of a table run (re of four, then im of four) at lane i.
inline cf32 factorAt(const float* run, int32_t i) { return {run[i], run[4 + i]}; }

}  // namespace

void sigkFftTileGather_cf32(const cf32* src, cf32* dst, int32_t stride, int32_t rows, int32_t width)
{
    const int32_t w = roundedWidth(width);
    for (int32_t r = 0; r < rows; ++r) {
        const cf32* row = src + static_cast<ptrdiff_t>(r) * stride;
        cf32* out = dst + static_cast<ptrdiff_t>(r) * w;
        for (int32_t c = 0; c < w; c += kChunk)
            for (int32_t i = 0; i < kChunk; ++i)
                out[c + i] = row[c + i];
    }
}

void sigkFftTileScatter_cf32(cf32* dst, const cf32* src, int32_t stride, int32_t rows,
                             int32_t width, int32_t mode)
{
    const int32_t w = roundedWidth(width);
    for (int32_t r = 0; r < rows; ++r) {
        cf32* row = dst + static_cast<ptrdiff_t>(r) * stride;
        const cf32* in = src + static_cast<ptrdiff_t>(r) * w;
        for (int32_t c = 0; c < w; c += kChunk)
            for (int32_t i = 0; i < kChunk; ++i)
                row[c + i] = mode == 1 ? loadSplit(reinterpret_cast<const float*>(in), c + i) : in[c + i];
    }
}

namespace {

// The factor as the direction multiplies by it: stored forward (e^-j), conjugated for the inverse.
template <fft::Dir D>
inline cf32 factor(cf32 w)
{
    return D == fft::Dir::Fwd ? w : cf32{w.re, -w.im};
}
// The quarter turn of the direction (-j forward, +j inverse) and its opposite.
template <fft::Dir D>
inline cf32 turn(cf32 a)
{
    return D == fft::Dir::Fwd ? timesMinusJ(a) : timesJ(a);
}
template <fft::Dir D>
inline cf32 turnBack(cf32 a)
{
    return D == fft::Dir::Fwd ? timesJ(a) : timesMinusJ(a);
}

// One radix-4 column pass of either direction; see sigkFftRadix4Cols_cf32.
template <fft::Dir D>
void radix4Cols(float* data, int32_t a, int32_t count, const float* twiddles)
{
    if (count < 1)
        return;
    const ptrdiff_t quarter = a;
    if (count >= 2) {
        for (int32_t g = 0; g < count; ++g) {
            float* group = data + static_cast<ptrdiff_t>(g) * 8 * a;
            const float* tw = twiddles;
            for (ptrdiff_t k0 = 0; k0 < quarter; k0 += 4, tw += 24) {
                for (int32_t i = 0; i < 4; ++i) {
                    const ptrdiff_t k = k0 + i;
                    const cf32 a0 = loadSplit(group, k);
                    const cf32 a1 = factor<D>(factorAt(tw, i)) * loadSplit(group, 2 * quarter + k);
                    const cf32 a2 = factor<D>(factorAt(tw + 8, i)) * loadSplit(group, quarter + k);
                    const cf32 a3 = factor<D>(factorAt(tw + 16, i)) * loadSplit(group, 3 * quarter + k);
                    const cf32 s02 = a0 + a2, d02 = a0 - a2, s13 = a1 + a3, d13 = a1 - a3;
                    storeSplit(group, k, s02 + s13);
                    storeSplit(group, quarter + k, d02 + turn<D>(d13));
                    storeSplit(group, 2 * quarter + k, s02 - s13);
                    storeSplit(group, 3 * quarter + k, d02 + turnBack<D>(d13));
                }
            }
        }
        return;
    }
    // The final pass keeps w^k and w^2k for the first half of a quarter only; the second half
    // turns them by w^(a/2) = e^(-j*pi/4) and w^a = -j (before the inverse conjugates them).
    constexpr float kHalfRoot2 = 0.70710677f;
    const float* tw = twiddles;
    for (ptrdiff_t k0 = 0; k0 < (quarter + 7) / 8 * 4; k0 += 4, tw += 16) {
        for (int32_t i = 0; i < 4; ++i) {
            const cf32 w1 = factorAt(tw, i), w2 = factorAt(tw + 8, i);
            const cf32 w1h = {(w1.re + w1.im) * kHalfRoot2, (w1.im - w1.re) * kHalfRoot2};
            const cf32 w2h = timesMinusJ(w2);
            for (int32_t half = 0; half < 2; ++half) {
                const ptrdiff_t k = k0 + i + half * (quarter / 2);
                const cf32 f1 = factor<D>(half == 0 ? w1 : w1h), f2 = factor<D>(half == 0 ? w2 : w2h);
                const cf32 x0 = loadSplit(data, k), x1 = loadSplit(data, quarter + k);
                const cf32 x2 = loadSplit(data, 2 * quarter + k), x3 = loadSplit(data, 3 * quarter + k);
                const cf32 b1 = f2 * x1, b3 = f2 * x3;
                const cf32 s01 = x0 + b1, d01 = x0 - b1;
                const cf32 s23 = f1 * (x2 + b3), d23 = f1 * (x2 - b3);
                storeSplit(data, k, s01 + s23);
                storeSplit(data, 2 * quarter + k, s01 - s23);
                storeSplit(data, quarter + k, d01 + turn<D>(d23));
                storeSplit(data, 3 * quarter + k, d01 + turnBack<D>(d23));
            }
        }
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

#endif

}  // namespace sig::SIG_NS
