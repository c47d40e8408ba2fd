// A plain receiver for the generator's tests: differential phase detection with hard decisions
// at 2 samples per symbol, and correlation against a modulated reference.
#pragma once

#include "gsmsiggen.h"

#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

namespace rxtest {

using cf32 = std::complex<float>;

// Bits of the burst whose symbol 0 starts at sample `start` (2 samples per symbol): the phase
// step across symbol i is +pi/2-ish for alpha = +1, so its sign gives the differentially decoded
// bit; the first bit (a tail bit, 0) anchors the chain.
inline std::vector<uint8_t> demodBurst(const std::vector<cf32> &x, std::size_t start) {
  std::vector<uint8_t> bits(148, 0);
  for (std::size_t i = 1; i < 148; ++i) {
    const std::complex<double> a = x[start + 2 * i], b = x[start + 2 * i + 2];
    const double step = std::arg(b * std::conj(a));
    const uint8_t changed = step < 0; // alpha = -1 means this bit differs from the previous
    bits[i] = bits[i - 1] ^ changed;
  }
  return bits;
}

// Soft bits for libosmocore (sbit_t: +127 for 0, -127 for 1).
inline std::vector<int8_t> toSbits(const std::vector<uint8_t> &bits, std::size_t from,
                                   std::size_t count) {
  std::vector<int8_t> s(count);
  for (std::size_t i = 0; i < count; ++i) s[i] = bits[from + i] ? -127 : 127;
  return s;
}

// |normalised correlation| of x at lag `lag` with reference r.
inline double correlation(const std::vector<cf32> &x, std::size_t lag, const std::vector<cf32> &r) {
  std::complex<double> acc = 0;
  double ex = 0, er = 0;
  for (std::size_t i = 0; i < r.size(); ++i) {
    acc += std::complex<double>(x[lag + i]) * std::conj(std::complex<double>(r[i]));
    ex += std::norm(std::complex<double>(x[lag + i]));
    er += std::norm(std::complex<double>(r[i]));
  }
  return ex > 0 ? std::abs(acc) / std::sqrt(ex * er) : 0;
}

} // namespace rxtest
