// Zero-fills and 32-bit fills of one slot.
//
// Both are one engine: a fill of n bytes with a repeating 4-byte pattern whose first byte lands
// on dst. A store at offset k from dst uses the pattern rotated by k bytes, so unaligned heads
// and overlapping tails keep the pattern in phase for any alignment of dst.
#include <string.h>

#include "core/cpu.h"
#include "core/mem_engine.h"
#include "core/mem_hooks.h"
#include "core/mem_vec.h"
#include "core/memory_kernels.h"

namespace sig::SIG_NS {

namespace mem {

#if SIG_SLOT == 0

// Single bytes up to the 4-byte grid, 32-byte steps of eight 4-byte stores, single bytes after.
// Kept a loop (not turned into a call of the C runtime's fill).
__attribute__((optimize("no-tree-loop-distribute-patterns")))
void zeroBytes(uint8_t* d, size_t n)
{
    for (; n != 0 && (reinterpret_cast<uintptr_t>(d) & 3) != 0; --n)
        *d++ = 0;
    uint32_t* w = reinterpret_cast<uint32_t*>(d);
    for (size_t steps = n / 32; steps != 0; --steps, w += 8)
        for (int k = 0; k < 8; ++k)
            w[k] = 0;
    d = reinterpret_cast<uint8_t*>(w);
    for (n %= 32; n != 0; --n)
        *d++ = 0;
}

void fillWords(uint32_t value, uint8_t* d, size_t count)
{
    uint32_t* w = reinterpret_cast<uint32_t*>(d);
    if ((reinterpret_cast<uintptr_t>(d) & 3) != 0) {
        for (size_t i = 0; i < count; ++i)
            memcpy(d + 4 * i, &value, 4);
        return;
    }
    size_t i = 0;
    for (; i + 8 <= count; i += 8)
        for (size_t k = 0; k < 8; ++k)
            w[i + k] = value;
    for (; i < count; ++i)
        w[i] = value;
}

#else

namespace {

// A destination that is not 4-byte aligned: every word stored singly.
void wordsSingly(uint8_t* d, size_t n, uint32_t v)
{
    for (size_t i = 0; i + 4 <= n; i += 4)
        put(d + i, v);
}

#if SIG_SLOT <= 4
// n >= 64: an unaligned first vector, then from the destination's 16-byte boundary 64-byte
// steps of four aligned 16-byte stores and single ones (non-temporal while streaming, then
// one fence), and an unaligned last vector ending at dst + n.
template <Stores kind>
void fill128(uint8_t* d, size_t n, uint32_t v)
{
    if constexpr (kind == Stores::Streaming)
        reportMemPath(sigMemStreamed);
    uint8_t* const end = d + n;
    const size_t skip = toBoundary(d, 16);
    if (skip != 0)
        V16::store(d, V16::splat(v));
    uint8_t* dp = d + skip;
    const __m128i body = V16::splat(phase(v, skip));
    for (; dp + 64 <= end; dp += 64) {
        storeAs<V16, kind, true>(dp, body);
        storeAs<V16, kind, true>(dp + 16, body);
        storeAs<V16, kind, true>(dp + 32, body);
        storeAs<V16, kind, true>(dp + 48, body);
    }
    for (; dp + 16 <= end; dp += 16)
        storeAs<V16, kind, true>(dp, body);
    if constexpr (kind == Stores::Streaming)
        _mm_sfence();
    if (dp < end)
        V16::store(end - 16, V16::splat(phase(v, n - 16)));
}

// The 128-bit zero asks the cache probe when more than 512 KiB follow its head and streams
// from the whole cache size; the 128-bit fill asks when more than 1 MiB of words follow the
// single words that align it and streams when they exceed the cache.
constexpr size_t kZeroProbeAbove = 524288;
constexpr size_t kFillProbeAboveWords = 262144;

bool probeSaysStream(size_t n, bool orEqual)
{
    int32_t cache = sigkCacheProbe(sigkCacheDescTable);
    if (cache <= 0)
        return false;
    size_t size = static_cast<size_t>(cache);
    return orEqual ? n >= size : n > size;
}
#else
// n >= 256: an unaligned first 32 bytes, then from the destination's 32-byte boundary either,
// with 32768 bytes or more left, 64-byte steps from the end down in aligned 16-byte stores
// (the last 64 bytes first as two unaligned 32-byte stores when the rest is no multiple of
// 64), or 256-byte steps forward of aligned 32-byte stores and the rest by 32 bytes.
void fill256(uint8_t* d, size_t n, uint32_t v)
{
    uint8_t* const end = d + n;
    V32::store(d, V32::splat(v));
    const size_t skip = toBoundary(d, 32);
    uint8_t* dp = d + skip;
    size_t left = n - skip;
    const uint32_t inPhase = phase(v, skip);
    if (left >= 32768) {
        if (left % 64 != 0) {
            const __m256i last = V32::splat(phase(v, n));
            V32::store(end - 64, last);
            V32::store(end - 32, last);
            left -= left % 64;
        }
        const __m128i body = V16::splat(inPhase);
        for (uint8_t* p = dp + left; p != dp;) {
            p -= 64;
            V16::storeAligned(p + 48, body);
            V16::storeAligned(p + 32, body);
            V16::storeAligned(p + 16, body);
            V16::storeAligned(p, body);
        }
        return;
    }
    const __m256i body = V32::splat(inPhase);
    for (; left >= 256; dp += 256, left -= 256)
        for (size_t i = 0; i < 256; i += 32)
            V32::storeAligned(dp + i, body);
    for (; left >= 32; dp += 32, left -= 32)
        V32::storeAligned(dp, body);
    if (left != 0)
        V32::store(end - 32, V32::splat(phase(v, n - 32)));
}

// n > 2 MiB past the cache: 64 ordinary bytes up to the destination's 64-byte boundary, 64-byte
// steps of two 32-byte non-temporal stores, 32 and 16 bytes non-temporal as the rest asks, the
// last bytes below 16 with ordinary stores, one fence.
void fill256Streaming(uint8_t* d, size_t n, uint32_t v)
{
    reportMemPath(sigMemStreamed);
    uint8_t* const end = d + n;
    const size_t skip = toBoundary(d, 64);
    if (skip != 0) {
        V32::store(d, V32::splat(v));
        V32::store(d + 32, V32::splat(v));
    }
    uint8_t* dp = d + skip;
    const uint32_t inPhase = phase(v, skip);
    const __m256i body = V32::splat(inPhase);
    for (; dp + 64 <= end; dp += 64) {
        V32::storeStream(dp, body);
        V32::storeStream(dp + 32, body);
    }
    if (dp + 32 <= end) {
        V32::storeStream(dp, body);
        dp += 32;
    }
    if (dp + 16 <= end) {
        V16::storeStream(dp, V16::splat(inPhase));
        dp += 16;
    }
    if (dp < end)
        fillShort(dp, static_cast<size_t>(end - dp), inPhase);
    _mm_sfence();
}

// Levels 5 and 6 stream only above 2 MiB, and only past the cache size that sigCacheSize knows.
constexpr size_t kStreamAbove = 2097152;

bool cacheSaysStream(size_t n)
{
    int32_t size = 0;
    if (n <= kStreamAbove || sigCacheSize(&size) != sigOk || size <= 0)
        return false;
    return n > static_cast<size_t>(size);
}
#endif

}  // namespace

#if SIG_SLOT <= 4
void zeroLong(uint8_t* d, size_t n)
{
    const size_t count = n - toBoundary(d, 16);
    if (count > kZeroProbeAbove && probeSaysStream(count, true))
        return fill128<Stores::Streaming>(d, n, 0);
    fill128<Stores::Cached>(d, n, 0);
}

void fillWordsLong(uint32_t value, uint8_t* d, size_t n)
{
    if ((reinterpret_cast<uintptr_t>(d) & 1) != 0)
        return wordsSingly(d, n, value);
    // A destination at 2 mod 4 gets its first and last half-words apart and fills the words
    // between from the next 4-byte boundary.
    uint8_t* p = d;
    size_t count = n / 4;
    if ((reinterpret_cast<uintptr_t>(d) & 2) != 0)
        p += 2, count -= 1;
    if (count > kFillProbeAboveWords) {
        count -= toBoundary(p, 16) / 4;
        if (probeSaysStream(4 * count, false))
            return fill128<Stores::Streaming>(d, n, value);
    }
    fill128<Stores::Cached>(d, n, value);
}
#else
void zeroLong(uint8_t* d, size_t n)
{
    if (cacheSaysStream(n))
        return fill256Streaming(d, n, 0);
    fill256(d, n, 0);
}

void fillWordsLong(uint32_t value, uint8_t* d, size_t n)
{
    if ((reinterpret_cast<uintptr_t>(d) & 3) != 0)
        return wordsSingly(d, n, value);
    if (cacheSaysStream(n))
        return fill256Streaming(d, n, value);
    fill256(d, n, value);
}
#endif

#endif  // SIG_SLOT

}  // namespace mem

void sigkMemZero_u8(void* dst, int32_t n)
{
#if SIG_SLOT >= 5
    // The cached zero-fill; the one that may stream is sigkMemZeroNt_u8.
    if (static_cast<size_t>(n) < mem::kFillInline)
        return mem::fillShort(static_cast<uint8_t*>(dst), static_cast<size_t>(n), 0);
    mem::fill256(static_cast<uint8_t*>(dst), static_cast<size_t>(n), 0);
#else
    mem::zeroBytes(static_cast<uint8_t*>(dst), static_cast<size_t>(n));
#endif
}

void sigkMemSet_s32(int32_t value, int32_t* dst, int32_t count)
{
#if SIG_SLOT >= 5
    // The cached fill; the one that may stream is sigkMemSetNt_s32.
    uint8_t* d = reinterpret_cast<uint8_t*>(dst);
    const size_t n = 4 * static_cast<size_t>(count);
    const uint32_t v = static_cast<uint32_t>(value);
    if ((reinterpret_cast<uintptr_t>(d) & 3) != 0)
        return mem::wordsSingly(d, n, v);
    if (n < mem::kFillInline)
        return mem::fillShort(d, n, v);
    mem::fill256(d, n, v);
#else
    mem::fillWords(static_cast<uint32_t>(value), reinterpret_cast<uint8_t*>(dst),
                   static_cast<size_t>(count));
#endif
}

#if SIG_SLOT >= 5
void sigkMemZeroNt_u8(void* dst, int32_t n)
{
    mem::zeroBytes(static_cast<uint8_t*>(dst), static_cast<size_t>(n));
}

void sigkMemSetNt_s32(int32_t value, int32_t* dst, int32_t count)
{
    mem::fillWords(static_cast<uint32_t>(value), reinterpret_cast<uint8_t*>(dst),
                   static_cast<size_t>(count));
}
#endif

}  // namespace sig::SIG_NS
