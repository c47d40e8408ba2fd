// Several carriers in the 2.4 MHz window, "swemu.wav", noise and the other impairments.
#include "gsmsiggen.h"
#include "rx_helpers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <numbers>
#include <unistd.h>

namespace {

using gsmsig::cf32;

std::vector<uint8_t> readFile(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

std::string tempPath(const char *name) {
  return ::testing::TempDir() + "/" + std::to_string(::getpid()) + "_" + name;
}

uint32_t le32(const std::vector<uint8_t> &b, std::size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

std::vector<gsmsig::WideCarrier> twoCells() {
  std::vector<gsmsig::WideCarrier> cs(2);
  cs[0].cell.mcc = 250;
  cs[0].cell.mnc = 1;
  cs[0].cell.bsic = 12;
  cs[0].cell.channels = {980, 10};
  cs[0].startFrame = 7 * 51;
  cs[1].channel = 2;
  cs[1].cell.mnc = 99;
  cs[1].cell.bsic = 33;
  cs[1].imp.snrDb = 15;
  cs[1].imp.carrierOffsetHz = 70;
  return cs;
}

// Power within +-80 kHz of `hz`: Hann-windowed spectra of 1200-sample blocks (2 kHz bins).
double channelPower(const std::vector<cf32> &x, double hz, double rate) {
  constexpr std::size_t kBlock = 1200;
  double p = 0;
  for (std::size_t s = 0; s + kBlock <= x.size(); s += kBlock)
    for (double f = hz - 80e3; f <= hz + 80e3; f += 2e3) {
      std::complex<double> acc = 0;
      for (std::size_t n = 0; n < kBlock; ++n) {
        const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * n / kBlock);
        acc += w * std::complex<double>(x[s + n]) * std::polar(1.0, -2 * std::numbers::pi * f * n / rate);
      }
      p += std::norm(acc);
    }
  return p;
}

TEST(Wideband, SwemuWavHeaderSizeAndAmplitude) {
  const std::string path = tempPath("swemu.wav");
  std::string err;
  ASSERT_TRUE(gsmsig::writeSwemuWav(path, twoCells(), {}, &err)) << err;
  const auto b = readFile(path);
  std::remove(path.c_str());
  ASSERT_EQ(b.size(), 9600044u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
  EXPECT_EQ(le32(b, 4), 9600036u);
  EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(le32(b, 16), 16u);
  EXPECT_EQ(b[20] | b[21] << 8, 1);
  EXPECT_EQ(b[22] | b[23] << 8, 2);
  EXPECT_EQ(le32(b, 24), 2400000u);
  EXPECT_EQ(le32(b, 28), 9600000u);
  EXPECT_EQ(b[32] | b[33] << 8, 4);
  EXPECT_EQ(b[34] | b[35] << 8, 16);
  EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
  EXPECT_EQ(le32(b, 40), 9600000u);
  // The scanner mixes with a tone of magnitude 3276 and no scaling: the samples must stay far
  // below 32767 / 3276 = 10 in magnitude, yet use several LSB.
  double power = 0, peak = 0;
  for (std::size_t i = 44; i < b.size(); i += 4) {
    const double re = static_cast<int16_t>(b[i] | b[i + 1] << 8), im = static_cast<int16_t>(b[i + 2] | b[i + 3] << 8);
    power += re * re + im * im;
    peak = std::max(peak, std::hypot(re, im));
  }
  power /= 2400000.0;
  EXPECT_NEAR(power, 2 * 16.0 + 0.5 + 2 * 0.25 + 2 * 16.0 / 31.6, 1.5); // carriers, noise, rounding
  EXPECT_LT(peak, 13.0);
}

TEST(Wideband, SameSeedSameBytesOtherSeedOtherBytes) {
  gsmsig::WideOptions opt;
  opt.numSamples = 60000;
  const std::string a = tempPath("a.wav"), b = tempPath("b.wav"), c = tempPath("c.wav");
  ASSERT_TRUE(gsmsig::writeSwemuWav(a, twoCells(), opt));
  ASSERT_TRUE(gsmsig::writeSwemuWav(b, twoCells(), opt));
  opt.seed = 2;
  ASSERT_TRUE(gsmsig::writeSwemuWav(c, twoCells(), opt));
  const auto fa = readFile(a), fb = readFile(b), fc = readFile(c);
  for (const auto &p : {a, b, c}) std::remove(p.c_str());
  EXPECT_EQ(fa.size(), 240044u);
  EXPECT_TRUE(fa == fb);
  EXPECT_FALSE(fa == fc);

  const auto x1 = gsmsig::generateFrames(gsmsig::Cell{}, 4, 0, [] {
    gsmsig::Impairments i;
    i.snrDb = 5;
    i.seed = 99;
    return i;
  }());
  const auto x2 = gsmsig::generateFrames(gsmsig::Cell{}, 4, 0, [] {
    gsmsig::Impairments i;
    i.snrDb = 5;
    i.seed = 99;
    return i;
  }());
  EXPECT_TRUE(x1 == x2);
}

TEST(Wideband, CarriersSitOnTheirChannels) {
  gsmsig::WideOptions opt;
  opt.numSamples = 24000;
  opt.noiseRms = 0;
  auto cs = twoCells();
  cs[0].channel = -5; // the edge of the window
  cs[1].imp.snrDb = std::numeric_limits<double>::infinity();
  const auto x = gsmsig::synthesizeWideband(cs, opt);
  const double on1 = channelPower(x, -1e6, 2.4e6), on2 = channelPower(x, 400e3, 2.4e6);
  EXPECT_NEAR(on1 / on2, 1.0, 0.1); // equal amplitudes
  for (int ch = -5; ch <= 5; ++ch) {
    if (ch == -5 || ch == 2) continue;
    EXPECT_LT(channelPower(x, ch * 200e3, 2.4e6), on2 / 100) << ch; // > 20 dB below
  }
  cs[0].channel = 6; // 1.2 MHz + half a channel does not fit a 2.4 MHz window
  EXPECT_THROW(gsmsig::synthesizeWideband(cs, opt), std::invalid_argument);
  std::string err;
  EXPECT_FALSE(gsmsig::writeSwemuWav(tempPath("x.wav"), cs, opt, &err));
  EXPECT_EQ(err, "carrier on channel 6 lies outside the window");
  EXPECT_FALSE(gsmsig::writeSwemuWav("/nonexistent-dir/swemu.wav", twoCells(), opt, &err));
  EXPECT_EQ(err, "cannot open /nonexistent-dir/swemu.wav for writing");
  opt.sampleRateHz = 2.4e6 + 0.5;
  EXPECT_FALSE(gsmsig::writeSwemuWav(tempPath("x.wav"), twoCells(), opt, &err));
  EXPECT_EQ(err, "WAV sample rate must be a positive integer");
}

TEST(Impairments, NoisePowerFollowsTheSnr) {
  gsmsig::Cell cell;
  gsmsig::Impairments clean, noisy;
  clean.amplitude = noisy.amplitude = 3.0;
  noisy.snrDb = 10;
  noisy.seed = 42;
  const auto a = gsmsig::generateFrames(cell, 40, 0, clean), b = gsmsig::generateFrames(cell, 40, 0, noisy);
  double p = 0, mean = 0;
  for (std::size_t n = 0; n < a.size(); ++n) {
    const auto d = std::complex<double>(b[n]) - std::complex<double>(a[n]);
    p += std::norm(d);
    mean += d.real();
  }
  p /= a.size();
  EXPECT_NEAR(p, 9.0 / 10.0, 0.9 * 0.02); // 100000 samples: 0.5% standard error
  EXPECT_NEAR(mean / a.size(), 0.0, 0.01);
}

TEST(Impairments, EchoAddsADelayedCopy) {
  gsmsig::Cell cell;
  gsmsig::Impairments direct, delayed, both;
  delayed.timingOffsetSamples = 2 * 3; // three symbols
  both.echo = {3.0, 0.5, 1.0};
  const auto x = gsmsig::generateFrames(cell, 3, 0, direct), y = gsmsig::generateFrames(cell, 3, 0, delayed),
             z = gsmsig::generateFrames(cell, 3, 0, both);
  const auto g = std::polar(0.5, 1.0);
  for (std::size_t n = 0; n < x.size(); ++n) {
    const auto expect = std::complex<double>(x[n]) + g * std::complex<double>(y[n]);
    ASSERT_NEAR(std::abs(std::complex<double>(z[n]) - expect), 0.0, 1e-5) << n;
  }
}

TEST(Impairments, SampleClockErrorStretchesTheFrames) {
  // 200 ppm fast: the SCH of frame 41 comes 200e-6 * 2 * (41 * 1250 + 44) = 20.5 samples early.
  gsmsig::Cell cell;
  gsmsig::Bits ts(gsmsig::schTrainingBits().begin(), gsmsig::schTrainingBits().end());
  const auto full = gsmsig::gmskModulate(ts, 2.0);
  const std::vector<cf32> ref(full.begin() + 4, full.end() - 4);
  gsmsig::Impairments imp;
  imp.sampleClockPpm = 200;
  imp.timingOffsetSamples = 0.5; // the peak then falls on a whole sample
  const auto x = gsmsig::generateFrames(cell, 42, 0, imp);
  const std::size_t nominal = 2500 * 41 + 2 * 44;
  std::size_t best = 0;
  double bestC = 0;
  for (std::size_t lag = nominal - 40; lag < nominal + 10; ++lag) {
    const double c = rxtest::correlation(x, lag, ref);
    if (c > bestC) bestC = c, best = lag;
  }
  EXPECT_EQ(best, nominal - 20);
  EXPECT_GT(bestC, 0.99);
}

} // namespace
