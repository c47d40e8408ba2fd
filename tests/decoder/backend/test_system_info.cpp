// The System Information back end: SCH information and messages built here from the air
// layouts (decimal digits in, BCD nibbles out) into the decoder's SiArea; and frequency lists,
// hand-packed examples, then random channel sets in every format built by an encoder written
// from the standard's own construction (not from the decoder), which must give exactly their
// own ARFCNs in the map.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <optional>
#include <random>
#include <set>
#include <vector>

#include "backend/freq_list.h"
#include "backend/system_info.h"

namespace {

using Description = std::array<uint8_t, 16>;
enum class Format { bitMap0, range1024, range512, range256, range128, variableBitMap };

// Fields most significant bit first, from a given bit of octet 0; false past the 16 octets.
struct BitWriter {
    Description& d;
    int pos;
    bool put(unsigned value, int width)
    {
        for (int i = width - 1; i >= 0; --i, ++pos) {
            if (pos >= 128)
                return false;
            if ((value >> i) & 1)
                d[pos / 8] |= static_cast<uint8_t>(0x80 >> (pos % 8));
        }
        return true;
    }
};

Description pack(uint8_t c0, int firstBitsLeft, std::initializer_list<std::pair<int, int>> fields)
{
    Description d{};
    d[0] = c0;
    BitWriter out{d, 8 - firstBitsLeft};
    for (auto [value, width] : fields)
        out.put(static_cast<unsigned>(value), width);
    return d;
}

// The subtree at `index` holds `set` (1..range): the root takes the pivot that leaves
// floor((n-1)/2) values in the half-range above it (the right subtree), the rest go left, each
// re-expressed in the half range.
bool encodeSubtree(int index, int span, const std::vector<int>& set, int range, std::vector<int>& w)
{
    if (set.empty())
        return true;
    if (index >= static_cast<int>(w.size()))
        return false;
    const int half = (range - 1) / 2;
    for (int pivot : set) {
        std::vector<int> left, right;
        for (int v : set) {
            int d = ((v - pivot) % range + range) % range;
            if (v != pivot)
                (d <= half ? right : left).push_back(d <= half ? d : d - half);
        }
        if (static_cast<int>(right.size()) != (static_cast<int>(set.size()) - 1) / 2)
            continue;
        w[index] = pivot;
        return encodeSubtree(index + span, 2 * span, left, half, w) &&
               encodeSubtree(index + 2 * span, 2 * span, right, half, w);
    }
    return false;
}

// The member from which every other lies at most `span` channels higher, modulo 1024.
std::optional<int> originFor(const std::set<int>& arfcns, int span)
{
    for (int o : arfcns) {
        bool fits = true;
        for (int a : arfcns)
            fits = fits && (a - o + 1024) % 1024 <= span;
        if (fits)
            return o;
    }
    return std::nullopt;
}

std::optional<Description> encodeRange(Format f, const std::set<int>& arfcns, int spare)
{
    struct Layout {
        int range, firstBitsLeft;
        uint8_t formatBits;
        std::vector<int> widths;
    };
    static const Layout layouts[] = {
        {1024, 3, 0x80, {1, 10, 9, 9, 8, 8, 8, 8, 7, 7, 7, 7, 7, 7, 7, 7, 6}},
        {512, 1, 0x88, {10, 9, 8, 8, 7, 7, 7, 7, 6, 6, 6, 6, 6, 6, 6, 6, 5, 5}},
        {256, 1, 0x8A, {10, 8, 7, 7, 6, 6, 6, 6, 5, 5, 5, 5, 5, 5, 5, 5, 4, 4, 4, 4, 4, 4}},
        {128, 1, 0x8C, {10, 7, 6, 6, 5, 5, 5, 5, 4, 4, 4, 4, 4, 4, 4,
                        4,  3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}}};
    const Layout& lay = layouts[static_cast<int>(f) - static_cast<int>(Format::range1024)];
    Description d{};
    d[0] = static_cast<uint8_t>(lay.formatBits | (spare & 7) << 4);
    std::vector<int> w(lay.widths.size(), 0), rel;
    if (f == Format::range1024) {
        for (int a : arfcns)
            if (a == 0)
                w[0] = 1;   // F0 carries ARFCN 0
            else
                rel.push_back(a);
    } else {
        auto orig = originFor(arfcns, lay.range - 1);
        if (!orig)
            return std::nullopt;
        w[0] = *orig;
        for (int a : arfcns)
            if (a != *orig)
                rel.push_back((a - *orig + 1024) % 1024);
    }
    if (!encodeSubtree(1, 1, rel, lay.range - 1, w))
        return std::nullopt;
    BitWriter out{d, 8 - lay.firstBitsLeft};
    for (size_t i = 0; i < w.size(); ++i)
        if (!out.put(static_cast<unsigned>(w[i]), lay.widths[i]) || w[i] >= (1 << lay.widths[i]))
            return std::nullopt;
    return d;
}

// The 16 octets for the ARFCNs, or nothing when the set does not fit the format. `spare` fills
// the bits the format leaves unused in octet 1 (bits 7..5).
std::optional<Description> encode(Format format, const std::set<int>& arfcns, int spare = 0)
{
    Description d{};
    if (format == Format::bitMap0) {
        for (int a : arfcns) {
            if (a < 1 || a > 124)
                return std::nullopt;
            d[15 - (a - 1) / 8] |= static_cast<uint8_t>(1 << ((a - 1) % 8));
        }
        d[0] |= static_cast<uint8_t>((spare & 7) << 4);
        return d;
    }
    if (format != Format::variableBitMap)
        return encodeRange(format, arfcns, spare);
    auto orig = originFor(arfcns, 111);
    if (!orig)
        return std::nullopt;
    d[0] = static_cast<uint8_t>(0x8E | (spare & 7) << 4);
    BitWriter{d, 7}.put(static_cast<unsigned>(*orig), 10);
    for (int a : arfcns) {
        int pos = 16 + (a - *orig + 1024) % 1024;   // RRFCN j: bit j after ORIG-ARFCN
        if (a != *orig)
            d[pos / 8] |= static_cast<uint8_t>(0x80 >> (pos % 8));
    }
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
    decodeFreqList(encode(Format::bitMap0, {3, 70})->data(), map);
    decodeFreqList(encode(Format::range512, {600, 700})->data(), map);
    EXPECT_EQ(std::set<int>({0, 3, 70, 600, 700}), mapToSet(map));
}

struct FormatCase {
    Format format;
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
        auto d = encode(c.format, arfcns, static_cast<int>(rng() % 8));
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
            auto d = encode(f, s);
            ASSERT_TRUE(d.has_value());
            EXPECT_EQ(s, decode(*d));
        }
    }
}

using Block = std::array<uint8_t, 23>;

struct Lai {
    int mcc; // three decimal digits
    int mnc; // two or three decimal digits
    bool mnc3;
    int lac;
};

// Digits as the decoder reports them: BCD, a two-digit MNC with the filler F as third digit.
uint16_t mccBcd(const Lai& l) { return static_cast<uint16_t>(l.mcc / 100 << 8 | l.mcc / 10 % 10 << 4 | l.mcc % 10); }
uint16_t mncBcd(const Lai& l)
{
    return static_cast<uint16_t>(l.mnc3 ? l.mnc / 100 << 8 | l.mnc / 10 % 10 << 4 | l.mnc % 10
                                        : l.mnc / 10 << 8 | l.mnc % 10 << 4 | 0xF);
}

// On the air: MCC2|MCC1, MNC3|MCC3, MNC2|MNC1, LAC high, LAC low.
std::array<uint8_t, 5> encodeLai(const Lai& l)
{
    const int m = mccBcd(l), n = mncBcd(l);
    return {static_cast<uint8_t>((m & 0xF0) | m >> 8), static_cast<uint8_t>((n & 0xF) << 4 | (m & 0xF)),
            static_cast<uint8_t>((n & 0xF0) | n >> 8), static_cast<uint8_t>(l.lac >> 8),
            static_cast<uint8_t>(l.lac & 0xFF)};
}

// A BCCH block: L2 pseudo length, protocol discriminator octet, message type, body, then the
// 0x2B filler.
Block message(uint8_t type, const std::vector<uint8_t>& body, uint8_t pd = 0x06)
{
    Block b;
    b.fill(0x2B);
    b[0] = static_cast<uint8_t>((2 + body.size()) << 2 | 1);
    b[1] = pd;
    b[2] = type;
    std::copy(body.begin(), body.end(), b.begin() + 3);
    return b;
}

// SI3: cell identity, LAI, control channel description, cell options, cell selection and
// RACH control parameters, rest octets. SI4: LAI, cell selection and RACH control parameters,
// rest octets. SI1: cell channel description, RACH control parameters, one rest octet.
Block si3(int ci, const Lai& l)
{
    auto a = encodeLai(l);
    return message(0x1B, {static_cast<uint8_t>(ci >> 8), static_cast<uint8_t>(ci), a[0], a[1], a[2],
                          a[3], a[4], 0x49, 0x03, 0x00, 0x28, 0x0F, 0x48, 0xB8, 0x00, 0x00});
}

Block si4(const Lai& l)
{
    auto a = encodeLai(l);
    return message(0x1C, {a[0], a[1], a[2], a[3], a[4], 0x0F, 0x48, 0xB8, 0x00, 0x00});
}

Block si1(const Description& desc, uint8_t rest)
{
    std::vector<uint8_t> body(desc.begin(), desc.end());
    body.insert(body.end(), {0xB8, 0x00, 0x00, rest});
    return message(0x19, body);
}

TEST(Sch, FieldsAndRanges)
{
    // Octet 3's bits above bit 1 are parity and not examined.
    const struct {
        uint8_t o[4];
        bool ok;
        int bsic, t1, t2, t3;
    } cases[] = {{{0xFF, 0xFF, 0xE6, 0xFE}, true, 63, 2047, 25, 41},
                 {{0, 0, 0, 0}, true, 0, 0, 0, 1},
                 {{0x55, 0x80, 0x49, 0x00}, true, 21, 768, 18, 21},
                 // T3' 5..7 and T2 26..31 are no frame numbers.
                 {{0, 0, 0x02, 1}, false, 0, 0, 0, 0}, {{0, 0, 0x03, 0}, false, 0, 0, 0, 0},
                 {{0, 0, 0x03, 1}, false, 0, 0, 0, 0}, {{0, 0, 26 << 2, 0}, false, 0, 0, 0, 0},
                 {{0, 0, 31 << 2, 0}, false, 0, 0, 0, 0}};
    for (const auto& c : cases) {
        SchInfo info{};
        SCOPED_TRACE(::testing::Message() << std::hex << int(c.o[0]) << " " << int(c.o[1]) << " "
                                          << int(c.o[2]) << " " << int(c.o[3]));
        ASSERT_EQ(c.ok, parseSch(c.o, &info));
        if (c.ok) {
            EXPECT_EQ(c.bsic, info.bsic);
            EXPECT_EQ(c.t1, info.t1);
            EXPECT_EQ(c.t2, info.t2);
            EXPECT_EQ(c.t3, info.t3);
        }
    }
}

TEST(Rr, DiscriminatorAndTypeDecideAcceptance)
{
    SiArea area{};
    Lai l{262, 1, false, 0x1234};
    Block b = si3(0x0102, l);
    b[1] = 0x16; // skip indicator 1 is not examined
    EXPECT_TRUE(parseRr(b.data(), &area));
    EXPECT_EQ(1, area.ciValid);

    SiArea before = area;
    Block other = si4({901, 70, false, 1});
    other[1] = 0x05; // mobility management
    EXPECT_FALSE(parseRr(other.data(), &area));
    EXPECT_EQ(0, std::memcmp(&before, &area, sizeof area));

    Block si2 = message(0x1A, std::vector<uint8_t>(20, 0xFF));
    EXPECT_TRUE(parseRr(si2.data(), &area));
    EXPECT_EQ(0, std::memcmp(&before, &area, sizeof area));
    Block unknown = message(0x08, std::vector<uint8_t>(20, 0xFF));
    EXPECT_FALSE(parseRr(unknown.data(), &area));
    EXPECT_EQ(0, std::memcmp(&before, &area, sizeof area));
}

TEST(Rr, Si3GivesCellAndLocationAreaInBcd)
{
    struct Case {
        int ci;
        Lai lai;
    } cases[] = {{0x0102, {262, 1, false, 0x1234}},
                 {0xFFFF, {310, 410, true, 0xFFFE}},
                 {0, {1, 0, false, 0}},
                 {54321, {999, 99, false, 1}},
                 {7, {724, 5, true, 0x8000}}};
    for (const auto& c : cases) {
        SiArea area{};
        ASSERT_TRUE(parseRr(si3(c.ci, c.lai).data(), &area));
        EXPECT_EQ(1, area.ciValid);
        EXPECT_EQ(1, area.laiValid);
        EXPECT_EQ(c.ci, area.ci);
        EXPECT_EQ(mccBcd(c.lai), area.mcc);
        EXPECT_EQ(mncBcd(c.lai), area.mnc);
        EXPECT_EQ(c.lai.lac, area.lac);
        EXPECT_EQ(0, area.si1Valid);
    }
    SiArea area{};
    parseRr(si3(1, {262, 1, false, 0x1234}).data(), &area);
    EXPECT_EQ(0x262, area.mcc);
    EXPECT_EQ(0x01F, area.mnc);
}

TEST(Rr, LaterMessagesOverwriteAndSi6CarriesTheCellToo)
{
    SiArea area{};
    Lai a{262, 1, false, 0x1111}, b{208, 10, false, 0x2222}, c{310, 260, true, 0x3333};
    parseRr(si4(a).data(), &area);
    EXPECT_EQ(1, area.laiValid);
    EXPECT_EQ(0, area.ciValid);
    EXPECT_EQ(0x1111, area.lac);
    parseRr(si3(0xABCD, b).data(), &area);
    EXPECT_EQ(0xABCD, area.ci);
    EXPECT_EQ(mncBcd(b), area.mnc);
    parseRr(si4(c).data(), &area); // the LAI changes, the cell identity stays
    EXPECT_EQ(0xABCD, area.ci);
    EXPECT_EQ(mccBcd(c), area.mcc);
    EXPECT_EQ(mncBcd(c), area.mnc);
    EXPECT_EQ(0x3333, area.lac);
    Block si6 = si3(0x4242, a);
    si6[2] = 0x1E;
    EXPECT_TRUE(parseRr(si6.data(), &area));
    EXPECT_EQ(0x4242, area.ci);
    EXPECT_EQ(0x1111, area.lac);
}

TEST(Rr, Si1ListsAccumulateAndTheBandFlagIsTheRawBit)
{
    SiArea area{};
    ASSERT_TRUE(parseRr(si1(*encode(Format::bitMap0, {1, 10, 124}), 0x2B).data(), &area));
    EXPECT_EQ(1, area.si1Valid);
    EXPECT_EQ(0, area.bandFlag);
    ASSERT_TRUE(parseRr(si1(*encode(Format::bitMap0, {20, 10}), 0x40).data(), &area));
    EXPECT_EQ(1, area.bandFlag);
    uint8_t want[kArfcnMapBytes] = {};   // ARFCN n at bit (n - 1) mod 1024
    for (int n : {1, 10, 20, 124})
        want[(n - 1) / 8] |= static_cast<uint8_t>(1 << ((n - 1) % 8));
    EXPECT_EQ(0, std::memcmp(want, area.arfcnMap, sizeof want));
    // Rest octet: without NCH position bit 7 is the flag, with it bit 2.
    const std::pair<uint8_t, int> rest[] = {{0x40, 1}, {0x82, 1}, {0x02, 0}, {0x2B, 0}, {0xC0, 0}};
    for (auto [octet, flag] : rest) {
        parseRr(si1(*encode(Format::bitMap0, {}), octet).data(), &area);
        EXPECT_EQ(flag, area.bandFlag) << "rest octet " << int(octet);
    }
}

}  // namespace
