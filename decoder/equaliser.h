// 64-state maximum-likelihood sequence estimator with a 4-tap channel model and soft output
// from the competing paths of a nine-step window.
#pragma once

#include "backend/channel_decoding.h"
#include "burst_ref.h"

namespace corvane {

inline constexpr int kMlseStates = 64;


// The two process-wide constant tables.
struct MlseTables {
    cf32 hyp[kMlseStates][4];         // unit phasors of each state's hypothesis, per tap
    uint16_t pred[kMlseStates][2];    // the two predecessors; the second has bit 5 set
};

// Built once per process on first use (thread-safe); identical on every build.
const MlseTables& mlseTables();
void initMlseTables(MlseTables* t);

// The trellis of one call: 148 steps of 64 nodes. Kept by the caller so that no call
// allocates or puts ~90 KB on the stack.
struct MlseWork {
    float metric[kBurstLen][kMlseStates];
    float gap[kBurstLen][kMlseStates];
    uint8_t pred[kBurstLen][kMlseStates];
};

// Soft values of the burst's two data parts (2 x dataLen), positive for bit 1, |v| <= 5.
void equalise(const cf32* samples, const cf32* channel, const BurstCtx& ctx, float* soft,
              MlseWork* work);

}  // namespace corvane
