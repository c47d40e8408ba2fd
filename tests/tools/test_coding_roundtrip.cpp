// An ideal receiver (differential phase, hard decisions) takes the generator's bursts back to
// coded bits, and libosmocore's decoders give back the SCH fields and the layer-2 octets.
#include "gsmsiggen.h"
#include "rx_helpers.h"

extern "C" {
#include <osmocom/coding/gsm0503_coding.h>
}

#include <gtest/gtest.h>

#include <numbers>

namespace {

using gsmsig::cf32;

constexpr std::size_t kFrameSamples = 2500;

gsmsig::Cell testCell() {
  gsmsig::Cell c;
  c.mcc = 262;
  c.mnc = 1;
  c.lac = 0xBEEF;
  c.ci = 0x1234;
  c.bsic = 0x2D; // NCC 5, BCC 5
  c.channels = {3, 17, 60, 124};
  c.neighbours = {5, 9, 77};
  return c;
}

struct SchFields {
  int bsic, t1, t2, t3p;
};

// The SCH information field layout of TS 44.018 9.1.30, read independently of the generator.
SchFields readSch(const uint8_t o[4]) {
  return {o[0] >> 2, (o[0] & 3) << 9 | o[1] << 1 | o[2] >> 7, o[2] >> 2 & 31, (o[2] & 3) << 1 | (o[3] & 1)};
}

bool decodeSch(const std::vector<cf32> &x, std::size_t burstStart, uint8_t info[4]) {
  const auto bits = rxtest::demodBurst(x, burstStart);
  std::vector<uint8_t> coded(bits.begin() + 3, bits.begin() + 42);
  coded.insert(coded.end(), bits.begin() + 106, bits.begin() + 145);
  const auto sb = rxtest::toSbits(coded, 0, 78);
  return gsm0503_sch_decode(info, sb.data()) == 0;
}

bool decodeBcch(const std::vector<cf32> &x, std::size_t firstBurstStart, uint8_t l2[23], int &errors) {
  std::vector<int8_t> sbits;
  for (int b = 0; b < 4; ++b) {
    const auto bits = rxtest::demodBurst(x, firstBurstStart + b * kFrameSamples);
    auto s1 = rxtest::toSbits(bits, 3, 58);
    auto s2 = rxtest::toSbits(bits, 87, 58);
    sbits.insert(sbits.end(), s1.begin(), s1.end());
    sbits.insert(sbits.end(), s2.begin(), s2.end());
  }
  int nBits = 0;
  errors = -1;
  return gsm0503_xcch_decode(l2, sbits.data(), &errors, &nBits) == 0;
}

TEST(CodingRoundTrip, ScheduledSystemInformationAndSchOverEightMultiframes) {
  const gsmsig::Cell cell = testCell();
  const uint32_t start = 1326 * 1000 + 51 * 5 + 0; // T1 large, TC 5 first
  const auto x = gsmsig::generateFrames(cell, 8 * 51, start);
  const gsmsig::Block23 expectByTc[8] = {*gsmsig::si1(cell), *gsmsig::si2(cell), gsmsig::si3(cell),
                                         gsmsig::si4(cell),  gsmsig::l2FillFrame(), gsmsig::l2FillFrame(),
                                         gsmsig::si3(cell),  gsmsig::si4(cell)};
  for (int mf = 0; mf < 8; ++mf) {
    const std::size_t base = kFrameSamples * 51 * mf;
    const uint32_t fnBase = start + 51 * mf;
    for (int t3 = 1; t3 <= 41; t3 += 10) {
      uint8_t info[4];
      ASSERT_TRUE(decodeSch(x, base + kFrameSamples * t3, info)) << mf << " " << t3;
      const SchFields f = readSch(info);
      const uint32_t fn = fnBase + t3;
      EXPECT_EQ(f.bsic, cell.bsic);
      EXPECT_EQ(f.t1, static_cast<int>(fn / 1326 % 2048));
      EXPECT_EQ(f.t2, static_cast<int>(fn % 26));
      EXPECT_EQ(f.t3p, static_cast<int>((fn % 51 - 1) / 10));
    }
    uint8_t l2[23];
    int errors;
    ASSERT_TRUE(decodeBcch(x, base + 2 * kFrameSamples, l2, errors)) << mf;
    EXPECT_EQ(errors, 0);
    const int tc = static_cast<int>(fnBase / 51 % 8);
    EXPECT_EQ(std::vector<uint8_t>(l2, l2 + 23),
              std::vector<uint8_t>(expectByTc[tc].begin(), expectByTc[tc].end()))
        << "TC " << tc;
    // A CCCH block carries the fill frame.
    ASSERT_TRUE(decodeBcch(x, base + 6 * kFrameSamples, l2, errors));
    const auto fill = gsmsig::l2FillFrame();
    EXPECT_EQ(std::vector<uint8_t>(l2, l2 + 23), std::vector<uint8_t>(fill.begin(), fill.end()));
  }
}

TEST(CodingRoundTrip, RawBlocksTimingAndCarrierPhaseDoNotDisturbDecoding) {
  gsmsig::Cell cell = testCell();
  cell.mnc = 410;
  cell.mncDigits = 3;
  cell.schedule = gsmsig::fastSchedule();
  gsmsig::Block23 raw;
  for (int i = 0; i < 23; ++i) raw[i] = static_cast<uint8_t>(0x5A ^ (i * 37));
  cell.schedule[4] = {gsmsig::BcchContent::raw, raw};
  gsmsig::Impairments imp;
  imp.timingOffsetSamples = 1234; // whole samples: the receiver here does not interpolate
  imp.phaseRad = 2.0;
  imp.amplitude = 0.01;
  // TC 3, 4, ..., 7, then the hyperframe wraps to FN 0 (TC 0), 1, 2.
  const uint32_t start = gsmsig::kHyperframe - 51 * 5;
  const auto x = gsmsig::generateFrames(cell, 8 * 51 + 1, start, imp);
  bool sawRaw = false;
  for (int mf = 0; mf < 8; ++mf) {
    const uint32_t fnBase = (start + 51 * mf) % gsmsig::kHyperframe;
    const std::size_t base = 1234 + kFrameSamples * 51 * mf;
    uint8_t info[4];
    ASSERT_TRUE(decodeSch(x, base + kFrameSamples * 11, info));
    const SchFields f = readSch(info);
    EXPECT_EQ(f.t1, static_cast<int>((fnBase + 11) / 1326));
    EXPECT_EQ(f.t2, static_cast<int>((fnBase + 11) % 26));
    uint8_t l2[23];
    int errors;
    ASSERT_TRUE(decodeBcch(x, base + 2 * kFrameSamples, l2, errors));
    const int tc = static_cast<int>(fnBase / 51 % 8);
    const auto expected = *gsmsig::bcchMessage(cell, tc);
    EXPECT_EQ(std::vector<uint8_t>(l2, l2 + 23), std::vector<uint8_t>(expected.begin(), expected.end()))
        << "TC " << tc;
    sawRaw |= tc == 4;
  }
  EXPECT_TRUE(sawRaw);
}

TEST(CodingRoundTrip, NormalBurstCarriesTheCellsTrainingSequence) {
  const gsmsig::Cell cell = testCell();
  const auto x = gsmsig::generateFrames(cell, 6);
  const auto bits = rxtest::demodBurst(x, 2 * kFrameSamples);
  const auto &tsc = gsmsig::trainingBits(cell.bsic & 7);
  EXPECT_EQ(std::vector<uint8_t>(bits.begin() + 61, bits.begin() + 87), std::vector<uint8_t>(tsc.begin(), tsc.end()));
  const auto sch = rxtest::demodBurst(x, kFrameSamples);
  const auto &ext = gsmsig::schTrainingBits();
  EXPECT_EQ(std::vector<uint8_t>(sch.begin() + 42, sch.begin() + 106), std::vector<uint8_t>(ext.begin(), ext.end()));
  // Timeslots 1..7 carry the dummy burst.
  const auto dummy = rxtest::demodBurst(x, 2 * (2 * 1250 + gsmsig::kSlotStart[3]));
  EXPECT_EQ(dummy, std::vector<uint8_t>(gsmsig::dummyBurstBits().begin(), gsmsig::dummyBurstBits().end()));
}

TEST(CodingRoundTrip, SchTrainingSequenceCorrelatesWhereTheBurstLies) {
  gsmsig::Cell cell;
  // Reference: the 64-bit extended training sequence, modulated alone; its first and last two
  // symbols depend on neighbouring bits and are left out.
  gsmsig::Bits ts(gsmsig::schTrainingBits().begin(), gsmsig::schTrainingBits().end());
  const auto full = gsmsig::gmskModulate(ts, 2.0);
  const std::vector<cf32> ref(full.begin() + 4, full.end() - 4);
  for (double offset : {0.0, 37.0, 1001.0}) {
    gsmsig::Impairments imp;
    imp.timingOffsetSamples = offset;
    imp.carrierOffsetHz = 150; // small against the 118 us reference
    const auto x = gsmsig::generateFrames(cell, 3, 50, imp); // frames 50, 0 (FCCH), 1 (SCH)
    std::size_t best = 0;
    double bestC = 0;
    for (std::size_t lag = 0; lag + ref.size() < x.size(); ++lag) {
      const double c = rxtest::correlation(x, lag, ref);
      if (c > bestC) bestC = c, best = lag;
    }
    // Frame 1 starts 2 frames after the first; the training sequence at symbol 42, reference
    // from its symbol 2.
    EXPECT_EQ(best, static_cast<std::size_t>(offset) + 2 * kFrameSamples + 2 * (42 + 2)) << offset;
    EXPECT_GT(bestC, 0.99);
  }
}

TEST(CodingRoundTrip, EachCarrierOfAWindowDecodesAfterChannelSelection) {
  // Two cells 800 kHz apart at 8 samples per symbol; the receiver mixes one down, low-passes
  // (windowed sinc, 150 kHz), keeps every fourth sample and decodes its SCH and first BCCH block.
  std::vector<gsmsig::WideCarrier> cs(2);
  cs[0].channel = -2;
  cs[0].cell = testCell();
  cs[1].channel = 2;
  cs[1].cell.bsic = 0x13;
  cs[1].cell.ci = 4321;
  cs[1].startFrame = 51 * 3; // TC 3: SI4
  gsmsig::WideOptions opt;
  opt.sampleRateHz = 4 * gsmsig::kTwoSpsRateHz;
  opt.numSamples = 4 * 6 * kFrameSamples;
  opt.noiseRms = 0;
  opt.amplitudeScale = 1;
  const auto x = gsmsig::synthesizeWideband(cs, opt);
  constexpr int kTaps = 33, kHalf = kTaps / 2; // delay 16 samples: 4 at the lower rate
  std::vector<double> h(kTaps);
  double sum = 0;
  for (int k = 0; k < kTaps; ++k) {
    const double t = k - kHalf, fc = 150e3 / opt.sampleRateHz;
    const double sinc = t == 0 ? 2 * fc : std::sin(2 * std::numbers::pi * fc * t) / (std::numbers::pi * t);
    h[k] = sinc * (0.54 - 0.46 * std::cos(2 * std::numbers::pi * k / (kTaps - 1)));
    sum += h[k];
  }
  for (const auto &wc : cs) {
    std::vector<cf32> y(x.size() / 4);
    for (std::size_t m = 4; m + 4 < y.size(); ++m) {
      std::complex<double> acc = 0;
      for (int k = 0; k < kTaps; ++k) {
        const std::size_t n = 4 * m - kHalf + k; // output m aligned with input 4m
        acc += h[k] / sum * std::complex<double>(x[n]) *
               std::polar(1.0, -2 * std::numbers::pi * wc.channel * 200e3 * n / opt.sampleRateHz);
      }
      y[m] = cf32(acc);
    }
    uint8_t info[4];
    ASSERT_TRUE(decodeSch(y, kFrameSamples * 1, info)) << wc.channel;
    EXPECT_EQ(readSch(info).bsic, wc.cell.bsic);
    uint8_t l2[23];
    int errors;
    ASSERT_TRUE(decodeBcch(y, 2 * kFrameSamples, l2, errors)) << wc.channel;
    const auto expected = *gsmsig::bcchMessage(wc.cell, static_cast<int>(wc.startFrame / 51 % 8));
    EXPECT_EQ(std::vector<uint8_t>(l2, l2 + 23), std::vector<uint8_t>(expected.begin(), expected.end()));
  }
}

} // namespace
