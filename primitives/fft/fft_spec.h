// The FFT spec record: the plan that sigFftInit_cf32 lays into caller memory and that every
// transform kernel of the same slot reads (forward and inverse, direct and large orders).
//
// The record starts at the first 64-byte boundary of the caller's block: a head of 22 32-bit
// words (88 bytes, the struct below), then the tables. The table words hold byte offsets from
// the record start (0: no table), so a record is position-independent; resolve them with
// fftTable<T>(). The head is zeroed before a build, so every word a builder leaves alone is 0.
//
// A record is valid only for the slot whose planner built it: table formats, direct limits and
// split tables differ between slots, and the record carries no mark of its slot.
//
// Usage (a kernel of the slot-0 layout):
//     const float* tw = fftTable<float>(spec, spec->twiddles);
//     const int32_t* rev = fftTable<int32_t>(spec, spec->bitRev);
#pragma once

#include <cstddef>
#include <cstdint>

#include "sigprim.h"

struct sigFftSpec_cf32 {
    int32_t tag;             // word 0: kFftSpecTag for a usable record; transforms test it
    int32_t order;           // word 1: N = 2^order points
    int32_t fwdScale;        // word 2: forward output times factor when non-zero
    int32_t invScale;        // word 3: inverse output times factor when non-zero
    float factor;            // word 4: 1/N, 1/sqrt(N) or 0 (flag 8)
    int32_t hint;            // word 5: the caller's hint, stored and never read
    int32_t workBytes;       // word 6: bytes of work buffer a transform needs (0: none)
    int32_t unused7[3];      // words 7-9
    int32_t bitRev;          // word 10: bit-reversal table (always head end, 88) or 0
    int32_t twiddles;        // word 11: radix twiddles of the directly transformed size
    int32_t cross;           // word 12: cross-block twiddles of a blocked transform
    int32_t cross2;          // word 13: never written
    int32_t unused14[2];     // words 14-15
    int32_t colRadix[3];     // words 16-18: slot 0: radix twiddles of the columns at depth d
    int32_t colTwiddles[3];  // words 19-21: column twiddles at split depth d
};

namespace sig::fft {

static_assert(sizeof(sigFftSpec_cf32) == 88, "the head is 22 words");

inline constexpr int32_t kFftSpecTag = 4;
inline constexpr int32_t kHeadBytes = 88;
inline constexpr int32_t kMaxSplitOrder = 30;  // orders the size query accepts before the slot limit

// Per slot 0..6: highest small order (no tables), highest direct order, highest order.
inline constexpr int32_t kSmallLimit[7] = {5, 5, 5, 5, 5, 6, 6};
inline constexpr int32_t kDirectLimit[7] = {10, 15, 17, 15, 17, 18, 18};
inline constexpr int32_t kOrderLimit[7] = {27, 28, 28, 28, 28, 28, 28};

// Large orders: a transform of 2^m points is split into 2^T row transforms of 2^(m-T) points and
// a combination over 2^T points (T = 0: blocks of 1024 combined by cross-block passes, slot 0
// only). On slots 1-6 the work buffer of the combination holds 2^G complex values. The size
// query, the planners and the large-order drivers of both directions read these same tables.
inline constexpr int8_t kSplitT[7][kMaxSplitOrder + 1] = {
    // order:  0..10                         11 12 13 14 15 16 17 18 19  20  21  22 23 24  25..30
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 6, 7, 8, 8, 8, 10, 10, 10, 10, 8, 8, 10, 10, 10, 10, 10, 10},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 4, 4, 6, 6, 6, 8, 8, 8, 8, 8, 8, 8, 8, 8},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 4, 6, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 4, 4, 4, 6, 6, 8, 8, 8, 8, 8, 8, 8, 8, 8},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 4, 4, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 8, 8, 8, 8},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 8, 8, 8, 8},
};
inline constexpr int8_t kSplitG[7][kMaxSplitOrder + 1] = {
    {},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 9, 10, 10, 13, 13, 13, 14, 14, 14, 14, 14, 14, 14, 14, 14},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10, 10, 12, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10, 10, 10, 10, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10, 10, 10, 14, 14, 14, 14, 14, 14, 14, 14, 14, 14},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10, 10, 10, 10, 14, 14, 14, 14, 14, 14, 14, 14},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 10, 10, 10, 10, 14, 14, 14, 14, 14, 14, 14, 14},
};

// Vector slots: from this order on, word 10 holds the block-index table of tiles of 2^b x 2^b
// values (followed by the tile swap list of order 2b) instead of the index table of the order.
inline constexpr int32_t kBlockBitRevFrom[7] = {0, 17, 19, 17, 19, 19, 19};
inline constexpr int32_t kTileOrder[7] = {0, 6, 6, 5, 6, 6, 6};

// sin(2*pi*k/1024) for k = 0..256, correctly rounded floats: the sine source of orders 6 to 10.
extern const float sigkFftSine1024[257];

// Resolves a table word to its address (nullptr for 0). static: every translation unit keeps
// its own copy, so no per-slot object can lend its instructions to another slot.
template <class T>
static inline T* fftTable(sigFftSpec_cf32* spec, int32_t offset)
{
    return offset == 0 ? nullptr : reinterpret_cast<T*>(reinterpret_cast<char*>(spec) + offset);
}
template <class T>
static inline const T* fftTable(const sigFftSpec_cf32* spec, int32_t offset)
{
    return offset == 0 ? nullptr
                       : reinterpret_cast<const T*>(reinterpret_cast<const char*>(spec) + offset);
}

// The offset word for a table placed at p inside the record.
static inline int32_t fftOffset(const sigFftSpec_cf32* spec, const void* p)
{
    return static_cast<int32_t>(static_cast<const char*>(p) - reinterpret_cast<const char*>(spec));
}

// First 64-byte boundary at or after p.
template <class T>
static inline T* fftAlign64(T* p)
{
    uintptr_t a = (reinterpret_cast<uintptr_t>(p) + 63) & ~static_cast<uintptr_t>(63);
    return reinterpret_cast<T*>(a);
}

}  // namespace sig::fft
