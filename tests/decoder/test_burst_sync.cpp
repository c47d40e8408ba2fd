// Burst references, the correlation timing search, the fractional delay and the channel
// estimate, including the inputs that used to leave NaN in state that outlives a channel.
#include <gtest/gtest.h>

#include <cmath>

#include "burst_fixture.h"
#include "burst_sync.h"

using namespace corvane;

namespace {

TEST(GmskRef, ZeroBitsTurnByAQuarterPerSample)
{
    cf32 r[142];
    gmskRef(kFcchBits, r, 142, 1);
    for (int i = 1; i < 141; ++i) {
        // r[i] = j * r[i-1]
        EXPECT_NEAR(r[i].re, -r[i - 1].im, 1e-4);
        EXPECT_NEAR(r[i].im, r[i - 1].re, 1e-4);
    }
    // The last sample lacks the next symbol's early share.
    float last = std::atan2(r[141].im, r[141].re) - std::atan2(r[140].im, r[140].re);
    last = std::remainder(last, 2.0f * static_cast<float>(M_PI));
    EXPECT_NEAR(last, M_PI / 2 - 0.2739, 1e-4);
}

TEST(GmskRef, ContextsTakeLayoutParityAndWidth)
{
    BurstCtx f{}, s{}, n{};
    setupBurstCtx(&f, kindFcch, &kFcchLayout, kFcchBits, 0.6f, 67000.0f);
    setupBurstCtx(&s, kindSch, &kSchLayout, kSchTrainingBits, 0.4f, 0.0f);
    setupBurstCtx(&n, kindBcch, &kNormalLayout, tscBits(5), 0.27f, 0.0f);
    EXPECT_EQ(f.ref.binWidth, 64);
    EXPECT_EQ(s.ref.binWidth, 0);
    EXPECT_EQ(f.ref.knownStart, 3);
    EXPECT_EQ(s.ref.knownLen, 64);
    EXPECT_EQ(n.ref.knownStart, 61);
    EXPECT_EQ(n.ref.knownLen, 26);
    // The stored reference is the conjugate of the modulated known bits (parity 1 for odd starts).
    cf32 r[26];
    gmskRef(tscBits(5), r, 26, 1);
    for (int i = 0; i < 26; ++i) {
        EXPECT_EQ(n.ref.ref[i].re, r[i].re);
        EXPECT_EQ(n.ref.ref[i].im, -r[i].im);
    }
    EXPECT_EQ(tscBits(7)[0], 1);
    EXPECT_EQ(kSchTrainingBits[63], 1);
    EXPECT_EQ(kSchTrainingBits[1], 0);
}

TEST(TimingSearch, WindowEqualToTheReferencePassesAndSilenceFails)
{
    BurstCtx n{};
    setupBurstCtx(&n, kindBcch, &kNormalLayout, tscBits(1), 0.999f, 0.0f);
    std::vector<cf32> burst(200, cf32{0.0f, 0.0f});
    cf32* b = burst.data() + 20;
    for (int i = 0; i < 26; ++i)
        b[61 + i] = {n.ref.ref[i].re, -n.ref.ref[i].im};
    SyncResult S{0, 0.0f, 0.0f};
    EXPECT_TRUE(schSearch(b, n.ref, &S, 5));
    EXPECT_EQ(S.offset, 0);
    EXPECT_TRUE(std::isfinite(S.fraction));

    std::vector<cf32> silent(200, cf32{0.0f, 0.0f});
    SyncResult T{3, 0.25f, 7.0f};
    EXPECT_FALSE(schSearch(silent.data() + 20, n.ref, &T, 5));
    EXPECT_EQ(T.offset, 3);
    EXPECT_EQ(T.fraction, 0.25f);
}

TEST(TimingSearch, FlatCorrelationGivesAFiniteFraction)
{
    // A pure tone at the reference's own rotation correlates almost equally at every shift:
    // the parabola through the three peaks is flat and its vertex meaningless.
    BurstCtx f{};
    setupBurstCtx(&f, kindFcch, &kFcchLayout, kFcchBits, 0.1f, 0.0f);
    std::vector<cf32> tone(400);
    for (int i = 0; i < 400; ++i)
        tone[i] = {std::cos(0.5f * static_cast<float>(M_PI) * i),
                   std::sin(0.5f * static_cast<float>(M_PI) * i)};
    SyncResult S{0, 0.0f, 0.0f};
    ASSERT_TRUE(schSearch(tone.data() + 50, f.ref, &S, 5));
    EXPECT_TRUE(std::isfinite(S.fraction));
    EXPECT_LE(std::fabs(S.fraction), 1.0f);
    float w[5];
    lagrangeCoefs(S.fraction, w);
    for (float v : w)
        EXPECT_TRUE(std::isfinite(v));
}

TEST(FracDelay, InterpolatesCubicsExactlyAndZeroIsTheIdentity)
{
    float w[5];
    lagrangeCoefs(0.0f, w);
    EXPECT_EQ(w[0], 0.0f);
    EXPECT_EQ(w[1], 0.0f);
    EXPECT_EQ(w[2], 1.0f);
    EXPECT_EQ(w[3], 0.0f);
    EXPECT_EQ(w[4], 0.0f);

    std::vector<cf32> src(160), dst(kBurstLen);
    auto cubic = [](double t) { return 0.001 * t * t * t - 0.05 * t * t + 0.3 * t - 2.0; };
    for (int i = 0; i < 160; ++i)
        src[i] = {static_cast<float>(cubic(i - 2.0)), static_cast<float>(-cubic(i - 2.0))};
    for (float x : {-0.5f, -0.25f, 0.3f, 0.5f}) {
        lagrangeCoefs(x, w);
        float sum = w[0] + w[1] + w[2] + w[3] + w[4];
        EXPECT_NEAR(sum, 1.0f, 1e-6);
        fracDelay(src.data() + 2, w, dst.data());
        for (int n = 0; n < kBurstLen; ++n) {
            double want = cubic(n + x);
            EXPECT_NEAR(dst[n].re, want, 1e-3 * (1 + std::fabs(want))) << n << " " << x;
            EXPECT_NEAR(dst[n].im, -want, 1e-3 * (1 + std::fabs(want)));
        }
    }
}

TEST(ChannelEstimate, FirstBurstSetsTheTapsThenTheyAreSmoothed)
{
    std::mt19937 rng(2);
    BurstCtx n{};
    setupBurstCtx(&n, kindBcch, &kNormalLayout, tscBits(4), 0.27f, 0.0f);
    std::vector<uint8_t> data;
    auto bits = burst_test::burstBits(n, rng, &data);
    auto x = burst_test::placeBurst(bits, 0, kBurstLen, 0.0, 0.7, 0.02, 0.0, rng);
    ChanState cs{};
    std::vector<cf32> y = x;
    estChannel(n, y.data(), &cs);
    // Normalised: the known part correlates to 1 with the reference.
    cf32 z{0.0f, 0.0f};
    for (int i = 0; i < 26; ++i) {
        cf32 a = y[61 + i], r = n.ref.ref[i];
        z.re += a.re * r.re - a.im * r.im;
        z.im += a.re * r.im + a.im * r.re;
    }
    EXPECT_NEAR(z.re / 26, 1.0, 1e-4);
    EXPECT_NEAR(z.im / 26, 0.0, 1e-4);
    const ChanState first = cs;
    EXPECT_NEAR(first.chanTaps[1].re, 1.0, 0.05);   // the aligned tap

    std::vector<cf32> y2 = x;
    estChannel(n, y2.data(), &cs);
    // The same burst again: smoothing towards the same estimate changes nothing but rounding.
    for (int i = 0; i < 7; ++i)
        EXPECT_NEAR(cs.chanTaps[i].re, first.chanTaps[i].re, 1e-5);

    const cf32* shaped = shapeChannel(&cs);
    EXPECT_NEAR(shaped[0].re, 0.97f * (cs.chanTaps[0].re - 0.4468f), 1e-6);
    EXPECT_NEAR(shaped[1].re, 0.97f * cs.chanTaps[1].re, 1e-6);
    EXPECT_NEAR(shaped[3].im, 0.97f * cs.chanTaps[3].im, 1e-6);
}

TEST(ChannelEstimate, SilentBurstLeavesTheStateFinite)
{
    BurstCtx s{};
    setupBurstCtx(&s, kindSch, &kSchLayout, kSchTrainingBits, 0.4f, 0.0f);
    ChanState cs{};
    cs.chanTaps[1] = {0.9f, 0.1f};
    cf32 y[kBurstLen] = {};
    estChannel(s, y, &cs);
    for (const cf32& t : cs.chanTaps) {
        EXPECT_TRUE(std::isfinite(t.re));
        EXPECT_TRUE(std::isfinite(t.im));
    }
    EXPECT_EQ(cs.chanTaps[1].re, 0.9f);
    EXPECT_TRUE(std::isfinite(cs.normFactor.re));
    for (const cf32& v : y)
        EXPECT_TRUE(std::isfinite(v.re) && std::isfinite(v.im));
}

}  // namespace
