// End to end on generated broadcast carriers: cells of every shape, random start samples and
// frame numbers, carrier offsets, impairments, and a decoder reused across channels.
#include <gtest/gtest.h>

#include <random>

#include "cell_run.h"
#include "core_vtab.h"

namespace {

using gsmsig::Cell;
using gsmsig::Impairments;

// Identity: SI3 comes in TC 2 and 6, so at most four multiframes after synchronising, which
// takes at most about a multiframe from a cold start. The map needs SI1 (TC 0): eight.
constexpr int kIdentityFrames = 5 * 51 + 10;
constexpr int kMapFrames = 9 * 51 + 10;

Cell makeCell(std::mt19937& rng)
{
    Cell c;
    c.mcc = static_cast<int>(rng() % 1000);
    c.mncDigits = rng() % 2 ? 3 : 2;
    c.mnc = static_cast<int>(rng() % (c.mncDigits == 3 ? 1000 : 100));
    c.lac = static_cast<uint16_t>(rng());
    c.ci = static_cast<uint16_t>(rng());
    c.bsic = static_cast<uint8_t>(rng() % 64);
    const bool band1800 = rng() % 2;
    const int n = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < n; ++i) {
        int a = band1800 ? 512 + static_cast<int>(rng() % 374) : 1 + static_cast<int>(rng() % 124);
        if (std::find(c.channels.begin(), c.channels.end(), a) == c.channels.end())
            c.channels.push_back(a);
    }
    return c;
}

Impairments randomImpairments(std::mt19937& rng, double snrDb)
{
    Impairments imp;
    imp.timingOffsetSamples = std::uniform_real_distribution<double>(0.0, 2500.0)(rng);
    imp.carrierOffsetHz = std::uniform_real_distribution<double>(-5000.0, 5000.0)(rng);
    imp.phaseRad = std::uniform_real_distribution<double>(0.0, 6.28)(rng);
    imp.amplitude = std::uniform_real_distribution<double>(0.01, 2.0)(rng);
    imp.snrDb = snrDb;
    imp.seed = rng();
    return imp;
}

TEST(EndToEnd, RandomCellsStartsAndFrameNumbersGiveIdentityThenMap)
{
    std::mt19937 rng(20261209);
    for (int trial = 0; trial < 6; ++trial) {
        Cell c = makeCell(rng);
        const uint32_t start = rng() % gsmsig::kHyperframe;
        Impairments imp = randomImpairments(rng, 20.0);
        auto x = gsmsig::generateFrames(c, kMapFrames, start, imp);
        CoreDecoder d;
        cell_run::Outcome o = cell_run::run(kCoreVtab, d.dec, x, true);
        SCOPED_TRACE(::testing::Message() << "trial " << trial << " start frame " << start
                                          << " offset " << imp.timingOffsetSamples);
        ASSERT_GT(o.framesToIdentity, 0);
        EXPECT_LE(o.framesToIdentity, kIdentityFrames);
        EXPECT_TRUE(cell_run::identityMatches(o.info, c))
            << std::hex << o.info.mcc << " " << o.info.mnc << " " << o.info.lac << " " << o.info.ci;
        ASSERT_GT(o.framesToMap, 0);
        EXPECT_LE(o.framesToMap, kMapFrames);
        EXPECT_TRUE(cell_run::mapMatches(o.info, c));
        EXPECT_NEAR(o.info.freqOffHz, imp.carrierOffsetHz, 150.0);
    }
}

TEST(EndToEnd, MapOnlyAfterSi1AndIdentityBeforeIt)
{
    // Start just after the SI1 multiframe: the identity (SI3, TC 2) comes long before the map.
    Cell c;
    c.mcc = 262;
    c.mnc = 1;
    c.lac = 0x4321;
    c.ci = 0x00FF;
    c.bsic = 0x15;
    c.channels = {3, 17, 60, 124};
    Impairments imp;
    imp.timingOffsetSamples = 1000.5;
    auto x = gsmsig::generateFrames(c, kMapFrames, 51 * 1 + 20, imp);
    CoreDecoder d;
    cell_run::Outcome o = cell_run::run(kCoreVtab, d.dec, x, true);
    ASSERT_GT(o.framesToIdentity, 0);
    ASSERT_GT(o.framesToMap, o.framesToIdentity);
    EXPECT_TRUE(cell_run::mapMatches(o.info, c));
    EXPECT_EQ(o.info.mnc, 0x01F);
    EXPECT_EQ(o.info.bandFlag, 0);
}

TEST(EndToEnd, OneDecoderOverFourChannelsWithClockErrorAndTwoPaths)
{
    // 20 ppm either way on every channel, an echo of 0.5 at one and two symbols on the last two.
    std::mt19937 rng(5);
    CoreDecoder d;
    for (int ch = 0; ch < 4; ++ch) {
        SCOPED_TRACE(::testing::Message() << "channel " << ch);
        Cell c = makeCell(rng);
        Impairments imp = randomImpairments(rng, 20.0);
        imp.sampleClockPpm = ch % 2 ? 20.0 : -20.0;
        if (ch >= 2) {
            imp.echo.delaySymbols = ch - 1.0;
            imp.echo.gain = 0.5;
            imp.echo.phaseRad = 1.0;
        }
        auto x = gsmsig::generateFrames(c, kIdentityFrames + 51, rng() % gsmsig::kHyperframe, imp);
        kCoreVtab.GSM_reset(d.dec);
        EXPECT_EQ(kCoreVtab.GSM_getResult(d.dec), nullptr);
        cell_run::Outcome o = cell_run::run(kCoreVtab, d.dec, x, false);
        ASSERT_GT(o.framesToIdentity, 0);
        EXPECT_TRUE(cell_run::identityMatches(o.info, c));
    }
}

}  // namespace
