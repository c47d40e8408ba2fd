// The generator's air interface read back by a plain receiver (differential phase, hard decisions
// at 2 samples per symbol) and libosmocore's SCH and BCCH decoders.
#include "gsmsiggen.h"

extern "C" {
#include <osmocom/coding/gsm0503_coding.h>
}

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

using gsmsig::cf32;
using cd = std::complex<double>;
constexpr double kPi = std::numbers::pi;
constexpr std::size_t kFrame = 2500;

double phaseStep(const std::vector<cf32> &x, std::size_t from, std::size_t to) {
  return std::arg(cd(x[to]) * std::conj(cd(x[from])));
}

// Mean frequency over samples [from, to) from the average phase step.
double toneHz(const std::vector<cf32> &x, std::size_t from, std::size_t to, double rate) {
  cd acc = 0;
  for (std::size_t n = from; n + 1 < to; ++n) acc += cd(x[n + 1]) * std::conj(cd(x[n]));
  return std::arg(acc) * rate / (2 * kPi);
}

// Bits of the burst whose symbol 0 starts at `start`: a negative phase step across a symbol means
// the bit differs from the one before; the first bit (a tail bit, 0) anchors the chain.
std::vector<uint8_t> demodBurst(const std::vector<cf32> &x, std::size_t start) {
  std::vector<uint8_t> bits(148, 0);
  for (std::size_t i = 1; i < 148; ++i)
    bits[i] = bits[i - 1] ^ (phaseStep(x, start + 2 * i, start + 2 * i + 2) < 0);
  return bits;
}

// libosmocore's soft bits: +127 for 0, -127 for 1.
void appendSbits(std::vector<int8_t> &s, const std::vector<uint8_t> &bits, std::size_t from, std::size_t n) {
  for (std::size_t i = from; i < from + n; ++i) s.push_back(bits[i] ? -127 : 127);
}

// Best lag in [from, to) of the SCH's extended training sequence modulated alone (its first and
// last two symbols depend on neighbouring bits and are left out), with the normalised correlation.
std::pair<std::size_t, double> schTrainingPeak(const std::vector<cf32> &x, std::size_t from, std::size_t to) {
  const gsmsig::Bits ts(gsmsig::schTrainingBits().begin(), gsmsig::schTrainingBits().end());
  const auto full = gsmsig::gmskModulate(ts, 2.0);
  const std::vector<cf32> ref(full.begin() + 4, full.end() - 4);
  std::pair<std::size_t, double> best{0, 0};
  for (std::size_t lag = from; lag < to && lag + ref.size() < x.size(); ++lag) {
    cd acc = 0;
    double ex = 0, er = 0;
    for (std::size_t i = 0; i < ref.size(); ++i) {
      acc += cd(x[lag + i]) * std::conj(cd(ref[i]));
      ex += std::norm(cd(x[lag + i]));
      er += std::norm(cd(ref[i]));
    }
    const double c = ex > 0 ? std::abs(acc) / std::sqrt(ex * er) : 0;
    if (c > best.second) best = {lag, c};
  }
  return best;
}

struct SchFields {
  int bsic, t1, t2, t3p;
};

// Decodes the SCH burst at `start` and reads its fields by the layout of TS 44.018 9.1.30.
bool decodeSch(const std::vector<cf32> &x, std::size_t start, SchFields &f) {
  const auto bits = demodBurst(x, start);
  std::vector<int8_t> sb;
  appendSbits(sb, bits, 3, 39);
  appendSbits(sb, bits, 106, 39);
  uint8_t o[4];
  if (gsm0503_sch_decode(o, sb.data()) != 0) return false;
  f = {o[0] >> 2, (o[0] & 3) << 9 | o[1] << 1 | o[2] >> 7, o[2] >> 2 & 31, (o[2] & 3) << 1 | (o[3] & 1)};
  return true;
}

// Decodes the four bursts of the block starting at `start` (one frame apart); empty on failure.
std::vector<uint8_t> decodeBlock(const std::vector<cf32> &x, std::size_t start, int &errors) {
  std::vector<int8_t> sb;
  for (std::size_t b = 0; b < 4; ++b) {
    const auto bits = demodBurst(x, start + b * kFrame);
    appendSbits(sb, bits, 3, 58);
    appendSbits(sb, bits, 87, 58);
  }
  uint8_t l2[23];
  int nBits = 0;
  errors = -1;
  if (gsm0503_xcch_decode(l2, sb.data(), &errors, &nBits) != 0) return {};
  return {l2, l2 + 23};
}

std::vector<uint8_t> octets(const gsmsig::Block23 &b) { return {b.begin(), b.end()}; }

gsmsig::Cell testCell() {
  return {.mcc = 262, .mnc = 1, .lac = 0xBEEF, .ci = 0x1234, .bsic = 0x2D, .channels = {3, 17, 60, 124},
          .neighbours = {5, 9, 77}};
}

TEST(Gmsk, FrequencyCorrectionBurstIsToneAtQuarterSymbolRate) {
  gsmsig::Cell cell;
  const auto x = gsmsig::generateFrames(cell, 11);
  const double expected = gsmsig::kSymbolRateHz / 4;
  for (std::size_t s : {std::size_t(0), 10 * kFrame}) {
    EXPECT_NEAR(toneHz(x, s + 10, s + 280, gsmsig::kTwoSpsRateHz), expected, 0.01) << s;
    for (std::size_t n = s + 10; n < s + 280; ++n) ASSERT_NEAR(phaseStep(x, n, n + 1), kPi / 4, 1e-5) << n;
  }
  const auto y = gsmsig::synthesize(cell, 0, 3000, 1e6, {.carrierOffsetHz = -1234.5});
  EXPECT_NEAR(toneHz(y, 20, 520, 1e6), expected - 1234.5, 0.01);
}

TEST(Gmsk, ConstantEnvelopeContinuousPhaseAndSilentIdleSlots) {
  gsmsig::Cell cell; // dummy bursts fill timeslots 1..7: the carrier never pauses
  const auto x = gsmsig::generateFrames(cell, 3, 1);
  for (std::size_t n = 1; n < x.size(); ++n) {
    ASSERT_NEAR(std::abs(x[n]), 1.0f, 1e-5f) << n;
    ASSERT_LE(std::abs(phaseStep(x, n - 1, n)), kPi / 4 + 1e-6) << n;
  }
  EXPECT_NEAR(std::abs(x[0]), 1.0f, 1e-5f);
  cell.idle = gsmsig::IdleFill::silence;
  const auto y = gsmsig::generateFrames(cell, 2, 2);
  // Timeslot 0 spans symbols 0..147 (ramps to 150).
  for (std::size_t n = 2 * 152; n < kFrame - 2 * 3; ++n) ASSERT_EQ(std::abs(y[n]), 0.0f) << n;
  EXPECT_NEAR(std::abs(y[2 * 70]), 1.0f, 1e-6f);
}

TEST(Bursts, TrainingSequenceAndDummyBurstSitInPlace) {
  const gsmsig::Cell cell = testCell();
  const auto x = gsmsig::generateFrames(cell, 6);
  const auto normal = demodBurst(x, 2 * kFrame);
  const auto &tsc = gsmsig::trainingBits(cell.bsic & 7);
  EXPECT_EQ(std::vector<uint8_t>(normal.begin() + 61, normal.begin() + 87), std::vector<uint8_t>(tsc.begin(), tsc.end()));
  const auto &dummy = gsmsig::dummyBurstBits();
  EXPECT_EQ(demodBurst(x, 2 * (2 * 1250 + gsmsig::kSlotStart[3])), std::vector<uint8_t>(dummy.begin(), dummy.end()));
}

TEST(Bursts, SchTrainingFollowsTimingOffsetAndSampleClock) {
  for (double offset : {0.0, 37.0, 1001.0}) {
    // Frames 50, 0 (FCCH), 1 (SCH); the carrier offset is small against the 118 us reference.
    const auto x = gsmsig::generateFrames({}, 3, 50, {.carrierOffsetHz = 150, .timingOffsetSamples = offset});
    const auto [lag, c] = schTrainingPeak(x, 0, x.size());
    // Frame 1 starts two frames in; the reference starts at symbol 42 + 2.
    EXPECT_EQ(lag, static_cast<std::size_t>(offset) + 2 * kFrame + 2 * (42 + 2)) << offset;
    EXPECT_GT(c, 0.99);
  }
  // 200 ppm fast: the SCH of frame 41 comes 200e-6 * 2 * (41 * 1250 + 44) = 20.5 samples early;
  // half a sample of delay puts the peak on a whole sample.
  const auto x = gsmsig::generateFrames({}, 42, 0, {.timingOffsetSamples = 0.5, .sampleClockPpm = 200});
  const std::size_t nominal = kFrame * 41 + 2 * 44;
  const auto [lag, c] = schTrainingPeak(x, nominal - 40, nominal + 10);
  EXPECT_EQ(lag, nominal - 20);
  EXPECT_GT(c, 0.99);
}

TEST(Impairments, NoiseFollowsTheSnrAndEchoAddsADelayedCopy) {
  gsmsig::Cell cell;
  const gsmsig::Impairments clean{.amplitude = 3.0}, noisy{.amplitude = 3.0, .snrDb = 10, .seed = 42};
  const auto a = gsmsig::generateFrames(cell, 40, 0, clean), b = gsmsig::generateFrames(cell, 40, 0, noisy);
  double p = 0, mean = 0;
  for (std::size_t n = 0; n < a.size(); ++n) {
    p += std::norm(cd(b[n]) - cd(a[n]));
    mean += (cd(b[n]) - cd(a[n])).real();
  }
  EXPECT_NEAR(p / a.size(), 9.0 / 10.0, 0.9 * 0.02); // 100000 samples: 0.5% standard error
  EXPECT_NEAR(mean / a.size(), 0.0, 0.01);
  EXPECT_EQ(b, gsmsig::generateFrames(cell, 40, 0, noisy)) << "same seed, same samples";

  // The echo is the same carrier three symbols (six samples) later, times 0.5 e^(j 1).
  const auto x = gsmsig::generateFrames(cell, 3), y = gsmsig::generateFrames(cell, 3, 0, {.timingOffsetSamples = 6}),
             z = gsmsig::generateFrames(cell, 3, 0, {.echo = {3.0, 0.5, 1.0}});
  const auto g = std::polar(0.5, 1.0);
  for (std::size_t n = 0; n < x.size(); ++n)
    ASSERT_NEAR(std::abs(cd(z[n]) - cd(x[n]) - g * cd(y[n])), 0.0, 1e-5) << n;
}

TEST(CodingRoundTrip, SchAndScheduledBcchBlocksOverEightMultiframes) {
  const gsmsig::Cell plain = testCell();
  // A three-digit MNC and a raw TC 4 block, sent across the hyperframe wrap with a timing offset
  // of whole samples (this receiver does not interpolate), a carrier phase and a small amplitude.
  gsmsig::Cell raw = testCell();
  raw.mnc = 410;
  raw.mncDigits = 3;
  raw.schedule = gsmsig::fastSchedule();
  gsmsig::Block23 block;
  for (int i = 0; i < 23; ++i) block[i] = static_cast<uint8_t>(0x5A ^ (i * 37));
  raw.schedule[4] = {gsmsig::BcchContent::raw, block};
  const gsmsig::Impairments imp{.amplitude = 0.01, .phaseRad = 2.0, .timingOffsetSamples = 1234};
  struct Case {
    const gsmsig::Cell *cell;
    uint32_t start;
    gsmsig::Impairments imp;
    std::size_t delay;
  };
  for (const Case &c : {Case{&plain, 1326 * 1000 + 51 * 5, {}, 0}, Case{&raw, gsmsig::kHyperframe - 51 * 5, imp, 1234}}) {
    const auto x = gsmsig::generateFrames(*c.cell, 8 * 51 + 1, c.start, c.imp);
    bool sawRaw = false;
    for (uint32_t mf = 0; mf < 8; ++mf) {
      const uint32_t fnBase = (c.start + 51 * mf) % gsmsig::kHyperframe;
      const std::size_t base = c.delay + kFrame * 51 * mf;
      for (uint32_t t3 = 1; t3 <= 41; t3 += 10) {
        SchFields f;
        ASSERT_TRUE(decodeSch(x, base + kFrame * t3, f)) << mf << " " << t3;
        const uint32_t fn = fnBase + t3;
        EXPECT_EQ(f.bsic, c.cell->bsic);
        EXPECT_EQ(f.t1, static_cast<int>(fn / 1326 % 2048));
        EXPECT_EQ(f.t2, static_cast<int>(fn % 26));
        EXPECT_EQ(f.t3p, static_cast<int>((fn % 51 - 1) / 10));
      }
      int errors;
      const int tc = static_cast<int>(fnBase / 51 % 8);
      EXPECT_EQ(decodeBlock(x, base + 2 * kFrame, errors), octets(*gsmsig::bcchMessage(*c.cell, tc))) << "TC " << tc;
      EXPECT_EQ(errors, 0);
      EXPECT_EQ(decodeBlock(x, base + 6 * kFrame, errors), octets(gsmsig::l2FillFrame())) << "a CCCH block";
      sawRaw |= tc == 4;
    }
    EXPECT_TRUE(sawRaw || c.cell == &plain);
  }
  EXPECT_EQ(octets(*gsmsig::bcchMessage(raw, 4)), octets(block));
  const gsmsig::Block23 byTc[8] = {*gsmsig::si1(plain), *gsmsig::si2(plain), gsmsig::si3(plain),
                                   gsmsig::si4(plain),  gsmsig::l2FillFrame(), gsmsig::l2FillFrame(),
                                   gsmsig::si3(plain),  gsmsig::si4(plain)};
  for (int tc = 0; tc < 8; ++tc) EXPECT_EQ(octets(*gsmsig::bcchMessage(plain, tc)), octets(byTc[tc])) << tc;
}

} // namespace
