// The scanner's 16-bit and float primitives of every slot (allocation, copy and zero stand with
// the memory tests): the complex 16-bit multiply bit-exact against the exact product, the 16-bit
// to float conversion (exact), the real-by-complex dot product and the Hann window against
// long-double references.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "vector_test_util.h"

namespace {

using ScanSlots = vtest::EverySlot;
using vtest::sameBits;

// x / 2^sf rounded half to even (sf > 0) or x * 2^-sf (sf <= 0), saturated to 16 bits.
int16_t exactScaled(int64_t x, int32_t sf)
{
    if (sf > 31)
        return 0;
    if (sf <= 0)  // saturated first far beyond 16 bits, so the shift stays inside 64 bits
        return vtest::sat16(std::clamp<int64_t>(x, -(1 << 20), 1 << 20) << std::min(-sf, 40));
    return vtest::sat16(vtest::roundHalfEven(x, sf));
}

cs16 exactProduct(cs16 a, cs16 b, int32_t sf)
{
    return cs16{exactScaled(int64_t(a.re) * b.re - int64_t(a.im) * b.im, sf),
                exactScaled(int64_t(a.re) * b.im + int64_t(a.im) * b.re, sf)};
}

TEST_P(ScanSlots, Mul16CornerValuesEveryScaleFactor)
{
    const int16_t v[] = {-32768, -32767, -16384, -3, -1, 0, 1, 2, 3, 16384, 32767};
    std::vector<cs16> a, b;
    for (int16_t ar : v)
        for (int16_t ai : v)
            for (int16_t br : v)
                for (int16_t bi : v)
                    a.push_back(cs16{ar, ai}), b.push_back(cs16{br, bi});
    std::vector<cs16> y(a.size());
    for (int32_t sf = -20; sf <= 40; ++sf) {
        ASSERT_EQ(sigMul_cs16(a.data(), b.data(), y.data(), int32_t(a.size()), sf), sigOk);
        for (size_t i = 0; i < a.size(); ++i)
            ASSERT_TRUE(sameBits(y[i], exactProduct(a[i], b[i], sf)))
                << "sf " << sf << " a (" << a[i].re << "," << a[i].im << ") b (" << b[i].re << ","
                << b[i].im << ") got (" << y[i].re << "," << y[i].im << ")";
    }
    // The rule itself: ties to even, saturation on both sides, shifts past 31 give zero.
    const struct { cs16 a, b; int32_t sf; cs16 want; } examples[] = {
        {{3, 5}, {1, 0}, 1, {2, 2}},
        {{-3, 0}, {1, 0}, 1, {-2, 0}},
        {{-32768, -32768}, {-32768, -32768}, 0, {0, 32767}},
        {{1, 0}, {-1, 0}, -16, {-32768, 0}},
        {{1, 1}, {1, 0}, -15, {32767, 32767}},
        {{-32768, 0}, {-32768, 0}, 31, {0, 0}},
        {{-32768, -32768}, {-32768, 32767}, 31, {1, 0}},
        {{5, 5}, {5, 5}, 32, {0, 0}},
    };
    for (const auto& e : examples) {
        cs16 got{123, 123};
        ASSERT_EQ(sigMul_cs16(&e.a, &e.b, &got, 1, e.sf), sigOk);
        EXPECT_TRUE(sameBits(got, e.want)) << "sf " << e.sf << " got (" << got.re << "," << got.im << ")";
    }
}

TEST_P(ScanSlots, Mul16RandomVectorsInPlaceAndOutOfPlace)
{
    std::mt19937 rng(7 + slot());
    std::uniform_int_distribution<int> len(1, 37), sfs(-20, 40);
    for (int trial = 0; trial < 300; ++trial) {
        const int32_t n = len(rng), sf = sfs(rng);
        const std::vector<cs16> a = vtest::randomSamples(rng, n, 32768), b = vtest::randomSamples(rng, n, 32768);
        std::vector<cs16> want(n), square(n);
        for (int32_t i = 0; i < n; ++i)
            want[i] = exactProduct(a[i], b[i], sf), square[i] = exactProduct(a[i], a[i], sf);
        std::vector<cs16> guard(n + 1, cs16{77, 77});
        ASSERT_EQ(sigMul_cs16(a.data(), b.data(), guard.data(), n, sf), sigOk);
        ASSERT_EQ(0, std::memcmp(guard.data(), want.data(), size_t(n) * 4)) << "n " << n << " sf " << sf;
        EXPECT_EQ(guard[n].re, 77) << "nothing beyond len";
        std::vector<cs16> x = a;
        ASSERT_EQ(sigMul_cs16(x.data(), b.data(), x.data(), n, sf), sigOk);
        ASSERT_EQ(0, std::memcmp(x.data(), want.data(), size_t(n) * 4));
        x = b;
        ASSERT_EQ(sigMul_cs16(a.data(), x.data(), x.data(), n, sf), sigOk);
        ASSERT_EQ(0, std::memcmp(x.data(), want.data(), size_t(n) * 4));
        x = a;
        ASSERT_EQ(sigMul_cs16(x.data(), x.data(), x.data(), n, sf), sigOk);
        ASSERT_EQ(0, std::memcmp(x.data(), square.data(), size_t(n) * 4));
    }
    cs16 s[2] = {{1, 1}, {2, 2}}, y[2] = {{9, 9}, {9, 9}};
    EXPECT_EQ(sigMul_cs16(s, s, y, 0, 0), sigErrLength);
    EXPECT_EQ(y[0].re, 9);
    EXPECT_EQ(sigMul_cs16(nullptr, s, y, 0, 0), sigErrNull);
    EXPECT_EQ(sigMul_cs16(s, nullptr, y, 2, 0), sigErrNull);
    EXPECT_EQ(sigMul_cs16(s, s, nullptr, 2, 0), sigErrNull);
    EXPECT_EQ(sigMul_cs16(s, nullptr, nullptr, 2, 0), sigErrNull) << "in place on a NULL array";
    EXPECT_EQ(sigMul_cs16(nullptr, s, nullptr, 2, 0), sigErrNull);
    EXPECT_EQ(sigMul_cs16(s, s, s, -1, 0), sigErrLength);
    EXPECT_EQ(sigMul_cs16(s, s, y, 1, 40), sigOk);
    EXPECT_TRUE(sameBits(y[0], cs16{0, 0}));
    EXPECT_EQ(y[1].re, 9) << "len 1 writes one element";
}

TEST_P(ScanSlots, ConversionIsExactForEveryValue)
{
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

TEST_P(ScanSlots, RealByComplexDotWithinALengthScaledBound)
{
    std::mt19937 rng(11 + slot());
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
        const double tol = double(mag) * (len + 1) * 0x1p-24;
        EXPECT_NEAR(res.re, double(re), tol) << len;
        EXPECT_NEAR(res.im, double(im), tol) << len;
        if (len == 1) {
            EXPECT_TRUE(sameBits(res, cf32{r[0] * c[0].re, r[0] * c[0].im}));
        }
    }
    // The resampler's use: 16 taps that sum to one on a constant give the constant.
    std::vector<float> taps(16, 1.0f / 16);
    std::vector<cf32> dc(16, cf32{0.5f, -0.25f});
    cf32 res;
    ASSERT_EQ(sigDotProd_f32cf32(taps.data(), dc.data(), 16, &res), sigOk);
    EXPECT_TRUE(sameBits(res, cf32{0.5f, -0.25f}));
    EXPECT_EQ(sigDotProd_f32cf32(nullptr, dc.data(), 0, &res), sigErrNull);
    EXPECT_EQ(sigDotProd_f32cf32(taps.data(), nullptr, 16, &res), sigErrNull);
    EXPECT_EQ(sigDotProd_f32cf32(taps.data(), dc.data(), 16, nullptr), sigErrNull);
    EXPECT_EQ(sigDotProd_f32cf32(taps.data(), dc.data(), 0, &res), sigErrLength);
}

// The vector slots share one member: the resampler's output must not depend on the processor.
TEST(RealByComplexDotSlots, OneToSixGiveOneSum)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(1);
    constexpr int32_t kMax = 40;
    for (unsigned off = 0; off < 32; off += 4) {
        vtest::Arena ar(kMax * sizeof(float), off), ac(kMax * sizeof(cf32), 28 - off);
        float* r = ar.as<float>();
        cf32* c = ac.as<cf32>();
        vtest::fillSignal(c, kMax, 7 + off);
        vtest::fillSignal(reinterpret_cast<cf32*>(r), kMax / 2, 90 + off);
        for (int32_t len = 1; len <= kMax; ++len) {
            cf32 one{};
            ASSERT_EQ(vtest::onSlot(1, [&] { return sigDotProd_f32cf32(r, c, len, &one); }), sigOk);
            for (int slot = 2; slot <= 6; ++slot) {
                if (!testing_slots::slotRuns(slot))
                    continue;
                cf32 got{};
                ASSERT_EQ(vtest::onSlot(slot, [&] { return sigDotProd_f32cf32(r, c, len, &got); }), sigOk);
                ASSERT_TRUE(sameBits(got, one)) << "slot " << slot << " len " << len << " offset " << off;
            }
        }
    }
}

TEST_P(ScanSlots, HannWindowValuesAndInPlace)
{
    auto window = [](std::vector<cf32> x) {
        EXPECT_EQ(sigWinHann_cf32(x.data(), x.data(), int32_t(x.size())), sigOk);
        return x;
    };
    // Odd length: the middle element is copied bit for bit (here a NaN with a payload).
    std::vector<cf32> five(5, cf32{2.0f, 4.0f});
    five[2] = cf32{std::bit_cast<float>(0x7fc01234u), -0.0f};
    EXPECT_EQ(std::memcmp(&window(five)[2], &five[2], sizeof(cf32)), 0);

    std::mt19937 rng(3);
    std::normal_distribution<float> g(0.0f, 100.0f);
    for (int32_t len : {3, 4, 5, 6, 7, 64, 383, 384, 4096}) {
        std::vector<cf32> x(len), out(len);
        for (cf32& v : x)
            v = cf32{g(rng), g(rng)};
        ASSERT_EQ(sigWinHann_cf32(x.data(), out.data(), len), sigOk);
        EXPECT_EQ(std::memcmp(out.data(), window(x).data(), size_t(len) * 8), 0) << "in place and out of place agree";
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

INSTANTIATE_TEST_SUITE_P(AllSlots, ScanSlots, ::testing::Range(0, vtest::kSlots));

}  // namespace
