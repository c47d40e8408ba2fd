// Complex 16-bit tone of every slot against a long-double cos/sin reference, continuity across
// calls, block mode boundaries and the order of the argument tests.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "sigprim.h"
#include "slots.h"

namespace {

constexpr long double kTwoPi = 6.283185307179586L;

// Largest distance in 16-bit units from magnitude * exp(j (phase + w n)).
double worstError(const std::vector<cs16>& y, int32_t mag, float relFreq, float phase, int64_t n0 = 0)
{
    const long double w = kTwoPi * relFreq;
    double worst = 0;
    for (size_t n = 0; n < y.size(); ++n) {
        const long double a = phase + w * (long double)(n0 + int64_t(n));
        const long double re = std::clamp<long double>(mag * cosl(a), -32768, 32767);
        const long double im = std::clamp<long double>(mag * sinl(a), -32768, 32767);
        worst = std::max({worst, double(fabsl(y[n].re - re)), double(fabsl(y[n].im - im))});
    }
    return worst;
}

// Error bounds in 16-bit units, 0.5 being the rounding itself. The double recurrence stays
// within one unit. The blocks of the vector slots run y[n] = k4 y[n-4] - y[n-8] in single
// precision, whose error grows like 1 / |sin 4w| (k4 = 2 cos 4w as a float): measured worst
// 9.4e-6 * mag / |sin 4w| over 1024-sample blocks, and at most 3.2e-3 * mag near the
// frequencies where sin 4w vanishes (0, 1/8, 1/4, ...).
double bound(int32_t mag, float relFreq, int32_t hint)
{
    if (sigCpuSlot == 0 || hint != 1)
        return 1.0;
    const double s = std::fabs(std::sin(4 * 6.283185307179586 * relFreq));
    return 0.5 + mag * std::min(1.5e-5 / std::max(s, 1e-9), 4e-3);
}

class Tone16Slots : public ::testing::TestWithParam<int> {};

TEST_P(Tone16Slots, MatchesCosAndSinWithinTheStatedBound)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    testing_slots::SlotScope slot(GetParam());
    std::mt19937 rng(5 + GetParam());
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
        EXPECT_LE(worstError(y, mag, f, phase0), bound(mag, f, hint))
            << "mag " << mag << " f " << f << " len " << len << " hint " << hint;
        const long double end = fmodl(phase0 + kTwoPi * f * len, kTwoPi);
        EXPECT_NEAR(double(phase), double(end), 1e-5);
    }
}

TEST_P(Tone16Slots, ConsecutiveCallsContinueOneTone)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    testing_slots::SlotScope slot(GetParam());
    const float f = 0.0123f;
    float phase = 1.0f;
    std::vector<cs16> all;
    for (int32_t len : {1, 7, 1024, 1030, 3000, 8}) {
        std::vector<cs16> y(len);
        ASSERT_EQ(sigTone_cs16(y.data(), len, 3276, f, &phase, 1), sigOk);
        all.insert(all.end(), y.begin(), y.end());
    }
    // The handed-back phase is a float: a few 1e-7 rad of drift per call, far below a unit.
    EXPECT_LE(worstError(all, 3276, f, 1.0f), bound(3276, f, 1));
}

TEST_P(Tone16Slots, BlockBoundariesAndSpecialArguments)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    testing_slots::SlotScope slot(GetParam());
    for (int32_t len : {1024, 1030, 2048, 9, 8}) {
        std::vector<cs16> y(len + 1, cs16{555, 555});
        float phase = 0.5f;
        ASSERT_EQ(sigTone_cs16(y.data(), len, 3276, 0.3f, &phase, 1), sigOk);
        EXPECT_EQ(y[len].re, 555) << "nothing beyond len " << len;
        y.pop_back();
        EXPECT_LE(worstError(y, 3276, 0.3f, 0.5f), bound(3276, 0.3f, 1)) << len;
    }
    // relFreq 0: a constant, and the phase stays.
    std::vector<cs16> c(50);
    float phase = 2.0f;
    ASSERT_EQ(sigTone_cs16(c.data(), 50, 1000, 0.0f, &phase, 1), sigOk);
    EXPECT_EQ(phase, 2.0f);
    for (const cs16& v : c) {
        EXPECT_EQ(v.re, int16_t(std::lrint(1000 * std::cos(2.0))));
        EXPECT_EQ(v.im, int16_t(std::lrint(1000 * std::sin(2.0))));
    }
    // len 1: one sample, the phase moves on by one step.
    cs16 one[2] = {{0, 0}, {9, 9}};
    phase = 0.0f;
    ASSERT_EQ(sigTone_cs16(one, 1, 100, 0.25f, &phase, 1), sigOk);
    EXPECT_EQ(one[0].re, 100);
    EXPECT_EQ(one[1].re, 9);
    EXPECT_FLOAT_EQ(phase, float(kTwoPi / 4));
    // The end phase rounds to 2 pi as a float: it becomes 0, so the next call still works.
    phase = 6.2831850f;
    ASSERT_EQ(sigTone_cs16(one, 1, 100, 4.3e-8f, &phase, 1), sigOk);
    EXPECT_EQ(phase, 0.0f);
}

TEST_P(Tone16Slots, ArgumentTestsInOrderWriteNothing)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    testing_slots::SlotScope slot(GetParam());
    cs16 y[4] = {{7, 7}, {7, 7}, {7, 7}, {7, 7}};
    float phase = 1.0f;
    const float twoPiF = 6.2831855f;
    EXPECT_EQ(sigTone_cs16(y, 4, 0, 2.0f, nullptr, 1), sigErrNull);
    EXPECT_EQ(sigTone_cs16(y, 4, 0, 2.0f, &phase, 1), sigErrToneMag);
    EXPECT_EQ(sigTone_cs16(y, 4, 65536, 0.1f, &phase, 1), sigErrToneMag) << "only the low 16 bits";
    EXPECT_EQ(sigTone_cs16(y, 4, 0x18000, 0.1f, &phase, 1), sigErrToneMag) << "-32768";
    EXPECT_EQ(sigTone_cs16(nullptr, 0, 100, 1.0f, &phase, 1), sigErrToneFreq);
    EXPECT_EQ(sigTone_cs16(y, 4, 100, -0.1f, &phase, 1), sigErrToneFreq);
    EXPECT_EQ(sigTone_cs16(y, 4, 100, NAN, &phase, 1), sigErrToneFreq);
    for (float bad : {twoPiF, -0.5f, float(NAN), float(INFINITY)}) {
        phase = bad;
        EXPECT_EQ(sigTone_cs16(nullptr, 0, 100, 0.1f, &phase, 1), sigErrTonePhase) << bad;
    }
    phase = 1.0f;
    EXPECT_EQ(sigTone_cs16(nullptr, 4, 100, 0.1f, &phase, 1), sigErrNull);
    EXPECT_EQ(sigTone_cs16(y, 0, 100, 0.1f, &phase, 1), sigErrLength);
    EXPECT_EQ(phase, 1.0f);
    EXPECT_EQ(y[0].re, 7);
}

INSTANTIATE_TEST_SUITE_P(EverySlot, Tone16Slots, ::testing::Range(0, 7));

}  // namespace
