// The large-order transform of the vector slots, both directions, as one algorithm over a slot's
// parameters and kernels: the four-step split of 2^order points into 2^T1 rows of 2^(order-T1)
// points after a bit reversal of the whole array.
//
//   1. Bit reversal into dst (dst[p] = src[rev(p)]): below the slot's first tiled order by the
//      whole-array kernels; above it in 2^b x 2^b tiles moved through the work area, gathered
//      straight from src up to the copy threshold, from there on copied into dst in chunks and
//      exchanged in place there, each pair of partner tiles once, at the smaller index.
//   2. Rows: the slot's row kernel leaves each row's spectrum in the blocked split layout and the
//      direction's scaling is applied to it (once per point, at the leaves only); a row longer
//      than the row kernel takes is split again with the same tables one depth further down.
//   3. Columns: groups of W = 2^(T2-T1) columns are gathered as a 2^T1 x W tile, run through T1/2
//      radix-4 column passes and scattered back, interleaved at depth 0 and left split below.
//      The depth's column table holds the factors of every group's passes one after another, so
//      its pointer only ever advances: 3t values after a pass of several groups, t after the
//      last.
//
// Every count, offset and end is kept in 64 bits: order 28 is 2^31 bytes. Element offsets
// handed to the slot's 32-bit kernel arguments (row strides, tile offsets) stay below 2^28.
//
// A slot instantiates Large<K> with K supplying
//   static constexpr LargeLevel level;                  // the slot's parameters, below
//   static bool scaled(const sigFftSpec_cf32*);         // the direction's scale switch
//   static void row(cf32* data, int32_t n, const float* twiddles, cf32* work);
//                                                       // bit-reversed row -> split spectrum
//   static void cols(float* tile, int32_t span, int32_t groups, const float* twiddles);
//   static void gather(const cf32* matrix, cf32* tile, int32_t stride, int32_t rows, int32_t width);
//   static void scatter(cf32* matrix, const cf32* tile, int32_t stride, int32_t rows,
//                       int32_t width, int32_t interleave);
// and calls Large<K>::transform (the driver) or Large<K>::split (the split step).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/memory_kernels.h"
#include "fft/fft_kernels.h"
#include "fft/fft_spec.h"

namespace sig::SIG_NS {

// What distinguishes one slot's large path from another's besides its kernels.
struct LargeLevel {
    int32_t rowLimit;        // log2 of the longest row the row kernel transforms
    int32_t tileBits;        // tiles of 2^b x 2^b points from order tilesFrom on
    int32_t tilesFrom;       // first order bit-reversed in tiles (spec word 10: block-index table)
    bool wholeCopyFirst;     // below tilesFrom, out of place: copy, then permute in place
                             // (else the copying whole-array kernel)
    int32_t copyFirstFrom;   // from this order an out-of-place input is copied into dst first
    int32_t copyChunkOrder;  // log2 of the points per copy call
    const int8_t* splitT;    // T1 by order: log2 of the rows
    const int8_t* splitG;    // T2 by order: log2 of the points of a column tile
};

template <class K>
struct Large {
    static constexpr LargeLevel L = K::level;

    static void transform(const sigFftSpec_cf32* spec, const cf32* src, cf32* dst, int32_t order,
                          cf32* work)
    {
        bitReverse(spec, src, dst, order, work);
        split(spec, dst, order, 0, work);
    }

    // Rows and columns of 2^order bit-reversed points at data, at the given depth.
    static void split(const sigFftSpec_cf32* spec, cf32* data, int32_t order, int32_t depth,
                      cf32* work)
    {
        // The record has column tables for depths 0 to 2; the split tables never pass depth 1.
        if (depth > 2)
            __builtin_unreachable();
        const int32_t t1 = L.splitT[order];
        const int32_t s = order - t1;
        const ptrdiff_t rows = ptrdiff_t{1} << t1;
        const ptrdiff_t cols = ptrdiff_t{1} << s;
        const float* twiddles = fft::fftTable<float>(spec, spec->twiddles);
        const bool scale = K::scaled(spec);
        for (ptrdiff_t r = 0; r < rows; ++r) {
            cf32* row = data + r * cols;
            if (s <= L.rowLimit) {
                K::row(row, static_cast<int32_t>(cols), twiddles, work);
                if (scale)
                    sigkScale_f32(spec->factor, reinterpret_cast<float*>(row),
                                  static_cast<int32_t>(2 * cols));
            } else {
                split(spec, row, s, depth + 1, work);
            }
        }
        columns(spec, data, order, depth, work);
    }

private:
    static void columns(const sigFftSpec_cf32* spec, cf32* data, int32_t order, int32_t depth,
                        cf32* work)
    {
        const int32_t t1 = L.splitT[order];
        const int32_t rows = int32_t{1} << t1;
        const int32_t width = int32_t{1} << (L.splitG[order] - t1);
        const ptrdiff_t cols = ptrdiff_t{1} << (order - t1);
        float* tile = reinterpret_cast<float*>(work);
        const float* tw = fft::fftTable<float>(spec, spec->colTwiddles[depth]);
        for (ptrdiff_t h = 0; h < cols; h += width) {
            K::gather(data + h, work, static_cast<int32_t>(cols), rows, width);
            int32_t span = width;
            for (int32_t groups = rows / 4; groups >= 1; groups /= 4, span *= 4) {
                K::cols(tile, span, groups, tw);
                tw += (groups > 1 ? 6 : 2) * static_cast<ptrdiff_t>(span);  // 24t or 8t bytes
            }
            K::scatter(data + h, work, static_cast<int32_t>(cols), rows, width, depth == 0 ? 1 : 0);
        }
    }

    static void bitReverse(const sigFftSpec_cf32* spec, const cf32* src, cf32* dst, int32_t order,
                           cf32* work)
    {
        const int32_t* table = fft::fftTable<int32_t>(spec, spec->bitRev);
        const ptrdiff_t n = ptrdiff_t{1} << order;
        if (order < L.tilesFrom) {
            if (src == dst) {
                sigkBitRevInPlace_cf32(dst, static_cast<int32_t>(n), table);
            } else if (L.wholeCopyFirst) {
                copy(src, dst, n);
                sigkBitRevInPlace_cf32(dst, static_cast<int32_t>(n), table);
            } else {
                sigkBitRevCopy_cf32(src, dst, static_cast<int32_t>(n), table);
            }
            return;
        }
        const int32_t b = L.tileBits;
        const int32_t side = int32_t{1} << b;
        const int32_t points = int32_t{1} << (2 * b);
        const ptrdiff_t tiles = n >> (2 * b);
        const int32_t stride = static_cast<int32_t>(n >> b);  // the array as 2^b rows
        const int32_t* swaps = table + tiles;
        if (src != dst && order < L.copyFirstFrom) {
            for (ptrdiff_t i = 0; i < tiles; ++i) {
                K::gather(src + table[i], work, stride, side, side);
                sigkBitRevPairs_cf32(work, points, swaps);
                K::scatter(dst + i * side, work, stride, side, side, 0);
            }
            return;
        }
        if (src != dst)
            copy(src, dst, n);
        cf32* second = work + points;
        for (ptrdiff_t i = 0; i < tiles; ++i) {
            const ptrdiff_t own = i * side, partner = table[i];
            if (own > partner)
                continue;  // exchanged when the partner's index came up
            K::gather(dst + own, work, stride, side, side);
            sigkBitRevPairs_cf32(work, points, swaps);
            if (own == partner) {
                K::scatter(dst + own, work, stride, side, side, 0);
                continue;
            }
            K::gather(dst + partner, second, stride, side, side);
            sigkBitRevPairs_cf32(second, points, swaps);
            K::scatter(dst + partner, work, stride, side, side, 0);
            K::scatter(dst + own, second, stride, side, side, 0);
        }
    }

    // n points, in calls of at most 2^copyChunkOrder points (byte counts stay 32-bit).
    static void copy(const cf32* src, cf32* dst, ptrdiff_t n)
    {
        const ptrdiff_t chunk = ptrdiff_t{1} << L.copyChunkOrder;
        for (ptrdiff_t at = 0; at < n; at += chunk) {
            const ptrdiff_t count = n - at < chunk ? n - at : chunk;
            sigkCopy_u8(src + at, dst + at, static_cast<int32_t>(8 * count));
        }
    }
};

}  // namespace sig::SIG_NS
