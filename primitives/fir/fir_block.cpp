// The direct-form block kernel sigkFirBlock_cf32 of one slot: count outputs of a single-rate
// FIR over a window that holds the history followed by the input.
//
// Slot 0 reads the reversed taps (taps[t] meets x[k + t]) and sums four outputs side by side.
// Slots 1-6 read the lane-replicated table: per tap h[k] a 32-byte entry A = (Re h x4),
// B = (-Im h, Im h, -Im h, Im h), so that X*A + swap(X)*B is h times each complex value of X.
// Slots 1-4 do two outputs per 128-bit vector, slots 5 and 6 four per 256-bit vector (slot 6 with
// fused multiply-adds); no path reads beyond x[count + tapsLen - 2].
#include "fir/fir_kernels.h"

#if SIG_SLOT >= 1
#include <immintrin.h>
#endif

namespace sig::SIG_NS {

#if SIG_SLOT == 0

void sigkFirBlock_cf32(const cf32* taps, const cf32* x, cf32* dst, int32_t count, int32_t tapsLen)
{
    int32_t k0 = 0;
    for (; k0 + 4 <= count; k0 += 4) {
        double re[4] = {0, 0, 0, 0}, im[4] = {0, 0, 0, 0};
        for (int32_t t = 0; t < tapsLen; ++t) {
            const cf32 h = taps[t];
            for (int32_t l = 0; l < 4; ++l) {
                const cf32 v = x[k0 + t + l];
                re[l] = float(re[l] + (double(v.re) * h.re - double(v.im) * h.im));
                im[l] = float(im[l] + (double(v.re) * h.im + double(v.im) * h.re));
            }
        }
        for (int32_t l = 0; l < 4; ++l)
            dst[k0 + l] = cf32{float(re[l]), float(im[l])};
    }
    for (; k0 < count; ++k0) {
        float re = 0.0f, im = 0.0f;
        for (int32_t t = 0; t < tapsLen; ++t) {
            const cf32 h = taps[t], v = x[k0 + t];
            re = float(double(re) + (double(v.re) * h.re - double(v.im) * h.im));
            im = float(double(im) + (double(v.re) * h.im + double(v.im) * h.re));
        }
        dst[k0] = cf32{re, im};
    }
}

#else

namespace {

inline __m128 swapParts(__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 3, 0, 1)); }

// acc + X*A + swap(X)*B: the complex product with one tap, added to acc.
inline __m128 tapProduct(__m128 X, __m128 A, __m128 B, __m128 acc)
{
#if SIG_SLOT >= 6
    return _mm_fmadd_ps(swapParts(X), B, _mm_fmadd_ps(X, A, acc));
#else
    return _mm_add_ps(_mm_add_ps(acc, _mm_mul_ps(X, A)), _mm_mul_ps(swapParts(X), B));
#endif
}

inline __m128 loadOne(const cf32* p) { return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))); }

#if SIG_SLOT >= 5
inline __m256 swapParts(__m256 v) { return _mm256_permute_ps(v, _MM_SHUFFLE(2, 3, 0, 1)); }

inline __m256 tapProduct(__m256 X, __m256 A, __m256 B, __m256 acc)
{
#if SIG_SLOT >= 6
    return _mm256_fmadd_ps(swapParts(X), B, _mm256_fmadd_ps(X, A, acc));
#else
    return _mm256_add_ps(_mm256_add_ps(acc, _mm256_mul_ps(X, A)), _mm256_mul_ps(swapParts(X), B));
#endif
}

// Four outputs per vector, two vectors per step.
inline int32_t wideOutputs(const float* table, const cf32* x, cf32* dst, int32_t count, int32_t T)
{
    int32_t m = 0;
    for (; m + 8 <= count; m += 8) {
        __m256 acc0 = _mm256_setzero_ps(), acc1 = _mm256_setzero_ps();
        for (int32_t k = 0; k < T; ++k) {
            const __m256 A = _mm256_broadcast_ps(reinterpret_cast<const __m128*>(table + 8 * k));
            const __m256 B = _mm256_broadcast_ps(reinterpret_cast<const __m128*>(table + 8 * k + 4));
            const cf32* w = x + m + (T - 1 - k);
            acc0 = tapProduct(_mm256_loadu_ps(&w[0].re), A, B, acc0);
            acc1 = tapProduct(_mm256_loadu_ps(&w[4].re), A, B, acc1);
        }
        _mm256_storeu_ps(&dst[m].re, acc0);
        _mm256_storeu_ps(&dst[m + 4].re, acc1);
    }
    for (; m + 4 <= count; m += 4) {
        __m256 acc = _mm256_setzero_ps();
        for (int32_t k = 0; k < T; ++k) {
            const __m256 A = _mm256_broadcast_ps(reinterpret_cast<const __m128*>(table + 8 * k));
            const __m256 B = _mm256_broadcast_ps(reinterpret_cast<const __m128*>(table + 8 * k + 4));
            acc = tapProduct(_mm256_loadu_ps(&x[m + T - 1 - k].re), A, B, acc);
        }
        _mm256_storeu_ps(&dst[m].re, acc);
    }
    return m;
}
#else
inline int32_t wideOutputs(const float*, const cf32*, cf32*, int32_t, int32_t) { return 0; }
#endif

}  // namespace

void sigkFirBlock_cf32(const float* table, const cf32* x, cf32* dst, int32_t count, int32_t tapsLen)
{
    const int32_t T = tapsLen;
    if (T <= 0) {  // no taps: zeros throughout
        for (int32_t m = 0; m < count; ++m)
            dst[m] = cf32{0.0f, 0.0f};
        return;
    }
    int32_t m = wideOutputs(table, x, dst, count, T);
    // Two outputs per vector, two vectors per step, then one vector, then a last odd output.
    for (; m + 4 <= count; m += 4) {
        __m128 acc0 = _mm_setzero_ps(), acc1 = _mm_setzero_ps();
        for (int32_t k = 0; k < T; ++k) {
            const __m128 A = _mm_loadu_ps(table + 8 * k), B = _mm_loadu_ps(table + 8 * k + 4);
            const cf32* w = x + m + (T - 1 - k);
            acc0 = tapProduct(_mm_loadu_ps(&w[0].re), A, B, acc0);
            acc1 = tapProduct(_mm_loadu_ps(&w[2].re), A, B, acc1);
        }
        _mm_storeu_ps(&dst[m].re, acc0);
        _mm_storeu_ps(&dst[m + 2].re, acc1);
    }
    for (; m + 2 <= count; m += 2) {
        __m128 acc = _mm_setzero_ps();
        for (int32_t k = 0; k < T; ++k)
            acc = tapProduct(_mm_loadu_ps(&x[m + T - 1 - k].re), _mm_loadu_ps(table + 8 * k),
                             _mm_loadu_ps(table + 8 * k + 4), acc);
        _mm_storeu_ps(&dst[m].re, acc);
    }
    if (m < count) {
        __m128 acc = _mm_setzero_ps();
        for (int32_t k = 0; k < T; ++k)
            acc = tapProduct(loadOne(x + m + T - 1 - k), _mm_loadu_ps(table + 8 * k),
                             _mm_loadu_ps(table + 8 * k + 4), acc);
        _mm_storel_pi(reinterpret_cast<__m64*>(&dst[m]), acc);
    }
}

#endif

}  // namespace sig::SIG_NS
