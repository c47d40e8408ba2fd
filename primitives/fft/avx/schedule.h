// The schedules of slots 5 and 6: the fused transform of the middle orders and the row transform
// of the large orders, either direction, each a sequence of calls to the slot's named kernels
// (fft/fft_kernels.h, their bodies in fft/avx/fused.h).
//
//     fusedTransform<Dir::Fwd, false>(src, dst, n, twiddles, bitRevTable, work);   // orders 7-18
//     blockTransform<Dir::Fwd, false>(row, n, twiddles, work, interleave);         // 2^15-2^18
//
// Sub-transforms of up to 2048 points (16 KiB) are swept pass by pass; larger ones are done
// depth first by quarters, each quarter finished before the next begins, and joined by one pass.
// Every sub-transform reads the twiddle table from its start (a stretch depends only on its
// stride) and returns the position past the stretches it used, which is where the next stride's
// stretch begins.
//
// Work area: the fused transform works in dst when dst is 32-byte aligned and is not src, the row
// transform in the row itself when it is 32-byte aligned; otherwise in the work buffer (n values,
// 32-byte aligned). Either way the last pass lands the result in dst, so an unaligned row costs
// no extra copy.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fft/avx/fused.h"
#include "fft/fft_kernels.h"

namespace sig::SIG_NS::avx {

// The slot's named kernels of one direction.
template <Dir D>
struct Kernels {
    static constexpr bool kFwd = D == Dir::Fwd;
    static constexpr auto firstEven = kFwd ? sigkFftFusedFirstEvenFwd_cf32 : sigkFftFusedFirstEvenInv_cf32;
    static constexpr auto firstOdd = kFwd ? sigkFftFusedFirstOddFwd_cf32 : sigkFftFusedFirstOddInv_cf32;
    static constexpr auto early = kFwd ? sigkFftRadix4EarlyFwd_cf32 : sigkFftRadix4EarlyInv_cf32;
    static constexpr auto earlyOdd = kFwd ? sigkFftRadix4EarlyOddFwd_cf32 : sigkFftRadix4EarlyOddInv_cf32;
    static constexpr auto pass = kFwd ? sigkFftRadix4PassFwd_cf32 : sigkFftRadix4PassInv_cf32;
    static constexpr auto quarter = kFwd ? sigkFftFusedQuarterFwd_cf32 : sigkFftFusedQuarterInv_cf32;
    static constexpr auto rowQuarter = kFwd ? sigkFftRadixQuarterFwd_cf32 : sigkFftRadixQuarterInv_cf32;
    static constexpr auto rowFirstEven = kFwd ? sigkFftRadixFirstEvenFwd_cf32 : sigkFftRadixFirstEvenInv_cf32;
    static constexpr auto rowFirstOdd = kFwd ? sigkFftRadixFirstOddFwd_cf32 : sigkFftRadixFirstOddInv_cf32;
};

inline bool evenOrder(int32_t n) { return (n & 0x55555555) != 0; }
inline bool aligned32(const void* p) { return (reinterpret_cast<uintptr_t>(p) & 31) == 0; }

// Radix-4 passes from stride s with count groups while more than 4 groups remain, the stretch of
// stride s at p; returns the stretch of the stride that is left, the one the closing pass reads.
template <Dir D>
const float* passesWhileMoreThanFour(float* area, const float* p, int32_t s, int32_t count)
{
    while (count > 4) {
        count /= 4;
        Kernels<D>::pass(area, p, s, count);
        p += 6 * s;
        s *= 4;
    }
    return p;
}

// All passes but the last of an m-point sub-transform (m <= 2048) whose first stage is done.
template <Dir D>
const float* sweep(float* area, int32_t m, const float* table)
{
    if (evenOrder(m)) {
        Kernels<D>::early(area, table, m);
        return passesWhileMoreThanFour<D>(area, table + 24, 16, m / 16);
    }
    Kernels<D>::earlyOdd(area, table, m);
    return passesWhileMoreThanFour<D>(area, table + 48, 32, m / 32);
}

// The quarter routine of the fused transform.
template <Dir D>
const float* fusedQuarter(float* area, int32_t m, const float* table)
{
    const float* p = nullptr;
    if (m > 2048) {
        for (int32_t i = 0; i < 4; ++i)
            p = Kernels<D>::quarter(area + i * ptrdiff_t{m / 2}, m / 4, table);
    } else {
        p = sweep<D>(area, m, table);
    }
    Kernels<D>::pass(area, p, m / 4, 1);
    return p + 6 * (m / 4);
}

template <Dir D, bool Fma>
void fusedTransform(const cf32* src, cf32* dst, int32_t n, const float* table, const int32_t* bitRev,
                    cf32* work)
{
    float* area = aligned32(dst) && dst != src ? &dst->re : &work->re;
    if (evenOrder(n))
        Kernels<D>::firstEven(src, area, bitRev, n);
    else
        Kernels<D>::firstOdd(src, area, bitRev, n);
    const float* p = nullptr;
    if (n <= 2048) {
        p = sweep<D>(area, n, table);
    } else {
        for (int32_t i = 0; i < 4; ++i)
            p = Kernels<D>::quarter(area + i * ptrdiff_t{n / 2}, n / 4, table);
    }
    lastPass<D, Fma>(area, dst, p, n);
}

// The quarter recursion of the row transform: leaves of 1024 (even) or 2048 (odd) points take
// their first pass from the row's consecutive points; the odd leaf's stride-8 pass is a general
// pass over its groups.
template <Dir D>
const float* rowQuarter(const cf32* src, int32_t m, const float* table, float* dst)
{
    const float* p = nullptr;
    if (m > 2048) {
        for (int32_t i = 0; i < 4; ++i)
            p = Kernels<D>::rowQuarter(src + i * ptrdiff_t{m / 4}, m / 4, table, dst + i * ptrdiff_t{m / 2});
    } else if (evenOrder(m)) {
        Kernels<D>::rowFirstEven(src, dst, m);
        Kernels<D>::early(dst, table, m);
        p = passesWhileMoreThanFour<D>(dst, table + 24, 16, m / 16);
    } else {
        Kernels<D>::rowFirstOdd(src, dst, m);
        p = passesWhileMoreThanFour<D>(dst, table, 8, m / 8);
    }
    Kernels<D>::pass(dst, p, m / 4, 1);
    return p + 6 * (m / 4);
}

// The row transform: n = 2^15 .. 2^18 points already in bit-reversed order at data, transformed
// in place into natural order, interleaved (interleave) or in split blocks.
template <Dir D, bool Fma>
void blockTransform(cf32* data, int32_t n, const float* table, cf32* work, bool interleave)
{
    float* area = aligned32(data) ? &data->re : &work->re;
    const float* p = nullptr;
    for (int32_t i = 0; i < 4; ++i)
        p = Kernels<D>::rowQuarter(data + i * ptrdiff_t{n / 4}, n / 4, table, area + i * ptrdiff_t{n / 2});
    lastPass<D, Fma>(area, data, p, n, interleave);
}

}  // namespace sig::SIG_NS::avx
