// The equaliser: its constant tables, its trellis conventions, and bit decisions on true GMSK
// bursts aligned and estimated by the burst receiver.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "burst_fixture.h"
#include "burst_sync.h"
#include "equaliser.h"

using namespace corvane;

namespace {

MlseWork g_work;

BurstCtx schCtx()
{
    BurstCtx c{};
    setupBurstCtx(&c, kindSch, &kSchLayout, kSchTrainingBits, 0.4f, 0.0f);
    return c;
}

BurstCtx normalCtx(int tsc)
{
    BurstCtx c{};
    setupBurstCtx(&c, kindBcch, &kNormalLayout, tscBits(tsc), 0.27f, 0.0f);
    return c;
}

// The receiver chain of one burst: timing search around `lead`, fractional delay, channel
// estimate, equaliser. Returns false when the timing search fails.
bool receive(const BurstCtx& ctx, const std::vector<cf32>& x, int lead, float* soft)
{
    SyncResult S{0, 0.0f, 0.0f};
    if (!schSearch(x.data() + lead, ctx.ref, &S, 5))
        return false;
    float w[5];
    lagrangeCoefs(S.fraction, w);
    cf32 y[kBurstLen];
    fracDelay(x.data() + lead + S.offset, w, y);
    ChanState cs{};
    estChannel(ctx, y, &cs);
    equalise(y, shapeChannel(&cs), ctx, soft, &g_work);
    return true;
}

int bitErrors(const float* soft, const std::vector<uint8_t>& data)
{
    int e = 0;
    for (size_t i = 0; i < data.size(); ++i)
        e += (soft[i] > 0.0f ? 1 : 0) != data[i];
    return e;
}

TEST(MlseTables, EachStepTurnsTheHypothesesOfBothPredecessorsByAQuarter)
{
    const MlseTables& T = mlseTables();
    for (int s = 0; s < kMlseStates; ++s) {
        EXPECT_EQ(T.pred[s][1], T.pred[s][0] | 0x20);
        EXPECT_EQ((T.pred[s][0] >> 1) & 0xF, (s >> 2) & 0xF) << s;
        for (int which = 0; which < 2; ++which) {
            int p = T.pred[s][which];
            for (int k = 0; k < 3; ++k) {
                cf32 a = T.hyp[s][k + 1], b = T.hyp[p][k];
                EXPECT_NEAR(a.re, -b.im, 2e-4) << s << " " << k;
                EXPECT_NEAR(a.im, b.re, 2e-4) << s << " " << k;
            }
        }
        for (int k = 0; k < 4; ++k) {
            cf32 a = T.hyp[s][k], b = T.hyp[s ^ 1][k];
            EXPECT_NEAR(std::hypot(a.re, a.im), 1.0, 1e-6);
            EXPECT_NEAR(a.re, -b.re, 1e-6);
            EXPECT_NEAR(a.im, -b.im, 1e-6);
        }
    }
    // Every state is the successor of exactly two states.
    int successors[kMlseStates] = {};
    for (int s = 0; s < kMlseStates; ++s)
        for (int which = 0; which < 2; ++which)
            ++successors[T.pred[s][which]];
    for (int c : successors)
        EXPECT_EQ(c, 2);
}

TEST(MlseTables, RebuildingGivesTheSameBits)
{
    MlseTables again;
    initMlseTables(&again);
    EXPECT_EQ(0, std::memcmp(&again, &mlseTables(), sizeof again));
}

TEST(Equaliser, DecodesNoiselessGmskSchAndEveryTrainingSequence)
{
    std::mt19937 rng(7);
    std::vector<BurstCtx> ctxs{schCtx()};
    for (int tsc = 0; tsc < 8; ++tsc)
        ctxs.push_back(normalCtx(tsc));
    for (const BurstCtx& ctx : ctxs) {
        for (int trial = 0; trial < 20; ++trial) {
            std::vector<uint8_t> data;
            auto bits = burst_test::burstBits(ctx, rng, &data);
            double delay = std::uniform_real_distribution<double>(-0.5, 0.5)(rng);
            double phase = std::uniform_real_distribution<double>(0, 2 * M_PI)(rng);
            auto x = burst_test::placeBurst(bits, 20, 200, delay, phase, 0.01, 0.0, rng);
            float soft[2 * 57];
            ASSERT_TRUE(receive(ctx, x, 20, soft));
            EXPECT_EQ(bitErrors(soft, data), 0) << "kind " << ctx.kind << " delay " << delay;
            for (size_t i = 0; i < data.size(); ++i)
                EXPECT_LE(std::fabs(soft[i]), kSoftMax);
        }
    }
}

TEST(Equaliser, FindsTheBurstAtEveryIntegerShiftOfTheSearch)
{
    std::mt19937 rng(11);
    BurstCtx ctx = normalCtx(3);
    for (int shift = -5; shift <= 5; ++shift) {
        std::vector<uint8_t> data;
        auto bits = burst_test::burstBits(ctx, rng, &data);
        auto x = burst_test::placeBurst(bits, 20 + shift, 200, 0.0, 1.0, 1.0, 0.05, rng);
        SyncResult S{0, 0.0f, 0.0f};
        ASSERT_TRUE(schSearch(x.data() + 20, ctx.ref, &S, 5));
        EXPECT_EQ(S.offset, shift);
        EXPECT_LE(std::fabs(S.fraction), 0.3f);
    }
}

TEST(Equaliser, BitErrorRateInNoiseStaysLow)
{
    // Es/N0 8 dB: signal power 1, noise variance 10^-0.8. The raw error rate of a working
    // receiver is about a percent there; an indexing slip shows as tens of percent.
    std::mt19937 rng(3);
    BurstCtx ctx = normalCtx(5);
    const double sigma = std::sqrt(std::pow(10.0, -0.8));
    int errors = 0, total = 0;
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<uint8_t> data;
        auto bits = burst_test::burstBits(ctx, rng, &data);
        double delay = std::uniform_real_distribution<double>(-0.5, 0.5)(rng);
        auto x = burst_test::placeBurst(bits, 20, 200, delay, trial * 0.37, 1.0, sigma, rng);
        float soft[2 * 57];
        if (!receive(ctx, x, 20, soft)) {
            errors += 114;
        } else {
            errors += bitErrors(soft, data);
        }
        total += 114;
    }
    EXPECT_LT(static_cast<double>(errors) / total, 0.03);
}

TEST(Equaliser, NegatedBurstGivesTheSameBits)
{
    std::mt19937 rng(5);
    BurstCtx ctx = normalCtx(0);
    std::vector<uint8_t> data;
    auto bits = burst_test::burstBits(ctx, rng, &data);
    auto x = burst_test::placeBurst(bits, 20, 200, 0.1, 0.3, 1.0, 0.1, rng);
    float a[114], b[114];
    const cf32 taps[4] = {{0.05f, 0.01f}, {0.5f, -0.1f}, {0.1f, 0.0f}, {0.01f, 0.0f}};
    cf32 y[kBurstLen], z[kBurstLen];
    for (int n = 0; n < kBurstLen; ++n) {
        y[n] = x[20 + n];
        z[n] = {-y[n].re, -y[n].im};
    }
    equalise(y, taps, ctx, a, &g_work);
    equalise(z, taps, ctx, b, &g_work);
    for (int i = 0; i < 114; ++i) {
        EXPECT_EQ(a[i] > 0, b[i] > 0) << i;
        EXPECT_NEAR(a[i], b[i], 1e-3) << i;
    }
}

TEST(Equaliser, TheLastSampleNeverChangesTheOutput)
{
    std::mt19937 rng(9);
    BurstCtx ctx = schCtx();
    std::vector<uint8_t> data;
    auto bits = burst_test::burstBits(ctx, rng, &data);
    auto x = burst_test::placeBurst(bits, 0, kBurstLen, 0.0, 0.0, 1.0, 0.3, rng);
    const cf32 taps[4] = {{0.0f, 0.0f}, {0.6f, 0.0f}, {0.1f, 0.05f}, {0.0f, 0.0f}};
    float a[78], b[78];
    equalise(x.data(), taps, ctx, a, &g_work);
    x[147] = {1e6f, -1e6f};
    equalise(x.data(), taps, ctx, b, &g_work);
    EXPECT_EQ(0, std::memcmp(a, b, sizeof a));
}

TEST(Equaliser, PolarityFollowsTheMajorityOfTheKnownBits)
{
    // A silent burst gives equal metrics everywhere: every decision is a tie, which the
    // trellis resolves the same way each time, so the known-bit check alone sets the sign.
    BurstCtx ctx = normalCtx(2);
    cf32 zero[kBurstLen] = {};
    const cf32 taps[4] = {};
    float soft[114];
    equalise(zero, taps, ctx, soft, &g_work);
    for (float v : soft) {
        EXPECT_TRUE(std::isfinite(v));
        EXPECT_LE(std::fabs(v), kSoftMax);
    }
}

}  // namespace
