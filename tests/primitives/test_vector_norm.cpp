// The L2 norm: slot 0 against a long-double reference, slots 1 to 6 identical to one another
// (one float arithmetic) and within the rounding of their float partial sums of slot 0.
#include <gtest/gtest.h>

#include <cmath>

#include "slots.h"
#include "vector_test_util.h"

namespace {

using testing_slots::SlotScope;

sigStatus norm(int slot, const cf32* src, int32_t len, double* out)
{
    SlotScope scope(slot);
    return sigNormL2_cf32(src, len, out);
}

class NormSlots : public ::testing::TestWithParam<int> {};

TEST_P(NormSlots, ChecksSourceThenResultThenLength)
{
    const int slot = GetParam();
    SIG_SKIP_UNLESS_SLOT_RUNS(slot);
    cf32 x{3, 4};
    double r = 42.0;
    EXPECT_EQ(norm(slot, nullptr, 0, nullptr), sigErrNull);
    EXPECT_EQ(norm(slot, &x, 0, nullptr), sigErrNull);
    EXPECT_EQ(norm(slot, &x, 0, &r), sigErrLength);
    EXPECT_EQ(r, 42.0);
}

TEST_P(NormSlots, SmallExactCases)
{
    const int slot = GetParam();
    SIG_SKIP_UNLESS_SLOT_RUNS(slot);
    cf32 x{3, 4};
    double r = -1;
    ASSERT_EQ(norm(slot, &x, 1, &r), sigOk);
    EXPECT_EQ(r, 5.0);
    std::vector<cf32> zeros(37, cf32{0, 0});
    ASSERT_EQ(norm(slot, zeros.data(), 37, &r), sigOk);
    EXPECT_EQ(r, 0.0);
    EXPECT_FALSE(std::signbit(r));
    // Lengths 1 to 3 go element by element, 4 takes one vector step: the same value here.
    std::vector<cf32> ones(4, cf32{1, -1});
    for (int32_t len = 1; len <= 4; ++len) {
        ASSERT_EQ(norm(slot, ones.data(), len, &r), sigOk);
        EXPECT_EQ(r, std::sqrt(2.0 * len)) << "len " << len;
    }
}

TEST_P(NormSlots, AgreesWithTheReferenceAcrossLengths)
{
    const int slot = GetParam();
    SIG_SKIP_UNLESS_SLOT_RUNS(slot);
    constexpr int32_t kMax = 1100;
    for (unsigned off : {0u, 8u, 4u}) {
        vtest::Arena a(kMax * sizeof(cf32), off);
        cf32* x = a.as<cf32>();
        vtest::fillSignal(x, kMax, 77 + off);
        long double s = 0;
        for (int32_t len = 1; len <= kMax; ++len) {
            s += (long double)x[len - 1].re * x[len - 1].re + (long double)x[len - 1].im * x[len - 1].im;
            double ref = std::sqrt(double(s)), base = 0, got = 0;
            ASSERT_EQ(norm(0, x, len, &base), sigOk);
            ASSERT_EQ(norm(slot, x, len, &got), sigOk);
            // Double sums of positive terms; float partial sums of about len/4 terms each, and
            // the square root halves the relative error of the sum.
            ASSERT_NEAR(base, ref, ref * 0x1p-50 * len);
            ASSERT_NEAR(got, base, base * 0x1p-24 * (len / 4 + 4));
            if (slot > 1) {
                double one = 0;
                ASSERT_EQ(norm(1, x, len, &one), sigOk);
                ASSERT_EQ(got, one) << "len " << len;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllSlots, NormSlots, ::testing::Range(0, vtest::kSlots));

}  // namespace
