// Complex float arithmetic of the FFT kernels, with the rounding every slot must reproduce:
// (c, s) * (x, y) = (c*x - s*y, s*x + c*y), each product and sum rounded to float.
#pragma once

#include "core/slot.h"
#include "sigprim.h"

namespace sig::SIG_NS {

inline cf32 operator+(cf32 a, cf32 b) { return {a.re + b.re, a.im + b.im}; }
inline cf32 operator-(cf32 a, cf32 b) { return {a.re - b.re, a.im - b.im}; }
inline cf32 operator*(cf32 w, cf32 x) { return {w.re * x.re - w.im * x.im, w.im * x.re + w.re * x.im}; }
inline cf32 scaled(cf32 a, float f) { return {a.re * f, a.im * f}; }
inline cf32 timesMinusJ(cf32 a) { return {a.im, -a.re}; }
inline cf32 timesJ(cf32 a) { return {-a.im, a.re}; }

// The radix-4 butterfly over (a0, a1, a2, a3), the factors already applied:
// q0 = (a0+a2)+(a1+a3), q1 = (a0-a2)-j(a1-a3), q2 = (a0+a2)-(a1+a3), q3 = (a0-a2)+j(a1-a3).
inline void butterfly4(cf32 a0, cf32 a1, cf32 a2, cf32 a3, cf32& q0, cf32& q1, cf32& q2, cf32& q3)
{
    const cf32 s02 = a0 + a2, d02 = a0 - a2, s13 = a1 + a3, d13 = a1 - a3;
    q0 = s02 + s13;
    q2 = s02 - s13;
    q1 = d02 + timesMinusJ(d13);
    q3 = d02 + timesJ(d13);
}

}  // namespace sig::SIG_NS
