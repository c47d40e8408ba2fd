// Channel decoding against libosmocore as an independent encoder and decoder: random BCCH
// blocks and SCH fields coded there must come back through this decoder to the same octets
// and fields, and corruption the code cannot correct must be refused by the parity checks.
#include <gtest/gtest.h>

#include <cstring>

extern "C" {
#include <osmocom/coding/gsm0503_interleaving.h>
}

#include "backend/system_info.h"
#include "osmo_kit.h"

namespace {

using namespace osmo_kit;

std::array<uint8_t, kBlockOctets> randomOctets(std::mt19937& rng)
{
    std::array<uint8_t, kBlockOctets> o{};
    for (auto& v : o)
        v = static_cast<uint8_t>(rng());
    return o;
}

// Turns `count` distinct coded bits into hard errors (the opposite nominal value).
template <size_t N>
void flipBits(std::array<float, N>& soft, const std::array<uint8_t, N>& bits, int count,
              std::mt19937& rng)
{
    std::uniform_int_distribution<size_t> pos(0, N - 1);
    std::vector<size_t> done;
    while (static_cast<int>(done.size()) < count) {
        size_t p = pos(rng);
        if (std::find(done.begin(), done.end(), p) != done.end())
            continue;
        done.push_back(p);
        soft[p] = bits[p] ? -1.0f : 1.0f;
    }
}

TEST(BcchAgainstOsmocom, NoisyBlocksWithFlippedBitsDecodeToTheSameOctets)
{
    std::mt19937 rng(7001);
    DeintArea area{};
    for (int trial = 0; trial < 400; ++trial) {
        auto octets = randomOctets(rng);
        auto bits = encodeBcch(octets.data());
        auto soft = toSoft(bits, trial == 0 ? 0.0f : 0.45f, rng);
        flipBits(soft, bits, trial % 7, rng);
        uint8_t out[kBlockOctets] = {};
        ASSERT_TRUE(decodeBcch(soft.data(), &area, out)) << "trial " << trial;
        ASSERT_EQ(0, std::memcmp(out, octets.data(), kBlockOctets)) << "trial " << trial;
    }
}

TEST(BcchAgainstOsmocom, DeinterleaverInvertsTheStandardInterleaver)
{
    // Interleave every coded position's index with libosmocore, one index bit at a time, and
    // undo it here: each position must come back to its own place.
    ubit_t coded[kBcchCodedBits], interleaved[kBcchCodedBits];
    int label[kBcchCodedBits] = {};
    for (int b = 0; b < 9; ++b) {
        for (int k = 0; k < kBcchCodedBits; ++k)
            coded[k] = static_cast<ubit_t>((k >> b) & 1);
        gsm0503_xcch_interleave(coded, interleaved);
        for (int i = 0; i < kBcchCodedBits; ++i)
            label[i] |= interleaved[i] << b;
    }
    float slots[4][kBcchBurstBits];
    for (int i = 0; i < kBcchCodedBits; ++i)
        slots[i / kBcchBurstBits][i % kBcchBurstBits] = static_cast<float>(label[i]);
    float back[kBcchCodedBits];
    deint4(slots, back);
    for (int k = 0; k < kBcchCodedBits; ++k)
        ASSERT_EQ(static_cast<float>(k), back[k]) << "coded position " << k;
}

TEST(BcchAgainstOsmocom, UncorrectableBlocksAreRefusedByTheFireCode)
{
    std::mt19937 rng(7002);
    std::normal_distribution<float> noise(0.0f, 1.5f);
    DeintArea area{};
    int refused = 0;
    constexpr int kTrials = 1500;
    for (int trial = 0; trial < kTrials; ++trial) {
        auto octets = randomOctets(rng);
        auto bits = encodeBcch(octets.data());
        std::array<float, kBcchCodedBits> soft{};
        if (trial % 2 == 0) {
            soft = toSoft(bits, 0.2f, rng);
            flipBits(soft, bits, 110, rng); // a quarter of the block wrong
        } else {
            for (auto& v : soft) // no signal at all
                v = std::clamp(noise(rng), -kSoftMax, kSoftMax);
        }
        uint8_t out[kBlockOctets];
        refused += !decodeBcch(soft.data(), &area, out);
    }
    // A random word passes a 40-bit check once in 2^40: none may pass here.
    EXPECT_EQ(kTrials, refused);
}

TEST(BcchAgainstOsmocom, NeverWorseThanOsmocomOnTheSameSoftInput)
{
    // Both are maximum-likelihood decoders, so on the same input they may differ only where
    // two paths tie, and then either way about equally often.
    std::mt19937 rng(7003);
    DeintArea area{};
    constexpr int kTrials = 400;
    for (float sigma : {0.6f, 0.75f, 0.9f}) {
        int onlyOurs = 0, onlyTheirs = 0;
        for (int trial = 0; trial < kTrials; ++trial) {
            auto octets = randomOctets(rng);
            auto soft = toSoft(encodeBcch(octets.data()), sigma, rng);
            for (auto& v : soft) // only values that libosmocore's soft bits can represent
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

TEST(SchAgainstOsmocom, RandomFieldsComeBackThroughNoiseAndFlips)
{
    std::mt19937 rng(7004);
    for (int trial = 0; trial < 600; ++trial) {
        unsigned bsic = rng() % 64, t1 = rng() % 2048, t2 = rng() % 26, t3p = rng() % 5;
        auto info = schOctets(bsic, t1, t2, t3p);
        auto bits = encodeSch(info.data());
        auto soft = toSoft(bits, trial == 0 ? 0.0f : 0.4f, rng);
        // Two wrong bits far apart stay within the code's power.
        if (trial % 3) {
            size_t p = rng() % 30;
            soft[p] = bits[p] ? -1.0f : 1.0f;
            soft[p + 40] = bits[p + 40] ? -1.0f : 1.0f;
        }
        uint8_t out[kBlockOctets];
        ASSERT_TRUE(decodeSch(soft.data(), out)) << "trial " << trial;
        EXPECT_EQ(info[0], out[0]);
        EXPECT_EQ(info[1], out[1]);
        EXPECT_EQ(info[2], out[2]);
        EXPECT_EQ(info[3], out[3] & 1);
        SchInfo sch{};
        ASSERT_TRUE(parseSch(out, &sch));
        EXPECT_EQ(bsic, sch.bsic);
        EXPECT_EQ(t1, sch.t1);
        EXPECT_EQ(t2, sch.t2);
        EXPECT_EQ(10 * t3p + 1, sch.t3);
    }
}

TEST(SchAgainstOsmocom, UncorrectableBurstsAreRefusedAsOftenAsTenParityBitsAllow)
{
    std::mt19937 rng(7005);
    std::normal_distribution<float> noise(0.0f, 1.5f);
    constexpr int kTrials = 4000;
    int passed = 0, passedAndParsed = 0;
    for (int trial = 0; trial < kTrials; ++trial) {
        std::array<float, kSchCodedBits> soft{};
        for (auto& v : soft)
            v = std::clamp(noise(rng), -kSoftMax, kSoftMax);
        uint8_t out[kBlockOctets];
        if (decodeSch(soft.data(), out)) {
            ++passed;
            SchInfo sch;
            passedAndParsed += parseSch(out, &sch);
        }
    }
    // A random word passes ten parity bits once in 1024 (about 4 here); the frame-number
    // ranges then keep out another third of them.
    EXPECT_LE(passed, 14);
    EXPECT_LE(passedAndParsed, passed);
}

TEST(SchAgainstOsmocom, OsmocomDecodesWhatThisDecoderDecodes)
{
    // The other direction of the bit conventions: our decoded octets, re-encoded by
    // libosmocore, give the same coded bits as the ones we decoded from.
    std::mt19937 rng(7006);
    for (int trial = 0; trial < 50; ++trial) {
        auto info = schOctets(rng() % 64, rng() % 2048, rng() % 26, rng() % 5);
        auto bits = encodeSch(info.data());
        auto soft = toSoft(bits, 0.3f, rng);
        sbit_t sb[kSchCodedBits];
        for (int i = 0; i < kSchCodedBits; ++i)
            sb[i] = toOsmo(soft[i]);
        uint8_t theirs[4] = {};
        ASSERT_EQ(0, gsm0503_sch_decode(theirs, sb));
        uint8_t ours[kBlockOctets];
        ASSERT_TRUE(decodeSch(soft.data(), ours));
        EXPECT_EQ(0, std::memcmp(theirs, ours, 3));
        EXPECT_EQ(theirs[3] & 1, ours[3] & 1);
    }
}

} // namespace
