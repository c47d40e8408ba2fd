// The FFT's tables: the sine table every twiddle factor is read from, the bit-reversal tables and
// the twiddle tables in the format of each slot's kernels. Every factor w_L^m = e^(-j*2*pi*m/L) is
// stored as the float pair (cos(2*pi*m/L), -sin(2*pi*m/L)), read from a quarter-wave sine table
// and folded by quarter periods, so no entry beyond the quarter is needed.
#include <cmath>
#include <cstring>

#include "fft/fft_kernels.h"
#include "fft/fft_plain.h"

namespace sig::SIG_NS {

using fft::fftAlign64;

namespace {

// The sine table of order q (entry k = sin(2*pi*k/2^q), k = 0..2^q/4), read as the factors of a
// transform of 2^logL points: entry(x) = sin(2*pi*x/2^logL).
class SineSource {
public:
    SineSource(const float* sine, int32_t sineOrder, int32_t logL)
        : sine_(sine), stride_(ptrdiff_t{1} << (sineOrder - logL)), quarter_(ptrdiff_t{1} << logL >> 2)
    {
    }
    float entry(ptrdiff_t x) const { return sine_[x * stride_]; }

    // w_L^m for 0 <= m < L.
    cf32 factor(ptrdiff_t m) const
    {
        const ptrdiff_t q = quarter_;
        if (m <= q)
            return {entry(q - m), -entry(m)};
        if (m <= 2 * q)
            return {-entry(m - q), -entry(2 * q - m)};
        if (m <= 3 * q)
            return {-entry(3 * q - m), entry(m - 2 * q)};
        return {entry(m - 3 * q), entry(4 * q - m)};
    }

private:
    const float* sine_;
    ptrdiff_t stride_;
    ptrdiff_t quarter_;
};

// Walks i = 1 .. n-1 with j = the bit reversal of i over log2(n) bits, by the reversed increment.
template <class Visit>
void forEachReversal(ptrdiff_t n, Visit visit)
{
    ptrdiff_t j = 0;
    for (ptrdiff_t i = 1; i < n; ++i) {
        ptrdiff_t bit = n >> 1;
        while (bit <= j) {
            j -= bit;
            bit >>= 1;
        }
        j += bit;
        visit(i, j);
    }
}

// Runs of width factors w_L^(p*t) for t = t0 .. t0+width-1: width cosines, then width sines.
float* putFactorRuns(float* out, const SineSource& w, ptrdiff_t t0, int32_t width, int32_t power)
{
    for (int32_t i = 0; i < width; ++i)
        out[i] = w.factor(power * (t0 + i)).re;
    for (int32_t i = 0; i < width; ++i)
        out[width + i] = w.factor(power * (t0 + i)).im;
    return out + 2 * width;
}

// The stage tables of the vector kernels: one per radix-4 span L, groups of 4 (or 8) indices
// with w^t, w^(2t), w^(3t) as runs of real and imaginary parts; slots 2-4 end odd orders with a
// radix-2 table instead of spans by parity.
void* vectorStageTable(int32_t layout, int32_t order, const float* sine, int32_t sineOrder, void* dst)
{
    if (order <= 3)
        return dst;
    const bool byParity = layout == 1 || layout >= 5;
    const int32_t width = layout >= 5 ? 8 : 4;
    float* out = static_cast<float*>(dst);
    for (int32_t logL = byParity ? 4 + (order & 1) : 4; logL <= order; logL += 2) {
        const SineSource w(sine, sineOrder, logL);
        const ptrdiff_t count = ptrdiff_t{1} << logL >> 2;
        const int32_t group = count < width ? static_cast<int32_t>(count) : width;
        for (ptrdiff_t t0 = 0; t0 < count; t0 += group)
            for (int32_t power = 1; power <= 3; ++power)
                out = putFactorRuns(out, w, t0, group, power);
    }
    if (!byParity && (order & 1) != 0) {
        const SineSource w(sine, sineOrder, order);
        for (ptrdiff_t t0 = 0; t0 < (ptrdiff_t{1} << order) / 2; t0 += 4)
            out = putFactorRuns(out, w, t0, 4, 1);
    }
    return static_cast<char*>(dst) + (ptrdiff_t{8} << order);
}

}  // namespace

// ---- Sine table ----------------------------------------------------------------------------------

float* sigkFftSineTable_cf32(int32_t order, float* dst)
{
    const ptrdiff_t n = ptrdiff_t{1} << order;
    const ptrdiff_t quarter = n / 4;
    if (order <= 10) {
        const ptrdiff_t stride = ptrdiff_t{1} << (10 - order);
        for (ptrdiff_t k = 0; k < quarter; ++k)
            dst[k] = fft::sigkFftSine1024[k * stride];
        dst[quarter] = 1.0f;
    } else {
        const double d = 6.283185307179586 / static_cast<double>(n);
        for (ptrdiff_t k = 0; k <= n / 8; ++k)
            dst[k] = static_cast<float>(std::sin(static_cast<double>(k) * d));
        for (ptrdiff_t k = n / 8 + 1; k <= quarter; ++k)
            dst[k] = static_cast<float>(std::cos(static_cast<double>(quarter - k) * d));
    }
    return fftAlign64(dst + quarter + 1);
}

// ---- Bit-reversal tables -------------------------------------------------------------------------

// Swap list over the (order-2)-bit reversal of the n = N/4 middle indices: the pairs (4i, 4j) with
// i < j, a 0, the self-reversed 4i in decreasing i, and a closing 0 at entry n.
int32_t* sigkFftBitRevSwapTable_cf32(int32_t order, int32_t* dst)
{
    if (order < 2)
        return dst;
    const ptrdiff_t n = ptrdiff_t{1} << (order - 2);
    ptrdiff_t front = 0, back = n - 1;
    forEachReversal(n, [&](ptrdiff_t i, ptrdiff_t j) {
        if (i < j) {
            dst[front] = static_cast<int32_t>(4 * i);
            dst[front + 1] = static_cast<int32_t>(4 * j);
            front += 2;
        } else if (i == j) {
            dst[back--] = static_cast<int32_t>(4 * i);
        }
    });
    dst[front] = 0;
    dst[n] = 0;
    return fftAlign64(dst + n + 1);
}

// Index table: entry i = 2 * the (order-2)-bit reversal of i, and a closing 0 at entry n.
int32_t* sigkFftBitRevTable_cf32(int32_t order, int32_t* dst)
{
    if (order < 2)
        return dst;
    const ptrdiff_t n = ptrdiff_t{1} << (order - 2);
    dst[0] = 0;
    forEachReversal(n, [&](ptrdiff_t i, ptrdiff_t j) { dst[i] = static_cast<int32_t>(2 * j); });
    dst[n] = 0;
    return fftAlign64(dst + n + 1);
}

// Block-index table of tiles of 2^b x 2^b values (entry i = the (order-2b)-bit reversal of i,
// shifted left by b), the swap list of one tile (order 2b) directly behind it.
int32_t* sigkFftBitRevTableLarge_cf32(int32_t order, int32_t b, int32_t* dst)
{
    const ptrdiff_t blocks = ptrdiff_t{1} << (order - 2 * b);
    dst[0] = 0;
    forEachReversal(blocks, [&](ptrdiff_t i, ptrdiff_t j) { dst[i] = static_cast<int32_t>(j << b); });
    return sigkFftBitRevSwapTable_cf32(2 * b, dst + blocks);
}

// ---- Twiddle tables ------------------------------------------------------------------------------

// Plain records t = 0 .. N/4: w^t, w^(2t), w^(3t), six floats each.
void* fftTwiddleRecords(int32_t order, const float* sine, int32_t sineOrder, void* dst)
{
    const SineSource w(sine, sineOrder, order);
    const ptrdiff_t quarter = ptrdiff_t{1} << order >> 2;
    cf32* out = static_cast<cf32*>(dst);
    for (ptrdiff_t t = 0; t <= quarter; ++t) {
        out[0] = w.factor(t);
        out[1] = w.factor(2 * t);
        out[2] = w.factor(3 * t);
        out += 3;
    }
    return fftAlign64(out);
}

void* fftTwiddleTableLayout(int32_t layout, int32_t order, const float* sine, int32_t sineOrder,
                            void* dst)
{
    if (layout == 0)
        return fftTwiddleRecords(order, sine, sineOrder, dst);
    return vectorStageTable(layout, order, sine, sineOrder, dst);
}

void* sigkFftTwiddleTable_cf32(int32_t order, const float* sine, int32_t sineOrder, void* dst)
{
    return fftTwiddleTableLayout(kSlot, order, sine, sineOrder, dst);
}

// Cross-block factors of a blocked transform of 2^order points: w^i for i = 0 .. N/4 - 1.
void* fftCrossBlockTable(int32_t order, const float* sine, int32_t sineOrder, void* dst)
{
    const SineSource w(sine, sineOrder, order);
    cf32* out = static_cast<cf32*>(dst);
    const ptrdiff_t quarter = ptrdiff_t{1} << order >> 2;
    for (ptrdiff_t i = 0; i < quarter; ++i)
        out[i] = w.factor(i);
    return fftAlign64(out + quarter);
}

// Plain column twiddles of a split of 2^m points into A = 2^t rows of D values: for every four
// adjacent columns c, A records of four factors w^(c*rev(j)). The factors of a column are made
// in natural row order in one of four scratch rows and put in row order rev(j) by the plain
// bit reversal with a swap list of order t (built behind the rows).
void fftColumnStream(int32_t m, int32_t t, const float* sine, int32_t sineOrder, cf32* dst,
                     cf32* scratch)
{
    const SineSource w(sine, sineOrder, m);
    const ptrdiff_t rows = ptrdiff_t{1} << t;
    const ptrdiff_t cols = ptrdiff_t{1} << (m - t);
    cf32* row[4] = {scratch, scratch + rows, scratch + 2 * rows, scratch + 3 * rows};
    int32_t* swap = reinterpret_cast<int32_t*>(scratch + 4 * rows);
    sigkFftBitRevSwapTable_cf32(t, swap);
    for (ptrdiff_t c0 = 0; c0 < cols; c0 += 4) {
        for (int32_t r = 0; r < 4; ++r) {
            for (ptrdiff_t j = 0; j < rows; ++j)
                row[r][j] = w.factor((c0 + r) * j);
            plainBitRevInPlace(row[r], rows, swap);
        }
        for (ptrdiff_t j = 0; j < rows; ++j)
            for (int32_t r = 0; r < 4; ++r)
                *dst++ = row[r][j];
    }
}

// Vector column twiddles of a split of 2^m points (T, G from the layout's split table): per column
// group of W = 2^(G-T) columns, per radix-4 stage j over the rows (span L = D*4^(j+1)), per sub-block
// k, per record of r columns, per power p: r cosines then r sines of w_L^(p*(c + k*D)). The last
// stage keeps half the sub-blocks and the powers 1 and 2.
void fftVectorColumnTable(int32_t layout, int32_t m, const float* sine, int32_t sineOrder, float* dst)
{
    const int32_t t = fft::kSplitT[layout][m];
    const int32_t g = fft::kSplitG[layout][m];
    const ptrdiff_t cols = ptrdiff_t{1} << (m - t);
    const ptrdiff_t groupWidth = ptrdiff_t{1} << (g - t);
    const int32_t r = layout >= 5 ? 8 : 4;
    const int32_t stages = t / 2;
    for (ptrdiff_t g0 = 0; g0 < cols; g0 += groupWidth) {
        for (int32_t j = 0; j < stages; ++j) {
            const bool last = j == stages - 1;
            const int32_t logL = (m - t) + 2 * (j + 1);
            const SineSource w(sine, sineOrder, logL);
            const ptrdiff_t subBlocks = (ptrdiff_t{1} << (2 * j)) >> (last ? 1 : 0);
            for (ptrdiff_t k = 0; k < subBlocks; ++k)
                for (ptrdiff_t c = g0; c < g0 + groupWidth; c += r)
                    for (int32_t p = 1; p <= (last ? 2 : 3); ++p)
                        dst = putFactorRuns(dst, w, c + k * cols, r, p);
        }
    }
}

}  // namespace sig::SIG_NS
