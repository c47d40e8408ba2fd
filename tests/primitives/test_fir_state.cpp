// The multi-rate FIR record: derived words, phase and tap tables of the worked examples, sizes,
// argument checks in order, failures that leave the buffer untouched, and the delay loader.
#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "fir_test_support.h"
#include "slots.h"

namespace {

using firtest::MrRecord;

struct Example {
    int T, U, pu, D, pd;
    int n, E, L;
    std::vector<int32_t> phases;  // start indices as the plain slot stores them
};

const Example kExamples[] = {
    {48, 1, 0, 2, 0, 48, 57, 24, {1, 3, 5, 7, 8}},
    {7, 2, 0, 3, 2, 4, 19, 8, {2, 4, 5, 7, 8, 10, 11, 13, 12}},
    {3, 4, 2, 1, 0, 1, 8, 16, {0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4}},
    {1, 1, 0, 1, 0, 1, 8, 4, {1, 2, 3, 4, 4}},
    {1, 1, 0, 4, 3, 1, 29, 4, {4, 8, 12, 16, 16}},
    {2, 3, 1, 1, 0, 1, 8, 12, {1, 1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4}},
};

std::vector<cf32> countingTaps(int T)
{
    std::vector<cf32> h(T);
    for (int k = 0; k < T; ++k)
        h[k] = cf32{float(k + 1), float(-(k + 1)) * 0.5f};
    return h;
}

class FirStateSlots : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { SIG_SKIP_UNLESS_SLOT_RUNS(GetParam()); }
    int slot() const { return GetParam(); }
    testing_slots::SlotScope scope_{GetParam()};
};

// The phase table exactly (start indices on the plain slot, byte steps between consecutive
// windows on the others), and every tap-table entry the tap the filter's definition puts on
// that buffer sample.
TEST_P(FirStateSlots, WorkedExamplesGiveTheirPhaseAndTapTables)
{
    for (const Example& ex : kExamples) {
        SCOPED_TRACE(::testing::Message() << "taps " << ex.T << " U " << ex.U << " D " << ex.D);
        const std::vector<cf32> h = countingTaps(ex.T);
        MrRecord rec(h, ex.U, ex.pu, ex.D, ex.pd, nullptr);
        ASSERT_EQ(rec.status(), sigOk);
        const sigFirRecord_cf32& r = *rec.state();
        EXPECT_EQ(r.tag, kFirTagMultiRate);
        EXPECT_TRUE(r.dlyLen == ex.n && r.dlyExt == ex.E && r.headLen == ex.L && r.fftLen == -1);
        EXPECT_TRUE(r.dlyOffset == 0 && r.upPhase == ex.pu && r.downPhase == ex.pd);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(&r) % 16, 0u);
        EXPECT_EQ(r.tapStride, slot() == 0 ? ex.n : (ex.n + 1) / 2 * 2);
        const int entries = 4 * ex.U + 1;
        std::vector<int32_t> expected = ex.phases;
        for (int k = entries - 1; slot() != 0 && k >= 0; --k)
            expected[k] = 8 * (ex.phases[k] - (k > 0 ? ex.phases[k - 1] : 0));
        EXPECT_EQ(std::vector<int32_t>(r.phaseTable, r.phaseTable + entries), expected);
        for (int k = 0; k < ex.T; ++k)
            EXPECT_EQ(r.taps[k].re, float(ex.T - k));  // reversed
        const int n = ex.n, f = r.tapStride;
        for (int m = 0; m < 4 * ex.U; ++m) {  // the outputs of the first cycle
            for (int i = 0; i < n; ++i) {
                // Buffer index s + i is input q = s + i - n, at up-sampled position q U + pu.
                const int64_t q = ex.phases[m] + i - n;
                const int64_t k = m * ex.D + ex.pd - (q * ex.U + ex.pu);
                const cf32 want = (k >= 0 && k < ex.T) ? h[k] : cf32{0, 0};
                cf32 got;
                if (slot() == 0) {
                    got = r.tapTable[(m / 4 * n + i) * 4 + m % 4];
                } else {  // halves of (Re h, -Im h) and (Im h, Re h)
                    const cf32 a = r.tapTable[m * f + i], b = r.tapTable[4 * ex.U * f + m * f + i];
                    EXPECT_TRUE(b.re == -a.im && b.im == a.re);
                    got = cf32{a.re, -a.im};
                }
                EXPECT_TRUE(got.re == want.re && got.im == want.im) << "output " << m << " tap " << i;
            }
            for (int i = n; slot() != 0 && i < f; ++i)
                EXPECT_EQ(r.tapTable[m * f + i].re, 0.0f);
        }
        EXPECT_TRUE(rec.canaryIntact());
    }
}

// Sizes are computed in 64 bits: one beyond 32 bits is -9, never a small size; the builder
// checks everything, overflows included, before it writes anything.
TEST_P(FirStateSlots, ChecksInOrderAndFailuresWriteNothing)
{
    int32_t size = 7;
    EXPECT_EQ(sigFirMrGetSize_cf32(0, 0, 0, nullptr), sigErrNull);
    EXPECT_EQ(sigFirMrGetSize_cf32(0, 0, 0, &size), sigErrTapsLen);
    EXPECT_EQ(sigFirMrGetSize_cf32(1, 0, 1, &size), sigErrFactor);
    EXPECT_EQ(sigFirMrGetSize_cf32(1, 1, 0, &size), sigErrFactor);
    EXPECT_EQ(sigFirMrGetSize_cf32(1, 1, -3, &size), sigErrFactor);
    // Each of these overflows a 32-bit size: 8 tapsLen, 32 r (r >= 3D), 16 U.
    EXPECT_EQ(sigFirMrGetSize_cf32(INT32_MAX, 1, 1, &size), sigErrMemory);
    EXPECT_EQ(sigFirMrGetSize_cf32(1, 1, 30000000, &size), sigErrMemory);
    EXPECT_EQ(sigFirMrGetSize_cf32(1, 200000000, 1, &size), sigErrMemory);
    EXPECT_EQ(size, 7);
    ASSERT_EQ(sigFirMrGetSize_cf32(48, 1, 2, &size), sigOk);
    // Header, 48 reversed taps, the tap table, 5 phases, 48 + 57 history samples, the scratch,
    // and 15 bytes for a buffer that is not 16-byte aligned.
    const int64_t table = slot() == 0 ? 32 * 54 : 64 * 54;
    EXPECT_EQ(size, int64_t(sizeof(sigFirRecord_cf32)) + 48 * 8 + table + 32 +
                        ((105 * 8 + 23) & ~15) + 32768 + 15);

    std::vector<uint8_t> buf(1 << 16, 0x77);
    const std::vector<cf32> h = countingTaps(4);
    const cf32* t = h.data();
    uint8_t* b = buf.data();
    sigFirMrState_cf32* st = reinterpret_cast<sigFirMrState_cf32*>(uintptr_t{0x1234});
    EXPECT_EQ(sigFirMrInit_cf32(nullptr, t, 4, 1, 0, 1, 0, nullptr, b), sigErrNull);
    EXPECT_EQ(sigFirMrInit_cf32(&st, nullptr, 0, 0, 0, 0, 0, nullptr, b), sigErrNull);
    EXPECT_EQ(sigFirMrInit_cf32(&st, t, 4, 1, 0, 1, 0, nullptr, nullptr), sigErrNull);
    EXPECT_EQ(sigFirMrInit_cf32(&st, t, 0, 1, 0, 1, 0, nullptr, b), sigErrTapsLen);
    EXPECT_EQ(sigFirMrInit_cf32(&st, t, 4, 0, 0, 1, 0, nullptr, b), sigErrFactor);
    EXPECT_EQ(sigFirMrInit_cf32(&st, t, 4, 1, 0, 0, 5, nullptr, b), sigErrFactor);
    EXPECT_EQ(sigFirMrInit_cf32(&st, t, 4, 2, 2, 1, 0, nullptr, b), sigErrPhase);
    EXPECT_EQ(sigFirMrInit_cf32(&st, t, 4, 2, -1, 1, 0, nullptr, b), sigErrPhase);
    EXPECT_EQ(sigFirMrInit_cf32(&st, t, 4, 1, 0, 3, 3, nullptr, b), sigErrPhase);
    // 4 U D + pd beyond 2^31 - 2 while the record's sizes would still fit.
    EXPECT_EQ(sigFirMrInit_cf32(&st, t, 4, 1000, 0, 600000, 0, nullptr, b), sigErrMemory);
    EXPECT_EQ(sigFirMrInit_cf32(&st, t, 4, 1, 0, 30000000, 0, nullptr, b), sigErrMemory);
    EXPECT_EQ(st, reinterpret_cast<sigFirMrState_cf32*>(uintptr_t{0x1234}));
    EXPECT_TRUE(std::all_of(buf.begin(), buf.end(), [](uint8_t v) { return v == 0x77; }));
}

// The size covers a buffer at any alignment: the record starts at the next 16-byte boundary.
TEST_P(FirStateSlots, MisalignedBuffersStayWithinTheReportedSize)
{
    for (int misalign = 0; misalign < 16; ++misalign)
        for (auto [T, U, D] : {std::tuple{48, 1, 2}, {7, 2, 3}, {1000, 1, 1}, {5, 7, 1}}) {
            MrRecord rec(countingTaps(T), U, 0, D, 0, nullptr, misalign);
            ASSERT_EQ(rec.status(), sigOk);
            EXPECT_TRUE(rec.canaryIntact()) << "misalign " << misalign << " taps " << T;
        }
}

TEST_P(FirStateSlots, SetDelayLoadsAndClearsExactlyTheHistory)
{
    std::mt19937 rng(3);
    const std::vector<cf32> h = firtest::randomSignal(rng, 10);
    const std::vector<cf32> hist = firtest::randomSignal(rng, 4), other = firtest::randomSignal(rng, 4);
    MrRecord rec(h, 3, 1, 2, 0, hist.data());  // n = ceil(10 / 3)
    ASSERT_EQ(rec.status(), sigOk);
    sigFirRecord_cf32& r = *rec.state();
    ASSERT_EQ(r.dlyLen, 4);
    auto expectLine = [&](const std::vector<cf32>& recentFirst) {
        for (int k = 0; k < 4; ++k)  // oldest first in the record
            EXPECT_TRUE(r.dlyLine[k].re == recentFirst[3 - k].re && r.dlyLine[k].im == recentFirst[3 - k].im);
    };
    expectLine(hist);
    EXPECT_EQ(sigFirSetDelay_cf32(nullptr, hist.data()), sigErrNull);
    r.dlyOffset = 9;
    r.dlyLine[4] = cf32{42, 43};  // beyond the history: the loader leaves it alone
    EXPECT_EQ(sigFirSetDelay_cf32(&r, nullptr), sigOk);
    EXPECT_EQ(r.dlyOffset, 0);
    expectLine(std::vector<cf32>(4, cf32{0, 0}));
    EXPECT_EQ(r.dlyLine[4].re, 42.0f);
    r.dlyOffset = 5;
    EXPECT_EQ(sigFirSetDelay_cf32(&r, other.data()), sigOk);
    EXPECT_EQ(r.dlyOffset, 0);
    expectLine(other);
    const uint32_t tag = r.tag;
    r.tag = 0x46493033;
    EXPECT_EQ(sigFirSetDelay_cf32(&r, nullptr), sigErrTag);
    expectLine(other);
    r.tag = kFirTagSingleRate;  // the single-rate tag is accepted too
    EXPECT_EQ(sigFirSetDelay_cf32(&r, nullptr), sigOk);
    r.tag = tag;
}

INSTANTIATE_TEST_SUITE_P(Slots, FirStateSlots, ::testing::Range(0, 7));

}  // namespace
