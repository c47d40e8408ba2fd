// Single-rate filtering through a test-built 'FI02' record on every slot: the direct form
// against the double reference over the tap counts and alignments the block kernels
// special-case, split calls, in place and the history left; FFT-mode block convolution equal to
// the direct form in outputs and history (FFT lengths below twice the taps too); reads within
// the caller's input; failures; the spectrum multiply.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "core/memfuncs.h"
#include "fir_test_support.h"
#include "slots.h"

#define MUL_DECLARE(ns) \
    namespace sig::ns { sigStatus sigkMulInPlace_cf32(const cf32*, cf32*, int32_t); }
MUL_DECLARE(s0) MUL_DECLARE(s1) MUL_DECLARE(s2) MUL_DECLARE(s3)
MUL_DECLARE(s4) MUL_DECLARE(s5) MUL_DECLARE(s6)
#undef MUL_DECLARE

namespace {

using firtest::SingleRateRecord;

class FirSingleRateSlots : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { SIG_SKIP_UNLESS_SLOT_RUNS(GetParam()); }
    int slot() const { return GetParam(); }
    testing_slots::SlotScope scope_{GetParam()};
};

// Without taps the direct form writes zeros throughout, on the vector slots too.
TEST_P(FirSingleRateSlots, NoTapsGiveZeros)
{
    SingleRateRecord rec({}, -1);
    std::vector<cf32> in(300, cf32{1, 1}), out(300, cf32{5, 5});
    ASSERT_EQ(sigFir_cf32(in.data(), out.data(), 300, rec.state()), sigOk);
    for (const cf32& v : out)
        ASSERT_TRUE(v.re == 0.0f && v.im == 0.0f);
}

// One call, random pieces and in place all match the reference and leave the last T samples of
// history and input, oldest first; in the direct form and in FFT mode, where in place runs the
// chunks (4096, or 4224 on slots 5 and 6) with more than 255 samples after them in FFT mode and
// the rest in the direct form (trial 0: 5000 samples, one chunk of each).
TEST_P(FirSingleRateSlots, SplitCallsInPlaceAndHistoryAgree)
{
    std::mt19937 rng(800 + slot());
    for (int trial = 0; trial < 40; ++trial) {
        const int T = std::uniform_int_distribution<int>(1, 64)(rng), order = trial % 2 ? -1 : 9;
        const int len = trial == 0 ? 5000 : std::uniform_int_distribution<int>(1, 9000)(rng);
        const std::vector<cf32> h = firtest::randomSignal(rng, T), hist = firtest::randomSignal(rng, T);
        const std::vector<cf32> in = firtest::randomSignal(rng, len);
        const auto ref = firtest::singleRate(h, hist, in.data(), len);
        const double floor = order < 0 ? 0 : firtest::fftFloor(h, order);
        SCOPED_TRACE(::testing::Message() << "taps " << T << " len " << len << " order " << order);
        SingleRateRecord whole(h, order, hist.data()), split(h, order, hist.data());
        SingleRateRecord inPlace(h, order, hist.data());
        std::vector<cf32> a(len), b(len), c(in);
        ASSERT_EQ(sigFir_cf32(in.data(), a.data(), len, whole.state()), sigOk);
        for (int done = 0, n; done < len; done += n) {
            n = std::min(len - done, std::uniform_int_distribution<int>(1, 700)(rng));
            ASSERT_EQ(sigFir_cf32(in.data() + done, b.data() + done, n, split.state()), sigOk);
        }
        ASSERT_EQ(sigFir_cf32(c.data(), c.data(), len, inPlace.state()), sigOk);
        firtest::expectNear(ref, a.data(), len, T, "one call", floor);
        firtest::expectNear(ref, b.data(), len, T, "split calls", floor);
        firtest::expectNear(ref, c.data(), len, T, "in place", floor);
        const std::vector<cf32> all = firtest::joined(hist, in.data(), len);
        for (auto* rec : {&whole, &split, &inPlace})
            ASSERT_EQ(std::memcmp(rec->line().data(), &all[all.size() - T], T * sizeof(cf32)), 0);
    }
}

// FFT lengths from exactly the tap count to many times it; 100 taps in 128 points leaves B = 29
// new outputs a block, fewer than the T - 1 = 99 history samples a block needs. The next call
// continues from the history either mode leaves.
TEST_P(FirSingleRateSlots, FftModeEqualsDirectFormInOutputsAndHistory)
{
    std::mt19937 rng(1000 + slot());
    for (auto [T, order] : {std::pair{1, 8}, {5, 8}, {33, 9}, {100, 7}, {64, 6}, {100, 12}, {17, 11}}) {
        const int B = (1 << order) - T + 1;
        const std::vector<cf32> h = firtest::randomSignal(rng, T);
        const double floor = firtest::fftFloor(h, order);
        for (int len : {B, B + 1, 256, 257, 3 * B, 5 * B + 7, 1000, 4099}) {
            if (len < 256)  // shorter inputs take the direct form by design
                continue;
            SCOPED_TRACE(::testing::Message() << "taps " << T << " order " << order << " len " << len);
            const std::vector<cf32> hist = firtest::randomSignal(rng, T);
            const std::vector<cf32> in = firtest::randomSignal(rng, len);
            SingleRateRecord fft(h, order, hist.data()), direct(h, -1, hist.data());
            std::vector<cf32> a(len + 1, cf32{3, 3}), b(len);
            ASSERT_EQ(sigFir_cf32(in.data(), a.data(), len, fft.state()), sigOk);
            ASSERT_EQ(sigFir_cf32(in.data(), b.data(), len, direct.state()), sigOk);
            const auto ref = firtest::singleRate(h, hist, in.data(), len);
            firtest::expectNear(ref, a.data(), len, T, "FFT mode", floor);
            EXPECT_EQ(a[len].re, 3.0f);
            ASSERT_EQ(std::memcmp(fft.line().data(), direct.line().data(), T * sizeof(cf32)), 0);
            EXPECT_EQ(fft.state()->dlyOffset, 0);
            const std::vector<cf32> more = firtest::randomSignal(rng, 300);
            std::vector<cf32> c(300);
            ASSERT_EQ(sigFir_cf32(more.data(), c.data(), 300, fft.state()), sigOk);
            const std::vector<cf32> recent(in.rbegin(), in.rbegin() + T);  // len >= 256 >= T
            firtest::expectNear(firtest::singleRate(h, recent, more.data(), 300), c.data(), 300, T,
                                "FFT mode, second call", floor);
        }
    }
}

// Over the tap counts and lengths the block kernels special-case, inputs right after and right
// before inaccessible pages, outputs at the other end (so at every 8-byte step of alignment): no
// window reads past the input's end or writes outside the output, and an FFT shorter than twice
// the taps takes every block's history from the record, never from before the caller's input.
TEST_P(FirSingleRateSlots, DirectFormAndShortFftStayWithinTheCallersArrays)
{
    std::mt19937 rng(700 + slot());
    std::vector<int> lengths(40);
    std::iota(lengths.begin(), lengths.end(), 1);
    lengths.insert(lengths.end(), {100, 257, 700});
    for (auto [T, order] : {std::pair{1, -1}, {2, -1}, {3, -1}, {4, -1}, {5, -1}, {8, -1}, {10, -1},
                            {31, -1}, {120, 7}})
        for (int len : lengths) {
            SCOPED_TRACE(::testing::Message() << "taps " << T << " order " << order << " len " << len);
            const std::vector<cf32> h = firtest::randomSignal(rng, T);
            const std::vector<cf32> hist = firtest::randomSignal(rng, T);
            const std::vector<cf32> in = firtest::randomSignal(rng, len);
            const auto ref = firtest::singleRate(h, hist, in.data(), len);
            const double floor = order < 0 ? 0 : firtest::fftFloor(h, order);
            firtest::GuardedBlock inBlock(len * sizeof(cf32)), outBlock(len * sizeof(cf32));
            for (bool atEnd : {false, true}) {
                cf32* src = atEnd ? inBlock.back() : inBlock.front();
                cf32* dst = atEnd ? outBlock.front() : outBlock.back();
                std::copy(in.begin(), in.end(), src);
                SingleRateRecord rec(h, order, hist.data());
                ASSERT_EQ(sigFir_cf32(src, dst, len, rec.state()), sigOk);
                firtest::expectNear(ref, dst, len, T, "guarded", floor);
            }
        }
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
    sigMemFuncTable saved = sigMemFuncs;
    sigMemFuncs.alloc = [](size_t) -> void* { return nullptr; };
    const sigStatus st = sigFir_cf32(in.data(), out.data(), len, rec.state());
    sigMemFuncs = saved;
    EXPECT_EQ(st, sigErrMemory);
    EXPECT_EQ(std::memcmp(rec.line().data(), before.data(), T * sizeof(cf32)), 0);
    ASSERT_EQ(sigFir_cf32(in.data(), out.data(), len, rec.state()), sigOk);
    firtest::expectNear(firtest::singleRate(h, hist, in.data(), len), out.data(), len, T, "allocating",
                        firtest::fftFloor(h, 13));
}

// The spectrum multiply: codes, lengths around the vector steps, both alignments, and a source
// one element ahead of the destination (the values of an element-by-element loop).
TEST_P(FirSingleRateSlots, SpectrumMultiplyChecksAndMultiplies)
{
    constexpr decltype(&sig::s0::sigkMulInPlace_cf32) kMul[7] = FFT_TEST_PER_SLOT(sigkMulInPlace_cf32);
    const auto mul = kMul[slot()];
    std::vector<cf32> a(64, cf32{1, 1}), b(64, cf32{2, 2});
    EXPECT_EQ(mul(nullptr, nullptr, 0), sigErrNull);
    EXPECT_EQ(mul(a.data(), nullptr, 5), sigErrNull);
    EXPECT_EQ(mul(a.data(), b.data(), 0), sigErrLength);
    EXPECT_EQ(b[0].re, 2.0f);
    std::mt19937 rng(1400 + slot());
    for (int len : {1, 7, 8, 9, 16, 17, 23, 24})
        for (int off : {0, 1}) {
            const std::vector<cf32> x = firtest::randomSignal(rng, 40);
            const std::vector<cf32> y = firtest::randomSignal(rng, 40);
            for (bool overlap : {false, true}) {
                std::vector<cf32> d(y);
                const cf32* src = overlap ? d.data() + off + 1 : x.data();
                const std::vector<cf32> s(src, src + len);  // values before any write
                ASSERT_EQ(mul(src, d.data() + off, len), sigOk);
                for (int i = 0; i < len; ++i) {
                    const firtest::cd want =
                        firtest::cd(y[off + i].re, y[off + i].im) * firtest::cd(s[i].re, s[i].im);
                    ASSERT_NEAR(d[off + i].re, want.real(), 1e-6) << len << " " << i;
                    ASSERT_NEAR(d[off + i].im, want.imag(), 1e-6) << len << " " << i;
                }
            }
        }
}

INSTANTIATE_TEST_SUITE_P(Slots, FirSingleRateSlots, ::testing::Range(0, 7));

}  // namespace
