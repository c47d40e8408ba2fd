// Short copies, moves and fills of one vector slot, inline: everything is loaded before
// anything is stored, so each is right for any overlap. Slot sources only.
#pragma once

#include "core/mem_vec.h"

#if SIG_SLOT >= 1
namespace sig::SIG_NS::mem {

// Up to 2W bytes in any overlap: everything is loaded before anything is stored.
inline void moveSmall(uint8_t* d, const uint8_t* s, size_t n)
{
    if (n >= W) {
        Vec a = load(s), b = load(s + n - W);
        store(d, a);
        store(d + n - W, b);
    } else if (W > 16 && n >= 16) {
        __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
        __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + n - 16));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), a);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + n - 16), b);
    } else if (n >= 8) {
        uint64_t a = get<uint64_t>(s), b = get<uint64_t>(s + n - 8);
        put(d, a);
        put(d + n - 8, b);
    } else if (n >= 4) {
        uint32_t a = get<uint32_t>(s), b = get<uint32_t>(s + n - 4);
        put(d, a);
        put(d + n - 4, b);
    } else if (n >= 2) {
        uint16_t a = get<uint16_t>(s), b = get<uint16_t>(s + n - 2);
        put(d, a);
        put(d + n - 2, b);
    } else if (n == 1) {
        *d = *s;
    }
}

// 2W < n <= 4W in any overlap.
inline void moveMedium(uint8_t* d, const uint8_t* s, size_t n)
{
    Vec a = load(s), b = load(s + W), c = load(s + n - 2 * W), e = load(s + n - W);
    store(d, a);
    store(d + W, b);
    store(d + n - 2 * W, c);
    store(d + n - W, e);
}

// 4W < n <= 8W in any overlap.
inline void moveLarge(uint8_t* d, const uint8_t* s, size_t n)
{
    Vec a = load(s), b = load(s + W), c = load(s + 2 * W), e = load(s + 3 * W);
    Vec f = load(s + n - 4 * W), g = load(s + n - 3 * W), h = load(s + n - 2 * W),
        i = load(s + n - W);
    store(d, a);
    store(d + W, b);
    store(d + 2 * W, c);
    store(d + 3 * W, e);
    store(d + n - 4 * W, f);
    store(d + n - 3 * W, g);
    store(d + n - 2 * W, h);
    store(d + n - W, i);
}

// Up to kShortMove bytes in any overlap, without a loop.
inline constexpr size_t kShortMove = 8 * W;
inline void moveShort(uint8_t* d, const uint8_t* s, size_t n)
{
    if (n <= 2 * W)
        moveSmall(d, s, n);
    else if (n <= 4 * W)
        moveMedium(d, s, n);
    else
        moveLarge(d, s, n);
}

// The pattern as seen from a store k bytes past dst.
inline uint32_t phase(uint32_t v, size_t k)
{
    unsigned r = 8 * static_cast<unsigned>(k & 3);
    return r == 0 ? v : (v >> r) | (v << (32 - r));
}

// Up to 2W bytes.
inline void fillSmall(uint8_t* d, size_t n, uint32_t v)
{
    if (n >= W) {
        store(d, splat(v));
        store(d + n - W, splat(phase(v, n - W)));
    } else if (W > 16 && n >= 16) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_set1_epi32(static_cast<int>(v)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + n - 16),
                         _mm_set1_epi32(static_cast<int>(phase(v, n - 16))));
    } else if (n >= 8) {
        uint32_t e = phase(v, n - 8);
        put(d, v | static_cast<uint64_t>(v) << 32);
        put(d + n - 8, e | static_cast<uint64_t>(e) << 32);
    } else if (n >= 4) {
        put(d, v);
        put(d + n - 4, phase(v, n - 4));
    } else {
        for (size_t k = 0; k < n; ++k)
            d[k] = static_cast<uint8_t>(v >> (8 * k));
    }
}

// 2W < n <= 8W: whole vectors from both ends. W is a multiple of 4, so every store from the
// start sees the pattern as it is and every store from the end sees it rotated by n.
inline void fillMedium(uint8_t* d, size_t n, uint32_t v)
{
    const Vec head = splat(v), tail = splat(phase(v, n));
    store(d, head);
    store(d + W, head);
    store(d + n - 2 * W, tail);
    store(d + n - W, tail);
    if (n > 4 * W) {
        store(d + 2 * W, head);
        store(d + 3 * W, head);
        store(d + n - 4 * W, tail);
        store(d + n - 3 * W, tail);
    }
}

// Up to kShortFill bytes, without a loop.
inline constexpr size_t kShortFill = 8 * W;
inline void fillShort(uint8_t* d, size_t n, uint32_t v)
{
    if (n <= 2 * W)
        fillSmall(d, n, v);
    else
        fillMedium(d, n, v);
}

}  // namespace sig::SIG_NS::mem
#endif
