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

// Where a loop's stores go: through the cache, or non-temporal ones that bypass it (the caller
// fences them before it returns).
enum class Stores { Cached, Streaming };

// The two vector widths as types, for the loops whose store width is fixed whatever the slot's
// widest register: V16 is SSE2's (VEX-encoded on slots 5 and 6), VW the slot's widest.
struct V16 {
    using T = __m128i;
    static constexpr size_t W = 16;
    static T load(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const T*>(p)); }
    static void store(uint8_t* p, T v) { _mm_storeu_si128(reinterpret_cast<T*>(p), v); }
    static void storeAligned(uint8_t* p, T v) { _mm_store_si128(reinterpret_cast<T*>(p), v); }
    static void storeStream(uint8_t* p, T v) { _mm_stream_si128(reinterpret_cast<T*>(p), v); }
    static T splat(uint32_t v) { return _mm_set1_epi32(static_cast<int>(v)); }
};
#if SIG_SLOT >= 5
struct V32 {
    using T = __m256i;
    static constexpr size_t W = 32;
    static T load(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const T*>(p)); }
    static void store(uint8_t* p, T v) { _mm256_storeu_si256(reinterpret_cast<T*>(p), v); }
    static void storeAligned(uint8_t* p, T v) { _mm256_store_si256(reinterpret_cast<T*>(p), v); }
    static void storeStream(uint8_t* p, T v) { _mm256_stream_si256(reinterpret_cast<T*>(p), v); }
    static T splat(uint32_t v) { return _mm256_set1_epi32(static_cast<int>(v)); }
};
using VW = V32;
#else
using VW = V16;
#endif

// The slot's widest vector, for the loops that use whatever the slot has.
using Vec = VW::T;
inline constexpr size_t W = VW::W;
inline Vec load(const uint8_t* p) { return VW::load(p); }
inline void store(uint8_t* p, Vec v) { VW::store(p, v); }
inline void storeAligned(uint8_t* p, Vec v) { VW::storeAligned(p, v); }
inline void storeStream(uint8_t* p, Vec v) { VW::storeStream(p, v); }
inline Vec splat(uint32_t v) { return VW::splat(v); }

// A loop's store of one vector: aligned or not, through the cache or past it.
template <class V, Stores kind, bool aligned>
inline void storeAs(uint8_t* p, typename V::T v)
{
    if constexpr (kind == Stores::Streaming)
        V::storeStream(p, v);
    else if constexpr (aligned)
        V::storeAligned(p, v);
    else
        V::store(p, v);
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

// Bytes from p up to the next multiple of align (0 when p is already aligned).
inline size_t toBoundary(const void* p, size_t align)
{
    return (0 - reinterpret_cast<uintptr_t>(p)) & (align - 1);
}

}  // namespace sig::SIG_NS::mem
#endif
