// Plain inverse transform of the large orders (11 to 27), the twin of the forward large path:
// the whole array is bit-reversed once and conjugated, the forward passes run on it (1024-point
// blocks with cross-block passes, or the four-step split with its column twiddles), each leaf
// scaled once by the inverse switch, and the result is conjugated back.
#include "fft/fft_complex.h"
#include "fft/inverse_kernels.h"

namespace sig::SIG_NS {

using fft::fftTable;
using fft::kSplitT;

namespace {

constexpr ptrdiff_t kBlock = 1024;

// The passes below work on conjugated data: forward passes there are inverse passes here.
void leaf(const sigFftSpec_cf32* spec, cf32* data, int32_t n)
{
    plainRadixFwd(data, n, fftTable<float>(spec, spec->twiddles));
    if (spec->invScale != 0)
        plainScale(spec->factor, reinterpret_cast<float*>(data), 2 * n);
}

void blocked(const sigFftSpec_cf32* spec, cf32* data, ptrdiff_t total)
{
    for (ptrdiff_t b = total - kBlock; b >= 0; b -= kBlock)
        leaf(spec, data + b, kBlock);
    plainCrossBlock(data, total, kBlock, fftTable<float>(spec, spec->cross));
}

// Kept out of interprocedural cloning: the split table nests at most two levels (depth <= 1),
// which the compiler cannot see when it clones the recursion by depth.
[[gnu::noipa]] void split(const sigFftSpec_cf32* spec, cf32* data, int32_t order, int32_t depth,
                          cf32* work)
{
    const int32_t t = kSplitT[0][order];
    const int32_t s = order - t;
    const ptrdiff_t rows = ptrdiff_t{1} << t;
    const ptrdiff_t cols = ptrdiff_t{1} << s;
    for (ptrdiff_t r = 0; r < rows; ++r) {
        cf32* row = data + r * cols;
        if (s <= 10)
            leaf(spec, row, static_cast<int32_t>(cols));
        else if (kSplitT[0][s] != 0)
            split(spec, row, s, depth + 1, work);
        else
            blocked(spec, row, cols);
    }
    // Columns four positions at a time: twiddled into four work rows, transformed, written back.
    const cf32* factor = fftTable<cf32>(spec, spec->colTwiddles[depth]);
    const float* colRadix = fftTable<float>(spec, spec->colRadix[depth]);
    for (ptrdiff_t q0 = 0; q0 < cols; q0 += 4) {
        for (ptrdiff_t j = 0; j < rows; ++j, factor += 4)
            for (int32_t k = 0; k < 4; ++k)
                work[k * rows + j] = factor[k] * data[j * cols + q0 + k];
        for (int32_t k = 0; k < 4; ++k)
            plainRadixFwd(work + k * rows, static_cast<int32_t>(rows), colRadix);
        for (ptrdiff_t j = 0; j < rows; ++j)
            for (int32_t k = 0; k < 4; ++k)
                data[j * cols + q0 + k] = work[k * rows + j];
    }
}

}  // namespace

void plainInvLarge(const sigFftSpec_cf32* spec, const cf32* src, cf32* dst, int32_t order,
                   cf32* work)
{
    const ptrdiff_t n = ptrdiff_t{1} << order;
    const int32_t* bitRev = fftTable<int32_t>(spec, spec->bitRev);
    if (src == dst)
        plainBitRevInPlace(dst, n, bitRev);
    else
        plainBitRevCopy(src, dst, n, bitRev);
    fftConjugate(dst, dst, n);
    if (kSplitT[0][order] != 0)
        split(spec, dst, order, 0, work);
    else
        blocked(spec, dst, n);
    fftConjugate(dst, dst, n);
}

#if SIG_SLOT == 0

void sigkFftInvLarge_cf32(const sigFftSpec_cf32* spec, const cf32* src, cf32* dst, int32_t order,
                          cf32* work)
{
    plainInvLarge(spec, src, dst, order, work);
}

void sigkFftInvLargeSplit_cf32(const sigFftSpec_cf32* spec, cf32* data, int32_t order,
                               int32_t depth, cf32* work)
{
    const ptrdiff_t n = ptrdiff_t{1} << order;
    fftConjugate(data, data, n);
    split(spec, data, order, depth, work);
    fftConjugate(data, data, n);
}

void sigkFftInvCrossBlock_cf32(cf32* data, ptrdiff_t total, ptrdiff_t blockLen,
                               const float* twiddles)
{
    fftConjugate(data, data, total);
    plainCrossBlock(data, total, blockLen, twiddles);
    fftConjugate(data, data, total);
}

#endif

}  // namespace sig::SIG_NS
