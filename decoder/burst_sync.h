// Burst timing search against a context's GMSK reference, the fractional-delay alignment and
// the channel estimate that normalises a burst and gives the equaliser its taps.
#pragma once

#include "burst_ref.h"

namespace corvane {

// Where the burst begins relative to the read position, and the carrier offset estimate.
struct SyncResult {
    int16_t offset;   // samples
    float fraction;   // of a sample, from the parabolic peak of the timing search
    float freqHz;
};

struct ChanState {
    cf32 chanTaps[7];    // smoothed estimate; tap i stands for a delay of i - 1 samples
    cf32 shapedTaps[7];  // handed to the equaliser, which uses the first four
    cf32 normFactor;     // the last burst's normalising factor
};

// Normalised correlation over the 2h + 1 shifts around S->offset. On success moves
// S->offset to the best shift, sets S->fraction and returns true; on failure S is unchanged.
bool schSearch(const cf32* burst, const SyncRef& r, SyncResult* S, int h);

// schSearch with half-width 5 on the context's reference: &S or nullptr.
SyncResult* syncBurst(const BurstCtx& ctx, SyncResult* S, const cf32* burst);

// Weights of the 5-point Lagrange interpolation at nodes -2..2, evaluated at x.
void lagrangeCoefs(float x, float w[5]);

// dst[n] = sum_k w[k] * src[n - 2 + k], n < 148: reads src[-2] .. src[149].
void fracDelay(const cf32* src, const float w[5], cf32* dst);

// Normalises the burst y (148 samples) in place by its correlation with the reference and
// smooths the seven lagged correlations into chanTaps.
void estChannel(const BurstCtx& ctx, cf32* y, ChanState* state);

// chanTaps minus the GMSK pulse the equaliser's hypotheses already hold, scaled by 0.97.
const cf32* shapeChannel(ChanState* state);

}  // namespace corvane
