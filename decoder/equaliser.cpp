// The equaliser: derotation, Viterbi over the 64-state trellis, traceback with soft values,
// differential decoding and the polarity check against the burst's known bits.
#include "equaliser.h"

#include <cmath>

namespace corvane {

namespace {
constexpr float kPi = 3.1415927f;
constexpr float kHalfPi = 1.5707964f;
constexpr float kTwoPi = 6.2831855f;
constexpr float kStartMetric = 592.0f;
constexpr int kWindow = 8;   // difference masks reach back eight steps

inline int bit(int s, int i) { return (s >> i) & 1; }
inline float sym(int s, int i) { return bit(s, i) ? -1.0f : 1.0f; }   // a_i(s)
}  // namespace

void initMlseTables(MlseTables* t)
{
    for (int s = 0; s < kMlseStates; ++s) {
        uint16_t first = static_cast<uint16_t>(((s >> 1) & 0x1E) | (1 ^ bit(s, 3) ^ bit(s, 0)));
        t->pred[s][0] = first;
        t->pred[s][1] = static_cast<uint16_t>(first | 0x20);
        for (int k = 0; k < 4; ++k) {
            float sum = 0.0f;
            for (int i = 3; i <= k + 2; ++i)
                sum += sym(s, i);
            float phase = kPi * static_cast<float>(bit(s, 0)) - kHalfPi * sum +
                          1.2968f * sym(s, k + 2) + 0.2739f * sym(s, k + 1);
            while (phase > kPi)
                phase -= kTwoPi;
            while (phase <= -kPi)
                phase += kTwoPi;
            t->hyp[s][k] = {std::cos(phase), std::sin(phase)};
        }
    }
}

const MlseTables& mlseTables()
{
    static const MlseTables tables = [] {
        MlseTables t;
        initMlseTables(&t);
        return t;
    }();
    return tables;
}

void equalise(const cf32* samples, const cf32* channel, const BurstCtx& ctx, float* soft,
              MlseWork* w)
{
    const MlseTables& T = mlseTables();

    // Derotation by j^(n+1): j, -1, -j, 1, ...
    cf32 y[kBurstLen];
    for (int n = 0; n < kBurstLen; ++n) {
        cf32 x = samples[n];
        switch (n & 3) {
        case 0: y[n] = {-x.im, x.re}; break;
        case 1: y[n] = {-x.re, -x.im}; break;
        case 2: y[n] = {x.im, -x.re}; break;
        default: y[n] = x; break;
        }
    }

    // Each state's expected sample does not depend on the step: sum_k H[s][k] c_k.
    cf32 expect[kMlseStates];
    for (int s = 0; s < kMlseStates; ++s) {
        float re = 0.0f, im = 0.0f;
        for (int k = 0; k < 4; ++k) {
            cf32 h = T.hyp[s][k], c = channel[k];
            re += h.re * c.re - h.im * c.im;
            im += h.re * c.im + h.im * c.re;
        }
        expect[s] = {re, im};
    }

    for (int s = 0; s < kMlseStates; ++s) {
        bool start = s < 2;
        w->metric[0][s] = start ? 0.0f : kStartMetric;
        w->gap[0][s] = start ? kStartMetric : 0.0f;
        w->pred[0][s] = 0;
    }
    for (int t = 0; t < kBurstLen - 1; ++t) {
        const float* m = w->metric[t];
        for (int s = 0; s < kMlseStates; ++s) {
            float dr = y[t].re - expect[s].re, di = y[t].im - expect[s].im;
            float e = dr * dr + di * di;
            int p = T.pred[s][0], q = T.pred[s][1];
            bool takeSecond = m[q] <= m[p];
            w->pred[t + 1][s] = static_cast<uint8_t>(takeSecond ? q : p);
            w->metric[t + 1][s] = (takeSecond ? m[q] : m[p]) + e;
            w->gap[t + 1][s] = std::fabs(m[p] - m[q]);
        }
    }

    const int last = kBurstLen - 1;
    int endState = 0;
    for (int s = 1; s < kMlseStates; ++s)
        if (w->metric[last][s] < w->metric[last][endState])
            endState = s;

    // Traceback: hard decisions, survivor gaps and the difference masks of the nine-step window.
    float hard[kBurstLen], gap[kBurstLen], mag[kBurstLen];
    uint32_t mask[kBurstLen];
    int st = endState;
    for (int t = last; t >= 0; --t) {
        hard[t] = bit(st, 2) ? -1.0f : 1.0f;
        gap[t] = w->gap[t][st];
        mag[t] = kSoftMax;
        mask[t] = 0;
        int prevState = w->pred[t][st];
        int p = prevState, q = prevState ^ 0x20;
        for (int i = 2; i <= kWindow && i <= t; ++i) {
            p = w->pred[t - i + 1][p];
            q = w->pred[t - i + 1][q];
            if (p == q)
                break;
            if (bit(p, 2) != bit(q, 2))
                mask[t] |= 1u << i;
        }
        st = prevState;
    }
    for (int t = 0; t < kBurstLen; ++t)
        for (int i = 0; i <= kWindow && i <= t; ++i)
            if (mask[t] & (1u << i))
                mag[t - i] = std::fmin(mag[t - i], gap[t]);

    // Differential decoding, then the polarity that agrees with the known bits.
    float v[kBurstLen];
    float sign = -1.0f;
    for (int t = 0; t < kBurstLen; ++t) {
        v[t] = sign * hard[t] * mag[t];
        sign = v[t] < 0.0f ? -1.0f : 1.0f;
    }
    const int P = ctx.ref.knownStart, n = ctx.ref.knownLen;
    int errors = 0;
    for (int i = 0; i < n; ++i)
        errors += ctx.known[i] != (v[P + i] > 0.0f ? 1 : 0);
    if (2 * errors > n)
        for (float& x : v)
            x = -x;

    const BurstLayout& L = *ctx.layout;
    for (int i = 0; i < L.dataLen; ++i) {
        soft[i] = v[L.dataStart1 + i];
        soft[L.dataLen + i] = v[L.dataStart2 + i];
    }
}

}  // namespace corvane
