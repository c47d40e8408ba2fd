// This decoder's channel-decoding chain and libosmocore side by side on the same soft values:
// BCCH blocks and SCH words coded by libosmocore, turned into this decoder's soft values
// (positive for 1) and, negated and scaled, libosmocore's soft bits (negative for 1,
// -127..127). Shared by the channel-decoding tests and the back-end benchmark. A test defines
// OSMO_KIT_CHECK to have every decode checked for stale bits and writes past the octets.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <random>

extern "C" {
#include <osmocom/coding/gsm0503_coding.h>
}

#include "backend/channel_decoding.h"

#ifndef OSMO_KIT_CHECK
#define OSMO_KIT_CHECK(condition) ((void)0)
#endif

namespace osmo_kit {

using Octets = std::array<uint8_t, kBlockOctets>;

// One BCCH block's coded bits in burst order, without the stealing flags libosmocore keeps
// between the halves.
inline std::array<uint8_t, kBcchCodedBits> encodeBcch(const Octets& octets)
{
    ubit_t bursts[4 * 116];
    gsm0503_xcch_encode(bursts, octets.data());
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

inline std::array<uint8_t, kSchCodedBits> encodeSch(const std::array<uint8_t, 4>& info)
{
    std::array<uint8_t, kSchCodedBits> out{};
    gsm0503_sch_encode(out.data(), info.data());
    return out;
}

// Amplitude 1 per bit plus Gaussian noise, limited to the equaliser's range.
template <size_t N>
std::array<float, N> toSoft(const std::array<uint8_t, N>& bits, float sigma, std::mt19937& rng)
{
    std::normal_distribution<float> noise(0.0f, sigma);
    std::array<float, N> soft{};
    for (size_t i = 0; i < N; ++i)
        soft[i] = std::clamp((bits[i] ? 1.0f : -1.0f) + (sigma > 0 ? noise(rng) : 0.0f),
                             -kSoftMax, kSoftMax);
    return soft;
}

inline sbit_t toOsmo(float soft)
{
    return static_cast<sbit_t>(std::clamp(std::round(-soft * (127.0f / kSoftMax)), -127.0f, 127.0f));
}

// Viterbi, parity, octets. True when the parity passes. Stale bits past an SCH word are
// cleared, and nothing is written past the 23 octets.
inline bool decodeCodeWord(const float* coded, const BurstHead* ctx, uint8_t* octets)
{
    uint8_t bits[kMaxDecodedBits];
    std::fill(bits, bits + kMaxDecodedBits, 0xAA);
    viterbiDecode(coded, ctx, bits);
    if (ctx->kind == kindSch)
        OSMO_KIT_CHECK(std::all_of(bits + kSchDecodedBits, bits + kMaxDecodedBits,
                                   [](uint8_t b) { return b == 0; }));
    if (!checkParity(ctx, bits))
        return false;
    uint8_t out[kBlockOctets + 1];
    out[kBlockOctets] = 0x5A;
    packOctets(bits, out);
    OSMO_KIT_CHECK(out[kBlockOctets] == 0x5A);
    std::copy_n(out, kBlockOctets, octets);
    return true;
}

// The four bursts handed to the collector as the frame machine does, then the decoding chain.
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

// libosmocore's decoder on the same soft values, stealing flags restored.
inline bool osmoDecodeBcch(const float* soft, uint8_t* octets)
{
    sbit_t bursts[4 * 116];
    for (int b = 0; b < 4; ++b) {
        for (int i = 0; i < kBcchDataLen; ++i) {
            bursts[b * 116 + i] = toOsmo(soft[b * 114 + i]);
            bursts[b * 116 + 59 + i] = toOsmo(soft[b * 114 + 57 + i]);
        }
        bursts[b * 116 + 57] = bursts[b * 116 + 58] = -127;
    }
    int errors = 0, total = 0;
    return gsm0503_xcch_decode(octets, bursts, &errors, &total) == 0;
}

}  // namespace osmo_kit
