// Channel decoding: the collector's block bookkeeping, the Viterbi decoder's conventions (ties,
// traceback from state 0), the parity checks' edge cases; then libosmocore as an independent
// encoder and decoder: random BCCH blocks and SCH fields coded there must come back through
// this decoder to the same octets and fields, and corruption the code cannot correct must be
// refused by the parity checks. Coded bits become this decoder's soft values (positive for 1)
// and, negated and scaled, libosmocore's soft bits (negative for 1, -127..127).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#define OSMO_KIT_CHECK(condition) EXPECT_TRUE(condition)
#include "backend/system_info.h"
#include "osmo_kit.h"

namespace {

using namespace osmo_kit;

// Turns `count` distinct coded bits into hard errors.
template <size_t N>
void flipBits(std::array<float, N>& soft, const std::array<uint8_t, N>& bits, int count,
              std::mt19937& rng)
{
    std::uniform_int_distribution<size_t> pos(0, N - 1);
    std::vector<bool> done(N);
    for (int flipped = 0; flipped < count;) {
        size_t p = pos(rng);
        if (!done[p]) {
            done[p] = true;
            soft[p] = bits[p] ? -1.0f : 1.0f;
            ++flipped;
        }
    }
}

// No signal at all.
template <size_t N> std::array<float, N> pureNoise(std::mt19937& rng)
{
    std::normal_distribution<float> noise(0.0f, 1.5f);
    std::array<float, N> soft{};
    for (auto& v : soft)
        v = std::clamp(noise(rng), -kSoftMax, kSoftMax);
    return soft;
}

Octets randomOctets(std::mt19937& rng)
{
    Octets o{};
    std::generate(o.begin(), o.end(), [&] { return static_cast<uint8_t>(rng()); });
    return o;
}

// The GSM convolutional code straight from its generators, for inputs without a tail.
std::vector<float> encodeToSoft(const std::vector<uint8_t>& u)
{
    std::vector<float> c;
    auto bit = [&](int k) { return k >= 0 ? u[k] : 0; };
    for (int k = 0; k < static_cast<int>(u.size()); ++k) {
        c.push_back(bit(k) ^ bit(k - 3) ^ bit(k - 4) ? 1.0f : -1.0f);
        c.push_back(bit(k) ^ bit(k - 1) ^ bit(k - 3) ^ bit(k - 4) ? 1.0f : -1.0f);
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
}

TEST(Viterbi, TiesKeepThePredecessorWhoseOldestBitIsZero)
{
    TrellisStep from{}, to{};
    const float branch[4] = {};
    convTrellis(&from, branch, &to);
    for (int s = 0; s < 16; ++s) {
        EXPECT_EQ(to.metric[s], 0.0f);
        EXPECT_EQ(to.pred[s], s >> 1);
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

TEST(BcchAgainstOsmocom, NoisyBlocksWithFlippedBitsDecodeToTheSameOctets)
{
    std::mt19937 rng(7001);
    DeintArea area{};
    for (int trial = 0; trial < 400; ++trial) {
        auto octets = randomOctets(rng);
        auto bits = encodeBcch(octets);
        auto soft = toSoft(bits, trial == 0 ? 0.0f : 0.45f, rng);
        flipBits(soft, bits, trial % 7, rng);
        uint8_t out[kBlockOctets] = {};
        ASSERT_TRUE(decodeBcch(soft.data(), &area, out)) << "trial " << trial;
        ASSERT_EQ(0, std::memcmp(out, octets.data(), kBlockOctets)) << "trial " << trial;
    }
}

TEST(BcchAgainstOsmocom, NeverWorseThanOsmocomOnTheSameSoftInput)
{
    // Both are maximum-likelihood decoders: on the same input they may differ only where two
    // paths tie, and then either way about equally often.
    std::mt19937 rng(7003);
    DeintArea area{};
    constexpr int kTrials = 400;
    for (float sigma : {0.6f, 0.75f, 0.9f}) {
        int onlyOurs = 0, onlyTheirs = 0;
        for (int trial = 0; trial < kTrials; ++trial) {
            auto octets = randomOctets(rng);
            auto soft = toSoft(encodeBcch(octets), sigma, rng);
            for (auto& v : soft)   // only values that libosmocore's soft bits can represent
                v = -toOsmo(v) * (kSoftMax / 127.0f);
            uint8_t a[kBlockOctets], b[kBlockOctets];
            bool ours = decodeBcch(soft.data(), &area, a);
            if (ours) {
                ASSERT_EQ(0, std::memcmp(a, octets.data(), kBlockOctets)) << "wrong block passed";
            }
            bool theirs =
                osmoDecodeBcch(soft.data(), b) && std::memcmp(b, octets.data(), kBlockOctets) == 0;
            onlyOurs += ours && !theirs;
            onlyTheirs += theirs && !ours;
        }
        EXPECT_LE(onlyTheirs, onlyOurs + 3) << "noise deviation " << sigma;
        EXPECT_LE(onlyTheirs, kTrials / 100) << "noise deviation " << sigma;
    }
}

TEST(SchAgainstOsmocom, RandomFieldsComeBackBothWaysThroughNoiseAndFlips)
{
    std::mt19937 rng(7004);
    for (int trial = 0; trial < 600; ++trial) {
        unsigned bsic = rng() % 64, t1 = rng() % 2048, t2 = rng() % 26, t3p = rng() % 5;
        auto info = schOctets(bsic, t1, t2, t3p);
        auto bits = encodeSch(info);
        auto soft = toSoft(bits, trial == 0 ? 0.0f : 0.4f, rng);
        if (trial % 3) {   // two wrong bits far apart stay within the code's power
            size_t p = rng() % 30;
            soft[p] = bits[p] ? -1.0f : 1.0f;
            soft[p + 40] = bits[p + 40] ? -1.0f : 1.0f;
        }
        uint8_t out[kBlockOctets];
        ASSERT_TRUE(decodeSch(soft.data(), out)) << "trial " << trial;
        EXPECT_EQ(0, std::memcmp(info.data(), out, 3));
        EXPECT_EQ(info[3], out[3] & 1);
        SchInfo sch{};
        ASSERT_TRUE(parseSch(out, &sch));
        EXPECT_EQ((std::array<unsigned, 4>{bsic, t1, t2, 10 * t3p + 1}),
                  (std::array<unsigned, 4>{sch.bsic, sch.t1, sch.t2, sch.t3}));
        // The other direction of the bit conventions: libosmocore decodes the same soft input
        // to the same octets.
        if (trial % 12 == 0) {
            sbit_t sb[kSchCodedBits];
            std::transform(soft.begin(), soft.end(), sb, toOsmo);
            uint8_t theirs[4] = {};
            ASSERT_EQ(0, gsm0503_sch_decode(theirs, sb));
            EXPECT_EQ(0, std::memcmp(theirs, out, 3));
            EXPECT_EQ(theirs[3] & 1, out[3] & 1);
        }
    }
}

TEST(AgainstOsmocom, UncorrectableWordsAreRefusedByTheParityChecks)
{
    std::mt19937 rng(7002);
    DeintArea area{};
    uint8_t out[kBlockOctets];
    // BCCH: a quarter of the block wrong, or no signal at all. A random word passes a 40-bit
    // check once in 2^40: none may pass here.
    int refused = 0;
    for (int trial = 0; trial < 1500; ++trial) {
        auto bits = encodeBcch(randomOctets(rng));
        std::array<float, kBcchCodedBits> soft;
        if (trial % 2 == 0) {
            soft = toSoft(bits, 0.2f, rng);
            flipBits(soft, bits, 110, rng);
        } else {
            soft = pureNoise<kBcchCodedBits>(rng);
        }
        refused += !decodeBcch(soft.data(), &area, out);
    }
    EXPECT_EQ(1500, refused);
    // SCH: a random word passes ten parity bits once in 1024, about 4 times here.
    int passed = 0;
    for (int trial = 0; trial < 4000; ++trial)
        passed += decodeSch(pureNoise<kSchCodedBits>(rng).data(), out);
    EXPECT_LE(passed, 14);
}

}  // namespace
