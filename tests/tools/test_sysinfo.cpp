// System Information octets against TS 44.018 layouts and libosmocore's LAI decoder.
#include "gsmsiggen.h"

extern "C" {
#include <osmocom/gsm/gsm48.h>
}

#include <gtest/gtest.h>

#include <cstring>

namespace {

osmo_location_area_id decodeLai(const std::array<uint8_t, 5> &lai) {
  gsm48_loc_area_id raw;
  std::memcpy(&raw, lai.data(), 5);
  osmo_location_area_id out{};
  gsm48_decode_lai2(&raw, &out);
  return out;
}

TEST(SystemInformation, LocationAreaDigitsForTwoAndThreeDigitNetworkCodes) {
  struct Case {
    int mcc, mnc, digits;
    uint16_t lac;
    std::array<uint8_t, 3> bcd;
  };
  const Case cases[] = {{262, 1, 2, 0x1234, {0x62, 0xF2, 0x10}},
                        {250, 99, 2, 1, {0x52, 0xF0, 0x99}},
                        {310, 410, 3, 0xFFFE, {0x13, 0x00, 0x14}},
                        {1, 1, 3, 0, {0x00, 0x11, 0x00}},
                        {999, 999, 3, 7, {0x99, 0x99, 0x99}}};
  for (const Case &c : cases) {
    const auto lai = gsmsig::encodeLai(c.mcc, c.mnc, c.digits, c.lac);
    EXPECT_EQ(std::vector<uint8_t>(lai.begin(), lai.begin() + 3), std::vector<uint8_t>(c.bcd.begin(), c.bcd.end()))
        << c.mcc << "-" << c.mnc;
    const auto d = decodeLai(lai);
    EXPECT_EQ(d.plmn.mcc, c.mcc);
    EXPECT_EQ(d.plmn.mnc, c.mnc);
    EXPECT_EQ(d.plmn.mnc_3_digits, c.digits == 3);
    EXPECT_EQ(d.lac, c.lac);
  }
}

TEST(SystemInformation, MessageHeadersFieldsAndPadding) {
  gsmsig::Cell c;
  c.mcc = 250;
  c.mnc = 1;
  c.lac = 0xABCD;
  c.ci = 0x0102;
  c.channels = {1, 124};
  c.si1RestOctet = 0x82;
  const auto s1 = *gsmsig::si1(c);
  EXPECT_EQ(s1[0], 0x55); // L2 pseudo length 21
  EXPECT_EQ(s1[1], 0x06);
  EXPECT_EQ(s1[2], 0x19);
  EXPECT_EQ(s1[3], 0x08); // ARFCN 124 in bit map 0
  EXPECT_EQ(s1[18], 0x01);
  EXPECT_EQ(s1[22], 0x82);

  const auto s3 = gsmsig::si3(c);
  EXPECT_EQ(s3[0], 0x49); // 18
  EXPECT_EQ(s3[2], 0x1B);
  EXPECT_EQ(s3[3], 0x01);
  EXPECT_EQ(s3[4], 0x02);
  EXPECT_EQ(std::vector<uint8_t>(s3.begin() + 5, s3.begin() + 10),
            (std::vector<uint8_t>{0x52, 0xF0, 0x10, 0xAB, 0xCD}));
  for (int i = 19; i < 23; ++i) EXPECT_EQ(s3[i], 0x2B) << i; // SI3 rest octets, all L

  const auto s4 = gsmsig::si4(c);
  EXPECT_EQ(s4[0], 0x31); // 12
  EXPECT_EQ(s4[2], 0x1C);
  EXPECT_EQ(std::vector<uint8_t>(s4.begin() + 3, s4.begin() + 8),
            (std::vector<uint8_t>{0x52, 0xF0, 0x10, 0xAB, 0xCD}));
  for (int i = 13; i < 23; ++i) EXPECT_EQ(s4[i], 0x2B) << i;

  const auto s2 = *gsmsig::si2(c);
  EXPECT_EQ(s2[0], 0x59); // 22
  EXPECT_EQ(s2[2], 0x1A);

  c.channels = {0}; // does not fit the bit map 0 it asks for
  c.channelFormat = gsmsig::ListFormat::bitmap0;
  EXPECT_FALSE(gsmsig::si1(c));
  EXPECT_THROW(gsmsig::generateFrames(c, 1), std::invalid_argument);
}

TEST(SystemInformation, SchInformationAndFrameNumbers) {
  const uint32_t fn = 1326 * 1500 + 26 * 3 + 11; // T1 1500
  const auto f = gsmsig::splitFrameNumber(fn);
  EXPECT_EQ(f.t1, 1500);
  EXPECT_EQ(f.t2, fn % 26);
  EXPECT_EQ(f.t3, fn % 51);
  const auto s = gsmsig::schInfo(0x3F, 1326 * 2047 + 51 * 13 + 41);
  // BSIC 63, T1 2047, T2 = FN mod 26, T3' 4
  const uint32_t fn2 = 1326 * 2047 + 51 * 13 + 41;
  EXPECT_EQ(s[0], 0xFF);
  EXPECT_EQ(s[1], 0xFF);
  EXPECT_EQ(s[2], 0x80 | (fn2 % 26) << 2 | 2);
  EXPECT_EQ(s[3], 0);
  EXPECT_EQ(gsmsig::splitFrameNumber(gsmsig::kHyperframe).t1, 0);
  EXPECT_EQ(gsmsig::samplesForFrames(1), 2500u);
  EXPECT_EQ(gsmsig::samplesForFrames(216), 540000u);
}

} // namespace
