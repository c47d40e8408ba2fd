// The front end: which inputs feed a block, the held-sample bookkeeping, the decimating
// filter's response, the frequency correction and the mean power.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "cell_decoder.h"
#include "decoder_api.h"

using namespace corvane;

namespace {

struct Decoder {
    Decoder() : dec(GSM_create(nullptr)) {}
    ~Decoder() { GSM_destroy(dec); }
    CellDecoder* dec;
};

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
    Decoder d;
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
    Decoder d;
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
    Decoder d;
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
}

TEST(FrontEnd, MeanPowerTakesTheFirstValueThenSmooths)
{
    Decoder d;
    FrontEnd& fe = d.dec->front;
    std::fill(std::begin(fe.inBuf), std::end(fe.inBuf), cf32{0.0f, 0.0f});
    fe.held = kBlockIn;
    frontEnd(&fe);
    fe.held = kBlockIn;
    frontEnd(&fe);
    EXPECT_EQ(fe.meanPower, 0.0f);   // silence keeps it at 0

    // The power comes from the previous block's corrected samples 120..1369.
    for (cf32& c : fe.corr)
        c = {2.0f, 0.0f};
    fe.held = kBlockIn;
    frontEnd(&fe);
    EXPECT_NEAR(fe.meanPower, 4.0f, 1e-4);   // unsmoothed
    for (cf32& c : fe.corr)
        c = {0.0f, 0.0f};
    fe.held = kBlockIn;
    frontEnd(&fe);
    EXPECT_NEAR(fe.meanPower, 3.0f, 1e-4);   // 0.75 * 4 + 0.25 * 0
}

TEST(FrontEnd, ZeroCorrectionKeepsTheTonePhase)
{
    Decoder d;
    FrontEnd& fe = d.dec->front;
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

TEST(FrontEnd, ResetHoldsFortySevenZerosAndKeepsTheFilter)
{
    Decoder d;
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

}  // namespace
