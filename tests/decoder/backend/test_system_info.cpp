// SCH information and System Information messages built here from TS 44.018 / TS 24.008
// layouts (decimal digits in, BCD nibbles out) into the decoder's SiArea.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

#include "backend/freq_list.h"
#include "backend/system_info.h"

namespace {

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

Block si1(const std::array<uint8_t, 16>& desc, uint8_t rest)
{
    std::vector<uint8_t> body(desc.begin(), desc.end());
    body.insert(body.end(), {0xB8, 0x00, 0x00, rest});
    return message(0x19, body);
}

std::array<uint8_t, 16> bitMap0(std::initializer_list<int> arfcns)
{
    std::array<uint8_t, 16> d{};
    for (int a : arfcns)
        d[15 - (a - 1) / 8] |= static_cast<uint8_t>(1 << ((a - 1) % 8));
    return d;
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
    ASSERT_TRUE(parseRr(si1(bitMap0({1, 10, 124}), 0x2B).data(), &area));
    EXPECT_EQ(1, area.si1Valid);
    EXPECT_EQ(0, area.bandFlag);
    ASSERT_TRUE(parseRr(si1(bitMap0({20, 10}), 0x40).data(), &area));
    EXPECT_EQ(1, area.bandFlag);
    uint8_t want[kArfcnMapBytes] = {};   // ARFCN n at bit (n - 1) mod 1024
    for (int n : {1, 10, 20, 124})
        want[(n - 1) / 8] |= static_cast<uint8_t>(1 << ((n - 1) % 8));
    EXPECT_EQ(0, std::memcmp(want, area.arfcnMap, sizeof want));
    // Rest octet: without NCH position bit 7 is the flag, with it bit 2.
    const std::pair<uint8_t, int> rest[] = {{0x40, 1}, {0x82, 1}, {0x02, 0}, {0x2B, 0}, {0xC0, 0}};
    for (auto [octet, flag] : rest) {
        parseRr(si1(bitMap0({}), octet).data(), &area);
        EXPECT_EQ(flag, area.bandFlag) << "rest octet " << int(octet);
    }
}

}  // namespace
