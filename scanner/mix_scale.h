// The scale factor of the decoder workers' mixing multiply. Every channel of a capture is mixed
// down by multiplying the capture with a tone of magnitude 3276; the product must stay linear,
// so that the channel filter sees every carrier at its own level: a saturating product would
// hard-limit the capture, pass only its strongest carrier and spread copies of it onto other
// channels. One scale factor serves the whole capture, chosen from the capture's peak.
#pragma once

#include <cstdint>

#include "sigprim.h"

inline constexpr int32_t kMixToneMagnitude = 3276;

// The largest modulus the scale factor allows a sample of the mixing tone: the exact tone with
// each component rounded to the nearest integer and, on the vector slots, off by the
// single-precision recurrence's error, at most 14 units per component all told, so the modulus
// stays below 3276 + 14 sqrt 2 < 3296 (the largest found, just off multiples of 1/8 of the sample
// rate, is about 3290.4: the mixer's tests pin it).
inline constexpr int32_t kMixToneModulusBound = 3296;

// The largest squared modulus re^2 + im^2 among the first len samples (0 when len < 1); at
// most 2^31, reached by (-32768, -32768).
uint32_t capturePeakNorm(const cs16* capture, int32_t len);

// The smallest scale factor, 0 to 13, for which no product of the mixing tone and a sample of
// squared modulus at most peakNorm saturates: a capture at a few LSB keeps every bit, a
// full-scale one fits.
int32_t mixScaleFactor(uint32_t peakNorm);
