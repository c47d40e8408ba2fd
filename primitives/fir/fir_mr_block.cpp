// The polyphase block kernel sigkFirMrBlock_cf32 of one slot.
//
// Outputs come in cycles of 4U (U = up-sampling factor); output r of a cycle sums the n taps of
// its row against n consecutive buffer samples from its window start, which the phase table
// gives. Slot 0 follows the plain layout (lane-interleaved taps, start indices) and forms each
// product in double; slots 1-6 read one row per output in two halves, A = (Re h, -Im h) and
// B = (Im h, Re h), so that one vector of inputs X gives sum(X*A) = Re(h x) and
// sum(X*B) = Im(h x) with no shuffle in the inner loop. Slots 1-6 run one 128-bit member, two
// taps a step, each product rounded before its sum: the AVX slots only re-encode its
// instructions, so every vector slot gives the same outputs to the bit.
#include "fir/fir_kernels.h"

#include <immintrin.h>

namespace sig::SIG_NS {

#if SIG_SLOT == 0

namespace {

// Taps and samples are widened to double once per call instead of once per product (the
// conversions, not the arithmetic, bound this loop). 32 KB of stack each.
constexpr int32_t kTapDoubles = 4096;
constexpr int32_t kSampleDoubles = 4096;
// Each tap of a lane is held as (re, im, -im, re): 16 doubles per tap of a four-lane group.
constexpr int32_t kTapWidth = 16;
// Taps per pass when the tap table or a group's window does not fit: the widened taps fill the
// tap buffer, and four lane windows of that many samples half the sample buffer.
constexpr int32_t kChunk = kTapDoubles / kTapWidth;

// One (re, im) pair in a register. Plain x86-64 code already
// does its double arithmetic in these registers; pairing re and im halves the instructions
// without changing a single rounding.
typedef double Pair __attribute__((vector_size(16)));

// Both halves rounded to single and widened back, in two instructions (SSE2 is part of every
// x86-64 processor).
inline Pair roundToSingle(Pair v)
{
    return reinterpret_cast<Pair>(_mm_cvtps_pd(_mm_cvtpd_ps(reinterpret_cast<__m128d>(v))));
}

inline Pair loadPair(const double* p)
{
    Pair v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

// Taps [from, to) of one lane-interleaved group, widened: lane l of tap i at
// kTapWidth * (i - from) + 4 * l.
void widenTaps(const cf32* group, int32_t from, int32_t to, double* out)
{
    for (int32_t i = from; i < to; ++i)
        for (int32_t l = 0; l < 4; ++l) {
            const cf32 h = group[4 * i + l];
            double* t = out + kTapWidth * (i - from) + 4 * l;
            t[0] = h.re;
            t[1] = h.im;
            t[2] = -double(h.im);
            t[3] = h.re;
        }
}

// len samples from x, widened to (re, im) pairs.
void widenSamples(const cf32* x, int64_t len, double* out)
{
    for (int64_t i = 0; i < len; ++i) {
        out[2 * i] = x[i].re;
        out[2 * i + 1] = x[i].im;
    }
}

// len taps into the four lanes' sums; lane l reads its samples from x[l]. Each lane's product
// (vr re - vi im, vr im + vi re) is formed as (vr, vr) (re, im) + (vi, vi) (-im, re): the same
// operations in the same order as the serial form. Each lane's sum still adds its products one
// by one in tap order, rounded to single after every add.
inline void accumulate(const double* taps, const double* const* x, int32_t len, Pair* sum)
{
    Pair s0 = sum[0], s1 = sum[1], s2 = sum[2], s3 = sum[3];
    auto step = [](Pair s, const double* t, const double* v) {
        const Pair x = loadPair(v);
        const Pair re = __builtin_shufflevector(x, x, 0, 0), im = __builtin_shufflevector(x, x, 1, 1);
        const Pair p = re * loadPair(t) + im * loadPair(t + 2);
        return roundToSingle(s + p);
    };
    for (int32_t i = 0; i < len; ++i) {
        const double* t = taps + kTapWidth * i;
        s0 = step(s0, t, x[0] + 2 * i);
        s1 = step(s1, t + 4, x[1] + 2 * i);
        s2 = step(s2, t + 8, x[2] + 2 * i);
        s3 = step(s3, t + 12, x[3] + 2 * i);
    }
    sum[0] = s0;
    sum[1] = s1;
    sum[2] = s2;
    sum[3] = s3;
}

// Samples of buf (indices from buf) held widened; consecutive groups' windows overlap, so one
// widening serves many groups.
struct SampleCache {
    double data[kSampleDoubles];
    int64_t from = 0, to = 0;
};

// One past the last sample any group of the call reads: the cache widens no further.
int64_t readEnd(const int32_t* phaseTable, int32_t upFactor, int64_t base, int32_t n,
                int32_t groups)
{
    int64_t end = 0;
    for (int32_t g = 0, j = 0; g < groups; ++g) {
        for (int32_t l = 0; l < 4; ++l)
            end = end > base + phaseTable[4 * j + l] + n ? end : base + phaseTable[4 * j + l] + n;
        if (++j == upFactor) {
            j = 0;
            base += phaseTable[4 * upFactor];
        }
    }
    return end;
}

}  // namespace

int32_t sigkFirMrBlock_cf32(const cf32* tapTable, const cf32* buf, cf32* dst, int32_t count,
                            const int32_t* phaseTable, int32_t upFactor, int32_t base, int32_t n,
                            int32_t tapStride)
{
    double wide[kTapDoubles];
    const bool whole = int64_t{kTapWidth} * upFactor * n <= kTapDoubles;
    if (whole)
        for (int32_t j = 0; j < upFactor; ++j)
            widenTaps(tapTable + 4 * int64_t{j} * tapStride, 0, n,
                      wide + kTapWidth * int64_t{j} * n);
    SampleCache cache;
    const int64_t end = readEnd(phaseTable, upFactor, base, n, count / 4);

    int32_t j = 0;
    const cf32* group = tapTable;
    for (int32_t g = 0; g < count / 4; ++g) {
        int64_t start[4];
        for (int32_t l = 0; l < 4; ++l)
            start[l] = int64_t{base} + phaseTable[4 * j + l];
        int64_t lo = start[0], hi = start[0];
        for (int32_t l = 1; l < 4; ++l) {
            lo = start[l] < lo ? start[l] : lo;
            hi = start[l] > hi ? start[l] : hi;
        }
        hi += n;
        Pair sum[4] = {};
        const double* x[4];
        if (whole && 2 * (hi - lo) <= kSampleDoubles) {
            if (lo < cache.from || hi > cache.to) {
                cache.from = lo;
                cache.to = end - lo < kSampleDoubles / 2 ? end : lo + kSampleDoubles / 2;
                widenSamples(buf + lo, cache.to - lo, cache.data);
            }
            for (int32_t l = 0; l < 4; ++l)
                x[l] = cache.data + 2 * (start[l] - cache.from);
            accumulate(wide + kTapWidth * int64_t{j} * n, x, n, sum);
        } else {
            // Windows too far apart or taps too many: a chunk of taps at a time, each lane's
            // samples for it widened apart.
            cache.from = cache.to = 0;
            for (int32_t from = 0; from < n; from += kChunk) {
                const int32_t len = n - from < kChunk ? n - from : kChunk;
                const double* taps = wide + kTapWidth * (int64_t{j} * n + from);
                if (!whole) {
                    widenTaps(group, from, from + len, wide);
                    taps = wide;
                }
                for (int32_t l = 0; l < 4; ++l) {
                    widenSamples(buf + start[l] + from, len, cache.data + 2 * kChunk * l);
                    x[l] = cache.data + 2 * kChunk * l;
                }
                accumulate(taps, x, len, sum);
            }
        }
        for (int32_t l = 0; l < 4; ++l)
            dst[4 * g + l] = cf32{float(sum[l][0]), float(sum[l][1])};
        group += 4 * static_cast<int64_t>(tapStride);
        if (++j == upFactor) {
            j = 0;
            group = tapTable;
            base += phaseTable[4 * upFactor];
        }
    }
    return base;
}

#else

namespace {

// a*b + c, the product rounded before the sum.
inline __m128 mulAdd(__m128 a, __m128 b, __m128 c) { return _mm_add_ps(_mm_mul_ps(a, b), c); }

inline __m128 loadOne(const cf32* p)
{
    return _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}

// Running sums of one output: re = sum of R's lanes, im = sum of I's lanes.
struct Acc {
    __m128 r = _mm_setzero_ps(), i = _mm_setzero_ps();
};

// Taps k and k+1 against the samples at the same positions: lanes 0 and 1 take the even tap,
// lanes 2 and 3 the odd one.
inline void rowStep(const float* a, const float* b, const cf32* x, int32_t k, Acc& acc)
{
    const __m128 X = _mm_loadu_ps(&x[k].re);
    acc.r = mulAdd(X, _mm_loadu_ps(a + 2 * k), acc.r);
    acc.i = mulAdd(X, _mm_loadu_ps(b + 2 * k), acc.i);
}

// The last tap of an odd row: its products go to lanes 2 and 3 of r and to lanes 0 and 1 of i;
// the other lanes add +0.
inline void rowLast(const float* a, const float* b, const cf32* x, int32_t k, Acc& acc)
{
    const __m128 X = loadOne(x + k), zero = _mm_setzero_ps();
    const __m128 tapA = loadOne(reinterpret_cast<const cf32*>(a + 2 * k));
    acc.r = mulAdd(_mm_movelh_ps(zero, X), _mm_movelh_ps(zero, tapA), acc.r);
    acc.i = mulAdd(X, loadOne(reinterpret_cast<const cf32*>(b + 2 * k)), acc.i);
}

// (re, im) of one output in the low half of the result.
inline __m128 finish(const Acc& acc)
{
    const __m128 r = acc.r, i = acc.i;
    // (r0+r2, i0+i2, r1+r3, i1+i3), then the two halves added: (re, im).
    const __m128 s = _mm_add_ps(_mm_unpacklo_ps(r, i), _mm_unpackhi_ps(r, i));
    return _mm_add_ps(s, _mm_movehl_ps(s, s));
}

// One output: the row (a, b) of n taps against the n samples at x.
inline __m128 rowDot(const float* a, const float* b, const cf32* x, int32_t n)
{
    Acc acc;
    int32_t k = 0;
    for (; k + 2 <= n; k += 2)
        rowStep(a, b, x, k, acc);
    if (k < n)
        rowLast(a, b, x, k, acc);
    return finish(acc);
}

// Four outputs that share one row (U == 1), windows `stride` samples apart: every tap vector is
// loaded once for all four.
inline void rowDot4(const float* a, const float* b, const cf32* x, int64_t stride, int32_t n,
                    cf32* d)
{
    Acc acc0, acc1, acc2, acc3;
    const cf32* x1 = x + stride;
    const cf32* x2 = x1 + stride;
    const cf32* x3 = x2 + stride;
    int32_t k = 0;
    for (; k + 2 <= n; k += 2) {
        rowStep(a, b, x, k, acc0);
        rowStep(a, b, x1, k, acc1);
        rowStep(a, b, x2, k, acc2);
        rowStep(a, b, x3, k, acc3);
    }
    if (k < n) {
        rowLast(a, b, x, k, acc0);
        rowLast(a, b, x1, k, acc1);
        rowLast(a, b, x2, k, acc2);
        rowLast(a, b, x3, k, acc3);
    }
    _mm_storeu_ps(&d[0].re, _mm_movelh_ps(finish(acc0), finish(acc1)));
    _mm_storeu_ps(&d[2].re, _mm_movelh_ps(finish(acc2), finish(acc3)));
}

}  // namespace

int32_t sigkFirMrBlock_cf32(const cf32* tapTable, const cf32* buf, cf32* dst, int32_t count,
                            const int32_t* phaseTable, int32_t upFactor, int32_t base, int32_t n,
                            int32_t tapStride)
{
    if (count == 0)
        return base;
    const float* halfA = &tapTable[0].re;
    const float* halfB = halfA + 8 * static_cast<int64_t>(upFactor) * tapStride;
    // Window starts are byte steps in the phase table; keep them as byte offsets from buf.
    const char* origin = reinterpret_cast<const char*>(buf);
    int64_t w = 8 * static_cast<int64_t>(base) + phaseTable[0];

    if (upFactor == 1) {
        const int64_t step = phaseTable[1] / 8;
        const cf32* x = reinterpret_cast<const cf32*>(origin + w);
        for (int32_t m = 0; m < count; m += 4, x += 4 * step)
            rowDot4(halfA, halfB, x, step, n, dst + m);
        return static_cast<int32_t>(base + count * step);
    }

    const int32_t cycle = 4 * upFactor;
    const int64_t rowFloats = 2 * static_cast<int64_t>(tapStride);
    int32_t r = 0;
    for (int32_t m = 0; m < count; m += 2) {
        const cf32* x0 = reinterpret_cast<const cf32*>(origin + w);
        w += phaseTable[r + 1];
        const cf32* x1 = reinterpret_cast<const cf32*>(origin + w);
        const __m128 y0 = rowDot(halfA + r * rowFloats, halfB + r * rowFloats, x0, n);
        const __m128 y1 =
            rowDot(halfA + (r + 1) * rowFloats, halfB + (r + 1) * rowFloats, x1, n);
        _mm_storeu_ps(&dst[m].re, _mm_movelh_ps(y0, y1));
        r += 2;
        if (r == cycle) {
            r = 0;
            w += phaseTable[cycle];
        }
        if (m + 2 < count)
            w += phaseTable[r];
    }
    return static_cast<int32_t>(w / 8);
}

#endif

}  // namespace sig::SIG_NS
