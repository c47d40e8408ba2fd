// Single-rate filtering through a test-built 'FI02' record on every slot: the direct form
// against the double reference and the plain slot over the tap counts and alignments the block
// kernels special-case, continuity across calls, in place, the history it leaves, and windows
// that end at an inaccessible page.
#include <gtest/gtest.h>

#include <vector>

#include "fir_single_rate.h"
#include "fir_test_support.h"
#include "slots.h"

namespace {

using firtest::SingleRateRecord;

class FirSingleRateSlots : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { SIG_SKIP_UNLESS_SLOT_RUNS(GetParam()); }
    int slot() const { return GetParam(); }
};

TEST_P(FirSingleRateSlots, DirectFormMatchesReferenceAndPlainSlotOverTapCountsAndAlignments)
{
    std::mt19937 rng(700 + slot());
    std::vector<cf32> storage(4096 + 8);
    for (int T : {1, 2, 3, 4, 5, 8, 10, 31}) {
        const std::vector<cf32> h = firtest::randomSignal(rng, T);
        const std::vector<cf32> hist = firtest::randomSignal(rng, T);
        for (int len = 1; len <= 40; ++len)
            for (int off : {0, 1, 2, 3}) {  // 8-byte steps from a 32-byte boundary
                const std::vector<cf32> in = firtest::randomSignal(rng, len);
                std::vector<cf32> out(len + 8, cf32{5, 5}), plain(len);
                {
                    testing_slots::SlotScope scope(0);
                    SingleRateRecord rec(h, -1, hist.data());
                    ASSERT_EQ(sigFir_cf32(in.data(), plain.data(), len, rec.state()), sigOk);
                }
                testing_slots::SlotScope scope(slot());
                SingleRateRecord rec(h, -1, hist.data());
                ASSERT_EQ(sigFir_cf32(in.data(), out.data() + off, len, rec.state()), sigOk);
                const auto ref = firtest::polyphase(h, 1, 0, 1, 0, firtest::joined(hist, in.data(), len), T, len);
                SCOPED_TRACE(::testing::Message() << "taps " << T << " len " << len << " offset " << off);
                firtest::expectNear(ref, out.data() + off, len, T, "direct form");
                firtest::expectNear(ref, plain.data(), len, T, "plain slot");
                EXPECT_EQ(out[off + len].re, 5.0f);
                EXPECT_TRUE(off == 0 || out[off - 1].re == 5.0f);
            }
    }
}

TEST_P(FirSingleRateSlots, SplitCallsInPlaceAndHistoryAgree)
{
    testing_slots::SlotScope scope(slot());
    std::mt19937 rng(800 + slot());
    for (int trial = 0; trial < 40; ++trial) {
        const int T = std::uniform_int_distribution<int>(1, 64)(rng);
        const int len = std::uniform_int_distribution<int>(1, 9000)(rng);
        const std::vector<cf32> h = firtest::randomSignal(rng, T);
        const std::vector<cf32> hist = firtest::randomSignal(rng, T);
        const std::vector<cf32> in = firtest::randomSignal(rng, len);
        const auto ref = firtest::polyphase(h, 1, 0, 1, 0, firtest::joined(hist, in.data(), len), T, len);
        SCOPED_TRACE(::testing::Message() << "taps " << T << " len " << len);

        SingleRateRecord whole(h, -1, hist.data()), split(h, -1, hist.data()), inPlace(h, -1, hist.data());
        std::vector<cf32> a(len), b(len), c(in);
        ASSERT_EQ(sigFir_cf32(in.data(), a.data(), len, whole.state()), sigOk);
        for (int done = 0; done < len;) {
            const int n = std::min(len - done, std::uniform_int_distribution<int>(1, 700)(rng));
            ASSERT_EQ(sigFir_cf32(in.data() + done, b.data() + done, n, split.state()), sigOk);
            done += n;
        }
        ASSERT_EQ(sigFir_cf32(c.data(), c.data(), len, inPlace.state()), sigOk);
        firtest::expectNear(ref, a.data(), len, T, "one call");
        firtest::expectNear(ref, b.data(), len, T, "split calls");
        firtest::expectNear(ref, c.data(), len, T, "in place");
        // Each record now holds the last T samples of history and input, oldest first.
        const std::vector<cf32> all = firtest::joined(hist, in.data(), len);
        for (auto* rec : {&whole, &split, &inPlace})
            for (int k = 0; k < T; ++k)
                ASSERT_EQ(rec->line()[k].re, all[all.size() - T + k].re) << k;
    }
}

// Inputs ending right before an inaccessible page: no window reads past the input's end.
TEST_P(FirSingleRateSlots, WindowsEndingAtAGuardPageStayInside)
{
    testing_slots::SlotScope scope(slot());
    std::mt19937 rng(900 + slot());
    for (int T : {1, 2, 3, 4, 5, 8, 10, 33})
        for (int len : {1, 7, 8, 9, 33, 100, 257}) {
            const std::vector<cf32> h = firtest::randomSignal(rng, T);
            const std::vector<cf32> in = firtest::randomSignal(rng, len);
            firtest::GuardedBlock inBlock(len * sizeof(cf32)), outBlock(len * sizeof(cf32));
            auto* src = reinterpret_cast<cf32*>(inBlock.back());
            auto* dst = reinterpret_cast<cf32*>(outBlock.back());
            std::copy(in.begin(), in.end(), src);
            SingleRateRecord rec(h, -1);
            ASSERT_EQ(sigFir_cf32(src, dst, len, rec.state()), sigOk);
            const std::vector<cf32> zeros(T, cf32{0, 0});
            const auto ref = firtest::polyphase(h, 1, 0, 1, 0, firtest::joined(zeros, in.data(), len), T, len);
            firtest::expectNear(ref, dst, len, T, "guarded");
        }
}

INSTANTIATE_TEST_SUITE_P(Slots, FirSingleRateSlots, ::testing::Range(0, 7));

}  // namespace
