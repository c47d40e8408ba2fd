// Several carriers in the 2.4 MHz window, "swemu.wav", and the gsmsiggen program.
#include "gsmsiggen.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using gsmsig::cf32;

std::vector<uint8_t> readAndRemove(const std::string &path) {
  std::ifstream f(path, std::ios::binary);
  std::vector<uint8_t> b{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
  std::remove(path.c_str());
  return b;
}

std::string tempPath(const char *name) { return ::testing::TempDir() + "/" + std::to_string(::getpid()) + "_" + name; }

uint32_t le(const std::vector<uint8_t> &b, std::size_t at, int bytes = 4) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + i];
  return v;
}

std::vector<gsmsig::WideCarrier> twoCells() {
  return {{.cell = {.mcc = 250, .mnc = 1, .bsic = 12, .channels = {980, 10}}, .startFrame = 7 * 51},
          {.cell = {.mnc = 99, .bsic = 33}, .channel = 2, .imp = {.carrierOffsetHz = 70, .snrDb = 15}}};
}

// Power within +-80 kHz of `hz`: Hann-windowed spectra of 1200-sample blocks (2 kHz bins).
double channelPower(const std::vector<cf32> &x, double hz, double rate) {
  constexpr std::size_t kBlock = 1200;
  constexpr double kPi = std::numbers::pi;
  double p = 0;
  for (std::size_t s = 0; s + kBlock <= x.size(); s += kBlock)
    for (double f = hz - 80e3; f <= hz + 80e3; f += 2e3) {
      std::complex<double> acc = 0;
      for (std::size_t n = 0; n < kBlock; ++n)
        acc += (0.5 - 0.5 * std::cos(2 * kPi * n / kBlock)) * std::complex<double>(x[s + n]) *
               std::polar(1.0, -2 * kPi * f * n / rate);
      p += std::norm(acc);
    }
  return p;
}

TEST(Wideband, SwemuWavHeaderSizeAndAmplitude) {
  const std::string path = tempPath("swemu.wav");
  std::string err;
  ASSERT_TRUE(gsmsig::writeSwemuWav(path, twoCells(), {}, &err)) << err;
  const auto b = readAndRemove(path);
  ASSERT_EQ(b.size(), 9600044u);
  EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
  EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
  EXPECT_EQ(std::string(b.begin() + 36, b.begin() + 40), "data");
  // RIFF size, fmt size, PCM, stereo, rate, byte rate, block align, bits, data size.
  const std::vector<uint32_t> fields = {le(b, 4),  le(b, 16),    le(b, 20, 2), le(b, 22, 2), le(b, 24),
                                        le(b, 28), le(b, 32, 2), le(b, 34, 2), le(b, 40)};
  EXPECT_EQ(fields, (std::vector<uint32_t>{9600036, 16, 1, 2, 2400000, 9600000, 4, 16, 9600000}));
  // The default level: 8 LSB between the carriers, a weak recording that still uses several LSB.
  double power = 0, peak = 0;
  for (std::size_t i = 44; i < b.size(); i += 4) {
    const double re = static_cast<int16_t>(le(b, i, 2)), im = static_cast<int16_t>(le(b, i + 2, 2));
    power += re * re + im * im;
    peak = std::max(peak, std::hypot(re, im));
  }
  EXPECT_NEAR(power / 2400000.0, 2 * 16.0 + 0.5 + 2 * 0.25 + 2 * 16.0 / 31.6, 1.5); // carriers, noise, rounding
  EXPECT_LT(peak, 13.0);
}

TEST(Wideband, SameSeedSameBytesOtherSeedOtherBytes) {
  gsmsig::WideOptions opt{.numSamples = 60000};
  const std::string a = tempPath("a.wav"), b = tempPath("b.wav"), c = tempPath("c.wav");
  ASSERT_TRUE(gsmsig::writeSwemuWav(a, twoCells(), opt));
  ASSERT_TRUE(gsmsig::writeSwemuWav(b, twoCells(), opt));
  opt.seed = 2;
  ASSERT_TRUE(gsmsig::writeSwemuWav(c, twoCells(), opt));
  const auto fa = readAndRemove(a), fb = readAndRemove(b), fc = readAndRemove(c);
  EXPECT_EQ(fa.size(), 240044u);
  EXPECT_TRUE(fa == fb);
  EXPECT_FALSE(fa == fc);
}

TEST(Wideband, CarriersSitOnTheirChannelsAndMisfitsAreRefused) {
  gsmsig::WideOptions opt{.numSamples = 24000, .noiseRms = 0};
  auto cs = twoCells();
  cs[0].channel = -5; // the edge of the window
  cs[1].imp.snrDb = std::numeric_limits<double>::infinity();
  const auto x = gsmsig::synthesizeWideband(cs, opt);
  const double on1 = channelPower(x, -1e6, 2.4e6), on2 = channelPower(x, 400e3, 2.4e6);
  EXPECT_NEAR(on1 / on2, 1.0, 0.1); // equal amplitudes
  for (int ch : {-4, -3, -2, -1, 0, 1, 3, 4, 5}) // > 20 dB below
    EXPECT_LT(channelPower(x, ch * 200e3, 2.4e6), on2 / 100) << ch;

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

// The program's exit status and everything it printed.
std::pair<int, std::string> runProgram(const std::string &args) {
  FILE *p = popen((std::string(GSMSIGGEN_PROGRAM) + " " + args + " 2>&1").c_str(), "r");
  std::string out;
  char buf[512];
  while (std::fgets(buf, sizeof buf, p)) out += buf;
  const int st = pclose(p);
  return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, out};
}

TEST(Program, RefusesBadCommandLinesAndWritesComplexFloatMatchingTheLibrary) {
  struct Case {
    const char *args;
    int status;
    const char *message;
  };
  for (const Case &c : {Case{"", 2, "gsmsiggen: no --carrier given"},
                        Case{"--carrier ch=0,bsic=64", 2, "bad bsic '64' (0..63)"},
                        Case{"--carrier mnc=1", 2, "MNC needs 2 or 3 digits: '1'"},
                        Case{"--carrier tc3=0102", 2, "raw BCCH block needs 23 octets"},
                        Case{"--out /dev/null --carrier ch=6", 1, "carrier on channel 6 lies outside the window"},
                        Case{"--out /dev/null --carrier list=0,list-format=bitmap0", 1,
                             "channel list does not fit its format"}}) {
    const auto [status, out] = runProgram(c.args);
    EXPECT_EQ(status, c.status) << c.args;
    EXPECT_NE(out.find(c.message), std::string::npos) << out;
  }

  const std::string path = tempPath("sig.cf32");
  const auto [status, out] = runProgram("--format cf32 --frames 3 --out " + path +
                               " --carrier fn=100,bsic=9,mcc=001,mnc=010,lac=0x10,ci=7,list=1+2+3,offset=500,timing=3.25");
  ASSERT_EQ(status, 0) << out;
  const auto bytes = readAndRemove(path);
  ASSERT_EQ(bytes.size(), 7500u * 8);
  const gsmsig::Cell c{.mcc = 1, .mnc = 10, .lac = 0x10, .ci = 7, .bsic = 9, .channels = {1, 2, 3}};
  const auto x = gsmsig::generateFrames(c, 3, 100, {.carrierOffsetHz = 500, .timingOffsetSamples = 3.25});
  EXPECT_EQ(std::memcmp(bytes.data(), x.data(), bytes.size()), 0);
}

} // namespace
