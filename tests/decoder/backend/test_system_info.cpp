// The System Information back end: SCH information, and BCCH messages from the test-signal
// generator (decimal digits in, BCD nibbles out) into the decoder's SiArea; frequency lists,
// hand-packed examples, then random channel sets in every format from the generator's encoder,
// which must give exactly their own ARFCNs in the map.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <set>
#include <vector>

#include "../cell_digits.h"
#include "backend/freq_list.h"
#include "backend/system_info.h"

namespace {

using cell_run::cell;
using gsmsig::ListFormat;
using Description = std::array<uint8_t, 16>;

// Octet 0, then fields most significant bit first from its bit `firstBitsLeft` (8..1) on.
Description pack(uint8_t c0, int firstBitsLeft, std::initializer_list<std::pair<int, int>> fields)
{
    Description d{};
    d[0] = c0;
    int pos = 8 - firstBitsLeft;
    for (auto [value, width] : fields)
        for (int i = width - 1; i >= 0; --i, ++pos)
            if ((value >> i) & 1)
                d[pos / 8] |= static_cast<uint8_t>(0x80 >> (pos % 8));
    return d;
}

std::set<int> mapToSet(const uint8_t* map)
{
    std::set<int> s;
    for (int bit = 0; bit < 1024; ++bit)
        if (map[bit / 8] & (1 << (bit % 8)))
            s.insert((bit + 1) % 1024);
    return s;
}

std::set<int> decode(const Description& d)
{
    uint8_t map[kArfcnMapBytes] = {};
    EXPECT_TRUE(decodeFreqList(d.data(), map));
    return mapToSet(map);
}

TEST(FreqListExamples, HandPackedDescriptions)
{
    Description one{}, top{}, spare{};
    one[15] = 0x01;
    top[0] = 0x08;
    spare[0] = 0x7F;   // bits 7..5 are not examined
    const struct {
        const char* name;
        Description d;
        std::set<int> want;
    } cases[] = {
        {"bit map 0, ARFCN 1", one, {1}},
        {"bit map 0, ARFCN 124", top, {124}},
        {"bit map 0, spare bits set", spare, {121, 122, 123, 124}},
        {"range 1024, F0 only", pack(0x84, 8, {}), {0}},
        {"range 1024, W1..W4", pack(0x80, 3, {{0, 1}, {600, 10}, {1, 9}, {1, 9}}), {600, 89, 601}},
        {"range 512 wraps at 1024", pack(0x88, 1, {{1000, 10}, {100, 9}, {0, 8}}), {1000, 76}},
        {"variable bit map, ARFCN 0", pack(0x8E, 1, {{0, 10}}), {0}},
        {"variable bit map, 1023 and 0", pack(0x8E, 1, {{1023, 10}, {1, 1}}), {1023, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.want, decode(c.d));
    }
    // ARFCN 0 is the last bit of the map.
    uint8_t map[kArfcnMapBytes] = {};
    decodeFreqList(pack(0x84, 8, {}).data(), map);
    EXPECT_EQ(0x80, map[127]);
    // Lists add to the map.
    decodeFreqList(gsmsig::encodeChannelList({3, 70}, ListFormat::bitmap0)->data(), map);
    decodeFreqList(gsmsig::encodeChannelList({600, 700}, ListFormat::range512)->data(), map);
    EXPECT_EQ(std::set<int>({0, 3, 70, 600, 700}), mapToSet(map));
}

struct FormatCase {
    ListFormat format;
    int maxCount;   // channels the 16 octets can carry
    int lo, hi;     // where the channels are drawn from
    int span;       // largest distance from the lowest channel (the origin)
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
            if (a > c.hi)   // stays in the band, wrapping 1023 -> 0 for the 900 band
                a = c.hi == 1023 ? a - 1024 : origin - (a - c.hi);
            arfcns.insert((a + 1024) % 1024);
        }
        // A set spread wider than the format's range does not fit, which the encoder reports.
        // The bits above the format's in octet 0 are not examined.
        auto d = gsmsig::encodeChannelList({arfcns.begin(), arfcns.end()}, c.format,
                                           static_cast<uint8_t>(rng() % 8 << 4));
        if (!d)
            continue;
        ++encoded;
        ASSERT_EQ(arfcns, decode(*d)) << c.name << " trial " << trial;
    }
    EXPECT_GT(encoded, 200) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    EveryFormat, RandomLists,
    ::testing::Values(
        FormatCase{ListFormat::bitmap0, 40, 1, 124, 123, "bit map 0"},
        FormatCase{ListFormat::range1024, 17, 0, 1023, 1023, "range 1024, whole range"},
        FormatCase{ListFormat::range1024, 17, 512, 885, 373, "range 1024, 1800 band"},
        FormatCase{ListFormat::range512, 18, 0, 1023, 511, "range 512"},
        FormatCase{ListFormat::range512, 18, 512, 885, 373, "range 512, 1800 band"},
        FormatCase{ListFormat::range256, 22, 975, 1023, 255, "range 256, 900 band wrapping"},
        FormatCase{ListFormat::range256, 22, 512, 885, 255, "range 256, 1800 band"},
        FormatCase{ListFormat::range128, 29, 0, 124, 127, "range 128, 900 band"},
        FormatCase{ListFormat::range128, 29, 700, 885, 127, "range 128, 1800 band"},
        FormatCase{ListFormat::variableBitmap, 40, 0, 1023, 111, "variable bit map"},
        FormatCase{ListFormat::variableBitmap, 40, 512, 885, 111, "variable bit map, 1800 band"}));

TEST(RandomLists, ArfcnZeroInEveryFormatThatCanCarryIt)
{
    std::mt19937 rng(7103);
    for (ListFormat f : {ListFormat::range1024, ListFormat::range512, ListFormat::range256,
                         ListFormat::range128, ListFormat::variableBitmap}) {
        for (int trial = 0; trial < 50; ++trial) {
            // 0 with channels just below it (wrapping) or above it.
            std::set<int> s{0};
            int base = trial % 2 ? 0 : 1000;
            for (int i = 0; i < 6; ++i)
                s.insert((base + static_cast<int>(rng() % 20)) % 1024);
            auto d = gsmsig::encodeChannelList({s.begin(), s.end()}, f);
            ASSERT_TRUE(d.has_value());
            EXPECT_EQ(s, decode(*d));
        }
    }
}

using Block = gsmsig::Block23;

void expectLai(const SiArea& area, const gsmsig::Cell& c)
{
    EXPECT_EQ(cell_run::bcd3(c.mcc), area.mcc);
    EXPECT_EQ(cell_run::mncBcd(c.mnc, c.mncDigits), area.mnc);
    EXPECT_EQ(c.lac, area.lac);
}

TEST(Sch, FieldsAndRanges)
{
    // Octet 3's bits above bit 1 are parity and not examined.
    const struct {
        uint8_t o[4];
        int bsic, t1, t2, t3;
    } good[] = {{{0xFF, 0xFF, 0xE6, 0xFE}, 63, 2047, 25, 41},
                {{0, 0, 0, 0}, 0, 0, 0, 1},
                {{0x55, 0x80, 0x49, 0x00}, 21, 768, 18, 21}};
    for (const auto& c : good) {
        SchInfo info{};
        ASSERT_TRUE(parseSch(c.o, &info)) << c.t1;
        EXPECT_EQ((std::array<int, 4>{c.bsic, c.t1, c.t2, c.t3}), (std::array<int, 4>{info.bsic, info.t1, info.t2, info.t3}));
    }
    // T3' 5..7 and T2 26..31 are no frame numbers.
    for (std::array<uint8_t, 4> o : {std::array<uint8_t, 4>{0, 0, 0x02, 1}, {0, 0, 0x03, 0}, {0, 0, 0x03, 1},
                                     {0, 0, 26 << 2, 0}, {0, 0, 31 << 2, 0}}) {
        SchInfo info{};
        EXPECT_FALSE(parseSch(o.data(), &info)) << int(o[2]) << " " << int(o[3]);
    }
}

TEST(Rr, DiscriminatorAndTypeDecideAcceptance)
{
    SiArea area{};
    Block b = gsmsig::si3(cell(262, 1, 2, 0x1234, 0x0102, 0, {}));
    b[1] = 0x16;   // skip indicator 1 is not examined
    EXPECT_TRUE(parseRr(b.data(), &area));
    EXPECT_EQ(1, area.ciValid);

    const SiArea before = area;
    Block other = gsmsig::si4(cell(901, 70, 2, 1, 1, 0, {}));
    other[1] = 0x05;   // mobility management
    EXPECT_FALSE(parseRr(other.data(), &area));
    EXPECT_EQ(0, std::memcmp(&before, &area, sizeof area));
    // SI2 is accepted and ignored, an unknown type refused.
    Block si2 = *gsmsig::si2(cell(262, 1, 2, 1, 1, 0, {}));
    EXPECT_TRUE(parseRr(si2.data(), &area));
    si2[2] = 0x08;
    EXPECT_FALSE(parseRr(si2.data(), &area));
    EXPECT_EQ(0, std::memcmp(&before, &area, sizeof area));
}

TEST(Rr, Si3GivesCellAndLocationAreaInBcdAndLaterMessagesOverwrite)
{
    for (const gsmsig::Cell& c : {cell(310, 410, 3, 0xFFFE, 0xFFFF, 0, {}), cell(1, 0, 2, 0, 0, 0, {}),
                                  cell(724, 5, 3, 0x8000, 7, 0, {})}) {
        SiArea area{};
        ASSERT_TRUE(parseRr(gsmsig::si3(c).data(), &area));
        EXPECT_EQ(1, area.ciValid);
        EXPECT_EQ(1, area.laiValid);
        EXPECT_EQ(c.ci, area.ci);
        expectLai(area, c);
        EXPECT_EQ(0, area.si1Valid);
    }
    SiArea area{};
    const auto a = cell(262, 1, 2, 0x1111, 0x4242, 0, {}), b = cell(208, 10, 2, 0x2222, 0xABCD, 0, {}),
               c = cell(310, 260, 3, 0x3333, 1, 0, {});
    parseRr(gsmsig::si4(a).data(), &area);
    EXPECT_EQ(1, area.laiValid);
    EXPECT_EQ(0, area.ciValid);
    EXPECT_EQ(0x262, area.mcc);
    EXPECT_EQ(0x01F, area.mnc);
    parseRr(gsmsig::si3(b).data(), &area);
    EXPECT_EQ(0xABCD, area.ci);
    expectLai(area, b);
    parseRr(gsmsig::si4(c).data(), &area);   // the LAI changes, the cell identity stays
    EXPECT_EQ(0xABCD, area.ci);
    expectLai(area, c);
    Block si6 = gsmsig::si3(a);   // SI6 carries the cell identity and LAI as SI3 does
    si6[2] = 0x1E;
    EXPECT_TRUE(parseRr(si6.data(), &area));
    EXPECT_EQ(0x4242, area.ci);
    expectLai(area, a);
}

TEST(Rr, Si1ListsAccumulateAndTheBandFlagIsTheRawBit)
{
    SiArea area{};
    auto si1 = [](std::vector<int> channels, uint8_t rest) {
        gsmsig::Cell c = cell(1, 1, 2, 1, 1, 0, std::move(channels));
        c.channelFormat = ListFormat::bitmap0;
        c.si1RestOctet = rest;
        return *gsmsig::si1(c);
    };
    ASSERT_TRUE(parseRr(si1({1, 10, 124}, 0x2B).data(), &area));
    EXPECT_EQ(1, area.si1Valid);
    EXPECT_EQ(0, area.bandFlag);
    ASSERT_TRUE(parseRr(si1({20, 10}, 0x40).data(), &area));
    EXPECT_EQ(1, area.bandFlag);
    EXPECT_EQ(std::set<int>({1, 10, 20, 124}), mapToSet(area.arfcnMap));
    // Rest octet: without NCH position bit 7 is the flag, with it bit 2.
    const std::pair<uint8_t, int> rest[] = {{0x40, 1}, {0x82, 1}, {0x02, 0}, {0x2B, 0}, {0xC0, 0}};
    for (auto [octet, flag] : rest) {
        parseRr(si1({}, octet).data(), &area);
        EXPECT_EQ(flag, area.bandFlag) << "rest octet " << int(octet);
    }
}

}  // namespace
