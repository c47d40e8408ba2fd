// Inputs that must not poison a decoder for the channels after them: silence, a pure tone,
// noise, a channel cut off in the middle, and state that drifted out of range. After each, a
// reset and a real cell must decode as on a fresh decoder.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "cell_decoder.h"
#include "cell_run.h"
#include "core_vtab.h"

namespace {

using gsmsig::Cell;

constexpr int kIdentityFrames = 5 * 51 + 10;

struct Decoder {
    Decoder() : dec(kCoreVtab.GSM_create(nullptr)) { kCoreVtab.GSM_reset(dec); }
    ~Decoder() { kCoreVtab.GSM_destroy(dec); }
    CellDecoder* dec;
};

bool finite(cf32 c) { return std::isfinite(c.re) && std::isfinite(c.im); }

void expectFiniteState(const CellDecoder* dec)
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
        ASSERT_TRUE(finite(c));
}

Cell referenceCell()
{
    Cell c;
    c.mcc = 310;
    c.mnc = 410;
    c.mncDigits = 3;
    c.lac = 0x2222;
    c.ci = 0x3333;
    c.bsic = 0x2F;
    c.channels = {10, 20, 30};
    return c;
}

// After whatever came before: reset, then the reference cell must give its identity within the
// usual frames, and nothing else before it.
void expectCleanDecodeAfterReset(CellDecoder* dec, uint64_t seed)
{
    Cell c = referenceCell();
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
    expectFiniteState(dec);
}

std::vector<cf32> frames(int n, cf32 (*sample)(int, std::mt19937&), std::mt19937& rng)
{
    std::vector<cf32> x(static_cast<size_t>(n) * GSM_FRAME_SAMPLES);
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = sample(static_cast<int>(i), rng);
    return x;
}

void push(CellDecoder* dec, const std::vector<cf32>& x)
{
    for (size_t f = 0; f * GSM_FRAME_SAMPLES < x.size(); ++f)
        EXPECT_EQ(kCoreVtab.GSM_pushFrame(dec, x.data() + f * GSM_FRAME_SAMPLES), nullptr);
}

TEST(Faults, AllZeroInputLeavesNoNaN)
{
    std::mt19937 rng(1);
    Decoder d;
    // Silence while searching and while "synchronised": the FCCH estimator's empty spectrum
    // and the channel estimate's zero correlation both divide by zero energy.
    push(d.dec, frames(60, [](int, std::mt19937&) { return cf32{0.0f, 0.0f}; }, rng));
    d.dec->state = corvane::dsSync;
    d.dec->t3 = 8;
    setupBurstCtx(&d.dec->schCtx, kindSch, &corvane::kSchLayout, corvane::kSchTrainingBits, 0.4f, 0.0f);
    push(d.dec, frames(60, [](int, std::mt19937&) { return cf32{0.0f, 0.0f}; }, rng));
    expectFiniteState(d.dec);
    expectCleanDecodeAfterReset(d.dec, 1);
}

TEST(Faults, PureTonesLeaveNoNaN)
{
    std::mt19937 rng(2);
    Decoder d;
    // At the FCCH's own frequency (detected, then no SCH), at DC and at a bin edge.
    for (double hz : {67708.3, 0.0, 135000.0, -70000.0}) {
        static double w;
        w = 2.0 * M_PI * hz / 541666.6875;
        push(d.dec, frames(40, [](int i, std::mt19937&) {
                 return cf32{static_cast<float>(3.0 * std::cos(w * i)),
                             static_cast<float>(3.0 * std::sin(w * i))};
             }, rng));
        expectFiniteState(d.dec);
    }
    expectCleanDecodeAfterReset(d.dec, 2);
}

TEST(Faults, NoiseOnlyNeverGivesAResult)
{
    std::mt19937 rng(3);
    Decoder d;
    push(d.dec, frames(300, [](int, std::mt19937& r) {
             std::normal_distribution<float> n(0.0f, 0.5f);
             return cf32{n(r), n(r)};
         }, rng));
    expectFiniteState(d.dec);
    expectCleanDecodeAfterReset(d.dec, 3);
}

TEST(Faults, ChannelEndingInTheMiddleLeavesNothingBehind)
{
    std::mt19937 rng(4);
    Cell a;
    a.mcc = 901;
    a.mnc = 70;
    a.lac = 0x1111;
    a.ci = 0x7777;
    a.bsic = 7;
    a.channels = {1, 2};
    for (int cut : {30, 120, 200}) {
        Decoder d;
        gsmsig::Impairments imp;
        imp.timingOffsetSamples = 2100.0;
        imp.carrierOffsetHz = -20000.0;
        auto x = gsmsig::generateFrames(a, cut, 51 * 2, imp);
        for (int f = 0; f < cut; ++f)
            kCoreVtab.GSM_pushFrame(d.dec, reinterpret_cast<const cf32*>(x.data()) + f * GSM_FRAME_SAMPLES);
        // The next channel: no result until its own identity, and then its own.
        Cell b = referenceCell();
        gsmsig::Impairments ib;
        ib.timingOffsetSamples = 10.75;
        ib.snrDb = 15.0;
        auto y = gsmsig::generateFrames(b, kIdentityFrames, 777, ib);
        kCoreVtab.GSM_reset(d.dec);
        const BcchInfo* r = nullptr;
        for (int f = 0; f < kIdentityFrames && !r; ++f) {
            r = kCoreVtab.GSM_pushFrame(d.dec, reinterpret_cast<const cf32*>(y.data()) + f * GSM_FRAME_SAMPLES);
        }
        ASSERT_NE(r, nullptr) << "cut " << cut;
        EXPECT_TRUE(cell_run::identityMatches(*r, b)) << "cut " << cut;
        EXPECT_FALSE(cell_run::hasMap(*r) && !cell_run::mapMatches(*r, b));
    }
}

TEST(Faults, ToneCorrectionStaysInRange)
{
    Decoder d;
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
