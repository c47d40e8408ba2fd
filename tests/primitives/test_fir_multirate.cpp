// Multi-rate filtering on every slot against a double-precision polyphase reference: random
// filters and phases across the short and long paths, continuity across calls, in place, the
// decoder's front-end case, reads and writes bounded by the caller's arrays, failures.
#include <gtest/gtest.h>

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
    Case c;
    const int T = std::uniform_int_distribution<int>(1, maxTaps)(rng);
    c.U = std::uniform_int_distribution<int>(1, maxFactor)(rng);
    c.D = std::uniform_int_distribution<int>(1, maxFactor)(rng);
    c.pu = std::uniform_int_distribution<int>(0, c.U - 1)(rng);
    c.pd = std::uniform_int_distribution<int>(0, c.D - 1)(rng);
    c.n = (T + c.U - 1) / c.U;
    c.h = firtest::randomSignal(rng, T);
    c.history = firtest::randomSignal(rng, c.n);
    return c;
}

// The history as the reference reads it: oldest first (the loader takes most recent first).
std::vector<cf32> oldestFirst(const std::vector<cf32>& recentFirst)
{
    return {recentFirst.rbegin(), recentFirst.rend()};
}

class FirMrSlots : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { SIG_SKIP_UNLESS_SLOT_RUNS(GetParam()); }
    int slot() const { return GetParam(); }
};

TEST_P(FirMrSlots, RandomFiltersMatchThePolyphaseReference)
{
    testing_slots::SlotScope scope(slot());
    std::mt19937 rng(100 + slot());
    for (int trial = 0; trial < 300; ++trial) {
        const Case c = randomCase(rng);
        MrRecord rec(c.h, c.U, c.pu, c.D, c.pd, c.history.data());
        ASSERT_EQ(rec.status(), sigOk);
        const int E = rec.state()->dlyExt;
        // Block counts on both sides of E input samples: short path, long path, a few cycles.
        const int around = E / c.D;
        const int blocks = std::uniform_int_distribution<int>(1, 3 * around + 40)(rng);
        std::vector<cf32> in = firtest::randomSignal(rng, size_t(blocks) * c.D);
        std::vector<cf32> out(size_t(blocks) * c.U + 1, cf32{-7, -7});
        SCOPED_TRACE(::testing::Message() << "taps " << c.h.size() << " U " << c.U << " pu "
                                          << c.pu << " D " << c.D << " pd " << c.pd << " blocks "
                                          << blocks);
        ASSERT_EQ(sigFir_cf32(in.data(), out.data(), blocks, rec.state()), sigOk);
        std::vector<cf32> signal = oldestFirst(c.history);
        signal.insert(signal.end(), in.begin(), in.end());
        const auto ref = firtest::polyphase(c.h, c.U, c.pu, c.D, c.pd, signal, c.n,
                                            int64_t(blocks) * c.U);
        firtest::expectNear(ref, out.data(), int64_t(blocks) * c.U, c.n, "one call");
        EXPECT_EQ(out.back().re, -7.0f) << "wrote past the output";
        // The record now holds the last n inputs, oldest first.
        for (int k = 0; k < c.n; ++k)
            ASSERT_EQ(rec.state()->dlyLine[k].re, signal[signal.size() - c.n + k].re);
        ASSERT_TRUE(rec.canaryIntact());
    }
}

TEST_P(FirMrSlots, SplitCallsEqualOneCall)
{
    testing_slots::SlotScope scope(slot());
    std::mt19937 rng(200 + slot());
    for (int trial = 0; trial < 100; ++trial) {
        const Case c = randomCase(rng);
        const int blocks = std::uniform_int_distribution<int>(2, 400)(rng);
        std::vector<cf32> in = firtest::randomSignal(rng, size_t(blocks) * c.D);
        MrRecord whole(c.h, c.U, c.pu, c.D, c.pd, c.history.data());
        MrRecord split(c.h, c.U, c.pu, c.D, c.pd, c.history.data());
        std::vector<cf32> one(size_t(blocks) * c.U), parts(one.size());
        ASSERT_EQ(sigFir_cf32(in.data(), one.data(), blocks, whole.state()), sigOk);
        for (int done = 0; done < blocks;) {
            const int b = std::min(blocks - done,
                                   std::uniform_int_distribution<int>(1, blocks / 2 + 1)(rng));
            ASSERT_EQ(sigFir_cf32(in.data() + size_t(done) * c.D, parts.data() + size_t(done) * c.U,
                                  b, split.state()),
                      sigOk);
            done += b;
        }
        std::vector<cf32> signal = oldestFirst(c.history);
        signal.insert(signal.end(), in.begin(), in.end());
        const auto ref =
            firtest::polyphase(c.h, c.U, c.pu, c.D, c.pd, signal, c.n, int64_t(blocks) * c.U);
        firtest::expectNear(ref, parts.data(), int64_t(parts.size()), c.n, "split calls");
        if (slot() == 0) {  // the plain slot sums every output the same way on every path
            for (size_t i = 0; i < one.size(); ++i) {
                ASSERT_EQ(one[i].re, parts[i].re) << i;
                ASSERT_EQ(one[i].im, parts[i].im) << i;
            }
        }
        for (int k = 0; k < c.n; ++k)
            ASSERT_EQ(whole.state()->dlyLine[k].re, split.state()->dlyLine[k].re);
    }
}

TEST_P(FirMrSlots, InPlaceEqualsOutOfPlace)
{
    testing_slots::SlotScope scope(slot());
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
        std::vector<cf32> in = firtest::randomSignal(rng, inLen);
        MrRecord a(h, s.U, 0, s.D, s.D - 1, hist.data());
        MrRecord b(h, s.U, 0, s.D, s.D - 1, hist.data());
        std::vector<cf32> out(outLen);
        ASSERT_EQ(sigFir_cf32(in.data(), out.data(), s.blocks, a.state()), sigOk);
        std::vector<cf32> inout(std::max(inLen, outLen));
        std::copy(in.begin(), in.end(), inout.begin());
        ASSERT_EQ(sigFir_cf32(inout.data(), inout.data(), s.blocks, b.state()), sigOk);
        std::vector<cf32> signal = oldestFirst(hist);
        signal.insert(signal.end(), in.begin(), in.end());
        const auto ref = firtest::polyphase(h, s.U, 0, s.D, s.D - 1, signal, n, int64_t(outLen));
        firtest::expectNear(ref, inout.data(), int64_t(outLen), n, "in place");
        const bool sameCalls = s.U > s.D || outLen <= 4096 || slot() == 0;
        for (size_t i = 0; sameCalls && i < outLen; ++i) {
            ASSERT_EQ(out[i].re, inout[i].re) << i;
            ASSERT_EQ(out[i].im, inout[i].im) << i;
        }
        for (int k = 0; k < n; ++k)
            ASSERT_EQ(a.state()->dlyLine[k].re, b.state()->dlyLine[k].re);
    }
}

// The decoder's front end: 48 taps, up 1, down 2; per frame the history is loaded and 3292
// samples become 1646 outputs (head 24 from the delay line, 1616 from the input, tail 6).
TEST_P(FirMrSlots, DecoderFrontEndContinuesFromTheLoadedHistory)
{
    testing_slots::SlotScope scope(slot());
    std::mt19937 rng(400 + slot());
    std::vector<cf32> h(48);
    for (int k = 0; k < 48; ++k)  // real low-pass taps, as the decoder interleaves them
        h[k] = cf32{float(std::sin(0.3 * (k - 23.5)) / (k - 23.5)), 0.0f};
    MrRecord rec(h, 1, 0, 2, 0, nullptr);
    ASSERT_EQ(rec.status(), sigOk);
    std::vector<cf32> stream = firtest::randomSignal(rng, 48 + 3 * 3292);
    for (int frame = 0; frame < 3; ++frame) {
        // The history is the 48 samples before this frame, most recent first.
        const cf32* frameStart = stream.data() + 48 + size_t(frame) * 3292;
        std::vector<cf32> dly(48);
        for (int k = 0; k < 48; ++k)
            dly[k] = frameStart[-1 - k];
        ASSERT_EQ(sigFirSetDelay_cf32(rec.state(), dly.data()), sigOk);
        std::vector<cf32> out(1646 + 1, cf32{9, 9});
        ASSERT_EQ(sigFir_cf32(frameStart, out.data(), 1646, rec.state()), sigOk);
        std::vector<cf32> signal(frameStart - 48, frameStart + 3292);
        const auto ref = firtest::polyphase(h, 1, 0, 2, 0, signal, 48, 1646);
        firtest::expectNear(ref, out.data(), 1646, 48, "decoder frame");
        EXPECT_EQ(out[1646].re, 9.0f);
    }
}

TEST_P(FirMrSlots, ChecksComeInOrder)
{
    testing_slots::SlotScope scope(slot());
    MrRecord rec(std::vector<cf32>(5, cf32{1, 0}), 1, 0, 1, 0, nullptr);
    sigFirMrState_cf32* st = rec.state();
    std::vector<cf32> x(16), y(16);
    EXPECT_EQ(sigFir_cf32(nullptr, nullptr, 0, nullptr), sigErrNull);
    EXPECT_EQ(sigFir_cf32(nullptr, y.data(), 0, st), sigErrNull);
    EXPECT_EQ(sigFir_cf32(x.data(), nullptr, 0, st), sigErrNull);
    const uint32_t tag = st->tag;
    st->tag = 0;
    EXPECT_EQ(sigFir_cf32(x.data(), y.data(), 0, st), sigErrLength);  // length before the tag
    EXPECT_EQ(sigFir_cf32(x.data(), y.data(), -1, st), sigErrLength);
    EXPECT_EQ(sigFir_cf32(x.data(), y.data(), 4, st), sigErrTag);
    EXPECT_EQ(sigFir_cf32(x.data(), x.data(), 4, st), sigErrTag);
    st->tag = tag;
}

TEST_P(FirMrSlots, FailuresLeaveOutputAndHistoryUntouched)
{
    testing_slots::SlotScope scope(slot());
    std::mt19937 rng(500);
    const std::vector<cf32> h = firtest::randomSignal(rng, 9);
    const std::vector<cf32> hist = firtest::randomSignal(rng, 3);
    MrRecord rec(h, 3, 0, 2, 1, hist.data());  // U > D: in place needs a copy
    std::vector<cf32> inout = firtest::randomSignal(rng, 300);
    const std::vector<cf32> before = inout;
    {
        sigMemFuncTable saved = sigMemFuncs;
        sigMemFuncs.alloc = [](size_t) -> void* { return nullptr; };
        EXPECT_EQ(sigFir_cf32(inout.data(), inout.data(), 100, rec.state()), sigErrMemory);
        sigMemFuncs = saved;
    }
    for (size_t i = 0; i < inout.size(); ++i)
        ASSERT_EQ(inout[i].re, before[i].re);
    // A block count whose sample counts exceed 32 bits: refused before anything is read.
    EXPECT_EQ(sigFir_cf32(inout.data(), inout.data() + 1, INT32_MAX / 2 + 1, rec.state()),
              sigErrMemory);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(rec.state()->dlyLine[k].re, hist[2 - k].re);
}

// Inputs that start right after and end right before inaccessible pages, outputs likewise: no
// path reads before or past the caller's input or writes past its output.
TEST_P(FirMrSlots, ReadsAndWritesStayWithinTheCallersArrays)
{
    testing_slots::SlotScope scope(slot());
    std::mt19937 rng(600 + slot());
    for (int trial = 0; trial < 60; ++trial) {
        const Case c = randomCase(rng, 70, 5);
        const int blocks = std::uniform_int_distribution<int>(1, 500)(rng);
        const size_t inLen = size_t(blocks) * c.D, outLen = size_t(blocks) * c.U;
        const std::vector<cf32> in = firtest::randomSignal(rng, inLen);
        std::vector<cf32> expected(outLen);
        {
            MrRecord ref(c.h, c.U, c.pu, c.D, c.pd, c.history.data());
            ASSERT_EQ(sigFir_cf32(in.data(), expected.data(), blocks, ref.state()), sigOk);
        }
        firtest::GuardedBlock inBlock(inLen * sizeof(cf32)), outBlock(outLen * sizeof(cf32));
        for (bool atEnd : {false, true}) {
            MrRecord rec(c.h, c.U, c.pu, c.D, c.pd, c.history.data());
            auto* src = reinterpret_cast<cf32*>(atEnd ? inBlock.back() : inBlock.front());
            auto* dst = reinterpret_cast<cf32*>(atEnd ? outBlock.back() : outBlock.front());
            std::copy(in.begin(), in.end(), src);
            ASSERT_EQ(sigFir_cf32(src, dst, blocks, rec.state()), sigOk);
            for (size_t i = 0; i < outLen; ++i)
                ASSERT_EQ(dst[i].re, expected[i].re) << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Slots, FirMrSlots, ::testing::Range(0, 7));

}  // namespace
