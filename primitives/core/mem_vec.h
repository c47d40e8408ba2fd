// Vector loads and stores of one slot for the memory kernels: 16-byte SSE2 registers on slots 1
// to 4, 32-byte AVX registers on slots 5 and 6. Slot sources only; slot 0 uses none of this.
#pragma once

#include <immintrin.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "core/slot.h"

#if SIG_SLOT >= 1
namespace sig::SIG_NS::mem {

#if SIG_SLOT >= 5
using Vec = __m256i;
inline constexpr size_t W = 32;
inline Vec load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const Vec*>(p)); }
inline void store(uint8_t* p, Vec v) { _mm256_storeu_si256(reinterpret_cast<Vec*>(p), v); }
inline void storeAligned(uint8_t* p, Vec v) { _mm256_store_si256(reinterpret_cast<Vec*>(p), v); }
inline void storeStream(uint8_t* p, Vec v) { _mm256_stream_si256(reinterpret_cast<Vec*>(p), v); }
inline Vec splat(uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
#else
using Vec = __m128i;
inline constexpr size_t W = 16;
inline Vec load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const Vec*>(p)); }
inline void store(uint8_t* p, Vec v) { _mm_storeu_si128(reinterpret_cast<Vec*>(p), v); }
inline void storeAligned(uint8_t* p, Vec v) { _mm_store_si128(reinterpret_cast<Vec*>(p), v); }
inline void storeStream(uint8_t* p, Vec v) { _mm_stream_si128(reinterpret_cast<Vec*>(p), v); }
inline Vec splat(uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }
#endif

// One step of four vectors to an aligned address: ordinary stores, or non-temporal ones that
// bypass the cache (the caller fences them before it returns).
enum class Stores { Cached, Streaming };

template <Stores kind>
inline void storeStep(uint8_t* p, Vec a, Vec b, Vec c, Vec d)
{
    if constexpr (kind == Stores::Streaming) {
        storeStream(p, a);
        storeStream(p + W, b);
        storeStream(p + 2 * W, c);
        storeStream(p + 3 * W, d);
    } else {
        storeAligned(p, a);
        storeAligned(p + W, b);
        storeAligned(p + 2 * W, c);
        storeAligned(p + 3 * W, d);
    }
}

// Scalar pieces of fixed width; the fixed-size memcpy compiles to one move.
template <typename T>
inline T get(const uint8_t* p)
{
    T v;
    memcpy(&v, p, sizeof v);
    return v;
}
template <typename T>
inline void put(uint8_t* p, T v)
{
    memcpy(p, &v, sizeof v);
}

// Bytes from p to the next multiple of align (align itself when p is already aligned).
inline size_t toNextBoundary(const void* p, size_t align)
{
    return align - (reinterpret_cast<uintptr_t>(p) & (align - 1));
}

}  // namespace sig::SIG_NS::mem
#endif
