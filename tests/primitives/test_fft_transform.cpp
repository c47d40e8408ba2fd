// The forward and inverse FFT against a double-precision reference on every order and flag, in
// place and out of place, inverse(forward(x)) = N x; status codes, the work buffer and its
// failure; the entries of every slot.
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
using fft_test::AllocatorSwap;
using fft_test::Plan;
using fft_test::scaleOf;
using Transform = decltype(&sig::s0::sigkFftInv_cf32);

// Forward through its dispatch entry; the inverse, which has no public entry, by the plain slot.
Transform direction(bool inverse) { return inverse ? sig::s0::sigkFftInv_cf32 : sigFftFwd_cf32; }

class FftOrder : public testing::TestWithParam<int32_t> {};

// Every flag, out of place and in place (the two agree to the bit), against the double-precision
// transform in both directions, the error growing at most with log2(N); then the round trip,
// whose factor is N f_fwd f_inv.
TEST_P(FftOrder, BothDirectionsMatchDoublePrecisionAndInvertEachOther)
{
    const int32_t order = GetParam();
    const size_t n = size_t{1} << order;
    const std::vector<cf32> x = fft_reference::testSignal(n, 17u + static_cast<uint32_t>(order));
    std::vector<cd> ref[2] = {fft_reference::dft(toDouble(x)), std::vector<cd>(n)};
    for (size_t k = 0; k < n; ++k)  // the inverse: the forward at -k
        ref[1][k] = ref[0][(n - k) % n];
    std::vector<cf32> out(n), inPlace(n);
    for (int32_t flag : {1, 2, 4, 8}) {
        SCOPED_TRACE(testing::Message() << "order " << order << " flag " << flag);
        Plan plan(order, flag);
        for (bool inverse : {false, true}) {
            inPlace = x;
            ASSERT_EQ(direction(inverse)(x.data(), out.data(), plan.spec, plan.work()), sigOk);
            ASSERT_EQ(direction(inverse)(inPlace.data(), inPlace.data(), plan.spec, nullptr), sigOk);
            EXPECT_EQ(std::memcmp(out.data(), inPlace.data(), n * sizeof(cf32)), 0);
            const double scale = scaleOf(flag, order, inverse);
            EXPECT_LE(fft_reference::relativeRmsError(out.data(), ref[inverse], scale),
                      allowedError(order))
                << (inverse ? "inverse" : "forward");
        }
        ASSERT_EQ(sigFftFwd_cf32(x.data(), out.data(), plan.spec, plan.work()), sigOk);
        ASSERT_EQ(sig::s0::sigkFftInv_cf32(out.data(), out.data(), plan.spec, plan.work()), sigOk);
        const double roundTrip = double(n) * scaleOf(flag, order, false) * scaleOf(flag, order, true);
        EXPECT_LE(fft_reference::relativeRmsError(out.data(), toDouble(x), roundTrip),
                  2 * allowedError(order));
    }
}

INSTANTIATE_TEST_SUITE_P(Orders0To22, FftOrder, testing::Range(0, 23));

TEST(FftTransform, StatusCodesInTheirOrder)
{
    Plan plan(8, 8);
    std::vector<cf32> x(256), y(256, cf32{7, 7});
    sigFftSpec_cf32 notBuilt = *plan.spec;
    for (bool inverse : {false, true}) {
        const Transform transform = direction(inverse);
        EXPECT_EQ(transform(nullptr, nullptr, nullptr, nullptr), sigErrNull);
        for (int32_t tag : {0, 5}) {
            notBuilt.tag = tag;
            EXPECT_EQ(transform(nullptr, nullptr, &notBuilt, nullptr), sigErrTag);
        }
        EXPECT_EQ(transform(nullptr, y.data(), plan.spec, nullptr), sigErrNull);
        EXPECT_EQ(transform(x.data(), nullptr, plan.spec, nullptr), sigErrNull);
    }
    EXPECT_EQ(y[0].re, 7.0f);
}

// Each slot's entries: the transform within the error bound on the vector slots' own kernels; each slot's inverse entry inverts its forward with every flag's factor. Without a
// caller's work buffer each transform allocates one per call, only when the spec needs one, and
// returns -9 with dst untouched when that fails; a caller's buffer of exactly the reported size at
// an odd address is used from its next boundary and gives the same bits.
TEST(FftTransform, EverySlotsEntriesTransformAndInvert)
{
    const int32_t flags[4] = {8, 2, 1, 4};
    for (int slot = 0; slot < 7; ++slot) {
        if (!testing_slots::slotRuns(slot))
            continue;
        testing_slots::SlotScope scope(slot);
        for (int32_t order : {0, 3, 4, 5, 6, 7, 10, 11, 12, 13, 17, 19}) {
            SCOPED_TRACE(testing::Message() << "slot " << slot << " order " << order);
            const int32_t flag = flags[order % 4];
            const size_t n = size_t{1} << order;
            Plan plan(order, flag);
            const bool needed = plan.workSize > 0;
            ASSERT_EQ(needed, slot > 0 ? order > sig::fft::kSmallLimit[slot] : order >= 13);
            std::vector<uint8_t> guarded;
            uint8_t* const base = Plan::place(guarded, plan.workSize, 0);
            auto run = [&](Transform transform, const std::vector<cf32>& in) {
                std::vector<cf32> y(n), z(n, cf32{5, 5});
                {
                    AllocatorSwap counting(false);
                    EXPECT_EQ(transform(in.data(), y.data(), plan.spec, nullptr), sigOk);
                    EXPECT_EQ(AllocatorSwap::calls, needed ? 1 : 0);
                }
                {
                    AllocatorSwap failing(true);
                    EXPECT_EQ(transform(in.data(), z.data(), plan.spec, nullptr),
                              needed ? sigErrMemory : sigOk);
                }
                EXPECT_TRUE(!needed || std::all_of(z.begin(), z.end(), [](cf32 v) {
                                return v.re == 5.0f && v.im == 5.0f;
                            }));
                for (uint8_t* work : {base + 1, base + 63}) {
                    std::fill(guarded.begin(), guarded.end(), 0xA5);
                    EXPECT_EQ(transform(in.data(), z.data(), plan.spec, work), sigOk);
                    EXPECT_EQ(std::memcmp(y.data(), z.data(), n * sizeof(cf32)), 0);
                    EXPECT_TRUE(std::all_of(work + plan.workSize, guarded.data() + guarded.size(),
                                            [](uint8_t b) { return b == 0xA5; }))
                        << "wrote past the work buffer";
                }
                return y;
            };
            const std::vector<cf32> x = fft_reference::testSignal(n, 3), y = run(sigFftFwd_cf32, x);
            EXPECT_LE(fft_reference::relativeRmsError(y.data(), fft_reference::dft(toDouble(x)),
                                                      scaleOf(flag, order, false)),
                      allowedError(order));
            const double roundTrip = double(n) * scaleOf(flag, order, false) * scaleOf(flag, order, true);
            EXPECT_LT(fft_reference::relativeRmsError(run(fft_test::kInverse[slot], y).data(),
                                                      toDouble(x), roundTrip),
                      2 * allowedError(order))
                << "flag " << flag;
        }
    }
}

}  // namespace
