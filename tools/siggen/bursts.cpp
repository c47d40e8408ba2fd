// Burst contents of timeslot 0 on C0 (TS 45.002 5.2 burst layouts, 6.3/7 the 51-multiframe of
// the BCCH/CCCH) and their channel coding, which libosmocore does (TS 45.003 4.1 and 4.7).
#include "gsmsiggen.h"

extern "C" {
#include <osmocom/coding/gsm0503_coding.h>
}

#include <stdexcept>
#include <string_view>

namespace gsmsig {
namespace {

template <std::size_t N> std::array<uint8_t, N> bitsOf(std::string_view s) {
  std::array<uint8_t, N> a{};
  for (std::size_t i = 0; i < N; ++i) a[i] = s[i] == '1';
  return a;
}

} // namespace

const std::array<uint8_t, 64> &schTrainingBits() {
  static const auto bits =
      bitsOf<64>("1011100101100010000001000000111100101101010001010111011000011011");
  return bits;
}

const std::array<uint8_t, 26> &trainingBits(int tsc) {
  static const std::array<std::array<uint8_t, 26>, 8> tables = {
      bitsOf<26>("00100101110000100010010111"), bitsOf<26>("00101101110111100010110111"),
      bitsOf<26>("01000011101110100100001110"), bitsOf<26>("01000111101101000100011110"),
      bitsOf<26>("00011010111001000001101011"), bitsOf<26>("01001110101100000100111010"),
      bitsOf<26>("10100111110110001010011111"), bitsOf<26>("11101111000100101110111100")};
  return tables.at(static_cast<std::size_t>(tsc));
}

const std::array<uint8_t, 148> &dummyBurstBits() {
  static const auto bits = bitsOf<148>(
      "0001111101101110110000010100100111000001001000100000001111100011100010111000101110001010"
      "111010010100011001100111001111010011111000100101111101010000");
  return bits;
}

std::array<uint8_t, 78> encodeSch(const std::array<uint8_t, 4> &info) {
  std::array<uint8_t, 78> coded{};
  if (gsm0503_sch_encode(coded.data(), info.data()) < 0)
    throw std::runtime_error("gsm0503_sch_encode failed");
  return coded;
}

std::array<uint8_t, 4 * 116> encodeXcch(const Block23 &l2) {
  std::array<uint8_t, 4 * 116> coded{};
  if (gsm0503_xcch_encode(coded.data(), l2.data()) < 0)
    throw std::runtime_error("gsm0503_xcch_encode failed");
  return coded;
}

std::array<uint8_t, 148> fcchBurst() { return {}; } // tail, 142 fixed zero bits, tail

std::array<uint8_t, 148> schBurst(const std::array<uint8_t, 78> &coded) {
  std::array<uint8_t, 148> b{};
  std::copy(coded.begin(), coded.begin() + 39, b.begin() + 3);
  std::copy(schTrainingBits().begin(), schTrainingBits().end(), b.begin() + 42);
  std::copy(coded.begin() + 39, coded.end(), b.begin() + 106);
  return b;
}

std::array<uint8_t, 148> normalBurst(int tsc, const uint8_t *coded116) {
  // 57 data bits and a stealing flag, the training sequence, a stealing flag and 57 data bits.
  std::array<uint8_t, 148> b{};
  std::copy(coded116, coded116 + 58, b.begin() + 3);
  const auto &ts = trainingBits(tsc);
  std::copy(ts.begin(), ts.end(), b.begin() + 61);
  std::copy(coded116 + 58, coded116 + 116, b.begin() + 87);
  return b;
}

std::optional<std::array<uint8_t, 148>> slot0Burst(const Cell &c, uint32_t fn) {
  const unsigned t3 = fn % kHyperframe % 51;
  if (t3 == 50) {
    if (c.idle == IdleFill::silence) return std::nullopt;
    return dummyBurstBits();
  }
  const unsigned inBlock = t3 % 10;
  if (inBlock == 0) return fcchBurst();
  if (inBlock == 1) return schBurst(encodeSch(schInfo(c.bsic, fn)));
  // Four-frame blocks: BCCH in 2..5, CCCH in 6..9, 12..15, 16..19, ..., 46..49.
  const unsigned burstInBlock = (t3 % 10 - 2) % 4;
  Block23 message = l2FillFrame();
  if (t3 >= 2 && t3 <= 5) {
    const auto m = bcchMessage(c, static_cast<int>(fn % kHyperframe / 51 % 8));
    if (!m) throw std::invalid_argument("System Information message cannot be coded");
    message = *m;
  }
  const auto coded = encodeXcch(message);
  return normalBurst(c.bsic & 7, coded.data() + 116 * burstInBlock);
}

} // namespace gsmsig
