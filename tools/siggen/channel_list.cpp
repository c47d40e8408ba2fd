// Frequency-list formats of TS 44.018 10.5.2.13 for the 16-octet cell channel description
// (10.5.2.1b) and neighbour cell description (10.5.2.22). The range formats follow the
// encoding of TS 44.018 Annex J: a balanced binary tree of offsets, each node's value taken
// within the window its parent leaves it.
#include "gsmsiggen.h"

#include <algorithm>
#include <set>

namespace gsmsig {
namespace {

using Octets16 = std::array<uint8_t, 16>;

// Writes fields most significant bit first into the description, starting at bit `firstBit`
// (8..1) of octet 0.
class BitWriter {
public:
  BitWriter(Octets16 &o, int firstBit) : o_(o), pos_(8 - firstBit) {}
  void put(unsigned value, int width) {
    for (int b = width - 1; b >= 0; --b, ++pos_)
      if (value >> b & 1) o_[pos_ / 8] |= static_cast<uint8_t>(0x80 >> (pos_ % 8));
  }

private:
  Octets16 &o_;
  int pos_;
};

// Range-tree node values W(1..) for `values` (each in 1..m, distinct), m = 2^k - 1.
// The node at index p on level J (J <= p < 2J) has its left child at p + J, right at p + 2J.
// Returns false when a subtree receives more values than its window can hold.
bool encodeTree(std::vector<int> values, int m, int index, int level, std::vector<int> &w) {
  if (values.empty()) return true;
  if (index >= static_cast<int>(w.size())) return false;
  const int n = static_cast<int>(values.size());
  const int half = (m - 1) / 2; // values in each child's window
  const int rightCount = (n - 1) / 2;
  for (int pivot : values) {
    std::vector<int> left, right;
    for (int v : values) {
      if (v == pivot) continue;
      const int up = ((v - pivot) % m + m) % m; // 1..m-1 steps above the pivot
      if (up <= half) right.push_back(up);
      else left.push_back(up - half); // (v - (pivot - (m + 1) / 2)) mod m, in 1..half
    }
    if (static_cast<int>(right.size()) != rightCount) continue;
    w[index] = pivot;
    return encodeTree(std::move(left), half, index + level, level * 2, w) &&
           encodeTree(std::move(right), half, index + 2 * level, level * 2, w);
  }
  return false;
}

struct RangeFormat {
  int range;             // R
  uint8_t formatBits;    // octet 0 bits 8, 4, 3, 2
  int firstBit;          // bit of octet 0 where the fields begin
  std::vector<int> widths; // W(1) .. W(last)
};

const RangeFormat &rangeFormat(ListFormat f) {
  static const RangeFormat r1024{1024, 0x80, 3, {10, 9, 9, 8, 8, 8, 8, 7, 7, 7, 7, 7, 7, 7, 7, 6}};
  static const RangeFormat r512{512, 0x88, 1, {9, 8, 8, 7, 7, 7, 7, 6, 6, 6, 6, 6, 6, 6, 6, 5, 5}};
  static const RangeFormat r256{
      256, 0x8A, 1, {8, 7, 7, 6, 6, 6, 6, 5, 5, 5, 5, 5, 5, 5, 5, 4, 4, 4, 4, 4, 4}};
  static const RangeFormat r128{
      128, 0x8C, 1, {7, 6, 6, 5, 5, 5, 5, 4, 4, 4, 4, 4, 4, 4, 4, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}};
  switch (f) {
  case ListFormat::range1024: return r1024;
  case ListFormat::range512: return r512;
  case ListFormat::range256: return r256;
  default: return r128;
  }
}

std::optional<Octets16> encodeRange(const std::set<int> &arfcns, ListFormat f) {
  const RangeFormat &rf = rangeFormat(f);
  const int nodes = static_cast<int>(rf.widths.size());
  const bool r1024 = f == ListFormat::range1024;
  // Range 1024 carries ARFCN 0 in F0 and the others as themselves; the other ranges carry
  // ORIG-ARFCN and offsets 1..R-1 above it (mod 1024), so every member is tried as origin.
  std::vector<int> origins;
  if (r1024) origins.push_back(0);
  else origins.assign(arfcns.begin(), arfcns.end());
  for (int orig : origins) {
    std::vector<int> values;
    bool fits = true;
    for (int a : arfcns) {
      if (r1024 && a == 0) continue;
      if (!r1024 && a == orig) continue;
      const int off = ((a - orig) % 1024 + 1024) % 1024;
      if (off < 1 || off > rf.range - 1) { fits = false; break; }
      values.push_back(off);
    }
    if (!fits || static_cast<int>(values.size()) > nodes) continue;
    std::vector<int> w(nodes + 1, 0);
    if (!encodeTree(values, rf.range - 1, 1, 1, w)) continue;
    Octets16 o{};
    o[0] = rf.formatBits;
    BitWriter bw(o, rf.firstBit);
    if (r1024) bw.put(arfcns.count(0) ? 1 : 0, 1);
    else bw.put(static_cast<unsigned>(orig), 10);
    for (int i = 1; i <= nodes; ++i) bw.put(static_cast<unsigned>(w[i]), rf.widths[i - 1]);
    return o;
  }
  return std::nullopt;
}

std::optional<Octets16> encodeBitmap0(const std::set<int> &arfcns) {
  Octets16 o{};
  for (int a : arfcns) {
    if (a < 1 || a > 124) return std::nullopt;
    // ARFCN n is bit (n - 1) counted from bit 1 of the last octet upwards.
    const int k = a - 1;
    o[15 - k / 8] |= static_cast<uint8_t>(1u << (k % 8));
  }
  return o;
}

std::optional<Octets16> encodeVariableBitmap(const std::set<int> &arfcns) {
  if (arfcns.empty()) return std::nullopt;
  for (int orig : arfcns) {
    Octets16 o{};
    o[0] = 0x8E;
    BitWriter(o, 1).put(static_cast<unsigned>(orig), 10);
    bool fits = true;
    for (int a : arfcns) {
      const int j = ((a - orig) % 1024 + 1024) % 1024;
      if (j == 0) continue;
      if (j > 111) { fits = false; break; }
      o[2 + j / 8] |= static_cast<uint8_t>(0x80 >> (j % 8));
    }
    if (fits) return o;
  }
  return std::nullopt;
}

} // namespace

const char *listFormatName(ListFormat f) {
  switch (f) {
  case ListFormat::automatic: return "automatic";
  case ListFormat::bitmap0: return "bitmap0";
  case ListFormat::range1024: return "range1024";
  case ListFormat::range512: return "range512";
  case ListFormat::range256: return "range256";
  case ListFormat::range128: return "range128";
  case ListFormat::variableBitmap: return "variable";
  }
  return "?";
}

std::optional<std::array<uint8_t, 16>> encodeChannelList(const std::vector<int> &arfcns,
                                                          ListFormat f, uint8_t topBits) {
  std::set<int> set;
  for (int a : arfcns) {
    if (a < 0 || a > 1023) return std::nullopt;
    set.insert(a);
  }
  std::optional<Octets16> o;
  switch (f) {
  case ListFormat::bitmap0: o = encodeBitmap0(set); break;
  case ListFormat::range1024:
  case ListFormat::range512:
  case ListFormat::range256:
  case ListFormat::range128:
    o = encodeRange(set, f);
    break;
  case ListFormat::variableBitmap: o = encodeVariableBitmap(set); break;
  case ListFormat::automatic:
    for (ListFormat g : {ListFormat::bitmap0, ListFormat::range1024, ListFormat::range512,
                         ListFormat::range256, ListFormat::range128, ListFormat::variableBitmap})
      if ((o = encodeChannelList(arfcns, g))) break;
    break;
  }
  if (o) (*o)[0] |= topBits;
  return o;
}

} // namespace gsmsig
