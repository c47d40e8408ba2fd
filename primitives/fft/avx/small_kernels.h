// Straight-line transforms of 1 to 64 points for the 256-bit slots (5: AVX, 6: AVX2 with FMA),
// one body for both directions and both slots. Natural order in and out, every input read before
// the first output is written, so src == dst is allowed; any alignment is accepted.
//
// What fixes the bits of every result (slots 5 and 6 must agree where stated, and the inverse
// must be the exact conjugate twin of the forward):
//   - 4 points: a = x0+x2, b = x0-x2, c = x1+x3, d = -j(x1-x3); X = (a+c, b+d, a-c, b-d).
//   - 8 points: two 4-point transforms (even, odd samples), the odd ones turned by W8, -j and
//     W8^3 through one product by sqrt(1/2) of a sum and a difference of their parts. Never fused,
//     so both slots give the same bits.
//   - 16 = 4x4, 32 = 4x8, 64 = 8x8: column transforms, twiddle rotation of whole vectors, 4x4
//     transposes of complex values, row transforms. The 8-point transforms inside 32 and 64 split
//     by decimation in frequency with P = sqrt(1/2)*d1, Q = sqrt(1/2)*d3, X = P-Q, Y = P+Q.
//   - Slot 6 fuses exactly three things: the cosine product of a twiddle rotation (the sine
//     product stays rounded), the Q product into X and Y, and (scaled 32/64 points) one of the two
//     products by the factor into the first sums and differences.
//   - The factor scales the outputs up to 16 points and the inputs from 32 points on.
//   - The inverse turns every quarter turn and every sine term the other way; the constants are
//     the forward ones.
// Usage (one slot's unit):
//     using Fwd = smallfft::SmallFft<fft::Dir::Fwd, kSlot >= 6>;
//     Fwd::run<4, false>(src, dst, 1.0f);   // 16 points, unscaled
#pragma once

#include <immintrin.h>

#include "core/slot.h"
#include "fft/fft_direction.h"
#include "fft/small_common.h"
#include "sigprim.h"

#if SIG_SLOT < 5
#error "the 256-bit small transforms need slot 5 or 6"
#endif

namespace sig::SIG_NS::smallfft {

using fft::Dir;

// ---- Constants ---------------------------------------------------------------------------------

using fftsmall::copy1;
using fftsmall::kCos64;
using fftsmall::kSqrtHalf;
using fftsmall::loadOne;
using fftsmall::scale1;
using fftsmall::storeOne;

// The quarter wave folded out to the whole turn with exact signs.
constexpr float cos64(int q)
{
    q &= 63;
    return q <= 16 ? kCos64[q] : q <= 32 ? -kCos64[32 - q] : q < 48 ? -kCos64[q - 32] : kCos64[64 - q];
}
constexpr float sin64(int q) { return cos64(q - 16); }

struct alignas(32) Lanes {
    float v[8];
};
// Sign bits that, after re and im are exchanged, make a quarter turn: (im, -re) is -j, (-im, re)
// is +j.
inline constexpr Lanes kTurnMinusJ = {{0.0f, -0.0f, 0.0f, -0.0f, 0.0f, -0.0f, 0.0f, -0.0f}};
inline constexpr Lanes kTurnPlusJ = {{-0.0f, 0.0f, -0.0f, 0.0f, -0.0f, 0.0f, -0.0f, 0.0f}};
inline constexpr Lanes kSqrtHalfLanes = {
    {kSqrtHalf, kSqrtHalf, kSqrtHalf, kSqrtHalf, kSqrtHalf, kSqrtHalf, kSqrtHalf, kSqrtHalf}};

// The 8-point kernel's odd terms (O1, O3) in one 128-bit register: the quarter turn of O2 alone,
// the signs that form (re+im, im-re, re-im, re+im) forward or (re-im, im+re, re+im, im-re)
// inverse from (re, im) and its exchange, and the factors that finish W8 and W8^3.
inline constexpr Lanes kN8 = {{0.0f, 0.0f, 0.0f, -0.0f,   // forward: -j on the upper value
                               0.0f, 0.0f, -0.0f, 0.0f}};  // inverse: +j on the upper value
inline constexpr Lanes kN8Odd = {{0.0f, -0.0f, -0.0f, 0.0f,    // forward
                                  -0.0f, 0.0f, 0.0f, -0.0f}};  // inverse
inline constexpr Lanes kN8Root = {{kSqrtHalf, kSqrtHalf, -kSqrtHalf, -kSqrtHalf, 0, 0, 0, 0}};

// Four twiddle factors W^(a*(b0+i)), i = 0..3, of an n-point transform, in the form a vector of
// four complex values is rotated by: (c, c) and (s, -s) per value.
struct alignas(32) Twiddle {
    float c[8];
    float s[8];
};
constexpr Twiddle twiddle(int n, int a, int b0)
{
    Twiddle w{};
    for (int i = 0; i < 4; ++i) {
        const int q = (a * (b0 + i) % n) * (64 / n);
        w.c[2 * i] = w.c[2 * i + 1] = cos64(q);
        w.s[2 * i] = sin64(q);
        w.s[2 * i + 1] = -sin64(q);
    }
    return w;
}
// 16 points: rows k1 = 1..3 over columns 0..3.
inline constexpr Twiddle kTw16[3] = {twiddle(16, 1, 0), twiddle(16, 2, 0), twiddle(16, 3, 0)};
// 32 points: rows k1 = 1..3, columns 0..3 then 4..7.
inline constexpr Twiddle kTw32[3][2] = {{twiddle(32, 1, 0), twiddle(32, 1, 4)},
                                        {twiddle(32, 2, 0), twiddle(32, 2, 4)},
                                        {twiddle(32, 3, 0), twiddle(32, 3, 4)}};
// 64 points, [a][h] = W^(a*(4h..4h+3)): a = n = 1..3 over k1 0..3 and 4..7 (columns 0-3 after
// their transpose), which also serve a = k1 = 1..3 over n = 4..7; then a = k1 = 4..7 over n = 4..7.
inline constexpr Twiddle kTw64[8][2] = {
    {},
    {twiddle(64, 1, 0), twiddle(64, 1, 4)},
    {twiddle(64, 2, 0), twiddle(64, 2, 4)},
    {twiddle(64, 3, 0), twiddle(64, 3, 4)},
    {{}, twiddle(64, 4, 4)},
    {{}, twiddle(64, 5, 4)},
    {{}, twiddle(64, 6, 4)},
    {{}, twiddle(64, 7, 4)}};

// ---- Element-wise operations, one spelling for 128 and 256 bits --------------------------------

inline __m128 add(__m128 a, __m128 b) { return _mm_add_ps(a, b); }
inline __m256 add(__m256 a, __m256 b) { return _mm256_add_ps(a, b); }
inline __m128 sub(__m128 a, __m128 b) { return _mm_sub_ps(a, b); }
inline __m256 sub(__m256 a, __m256 b) { return _mm256_sub_ps(a, b); }
inline __m128 mul(__m128 a, __m128 b) { return _mm_mul_ps(a, b); }
inline __m256 mul(__m256 a, __m256 b) { return _mm256_mul_ps(a, b); }
inline __m128 flipSigns(__m128 a, __m128 signs) { return _mm_xor_ps(a, signs); }
inline __m256 flipSigns(__m256 a, __m256 signs) { return _mm256_xor_ps(a, signs); }
inline __m128 swapReIm(__m128 a) { return _mm_permute_ps(a, 0xB1); }
inline __m256 swapReIm(__m256 a) { return _mm256_permute_ps(a, 0xB1); }

// The first 4 or 8 floats of an aligned constant.
template <class V>
inline V constant(const float* p)
{
    if constexpr (sizeof(V) == 32)
        return _mm256_load_ps(p);
    else
        return _mm_load_ps(p);
}

template <class V>
inline V splat(float f)
{
    if constexpr (sizeof(V) == 32)
        return _mm256_set1_ps(f);
    else
        return _mm_set1_ps(f);
}

// v times -j (forward) or +j (inverse): exact, no multiplication.
template <Dir D, class V>
inline V quarterTurn(V v)
{
    return flipSigns(swapReIm(v), constant<V>(D == Dir::Fwd ? kTurnMinusJ.v : kTurnPlusJ.v));
}

// The fused forms of slot 6, reached only from `if constexpr (Fma)` branches.
template <bool Fma>
struct Fused;
#ifdef __FMA__
template <>
struct Fused<true> {
    static __m256 mulAdd(__m256 a, __m256 b, __m256 c) { return _mm256_fmadd_ps(a, b, c); }      // ab + c
    static __m256 mulSub(__m256 a, __m256 b, __m256 c) { return _mm256_fmsub_ps(a, b, c); }      // ab - c
    static __m256 negMulAdd(__m256 a, __m256 b, __m256 c) { return _mm256_fnmadd_ps(a, b, c); }  // c - ab
};
#endif

// v times the four factors of w: v*(c, c) + swap(v)*(s, -s) forward, minus inverse (the
// conjugate factors). The sine product is rounded on both slots; slot 6 fuses the cosine product.
template <Dir D, bool Fma>
inline __m256 rotate(__m256 v, const Twiddle& w)
{
    const __m256 c = _mm256_load_ps(w.c);
    const __m256 sine = mul(swapReIm(v), _mm256_load_ps(w.s));
    if constexpr (Fma)
        return D == Dir::Fwd ? Fused<Fma>::mulAdd(v, c, sine) : Fused<Fma>::mulSub(v, c, sine);
    else
        return D == Dir::Fwd ? add(mul(v, c), sine) : sub(mul(v, c), sine);
}

// How the first sums and differences s = x + y, d = x - y of a split are formed. Slot 6 folds the
// factor of the scaled 32- and 64-point kernels into them: the product of one operand with the
// factor is rounded, the other's is fused into both the sum and the difference.
enum class Split { Plain, FuseX, FuseY };

template <bool Fma, Split S>
inline void sumDiff(__m256 x, __m256 y, __m256 f, __m256& s, __m256& d)
{
    if constexpr (S == Split::Plain) {
        s = add(x, y);
        d = sub(x, y);
    } else if constexpr (S == Split::FuseX) {
        const __m256 yf = mul(y, f);
        s = Fused<Fma>::mulAdd(x, f, yf);
        d = Fused<Fma>::mulSub(x, f, yf);
    } else {
        const __m256 xf = mul(x, f);
        s = Fused<Fma>::mulAdd(y, f, xf);
        d = Fused<Fma>::negMulAdd(y, f, xf);
    }
}

// ---- Butterflies, element-wise across vectors --------------------------------------------------

// The 4-point transform from its first sums and differences a = x0+x2, b = x0-x2, c = x1+x3,
// e = x1-x3: (a+c, b+d, a-c, b-d) with d = -j*e (forward) or +j*e (inverse).
template <Dir D, class V>
inline void butterfly4From(V a, V b, V c, V e, V& y0, V& y1, V& y2, V& y3)
{
    const V d = quarterTurn<D>(e);
    y0 = add(a, c);
    y1 = add(b, d);
    y2 = sub(a, c);
    y3 = sub(b, d);
}

template <Dir D, class V>
inline void butterfly4(V& x0, V& x1, V& x2, V& x3)
{
    butterfly4From<D>(add(x0, x2), sub(x0, x2), add(x1, x3), sub(x1, x3), x0, x1, x2, x3);
}

// The 8-point transform by decimation in frequency, from u_r = a_r + a_(r+4) and
// d_r = a_r - a_(r+4): the even outputs are the 4-point transform of u; the odd ones
// Y1 = (d0+X) - j(d2+Y), Y3 = (d0-X) - j(Y-d2), Y5 = (d0-X) + j(Y-d2), Y7 = (d0+X) + j(d2+Y)
// forward (j turned the other way inverse), X = P - Q, Y = P + Q. P is rounded on both slots;
// slot 6 fuses the Q product into X and Y.
template <Dir D, bool Fma>
inline void dif8From(const __m256 (&u)[4], const __m256 (&d)[4], __m256 (&y)[8])
{
    butterfly4From<D>(add(u[0], u[2]), sub(u[0], u[2]), add(u[1], u[3]), sub(u[1], u[3]), y[0], y[2],
                      y[4], y[6]);
    const __m256 root = _mm256_load_ps(kSqrtHalfLanes.v);
    const __m256 p = mul(d[1], root);
    __m256 x, yy;
    if constexpr (Fma) {
        x = Fused<Fma>::negMulAdd(d[3], root, p);
        yy = Fused<Fma>::mulAdd(d[3], root, p);
    } else {
        const __m256 q = mul(d[3], root);
        x = sub(p, q);
        yy = add(p, q);
    }
    const __m256 s1 = add(d[0], x), t1 = quarterTurn<D>(add(d[2], yy));
    const __m256 s3 = sub(d[0], x), t3 = quarterTurn<D>(sub(yy, d[2]));
    y[1] = add(s1, t1);
    y[7] = sub(s1, t1);
    y[3] = add(s3, t3);
    y[5] = sub(s3, t3);
}

// In place over a[0..7]; pairs r = 0, 1 split by S01, pairs 2, 3 by S23.
template <Dir D, bool Fma, Split S01 = Split::Plain, Split S23 = Split::Plain>
inline void dif8(__m256 (&a)[8], __m256 f = _mm256_setzero_ps())
{
    __m256 u[4], d[4];
    sumDiff<Fma, S01>(a[0], a[4], f, u[0], d[0]);
    sumDiff<Fma, S01>(a[1], a[5], f, u[1], d[1]);
    sumDiff<Fma, S23>(a[2], a[6], f, u[2], d[2]);
    sumDiff<Fma, S23>(a[3], a[7], f, u[3], d[3]);
    dif8From<D, Fma>(u, d, a);
}

// Four vectors of four complex values each, as a 4x4 matrix of complex values, transposed.
inline void transpose4(__m256& r0, __m256& r1, __m256& r2, __m256& r3)
{
    const __m256d a0 = _mm256_castps_pd(r0), a1 = _mm256_castps_pd(r1);
    const __m256d a2 = _mm256_castps_pd(r2), a3 = _mm256_castps_pd(r3);
    const __m256d t0 = _mm256_unpacklo_pd(a0, a1), t1 = _mm256_unpackhi_pd(a0, a1);
    const __m256d t2 = _mm256_unpacklo_pd(a2, a3), t3 = _mm256_unpackhi_pd(a2, a3);
    r0 = _mm256_castpd_ps(_mm256_permute2f128_pd(t0, t2, 0x20));
    r1 = _mm256_castpd_ps(_mm256_permute2f128_pd(t1, t3, 0x20));
    r2 = _mm256_castpd_ps(_mm256_permute2f128_pd(t0, t2, 0x31));
    r3 = _mm256_castpd_ps(_mm256_permute2f128_pd(t1, t3, 0x31));
}

// ---- Memory access -----------------------------------------------------------------------------

// Both pointers on a 32-byte boundary: whole 256-bit accesses.
struct WholeVectors {
    static __m256 load(const cf32* p) { return _mm256_load_ps(reinterpret_cast<const float*>(p)); }
    static void store(cf32* p, __m256 v) { _mm256_store_ps(reinterpret_cast<float*>(p), v); }
};
// Otherwise 128-bit halves, joined after loading and split for storing: the same values.
struct HalfVectors {
    static __m256 load(const cf32* p)
    {
        const float* f = reinterpret_cast<const float*>(p);
        return _mm256_insertf128_ps(_mm256_castps128_ps256(_mm_loadu_ps(f)), _mm_loadu_ps(f + 4), 1);
    }
    static void store(cf32* p, __m256 v)
    {
        float* f = reinterpret_cast<float*>(p);
        _mm_storeu_ps(f, _mm256_castps256_ps128(v));
        _mm_storeu_ps(f + 4, _mm256_extractf128_ps(v, 1));
    }
};

inline bool aligned32(const void* p) { return (reinterpret_cast<__UINTPTR_TYPE__>(p) & 31) == 0; }

// ---- The direction-free kernel of 2 points ------------------------------------------------------

template <bool Scaled>
inline void butterfly2(const cf32* src, cf32* dst, float f)
{
    const cf32 x0 = src[0], x1 = src[1];
    cf32 y0{x0.re + x1.re, x0.im + x1.im}, y1{x0.re - x1.re, x0.im - x1.im};
    if constexpr (Scaled) {
        y0 = cf32{y0.re * f, y0.im * f};
        y1 = cf32{y1.re * f, y1.im * f};
    }
    dst[0] = y0;
    dst[1] = y1;
}

// ---- The transforms of 4 to 64 points ----------------------------------------------------------

template <Dir D, bool Fma>
struct SmallFft {
    static constexpr int kDir = D == Dir::Fwd ? 0 : 4;  // offset of the direction's half of kN8*

    // 2^Order points from src to dst; Scaled multiplies by f where the size says (outputs up to
    // 16 points, inputs above).
    template <int Order, bool Scaled>
    [[gnu::always_inline]] static void run(const cf32* src, cf32* dst, float f)
    {
        static_assert(Order >= 2 && Order <= 6);
        if constexpr (Order == 2) {
            n4<Scaled>(src, dst, f);
        } else if constexpr (Order == 3) {
            n8<Scaled>(src, dst, f);
        } else {
            if (aligned32(src) && aligned32(dst))
                wide<Order, Scaled, WholeVectors>(src, dst, f);
            else
                wide<Order, Scaled, HalfVectors>(src, dst, f);
        }
    }

private:
    template <bool Scaled, class V>
    static void scaleOutputs(V* v, int count, float f)
    {
        if constexpr (Scaled) {
            const V fv = splat<V>(f);
#pragma GCC unroll 8
            for (int i = 0; i < count; ++i)
                v[i] = mul(v[i], fv);
        }
    }

    // One complex value per register (the low half): x0..x3 in, X0..X3 out.
    template <bool Scaled>
    static void n4(const cf32* src, cf32* dst, float f)
    {
        __m128 x[4] = {loadOne(src), loadOne(src + 1), loadOne(src + 2), loadOne(src + 3)};
        butterfly4<D>(x[0], x[1], x[2], x[3]);
        scaleOutputs<Scaled>(x, 4, f);
#pragma GCC unroll 4
        for (int i = 0; i < 4; ++i)
            storeOne(dst + i, x[i]);
    }

    // Radix 2 by decimation in time, both 4-point halves at once: even samples in the low value
    // of each 128-bit register, odd samples in the high one.
    template <bool Scaled>
    static void n8(const cf32* src, cf32* dst, float f)
    {
        const float* s = reinterpret_cast<const float*>(src);
        __m128 q0 = _mm_loadu_ps(s), q1 = _mm_loadu_ps(s + 4), q2 = _mm_loadu_ps(s + 8),
               q3 = _mm_loadu_ps(s + 12);
        butterfly4<D>(q0, q1, q2, q3);  // q_k = (E_k, O_k)
        const __m128 e02 = _mm_movelh_ps(q0, q2), o02 = _mm_movehl_ps(q2, q0);  // (E0, E2), (O0, O2)
        const __m128 e13 = _mm_movelh_ps(q1, q3), o13 = _mm_movehl_ps(q3, q1);  // (E1, E3), (O1, O3)
        // O0 as it is, O2 by the quarter turn.
        const __m128 t02 = flipSigns(_mm_permute_ps(o02, _MM_SHUFFLE(2, 3, 1, 0)),
                                     _mm_load_ps(kN8.v + kDir));
        // O1 by W8 and O3 by W8^3: sqrt(1/2) times a sum and a difference of the parts.
        const __m128 t13 = mul(add(o13, flipSigns(swapReIm(o13), _mm_load_ps(kN8Odd.v + kDir))),
                               _mm_load_ps(kN8Root.v));
        // (X0, X2), (X1, X3), (X4, X6), (X5, X7)
        __m128 x[4] = {add(e02, t02), add(e13, t13), sub(e02, t02), sub(e13, t13)};
        scaleOutputs<Scaled>(x, 4, f);
        float* o = reinterpret_cast<float*>(dst);
        _mm_storeu_ps(o, _mm_movelh_ps(x[0], x[1]));
        _mm_storeu_ps(o + 4, _mm_movehl_ps(x[1], x[0]));
        _mm_storeu_ps(o + 8, _mm_movelh_ps(x[2], x[3]));
        _mm_storeu_ps(o + 12, _mm_movehl_ps(x[3], x[2]));
    }

    template <int Order, bool Scaled, class Mem>
    [[gnu::always_inline]] static void wide(const cf32* src, cf32* dst, float f)
    {
        if constexpr (Order == 4)
            n16<Scaled, Mem>(src, dst, f);
        else if constexpr (Order == 5)
            n32<Scaled, Mem>(src, dst, f);
        else
            n64<Scaled, Mem>(src, dst, f);
    }

    // 4 x 4: rows x[4m..4m+3] as vectors; 4-point transforms down the columns, row k1 turned by
    // W16^(n*k1), transpose, 4-point transforms across the columns: vector k2 holds X[4*k2 + k1].
    template <bool Scaled, class Mem>
    [[gnu::always_inline]] static void n16(const cf32* src, cf32* dst, float f)
    {
        __m256 v[4];
#pragma GCC unroll 4
        for (int i = 0; i < 4; ++i)
            v[i] = Mem::load(src + 4 * i);
        butterfly4<D>(v[0], v[1], v[2], v[3]);
#pragma GCC unroll 3
        for (int k1 = 1; k1 < 4; ++k1)
            v[k1] = rotate<D, Fma>(v[k1], kTw16[k1 - 1]);
        transpose4(v[0], v[1], v[2], v[3]);
        butterfly4<D>(v[0], v[1], v[2], v[3]);
        scaleOutputs<Scaled>(v, 4, f);
#pragma GCC unroll 4
        for (int k2 = 0; k2 < 4; ++k2)
            Mem::store(dst + 4 * k2, v[k2]);
    }

    // 4 x 8: rows x[8m..8m+7] as two vectors each (v[2m + h], columns 4h..4h+3); 4-point
    // transforms down the columns, row k1 turned by W32^(n*k1), two transposes, 8-point
    // transforms across the columns: vector k2 holds X[4*k2 + k1].
    template <bool Scaled, class Mem>
    [[gnu::always_inline]] static void n32(const cf32* src, cf32* dst, float f)
    {
        const __m256 fv = _mm256_set1_ps(f);
        __m256 v[8];
#pragma GCC unroll 8
        for (int i = 0; i < 8; ++i)
            v[i] = Mem::load(src + 4 * i);
        if constexpr (Scaled && !Fma)
            scaleInputs(v, fv);
        constexpr Split kFirst = Scaled && Fma ? Split::FuseX : Split::Plain;  // x[t] with x[t+16]
        __m256 y[8];  // y[2*k1 + h]
#pragma GCC unroll 2
        for (int h = 0; h < 2; ++h) {
            __m256 a, b, c, e;
            sumDiff<Fma, kFirst>(v[h], v[4 + h], fv, a, b);
            sumDiff<Fma, kFirst>(v[2 + h], v[6 + h], fv, c, e);
            butterfly4From<D>(a, b, c, e, y[h], y[2 + h], y[4 + h], y[6 + h]);
        }
#pragma GCC unroll 3
        for (int k1 = 1; k1 < 4; ++k1) {
            y[2 * k1] = rotate<D, Fma>(y[2 * k1], kTw32[k1 - 1][0]);
            y[2 * k1 + 1] = rotate<D, Fma>(y[2 * k1 + 1], kTw32[k1 - 1][1]);
        }
        __m256 t[8] = {y[0], y[2], y[4], y[6], y[1], y[3], y[5], y[7]};
        transpose4(t[0], t[1], t[2], t[3]);  // columns 0..3, lanes k1
        transpose4(t[4], t[5], t[6], t[7]);  // columns 4..7
        dif8<D, Fma>(t);
#pragma GCC unroll 8
        for (int k2 = 0; k2 < 8; ++k2)
            Mem::store(dst + 4 * k2, t[k2]);
    }

    // 8 x 8: rows x[8m..8m+7] as two vectors each (v[2m + h]). First stage per column half h:
    // 8-point transforms down the columns, twiddles W64^(n*k1) and 4x4 transposes (columns 0-3
    // transposed first and then turned, columns 4-7 turned first), the results waiting in s while
    // the other half runs. Second stage per half g of k1: 8-point transforms across the columns;
    // vector k2 holds X[8*k2 + 4g .. 8*k2 + 4g + 3].
    template <bool Scaled, class Mem>
    [[gnu::always_inline]] static void n64(const cf32* src, cf32* dst, float f)
    {
        const __m256 fv = _mm256_set1_ps(f);
        __m256 v[16];
#pragma GCC unroll 16
        for (int i = 0; i < 16; ++i)
            v[i] = Mem::load(src + 4 * i);
        if constexpr (Scaled && !Fma)
            scaleInputs(v, fv);
        // Slot 6, scaled: x[t] fused for t < 16 (rows 0, 1), x[t + 32] fused for t = 16..31.
        constexpr Split kLow = Scaled && Fma ? Split::FuseX : Split::Plain;
        constexpr Split kHigh = Scaled && Fma ? Split::FuseY : Split::Plain;
        __m256 s[16];  // s[8g + n]: column n, lanes k1 = 4g..4g+3
#pragma GCC unroll 2
        for (int h = 0; h < 2; ++h) {
            __m256 y[8];
#pragma GCC unroll 8
            for (int m = 0; m < 8; ++m)
                y[m] = v[2 * m + h];
            dif8<D, Fma, kLow, kHigh>(y, fv);  // y[k1], lanes n = 4h..4h+3
            if (h == 1) {
#pragma GCC unroll 7
                for (int k1 = 1; k1 < 8; ++k1)
                    y[k1] = rotate<D, Fma>(y[k1], kTw64[k1][1]);
            }
            transpose4(y[0], y[1], y[2], y[3]);
            transpose4(y[4], y[5], y[6], y[7]);
            if (h == 0) {
#pragma GCC unroll 3
                for (int n = 1; n < 4; ++n) {
                    y[n] = rotate<D, Fma>(y[n], kTw64[n][0]);
                    y[4 + n] = rotate<D, Fma>(y[4 + n], kTw64[n][1]);
                }
            }
#pragma GCC unroll 4
            for (int n = 0; n < 4; ++n) {
                s[4 * h + n] = y[n];
                s[8 + 4 * h + n] = y[4 + n];
            }
        }
#pragma GCC unroll 2
        for (int g = 0; g < 2; ++g) {
            __m256 t[8];
#pragma GCC unroll 8
            for (int n = 0; n < 8; ++n)
                t[n] = s[8 * g + n];
            dif8<D, Fma>(t);
#pragma GCC unroll 8
            for (int k2 = 0; k2 < 8; ++k2)
                Mem::store(dst + 8 * k2 + 4 * g, t[k2]);
        }
    }

    template <int Count>
    static void scaleInputs(__m256 (&v)[Count], __m256 fv)
    {
#pragma GCC unroll 16
        for (int i = 0; i < Count; ++i)
            v[i] = mul(v[i], fv);
    }
};

}  // namespace sig::SIG_NS::smallfft
