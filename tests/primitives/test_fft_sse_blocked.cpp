// The blocked middle-order kernels of slots 2, 3 and 4, called directly with specs from each slot's
// own planner, both directions: the double-precision transform on both sides of the 2048-point
// blocking and of both first-stage walks; the same bits in place, at any 8-byte alignment of
// source, destination or data, on every slot and through the conjugate twin; the work buffer
// untouched where the destination serves as the work area and never written past its n values;
// the radix kernel's split output (every flag but 1) equal to its interleaved one after
// de-splitting.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "fft_reference.h"
#include "fft_test_checks.h"
#include "fft_test_support.h"
#include "sigprim.h"
#include "slots.h"

namespace {

using fft_reference::allowedError;
using fft_reference::cd;
using fft_reference::toDouble;
using fft_test::bitReversed;
using fft_test::caseName;
using fft_test::conj;
using fft_test::Guarded;
using fft_test::Plan;
using fft_test::References;
using fft_test::sameUpToZeroSign;
using fft_test::SlotOrder;

using Fused = decltype(&sig::s2::sigkFftFwdFused_cf32);
using Radix = decltype(&sig::s2::sigkFftRadixFwd_cf32);

struct Kernels {
    Fused fused[2];  // forward, inverse
    Radix radix[2];
};
const Kernels kKernels[3] = {
    {{sig::s2::sigkFftFwdFused_cf32, sig::s2::sigkFftInvFused_cf32},
     {sig::s2::sigkFftRadixFwd_cf32, sig::s2::sigkFftRadixInv_cf32}},
    {{sig::s3::sigkFftFwdFused_cf32, sig::s3::sigkFftInvFused_cf32},
     {sig::s3::sigkFftRadixFwd_cf32, sig::s3::sigkFftRadixInv_cf32}},
    {{sig::s4::sigkFftFwdFused_cf32, sig::s4::sigkFftInvFused_cf32},
     {sig::s4::sigkFftRadixFwd_cf32, sig::s4::sigkFftRadixInv_cf32}},
};
const Kernels& kernelsOf(int slot) { return kKernels[slot - 2]; }

// The highest order each slot runs through the fused kernel (slot 3 goes to the bit reversal and
// the radix kernel at 15, and plans its own large path from 16).
int32_t fusedUpTo(int slot) { return slot == 3 ? 14 : 17; }
int32_t radixUpTo(int slot) { return slot == 3 ? 15 : 17; }

// ---- The fused kernel ----------------------------------------------------------------------------

class BlockedFused : public testing::TestWithParam<SlotOrder> {};

TEST_P(BlockedFused, ReferenceAlignmentsWorkAreaAndTwin)
{
    const auto [slot, order] = GetParam();
    SIG_SKIP_UNLESS_SLOT_RUNS(slot);
    const size_t n = size_t{1} << order;
    const Plan plan(order, 8, slot);
    const float* twiddles = plan.at<float>(11);
    const int32_t* bitRev = plan.at<int32_t>(10);
    const std::vector<cf32> x = fft_reference::testSignal(n, 90u + uint32_t(order));
    const References refs(x);
    std::vector<cf32> result[2];
    for (int inverse = 0; inverse < 2; ++inverse) {
        SCOPED_TRACE(inverse ? "inverse" : "forward");
        const Fused fused = kernelsOf(slot).fused[inverse];
        // The work area needs only 16-byte alignment and room for the n values.
        Guarded work(n, 16);
        Guarded src(n, 0), dst(n, 0);
        src.fill(x);
        fused(src.data, dst.data, int32_t(n), twiddles, bitRev, work.data);
        result[inverse] = dst.values();
        EXPECT_LE(fft_reference::relativeRmsError(dst.data, refs.ref[inverse], 1.0), allowedError(order));
        EXPECT_TRUE(src.same(x) && src.guardsIntact() && dst.guardsIntact());
        EXPECT_TRUE(work.untouched()) << "work buffer written although dst could serve";

        // In place and at every 8-byte alignment of src and dst: the same bits, the work buffer
        // used within its n values where dst cannot serve.
        for (size_t offset : {0, 8}) {
            Guarded io(n, offset);
            io.fill(x);
            fused(io.data, io.data, int32_t(n), twiddles, bitRev, work.data);
            EXPECT_TRUE(io.same(result[inverse]) && io.guardsIntact()) << "in place at +" << offset;
            EXPECT_TRUE(work.guardsIntact());
        }
        for (size_t srcOffset : {0, 8})
            for (size_t dstOffset : {0, 8}) {
                if (srcOffset == 0 && dstOffset == 0)
                    continue;
                Guarded s(n, srcOffset), d(n, dstOffset), w(n, 16);
                s.fill(x);
                fused(s.data, d.data, int32_t(n), twiddles, bitRev, w.data);
                EXPECT_TRUE(d.same(result[inverse]) && d.guardsIntact() && s.same(x))
                    << "src +" << srcOffset << ", dst +" << dstOffset;
                EXPECT_TRUE(dstOffset == 0 ? w.untouched() : w.guardsIntact())
                    << "src +" << srcOffset << ", dst +" << dstOffset;
            }
    }
    // The inverse is the forward's conjugate twin, to the bit.
    std::vector<cf32> twin(n), work(n);
    kernelsOf(slot).fused[0](conj(x).data(), twin.data(), int32_t(n), twiddles, bitRev, work.data());
    EXPECT_TRUE(sameUpToZeroSign(conj(twin), result[1])) << "not the forward's twin";
}

std::vector<SlotOrder> fusedCases()
{
    std::vector<SlotOrder> cases;
    for (int slot : {2, 3, 4})
        for (int32_t order = 6; order <= fusedUpTo(slot); ++order)
            cases.push_back({slot, order});
    return cases;
}
INSTANTIATE_TEST_SUITE_P(Slots2To4, BlockedFused, testing::ValuesIn(fusedCases()), caseName);

// ---- The radix kernel ----------------------------------------------------------------------------

class BlockedRadix : public testing::TestWithParam<SlotOrder> {};

TEST_P(BlockedRadix, ReferenceAlignmentsSplitOutputAndTwin)
{
    const auto [slot, order] = GetParam();
    SIG_SKIP_UNLESS_SLOT_RUNS(slot);
    const size_t n = size_t{1} << order;
    const Plan plan(order, 8, slot);
    const float* twiddles = plan.at<float>(11);
    const std::vector<cf32> x = fft_reference::testSignal(n, 190u + uint32_t(order));
    const std::vector<cf32> xr = bitReversed(x);
    const References refs(x);
    std::vector<cf32> result[2];
    for (int inverse = 0; inverse < 2; ++inverse) {
        SCOPED_TRACE(inverse ? "inverse" : "forward");
        const Radix radix = kernelsOf(slot).radix[inverse];
        Guarded data(n, 0), work(n, 16);
        data.fill(xr);
        radix(data.data, int32_t(n), twiddles, work.data, 1);
        result[inverse] = data.values();
        EXPECT_LE(fft_reference::relativeRmsError(data.data, refs.ref[inverse], 1.0), allowedError(order));
        EXPECT_TRUE(data.guardsIntact());
        EXPECT_TRUE(work.untouched()) << "work buffer written although the data is aligned";
        // Flag 1 leaves interleaved values, any other flag the split blocks.
        for (size_t offset : {0, 8})
            for (int32_t flag : {1, 0, 2, -1}) {
                Guarded d(n, offset), w(n, 16);
                d.fill(xr);
                radix(d.data, int32_t(n), twiddles, w.data, flag);
                const std::vector<cf32> y = flag == 1 ? d.values() : fft_test::desplit(d.values(), 4);
                EXPECT_TRUE(std::memcmp(y.data(), result[inverse].data(), 8 * n) == 0 && d.guardsIntact())
                    << "data +" << offset << ", flag " << flag;
                EXPECT_TRUE(offset == 0 ? w.untouched() : w.guardsIntact()) << "data +" << offset;
            }
    }
    std::vector<cf32> twin = conj(xr), work(n);
    kernelsOf(slot).radix[0](twin.data(), int32_t(n), twiddles, work.data(), 1);
    EXPECT_TRUE(sameUpToZeroSign(conj(twin), result[1])) << "not the forward's twin";
}

std::vector<SlotOrder> radixCases()
{
    std::vector<SlotOrder> cases;
    for (int slot : {2, 3, 4})
        for (int32_t order = 6; order <= radixUpTo(slot); ++order)
            cases.push_back({slot, order});
    return cases;
}
INSTANTIATE_TEST_SUITE_P(Slots2To4, BlockedRadix, testing::ValuesIn(radixCases()), caseName);

// ---- A scalar model, to the bit ----------------------------------------------------------------
// The operations the kernels must do, one value at a time and in their order, with no blocking
// (a block runs the same operations as the whole-array pass): the 4-point transforms of the
// bit-reversed columns, the radix-4 passes while 8m <= n, then a radix-4 (even orders) or
// radix-2 (odd orders) last pass. The radix kernel's 16-point first stage is the same 4-point
// transforms and quarter-4 pass, so both kernels must give these bits.
struct Model : fft_test::ScalarSteps {
    std::vector<cf32> run(const std::vector<cf32>& x, const float* table) const
    {
        const int32_t n = int32_t(x.size()), order = __builtin_ctz(unsigned(n));
        std::vector<cf32> z(x.size());
        for (int32_t t = 0; t < n / 4; ++t) {
            const int32_t r = fft_test::reverseBits(t, order - 2);
            dft4(x[size_t(r)], x[size_t(r + n / 4)], x[size_t(r + n / 2)], x[size_t(r + 3 * n / 4)],
                 &z[size_t(4 * t)]);
        }
        const float* set = table;
        int32_t m = 4;
        for (; 8 * m <= n || (m == n / 4); m *= 4) {
            pass4(z, m, set);
            set += 6 * m;
        }
        if (order % 2 != 0)
            for (int32_t k = 0; k < n / 2; ++k) {
                const float* w = set + 8 * (k / 4) + k % 4;
                const cf32 a = z[size_t(k)], c = twiddle(z[size_t(k + n / 2)], w[0], w[4]);
                z[size_t(k)] = add(a, c), z[size_t(k + n / 2)] = sub(a, c);
            }
        return z;
    }
};

// Both kernels give the model's bits, in either direction, at each order from the first to past
// the blocking and on both first-stage walks of the fused kernel. The radix kernel also runs 32
// points (its 16-point first stage straight into the radix-2 last pass), an order no plan builds
// tables for, so its twiddle table is built here.
TEST(BlockedKernels, EveryBitAsTheScalarModel)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(2);
    for (int32_t order = 5; order <= 13; ++order) {
        const size_t n = size_t{1} << order;
        const std::vector<cf32> x = fft_reference::testSignal(n, 390u + uint32_t(order));
        const Plan plan(order < 6 ? 6 : order, 8, 2);
        alignas(64) float table32[16 + 64];
        sig::s2::sigkFftSineTable_cf32(5, table32);
        sig::s2::sigkFftTwiddleTable_cf32(5, table32, 5, table32 + 16);
        const float* twiddles = order < 6 ? table32 + 16 : plan.at<float>(11);
        for (int inverse = 0; inverse < 2; ++inverse) {
            SCOPED_TRACE(testing::Message() << "order " << order << (inverse ? " inverse" : " forward"));
            const std::vector<cf32> want = Model{{inverse == 1}}.run(x, twiddles);
            EXPECT_LE(fft_reference::relativeRmsError(want.data(), References(x).ref[inverse], 1.0),
                      allowedError(order));
            std::vector<cf32> fused(n), radix = bitReversed(x), work(n);
            kernelsOf(2).radix[inverse](radix.data(), int32_t(n), twiddles, work.data(), 1);
            EXPECT_TRUE(sameUpToZeroSign(radix, want)) << "radix";
            if (order < 6)
                continue;
            kernelsOf(2).fused[inverse](x.data(), fused.data(), int32_t(n), twiddles,
                                        plan.at<int32_t>(10), work.data());
            EXPECT_TRUE(sameUpToZeroSign(fused, want)) << "fused";
        }
    }
}

// ---- Across slots ------------------------------------------------------------------------------

// The three slots compile one code: the same bits from both kernels and both directions wherever
// two slots run it.
TEST(BlockedKernels, SlotsGiveTheSameBits)
{
    for (int slot : {2, 3, 4})
        if (!testing_slots::slotRuns(slot))
            GTEST_SKIP() << "this processor cannot run slot " << slot;
    for (int32_t order = 6; order <= 17; ++order) {
        const size_t n = size_t{1} << order;
        const std::vector<cf32> x = fft_reference::testSignal(n, 290u + uint32_t(order));
        std::vector<cf32> first[2][2];  // [fused, radix][direction] of the first slot
        for (int slot : {2, 3, 4}) {
            const Plan plan(order, 8, slot);
            for (int inverse = 0; inverse < 2; ++inverse) {
                SCOPED_TRACE(testing::Message() << "slot " << slot << " order " << order
                                                << (inverse ? " inverse" : " forward"));
                std::vector<cf32> y[2] = {std::vector<cf32>(n), bitReversed(x)}, work(n);
                if (order <= fusedUpTo(slot))
                    kernelsOf(slot).fused[inverse](x.data(), y[0].data(), int32_t(n), plan.at<float>(11),
                                                   plan.at<int32_t>(10), work.data());
                if (order <= radixUpTo(slot))
                    kernelsOf(slot).radix[inverse](y[1].data(), int32_t(n), plan.at<float>(11),
                                                   work.data(), 1);
                for (int k = 0; k < 2; ++k) {
                    if (order > (k == 0 ? fusedUpTo(slot) : radixUpTo(slot)))
                        continue;
                    if (first[k][inverse].empty())
                        first[k][inverse] = y[k];
                    else
                        EXPECT_EQ(std::memcmp(y[k].data(), first[k][inverse].data(), 8 * n), 0)
                            << (k == 0 ? "fused" : "radix");
                }
            }
        }
    }
}

// Slot 3's order 15: the bit reversal (copying, or in place) and the radix kernel with flag 1 give
// the transform, the same bits both ways, at the data alignments the entry can meet.
TEST(BlockedKernels, Slot3Order15ThroughTheBitReversal)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(3);
    const int32_t order = 15;
    const size_t n = size_t{1} << order;
    const Plan plan(order, 8, 3);
    const std::vector<cf32> x = fft_reference::testSignal(n, 15u);
    const References refs(x);
    for (int inverse = 0; inverse < 2; ++inverse) {
        SCOPED_TRACE(inverse ? "inverse" : "forward");
        Guarded copied(n, 0), work(n, 16);
        sig::s3::sigkBitRevCopy_cf32(x.data(), copied.data, int32_t(n), plan.at<int32_t>(10));
        kernelsOf(3).radix[inverse](copied.data, int32_t(n), plan.at<float>(11), work.data, 1);
        EXPECT_LE(fft_reference::relativeRmsError(copied.data, refs.ref[inverse], 1.0), allowedError(order));
        Guarded inPlace(n, 8);
        inPlace.fill(x);
        sig::s3::sigkBitRevInPlace_cf32(inPlace.data, int32_t(n), plan.at<int32_t>(10));
        kernelsOf(3).radix[inverse](inPlace.data, int32_t(n), plan.at<float>(11), work.data, 1);
        EXPECT_TRUE(inPlace.same(copied.values()) && inPlace.guardsIntact() && work.guardsIntact());
    }
}

}  // namespace
