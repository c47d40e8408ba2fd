// Copies and moves of one slot.
//
// Every vector path follows one rule that makes it safe for overlapping buffers in its
// direction: a step loads all its bytes before it stores any, and the bytes that the first and
// last (unaligned) stores cover are loaded before the loop starts. A forward pass therefore
// also serves a destination below an overlapping source, which the decoder relies on.
#include <string.h>

#include "core/cpu.h"
#include "core/mem_engine.h"
#include "core/mem_vec.h"
#include "core/memory_kernels.h"

namespace sig::SIG_NS {

#if SIG_SLOT >= 1

namespace mem {
namespace {

// n > 4W, ascending: right for separate buffers and for dst below an overlapping src. The loop
// stores whole aligned steps of 4W bytes; the unaligned first vector and the last 4W bytes are
// loaded up front and stored at the end.
template <Stores kind>
void forward(uint8_t* d, const uint8_t* s, size_t n)
{
    Vec head = load(s);
    Vec t3 = load(s + n - 4 * W), t2 = load(s + n - 3 * W), t1 = load(s + n - 2 * W),
        t0 = load(s + n - W);
    uint8_t* const end = d + n;
    size_t skip = toNextBoundary(d, W);
    uint8_t* dp = d + skip;
    const uint8_t* sp = s + skip;
    for (; dp + 4 * W < end; dp += 4 * W, sp += 4 * W) {
        Vec a = load(sp), b = load(sp + W), c = load(sp + 2 * W), e = load(sp + 3 * W);
        storeStep<kind>(dp, a, b, c, e);
    }
    if constexpr (kind == Stores::Streaming)
        _mm_sfence();
    store(end - 4 * W, t3);
    store(end - 3 * W, t2);
    store(end - 2 * W, t1);
    store(end - W, t0);
    store(d, head);
}

// n > 4W, descending: for dst above an overlapping src. The mirror of forward().
void backward(uint8_t* d, const uint8_t* s, size_t n)
{
    Vec tail = load(s + n - W);
    Vec h0 = load(s), h1 = load(s + W), h2 = load(s + 2 * W), h3 = load(s + 3 * W);
    uint8_t* dp = d + n - (reinterpret_cast<uintptr_t>(d + n) & (W - 1));
    while (dp > d + 4 * W) {
        dp -= 4 * W;
        const uint8_t* sp = s + (dp - d);
        Vec a = load(sp), b = load(sp + W), c = load(sp + 2 * W), e = load(sp + 3 * W);
        storeStep<Stores::Cached>(dp, a, b, c, e);
    }
    store(d, h0);
    store(d + W, h1);
    store(d + 2 * W, h2);
    store(d + 3 * W, h3);
    store(d + n - W, tail);
}

inline bool overlap(const uint8_t* d, const uint8_t* s, size_t n)
{
    uintptr_t a = reinterpret_cast<uintptr_t>(d), b = reinterpret_cast<uintptr_t>(s);
    return a < b + n && b < a + n;
}

// Separate buffers: the direction that keeps each load away from the addresses of recent
// stores modulo 4096 bytes, which the processor would take for a dependence and wait on.
// With diff = (src mod 4096) - (dst mod 4096), forward is clear when 0 < diff <= 160 or
// diff < -3936; otherwise backward is.
inline bool backwardClearsAliasing(const uint8_t* d, const uint8_t* s)
{
    long diff = static_cast<long>(reinterpret_cast<uintptr_t>(s) & 4095) -
                static_cast<long>(reinterpret_cast<uintptr_t>(d) & 4095);
    return !((diff > 0 && diff <= 160) || diff < -3936);
}

// n > 4W through the cache. A destination below an overlapping source must go forward (the
// ascending result), above it backward.
void cachedLong(uint8_t* d, const uint8_t* s, size_t n)
{
    if (overlap(d, s, n) ? d > s : backwardClearsAliasing(d, s))
        return backward(d, s, n);
    forward<Stores::Cached>(d, s, n);
}

#if SIG_SLOT <= 4
// The 128-bit copies of levels 1, 3 and 4 differ in when they ask the cache probe, when they
// stream (from half the cache), and whether each 256 KiB block of the source is touched first.
struct CopyLevel {
    size_t probeFrom;      // probe when the count after the head reaches this
    bool streamAtHalf;     // stream at count >= size / 2 (else only above it)
    size_t touchStride;    // 0: no touch pass
};
constexpr CopyLevel kCopyLevel1{131073, true, 32};
constexpr CopyLevel kCopyLevel3{131073, false, 0};
constexpr CopyLevel kCopyLevel4{1048576, true, 64};

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

// Streams separate buffers: blocks of 256 KiB, each touched first when the level does.
void streamCopy(uint8_t* d, const uint8_t* s, size_t n, size_t stride)
{
    while (n > 4 * W) {
        size_t block = n > kTouchBlock ? kTouchBlock : n;
        if (stride != 0)
            touch(s, block, stride, block < kTouchBlock);
        // Leave at least 4W + 1 bytes for forward() when a block would end too close to the end.
        if (n - block <= 4 * W)
            block = n;
        forward<Stores::Streaming>(d, s, block);
        d += block;
        s += block;
        n -= block;
    }
    if (n > 0)
        n > 2 * W ? moveMedium(d, s, n) : moveSmall(d, s, n);
}

template <const CopyLevel& level>
void copyLevel(uint8_t* d, const uint8_t* s, size_t n)
{
    if (n <= kShortMove)
        return moveShort(d, s, n);
    size_t count = n - toNextBoundary(d, W);
    if (count >= level.probeFrom && !overlap(d, s, n)) {
        int32_t cache = sigkCacheProbe(sigkCacheDescTable);
        if (cache > 0) {
            size_t half = static_cast<size_t>(cache) / 2;
            if (level.streamAtHalf ? count >= half : count > half)
                return streamCopy(d, s, n, level.touchStride);
        }
    }
    cachedLong(d, s, n);
}
#endif

// The copy body of levels 5 and 6 (and every level's move): no cache probe.
void copyBody(uint8_t* d, const uint8_t* s, size_t n)
{
    if (n <= kShortMove)
        return moveShort(d, s, n);
    cachedLong(d, s, n);
}

#if SIG_SLOT >= 5
// The processor's string move, forward (the ABI keeps the direction flag clear), in the widest
// unit that the relative alignment of source and destination allows.
void repCopy(uint8_t* d, const uint8_t* s, size_t n)
{
    uintptr_t rel = reinterpret_cast<uintptr_t>(d) ^ reinterpret_cast<uintptr_t>(s);
    if ((rel & 1) != 0) {
        asm volatile("rep movsb" : "+D"(d), "+S"(s), "+c"(n) : : "memory");
        return;
    }
    size_t unit = (rel & 3) == 0 ? 4 : 2;
    size_t head = (0 - reinterpret_cast<uintptr_t>(d)) & (unit - 1);
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
void copyRawLong(uint8_t* d, const uint8_t* s, size_t n) { copyBody(d, s, n); }
void copyGuardedLong(uint8_t* d, const uint8_t* s, size_t n)
{
    // The string move runs forward: a destination above an overlapping source needs the move.
    if (n < kRepFrom || (d > s && overlap(d, s, n)))
        return copyBody(d, s, n);
    repCopy(d, s, n);
}
#endif

void moveLong(uint8_t* d, const uint8_t* s, size_t n)
{
#if SIG_SLOT >= 5
    // Large moves between separate buffers go to the string move. Over an overlap the processor
    // may run it at a fraction of its speed, where the vector loop keeps full speed.
    if (n >= kRepFrom && !overlap(d, s, n))
        return repCopy(d, s, n);
#endif
    copyBody(d, s, n);
}

}  // namespace mem

#if SIG_SLOT >= 5
void sigkMemCopyRep_u8(const void* src, void* dst, int32_t n)
{
    mem::repCopy(static_cast<uint8_t*>(dst), static_cast<const uint8_t*>(src),
                 static_cast<size_t>(n));
}
#endif

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
