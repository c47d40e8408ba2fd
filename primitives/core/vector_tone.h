// The tone generator's arithmetic: the end phase, the double-precision cosine recurrence, the
// blocked float recurrence and its 128-bit lag-8 step, which the complex 16-bit tone of the
// scanner's primitives reuses through ToneRecur.
//
// A tone x[n] = m * e^(j(p + n w)) obeys x[n] = 2cos(w) x[n-1] - x[n-2]; over interleaved floats
// the same holds four complex samples apart with 2cos(4w): y[k] = c y[k-8] - y[k-16].
// Slot 6 fuses the multiply-adds of the end phase, the block angles and both double
// recurrences; the float recurrence rounds its product and its difference apart on every slot.
#pragma once

#include <math.h>

#include "core/vector_simd.h"
#include "sigprim.h"

namespace sig::SIG_NS {

inline constexpr double kTwoPi = 6.283185307179586;
inline constexpr double kInvTwoPi = 0.15915494309189535;
// Samples per block of the blocked path, and how many of them are computed in double.
inline constexpr int32_t kToneBlock = 1024;
inline constexpr int32_t kTonePrefix = 8;

// a*b + c: fused on slot 6, two roundings elsewhere.
inline double madd(double a, double b, double c)
{
#if SIG_SLOT >= 6
    return __builtin_fma(a, b, c);
#else
    return a * b + c;
#endif
}

// The phase at which the next call begins, reduced into [0, 2pi). A value that rounds to a
// float at or above 2pi (or is not a number) is stored as 0, so the next call accepts it.
inline float toneEndPhase(double phase, int32_t len, double w)
{
    double f = madd(static_cast<double>(len), w, phase);
    double k = floor(f * kInvTwoPi);
    double r = madd(-k, kTwoPi, f);
    float rf = static_cast<float>(r);
    if (rf < 0.0f || !(static_cast<double>(rf) < kTwoPi))
        return 0.0f;
    return rf;
}

// A tone sample computed in double precision.
struct ToneSample {
    double re, im;
    static ToneSample at(double magnitude, double angle)
    {
        return ToneSample{magnitude * cos(angle), magnitude * sin(angle)};
    }
    // The next sample of the recurrence from this one and the one before it.
    ToneSample next(double b, const ToneSample& before) const
    {
        return ToneSample{madd(b, re, -before.re), madd(b, im, -before.im)};
    }
    void store(cf32* dst) const
    {
        dst->re = static_cast<float>(re);
        dst->im = static_cast<float>(im);
    }
};

// Samples from..count-1 by the double recurrence, given samples from-2 and from-1.
inline void toneDoubleRun(cf32* dst, int32_t from, int32_t count, double b, ToneSample x0, ToneSample x1)
{
    for (int32_t n = from; n < count; ++n) {
        ToneSample x2 = x1.next(b, x0);
        x2.store(dst + n);
        x0 = x1;
        x1 = x2;
    }
}

// The double-precision path: two direct samples, then the recurrence all the way.
inline void toneDoublePath(cf32* dst, int32_t len, double magnitude, double phase, double w)
{
    ToneSample x0 = ToneSample::at(magnitude, phase);
    x0.store(dst);
    if (len == 1)
        return;
    ToneSample x1 = ToneSample::at(magnitude, phase + w);
    x1.store(dst + 1);
    toneDoubleRun(dst, 2, len, 2.0 * cos(w), x0, x1);
}

// y[k] = c*y[k-8] - y[k-16] one float at a time; y[-16 .. -1] lie before y.
inline void toneRecurScalar(float* y, int32_t n, float c)
{
    for (int32_t k = 0; k < n; ++k)
        y[k] = c * y[k - 8] - y[k - 16];
}

#if SIG_SLOT >= 1
// The float recurrence y[k] = c*y[k-8] - y[k-16] eight floats at a time, the last 16 floats held
// in four registers (oldest first).
struct ToneRecur {
    F4::R h0, h1, h2, h3, c;

    // Takes the 16 floats that precede the output.
    ToneRecur(const float* history, float factor)
        : h0(F4::loadu(history)), h1(F4::loadu(history + 4)), h2(F4::loadu(history + 8)),
          h3(F4::loadu(history + 12)), c(F4::set1(factor))
    {
    }
    // The next eight floats.
    void next(F4::R& lo, F4::R& hi)
    {
        lo = F4::sub(F4::mul(c, h2), h0);
        hi = F4::sub(F4::mul(c, h3), h1);
        h0 = h2;
        h1 = h3;
        h2 = lo;
        h3 = hi;
    }
    // The next four floats, then the history as 16 floats, for a scalar tail to continue from.
    F4::R nextFour()
    {
        F4::R v = F4::sub(F4::mul(c, h2), h0);
        h0 = h1;
        h1 = h2;
        h2 = h3;
        h3 = v;
        return v;
    }
    void spill(float* history) const
    {
        F4::storeu(history, h0);
        F4::storeu(history + 4, h1);
        F4::storeu(history + 8, h2);
        F4::storeu(history + 12, h3);
    }
};

// The blocked float path: each block of 1024 samples starts from two directly computed samples
// and six of the double recurrence; the float kernel 'recur' (sigkToneRecur_cf32) does the rest.
template <class Recur>
inline void toneBlockedPath(cf32* dst, int32_t len, double magnitude, double phase, double w, Recur recur)
{
    double b = 2.0 * cos(w);
    double b2 = b * b;
    float c = static_cast<float>(b2 * (b2 - 4.0) + 2.0);
    for (int32_t s = 0; s < len; s += kToneBlock) {
        int32_t count = len - s < kToneBlock ? len - s : kToneBlock;
        cf32* block = dst + s;
        ToneSample x0 = ToneSample::at(magnitude, madd(static_cast<double>(s), w, phase));
        x0.store(block);
        if (count == 1)
            break;
        ToneSample x1 = ToneSample::at(magnitude, madd(static_cast<double>(s) + 1.0, w, phase));
        x1.store(block + 1);
        toneDoubleRun(block, 2, count < kTonePrefix ? count : kTonePrefix, b, x0, x1);
        if (count > kTonePrefix)
            recur(&block[kTonePrefix].re, 2 * (count - kTonePrefix), c);
    }
}
#endif

}  // namespace sig::SIG_NS
