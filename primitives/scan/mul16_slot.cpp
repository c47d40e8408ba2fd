// Complex 16-bit multiply with scale factor: each part of the exact product times
// 2^-scaleFactor, rounded half to even and saturated to 16 bits.
//
// The cases by scale factor: 0 saturates the 32-bit parts; 1..31 rounds them down half to even
// without overflow; -15..-1 saturates first and then shifts left, which stays within 32 bits;
// below -15 only the sign survives saturation, which a shift by 16 of the saturated part gives
// as well; above 31 every result is 0.
#include "core/memory_kernels.h"
#include "scan/scan_kernels.h"
#include "scan/simd16.h"

#define SIG_LIST "scan/scan_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

namespace {

enum class MulCase { NoScale, ShiftRight, ShiftLeft };

int32_t sat16(int32_t x) { return x < -32768 ? -32768 : x > 32767 ? 32767 : x; }

// x / 2^s rounded half to even, s in 1..31, in signed 32 bits without overflow.
int32_t roundHalfEven(int32_t x, int s)
{
    const int32_t h = x >> 1;
    const int32_t t = (int32_t(1) << (s - 1)) + (x & 1) - 1 + ((h >> (s - 1)) & 1);
    return (h + (t >> 1)) >> (s - 1);
}

template <MulCase C>
int32_t scalePart(int32_t x, int shift)
{
    if constexpr (C == MulCase::NoScale)
        return sat16(x);
    else if constexpr (C == MulCase::ShiftRight)
        return sat16(roundHalfEven(x, shift));
    else
        return sat16(sat16(x) * (int32_t(1) << shift));
}

template <MulCase C>
cs16 mulOne(cs16 a, cs16 b, int shift)
{
    const int32_t p = a.re * b.re - a.im * b.im;
    // The one product outside 32 bits is 2^31 (all parts -32768); 2^31 - 1 scales and
    // saturates to the same result.
    const int64_t q64 = int64_t(a.re * b.im) + a.im * b.re;
    const int32_t q = q64 > INT32_MAX ? INT32_MAX : static_cast<int32_t>(q64);
    return cs16{static_cast<int16_t>(scalePart<C>(p, shift)),
                static_cast<int16_t>(scalePart<C>(q, shift))};
}

#if SIG_SLOT >= 1
template <MulCase C>
__m128i scaleLanes(__m128i x, int shift)
{
    const __m128i one = _mm_set1_epi32(1);
    if constexpr (C == MulCase::NoScale) {
        return x;  // the final pack saturates
    } else if constexpr (C == MulCase::ShiftRight) {
        const __m128i sm1 = _mm_cvtsi32_si128(shift - 1);
        const __m128i h = _mm_srai_epi32(x, 1);
        __m128i t = _mm_add_epi32(_mm_set1_epi32((1 << (shift - 1)) - 1), _mm_and_si128(x, one));
        t = _mm_add_epi32(t, _mm_and_si128(_mm_sra_epi32(h, sm1), one));
        return _mm_sra_epi32(_mm_add_epi32(h, _mm_srai_epi32(t, 1)), sm1);
    } else {
        const __m128i p = _mm_packs_epi32(x, x);
        const __m128i sat = _mm_srai_epi32(_mm_unpacklo_epi16(p, p), 16);
        return _mm_sll_epi32(sat, _mm_cvtsi32_si128(shift));
    }
}

// Four products: P from a.re*b.re + (~a.im)*b.im + b.im, exact in wrapping 32-bit arithmetic
// (no 16-bit negation of -32768 needed); Q from a.re*b.im + a.im*b.re, whose one wrapped value
// -2^31 stands for 2^31 and becomes 2^31 - 1.
template <MulCase C>
__m128i mulFour(__m128i a, __m128i b, int shift)
{
    const __m128i notIm = _mm_set1_epi32(static_cast<int32_t>(0xffff0000u));
    const __m128i p = _mm_add_epi32(_mm_madd_epi16(_mm_xor_si128(a, notIm), b), _mm_srai_epi32(b, 16));
    const __m128i bSwap = _mm_shufflehi_epi16(_mm_shufflelo_epi16(b, 0xb1), 0xb1);
    __m128i q = _mm_madd_epi16(a, bSwap);
    q = _mm_xor_si128(q, _mm_cmpeq_epi32(q, _mm_set1_epi32(INT32_MIN)));
    return packComplex(scaleLanes<C>(p, shift), scaleLanes<C>(q, shift));
}
#endif

// dst may be a or b: every element is read before its own place is written.
template <MulCase C>
void mulLoop(const cs16* a, const cs16* b, cs16* dst, int32_t len, int shift)
{
    int32_t i = 0;
#if SIG_SLOT >= 1
    for (; i + 4 <= len; i += 4) {
        const __m128i va = _mm_loadu_si128(reinterpret_cast<const __m128i*>(a + i));
        const __m128i vb = _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), mulFour<C>(va, vb, shift));
    }
#endif
    for (; i < len; ++i)
        dst[i] = mulOne<C>(a[i], b[i], shift);
}

sigStatus mulChecked(const cs16* a, const cs16* b, cs16* dst, int32_t len, int32_t scaleFactor)
{
    if (a == nullptr || b == nullptr || dst == nullptr)
        return sigErrNull;
    if (len < 1)
        return sigErrLength;
    if (scaleFactor > 31)
        return sigkZero_f32(reinterpret_cast<float*>(dst), len);
    if (scaleFactor == 0)
        mulLoop<MulCase::NoScale>(a, b, dst, len, 0);
    else if (scaleFactor > 0)
        mulLoop<MulCase::ShiftRight>(a, b, dst, len, scaleFactor);
    else
        mulLoop<MulCase::ShiftLeft>(a, b, dst, len, scaleFactor < -15 ? 16 : -scaleFactor);
    return sigOk;
}

}  // namespace

sigStatus sigkMulInPlace_cs16(const cs16* src, cs16* srcDst, int32_t len, int32_t scaleFactor)
{
    return mulChecked(srcDst, src, srcDst, len, scaleFactor);
}

sigStatus sigMul_cs16(const cs16* src1, const cs16* src2, cs16* dst, int32_t len,
                      int32_t scaleFactor)
{
    if (dst == src2)
        return sigkMulInPlace_cs16(src1, dst, len, scaleFactor);
    if (dst == src1)
        return sigkMulInPlace_cs16(src2, dst, len, scaleFactor);
    return mulChecked(src1, src2, dst, len, scaleFactor);
}

}  // namespace sig::SIG_NS
