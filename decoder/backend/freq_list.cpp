// Cell channel description: format selection and the six frequency-list formats.
#include "backend/freq_list.h"

#include "backend/system_info.h"

namespace {

struct RangeFormat {
    int fields; // ORIG-ARFCN (or F0) and W(1) .. W(fields - 1)
    int range;
    int firstBitsLeft; // bits of c0 still to read when the fields start
    uint8_t widths[29];
};

constexpr RangeFormat kRange1024 = {
    17, 1024, 3, {1, 10, 9, 9, 8, 8, 8, 8, 7, 7, 7, 7, 7, 7, 7, 7, 6}};
constexpr RangeFormat kRange512 = {
    18, 512, 1, {10, 9, 8, 8, 7, 7, 7, 7, 6, 6, 6, 6, 6, 6, 6, 6, 5, 5}};
constexpr RangeFormat kRange256 = {
    22, 256, 1, {10, 8, 7, 7, 6, 6, 6, 6, 5, 5, 5, 5, 5, 5, 5, 5, 4, 4, 4, 4, 4, 4}};
constexpr RangeFormat kRange128 = {29, 128, 1, {10, 7, 6, 6, 5, 5, 5, 5, 4, 4, 4, 4, 4, 4, 4,
                                                4,  3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3, 3}};

// Parent of range-tree index K (2..28): K - J/2 for a left child (2K < 3J), else K - J, J the
// greatest power of two not above K.
constexpr uint16_t kParent[30] = {0, 0, 1, 1,  2,  3,  2,  3,  4,  5, 6, 7,  4,  5,  6,
                                  7, 8, 9, 10, 11, 12, 13, 14, 15, 8, 9, 10, 11, 12, 0};

int greatestPowerOfTwo(int k)
{
    int j = 1;
    while (2 * j <= k)
        j *= 2;
    return j;
}

void decodeRange(const uint8_t* desc, uint8_t* map, const RangeFormat& fmt)
{
    uint16_t w[29];
    int remaining = fmt.firstBitsLeft;
    const uint8_t* p = desc;
    readBits(w, fmt.fields, fmt.widths, &remaining, &p);
    if (fmt.range == 1024) {
        if (w[0]) // F0: ARFCN 0 belongs to the list
            addArfcn(map, 0);
        w[0] = 0;
    } else {
        addArfcn(map, w[0]); // ORIG-ARFCN
    }
    for (int i = 1; i < fmt.fields && w[i] != 0; ++i)
        addArfcn(map, decodeRangeTree(i, w, fmt.range));
}

void decodeVariableBitMap(const uint8_t* desc, uint8_t* map)
{
    int orig = (desc[0] & 1) * 512 + desc[1] * 2 + (desc[2] >> 7);
    addArfcn(map, orig);
    for (int j = 1; j <= 111; ++j)
        if (desc[2 + j / 8] & (0x80 >> (j % 8)))
            addArfcn(map, orig + j);
}

void decodeBitMap0(const uint8_t* desc, uint8_t* map)
{
    // ARFCN 124..1 run from bit 4 of c0 down to bit 1 of c15, i.e. map bits 123..0.
    map[15] |= desc[0] & 0x0F;
    for (int i = 0; i < 15; ++i)
        map[14 - i] |= desc[1 + i];
}

} // namespace

void addArfcn(uint8_t* map, int n)
{
    unsigned bit = static_cast<unsigned>(n - 1) & 1023u;
    map[bit >> 3] |= static_cast<uint8_t>(1u << (bit & 7));
}

uint16_t decodeRangeTree(int k, const uint16_t* w, int r)
{
    int j = greatestPowerOfTwo(k);
    int n = w[k];
    for (int idx = k; idx > 1; j /= 2) {
        int p = kParent[idx];
        int modulus = 2 * r / j - 1;
        if (2 * idx < 3 * j) // left child
            n = (w[p] + r / j + n - 2) % modulus + 1;
        else
            n = (w[p] + 2 * r / j + n - 2) % modulus + 1;
        idx = p;
    }
    return static_cast<uint16_t>((w[0] + n) % 1024);
}

bool decodeFreqList(const uint8_t* desc, uint8_t* map)
{
    const uint8_t c0 = desc[0];
    if (!(c0 & 0x80))
        decodeBitMap0(desc, map);
    else if (!(c0 & 0x08))
        decodeRange(desc, map, kRange1024);
    else
        switch ((c0 >> 1) & 3) {
        case 0: decodeRange(desc, map, kRange512); break;
        case 1: decodeRange(desc, map, kRange256); break;
        case 2: decodeRange(desc, map, kRange128); break;
        default: decodeVariableBitMap(desc, map); break;
        }
    return true;
}
