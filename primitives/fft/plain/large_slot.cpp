// Plain forward transform of the large orders (11 to 27): the whole array is bit-reversed once,
// then either transformed as 1024-point blocks combined by radix-2 cross-block passes, or split
// (four-step) into 2^T rows done by the radix kernel (or recursively, or as blocks) and twiddled
// column transforms of 2^T points, four columns at a time through the work buffer. Every radix run
// stays within 1024 points. Scaling is applied once, at the leaves.
#include "fft/plain/complex.h"
#include "fft/fft_kernels.h"
#include "fft/fft_plain.h"

namespace sig::SIG_NS {

using fft::fftTable;
using fft::kSplitT;

namespace {

constexpr ptrdiff_t kBlock = 1024;

// Radix passes over one leaf of at most 1024 values, and its share of the scaling.
void leaf(const sigFftSpec_cf32* spec, cf32* data, int32_t n, bool scale)
{
    plainRadixFwd(data, n, fftTable<float>(spec, spec->twiddles));
    if (scale)
        plainScale(spec->factor, reinterpret_cast<float*>(data), 2 * n);
}

// 2048 or 4096 bit-reversed values: blocks of 1024, last to first, then the cross-block passes.
void blocked(const sigFftSpec_cf32* spec, cf32* data, ptrdiff_t total, bool scale)
{
    for (ptrdiff_t b = total - kBlock; b >= 0; b -= kBlock)
        leaf(spec, data + b, kBlock, scale);
    plainCrossBlock(data, total, kBlock, fftTable<float>(spec, spec->cross));
}

}  // namespace

void plainCrossBlock(cf32* data, ptrdiff_t total, ptrdiff_t blockLen, const float* twiddles)
{
    const cf32* w = reinterpret_cast<const cf32*>(twiddles);
    constexpr ptrdiff_t kGroup = 128;
    for (ptrdiff_t span = blockLen; span < total; span *= 2) {
        const ptrdiff_t stride = total / (2 * span);
        const ptrdiff_t half = span / 2;
        for (ptrdiff_t t0 = 0; t0 < half; t0 += kGroup) {
            for (ptrdiff_t base = 0; base < total; base += 2 * span) {
                cf32* a = data + base;
                cf32* b = a + span;
                for (ptrdiff_t t = t0; t < t0 + kGroup; ++t) {
                    const cf32 x = w[t * stride] * b[t];
                    const cf32 old = a[t];
                    a[t] = old + x;
                    b[t] = old - x;
                }
                // The second half's factor is the first half's times -j.
                for (ptrdiff_t t = t0; t < t0 + kGroup; ++t) {
                    const cf32 f = w[t * stride];
                    const cf32 y = b[half + t];
                    const cf32 x = {f.im * y.re + f.re * y.im, f.im * y.im - f.re * y.re};
                    const cf32 old = a[half + t];
                    a[half + t] = old + x;
                    b[half + t] = old - x;
                }
            }
        }
    }
}

void plainLargeSplit(const sigFftSpec_cf32* spec, cf32* data, int32_t order, int32_t depth,
                     cf32* work, bool scale)
{
    // The record has column tables for depths 0 to 2; the plain split table never goes below 1.
    if (depth > 2)
        __builtin_unreachable();
    const int32_t t = kSplitT[0][order];
    const int32_t s = order - t;
    const ptrdiff_t rows = ptrdiff_t{1} << t;
    const ptrdiff_t cols = ptrdiff_t{1} << s;

    for (ptrdiff_t r = 0; r < rows; ++r) {
        cf32* row = data + r * cols;
        if (s <= 10)
            leaf(spec, row, static_cast<int32_t>(cols), scale);
        else if (kSplitT[0][s] != 0)
            plainLargeSplit(spec, row, s, depth + 1, work, scale);
        else
            blocked(spec, row, cols, scale);
    }

    const cf32* factor = fftTable<cf32>(spec, spec->colTwiddles[depth]);
    const float* colRadix = fftTable<float>(spec, spec->colRadix[depth]);
    for (ptrdiff_t q0 = 0; q0 < cols; q0 += 4) {
        for (ptrdiff_t j = 0; j < rows; ++j) {
            const cf32* x = data + j * cols + q0;
            for (int32_t k = 0; k < 4; ++k)
                work[k * rows + j] = factor[k] * x[k];
            factor += 4;
        }
        for (int32_t k = 0; k < 4; ++k)
            plainRadixFwd(work + k * rows, static_cast<int32_t>(rows), colRadix);
        for (ptrdiff_t j = 0; j < rows; ++j) {
            cf32* x = data + j * cols + q0;
            for (int32_t k = 0; k < 4; ++k)
                x[k] = work[k * rows + j];
        }
    }
}

void plainLargePasses(const sigFftSpec_cf32* spec, cf32* data, int32_t order, cf32* work,
                      bool scale)
{
    if (kSplitT[0][order] != 0)
        plainLargeSplit(spec, data, order, 0, work, scale);
    else
        blocked(spec, data, ptrdiff_t{1} << order, scale);
}

void plainFwdLarge(const sigFftSpec_cf32* spec, const cf32* src, cf32* dst, int32_t order,
                   cf32* work)
{
    const ptrdiff_t n = ptrdiff_t{1} << order;
    plainBitRev(spec, src, dst, n);
    plainLargePasses(spec, dst, order, work, spec->fwdScale != 0);
}

#if SIG_SLOT == 0

void sigkFftFwdLarge_cf32(const sigFftSpec_cf32* spec, const cf32* src, cf32* dst, int32_t order,
                          cf32* work)
{
    plainFwdLarge(spec, src, dst, order, work);
}

void sigkFftLargeSplit_cf32(const sigFftSpec_cf32* spec, cf32* data, int32_t order, int32_t depth,
                            cf32* work)
{
    plainLargeSplit(spec, data, order, depth, work, spec->fwdScale != 0);
}

void sigkFftCrossBlock_cf32(cf32* data, ptrdiff_t total, ptrdiff_t blockLen, const float* twiddles)
{
    plainCrossBlock(data, total, blockLen, twiddles);
}

#endif

}  // namespace sig::SIG_NS
