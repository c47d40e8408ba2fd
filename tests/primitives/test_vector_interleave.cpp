// The real-to-complex interleave: bit-exact on every slot, NaN payloads and -0.0 included,
// whatever the alignment of the destination and of each source.
#include <gtest/gtest.h>

#include "slots.h"
#include "vector_test_util.h"

namespace {

using testing_slots::SlotScope;

sigStatus interleave(int slot, const float* re, const float* im, cf32* dst, int32_t len)
{
    SlotScope scope(slot);
    return sigRealToCplx_f32(re, im, dst, len);
}

float fromBits(uint32_t b)
{
    float f;
    std::memcpy(&f, &b, sizeof f);
    return f;
}

uint32_t bitsOf(float f)
{
    uint32_t b;
    std::memcpy(&b, &f, sizeof b);
    return b;
}

// Values whose bits arithmetic would disturb: signalling and quiet NaNs with payloads, -0.0,
// infinities, subnormals, mixed with ordinary numbers.
void fillAwkward(float* p, int32_t n, uint32_t seed)
{
    const uint32_t special[] = {0x7FA00001u, 0xFFC12345u, 0x80000000u, 0x7F800000u, 0x00000001u, 0x807FFFFFu};
    std::mt19937 rng(seed);
    for (int32_t i = 0; i < n; ++i)
        p[i] = (rng() % 3 == 0) ? fromBits(special[rng() % 6]) : fromBits(rng() & 0xBFFFFFFFu);
}

class InterleaveSlots : public ::testing::TestWithParam<int> {};

TEST_P(InterleaveSlots, ChecksDestinationThenLengthThenSources)
{
    const int slot = GetParam();
    SIG_SKIP_UNLESS_SLOT_RUNS(slot);
    float re = 1, im = 2;
    cf32 d{5, 5};
    EXPECT_EQ(interleave(slot, &re, &im, nullptr, 0), sigErrNull);
    EXPECT_EQ(interleave(slot, nullptr, nullptr, &d, 0), sigErrLength);
    EXPECT_EQ(interleave(slot, &re, &im, &d, -2), sigErrLength);
    EXPECT_EQ(interleave(slot, nullptr, nullptr, &d, 1), sigErrNull);
    EXPECT_TRUE(vtest::sameBits(d, cf32{5, 5}));
}

TEST_P(InterleaveSlots, CopiesBitPatternsAtEveryAlignment)
{
    const int slot = GetParam();
    SIG_SKIP_UNLESS_SLOT_RUNS(slot);
    std::vector<int32_t> lengths;
    for (int32_t n = 1; n <= 70; ++n)
        lengths.push_back(n);
    lengths.insert(lengths.end(), {1000, 1027});
    const unsigned dstOffsets[] = {0, 4, 8, 16, 24, 12};
    const unsigned srcOffsets[][2] = {{0, 0}, {4, 8}, {4, 4}, {8, 12}};
    for (unsigned od : dstOffsets) {
        for (auto [ore, oim] : srcOffsets) {
            for (int32_t len : lengths) {
                vtest::Arena are(len * 4, ore), aim(len * 4, oim), ad(len * sizeof(cf32), od);
                float *re = are.as<float>(), *im = aim.as<float>();
                fillAwkward(re, len, len);
                fillAwkward(im, len, len + 7);
                // Both parts, then each part alone with +0.0 for the other.
                for (int mode = 0; mode < 3; ++mode) {
                    const float* r = mode == 2 ? nullptr : re;
                    const float* m = mode == 1 ? nullptr : im;
                    cf32* d = ad.as<cf32>();
                    ASSERT_EQ(interleave(slot, r, m, d, len), sigOk);
                    for (int32_t i = 0; i < len; ++i) {
                        ASSERT_EQ(bitsOf(d[i].re), r ? bitsOf(re[i]) : 0u)
                            << "mode " << mode << " len " << len << " i " << i << " dst+" << od;
                        ASSERT_EQ(bitsOf(d[i].im), m ? bitsOf(im[i]) : 0u)
                            << "mode " << mode << " len " << len << " i " << i << " dst+" << od;
                    }
                    ASSERT_TRUE(ad.guardIntact()) << "len " << len << " dst+" << od;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllSlots, InterleaveSlots, ::testing::Range(0, vtest::kSlots));

}  // namespace
