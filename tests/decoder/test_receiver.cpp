// The receiver's pieces on true GMSK from the test-signal generator, independent of the
// decoder's linearised references: the front end, the FCCH searches, burst timing, fractional
// delay, channel estimate and equaliser, including the inputs that used to leave NaN in state
// that outlives a channel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include "backend/channel_decoding.h"
#include "burst_ref.h"
#include "burst_sync.h"
#include "cell_decoder.h"
#include "core_vtab.h"
#include "decoder_api.h"
#include "equaliser.h"
#include "gsmsiggen.h"

using namespace corvane;

namespace {

// The delay (in symbols) at which a symbol has accrued the share of its phase that the
// decoder's linearised model assigns to its own sample (1.2968 of pi/2).
double modelDelay()
{
    double lo = 0.0, hi = 1.5;
    for (int i = 0; i < 60; ++i) {
        double mid = 0.5 * (lo + hi);
        (gsmsig::gmskPhaseResponse(mid) < 1.2968 / (M_PI / 2) ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

// GMSK of `lead` zero bits and then the bits, at one sample per symbol: sample m at time
// m + delay symbol periods after the model's point of symbol 0, bits beyond the end taken as
// zeros. Then scaled by amp, turned by phase0 and a carrier offset of hz, given complex noise
// of std. dev. sigma.
std::vector<cf32> gmsk(const std::vector<uint8_t>& burst, int lead, int count, double delay,
                       double phase0, double amp, double hz, double sigma, std::mt19937& rng)
{
    std::vector<uint8_t> bits(lead, 0);
    bits.insert(bits.end(), burst.begin(), burst.end());
    bits.resize(count, 0);
    const auto s = gsmsig::gmskModulate(bits, 1.0, -(modelDelay() + delay + 0.5));
    std::normal_distribution<double> n(0.0, sigma / std::sqrt(2.0));
    std::vector<cf32> x(count);
    for (int m = 0; m < count; ++m) {
        const std::complex<double> v =
            amp * std::complex<double>(s[m]) * std::polar(1.0, phase0 + 2.0 * M_PI * hz * m / 270833.34375);
        x[m] = {static_cast<float>(v.real() + (sigma > 0 ? n(rng) : 0.0)),
                static_cast<float>(v.imag() + (sigma > 0 ? n(rng) : 0.0))};
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
    std::copy_n(data->begin(), L.dataLen, bits.begin() + L.dataStart1);
    std::copy_n(data->begin() + L.dataLen, L.dataLen, bits.begin() + L.dataStart2);
    std::copy_n(ctx.known, ctx.ref.knownLen, bits.begin() + ctx.ref.knownStart);
    return bits;
}

MlseWork g_work;

// Fills the held input with a complex tone at hz (input rate) and runs one block.
void runToneBlock(FrontEnd& fe, double hz, double amp = 1.0)
{
    const double w = 2.0 * M_PI * hz / 541666.6875;
    for (int i = 0; i < kBlockIn; ++i)
        fe.inBuf[i] = {static_cast<float>(amp * std::cos(w * i)), static_cast<float>(amp * std::sin(w * i))};
    fe.held = kBlockIn;
    frontEnd(&fe);
}

// The decimator as designed, in double precision: taps 0..23, mirrored for 24..47.
constexpr double kDesignTaps[24] = {
    -0.00585178612, -0.00541429827, 0.00450954819, 0.00626133941, -0.000810986909,
    -0.00929463282, -0.00409673527, 0.00863139704, 0.0113259172,  -0.0041882596,
    -0.0168578289,  -0.00582475634, 0.0181958955,  0.019179929,   -0.0110486737,
    -0.0328133404,  -0.00687262742, 0.0405128822,  0.037860889,   -0.0339611545,
    -0.086669676,   -0.00755778467, 0.198560551,   0.380176932};

double designTap(int j) { return kDesignTaps[j < 24 ? j : 47 - j]; }

TEST(FrontEnd, DecimatorMatchesTheDoubleModelAcrossPassTransitionAndStopBand)
{
    CoreDecoder d;
    FrontEnd& fe = d.dec->front;
    // Output k is sum_j h[j] x[2k - j] over the block's own inputs: the first output is aligned
    // to input 0, and the block starts from silence. An impulse at input 0 or 1 shows every tap
    // exactly as the filter applies it.
    for (int at : {0, 1}) {
        std::fill(std::begin(fe.inBuf), std::end(fe.inBuf), cf32{0.0f, 0.0f});
        fe.inBuf[at] = {1.0f, 0.0f};
        fe.held = kBlockIn;
        frontEnd(&fe);
        for (int k = 0; k < 30; ++k) {
            const int j = 2 * k - at;
            const float want = j >= 0 && j < kFrontTaps ? static_cast<float>(designTap(j)) : 0.0f;
            ASSERT_EQ(fe.firOut[k].re, want) << "impulse at " << at << ", output " << k;
            ASSERT_EQ(fe.firOut[k].im, 0.0f);
        }
    }
    // Unit tones through two consecutive blocks (the second reads the held input from 2500 on)
    // against the same sums in double precision on the same float inputs. The bound is that of
    // a 48-term float sum of terms up to |h_j|.
    double sumAbs = 0.0;
    for (int j = 0; j < kFrontTaps; ++j)
        sumAbs += std::fabs(designTap(j));
    const double bound = kFrontTaps * std::ldexp(sumAbs, -24);
    std::vector<cf32> x(kBlockIn + kFrameIn);
    for (double hz : {0.0, 30000.0, -60000.0, 67708.3, 85000.0, -100000.0, 112700.0, 125000.0,
                      -135416.7, 150000.0, 200000.0, -240000.0}) {
        const double w = 2.0 * M_PI * hz / 541666.6875;
        for (size_t i = 0; i < x.size(); ++i)
            x[i] = {static_cast<float>(std::cos(w * i)), static_cast<float>(std::sin(w * i))};
        std::copy(x.begin(), x.end(), fe.inBuf);
        fe.held = static_cast<int>(x.size());
        for (int block = 0; block < 2; ++block) {
            frontEnd(&fe);
            const cf32* in = x.data() + block * kFrameIn;
            double worst = 0.0;
            for (int k = 0; k < kBlockOut; ++k) {
                std::complex<double> y = 0.0;
                for (int j = 0; j < kFrontTaps && j <= 2 * k; ++j)
                    y += designTap(j) * std::complex<double>(in[2 * k - j].re, in[2 * k - j].im);
                worst = std::max(worst, std::abs(y - std::complex<double>(fe.firOut[k].re, fe.firOut[k].im)));
            }
            EXPECT_LE(worst, bound) << hz << " Hz, block " << block;
        }
    }
}

TEST(FrontEnd, ToneCorrectionStaysInRangeAndTheStoredPhaseTurnsTheBlock)
{
    CoreDecoder d;
    FrontEnd& fe = d.dec->front;
    // Offsets beyond the output rate, a tiny positive one and one of exactly the rate.
    for (float f : {1e-3f, 270833.34375f, 1e6f, -1e6f, -270833.34375f, 3e-8f, 0.0f, -0.0f}) {
        setCorrection(&fe, f);
        EXPECT_TRUE(fe.relFreq >= 0.0f && fe.relFreq < 1.0f) << f;
    }
    setCorrection(&fe, 1000.0f);
    EXPECT_NEAR(fe.relFreq, (270833.34375 - 1000.0) / 270833.34375, 1e-6);
    setCorrection(&fe, std::nanf(""));
    EXPECT_NEAR(fe.relFreq, (270833.34375 - 1000.0) / 270833.34375, 1e-6);
    // No correction: the stored phase stays and still turns the block.
    setCorrection(&fe, 0.0f);
    EXPECT_EQ(fe.relFreq, 0.0f);
    fe.tonePhase = 1.25f;
    runToneBlock(fe, 0.0);
    EXPECT_EQ(fe.tonePhase, 1.25f);
    const cf32 in = fe.firOut[500];
    EXPECT_NEAR(fe.corr[500].re, in.re * std::cos(1.25f) - in.im * std::sin(1.25f), 1e-5);
    EXPECT_NEAR(fe.corr[500].im, in.re * std::sin(1.25f) + in.im * std::cos(1.25f), 1e-5);
    // A stored phase that rounded up to 2 pi: the next block still gets a fresh tone.
    fe.tonePhase = 6.2831855f;
    std::fill(std::begin(fe.corr), std::end(fe.corr), cf32{5.0f, 5.0f});
    runToneBlock(fe, 0.0);
    EXPECT_LT(std::fabs(fe.corr[800].re), 1.5f);
    EXPECT_TRUE(fe.tonePhase >= 0.0f && fe.tonePhase < 6.2831855f);
}

TEST(FrontEnd, MeanPowerTakesTheFirstValueThenSmooths)
{
    CoreDecoder d;
    FrontEnd& fe = d.dec->front;
    std::fill(std::begin(fe.inBuf), std::end(fe.inBuf), cf32{0.0f, 0.0f});
    // The power comes from the previous block's corrected samples 120..1369: silence keeps it
    // at 0, then unsmoothed first, then 0.75 * 4 + 0.25 * 0.
    const float levels[] = {0.0f, 0.0f, 2.0f, 0.0f}, want[] = {0.0f, 0.0f, 4.0f, 3.0f};
    for (int i = 0; i < 4; ++i) {
        std::fill(std::begin(fe.corr), std::end(fe.corr), cf32{levels[i], 0.0f});
        fe.held = kBlockIn;
        frontEnd(&fe);
        EXPECT_NEAR(fe.meanPower, want[i], 1e-4) << i;
    }
}

TEST(FcchPeak, OnBinToneIsExactAndTheSearchSpansPlusMinusSixtyThreeBins)
{
    int16_t bin = 99;
    for (int k : {0, 5, -17, 63, -63}) {
        cf32 X[256] = {};
        X[k & 255] = {10.0f, 0.0f};
        X[(k + 1) & 255] = {0.0f, 2.0f};
        X[(k - 1) & 255] = {2.0f, 0.0f};
        EXPECT_EQ(fcchPeak(X, 64, &bin), 104.0f);
        EXPECT_EQ(bin, k);
        EXPECT_EQ(peakInterp(X, k), static_cast<float>(k) * kBinHz);
    }
    cf32 Y[256] = {};
    Y[64] = {5.0f, 0.0f};
    Y[1] = {0.5f, 0.0f};
    fcchPeak(Y, 64, &bin);
    EXPECT_EQ(bin, 1);
    // An empty spectrum: no NaN, bin 0, 0 Hz.
    std::fill_n(Y, 256, cf32{0.0f, 0.0f});
    EXPECT_EQ(fcchPeak(Y, 64, &bin), 0.0f);
    EXPECT_EQ(bin, 0);
    EXPECT_EQ(peakInterp(Y, bin), 0.0f);
}

TEST(FcchSearch, FindsTheBurstAndItsCarrierAcrossOffsets)
{
    std::mt19937 rng(17);
    CoreDecoder d;
    const SyncRef& ref = d.dec->fcchCtx.ref;
    SyncBank& bank = d.dec->syncBank;
    for (double hz : {-60000.0, -21000.0, 0.0, 517.0, 33333.0, 60000.0}) {
        for (int at : {0, 100, 611, 1100}) {
            // Random bits around an FCCH burst at `at` after the front end's read position.
            std::vector<uint8_t> bits = randomBits(rng, kBlockOut);
            std::fill_n(bits.begin() + kResetReadPos + at, 148, 0);
            auto x = gmsk(bits, 0, kBlockOut, 0.0, 0.4, 1.0, hz, 0.1, rng);
            bank.sync = {0, 0.0f, 0.0f};
            const cf32* burst = x.data() + kResetReadPos;
            ASSERT_TRUE(fcchCoarse(burst, ref, &bank)) << hz << " " << at;
            fcchFine(burst, ref, &bank);
            // 148 zero bits hold a 142-sample window at any of seven shifts: the score is flat
            // within a few samples, which the SCH search's +-32 absorbs.
            EXPECT_NEAR(bank.sync.offset, at, 5) << hz << " " << at;
            EXPECT_NEAR(fcchFreq(burst + bank.sync.offset, ref, &bank), hz, 300.0) << at;
        }
    }
}

TEST(FcchSearch, NoiseNormalAndDummyBurstsAreNotTakenForAnFcch)
{
    std::mt19937 rng(23);
    CoreDecoder d;
    const SyncRef& ref = d.dec->fcchCtx.ref;
    SyncBank& bank = d.dec->syncBank;
    // Idle timeslots: a dummy burst every 156 symbols.
    std::vector<uint8_t> dummies(kBlockOut, 0);
    for (int at = 0; at + 148 <= kBlockOut; at += 156)
        std::copy_n(gsmsig::dummyBurstBits().begin(), 148, dummies.begin() + at);
    for (int trial = 0; trial < 20; ++trial) {
        bank.sync = {5, 0.5f, 123.0f};
        std::vector<cf32> noise(kBlockOut);
        std::normal_distribution<float> n(0.0f, 1.0f);
        for (cf32& c : noise)
            c = {n(rng), n(rng)};
        EXPECT_FALSE(fcchCoarse(noise.data() + kResetReadPos, ref, &bank)) << trial;
        for (const auto& bits : {randomBits(rng, kBlockOut), dummies}) {
            auto x = gmsk(bits, 0, kBlockOut, 0.0, 0.4, 1.0, 1000.0 * trial, 0.3, rng);
            EXPECT_FALSE(fcchCoarse(x.data() + kResetReadPos, ref, &bank)) << trial;
        }
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
        tone[i] = {std::cos(0.5f * static_cast<float>(M_PI) * i), std::sin(0.5f * static_cast<float>(M_PI) * i)};
    SyncResult S{0, 0.0f, 0.0f};
    ASSERT_TRUE(schSearch(tone.data() + 50, f.ref, &S, 5));
    EXPECT_LE(std::fabs(S.fraction), 1.0f);   // false for NaN too
    float w[5];
    lagrangeCoefs(S.fraction, w);
    EXPECT_TRUE(std::all_of(w, w + 5, [](float v) { return std::isfinite(v); }));
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
    EXPECT_EQ(std::vector<float>(w, w + 5), std::vector<float>({0.0f, 0.0f, 1.0f, 0.0f, 0.0f}));
    std::vector<cf32> src(160), dst(kBurstLen);
    auto cubic = [](double t) { return 0.001 * t * t * t - 0.05 * t * t + 0.3 * t - 2.0; };
    for (int i = 0; i < 160; ++i)
        src[i] = {static_cast<float>(cubic(i - 2.0)), static_cast<float>(-cubic(i - 2.0))};
    for (float x : {-0.5f, -0.25f, 0.3f, 0.5f}) {
        lagrangeCoefs(x, w);
        fracDelay(src.data() + 2, w, dst.data());
        for (int n = 0; n < kBurstLen; ++n) {
            const double want = cubic(n + x);
            ASSERT_NEAR(dst[n].re, want, 1e-3 * (1 + std::fabs(want))) << n << " " << x;
            ASSERT_NEAR(dst[n].im, -want, 1e-3 * (1 + std::fabs(want))) << n << " " << x;
        }
    }
}

TEST(ChannelEstimate, NormalisesTheKnownPartAndSilenceChangesNothing)
{
    std::mt19937 rng(2);
    const BurstCtx n = burstCtx(4);
    std::vector<uint8_t> data;
    auto bits = burstBits(n, rng, &data);
    auto x = gmsk(bits, 0, kBurstLen, 0.0, 0.7, 0.02, 0.0, 0.0, rng);
    ChanState cs{};
    estChannel(n, x.data(), &cs);
    // Normalised by the known part's correlation: the aligned tap is about 1 at any level.
    const ChanState first = cs;
    EXPECT_NEAR(first.chanTaps[1].re, 1.0, 0.05);
    // A silent burst divides by zero energy: the taps stay, the state stays finite.
    cf32 silent[kBurstLen] = {};
    estChannel(n, silent, &cs);
    EXPECT_EQ(cs.chanTaps[1].re, first.chanTaps[1].re);
    EXPECT_TRUE(std::isfinite(cs.normFactor.re));
    for (const cf32& v : silent)
        EXPECT_TRUE(std::isfinite(v.re) && std::isfinite(v.im));
}

// The receiver chain of one burst: timing search around `lead`, fractional delay, channel
// estimate, equaliser. Returns false when the timing search fails.
bool receive(const BurstCtx& ctx, const std::vector<cf32>& x, int lead, float* soft,
             SyncResult* found = nullptr)
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
    if (found)
        *found = S;
    return true;
}

int bitErrors(const float* soft, const std::vector<uint8_t>& data)
{
    int e = 0;
    for (size_t i = 0; i < data.size(); ++i)
        e += (soft[i] > 0.0f ? 1 : 0) != data[i];
    return e;
}

TEST(Equaliser, DecodesNoiselessGmskSchAndEveryTrainingSequenceAtEveryShift)
{
    // The first eleven trials put the burst on each integer shift the search covers; the rest
    // at random fractional delays.
    std::mt19937 rng(7);
    for (int tsc = -1; tsc < 8; ++tsc) {
        const BurstCtx ctx = burstCtx(tsc);
        for (int trial = 0; trial < 20; ++trial) {
            std::vector<uint8_t> data;
            auto bits = burstBits(ctx, rng, &data);
            const int shift = trial < 11 ? trial - 5 : 0;
            double delay = trial < 11 ? 0.0 : std::uniform_real_distribution<double>(-0.5, 0.5)(rng);
            double phase = std::uniform_real_distribution<double>(0, 2 * M_PI)(rng);
            auto x = gmsk(bits, 20 + shift, 200, delay, phase, 0.01, 0.0, 0.0, rng);
            float soft[2 * 57];
            SyncResult S;
            ASSERT_TRUE(receive(ctx, x, 20, soft, &S));
            EXPECT_EQ(bitErrors(soft, data), 0) << "kind " << ctx.kind << " delay " << delay;
            if (trial < 11) {
                EXPECT_EQ(S.offset, shift);
                EXPECT_LE(std::fabs(S.fraction), 0.3f);
            }
            for (size_t i = 0; i < data.size(); ++i)
                EXPECT_LE(std::fabs(soft[i]), kSoftMax);
        }
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
        auto x = gmsk(bits, 20, 200, delay, trial * 0.37, 1.0, 0.0, sigma, rng);
        float soft[2 * 57];
        errors += receive(ctx, x, 20, soft) ? bitErrors(soft, data) : 114;
        total += 114;
    }
    EXPECT_LT(static_cast<double>(errors) / total, 0.03);
}

// BCCH blocks of random octets, coded by the generator, as four GMSK normal bursts each at one
// sample per symbol with random timing and phase in complex noise of Es/N0 esN0Db. Decoded
// once by the decoder's burst chain and once by the same chain with the equaliser's output cut
// to hard decisions; returns the blocks each got right.
std::pair<int, int> blocksDecoded(double esN0Db, int blocks, uint32_t seed)
{
    std::mt19937 rng(seed);
    const int tsc = 6;
    const double sigma = std::pow(10.0, -esN0Db / 20.0);
    CoreDecoder d;
    BurstCtx soft = burstCtx(tsc), hard = burstCtx(tsc);
    ChanState cs{};
    DeintArea area{};
    int softOk = 0, hardOk = 0;
    for (int b = 0; b < blocks; ++b) {
        gsmsig::Block23 block;
        for (uint8_t& o : block)
            o = static_cast<uint8_t>(rng());
        const auto coded = gsmsig::encodeXcch(block);
        for (int i = 0; i < 4; ++i) {
            const auto nb = gsmsig::normalBurst(tsc, coded.data() + 116 * i);
            const double delay = std::uniform_real_distribution<double>(-0.5, 0.5)(rng);
            const double phase = std::uniform_real_distribution<double>(0.0, 2 * M_PI)(rng);
            const auto x = gmsk({nb.begin(), nb.end()}, 20, 200, delay, phase, 1.0, 0.0, sigma, rng);
            soft.frameNo = hard.frameNo = static_cast<uint16_t>(2 + i);
            uint8_t octets[24];
            d.dec->syncBank.sync.offset = 0;
            if (decodeBurst(d.dec, &soft, x.data() + 20, octets))
                softOk += std::equal(block.begin(), block.end(), octets);
            SyncResult S{0, 0.0f, 0.0f};
            if (!syncBurst(hard, &S, x.data() + 20))
                continue;
            float w[5], v[2 * kBcchDataLen], coded456[kBcchCodedBits];
            lagrangeCoefs(S.fraction, w);
            cf32 y[kBurstLen];
            fracDelay(x.data() + 20 + S.offset, w, y);
            estChannel(hard, y, &cs);
            equalise(y, shapeChannel(&cs), hard, v, &g_work);
            for (float& e : v)
                e = e > 0.0f ? 1.0f : -1.0f;
            uint8_t bits[kMaxDecodedBits];
            if (collectBits(v, &area, &hard, coded456)) {
                viterbiDecode(coded456, &hard, bits);
                if (checkParity(&hard, bits)) {
                    packOctets(bits, octets);
                    hardOk += std::equal(block.begin(), block.end(), octets);
                }
            }
        }
    }
    return {softOk, hardOk};
}

TEST(Equaliser, SoftValuesDecodeBlocksThatHardDecisionsLose)
{
    // At Es/N0 1.5 dB about two blocks in three decode, against two in five from hard
    // decisions of the same equaliser on the same samples (about 1 dB of soft gain).
    const auto [soft, hard] = blocksDecoded(1.5, 100, 11);
    EXPECT_GE(soft, hard + 15) << "soft " << soft << ", hard " << hard;
}

TEST(Equaliser, TheLastSampleNeverChangesTheOutputAndSilenceStaysFinite)
{
    std::mt19937 rng(9);
    BurstCtx ctx = burstCtx(-1);
    std::vector<uint8_t> data;
    auto bits = burstBits(ctx, rng, &data);
    auto x = gmsk(bits, 0, kBurstLen, 0.0, 0.0, 1.0, 0.0, 0.3, rng);
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
