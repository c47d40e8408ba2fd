// The FFT's internal kernels, declared inside the including slot's namespace (compile through
// sig_slot_sources). Kernels check nothing unless stated; they read a record that the same
// slot's planner built (fft/fft_spec.h).
//
// Bit-reversed working order: every butterfly kernel takes its input already permuted by a
// bit-reversal kernel and leaves natural order; the small-order kernels take natural order.
#pragma once

#include "core/slot.h"
#include "fft/fft_spec.h"
#include "sigprim.h"

namespace sig::SIG_NS {

// The table layout this slot's size query and planner lay out and its transform kernels read:
// the plain layout (0) on slot 0, each vector slot's own layout on the others, at every order.
inline constexpr int32_t kFftLayout = kSlot;

// ---- Tables and planning (every slot builds its own layout) ------------------------------------
// Each builder writes one table at dst and returns the first 64-byte boundary after it.
float* sigkFftSineTable_cf32(int32_t order, float* dst);
void* sigkFftTwiddleTable_cf32(int32_t order, const float* sine, int32_t sineOrder, void* dst);
int32_t* sigkFftBitRevSwapTable_cf32(int32_t order, int32_t* dst);   // swap list (slot 0 format)
int32_t* sigkFftBitRevTable_cf32(int32_t order, int32_t* dst);       // index table (slots 1-6)
int32_t* sigkFftBitRevTableLarge_cf32(int32_t order, int32_t b, int32_t* dst);

// ---- Bit reversal ------------------------------------------------------------------------------
// dst[r(x)] = src[x] (copy, src != dst) or the exchange of x and r(x) (in place) for the n values,
// r the log2(n)-bit reversal. Slot 0 reads the swap list, slots 1-6 the index table.
void sigkBitRevCopy_cf32(const cf32* src, cf32* dst, int32_t n, const int32_t* table);
void sigkBitRevInPlace_cf32(cf32* data, int32_t n, const int32_t* table);
#if SIG_SLOT >= 1
// In place by a swap list (the tile table of the large orders).
void sigkBitRevPairs_cf32(cf32* data, int32_t n, const int32_t* table);
#endif

// ---- Plain transform kernels (slot 0) ----------------------------------------------------------
#if SIG_SLOT == 0
// All passes of an n-point forward transform (4 <= n <= 1024) over bit-reversed data, in place.
int32_t sigkFftRadixFwd_cf32(cf32* data, int32_t n, const float* twiddles);
// Orders 11 to 27: bit reversal, blocks or four-step split, scaling at the leaves.
void sigkFftFwdLarge_cf32(const sigFftSpec_cf32* spec, const cf32* src, cf32* dst, int32_t order,
                          cf32* work);
void sigkFftLargeSplit_cf32(const sigFftSpec_cf32* spec, cf32* data, int32_t order, int32_t depth,
                            cf32* work);
// Combines total/blockLen transformed blocks (bit-reversed block order) by radix-2 passes.
void sigkFftCrossBlock_cf32(cf32* data, ptrdiff_t total, ptrdiff_t blockLen, const float* twiddles);
#endif

// Multiplies count floats by factor: data NULL -8, count <= 0 -6; factor exactly 1 leaves the
// data alone, factor 0 zero-fills.
sigStatus sigkScale_f32(float factor, float* data, int32_t count);

// ---- Small orders ------------------------------------------------------------------------------
// Slot 0's are defined here, those of slots 1-6 with their vector kernels. Natural order in and out; every input is read before an output is written (src == dst is
// allowed). The 1- and 2-point kernels serve both directions.
using FftSmallKernel = void (*)(const cf32* src, cf32* dst);
using FftSmallScaledKernel = void (*)(const cf32* src, cf32* dst, float factor);
inline constexpr int32_t kFftSmallCount = kSlot >= 5 ? 7 : 6;  // orders 0..5, or 0..6
struct FftSmallTable {
    FftSmallKernel unscaled[kFftSmallCount];
    FftSmallScaledKernel scaled[kFftSmallCount];
};
extern const FftSmallTable sigkFftSmallTable_cf32;  // the forward table of this slot

void sigkFftN1_cf32(const cf32* src, cf32* dst);
void sigkFftN2_cf32(const cf32* src, cf32* dst);
void sigkFftN1Scaled_cf32(const cf32* src, cf32* dst, float factor);
void sigkFftN2Scaled_cf32(const cf32* src, cf32* dst, float factor);
void sigkFftFwdN4_cf32(const cf32* src, cf32* dst);
void sigkFftFwdN8_cf32(const cf32* src, cf32* dst);
void sigkFftFwdN16_cf32(const cf32* src, cf32* dst);
void sigkFftFwdN32_cf32(const cf32* src, cf32* dst);
void sigkFftFwdN4Scaled_cf32(const cf32* src, cf32* dst, float factor);
void sigkFftFwdN8Scaled_cf32(const cf32* src, cf32* dst, float factor);
void sigkFftFwdN16Scaled_cf32(const cf32* src, cf32* dst, float factor);
void sigkFftFwdN32Scaled_cf32(const cf32* src, cf32* dst, float factor);
// The inverse twins of orders 2 to 5 and the inverse table, which every slot has (slot 0's with
// the plain inverse kernels): entries by order, unscaled then scaled, orders 0 and 1 being the
// direction-free kernels.
void sigkFftInvN4_cf32(const cf32* src, cf32* dst);
void sigkFftInvN8_cf32(const cf32* src, cf32* dst);
void sigkFftInvN16_cf32(const cf32* src, cf32* dst);
void sigkFftInvN32_cf32(const cf32* src, cf32* dst);
void sigkFftInvN4Scaled_cf32(const cf32* src, cf32* dst, float factor);
void sigkFftInvN8Scaled_cf32(const cf32* src, cf32* dst, float factor);
void sigkFftInvN16Scaled_cf32(const cf32* src, cf32* dst, float factor);
void sigkFftInvN32Scaled_cf32(const cf32* src, cf32* dst, float factor);
extern const FftSmallTable sigkFftInvSmallTable_cf32;

// ---- Large-order helpers of the vector slots (slots 1-4 here; 5 and 6 with their kernels) ------
#if SIG_SLOT >= 1 && SIG_SLOT <= 4
// Rows of width values (rounded up to 8) from a strided matrix into a contiguous buffer, and back;
// scatter mode 1 turns the blocked split layout (4 re, 4 im per 32 bytes) back to interleaved.
void sigkFftTileGather_cf32(const cf32* src, cf32* dst, int32_t stride, int32_t rows, int32_t width);
void sigkFftTileScatter_cf32(cf32* dst, const cf32* src, int32_t stride, int32_t rows,
                             int32_t width, int32_t mode);
// One radix-4 pass over count groups of 4 quarters of a values, blocked split layout; the
// inverse multiplies by the conjugated factors and turns by +j. data2 is the same tile, unread.
void sigkFftRadix4Cols_cf32(float* data, float* data2, int32_t a, int32_t count,
                            const float* twiddles);
void sigkFftRadix4ColsInv_cf32(float* data, float* data2, int32_t a, int32_t count,
                               const float* twiddles);
#endif

// ---- Forward vector kernels of slots 1-6 (built with the vector transforms) --------------------
#if SIG_SLOT >= 1
void sigkFftFwdFused_cf32(const cf32* src, cf32* dst, int32_t n, const float* twiddles,
                          const int32_t* bitRevTable, cf32* work);
// The large orders above the direct limit (fft/large/): bit reversal in tiles or whole, rows by
// the slot's radix kernel or a further split, radix-4 column passes; the leaves apply the
// direction's scaling. The split steps leave 2^order bit-reversed values at data transformed
// in the blocked split layout, reading the column table of depth (1 or 2).
void sigkFftFwdLarge_cf32(const sigFftSpec_cf32* spec, const cf32* src, cf32* dst, int32_t order,
                          cf32* work);
void sigkFftInvLarge_cf32(const sigFftSpec_cf32* spec, const cf32* src, cf32* dst, int32_t order,
                          cf32* work);
void sigkFftLargeSplit_cf32(const sigFftSpec_cf32* spec, cf32* data, int32_t order, int32_t depth,
                            cf32* work);
void sigkFftInvLargeSplit_cf32(const sigFftSpec_cf32* spec, cf32* data, int32_t order,
                               int32_t depth, cf32* work);
#endif

// ---- Cross-block passes (fft/cross_block.h) -----------------------------------------------------
#if SIG_SLOT >= 1
// Merges the n/span transformed blocks of span values at data, interleaved, into one n-point
// transform in place, with the cross-block table of n points (e^(-j 2 pi i / n) as (cos, -sin),
// i < n/4); span and n are powers of two, any other value leaves data untouched. step/2 positions
// per half-block form a loop group; flag is not read. The inverse takes the conjugate factors.
void sigkFftCrossBlock_cf32(cf32* data, int32_t n, int32_t span, const float* twiddles, int32_t flag,
                            int32_t step);
void sigkFftInvCrossBlock_cf32(cf32* data, int32_t n, int32_t span, const float* twiddles,
                               int32_t flag, int32_t step);
#endif

// ---- Kernels of slots 1 to 4 (fft/sse/) ----------------------------------------------------------
#if SIG_SLOT >= 1 && SIG_SLOT <= 4
// Middle orders: bit reversal fused into the first stage, radix-4 passes over the split layout
// (slot 1: fft/sse/level1_slot.cpp; slots 2 to 4, in 2048-point blocks: fft/sse/blocked_slot.cpp).
void sigkFftInvFused_cf32(const cf32* src, cf32* dst, int32_t n, const float* twiddles,
                          const int32_t* bitRevTable, cf32* work);
// All passes over n values already in bit-reversed order, in place; flag 1 leaves interleaved
// natural order, flag 0 the split layout of groups of 4 values (4 real, then 4 imaginary parts).
void sigkFftRadixFwd_cf32(cf32* data, int32_t n, const float* twiddles, cf32* work, int32_t flag);
void sigkFftRadixInv_cf32(cf32* data, int32_t n, const float* twiddles, cf32* work, int32_t flag);
#endif

// ---- Kernels of slots 5 and 6 (fft/avx/) ---------------------------------------------------------
#if SIG_SLOT >= 5
// Small orders 0 to 6, straight-line, both directions; the inverse table holds the same 1- and
// 2-point kernels as the forward one.
void sigkFftFwdN64_cf32(const cf32* src, cf32* dst);
void sigkFftFwdN64Scaled_cf32(const cf32* src, cf32* dst, float factor);
void sigkFftInvN64_cf32(const cf32* src, cf32* dst);
void sigkFftInvN64Scaled_cf32(const cf32* src, cf32* dst, float factor);

// Orders 7 to 18 (fft/avx/schedule.h): bit reversal fused into the first butterflies, radix-4
// passes over the split layout, the last pass writing the interleaved result. The area holds n
// values, 32-byte aligned; twiddles is the spec's radix-4 table, or a stretch of it.
void sigkFftInvFused_cf32(const cf32* src, cf32* dst, int32_t n, const float* twiddles,
                          const int32_t* bitRevTable, cf32* work);
// First stages from the source through the bit-reversal table: n/4 quad slots of 4-point
// transforms (even orders), n/8 split blocks of 8-point transforms (odd orders).
void sigkFftFusedFirstEvenFwd_cf32(const cf32* src, float* area, const int32_t* bitRevTable, int32_t n);
void sigkFftFusedFirstEvenInv_cf32(const cf32* src, float* area, const int32_t* bitRevTable, int32_t n);
void sigkFftFusedFirstOddFwd_cf32(const cf32* src, float* area, const int32_t* bitRevTable, int32_t n);
void sigkFftFusedFirstOddInv_cf32(const cf32* src, float* area, const int32_t* bitRevTable, int32_t n);
// The stride-4 pass (quad slots in, split blocks out) and the stride-8 pass over m points (a
// multiple of 32), every group with the one record at twiddles.
void sigkFftRadix4EarlyFwd_cf32(float* area, const float* twiddles, int32_t m);
void sigkFftRadix4EarlyInv_cf32(float* area, const float* twiddles, int32_t m);
void sigkFftRadix4EarlyOddFwd_cf32(float* area, const float* twiddles, int32_t m);
void sigkFftRadix4EarlyOddInv_cf32(float* area, const float* twiddles, int32_t m);
// One pass of stride s (a multiple of 8) over count groups of 4s points, the stretch of stride s
// at twiddles read again for every group.
void sigkFftRadix4PassFwd_cf32(float* area, const float* twiddles, int32_t s, int32_t count);
void sigkFftRadix4PassInv_cf32(float* area, const float* twiddles, int32_t s, int32_t count);
// Completes the m-point sub-transform whose first stage is in the area, depth first by quarters
// above 2048 points; twiddles is the table start, the result the stretch of stride m.
const float* sigkFftFusedQuarterFwd_cf32(float* area, int32_t m, const float* twiddles);
const float* sigkFftFusedQuarterInv_cf32(float* area, int32_t m, const float* twiddles);

// Rows of the large orders (fft/avx/block_slot.cpp): n = 2^15 to 2^18 values already in
// bit-reversed order, transformed in place; flag 1 leaves interleaved natural order, flag 0 the
// split layout of groups of 8 values (8 real, then 8 imaginary parts). work (n values, 32-byte
// aligned) is used only when data is not 32-byte aligned; twiddles is the radix table of a record
// planned for an order of the rows' parity.
void sigkFftRadixFwd_cf32(cf32* data, int32_t n, const float* twiddles, cf32* work, int32_t flag);
void sigkFftRadixInv_cf32(cf32* data, int32_t n, const float* twiddles, cf32* work, int32_t flag);
// Its quarter recursion: m bit-reversed points at src into their transform in split blocks at dst
// (dst may be src), leaves of at most 2048 points; the result is the table position after the
// last stretch used. Its first passes over m consecutive bit-reversed points (a multiple of 32),
// into quad slots of 4-point transforms (even) or split blocks of 8-point transforms (odd).
const float* sigkFftRadixQuarterFwd_cf32(const cf32* src, int32_t m, const float* twiddles, float* dst);
const float* sigkFftRadixQuarterInv_cf32(const cf32* src, int32_t m, const float* twiddles, float* dst);
void sigkFftRadixFirstEvenFwd_cf32(const cf32* src, float* dst, int32_t m);
void sigkFftRadixFirstEvenInv_cf32(const cf32* src, float* dst, int32_t m);
void sigkFftRadixFirstOddFwd_cf32(const cf32* src, float* dst, int32_t m);
void sigkFftRadixFirstOddInv_cf32(const cf32* src, float* dst, int32_t m);

// Column phase and tile moves (fft/avx/columns_slot.cpp). One radix-4 pass of span t (a multiple
// of 16) over count groups of 4t values of a 32-byte aligned tile in the split layout of groups
// of 8, factors 32-byte aligned; data2 is the same tile and is not read. Gather widths are multiples of 16, scatter widths
// of 8; scatter mode non-zero turns split groups of 8 into interleaved values.
void sigkFftRadix4Cols_cf32(float* data, float* data2, int32_t t, int32_t count, const float* twiddles);
void sigkFftRadix4ColsInv_cf32(float* data, float* data2, int32_t t, int32_t count,
                               const float* twiddles);
void sigkFftTileGather_cf32(const cf32* src, cf32* dst, int32_t stride, int32_t rows, int32_t width);
void sigkFftTileScatter_cf32(cf32* dst, const cf32* src, int32_t stride, int32_t rows, int32_t width,
                             int32_t mode);
#endif

}  // namespace sig::SIG_NS
