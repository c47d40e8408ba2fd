// Frequency lists: the worked examples, then random channel sets in every format, encoded by
// the annex-J encoder of the test kit, must give exactly their own ARFCNs in the map.
#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "backend/freq_list.h"
#include "freq_list_encoder.h"

namespace {

using freq_enc::Format;

std::set<int> mapToSet(const uint8_t* map)
{
    std::set<int> s;
    for (int bit = 0; bit < 1024; ++bit)
        if (map[bit / 8] & (1 << (bit % 8)))
            s.insert((bit + 1) % 1024);
    return s;
}

std::set<int> decode(const freq_enc::Description& d)
{
    uint8_t map[kArfcnMapBytes] = {};
    EXPECT_TRUE(decodeFreqList(d.data(), map));
    return mapToSet(map);
}

// Writes fields most significant bit first from a given bit of octet 0.
freq_enc::Description pack(uint8_t c0, int firstBitsLeft,
                           std::initializer_list<std::pair<int, int>> fields)
{
    freq_enc::Description d{};
    d[0] = c0;
    int pos = 8 - firstBitsLeft;
    for (auto [value, width] : fields)
        for (int i = width - 1; i >= 0; --i, ++pos)
            if ((value >> i) & 1)
                d[pos / 8] |= static_cast<uint8_t>(0x80 >> (pos % 8));
    return d;
}

TEST(FreqListExamples, BitMapZero)
{
    freq_enc::Description d{};
    d[15] = 0x01;
    EXPECT_EQ(std::set<int>({1}), decode(d));
    d = {};
    d[0] = 0x08;
    EXPECT_EQ(std::set<int>({124}), decode(d));
    d[0] = 0x7F; // bits 7..5 are not examined
    EXPECT_EQ(std::set<int>({121, 122, 123, 124}), decode(d));
}

TEST(FreqListExamples, Range1024)
{
    // F0 = 1 and W(1) = 0: ARFCN 0 only, the last bit of the map.
    auto d = pack(0x84, 8, {});
    uint8_t map[kArfcnMapBytes] = {};
    decodeFreqList(d.data(), map);
    EXPECT_EQ(0x80, map[127]);
    EXPECT_EQ(std::set<int>({0}), mapToSet(map));
    // F0 = 0, W(1) = 600, W(2) = W(3) = 1, W(4) = 0.
    d = pack(0x80, 3, {{0, 1}, {600, 10}, {1, 9}, {1, 9}});
    EXPECT_EQ(std::set<int>({600, 89, 601}), decode(d));
}

TEST(FreqListExamples, Range512WrapsAt1024)
{
    auto d = pack(0x88, 1, {{1000, 10}, {100, 9}, {0, 8}});
    EXPECT_EQ(std::set<int>({1000, 76}), decode(d));
}

TEST(FreqListExamples, VariableBitMapAroundArfcnZero)
{
    auto d = pack(0x8E, 1, {{0, 10}});
    EXPECT_EQ(std::set<int>({0}), decode(d));
    d = pack(0x8E, 1, {{1023, 10}, {1, 1}}); // RRFCN bit 1 follows ORIG-ARFCN
    EXPECT_EQ(std::set<int>({1023, 0}), decode(d));
}

TEST(FreqListExamples, RangeTreeMatchesTheClosedFormsOfTheStandard)
{
    // Range 1024: F(2) = ((W1 + W2 + 510) mod 1023) + 1, F(3) = ((W1 + W3 + 1022) mod 1023) + 1.
    std::mt19937 rng(7101);
    for (int t = 0; t < 200; ++t) {
        uint16_t w[4] = {0, static_cast<uint16_t>(1 + rng() % 1023),
                         static_cast<uint16_t>(1 + rng() % 511),
                         static_cast<uint16_t>(1 + rng() % 511)};
        EXPECT_EQ((w[1] + w[2] + 510) % 1023 + 1, decodeRangeTree(2, w, 1024));
        EXPECT_EQ((w[1] + w[3] + 1022) % 1023 + 1, decodeRangeTree(3, w, 1024));
        EXPECT_EQ(w[1], decodeRangeTree(1, w, 1024));
    }
}

TEST(FreqListExamples, ListsAddToTheMap)
{
    uint8_t map[kArfcnMapBytes] = {};
    decodeFreqList(freq_enc::encode(Format::bitMap0, {3, 70})->data(), map);
    decodeFreqList(freq_enc::encode(Format::range512, {600, 700})->data(), map);
    EXPECT_EQ(std::set<int>({3, 70, 600, 700}), mapToSet(map));
}

struct FormatCase {
    Format format;
    int maxCount; // channels the 16 octets can carry
    int lo, hi;   // where the channels are drawn from
    int span;     // largest distance from the lowest channel (the origin)
    const char* name;
};

class RandomLists : public ::testing::TestWithParam<FormatCase> {};

TEST_P(RandomLists, DecodeToTheEncodedChannels)
{
    const FormatCase c = GetParam();
    std::mt19937 rng(7102 + static_cast<int>(c.format));
    int encoded = 0;
    for (int trial = 0; trial < 400; ++trial) {
        int count = 1 + static_cast<int>(rng() % c.maxCount);
        int origin = c.lo + static_cast<int>(rng() % (c.hi - c.lo + 1));
        std::set<int> arfcns{origin};
        while (static_cast<int>(arfcns.size()) < count) {
            int a = origin + static_cast<int>(rng() % (c.span + 1));
            if (a > c.hi) // stays in the band, wrapping 1023 -> 0 for the 900 band
                a = c.hi == 1023 ? a - 1024 : origin - (a - c.hi);
            arfcns.insert(a);
        }
        // A set spread wider than the format's range does not fit, which the encoder reports.
        auto d = freq_enc::encode(c.format, arfcns, static_cast<int>(rng() % 8));
        if (!d)
            continue;
        ++encoded;
        uint8_t map[kArfcnMapBytes] = {};
        decodeFreqList(d->data(), map);
        auto expected = freq_enc::expectedMap(arfcns);
        ASSERT_EQ(0, std::memcmp(expected.data(), map, kArfcnMapBytes))
            << c.name << " trial " << trial;
    }
    EXPECT_GT(encoded, 200) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    EveryFormat, RandomLists,
    ::testing::Values(
        FormatCase{Format::bitMap0, 40, 1, 124, 123, "bit map 0"},
        FormatCase{Format::range1024, 17, 0, 1023, 1023, "range 1024, whole range"},
        FormatCase{Format::range1024, 17, 512, 885, 373, "range 1024, 1800 band"},
        FormatCase{Format::range512, 18, 0, 1023, 511, "range 512"},
        FormatCase{Format::range512, 18, 512, 885, 373, "range 512, 1800 band"},
        FormatCase{Format::range256, 22, 975, 1023, 255, "range 256, 900 band wrapping"},
        FormatCase{Format::range256, 22, 512, 885, 255, "range 256, 1800 band"},
        FormatCase{Format::range128, 29, 0, 124, 127, "range 128, 900 band"},
        FormatCase{Format::range128, 29, 700, 885, 127, "range 128, 1800 band"},
        FormatCase{Format::variableBitMap, 40, 0, 1023, 111, "variable bit map"},
        FormatCase{Format::variableBitMap, 40, 512, 885, 111, "variable bit map, 1800 band"}));

TEST(RandomLists, ArfcnZeroInEveryFormatThatCanCarryIt)
{
    std::mt19937 rng(7103);
    for (Format f : {Format::range1024, Format::range512, Format::range256, Format::range128,
                     Format::variableBitMap}) {
        for (int trial = 0; trial < 50; ++trial) {
            // 0 with channels just below it (wrapping) or above it.
            std::set<int> s{0};
            int base = trial % 2 ? 0 : 1000;
            for (int i = 0; i < 6; ++i)
                s.insert((base + static_cast<int>(rng() % 20)) % 1024);
            auto d = freq_enc::encode(f, s);
            ASSERT_TRUE(d.has_value());
            EXPECT_EQ(s, decode(*d));
        }
    }
}

} // namespace
