// The FFT's building blocks: the bit-reversal kernels of every slot against a naive reversal,
// the large-order helpers of slots 1 to 4 (tile moves, the radix-4 column pass against the DFT it
// completes) and the float scaling.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "fft_reference.h"
#include "fft_test_support.h"
#include "sigprim.h"
#include "slots.h"

// The large-order helpers exist on slots 1 to 4 only.
#define SLOTS_1_TO_4(f) sig::s1::f, sig::s2::f, sig::s3::f, sig::s4::f

namespace {

using fft_reference::cd;
using fft_reference::testSignal;

std::vector<cf32> naiveReversal(const std::vector<cf32>& x, int bits)
{
    std::vector<cf32> y(x.size());
    for (size_t i = 0; i < x.size(); ++i)
        y[fft_test::reverseBits(int64_t(i), bits)] = x[i];
    return y;
}

bool same(const cf32* a, const std::vector<cf32>& b)
{
    return std::memcmp(a, b.data(), b.size() * sizeof(cf32)) == 0;
}

// Copy and in place, applied twice, for every size the slot's transforms bit-reverse, from the
// slot's own table (the swap list on slot 0, the index table on the others).
TEST(FftBitRev, EverySlotMatchesTheNaiveReversal)
{
    constexpr decltype(&sig::s0::sigkBitRevCopy_cf32) copyOf[7] = FFT_TEST_PER_SLOT(sigkBitRevCopy_cf32);
    constexpr decltype(&sig::s0::sigkBitRevInPlace_cf32) inPlaceOf[7] =
        FFT_TEST_PER_SLOT(sigkBitRevInPlace_cf32);
    constexpr decltype(&sig::s0::sigkFftBitRevTable_cf32) tableOf[7] =
        FFT_TEST_PER_SLOT_FROM(sig::s0::sigkFftBitRevSwapTable_cf32, sigkFftBitRevTable_cf32);
    for (int slot = 0; slot < 7; ++slot) {
        if (!testing_slots::slotRuns(slot))
            continue;
        for (int bits = slot == 0 ? 0 : 3; bits <= 20; ++bits) {
            SCOPED_TRACE(testing::Message() << "slot " << slot << " n = 2^" << bits);
            const int32_t n = int32_t{1} << bits;
            std::vector<int32_t> table(n / 4 + 32);
            tableOf[slot](bits, table.data());
            const std::vector<cf32> x = testSignal(n, bits), want = naiveReversal(x, bits);
            std::vector<cf32> copy(n), inPlace = x;
            copyOf[slot](x.data(), copy.data(), n, table.data());
            ASSERT_TRUE(same(copy.data(), want));
            inPlaceOf[slot](inPlace.data(), n, table.data());
            ASSERT_TRUE(same(inPlace.data(), want));
            inPlaceOf[slot](inPlace.data(), n, table.data());
            ASSERT_TRUE(same(inPlace.data(), x));
        }
    }
}

// The tile kernel of the vector slots: one 64 x 64 tile by the swap list of order 12, at every
// alignment of the tile.
TEST(FftBitRev, TilePairsAtEveryAlignment)
{
    constexpr decltype(&sig::s1::sigkBitRevPairs_cf32) pairsOf[7] =
        FFT_TEST_PER_SLOT_FROM(nullptr, sigkBitRevPairs_cf32);
    std::vector<int32_t> table(1025 + 16);
    sig::s0::sigkFftBitRevSwapTable_cf32(12, table.data());
    const std::vector<cf32> x = testSignal(4096, 1), want = naiveReversal(x, 12);
    std::vector<float> raw(2 * 4096 + 8);
    for (size_t offset = 0; offset < 4; ++offset)
        for (int slot = 1; slot < 7; ++slot) {
            if (!testing_slots::slotRuns(slot))
                continue;
            cf32* tile = reinterpret_cast<cf32*>(raw.data() + offset);
            std::memcpy(tile, x.data(), 4096 * sizeof(cf32));
            pairsOf[slot](tile, 4096, table.data());
            EXPECT_TRUE(same(tile, want)) << "slot " << slot << " offset " << offset;
        }
}

// Position of value v in the blocked split layout: blocks of four real parts, then four
// imaginary parts.
size_t splitRe(int32_t v) { return size_t(v / 4) * 8 + v % 4; }

class FftHelpers : public testing::TestWithParam<int> {
protected:
    void SetUp() override { SIG_SKIP_UNLESS_SLOT_RUNS(GetParam()); }
    int slot() const { return GetParam(); }
};

// A 64 x 64 tile out of a wider matrix and back restores it exactly; mode 1 turns the blocked
// split layout into interleaved values.
TEST_P(FftHelpers, TileGatherAndScatter)
{
    constexpr decltype(&sig::s1::sigkFftTileGather_cf32) gather[5] = {
        nullptr, SLOTS_1_TO_4(sigkFftTileGather_cf32)};
    constexpr decltype(&sig::s1::sigkFftTileScatter_cf32) scatter[5] = {
        nullptr, SLOTS_1_TO_4(sigkFftTileScatter_cf32)};
    constexpr int32_t kStride = 200, kRows = 64, kWidth = 64;
    const std::vector<cf32> matrix = testSignal(kStride * kRows, 4);
    std::vector<cf32> tile(kRows * kWidth), back(matrix.size(), cf32{0, 0});
    gather[slot()](matrix.data() + 3, tile.data(), kStride, kRows, kWidth);
    scatter[slot()](back.data() + 3, tile.data(), kStride, kRows, kWidth, 0);
    for (int32_t r = 0; r < kRows; ++r)
        ASSERT_EQ(std::memcmp(&back[r * kStride + 3], &matrix[r * kStride + 3], kWidth * sizeof(cf32)),
                  0);

    std::vector<float> split(2 * kRows * kWidth);
    for (int32_t v = 0; v < kRows * kWidth; ++v) {
        split[splitRe(v)] = static_cast<float>(v);
        split[splitRe(v) + 4] = -static_cast<float>(v);
    }
    scatter[slot()](back.data(), reinterpret_cast<const cf32*>(split.data()), kStride, kRows, kWidth, 1);
    for (int32_t r = 0; r < kRows; ++r)
        for (int32_t c = 0; c < kWidth; ++c)
            ASSERT_TRUE(back[r * kStride + c].re == static_cast<float>(r * kWidth + c) &&
                        back[r * kStride + c].im == -static_cast<float>(r * kWidth + c));
}

// The quarters hold the a-point transforms of the residues 0, 2, 1, 3 of a 4a-point signal; one
// radix-4 pass (general form over several groups, final form over one) gives its 4a-point DFT.
TEST_P(FftHelpers, ColumnPassCompletesTheTransform)
{
    constexpr decltype(&sig::s1::sigkFftRadix4Cols_cf32) cols[5] = {
        nullptr, SLOTS_1_TO_4(sigkFftRadix4Cols_cf32)};
    constexpr int32_t a = 64;
    const int32_t residue[4] = {0, 2, 1, 3};
    const std::vector<cf32> x = testSignal(4 * a, 11);
    const std::vector<cd> want = fft_reference::dft(fft_reference::toDouble(x));
    std::vector<float> group(8 * a);
    for (int32_t q = 0; q < 4; ++q) {
        std::vector<cd> sub(a);
        for (int32_t m = 0; m < a; ++m)
            sub[m] = {x[4 * m + residue[q]].re, x[4 * m + residue[q]].im};
        const std::vector<cd> spectrum = fft_reference::dft(sub);
        for (int32_t k = 0; k < a; ++k) {
            group[splitRe(q * a + k)] = static_cast<float>(spectrum[k].real());
            group[splitRe(q * a + k) + 4] = static_cast<float>(spectrum[k].imag());
        }
    }
    auto roots = [&](int32_t blocks, int powers) {
        std::vector<float> t;
        for (int32_t b = 0; b < blocks; ++b)
            for (int p = 1; p <= powers; ++p)
                for (int part = 0; part < 2; ++part)
                    for (int i = 0; i < 4; ++i) {
                        const cd w = std::polar(1.0, -2 * M_PI * p * (4 * b + i) / (4 * a));
                        t.push_back(static_cast<float>(part == 0 ? w.real() : w.imag()));
                    }
        return t;
    };
    auto expectSpectrum = [&](const float* p) {
        std::vector<cf32> got(4 * a);
        for (int32_t k = 0; k < 4 * a; ++k)
            got[k] = {p[splitRe(k)], p[splitRe(k) + 4]};
        EXPECT_LT(fft_reference::relativeRmsError(got.data(), want, 1.0), 2e-7);
    };
    std::vector<float> groups;
    for (int g = 0; g < 3; ++g)
        groups.insert(groups.end(), group.begin(), group.end());
    const std::vector<float> general = roots(a / 4, 3), final = roots(a / 8, 2);
    cols[slot()](groups.data(), groups.data(), a, 3, general.data());
    for (int g = 0; g < 3; ++g)
        expectSpectrum(groups.data() + g * group.size());
    cols[slot()](group.data(), group.data(), a, 1, final.data());
    expectSpectrum(group.data());
}

// Both directions and both forms of the pass against their scalar arithmetic, bit for bit: each
// product (c, s) * (x, y) = (c*x - s*y, s*x + c*y) rounded term by term, the inverse taking the
// factors' conjugates, and the last form deriving its second half's factors A (1 - j) sqrt(1/2)
// and -j B. Arbitrary factors, so a regrouped product or butterfly shows in the last bits.
TEST_P(FftHelpers, ColumnPassGivesTheBitsOfItsScalarArithmetic)
{
    using Cols = decltype(&sig::s1::sigkFftRadix4Cols_cf32);
    constexpr Cols cols[2][5] = {{nullptr, SLOTS_1_TO_4(sigkFftRadix4Cols_cf32)},
                                 {nullptr, SLOTS_1_TO_4(sigkFftRadix4ColsInv_cf32)}};
    constexpr int32_t a = 32;
    const auto mul = [](cf32 w, cf32 x) {
        return cf32{w.re * x.re - w.im * x.im, w.im * x.re + w.re * x.im};
    };
    const auto add = [](cf32 x, cf32 y) { return cf32{x.re + y.re, x.im + y.im}; };
    const auto sub = [](cf32 x, cf32 y) { return cf32{x.re - y.re, x.im - y.im}; };
    const std::vector<cf32> values = testSignal(3 * 4 * a, 31), w = testSignal(3 * a, 32);
    for (int inverse = 0; inverse < 2; ++inverse)
        for (int32_t count : {3, 1}) {
            SCOPED_TRACE(testing::Message() << (inverse ? "inverse" : "forward") << ", groups " << count);
            const auto turn = [&](cf32 d, bool back) {  // -j d forward, +j d inverse; back: the other way
                return (inverse != 0) != back ? cf32{-d.im, d.re} : cf32{d.im, -d.re};
            };
            const auto factor = [&](cf32 f) { return inverse ? cf32{f.re, -f.im} : f; };
            std::vector<float> tile(8 * a * count), factors;
            for (int32_t v = 0; v < 4 * a * count; ++v) {
                tile[splitRe(v)] = values[v].re;
                tile[splitRe(v) + 4] = values[v].im;
            }
            const int powers = count > 1 ? 3 : 2, positions = count > 1 ? a : a / 2;
            for (int32_t b = 0; b < positions / 4; ++b)  // per 4 positions, each power's re then im
                for (int p = 0; p < powers; ++p)
                    for (int part = 0; part < 2; ++part)
                        for (int i = 0; i < 4; ++i)
                            factors.push_back(part == 0 ? w[p * a + 4 * b + i].re : w[p * a + 4 * b + i].im);
            auto at = [&](int32_t p) { return std::pair{splitRe(p), splitRe(p) + 4}; };
            std::vector<float> want = tile;
            auto put = [&](int32_t p, cf32 v) { want[at(p).first] = v.re, want[at(p).second] = v.im; };
            auto get = [&](int32_t p) { return cf32{tile[at(p).first], tile[at(p).second]}; };
            auto stored = [&](int p, int32_t k) {
                const float* r = &factors[size_t(k / 4) * 8 * powers + 8 * p + k % 4];
                return cf32{r[0], r[4]};
            };
            for (int32_t g = 0; g < count; ++g)
                for (int32_t k = 0; k < positions; ++k)
                    for (int half = 0; half < (count > 1 ? 1 : 2); ++half) {
                        const int32_t p = g * 4 * a + k + half * a / 2;
                        if (count > 1) {  // w^k on the third quarter, w^2k the second, w^3k the fourth
                            const cf32 a0 = get(p), a1 = mul(factor(stored(0, k)), get(p + 2 * a));
                            const cf32 a2 = mul(factor(stored(1, k)), get(p + a)),
                                       a3 = mul(factor(stored(2, k)), get(p + 3 * a));
                            const cf32 s02 = add(a0, a2), d02 = sub(a0, a2);
                            const cf32 s13 = add(a1, a3), d13 = sub(a1, a3);
                            put(p, add(s02, s13));
                            put(p + a, add(d02, turn(d13, false)));
                            put(p + 2 * a, sub(s02, s13));
                            put(p + 3 * a, add(d02, turn(d13, true)));
                            continue;
                        }
                        cf32 f1 = stored(0, k), f2 = stored(1, k);
                        if (half == 1) {
                            f1 = {(f1.re + f1.im) * 0.70710677f, (f1.im - f1.re) * 0.70710677f};
                            f2 = {f2.im, -f2.re};
                        }
                        const cf32 b1 = mul(factor(f2), get(p + a)), b3 = mul(factor(f2), get(p + 3 * a));
                        const cf32 s01 = add(get(p), b1), d01 = sub(get(p), b1);
                        const cf32 s23 = mul(factor(f1), add(get(p + 2 * a), b3)),
                                   d23 = mul(factor(f1), sub(get(p + 2 * a), b3));
                        put(p, add(s01, s23));
                        put(p + a, add(d01, turn(d23, false)));
                        put(p + 2 * a, sub(s01, s23));
                        put(p + 3 * a, add(d01, turn(d23, true)));
                    }
            cols[inverse][slot()](tile.data(), tile.data(), a, count, factors.data());
            EXPECT_EQ(std::memcmp(tile.data(), want.data(), 4 * tile.size()), 0);
        }
}

INSTANTIATE_TEST_SUITE_P(Slots1To4, FftHelpers, testing::Range(1, 5));

// Codes, factor 1 leaves even a NaN alone, factor -0 writes +0 over NaN, a NaN factor multiplies;
// any other factor multiplies exactly the given floats at every count and alignment.
TEST(FftScale, ChecksSpecialFactorsCountsAndAlignments)
{
    constexpr decltype(&sig::s0::sigkScale_f32) scale[7] = FFT_TEST_PER_SLOT(sigkScale_f32);
    for (int slot = 0; slot < 7; ++slot) {
        if (!testing_slots::slotRuns(slot))
            continue;
        float data[5] = {1.0f, -2.0f, 3.0f, NAN, 4.0f};
        EXPECT_EQ(scale[slot](2.0f, nullptr, 0), sigErrNull);
        EXPECT_EQ(scale[slot](2.0f, data, 0), sigErrLength);
        EXPECT_EQ(data[0], 1.0f);
        EXPECT_EQ(scale[slot](1.0f, data, 4), sigOk);
        EXPECT_TRUE(data[0] == 1.0f && std::isnan(data[3]));
        EXPECT_EQ(scale[slot](-0.0f, data, 4), sigOk);
        EXPECT_TRUE(!std::signbit(data[1]) && data[3] == 0.0f && data[4] == 4.0f);
        EXPECT_EQ(scale[slot](NAN, data, 2), sigOk);
        EXPECT_TRUE(std::isnan(data[0]) && std::isnan(data[1]) && data[2] == 0.0f);
        std::vector<float> raw(300);
        for (int32_t count : {1, 10, 11, 17, 64, 250})
            for (int offset = 0; offset < 4; ++offset) {
                for (size_t i = 0; i < raw.size(); ++i)
                    raw[i] = static_cast<float>(i) * 0.37f - 20.0f;
                const std::vector<float> before = raw;
                ASSERT_EQ(scale[slot](-1.7f, raw.data() + offset, count), sigOk);
                for (size_t i = 0; i < raw.size(); ++i) {
                    const bool inside = i >= size_t(offset) && i < size_t(offset + count);
                    ASSERT_EQ(raw[i], inside ? before[i] * -1.7f : before[i]) << count << " " << offset;
                }
            }
    }
}

}  // namespace
