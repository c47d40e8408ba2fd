// Channel decoding of the SCH and the BCCH (TS 45.003 4.7 and 4.1): from the equaliser's soft
// values to parity-checked information bits and octets.
//
// Soft values: one float per coded bit, positive for bit 1, negative for bit 0, magnitude at
// most 5. Decoded bits: one byte per bit, 0 or 1. Octets: least significant bit first.
//
// Per burst the burst chain calls collectBits; when it reports a complete code word,
// viterbiDecode, checkParity and, when that passes, packOctets.
#pragma once
#include <cstdint>

#include "backend/burst_head.h"

constexpr float kSoftMax = 5.0f;

constexpr int kSchDataLen = 39;       // soft values per SCH data part
constexpr int kSchCodedBits = 78;     // one SCH burst
constexpr int kSchDecodedBits = 39;   // 25 information, 10 parity, 4 tail
constexpr int kBcchDataLen = 57;      // soft values per normal-burst data part
constexpr int kBcchBurstBits = 114;   // one BCCH burst (two data parts)
constexpr int kBcchCodedBits = 456;   // four bursts
constexpr int kBcchDecodedBits = 228; // 184 information, 40 parity, 4 tail
constexpr int kMaxDecodedBits = 228;  // size of every decoded-bit buffer
constexpr int kBlockOctets = 23;

// Bursts of frames T3 = 2, 3, 4 wait here for the one of T3 = 5. Zero when the decoder is made
// and after each completed block; a decoder reset leaves it alone.
struct DeintArea {
    float slot[4][kBcchBurstBits];
};

// One step of the Viterbi decoder's working storage: metric and predecessor of each state.
struct TrellisStep {
    float metric[16];
    uint16_t pred[16];
};

// Stores one burst's soft values (two data parts in order: 78 for an SCH, 114 for a BCCH
// burst). True when coded holds a complete code word: 78 values for an SCH, 456 for a BCCH
// block (after the T3 = 5 burst). A BCCH frame number outside 2..5 stores nothing.
bool collectBits(const float* soft, DeintArea* area, const BurstHead* ctx, float* coded);

// Block-diagonal deinterleaving of the four BCCH bursts into 456 coded values.
void deint4(const float slots[4][kBcchBurstBits], float* coded);

// Soft-decision Viterbi decoding of the rate-1/2, K=5 code: 39 bits for an SCH context, 228
// for any other. bits must hold kMaxDecodedBits bytes; those past the decoded count are
// cleared. Returns the final metric of state 0.
float viterbiDecode(const float* coded, const BurstHead* ctx, uint8_t* bits);

// One add-compare-select step over the 16 states; branch[i] is the metric of output index i.
void convTrellis(const TrellisStep* from, const float branch[4], TrellisStep* to);

// SCH: the 10-bit cyclic code over u(0..34); otherwise the fire code over u(0..223).
bool checkParity(const BurstHead* ctx, const uint8_t* bits);

// Packs u(0..183) into 23 octets, least significant bit first.
void packOctets(const uint8_t* bits, uint8_t* octets);
