// The middle-order kernels of slot 1, called directly with the tables of slot 1's own planner: the
// fused transform (orders 6 to 14) and the radix transform after a bit reversal (order 15), both
// directions, against the double-precision transform and against a scalar model to the bit; the
// same bits in place and at any alignment; the work buffer untouched where dst serves; nothing
// written outside dst and work; the split output of the radix transform; the conjugate twin.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "fft_reference.h"
#include "fft_test_checks.h"
#include "fft_test_support.h"
#include "sigprim.h"
#include "slots.h"

namespace {

using fft_test::conj;
using fft_test::Guarded;
using fft_test::Plan;
using fft_test::sameBits;
using fft_test::sameUpToZeroSign;

// One direction of slot 1's middle orders, the way its entries run it: the fused kernel up to
// order 14; at 15 the bit reversal (in place or copying) and the radix kernel with flag 1.
struct Kernels {
    bool inverse;
    const Plan& plan;
    void operator()(const cf32* src, cf32* dst, int32_t order, cf32* work) const
    {
        const int32_t n = 1 << order;
        const float* tw = plan.at<float>(11);
        const int32_t* rev = plan.at<int32_t>(10);
        if (order <= 14)
            return (inverse ? sig::s1::sigkFftInvFused_cf32 : sig::s1::sigkFftFwdFused_cf32)(src, dst, n, tw,
                                                                                              rev, work);
        if (src == dst)
            sig::s1::sigkBitRevInPlace_cf32(dst, n, rev);
        else
            sig::s1::sigkBitRevCopy_cf32(src, dst, n, rev);
        (inverse ? sig::s1::sigkFftRadixInv_cf32 : sig::s1::sigkFftRadixFwd_cf32)(dst, n, tw, work, 1);
    }
};

// ---- A scalar model, to the bit --------------------------------------------------------------
// The kernels' arithmetic one value at a time: 4-point (even orders) or 8-point (odd orders, the
// eighth roots with the stored half root 0.70710683) transforms of the bit-reversed columns,
// then radix-4 passes reading the table's sets in order.
struct Model : fft_test::ScalarSteps {
    std::vector<cf32> run(const std::vector<cf32>& x, const float* table) const
    {
        const int32_t n = int32_t(x.size()), order = __builtin_ctz(unsigned(n));
        std::vector<cf32> z(x.size());
        int32_t m = 4;
        for (int32_t t = 0; t < n / 4; ++t) {
            const int32_t s = fft_test::reverseBits(t, order - 2);
            dft4(x[s], x[s + n / 4], x[s + n / 2], x[s + 3 * n / 4], &z[4 * t]);
        }
        if (order % 2 == 1) {
            const float c8[4] = {1.0f, 0.70710683f, 0.0f, -0.70710683f}, s8[4] = {0.0f, -0.70710683f, -1.0f, -0.70710683f};
            for (int32_t g = 0; g < n; g += 8)
                for (int32_t k = 0; k < 4; ++k) {
                    const cf32 a = z[g + k], t = twiddle(z[g + 4 + k], c8[k], s8[k]);
                    z[g + k] = add(a, t), z[g + 4 + k] = sub(a, t);
                }
            m = 8;
        }
        for (const float* set = table; m < n; set += 6 * m, m *= 4)
            pass4(z, m, set);
        return z;
    }
};

class Level1 : public testing::TestWithParam<int32_t> {};

TEST_P(Level1, ReferenceModelAlignmentsWorkBufferAndTwin)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(1);
    const int32_t order = GetParam();
    const size_t n = size_t{1} << order;
    const std::vector<cf32> x = fft_reference::testSignal(n, 90u + uint32_t(order));
    const fft_test::References refs(x);
    const Plan plan(order, 8, 1);
    ASSERT_GE(size_t(plan.workSize), 8 * n);  // the caller's buffer, from its 64-byte boundary
    std::vector<cf32> result[2];
    for (bool inverse : {false, true}) {
        SCOPED_TRACE(testing::Message() << "order " << order << (inverse ? " inverse" : " forward"));
        const Kernels transform{inverse, plan};
        // Out of place into an aligned dst: dst is the work area (order 15: the data is aligned),
        // so the work buffer keeps every byte, and the source stays as it was.
        Guarded src(n, 0), dst(n, 0), work(n, 0);
        src.fill(x);
        transform(src.data, dst.data, order, work.data);
        result[inverse] = dst.values();
        EXPECT_LE(fft_reference::relativeRmsError(dst.data, refs.ref[inverse], 1.0),
                  fft_reference::allowedError(order));
        EXPECT_TRUE(sameUpToZeroSign(result[inverse], Model{{inverse}}.run(x, plan.at<float>(11))))
            << "not the model's bits";
        EXPECT_TRUE(sameBits(src.values(), x) && src.guardsIntact() && dst.guardsIntact());
        EXPECT_TRUE(work.untouched()) << "work buffer written although dst could serve";
        // In place, and sources and destinations at 8 mod 16: the same bits, with the work
        // buffer used within its n values.
        Guarded inPlace(n, 0), unaligned(n, 8);
        inPlace.fill(x);
        transform(inPlace.data, inPlace.data, order, work.data);
        EXPECT_TRUE(sameBits(inPlace.values(), result[inverse]) && inPlace.guardsIntact()) << "in place";
        unaligned.fill(x);
        transform(unaligned.data, unaligned.data, order, work.data);
        EXPECT_TRUE(sameBits(unaligned.values(), result[inverse]) && unaligned.guardsIntact())
            << "in place at 8 mod 16";
        for (size_t srcOffset : {0, 8})
            for (size_t dstOffset : {8, 24}) {
                Guarded s(n, srcOffset), d(n, dstOffset);
                s.fill(x);
                transform(s.data, d.data, order, work.data);
                EXPECT_TRUE(sameBits(d.values(), result[inverse]) && d.guardsIntact())
                    << "src +" << srcOffset << ", dst +" << dstOffset;
            }
        EXPECT_TRUE(work.guardsIntact());
    }
    // The inverse is the forward's conjugate twin.
    std::vector<cf32> twin(n);
    Kernels{false, plan}(conj(x).data(), twin.data(), order, Guarded(n, 0).data);
    EXPECT_TRUE(sameUpToZeroSign(conj(twin), result[1])) << "not the forward's twin";
}

INSTANTIATE_TEST_SUITE_P(Orders6To15, Level1, testing::Range(6, 16));

// The radix kernel on bit-reversed data, from order 5 (the first stage followed at once by the
// last pass) up, gives the model's bits; a twiddle table serves every smaller order of its
// parity. With flag 0 it leaves the split layout, which turned back block by block is its flag-1
// result. It works in the data when that is aligned, else in the work buffer.
TEST(Level1, RadixSplitOutputAndSmallerOrders)
{
    const Plan tables[2] = {Plan(14, 8, 1), Plan(15, 8, 1)};
    for (int32_t order = 5; order <= 15; ++order) {
        const size_t n = size_t{1} << order;
        const std::vector<cf32> x = fft_reference::testSignal(n, 3u * uint32_t(order));
        const std::vector<cf32> reversed = fft_test::bitReversed(x);
        const float* tw = tables[order % 2].at<float>(11);
        for (bool inverse : {false, true}) {
            SCOPED_TRACE(testing::Message() << "order " << order << (inverse ? " inverse" : " forward"));
            const auto radix = inverse ? sig::s1::sigkFftRadixInv_cf32 : sig::s1::sigkFftRadixFwd_cf32;
            for (size_t offset : {0, 8}) {
                Guarded interleaved(n, offset), split(n, offset), work(n, 0);
                interleaved.fill(reversed);
                split.fill(reversed);
                radix(interleaved.data, int32_t(n), tw, work.data, 1);
                radix(split.data, int32_t(n), tw, work.data, 0);
                EXPECT_EQ(work.untouched(), offset == 0) << "work buffer use at offset " << offset;
                EXPECT_TRUE(interleaved.guardsIntact() && split.guardsIntact() && work.guardsIntact());
                EXPECT_TRUE(sameUpToZeroSign(interleaved.values(), Model{{inverse}}.run(x, tw)));
                EXPECT_TRUE(sameBits(fft_test::desplit(split.values(), 4), interleaved.values())) << "offset " << offset;
            }
        }
    }
}

}  // namespace
