// Inputs that must not poison a decoder for the channels after them: silence, pure tones,
// noise, non-finite samples, a channel cut off in the middle, and state that drifted out of
// range. After each, a reset and a real cell must decode as on a fresh decoder.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>

#include "cell_decoder.h"
#include "cell_run.h"
#include "core_vtab.h"

namespace {

constexpr int kIdentityFrames = 5 * 51 + 10;

bool finite(cf32 c) { return std::isfinite(c.re) && std::isfinite(c.im); }

// corr holds the current block; only non-finite input may leave it non-finite until the reset.
void expectFiniteState(const CellDecoder* dec, bool blockToo = true)
{
    const corvane::FrontEnd& fe = dec->front;
    EXPECT_TRUE(std::isfinite(fe.meanPower));
    EXPECT_TRUE(fe.tonePhase >= 0.0f && fe.tonePhase < 6.2831855f) << fe.tonePhase;
    EXPECT_TRUE(fe.relFreq >= 0.0f && fe.relFreq < 1.0f) << fe.relFreq;
    EXPECT_TRUE(std::isfinite(dec->burstPower));
    EXPECT_TRUE(std::isfinite(dec->syncBank.sync.freqHz));
    EXPECT_TRUE(std::isfinite(dec->syncBank.sync.fraction));
    EXPECT_TRUE(std::isfinite(dec->result.freqOffHz));
    for (int i = 0; i < 7; ++i)
        EXPECT_TRUE(finite(dec->chanState.chanTaps[i])) << i;
    EXPECT_TRUE(finite(dec->chanState.normFactor));
    for (const cf32& c : fe.corr)
        ASSERT_TRUE(finite(c) || !blockToo);
}

// Reset, then the next channel must give its own identity within the usual frames (and no
// foreign map), the first result it gives.
void expectCleanDecodeAfterReset(CellDecoder* dec, uint64_t seed)
{
    gsmsig::Cell c;
    c.mcc = 310;
    c.mnc = 410;
    c.mncDigits = 3;
    c.lac = 0x2222;
    c.ci = 0x3333;
    c.bsic = 0x2F;
    c.channels = {10, 20, 30};
    gsmsig::Impairments imp;
    imp.timingOffsetSamples = 777.25;
    imp.carrierOffsetHz = 1200.0;
    imp.snrDb = 15.0;
    imp.seed = seed;
    auto x = gsmsig::generateFrames(c, kIdentityFrames, 123456, imp);
    kCoreVtab.GSM_reset(dec);
    ASSERT_EQ(kCoreVtab.GSM_getResult(dec), nullptr);
    cell_run::Outcome o = cell_run::run(kCoreVtab, dec, x, false);
    ASSERT_GT(o.framesToIdentity, 0);
    EXPECT_TRUE(cell_run::identityMatches(o.info, c));
    EXPECT_FALSE(cell_run::hasMap(o.info) && !cell_run::mapMatches(o.info, c));
    expectFiniteState(dec);
}

// Frames of generated samples through the decoder, none of which may give a result.
void push(CellDecoder* dec, int frames, const std::function<cf32(int)>& sample)
{
    std::vector<cf32> x(GSM_FRAME_SAMPLES);
    for (int f = 0; f < frames; ++f) {
        for (int i = 0; i < GSM_FRAME_SAMPLES; ++i)
            x[i] = sample(f * GSM_FRAME_SAMPLES + i);
        EXPECT_EQ(kCoreVtab.GSM_pushFrame(dec, x.data()), nullptr);
    }
}

std::function<cf32(int)> tone(double hz)
{
    const double w = 2.0 * M_PI * hz / 541666.6875;
    return [w](int i) {
        return cf32{static_cast<float>(3.0 * std::cos(w * i)), static_cast<float>(3.0 * std::sin(w * i))};
    };
}

TEST(Faults, HostileInputLeavesNoNaNAndResetIsolatesTheNextChannel)
{
    std::mt19937 rng(3);
    const auto silence = [](int) { return cf32{0.0f, 0.0f}; };
    const auto noise = [&rng](int) {
        std::normal_distribution<float> n(0.0f, 0.5f);
        return cf32{n(rng), n(rng)};
    };
    const auto nonFinite = [](int i) {
        const float inf = std::numeric_limits<float>::infinity();
        return i % 3 ? cf32{std::nanf(""), 1.0f} : cf32{inf, -inf};
    };
    const struct {
        const char* name;
        std::function<void(CellDecoder*)> feed;
        bool blockFinite;
    } cases[] = {
        // Silence while searching and while "synchronised": the FCCH estimator's empty spectrum
        // and the channel estimate's zero correlation both divide by zero energy.
        {"all zero", [&](CellDecoder* dec) {
             push(dec, 60, silence);
             dec->state = corvane::dsSync;
             dec->t3 = 8;
             setupBurstCtx(&dec->schCtx, kindSch, &corvane::kSchLayout, corvane::kSchTrainingBits, 0.4f, 0.0f);
             push(dec, 60, silence);
         }, true},
        // At the FCCH's own frequency (detected, then no SCH), at DC and at a bin edge.
        {"pure tones", [&](CellDecoder* dec) {
             for (double hz : {67708.3, 0.0, 135000.0, -70000.0}) {
                 push(dec, 40, tone(hz));
                 expectFiniteState(dec);
             }
         }, true},
        {"noise", [&](CellDecoder* dec) { push(dec, 300, noise); }, true},
        {"NaN and Inf", [&](CellDecoder* dec) { push(dec, 30, nonFinite); }, false},
    };
    uint64_t seed = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CoreDecoder d;
        c.feed(d.dec);
        expectFiniteState(d.dec, c.blockFinite);
        expectCleanDecodeAfterReset(d.dec, seed++);
    }
}

TEST(Faults, ChannelEndingInTheMiddleLeavesNothingBehind)
{
    gsmsig::Cell a;
    a.mcc = 901;
    a.mnc = 70;
    a.lac = 0x1111;
    a.ci = 0x7777;
    a.bsic = 7;
    a.channels = {1, 2};
    gsmsig::Impairments imp;
    imp.timingOffsetSamples = 2100.0;
    imp.carrierOffsetHz = -20000.0;
    auto x = gsmsig::generateFrames(a, 200, 51 * 2, imp);
    for (int cut : {30, 120, 200}) {
        SCOPED_TRACE(cut);
        CoreDecoder d;
        for (int f = 0; f < cut; ++f)
            kCoreVtab.GSM_pushFrame(d.dec, reinterpret_cast<const cf32*>(x.data()) + f * GSM_FRAME_SAMPLES);
        expectCleanDecodeAfterReset(d.dec, 10 + cut);
    }
}

TEST(Faults, ToneCorrectionStaysInRange)
{
    CoreDecoder d;
    corvane::FrontEnd& fe = d.dec->front;
    // Offsets beyond the output rate, a tiny positive one and one of exactly the rate.
    for (float f : {1e-3f, 270833.34375f, 1e6f, -1e6f, -270833.34375f, 3e-8f, 0.0f, -0.0f}) {
        corvane::setCorrection(&fe, f);
        EXPECT_TRUE(fe.relFreq >= 0.0f && fe.relFreq < 1.0f) << f;
    }
    corvane::setCorrection(&fe, 0.0f);
    EXPECT_EQ(fe.relFreq, 0.0f);
    corvane::setCorrection(&fe, 1000.0f);
    EXPECT_NEAR(fe.relFreq, (270833.34375 - 1000.0) / 270833.34375, 1e-6);
    const float before = fe.relFreq;
    corvane::setCorrection(&fe, std::nanf(""));
    EXPECT_EQ(fe.relFreq, before);

    // A stored phase that rounded up to 2 pi: the next block still gets a fresh tone.
    std::vector<cf32> frame(GSM_FRAME_SAMPLES, cf32{1.0f, 0.0f});
    kCoreVtab.GSM_pushFrame(d.dec, frame.data());
    fe.tonePhase = 6.2831855f;
    fe.relFreq = 0.0f;
    std::fill(std::begin(fe.corr), std::end(fe.corr), cf32{5.0f, 5.0f});
    kCoreVtab.GSM_pushFrame(d.dec, frame.data());
    EXPECT_LT(std::fabs(fe.corr[800].re), 1.5f);
    EXPECT_TRUE(fe.tonePhase >= 0.0f && fe.tonePhase < 6.2831855f);
}

}  // namespace
