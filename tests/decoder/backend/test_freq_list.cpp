// Frequency lists: hand-packed examples, then random channel sets in every format, built by an
// encoder written from the standard's own construction (not from the decoder), must give
// exactly their own ARFCNs in the map.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <optional>
#include <random>
#include <set>
#include <vector>

#include "backend/freq_list.h"

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
    struct Spec {
        int range, firstBitsLeft;
        uint8_t formatBits;
        std::vector<int> widths;
    };
    static const Spec specs[] = {
        {1024, 3, 0x80, {1, 10, 9, 9, 8, 8, 8, 8, 7, 7, 7, 7, 7, 7, 7, 7, 6}},
        {512, 1, 0x88, {10, 9, 8, 8, 7, 7, 7, 7, 6, 6, 6, 6, 6, 6, 6, 6, 5, 5}},
        {256, 1, 0x8A, {10, 8, 7, 7, 6, 6, 6, 6, 5, 5, 5, 5, 5, 5, 5, 5, 4, 4, 4, 4, 4, 4}},
        {128, 1, 0x8C, {10, 7, 6, 6, 5, 5, 5, 5, 4, 4, 4, 4, 4, 4, 4,
                        4,  3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}}};
    const Spec& spec = specs[static_cast<int>(f) - static_cast<int>(Format::range1024)];
    Description d{};
    d[0] = static_cast<uint8_t>(spec.formatBits | (spare & 7) << 4);
    std::vector<int> w(spec.widths.size(), 0), rel;
    if (f == Format::range1024) {
        for (int a : arfcns)
            a == 0 ? void(w[0] = 1) : rel.push_back(a);   // F0 carries ARFCN 0
    } else {
        auto orig = originFor(arfcns, spec.range - 1);
        if (!orig)
            return std::nullopt;
        w[0] = *orig;
        for (int a : arfcns)
            if (a != *orig)
                rel.push_back((a - *orig + 1024) % 1024);
    }
    if (!encodeSubtree(1, 1, rel, spec.range - 1, w))
        return std::nullopt;
    BitWriter out{d, 8 - spec.firstBitsLeft};
    for (size_t i = 0; i < w.size(); ++i)
        if (!out.put(static_cast<unsigned>(w[i]), spec.widths[i]) || w[i] >= (1 << spec.widths[i]))
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

}  // namespace
