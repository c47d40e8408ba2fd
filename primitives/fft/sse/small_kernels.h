// Straight-line transforms of 1 to 32 points for the 128-bit slots (1: SSE2, 2: SSSE3,
// 3: SSSE3 with MOVBE, 4: SSE4.1), one body for both directions and all four slots. Natural order
// in and out, every input read before the first output is written, so src == dst is allowed; any
// 8-byte alignment is accepted.
//
// What fixes the bits of every result (slots 1 to 4 must agree bit for bit, and the inverse must
// be the exact conjugate twin of the forward up to the sign of zeros):
//   - Only SSE2 adds, subtracts and products, each rounded; no fused multiply-add anywhere.
//   - 4 points: a = x0+x2, b = x0-x2, c = x1+x3, d = -j(x1-x3); X = (a+c, b+d, a-c, b-d), the
//     inverse turning d the other way.
//   - 8 points: the 4-point transforms E of the even and O of the odd samples side by side, then
//     X[k] = E[k] + O'[k], X[k+4] = E[k] - O'[k] with O'1 = s*(re+im, im-re), O'2 = -j O2 and
//     O'3 = -s*(re-im, im+re), s = sqrt(1/2) (inverse: the conjugate factors).
//   - 16 = 4x4 and 32 = 4x8: 4-point transforms down the columns k of x[k + cols*r], each output q
//     turned by W^(q*k) as a*(c, c) +- swap(a)*(s, -s), the factors 1 and -j exactly, then the
//     transforms across the columns: 4-point for 16, and for 32 a radix-2 step on the columns
//     (k, k+4) whose differences are turned by W8^k as in the 8-point kernel, then two 4-point
//     transforms. Output m of row q is X[q + 4m].
//   - Scaled twins multiply every output by the factor just before it is stored, except the
//     16-point one, which multiplies the operands of its last sums and differences (so it may
//     differ from the unscaled output times the factor in the last bits of the largest output).
// Usage (one slot's unit):
//     using Fwd = ssefft::SmallFft<fft::Dir::Fwd>;
//     Fwd::run<4, false>(src, dst, 1.0f);   // 16 points, unscaled
#pragma once

#include <emmintrin.h>

#include <cstdint>

#include "core/slot.h"
#include "fft/fft_direction.h"
#include "fft/small_common.h"
#include "sigprim.h"

#if SIG_SLOT < 1 || SIG_SLOT > 4
#error "the 128-bit small transforms belong to slots 1 to 4"
#endif

namespace sig::SIG_NS::ssefft {

using fft::Dir;

// ---- Constants ---------------------------------------------------------------------------------

using fftsmall::copy1;
using fftsmall::kSqrtHalf;
using fftsmall::loadOne;
using fftsmall::scale1;
using fftsmall::storeOne;

// cos(pi*e/16) from the even entries of the shared quarter wave. The fold stays this body's own:
// it gives -0 at three quarters of a turn (so sin32(0) is -0), and the 256-bit body +0.
constexpr float cos32(int e)
{
    e &= 31;
    const auto quarter = [](int k) { return fftsmall::kCos64[2 * k]; };
    return e <= 8 ? quarter(e) : e <= 16 ? -quarter(16 - e) : e <= 24 ? -quarter(e - 16) : quarter(32 - e);
}
constexpr float sin32(int e) { return cos32(e + 24); }

struct alignas(16) Lanes {
    float v[4];
};
// Sign bits that, after re and im are exchanged, make a quarter turn of both values: (im, -re) is
// -j, (-im, re) is +j.
inline constexpr Lanes kTurnMinusJ = {{0.0f, -0.0f, 0.0f, -0.0f}};
inline constexpr Lanes kTurnPlusJ = {{-0.0f, 0.0f, -0.0f, 0.0f}};
inline constexpr Lanes kRoot = {{kSqrtHalf, kSqrtHalf, kSqrtHalf, kSqrtHalf}};
inline constexpr Lanes kMinusRoot = {{-kSqrtHalf, -kSqrtHalf, -kSqrtHalf, -kSqrtHalf}};
// The 8-point kernel's (O1, O3) register: forward (re+im, im-re) for W8 and (re-im, im+re) for
// W8^3 from (re, im) and its exchange, the inverse the other way round; then the factors.
inline constexpr Lanes kRootOddFwd = {{0.0f, -0.0f, -0.0f, 0.0f}};
inline constexpr Lanes kRootOddInv = {{-0.0f, 0.0f, 0.0f, -0.0f}};
inline constexpr Lanes kRootOdd = {{kSqrtHalf, kSqrtHalf, -kSqrtHalf, -kSqrtHalf}};
// The quarter turn of the upper value alone, for the 8-point kernel's (O0, O2) register.
inline constexpr Lanes kTurnHighFwd = {{0.0f, 0.0f, 0.0f, -0.0f}};
inline constexpr Lanes kTurnHighInv = {{0.0f, 0.0f, -0.0f, 0.0f}};

// How the lower of a register's two values is turned when its factor is exact.
enum class Low { Multiply, One, QuarterTurn };

// The factors W32^e0 and W32^e1 of the two values of a register, in the form they are applied:
// (c, c, c', c') and (s, -s, s', -s') for w = c - js.
struct alignas(16) Twiddle {
    float c[4];
    float s[4];
};
constexpr Twiddle twiddle(int e0, int e1)
{
    return {{cos32(e0), cos32(e0), cos32(e1), cos32(e1)},
            {sin32(e0), -sin32(e0), sin32(e1), -sin32(e1)}};
}
// 16 points (exponents in units of W32 = W16^(1/2)), [q - 1][h]: columns 2h, 2h+1 of row q.
inline constexpr Twiddle kTw16[3][2] = {{twiddle(0, 2), twiddle(4, 6)},
                                        {twiddle(0, 4), twiddle(8, 12)},
                                        {twiddle(0, 6), twiddle(12, 18)}};
// 32 points, [q - 1][h]: W32^(q*k) for the columns k = 2h, 2h+1 of row q.
constexpr Twiddle twiddle32(int q, int h) { return twiddle(q * 2 * h, q * (2 * h + 1)); }
inline constexpr Twiddle kTw32[3][4] = {
    {twiddle32(1, 0), twiddle32(1, 1), twiddle32(1, 2), twiddle32(1, 3)},
    {twiddle32(2, 0), twiddle32(2, 1), twiddle32(2, 2), twiddle32(2, 3)},
    {twiddle32(3, 0), twiddle32(3, 1), twiddle32(3, 2), twiddle32(3, 3)}};

// ---- Element-wise operations -------------------------------------------------------------------

inline __m128 add(__m128 a, __m128 b) { return _mm_add_ps(a, b); }
inline __m128 sub(__m128 a, __m128 b) { return _mm_sub_ps(a, b); }
inline __m128 mul(__m128 a, __m128 b) { return _mm_mul_ps(a, b); }
inline __m128 flipSigns(__m128 a, const Lanes& signs) { return _mm_xor_ps(a, _mm_load_ps(signs.v)); }
inline __m128 constant(const float* p) { return _mm_load_ps(p); }
inline __m128 swapReIm(__m128 a) { return _mm_shuffle_ps(a, a, _MM_SHUFFLE(2, 3, 0, 1)); }
// The lower value of lo with the upper value of hi; the bits pass unchanged.
inline __m128 lowFrom(__m128 hi, __m128 lo)
{
    return _mm_castpd_ps(_mm_move_sd(_mm_castps_pd(hi), _mm_castps_pd(lo)));
}

// Both values times -j (forward) or +j (inverse): exact, no multiplication.
template <Dir D>
inline __m128 quarterTurn(__m128 v)
{
    return flipSigns(swapReIm(v), D == Dir::Fwd ? kTurnMinusJ : kTurnPlusJ);
}

// v times the two factors of w: v*(c, c) + swap(v)*(s, -s) forward, minus that inverse (the
// conjugate factors). A lower factor of exactly 1 or -j (inverse +j) is applied without a product.
template <Dir D, Low L = Low::Multiply>
inline __m128 rotate(__m128 v, const Twiddle& w)
{
    const __m128 cosine = mul(v, constant(w.c)), sine = mul(swapReIm(v), constant(w.s));
    const __m128 r = D == Dir::Fwd ? add(cosine, sine) : sub(cosine, sine);
    if constexpr (L == Low::One)
        return lowFrom(r, v);
    else if constexpr (L == Low::QuarterTurn)
        return lowFrom(r, quarterTurn<D>(v));
    else
        return r;
}

// Both values times W8 = s(1 - j) or W8^3 = -s(1 + j), s = sqrt(1/2): s(v - jv) and -s(v + jv),
// that is s*(re+im, im-re) and -s*(re-im, im+re); the inverse takes the conjugate factors.
template <Dir D, int Power>
inline __m128 rootTurn(__m128 v)
{
    static_assert(Power == 1 || Power == 3);
    constexpr Dir kTurn = Power == 1 ? D : D == Dir::Fwd ? Dir::Inv : Dir::Fwd;
    return mul(add(v, quarterTurn<kTurn>(v)), constant(Power == 1 ? kRoot.v : kMinusRoot.v));
}

// ---- Butterflies, element-wise across registers ------------------------------------------------

// The 4-point transform from its first sums and differences a = x0+x2, b = x0-x2, c = x1+x3,
// e = x1-x3: (a+c, b+d, a-c, b-d) with d = -j*e (forward) or +j*e (inverse).
template <Dir D>
inline void butterfly4From(__m128 a, __m128 b, __m128 c, __m128 e, __m128& y0, __m128& y1, __m128& y2,
                           __m128& y3)
{
    const __m128 d = quarterTurn<D>(e);
    y0 = add(a, c);
    y1 = add(b, d);
    y2 = sub(a, c);
    y3 = sub(b, d);
}

template <Dir D>
inline void butterfly4(__m128& x0, __m128& x1, __m128& x2, __m128& x3)
{
    butterfly4From<D>(add(x0, x2), sub(x0, x2), add(x1, x3), sub(x1, x3), x0, x1, x2, x3);
}

// ---- Memory access -----------------------------------------------------------------------------

// Both pointers on a 16-byte boundary: whole-register loads and stores.
struct WholeVectors {
    static __m128 load(const cf32* p) { return _mm_load_ps(reinterpret_cast<const float*>(p)); }
    static void store(cf32* p, __m128 v) { _mm_store_ps(reinterpret_cast<float*>(p), v); }
};
// Otherwise unaligned loads, and each register stored as two 8-byte halves.
struct HalfVectors {
    static __m128 load(const cf32* p) { return _mm_loadu_ps(reinterpret_cast<const float*>(p)); }
    static void store(cf32* p, __m128 v)
    {
        _mm_storel_pi(reinterpret_cast<__m64*>(p), v);
        _mm_storeh_pi(reinterpret_cast<__m64*>(p + 1), v);
    }
};

inline bool aligned16(const void* p) { return (reinterpret_cast<uintptr_t>(p) & 15) == 0; }

// ---- The direction-free kernel of 2 points ------------------------------------------------------

// X1 is stored first and X0 last, both inputs read before either.
template <bool Scaled>
inline void butterfly2(const cf32* src, cf32* dst, float f)
{
    const float r0 = src[0].re, i0 = src[0].im, r1 = src[1].re, i1 = src[1].im;
    if constexpr (Scaled) {
        dst[1] = cf32{(r0 - r1) * f, (i0 - i1) * f};
        dst[0] = cf32{(r0 + r1) * f, (i0 + i1) * f};
    } else {
        dst[1] = cf32{r0 - r1, i0 - i1};
        dst[0] = cf32{r0 + r1, i0 + i1};
    }
}

// ---- The transforms of 4 to 32 points ----------------------------------------------------------

template <Dir D>
struct SmallFft {
    // 2^Order points from src to dst; Scaled multiplies by f (the outputs, or for 16 points the
    // operands of the last sums and differences).
    template <int Order, bool Scaled>
    [[gnu::always_inline]] static void run(const cf32* src, cf32* dst, float f)
    {
        static_assert(Order >= 2 && Order <= 5);
        if constexpr (Order == 2) {
            n4<Scaled>(src, dst, f);
        } else if constexpr (Order == 3) {
            n8<Scaled>(src, dst, f);
        } else {
            if (aligned16(src) && aligned16(dst))
                wide<Order, Scaled, WholeVectors>(src, dst, f);
            else
                wide<Order, Scaled, HalfVectors>(src, dst, f);
        }
    }

private:
    template <bool Scaled, int Count>
    static void scaleAll(__m128 (&v)[Count], float f)
    {
        if constexpr (Scaled) {
            const __m128 fv = _mm_set1_ps(f);
#pragma GCC unroll 8
            for (int i = 0; i < Count; ++i)
                v[i] = mul(v[i], fv);
        }
    }

    // One complex value per register (the low half).
    template <bool Scaled>
    static void n4(const cf32* src, cf32* dst, float f)
    {
        __m128 x[4] = {loadOne(src), loadOne(src + 1), loadOne(src + 2), loadOne(src + 3)};
        butterfly4<D>(x[0], x[1], x[2], x[3]);
        scaleAll<Scaled>(x, f);
#pragma GCC unroll 4
        for (int i = 0; i < 4; ++i)
            storeOne(dst + i, x[i]);
    }

    // Radix 2 by decimation in time, both 4-point halves at once: even samples in the low value
    // of each register, odd samples in the high one.
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
        const __m128 t02 = flipSigns(_mm_shuffle_ps(o02, o02, _MM_SHUFFLE(2, 3, 1, 0)),
                                     D == Dir::Fwd ? kTurnHighFwd : kTurnHighInv);
        // O1 by W8 and O3 by W8^3: sqrt(1/2) times a sum and a difference of the parts.
        const __m128 t13 = mul(add(o13, flipSigns(swapReIm(o13), D == Dir::Fwd ? kRootOddFwd : kRootOddInv)),
                               constant(kRootOdd.v));
        // (X0, X2), (X1, X3), (X4, X6), (X5, X7)
        __m128 x[4] = {add(e02, t02), add(e13, t13), sub(e02, t02), sub(e13, t13)};
        scaleAll<Scaled>(x, f);
#pragma GCC unroll 4
        for (int i = 0; i < 4; ++i) {
            _mm_storel_pi(reinterpret_cast<__m64*>(dst + 4 * (i >> 1) + (i & 1)), x[i]);
            _mm_storeh_pi(reinterpret_cast<__m64*>(dst + 4 * (i >> 1) + (i & 1) + 2), x[i]);
        }
    }

    template <int Order, bool Scaled, class Mem>
    [[gnu::always_inline]] static void wide(const cf32* src, cf32* dst, float f)
    {
        if constexpr (Order == 4)
            n16<Scaled, Mem>(src, dst, f);
        else
            n32<Scaled, Mem>(src, dst, f);
    }

    // Rows q and q+1 of the column transforms, each held as column pairs (2h, 2h+1), regrouped so
    // that register k holds column k of both rows.
    template <int Cols>
    static void pairRows(const __m128 (&a)[Cols / 2], const __m128 (&b)[Cols / 2], __m128 (&z)[Cols])
    {
#pragma GCC unroll 4
        for (int h = 0; h < Cols / 2; ++h) {
            z[2 * h] = _mm_movelh_ps(a[h], b[h]);
            z[2 * h + 1] = _mm_movehl_ps(b[h], a[h]);
        }
    }

    // 4 x 4: v[2r + h] = x[4r + 2h], x[4r + 2h + 1]. 4-point transforms down the columns,
    // y[q][h] = output q of columns 2h, 2h+1, turned by W16^(q*k); rows paired; 4-point transforms
    // across the columns of rows (2p, 2p+1) give X[4m + 2p], X[4m + 2p + 1].
    template <bool Scaled, class Mem>
    [[gnu::always_inline]] static void n16(const cf32* src, cf32* dst, float f)
    {
        __m128 v[8];
#pragma GCC unroll 8
        for (int i = 0; i < 8; ++i)
            v[i] = Mem::load(src + 2 * i);
        __m128 y[4][2];
#pragma GCC unroll 2
        for (int h = 0; h < 2; ++h)
            butterfly4From<D>(add(v[h], v[4 + h]), sub(v[h], v[4 + h]), add(v[2 + h], v[6 + h]),
                              sub(v[2 + h], v[6 + h]), y[0][h], y[1][h], y[2][h], y[3][h]);
        y[1][0] = rotate<D, Low::One>(y[1][0], kTw16[0][0]);
        y[1][1] = rotate<D>(y[1][1], kTw16[0][1]);
        y[2][0] = rotate<D, Low::One>(y[2][0], kTw16[1][0]);
        y[2][1] = rotate<D, Low::QuarterTurn>(y[2][1], kTw16[1][1]);
        y[3][0] = rotate<D, Low::One>(y[3][0], kTw16[2][0]);
        y[3][1] = rotate<D>(y[3][1], kTw16[2][1]);
        const __m128 fv = _mm_set1_ps(f);
#pragma GCC unroll 2
        for (int p = 0; p < 2; ++p) {
            __m128 z[4];
            pairRows<4>(y[2 * p], y[2 * p + 1], z);
            __m128 a = add(z[0], z[2]), b = sub(z[0], z[2]), c = add(z[1], z[3]), e = sub(z[1], z[3]);
            if constexpr (Scaled) {
                a = mul(a, fv);
                b = mul(b, fv);
                c = mul(c, fv);
                e = mul(e, fv);
            }
            __m128 x[4];
            butterfly4From<D>(a, b, c, e, x[0], x[1], x[2], x[3]);
#pragma GCC unroll 4
            for (int m = 0; m < 4; ++m)
                Mem::store(dst + 4 * m + 2 * p, x[m]);
        }
    }

    // 4 x 8: v[4r + h] = x[8r + 2h], x[8r + 2h + 1]. 4-point transforms down the columns,
    // y[q][h] turned by W32^(q*k); rows paired; per pair an 8-point transform across the columns
    // (radix 2 on columns k, k+4, the differences turned by W8^k, then two 4-point transforms)
    // gives X[4m + 2p], X[4m + 2p + 1].
    template <bool Scaled, class Mem>
    [[gnu::always_inline]] static void n32(const cf32* src, cf32* dst, float f)
    {
        __m128 v[16];
#pragma GCC unroll 16
        for (int i = 0; i < 16; ++i)
            v[i] = Mem::load(src + 2 * i);
        __m128 y[4][4];
#pragma GCC unroll 4
        for (int h = 0; h < 4; ++h)
            butterfly4From<D>(add(v[h], v[8 + h]), sub(v[h], v[8 + h]), add(v[4 + h], v[12 + h]),
                              sub(v[4 + h], v[12 + h]), y[0][h], y[1][h], y[2][h], y[3][h]);
#pragma GCC unroll 3
        for (int q = 1; q < 4; ++q) {
            y[q][0] = rotate<D, Low::One>(y[q][0], kTw32[q - 1][0]);
            y[q][1] = rotate<D>(y[q][1], kTw32[q - 1][1]);
            y[q][3] = rotate<D>(y[q][3], kTw32[q - 1][3]);
        }
        y[1][2] = rotate<D>(y[1][2], kTw32[0][2]);
        y[2][2] = rotate<D, Low::QuarterTurn>(y[2][2], kTw32[1][2]);  // W32^8 = -j at column 4
        y[3][2] = rotate<D>(y[3][2], kTw32[2][2]);
#pragma GCC unroll 2
        for (int p = 0; p < 2; ++p) {
            __m128 z[8];
            pairRows<8>(y[2 * p], y[2 * p + 1], z);
            __m128 u[4], d[4];
#pragma GCC unroll 4
            for (int k = 0; k < 4; ++k) {
                u[k] = add(z[k], z[k + 4]);
                d[k] = sub(z[k], z[k + 4]);
            }
            d[1] = rootTurn<D, 1>(d[1]);
            d[2] = quarterTurn<D>(d[2]);
            d[3] = rootTurn<D, 3>(d[3]);
            __m128 x[8];  // x[2i] = output 2i from u, x[2i + 1] from d
            butterfly4From<D>(add(u[0], u[2]), sub(u[0], u[2]), add(u[1], u[3]), sub(u[1], u[3]), x[0],
                              x[2], x[4], x[6]);
            butterfly4From<D>(add(d[0], d[2]), sub(d[0], d[2]), add(d[1], d[3]), sub(d[1], d[3]), x[1],
                              x[3], x[5], x[7]);
            scaleAll<Scaled>(x, f);
#pragma GCC unroll 8
            for (int m = 0; m < 8; ++m)
                Mem::store(dst + 4 * m + 2 * p, x[m]);
        }
    }
};

}  // namespace sig::SIG_NS::ssefft
