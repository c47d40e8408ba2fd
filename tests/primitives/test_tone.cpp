// The tone generators, complex float and the scanner's complex 16-bit: argument checks in their
// order with nothing written on failure, the double path bit-exact to each slot's recurrence and
// near the long-double tone, the blocked float path within the error of its lag-4 recurrence,
// the end phase folded into [0, 2pi) and continuity across calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "mem_path_log.h"
#include "vector_test_util.h"

namespace {

using ToneSlots = vtest::EverySlot;

constexpr double kTwoPi = 6.283185307179586;

// Largest distance of samples from..from+len-1 to the exact tone of the float phase and
// frequency as given, clipped to the 16-bit range for the 16-bit tone.
template <class Sample>
double maxError(const Sample* got, int64_t len, double mag, float freq, float phase, int64_t from = 0)
{
    double worst = 0;
    for (int64_t n = 0; n < len; ++n) {
        const long double w = (long double)freq * kTwoPi, a = phase + (long double)(from + n) * w;
        const long double re = std::clamp<long double>(mag * cosl(a), -32768, 32767);
        const long double im = std::clamp<long double>(mag * sinl(a), -32768, 32767);
        worst = std::max({worst, double(fabsl(got[n].re - re)), double(fabsl(got[n].im - im))});
    }
    return worst;
}

// Both generators check in the same order; the float one lets NaN through its comparisons, the
// 16-bit one does not and counts its magnitude by the low 16 bits only.
TEST_P(ToneSlots, ChecksInTheirOrderAndWritesNothingOnFailure)
{
    const float nan = std::nanf(""), twoPiF = float(kTwoPi);  // 6.2831855, above 2pi
    const struct { bool nullPhase; float phase, mag; int32_t mag16; float freq; bool nullDst; int32_t len;
                   sigStatus code, code16; } cases[] = {
        {true, 0, -1, 0, 2, true, 0, sigErrNull, sigErrNull},  // phase pointer first, whatever else is wrong
        {false, 9, 0, 0, 2, true, 0, sigErrToneMag, sigErrToneMag},  // then the magnitude
        {false, 9, -0.0f, 65536, 0.5f, false, 4, sigErrToneMag, sigErrToneMag},
        {false, 9, 1, 0x18000, 2, false, 4, sigErrToneFreq, sigErrToneMag},  // 16 bits: -32768
        {false, 9, 1, 100, 1.0f, true, 0, sigErrToneFreq, sigErrToneFreq},
        {false, 9, 1, 100, -1e-30f, false, 4, sigErrToneFreq, sigErrToneFreq},
        {false, -1e-30f, 1, 100, 0.5f, true, 0, sigErrTonePhase, sigErrTonePhase},
        {false, twoPiF, 1, 100, 0.5f, true, 0, sigErrTonePhase, sigErrTonePhase},
        {false, float(INFINITY), 1, 100, 0.5f, true, 0, sigErrTonePhase, sigErrTonePhase},
        {false, 1, 1, 100, 0.5f, true, 0, sigErrNull, sigErrNull},  // dst after the values, before len
        {false, 1, 1, 100, 0.5f, false, 0, sigErrLength, sigErrLength},
        {false, 1, 1, 100, 0.5f, false, -5, sigErrLength, sigErrLength},
        {false, -0.0f, 1, 100, 0.5f, true, 3, sigErrNull, sigErrNull},  // -0.0 is a valid phase
        {false, 1, nan, 100, nan, false, 0, sigErrLength, sigErrToneFreq},
        {false, nan, nan, 100, 0.5f, false, 0, sigErrLength, sigErrTonePhase},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "phase " << c.phase << " mag " << c.mag << "/" << c.mag16
                                          << " freq " << c.freq << " len " << c.len);
        for (int32_t hint : {0, 1}) {
            cf32 dst[4] = {{7, 7}, {7, 7}, {7, 7}, {7, 7}};
            cs16 dst16[4] = {{7, 7}, {7, 7}, {7, 7}, {7, 7}};
            float ph = c.phase, ph16 = c.phase;
            EXPECT_EQ(sigTone_cf32(c.nullDst ? nullptr : dst, c.len, c.mag, c.freq, c.nullPhase ? nullptr : &ph, hint),
                      c.code);
            EXPECT_EQ(sigTone_cs16(c.nullDst ? nullptr : dst16, c.len, c.mag16, c.freq, c.nullPhase ? nullptr : &ph16,
                                   hint),
                      c.code16);
            EXPECT_TRUE(vtest::sameBits(ph, c.phase) && vtest::sameBits(ph16, c.phase));
            for (int i = 0; i < 4; ++i)
                EXPECT_TRUE(vtest::sameBits(dst[i], cf32{7, 7}) && vtest::sameBits(dst16[i], cs16{7, 7}));
        }
    }
}

// Without hint 1 every slot takes the double path: two direct samples, then
// x[n] = b x[n-1] - x[n-2] in double (fused on slot 6), each rounded to float. A low frequency
// over a long run lets the double rounding differences grow until they reach the float outputs.
TEST_P(ToneSlots, DoublePathRoundsAsItsSlotSaysAndFollowsTheExactTone)
{
    const float mag = 2.5f, start = 1.25f;
    const std::pair<float, int32_t> runs[] = {{0.0001f, 200000}, {0.0123f, 5000}, {0.25f, 5000},
                                              {0.4999f, 5000}, {0.77f, 5000}, {0.003f, 5000}};
    for (auto [freq, len] : runs) {
        const double w = double(freq) * kTwoPi, b = 2 * std::cos(w);
        std::vector<cf32> out(len);
        for (int32_t hint : {0, 2, -1}) {
            float ph = start;
            ASSERT_EQ(sigTone_cf32(out.data(), len, mag, freq, &ph, hint), sigOk);
            double r0 = mag * std::cos(double(start)), i0 = mag * std::sin(double(start));
            double r1 = mag * std::cos(start + w), i1 = mag * std::sin(start + w);
            for (int n = 0; n < len; ++n) {
                if (n >= 2) {
                    double r2 = slot() == 6 ? std::fma(b, r1, -r0) : b * r1 - r0;
                    double i2 = slot() == 6 ? std::fma(b, i1, -i0) : b * i1 - i0;
                    r0 = r1, i0 = i1, r1 = r2, i1 = i2;
                }
                cf32 expect = n == 0 ? cf32{float(r0), float(i0)} : cf32{float(r1), float(i1)};
                ASSERT_TRUE(vtest::sameBits(out[n], expect)) << "freq " << freq << " hint " << hint << " n " << n;
            }
        }
        // Float rounding of the output plus a double recurrence error growing with n / sin w.
        double bound = mag * (0x1p-23 + len * 1e-15 / std::fabs(std::sin(w)));
        EXPECT_LE(maxError(out.data(), len, mag, freq, start), bound) << "freq " << freq;
    }
}

TEST_P(ToneSlots, BlockedPathStaysWithinItsRecurrenceErrorAndRestartsEachBlock)
{
    if (slot() == 0)
        GTEST_SKIP() << "slot 0 has no blocked path";
    const float freqs[] = {0.0123f, 0.11f, 0.2f, 0.3711f, 0.6f, 0.93f};
    for (float freq : freqs) {
        // 70000 samples: long enough for the kernel's streaming stores.
        for (int32_t len : {1646, 4100, 70000}) {
            std::vector<cf32> out(len);
            float ph = 3.0f;
            ASSERT_EQ(sigTone_cf32(out.data(), len, 1.0f, freq, &ph, 1), sigOk);
            double s4 = std::fabs(std::sin(4.0 * freq * kTwoPi));
            for (int32_t n = 0; n < len; ++n) {
                // Grows with the distance from the block start, reset at every block.
                const double bound = 0x1p-22 + (n % 1024 / 4 + 1) * 0x1p-23 / s4;
                ASSERT_LE(maxError(&out[n], 1, 1.0f, freq, 3.0f, n), bound) << "freq " << freq << " n " << n;
            }
        }
    }
    // Block boundaries: the first eight samples of a block are the double path's.
    const float mag = 1.5f, freq = 0.0731f, start = 0.9f;
    const double w = double(freq) * kTwoPi;
    std::vector<cf32> blocked(1025), plain(9);
    float p1 = start, p2 = start;
    ASSERT_EQ(sigTone_cf32(blocked.data(), 1025, mag, freq, &p1, 1), sigOk);
    ASSERT_EQ(sigTone_cf32(plain.data(), 9, mag, freq, &p2, 0), sigOk);
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(vtest::sameBits(blocked[i], plain[i])) << i;
    // The ninth comes from the float kernel with c = 2cos(4w) rounded to float.
    double b = 2 * std::cos(w);
    float c = float(b * b * (b * b - 4) + 2);
    EXPECT_TRUE(vtest::sameBits(blocked[8].re, c * blocked[4].re - blocked[0].re));
    EXPECT_TRUE(vtest::sameBits(blocked[8].im, c * blocked[4].im - blocked[0].im));
    // Sample 1024 starts the next block from cos and sin of the absolute angle.
    double angle = slot() == 6 ? std::fma(1024.0, w, double(start)) : double(start) + 1024.0 * w;
    EXPECT_TRUE(vtest::sameBits(blocked[1024], cf32{float(mag * std::cos(angle)), float(mag * std::sin(angle))}));
}

TEST_P(ToneSlots, RecurrenceKernelMatchesTheScalarModelAtEveryAlignment)
{
    const float c = 1.3f;
    for (unsigned off : {0u, 4u, 8u, 12u}) {
        for (int32_t n : {1, 2, 3, 4, 5, 7, 8, 9, 15, 16, 17, 31, 2032}) {
            vtest::Arena arena((16 + n) * sizeof(float), off);
            float* y = arena.as<float>();
            std::vector<float> model(16 + n);
            for (int k = 0; k < 16; ++k)
                y[k] = model[k] = std::sin(0.3f * k) + 0.01f * k;
            for (int32_t k = 16; k < 16 + n; ++k)
                model[k] = c * model[k - 8] - model[k - 16];
            vtest::kToneRecur[slot()](y + 16, n, c);
            for (int32_t k = 0; k < 16 + n; ++k)
                ASSERT_TRUE(vtest::sameBits(y[k], model[k])) << "n " << n << " k " << k << " offset " << off;
            ASSERT_TRUE(arena.guardIntact()) << "n " << n << " offset " << off;
        }
    }
}

// The float kernel streams its main loop whenever that starts on a 16-byte boundary (after the
// floats that align a 4-byte aligned output), for a tone of any length; the 16-bit kernel
// streams every whole step. The values are the same either way, so only the path hook tells.
TEST_P(ToneSlots, KernelsStreamEveryWholeStep)
{
    if (slot() == 0)
        GTEST_SKIP() << "slot 0 has no recurrence kernel";
    struct Case {
        unsigned offset;
        int32_t n;
        int streamed;
    };
    for (Case c : {Case{0, 7, 0}, Case{0, 8, 1}, Case{4, 10, 0}, Case{4, 11, 1}, Case{12, 9, 1},
                   Case{2, 64, 0}}) {
        vtest::Arena arena((16 + c.n) * sizeof(float), c.offset);
        float* y = arena.as<float>();
        // Copied as bytes: at a 2-byte offset these are no float objects a store may name.
        const float history[16] = {0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f,
                                   0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
        std::memcpy(y, history, sizeof history);
        PathLog log;
        vtest::kToneRecur[slot()](y + 16, c.n, 1.3f);
        EXPECT_EQ(PathLog::streamed, c.streamed) << "offset " << c.offset << " n " << c.n;
    }
    for (int32_t len : {9, 1024, 1646, 3000})
        for (int32_t hint : {0, 1}) {
            vtest::Arena arena(len * sizeof(cf32), 0);
            float phase = 0.25f;
            PathLog log;
            ASSERT_EQ(sigTone_cf32(arena.as<cf32>(), len, 1.0f, 0.1f, &phase, hint), sigOk);
            EXPECT_EQ(PathLog::streamed, hint == 1 && len > 9 ? (len + 1023) / 1024 : 0) << "len " << len;
            std::vector<cs16> y16(size_t(len) + 1);
            PathLog log16;
            ASSERT_EQ(sigTone_cs16(y16.data() + 1, len, 1000, 0.1f, &phase, hint), sigOk);
            EXPECT_EQ(PathLog::streamed, hint == 1 && len > 9 ? (len + 1023) / 1024 : 0) << "16-bit, len " << len;
        }
}

// Error bounds of the 16-bit tone in 16-bit units, 0.5 being the rounding itself. The double
// recurrence stays within one unit. The blocks of the vector slots run y[n] = k4 y[n-4] - y[n-8]
// in single precision, whose error grows like 1 / |sin 4w| (k4 = 2 cos 4w as a float): measured
// worst 9.4e-6 * mag / |sin 4w| over 1024-sample blocks, and at most 3.2e-3 * mag near the
// frequencies where sin 4w vanishes (0, 1/8, 1/4, ...).
double bound16(int32_t mag, float relFreq, int32_t hint)
{
    if (sigCpuSlot == 0 || hint != 1)
        return 1.0;
    const double s = std::fabs(std::sin(4 * kTwoPi * relFreq));
    return 0.5 + mag * std::min(1.5e-5 / std::max(s, 1e-9), 4e-3);
}

// Full scale included: rounding must saturate, never wrap.
TEST_P(ToneSlots, Tone16FollowsTheExactToneWithinTheStatedBound)
{
    std::mt19937 rng(5 + slot());
    std::uniform_real_distribution<float> freq(0.0f, 1.0f), ph(0.0f, 6.2831f);
    for (int trial = 0; trial < 80; ++trial) {
        const int32_t mag = trial % 3 == 0 ? 32767 : 3276;
        const int32_t hint = trial % 4 == 0 ? 0 : 1;
        const float f = trial % 7 == 0 ? 1e-4f : trial % 11 == 0 ? 0.2495f : freq(rng);
        const float phase0 = ph(rng);
        const int32_t len = std::uniform_int_distribution<int32_t>(1, 5000)(rng);
        std::vector<cs16> y(len);
        float phase = phase0;
        ASSERT_EQ(sigTone_cs16(y.data(), len, mag, f, &phase, hint), sigOk);
        EXPECT_LE(maxError(y.data(), len, mag, f, phase0), bound16(mag, f, hint))
            << "mag " << mag << " f " << f << " len " << len << " hint " << hint;
        EXPECT_NEAR(double(phase), double(fmodl(phase0 + (long double)kTwoPi * f * len, kTwoPi)), 1e-5);
    }
}

TEST_P(ToneSlots, ZeroFrequencyRepeatsTheFirstSampleAndKeepsThePhase)
{
    for (int32_t hint : {0, 1}) {
        std::vector<cf32> out(2100);
        float ph = 2.0f;
        ASSERT_EQ(sigTone_cf32(out.data(), 2100, 0.75f, 0.0f, &ph, hint), sigOk);
        EXPECT_EQ(ph, 2.0f);
        for (const cf32& v : out)
            ASSERT_TRUE(vtest::sameBits(v, cf32{float(0.75 * std::cos(2.0)), float(0.75 * std::sin(2.0))}));
    }
    std::vector<cs16> c(50);
    float phase = 2.0f;
    ASSERT_EQ(sigTone_cs16(c.data(), 50, 1000, 0.0f, &phase, 1), sigOk);
    EXPECT_EQ(phase, 2.0f);
    for (const cs16& v : c)
        EXPECT_TRUE(vtest::sameBits(v, cs16{int16_t(std::lrint(1000 * std::cos(2.0))), int16_t(std::lrint(1000 * std::sin(2.0)))}));
}

TEST_P(ToneSlots, EndPhaseIsReducedAndNeverStoredAsTwoPi)
{
    cf32 out[4];
    // Just below 2pi by less than half a float step: rounds to 6.2831855, which is stored as 0.
    float ph = 6.28318500518798828125f;
    ASSERT_EQ(sigTone_cf32(out, 1, 1.0f, 4e-8f, &ph, 1), sigOk);
    EXPECT_EQ(ph, 0.0f);
    EXPECT_FALSE(std::signbit(ph));
    cs16 one[2] = {{0, 0}, {9, 9}};
    ph = 6.2831850f;
    ASSERT_EQ(sigTone_cs16(one, 1, 100, 4.3e-8f, &ph, 1), sigOk);
    EXPECT_EQ(ph, 0.0f);
    // len 1 writes one sample and still advances the phase by w.
    ph = 1.0f;
    ASSERT_EQ(sigTone_cf32(out, 1, 1.0f, 0.125f, &ph, 0), sigOk);
    EXPECT_EQ(ph, float(1.0 + 0.125 * kTwoPi));
    ph = 0.0f;
    ASSERT_EQ(sigTone_cs16(one, 1, 100, 0.25f, &ph, 1), sigOk);
    EXPECT_TRUE(one[0].re == 100 && one[1].re == 9);
    EXPECT_FLOAT_EQ(ph, float(kTwoPi / 4));
    // Random calls: every stored phase lies in [0, 2pi) and the next call accepts it.
    std::mt19937 rng(17);
    std::uniform_real_distribution<float> uf(0.0f, 1.0f);
    std::vector<cf32> buf(3000);
    ph = 0.0f;
    for (int i = 0; i < 2000; ++i) {
        float freq = uf(rng);
        int32_t len = 1 + int32_t(rng() % 3000);
        float before = ph;
        ASSERT_EQ(sigTone_cf32(buf.data(), len, 1.0f, freq, &ph, int32_t(rng() % 2)), sigOk) << "phase " << before;
        ASSERT_GE(ph, 0.0f);
        ASSERT_LT(double(ph), kTwoPi);
        double expect = std::fmod(double(before) + len * (double(freq) * kTwoPi), kTwoPi);
        double diff = std::fabs(double(ph) - expect);
        ASSERT_LE(std::min(diff, kTwoPi - diff), 1e-6) << "len " << len << " freq " << freq;
    }
}

TEST_P(ToneSlots, SuccessiveCallsContinueTheTone)
{
    const float freq = 0.0421f, start = 5.5f;
    for (int32_t hint : {0, 1}) {
        std::vector<cf32> a(1646), b(1646);
        float ph = start;
        ASSERT_EQ(sigTone_cf32(a.data(), 1646, 1.0f, freq, &ph, hint), sigOk);
        ASSERT_EQ(sigTone_cf32(b.data(), 1646, 1.0f, freq, &ph, hint), sigOk);
        double s4 = std::fabs(std::sin(4.0 * freq * kTwoPi));
        double own = hint == 1 && slot() > 0 ? 0x1p-22 + 257 * 0x1p-23 / s4 : 1e-6;
        // The second call starts from the stored float phase: at most half a float step off.
        EXPECT_LE(maxError(b.data(), 1646, 1.0f, freq, start, 1646), own + 2.4e-7) << "hint " << hint;
    }
    // The 16-bit tone over calls across its block boundaries, each writing no further than len.
    for (float f : {0.0123f, 0.3f}) {
        float phase = 1.0f;
        std::vector<cs16> all;
        for (int32_t len : {1, 7, 1024, 1030, 2048, 9, 8, 3000}) {
            std::vector<cs16> y(len + 1, cs16{555, 555});
            ASSERT_EQ(sigTone_cs16(y.data(), len, 3276, f, &phase, 1), sigOk);
            EXPECT_EQ(y[len].re, 555) << "nothing beyond len " << len;
            all.insert(all.end(), y.begin(), y.end() - 1);
        }
        // The handed-back phase is a float: a few 1e-7 rad of drift per call, far below a unit.
        EXPECT_LE(maxError(all.data(), int64_t(all.size()), 3276, f, 1.0f), bound16(3276, f, 1)) << f;
    }
}

INSTANTIATE_TEST_SUITE_P(AllSlots, ToneSlots, ::testing::Range(0, vtest::kSlots));

}  // namespace
