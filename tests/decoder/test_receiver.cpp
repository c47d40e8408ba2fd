// The receiver's pieces on true GMSK computed here in double precision from the Gaussian
// frequency pulse, independent of the decoder's linearised references: the front end, the FCCH
// searches, burst timing, fractional delay, channel estimate and equaliser, including the
// inputs that used to leave NaN in state that outlives a channel.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "burst_ref.h"
#include "burst_sync.h"
#include "cell_decoder.h"
#include "core_vtab.h"
#include "decoder_api.h"
#include "equaliser.h"

using namespace corvane;

namespace {

// Phase response of GMSK (BT 0.3): the fraction (0..1) of a symbol's pi/2 that has accrued
// t symbol periods after its centre (rect(1) convolved with the Gaussian, integrated).
double phasePulse(double t)
{
    const double s = std::sqrt(std::log(2.0)) / (2.0 * M_PI * 0.3);   // Gaussian sigma, in T
    auto G = [&](double x) {   // antiderivative of Phi(x / s)
        double z = x / s;
        return x * 0.5 * std::erfc(-z / std::sqrt(2.0)) + s * std::exp(-0.5 * z * z) / std::sqrt(2.0 * M_PI);
    };
    return G(t + 0.5) - G(t - 0.5);
}

// The delay (in symbols) at which a symbol has accrued the share of its phase that the
// decoder's linearised model assigns to its own sample (1.2968 of pi/2).
double modelDelay()
{
    double lo = 0.0, hi = 1.5;
    for (int i = 0; i < 60; ++i) {
        double mid = 0.5 * (lo + hi);
        (phasePulse(mid) < 1.2968 / (M_PI / 2) ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

// True GMSK of the bits (differentially encoded) at one sample per symbol, computed in double
// precision, independent of the decoder's linearised references: sample m at time m + delay
// symbol periods after the centre of symbol 0, bits beyond the end taken as zeros. Then scaled
// by amp, turned by a carrier offset of hz and given complex noise of std. dev. sigma.
std::vector<cf32> gmsk(const std::vector<uint8_t>& bits, int count, double delay, double phase0,
                       double amp, double hz, double sigma, std::mt19937& rng)
{
    std::vector<double> a(bits.size());
    for (size_t i = 0; i < bits.size(); ++i)
        a[i] = bits[i] == (i ? bits[i - 1] : 0) ? 1.0 : -1.0;
    std::normal_distribution<double> n(0.0, sigma / std::sqrt(2.0));
    std::vector<cf32> x(count);
    const double late = modelDelay() + delay;
    for (int m = 0; m < count; ++m) {
        double t = m + late, phase = phase0;
        for (size_t i = 0; i < a.size() && t - i >= -3.0; ++i)
            phase += a[i] * M_PI / 2 * (t - i > 3.0 ? 1.0 : phasePulse(t - i));
        std::complex<double> v = amp * std::polar(1.0, phase) * std::polar(1.0, 2.0 * M_PI * hz * m / 270833.34375);
        x[m] = {static_cast<float>(v.real()), static_cast<float>(v.imag())};
    }
    if (sigma > 0)
        for (cf32& v : x) {
            double re = n(rng), im = n(rng);
            v = {static_cast<float>(v.re + re), static_cast<float>(v.im + im)};
        }
    return x;
}

std::vector<uint8_t> randomBits(std::mt19937& rng, int n)
{
    std::vector<uint8_t> b(n);
    for (auto& x : b)
        x = static_cast<uint8_t>(rng() & 1);
    return b;
}

// A 148-bit burst of the context's layout: tail zeros, random data, the known bits.
std::vector<uint8_t> burstBits(const BurstCtx& ctx, std::mt19937& rng, std::vector<uint8_t>* data)
{
    const BurstLayout& L = *ctx.layout;
    std::vector<uint8_t> bits(kBurstLen, 0);
    *data = randomBits(rng, 2 * L.dataLen);
    for (int i = 0; i < L.dataLen; ++i) {
        bits[L.dataStart1 + i] = (*data)[i];
        bits[L.dataStart2 + i] = (*data)[L.dataLen + i];
    }
    for (int i = 0; i < ctx.ref.knownLen; ++i)
        bits[ctx.ref.knownStart + i] = ctx.known[i];
    return bits;
}

// The burst at sample `lead` of `total` samples, zero bits around it, `delay` symbols late.
std::vector<cf32> placeBurst(const std::vector<uint8_t>& bits, int lead, int total, double delay,
                             double phase, double amp, double sigma, std::mt19937& rng)
{
    std::vector<uint8_t> all(lead, 0);
    all.insert(all.end(), bits.begin(), bits.end());
    return gmsk(all, total, delay, phase, amp, 0.0, sigma, rng);
}

MlseWork g_work;

// The SCH's context for tsc < 0, else a normal burst's with that training sequence.
BurstCtx burstCtx(int tsc)
{
    BurstCtx c{};
    if (tsc < 0)
        setupBurstCtx(&c, kindSch, &kSchLayout, kSchTrainingBits, 0.4f, 0.0f);
    else
        setupBurstCtx(&c, kindBcch, &kNormalLayout, tscBits(tsc), 0.27f, 0.0f);
    return c;
}

// Fills the held input with a complex tone at hz (input rate) and runs one block.
void runToneBlock(FrontEnd& fe, double hz, double amp = 1.0)
{
    const double w = 2.0 * M_PI * hz / 541666.6875;
    for (int i = 0; i < kBlockIn; ++i)
        fe.inBuf[i] = {static_cast<float>(amp * std::cos(w * i)), static_cast<float>(amp * std::sin(w * i))};
    fe.held = kBlockIn;
    frontEnd(&fe);
}

double blockPower(const cf32* x, int from, int n)
{
    double s = 0.0;
    for (int i = from; i < from + n; ++i)
        s += static_cast<double>(x[i].re) * x[i].re + static_cast<double>(x[i].im) * x[i].im;
    return s / n;
}

TEST(FrontEnd, ExactBlockLeavesTheRestAndMovesItToTheFront)
{
    CoreDecoder d;
    FrontEnd& fe = d.dec->front;
    for (int i = 0; i < kBlockIn; ++i)
        fe.inBuf[i] = {static_cast<float>(i), 0.0f};
    fe.held = kBlockIn;
    frontEnd(&fe);
    EXPECT_EQ(fe.held, 792);
    EXPECT_EQ(fe.inBuf[0].re, 2500.0f);
    EXPECT_EQ(fe.inBuf[791].re, 3291.0f);
}

TEST(FrontEnd, DecimatorPassesTheChannelAndStopsTheNeighbours)
{
    CoreDecoder d;
    FrontEnd& fe = d.dec->front;
    fe.relFreq = 0.0f;
    fe.tonePhase = 0.0f;
    // Unit tones: the passband keeps them (taps sum 0.988), far tones are stopped. Steady state
    // only: skip the filter's start-up.
    for (double hz : {0.0, 20000.0, -50000.0}) {
        runToneBlock(fe, hz);
        EXPECT_NEAR(blockPower(fe.firOut, 60, 1500), 0.976, 0.03) << hz;
    }
    for (double hz : {200000.0, -220000.0}) {
        runToneBlock(fe, hz);
        EXPECT_LT(blockPower(fe.firOut, 60, 1500), 1e-3) << hz;
    }
}

TEST(FrontEnd, CorrectionTurnsAnOffsetCarrierToDc)
{
    CoreDecoder d;
    FrontEnd& fe = d.dec->front;
    for (double f : {12345.0, -33000.0, 60000.0}) {
        setCorrection(&fe, static_cast<float>(f));
        runToneBlock(fe, f);
        // Constant phase across the block: every corrected sample near the first one.
        std::complex<float> ref(fe.corr[100].re, fe.corr[100].im);
        for (int i = 100; i < 1600; i += 50) {
            std::complex<float> v(fe.corr[i].re, fe.corr[i].im);
            EXPECT_LT(std::abs(v - ref), 0.02) << f << " at " << i;
        }
    }
    // No correction: the stored phase stays and still turns the block.
    setCorrection(&fe, 0.0f);
    EXPECT_EQ(fe.relFreq, 0.0f);
    fe.tonePhase = 1.25f;
    runToneBlock(fe, 0.0);
    EXPECT_EQ(fe.tonePhase, 1.25f);
    const float c = std::cos(1.25f), s = std::sin(1.25f);
    const cf32 in = fe.firOut[500];
    EXPECT_NEAR(fe.corr[500].re, in.re * c - in.im * s, 1e-5);
    EXPECT_NEAR(fe.corr[500].im, in.re * s + in.im * c, 1e-5);
}

TEST(FrontEnd, MeanPowerTakesTheFirstValueThenSmooths)
{
    CoreDecoder d;
    FrontEnd& fe = d.dec->front;
    std::fill(std::begin(fe.inBuf), std::end(fe.inBuf), cf32{0.0f, 0.0f});
    fe.held = kBlockIn;
    frontEnd(&fe);
    fe.held = kBlockIn;
    frontEnd(&fe);
    EXPECT_EQ(fe.meanPower, 0.0f);   // silence keeps it at 0
    // The power comes from the previous block's corrected samples 120..1369: unsmoothed first,
    // then 0.75 * 4 + 0.25 * 0.
    for (float level : {2.0f, 0.0f}) {
        std::fill(std::begin(fe.corr), std::end(fe.corr), cf32{level, 0.0f});
        fe.held = kBlockIn;
        frontEnd(&fe);
    }
    EXPECT_NEAR(fe.meanPower, 3.0f, 1e-4);
}

TEST(FrontEnd, ResetHoldsFortySevenZerosAndKeepsTheFilter)
{
    CoreDecoder d;
    FrontEnd& fe = d.dec->front;
    fe.held = 1000;
    fe.readPos = 700;
    fe.relFreq = 0.3f;
    fe.tonePhase = 2.0f;
    fe.meanPower = 5.0f;
    for (cf32& c : fe.inBuf)
        c = {1.0f, 1.0f};
    frontEndReset(&fe);
    EXPECT_EQ(fe.held, 47);
    EXPECT_EQ(fe.readPos, 120);
    EXPECT_EQ(fe.relFreq, 0.0f);
    EXPECT_EQ(fe.tonePhase, 2.0f);
    EXPECT_EQ(fe.meanPower, 5.0f);
    for (int i = 0; i < 47; ++i)
        EXPECT_EQ(fe.inBuf[i].re, 0.0f);
    for (const cf32& c : fe.corr)
        EXPECT_EQ(c.re, 0.0f);
}

TEST(FcchPeak, OnBinToneWithEqualNeighboursIsExact)
{
    for (int k : {0, 5, -17, 63, -63}) {
        cf32 X[256] = {};
        X[k & 255] = {10.0f, 0.0f};
        X[(k + 1) & 255] = {0.0f, 2.0f};
        X[(k - 1) & 255] = {2.0f, 0.0f};
        int16_t bin = 99;
        float e = fcchPeak(X, 64, &bin);
        EXPECT_EQ(bin, k);
        EXPECT_EQ(e, 104.0f);
        EXPECT_EQ(peakInterp(X, k), static_cast<float>(k) * kBinHz);
    }
}

TEST(FcchPeak, SearchesPlusMinusSixtyThreeBinsOnly)
{
    cf32 X[256] = {};
    X[256 - 63] = {1.0f, 0.0f};
    int16_t bin = 0;
    fcchPeak(X, 64, &bin);
    EXPECT_EQ(bin, -63);
    cf32 Y[256] = {};
    Y[64] = {5.0f, 0.0f};
    Y[1] = {0.5f, 0.0f};
    fcchPeak(Y, 64, &bin);
    EXPECT_EQ(bin, 1);
    // An empty spectrum: no NaN, bin 0, 0 Hz.
    cf32 Z[256] = {};
    EXPECT_EQ(fcchPeak(Z, 64, &bin), 0.0f);
    EXPECT_EQ(peakInterp(Z, bin), 0.0f);
}

// A frame holding an FCCH burst at `at` (plus the front end's read position) among random
// bits, carrier offset hz, noise sigma.
std::vector<cf32> fcchFrame(int at, double hz, double sigma, std::mt19937& rng, bool withFcch = true)
{
    std::vector<uint8_t> bits = randomBits(rng, kBlockOut);
    if (withFcch)
        std::fill_n(bits.begin() + kResetReadPos + at, 148, 0);
    return gmsk(bits, kBlockOut, 0.0, 0.4, 1.0, hz, sigma, rng);
}

TEST(FcchSearch, FindsTheBurstAndItsCarrierAcrossOffsets)
{
    std::mt19937 rng(17);
    CoreDecoder d;
    const SyncRef& ref = d.dec->fcchCtx.ref;
    for (double hz : {-60000.0, -21000.0, 0.0, 517.0, 33333.0, 60000.0}) {
        for (int at : {0, 100, 611, 1100}) {
            auto x = fcchFrame(at, hz, 0.1, rng);
            SyncBank& bank = d.dec->syncBank;
            bank.sync = {0, 0.0f, 0.0f};
            const cf32* burst = x.data() + kResetReadPos;
            ASSERT_TRUE(fcchCoarse(burst, ref, &bank)) << hz << " " << at;
            fcchFine(burst, ref, &bank);
            // 148 zero bits hold a 142-sample window at any of seven shifts: the score is flat
            // within a few samples, which the SCH search's +-32 absorbs.
            EXPECT_NEAR(bank.sync.offset, at, 5) << hz << " " << at;
            float f = fcchFreq(burst + bank.sync.offset, ref, &bank);
            EXPECT_NEAR(f, hz, 300.0) << at;
        }
    }
}

TEST(FcchSearch, NoiseAndNormalBurstsAreNotTakenForAnFcch)
{
    std::mt19937 rng(23);
    CoreDecoder d;
    const SyncRef& ref = d.dec->fcchCtx.ref;
    for (int trial = 0; trial < 20; ++trial) {
        SyncBank& bank = d.dec->syncBank;
        bank.sync = {5, 0.5f, 123.0f};
        auto random = fcchFrame(0, 1000.0 * trial, 0.3, rng, false);
        EXPECT_FALSE(fcchCoarse(random.data() + kResetReadPos, ref, &bank)) << trial;
        std::vector<cf32> noise(kBlockOut);
        std::normal_distribution<float> n(0.0f, 1.0f);
        for (cf32& c : noise)
            c = {n(rng), n(rng)};
        EXPECT_FALSE(fcchCoarse(noise.data() + kResetReadPos, ref, &bank));
        EXPECT_EQ(bank.sync.offset, 5);
        EXPECT_EQ(bank.sync.freqHz, 123.0f);
    }
}

TEST(TimingSearch, FlatCorrelationGivesAFiniteFractionAndSilenceFails)
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
    // Silence fails and leaves the previous result alone.
    const std::vector<cf32> silent(200, cf32{0.0f, 0.0f});
    SyncResult T{3, 0.25f, 7.0f};
    EXPECT_FALSE(schSearch(silent.data() + 20, burstCtx(1).ref, &T, 5));
    EXPECT_EQ(T.offset, 3);
    EXPECT_EQ(T.fraction, 0.25f);
}

TEST(FracDelay, InterpolatesCubicsExactlyAndZeroIsTheIdentity)
{
    float w[5];
    lagrangeCoefs(0.0f, w);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(w[i], i == 2 ? 1.0f : 0.0f);

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
    const BurstCtx n = burstCtx(4);
    std::vector<uint8_t> data;
    auto bits = burstBits(n, rng, &data);
    auto x = placeBurst(bits, 0, kBurstLen, 0.0, 0.7, 0.02, 0.0, rng);
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

    // The same burst again: smoothing towards the same estimate changes nothing but rounding.
    std::vector<cf32> y2 = x;
    estChannel(n, y2.data(), &cs);
    for (int i = 0; i < 7; ++i)
        EXPECT_NEAR(cs.chanTaps[i].re, first.chanTaps[i].re, 1e-5);
}

TEST(ChannelEstimate, SilentBurstLeavesTheStateFinite)
{
    const BurstCtx s = burstCtx(-1);
    ChanState cs{};
    cs.chanTaps[1] = {0.9f, 0.1f};
    cf32 y[kBurstLen] = {};
    estChannel(s, y, &cs);
    EXPECT_EQ(cs.chanTaps[1].re, 0.9f);
    EXPECT_TRUE(std::isfinite(cs.normFactor.re));
    for (const cf32& v : y)
        EXPECT_TRUE(std::isfinite(v.re) && std::isfinite(v.im));
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

TEST(Equaliser, DecodesNoiselessGmskSchAndEveryTrainingSequence)
{
    std::mt19937 rng(7);
    for (int tsc = -1; tsc < 8; ++tsc) {
        const BurstCtx ctx = burstCtx(tsc);
        for (int trial = 0; trial < 20; ++trial) {
            std::vector<uint8_t> data;
            auto bits = burstBits(ctx, rng, &data);
            double delay = std::uniform_real_distribution<double>(-0.5, 0.5)(rng);
            double phase = std::uniform_real_distribution<double>(0, 2 * M_PI)(rng);
            auto x = placeBurst(bits, 20, 200, delay, phase, 0.01, 0.0, rng);
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
    BurstCtx ctx = burstCtx(3);
    for (int shift = -5; shift <= 5; ++shift) {
        std::vector<uint8_t> data;
        auto bits = burstBits(ctx, rng, &data);
        auto x = placeBurst(bits, 20 + shift, 200, 0.0, 1.0, 1.0, 0.05, rng);
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
    BurstCtx ctx = burstCtx(5);
    const double sigma = std::sqrt(std::pow(10.0, -0.8));
    int errors = 0, total = 0;
    for (int trial = 0; trial < 200; ++trial) {
        std::vector<uint8_t> data;
        auto bits = burstBits(ctx, rng, &data);
        double delay = std::uniform_real_distribution<double>(-0.5, 0.5)(rng);
        auto x = placeBurst(bits, 20, 200, delay, trial * 0.37, 1.0, sigma, rng);
        float soft[2 * 57];
        errors += receive(ctx, x, 20, soft) ? bitErrors(soft, data) : 114;
        total += 114;
    }
    EXPECT_LT(static_cast<double>(errors) / total, 0.03);
}

TEST(Equaliser, TheLastSampleNeverChangesTheOutputAndSilenceStaysFinite)
{
    std::mt19937 rng(9);
    BurstCtx ctx = burstCtx(-1);
    std::vector<uint8_t> data;
    auto bits = burstBits(ctx, rng, &data);
    auto x = placeBurst(bits, 0, kBurstLen, 0.0, 0.0, 1.0, 0.3, rng);
    const cf32 taps[4] = {{0.0f, 0.0f}, {0.6f, 0.0f}, {0.1f, 0.05f}, {0.0f, 0.0f}};
    float a[78], b[78];
    equalise(x.data(), taps, ctx, a, &g_work);
    x[147] = {1e6f, -1e6f};
    equalise(x.data(), taps, ctx, b, &g_work);
    EXPECT_EQ(0, std::memcmp(a, b, sizeof a));
    // Silence gives equal metrics everywhere, every decision a tie: still bounded and finite.
    const cf32 zero[kBurstLen] = {}, none[4] = {};
    equalise(zero, none, ctx, a, &g_work);
    for (float v : a)
        EXPECT_TRUE(std::isfinite(v) && std::fabs(v) <= kSoftMax) << v;
}

}  // namespace
