// The cross-block kernels of the vector slots, both directions: the blocks of a bit-reversed
// array, each transformed by the slot's own transform, merge into the whole transform against the
// double-precision reference, for every span from 8 points to half the array and loop groupings
// from one register to more than the factor buffer holds; the slots that share a member give its
// bits.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "fft_cross_block_kernels.h"
#include "fft_reference.h"
#include "fft_test_checks.h"
#include "fft_test_support.h"
#include "sigprim.h"
#include "slots.h"

#define CROSS_BLOCK_DECLARE(ns, fwd)                                                               \
    namespace sig::ns {                                                                            \
    void fwd(cf32*, int32_t, int32_t, const float*, int32_t, int32_t);                             \
    void sigkFftInvCrossBlock_cf32(cf32*, int32_t, int32_t, const float*, int32_t, int32_t);       \
    }
CROSS_BLOCK_DECLARE(s1, sigkFftInvCrossBlock_cf32)  // slot 1 has no forward member
CROSS_BLOCK_DECLARE(s2, sigkFftCrossBlock_cf32)
CROSS_BLOCK_DECLARE(s3, sigkFftCrossBlock_cf32)
CROSS_BLOCK_DECLARE(s4, sigkFftCrossBlock_cf32)
CROSS_BLOCK_DECLARE(s5, sigkFftCrossBlock_cf32)
CROSS_BLOCK_DECLARE(s6, sigkFftCrossBlock_cf32)
#undef CROSS_BLOCK_DECLARE

namespace {

using fft_test::Guarded;
using fft_test::Plan;
using Kernel = fft_cross_block::Kernel;
using Transform = decltype(&sig::s0::sigkFftInv_cf32);
constexpr const auto& kCross = fft_cross_block::kPerSlot;

constexpr int32_t kOrder = 11;
constexpr int32_t kN = 1 << kOrder;
constexpr int32_t kSteps[] = {2, 64, 1 << 20};  // one register, 32 positions, the buffer's limit

// e^(-j 2 pi i / n) as (cos, -sin), i below n/4, the nearest floats.
std::vector<float> crossTable(int32_t n)
{
    std::vector<float> t;
    for (int32_t i = 0; i < n / 4; ++i) {
        t.push_back(static_cast<float>(std::cos(2 * M_PI * i / n)));
        t.push_back(static_cast<float>(-std::sin(2 * M_PI * i / n)));
    }
    return t;
}

TEST(CrossBlock, TransformedBlocksMergeIntoTheWholeTransform)
{
    const std::vector<cf32> x = fft_reference::testSignal(kN, 2300u);
    const fft_test::References refs(x);
    const std::vector<float> table = crossTable(kN);
    for (int slot = 1; slot <= 6; ++slot) {
        if (!testing_slots::slotRuns(slot))
            continue;
        testing_slots::SlotScope scope(slot);
        for (int inverse = 0; inverse < 2; ++inverse) {
            const Kernel kernel = kCross[slot][inverse];
            if (kernel == nullptr)
                continue;
            const Transform transform = inverse ? fft_test::kInverse[slot] : sigFftFwd_cf32;
            for (int32_t spanOrder = 3; spanOrder < kOrder; ++spanOrder) {
                const int32_t span = 1 << spanOrder, blocks = kN / span;
                const Plan plan(spanOrder, 8);
                // Block b holds the transform of the residue bitreverse(b) modulo the block count.
                std::vector<cf32> merged(kN), residue(span);
                for (int32_t b = 0; b < blocks; ++b) {
                    const int32_t r = fft_test::reverseBits(b, kOrder - spanOrder);
                    for (int32_t i = 0; i < span; ++i)
                        residue[i] = x[size_t(r + i * blocks)];
                    ASSERT_EQ(transform(residue.data(), &merged[size_t(b) * span], plan.spec, nullptr), sigOk);
                }
                for (int32_t step : kSteps) {
                    SCOPED_TRACE(testing::Message() << "slot " << slot << (inverse ? " inverse" : " forward")
                                                    << " span " << span << " step " << step);
                    Guarded data(kN, 8);
                    data.fill(merged);
                    kernel(data.data, kN, span, table.data(), 1 - inverse, step);
                    EXPECT_LE(fft_reference::relativeRmsError(data.data, refs.ref[inverse], 1.0),
                              fft_reference::allowedError(kOrder));
                    EXPECT_TRUE(data.guardsIntact());
                }
            }
        }
    }
}

// The forward member of slots 2 and 4 and the inverse member of slots 2 and 3 are one each.
TEST(CrossBlock, SlotsSharingAMemberGiveItsBits)
{
    const std::vector<cf32> x = fft_reference::testSignal(kN, 2301u);
    const std::vector<float> table = crossTable(kN);
    for (auto [inverse, other] : {std::pair{0, 4}, std::pair{1, 3}}) {
        if (!testing_slots::slotRuns(other))
            continue;
        for (int32_t span : {8, 256}) {
            std::vector<cf32> a = x, b = x;
            kCross[2][inverse](a.data(), kN, span, table.data(), 0, 256);
            kCross[other][inverse](b.data(), kN, span, table.data(), 0, 256);
            EXPECT_TRUE(fft_test::sameBits(a, b)) << "slot " << other << " span " << span;
        }
    }
}

}  // namespace
