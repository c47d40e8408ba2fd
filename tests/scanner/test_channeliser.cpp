// The channeliser (CIC decimator and fractional resampler) and the mixed-radix FFT of the sweep.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <vector>

#include "channeliser.h"
#include "fft_reference.h"
#include "mix_fft.h"
#include "scratch_pool.h"
#include "slots.h"

namespace {

using fft_reference::cd;

// Mean power gain in dB of a complex tone (amplitude 1000 at 2.4 MHz) through the decimator by 6
// from a reset, once its stages have filled.
double toneGainDb(CicDec& cic, double hz)
{
    const int n = 4000;
    cic.reset();
    std::vector<cs16> in(size_t(6 * n)), out(static_cast<size_t>(n));
    for (size_t k = 0; k < in.size(); ++k) {
        const cd v = std::polar(1000.0, 2 * M_PI * hz * double(k) / 2.4e6);
        in[k] = cs16{int16_t(std::lround(v.real())), int16_t(std::lround(v.imag()))};
    }
    cic.proc(out.data(), n, in.data());
    double p = 0;
    for (int i = 200; i < n; ++i)
        p += std::norm(cd(out[size_t(i)].re, out[size_t(i)].im));
    return 10 * std::log10(p / (n - 200) / 1e6);
}

TEST(CicDec, UnityGainForFullScaleThePassbandAndRejectsAliases)
{
    const int n = 400;
    CicDec cic(6, 4000);
    std::vector<cs16> in(size_t(6 * n), cs16{32767, 32767}), out(static_cast<size_t>(n));
    cic.proc(out.data(), n, in.data());
    // Once the six stages and the 36 taps have filled: 32766 through the CIC, then the FIR's DC
    // gain of 32582 / 32768 with rounding.
    const int expected = int(std::lround(32766.0 * 32582 / 32768));
    for (int i = 40; i < n; ++i) {
        EXPECT_NEAR(out[size_t(i)].re, expected, 1) << i;
        EXPECT_EQ(out[size_t(i)].re, out[size_t(i)].im);
    }
    cic.reset();
    std::fill(in.begin(), in.end(), cs16{0, 0});
    cic.proc(out.data(), n, in.data());
    EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](cs16 v) { return v.re == 0; }))
        << "a reset starts again from silence";
    const double dc = toneGainDb(cic, 0);
    EXPECT_NEAR(dc, 0.0, 0.3);
    EXPECT_NEAR(toneGainDb(cic, 50e3), dc, 0.5);
    // Neighbours that would fold onto the channel after decimation by 6.
    EXPECT_LT(toneGainDb(cic, 450e3), -40.0);
    EXPECT_LT(toneGainDb(cic, -450e3), -40.0);
}

TEST(CicDec, RateAndGainNormalisationForEveryRatio)
{
    // The ratio, clamped to 4..10 and halved, gives the CIC rate R; R^6 is normalised by a shift
    // and a Q15 gain for the remainder below 2, limited to 32767.
    struct Row {
        int rate, shift, gain;
    };
    const Row byRate[6] = {{}, {}, {2, 6, 32767}, {3, 9, 23014}, {4, 12, 32767}, {5, 13, 17179}};
    for (int ratio : {1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 20}) {
        const int r = ratio <= 5 ? 2 : ratio <= 7 ? 3 : ratio <= 9 ? 4 : 5;
        const int n = 200;
        CicDec cic(ratio, n);
        EXPECT_EQ((std::vector<int>{cic.rate(), cic.shift(), cic.gainQ15()}),
                  (std::vector<int>{byRate[r].rate, byRate[r].shift, byRate[r].gain}))
            << ratio;
        // A constant comes out at R^6 / 2^shift x gain / 2^15 of itself through the CIC and
        // 32582 / 32768 through the FIR, within the rounding of the fixed-point steps.
        std::vector<cs16> in(size_t(2 * n * r), cs16{12000, -12000}), out(static_cast<size_t>(n));
        cic.proc(out.data(), n, in.data());
        const double gain = std::pow(r, 6) / std::ldexp(1.0, byRate[r].shift) * byRate[r].gain / 32768 * 32582 / 32768;
        EXPECT_NEAR(out[size_t(n - 1)].re, 12000 * gain, 4) << ratio;
        EXPECT_NEAR(out[size_t(n - 1)].im, -12000 * gain, 4) << ratio;
    }
}

TEST(WrapAngle, EdgesMultiplesOfTwoPiAndLargeValues)
{
    const float pi = 3.1415927f, twoPi = 6.2831855f;
    const float above = std::nextafter(pi, 4.0f), below = std::nextafter(-pi, -4.0f);
    // (-pi, pi]: pi stays, -pi becomes pi, just beyond either edge comes in from the other side.
    const std::pair<float, float> exact[] = {{0.0f, 0.0f},        {pi, pi},
                                             {-pi, pi},           {above, above - twoPi},
                                             {below, below + twoPi}, {std::nextafter(-pi, 0.0f), std::nextafter(-pi, 0.0f)},
                                             {twoPi, 0.0f},       {-twoPi, 0.0f},
                                             {2 * twoPi, 0.0f},   {3.5f, 3.5f - twoPi}};
    for (auto [x, y] : exact)
        EXPECT_EQ(wrapAngle(x), y) << x;
    // Far out the result is x less whole turns of the single-precision 2 pi, each subtraction
    // rounded to x's precision.
    for (float x : {100.0f, -1000.0f, 40000.5f, -1.0e6f}) {
        const float y = wrapAngle(x);
        EXPECT_TRUE(y > -pi && y <= pi) << x << " -> " << y;
        const double turns = std::round((double(x) - y) / double(twoPi));
        EXPECT_NEAR(y, double(x) - turns * double(twoPi), std::fabs(turns) * std::ldexp(std::fabs(x), -24)) << x;
    }
}

TEST(WrapAngle, HugeAndInfiniteAnglesReturn)
{
    // Past 2^27 one subtraction of 2 pi no longer changes a float: such angles still come back
    // inside (-pi, pi], and one with no finite value comes back as no number.
    for (float x : {1.0e9f, -3.0e12f, 1.0e38f, 134217744.0f}) {
        const float y = wrapAngle(x);
        EXPECT_TRUE(y > -3.1415927f && y <= 3.1415927f) << x << " -> " << y;
        EXPECT_NEAR(y, std::remainder(double(x), 2 * double(3.1415927f)), 1e-6) << x;
    }
    EXPECT_TRUE(std::isnan(wrapAngle(INFINITY)));
    EXPECT_TRUE(std::isnan(wrapAngle(-INFINITY)));
    EXPECT_TRUE(std::isnan(wrapAngle(NAN)));
}

TEST(FrcRsmp, BlockCountsAndToneFrequencyAndAmplitudeAcrossSeams)
{
    FrcRsmp silent(1024, 400000.0f, 541666.6875);
    std::vector<cf32> zeros(1024, cf32{0, 0}), zout(1400, cf32{1, 1});
    ASSERT_EQ(silent.proc(zout.data(), zeros.data(), 1024), 1387);
    EXPECT_TRUE(std::all_of(zout.begin(), zout.begin() + 1387, [](cf32 v) { return v.re == 0.0f; }))
        << "zeros in, zeros out from a fresh history";
    FrcRsmp rs(1024, 400000.0f, 541666.6875);
    EXPECT_EQ(rs.phaseStep(), 774333);
    const double f = 30e3;
    std::vector<cf32> out, block(1024), chunk(1400);
    int total = 0;
    for (int b = 0; b < 30; ++b) {
        for (int k = 0; k < 1024; ++k) {
            const double ph = 2 * M_PI * f * double(b * 1024 + k) / 400000.0;
            block[size_t(k)] = cf32{float(std::cos(ph)), float(std::sin(ph))};
        }
        const int got = rs.proc(chunk.data(), block.data(), 1024);
        EXPECT_TRUE(b == 0 ? got == 1387 : got == 1386 || got == 1387) << b << " " << got;
        total += got;
        out.insert(out.end(), chunk.begin(), chunk.begin() + got);
    }
    EXPECT_NEAR(total, 30 * 1024 * 541666.6875 / 400000.0, 1.0);
    // Past the filter's start-up each output is the tone at the output rate: the passband is
    // flat within 0.3 dB and the 16-phase bank puts each output within 1/32 input sample of its
    // ideal time, with no glitch at block seams.
    const double step = 2 * M_PI * f / 541666.6875;
    for (size_t i = 40; i + 1 < out.size(); ++i) {
        const cd a(out[i].re, out[i].im), b(out[i + 1].re, out[i + 1].im);
        ASSERT_NEAR(std::abs(a), 1.0, 0.035) << i;
        ASSERT_NEAR(std::arg(b / a), step, 2 * 2 * M_PI * f / 400000.0 / 32 + 1e-3) << i;
    }
}

class MixFftSlots : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { ScrPool::init(); }
};

TEST_P(MixFftSlots, MatchesADoublePrecisionDftAndSwapsHalves)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    testing_slots::SlotScope slot(GetParam());
    for (int n : {384, 48}) {
        MixFft fft(n);
        ASSERT_EQ(fft.size(), n);
        std::vector<cf32> x = fft_reference::testSignal(size_t(n), 7);
        const std::vector<cd> ref = fft_reference::dft(fft_reference::toDouble(x));
        fft.fwd(x.data());
        double err = 0, norm = 0;
        for (size_t f = 0; f < x.size(); ++f) {
            err = std::max(err, std::abs(cd(x[f].re, x[f].im) - ref[f]));
            norm = std::max(norm, std::abs(ref[f]));
        }
        EXPECT_LT(err / norm, 1e-5) << n;
    }
    // Reconfigured from 48 to 384 points (128 x 3): a tone in bin 10 moves to 202 on the swap.
    MixFft fft(48);
    fft.config(384);
    EXPECT_EQ(fft.pow2(), 128);
    EXPECT_EQ(fft.radix(), 3);
    std::vector<cf32> x(384);
    for (int k = 0; k < 384; ++k)
        x[size_t(k)] = cf32{float(std::cos(2 * M_PI * 10 * k / 384)), float(std::sin(2 * M_PI * 10 * k / 384))};
    fft.fwd(x.data());
    EXPECT_NEAR(x[10].re, 384.0f, 1e-3f);
    fft.swapHalves(x.data());
    EXPECT_NEAR(x[202].re, 384.0f, 1e-3f);
    EXPECT_NEAR(x[10].re, 0.0f, 1e-3f);
}

INSTANTIATE_TEST_SUITE_P(EverySlot, MixFftSlots, ::testing::Range(0, 7));

TEST(MixFft, SizesWithoutASmallOddFactorAreClamped)
{
    ScrPool::init();
    MixFft fft(64);
    EXPECT_EQ(fft.size(), 192);
    const cf32* scratch = fft.scratch();
    fft.config(192);
    EXPECT_EQ(fft.scratch(), scratch) << "the same size rebuilds nothing";
    fft.config(0);
    EXPECT_EQ(fft.size(), 192);
}

}  // namespace
