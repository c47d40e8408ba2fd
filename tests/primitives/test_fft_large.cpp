// Gigabyte-sized FFT cases (CTest label "large"): the plain transform of orders 23 to 27 against
// double-precision FFTW, the two-level split of order 27, and the planners of every slot up to
// their order limits staying inside the reported sizes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "fft_reference.h"
#include "fft_slot_decls.h"
#include "sigprim.h"
#include "slots.h"

namespace {

using fft_test::word;

struct Blocks {
    std::vector<uint8_t> spec, init, work;
    sigFftSpec_cf32* handle = nullptr;
    Blocks(int slot, int32_t order, int32_t flag)
    {
        int32_t s, i, w;
        EXPECT_EQ(fft_test::kOwnGetSize[slot](order, flag, 0, &s, &i, &w), sigOk);
        spec.assign(static_cast<size_t>(s) + 64, 0xA5);
        init.resize(static_cast<size_t>(i) + 64);
        work.resize(static_cast<size_t>(w));
        // Offset 1: the worst alignment, 63 bytes lost to the rounding up.
        uint8_t* specMem = reinterpret_cast<uint8_t*>(
            ((reinterpret_cast<uintptr_t>(spec.data()) + 63) & ~uintptr_t{63}) + 1);
        EXPECT_EQ(fft_test::kOwnInit[slot](&handle, order, flag, 0, specMem, init.data()), sigOk);
        size_t overrun = 0;
        for (const uint8_t* p = specMem + s; p < spec.data() + spec.size(); ++p)
            overrun += *p != 0xA5;
        EXPECT_EQ(overrun, 0u) << "slot " << slot << " order " << order << ": spec overrun";
        EXPECT_TRUE(word(handle, 6) == 0 ? w == 0 : w >= word(handle, 6) + 63);
    }
};

class FftLargeOrder : public testing::TestWithParam<int32_t> {};

TEST_P(FftLargeOrder, MatchesDoublePrecisionTransform)
{
    const int32_t order = GetParam();
    const size_t n = size_t{1} << order;
    std::vector<cf32> x = fft_reference::testSignal(n, 23);
    const std::vector<fft_reference::cd> ref = fft_reference::doubleFft(fft_reference::toDouble(x));
    Blocks plan(0, order, 1);
    std::vector<cf32> y(n);
    ASSERT_EQ(sigFftFwd_cf32(x.data(), y.data(), plan.handle, plan.work.data()), sigOk);
    const double err = fft_reference::relativeRmsError(y.data(), ref, std::ldexp(1.0, -order));
    EXPECT_LE(err, 0.5 * std::ldexp(1.0, -24) * (order + 2));
    ASSERT_EQ(sigFftFwd_cf32(x.data(), x.data(), plan.handle, nullptr), sigOk);
    EXPECT_EQ(std::memcmp(x.data(), y.data(), n * sizeof(cf32)), 0);
}

INSTANTIATE_TEST_SUITE_P(Orders23To27, FftLargeOrder, testing::Range(23, 28));

// Order 27 splits twice: 1024 rows of 2^17, each 256 rows of 512.
TEST(FftLarge, Order27SplitsAtTwoDepths)
{
    Blocks plan(0, 27, 8);
    for (int w : {16, 17, 19, 20})
        EXPECT_NE(word(plan.handle, w), 0) << "word " << w;
    for (int w : {12, 13, 18, 21})
        EXPECT_EQ(word(plan.handle, w), 0) << "word " << w;
    EXPECT_EQ(word(plan.handle, 6), 32768);
    const float* r = reinterpret_cast<const float*>(reinterpret_cast<const char*>(plan.handle) +
                                                    word(plan.handle, 11));
    // Records of 512 points: record 64 holds w^64 = e^(-j*pi/4).
    EXPECT_NEAR(r[6 * 64], 0.70710677f, 1e-7f);
    EXPECT_NEAR(r[6 * 64 + 1], -0.70710677f, 1e-7f);
}

TEST(FftLarge, PlannersStayInsideTheirSizesUpToTheLimit)
{
    for (int slot = 0; slot < 7; ++slot) {
        if (!testing_slots::slotRuns(slot))
            continue;
        for (int32_t order = 21; order <= sig::fft::kOrderLimit[slot]; ++order)
            Blocks plan(slot, order, 4);
    }
}

}  // namespace
