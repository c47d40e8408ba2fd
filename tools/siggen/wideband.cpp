// Several carriers on the 200 kHz grid of one receiver window, and the files the scanner reads:
// "swemu.wav" (44-byte RIFF/WAVE header, 16-bit stereo I/Q) and raw complex float.
#include "gsmsiggen.h"
#include "noise.h"

#include <cmath>
#include <bit>
#include <cstdio>
#include <memory>
#include <stdexcept>

namespace gsmsig {
namespace {

constexpr double kChannelSpacingHz = 200e3;
constexpr double kCarrierHalfWidthHz = 100e3;
constexpr double kScannerAmplitudeBudget = 8.0; // LSB shared by all carriers by default

void putLe(uint8_t *p, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

bool fail(std::string *err, const std::string &msg) {
  if (err) *err = msg;
  return false;
}

struct FileCloser {
  void operator()(std::FILE *f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool writeAll(std::FILE *f, const void *p, std::size_t bytes) {
  return std::fwrite(p, 1, bytes, f) == bytes;
}

} // namespace

std::vector<cf32> synthesizeWideband(const std::vector<WideCarrier> &carriers,
                                     const WideOptions &opt) {
  const double scale = opt.amplitudeScale > 0
                           ? opt.amplitudeScale
                           : kScannerAmplitudeBudget / static_cast<double>(std::max<std::size_t>(1, carriers.size()));
  std::vector<std::complex<double>> sum(opt.numSamples);
  for (std::size_t k = 0; k < carriers.size(); ++k) {
    const WideCarrier &wc = carriers[k];
    const double centreHz = wc.channel * kChannelSpacingHz;
    if (std::abs(centreHz) + kCarrierHalfWidthHz > opt.sampleRateHz / 2)
      throw std::invalid_argument("carrier on channel " + std::to_string(wc.channel) +
                                  " lies outside the window");
    Impairments imp = wc.imp;
    imp.amplitude *= scale;
    imp.carrierOffsetHz += centreHz;
    imp.seed += 0x9E3779B97F4A7C15ull * (k + 1); // independent noise per carrier
    const auto x = synthesize(wc.cell, wc.startFrame, opt.numSamples, opt.sampleRateHz, imp);
    for (std::size_t n = 0; n < x.size(); ++n) sum[n] += std::complex<double>(x[n]);
  }
  std::vector<cf32> out(opt.numSamples);
  GaussianNoise noise(opt.seed);
  for (std::size_t n = 0; n < out.size(); ++n) {
    double re = 0, im = 0;
    if (opt.noiseRms > 0) noise.pair(opt.noiseRms, re, im);
    out[n] = {static_cast<float>(sum[n].real() + re), static_cast<float>(sum[n].imag() + im)};
  }
  return out;
}

std::vector<int16_t> toInt16(const std::vector<cf32> &x) {
  std::vector<int16_t> out(2 * x.size());
  const auto q = [](float v) {
    const double r = std::nearbyint(static_cast<double>(v)); // ties to even
    if (!(r >= -32768.0)) return static_cast<int16_t>(std::isnan(r) ? 0 : -32768);
    if (r > 32767.0) return static_cast<int16_t>(32767);
    return static_cast<int16_t>(r);
  };
  for (std::size_t n = 0; n < x.size(); ++n) {
    out[2 * n] = q(x[n].real());
    out[2 * n + 1] = q(x[n].imag());
  }
  return out;
}

std::array<uint8_t, 44> wavHeader(uint32_t frames, uint32_t rateHz) {
  const uint32_t dataBytes = frames * 4u;
  std::array<uint8_t, 44> h{};
  const auto tag = [&](int at, const char *s) { std::copy(s, s + 4, h.begin() + at); };
  tag(0, "RIFF");
  putLe(&h[4], 36u + dataBytes, 4);
  tag(8, "WAVE");
  tag(12, "fmt ");
  putLe(&h[16], 16, 4);          // format chunk size
  putLe(&h[20], 1, 2);           // PCM
  putLe(&h[22], 2, 2);           // I left, Q right
  putLe(&h[24], rateHz, 4);
  putLe(&h[28], rateHz * 4u, 4); // byte rate
  putLe(&h[32], 4, 2);           // block align
  putLe(&h[34], 16, 2);          // bits per sample
  tag(36, "data");
  putLe(&h[40], dataBytes, 4);
  return h;
}

bool writeSwemuWav(const std::string &path, const std::vector<WideCarrier> &carriers,
                   const WideOptions &opt, std::string *err) {
  if (opt.sampleRateHz != std::floor(opt.sampleRateHz) || opt.sampleRateHz < 1 ||
      opt.sampleRateHz > 4294967295.0 / 4)
    return fail(err, "WAV sample rate must be a positive integer");
  if (opt.numSamples > (0xFFFFFFFFull - 36) / 4)
    return fail(err, "too many samples for a WAV file");
  std::vector<int16_t> pcm;
  try {
    pcm = toInt16(synthesizeWideband(carriers, opt));
  } catch (const std::exception &e) {
    return fail(err, e.what());
  }
  File f(std::fopen(path.c_str(), "wb"));
  if (!f) return fail(err, "cannot open " + path + " for writing");
  const auto h = wavHeader(static_cast<uint32_t>(opt.numSamples), static_cast<uint32_t>(opt.sampleRateHz));
  static_assert(std::endian::native == std::endian::little, "samples are written in host order");
  if (!writeAll(f.get(), h.data(), h.size()) ||
      !writeAll(f.get(), pcm.data(), pcm.size() * sizeof(int16_t)) || std::fflush(f.get()) != 0)
    return fail(err, "cannot write " + path);
  return true;
}

bool writeComplexFloat(const std::string &path, const std::vector<cf32> &x, std::string *err) {
  File f(std::fopen(path.c_str(), "wb"));
  if (!f) return fail(err, "cannot open " + path + " for writing");
  static_assert(std::endian::native == std::endian::little, "samples are written in host order");
  if (!writeAll(f.get(), x.data(), x.size() * sizeof(cf32)) || std::fflush(f.get()) != 0)
    return fail(err, "cannot write " + path);
  return true;
}

} // namespace gsmsig
