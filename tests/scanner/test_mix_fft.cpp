#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "mix_fft.h"
#include "scratch_pool.h"
#include "slots.h"

namespace {

std::vector<std::complex<double>> dft(const std::vector<cf32>& x)
{
    const size_t n = x.size();
    std::vector<std::complex<double>> out(n);
    for (size_t f = 0; f < n; ++f)
        for (size_t k = 0; k < n; ++k)
            out[f] += std::complex<double>(x[k].re, x[k].im) * std::polar(1.0, -2 * M_PI * double(f * k % n) / double(n));
    return out;
}

class MixFftSlots : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { ScrPool::init(); }
};

TEST_P(MixFftSlots, MatchesADoublePrecisionDft)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    testing_slots::SlotScope slot(GetParam());
    std::mt19937 rng(7);
    std::normal_distribution<float> g;
    for (int n : {384, 48}) {
        MixFft fft(n);
        ASSERT_EQ(fft.size(), n);
        std::vector<cf32> x(static_cast<size_t>(n));
        for (auto& v : x)
            v = cf32{g(rng), g(rng)};
        auto ref = dft(x);
        fft.fwd(x.data());
        double err = 0, norm = 0;
        for (int f = 0; f < n; ++f) {
            err = std::max(err, std::abs(std::complex<double>(x[size_t(f)].re, x[size_t(f)].im) - ref[size_t(f)]));
            norm = std::max(norm, std::abs(ref[size_t(f)]));
        }
        EXPECT_LT(err / norm, 1e-5) << n;
    }
}

TEST_P(MixFftSlots, ImpulseAndToneLandWhereExpected)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    testing_slots::SlotScope slot(GetParam());
    MixFft fft(48);
    fft.config(384);
    EXPECT_EQ(fft.pow2(), 128);
    EXPECT_EQ(fft.radix(), 3);
    std::vector<cf32> x(384, cf32{0, 0});
    x[0] = cf32{1, 0};
    fft.fwd(x.data());
    for (const cf32& v : x) {
        ASSERT_NEAR(v.re, 1.0f, 1e-6f);
        ASSERT_NEAR(v.im, 0.0f, 1e-6f);
    }
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
