// The planner's tables against their closed forms: sine tables, bit-reversal tables, twiddle
// records and stage groups of every layout, and the worked examples of the large orders.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "fft_slot_decls.h"
#include "sigprim.h"
#include "slots.h"

namespace {

using fft_test::kOwnGetSize;
using fft_test::kOwnInit;
using fft_test::word;

constexpr long double kTwoPi = 6.283185307179586476925286766559L;

// The float nearest to cos / -sin of 2*pi*m/L (an extended-precision value rounded once).
float cosOf(int64_t m, int64_t l) { return static_cast<float>(cosl(kTwoPi * (m % l) / l)); }
float negSinOf(int64_t m, int64_t l) { return static_cast<float>(-sinl(kTwoPi * (m % l) / l)); }

// Tables from the 1024-point constants are exact; only the zeros of the extended-precision
// cos and sin are off (by about 1e-20).
constexpr float kExact = 1e-12f;

int32_t reverse(int64_t x, int bits)
{
    int32_t r = 0;
    for (int b = 0; b < bits; ++b)
        r |= static_cast<int32_t>((x >> b) & 1) << (bits - 1 - b);
    return r;
}

// A spec planned by a slot's own layout in blocks of the reported sizes.
struct OwnPlan {
    std::vector<uint8_t> specMem, initMem;
    sigFftSpec_cf32* spec = nullptr;
    OwnPlan(int slot, int32_t order, int32_t flag = 8)
    {
        if (!testing_slots::slotRuns(slot))
            return;
        int32_t s, i, w;
        EXPECT_EQ(kOwnGetSize[slot](order, flag, 0, &s, &i, &w), sigOk);
        specMem.assign(static_cast<size_t>(s), 0xA5);
        initMem.resize(static_cast<size_t>(i));
        EXPECT_EQ(kOwnInit[slot](&spec, order, flag, 0, specMem.data(),
                                 initMem.empty() ? nullptr : initMem.data()),
                  sigOk);
    }
    template <class T>
    const T* at(int w) const
    {
        return reinterpret_cast<const T*>(reinterpret_cast<const char*>(spec) + word(spec, w));
    }
};

// Slot-0 twiddle records of a 2^order-point size: record t holds w^t, w^2t, w^3t.
void expectRecords(const float* r, int32_t order, int64_t count, float tolerance)
{
    const int64_t l = int64_t{1} << order;
    for (int64_t t = 0; t < count; ++t)
        for (int p = 1; p <= 3; ++p) {
            ASSERT_NEAR(r[6 * t + 2 * (p - 1)], cosOf(p * t, l), tolerance) << "t " << t << " p " << p;
            ASSERT_NEAR(r[6 * t + 2 * p - 1], negSinOf(p * t, l), tolerance) << "t " << t << " p " << p;
        }
}

TEST(FftTables, QuarterWaveConstantsAreCorrectlyRounded)
{
    for (int k = 0; k <= 256; ++k)
        ASSERT_EQ(sig::fft::sigkFftSine1024[k], static_cast<float>(sinl(kTwoPi * k / 1024))) << k;
}

TEST(FftTables, SineTablesFromTheConstantsAndComputed)
{
    std::vector<float> table((1 << 14) + 16);
    float* end = sig::s0::sigkFftSineTable_cf32(8, table.data());
    for (int k = 0; k < 64; ++k)
        EXPECT_EQ(table[k], sig::fft::sigkFftSine1024[4 * k]);
    EXPECT_EQ(table[64], 1.0f);
    const uintptr_t after = reinterpret_cast<uintptr_t>(table.data() + 65);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(end), (after + 63) & ~uintptr_t{63});
    for (int order : {11, 16}) {
        const int64_t n = int64_t{1} << order;
        sig::s0::sigkFftSineTable_cf32(order, table.data());
        for (int64_t k = 0; k <= n / 4; ++k)
            ASSERT_NEAR(table[k], static_cast<float>(sinl(kTwoPi * k / n)), 0x1p-24f) << k;
        EXPECT_EQ(table[n / 4], 1.0f);
    }
}

// The worked example of order 8 on the plain layout: swap list, records, positions.
TEST(FftTables, Order8PlainWorkedExample)
{
    OwnPlan plan(0, 8);
    EXPECT_EQ(word(plan.spec, 4), 0);
    EXPECT_EQ(word(plan.spec, 10), 88);
    EXPECT_EQ(word(plan.spec, 11), 384);
    EXPECT_EQ(word(plan.spec, 6), 0);
    const int32_t* swap = plan.at<int32_t>(10);
    int pairs = 0;
    for (int i = 1; i < 64; ++i)
        if (i < reverse(i, 6)) {
            EXPECT_EQ(swap[2 * pairs], 4 * i);
            EXPECT_EQ(swap[2 * pairs + 1], 4 * reverse(i, 6));
            ++pairs;
        }
    EXPECT_EQ(pairs, 28);
    EXPECT_EQ(swap[56], 0);
    const int32_t self[7] = {63, 51, 45, 33, 30, 18, 12};
    for (int e = 0; e < 7; ++e)
        EXPECT_EQ(swap[57 + e], 4 * self[e]);
    EXPECT_EQ(swap[64], 0);
    expectRecords(plan.at<float>(11), 8, 65, kExact);
}

TEST(FftTables, Order8IndexTableOfTheVectorLayouts)
{
    for (int slot = 1; slot <= 6; ++slot) {
        if (!testing_slots::slotRuns(slot))
            continue;
        OwnPlan plan(slot, 8);
        EXPECT_EQ(word(plan.spec, 10), 88);
        EXPECT_EQ(word(plan.spec, 11), 384);
        EXPECT_EQ(word(plan.spec, 6), 2048);
        const int32_t* index = plan.at<int32_t>(10);
        for (int i = 0; i < 64; ++i)
            ASSERT_EQ(index[i], 2 * reverse(i, 6)) << "slot " << slot;
        EXPECT_EQ(index[64], 0);
    }
}

// Reads a stage-group table the way the vector kernels do and compares every float.
class StageReader {
public:
    explicit StageReader(const float* p) : p_(p) {}
    void group(int64_t l, int64_t t0, int width, int powers)
    {
        for (int p = 1; p <= powers; ++p) {
            for (int i = 0; i < width; ++i)
                ASSERT_NEAR(p_[i], cosOf(p * (t0 + i), l), kExact) << "L " << l << " t " << t0 + i;
            for (int i = 0; i < width; ++i)
                ASSERT_NEAR(p_[width + i], negSinOf(p * (t0 + i), l), kExact) << "L " << l << " t " << t0 + i;
            p_ += 2 * width;
        }
    }
    void stage(int64_t l, int width)
    {
        for (int64_t t0 = 0; t0 < l / 4; t0 += width)
            group(l, t0, width, 3);
    }

private:
    const float* p_;
};

TEST(FftTables, StageGroupsOfEachVectorFormat)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(6);  // reads layouts of slots up to 6
    {   // Slot 1, odd order: spans 32, 128, 512 in groups of four.
        OwnPlan plan(1, 9);
        StageReader r(plan.at<float>(11));
        for (int64_t l : {32, 128, 512})
            r.stage(l, 4);
    }
    {   // Slot 2, odd order: spans 16, 64, 256, then w_512^t for t < 256 in radix-2 groups.
        OwnPlan plan(2, 9);
        StageReader r(plan.at<float>(11));
        for (int64_t l : {16, 64, 256})
            r.stage(l, 4);
        for (int64_t t0 = 0; t0 < 256; t0 += 4)
            r.group(512, t0, 4, 1);
    }
    {   // Slot 5, even order: span 16 as one group of four, then groups of eight.
        OwnPlan plan(5, 10);
        StageReader r(plan.at<float>(11));
        r.stage(16, 4);
        for (int64_t l : {64, 256, 1024})
            r.stage(l, 8);
    }
    {   // Slot 6, odd order: spans from 32 in groups of eight.
        OwnPlan plan(6, 9);
        StageReader r(plan.at<float>(11));
        for (int64_t l : {32, 128, 512})
            r.stage(l, 8);
    }
}

// Order 11 on the plain layout: 513-entry swap list, 1024-point records, 512 cross factors.
TEST(FftTables, Order11PlainBlockedTables)
{
    OwnPlan plan(0, 11);
    EXPECT_EQ(word(plan.spec, 11), 2176);              // boundary after 88 + 513 * 4
    EXPECT_EQ(word(plan.spec, 12), 2176 + 257 * 24 + 40);  // boundary after 257 records
    EXPECT_EQ(word(plan.spec, 6), 0);
    for (int w = 13; w <= 21; ++w)
        EXPECT_EQ(word(plan.spec, w), 0) << "word " << w;
    const int32_t* swap = plan.at<int32_t>(10);
    EXPECT_EQ(swap[512], 0);
    expectRecords(plan.at<float>(11), 10, 257, 0x1p-24f);
    const cf32* cross = plan.at<cf32>(12);
    for (int i = 0; i < 512; ++i) {
        ASSERT_NEAR(cross[i].re, cosOf(i, 2048), 0x1p-24f);
        ASSERT_NEAR(cross[i].im, negSinOf(i, 2048), 0x1p-24f);
    }
}

// Order 13 on the plain layout: rows of 256 points, column records of 32, and the column
// twiddle stream w_8192^(c * rev5(j)) for every four columns c and row j.
TEST(FftTables, Order13PlainSplitTables)
{
    OwnPlan plan(0, 13);
    EXPECT_EQ(word(plan.spec, 6), 1024);
    EXPECT_EQ(word(plan.spec, 12), 0);
    for (int w : {17, 18, 20, 21})
        EXPECT_EQ(word(plan.spec, w), 0) << "word " << w;
    expectRecords(plan.at<float>(11), 8, 65, 0x1p-24f);
    expectRecords(plan.at<float>(16), 5, 9, 0x1p-24f);
    const cf32* stream = plan.at<cf32>(19);
    for (int64_t g = 0; g < 64; ++g)
        for (int64_t j = 0; j < 32; ++j)
            for (int64_t r = 0; r < 4; ++r) {
                const int64_t m = (4 * g + r) * reverse(j, 5);
                const cf32 f = *stream++;
                ASSERT_NEAR(f.re, cosOf(m, 8192), 0x1p-24f) << g << " " << j << " " << r;
                ASSERT_NEAR(f.im, negSinOf(m, 8192), 0x1p-24f) << g << " " << j << " " << r;
            }
    EXPECT_EQ(reinterpret_cast<const char*>(stream) - reinterpret_cast<const char*>(plan.spec),
              word(plan.spec, 19) + 8 * 8192);
}

// Slot 1, order 17: block-index table over 5 bits shifted by 6, the tile swap list behind it.
TEST(FftTables, Order17BlockIndexTableOfSlot1)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(6);  // reads layouts of slots up to 6
    OwnPlan plan(1, 17);
    EXPECT_EQ(word(plan.spec, 6), 65536);
    const int32_t* table = plan.at<int32_t>(10);
    for (int i = 0; i < 32; ++i)
        ASSERT_EQ(table[i], reverse(i, 5) << 6);
    std::vector<int32_t> tileSwap(1025 + 16);
    sig::s0::sigkFftBitRevSwapTable_cf32(12, tileSwap.data());
    EXPECT_EQ(std::memcmp(table + 32, tileSwap.data(), 1025 * sizeof(int32_t)), 0);
    EXPECT_NE(word(plan.spec, 11), 0);
    EXPECT_NE(word(plan.spec, 19), 0);
    EXPECT_EQ(word(plan.spec, 20), 0);
}

// The vector column table of one split: per column group, per stage over the rows, per
// sub-block, per record of r columns, per power: r cosines then r sines of w_L^(p(c + kD)).
void expectVectorColumnTable(int slot, int32_t order)
{
    OwnPlan plan(slot, order);
    const int t = sig::fft::kSplitT[slot][order];
    const int g = sig::fft::kSplitG[slot][order];
    const int64_t cols = int64_t{1} << (order - t), width = int64_t{1} << (g - t);
    const int r = slot >= 5 ? 8 : 4;
    const float* p = plan.at<float>(19);
    const float* start = p;
    for (int64_t g0 = 0; g0 < cols; g0 += width)
        for (int j = 0; j < t / 2; ++j) {
            const bool last = j == t / 2 - 1;
            const int64_t l = cols << (2 * (j + 1));
            for (int64_t k = 0; k < (int64_t{1} << (2 * j)) / (last ? 2 : 1); ++k)
                for (int64_t c = g0; c < g0 + width; c += r)
                    for (int pw = 1; pw <= (last ? 2 : 3); ++pw) {
                        for (int i = 0; i < r; ++i)
                            ASSERT_NEAR(p[i], cosOf(pw * (c + i + k * cols), l), 0x1p-24f);
                        for (int i = 0; i < r; ++i)
                            ASSERT_NEAR(p[r + i], negSinOf(pw * (c + i + k * cols), l), 0x1p-24f);
                        p += 2 * r;
                    }
        }
    // It fills 2^m - 2 * 2^s floats of the 4 * 2^m bytes kept for it; the rest is untouched.
    EXPECT_EQ(p - start, (int64_t{1} << order) - 2 * cols);
    uint32_t untouched;
    std::memcpy(&untouched, p, 4);
    EXPECT_EQ(untouched, 0xA5A5A5A5u);
}

TEST(FftTables, VectorColumnTables)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(6);  // reads layouts of slots up to 6
    expectVectorColumnTable(1, 16);
    expectVectorColumnTable(3, 20);
    expectVectorColumnTable(5, 19);
}

TEST(FftTables, SplitTablesAgreeAcrossTheirUsers)
{
    const int8_t plain[31] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 6, 7,
                              8, 8, 8, 10, 10, 10, 10, 8, 8, 10, 10, 10, 10, 10, 10};
    EXPECT_EQ(std::memcmp(plain, sig::fft::kSplitT[0], 31), 0);
    // Slot 2 and slot 4 differ at order 20 only.
    for (int order = 0; order <= 30; ++order) {
        if (order != 20) {
            EXPECT_EQ(sig::fft::kSplitT[2][order], sig::fft::kSplitT[4][order]) << order;
        }
    }
    EXPECT_EQ(sig::fft::kSplitT[2][20], 6);
    EXPECT_EQ(sig::fft::kSplitG[2][20], 12);
    EXPECT_EQ(sig::fft::kSplitT[4][20], 4);
    EXPECT_EQ(sig::fft::kSplitG[3][20], 14);
    EXPECT_EQ(sig::fft::kSplitG[1][16], 9);
}

}  // namespace
