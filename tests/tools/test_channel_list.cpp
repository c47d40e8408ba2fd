// Every channel-list format round-trips through libosmocore's frequency-list decoder.
#include "gsmsiggen.h"

extern "C" {
#include <osmocom/gsm/gsm48_ie.h>
}

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

namespace {

using gsmsig::ListFormat;

std::set<int> decodeWithOsmocom(std::array<uint8_t, 16> cd) {
  std::vector<gsm_sysinfo_freq> f(1024);
  const int rc = gsm48_decode_freq_list(f.data(), cd.data(), 16, 0xCE, 0x01);
  EXPECT_EQ(rc, 0);
  std::set<int> s;
  for (int i = 0; i < 1024; ++i)
    if (f[i].mask & 0x01) s.insert(i);
  return s;
}

void expectRoundTrip(const std::set<int> &arfcns, ListFormat fmt) {
  const auto cd = gsmsig::encodeChannelList({arfcns.begin(), arfcns.end()}, fmt);
  ASSERT_TRUE(cd) << gsmsig::listFormatName(fmt) << " size " << arfcns.size();
  EXPECT_EQ(decodeWithOsmocom(*cd), arfcns) << gsmsig::listFormatName(fmt);
}

// Random sets that fit a format: `count` channels within `span` above a random origin.
std::set<int> randomSet(std::mt19937 &rng, int count, int span, int lo = 0, int hi = 1023) {
  std::set<int> s;
  const int orig = std::uniform_int_distribution<int>(lo, hi)(rng);
  s.insert(orig);
  while (static_cast<int>(s.size()) < count)
    s.insert((orig + std::uniform_int_distribution<int>(1, span)(rng)) % 1024);
  return s;
}

TEST(ChannelList, EveryFormatRoundTripsRandomLists) {
  std::mt19937 rng(2026);
  struct Case {
    ListFormat fmt;
    int maxCount, span;
  };
  // Range R lists ORIG-ARFCN plus offsets 1..R-1; range 1024 holds 16 channels plus ARFCN 0.
  const Case cases[] = {{ListFormat::range512, 18, 511},
                        {ListFormat::range256, 22, 255},
                        {ListFormat::range128, 29, 127},
                        {ListFormat::variableBitmap, 112, 111}};
  for (const Case &c : cases)
    for (int count = 1; count <= c.maxCount; ++count)
      for (int rep = 0; rep < 20; ++rep) expectRoundTrip(randomSet(rng, count, c.span), c.fmt);
  for (int count = 0; count <= 16; ++count)
    for (int rep = 0; rep < 20; ++rep) {
      std::set<int> s;
      while (static_cast<int>(s.size()) < count) s.insert(std::uniform_int_distribution<int>(1, 1023)(rng));
      expectRoundTrip(s, ListFormat::range1024);
      s.insert(0); // F0
      expectRoundTrip(s, ListFormat::range1024);
    }
  for (int count = 0; count <= 124; count += 3)
    for (int rep = 0; rep < 5; ++rep) {
      std::set<int> s;
      while (static_cast<int>(s.size()) < count) s.insert(std::uniform_int_distribution<int>(1, 124)(rng));
      expectRoundTrip(s, ListFormat::bitmap0);
    }
}

TEST(ChannelList, LayoutOfTheFormatBitsAndFields) {
  // Bit map 0: ARFCN 1 is bit 1 of the last octet, ARFCN 124 bit 4 of the first.
  auto cd = gsmsig::encodeChannelList({1, 124}, ListFormat::bitmap0);
  ASSERT_TRUE(cd);
  EXPECT_EQ((*cd)[0], 0x08);
  EXPECT_EQ((*cd)[15], 0x01);
  // Range 1024 with ARFCN 0 only: format 10..0, F0 = 1, W(1) = 0.
  cd = gsmsig::encodeChannelList({0}, ListFormat::range1024);
  ASSERT_TRUE(cd);
  EXPECT_EQ((*cd)[0], 0x84);
  EXPECT_TRUE(std::all_of(cd->begin() + 1, cd->end(), [](uint8_t o) { return o == 0; }));
  // Range 512 from ORIG-ARFCN 1000 with one more channel 100 above it (76 after the wrap).
  cd = gsmsig::encodeChannelList({1000, 76}, ListFormat::range512);
  ASSERT_TRUE(cd);
  EXPECT_EQ((*cd)[0] & 0xCE, 0x88);
  const int orig = ((*cd)[0] & 1) << 9 | (*cd)[1] << 1 | (*cd)[2] >> 7;
  EXPECT_EQ(orig, 1000);
  const int w1 = ((*cd)[2] & 0x7F) << 2 | (*cd)[3] >> 6;
  EXPECT_EQ(w1, 100);
  // Format identifiers of range 256, range 128 and the variable bit map.
  EXPECT_EQ((*gsmsig::encodeChannelList({5, 6}, ListFormat::range256))[0] & 0xCE, 0x8A);
  EXPECT_EQ((*gsmsig::encodeChannelList({5, 6}, ListFormat::range128))[0] & 0xCE, 0x8C);
  EXPECT_EQ((*gsmsig::encodeChannelList({5, 6}, ListFormat::variableBitmap))[0] & 0xCE, 0x8E);
  // Neighbour descriptions carry EXT-IND / BA-IND in bits 6 and 5.
  EXPECT_EQ((*gsmsig::encodeChannelList({1}, ListFormat::bitmap0, 0x10))[0], 0x10);
}

TEST(ChannelList, RefusesListsThatDoNotFit) {
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
}

TEST(ChannelList, AutomaticPicksTheFirstFormatThatFits) {
  const auto pick = [](std::vector<int> l) {
    const auto cd = gsmsig::encodeChannelList(l);
    return cd ? (*cd)[0] & 0xCE : -1;
  };
  EXPECT_EQ(pick({1, 50, 124}) & 0x80, 0x00);      // bit map 0
  EXPECT_EQ(pick({0, 512, 1023}) & 0xC8, 0x80);     // range 1024
  std::vector<int> wide;                            // 18 channels over 340: range 512
  for (int i = 0; i < 18; ++i) wide.push_back(600 + 20 * i);
  EXPECT_EQ(pick(wide), 0x88);
  EXPECT_EQ(decodeWithOsmocom(*gsmsig::encodeChannelList(wide)), std::set<int>(wide.begin(), wide.end()));
}

} // namespace
