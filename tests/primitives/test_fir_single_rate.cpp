// Single-rate filtering through a test-built 'FI02' record on every slot, in the direct form and
// in FFT mode (FFT lengths below twice the taps too): one call, random pieces and in place against
// the double reference, reads and writes within the caller's arrays, the history left; the
// transform's failure; the spectrum multiply's checks.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "fir_test_support.h"

#define MUL_DECLARE(ns) \
    namespace sig::ns { sigStatus sigkMulInPlace_cf32(const cf32*, cf32*, int32_t); }
MUL_DECLARE(s0) MUL_DECLARE(s1) MUL_DECLARE(s2) MUL_DECLARE(s3)
MUL_DECLARE(s4) MUL_DECLARE(s5) MUL_DECLARE(s6)
#undef MUL_DECLARE

namespace {

using firtest::SingleRateRecord;

using FirSingleRateSlots = firtest::EverySlot;

// One filter of T random taps (order < 0: direct form only) over len samples. The one call reads
// an input right after and right before an inaccessible page and writes to the other end, so no
// window reads outside the caller's input (an FFT shorter than twice the taps takes every block's
// history from the record) and no output lands outside. In place runs the chunks (4096, or 4224
// on slots 5 and 6) with more than 255 samples after them in FFT mode, the rest in the direct
// form. Every way leaves the last T samples of history and input, oldest first.
void expectFilters(std::mt19937& rng, int T, int order, int len)
{
    SCOPED_TRACE(::testing::Message() << "taps " << T << " order " << order << " len " << len);
    const std::vector<cf32> h = firtest::randomSignal(rng, T), hist = firtest::randomSignal(rng, T);
    const std::vector<cf32> in = firtest::randomSignal(rng, len);
    const auto ref = firtest::singleRate(h, hist, in.data(), len);
    const double floor = order < 0 ? 0 : firtest::fftFloor(h, order);
    const std::vector<cf32> all = firtest::joined(hist, in.data(), len);
    auto expectHistory = [&](SingleRateRecord& rec) {
        EXPECT_EQ(std::memcmp(rec.line().data(), all.data() + all.size() - T, T * sizeof(cf32)), 0);
        EXPECT_EQ(rec.state()->dlyOffset, 0);
    };
    firtest::GuardedBlock inBlock(len * sizeof(cf32)), outBlock(len * sizeof(cf32));
    for (bool atEnd : {false, true}) {
        cf32* src = atEnd ? inBlock.back() : inBlock.front();
        cf32* dst = atEnd ? outBlock.front() : outBlock.back();
        std::copy(in.begin(), in.end(), src);
        std::fill(dst, dst + len, cf32{5, 5});
        SingleRateRecord rec(h, order, hist.data());
        ASSERT_EQ(sigFir_cf32(src, dst, len, rec.state()), sigOk);
        firtest::expectNear(ref, dst, len, T, atEnd ? "input at a page's end" : "one call", floor);
        expectHistory(rec);
    }
    SingleRateRecord split(h, order, hist.data()), inPlace(h, order, hist.data());
    std::vector<cf32> b(len), c(in);
    for (int done = 0, n; done < len; done += n) {
        n = std::min(len - done, std::uniform_int_distribution<int>(1, 700)(rng));
        ASSERT_EQ(sigFir_cf32(in.data() + done, b.data() + done, n, split.state()), sigOk);
    }
    ASSERT_EQ(sigFir_cf32(c.data(), c.data(), len, inPlace.state()), sigOk);
    firtest::expectNear(ref, b.data(), len, T, "split calls", floor);
    firtest::expectNear(ref, c.data(), len, T, "in place", floor);
    expectHistory(split);
    expectHistory(inPlace);
}

TEST_P(FirSingleRateSlots, DirectFormAndFftModeMatchTheReference)
{
    std::mt19937 rng(700 + slot());
    // The tap counts and lengths the block kernels special-case; without taps, zeros throughout.
    std::vector<int> lengths(40);
    std::iota(lengths.begin(), lengths.end(), 1);
    lengths.insert(lengths.end(), {100, 257, 700});
    for (int T : {0, 1, 2, 3, 4, 5, 8, 10, 31})
        for (int len : lengths)
            expectFilters(rng, T, -1, len);
    // FFT lengths from exactly the tap count to many times it; 100 taps in 128 points leave B = 29
    // new outputs a block, fewer than the T - 1 = 99 history samples a block needs.
    for (auto [T, order] :
         {std::pair{1, 8}, {5, 8}, {33, 9}, {100, 7}, {120, 7}, {64, 6}, {100, 12}, {17, 11}}) {
        const int B = (1 << order) - T + 1;
        for (int len : {B, B + 1, 256, 257, 3 * B, 5 * B + 7, 1000, 4099})
            expectFilters(rng, T, order, len);
    }
    // Random filters; the first, 5000 samples, is one in-place chunk of each kind.
    for (int trial = 0; trial < 40; ++trial)
        expectFilters(rng, std::uniform_int_distribution<int>(1, 64)(rng), trial % 2 ? -1 : 9,
                      trial == 0 ? 5000 : std::uniform_int_distribution<int>(1, 9000)(rng));
}

// No work buffer in the record and none to allocate: the transform's -9 comes back and the
// history is the old one; with memory the record filters, allocating per call.
TEST_P(FirSingleRateSlots, FftModeTransformFailureIsReturnedAndKeepsTheHistory)
{
    std::mt19937 rng(1300 + slot());
    const int T = 30, len = 5000;
    const std::vector<cf32> h = firtest::randomSignal(rng, T), hist = firtest::randomSignal(rng, T);
    const std::vector<cf32> in = firtest::randomSignal(rng, len);
    SingleRateRecord rec(h, 13, hist.data());
    ASSERT_NE(rec.state()->fftWork, nullptr) << "order 13 needs a work buffer";
    rec.state()->fftWork = nullptr;
    const std::vector<cf32> before = rec.line();
    std::vector<cf32> out(len);
    {
        fft_test::AllocatorSwap failing(true);
        EXPECT_EQ(sigFir_cf32(in.data(), out.data(), len, rec.state()), sigErrMemory);
    }
    EXPECT_EQ(std::memcmp(rec.line().data(), before.data(), T * sizeof(cf32)), 0);
    ASSERT_EQ(sigFir_cf32(in.data(), out.data(), len, rec.state()), sigOk);
    firtest::expectNear(firtest::singleRate(h, hist, in.data(), len), out.data(), len, T, "allocating",
                        firtest::fftFloor(h, 13));
}

// The spectrum multiply's checks; its products are the raw kernel's, compared bit for bit with
// the slot's model at every length and alignment in the vector tests.
TEST_P(FirSingleRateSlots, SpectrumMultiplyChecksItsArguments)
{
    constexpr decltype(&sig::s0::sigkMulInPlace_cf32) kMul[7] = FFT_TEST_PER_SLOT(sigkMulInPlace_cf32);
    const auto mul = kMul[slot()];
    std::vector<cf32> a(9, cf32{1, 1}), b(9, cf32{2, 2});
    EXPECT_EQ(mul(nullptr, nullptr, 0), sigErrNull);
    EXPECT_EQ(mul(a.data(), nullptr, 5), sigErrNull);
    EXPECT_EQ(mul(a.data(), b.data(), 0), sigErrLength);
    EXPECT_EQ(b[0].re, 2.0f);
    ASSERT_EQ(mul(a.data(), b.data(), 9), sigOk);
    EXPECT_TRUE(b[8].re == 0.0f && b[8].im == 4.0f);
}

INSTANTIATE_TEST_SUITE_P(Slots, FirSingleRateSlots, ::testing::Range(0, 7));

}  // namespace
