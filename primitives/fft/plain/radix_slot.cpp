// The plain butterfly passes of an n-point forward transform (4 <= n <= 1024) over bit-reversed
// data, in place, natural-order output; and the scaling kernel.
//
// Passes: a 4-point transform of each quadruple (P0, P2, P1, P3); for odd log2(n) a radix-2
// pass over groups of eight; then radix-4 passes of span L = 4, 16, .. (or 8, 32, ..) while
// 4L <= n, butterfly k of a span reading record t = k*n/(4L) of the twiddle records
// (w^t, w^2t, w^3t, six floats).
#include "core/memory_kernels.h"
#include "fft/plain/complex.h"
#include "fft/fft_kernels.h"
#include "fft/fft_plain.h"

namespace sig::SIG_NS {

namespace {

inline cf32 record(const float* twiddles, int32_t t, int32_t power)
{
    const float* r = twiddles + 6 * t + 2 * (power - 1);
    return {r[0], r[1]};
}

void firstPass(cf32* data, int32_t n)
{
    for (int32_t g = 0; g < n; g += 4) {
        cf32* p = data + g;
        butterfly4(p[0], p[2], p[1], p[3], p[0], p[1], p[2], p[3]);
    }
}

// Groups of eight: A[k] + v_k B[k] and A[k] - v_k B[k], v_k = e^(-j*pi*k/4); v_1 and v_3 are
// applied as real products with c = cos(pi/4) and s = -sin(pi/4) of record n/8.
void radix2Pass(cf32* data, int32_t n, const float* twiddles)
{
    const float c = twiddles[6 * (n / 8)];
    const float s = twiddles[6 * (n / 8) + 1];
    for (int32_t g = 0; g < n; g += 8) {
        cf32* a = data + g;
        cf32* b = data + g + 4;
        const cf32 v[4] = {b[0],
                           {c * (b[1].re + b[1].im), c * (b[1].im - b[1].re)},
                           timesMinusJ(b[2]),
                           {s * (b[3].re - b[3].im), s * (b[3].re + b[3].im)}};
        for (int32_t k = 0; k < 4; ++k) {
            const cf32 x = a[k];
            a[k] = x + v[k];
            b[k] = x - v[k];
        }
    }
}

void radix4Pass(cf32* data, int32_t n, int32_t span, const float* twiddles)
{
    const int32_t step = n / (4 * span);
    for (int32_t g = 0; g < n; g += 4 * span) {
        cf32* q0 = data + g;
        cf32* q1 = q0 + span;
        cf32* q2 = q1 + span;
        cf32* q3 = q2 + span;
        for (int32_t k = 0; k < span; ++k) {
            const int32_t t = k * step;
            const cf32 a1 = record(twiddles, t, 1) * q2[k];
            const cf32 a2 = record(twiddles, t, 2) * q1[k];
            const cf32 a3 = record(twiddles, t, 3) * q3[k];
            butterfly4(q0[k], a1, a2, a3, q0[k], q1[k], q2[k], q3[k]);
        }
    }
}

}  // namespace

void plainRadixFwd(cf32* data, int32_t n, const float* twiddles)
{
    firstPass(data, n);
    int32_t span = 4;
    if ((__builtin_ctz(static_cast<unsigned>(n)) & 1) != 0) {
        radix2Pass(data, n, twiddles);
        span = 8;
    }
    for (; 4 * span <= n; span *= 4)
        radix4Pass(data, n, span, twiddles);
}

sigStatus scaleFloats(float factor, float* data, int32_t count,
                      void (*multiply)(float factor, float* data, int32_t count))
{
    if (data == nullptr)
        return sigErrNull;
    if (count <= 0)
        return sigErrLength;
    if (factor == 1.0f)
        return sigOk;
    if (factor == 0.0f)
        return sigkZero_f32(data, count);
    multiply(factor, data, count);
    return sigOk;
}

sigStatus plainScale(float factor, float* data, int32_t count)
{
    return scaleFloats(factor, data, count, sigkMulCInPlace_f32);
}

#if SIG_SLOT == 0

int32_t sigkFftRadixFwd_cf32(cf32* data, int32_t n, const float* twiddles)
{
    plainRadixFwd(data, n, twiddles);
    return 0;
}

#endif

// Every slot's multiply gives the same floats (one rounded product per value, whatever the
// register width), so every slot's member is the plain contract over its own multiply.
sigStatus sigkScale_f32(float factor, float* data, int32_t count)
{
    return plainScale(factor, data, count);
}

}  // namespace sig::SIG_NS
