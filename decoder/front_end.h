// The front end: 48-tap decimate-by-2 filter, frequency correction by a complex tone, running
// mean power, and the bookkeeping of held input and of the read position of the frame's burst.
#pragma once

#include <cstdint>

#include "sigprim.h"

namespace corvane {

inline constexpr int kFrameIn = 2500;    // input samples per TDMA frame (two per symbol)
inline constexpr int kBlockIn = 3292;    // input samples a block needs
inline constexpr int kBlockOut = 1646;   // corrected samples per block (one per symbol)
inline constexpr int kFrameOut = 1250;   // a TDMA frame at one sample per symbol
inline constexpr int kInBufLen = 7500;
inline constexpr int kResetHeld = 47;
inline constexpr int kResetReadPos = 120;
inline constexpr int kFrontTaps = 48;
inline constexpr float kOutRate = 270833.34375f;

struct FrontEnd {
    int32_t held;               // negative: input samples still to be skipped
    cf32 inBuf[kInBufLen];
    cf32* taps;
    cf32* dlyImage;
    sigFirMrState_cf32* firState;
    uint8_t* firBlock;          // the block the filter state is built in
    float meanPower;
    cf32 firOut[kBlockOut];
    float outRate;
    float tonePhase;            // in [0, 2 pi)
    float relFreq;              // in [0, 1)
    cf32 corr[kBlockOut];
    int32_t readPos;
};

// Builds taps, delay-line image and filter state; false when a block cannot be allocated
// (what was made is left for releaseFrontFir).
bool initFrontFir(FrontEnd* fe);
void releaseFrontFir(FrontEnd* fe);

// One block: 1646 corrected samples from the first 3292 held inputs; held drops by 2500.
void frontEnd(FrontEnd* fe);

// Held count 47 (zeros), read position 120, correction 0, corrected block zero.
void frontEndReset(FrontEnd* fe);

// The correction tone turns at -f Hz, folded into [0, outRate).
void setCorrection(FrontEnd* fe, float f);

}  // namespace corvane
