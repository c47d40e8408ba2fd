// Gigabyte-sized FFT cases (CTest label "large"): the plain transform of orders 23 to 27 against
// double-precision FFTW and back, the two-level split of order 27, and the planners of every
// slot up to their order limits staying inside the reported sizes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "fft_reference.h"
#include "fft_test_support.h"
#include "sigprim.h"
#include "slots.h"

namespace {

using fft_reference::allowedError;
using fft_test::Plan;
using fft_test::word;

class FftLargeOrder : public testing::TestWithParam<int32_t> {};

// Forward scaled by 1/N against FFTW, in place equal to out of place; then the inverse scaled by
// 1/N of that spectrum gives x / N.
TEST_P(FftLargeOrder, MatchesDoublePrecisionTransformAndInvertsIt)
{
    const int32_t order = GetParam();
    const size_t n = size_t{1} << order;
    const std::vector<cf32> x = fft_reference::testSignal(n, 23);
    std::vector<cf32> y(n);
    {
        const std::vector<fft_reference::cd> ref = fft_reference::dft(fft_reference::toDouble(x));
        Plan plan(order, 1);
        ASSERT_EQ(sigFftFwd_cf32(x.data(), y.data(), plan.spec, plan.work()), sigOk);
        EXPECT_LE(fft_reference::relativeRmsError(y.data(), ref, std::ldexp(1.0, -order)),
                  allowedError(order));
        std::vector<cf32> z(x);
        ASSERT_EQ(sigFftFwd_cf32(z.data(), z.data(), plan.spec, nullptr), sigOk);
        EXPECT_EQ(std::memcmp(z.data(), y.data(), n * sizeof(cf32)), 0);
    }
    Plan plan(order, 2);
    ASSERT_EQ(fft_test::kInverse[0](y.data(), y.data(), plan.spec, plan.work()), sigOk);
    const std::vector<fft_reference::cd> xd = fft_reference::toDouble(x);
    EXPECT_LT(fft_reference::relativeRmsError(y.data(), xd, std::ldexp(1.0, -order)),
              2 * allowedError(order));
}

INSTANTIATE_TEST_SUITE_P(Orders23To27, FftLargeOrder, testing::Range(23, 28));

// Order 27 splits twice: 1024 rows of 2^17, each 256 rows of 512.
TEST(FftLarge, Order27SplitsAtTwoDepths)
{
    Plan plan(27, 8, 0);
    for (int w : {16, 17, 19, 20})
        EXPECT_NE(word(plan.spec, w), 0) << "word " << w;
    for (int w : {12, 13, 18, 21})
        EXPECT_EQ(word(plan.spec, w), 0) << "word " << w;
    EXPECT_EQ(word(plan.spec, 6), 32768);
    // Records of 512 points: record 64 holds w^64 = e^(-j*pi/4).
    const float* r = plan.at<float>(11);
    EXPECT_NEAR(r[6 * 64], 0.70710677f, 1e-7f);
    EXPECT_NEAR(r[6 * 64 + 1], -0.70710677f, 1e-7f);
}

TEST(FftLarge, PlannersStayInsideTheirSizesUpToTheLimit)
{
    for (int slot = 0; slot < 7; ++slot)
        for (int32_t order = 21; order <= sig::fft::kOrderLimit[slot] && testing_slots::slotRuns(slot);
             ++order)
            fft_test::expectPlanStaysInside(slot, order, 4, 1, 0);  // the worst spec alignment
}

}  // namespace
