// The FCCH searches: the spectral peak and its interpolation, detection and timing of a true
// GMSK frequency-correction burst across carrier offsets, and no detection on other bursts.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "burst_fixture.h"
#include "cell_decoder.h"
#include "decoder_api.h"

using namespace corvane;

namespace {

struct Decoder {
    Decoder() : dec(GSM_create(nullptr)) {}
    ~Decoder() { GSM_destroy(dec); }
    CellDecoder* dec;
};

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

// A frame at one sample per symbol holding an FCCH burst at `at` (plus the front end's read
// position), other bursts of random bits around it, carrier offset hz, noise sigma.
std::vector<cf32> fcchFrame(int at, double hz, double sigma, std::mt19937& rng, bool withFcch = true)
{
    const int total = kBlockOut;
    std::vector<uint8_t> bits = gmsk_test::randomBits(rng, total);
    if (withFcch)
        for (int i = 0; i < 148; ++i)
            bits[kResetReadPos + at + i] = 0;
    auto sig = gmsk_test::modulate(bits, 1, gmsk_test::modelDelay(), 0.4, total);
    for (int n = 0; n < total; ++n)
        sig[n] *= std::polar(1.0, 2.0 * M_PI * hz * n / 270833.34375);
    gmsk_test::addNoise(sig, sigma, rng);
    std::vector<cf32> x(total);
    for (int i = 0; i < total; ++i)
        x[i] = {static_cast<float>(sig[i].real()), static_cast<float>(sig[i].imag())};
    return x;
}

TEST(FcchSearch, FindsTheBurstAndItsCarrierAcrossOffsets)
{
    std::mt19937 rng(17);
    Decoder d;
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
    Decoder d;
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

}  // namespace
