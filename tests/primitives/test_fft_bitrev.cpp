// Bit-reversal kernels of every slot against a naive reversal, from their own tables.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fft_slot_decls.h"
#include "sigprim.h"
#include "slots.h"

namespace {

std::vector<cf32> ramp(size_t n)
{
    std::vector<cf32> x(n);
    for (size_t i = 0; i < n; ++i)
        x[i] = {static_cast<float>(i), -static_cast<float>(i) - 0.5f};
    return x;
}

std::vector<cf32> naiveReversal(const std::vector<cf32>& x, int bits)
{
    std::vector<cf32> y(x.size());
    for (size_t i = 0; i < x.size(); ++i) {
        size_t r = 0;
        for (int b = 0; b < bits; ++b)
            r |= ((i >> b) & 1) << (bits - 1 - b);
        y[r] = x[i];
    }
    return y;
}

bool same(const std::vector<cf32>& a, const std::vector<cf32>& b)
{
    return std::memcmp(a.data(), b.data(), a.size() * sizeof(cf32)) == 0;
}

// Copy and in place, applied twice, for every size the slot's transforms bit-reverse.
TEST(FftBitRev, EverySlotMatchesTheNaiveReversal)
{
    for (int slot = 0; slot < 7; ++slot) {
        if (!testing_slots::slotRuns(slot))
            continue;
        const int firstBits = slot == 0 ? 0 : 3;
        for (int bits = firstBits; bits <= 20; ++bits) {
            SCOPED_TRACE(testing::Message() << "slot " << slot << " n = 2^" << bits);
            const size_t n = size_t{1} << bits;
            std::vector<int32_t> table(n / 4 + 32);
            fft_test::kBitRevTable[slot](bits, table.data());
            const std::vector<cf32> x = ramp(n), want = naiveReversal(x, bits);
            std::vector<cf32> copy(n), inPlace = x;
            fft_test::kBitRevCopy[slot](x.data(), copy.data(), static_cast<int32_t>(n), table.data());
            ASSERT_TRUE(same(copy, want));
            fft_test::kBitRevInPlace[slot](inPlace.data(), static_cast<int32_t>(n), table.data());
            ASSERT_TRUE(same(inPlace, want));
            fft_test::kBitRevInPlace[slot](inPlace.data(), static_cast<int32_t>(n), table.data());
            ASSERT_TRUE(same(inPlace, x));
        }
    }
}

TEST(FftBitRev, SmallSizesOfThePlainKernels)
{
    std::vector<int32_t> table(8);
    sig::s0::sigkFftBitRevSwapTable_cf32(2, table.data());
    std::vector<cf32> x = ramp(4);
    sig::s0::sigkBitRevInPlace_cf32(x.data(), 4, table.data());
    EXPECT_EQ(x[1].re, 2.0f);
    EXPECT_EQ(x[2].re, 1.0f);
    EXPECT_EQ(x[3].re, 3.0f);
    const std::vector<cf32> two = ramp(2);
    std::vector<cf32> out(2);
    sig::s0::sigkBitRevCopy_cf32(two.data(), out.data(), 2, table.data());
    EXPECT_TRUE(same(out, two));
}

// The tile kernel of the vector slots: one 64 x 64 tile by the swap list of order 12, at every
// alignment of the tile.
TEST(FftBitRev, TilePairsAtEveryAlignment)
{
    std::vector<int32_t> table(1025 + 16);
    sig::s0::sigkFftBitRevSwapTable_cf32(12, table.data());
    const std::vector<cf32> x = ramp(4096), want = naiveReversal(x, 12);
    std::vector<float> raw(2 * 4096 + 8);
    for (size_t offset = 0; offset < 4; ++offset) {
        cf32* tile = reinterpret_cast<cf32*>(raw.data() + offset);
        std::memcpy(tile, x.data(), 4096 * sizeof(cf32));
        sig::s1::sigkBitRevPairs_cf32(tile, 4096, table.data());
        EXPECT_EQ(std::memcmp(tile, want.data(), 4096 * sizeof(cf32)), 0) << offset;
        std::memcpy(tile, x.data(), 4096 * sizeof(cf32));
        if (!testing_slots::slotRuns(6))
            continue;
        sig::s6::sigkBitRevPairs_cf32(tile, 4096, table.data());
        EXPECT_EQ(std::memcmp(tile, want.data(), 4096 * sizeof(cf32)), 0) << offset;
    }
}

}  // namespace
