#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

#include "channeliser.h"

namespace {

TEST(CicDec, RatioAndGainFollowTheTable)
{
    struct Case { int ratio, rate, shift, gain; };
    for (Case c : {Case{3, 2, 6, 32767}, Case{4, 2, 6, 32767}, Case{5, 2, 6, 32767},
                   Case{6, 3, 9, 23014}, Case{8, 4, 12, 32767}, Case{10, 5, 13, 17179},
                   Case{11, 5, 13, 17179}, Case{20, 5, 13, 17179}}) {
        CicDec cic(c.ratio, 64);
        EXPECT_EQ(cic.rate(), c.rate) << c.ratio;
        EXPECT_EQ(cic.shift(), c.shift) << c.ratio;
        EXPECT_EQ(cic.gainQ15(), c.gain) << c.ratio;
    }
    int sum = 0;
    for (int16_t t : CicDec::kFirTaps)
        sum += t;
    EXPECT_EQ(sum, 32582);
}

TEST(CicDec, FullScaleConstantPassesAtUnityGain)
{
    const int n = 400;
    CicDec cic(6, n);
    std::vector<cs16> in(size_t(6 * n), cs16{32767, 32767});
    std::vector<cs16> out(static_cast<size_t>(n));
    cic.proc(out.data(), n, in.data());
    // Once the six stages and the 36 taps have filled: 32766 through the CIC, then the FIR's
    // DC gain of 32582 / 32768 with rounding.
    const int expected = int(std::lround(32766.0 * 32582 / 32768));
    for (int i = 40; i < n; ++i) {
        EXPECT_NEAR(out[size_t(i)].re, expected, 1) << i;
        EXPECT_EQ(out[size_t(i)].re, out[size_t(i)].im);
    }
    // A reset starts again from silence.
    cic.reset();
    std::vector<cs16> zeros(size_t(6 * n), cs16{0, 0});
    cic.proc(out.data(), n, zeros.data());
    for (int i = 0; i < n; ++i)
        ASSERT_EQ(out[size_t(i)].re, 0);
}

double toneGainDb(double hz)
{
    // A complex tone at 2.4 MHz, amplitude 1000, through the decimator to 400 kHz.
    const int n = 4000;
    CicDec cic(6, n);
    std::vector<cs16> in(size_t(6 * n));
    for (size_t k = 0; k < in.size(); ++k) {
        double ph = 2 * M_PI * hz * double(k) / 2.4e6;
        in[k] = cs16{int16_t(std::lround(1000 * std::cos(ph))), int16_t(std::lround(1000 * std::sin(ph)))};
    }
    std::vector<cs16> out(static_cast<size_t>(n));
    cic.proc(out.data(), n, in.data());
    double p = 0;
    for (int i = 200; i < n; ++i)
        p += double(out[size_t(i)].re) * out[size_t(i)].re + double(out[size_t(i)].im) * out[size_t(i)].im;
    p /= (n - 200);
    return 10 * std::log10(p / (1000.0 * 1000.0));
}

TEST(CicDec, PassesTheChannelAndRejectsItsAliases)
{
    EXPECT_NEAR(toneGainDb(0), 0.0, 0.3);
    EXPECT_NEAR(toneGainDb(50e3), toneGainDb(0), 0.5);
    // A neighbour that would fold onto the channel after decimation by 6.
    EXPECT_LT(toneGainDb(400e3 + 50e3), -40.0);
    EXPECT_LT(toneGainDb(-400e3 - 50e3), -40.0);
}

TEST(FrcRsmp, PrototypeIsSymmetricAndEveryPhaseSumsToOne)
{
    const float* t = FrcRsmp::prototype();
    for (int k = 0; k < 128; ++k)
        EXPECT_EQ(t[k], t[255 - k]);
    for (int q = 0; q < 16; ++q) {
        double s = 0;
        for (int k = 0; k < 16; ++k)
            s += t[(15 - q) + 16 * k];
        EXPECT_NEAR(s, 1.0, 1e-4) << q;
    }
}

TEST(FrcRsmp, BlocksYieldTheRightCountAndZerosStayZero)
{
    FrcRsmp rs(1024, 400000.0f, 541666.6875);
    EXPECT_EQ(rs.phaseStep(), 774333);
    std::vector<cf32> in(1024, cf32{0, 0}), out(1400);
    EXPECT_EQ(rs.proc(out.data(), in.data(), 1024), 1387);
    for (int i = 0; i < 1387; ++i)
        ASSERT_EQ(out[size_t(i)].re, 0.0f);
    int total = 1387;
    for (int b = 1; b < 30; ++b) {
        int got = rs.proc(out.data(), in.data(), 1024);
        EXPECT_TRUE(got == 1386 || got == 1387);
        total += got;
    }
    EXPECT_NEAR(total, 30 * 1024 * 541666.6875 / 400000.0, 1.0);
}

TEST(FrcRsmp, ToneKeepsFrequencyAndAmplitudeAcrossBlocks)
{
    FrcRsmp rs(1024, 400000.0f, 541666.6875);
    const double f = 30e3;
    std::vector<cf32> out;
    std::vector<cf32> block(1024), chunk(1400);
    for (int b = 0; b < 8; ++b) {
        for (int k = 0; k < 1024; ++k) {
            double ph = 2 * M_PI * f * double(b * 1024 + k) / 400000.0;
            block[size_t(k)] = cf32{float(std::cos(ph)), float(std::sin(ph))};
        }
        int got = rs.proc(chunk.data(), block.data(), 1024);
        out.insert(out.end(), chunk.begin(), chunk.begin() + got);
    }
    // Past the filter's start-up, each output is the tone at the output rate (delayed by the
    // filter): compare successive phase steps and the magnitude, no glitch at block seams.
    const double step = 2 * M_PI * f / 541666.6875;
    for (size_t i = 40; i + 1 < out.size(); ++i) {
        std::complex<double> a(out[i].re, out[i].im), b(out[i + 1].re, out[i + 1].im);
        ASSERT_NEAR(std::abs(a), 1.0, 0.035) << i;   // passband within 0.3 dB
        // The 16-phase bank places each output within 1/32 input sample of its ideal time.
        ASSERT_NEAR(std::arg(b / a), step, 2 * 2 * M_PI * f / 400000.0 / 32 + 1e-3) << i;
    }
}

TEST(WrapAngle, ReducesIntoHalfOpenInterval)
{
    EXPECT_EQ(wrapAngle(3.5f), 3.5f - 6.2831855f);
    EXPECT_EQ(wrapAngle(-3.1415927f), 3.1415927f);
    EXPECT_EQ(wrapAngle(0.0f), 0.0f);
}

}  // namespace
