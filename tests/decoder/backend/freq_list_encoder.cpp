#include "freq_list_encoder.h"

#include <vector>

namespace freq_enc {
namespace {

// Most significant bit first, starting below a given bit of octet 0.
class BitWriter {
  public:
    BitWriter(Description& d, int bitsLeftInFirstOctet) : d_(d), pos_(8 - bitsLeftInFirstOctet) {}
    bool put(unsigned value, int width)
    {
        for (int i = width - 1; i >= 0; --i) {
            if (pos_ >= 128)
                return false;
            if ((value >> i) & 1)
                d_[pos_ / 8] |= static_cast<uint8_t>(0x80 >> (pos_ % 8));
            ++pos_;
        }
        return true;
    }

  private:
    Description& d_;
    int pos_;
};

// Annex J: the subtree at `index` holds the values of `set` (1..range); the root takes the
// pivot that leaves floor((n-1)/2) values in the half-range above it, which go to the right
// subtree, and the rest to the left one, each re-expressed in the half range.
bool encodeSubtree(int index, int span, std::vector<int> set, int range, std::vector<int>& w)
{
    if (set.empty())
        return true;
    if (index >= static_cast<int>(w.size()))
        return false;
    const int n = static_cast<int>(set.size());
    const int half = (range - 1) / 2;
    for (int pivot : set) {
        std::vector<int> left, right;
        for (int v : set) {
            if (v == pivot)
                continue;
            int d = ((v - pivot) % range + range) % range;
            if (d <= half)
                right.push_back(d);
            else
                left.push_back(d - half);
        }
        if (static_cast<int>(right.size()) != (n - 1) / 2)
            continue;
        w[index] = pivot;
        return encodeSubtree(index + span, 2 * span, left, half, w) &&
               encodeSubtree(index + 2 * span, 2 * span, right, half, w);
    }
    return false;
}

// The member from which every other lies at most `span` channels higher, counting modulo 1024.
std::optional<int> originFor(const std::set<int>& arfcns, int span)
{
    for (int o : arfcns) {
        bool fits = true;
        for (int a : arfcns)
            fits = fits && (a - o + 1024) % 1024 <= span;
        if (fits)
            return o;
    }
    return std::nullopt;
}

struct RangeSpec {
    int range, fields, firstBitsLeft;
    std::vector<int> widths;
    uint8_t formatBits;
};

RangeSpec rangeSpec(Format f)
{
    switch (f) {
    case Format::range1024:
        return {1024, 17, 3, {1, 10, 9, 9, 8, 8, 8, 8, 7, 7, 7, 7, 7, 7, 7, 7, 6}, 0x80};
    case Format::range512:
        return {512, 18, 1, {10, 9, 8, 8, 7, 7, 7, 7, 6, 6, 6, 6, 6, 6, 6, 6, 5, 5}, 0x88};
    case Format::range256:
        return {
            256, 22, 1, {10, 8, 7, 7, 6, 6, 6, 6, 5, 5, 5, 5, 5, 5, 5, 5, 4, 4, 4, 4, 4, 4}, 0x8A};
    default:
        return {128,
                29,
                1,
                {10, 7, 6, 6, 5, 5, 5, 5, 4, 4, 4, 4, 4, 4, 4,
                 4,  3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3},
                0x8C};
    }
}

std::optional<Description> encodeRange(Format f, const std::set<int>& arfcns, int spare)
{
    RangeSpec spec = rangeSpec(f);
    Description d{};
    d[0] = static_cast<uint8_t>(spec.formatBits | (spare & 7) << 4);
    std::vector<int> w(spec.fields, 0);
    std::vector<int> rel;
    if (f == Format::range1024) {
        for (int a : arfcns)
            if (a == 0)
                w[0] = 1; // F0
            else
                rel.push_back(a);
    } else {
        auto orig = originFor(arfcns, spec.range - 1);
        if (!orig)
            return std::nullopt;
        w[0] = *orig;
        for (int a : arfcns)
            if (a != *orig)
                rel.push_back((a - *orig + 1024) % 1024);
    }
    if (!encodeSubtree(1, 1, rel, spec.range - 1, w))
        return std::nullopt;
    BitWriter out(d, spec.firstBitsLeft);
    for (int i = 0; i < spec.fields; ++i)
        if (!out.put(static_cast<unsigned>(w[i]), spec.widths[i]) || w[i] >= (1 << spec.widths[i]))
            return std::nullopt;
    return d;
}

} // namespace

std::optional<Description> encode(Format format, const std::set<int>& arfcns, int spare)
{
    Description d{};
    switch (format) {
    case Format::bitMap0:
        for (int a : arfcns) {
            if (a < 1 || a > 124)
                return std::nullopt;
            // ARFCN 1 is bit 1 of octet 16 (index 15), ARFCN 124 bit 4 of octet 1.
            d[15 - (a - 1) / 8] |= static_cast<uint8_t>(1 << ((a - 1) % 8));
        }
        d[0] |= static_cast<uint8_t>((spare & 7) << 4);
        return d;
    case Format::variableBitMap: {
        auto orig = originFor(arfcns, 111);
        if (!orig)
            return std::nullopt;
        d[0] = static_cast<uint8_t>(0x8E | (spare & 7) << 4);
        BitWriter out(d, 1);
        out.put(static_cast<unsigned>(*orig), 10);
        for (int a : arfcns)
            if (a != *orig) {
                int j = (a - *orig + 1024) % 1024; // RRFCN j: bit j after ORIG-ARFCN
                int pos = 16 + j; // ORIG-ARFCN ends at bit position 16 (bit 8 of octet 3)
                d[pos / 8] |= static_cast<uint8_t>(0x80 >> (pos % 8));
            }
        return d;
    }
    default: return encodeRange(format, arfcns, spare);
    }
}

std::array<uint8_t, 128> expectedMap(const std::set<int>& arfcns)
{
    std::array<uint8_t, 128> map{};
    for (int a : arfcns) {
        int bit = (a + 1023) % 1024;
        map[bit / 8] |= static_cast<uint8_t>(1 << (bit % 8));
    }
    return map;
}

} // namespace freq_enc
