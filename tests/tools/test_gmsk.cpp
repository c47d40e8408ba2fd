// GMSK of the generator: the FCCH tone, constant envelope, differential encoding, pulse shape.
#include "gsmsiggen.h"
#include "rx_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>

namespace {

using gsmsig::cf32;

// Mean frequency over samples [from, to) from the average phase step.
double toneHz(const std::vector<cf32> &x, std::size_t from, std::size_t to, double rate) {
  std::complex<double> acc = 0;
  for (std::size_t n = from; n + 1 < to; ++n)
    acc += std::complex<double>(x[n + 1]) * std::conj(std::complex<double>(x[n]));
  return std::arg(acc) * rate / (2 * std::numbers::pi);
}

TEST(Gmsk, FrequencyCorrectionBurstIsToneAtQuarterSymbolRate) {
  gsmsig::Cell cell;
  const auto x = gsmsig::generateFrames(cell, 11);
  const double expected = gsmsig::kSymbolRateHz / 4; // 67708.33 Hz
  for (int frame : {0, 10}) {
    const std::size_t s = 2500u * frame;
    EXPECT_NEAR(toneHz(x, s + 10, s + 280, gsmsig::kTwoSpsRateHz), expected, 0.01) << frame;
    for (std::size_t n = s + 10; n < s + 280; ++n) {
      // An ideal tone: every step exactly a quarter turn per symbol.
      const double step = std::arg(std::complex<double>(x[n + 1]) * std::conj(std::complex<double>(x[n])));
      ASSERT_NEAR(step, std::numbers::pi / 4, 1e-5) << n;
    }
  }
  // The carrier offset moves it; the tone survives any sample rate.
  gsmsig::Impairments imp;
  imp.carrierOffsetHz = -1234.5;
  const auto y = gsmsig::synthesize(cell, 0, 3000, 1e6, imp);
  EXPECT_NEAR(toneHz(y, 20, 520, 1e6), expected - 1234.5, 0.01);
}

TEST(Gmsk, ConstantEnvelopeAndContinuousPhaseAcrossTheFrame) {
  gsmsig::Cell cell; // dummy bursts fill timeslots 1..7: the carrier never pauses
  const auto x = gsmsig::generateFrames(cell, 3, 1);
  double maxStep = 0;
  for (std::size_t n = 0; n < x.size(); ++n) {
    ASSERT_NEAR(std::abs(x[n]), 1.0f, 1e-5f) << n;
    if (n) {
      const double step = std::arg(std::complex<double>(x[n]) * std::conj(std::complex<double>(x[n - 1])));
      maxStep = std::max(maxStep, std::abs(step));
    }
  }
  EXPECT_LE(maxStep, std::numbers::pi / 4 + 1e-6); // at most a quarter turn per half symbol
}

TEST(Gmsk, SilentSlotsAreSilent) {
  gsmsig::Cell cell;
  cell.idle = gsmsig::IdleFill::silence;
  const auto x = gsmsig::generateFrames(cell, 2, 2);
  // Timeslot 0 occupies symbols 0..147 (ramps to 150); timeslots 1..7 carry nothing.
  for (std::size_t n = 2 * 152; n < 2500 - 2 * 3; ++n) ASSERT_EQ(std::abs(x[n]), 0.0f) << n;
  EXPECT_NEAR(std::abs(x[2 * 70]), 1.0f, 1e-6f);
}

TEST(Gmsk, PhaseStepSignFollowsDifferentialEncoding) {
  std::mt19937 rng(5);
  gsmsig::Bits bits(400);
  for (auto &b : bits) b = rng() & 1;
  const auto x = gsmsig::gmskModulate(bits, 2.0);
  ASSERT_EQ(x.size(), 800u);
  uint8_t prev = 1;
  for (std::size_t i = 0; i + 1 < bits.size(); ++i) {
    const int alpha = (bits[i] ^ prev) ? -1 : 1;
    prev = bits[i];
    const double step = std::arg(std::complex<double>(x[2 * i + 2]) * std::conj(std::complex<double>(x[2 * i])));
    // The bit's own pulse gives 0.651 of a quarter turn, each neighbour at most 0.174.
    ASSERT_GT(alpha * step, 0.30 * std::numbers::pi / 2) << i;
    ASSERT_LT(alpha * step, std::numbers::pi / 2 + 1e-9) << i;
  }
}

TEST(Gmsk, PhaseResponseIsTheIntegralOfTheGaussianFilteredPulse) {
  EXPECT_NEAR(gsmsig::gmskPhaseResponse(0), 0.5, 1e-12);
  EXPECT_EQ(gsmsig::gmskPhaseResponse(-10), 0.0);
  EXPECT_EQ(gsmsig::gmskPhaseResponse(10), 1.0);
  // g(t) = Phi((t + 1/2) / d) - Phi((t - 1/2) / d), d = sqrt(ln 2) / (2 pi 0.3); q' = g.
  const double d = std::sqrt(std::log(2.0)) / (2 * std::numbers::pi * 0.3);
  const auto phi = [](double v) { return 0.5 * std::erfc(-v / std::sqrt(2.0)); };
  for (double t = -3; t <= 3; t += 0.125) {
    EXPECT_NEAR(gsmsig::gmskPhaseResponse(t) + gsmsig::gmskPhaseResponse(-t), 1.0, 1e-12) << t;
    const double h = 1e-5;
    const double slope = (gsmsig::gmskPhaseResponse(t + h) - gsmsig::gmskPhaseResponse(t - h)) / (2 * h);
    EXPECT_NEAR(slope, phi((t + 0.5) / d) - phi((t - 0.5) / d), 1e-7) << t;
  }
}

} // namespace
