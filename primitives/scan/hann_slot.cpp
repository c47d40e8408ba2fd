// Symmetric Hann window on complex floats, w[n] = 0.5 (1 - cos(n theta)), theta = 2 pi / (len-1).
// Both ends are weighted together (w[k] = w[len-1-k]); the cosines come from a recurrence, one
// cosine per call: a rotation in extended precision on the plain slot, the two-term recurrence
// h[k+1] = 2 cos(theta) h[k] - h[k-1] on h = 0.5 cos(k theta) in double elsewhere.
#include <math.h>

#include "sigprim.h"

#define SIG_LIST "scan/scan_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

namespace {

#if SIG_SLOT == 0
using Real = long double;
#else
using Real = double;
#endif

cf32 weighted(cf32 x, Real w)
{
    return cf32{static_cast<float>(x.re * w), static_cast<float>(x.im * w)};
}

}  // namespace

sigStatus sigWinHann_cf32(const cf32* src, cf32* dst, int32_t len)
{
    if (src == nullptr || dst == nullptr)
        return sigErrNull;
    if (len < 3)
        return sigErrLength;
    if (len == 3) {
        const cf32 middle = src[1];
        dst[0] = dst[2] = cf32{0.0f, 0.0f};
        dst[1] = middle;
        return sigOk;
    }
    const Real theta = static_cast<Real>(6.283185307179586) / (len - 1);
#if SIG_SLOT == 0
    const Real c = cosl(theta), s = sqrtl(1 - c * c);
    Real cosK = 1, sinK = 0;
    auto nextWeight = [&] {
        const Real w = 0.5L * (1 - cosK);
        const Real cosNext = c * cosK - s * sinK;
        sinK = s * cosK + c * sinK;
        cosK = cosNext;
        return w;
    };
#else
    const double twoCos = 2 * cos(theta);
    double hPrev = 0.5 * 0.5 * twoCos, h = 0.5;  // h[-1] = h[1] by symmetry
    auto nextWeight = [&] {
        const Real w = static_cast<float>(0.5 - h);
        const double hNext = twoCos * h - hPrev;
        hPrev = h;
        h = hNext;
        return w;
    };
#endif
    for (int32_t k = 0; k < len / 2; ++k) {
        const Real w = nextWeight();
        // Both ends are read before either is written, so dst may be src.
        const cf32 lo = src[k], hi = src[len - 1 - k];
        dst[k] = weighted(lo, w);
        dst[len - 1 - k] = weighted(hi, w);
    }
    if (len % 2 != 0)
        dst[len / 2] = src[len / 2];
    return sigOk;
}

}  // namespace sig::SIG_NS
