// The direct-form block kernel sigkFirBlock_cf32 of slots 1 to 4: one SSE2 member, the same code
// on each of these slots, so they give the same outputs to the bit.
//
// The lane-replicated table holds per tap h[k] a 32-byte entry A = (Re h x4),
// B = (-Im h, Im h, -Im h, Im h). For an input vector X of two complex values, G = X*A and
// H = swap(X)*B add up to h times each value. Input j of a step (X_j = x[m+j], x[m+1+j]) meets
// tap t_j = tapsLen-1-j. The sums of each tap count are grouped as below, and every output is
// rounded the same way whichever step computes it, except for the scalar lead output and a last
// odd output of a long filter, which are summed tap by tap. No path reads beyond
// x[count + tapsLen - 2].
#include "fir/fir_kernels.h"

#if SIG_SLOT >= 1 && SIG_SLOT <= 4
#include <immintrin.h>

namespace sig::SIG_NS {

namespace {

inline __m128 swapParts(__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 3, 0, 1)); }

// Tap entries are 16-byte aligned, every half of them too.
struct Tap {
    __m128 a, b;
};
inline Tap tapEntry(const float* table, int32_t k)
{
    return {_mm_load_ps(table + 8 * k), _mm_load_ps(table + 8 * k + 4)};
}

// Two outputs read two complex inputs; one output reads one into the low half (the high half is
// zero and never stored).
struct PairInput {
    static __m128 at(const cf32* p) { return _mm_loadu_ps(&p->re); }
};
struct OneInput {
    static __m128 at(const cf32* p)
    {
        return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
    }
};

// Store kinds: unaligned when dst is not a multiple of 8 bytes, aligned once dst has reached a
// 16-byte boundary. One output is an 8-byte store either way.
struct UnalignedStore {
    static void pair(cf32* p, __m128 v) { _mm_storeu_ps(&p->re, v); }
};
struct AlignedStore {
    static void pair(cf32* p, __m128 v) { _mm_store_ps(&p->re, v); }
};
inline void storeOne(cf32* p, __m128 v) { _mm_storel_pi(reinterpret_cast<__m64*>(p), v); }

// The sums of one output vector for 1 to 4 taps; tap[j] is the entry that meets input j.
template <int T, class In>
inline __m128 shortSum(const Tap* tap, const cf32* x)
{
    __m128 G[T], H[T];
    for (int j = 0; j < T; ++j) {
        const __m128 X = In::at(x + j);
        G[j] = _mm_mul_ps(X, tap[j].a);
        H[j] = _mm_mul_ps(swapParts(X), tap[j].b);
    }
    if constexpr (T == 1)
        return _mm_add_ps(G[0], H[0]);
    else if constexpr (T == 2)
        return _mm_add_ps(_mm_add_ps(G[0], H[0]), _mm_add_ps(G[1], H[1]));
    else if constexpr (T == 3)
        return _mm_add_ps(_mm_add_ps(G[0], G[1]),
                          _mm_add_ps(_mm_add_ps(G[2], H[0]), _mm_add_ps(H[1], H[2])));
    else
        return _mm_add_ps(_mm_add_ps(_mm_add_ps(G[0], G[1]), _mm_add_ps(G[2], G[3])),
                          _mm_add_ps(_mm_add_ps(H[0], H[1]), _mm_add_ps(H[2], H[3])));
}

// 1 to 4 taps, all held in registers: `step` outputs a step, then one at a time.
template <int T, int step, class Store>
void shortFilter(const float* table, const cf32* x, cf32* dst, int32_t count)
{
    Tap tap[T];
    for (int j = 0; j < T; ++j)
        tap[j] = tapEntry(table, T - 1 - j);
    int32_t m = 0;
    for (; m + step <= count; m += step)
        for (int v = 0; v < step; v += 2)
            Store::pair(dst + m + v, shortSum<T, PairInput>(tap, x + m + v));
    for (; m < count; ++m)
        storeOne(dst + m, shortSum<T, OneInput>(tap, x + m));
}

// Two outputs of five or more taps. Blocks of four taps from the last tap down (inputs j .. j+3
// of the block), then one block of the 1 to 3 taps left.
inline __m128 longPair(const float* table, const cf32* x, int32_t T)
{
    __m128 S = _mm_setzero_ps();
    int32_t j = 0;
    __m128 G[4], H[4];
    auto products = [&](int n) {
        for (int i = 0; i < n; ++i) {
            const Tap tap = tapEntry(table, T - 1 - (j + i));
            const __m128 X = PairInput::at(x + j + i);
            G[i] = _mm_mul_ps(X, tap.a);
            H[i] = _mm_mul_ps(swapParts(X), tap.b);
        }
    };
    for (; j + 4 <= T; j += 4) {
        products(4);
        S = _mm_add_ps(_mm_add_ps(S, _mm_add_ps(_mm_add_ps(G[0], G[1]), _mm_add_ps(G[2], G[3]))),
                       _mm_add_ps(_mm_add_ps(H[0], H[1]), _mm_add_ps(H[2], H[3])));
    }
    switch (T - j) {
    case 3:
        products(3);
        S = _mm_add_ps(_mm_add_ps(S, _mm_add_ps(H[1], H[2])),
                       _mm_add_ps(_mm_add_ps(G[0], G[1]), _mm_add_ps(G[2], H[0])));
        break;
    case 2:
        products(2);
        S = _mm_add_ps(S, _mm_add_ps(_mm_add_ps(G[0], G[1]), _mm_add_ps(H[0], H[1])));
        break;
    case 1:
        products(1);
        S = _mm_add_ps(S, _mm_add_ps(G[0], H[0]));
        break;
    }
    return S;
}

// One output of five or more taps alone: G and H added tap by tap from the oldest input.
inline __m128 longOne(const float* table, const cf32* x, int32_t T)
{
    __m128 S = _mm_setzero_ps();
    for (int32_t j = 0; j < T; ++j) {
        const Tap tap = tapEntry(table, T - 1 - j);
        const __m128 X = OneInput::at(x + j);
        S = _mm_add_ps(S, _mm_mul_ps(X, tap.a));
        S = _mm_add_ps(S, _mm_mul_ps(swapParts(X), tap.b));
    }
    return S;
}

template <class Store>
void longFilter(const float* table, const cf32* x, cf32* dst, int32_t count, int32_t T)
{
    int32_t m = 0;
    for (; m + 2 <= count; m += 2)
        Store::pair(dst + m, longPair(table, x + m, T));
    if (m < count)
        storeOne(dst + m, longOne(table, x + m, T));
}

template <class Store>
void filter(const float* table, const cf32* x, cf32* dst, int32_t count, int32_t T)
{
    switch (T) {
    case 1: return shortFilter<1, 8, Store>(table, x, dst, count);
    case 2: return shortFilter<2, 8, Store>(table, x, dst, count);
    case 3: return shortFilter<3, 4, Store>(table, x, dst, count);
    case 4: return shortFilter<4, 4, Store>(table, x, dst, count);
    default: return longFilter<Store>(table, x, dst, count, T);
    }
}

// The lead output that brings dst to a 16-byte boundary, in scalar sums from the oldest input:
// the first lanes of A and B are Re h and -Im h.
cf32 leadOutput(const float* table, const cf32* x, int32_t T)
{
    float re = 0.0f, im = 0.0f;
    for (int32_t t = T - 1; t >= 0; --t) {
        const float a = table[8 * t], b = table[8 * t + 4];
        const cf32 v = x[T - 1 - t];
        re = re + (a * v.re + b * v.im);
        im = im + (a * v.im - b * v.re);
    }
    return cf32{re, im};
}

}  // namespace

void sigkFirBlock_cf32(const float* table, const cf32* x, cf32* dst, int32_t count, int32_t tapsLen)
{
    if (firBlockHasNothingToSum(dst, count, tapsLen))
        return;
    const uintptr_t at = reinterpret_cast<uintptr_t>(dst);
    if (at % 8 != 0)
        return filter<UnalignedStore>(table, x, dst, count, tapsLen);
    if (at % 16 != 0) {
        *dst++ = leadOutput(table, x++, tapsLen);
        if (--count == 0)
            return;
    }
    filter<AlignedStore>(table, x, dst, count, tapsLen);
}

}  // namespace sig::SIG_NS

#endif
