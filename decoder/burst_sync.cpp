// Timing search, fractional delay and channel estimate of one burst.
#include "burst_sync.h"

#include <cmath>

#include "prim0.h"

namespace corvane {

namespace {
constexpr float kEnergyFloor = 1.1920929e-07f;

float energy(cf32 c) { return c.re * c.re + c.im * c.im; }

cf32 dot(const cf32* a, const cf32* b, int len)
{
    cf32 r{0.0f, 0.0f};
    prim::sigDotProd_cf32(a, b, len, &r);
    return r;
}

double norm(const cf32* a, int len)
{
    double n = 0.0;
    prim::sigNormL2_cf32(a, len, &n);
    return n;
}

// The vertex of the parabola through P(-1), P(0), P(+1). A flat or broken peak (a pure tone
// correlates equally at every shift) gives no usable vertex: the fraction is then 0, never a
// NaN or a huge value that would blow up the interpolation weights.
float parabolicFraction(float pm, float p0, float pp)
{
    float den = pm - 2.0f * p0 + pp;
    float x = 0.5f * (pm - pp) / den;
    if (!(std::fabs(x) <= 1.0f))
        return 0.0f;
    return x;
}
}  // namespace

bool schSearch(const cf32* burst, const SyncRef& r, SyncResult* S, int h)
{
    const cf32* base = burst + r.knownStart;
    const int L = r.knownLen;
    float best = 0.0f;
    int bestK = 0;
    for (int k = 0; k <= 2 * h; ++k) {
        const cf32* w = base + S->offset - h + k;
        double n = norm(w, L);
        float score = static_cast<float>(energy(dot(w, r.ref, L)) / (n * n + kEnergyFloor));
        if (score > best) {
            best = score;
            bestK = k;
        }
    }
    if (!(std::sqrt(best / static_cast<float>(L)) >= r.threshold))
        return false;
    S->offset = static_cast<int16_t>(S->offset + bestK - h);
    const cf32* w = base + S->offset;
    float pm = energy(dot(w - 1, r.ref, L));
    float p0 = energy(dot(w, r.ref, L));
    float pp = energy(dot(w + 1, r.ref, L));
    S->fraction = parabolicFraction(pm, p0, pp);
    return true;
}

SyncResult* syncBurst(const BurstCtx& ctx, SyncResult* S, const cf32* burst)
{
    return schSearch(burst, ctx.ref, S, 5) ? S : nullptr;
}

void lagrangeCoefs(float x, float w[5])
{
    constexpr float k24 = 0.041666668f, k6 = 0.16666667f, k4 = 0.25f;
    float xm2 = x - 2.0f, xm1 = x - 1.0f, xp1 = x + 1.0f, xp2 = x + 2.0f;
    w[0] = xm2 * xm1 * x * xp1 * k24;
    w[1] = -(xm2 * xm1 * x * xp2) * k6;
    w[2] = xm2 * xm1 * xp1 * xp2 * k4;
    w[3] = -(xm2 * x * xp1 * xp2) * k6;
    w[4] = xm1 * x * xp1 * xp2 * k24;
}

void fracDelay(const cf32* src, const float w[5], cf32* dst)
{
    for (int n = 0; n < kBurstLen; ++n) {
        float re = 0.0f, im = 0.0f;
        for (int k = 0; k < 5; ++k) {
            re += w[k] * src[n - 2 + k].re;
            im += w[k] * src[n - 2 + k].im;
        }
        dst[n] = {re, im};
    }
}

void estChannel(const BurstCtx& ctx, cf32* y, ChanState* state)
{
    const SyncRef& r = ctx.ref;
    const int s = r.knownStart, L = r.knownLen;
    cf32 z = dot(y + s, r.ref, L);
    z.re /= static_cast<float>(L);
    z.im /= static_cast<float>(L);
    // A burst without energy has no normalising factor; leaving the estimate alone keeps an
    // infinity out of the smoothed taps, which outlive the channel.
    float zz = energy(z);
    if (!(zz > 0.0f) || !std::isfinite(zz))
        return;
    cf32 f{z.re / zz, -z.im / zz};
    state->normFactor = f;
    for (int n = 0; n < kBurstLen; ++n) {
        cf32 v = y[n];
        y[n] = {v.re * f.re - v.im * f.im, v.re * f.im + v.im * f.re};
    }
    const float inv = 1.0f / static_cast<float>(L - 7);
    for (int i = 0; i < 7; ++i) {
        cf32 e = dot(y + s + i, r.ref + 1, L - 7);
        e.re *= inv;
        e.im *= inv;
        if (!std::isfinite(e.re) || !std::isfinite(e.im))
            continue;
        cf32& t = state->chanTaps[i];
        t.re = t.re == 0.0f ? e.re : 0.75f * t.re + 0.25f * e.re;
        t.im = t.im == 0.0f ? e.im : 0.75f * t.im + 0.25f * e.im;
    }
}

const cf32* shapeChannel(ChanState* state)
{
    static constexpr float kPulse[7] = {0.4468f, 0.0f, 0.4468f, 0.0116f, 0.0f, 0.0f, 0.0f};
    for (int i = 0; i < 7; ++i) {
        state->shapedTaps[i] = {0.97f * (state->chanTaps[i].re - kPulse[i]),
                                0.97f * state->chanTaps[i].im};
    }
    return state->shapedTaps;
}

}  // namespace corvane
