// The decoder on generated broadcast carriers: cells of every shape, random start samples and
// frame numbers, carrier offsets and impairments, a decoder reused across channels; and inputs
// that must not poison it for the channels after them (silence, pure tones, noise, non-finite
// samples, a channel cut off in the middle): after each, a reset and a real cell must decode
// as on a fresh decoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <random>

#include "cell_decoder.h"
#include "cell_run.h"
#include "core_vtab.h"

namespace {

using gsmsig::Cell;
using gsmsig::Impairments;

// Identity: SI3 comes in TC 2 and 6, so at most four multiframes after synchronising, which
// takes at most about a multiframe from a cold start. The map needs SI1 (TC 0): eight.
constexpr int kIdentityFrames = 5 * 51 + 10;
constexpr int kMapFrames = 9 * 51 + 10;

TEST(EndToEnd, RandomCellsStartsAndFrameNumbersGiveIdentityThenMapAfterSi1)
{
    std::mt19937 rng(20261209);
    for (int trial = 0; trial < 6; ++trial) {
        const Cell c = cell_run::randomCell(rng);
        const uint32_t start = rng() % gsmsig::kHyperframe;
        const Impairments imp = cell_run::randomImpairments(rng, 20.0);
        SCOPED_TRACE(::testing::Message() << "trial " << trial << " start frame " << start
                                          << " offset " << imp.timingOffsetSamples);
        CoreDecoder d;
        const cell_run::Outcome o = cell_run::run(kCoreVtab, d.dec, gsmsig::generateFrames(c, kMapFrames, start, imp), true);
        ASSERT_GT(o.framesToIdentity, 0);
        EXPECT_LE(o.framesToIdentity, kIdentityFrames);
        EXPECT_TRUE(cell_run::identityMatches(o.info, c));
        ASSERT_GT(o.framesToMap, 0);
        EXPECT_LE(o.framesToMap, kMapFrames);
        EXPECT_TRUE(cell_run::mapMatches(o.info, c));
        EXPECT_EQ(o.info.bandFlag, 0);
        EXPECT_NEAR(o.info.freqOffHz, imp.carrierOffsetHz, 150.0);
        // SI1 (TC 0) ends in frame 5 of its multiframe: no map before that frame was pushed.
        int si1End = 0;
        while ((start + si1End) % 51 != 5 || (start + si1End) / 51 % 8 != 0)
            ++si1End;
        EXPECT_GT(o.framesToMap, si1End);
    }
}

TEST(EndToEnd, OneDecoderOverFourChannelsWithClockErrorAndTwoPaths)
{
    // 20 ppm either way on every channel, an echo of 0.5 at one and two symbols on the last two.
    std::mt19937 rng(5);
    CoreDecoder d;
    for (int ch = 0; ch < 4; ++ch) {
        SCOPED_TRACE(::testing::Message() << "channel " << ch);
        const Cell c = cell_run::randomCell(rng);
        Impairments imp = cell_run::randomImpairments(rng, 20.0);
        imp.sampleClockPpm = ch % 2 ? 20.0 : -20.0;
        if (ch >= 2)
            imp.echo = {.delaySymbols = ch - 1.0, .gain = 0.5, .phaseRad = 1.0};
        auto x = gsmsig::generateFrames(c, kIdentityFrames + 51, rng() % gsmsig::kHyperframe, imp);
        kCoreVtab.GSM_reset(d.dec);
        EXPECT_EQ(kCoreVtab.GSM_getResult(d.dec), nullptr);
        const cell_run::Outcome o = cell_run::run(kCoreVtab, d.dec, x, false);
        EXPECT_GT(o.framesToIdentity, 0);
        EXPECT_TRUE(cell_run::identityMatches(o.info, c));
    }
}

TEST(EndToEnd, AcquiresFromFortyKilohertzAboveToSixtyFiveBelowTheCentre)
{
    // The FCCH tone lies 67.7 kHz above the carrier: from about +45 kHz it falls into the front
    // end's transition band. Below the centre the FCCH search's width (about -68 kHz) is the limit.
    std::mt19937 rng(41);
    for (double hz : {40000.0, -65000.0}) {
        SCOPED_TRACE(hz);
        const Cell c = cell_run::randomCell(rng);
        Impairments imp = cell_run::randomImpairments(rng, 20.0);
        imp.carrierOffsetHz = hz;
        CoreDecoder d;
        const cell_run::Outcome o = cell_run::run(
            kCoreVtab, d.dec, gsmsig::generateFrames(c, kIdentityFrames, rng() % gsmsig::kHyperframe, imp), false);
        ASSERT_GT(o.framesToIdentity, 0);
        EXPECT_TRUE(cell_run::identityMatches(o.info, c));
        EXPECT_NEAR(o.info.freqOffHz, hz, 150.0);
    }
}

TEST(EndToEnd, ABlockThatPassesTimingButFailsParityLeavesTheFailureCountAlone)
{
    // Two cells with one BSIC, each sending SI3 in every multiframe. After synchronising on the
    // first, the last two bursts of each BCCH block come from the second: timing and training
    // sequence fit, the block mixes two code words and fails its parity.
    Cell a = cell_run::cell(262, 1, 2, 0x4321, 0x1001, 0x15, {5});
    for (gsmsig::BcchBlock& b : a.schedule)
        b.content = gsmsig::BcchContent::si3;
    Cell b = a;
    b.mcc = 505;
    b.mnc = 77;
    b.lac = 0x7654;
    b.ci = 0x2002;
    // Frames begin mid-buffer, so that buffers change in an idle timeslot.
    const uint32_t start = 51 * 40 + 20;
    const Impairments imp = cell_run::impairments(1250.0, 2000.0);
    const int frames = 150;
    const auto x = gsmsig::generateFrames(a, frames, start, imp), y = gsmsig::generateFrames(b, frames, start, imp);
    CoreDecoder d;
    CellDecoder* dec = d.dec;
    int f = 0;
    auto push = [&](bool spliced) {
        const uint32_t t3 = (start + f) % 51;
        const auto& src = spliced && (t3 == 4 || t3 == 5) ? y : x;
        return kCoreVtab.GSM_pushFrame(dec, reinterpret_cast<const cf32*>(src.data()) + f++ * GSM_FRAME_SAMPLES);
    };
    while (f < frames && !push(false)) {
    }
    ASSERT_LT(f, frames);
    // Up to the next SCH, then a count of three failures that the mixed block must leave alone.
    while (f < frames - 60 && dec->t3 != 1)
        push(true);
    ASSERT_EQ(dec->state, corvane::dsSync);
    dec->failCount = 3;
    for (int t3 = 2; t3 <= 5; ++t3) {
        push(true);
        ASSERT_EQ(dec->t3, t3);
        EXPECT_EQ(dec->failCount, 3) << "t3 " << t3;
    }
    // The next SCH decodes and clears it; nothing of the mixed block was taken.
    while (dec->t3 != 11)
        push(true);
    EXPECT_EQ(dec->failCount, 0);
    EXPECT_TRUE(cell_run::identityMatches(*kCoreVtab.GSM_getResult(dec), a));
}

bool isFinite(cf32 c) { return std::isfinite(c.re) && std::isfinite(c.im); }

void expectFiniteState(const CellDecoder* dec, bool blockToo = true)
{
    const corvane::FrontEnd& fe = dec->front;
    EXPECT_TRUE(fe.tonePhase >= 0.0f && fe.tonePhase < 6.2831855f) << fe.tonePhase;
    EXPECT_TRUE(fe.relFreq >= 0.0f && fe.relFreq < 1.0f) << fe.relFreq;
    for (float v : {fe.meanPower, dec->burstPower, dec->syncBank.sync.freqHz, dec->syncBank.sync.fraction,
                    dec->result.freqOffHz})
        EXPECT_TRUE(std::isfinite(v));
    EXPECT_TRUE(std::all_of(std::begin(dec->chanState.chanTaps), std::end(dec->chanState.chanTaps), isFinite));
    EXPECT_TRUE(isFinite(dec->chanState.normFactor));
    EXPECT_TRUE(!blockToo || std::all_of(std::begin(fe.corr), std::end(fe.corr), isFinite));
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

TEST(Faults, HostileInputOrACutChannelLeavesNoNaNAndResetIsolatesTheNextChannel)
{
    std::mt19937 rng(3);
    const auto zero = [](int) { return cf32{0.0f, 0.0f}; };
    const auto noise = [&rng](int) {
        std::normal_distribution<float> n(0.0f, 0.5f);
        return cf32{n(rng), n(rng)};
    };
    const auto nonFinite = [](int i) {
        const float inf = std::numeric_limits<float>::infinity();
        return i % 3 ? cf32{std::nanf(""), 1.0f} : cf32{inf, -inf};
    };
    // A cell 20 kHz off, cut before synchronising, while decoding and after its identity.
    const Cell a = cell_run::cell(901, 70, 2, 0x1111, 0x7777, 7, {1, 2});
    const auto x = gsmsig::generateFrames(a, 200, 51 * 2, cell_run::impairments(2100.0, -20000.0));
    const auto cutAfter = [&](int frames) {
        return [&x, frames](CellDecoder* dec) {
            for (int f = 0; f < frames; ++f)
                kCoreVtab.GSM_pushFrame(dec, reinterpret_cast<const cf32*>(x.data()) + f * GSM_FRAME_SAMPLES);
        };
    };
    const struct {
        const char* name;
        std::function<void(CellDecoder*)> feed;
        bool blockFinite;   // only non-finite input may leave the current block so until the reset
    } cases[] = {
        // Silence while searching and while "synchronised": the FCCH estimator's empty spectrum
        // and the channel estimate's zero correlation both divide by zero energy.
        {"all zero", [&](CellDecoder* dec) {
             push(dec, 60, zero);
             dec->state = corvane::dsSync;
             dec->t3 = 8;
             dec->schCtx = burstCtx(-1);
             push(dec, 60, zero);
         }, true},
        // At the FCCH's own frequency (detected, then no SCH), at DC and at a bin edge.
        {"pure tones", [&](CellDecoder* dec) {
             for (double hz : {67708.3, 0.0, 135000.0, -70000.0}) {
                 const double w = 2.0 * M_PI * hz / 541666.6875;
                 push(dec, 40, [w](int i) { return cf32{float(3.0 * std::cos(w * i)), float(3.0 * std::sin(w * i))}; });
                 expectFiniteState(dec);
             }
         }, true},
        {"noise", [&](CellDecoder* dec) { push(dec, 300, noise); }, true},
        {"NaN and Inf", [&](CellDecoder* dec) { push(dec, 30, nonFinite); }, false},
        {"cut after 30 frames", cutAfter(30), true},
        {"cut after 120 frames", cutAfter(120), true},
        {"cut after 200 frames", cutAfter(200), true},
    };
    // After each, a reset: the next channel must give its own identity within the usual frames
    // (and no foreign map) as its first result.
    const Cell next = cell_run::cell(310, 410, 3, 0x2222, 0x3333, 0x2F, {10, 20, 30});
    uint64_t seed = 1;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CoreDecoder d;
        c.feed(d.dec);
        expectFiniteState(d.dec, c.blockFinite);
        kCoreVtab.GSM_reset(d.dec);
        ASSERT_EQ(kCoreVtab.GSM_getResult(d.dec), nullptr);
        const cell_run::Outcome o = cell_run::run(
            kCoreVtab, d.dec,
            gsmsig::generateFrames(next, kIdentityFrames, 123456,
                                   cell_run::impairments(777.25, 1200.0, 15.0, seed++)),
            false);
        ASSERT_GT(o.framesToIdentity, 0);
        EXPECT_TRUE(cell_run::identityMatches(o.info, next));
        EXPECT_FALSE(cell_run::hasMap(o.info) && !cell_run::mapMatches(o.info, next));
        expectFiniteState(d.dec);
    }
}

}  // namespace
