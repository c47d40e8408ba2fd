// Channel decoding pieces on their own: the collector's block bookkeeping, the Viterbi
// decoder's conventions (ties, traceback from state 0) and the parity checks' edge cases.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <vector>

#include "backend/channel_decoding.h"

namespace {

// The GSM convolutional code straight from its generators, for inputs without a tail.
std::vector<float> encodeToSoft(const std::vector<uint8_t>& u)
{
    std::vector<float> c;
    auto bit = [&](int k) { return k >= 0 ? u[k] : 0; };
    for (int k = 0; k < static_cast<int>(u.size()); ++k) {
        int c0 = bit(k) ^ bit(k - 3) ^ bit(k - 4);
        int c1 = bit(k) ^ bit(k - 1) ^ bit(k - 3) ^ bit(k - 4);
        c.push_back(c0 ? 1.0f : -1.0f);
        c.push_back(c1 ? 1.0f : -1.0f);
    }
    return c;
}

bool areaClear(const DeintArea& area)
{
    for (auto& slot : area.slot)
        if (!std::all_of(slot, slot + kBcchBurstBits, [](float v) { return v == 0.0f; }))
            return false;
    return true;
}

TEST(Collector, BcchBlockCompletesOnlyWithItsFourthBurstAndOtherSlotsStoreNothing)
{
    DeintArea area{};
    float coded[kBcchCodedBits] = {};
    std::vector<float> first(kBcchBurstBits, 1.0f), second(kBcchBurstBits, 2.0f);
    // Not a BCCH burst, or a frame outside the block's T3 = 2..5.
    for (BurstHead other : {BurstHead{kindFcch, 0, 2}, BurstHead{kindBcch, 0, 6}, BurstHead{kindBcch, 0, 1}})
        EXPECT_FALSE(collectBits(first.data(), &area, &other, coded));
    EXPECT_TRUE(areaClear(area));
    EXPECT_TRUE(std::all_of(coded, coded + kBcchCodedBits, [](float v) { return v == 0.0f; }));
    // Block A loses its T3 = 5 burst; block B overwrites A's bursts as they come and completes
    // with its own fourth, leaving the area clear.
    BurstHead ctx{kindBcch, 0, 0};
    for (int t3 = 2; t3 <= 4; ++t3) {
        ctx.frameNo = static_cast<uint16_t>(t3);
        EXPECT_FALSE(collectBits(first.data(), &area, &ctx, coded));
    }
    for (int t3 = 2; t3 <= 5; ++t3) {
        ctx.frameNo = static_cast<uint16_t>(t3);
        EXPECT_EQ(t3 == 5, collectBits(second.data(), &area, &ctx, coded));
    }
    EXPECT_TRUE(std::all_of(coded, coded + kBcchCodedBits, [](float v) { return v == 2.0f; }));
    EXPECT_TRUE(areaClear(area));
    // An SCH burst is a whole code word.
    BurstHead sch{kindSch, 0, 1};
    std::vector<float> schSoft(kSchCodedBits);
    for (int i = 0; i < kSchCodedBits; ++i)
        schSoft[i] = static_cast<float>(i);
    ASSERT_TRUE(collectBits(schSoft.data(), &area, &sch, coded));
    EXPECT_TRUE(std::equal(schSoft.begin(), schSoft.end(), coded));
}

TEST(Viterbi, StepFollowsTheBranchOutputTableAndTiesKeepTheLowerPredecessor)
{
    // Output index c0 + 2 c1 into state s from s >> 1 and from (s >> 1) + 8, as the code's
    // generators give it (the decoder derives it from butterflies instead). The first trial
    // has all metrics equal: a tie keeps the predecessor whose oldest bit is 0.
    const int table[16][2] = {{0, 3}, {3, 0}, {2, 1}, {1, 2}, {0, 3}, {3, 0}, {2, 1}, {1, 2},
                              {3, 0}, {0, 3}, {1, 2}, {2, 1}, {3, 0}, {0, 3}, {1, 2}, {2, 1}};
    std::mt19937 rng(7201);
    std::uniform_real_distribution<float> value(-10.0f, 10.0f);
    for (int trial = 0; trial < 200; ++trial) {
        TrellisStep from{}, to{};
        for (float& m : from.metric)
            m = trial ? value(rng) : 0.0f;
        const float y0 = trial ? value(rng) / 2 : 0.0f, y1 = trial ? value(rng) / 2 : 0.0f;
        const float branch[4] = {-y0 - y1, y0 - y1, -y0 + y1, y0 + y1};
        convTrellis(&from, branch, &to);
        for (int s = 0; s < 16; ++s) {
            float a = from.metric[s >> 1] + branch[table[s][0]];
            float b = from.metric[(s >> 1) + 8] + branch[table[s][1]];
            EXPECT_EQ(b > a ? b : a, to.metric[s]);
            EXPECT_EQ(b > a ? (s >> 1) + 8 : s >> 1, to.pred[s]);
        }
    }
}

TEST(Viterbi, TracebackStartsInStateZeroWhateverTheBestMetric)
{
    // An all-ones input without tail ends in state 15, yet the decoder must end in state 0:
    // it keeps the ones and forces the last four bits to 0.
    std::vector<uint8_t> u(kBcchDecodedBits, 1);
    auto coded = encodeToSoft(u);
    BurstHead ctx{kindBcch, 0, 5};
    uint8_t bits[kMaxDecodedBits];
    float metric = viterbiDecode(coded.data(), &ctx, bits);
    EXPECT_LT(metric, static_cast<float>(coded.size())); // not the perfect all-ones path
    for (int k = kBcchDecodedBits - 4; k < kBcchDecodedBits; ++k)
        EXPECT_EQ(0, bits[k]) << "bit " << k;
    EXPECT_TRUE(std::all_of(bits, bits + kBcchDecodedBits - 8, [](uint8_t b) { return b == 1; }));
}

TEST(Viterbi, SchDecodesThirtyNineBitsAndClearsTheRest)
{
    std::vector<uint8_t> u(kSchDecodedBits, 0);
    for (int k = 0; k < kSchDecodedBits - 4; ++k)
        u[k] = static_cast<uint8_t>((k * 7 + 3) % 5 < 2);
    auto coded = encodeToSoft(u);
    BurstHead ctx{kindSch, 0, 1};
    uint8_t bits[kMaxDecodedBits];
    std::fill(bits, bits + kMaxDecodedBits, 0xAA);
    EXPECT_FLOAT_EQ(static_cast<float>(kSchCodedBits), viterbiDecode(coded.data(), &ctx, bits));
    EXPECT_TRUE(std::equal(u.begin(), u.end(), bits));
    EXPECT_TRUE(std::all_of(bits + kSchDecodedBits, bits + kMaxDecodedBits,
                            [](uint8_t b) { return b == 0; }));
}

TEST(Parity, ZeroWordSingleErrorsAndErrorBursts)
{
    // An all-zero information word is sent with all-ones parity (the remainder inverted); every
    // single wrong bit, and (fire code) every error burst up to the 40 parity bits, is caught.
    const struct {
        BurstHead ctx;
        int infoBits, parityBits;
    } codes[] = {{{kindSch, 0, 1}, 25, 10}, {{kindBcch, 0, 5}, 184, 40}};
    for (const auto& c : codes) {
        SCOPED_TRACE(c.infoBits);
        const int covered = c.infoBits + c.parityBits;
        std::vector<uint8_t> bits(kMaxDecodedBits, 0);
        std::fill(bits.begin() + c.infoBits, bits.begin() + covered, 1);
        EXPECT_TRUE(checkParity(&c.ctx, bits.data()));
        for (int i = 0; i < covered; ++i) {
            bits[i] ^= 1;
            EXPECT_FALSE(checkParity(&c.ctx, bits.data())) << "bit " << i;
            bits[i] ^= 1;
        }
        for (int len = 2; len <= c.parityBits; len += 3)
            for (int start = 0; start + len <= covered; start += 17) {
                auto bad = bits;
                bad[start] ^= 1;
                bad[start + len - 1] ^= 1;
                for (int i = start + 1; i < start + len - 1; i += 2)
                    bad[i] ^= 1;
                EXPECT_FALSE(checkParity(&c.ctx, bad.data())) << start << "+" << len;
            }
        // The tail takes no part; all-zero parity is no code word.
        std::fill(bits.begin() + covered, bits.begin() + covered + 4, 1);
        EXPECT_TRUE(checkParity(&c.ctx, bits.data()));
        std::fill(bits.begin() + c.infoBits, bits.begin() + covered, 0);
        EXPECT_FALSE(checkParity(&c.ctx, bits.data()));
    }
}

TEST(Packing, LeastSignificantBitFirstAndTwentyThreeOctetsOnly)
{
    uint8_t bits[kMaxDecodedBits] = {};
    for (int k : {0, 7, 8 + 1, 8 * 22 + 4, kBcchDecodedBits - 1})   // the last bit is ignored
        bits[k] = 1;
    uint8_t octets[kBlockOctets + 1] = {};
    octets[kBlockOctets] = 0x5A;
    packOctets(bits, octets);
    uint8_t want[kBlockOctets + 1] = {0x81, 0x02};
    want[22] = 0x10;
    want[kBlockOctets] = 0x5A;   // beyond the 23 octets: untouched
    EXPECT_EQ(0, std::memcmp(want, octets, sizeof want));
}

}  // namespace
