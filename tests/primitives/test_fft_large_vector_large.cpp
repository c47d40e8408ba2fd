// The large-order drivers of slots 1 to 6 at the orders that need gigabytes: the split step one
// depth down on slots 2 and 4 (26) against the double-precision transform;
// slots 5 and 6 one depth down (27) and order 28 (2 GiB an array: every total, end and copy
// length past 32 bits) by an exactly known spectrum of tones and the round trip to the input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "fft_reference.h"
#include "fft_test_support.h"
#include "sigprim.h"
#include "slots.h"

namespace {

using fft_reference::allowedError;
using fft_reference::cd;
using fft_test::Plan;
using fft_test::kLarge;

// n values from 64 bytes past a 64-byte boundary plus offset bytes.
struct Buffer {
    std::vector<uint8_t> block;
    cf32* data;
    Buffer(size_t n, size_t offset) : block(8 * n + 128)
    {
        const uintptr_t start = (reinterpret_cast<uintptr_t>(block.data()) + 63) & ~uintptr_t{63};
        data = reinterpret_cast<cf32*>(start + offset);
    }
};

cf32* workOf(Plan& plan) { return reinterpret_cast<cf32*>(sig::fft::fftAlign64(plan.work())); }

struct SlotOrder {
    int slot;
    int32_t order;
};

class FftLargeVectorHuge : public testing::TestWithParam<SlotOrder> {};

TEST_P(FftLargeVectorHuge, BothDirectionsAgainstReference)
{
    const auto [slot, order] = GetParam();
    SIG_SKIP_UNLESS_SLOT_RUNS(slot);
    const size_t n = size_t{1} << order;
    Plan plan(order, 8, slot);
    ASSERT_NE(plan.spec, nullptr);
    const std::vector<cf32> x = fft_reference::testSignal(n, uint32_t(order));
    std::vector<cd> ref = fft_reference::dft(fft_reference::toDouble(x));
    for (int dir = 0; dir < 2; ++dir) {
        SCOPED_TRACE(dir == 0 ? "forward" : "inverse");
        if (dir == 1)  // the inverse's output k is the forward's output n - k
            for (size_t k = 1; k < n - k; ++k)
                std::swap(ref[k], ref[n - k]);
        Buffer src(n, 0), dst(n, 8);
        std::memcpy(src.data, x.data(), 8 * n);
        kLarge[slot][dir](plan.spec, src.data, dst.data, order, workOf(plan));
        EXPECT_EQ(std::memcmp(src.data, x.data(), 8 * n), 0) << "source changed";
        EXPECT_LE(fft_reference::relativeRmsError(dst.data, ref, 1.0), allowedError(order));
        kLarge[slot][dir](plan.spec, src.data, src.data, order, workOf(plan));
        EXPECT_EQ(std::memcmp(src.data, dst.data, 8 * n), 0) << "in place differs";
    }
}

// 26 splits the rows of slots 2 and 4 once more (64 and 16 rows of 2^14); orders up to 24 are in
// the default set.
const SlotOrder kCases[] = {{2, 26}, {4, 26}};

INSTANTIATE_TEST_SUITE_P(CopyAndSplit, FftLargeVectorHuge, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<SlotOrder>& info) {
                             return "slot" + std::to_string(info.param.slot) + "_order" +
                                    std::to_string(info.param.order);
                         });

// Tones at whole bins: x[t] = sum of a_i e^(2 pi j f_i t / n), so X[f_i] = n a_i and every other
// bin is 0. e^(2 pi j k / n) from two tables of 2^14 (k split at bit 14), exact in double.
struct Tones {
    static constexpr int kCount = 5;
    size_t n;
    size_t freq[kCount];
    cd amp[kCount] = {{0.1, 0}, {0.5, -0.25}, {-0.3, 0.7}, {0.2, 0.2}, {-0.6, -0.1}};
    std::vector<cd> high, low;
    explicit Tones(int32_t order) : n(size_t{1} << order), high(size_t{1} << 14), low(size_t{1} << 14)
    {
        const size_t f[kCount] = {0, 1, 12345679, n / 2 + 3, n - 1};
        std::memcpy(freq, f, sizeof f);
        for (size_t i = 0; i < high.size(); ++i) {
            high[i] = std::polar(1.0, 2 * M_PI * double(i << 14) / double(n));
            low[i] = std::polar(1.0, 2 * M_PI * double(i) / double(n));
        }
    }
    cd at(size_t t) const
    {
        cd sum = 0;
        for (int i = 0; i < kCount; ++i) {
            const size_t k = (freq[i] * t) & (n - 1);
            sum += amp[i] * high[k >> 14] * low[k & 16383];
        }
        return sum;
    }
};

uint64_t checksum(const cf32* data, size_t n)
{
    uint64_t h = 1469598103934665603ull;
    const uint64_t* words = reinterpret_cast<const uint64_t*>(data);
    for (size_t i = 0; i < n; ++i)
        h = (h ^ words[i]) * 1099511628211ull;
    return h;
}

// Out of place into a misaligned destination at flag 4, then the inverse in place. Slot 2 at
// order 28: 32 copy chunks of 64 MiB, 256 rows of 2^20 split again into 64 rows of 2^14. Slots 5
// and 6 at 27: 256 rows of 2^19 split again into 16 rows of 2^15.
class FftLargeVectorTones : public testing::TestWithParam<SlotOrder> {};

TEST_P(FftLargeVectorTones, SpectrumAndRoundTrip)
{
    const auto [slot, order] = GetParam();
    SIG_SKIP_UNLESS_SLOT_RUNS(slot);
    const size_t n = size_t{1} << order;
    const Tones tones(order);
    Buffer src(n, 0), dst(n, 8);
    for (size_t t = 0; t < n; ++t) {
        const cd v = tones.at(t);
        src.data[t] = {float(v.real()), float(v.imag())};
    }
    const uint64_t before = checksum(src.data, n);
    {
        Plan plan(order, 4, slot);
        ASSERT_NE(plan.spec, nullptr);
        const double f = plan.spec->factor;
        kLarge[slot][0](plan.spec, src.data, dst.data, order, workOf(plan));
        EXPECT_EQ(checksum(src.data, n), before) << "source changed";

        double err = 0, norm = 0;
        for (size_t k = 0; k < n; ++k) {
            cd r = 0;
            for (int i = 0; i < Tones::kCount; ++i)
                if (tones.freq[i] == k)
                    r = tones.amp[i] * (double(n) * f);
            err += std::norm(cd(dst.data[k].re, dst.data[k].im) - r);
            norm += std::norm(r);
        }
        EXPECT_LE(std::sqrt(err / norm), allowedError(order));

        kLarge[slot][1](plan.spec, dst.data, dst.data, order, workOf(plan));
    }
    double err = 0, norm = 0;
    for (size_t t = 0; t < n; ++t) {
        const cd r = cd(src.data[t].re, src.data[t].im);
        err += std::norm(cd(dst.data[t].re, dst.data[t].im) - r);
        norm += std::norm(r);
    }
    EXPECT_LE(std::sqrt(err / norm), 2 * allowedError(order));
}

const SlotOrder kToneCases[] = {{2, 28}, {5, 27}, {6, 27}};

INSTANTIATE_TEST_SUITE_P(Deepest, FftLargeVectorTones, testing::ValuesIn(kToneCases),
                         [](const testing::TestParamInfo<SlotOrder>& info) {
                             return "slot" + std::to_string(info.param.slot) + "_order" +
                                    std::to_string(info.param.order);
                         });

}  // namespace
