// The direct-form block kernel sigkFirBlock_cf32 of slots 5 and 6: 256-bit vectors of four
// complex values, slot 6 with the fused multiply-add chains below.
//
// Each 16-byte half of a table entry, P = (Re h x4) and Q = (-Im h, Im h, -Im h, Im h), is
// repeated in both 128-bit lanes; P*x + Q*swap(x) is h*x for every value of x. Output j sums
// h[L-1-k]*x[j+k] over k < L (L = tapsLen).
//
// Two paths. When x or dst is not 8-byte aligned, output-major: four outputs a vector, all taps
// in order, then one output at a time. Otherwise, after single outputs up to a 32-byte boundary
// of dst, the taps are taken in groups of up to four from the oldest sample of the window; each
// group is one pass over all outputs that stores (the first) or adds into dst (the others), with
// the group's eight tap vectors held in registers. The shifted windows of a group come from two
// loads by lane permutes. No path reads beyond x[count + L - 2].
#include "fir/fir_kernels.h"

#if SIG_SLOT >= 5
#include <immintrin.h>

namespace sig::SIG_NS {

namespace {

constexpr bool kFused = SIG_SLOT >= 6;

// Lane-wise arithmetic on 256-bit operands (four outputs) and 128-bit ones (two outputs, or one
// in the low half).
inline __m256 add(__m256 a, __m256 b) { return _mm256_add_ps(a, b); }
inline __m128 add(__m128 a, __m128 b) { return _mm_add_ps(a, b); }
inline __m256 mul(__m256 a, __m256 b) { return _mm256_mul_ps(a, b); }
inline __m128 mul(__m128 a, __m128 b) { return _mm_mul_ps(a, b); }
inline __m256 swapParts(__m256 v) { return _mm256_permute_ps(v, _MM_SHUFFLE(2, 3, 0, 1)); }
inline __m128 swapParts(__m128 v) { return _mm_permute_ps(v, _MM_SHUFFLE(2, 3, 0, 1)); }
#if SIG_SLOT >= 6
// u*v + w rounded once.
inline __m256 fma(__m256 u, __m256 v, __m256 w) { return _mm256_fmadd_ps(u, v, w); }
inline __m128 fma(__m128 u, __m128 v, __m128 w) { return _mm_fmadd_ps(u, v, w); }
#endif

// The operands of one step width: loads and stores of 4, 2 or 1 outputs, and the narrowing of a
// 256-bit tap vector.
struct Four {
    using V = __m256;
    static constexpr bool kWide = true;
    static V load(const cf32* p) { return _mm256_loadu_ps(&p->re); }
    static void store(cf32* p, V v) { _mm256_store_ps(&p->re, v); }
    static V tap(__m256 t) { return t; }
};
struct Two {
    using V = __m128;
    static constexpr bool kWide = false;
    static V load(const cf32* p) { return _mm_loadu_ps(&p->re); }
    static void store(cf32* p, V v) { _mm_storeu_ps(&p->re, v); }
    static V tap(__m256 t) { return _mm256_castps256_ps128(t); }
};
struct One {
    using V = __m128;
    static constexpr bool kWide = false;
    static V load(const cf32* p)
    {
        return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
    }
    static void store(cf32* p, V v) { _mm_storel_pi(reinterpret_cast<__m64*>(p), v); }
    static V tap(__m256 t) { return _mm256_castps256_ps128(t); }
};
// Four outputs whose dst is not 32-byte aligned (the output-major path).
struct FourUnaligned : Four {
    static void store(cf32* p, V v) { _mm256_storeu_ps(&p->re, v); }
};

// Entry k of the table, both halves repeated in the two lanes.
struct Tap {
    __m256 p, q;
};
inline Tap tapEntry(const float* table, int32_t k)
{
    return {_mm256_broadcast_ps(reinterpret_cast<const __m128*>(table + 8 * k)),
            _mm256_broadcast_ps(reinterpret_cast<const __m128*>(table + 8 * k + 4))};
}

// acc + h*x, the P product first, then the Q product (slot 6: fused into the second add).
template <class V>
inline V addTap(V acc, V x, V p, V q)
{
    if constexpr (kFused) {
        acc = add(mul(p, x), acc);
        return fma(swapParts(x), q, acc);
    } else {
        acc = add(acc, mul(p, x));
        return add(acc, mul(q, swapParts(x)));
    }
}

// Output-major: each output (four a vector) sums its taps in window order.
template <class W>
inline void outputsInOrder(const float* table, const cf32* x, cf32* dst, int32_t L)
{
    using V = typename W::V;
    V acc = V{};
    for (int32_t k = 0; k < L; ++k) {
        const Tap t = tapEntry(table, L - 1 - k);
        acc = addTap(acc, W::load(x + k), W::tap(t.p), W::tap(t.q));
    }
    W::store(dst, acc);
}

void outputMajor(const float* table, const cf32* x, cf32* dst, int32_t count, int32_t L)
{
    int32_t j = 0;
    for (; j + 4 <= count; j += 4)
        outputsInOrder<FourUnaligned>(table, x + j, dst + j, L);
    for (; j < count; ++j)
        outputsInOrder<One>(table, x + j, dst + j, L);
}

// The taps of one group, window offsets m = 0 .. g-1: P_m, Q_m and swap(Q_m).
template <int g>
struct Group {
    __m256 p[g], q[g], sq[g];
    Group(const float* table, int32_t first)  // first: the entry of offset 0
    {
        for (int m = 0; m < g; ++m) {
            const Tap t = tapEntry(table, first - m);
            p[m] = t.p;
            q[m] = t.q;
            sq[m] = swapParts(t.q);
        }
    }
};

// Shifted windows x_m = x[m .. m+3], m < g, of four outputs from two 256-bit loads.
template <int g>
inline void windows(const cf32* x, __m256* w)
{
    const __m256 lo = Four::load(x);
    w[0] = lo;
    if constexpr (g > 1) {
        const __m256 hi = Four::load(x + 4);
        const __m256 mid = _mm256_permute2f128_ps(lo, hi, 0x21);  // x[2 .. 5]
        const __m256d lod = _mm256_castps_pd(lo), midd = _mm256_castps_pd(mid);
        w[1] = _mm256_castpd_ps(_mm256_shuffle_pd(lod, midd, 0b0101));
        if constexpr (g > 2)
            w[2] = mid;
        if constexpr (g > 3)
            w[3] = _mm256_castpd_ps(_mm256_shuffle_pd(midd, _mm256_castps_pd(hi), 0b0101));
    }
}

// The group sum of window vectors x[0 .. g-1] against the group's taps; `adding` adds it to the
// outputs' previous value d. `wide` marks the 4-output steps, whose four-tap chains differ on
// slot 6.
template <int g, bool adding, bool wide, class W>
inline typename W::V groupSum(const Group<g>& G, const typename W::V* x, typename W::V d)
{
    using V = typename W::V;
    V P[g], Q[g], sQ[g];
    for (int m = 0; m < g; ++m) {
        P[m] = W::tap(G.p[m]);
        Q[m] = W::tap(G.q[m]);
        sQ[m] = W::tap(G.sq[m]);
    }
    if constexpr (!kFused) {
        V s;
        if constexpr (g == 1)
            s = add(mul(P[0], x[0]), mul(Q[0], swapParts(x[0])));
        else {
            V a[g], b[g];
            for (int m = 0; m < g; ++m) {
                a[m] = mul(P[m], x[m]);
                b[m] = mul(sQ[m], x[m]);
            }
            if constexpr (g == 2)
                s = add(add(a[0], a[1]), swapParts(add(b[0], b[1])));
            else if constexpr (g == 3)
                s = add(add(add(a[0], a[1]), a[2]), swapParts(add(add(b[0], b[1]), b[2])));
            else
                s = add(add(add(a[0], a[1]), add(a[2], a[3])),
                        swapParts(add(add(b[0], b[1]), add(b[2], b[3]))));
        }
        return adding ? add(s, d) : s;
    } else if constexpr (g == 1) {
        return adding ? fma(x[0], P[0], fma(swapParts(x[0]), Q[0], d))
                      : fma(x[0], P[0], mul(Q[0], swapParts(x[0])));
    } else if constexpr (g < 4) {
        V t = mul(sQ[1], x[1]);
        t = fma(x[0], sQ[0], t);
        if constexpr (g == 3)
            t = fma(x[2], sQ[2], t);
        t = swapParts(t);
        for (int m = g - 1; m >= 0; --m)
            t = fma(x[m], P[m], t);
        return adding ? add(t, d) : t;
    } else if constexpr (wide) {
        V B = mul(sQ[0], x[0]);
        for (int m = 1; m < 4; ++m)
            B = fma(x[m], sQ[m], B);
        if constexpr (!adding) {
            V A = mul(P[0], x[0]);
            for (int m = 1; m < 4; ++m)
                A = fma(x[m], P[m], A);
            return add(A, swapParts(B));
        } else {
            const V t = fma(x[0], P[0], fma(x[2], P[2], swapParts(B)));
            const V u = fma(x[1], P[1], fma(x[3], P[3], d));
            return add(t, u);
        }
    } else {
        const V B = add(fma(x[0], sQ[0], mul(sQ[1], x[1])), fma(x[2], sQ[2], mul(sQ[3], x[3])));
        const V t = fma(x[0], P[0], fma(x[2], P[2], swapParts(B)));
        const V u = adding ? fma(x[1], P[1], fma(x[3], P[3], d)) : fma(x[1], P[1], mul(P[3], x[3]));
        return add(t, u);
    }
}

// One step of W::V outputs at window x, stored into dst (or added there).
template <int g, bool adding, class W>
inline void groupStep(const Group<g>& G, const cf32* x, cf32* dst)
{
    using V = typename W::V;
    constexpr bool wide = W::kWide;
    V xs[g];
    if constexpr (wide)
        windows<g>(x, xs);
    else
        for (int m = 0; m < g; ++m)
            xs[m] = W::load(x + m);
    const V d = adding ? W::load(dst) : V{};
    W::store(dst, groupSum<g, adding, wide, W>(G, xs, d));
}

// One pass of g taps over rem outputs (dst 32-byte aligned); `first` is the entry of window
// offset 0.
template <int g, bool adding>
void pass(const float* table, int32_t first, const cf32* x, cf32* dst, int32_t rem)
{
    const Group<g> G(table, first);
    int32_t j = 0;
    if constexpr (g == 1) {
        for (; j < (rem & ~15); j += 16)
            for (int v = 0; v < 16; v += 4)
                groupStep<g, adding, Four>(G, x + j + v, dst + j + v);
        for (; j < (rem & ~3); j += 4)
            groupStep<g, adding, Four>(G, x + j, dst + j);
        for (; j < rem; ++j)
            groupStep<g, adding, One>(G, x + j, dst + j);
    } else {
        // A 4-output step reads four samples ahead of its outputs' windows.
        for (; j < (rem & ~3) - 4; j += 4)
            groupStep<g, adding, Four>(G, x + j, dst + j);
        for (; j < (rem & ~1); j += 2)
            groupStep<g, adding, Two>(G, x + j, dst + j);
        if (j < rem)
            groupStep<g, adding, One>(G, x + j, dst + j);
    }
}

template <bool adding>
void groupPass(int32_t g, const float* table, int32_t first, const cf32* x, cf32* dst, int32_t rem)
{
    switch (g) {
    case 1: return pass<1, adding>(table, first, x, dst, rem);
    case 2: return pass<2, adding>(table, first, x, dst, rem);
    case 3: return pass<3, adding>(table, first, x, dst, rem);
    default: return pass<4, adding>(table, first, x, dst, rem);
    }
}

}  // namespace

void sigkFirBlock_cf32(const float* table, const cf32* x, cf32* dst, int32_t count, int32_t tapsLen)
{
    const int32_t L = tapsLen;
    if (firBlockHasNothingToSum(dst, count, L))
        return;
    const uintptr_t dstAt = reinterpret_cast<uintptr_t>(dst);
    if (((reinterpret_cast<uintptr_t>(x) | dstAt) & 7) != 0)
        return outputMajor(table, x, dst, count, L);
    const int32_t lead = dstAt % 32 == 0 ? 0 : static_cast<int32_t>((32 - dstAt % 32) / 8);
    const int32_t head = lead < count ? lead : count;
    for (int32_t j = 0; j < head; ++j)
        outputsInOrder<One>(table, x + j, dst + j, L);
    x += head;
    dst += head;
    const int32_t rem = count - head;
    if (rem == 0)
        return;
    for (int32_t s = 0; s < L;) {
        const int32_t g = L - s < 4 ? L - s : 4;
        if (s == 0)
            groupPass<false>(g, table, L - 1, x, dst, rem);
        else
            groupPass<true>(g, table, L - 1 - s, x + s, dst, rem);
        s += g;
    }
}

}  // namespace sig::SIG_NS

#endif
