// FFT-mode block convolution on every slot: the same outputs (up to rounding) and the same
// history as the direct form, for one block, one block and one sample, many blocks and a ragged
// last block, also with FFT lengths below twice the tap count; in-place chunking; failures.
#include <gtest/gtest.h>

#include <vector>

#include "core/memfuncs.h"
#include "fir_single_rate.h"
#include "fir_test_support.h"
#include "slots.h"

#define MUL_TEST_DECLARE_SLOT(ns) \
    namespace sig::ns { sigStatus sigkMulInPlace_cf32(const cf32*, cf32*, int32_t); }
MUL_TEST_DECLARE_SLOT(s0)
MUL_TEST_DECLARE_SLOT(s1)
MUL_TEST_DECLARE_SLOT(s2)
MUL_TEST_DECLARE_SLOT(s3)
MUL_TEST_DECLARE_SLOT(s4)
MUL_TEST_DECLARE_SLOT(s5)
MUL_TEST_DECLARE_SLOT(s6)
#undef MUL_TEST_DECLARE_SLOT

namespace {

using firtest::SingleRateRecord;
using MulFn = sigStatus (*)(const cf32*, cf32*, int32_t);
constexpr MulFn kMul[7] = {sig::s0::sigkMulInPlace_cf32, sig::s1::sigkMulInPlace_cf32,
                           sig::s2::sigkMulInPlace_cf32, sig::s3::sigkMulInPlace_cf32,
                           sig::s4::sigkMulInPlace_cf32, sig::s5::sigkMulInPlace_cf32,
                           sig::s6::sigkMulInPlace_cf32};

class FirFftModeSlots : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { SIG_SKIP_UNLESS_SLOT_RUNS(GetParam()); }
    int slot() const { return GetParam(); }
};

TEST_P(FirFftModeSlots, EqualsDirectFormInOutputsAndHistory)
{
    testing_slots::SlotScope scope(slot());
    std::mt19937 rng(1000 + slot());
    struct Shape { int T, order; };
    // FFT lengths from exactly the tap count to many times it; 100 taps in 128 points leaves
    // B = 29 new outputs a block, fewer than the T - 1 = 99 history samples a block needs.
    for (const Shape s : {Shape{1, 8}, Shape{5, 8}, Shape{33, 9}, Shape{100, 7}, Shape{64, 6},
                          Shape{100, 12}, Shape{17, 11}}) {
        const int T = s.T, N = 1 << s.order, B = N - T + 1;
        const std::vector<cf32> h = firtest::randomSignal(rng, T);
        for (int len : {B, B + 1, 256, 257, 3 * B, 5 * B + 7, 1000, 4099}) {
            if (len < 256)  // shorter inputs take the direct form by design
                continue;
            SCOPED_TRACE(::testing::Message() << "taps " << T << " N " << N << " len " << len);
            const std::vector<cf32> hist = firtest::randomSignal(rng, T);
            const std::vector<cf32> in = firtest::randomSignal(rng, len);
            SingleRateRecord fft(h, s.order, hist.data()), direct(h, -1, hist.data());
            ASSERT_TRUE(fft.fftReady());
            std::vector<cf32> a(len + 1, cf32{3, 3}), b(len);
            ASSERT_EQ(sigFir_cf32(in.data(), a.data(), len, fft.state()), sigOk);
            ASSERT_EQ(sigFir_cf32(in.data(), b.data(), len, direct.state()), sigOk);
            const auto ref = firtest::polyphase(h, 1, 0, 1, 0, firtest::joined(hist, in.data(), len), T, len);
            firtest::expectNear(ref, a.data(), len, T, "FFT mode", firtest::fftFloor(h, s.order));
            firtest::expectNear(ref, b.data(), len, T, "direct form");
            EXPECT_EQ(a[len].re, 3.0f);
            for (int k = 0; k < T; ++k) {
                ASSERT_EQ(fft.line()[k].re, direct.line()[k].re) << k;
                ASSERT_EQ(fft.line()[k].im, direct.line()[k].im) << k;
            }
            EXPECT_EQ(fft.state()->dlyOffset, 0);
            // The next call continues from that history either way.
            const std::vector<cf32> more = firtest::randomSignal(rng, 300);
            std::vector<cf32> c(300), d(300);
            ASSERT_EQ(sigFir_cf32(more.data(), c.data(), 300, fft.state()), sigOk);
            ASSERT_EQ(sigFir_cf32(more.data(), d.data(), 300, direct.state()), sigOk);
            std::vector<cf32> all = firtest::joined(hist, in.data(), len);
            all.insert(all.end(), more.begin(), more.end());
            const std::vector<cf32> tail(all.end() - 300 - T, all.end());
            const auto ref2 = firtest::polyphase(h, 1, 0, 1, 0, tail, T, 300);
            firtest::expectNear(ref2, c.data(), 300, T, "FFT mode, second call", firtest::fftFloor(h, s.order));
        }
    }
}

// 5000 samples in place: the first chunk (4096, or 4224 on slots 5 and 6) in FFT mode since
// more than 255 samples remain, the rest in the direct form.
TEST_P(FirFftModeSlots, InPlaceChunksMixBothModes)
{
    testing_slots::SlotScope scope(slot());
    std::mt19937 rng(1100 + slot());
    const int T = 40, len = 5000;
    const std::vector<cf32> h = firtest::randomSignal(rng, T);
    const std::vector<cf32> hist = firtest::randomSignal(rng, T);
    const std::vector<cf32> in = firtest::randomSignal(rng, len);
    SingleRateRecord inPlace(h, 9, hist.data()), apart(h, 9, hist.data());
    std::vector<cf32> io(in), out(len);
    ASSERT_EQ(sigFir_cf32(io.data(), io.data(), len, inPlace.state()), sigOk);
    ASSERT_EQ(sigFir_cf32(in.data(), out.data(), len, apart.state()), sigOk);
    const auto ref = firtest::polyphase(h, 1, 0, 1, 0, firtest::joined(hist, in.data(), len), T, len);
    firtest::expectNear(ref, io.data(), len, T, "in place", firtest::fftFloor(h, 9));
    firtest::expectNear(ref, out.data(), len, T, "out of place", firtest::fftFloor(h, 9));
    for (int k = 0; k < T; ++k)
        ASSERT_EQ(inPlace.line()[k].re, apart.line()[k].re);
}

// An FFT shorter than twice the taps, the input right after an inaccessible page: every block
// takes its history from the record, never from before the caller's input.
TEST_P(FirFftModeSlots, ShortFftNeverReadsBeforeTheInput)
{
    testing_slots::SlotScope scope(slot());
    std::mt19937 rng(1200 + slot());
    const int T = 120, len = 700;
    const std::vector<cf32> h = firtest::randomSignal(rng, T);
    const std::vector<cf32> hist = firtest::randomSignal(rng, T);
    const std::vector<cf32> in = firtest::randomSignal(rng, len);
    firtest::GuardedBlock block(len * sizeof(cf32));
    auto* src = reinterpret_cast<cf32*>(block.front());
    std::copy(in.begin(), in.end(), src);
    SingleRateRecord rec(h, 7, hist.data());  // N 128, B 9
    std::vector<cf32> out(len);
    ASSERT_EQ(sigFir_cf32(src, out.data(), len, rec.state()), sigOk);
    const auto ref = firtest::polyphase(h, 1, 0, 1, 0, firtest::joined(hist, in.data(), len), T, len);
    firtest::expectNear(ref, out.data(), len, T, "short FFT", firtest::fftFloor(h, 7));
}

// No work buffer in the record and none to allocate: the transform's -9 comes back and the
// history is the old one.
TEST_P(FirFftModeSlots, TransformFailureIsReturnedAndKeepsTheHistory)
{
    testing_slots::SlotScope scope(slot());
    std::mt19937 rng(1300 + slot());
    const int T = 30, len = 5000;
    const std::vector<cf32> h = firtest::randomSignal(rng, T);
    const std::vector<cf32> hist = firtest::randomSignal(rng, T);
    const std::vector<cf32> in = firtest::randomSignal(rng, len);
    SingleRateRecord rec(h, 13, hist.data());
    ASSERT_NE(rec.state()->fftWork, nullptr) << "order 13 needs a work buffer";
    rec.dropWorkBuffer();
    const std::vector<cf32> before = rec.line();
    std::vector<cf32> out(len);
    sigMemFuncTable saved = sigMemFuncs;
    sigMemFuncs.alloc = [](size_t) -> void* { return nullptr; };
    const sigStatus st = sigFir_cf32(in.data(), out.data(), len, rec.state());
    sigMemFuncs = saved;
    EXPECT_EQ(st, sigErrMemory);
    for (int k = 0; k < T; ++k)
        EXPECT_EQ(rec.line()[k].re, before[k].re);
    // With memory the same record filters correctly, allocating per call.
    ASSERT_EQ(sigFir_cf32(in.data(), out.data(), len, rec.state()), sigOk);
    const auto ref = firtest::polyphase(h, 1, 0, 1, 0, firtest::joined(hist, in.data(), len), T, len);
    firtest::expectNear(ref, out.data(), len, T, "allocating", firtest::fftFloor(h, 13));
}

// The spectrum multiply: codes, lengths around the vector steps, both alignments, and a source
// one element ahead of the destination (the values of an element-by-element loop).
TEST_P(FirFftModeSlots, SpectrumMultiplyChecksAndMultiplies)
{
    const MulFn mul = kMul[slot()];
    std::vector<cf32> a(64, cf32{1, 1}), b(64, cf32{2, 2});
    EXPECT_EQ(mul(nullptr, nullptr, 0), sigErrNull);
    EXPECT_EQ(mul(a.data(), nullptr, 5), sigErrNull);
    EXPECT_EQ(mul(a.data(), b.data(), 0), sigErrLength);
    EXPECT_EQ(b[0].re, 2.0f);
    std::mt19937 rng(1400 + slot());
    for (int len : {1, 7, 8, 9, 16, 17, 23, 24})
        for (int off : {0, 1}) {
            const std::vector<cf32> x = firtest::randomSignal(rng, 40), y = firtest::randomSignal(rng, 40);
            for (bool overlap : {false, true}) {
                std::vector<cf32> d(y);
                const cf32* src = overlap ? d.data() + off + 1 : x.data();
                const std::vector<cf32> s(src, src + len);  // values before any write
                ASSERT_EQ(mul(src, d.data() + off, len), sigOk);
                for (int i = 0; i < len; ++i) {
                    const firtest::cd want = firtest::cd(y[off + i].re, y[off + i].im) *
                                             firtest::cd(s[i].re, s[i].im);
                    ASSERT_NEAR(d[off + i].re, want.real(), 1e-6) << len << " " << i;
                    ASSERT_NEAR(d[off + i].im, want.imag(), 1e-6) << len << " " << i;
                }
            }
        }
}

INSTANTIATE_TEST_SUITE_P(Slots, FirFftModeSlots, ::testing::Range(0, 7));

}  // namespace
