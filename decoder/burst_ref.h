// Burst layouts, known bit sequences and the GMSK references that every timing search and
// channel estimate correlates against. All signals here run at one sample per GSM symbol.
#pragma once

#include <cstdint>

#include "backend/burst_head.h"
#include "sigprim.h"

namespace corvane {

inline constexpr int kBurstLen = 148;   // samples (bits) of one burst

enum BurstClass : int32_t { kClassNormal = 0, kClassFcch = 1, kClassSch = 2 };

struct BurstLayout {
    int32_t burstClass;
    int32_t reserved0;
    uint16_t knownStart;   // bit position of the known bits within the burst
    uint16_t knownLen;
    uint16_t dataStart1;   // first and second data part
    uint16_t dataStart2;
    uint16_t dataLen;
    uint16_t reserved1;
    const uint8_t* defaultKnown;
};

extern const BurstLayout kFcchLayout;
extern const BurstLayout kSchLayout;
extern const BurstLayout kNormalLayout;

extern const uint8_t* const kFcchBits;         // 142 zero bits
extern const uint8_t* const kSchTrainingBits;  // the SCH extended training sequence, 64 bits
const uint8_t* tscBits(int tsc);               // normal-burst training sequence, 26 bits

// The reference of one context: conjugated GMSK samples of its known bits.
struct SyncRef {
    uint16_t knownStart;
    uint16_t knownLen;
    int16_t binWidth;    // frequency search half-width in FFT bins (FCCH search only)
    float threshold;     // detection threshold of the normalised correlation
    cf32 ref[kBurstLen];
};

// Kind, timeslot and frame number lead (BurstHead), as channel decoding reads them.
struct BurstCtx : BurstHead {
    const BurstLayout* layout;
    const uint8_t* known;
    SyncRef ref;
};

// Linearised GMSK of len known bits: each symbol adds pi/2 of phase, 1.2968 rad at its own
// sample and 0.2739 rad one sample earlier; parity selects the start phase (p * pi/2).
void gmskRef(const uint8_t* bits, cf32* out, int len, int parity);

// Sets kind, layout and known bits of a context and builds its reference.
void setupBurstCtx(BurstCtx* ctx, BurstKind kind, const BurstLayout* layout,
                   const uint8_t* known, float threshold, float searchHz);

// Builds the context's SyncRef from its layout and known bits.
void initBurstCtx(BurstCtx* ctx, float threshold, float searchHz);

}  // namespace corvane
