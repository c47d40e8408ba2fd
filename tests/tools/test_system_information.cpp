// System Information octets and channel lists, read back by libosmocore's LAI and
// frequency-list decoders.
#include "gsmsiggen.h"

extern "C" {
#include <osmocom/gsm/gsm48.h>
#include <osmocom/gsm/gsm48_ie.h>
}

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>

namespace {

using gsmsig::ListFormat;

std::set<int> decodeList(std::array<uint8_t, 16> cd) {
  std::vector<gsm_sysinfo_freq> f(1024);
  EXPECT_EQ(gsm48_decode_freq_list(f.data(), cd.data(), 16, 0xCE, 0x01), 0);
  std::set<int> s;
  for (int i = 0; i < 1024; ++i)
    if (f[i].mask & 0x01) s.insert(i);
  return s;
}

// Decodes to the same set, in the format asked for: the identifier bits of octet 0 (mask, value)
// by ListFormat.
void expectRoundTrip(const std::set<int> &arfcns, ListFormat fmt) {
  const auto cd = gsmsig::encodeChannelList({arfcns.begin(), arfcns.end()}, fmt);
  ASSERT_TRUE(cd) << gsmsig::listFormatName(fmt) << " size " << arfcns.size();
  EXPECT_EQ(decodeList(*cd), arfcns) << gsmsig::listFormatName(fmt);
  const int id[][2] = {{0, 0}, {0xC0, 0x00}, {0xC8, 0x80}, {0xCE, 0x88}, {0xCE, 0x8A}, {0xCE, 0x8C}, {0xCE, 0x8E}};
  EXPECT_EQ((*cd)[0] & id[int(fmt)][0], id[int(fmt)][1]) << gsmsig::listFormatName(fmt);
}

std::vector<uint8_t> range(const gsmsig::Block23 &b, int from, int to) { return {b.begin() + from, b.begin() + to}; }

TEST(SystemInformation, LocationAreaDecodesForTwoAndThreeDigitNetworkCodes) {
  struct Case {
    int mcc, mnc, digits;
    uint16_t lac;
  };
  for (const Case &c : {Case{262, 1, 2, 0x1234}, Case{250, 99, 2, 1}, Case{310, 410, 3, 0xFFFE}, Case{1, 1, 3, 0},
                        Case{999, 999, 3, 7}}) {
    const auto lai = gsmsig::encodeLai(c.mcc, c.mnc, c.digits, c.lac);
    gsm48_loc_area_id raw;
    std::memcpy(&raw, lai.data(), 5);
    osmo_location_area_id d{};
    gsm48_decode_lai2(&raw, &d);
    EXPECT_EQ(d.plmn.mcc, c.mcc);
    EXPECT_EQ(d.plmn.mnc, c.mnc);
    EXPECT_EQ(d.plmn.mnc_3_digits, c.digits == 3) << c.mcc << "-" << c.mnc;
    EXPECT_EQ(d.lac, c.lac);
  }
}

TEST(SystemInformation, MessageHeadersFieldsAndPadding) {
  gsmsig::Cell c{.mcc = 250, .mnc = 1, .lac = 0xABCD, .ci = 0x0102, .channels = {1, 124}, .si1RestOctet = 0x82};
  const std::vector<uint8_t> lai = {0x52, 0xF0, 0x10, 0xAB, 0xCD};
  const auto s1 = *gsmsig::si1(c); // L2 pseudo length 21, ARFCN 124 and 1 in bit map 0
  EXPECT_EQ(range(s1, 0, 4), (std::vector<uint8_t>{0x55, 0x06, 0x19, 0x08}));
  EXPECT_EQ(s1[18], 0x01);
  EXPECT_EQ(s1[22], 0x82);
  const auto s3 = gsmsig::si3(c); // length 18, CI, LAI, then rest octets all L
  EXPECT_EQ(range(s3, 0, 5), (std::vector<uint8_t>{0x49, 0x06, 0x1B, 0x01, 0x02}));
  EXPECT_EQ(range(s3, 5, 10), lai);
  EXPECT_EQ(range(s3, 19, 23), std::vector<uint8_t>(4, 0x2B));
  const auto s4 = gsmsig::si4(c); // length 12
  EXPECT_EQ(range(s4, 0, 3), (std::vector<uint8_t>{0x31, 0x06, 0x1C}));
  EXPECT_EQ(range(s4, 3, 8), lai);
  EXPECT_EQ(range(s4, 13, 23), std::vector<uint8_t>(10, 0x2B));
  EXPECT_EQ(range(*gsmsig::si2(c), 0, 3), (std::vector<uint8_t>{0x59, 0x06, 0x1A})); // length 22

  c.channels = {0}; // does not fit the bit map 0 it asks for
  c.channelFormat = ListFormat::bitmap0;
  EXPECT_FALSE(gsmsig::si1(c));
  EXPECT_THROW(gsmsig::generateFrames(c, 1), std::invalid_argument);
}

// Random lists that fit each format round-trip, from one channel to the format's capacity.
TEST(ChannelList, EveryFormatRoundTripsRandomLists) {
  std::mt19937 rng(2026);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  struct Case {
    ListFormat fmt;
    int maxCount, span;
    bool anchored;
  };
  // Range R lists ORIG-ARFCN plus offsets 1..R-1; range 1024 holds 16 channels plus ARFCN 0 (F0).
  for (const Case &c : {Case{ListFormat::range512, 18, 511, true}, Case{ListFormat::range256, 22, 255, true},
                        Case{ListFormat::range128, 29, 127, true}, Case{ListFormat::variableBitmap, 112, 111, true},
                        Case{ListFormat::range1024, 16, 1023, false}, Case{ListFormat::bitmap0, 124, 124, false}})
    for (int count = 0; count <= c.maxCount; ++count)
      for (int rep = 0; rep < 20; ++rep) {
        const int orig = c.anchored ? pick(0, 1023) : 0;
        std::set<int> s;
        if (c.anchored) s.insert(orig);
        while (static_cast<int>(s.size()) < count) s.insert((orig + pick(1, c.span)) % 1024);
        expectRoundTrip(s, c.fmt);
        if (c.fmt == ListFormat::range1024) {
          s.insert(0);
          expectRoundTrip(s, c.fmt);
        }
      }
}

TEST(ChannelList, RefusesListsThatDoNotFitAndPicksTheFirstFormatThatFits) {
  EXPECT_FALSE(gsmsig::encodeChannelList({0}, ListFormat::bitmap0));
  EXPECT_FALSE(gsmsig::encodeChannelList({125}, ListFormat::bitmap0));
  EXPECT_FALSE(gsmsig::encodeChannelList({1024}));
  EXPECT_FALSE(gsmsig::encodeChannelList({-1}));
  EXPECT_FALSE(gsmsig::encodeChannelList({10, 10 + 128}, ListFormat::range128));
  EXPECT_FALSE(gsmsig::encodeChannelList({10, 10 + 112}, ListFormat::variableBitmap));
  std::vector<int> seventeen;
  for (int i = 1; i <= 17; ++i) seventeen.push_back(i * 50);
  EXPECT_FALSE(gsmsig::encodeChannelList(seventeen, ListFormat::range1024));
  EXPECT_FALSE(gsmsig::encodeChannelList(seventeen)); // spread too wide for any other format
  seventeen.pop_back();
  EXPECT_TRUE(gsmsig::encodeChannelList(seventeen, ListFormat::range1024));

  const auto format = [](std::vector<int> l) {
    const auto cd = gsmsig::encodeChannelList(l);
    return cd ? (*cd)[0] & 0xCE : -1;
  };
  EXPECT_EQ(format({1, 50, 124}) & 0x80, 0x00);  // bit map 0
  EXPECT_EQ(format({0, 512, 1023}) & 0xC8, 0x80); // range 1024
  std::vector<int> wide;                          // 18 channels over 340: range 512
  for (int i = 0; i < 18; ++i) wide.push_back(600 + 20 * i);
  EXPECT_EQ(format(wide), 0x88);
  EXPECT_EQ(decodeList(*gsmsig::encodeChannelList(wide)), std::set<int>(wide.begin(), wide.end()));
  // Neighbour descriptions carry EXT-IND / BA-IND in bits 6 and 5, beside bit map 0's ARFCN 124.
  EXPECT_EQ((*gsmsig::encodeChannelList({1, 124}, ListFormat::bitmap0, 0x10))[0], 0x18);
}

} // namespace
