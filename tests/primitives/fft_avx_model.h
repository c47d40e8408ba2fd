// A scalar model of the fused transform of slots 5 and 6 and of their row transform, to the bit.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "fft_test_checks.h"
#include "sigprim.h"

namespace fft_test {

// The same arithmetic as the kernels, one value at a time: first stage (radix 4 for even orders,
// radix 8 for odd ones) on the bit-reversed columns, then radix-4 passes with the spec's factors.
// With fused set, a product with a factor rounds its sine product and fuses its cosine product,
// and the sqrt(1/2) turns fuse likewise, as slot 6 must. The row transform of the bit-reversed x
// gives the same bits: its first passes see the same columns.
struct AvxModel : ScalarSteps {
    bool fused;

    static cf32 minusJ(cf32 a) { return {a.im, -a.re}; }
    float mulAdd(float a, float b, float c) const { return fused ? std::fma(a, b, c) : a * b + c; }
    // p times (wr, wi) = (cos, -sin), or times its conjugate; in place of the shared step, as
    // slot 6 fuses the cosine product.
    cf32 twiddle(cf32 p, float wr, float wi) const
    {
        const float ri = p.im * wi, ir = p.re * wi;
        return inverse ? cf32{mulAdd(p.re, wr, ri), mulAdd(p.im, wr, -ir)}
                       : cf32{mulAdd(p.re, wr, -ri), mulAdd(p.im, wr, ir)};
    }
    // v times sqrt(1/2)(1 -+ j) for sign +1, sqrt(1/2)(1 +- j) for sign -1 (the inverse's turns).
    cf32 diagonal(cf32 v, int sign) const
    {
        const float h = 0.70710677f;
        const cf32 m = minusJ(v);
        const cf32 t = {m.re * h, m.im * h};
        return sign > 0 ? cf32{mulAdd(v.re, h, t.re), mulAdd(v.im, h, t.im)}
                        : cf32{mulAdd(v.re, h, -t.re), mulAdd(v.im, h, -t.im)};
    }

    std::vector<cf32> run(const std::vector<cf32>& x, const float* table) const
    {
        const int32_t n = int32_t(x.size()), order = __builtin_ctz(unsigned(n));
        std::vector<cf32> a(x.size());
        int32_t s;
        if (order % 2 == 0) {
            for (int32_t t = 0; t < n / 4; ++t) {
                const int32_t r = reverseBits(t, order - 2);
                dft4(x[r], x[r + n / 4], x[r + n / 2], x[r + 3 * n / 4], &a[4 * t], 1);
            }
            s = 4;
        } else {
            for (int32_t b = 0; b < n / 8; ++b) {
                const int32_t r = reverseBits(b, order - 3);
                cf32 v[8];
                for (int m = 0; m < 8; ++m)
                    v[m] = x[r + m * n / 8];
                const int fwd = inverse ? -1 : 1;
                dft4(add(v[0], v[4]), add(v[1], v[5]), add(v[2], v[6]), add(v[3], v[7]), &a[8 * b], 2);
                dft4(sub(v[0], v[4]), diagonal(sub(v[1], v[5]), fwd), turn(sub(v[2], v[6])),
                     diagonal(sub(v[7], v[3]), -fwd), &a[8 * b + 1], 2);
            }
            s = 8;
        }
        for (const float* stretch = table + (s == 8 ? 0 : 0); s < n; s *= 4) {
            const int32_t width = s == 4 ? 4 : 8;
            for (int32_t g = 0; g < n; g += 4 * s)
                for (int32_t k = 0; k < s; ++k) {
                    const float* w = stretch + 6 * width * (k / width) + k % width;
                    cf32* p = &a[size_t(g + k)];
                    const cf32 t1 = twiddle(p[s], w[2 * width], w[3 * width]);
                    const cf32 t2 = twiddle(p[2 * s], w[0], w[width]);
                    const cf32 t3 = twiddle(p[3 * s], w[4 * width], w[5 * width]);
                    const cf32 p0 = p[0], b0 = add(p0, t1), b1 = sub(p0, t1), c0 = add(t2, t3),
                               d = turn(sub(t2, t3));
                    p[0] = add(b0, c0), p[s] = add(b1, d), p[2 * s] = sub(b0, c0), p[3 * s] = sub(b1, d);
                }
            stretch += 6 * s;
        }
        return a;
    }
};

}  // namespace fft_test
