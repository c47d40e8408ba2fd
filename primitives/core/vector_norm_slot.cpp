// The L2 norm of a complex float vector on one slot. Slot 0 sums in double; slots 1 to 6 share
// one float arithmetic (two four-lane accumulators), so their results agree bit for bit with
// each other and with slot 0 up to the float rounding of the partial sums.
#include <math.h>

#include "core/vector_kernels.h"
#include "core/vector_simd.h"

#define SIG_LIST "core/vector_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

void sigkNormL2_cf32(const cf32* src, int32_t n, double* result)
{
#if SIG_SLOT == 0
    double s = 0.0;
    for (int32_t i = 0; i < n; ++i) {
        double re = src[i].re, im = src[i].im;
        s = s + re * re;
        s = s + im * im;
    }
    *result = sqrt(s);
#else
    const float* p = &src->re;
    F4::R a = F4::zero(), b = F4::zero();
    for (; n >= 4; n -= 4, p += 8) {
        F4::R lo = F4::loadu(p), hi = F4::loadu(p + 4);
        a = F4::add(a, F4::mul(lo, lo));
        b = F4::add(b, F4::mul(hi, hi));
    }
    for (; n > 0; --n, p += 2) {
        F4::R re = _mm_load_ss(p), im = _mm_load_ss(p + 1);
        a = _mm_add_ss(a, _mm_mul_ss(re, re));
        b = _mm_add_ss(b, _mm_mul_ss(im, im));
    }
    alignas(16) float s[4];
    F4::store(s, F4::add(a, b));
    double t = (static_cast<double>(s[1]) + s[3]) + (static_cast<double>(s[0]) + s[2]);
    *result = sqrt(t);
#endif
}

sigStatus sigNormL2_cf32(const cf32* src, int32_t len, double* result)
{
    if (src == nullptr)
        return sigErrNull;
    if (result == nullptr)
        return sigErrNull;
    if (len <= 0)
        return sigErrLength;
    sigkNormL2_cf32(src, len, result);
    return sigOk;
}

}  // namespace sig::SIG_NS
