// The complex multiply and the raw in-place product. Each element's rounding is fixed per slot
// (double on slot 0, float products on slots 1 to 5, fused on slot 6), so every slot is checked
// bit for bit against a scalar model of its own rounding, and slot 0 against long double.
#include <gtest/gtest.h>

#include <cmath>

#include "slots.h"
#include "vector_test_util.h"

namespace {

using testing_slots::SlotScope;

cf32 model(int slot, cf32 a, cf32 b)
{
    if (slot == 0) {
        double re = double(a.re) * b.re - double(a.im) * b.im;
        double im = double(a.re) * b.im + double(a.im) * b.re;
        return cf32{float(re), float(im)};
    }
    if (slot == 6)
        return cf32{std::fma(a.re, b.re, -(a.im * b.im)), std::fma(a.im, b.re, a.re * b.im)};
    float rr = a.re * b.re, ii = a.im * b.im, ir = a.im * b.re, ri = a.re * b.im;
    return cf32{rr - ii, ir + ri};
}

sigStatus mul(int slot, const cf32* a, const cf32* b, cf32* d, int32_t len)
{
    SlotScope scope(slot);
    return sigMul_cf32(a, b, d, len);
}

class MulSlots : public ::testing::TestWithParam<int> {};

TEST_P(MulSlots, ChecksPointersBeforeLength)
{
    const int slot = GetParam();
    SIG_SKIP_UNLESS_SLOT_RUNS(slot);
    cf32 a{1, 2}, d{9, 9};
    EXPECT_EQ(mul(slot, nullptr, &a, &d, 0), sigErrNull);
    EXPECT_EQ(mul(slot, &a, nullptr, &d, 0), sigErrNull);
    EXPECT_EQ(mul(slot, &a, &a, nullptr, 0), sigErrNull);
    EXPECT_EQ(mul(slot, &a, &a, &d, 0), sigErrLength);
    EXPECT_EQ(mul(slot, &a, &a, &d, -1), sigErrLength);
    EXPECT_TRUE(vtest::sameBits(d, cf32{9, 9}));
}

TEST_P(MulSlots, EveryElementRoundsAsItsSlotSays)
{
    const int slot = GetParam();
    SIG_SKIP_UNLESS_SLOT_RUNS(slot);
    std::vector<int32_t> lengths;
    for (int32_t n = 1; n <= 70; ++n)
        lengths.push_back(n);
    lengths.insert(lengths.end(), {255, 1000, 1100});
    const unsigned offsets[][3] = {{0, 0, 0}, {0, 0, 8}, {8, 4, 16}, {4, 12, 24}, {0, 8, 4}, {16, 16, 12}};
    for (auto [oa, ob, od] : offsets) {
        for (int32_t len : lengths) {
            vtest::Arena aa(len * sizeof(cf32), oa), ab(len * sizeof(cf32), ob), ad(len * sizeof(cf32), od);
            cf32 *a = aa.as<cf32>(), *b = ab.as<cf32>(), *d = ad.as<cf32>();
            vtest::fillSignal(a, len, len);
            vtest::fillSignal(b, len, len + 1000);
            ASSERT_EQ(mul(slot, a, b, d, len), sigOk);
            for (int32_t i = 0; i < len; ++i)
                ASSERT_TRUE(vtest::sameBits(d[i], model(slot, a[i], b[i])))
                    << "len " << len << " i " << i << " offsets " << oa << "/" << ob << "/" << od;
            ASSERT_TRUE(ad.guardIntact()) << "len " << len;
        }
    }
}

TEST(MulSlot0, WithinHalfAnUlpOfTheExactProduct)
{
    std::vector<cf32> a(512), b(512), d(512);
    vtest::fillSignal(a.data(), 512, 3);
    vtest::fillSignal(b.data(), 512, 4);
    ASSERT_EQ(mul(0, a.data(), b.data(), d.data(), 512), sigOk);
    for (int i = 0; i < 512; ++i) {
        long double re = (long double)a[i].re * b[i].re - (long double)a[i].im * b[i].im;
        long double im = (long double)a[i].re * b[i].im + (long double)a[i].im * b[i].re;
        EXPECT_LE(std::fabs(double(d[i].re - re)), 0.5 * std::ldexp(1.0, std::ilogb(double(re)) - 23) * 1.0000001);
        EXPECT_LE(std::fabs(double(d[i].im - im)), 0.5 * std::ldexp(1.0, std::ilogb(double(im)) - 23) * 1.0000001);
    }
}

TEST_P(MulSlots, DestinationMayBeEitherSource)
{
    const int slot = GetParam();
    SIG_SKIP_UNLESS_SLOT_RUNS(slot);
    for (int32_t len : {1, 4, 5, 8, 29, 1646}) {
        std::vector<cf32> a(len), b(len), separate(len);
        vtest::fillSignal(a.data(), len, 21);
        vtest::fillSignal(b.data(), len, 22);
        ASSERT_EQ(mul(slot, a.data(), b.data(), separate.data(), len), sigOk);
        std::vector<cf32> over1 = a, over2 = b;
        ASSERT_EQ(mul(slot, over1.data(), b.data(), over1.data(), len), sigOk);
        ASSERT_EQ(mul(slot, a.data(), over2.data(), over2.data(), len), sigOk);
        for (int32_t i = 0; i < len; ++i) {
            ASSERT_TRUE(vtest::sameBits(over1[i], separate[i])) << "len " << len << " i " << i;
            ASSERT_TRUE(vtest::sameBits(over2[i], separate[i])) << "len " << len << " i " << i;
        }
    }
}

// Slots 0, 5 and 6 promise the sequential result for a shifted overlap: each output uses the
// source as it stood when its element was reached.
TEST(MulOverlap, ShiftedDestinationGivesTheSequentialResult)
{
    for (int slot : {0, 5, 6}) {
        if (!testing_slots::slotRuns(slot))
            continue;
        for (int shift : {1, -1, 3}) {
            for (int32_t len : {5, 8, 40, 301}) {
                std::vector<cf32> buf(len + 8), b(len);
                vtest::fillSignal(buf.data(), len + 8, 7);
                vtest::fillSignal(b.data(), len, 8);
                std::vector<cf32> expected = buf;
                cf32* src = buf.data() + 4;
                cf32* dst = src + shift;
                for (int32_t i = 0; i < len; ++i)
                    expected[4 + shift + i] = model(slot, expected[4 + i], b[i]);
                ASSERT_EQ(mul(slot, src, b.data(), dst, len), sigOk);
                for (size_t i = 0; i < buf.size(); ++i)
                    ASSERT_TRUE(vtest::sameBits(buf[i], expected[i]))
                        << "slot " << slot << " shift " << shift << " len " << len << " i " << i;
            }
        }
    }
}

TEST_P(MulSlots, RawInPlaceProductMultipliesEveryElement)
{
    const int slot = GetParam();
    SIG_SKIP_UNLESS_SLOT_RUNS(slot);
    for (unsigned od : {0u, 8u, 4u}) {
        for (int32_t len = 1; len <= 40; ++len) {
            vtest::Arena ad(len * sizeof(cf32), od);
            std::vector<cf32> src(len), original(len);
            cf32* d = ad.as<cf32>();
            vtest::fillSignal(src.data(), len, 31);
            vtest::fillSignal(d, len, 32);
            std::copy(d, d + len, original.begin());
            vtest::kMulRaw[slot](src.data(), d, len);
            for (int32_t i = 0; i < len; ++i)
                ASSERT_TRUE(vtest::sameBits(d[i], model(slot, original[i], src[i])))
                    << "len " << len << " i " << i << " offset " << od;
            ASSERT_TRUE(ad.guardIntact());
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllSlots, MulSlots, ::testing::Range(0, vtest::kSlots));

}  // namespace
