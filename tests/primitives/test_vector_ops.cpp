// The complex vector operations of every slot: dot product and L2 norm (slot 0 against long
// double, the others against slot 0 within the rounding of float partial sums, the dot product
// also bit-exact to a model of its member's summation order), the interleave (bit-exact) and the
// multiply (bit-exact to a scalar model of each slot's rounding).
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <utility>

#include "vector_test_util.h"

namespace {

using vtest::Arena;
using vtest::onSlot;
using vtest::sameBits;
using VectorSlots = vtest::EverySlot;

constexpr double kFloatEps = 0x1p-24;

TEST_P(VectorSlots, PointersCheckedBeforeLengthAndNothingWritten)
{
    cf32 x{1, 1}, r{7, 7};
    double n = 42.0;
    float re = 1, im = 2;
    EXPECT_EQ(sigDotProd_cf32(nullptr, &x, 0, &r), sigErrNull);
    EXPECT_EQ(sigDotProd_cf32(&x, nullptr, 0, &r), sigErrNull);
    EXPECT_EQ(sigDotProd_cf32(&x, &x, 0, nullptr), sigErrNull);
    EXPECT_EQ(sigDotProd_cf32(&x, &x, 0, &r), sigErrLength);
    EXPECT_EQ(sigDotProd_cf32(&x, &x, -3, &r), sigErrLength);
    EXPECT_EQ(sigMul_cf32(nullptr, &x, &r, 0), sigErrNull);
    EXPECT_EQ(sigMul_cf32(&x, nullptr, &r, 0), sigErrNull);
    EXPECT_EQ(sigMul_cf32(&x, &x, nullptr, 0), sigErrNull);
    EXPECT_EQ(sigMul_cf32(&x, &x, &r, 0), sigErrLength);
    EXPECT_EQ(sigMul_cf32(&x, &x, &r, -1), sigErrLength);
    EXPECT_EQ(sigNormL2_cf32(nullptr, 0, nullptr), sigErrNull);
    EXPECT_EQ(sigNormL2_cf32(&x, 0, nullptr), sigErrNull);
    EXPECT_EQ(sigNormL2_cf32(&x, 0, &n), sigErrLength);
    // The interleave: destination, then length, then the sources (either may be NULL alone).
    EXPECT_EQ(sigRealToCplx_f32(&re, &im, nullptr, 0), sigErrNull);
    EXPECT_EQ(sigRealToCplx_f32(nullptr, nullptr, &r, 0), sigErrLength);
    EXPECT_EQ(sigRealToCplx_f32(&re, &im, &r, -2), sigErrLength);
    EXPECT_EQ(sigRealToCplx_f32(nullptr, nullptr, &r, 1), sigErrNull);
    EXPECT_TRUE(sameBits(r, cf32{7, 7}));
    EXPECT_EQ(n, 42.0);
}

// No conjugate on either side; slot 0 sums exact products in double and rounds each part once,
// the vector slots keep float partial sums of at most len terms.
TEST_P(VectorSlots, DotProductAgreesAcrossLengthsAndAlignments)
{
    constexpr int32_t kMax = 1100;
    const unsigned offsets[][2] = {{0, 0}, {8, 0}, {4, 12}, {24, 16}, {4, 8}, {12, 16}};
    for (auto [ox, oy] : offsets) {
        Arena ax(kMax * sizeof(cf32), ox), ay(kMax * sizeof(cf32), oy);
        cf32 *x = ax.as<cf32>(), *y = ay.as<cf32>();
        vtest::fillSignal(x, kMax, 11 + ox);
        vtest::fillSignal(y, kMax, 97 + oy);
        long double re = 0, im = 0;
        double magRe = 0, magIm = 0;  // sums of the absolute products of each part
        for (int32_t len = 1; len <= kMax; ++len) {
            const long double xr = x[len - 1].re, xi = x[len - 1].im, yr = y[len - 1].re, yi = y[len - 1].im;
            re += xr * yr - xi * yi;
            im += xr * yi + xi * yr;
            magRe += std::fabs(double(xr * yr)) + std::fabs(double(xi * yi));
            magIm += std::fabs(double(xr * yi)) + std::fabs(double(xi * yr));
            cf32 base{}, got{};
            ASSERT_EQ(onSlot(0, [&] { return sigDotProd_cf32(x, y, len, &base); }), sigOk);
            ASSERT_EQ(sigDotProd_cf32(x, y, len, &got), sigOk);
            SCOPED_TRACE(::testing::Message() << "len " << len << " offsets " << ox << "/" << oy);
            ASSERT_NEAR(base.re, double(re), kFloatEps * std::fabs(double(re)) + 0x1p-51 * len * magRe);
            ASSERT_NEAR(base.im, double(im), kFloatEps * std::fabs(double(im)) + 0x1p-51 * len * magIm);
            ASSERT_NEAR(got.re, base.re, (len + 8) * kFloatEps * magRe);
            ASSERT_NEAR(got.im, base.im, (len + 8) * kFloatEps * magIm);
        }
    }
    // The result may lie inside a source.
    std::vector<cf32> x(300), y(300);
    vtest::fillSignal(x.data(), 300, 5);
    vtest::fillSignal(y.data(), 300, 6);
    cf32 expected{};
    ASSERT_EQ(sigDotProd_cf32(x.data(), y.data(), 300, &expected), sigOk);
    ASSERT_EQ(sigDotProd_cf32(x.data(), y.data(), 300, &x[17]), sigOk);
    EXPECT_TRUE(sameBits(x[17], expected));
}

// The vector members' float sums, lane by lane: slot 1 one element per lane pair and step into
// (re*re, im*im) and (re*im, im*re), slots 2 to 6 (one member) four elements a step, then two,
// into (xr*yr, xr*yi) and (xi*yr, xi*yi); a lead element alone when the source read aligned sits
// at 8 bytes past 16, the last odd one alone; the two halves folded at the end.
cf32 dotModel(int slot, const cf32* x, const cf32* y, int32_t len)
{
    auto off = [](const cf32* p, unsigned bytes) { return reinterpret_cast<uintptr_t>(p) % bytes; };
    if ((slot >= 2 && off(x, 16) != 0 && off(y, 16) == 0) || (off(x, 8) != 0 && off(y, 8) == 0))
        std::swap(x, y);
    float a[4] = {}, b[4] = {};
    auto add = [&](int pair, cf32 u, cf32 v) {
        float *p = a + 2 * pair, *q = b + 2 * pair;
        p[0] += u.re * v.re;
        p[1] += slot == 1 ? u.im * v.im : u.re * v.im;
        q[0] += slot == 1 ? u.re * v.im : u.im * v.re;
        q[1] += slot == 1 ? u.im * v.re : u.im * v.im;
    };
    int32_t i = 0;
    if (off(x, 16) == 8)
        add(0, x[0], y[0]), ++i;
    for (int32_t step : {slot == 1 ? 2 : 4, 2})
        for (; len - i >= step; i += step)
            for (int32_t k = 0; k < step; ++k)
                add(k % 2, x[i + k], y[i + k]);
    if (i < len)
        add(0, x[i], y[i]);
    if (slot == 1)
        return cf32{(a[0] + a[2]) - (a[1] + a[3]), (b[0] + b[2]) + (b[1] + b[3])};
    return cf32{(a[0] - b[1]) + (a[2] - b[3]), (a[1] + b[0]) + (a[3] + b[2])};
}

// Every vector slot sums in its member's order, to the bit, at every length where the steps, the
// lead element and the tail fall and at every placement of either source within 32 bytes (which
// one is read aligned, whether an element goes alone first); slots 2 to 6 thereby give one sum.
TEST_P(VectorSlots, DotProductSumsInItsMembersOrder)
{
    if (slot() == 0)
        GTEST_SKIP() << "slot 0 sums in double";
    constexpr int32_t kMax = 40;
    for (unsigned ox = 0; ox < 32; ox += 4) {
        for (unsigned oy = 0; oy < 32; oy += 4) {
            Arena ax(kMax * sizeof(cf32), ox), ay(kMax * sizeof(cf32), oy);
            cf32 *x = ax.as<cf32>(), *y = ay.as<cf32>();
            vtest::fillSignal(x, kMax, 3 + ox);
            vtest::fillSignal(y, kMax, 50 + oy);
            for (int32_t len = 1; len <= kMax; ++len) {
                cf32 got{};
                ASSERT_EQ(sigDotProd_cf32(x, y, len, &got), sigOk);
                const cf32 want = dotModel(slot(), x, y, len);
                ASSERT_TRUE(sameBits(got, want)) << "len " << len << " offsets " << ox << "/" << oy << ": ("
                                                 << got.re << ", " << got.im << ") against (" << want.re << ", "
                                                 << want.im << ")";
            }
        }
    }
}

// The real dot product, reached per slot: slot 0 within one rounding of the exact sum, the
// vector slots within float summation error of slot 0 and all of them slot 1's bits. Every
// element up to len counts once and none past it (NaN there would show), at every placement.
TEST_P(VectorSlots, RealDotProductAgreesWithDoubleAndThePlainMember)
{
    constexpr int32_t kMax = 100;
    auto dot = vtest::kDotReal;
    for (auto [oa, ob] : {std::pair{0u, 0u}, {4u, 0u}, {8u, 4u}, {12u, 24u}, {0u, 28u}, {20u, 16u}}) {
        Arena aa((kMax + 8) * 4, oa), ab((kMax + 8) * 4, ob);
        float *a = aa.as<float>(), *b = ab.as<float>();
        vtest::fillSignal(reinterpret_cast<cf32*>(a), kMax / 2, 21 + oa);
        vtest::fillSignal(reinterpret_cast<cf32*>(b), kMax / 2, 40 + ob);
        for (int32_t len = 0; len <= kMax; ++len) {
            std::vector<float> savedA(a + len, a + len + 8), savedB(b + len, b + len + 8);
            std::fill(a + len, a + len + 8, NAN);
            std::fill(b + len, b + len + 8, NAN);
            long double exact = 0;
            double mag = 0;
            for (int32_t i = 0; i < len; ++i) {
                exact += (long double)a[i] * b[i];
                mag += std::fabs(double(a[i]) * b[i]);
            }
            float plain = -1, got = -1, one = -1;
            dot[0](a, b, len, &plain);
            dot[slot()](a, b, len, &got);
            SCOPED_TRACE(::testing::Message() << "len " << len << " offsets " << oa << "/" << ob);
            ASSERT_NEAR(plain, double(exact), kFloatEps * std::fabs(double(exact)) + 0x1p-52 * len * mag);
            ASSERT_NEAR(got, plain, (len + 2) * kFloatEps * mag);
            if (slot() > 1) {
                dot[1](a, b, len, &one);
                ASSERT_TRUE(sameBits(got, one)) << got << " against slot 1's " << one;
            }
            if (len <= 1) {
                ASSERT_TRUE(sameBits(got, len == 0 ? 0.0f : a[0] * b[0]));
            }
            std::copy(savedA.begin(), savedA.end(), a + len);
            std::copy(savedB.begin(), savedB.end(), b + len);
        }
    }
}

// Slots 1 to 6 share one float arithmetic; float partial sums of about len/4 terms each, and the
// square root halves the relative error of the sum.
TEST_P(VectorSlots, NormAgreesWithLongDoubleAndAcrossSlots)
{
    constexpr int32_t kMax = 1100;
    for (unsigned off : {0u, 8u, 4u}) {
        Arena a(kMax * sizeof(cf32), off);
        cf32* x = a.as<cf32>();
        vtest::fillSignal(x, kMax, 77 + off);
        long double s = 0;
        for (int32_t len = 1; len <= kMax; ++len) {
            s += (long double)x[len - 1].re * x[len - 1].re + (long double)x[len - 1].im * x[len - 1].im;
            const double ref = std::sqrt(double(s));
            double base = 0, got = 0, one = 0;
            ASSERT_EQ(onSlot(0, [&] { return sigNormL2_cf32(x, len, &base); }), sigOk);
            ASSERT_EQ(sigNormL2_cf32(x, len, &got), sigOk);
            ASSERT_NEAR(base, ref, ref * 0x1p-50 * len);
            ASSERT_NEAR(got, base, base * 0x1p-24 * (len / 4 + 4));
            if (slot() > 1) {
                ASSERT_EQ(onSlot(1, [&] { return sigNormL2_cf32(x, len, &one); }), sigOk);
                ASSERT_EQ(got, one) << "len " << len;
            }
        }
    }
    std::vector<cf32> zeros(37, cf32{0, 0});
    double r = -1;
    ASSERT_EQ(sigNormL2_cf32(zeros.data(), 37, &r), sigOk);
    EXPECT_TRUE(r == 0.0 && !std::signbit(r));
}

// Values whose bits arithmetic would disturb: signalling and quiet NaNs with payloads, -0.0,
// infinities, subnormals, mixed with ordinary numbers.
void fillAwkward(float* p, int32_t n, uint32_t seed)
{
    const uint32_t special[] = {0x7FA00001u, 0xFFC12345u, 0x80000000u, 0x7F800000u, 0x00000001u, 0x807FFFFFu};
    std::mt19937 rng(seed);
    for (int32_t i = 0; i < n; ++i)
        p[i] = std::bit_cast<float>(rng() % 3 == 0 ? special[rng() % 6] : uint32_t(rng() & 0xBFFFFFFFu));
}

uint32_t bits(const float& f) { return std::bit_cast<uint32_t>(f); }

TEST_P(VectorSlots, InterleaveCopiesBitPatternsAtEveryAlignment)
{
    const unsigned srcOffsets[][2] = {{0, 0}, {4, 8}, {4, 4}, {8, 12}};
    for (unsigned od : {0u, 4u, 8u, 16u, 24u, 12u}) {
        for (auto [ore, oim] : srcOffsets) {
            for (int32_t len : vtest::lengthsUpTo(70, {1000, 1027})) {
                Arena are(len * 4, ore), aim(len * 4, oim), ad(len * sizeof(cf32), od);
                float *re = are.as<float>(), *im = aim.as<float>();
                fillAwkward(re, len, len);
                fillAwkward(im, len, len + 7);
                // Both parts, then each part alone with +0.0 for the other.
                for (int mode = 0; mode < 3; ++mode) {
                    const float* r = mode == 2 ? nullptr : re;
                    const float* m = mode == 1 ? nullptr : im;
                    cf32* d = ad.as<cf32>();
                    ASSERT_EQ(sigRealToCplx_f32(r, m, d, len), sigOk);
                    for (int32_t i = 0; i < len; ++i)
                        ASSERT_TRUE(bits(d[i].re) == (r ? bits(re[i]) : 0u) && bits(d[i].im) == (m ? bits(im[i]) : 0u))
                            << "mode " << mode << " len " << len << " i " << i;
                    ASSERT_TRUE(ad.guardIntact()) << "len " << len << " dst+" << od;
                }
            }
        }
    }
}

// Each product's rounding is fixed per slot: double on slot 0, float products on slots 1 to 5,
// fused on slot 6.
cf32 model(int slot, cf32 a, cf32 b)
{
    if (slot == 0)
        return cf32{float(double(a.re) * b.re - double(a.im) * b.im), float(double(a.re) * b.im + double(a.im) * b.re)};
    if (slot == 6)
        return cf32{std::fma(a.re, b.re, -(a.im * b.im)), std::fma(a.im, b.re, a.re * b.im)};
    float rr = a.re * b.re, ii = a.im * b.im, ir = a.im * b.re, ri = a.re * b.im;
    return cf32{rr - ii, ir + ri};
}

bool halfUlpOff(float got, long double exact)
{
    return std::fabs(double(got - exact)) <= 0.5 * std::ldexp(1.0, std::ilogb(double(exact)) - 23) * 1.0000001;
}

// Out of place, in place over either source and through the raw in-place kernel.
TEST_P(VectorSlots, MultiplyRoundsAsItsSlotSaysWhereverTheResultGoes)
{
    const unsigned offsets[][3] = {{0, 0, 0}, {0, 0, 8}, {8, 4, 16}, {4, 12, 24}, {0, 8, 4}, {16, 16, 12}};
    for (auto [oa, ob, od] : offsets) {
        for (int32_t len : vtest::lengthsUpTo(70, {255, 1000, 1100, 1646})) {
            Arena aa(len * sizeof(cf32), oa), ab(len * sizeof(cf32), ob), ad(len * sizeof(cf32), od);
            cf32 *a = aa.as<cf32>(), *b = ab.as<cf32>(), *d = ad.as<cf32>();
            vtest::fillSignal(a, len, len);
            vtest::fillSignal(b, len, len + 1000);
            std::vector<cf32> want(len), overA(a, a + len), overB(b, b + len);
            for (int32_t i = 0; i < len; ++i)
                want[i] = model(slot(), a[i], b[i]);
            ASSERT_EQ(sigMul_cf32(a, b, d, len), sigOk);
            ASSERT_EQ(sigMul_cf32(overA.data(), b, overA.data(), len), sigOk);
            ASSERT_EQ(sigMul_cf32(a, overB.data(), overB.data(), len), sigOk);
            for (int32_t i = 0; i < len; ++i) {
                ASSERT_TRUE(sameBits(d[i], want[i]) && sameBits(overA[i], want[i]) && sameBits(overB[i], want[i]))
                    << "len " << len << " i " << i << " offsets " << oa << "/" << ob << "/" << od;
                // Slot 0 within half an ulp of the exact product.
                ASSERT_TRUE(slot() != 0 || (halfUlpOff(d[i].re, (long double)a[i].re * b[i].re - (long double)a[i].im * b[i].im) &&
                                            halfUlpOff(d[i].im, (long double)a[i].re * b[i].im + (long double)a[i].im * b[i].re)));
            }
            ASSERT_TRUE(ad.guardIntact()) << "len " << len;
            std::copy(a, a + len, d);
            vtest::kMulRaw[slot()](b, d, len);
            for (int32_t i = 0; i < len; ++i)
                ASSERT_TRUE(sameBits(d[i], want[i])) << "raw kernel, len " << len << " i " << i;
            ASSERT_TRUE(ad.guardIntact()) << "raw kernel, len " << len;
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
                for (int32_t i = 0; i < len; ++i)
                    expected[4 + shift + i] = model(slot, expected[4 + i], b[i]);
                cf32* src = buf.data() + 4;
                ASSERT_EQ(onSlot(slot, [&] { return sigMul_cf32(src, b.data(), src + shift, len); }), sigOk);
                for (size_t i = 0; i < buf.size(); ++i)
                    ASSERT_TRUE(sameBits(buf[i], expected[i]))
                        << "slot " << slot << " shift " << shift << " len " << len << " i " << i;
            }
        }
    }
}

// Slots 5 and 6 multiply arrays that overlap in place two elements a step, both read before
// either is written: with src one element behind srcDst, every second output takes the value that
// its own step has not yet overwritten.
TEST(MulInPlaceOverlap, TwoElementsAStep)
{
    for (int slot : {5, 6}) {
        if (!testing_slots::slotRuns(slot))
            continue;
        for (int shift : {0, 1, -1}) {
            for (int32_t len : {1, 2, 3, 8, 9, 17, 40}) {
                std::vector<cf32> buf(len + 4);
                vtest::fillSignal(buf.data(), len + 4, 9);
                std::vector<cf32> want = buf;
                for (int32_t i = 0; i < len; i += 2) {
                    const cf32 d[2] = {want[2 + i], want[3 + i]}, s[2] = {want[2 + shift + i], want[3 + shift + i]};
                    for (int32_t k = 0; k < 2 && i + k < len; ++k)
                        want[2 + i + k] = model(slot, d[k], s[k]);
                }
                vtest::kMulRaw[slot](buf.data() + 2 + shift, buf.data() + 2, len);
                for (size_t i = 0; i < buf.size(); ++i)
                    ASSERT_TRUE(sameBits(buf[i], want[i])) << "slot " << slot << " shift " << shift << " len " << len << " i " << i;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllSlots, VectorSlots, ::testing::Range(0, vtest::kSlots));

}  // namespace
