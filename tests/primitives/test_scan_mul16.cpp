// Complex 16-bit multiply of every slot against the exact product, rounded half to even and
// saturated, computed in 64 bits.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "sigprim.h"
#include "slots.h"

namespace {

int16_t exactScaled(int64_t x, int32_t sf)
{
    if (sf > 31)
        return 0;
    if (sf <= 0) {
        // |x| <= 2^31 and the shift adds at most 40 bits: still inside 64 bits when saturated
        // first at a bound far beyond 16 bits.
        const int64_t v = std::clamp<int64_t>(x, -(int64_t(1) << 20), int64_t(1) << 20) << std::min(-sf, 40);
        return int16_t(std::clamp<int64_t>(v, -32768, 32767));
    }
    const int64_t unit = int64_t(1) << sf;
    int64_t q = x >= 0 ? x / unit : -((-x + unit - 1) / unit);
    const int64_t rem = x - q * unit;
    if (2 * rem > unit || (2 * rem == unit && (q & 1)))
        ++q;
    return int16_t(std::clamp<int64_t>(q, -32768, 32767));
}

cs16 exactProduct(cs16 a, cs16 b, int32_t sf)
{
    const int64_t p = int64_t(a.re) * b.re - int64_t(a.im) * b.im;
    const int64_t q = int64_t(a.re) * b.im + int64_t(a.im) * b.re;
    return cs16{exactScaled(p, sf), exactScaled(q, sf)};
}

bool same(const cs16& a, const cs16& b) { return a.re == b.re && a.im == b.im; }

class Mul16Slots : public ::testing::TestWithParam<int> {};

TEST_P(Mul16Slots, CornerValuesEveryScaleFactor)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    testing_slots::SlotScope slot(GetParam());
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
            ASSERT_TRUE(same(y[i], exactProduct(a[i], b[i], sf)))
                << "sf " << sf << " a (" << a[i].re << "," << a[i].im << ") b (" << b[i].re << ","
                << b[i].im << ") got (" << y[i].re << "," << y[i].im << ")";
    }
}

TEST_P(Mul16Slots, RandomVectorsInPlaceAndOutOfPlace)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    testing_slots::SlotScope slot(GetParam());
    std::mt19937 rng(7 + GetParam());
    std::uniform_int_distribution<int> val(-32768, 32767), len(1, 37), sfs(-20, 40);
    for (int trial = 0; trial < 300; ++trial) {
        const int32_t n = len(rng), sf = sfs(rng);
        std::vector<cs16> a(n), b(n), want(n);
        for (int32_t i = 0; i < n; ++i) {
            a[i] = cs16{int16_t(val(rng)), int16_t(val(rng))};
            b[i] = cs16{int16_t(val(rng)), int16_t(val(rng))};
            want[i] = exactProduct(a[i], b[i], sf);
        }
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
        for (int32_t i = 0; i < n; ++i)
            ASSERT_TRUE(same(x[i], exactProduct(a[i], a[i], sf)));
    }
}

TEST_P(Mul16Slots, ExamplesAndStatusCodes)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    testing_slots::SlotScope slot(GetParam());
    auto mul = [](cs16 a, cs16 b, int32_t sf) {
        cs16 y{123, 123};
        EXPECT_EQ(sigMul_cs16(&a, &b, &y, 1, sf), sigOk);
        return y;
    };
    EXPECT_TRUE(same(mul({3, 5}, {1, 0}, 1), cs16{2, 2}));
    EXPECT_TRUE(same(mul({-3, 0}, {1, 0}, 1), cs16{-2, 0}));
    EXPECT_TRUE(same(mul({-32768, 0}, {-32768, 0}, 0), cs16{32767, 0}));
    EXPECT_TRUE(same(mul({-32768, -32768}, {-32768, -32768}, 0), cs16{0, 32767}));
    EXPECT_TRUE(same(mul({1, 0}, {-1, 0}, -16), cs16{-32768, 0}));
    EXPECT_TRUE(same(mul({1, 1}, {1, 0}, -15), cs16{32767, 32767}));
    EXPECT_TRUE(same(mul({1, 0}, {1, 0}, -14), cs16{16384, 0}));
    EXPECT_TRUE(same(mul({-32768, 0}, {-32768, 0}, 31), cs16{0, 0})) << "2^30 / 2^31 is a tie: even";
    EXPECT_TRUE(same(mul({-32768, -32768}, {-32768, 32767}, 31), cs16{1, 0}));
    EXPECT_TRUE(same(mul({5, 5}, {5, 5}, 32), cs16{0, 0}));

    cs16 a[2] = {{1, 1}, {2, 2}}, y[2] = {{9, 9}, {9, 9}};
    EXPECT_EQ(sigMul_cs16(a, a, y, 0, 0), sigErrLength);
    EXPECT_EQ(y[0].re, 9);
    EXPECT_EQ(sigMul_cs16(nullptr, a, y, 0, 0), sigErrNull);
    EXPECT_EQ(sigMul_cs16(a, nullptr, y, 2, 0), sigErrNull);
    EXPECT_EQ(sigMul_cs16(a, a, nullptr, 2, 0), sigErrNull);
    EXPECT_EQ(sigMul_cs16(a, nullptr, nullptr, 2, 0), sigErrNull) << "in place on a NULL array";
    EXPECT_EQ(sigMul_cs16(nullptr, a, nullptr, 2, 0), sigErrNull);
    EXPECT_EQ(sigMul_cs16(a, a, a, -1, 0), sigErrLength);
    EXPECT_EQ(sigMul_cs16(a, a, y, 1, 40), sigOk);
    EXPECT_TRUE(same(y[0], cs16{0, 0}));
    EXPECT_EQ(y[1].re, 9) << "len 1 writes one element";
}

INSTANTIATE_TEST_SUITE_P(EverySlot, Mul16Slots, ::testing::Range(0, 7));

}  // namespace
