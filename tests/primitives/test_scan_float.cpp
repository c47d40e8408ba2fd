// 16-bit to float conversion (exact), real-by-complex dot product and Hann window of every
// slot, against exact values and long-double references.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "sigprim.h"
#include "slots.h"

namespace {

class FloatSlots : public ::testing::TestWithParam<int> {};

TEST_P(FloatSlots, ConversionIsExactForEveryValue)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    testing_slots::SlotScope slot(GetParam());
    std::vector<int16_t> all(65536);
    for (int i = 0; i < 65536; ++i)
        all[i] = int16_t(i - 32768);
    std::vector<float> out(65536 + 3);
    for (int32_t sf : {0, 1, 15, -3, -111, -112, -200, 126, 127, 200}) {
        const int limited = std::clamp(sf, -112, 126);
        // An odd start and length exercise the single-value head and tail of the vector loops.
        ASSERT_EQ(sigConvert_s16f32(all.data() + 1, out.data() + 1, 65535, sf), sigOk);
        for (int i = 1; i < 65536; ++i)
            ASSERT_EQ(out[i], std::ldexp(float(all[i]), -limited)) << "sf " << sf << " value " << all[i];
    }
    ASSERT_EQ(sigConvert_s16f32(all.data(), out.data(), 65536, 15), sigOk);
    EXPECT_EQ(out[0], -1.0f);
    EXPECT_EQ(out[65535], 0.999969482421875f);
    float y = 5;
    EXPECT_EQ(sigConvert_s16f32(nullptr, &y, 0, 0), sigErrNull);
    EXPECT_EQ(sigConvert_s16f32(all.data(), nullptr, 1, 0), sigErrNull);
    EXPECT_EQ(sigConvert_s16f32(all.data(), &y, 0, 0), sigErrLength);
    EXPECT_EQ(y, 5.0f);
}

TEST_P(FloatSlots, DotProductWithinALengthScaledBound)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    testing_slots::SlotScope slot(GetParam());
    std::mt19937 rng(11 + GetParam());
    std::normal_distribution<float> g(0.0f, 1.0f);
    for (int32_t len : {1, 2, 3, 7, 8, 9, 15, 16, 17, 33, 100, 1000, 4097}) {
        std::vector<float> r(len);
        std::vector<cf32> c(len);
        long double re = 0, im = 0, mag = 0;
        for (int32_t i = 0; i < len; ++i) {
            r[i] = g(rng);
            c[i] = cf32{g(rng), g(rng)};
            re += (long double)r[i] * c[i].re;
            im += (long double)r[i] * c[i].im;
            mag += fabsl((long double)r[i] * c[i].re) + fabsl((long double)r[i] * c[i].im);
        }
        cf32 res;
        ASSERT_EQ(sigDotProd_f32cf32(r.data(), c.data(), len, &res), sigOk);
        // Float summation in any order: at most len roundings of the running sums.
        const double tol = double(mag) * (len + 1) * std::ldexp(1.0, -24);
        EXPECT_NEAR(res.re, double(re), tol) << len;
        EXPECT_NEAR(res.im, double(im), tol) << len;
        if (len == 1) {
            EXPECT_EQ(res.re, r[0] * c[0].re);
            EXPECT_EQ(res.im, r[0] * c[0].im);
        }
    }
    // The resampler's use: 16 taps that sum to one on a constant give the constant.
    std::vector<float> taps(16, 1.0f / 16);
    std::vector<cf32> dc(16, cf32{0.5f, -0.25f});
    cf32 res;
    ASSERT_EQ(sigDotProd_f32cf32(taps.data(), dc.data(), 16, &res), sigOk);
    EXPECT_EQ(res.re, 0.5f);
    EXPECT_EQ(res.im, -0.25f);
    EXPECT_EQ(sigDotProd_f32cf32(nullptr, dc.data(), 0, &res), sigErrNull);
    EXPECT_EQ(sigDotProd_f32cf32(taps.data(), nullptr, 16, &res), sigErrNull);
    EXPECT_EQ(sigDotProd_f32cf32(taps.data(), dc.data(), 16, nullptr), sigErrNull);
    EXPECT_EQ(sigDotProd_f32cf32(taps.data(), dc.data(), 0, &res), sigErrLength);
}

TEST_P(FloatSlots, HannWindowValuesAndInPlace)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    testing_slots::SlotScope slot(GetParam());
    auto window = [](std::vector<cf32> x) {
        EXPECT_EQ(sigWinHann_cf32(x.data(), x.data(), int32_t(x.size())), sigOk);
        return x;
    };
    const std::vector<cf32> ones4(4, cf32{1.0f, -1.0f});
    const auto w4 = window(ones4);
    const float want4[4] = {0.0f, 0.75f, 0.75f, 0.0f};
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(w4[k].re, want4[k]);
        EXPECT_EQ(w4[k].im, -want4[k]);
    }
    // Odd length: the middle element is copied bit for bit (here a NaN with a payload).
    float odd;
    const uint32_t payload = 0x7fc01234u;
    std::memcpy(&odd, &payload, 4);
    std::vector<cf32> five(5, cf32{2.0f, 4.0f});
    five[2] = cf32{odd, -0.0f};
    const auto w5 = window(five);
    const float want5[5] = {0.0f, 0.5f, 0.0f, 0.5f, 0.0f};
    for (int k : {0, 1, 3, 4}) {
        EXPECT_EQ(w5[k].re, 2 * want5[k]);
        EXPECT_EQ(w5[k].im, 4 * want5[k]);
    }
    EXPECT_EQ(std::memcmp(&w5[2], &five[2], sizeof(cf32)), 0);
    const auto w3 = window({{5, 6}, {7, 8}, {9, 10}});
    EXPECT_TRUE(w3[0].re == 0 && w3[0].im == 0 && w3[2].re == 0 && w3[2].im == 0);
    EXPECT_TRUE(w3[1].re == 7 && w3[1].im == 8);

    std::mt19937 rng(3);
    std::normal_distribution<float> g(0.0f, 100.0f);
    for (int32_t len : {6, 7, 64, 383, 384, 4096}) {
        std::vector<cf32> x(len);
        for (cf32& v : x)
            v = cf32{g(rng), g(rng)};
        std::vector<cf32> out(len);
        ASSERT_EQ(sigWinHann_cf32(x.data(), out.data(), len), sigOk);
        EXPECT_EQ(std::memcmp(out.data(), window(x).data(), size_t(len) * 8), 0)
            << "in place and out of place agree";
        for (int32_t k = 0; k < len; ++k) {
            const long double w = 0.5L * (1 - cosl(2 * 3.14159265358979323846L * k / (len - 1)));
            EXPECT_NEAR(out[k].re, double(x[k].re * w), 2e-7 * std::fabs(x[k].re) + 1e-30) << len << " " << k;
            EXPECT_NEAR(out[k].im, double(x[k].im * w), 2e-7 * std::fabs(x[k].im) + 1e-30) << len << " " << k;
        }
    }
    cf32 v[2] = {{1, 1}, {1, 1}};
    EXPECT_EQ(sigWinHann_cf32(v, v, 2), sigErrLength);
    EXPECT_EQ(sigWinHann_cf32(nullptr, v, 2), sigErrNull);
    EXPECT_EQ(sigWinHann_cf32(v, nullptr, 5), sigErrNull);
    EXPECT_EQ(v[0].re, 1.0f);
}

INSTANTIATE_TEST_SUITE_P(EverySlot, FloatSlots, ::testing::Range(0, 7));

}  // namespace
