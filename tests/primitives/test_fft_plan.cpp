// The FFT size query and planner: status codes in their order, the reported sizes, that no
// planner writes outside them at any alignment, the head words, and the tables against their
// closed forms and the worked examples.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "fft_test_support.h"
#include "sigprim.h"
#include "slots.h"

namespace {

using fft_test::kOwnGetSize;
using fft_test::reverseBits;
using fft_test::Plan;
using fft_test::word;

TEST(FftGetSize, StatusCodesInTheirOrder)
{
    int32_t a = -1, b = -1, c = -1;
    EXPECT_EQ(sigFftGetSize_cf32(-1, 8, 0, nullptr, nullptr, nullptr), sigErrFftOrder);
    EXPECT_EQ(sigFftGetSize_cf32(31, 3, 0, &a, &b, &c), sigErrFftOrder);
    EXPECT_EQ(sigFftGetSize_cf32(8, 8, 0, nullptr, &b, &c), sigErrNull);
    EXPECT_EQ(sigFftGetSize_cf32(8, 8, 0, &a, nullptr, &c), sigErrNull);
    EXPECT_EQ(sigFftGetSize_cf32(8, 8, 0, &a, &b, nullptr), sigErrNull);
    EXPECT_EQ(sigFftGetSize_cf32(30, 3, 0, &a, &b, &c), sigErrFftFlag);
    EXPECT_EQ(sigFftGetSize_cf32(29, 1, 0, &a, &b, &c), sigErrFftOrder);
    EXPECT_EQ(sigFftGetSize_cf32(28, 0, 0, &a, &b, &c), sigErrFftFlag);
    EXPECT_TRUE(a == -1 && b == -1 && c == -1) << "written on failure";
}

// Each slot's own layout: its order limit, the small and direct orders; the dispatch entries size
// with it.
TEST(FftGetSize, CodesAndSizesOfEveryLayoutAndEntry)
{
    int32_t s, i, w, s0, i0, w0;
    for (int slot = 0; slot < 7; ++slot) {
        if (!testing_slots::slotRuns(slot))
            continue;
        SCOPED_TRACE(testing::Message() << "slot " << slot);
        EXPECT_EQ(kOwnGetSize[slot](28, 4, 0, &s, &i, &w), slot == 0 ? sigErrFftOrder : sigOk);
        EXPECT_EQ(kOwnGetSize[slot](29, 4, 0, &s, &i, &w), sigErrFftOrder);
        EXPECT_EQ(kOwnGetSize[slot](8, 16, 0, &s, &i, &w), sigErrFftFlag);
        for (int32_t flag : {1, 2, 4, 8})
            for (int32_t order = 0; order <= sig::fft::kSmallLimit[slot]; ++order) {
                ASSERT_EQ(kOwnGetSize[slot](order, flag, 99, &s, &i, &w), sigOk);
                EXPECT_TRUE(s == 152 && i == 0 && w == 0) << order;
            }
        ASSERT_EQ(kOwnGetSize[slot](8, 8, 0, &s, &i, &w), sigOk);
        EXPECT_TRUE(s == 2624 && i == 0 && w == (slot == 0 ? 0 : 2112));
        testing_slots::SlotScope scope(slot);
        for (int32_t order = 0; order <= 27; ++order) {
            ASSERT_EQ(sigFftGetSize_cf32(order, 1, 0, &s, &i, &w), sigOk);
            ASSERT_EQ(kOwnGetSize[slot](order, 1, 0, &s0, &i0, &w0), sigOk);
            EXPECT_TRUE(s == s0 && i == i0 && w == w0) << order;
        }
        EXPECT_EQ(sigFftGetSize_cf32(28, 1, 0, &s, &i, &w), slot == 0 ? sigErrFftOrder : sigOk);
    }
    // A direct order above 10 on a vector layout needs the sine table in an init buffer.
    SIG_SKIP_UNLESS_SLOT_RUNS(2);
    ASSERT_EQ(kOwnGetSize[2](14, 8, 0, &s, &i, &w), sigOk);
    EXPECT_EQ(i, 16384 + 64 + 64);
    EXPECT_EQ(w, 8 * 16384 + 64);
}

// Failures leave *spec alone; a refused flag leaves a zeroed head with order and hint and no
// tag; a missing init buffer above order 10 fails before the tag, so a block that held a usable
// spec no longer passes a transform's tag test.
TEST(FftInit, StatusCodesInTheirOrderAndNoUsableRecordOnFailure)
{
    std::vector<uint8_t> mem(80000, 0x5A);
    sigFftSpec_cf32* out = reinterpret_cast<sigFftSpec_cf32*>(&out);
    sigFftSpec_cf32* const mark = out;
    EXPECT_EQ(sigFftInit_cf32(nullptr, -1, 3, 0, nullptr, nullptr), sigErrNull);
    EXPECT_EQ(sigFftInit_cf32(&out, -1, 8, 0, mem.data(), nullptr), sigErrFftOrder);
    EXPECT_EQ(sigFftInit_cf32(&out, 31, 8, 0, mem.data(), nullptr), sigErrFftOrder);
    EXPECT_EQ(sigFftInit_cf32(&out, 28, 8, 0, mem.data(), nullptr), sigErrFftOrder);
    EXPECT_EQ(sigFftInit_cf32(&out, 8, 3, 0, nullptr, nullptr), sigErrNull);
    const auto* head = reinterpret_cast<const sigFftSpec_cf32*>(
        (reinterpret_cast<uintptr_t>(mem.data()) + 63) & ~uintptr_t{63});
    EXPECT_EQ(sigFftInit_cf32(&out, 9, 3, 1234, mem.data(), nullptr), sigErrFftFlag);
    EXPECT_TRUE(word(head, 1) == 9 && word(head, 5) == 1234);
    for (int w : {0, 2, 3, 4, 6, 7, 10, 11, 21})
        EXPECT_EQ(word(head, w), 0) << "word " << w;
    EXPECT_EQ(out, mark);

    sigFftSpec_cf32* spec = nullptr;
    ASSERT_EQ(sigFftInit_cf32(&spec, 8, 8, 0, mem.data(), nullptr), sigOk);
    EXPECT_EQ(sigFftInit_cf32(&out, 11, 8, 0, mem.data(), nullptr), sigErrNull);
    EXPECT_EQ(out, mark);
    EXPECT_EQ(word(spec, 0), 0);
    std::vector<cf32> x(2048), y(2048);
    EXPECT_EQ(sigFftFwd_cf32(x.data(), y.data(), spec, nullptr), sigErrTag);
}

// 1/sqrt(N) is a power of two, or that times the float nearest 1/sqrt(2) (0x3f3504f3).
TEST(FftInit, ScalingWordsOfEveryFlag)
{
    std::vector<uint8_t> mem(1 << 16), init(1 << 16);
    for (int32_t order = 0; order <= 12; ++order)
        for (int32_t flag : {1, 2, 4, 8}) {
            const float invN = std::ldexp(1.0f, -order);
            const float invRoot = std::ldexp(order % 2 ? 0.70710677f : 1.0f, -(order / 2));
            const float factor[9] = {0, invN, invN, 0, invRoot};
            sigFftSpec_cf32* spec;
            ASSERT_EQ(sigFftInit_cf32(&spec, order, flag, 7, mem.data(), init.data()), sigOk);
            EXPECT_TRUE(spec->tag == 4 && spec->order == order && spec->hint == 7);
            // Flags 1 and 4 scale the forward direction, 2 and 4 the inverse.
            EXPECT_TRUE(spec->fwdScale == ((flag & 5) != 0) && spec->invScale == ((flag & 6) != 0) &&
                        spec->factor == factor[flag])
                << "order " << order << " flag " << flag;
        }
}

TEST(FftInit, NeverWritesPastTheReportedSizesAtAnyAlignment)
{
    for (int slot = 0; slot < 7; ++slot)
        for (int32_t order = 0; order <= 20 && testing_slots::slotRuns(slot); ++order) {
            const int step = order <= 12 ? 1 : 21;  // every offset, or 0, 21, 42, 63
            for (size_t offset = 0; offset < 64; offset += step)
                fft_test::expectPlanStaysInside(slot, order, order <= 12 ? 4 : 2, offset,
                                                (offset * 37) % 64);
        }
}

constexpr long double kTwoPi = 6.283185307179586476925286766559L;

// Reads a table of roots in order and compares each float with the float nearest cos / -sin of
// 2 pi m / L. Tables from the 1024-point constants are exact (kExact: only the zeros of the
// extended-precision cos and sin are off, by about 1e-20); computed ones within 2^-24.
class RootReader {
public:
    static constexpr float kExact = 1e-12f;
    RootReader(const float* p, float tolerance) : p_(p), tol_(tolerance) {}
    // For each power p in 1..powers: `width` cosines, then `width` sines of w_L^(p(t0 + i)).
    void group(int64_t l, int64_t t0, int width, int powers)
    {
        for (int p = 1; p <= powers; ++p) {
            for (int i = 0; i < 2 * width; ++i) {
                const long double a = kTwoPi * ((p * (t0 + i % width)) % l) / l;
                const float want = static_cast<float>(i < width ? cosl(a) : -sinl(a));
                ASSERT_NEAR(p_[i], want, tol_) << "L " << l << " t " << t0 + i % width << " p " << p;
            }
            p_ += 2 * width;
        }
    }
    // Records of one float pair per power: w^t, w^2t, w^3t for t < count.
    void records(int64_t l, int64_t count)
    {
        for (int64_t t = 0; t < count; ++t)
            group(l, t, 1, 3);
    }
    // A radix-4 stage of span l in groups of `width`.
    void stage(int64_t l, int width)
    {
        for (int64_t t0 = 0; t0 < l / 4; t0 += width)
            group(l, t0, width, 3);
    }
    const float* position() const { return p_; }

private:
    const float* p_;
    float tol_;
};

TEST(FftTables, SineConstantsAndTables)
{
    for (int k = 0; k <= 256; ++k)
        ASSERT_EQ(sig::fft::sigkFftSine1024[k], static_cast<float>(sinl(kTwoPi * k / 1024))) << k;
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

// The worked example of order 8: on the plain layout the swap list (pairs, a zero, the
// self-reversed entries, a zero) and 65 records; on the vector layouts the index table.
TEST(FftTables, Order8WorkedExample)
{
    for (int slot = 0; slot < 7; ++slot) {
        if (!testing_slots::slotRuns(slot))
            continue;
        Plan plan(8, 8, slot);
        EXPECT_TRUE(word(plan.spec, 10) == 88 && word(plan.spec, 11) == 384) << slot;
        EXPECT_EQ(word(plan.spec, 6), slot == 0 ? 0 : 2048);
        const int32_t* table = plan.at<int32_t>(10);
        if (slot != 0) {
            for (int i = 0; i < 64; ++i)
                ASSERT_EQ(table[i], 2 * reverseBits(i, 6)) << "slot " << slot;
            EXPECT_EQ(table[64], 0);
            continue;
        }
        EXPECT_EQ(word(plan.spec, 4), 0);
        int pairs = 0;
        for (int i = 1; i < 64; ++i)
            if (i < reverseBits(i, 6)) {
                EXPECT_TRUE(table[2 * pairs] == 4 * i && table[2 * pairs + 1] == 4 * reverseBits(i, 6));
                ++pairs;
            }
        EXPECT_EQ(pairs, 28);
        const int32_t rest[9] = {0, 4 * 63, 4 * 51, 4 * 45, 4 * 33, 4 * 30, 4 * 18, 4 * 12, 0};
        EXPECT_EQ(std::memcmp(table + 56, rest, sizeof rest), 0);
        RootReader(plan.at<float>(11), RootReader::kExact).records(256, 65);
    }
}

TEST(FftTables, StageGroupsOfEachVectorFormat)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(6);  // reads layouts of slots up to 6
    Plan p1(9, 8, 1), p2(9, 8, 2), p5(10, 8, 5), p6(9, 8, 6);
    RootReader r1(p1.at<float>(11), RootReader::kExact), r2(p2.at<float>(11), RootReader::kExact);
    RootReader r5(p5.at<float>(11), RootReader::kExact), r6(p6.at<float>(11), RootReader::kExact);
    for (int64_t l : {32, 128, 512}) {
        r1.stage(l, 4);  // slot 1, odd order: spans from 32 in groups of four
        r6.stage(l, 8);  // slot 6: the same in groups of eight
    }
    // Slot 2, odd order: spans 16, 64, 256, then w_512^t for t < 256 in radix-2 groups.
    for (int64_t l : {16, 64, 256})
        r2.stage(l, 4);
    for (int64_t t0 = 0; t0 < 256; t0 += 4)
        r2.group(512, t0, 4, 1);
    // Slot 5, even order: span 16 as one group of four, then groups of eight.
    r5.stage(16, 4);
    for (int64_t l : {64, 256, 1024})
        r5.stage(l, 8);
}

// Order 11 on the plain layout: 513-entry swap list, 1024-point records, 512 cross factors.
TEST(FftTables, Order11PlainBlockedTables)
{
    Plan plan(11, 8, 0);
    EXPECT_EQ(word(plan.spec, 11), 2176);                  // boundary after 88 + 513 * 4
    EXPECT_EQ(word(plan.spec, 12), 2176 + 257 * 24 + 40);  // boundary after 257 records
    for (int w : {6, 13, 14, 15, 16, 17, 18, 19, 20, 21})
        EXPECT_EQ(word(plan.spec, w), 0) << "word " << w;
    EXPECT_EQ(plan.at<int32_t>(10)[512], 0);
    RootReader(plan.at<float>(11), 0x1p-24f).records(1024, 257);
    RootReader cross(plan.at<float>(12), 0x1p-24f);
    for (int i = 0; i < 512; ++i)
        cross.group(2048, i, 1, 1);
}

// Order 13 on the plain layout: rows of 256 points, column records of 32, and the column
// twiddle stream w_8192^(c * rev5(j)) for every four columns c and row j.
TEST(FftTables, Order13PlainSplitTables)
{
    Plan plan(13, 8, 0);
    EXPECT_EQ(word(plan.spec, 6), 1024);
    for (int w : {12, 17, 18, 20, 21})
        EXPECT_EQ(word(plan.spec, w), 0) << "word " << w;
    RootReader(plan.at<float>(11), 0x1p-24f).records(256, 65);
    RootReader(plan.at<float>(16), 0x1p-24f).records(32, 9);
    RootReader stream(plan.at<float>(19), 0x1p-24f);
    for (int64_t g = 0; g < 64; ++g)
        for (int64_t j = 0; j < 32; ++j)
            for (int64_t r = 0; r < 4; ++r)
                stream.group(8192, (4 * g + r) * reverseBits(j, 5), 1, 1);
    EXPECT_EQ(stream.position(), plan.at<float>(19) + 2 * 8192);
}

// Slot 1, order 17: block-index table over 5 bits shifted by 6, the tile swap list behind it.
TEST(FftTables, Order17BlockIndexTableOfSlot1)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(6);  // reads layouts of slots up to 6
    Plan plan(17, 8, 1);
    EXPECT_EQ(word(plan.spec, 6), 65536);
    const int32_t* table = plan.at<int32_t>(10);
    for (int i = 0; i < 32; ++i)
        ASSERT_EQ(table[i], reverseBits(i, 5) << 6);
    std::vector<int32_t> tileSwap(1025 + 16);
    sig::s0::sigkFftBitRevSwapTable_cf32(12, tileSwap.data());
    EXPECT_EQ(std::memcmp(table + 32, tileSwap.data(), 1025 * sizeof(int32_t)), 0);
    EXPECT_TRUE(word(plan.spec, 11) != 0 && word(plan.spec, 19) != 0 && word(plan.spec, 20) == 0);
}

// The vector column table of one split: per column group, per stage over the rows, per
// sub-block, per record of r columns, per power: r cosines then r sines of w_L^(p(c + kD)).
// It fills 2^m - 2 * 2^s floats of the 4 * 2^m bytes kept for it; the rest is untouched.
TEST(FftTables, VectorColumnTables)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(6);  // reads layouts of slots up to 6
    for (auto [slot, order] : {std::pair{1, 16}, {3, 20}, {5, 19}}) {
        SCOPED_TRACE(testing::Message() << "slot " << slot << " order " << order);
        Plan plan(order, 8, slot);
        const int t = sig::fft::kSplitT[slot][order], g = sig::fft::kSplitG[slot][order];
        const int64_t cols = int64_t{1} << (order - t), width = int64_t{1} << (g - t);
        const int r = slot >= 5 ? 8 : 4;
        RootReader reader(plan.at<float>(19), 0x1p-24f);
        for (int64_t g0 = 0; g0 < cols; g0 += width)
            for (int j = 0; j < t / 2; ++j) {
                const bool last = j == t / 2 - 1;
                for (int64_t k = 0; k < (int64_t{1} << (2 * j)) / (last ? 2 : 1); ++k)
                    for (int64_t c = g0; c < g0 + width; c += r)
                        reader.group(cols << (2 * (j + 1)), c + k * cols, r, last ? 2 : 3);
            }
        EXPECT_EQ(reader.position() - plan.at<float>(19), (int64_t{1} << order) - 2 * cols);
        uint32_t untouched;
        std::memcpy(&untouched, reader.position(), 4);
        EXPECT_EQ(untouched, 0xA5A5A5A5u);
    }
}

}  // namespace
