// Parity checks of decoded code words and octet packing.
#include "backend/channel_decoding.h"

namespace {

// Remainder of u(0..count-1), u(0) the highest power, divided by the generator of the given
// degree (generator includes its leading term).
uint64_t polyRemainder(const uint8_t* bits, int count, int degree, uint64_t generator)
{
    const uint64_t top = uint64_t{1} << degree;
    uint64_t reg = 0;
    for (int i = 0; i < count; ++i) {
        reg = (reg << 1) | bits[i];
        if (reg & top)
            reg ^= generator;
    }
    return reg;
}

constexpr int kSchInfoBits = 25, kSchParityBits = 10;
constexpr uint64_t kSchGenerator = 0x575; // D^10 + D^8 + D^6 + D^5 + D^4 + D^2 + 1
constexpr int kBcchInfoBits = 184, kFireBits = 40;
// D^40 + D^26 + D^23 + D^17 + D^3 + 1
constexpr uint64_t kFireGenerator =
    (uint64_t{1} << 40) | (1u << 26) | (1u << 23) | (1u << 17) | (1u << 3) | 1u;

} // namespace

bool checkParity(const BurstHead* ctx, const uint8_t* bits)
{
    // The parity bits are sent inverted, so an intact word leaves all ones.
    if (ctx->kind == kindSch)
        return polyRemainder(bits, kSchInfoBits + kSchParityBits, kSchParityBits, kSchGenerator) ==
               (uint64_t{1} << kSchParityBits) - 1;
    return polyRemainder(bits, kBcchInfoBits + kFireBits, kFireBits, kFireGenerator) ==
           (uint64_t{1} << kFireBits) - 1;
}

void packOctets(const uint8_t* bits, uint8_t* octets)
{
    for (int o = 0; o < kBlockOctets; ++o) {
        unsigned v = 0;
        for (int i = 0; i < 8; ++i)
            v |= (bits[8 * o + i] & 1u) << i;
        octets[o] = static_cast<uint8_t>(v);
    }
}
