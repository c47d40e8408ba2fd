// TDMA frame numbering (TS 45.002 4.3.3) and the SCH information built from it (TS 44.018 9.1.30).
#include "gsmsiggen.h"

#include <cmath>

namespace gsmsig {

FrameNumber splitFrameNumber(uint32_t fn) {
  fn %= kHyperframe;
  return {static_cast<uint16_t>(fn / (26 * 51)), static_cast<uint16_t>(fn % 26),
          static_cast<uint16_t>(fn % 51)};
}

std::size_t samplesForFrames(double frames, double sampleRateHz) {
  return static_cast<std::size_t>(
      std::llround(frames * kSymbolsPerFrame / kSymbolRateHz * sampleRateHz));
}

std::array<uint8_t, 4> schInfo(uint8_t bsic, uint32_t fn) {
  const FrameNumber f = splitFrameNumber(fn);
  // T3' is only defined on SCH frames (T3 = 1, 11, ..., 41); elsewhere the nearest one before.
  const unsigned t3p = f.t3 == 0 ? 0 : (f.t3 - 1u) / 10u;
  return {static_cast<uint8_t>((bsic & 0x3F) << 2 | f.t1 >> 9),
          static_cast<uint8_t>(f.t1 >> 1 & 0xFF),
          static_cast<uint8_t>((f.t1 & 1) << 7 | f.t2 << 2 | t3p >> 1),
          static_cast<uint8_t>(t3p & 1)};
}

} // namespace gsmsig
