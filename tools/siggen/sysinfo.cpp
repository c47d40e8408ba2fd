// System Information messages of the BCCH (TS 44.018 9.1.31, 9.1.32, 9.1.35, 9.1.36) and the
// location area identification (TS 24.008 10.5.1.3). Every message fills one 23-octet block:
// L2 pseudo length (10.5.2.19), RR protocol discriminator, message type, fields, rest octets
// padded with the spare pattern 0x2B.
#include "gsmsiggen.h"

#include <algorithm>

namespace gsmsig {
namespace {

constexpr uint8_t kPadding = 0x2B;
constexpr uint8_t kRrDiscriminator = 0x06;

// Fixed parameters of a plain single-carrier cell.
constexpr uint8_t kRachControl[3] = {0xB8, 0x00, 0x00};   // max retrans 4, tx-integer 14
constexpr uint8_t kControlChannel[3] = {0x48, 0x03, 0x0A}; // ATT, 1 AGCH block, non-combined CCCH
constexpr uint8_t kCellOptions = 0x65;                    // PWRC, DTX, radio link timeout 24
constexpr uint8_t kCellSelection[2] = {0x45, 0x00};       // hysteresis 4 dB, max power, min level

class BlockBuilder {
public:
  BlockBuilder(uint8_t type, int l2Length) {
    b_.fill(kPadding);
    b_[0] = static_cast<uint8_t>(l2Length << 2 | 1);
    b_[1] = kRrDiscriminator;
    b_[2] = type;
  }
  BlockBuilder &put(const uint8_t *p, std::size_t n) {
    std::copy(p, p + n, b_.begin() + pos_);
    pos_ += n;
    return *this;
  }
  template <std::size_t N> BlockBuilder &put(const std::array<uint8_t, N> &a) {
    return put(a.data(), N);
  }
  template <std::size_t N> BlockBuilder &put(const uint8_t (&a)[N]) { return put(a, N); }
  BlockBuilder &put(uint8_t v) { return put(&v, 1); }
  Block23 done() const { return b_; }

private:
  Block23 b_;
  std::size_t pos_ = 3;
};

uint8_t digit(int value, int place) {
  for (int i = 0; i < place; ++i) value /= 10;
  return static_cast<uint8_t>(value % 10);
}

} // namespace

std::array<uint8_t, 5> encodeLai(int mcc, int mnc, int mncDigits, uint16_t lac) {
  // Octet 1: MCC digit 2 | digit 1; octet 2: MNC digit 3 (or filler F) | MCC digit 3;
  // octet 3: MNC digit 2 | digit 1.
  const uint8_t mnc3 = mncDigits == 3 ? digit(mnc, 0) : 0x0F;
  const int mncHigh = mncDigits == 3 ? mnc / 10 : mnc; // the first two MNC digits
  return {static_cast<uint8_t>(digit(mcc, 1) << 4 | digit(mcc, 2)),
          static_cast<uint8_t>(mnc3 << 4 | digit(mcc, 0)),
          static_cast<uint8_t>(digit(mncHigh, 0) << 4 | digit(mncHigh, 1)),
          static_cast<uint8_t>(lac >> 8), static_cast<uint8_t>(lac & 0xFF)};
}

std::optional<Block23> si1(const Cell &c) {
  const auto ccd = encodeChannelList(c.channels, c.channelFormat);
  if (!ccd) return std::nullopt;
  return BlockBuilder(0x19, 21).put(*ccd).put(kRachControl).put(c.si1RestOctet).done();
}

std::optional<Block23> si2(const Cell &c) {
  const auto ncd = encodeChannelList(c.neighbours, c.neighbourFormat);
  if (!ncd) return std::nullopt;
  const uint8_t nccPermitted = 0xFF;
  return BlockBuilder(0x1A, 22).put(*ncd).put(nccPermitted).put(kRachControl).done();
}

Block23 si3(const Cell &c) {
  const uint8_t ci[2] = {static_cast<uint8_t>(c.ci >> 8), static_cast<uint8_t>(c.ci & 0xFF)};
  return BlockBuilder(0x1B, 18)
      .put(ci)
      .put(encodeLai(c.mcc, c.mnc, c.mncDigits, c.lac))
      .put(kControlChannel)
      .put(kCellOptions)
      .put(kCellSelection)
      .put(kRachControl)
      .done();
}

Block23 si4(const Cell &c) {
  return BlockBuilder(0x1C, 12)
      .put(encodeLai(c.mcc, c.mnc, c.mncDigits, c.lac))
      .put(kCellSelection)
      .put(kRachControl)
      .done();
}

Block23 l2FillFrame() {
  Block23 b;
  b.fill(kPadding);
  b[0] = 0x03; // address: SAPI 0, C/R 1, EA 1
  b[1] = 0x03; // control: UI
  b[2] = 0x01; // length 0, EL 1
  return b;
}

std::optional<Block23> bcchMessage(const Cell &c, int tc) {
  const BcchBlock &b = c.schedule[static_cast<std::size_t>(tc & 7)];
  switch (b.content) {
  case BcchContent::si1: return si1(c);
  case BcchContent::si2: return si2(c);
  case BcchContent::si3: return si3(c);
  case BcchContent::si4: return si4(c);
  case BcchContent::raw: return b.raw;
  case BcchContent::fill: break;
  }
  return l2FillFrame();
}

BcchSchedule standardSchedule() {
  using C = BcchContent;
  const C order[8] = {C::si1, C::si2, C::si3, C::si4, C::fill, C::fill, C::si3, C::si4};
  BcchSchedule s;
  for (int i = 0; i < 8; ++i) s[i].content = order[i];
  return s;
}

BcchSchedule fastSchedule() {
  using C = BcchContent;
  const C order[8] = {C::si1, C::si1, C::si3, C::si4, C::si3, C::si4, C::si3, C::si4};
  BcchSchedule s;
  for (int i = 0; i < 8; ++i) s[i].content = order[i];
  return s;
}

} // namespace gsmsig
