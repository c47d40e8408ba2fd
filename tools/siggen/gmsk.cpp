// GMSK of TS 45.004: differential encoding d'(i) = d(i) xor d(i-1), alpha(i) = 1 - 2 d'(i);
// frequency pulse g = Gaussian (BT 0.3) * rect(T); phase pi/2 * sum alpha(i) q(t - iT).
// The phase response q (the integral of g) has a closed form in the normal distribution:
// q(t) = delta * (I((t + 1/2) / delta) - I((t - 1/2) / delta)), I(x) = x Phi(x) + phi(x),
// delta = sqrt(ln 2) / (2 pi BT), t in symbols. It is tabulated finely once.
#include "gmsk_stream.h"
#include "gsmsiggen.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace gsmsig {
namespace {

constexpr double kBT = 0.3;
constexpr double kSpan = 4.5;       // |t| beyond which q is 0 or 1 to better than 1e-15
constexpr int kStepsPerSymbol = 2048;

double integralOfPhi(double x) {
  const double cdf = 0.5 * std::erfc(-x / std::numbers::sqrt2);
  const double pdf = std::exp(-0.5 * x * x) / std::sqrt(2 * std::numbers::pi);
  return x * cdf + pdf;
}

class PhaseTable {
public:
  PhaseTable() : q_(static_cast<std::size_t>(2 * kSpan * kStepsPerSymbol) + 2) {
    for (std::size_t i = 0; i < q_.size(); ++i)
      q_[i] = gmskPhaseResponse(static_cast<double>(i) / kStepsPerSymbol - kSpan);
  }
  double operator()(double t) const {
    if (t <= -kSpan) return 0;
    if (t >= kSpan) return 1;
    const double x = (t + kSpan) * kStepsPerSymbol;
    const auto i = static_cast<std::size_t>(x);
    const double f = x - static_cast<double>(i);
    return q_[i] + f * (q_[i + 1] - q_[i]);
  }

private:
  std::vector<double> q_;
};

const PhaseTable &phaseTable() {
  static const PhaseTable table;
  return table;
}

} // namespace

double gmskPhaseResponse(double t) {
  const double delta = std::sqrt(std::numbers::ln2) / (2 * std::numbers::pi * kBT);
  if (t <= -kSpan) return 0;
  if (t >= kSpan) return 1;
  return delta * (integralOfPhi((t + 0.5) / delta) - integralOfPhi((t - 0.5) / delta));
}

GmskStream::GmskStream(long firstSymbol, const std::vector<uint8_t> &bits, uint8_t previousBit)
    : first_(firstSymbol), alpha_(bits.size()), prefix_(bits.size() + 1, 0) {
  uint8_t prev = previousBit & 1;
  for (std::size_t i = 0; i < bits.size(); ++i) {
    const uint8_t d = bits[i] & 1;
    alpha_[i] = static_cast<int8_t>((d ^ prev) ? -1 : 1);
    prev = d;
    prefix_[i + 1] = prefix_[i] + alpha_[i];
  }
}

std::complex<double> GmskStream::at(double t) const {
  const PhaseTable &q = phaseTable();
  const double u = t - static_cast<double>(first_); // time within the run
  const long n = static_cast<long>(alpha_.size());
  // Symbols whose pulse has completely passed contribute pi/2 each; the few around t contribute
  // in part. Whole quarter turns are kept as an integer, so the phase never loses precision.
  const long centre = static_cast<long>(std::floor(u - 0.5));
  const long lo = std::clamp(centre - 5, 0L, n);
  const long hi = std::clamp(centre + 6, 0L, n);
  const int32_t whole = prefix_[static_cast<std::size_t>(lo)];
  double partial = 0;
  for (long i = lo; i < hi; ++i) partial += alpha_[static_cast<std::size_t>(i)] * q(u - i - 0.5);
  const double quarterTurns = static_cast<double>(((whole % 4) + 4) % 4) + partial;
  const double phi = quarterTurns * (std::numbers::pi / 2);
  return {std::cos(phi), std::sin(phi)};
}

std::vector<cf32> gmskModulate(const Bits &bits, double samplesPerSymbol, double delaySymbols) {
  const GmskStream stream(0, bits);
  const auto n = static_cast<std::size_t>(std::llround(bits.size() * samplesPerSymbol));
  std::vector<cf32> out(n);
  for (std::size_t i = 0; i < n; ++i) {
    const auto v = stream.at(static_cast<double>(i) / samplesPerSymbol - delaySymbols);
    out[i] = {static_cast<float>(v.real()), static_cast<float>(v.imag())};
  }
  return out;
}

} // namespace gsmsig
