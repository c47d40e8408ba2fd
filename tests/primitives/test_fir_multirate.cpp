// Multi-rate filtering on every slot against the double-precision polyphase reference: random
// filters and phases across the short and long paths, in one call and split, in place, the
// decoder's front-end case, reads and writes bounded by the caller's arrays, checks, failures.
#include <gtest/gtest.h>

#include <iterator>
#include <vector>

#include "core/memfuncs.h"
#include "fir_test_support.h"
#include "slots.h"

namespace {

using firtest::MrRecord;

struct Case {
    std::vector<cf32> h, history;
    int U, pu, D, pd, n;
};

Case randomCase(std::mt19937& rng, int maxTaps = 100, int maxFactor = 6)
{
    auto uniform = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    Case c;
    const int T = uniform(1, maxTaps);
    c.U = uniform(1, maxFactor);
    c.D = uniform(1, maxFactor);
    c.pu = uniform(0, c.U - 1);
    c.pd = uniform(0, c.D - 1);
    c.n = (T + c.U - 1) / c.U;
    c.h = firtest::randomSignal(rng, T);
    c.history = firtest::randomSignal(rng, c.n);
    return c;
}

class FirMrSlots : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { SIG_SKIP_UNLESS_SLOT_RUNS(GetParam()); }
    int slot() const { return GetParam(); }
    testing_slots::SlotScope scope_{GetParam()};
};

// Block counts on both sides of E input samples (short path, long path, a few cycles), in one
// call and in random pieces: both match the reference, the plain slot's to the bit (it sums
// every output the same way on every path), and leave the last n inputs as history.
TEST_P(FirMrSlots, RandomFiltersInOneCallAndSplitMatchThePolyphaseReference)
{
    std::mt19937 rng(100 + slot());
    for (int trial = 0; trial < 300; ++trial) {
        const Case c = randomCase(rng);
        MrRecord whole(c.h, c.U, c.pu, c.D, c.pd, c.history.data());
        MrRecord split(c.h, c.U, c.pu, c.D, c.pd, c.history.data());
        ASSERT_EQ(whole.status(), sigOk);
        const int blocks = std::uniform_int_distribution<int>(1, 3 * whole.state()->dlyExt / c.D + 40)(rng);
        const int64_t outLen = int64_t(blocks) * c.U;
        const std::vector<cf32> in = firtest::randomSignal(rng, size_t(blocks) * c.D);
        std::vector<cf32> one(outLen + 1, cf32{-7, -7}), parts(outLen);
        SCOPED_TRACE(::testing::Message() << "taps " << c.h.size() << " U " << c.U << " pu " << c.pu
                                          << " D " << c.D << " pd " << c.pd << " blocks " << blocks);
        ASSERT_EQ(sigFir_cf32(in.data(), one.data(), blocks, whole.state()), sigOk);
        for (int done = 0, b; done < blocks; done += b) {
            b = std::min(blocks - done, std::uniform_int_distribution<int>(1, blocks / 2 + 1)(rng));
            ASSERT_EQ(sigFir_cf32(in.data() + size_t(done) * c.D, parts.data() + size_t(done) * c.U, b,
                                  split.state()), sigOk);
        }
        const std::vector<cf32> signal = firtest::joined(c.history, in.data(), in.size());
        const auto ref = firtest::polyphase(c.h, c.U, c.pu, c.D, c.pd, signal, c.n, outLen);
        firtest::expectNear(ref, one.data(), outLen, c.n, "one call");
        firtest::expectNear(ref, parts.data(), outLen, c.n, "split calls");
        EXPECT_EQ(one.back().re, -7.0f) << "wrote past the output";
        EXPECT_TRUE(slot() != 0 || std::memcmp(one.data(), parts.data(), outLen * sizeof(cf32)) == 0);
        for (int k = 0; k < c.n; ++k)
            ASSERT_TRUE(whole.state()->dlyLine[k].re == signal[signal.size() - c.n + k].re &&
                        split.state()->dlyLine[k].re == signal[signal.size() - c.n + k].re);
        ASSERT_TRUE(whole.canaryIntact());
    }
}

TEST_P(FirMrSlots, InPlaceEqualsOutOfPlace)
{
    std::mt19937 rng(300 + slot());
    struct Shape { int T, U, D, blocks; };
    // U > D (temporary copy), U <= D within one chunk and across several, and U beyond the
    // plain 4096-output chunk (which would give zero blocks a chunk).
    for (const Shape s : {Shape{21, 3, 2, 700}, Shape{48, 1, 2, 1646}, Shape{48, 1, 2, 9000},
                          Shape{30, 2, 5, 5000}, Shape{3, 5000, 5000, 3}, Shape{64, 4, 4, 3000}}) {
        SCOPED_TRACE(::testing::Message() << "taps " << s.T << " U " << s.U << " D " << s.D);
        const std::vector<cf32> h = firtest::randomSignal(rng, s.T);
        const int n = (s.T + s.U - 1) / s.U;
        const std::vector<cf32> hist = firtest::randomSignal(rng, n);
        const size_t inLen = size_t(s.blocks) * s.D, outLen = size_t(s.blocks) * s.U;
        const std::vector<cf32> in = firtest::randomSignal(rng, inLen);
        MrRecord a(h, s.U, 0, s.D, s.D - 1, hist.data()), b(h, s.U, 0, s.D, s.D - 1, hist.data());
        std::vector<cf32> out(outLen), inout(std::max(inLen, outLen));
        std::copy(in.begin(), in.end(), inout.begin());
        ASSERT_EQ(sigFir_cf32(in.data(), out.data(), s.blocks, a.state()), sigOk);
        ASSERT_EQ(sigFir_cf32(inout.data(), inout.data(), s.blocks, b.state()), sigOk);
        const auto ref = firtest::polyphase(h, s.U, 0, s.D, s.D - 1, firtest::joined(hist, in.data(), inLen),
                                            n, int64_t(outLen));
        firtest::expectNear(ref, inout.data(), int64_t(outLen), n, "in place");
        // The same calls, hence the same bits, unless in place runs in chunks on a vector slot.
        const bool sameCalls = s.U > s.D || outLen <= 4096 || slot() == 0;
        EXPECT_TRUE(!sameCalls || std::memcmp(out.data(), inout.data(), outLen * sizeof(cf32)) == 0);
        for (int k = 0; k < n; ++k)
            ASSERT_EQ(a.state()->dlyLine[k].re, b.state()->dlyLine[k].re);
    }
}

// The decoder's front end: 48 taps, up 1, down 2; per frame the history is loaded and 3292
// samples become 1646 outputs (head 24 from the delay line, 1616 from the input, tail 6).
TEST_P(FirMrSlots, DecoderFrontEndContinuesFromTheLoadedHistory)
{
    std::mt19937 rng(400 + slot());
    std::vector<cf32> h(48);
    for (int k = 0; k < 48; ++k)  // real low-pass taps, as the decoder interleaves them
        h[k] = cf32{float(std::sin(0.3 * (k - 23.5)) / (k - 23.5)), 0.0f};
    MrRecord rec(h, 1, 0, 2, 0, nullptr);
    ASSERT_EQ(rec.status(), sigOk);
    const std::vector<cf32> stream = firtest::randomSignal(rng, 48 + 3 * 3292);
    for (int frame = 0; frame < 3; ++frame) {
        const cf32* frameStart = stream.data() + 48 + size_t(frame) * 3292;
        const std::vector<cf32> dly(std::make_reverse_iterator(frameStart),
                                    std::make_reverse_iterator(frameStart - 48));
        ASSERT_EQ(sigFirSetDelay_cf32(rec.state(), dly.data()), sigOk);
        std::vector<cf32> out(1646 + 1, cf32{9, 9});
        ASSERT_EQ(sigFir_cf32(frameStart, out.data(), 1646, rec.state()), sigOk);
        const auto ref = firtest::polyphase(h, 1, 0, 2, 0, {frameStart - 48, frameStart + 3292}, 48, 1646);
        firtest::expectNear(ref, out.data(), 1646, 48, "decoder frame");
        EXPECT_EQ(out[1646].re, 9.0f);
    }
}

// Checks in order (the length before the tag); a block count whose sample counts exceed 32 bits
// is -9 before anything is read; a failed temporary copy leaves output and history alone.
TEST_P(FirMrSlots, ChecksInOrderAndFailuresLeaveOutputAndHistoryUntouched)
{
    std::mt19937 rng(500);
    const std::vector<cf32> h = firtest::randomSignal(rng, 9), hist = firtest::randomSignal(rng, 3);
    MrRecord rec(h, 3, 0, 2, 1, hist.data());  // U > D: in place needs a copy
    sigFirMrState_cf32* st = rec.state();
    std::vector<cf32> inout = firtest::randomSignal(rng, 300);
    const std::vector<cf32> before = inout;
    cf32* x = inout.data();
    EXPECT_EQ(sigFir_cf32(nullptr, nullptr, 0, nullptr), sigErrNull);
    EXPECT_EQ(sigFir_cf32(nullptr, x, 0, st), sigErrNull);
    EXPECT_EQ(sigFir_cf32(x, nullptr, 0, st), sigErrNull);
    const uint32_t tag = st->tag;
    st->tag = 0;
    EXPECT_EQ(sigFir_cf32(x, x + 100, 0, st), sigErrLength);
    EXPECT_EQ(sigFir_cf32(x, x + 100, -1, st), sigErrLength);
    EXPECT_EQ(sigFir_cf32(x, x + 100, 4, st), sigErrTag);
    EXPECT_EQ(sigFir_cf32(x, x, 4, st), sigErrTag);
    st->tag = tag;
    EXPECT_EQ(sigFir_cf32(x, x + 1, INT32_MAX / 2 + 1, st), sigErrMemory);
    {
        sigMemFuncTable saved = sigMemFuncs;
        sigMemFuncs.alloc = [](size_t) -> void* { return nullptr; };
        EXPECT_EQ(sigFir_cf32(x, x, 100, st), sigErrMemory);
        sigMemFuncs = saved;
    }
    EXPECT_EQ(std::memcmp(inout.data(), before.data(), before.size() * sizeof(cf32)), 0);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(st->dlyLine[k].re, hist[2 - k].re);
}

// Inputs that start right after and end right before inaccessible pages, outputs likewise: no
// path reads before or past the caller's input or writes past its output.
TEST_P(FirMrSlots, ReadsAndWritesStayWithinTheCallersArrays)
{
    std::mt19937 rng(600 + slot());
    for (int trial = 0; trial < 60; ++trial) {
        const Case c = randomCase(rng, 70, 5);
        const int blocks = std::uniform_int_distribution<int>(1, 500)(rng);
        const size_t inLen = size_t(blocks) * c.D, outLen = size_t(blocks) * c.U;
        const std::vector<cf32> in = firtest::randomSignal(rng, inLen);
        std::vector<cf32> expected(outLen);
        MrRecord ref(c.h, c.U, c.pu, c.D, c.pd, c.history.data());
        ASSERT_EQ(sigFir_cf32(in.data(), expected.data(), blocks, ref.state()), sigOk);
        firtest::GuardedBlock inBlock(inLen * sizeof(cf32)), outBlock(outLen * sizeof(cf32));
        for (bool atEnd : {false, true}) {
            MrRecord rec(c.h, c.U, c.pu, c.D, c.pd, c.history.data());
            cf32* src = atEnd ? inBlock.back() : inBlock.front();
            cf32* dst = atEnd ? outBlock.back() : outBlock.front();
            std::copy(in.begin(), in.end(), src);
            ASSERT_EQ(sigFir_cf32(src, dst, blocks, rec.state()), sigOk);
            ASSERT_EQ(std::memcmp(dst, expected.data(), outLen * sizeof(cf32)), 0);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Slots, FirMrSlots, ::testing::Range(0, 7));

}  // namespace
