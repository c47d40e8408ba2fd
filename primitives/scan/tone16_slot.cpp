// Complex 16-bit tone: magnitude * exp(j (phase + 2 pi relFreq n)), continuous across calls
// through the phase it hands back.
//
// Samples come from the three-term recurrence y[n] = 2 cos(w) y[n-1] - y[n-2] (extended
// precision on the plain slot, double elsewhere). With hint 1 the vector slots restart every
// 1024 samples from cos and sin and extend each block in single precision four samples a step
// with y[n] = 2 cos(4w) y[n-4] - y[n-8], which is what bounds their error per block.
#include <math.h>

#include "scan/scan_kernels.h"

#define SIG_LIST "scan/scan_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kInvTwoPi = 0.15915494309189535;
constexpr int32_t kBlock = 1024;

// Slot 0 works in extended precision; slot 6 fuses its multiply-adds.
#if SIG_SLOT == 0
using Real = long double;
Real cosR(Real x) { return cosl(x); }
Real sinR(Real x) { return sinl(x); }
Real rintR(Real x) { return rintl(x); }
#else
using Real = double;
Real cosR(Real x) { return cos(x); }
Real sinR(Real x) { return sin(x); }
Real rintR(Real x) { return rint(x); }
#endif

Real mulAdd(Real a, Real b, Real c)
{
    if constexpr (kSlot >= 6)
        return __builtin_fma(a, b, c);
    else
        return a * b + c;
}

int16_t toS16(Real v)
{
    // Round half to even (the default rounding mode), then saturate; clamping first to the
    // integer bounds gives the same result and keeps the conversion defined.
    v = v < -32768 ? -32768 : v > 32767 ? 32767 : v;
    return static_cast<int16_t>(rintR(v));
}

// Writes count samples from angle a with step w by the three-term recurrence; when y is given
// it also receives every sample unconverted, as re, im pairs.
void recurrence(cs16* dst, int32_t count, Real mag, Real a, Real w, Real* y)
{
    Real re0 = mag * cosR(a), im0 = mag * sinR(a);
    Real re1 = mag * cosR(a + w), im1 = mag * sinR(a + w);
    const Real k = 2 * cosR(w);
    auto put = [&](int32_t n, Real re, Real im) {
        dst[n] = cs16{toS16(re), toS16(im)};
        if (y != nullptr)
            y[2 * n] = re, y[2 * n + 1] = im;
    };
    put(0, re0, im0);
    if (count > 1)
        put(1, re1, im1);
    for (int32_t n = 2; n < count; ++n) {
        const Real re2 = mulAdd(k, re1, -re0), im2 = mulAdd(k, im1, -im0);
        re0 = re1, im0 = im1, re1 = re2, im1 = im2;
        put(n, re1, im1);
    }
}

#if SIG_SLOT >= 1
// One block: samples 0..7 in double, the rest by the single-precision four-step kernel.
void toneBlock(cs16* dst, int32_t count, double mag, double a, double w)
{
    if (count <= 8) {
        recurrence(dst, count, mag, a, w, nullptr);
        return;
    }
    double head[16];
    recurrence(dst, 8, mag, a, w, head);
    float seeds[16];
    for (int i = 0; i < 16; ++i)
        seeds[i] = static_cast<float>(head[i]);
    const double k = 2 * cos(w);
    const double k2 = k * k;
    const float k4 = static_cast<float>(mulAdd(k2, k2 - 4, 2.0));  // 2 cos 4w
    sigkToneRecur_cs16(seeds, reinterpret_cast<int16_t*>(dst + 8), 2 * (count - 8), k4);
}
#endif

}  // namespace

sigStatus sigTone_cs16(cs16* dst, int32_t len, int32_t magnitude, float relFreq, float* phase,
                       int32_t hint)
{
    if (phase == nullptr)
        return sigErrNull;
    const int16_t mag = static_cast<int16_t>(magnitude);
    if (mag <= 0)
        return sigErrToneMag;
    // Written so that NaN fails each range test.
    if (!(relFreq >= 0.0f && relFreq < 1.0f))
        return sigErrToneFreq;
    const float start = *phase;
    if (!(start >= 0.0f && static_cast<double>(start) < kTwoPi))
        return sigErrTonePhase;
    if (dst == nullptr)
        return sigErrNull;
    if (len <= 0)
        return sigErrLength;

    const Real w = kTwoPi * static_cast<Real>(relFreq);
    Real end = mulAdd(w, static_cast<Real>(len), start);
    end = mulAdd(-floorl(end * kInvTwoPi), kTwoPi, end);
    if (!(end >= 0 && end < kTwoPi))
        end = 0;
    // A value just below 2 pi can round up to 2 pi as a float, which the next call would refuse:
    // that phase is 0.
    float endF = static_cast<float>(end);
    if (static_cast<double>(endF) >= kTwoPi)
        endF = 0.0f;
    *phase = endF;

#if SIG_SLOT >= 1
    if (hint == 1) {
        for (int32_t b = 0; b * int64_t(kBlock) < len; ++b) {
            const int32_t first = b * kBlock;
            const int32_t count = len - first < kBlock ? len - first : kBlock;
            toneBlock(dst + first, count, mag, mulAdd(first, w, start), w);
        }
        return sigOk;
    }
#else
    (void)hint;
#endif
    recurrence(dst, len, mag, start, w, nullptr);
    return sigOk;
}

}  // namespace sig::SIG_NS
