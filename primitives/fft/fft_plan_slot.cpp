// FFT planning: the size query and the builder of the spec record, for every table layout.
//
//     int32_t specSize, initSize, workSize;
//     sigFftGetSize_cf32(8, 8, 0, &specSize, &initSize, &workSize);
//     uint8_t* mem = sigMalloc_u8(specSize);
//     sigFftSpec_cf32* spec;
//     sigFftInit_cf32(&spec, 8, 8, 0, mem, nullptr);   // initSize is 0 up to order 10
//
// Every reported count holds the 64 bytes of slack its user needs to round the block up to a
// 64-byte boundary, so blocks from any allocator at any alignment suffice. Sizes are upper bounds
// computed in 64 bits (order 28 reaches 2^30 bytes of tables) and reported in 32.
#include <cmath>

#include "core/memory_kernels.h"
#include "fft/fft_kernels.h"
#include "fft/fft_plain.h"

#define SIG_LIST "fft/fft_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

using fft::fftAlign64;
using fft::fftOffset;
using fft::kSplitG;
using fft::kSplitT;

namespace {

struct Sizes {
    int64_t spec = 0, init = 0, work = 0;
};

constexpr int64_t roundUp64(int64_t x) { return (x + 63) & ~int64_t{63}; }
constexpr int64_t pow2(int32_t k) { return int64_t{1} << k; }
constexpr int64_t maxOf(int64_t a, int64_t b) { return a > b ? a : b; }

// ---- Size rules of the large orders ------------------------------------------------------------

Sizes plainSplitSizes(int32_t m);

// A plain sub-transform of 2^s points: radix records, a blocked transform, or a further split.
Sizes plainLeafSizes(int32_t s)
{
    if (s <= 10)
        return {roundUp64(8 * pow2(s) + 8), 0, 0};
    if (kSplitT[0][s] == 0)
        return {roundUp64(2 * pow2(s)) + 8256, 0, 0};
    return plainSplitSizes(s);
}

// One plain split level: the rows', plus the column records and column twiddle stream in the
// spec, four scratch rows and a swap list in the init buffer, four rows of work.
Sizes plainSplitSizes(int32_t m)
{
    const int64_t a = pow2(kSplitT[0][m]);
    Sizes z = plainLeafSizes(m - kSplitT[0][m]);
    z.spec += roundUp64(8 * a + 8) + 8 * pow2(m);
    z.init += roundUp64(a + 4) + 32 * a;
    z.work = maxOf(z.work, 32 * a);
    return z;
}

Sizes vectorSplitSizes(int32_t layout, int32_t m)
{
    const int32_t s = m - kSplitT[layout][m];
    Sizes z = s <= fft::kDirectLimit[layout]
                  ? Sizes{roundUp64(8 * pow2(s) + 8), 0, roundUp64(8 * pow2(s))}
                  : vectorSplitSizes(layout, s);
    z.spec += 4 * pow2(m);
    z.work = maxOf(z.work, 8 * pow2(kSplitG[layout][m]));
    return z;
}

Sizes largeSizes(int32_t layout, int32_t order)
{
    const int64_t n = pow2(order);
    if (layout == 0) {
        if (kSplitT[0][order] == 0)
            return {roundUp64(2 * n) + 8256 + roundUp64(n + 4), 0, 0};
        Sizes z = plainSplitSizes(order);
        z.spec += roundUp64(n + 4);
        return z;
    }
    Sizes z = vectorSplitSizes(layout, order);
    if (order < fft::kBlockBitRevFrom[layout]) {
        z.spec += roundUp64(n + 4);
    } else if (layout == 3) {
        z.spec += 4 * pow2(order - 10) + 1088;
        z.work = maxOf(z.work, 16384);
    } else {
        z.spec += 4 * pow2(order - 12) + 4160;
        z.work = maxOf(z.work, 65536);
    }
    return z;
}

Sizes specSizes(int32_t layout, int32_t order)
{
    const int64_t n = pow2(order);
    if (order <= fft::kSmallLimit[layout])
        return {152, 0, 0};
    if (order <= fft::kDirectLimit[layout]) {
        if (layout == 0)
            return {roundUp64(8 * n + 8) + roundUp64(n + 4) + 192, 0, 0};
        return {roundUp64(8 * n + 8) + roundUp64(n + 4) + 192, order <= 10 ? 0 : roundUp64(n + 4) + 64,
                roundUp64(8 * n) + 64};
    }
    Sizes z = largeSizes(layout, order);
    return {z.spec + 192, z.init + roundUp64(n + 4) + 64, z.work > 0 ? z.work + 64 : 0};
}

// ---- Scaling words of the flag -----------------------------------------------------------------

struct Scaling {
    int32_t fwd, inv;
    float factor;
};

bool scalingOf(int32_t flag, int32_t order, Scaling* out)
{
    const float invN = std::ldexp(1.0f, -order);
    switch (flag) {
    case 1: *out = {1, 0, invN}; return true;
    case 2: *out = {0, 1, invN}; return true;
    case 4:
        // One rounding to float from an extended-precision quotient.
        *out = {1, 1, static_cast<float>(1.0L / std::sqrt(static_cast<long double>(pow2(order))))};
        return true;
    case 8: *out = {0, 0, 0.0f}; return true;
    default: return false;
    }
}

// ---- Large-order set-up ------------------------------------------------------------------------

// One plain split level of 2^m points at depth d (and its deeper levels); returns the position
// after its last table.
char* initPlainSplit(sigFftSpec_cf32* spec, int32_t m, const float* sine, int32_t sineOrder,
                     int32_t depth, char* pos, cf32* scratch)
{
    const int32_t t = kSplitT[0][m];
    const int32_t s = m - t;
    if (s <= 10) {
        spec->twiddles = fftOffset(spec, pos);
        pos = static_cast<char*>(fftTwiddleRecords(s, sine, sineOrder, pos));
    } else if (kSplitT[0][s] != 0) {
        pos = initPlainSplit(spec, s, sine, sineOrder, depth + 1, pos, scratch);
    } else {
        spec->twiddles = fftOffset(spec, pos);
        pos = static_cast<char*>(fftTwiddleRecords(10, sine, sineOrder, pos));
        spec->cross = fftOffset(spec, pos);
        pos = static_cast<char*>(fftCrossBlockTable(s, sine, sineOrder, pos));
    }
    spec->colRadix[depth] = fftOffset(spec, pos);
    pos = static_cast<char*>(fftTwiddleRecords(t, sine, sineOrder, pos));
    spec->colTwiddles[depth] = fftOffset(spec, pos);
    fftColumnStream(m, t, sine, sineOrder, reinterpret_cast<cf32*>(pos), scratch);
    spec->workBytes = static_cast<int32_t>(maxOf(spec->workBytes, 32 * pow2(t)));
    return pos + 8 * pow2(m);
}

void initPlainLarge(sigFftSpec_cf32* spec, int32_t order, const float* sine, char* bitRevPos,
                    cf32* scratch)
{
    char* pos = reinterpret_cast<char*>(
        sigkFftBitRevSwapTable_cf32(order, reinterpret_cast<int32_t*>(bitRevPos)));
    if (kSplitT[0][order] != 0) {
        initPlainSplit(spec, order, sine, order, 0, pos, scratch);
        return;
    }
    spec->twiddles = fftOffset(spec, pos);
    pos = static_cast<char*>(fftTwiddleRecords(10, sine, order, pos));
    spec->cross = fftOffset(spec, pos);
    fftCrossBlockTable(order, sine, order, pos);
    spec->workBytes = 0;
}

char* initVectorSplit(int32_t layout, sigFftSpec_cf32* spec, int32_t m, const float* sine,
                      int32_t sineOrder, int32_t depth, char* pos)
{
    const int32_t s = m - kSplitT[layout][m];
    if (s <= fft::kDirectLimit[layout]) {
        spec->twiddles = fftOffset(spec, pos);
        pos = static_cast<char*>(fftTwiddleTableLayout(layout, s, sine, sineOrder, pos));
        spec->workBytes = static_cast<int32_t>(8 * pow2(s));
    } else {
        pos = initVectorSplit(layout, spec, s, sine, sineOrder, depth + 1, pos);
    }
    spec->colTwiddles[depth] = fftOffset(spec, pos);
    fftVectorColumnTable(layout, m, sine, sineOrder, reinterpret_cast<float*>(pos));
    spec->workBytes = static_cast<int32_t>(maxOf(spec->workBytes, 8 * pow2(kSplitG[layout][m])));
    return pos + 4 * pow2(m);
}

void initVectorLarge(int32_t layout, sigFftSpec_cf32* spec, int32_t order, const float* sine,
                     char* bitRevPos)
{
    int32_t* table = reinterpret_cast<int32_t*>(bitRevPos);
    const bool blocked = order >= fft::kBlockBitRevFrom[layout];
    char* pos = reinterpret_cast<char*>(
        blocked ? sigkFftBitRevTableLarge_cf32(order, fft::kTileOrder[layout], table)
                : sigkFftBitRevTable_cf32(order, table));
    initVectorSplit(layout, spec, order, sine, order, 0, pos);
    if (blocked)
        spec->workBytes = static_cast<int32_t>(maxOf(spec->workBytes, layout == 3 ? 16384 : 65536));
}

}  // namespace

// ---- Size query ----------------------------------------------------------------------------------

sigStatus fftGetSizeLayout(int32_t layout, int32_t order, int32_t flag, int32_t* specSize,
                           int32_t* initBufSize, int32_t* workBufSize)
{
    if (static_cast<uint32_t>(order) > fft::kMaxSplitOrder)
        return sigErrFftOrder;
    if (specSize == nullptr || initBufSize == nullptr || workBufSize == nullptr)
        return sigErrNull;
    if (flag != 1 && flag != 2 && flag != 4 && flag != 8)
        return sigErrFftFlag;
    if (order > fft::kOrderLimit[layout])
        return sigErrFftOrder;
    const Sizes z = specSizes(layout, order);
    *specSize = static_cast<int32_t>(z.spec);
    *initBufSize = static_cast<int32_t>(z.init);
    *workBufSize = static_cast<int32_t>(z.work);
    return sigOk;
}

// ---- Builder -------------------------------------------------------------------------------------

sigStatus fftInitLayout(int32_t layout, sigFftSpec_cf32** specOut, int32_t order, int32_t flag,
                        int32_t hint, uint8_t* specMem, uint8_t* initBuf)
{
    if (specOut == nullptr)
        return sigErrNull;
    if (static_cast<uint32_t>(order) > fft::kMaxSplitOrder || order > fft::kOrderLimit[layout])
        return sigErrFftOrder;
    if (specMem == nullptr)
        return sigErrNull;

    sigFftSpec_cf32* spec = reinterpret_cast<sigFftSpec_cf32*>(fftAlign64(specMem));
    sigkZero_u8(spec, fft::kHeadBytes);
    spec->hint = hint;
    spec->order = order;
    Scaling scaling;
    if (!scalingOf(flag, order, &scaling))
        return sigErrFftFlag;
    const bool small = order <= fft::kSmallLimit[layout];
    // Tested before the tag is written: a record left without its tables must not pass for usable.
    if (!small && order > 10 && initBuf == nullptr)
        return sigErrNull;

    spec->fwdScale = scaling.fwd;
    spec->invScale = scaling.inv;
    spec->factor = scaling.factor;
    spec->tag = fft::kFftSpecTag;
    if (small) {
        *specOut = spec;
        return sigOk;
    }

    const float* sine = fft::sigkFftSine1024;
    int32_t sineOrder = 10;
    cf32* scratch = nullptr;
    if (order > 10) {
        float* own = fftAlign64(reinterpret_cast<float*>(initBuf));
        scratch = reinterpret_cast<cf32*>(sigkFftSineTable_cf32(order, own));
        sine = own;
        sineOrder = order;
    }
    char* bitRevPos = reinterpret_cast<char*>(spec) + fft::kHeadBytes;
    spec->bitRev = fft::kHeadBytes;
    if (order <= fft::kDirectLimit[layout]) {
        int32_t* table = reinterpret_cast<int32_t*>(bitRevPos);
        void* pos = layout == 0 ? sigkFftBitRevSwapTable_cf32(order, table)
                                : sigkFftBitRevTable_cf32(order, table);
        spec->twiddles = fftOffset(spec, pos);
        fftTwiddleTableLayout(layout, order, sine, sineOrder, pos);
        spec->workBytes = layout == 0 ? 0 : static_cast<int32_t>(8 * pow2(order));
    } else if (layout == 0) {
        initPlainLarge(spec, order, sine, bitRevPos, scratch);
    } else {
        initVectorLarge(layout, spec, order, sine, bitRevPos);
    }
    *specOut = spec;
    return sigOk;
}

// ---- Dispatch members ----------------------------------------------------------------------------

sigStatus sigFftGetSize_cf32(int32_t order, int32_t flag, int32_t, int32_t* specSize,
                             int32_t* initBufSize, int32_t* workBufSize)
{
    return fftGetSizeLayout(kFftLayout, order, flag, specSize, initBufSize, workBufSize);
}

sigStatus sigFftInit_cf32(sigFftSpec_cf32** spec, int32_t order, int32_t flag, int32_t hint,
                          uint8_t* specMem, uint8_t* initBuf)
{
    return fftInitLayout(kFftLayout, spec, order, flag, hint, specMem, initBuf);
}

}  // namespace sig::SIG_NS
