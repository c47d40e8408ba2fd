// The cross-block kernels of the vector slots, both directions: the blocks of a bit-reversed
// array, each transformed by the slot's own transform, merge into the whole transform against the
// double-precision reference, for every span from one point to half the array and loop groupings
// from one register to more than the factor buffer holds, writing nothing outside the array; other
// spans and lengths write nothing at all; and every stage, those shorter than a register
// included, rounds as the slot's complex product, down to the 2-point transform.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "fft_cross_block_kernels.h"
#include "fft_reference.h"
#include "fft_test_checks.h"
#include "fft_test_support.h"
#include "sigprim.h"
#include "slots.h"

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
            for (int32_t spanOrder = 0; spanOrder < kOrder; ++spanOrder) {
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

// A span or length that is not a power of two has no stages that fit the array: nothing is
// written, neither inside nor past it.
TEST(CrossBlock, OtherSpansAndLengthsLeaveTheArrayAlone)
{
    const std::vector<float> table = crossTable(kN);
    for (int slot = 1; slot <= 6; ++slot) {
        if (!testing_slots::slotRuns(slot))
            continue;
        for (int inverse = 0; inverse < 2; ++inverse)
            for (auto [n, span] : {std::pair{kN, 3}, {kN, 12}, {1536, 8}, {kN - 2, 2}, {kN, 0}, {kN, -8}}) {
                Guarded data(kN, 8);
                data.fill(std::vector<cf32>(kN, cf32{1, -1}));
                kCross[slot][inverse](data.data, n, span, table.data(), 0, 256);
                EXPECT_TRUE(data.same(std::vector<cf32>(kN, cf32{1, -1})) && data.guardsIntact())
                    << "slot " << slot << (inverse ? " inverse" : " forward") << " n " << n << " span " << span;
            }
    }
}

// Every position of every stage, in the slots' rounding: each product rounded (slot 6: the
// imaginary part's product rounded, the other fused into the sum), by the factor itself.
std::vector<cf32> modelPasses(std::vector<cf32> x, int32_t span, const std::vector<float>& table,
                              bool inverse, bool fused)
{
    const int32_t n = int32_t(x.size());
    for (int32_t s = span; s < n; s *= 2) {
        const int32_t stride = n / (2 * s);
        for (int32_t pair = 0; pair < n; pair += 2 * s)
            for (int32_t m = 0; m < s; ++m) {
                const bool turned = 2 * m >= s;
                const int32_t i = 2 * (turned ? m - s / 2 : m) * stride;
                // The upper half takes -j w, the inverse conjugates: +j conj(w) there. w^0 is
                // (cos 0, -sin 0) at every length: a 2-point table holds no entry.
                const float re = i == 0 ? 1.0f : table[size_t(i)], im = i == 0 ? -0.0f : table[size_t(i) + 1];
                const float fr = turned ? im : re, fi = (turned ? -re : im) * (inverse ? -1 : 1);
                const cf32 u = x[size_t(pair + m)], v = x[size_t(pair + s + m)];
                const cf32 p = fused ? cf32{std::fmaf(v.re, fr, -(v.im * fi)), std::fmaf(v.im, fr, v.re * fi)}
                                     : cf32{v.re * fr - v.im * fi, v.im * fr + v.re * fi};
                x[size_t(pair + m)] = {u.re + p.re, u.im + p.im};
                x[size_t(pair + s + m)] = {u.re - p.re, u.im - p.im};
            }
    }
    return x;
}

// The smallest lengths too, each with a table of exactly n/4 entries (none at n = 2), and nothing
// written outside the array.
TEST(CrossBlock, EveryStageRoundsAsTheSlotsProduct)
{
    for (int32_t n : {2, 4, kN}) {
        const std::vector<cf32> x = fft_reference::testSignal(n, 2301u);
        const std::vector<float> table = crossTable(n);
        for (int slot = 1; slot <= 6; ++slot) {
            if (!testing_slots::slotRuns(slot))
                continue;
            for (int inverse = 0; inverse < 2; ++inverse)
                for (int32_t span = 1; span < n; span *= 2) {
                    const std::vector<cf32> want = modelPasses(x, span, table, inverse, slot == 6);
                    for (int32_t step : {2, 1 << 20}) {
                        Guarded y(size_t(n), 8);
                        y.fill(x);
                        kCross[slot][inverse](y.data, n, span, table.data(), 0, step);
                        EXPECT_TRUE(y.same(want) && y.guardsIntact()) << "slot " << slot << (inverse ? " inverse" : " forward")
                                                                      << " n " << n << " span " << span << " step " << step;
                    }
                }
        }
    }
}

}  // namespace
