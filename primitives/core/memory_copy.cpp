// Copies and moves of one slot.
//
// Every vector path follows one rule that makes it safe for overlapping buffers in its
// direction: a step loads all its bytes before it stores any, and the bytes that the first and
// last (overlapping) stores cover are loaded before the loop starts. A forward pass therefore
// also serves a destination below an overlapping source, which the decoder relies on.
#include <string.h>

#include "core/cpu.h"
#include "core/mem_engine.h"
#include "core/mem_hooks.h"
#include "core/mem_vec.h"
#include "core/memory_kernels.h"

namespace sig::SIG_NS {

#if SIG_SLOT >= 1

namespace mem {
namespace {

// n >= step, ascending: right for separate buffers and for dst below an overlapping src. The
// loop stores whole steps of 'step' bytes, from the destination's next boundary of V::W when
// 'aligned'; the unaligned first vector and the last step's bytes are loaded up front and
// stored at the end.
template <class V, size_t step, bool aligned = true>
void forward(uint8_t* d, const uint8_t* s, size_t n)
{
    constexpr size_t k = step / V::W;
    typename V::T head = V::load(s), tail[k];
    for (size_t i = 0; i < k; ++i)
        tail[i] = V::load(s + n - step + i * V::W);
    uint8_t* const end = d + n;
    const size_t skip = aligned ? toBoundary(d, V::W) : 0;
    uint8_t* dp = d + skip;
    const uint8_t* sp = s + skip;
    for (; dp + step <= end; dp += step, sp += step) {
        typename V::T v[k];
        for (size_t i = 0; i < k; ++i)
            v[i] = V::load(sp + i * V::W);
        for (size_t i = 0; i < k; ++i)
            storeAs<V, Stores::Cached, aligned>(dp + i * V::W, v[i]);
    }
    if (dp < end)
        for (size_t i = 0; i < k; ++i)
            V::store(end - step + i * V::W, tail[i]);
    if (skip != 0)
        V::store(d, head);
}

// n >= step, descending: for dst above an overlapping src. The mirror of forward(): steps
// down from the destination's end (brought to a boundary of V::W when 'aligned').
template <class V, size_t step, bool aligned = true>
void backward(uint8_t* d, const uint8_t* s, size_t n)
{
    constexpr size_t k = step / V::W;
    typename V::T tail = V::load(s + n - V::W), head[k];
    for (size_t i = 0; i < k; ++i)
        head[i] = V::load(s + i * V::W);
    uint8_t* const end = d + n;
    const size_t cut = aligned ? reinterpret_cast<uintptr_t>(end) & (V::W - 1) : 0;
    uint8_t* dp = end - cut;
    while (dp >= d + step) {
        dp -= step;
        const uint8_t* sp = s + (dp - d);
        typename V::T v[k];
        for (size_t i = 0; i < k; ++i)
            v[i] = V::load(sp + i * V::W);
        for (size_t i = 0; i < k; ++i)
            storeAs<V, Stores::Cached, aligned>(dp + i * V::W, v[i]);
    }
    if (dp > d)
        for (size_t i = 0; i < k; ++i)
            V::store(d + i * V::W, head[i]);
    if (cut != 0)
        V::store(end - V::W, tail);
}

inline bool overlap(const uint8_t* d, const uint8_t* s, size_t n)
{
    uintptr_t a = reinterpret_cast<uintptr_t>(d), b = reinterpret_cast<uintptr_t>(s);
    return a < b + n && b < a + n;
}

// Whether a destination above an overlapping source asks a copy for what only the move gives;
// such a call goes to the move, so it gets memmove's bytes rather than a smeared copy.
inline bool needsMove(const uint8_t* d, const uint8_t* s, size_t n)
{
    return d > s && overlap(d, s, n);
}

inline bool aligned16(const void* p) { return (reinterpret_cast<uintptr_t>(p) & 15) == 0; }

void moveAny(uint8_t* d, const uint8_t* s, size_t n);

#if SIG_SLOT <= 4
// The 128-bit copies of levels 1, 3 and 4 differ in their loop step, when they ask the cache
// probe (by the count after the head), when they stream (from half the cache), whether each
// 256 KiB block of the source is touched first, and level 4's choice of direction.
struct CopyLevel {
    size_t step;           // bytes per cached loop step
    size_t probeFrom;      // probe when the count after the head reaches this
    bool streamAtHalf;     // stream at count >= size / 2 (else only above it)
    size_t touchStride;    // 0: neither blocks nor a touch pass
    bool pageDirection;    // both aligned: the direction that avoids 4 KiB aliasing
};
constexpr CopyLevel kCopyLevel1{64, 131073, true, 32, false};
constexpr CopyLevel kCopyLevel3{128, 131073, false, 0, false};
constexpr CopyLevel kCopyLevel4{64, 1048576, true, 64, true};

constexpr size_t kTouchBlock = 262144;

// Reads one byte per stride of [s, s + n), from the end down when backwards.
inline void touch(const uint8_t* s, size_t n, size_t stride, bool backwards)
{
    const volatile uint8_t* p = s;
    if (backwards) {
        for (size_t i = n; i >= stride; i -= stride)
            (void)p[i - stride];
    } else {
        for (size_t i = 0; i < n; i += stride)
            (void)p[i];
    }
}

// Streams n >= 64 bytes: an unaligned first vector, then 16-byte non-temporal stores from the
// destination's boundary (64 bytes a step, then single vectors), one fence, and the last
// bytes below 16 with an ordinary store. With a touch stride the source goes in blocks of
// 256 KiB, each touched first, the last part below 256 KiB from its end down; without, the
// whole count is one run.
void streamCopy(uint8_t* d, const uint8_t* s, size_t n, size_t stride)
{
    reportMemPath(sigMemStreamed);
    const __m128i head = V16::load(s), last = V16::load(s + n - 16);
    uint8_t* const end = d + n;
    const size_t skip = toBoundary(d, 16);
    uint8_t* dp = d + skip;
    const uint8_t* sp = s + skip;
    size_t left = n - skip;
    while (left >= 16) {
        const size_t block = stride != 0 && left >= kTouchBlock ? kTouchBlock : left;
        if (stride != 0)
            touch(sp, block, stride, block < kTouchBlock);
        uint8_t* const stop = dp + (block & ~size_t(15));
        for (; dp + 64 <= stop; dp += 64, sp += 64) {
            __m128i a = V16::load(sp), b = V16::load(sp + 16), c = V16::load(sp + 32),
                    e = V16::load(sp + 48);
            V16::storeStream(dp, a);
            V16::storeStream(dp + 16, b);
            V16::storeStream(dp + 32, c);
            V16::storeStream(dp + 48, e);
        }
        for (; dp < stop; dp += 16, sp += 16)
            V16::storeStream(dp, V16::load(sp));
        left -= block & ~size_t(15);
        if (block != kTouchBlock)
            break;
    }
    _mm_sfence();
    if (dp < end)
        V16::store(end - 16, last);
    if (skip != 0)
        V16::store(d, head);
}

// Separate buffers, both 16-byte aligned: d = (src mod 4096) - (dst mod 4096); forward when
// 0 < d <= 160 or d < -3936, where loads run ahead of the stores' page offsets; otherwise
// backward, so that no load hits an address that differs from a recent store by a small
// multiple of 4096, which the processor would take for a dependence and wait on.
inline bool backwardClearsAliasing(const uint8_t* d, const uint8_t* s)
{
    long diff = static_cast<long>(reinterpret_cast<uintptr_t>(s) & 4095) -
                static_cast<long>(reinterpret_cast<uintptr_t>(d) & 4095);
    return !((diff > 0 && diff <= 160) || diff < -3936);
}

template <const CopyLevel& level>
void copyLevel(uint8_t* d, const uint8_t* s, size_t n)
{
    if (needsMove(d, s, n))
        return moveAny(d, s, n);
    const size_t count = n - toBoundary(d, 16);
    if (count >= level.probeFrom) {
        int32_t cache = sigkCacheProbe(sigkCacheDescTable);
        if (cache > 0) {
            size_t half = static_cast<size_t>(cache) / 2;
            if (level.streamAtHalf ? count >= half : count > half)
                return streamCopy(d, s, n, level.touchStride);
        }
    }
    // A destination below an overlapping source must go forward (the ascending result).
    if (level.pageDirection && aligned16(d) && aligned16(s) && !overlap(d, s, n) &&
        backwardClearsAliasing(d, s))
        return backward<V16, level.step>(d, s, n);
    if (n < level.step)
        return moveShort(d, s, n);
    forward<V16, level.step>(d, s, n);
}
#else
// The copy bodies of levels 5 and 6, forward, without a cache probe: level 5 in 64-byte steps
// of unaligned 16-byte moves; level 6 in 64-byte steps of 32-byte moves, aligned to the
// destination from 225 bytes.
void copyBody(uint8_t* d, const uint8_t* s, size_t n)
{
#if SIG_SLOT == 5
    forward<V16, 64, false>(d, s, n);
#else
    if (n < 225)
        forward<V32, 64, false>(d, s, n);
    else
        forward<V32, 64>(d, s, n);
#endif
}

// The processor's string move, forward (the ABI keeps the direction flag clear), in the widest
// unit that the relative alignment of source and destination allows.
void repCopy(uint8_t* d, const uint8_t* s, size_t n)
{
    reportMemPath(sigMemStringMove);
    uintptr_t rel = reinterpret_cast<uintptr_t>(d) ^ reinterpret_cast<uintptr_t>(s);
    if ((rel & 1) != 0) {
        asm volatile("rep movsb" : "+D"(d), "+S"(s), "+c"(n) : : "memory");
        return;
    }
    size_t unit = (rel & 3) == 0 ? 4 : 2;
    size_t head = toBoundary(d, unit);
    if (head > n)
        head = n;
    for (size_t i = 0; i < head; ++i)
        d[i] = s[i];
    d += head;
    s += head;
    n -= head;
    size_t units = n / unit;
    if (unit == 4)
        asm volatile("rep movsl" : "+D"(d), "+S"(s), "+c"(units) : : "memory");
    else
        asm volatile("rep movsw" : "+D"(d), "+S"(s), "+c"(units) : : "memory");
    for (size_t i = 0; i < n % unit; ++i)
        d[i] = s[i];
}

constexpr size_t kRepFrom = 32768;
#endif

// Any overlap, n >= kMoveInline. The direction follows the addresses alone: backward when the
// source lies below the destination, forward otherwise.
void moveAny(uint8_t* d, const uint8_t* s, size_t n)
{
    if (n < kMoveInline)
        return moveShort(d, s, n);
#if SIG_SLOT == 6
    // Forward: the copy body, or the string move from 32768 bytes. Backward: the end brought to
    // a 32-byte boundary, then 128-byte steps down.
    if (s >= d)
        return n < kRepFrom ? copyBody(d, s, n) : repCopy(d, s, n);
    backward<V32, 128>(d, s, n);
#else
#if SIG_SLOT == 5
    // Forward moves from 32768 bytes go to the string move; all else as level 2.
    if (s >= d && n >= kRepFrom)
        return repCopy(d, s, n);
#endif
    if (d == s)
        return;
    // Level 1 in 32-byte steps; level 2 (and 5) in 64-byte steps when both are 16-byte aligned.
    const bool wide = kSlot >= 2 && aligned16(d) && aligned16(s);
    if (s > d)
        return wide ? forward<V16, 64>(d, s, n) : forward<V16, 32>(d, s, n);
    wide ? backward<V16, 64>(d, s, n) : backward<V16, 32>(d, s, n);
#endif
}

}  // namespace

#if SIG_SLOT <= 4
// Level 2 copies complex vectors with level 3's copy and guarded bytes with level 4's.
constexpr const CopyLevel& kRawLevel =
    kSlot == 1 ? kCopyLevel1 : kSlot == 4 ? kCopyLevel4 : kCopyLevel3;
constexpr const CopyLevel& kGuardedLevel =
    kSlot == 1 ? kCopyLevel1 : kSlot == 3 ? kCopyLevel3 : kCopyLevel4;

void copyRawLong(uint8_t* d, const uint8_t* s, size_t n) { copyLevel<kRawLevel>(d, s, n); }
void copyGuardedLong(uint8_t* d, const uint8_t* s, size_t n)
{
    copyLevel<kGuardedLevel>(d, s, n);
}
#else
void copyRawLong(uint8_t* d, const uint8_t* s, size_t n)
{
    if (needsMove(d, s, n))
        return moveAny(d, s, n);
    copyBody(d, s, n);
}
void copyGuardedLong(uint8_t* d, const uint8_t* s, size_t n)
{
    if (needsMove(d, s, n))
        return moveAny(d, s, n);
    if (n < kRepFrom)
        return copyBody(d, s, n);
    repCopy(d, s, n);
}
#endif

void moveLong(uint8_t* d, const uint8_t* s, size_t n) { moveAny(d, s, n); }

}  // namespace mem

#if SIG_SLOT >= 5
void sigkMemCopyRep_u8(const void* src, void* dst, int32_t n)
{
    mem::repCopy(static_cast<uint8_t*>(dst), static_cast<const uint8_t*>(src),
                 static_cast<size_t>(n));
}
#endif

#else

namespace mem {

// What an ascending byte loop leaves, in pieces as wide as give the same. A piece loads all its
// bytes before it stores any, where the loop reads each byte only after storing those below it;
// the two agree while the width does not exceed the distance of a destination above its source
// (any width when the destination lies below or at the source). Kept loops, not turned into a
// call of the C runtime's copy.
template <size_t width>
inline size_t copyPieces(uint8_t* d, const uint8_t* s, size_t i, size_t n)
{
    for (; i + width <= n; i += width) {
        uint8_t piece[width];
        memcpy(piece, s + i, width);
        memcpy(d + i, piece, width);
    }
    return i;
}

__attribute__((optimize("no-tree-loop-distribute-patterns")))
void copyAscending(uint8_t* d, const uint8_t* s, size_t n)
{
    size_t i = 0;
    const uintptr_t a = reinterpret_cast<uintptr_t>(d), b = reinterpret_cast<uintptr_t>(s);
    const uintptr_t above = a > b ? a - b : UINTPTR_MAX;
    if (above >= 32)
        i = copyPieces<32>(d, s, i, n);
    if (above >= 8)
        i = copyPieces<8>(d, s, i, n);
    for (; i < n; ++i)
        d[i] = s[i];
}

}  // namespace mem

#endif  // SIG_SLOT

void sigkMemCopy_u8(const void* src, void* dst, int32_t n)
{
    mem::copyRaw(static_cast<uint8_t*>(dst), static_cast<const uint8_t*>(src),
                 static_cast<size_t>(n));
}

void sigkMemMove_u8(const void* src, void* dst, int32_t n)
{
    mem::moveBytes(static_cast<uint8_t*>(dst), static_cast<const uint8_t*>(src),
                   static_cast<size_t>(n));
}

}  // namespace sig::SIG_NS
