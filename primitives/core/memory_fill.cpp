// Zero-fills and 32-bit fills of one slot.
//
// Both are one engine: a fill of n bytes with a repeating 4-byte pattern whose first byte lands
// on dst. A store at offset k from dst uses the pattern rotated by k bytes, so unaligned heads
// and overlapping tails keep the pattern in phase for any alignment of dst.
#include <string.h>

#include "core/cpu.h"
#include "core/mem_engine.h"
#include "core/mem_vec.h"
#include "core/memory_kernels.h"

namespace sig::SIG_NS {

namespace mem {

#if SIG_SLOT == 0

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

// n > 2W: an unaligned first vector, aligned steps of 4W bytes (streamed, then fenced, on
// request), aligned single vectors, and an unaligned last vector ending at dst + n.
template <Stores kind>
void fillLarge(uint8_t* d, size_t n, uint32_t v)
{
    uint8_t* const end = d + n;
    store(d, splat(v));
    size_t skip = toNextBoundary(d, W);
    uint8_t* dp = d + skip;
    const Vec body = splat(phase(v, skip));
    for (; dp + 4 * W <= end; dp += 4 * W)
        storeStep<kind>(dp, body, body, body, body);
    if constexpr (kind == Stores::Streaming)
        _mm_sfence();
    for (; dp + W <= end; dp += W)
        storeAligned(dp, body);
    if (dp < end)
        store(end - W, splat(phase(v, n - W)));
}

template <Stores kind>
inline void fill(uint8_t* d, size_t n, uint32_t v)
{
    if (n <= kShortFill)
        fillShort(d, n, v);
    else
        fillLarge<kind>(d, n, v);
}

#if SIG_SLOT <= 4
// The 128-bit zero asks the cache probe above 512 KiB and streams from the whole cache size;
// the 128-bit fill asks above 1 MiB and streams above it. Odd destinations never stream.
constexpr size_t kZeroProbeAbove = 524288;
constexpr size_t kFillProbeAbove = 1048576;

bool probeSaysStream(size_t n, bool orEqual)
{
    int32_t cache = sigkCacheProbe(sigkCacheDescTable);
    if (cache <= 0)
        return false;
    size_t size = static_cast<size_t>(cache);
    return orEqual ? n >= size : n > size;
}
#else
// Levels 5 and 6 stream only above 2 MiB, and only past the cache size that sigCacheSize knows.
constexpr size_t kStreamAbove = 2097152;
// From half a megabyte a zero-fill that stays in the cache goes to the string store, which
// writes whole lines without reading them first; below, the vector loop is as fast or faster.
constexpr size_t kRepZeroFrom = 524288;

bool cacheSaysStream(size_t n)
{
    int32_t size = 0;
    if (n <= kStreamAbove || sigCacheSize(&size) != sigOk || size <= 0)
        return false;
    return n > static_cast<size_t>(size);
}
#endif

}  // namespace

void zeroLong(uint8_t* d, size_t n)
{
#if SIG_SLOT <= 4
    size_t afterHead = n - toNextBoundary(d, W);
    if (afterHead > kZeroProbeAbove && probeSaysStream(afterHead, true))
        return fillLarge<Stores::Streaming>(d, n, 0);
#else
    if (cacheSaysStream(n))
        return fillLarge<Stores::Streaming>(d, n, 0);
    if (n >= kRepZeroFrom) {
        asm volatile("rep stosb" : "+D"(d), "+c"(n) : "a"(0) : "memory");
        return;
    }
#endif
    fillLarge<Stores::Cached>(d, n, 0);
}

void fillWordsLong(uint32_t value, uint8_t* d, size_t n)
{
    uintptr_t a = reinterpret_cast<uintptr_t>(d);
#if SIG_SLOT <= 4
    if ((a & 1) == 0 && n > kFillProbeAbove && probeSaysStream(n, false))
        return fillLarge<Stores::Streaming>(d, n, value);
#else
    if ((a & 3) == 0 && cacheSaysStream(n))
        return fillLarge<Stores::Streaming>(d, n, value);
#endif
    fillLarge<Stores::Cached>(d, n, value);
}

#endif  // SIG_SLOT

}  // namespace mem

void sigkMemZero_u8(void* dst, int32_t n)
{
#if SIG_SLOT >= 5
    mem::fill<mem::Stores::Cached>(static_cast<uint8_t*>(dst), static_cast<size_t>(n), 0);
#else
    mem::zeroBytes(static_cast<uint8_t*>(dst), static_cast<size_t>(n));
#endif
}

void sigkMemSet_s32(int32_t value, int32_t* dst, int32_t count)
{
#if SIG_SLOT >= 5
    mem::fill<mem::Stores::Cached>(reinterpret_cast<uint8_t*>(dst), 4 * static_cast<size_t>(count),
                                   static_cast<uint32_t>(value));
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
