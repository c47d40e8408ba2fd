// One C0 carrier: the bit stream of every timeslot of every frame the buffer touches, modulated
// as one continuous GMSK signal, gated by each burst's power envelope, then impaired.
#include "gmsk_stream.h"
#include "gsmsiggen.h"
#include "noise.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace gsmsig {
namespace {

constexpr double kRampSymbols = 2.0; // power ramp inside the guard period

void checkCell(const Cell &c) {
  if (c.mcc < 0 || c.mcc > 999) throw std::invalid_argument("MCC must be 0..999");
  if (c.mncDigits != 2 && c.mncDigits != 3) throw std::invalid_argument("MNC has 2 or 3 digits");
  if (c.mnc < 0 || c.mnc > (c.mncDigits == 2 ? 99 : 999))
    throw std::invalid_argument("MNC out of range for its digit count");
  if (c.bsic > 63) throw std::invalid_argument("BSIC must be 0..63");
  for (int tc = 0; tc < 8; ++tc)
    if (!bcchMessage(c, tc))
      throw std::invalid_argument("channel list does not fit its format");
}

// Bits and burst activity of frames firstFrame .. firstFrame + frames - 1 (relative to the
// start frame; negative frames lie before it).
struct FrameBits {
  long firstFrame;
  std::vector<uint8_t> bits;   // 1250 per frame; guard and silent symbols are 1
  std::vector<uint8_t> active; // 8 per frame

  bool burstOn(long slotIndex) const { // frame * 8 + slot, relative to firstFrame * 8
    const long i = slotIndex - firstFrame * 8;
    return i >= 0 && i < static_cast<long>(active.size()) && active[static_cast<std::size_t>(i)];
  }
};

FrameBits buildFrames(const Cell &c, uint32_t startFrame, long firstFrame, long frames) {
  FrameBits fb{firstFrame, std::vector<uint8_t>(static_cast<std::size_t>(frames) * kSymbolsPerFrame, 1),
               std::vector<uint8_t>(static_cast<std::size_t>(frames) * 8, 0)};
  const long hyper = kHyperframe;
  for (long f = 0; f < frames; ++f) {
    const long rel = firstFrame + f;
    const auto fn = static_cast<uint32_t>(((static_cast<long>(startFrame) + rel) % hyper + hyper) % hyper);
    for (int k = 0; k < 8; ++k) {
      std::optional<std::array<uint8_t, 148>> burst;
      if (k == 0) burst = slot0Burst(c, fn);
      else if (c.idle == IdleFill::dummy) burst = dummyBurstBits();
      if (!burst) continue;
      std::copy(burst->begin(), burst->end(),
                fb.bits.begin() + f * kSymbolsPerFrame + kSlotStart[k]);
      fb.active[static_cast<std::size_t>(f * 8 + k)] = 1;
    }
  }
  return fb;
}

// Symbol time at which timeslot g (frame * 8 + slot, relative to the start frame) begins.
double slotStart(long g) {
  const long f = g >= 0 ? g / 8 : -((-g + 7) / 8);
  return static_cast<double>(f) * kSymbolsPerFrame + kSlotStart[g - f * 8];
}

double ramp(double d) { // d symbols outside a burst edge
  if (d >= kRampSymbols) return 0;
  return 0.5 + 0.5 * std::cos(std::numbers::pi * d / kRampSymbols);
}

// Power envelope at symbol time t: 1 across active bursts and across the guard period between
// two active bursts; raised-cosine ramps of kRampSymbols into a guard period next to silence.
double envelope(const FrameBits &fb, double t) {
  const long frame = static_cast<long>(std::floor(t / kSymbolsPerFrame));
  const double pos = t - static_cast<double>(frame) * kSymbolsPerFrame;
  int slot = 7;
  while (slot > 0 && pos < kSlotStart[slot]) --slot;
  const long g = frame * 8 + slot;
  const double burstEnd = slotStart(g) + kBurstBits;
  const bool on = fb.burstOn(g);
  if (t <= burstEnd) return on ? 1.0 : 0.0;
  const bool nextOn = fb.burstOn(g + 1);
  if (on && nextOn) return 1.0;
  return std::max(on ? ramp(t - burstEnd) : 0.0, nextOn ? ramp(slotStart(g + 1) - t) : 0.0);
}

} // namespace

std::vector<cf32> synthesize(const Cell &c, uint32_t startFrame, std::size_t numSamples,
                             double sampleRateHz, const Impairments &imp) {
  checkCell(c);
  if (!(sampleRateHz > 0)) throw std::invalid_argument("sample rate must be positive");
  std::vector<cf32> out(numSamples);
  if (numSamples == 0) return out;

  // Symbol time of output sample n (relative to the start of frame startFrame).
  const double symbolsPerSample = kSymbolRateHz * (1.0 + imp.sampleClockPpm * 1e-6) / sampleRateHz;
  const auto symbolTime = [&](double n) { return (n - imp.timingOffsetSamples) * symbolsPerSample; };
  const bool echo = imp.echo.gain != 0;
  const double tFirst = symbolTime(0) - (echo ? std::max(0.0, imp.echo.delaySymbols) : 0.0) - 16;
  const double tLast = symbolTime(static_cast<double>(numSamples - 1)) +
                       (echo ? std::max(0.0, -imp.echo.delaySymbols) : 0.0) + 16;
  const long firstFrame = static_cast<long>(std::floor(tFirst / kSymbolsPerFrame));
  const long lastFrame = static_cast<long>(std::floor(tLast / kSymbolsPerFrame));
  const FrameBits fb = buildFrames(c, startFrame, firstFrame, lastFrame - firstFrame + 1);
  const GmskStream gmsk(firstFrame * kSymbolsPerFrame, fb.bits);

  const std::complex<double> echoGain = std::polar(imp.echo.gain, imp.echo.phaseRad);
  const double cyclesPerSample = imp.carrierOffsetHz / sampleRateHz;
  const bool noisy = std::isfinite(imp.snrDb);
  const double sigma = imp.amplitude / std::sqrt(2.0 * std::pow(10.0, imp.snrDb / 10.0));
  GaussianNoise noise(imp.seed);

  for (std::size_t n = 0; n < numSamples; ++n) {
    const double t = symbolTime(static_cast<double>(n));
    std::complex<double> v = gmsk.at(t) * envelope(fb, t);
    if (echo) {
      const double te = t - imp.echo.delaySymbols;
      v += echoGain * gmsk.at(te) * envelope(fb, te);
    }
    const double cycles = cyclesPerSample * static_cast<double>(n);
    const double turn = 2 * std::numbers::pi * (cycles - std::floor(cycles)) + imp.phaseRad;
    v *= std::polar(imp.amplitude, turn);
    if (noisy) {
      double re, im;
      noise.pair(sigma, re, im);
      v += std::complex<double>(re, im);
    }
    out[n] = {static_cast<float>(v.real()), static_cast<float>(v.imag())};
  }
  return out;
}

std::vector<cf32> generateFrames(const Cell &c, int frames, uint32_t startFrame,
                                 const Impairments &imp) {
  if (frames < 0) throw std::invalid_argument("frame count must not be negative");
  return synthesize(c, startFrame, samplesForFrames(frames), kTwoSpsRateHz, imp);
}

} // namespace gsmsig
