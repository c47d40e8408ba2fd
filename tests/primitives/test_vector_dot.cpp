// The complex dot product: slot 0 against a long-double reference, every other slot against
// slot 0 within the rounding of float partial sums, across lengths and misalignments.
#include <gtest/gtest.h>

#include <cmath>

#include "slots.h"
#include "vector_test_util.h"

namespace {

using testing_slots::SlotScope;

struct Reference {
    long double re = 0, im = 0;
    double magRe = 0, magIm = 0;   // sums of the absolute products of each part
};

Reference reference(const cf32* x, const cf32* y, int32_t len)
{
    Reference r;
    for (int32_t i = 0; i < len; ++i) {
        long double xr = x[i].re, xi = x[i].im, yr = y[i].re, yi = y[i].im;
        r.re += xr * yr - xi * yi;
        r.im += xr * yi + xi * yr;
        r.magRe += std::fabs(double(xr * yr)) + std::fabs(double(xi * yi));
        r.magIm += std::fabs(double(xr * yi)) + std::fabs(double(xi * yr));
    }
    return r;
}

constexpr double kFloatEps = 0x1p-24;

// Slot 0: double sums of exact products, each part rounded to float once.
double slot0Bound(double value, double mag, int32_t len) { return kFloatEps * std::fabs(value) + 0x1p-51 * len * mag; }

// Vector slots: float partial sums, no chain longer than len terms, then the final combination.
double vectorBound(double mag, int32_t len) { return (len + 8) * kFloatEps * mag; }

sigStatus dot(int slot, const cf32* x, const cf32* y, int32_t len, cf32* out)
{
    SlotScope scope(slot);
    return sigDotProd_cf32(x, y, len, out);
}

class DotSlots : public ::testing::TestWithParam<int> {};

TEST_P(DotSlots, NoConjugateOnEitherSide)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    cf32 x{1, 2}, y{3, 4}, r{};
    ASSERT_EQ(dot(GetParam(), &x, &y, 1, &r), sigOk);
    EXPECT_EQ(r.re, -5.0f);
    EXPECT_EQ(r.im, 10.0f);
}

TEST_P(DotSlots, ChecksPointersBeforeLength)
{
    const int slot = GetParam();
    SIG_SKIP_UNLESS_SLOT_RUNS(slot);
    cf32 x{1, 1}, r{7, 7};
    EXPECT_EQ(dot(slot, nullptr, &x, 0, &r), sigErrNull);
    EXPECT_EQ(dot(slot, &x, nullptr, 0, &r), sigErrNull);
    EXPECT_EQ(dot(slot, &x, &x, 0, nullptr), sigErrNull);
    EXPECT_EQ(dot(slot, &x, &x, 0, &r), sigErrLength);
    EXPECT_EQ(dot(slot, &x, &x, -3, &r), sigErrLength);
    EXPECT_EQ(r.re, 7.0f);
    EXPECT_EQ(r.im, 7.0f);
}

TEST_P(DotSlots, AgreesAcrossLengthsAndAlignments)
{
    const int slot = GetParam();
    SIG_SKIP_UNLESS_SLOT_RUNS(slot);
    constexpr int32_t kMax = 1100;
    const unsigned offsets[][2] = {{0, 0}, {8, 0}, {4, 12}, {24, 16}, {4, 8}, {12, 16}};
    for (auto [ox, oy] : offsets) {
        vtest::Arena ax(kMax * sizeof(cf32), ox), ay(kMax * sizeof(cf32), oy);
        cf32* x = ax.as<cf32>();
        cf32* y = ay.as<cf32>();
        vtest::fillSignal(x, kMax, 11 + ox);
        vtest::fillSignal(y, kMax, 97 + oy);
        for (int32_t len = 1; len <= kMax; ++len) {
            Reference ref = reference(x, y, len);
            cf32 base{}, got{};
            ASSERT_EQ(dot(0, x, y, len, &base), sigOk);
            ASSERT_EQ(dot(slot, x, y, len, &got), sigOk);
            SCOPED_TRACE(::testing::Message() << "len " << len << " offsets " << ox << "/" << oy);
            ASSERT_NEAR(base.re, double(ref.re), slot0Bound(double(ref.re), ref.magRe, len));
            ASSERT_NEAR(base.im, double(ref.im), slot0Bound(double(ref.im), ref.magIm, len));
            ASSERT_NEAR(got.re, base.re, vectorBound(ref.magRe, len));
            ASSERT_NEAR(got.im, base.im, vectorBound(ref.magIm, len));
        }
    }
}

TEST_P(DotSlots, ResultMayLieInsideASource)
{
    const int slot = GetParam();
    SIG_SKIP_UNLESS_SLOT_RUNS(slot);
    std::vector<cf32> x(300), y(300);
    vtest::fillSignal(x.data(), 300, 5);
    vtest::fillSignal(y.data(), 300, 6);
    cf32 expected{};
    ASSERT_EQ(dot(slot, x.data(), y.data(), 300, &expected), sigOk);
    ASSERT_EQ(dot(slot, x.data(), y.data(), 300, &x[17]), sigOk);
    EXPECT_TRUE(vtest::sameBits(x[17], expected));
}

INSTANTIATE_TEST_SUITE_P(AllSlots, DotSlots, ::testing::Range(0, vtest::kSlots));

}  // namespace
