// The complex 16-bit FIR filter. Every output is the 32-bit wrapping sum of 16-bit tap times
// 16-bit sample over its window, scaled by 2^(tapScale - scaleFactor) and saturated, so any
// summation order gives the same bits: the vector slots run groups of four outputs with 16-bit
// multiply-adds, the outputs whose window touches the delay line or the end of the block go
// through the exact one-at-a-time path that the plain slot runs for all of them.
#include "scan/fir16_state.h"
#include "scan/scan_kernels.h"
#include "scan/simd16.h"

#define SIG_LIST "scan/scan_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

namespace {

// a * 2^m for m in [-31, 31]: a left shift loses the bits above bit 31; a right shift rounds
// half to even through a 32-bit wrapping add.
int32_t scaleSum(uint32_t acc, int m)
{
    if (m > 0)
        return static_cast<int32_t>(acc << m);
    if (m == 0)
        return static_cast<int32_t>(acc);
    const int s = -m;
    const uint32_t odd = static_cast<uint32_t>(static_cast<int32_t>(acc) >> s) & 1u;
    return static_cast<int32_t>(acc + ((1u << (s - 1)) - 1u) + odd) >> s;
}

int16_t sat16(int32_t x) { return static_cast<int16_t>(x < -32768 ? -32768 : x > 32767 ? 32767 : x); }

struct Block {
    const cs16* dly;  // z[0 .. n-1]
    const cs16* src;  // z[n ..]
    int64_t n, zEnd;  // zEnd = n + inputs of the block
    int m;
};

// One output from tap slots taps[0], taps[stride], ...: the window starts at z index w and
// stops at the end of the block.
cs16 firOne(const Block& b, const cs16* taps, int64_t stride, int64_t count, int64_t w)
{
    if (count > b.zEnd - w)
        count = b.zEnd - w;
    uint32_t re = 0, im = 0;
    auto mac = [&](cs16 h, cs16 x) {
        re += static_cast<uint32_t>(h.re * x.re) - static_cast<uint32_t>(h.im * x.im);
        im += static_cast<uint32_t>(h.re * x.im) + static_cast<uint32_t>(h.im * x.re);
    };
    int64_t t = 0;
    for (; t < count && w + t < b.n; ++t)
        mac(taps[t * stride], b.dly[w + t]);
    for (; t < count; ++t)
        mac(taps[t * stride], b.src[w + t - b.n]);
    return cs16{sat16(scaleSum(re, b.m)), sat16(scaleSum(im, b.m))};
}

#if SIG_SLOT >= 1
// Four outputs whose windows lie inside the block's input: lists holds each output's twin tap
// list ({re, -im} then {im, re}, nPad entries each), x[l] each window's first sample.
void firGroup4(const uint32_t* lists, int64_t nPad, const cs16* const x[4], const Scale32& scale,
               cs16* out)
{
    __m128i re[4], im[4];
    for (int l = 0; l < 4; ++l) {
        const uint32_t* A = lists + l * 2 * nPad;
        const uint32_t* B = A + nPad;
#if SIG_SLOT >= 6
        __m256i r = _mm256_setzero_si256(), i = _mm256_setzero_si256();
        for (int64_t t = 0; t < nPad; t += 8) {
            const __m256i v = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x[l] + t));
            r = _mm256_add_epi32(r, _mm256_madd_epi16(v, _mm256_loadu_si256(
                                                            reinterpret_cast<const __m256i*>(A + t))));
            i = _mm256_add_epi32(i, _mm256_madd_epi16(v, _mm256_loadu_si256(
                                                            reinterpret_cast<const __m256i*>(B + t))));
        }
        re[l] = _mm_add_epi32(_mm256_castsi256_si128(r), _mm256_extracti128_si256(r, 1));
        im[l] = _mm_add_epi32(_mm256_castsi256_si128(i), _mm256_extracti128_si256(i, 1));
#else
        __m128i r = _mm_setzero_si128(), i = _mm_setzero_si128();
        for (int64_t t = 0; t < nPad; t += 4) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x[l] + t));
            r = _mm_add_epi32(r, _mm_madd_epi16(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(A + t))));
            i = _mm_add_epi32(i, _mm_madd_epi16(v, _mm_loadu_si128(reinterpret_cast<const __m128i*>(B + t))));
        }
        re[l] = r;
        im[l] = i;
#endif
    }
    const __m128i sumRe = scale(sumLanes4(re[0], re[1], re[2], re[3]));
    const __m128i sumIm = scale(sumLanes4(im[0], im[1], im[2], im[3]));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), packComplex(sumRe, sumIm));
}
#endif

#if SIG_SLOT >= 6
// Decimators (U = 1) share one tap list, so the 256-bit slot runs sixteen consecutive outputs
// a step with the outputs across the lanes: output k reads z[w0 + k D + t], which is sample
// k + t / D of the input's phase t mod D. The phases are split into a stack buffer chunk by chunk
// (D = 1 reads the input directly), then every tap is one broadcast multiply-add per eight outputs.
constexpr int64_t kChunk = 256;           // outputs per chunk, a multiple of 16
constexpr int64_t kPhaseRoom = 8192;      // samples of the split phases on the stack

bool decimatorFits(int64_t n, int64_t D) { return D * (kChunk + n / D + 1) <= kPhaseRoom; }

// Outputs k0 .. k0 + count - 1 (count a multiple of 16), all windows inside src, the first one
// starting at src[first].
void decimateVertical(const sigFirState_cs16* s, const cs16* src, int64_t first, cs16* dst,
                      int64_t count, const Scale32& scale)
{
    const int64_t n = s->phaseLen2 / 2, D = s->downFactor, nPad = s->vecStride;
    const int32_t* A = reinterpret_cast<const int32_t*>(s->vecTaps);
    const int32_t* B = A + nPad;
    alignas(32) cs16 phases[kPhaseRoom];
    for (int64_t done = 0; done < count; done += kChunk) {
        const int64_t outs = count - done < kChunk ? count - done : kChunk;
        const cs16* base = src + first + done * D;
        const int64_t room = outs + (n - 1) / D + 1;
        const cs16* phase0 = base;
        int64_t stride = 0;  // samples between the starts of two phases
        if (D > 1) {
            stride = room;
            for (int64_t p = 0; p < D; ++p) {
                const int64_t avail = (n - 1 - p) / D + outs;  // samples this phase is read at
                for (int64_t i = 0; p < n && i < avail; ++i)
                    phases[p * room + i] = base[i * D + p];
            }
            phase0 = phases;
        }
        for (int64_t j = 0; j < outs; j += 16) {
            __m256i re0 = _mm256_setzero_si256(), im0 = re0, re1 = re0, im1 = re0;
            for (int64_t t = 0, p = 0, mm = 0; t < n; ++t) {
                const cs16* x = phase0 + p * stride + mm + j;
                const __m256i v0 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x));
                const __m256i v1 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(x + 8));
                const __m256i a = _mm256_set1_epi32(A[t]), b = _mm256_set1_epi32(B[t]);
                re0 = _mm256_add_epi32(re0, _mm256_madd_epi16(v0, a));
                im0 = _mm256_add_epi32(im0, _mm256_madd_epi16(v0, b));
                re1 = _mm256_add_epi32(re1, _mm256_madd_epi16(v1, a));
                im1 = _mm256_add_epi32(im1, _mm256_madd_epi16(v1, b));
                if (D == 1 || ++p == D)
                    p = 0, ++mm;
            }
            auto store8 = [&](__m256i re, __m256i im, cs16* out) {
                const __m256i sre = _mm256_setr_m128i(scale(_mm256_castsi256_si128(re)),
                                                      scale(_mm256_extracti128_si256(re, 1)));
                const __m256i sim = _mm256_setr_m128i(scale(_mm256_castsi256_si128(im)),
                                                      scale(_mm256_extracti128_si256(im, 1)));
                const __m256i packed = _mm256_packs_epi32(_mm256_unpacklo_epi32(sre, sim),
                                                          _mm256_unpackhi_epi32(sre, sim));
                _mm256_storeu_si256(reinterpret_cast<__m256i*>(out), packed);
            };
            store8(re0, im0, dst + done + j);
            store8(re1, im1, dst + done + j + 8);
        }
    }
}
#endif

void filterMultiRate(sigFirState_cs16* s, const cs16* src, cs16* dst, int64_t len, int m)
{
    const int64_t U = s->upFactor, D = s->downFactor, n = s->phaseLen2 / 2;
    const int64_t inputs = len * D, outputs = len * U;
    const Block b{s->dlyLine, src, n, n + inputs, m};
    const int32_t* idx = s->phaseIdx;
    // Outputs [vecFrom, vecTo) are done by the decimator path, the rest group by group.
    int64_t vecFrom = 0, vecTo = 0;
#if SIG_SLOT >= 1
    const int64_t nPad = s->vecStride;
    const Scale32 scale(m);
#endif
#if SIG_SLOT >= 6
    if (U == 1 && decimatorFits(n, D)) {
        // Output k starts at z index idx[0] + k D; its window must lie inside src.
        const int64_t s0 = idx[0];
        vecFrom = s0 >= n ? 0 : (n - s0 + D - 1) / D;
        vecFrom = (vecFrom + 3) / 4 * 4;
        const int64_t last = b.zEnd - n - s0 >= 0 ? (b.zEnd - n - s0) / D : -1;
        const int64_t end = last + 1 < outputs ? last + 1 : outputs;
        vecTo = end > vecFrom ? vecFrom + (end - vecFrom) / 16 * 16 : vecFrom;
        if (vecTo > vecFrom)
            decimateVertical(s, src, s0 + vecFrom * D - n, dst + vecFrom, vecTo - vecFrom, scale);
    }
#endif
    for (int64_t k0 = 0, base = 0; k0 < outputs; base += 4 * D) {
        for (int64_t j = 0; j < U && k0 < outputs; ++j, k0 += 4) {
            if (k0 >= vecFrom && k0 < vecTo)
                continue;
            const int64_t w0 = idx[4 * j] + base;
#if SIG_SLOT >= 1
            const int64_t w3 = idx[4 * j + 3] + base;
            if (k0 + 4 <= outputs && w0 >= n && w3 + nPad <= b.zEnd) {
                const cs16* x[4] = {src + (w0 - n), src + (idx[4 * j + 1] + base - n),
                                    src + (idx[4 * j + 2] + base - n), src + (w3 - n)};
                firGroup4(s->vecTaps + 4 * j * 2 * nPad, nPad, x, scale, dst + k0);
                continue;
            }
#endif
            for (int64_t l = 0; l < 4 && k0 + l < outputs; ++l)
                dst[k0 + l] = firOne(b, s->tapTable + 4 * n * j + l, 4, n,
                                     l == 0 ? w0 : idx[4 * j + l] + base);
        }
    }
    // The delay line keeps the last n samples of z.
    if (inputs >= n) {
        sigkMove_cs16(src + inputs - n, s->dlyLine, static_cast<int32_t>(n));
    } else {
        sigkMove_cs16(s->dlyLine + inputs, s->dlyLine, static_cast<int32_t>(n - inputs));
        sigkMove_cs16(src, s->dlyLine + (n - inputs), static_cast<int32_t>(inputs));
    }
}

// The single-rate form, which no builder makes: z is the T - 1 newest delay samples followed by
// the block, and every output reads the 32-bit taps, the caller's first tap meeting the newest
// sample.
void filterSingleRate(sigFirState_cs16* s, const cs16* src, cs16* dst, int64_t len, int m)
{
    const int64_t T = s->tapsLen;
    const cs16* dly = s->dlyLine + s->dlyStart;
    for (int64_t i = 0; i < len; ++i) {
        uint32_t re = 0, im = 0;
        for (int64_t k = 0; k < T; ++k) {
            const int64_t zi = i + k;
            const cs16 x = zi < T - 1 ? dly[zi + 1] : src[zi - (T - 1)];
            const uint32_t hr = static_cast<uint32_t>(s->taps[k].re);
            const uint32_t hi = static_cast<uint32_t>(s->taps[k].im);
            const uint32_t xr = static_cast<uint32_t>(int32_t{x.re});
            const uint32_t xi = static_cast<uint32_t>(int32_t{x.im});
            re += hr * xr - hi * xi;
            im += hr * xi + hi * xr;
        }
        dst[i] = cs16{sat16(scaleSum(re, m)), sat16(scaleSum(im, m))};
    }
    // The delay line keeps the last T samples of its own T followed by the block.
    if (len >= T) {
        sigkMove_cs16(src + len - T, s->dlyLine, static_cast<int32_t>(T));
    } else {
        sigkMove_cs16(s->dlyLine + s->dlyStart + len, s->dlyLine, static_cast<int32_t>(T - len));
        sigkMove_cs16(src, s->dlyLine + (T - len), static_cast<int32_t>(len));
    }
    s->dlyStart = 0;
}

}  // namespace

sigStatus sigFir_cs16(const cs16* src, cs16* dst, int32_t len, sigFirState_cs16* state,
                      int32_t scaleFactor)
{
    if (state == nullptr || src == nullptr || dst == nullptr)
        return sigErrNull;
    if (len <= 0)
        return sigErrLength;
    if (state->tag != kTagMultiRate && state->tag != kTagSingleRate)
        return sigErrTag;
    int64_t m = state->tapScale - scaleFactor;
    m = m < -31 ? -31 : m > 31 ? 31 : m;
    if (state->tag == kTagMultiRate)
        filterMultiRate(state, src, dst, len, static_cast<int>(m));
    else
        filterSingleRate(state, src, dst, len, static_cast<int>(m));
    return sigOk;
}

}  // namespace sig::SIG_NS
