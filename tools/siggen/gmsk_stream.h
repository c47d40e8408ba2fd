// Continuous-phase GMSK of a run of differentially encoded symbols, evaluated at any time.
#pragma once

#include <complex>
#include <cstdint>
#include <vector>

namespace gsmsig {

class GmskStream {
public:
  // Symbols firstSymbol .. firstSymbol + bits.size() - 1; `previousBit` is the bit before the
  // first, for the differential encoding. Bit i is centred on symbol time i + 0.5.
  GmskStream(long firstSymbol, const std::vector<uint8_t> &bits, uint8_t previousBit = 1);

  // exp(j * phi(t)), t in symbols; symbols outside the run do not modulate (alpha = 0).
  std::complex<double> at(double tSymbols) const;

private:
  long first_;
  std::vector<int8_t> alpha_;    // +1 / -1 after differential encoding
  std::vector<int32_t> prefix_;  // prefix_[i] = alpha_[0] + ... + alpha_[i - 1]
};

} // namespace gsmsig
