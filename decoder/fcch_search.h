// Frequency-correction burst search: each window is mixed down by the FCCH's own GMSK
// reference, zero-padded to 256 samples and transformed; the strongest peak within +-63 bins
// against the window's energy says whether the burst is there, and where its carrier lies.
#pragma once

#include "burst_sync.h"

namespace corvane {

inline constexpr int kSyncFftOrder = 8;
inline constexpr int kSyncFftLen = 256;
inline constexpr float kBinHz = 1057.9427f;

struct SyncBank {
    uint8_t* fftWork;            // nullptr when the transform needs none
    sigFftSpec_cf32* fftSpec;
    uint8_t* fftSpecBlock;       // the block the spec is built in
    SyncResult sync;
};

// Plans the 256-point forward FFT; false when a block cannot be allocated.
bool initSyncBank(SyncBank* bank);
void releaseSyncBank(SyncBank* bank);

// Coarse pass over the frame (20 windows, 64 samples apart). Found: sets sync.offset and
// sync.freqHz and returns true; otherwise writes nothing.
bool fcchCoarse(const cf32* burst, const SyncRef& r, SyncBank* bank);
// Fine pass, one sample apart over +-64 around sync.offset.
void fcchFine(const cf32* burst, const SyncRef& r, SyncBank* bank);
// Carrier offset in Hz of the window at burst + knownStart.
float fcchFreq(const cf32* burst, const SyncRef& r, SyncBank* bank);

// Peak energy plus the larger neighbour's within +-(W-1) bins; the peak's bin when asked.
float fcchPeak(const cf32* X, int W, int16_t* bin);
// Interpolated frequency in Hz of the peak at bin k.
float peakInterp(const cf32* X, int k);

}  // namespace corvane
