// Test kit around libosmocore, used as an independent GSM channel encoder and decoder: coded
// bits from its encoders become this decoder's soft values (positive for 1) and, negated and
// scaled, libosmocore's own soft bits (negative for 1, -127..127) on the very same input.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

extern "C" {
#include <osmocom/coding/gsm0503_coding.h>
}

#include "backend/channel_decoding.h"

namespace osmo_kit {

// Coded bits of one BCCH block in burst order: 4 bursts x (57 + 57) data bits, the stealing
// flags that libosmocore places between the halves taken out.
inline std::array<uint8_t, kBcchCodedBits> encodeBcch(const uint8_t* octets)
{
    ubit_t bursts[4 * 116];
    gsm0503_xcch_encode(bursts, octets);
    std::array<uint8_t, kBcchCodedBits> out{};
    for (int b = 0; b < 4; ++b)
        for (int i = 0; i < kBcchDataLen; ++i) {
            out[b * 114 + i] = bursts[b * 116 + i];
            out[b * 114 + 57 + i] = bursts[b * 116 + 59 + i];
        }
    return out;
}

// SCH information octets {bsic<<2 | t1>>9, t1>>1, (t1&1)<<7 | t2<<2 | t3p>>1, t3p&1}.
inline std::array<uint8_t, 4> schOctets(unsigned bsic, unsigned t1, unsigned t2, unsigned t3p)
{
    return {static_cast<uint8_t>(bsic << 2 | t1 >> 9), static_cast<uint8_t>(t1 >> 1),
            static_cast<uint8_t>((t1 & 1) << 7 | t2 << 2 | t3p >> 1),
            static_cast<uint8_t>(t3p & 1)};
}

inline std::array<uint8_t, kSchCodedBits> encodeSch(const uint8_t* info)
{
    std::array<uint8_t, kSchCodedBits> out{};
    gsm0503_sch_encode(out.data(), info);
    return out;
}

// Bits to soft values: amplitude 1 per bit, Gaussian noise of the given deviation, limited to
// the equaliser's range.
template <size_t N>
std::array<float, N> toSoft(const std::array<uint8_t, N>& bits, float sigma, std::mt19937& rng)
{
    std::normal_distribution<float> noise(0.0f, sigma);
    std::array<float, N> soft{};
    for (size_t i = 0; i < N; ++i) {
        float v = (bits[i] ? 1.0f : -1.0f) + (sigma > 0 ? noise(rng) : 0.0f);
        soft[i] = std::clamp(v, -kSoftMax, kSoftMax);
    }
    return soft;
}

// libosmocore's soft bit for one of ours: opposite sign, full scale at kSoftMax.
inline sbit_t toOsmo(float soft)
{
    float v = std::round(-soft * (127.0f / kSoftMax));
    return static_cast<sbit_t>(std::clamp(v, -127.0f, 127.0f));
}

// The decoding chain after collection: Viterbi, parity, octets. True when the parity passes.
inline bool decodeCodeWord(const float* coded, const BurstHead* ctx, uint8_t* octets)
{
    uint8_t bits[kMaxDecodedBits];
    viterbiDecode(coded, ctx, bits);
    if (!checkParity(ctx, bits))
        return false;
    packOctets(bits, octets);
    return true;
}

// Hands a block's four bursts to the collector as the frame machine does and, when it
// completes, runs the decoding chain. True with the octets when the fire code passes.
inline bool decodeBcch(const float* soft, DeintArea* area, uint8_t* octets)
{
    BurstHead ctx{kindBcch, 0, 0};
    float coded[kBcchCodedBits];
    bool complete = false;
    for (int b = 0; b < 4; ++b) {
        ctx.frameNo = static_cast<uint16_t>(2 + b);
        complete = collectBits(soft + b * kBcchBurstBits, area, &ctx, coded);
    }
    return complete && decodeCodeWord(coded, &ctx, octets);
}

inline bool decodeSch(const float* soft, uint8_t* octets)
{
    BurstHead ctx{kindSch, 0, 1};
    float coded[kSchCodedBits];
    DeintArea unused{};
    return collectBits(soft, &unused, &ctx, coded) && decodeCodeWord(coded, &ctx, octets);
}

// libosmocore's decoder on the same soft values (burst layout with stealing flags restored).
inline bool osmoDecodeBcch(const float* soft, uint8_t* octets)
{
    sbit_t bursts[4 * 116];
    for (int b = 0; b < 4; ++b) {
        for (int i = 0; i < kBcchDataLen; ++i) {
            bursts[b * 116 + i] = toOsmo(soft[b * 114 + i]);
            bursts[b * 116 + 59 + i] = toOsmo(soft[b * 114 + 57 + i]);
        }
        bursts[b * 116 + 57] = bursts[b * 116 + 58] = -127; // stealing flags: 1
    }
    int errors = 0, total = 0;
    return gsm0503_xcch_decode(octets, bursts, &errors, &total) == 0;
}

} // namespace osmo_kit
