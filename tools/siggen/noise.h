// Seeded Gaussian noise that gives the same numbers on every platform (no library
// distributions, whose algorithms are implementation-defined).
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>

namespace gsmsig {

class GaussianNoise {
public:
  explicit GaussianNoise(uint64_t seed) {
    for (auto &s : s_) s = splitmix(seed);
  }

  // One complex sample with independent N(0, sigma^2) parts (Box-Muller).
  void pair(double sigma, double &re, double &im) {
    const double u1 = (static_cast<double>(next() >> 11) + 1.0) * 0x1.0p-53; // (0, 1]
    const double u2 = static_cast<double>(next() >> 11) * 0x1.0p-53;         // [0, 1)
    const double r = sigma * std::sqrt(-2.0 * std::log(u1));
    re = r * std::cos(2 * std::numbers::pi * u2);
    im = r * std::sin(2 * std::numbers::pi * u2);
  }

private:
  static uint64_t splitmix(uint64_t &x) {
    uint64_t z = (x += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  static uint64_t rotl(uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }
  uint64_t next() { // xoshiro256**
    const uint64_t result = rotl(s_[1] * 5, 7) * 9;
    const uint64_t t = s_[1] << 17;
    s_[2] ^= s_[0];
    s_[3] ^= s_[1];
    s_[1] ^= s_[2];
    s_[0] ^= s_[3];
    s_[2] ^= t;
    s_[3] = rotl(s_[3], 45);
    return result;
  }
  uint64_t s_[4];
};

} // namespace gsmsig
