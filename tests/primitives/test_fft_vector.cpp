// The transform entries of the vector slots on the orders their own kernels run (up to each
// slot's direct limit), both directions: the double-precision transform with every flag, the same
// bits in place, at any destination or source alignment and through the conjugate twin; the work
// buffer untouched where the destination serves as the work area; nothing written outside the
// destination. And the fused transform of slots 5 and 6 against a scalar model, to the bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "fft_reference.h"
#include "fft_test_checks.h"
#include "fft_avx_model.h"
#include "fft_test_support.h"
#include "sigprim.h"
#include "slots.h"

namespace {

using fft_reference::allowedError;
using fft_reference::cd;
using fft_reference::toDouble;
using fft_test::AllocatorSwap;
using fft_test::conj;
using fft_test::Guarded;
using fft_test::Plan;
using fft_test::sameUpToZeroSign;
using fft_test::scaleOf;
using fft_test::SlotOrder;
using Transform = decltype(&sig::s0::sigkFftInv_cf32);

class VectorTransform : public testing::TestWithParam<SlotOrder> {};

TEST_P(VectorTransform, ReferenceAlignmentsWorkBufferAndTwin)
{
    const auto [slot, order] = GetParam();
    SIG_SKIP_UNLESS_SLOT_RUNS(slot);
    testing_slots::SlotScope scope(slot);
    const size_t n = size_t{1} << order;
    const std::vector<cf32> x = fft_reference::testSignal(n, 40u + static_cast<uint32_t>(order));
    const fft_test::References refs(x);
    const Transform entry[2] = {sigFftFwd_cf32, fft_test::kInverse[slot]};

    for (int32_t flag : {8, 1, 2, 4}) {
        SCOPED_TRACE(testing::Message() << "slot " << slot << " order " << order << " flag " << flag);
        Plan plan(order, flag);
        std::vector<cf32> result[2];
        for (int inverse = 0; inverse < 2; ++inverse) {
            const Transform transform = entry[inverse];
            Guarded work(plan.workSize / 8 + 1, 0);
            // Out of place into an aligned destination: it is the work area, the caller's
            // buffer stays as it was and so does the source.
            Guarded src(n, 0), dst(n, 0);
            src.fill(x);
            ASSERT_EQ(transform(src.data, dst.data, plan.spec, reinterpret_cast<uint8_t*>(work.data)),
                      sigOk);
            result[inverse].assign(dst.data, dst.data + n);
            EXPECT_LE(fft_reference::relativeRmsError(dst.data, refs.ref[inverse],
                                                      scaleOf(flag, order, inverse)),
                      allowedError(order))
                << (inverse ? "inverse" : "forward");
            EXPECT_TRUE(src.same(x) && src.guardsIntact() && dst.guardsIntact());
            EXPECT_TRUE(work.untouched()) << "work buffer written although dst could serve";
            if (flag != 8)
                continue;
            // In place, and destinations and sources off a 64-byte boundary: the same bits. The
            // work buffer stays untouched wherever dst can be the work area, on a 16-byte
            // boundary on slots 1 to 4, a 32-byte one on slots 5 and 6.
            Guarded inPlace(n, 0);
            inPlace.fill(x);
            ASSERT_EQ(transform(inPlace.data, inPlace.data, plan.spec, nullptr), sigOk);
            EXPECT_TRUE(inPlace.same(result[inverse]) && inPlace.guardsIntact()) << "in place";
            const size_t areaAlignment = slot >= 5 ? 32 : 16;
            for (size_t srcOffset : {0, 8})
                for (size_t dstOffset : {8, 16, 24, 32}) {
                    Guarded s(n, srcOffset), d(n, dstOffset), w(plan.workSize / 8 + 1, 0);
                    s.fill(x);
                    ASSERT_EQ(transform(s.data, d.data, plan.spec, reinterpret_cast<uint8_t*>(w.data)), sigOk);
                    EXPECT_TRUE(d.same(result[inverse]) && d.guardsIntact() &&
                                (dstOffset % areaAlignment == 0 ? w.untouched() : w.guardsIntact()))
                        << "src +" << srcOffset << ", dst +" << dstOffset;
                }
        }
        // The inverse is the forward's conjugate twin, to the bit.
        std::vector<cf32> twin(n);
        ASSERT_EQ(sigFftFwd_cf32(conj(x).data(), twin.data(), plan.spec, nullptr), sigOk);
        if (flag == 8 || flag == 4) {
            EXPECT_TRUE(sameUpToZeroSign(conj(twin), result[1])) << "not the forward's twin";
        }
        // Forward then inverse gives x times N and both directions' factors.
        std::vector<cf32> back(n);
        ASSERT_EQ(entry[1](result[0].data(), back.data(), plan.spec, nullptr), sigOk);
        EXPECT_LE(fft_reference::relativeRmsError(
                      back.data(), toDouble(x),
                      double(n) * scaleOf(flag, order, false) * scaleOf(flag, order, true)),
                  2 * allowedError(order));
    }
}

std::vector<SlotOrder> slotOrders()
{
    std::vector<SlotOrder> cases;
    for (int slot = 1; slot <= 6; ++slot)
        for (int32_t order = 0; order <= sig::fft::kDirectLimit[slot]; ++order)
            cases.push_back({slot, order});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(VectorSlots, VectorTransform, testing::ValuesIn(slotOrders()),
                         fft_test::caseName);

// Slot 5 rounds every product, slot 6 fuses exactly the products it must: both give the model's
// bits in either direction, on both first stages and both sides of the 2048-point blocking.
TEST(AvxFused, EveryBitAsTheScalarModel)
{
    for (int slot : {5, 6}) {
        if (!testing_slots::slotRuns(slot))
            continue;
        testing_slots::SlotScope scope(slot);
        for (int32_t order = 7; order <= 14; ++order) {
            const size_t n = size_t{1} << order;
            const std::vector<cf32> x = fft_reference::testSignal(n, 7u * uint32_t(order));
            Plan plan(order, 8);
            for (bool inverse : {false, true}) {
                SCOPED_TRACE(testing::Message() << "slot " << slot << " order " << order
                                                << (inverse ? " inverse" : " forward"));
                std::vector<cf32> y(n);
                const Transform transform = inverse ? fft_test::kInverse[slot] : sigFftFwd_cf32;
                ASSERT_EQ(transform(x.data(), y.data(), plan.spec, nullptr), sigOk);
                const std::vector<cf32> want =
                    fft_test::AvxModel{{inverse}, slot == 6}.run(x, plan.at<float>(11));
                EXPECT_TRUE(sameUpToZeroSign(y, want));
            }
        }
    }
}

// The entries' checks come in their fixed order, before anything is read or written; without
// memory for the work buffer the transform fails with -9 and leaves dst alone.
TEST(VectorTransform, StatusCodesInTheirOrder)
{
    for (int slot = 1; slot <= 6; ++slot) {
        if (!testing_slots::slotRuns(slot))
            continue;
        testing_slots::SlotScope scope(slot);
        Plan plan(9, 2);
        sigFftSpec_cf32 notBuilt = *plan.spec;
        notBuilt.tag = 3;
        std::vector<cf32> x(512, cf32{1, 2}), y(512, cf32{7, 7});
        for (Transform transform : {sigFftFwd_cf32, fft_test::kInverse[slot]}) {
            EXPECT_EQ(transform(nullptr, nullptr, nullptr, nullptr), sigErrNull);
            EXPECT_EQ(transform(nullptr, nullptr, &notBuilt, nullptr), sigErrTag);
            EXPECT_EQ(transform(nullptr, y.data(), plan.spec, nullptr), sigErrNull);
            EXPECT_EQ(transform(x.data(), nullptr, plan.spec, nullptr), sigErrNull);
            AllocatorSwap failing(true);
            EXPECT_EQ(transform(x.data(), y.data(), plan.spec, nullptr), sigErrMemory);
        }
        EXPECT_TRUE(std::all_of(y.begin(), y.end(), [](cf32 v) { return v.re == 7 && v.im == 7; }));
    }
}

}  // namespace
