// The large-order drivers of slots 1 to 6, both directions, called directly with specs from each
// slot's own planner: every bit-reversal threshold (whole array, tiles gathered from the source,
// tiles exchanged in place), every split shape up to order 24 (column groups of 32, 64, 128 and
// 256, two to four column passes) against the double-precision transform; out of place into a
// destination 8 bytes off its alignment with the same bits as in place, the source unchanged,
// nothing written outside the destination or the work area the record asks for; the spec's
// scaling applied exactly once per point in either direction; the split step one depth down.
#include <gtest/gtest.h>

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
using fft_test::kSplit;

// Bytes at a chosen offset past a 64-byte boundary, between guard bytes.
struct Guarded {
    static constexpr size_t kGuard = 256;
    std::vector<uint8_t> block;
    uint8_t* data;
    size_t bytes;
    Guarded(size_t size, size_t offset) : block(size + 2 * kGuard + 64, 0x5A), bytes(size)
    {
        const uintptr_t start = reinterpret_cast<uintptr_t>(block.data()) + kGuard + 63;
        data = reinterpret_cast<uint8_t*>((start & ~uintptr_t{63}) + offset);
    }
    cf32* values() const { return reinterpret_cast<cf32*>(data); }
    bool guardsIntact() const
    {
        for (const uint8_t* q = block.data(); q < block.data() + block.size(); ++q)
            if ((q < data || q >= data + bytes) && *q != 0x5A)
                return false;
        return true;
    }
};

// The work area a driver gets: the record's work bytes from a 64-byte boundary, guarded.
Guarded workArea(const Plan& plan) { return Guarded(size_t(fft_test::word(plan.spec, 6)), 0); }

struct SlotOrder {
    int slot;
    int32_t order;
};

class FftLargeVector : public testing::TestWithParam<SlotOrder> {};

// Slots 1 and 3: whole array at 16, tiles from the source at 17 and 18, copied first (one chunk
// at 19, two at 20) and exchanged in place from 19; slot 1 groups of 32 (16), 64 (17, 18, 22) and
// 128 (19 to 21), its longest rows (2^15, the row kernel's limit) at 21, 256 rows at 22; slot 3
// tiles of 32 and groups of 256 at 20. Slots 2 and 4: whole array at 18 (the copying kernel out
// of place), tiles from the source from 19 to 22, the last order that gathers them; slot 2
// splits 20 by 64 rows of 2^14 and 21 and 22 by 256 rows (four column passes), slot 4 splits 20
// by 16 rows of 2^16, 21 and 22 by 256 rows. Slots 5 and 6: tiles from the source from 19, 16
// rows of 2^15 (odd rows) and 2^16 (even rows), their longest rows (2^18) at 22, the last order
// that gathers tiles from the source. Every slot up to order 24: slots 2, 4, 5 and 6
// copy an out-of-place source first from 23 (one chunk of 2^23 values, two at 24); 24 splits the
// rows of slots 1 and 3 once more (16 rows of 2^12). The split step one depth down on slots 2,
// 4, 5 and 6 (26, 27) and order 28: the _large file.
const SlotOrder kCases[] = {{1, 16}, {1, 17}, {1, 18}, {1, 19}, {1, 20}, {1, 21}, {1, 22},
                            {1, 24}, {3, 16}, {3, 17}, {3, 18}, {3, 19}, {3, 20}, {3, 24},
                            {2, 18}, {2, 19}, {2, 20}, {2, 21}, {2, 22}, {2, 23}, {2, 24},
                            {4, 18}, {4, 19}, {4, 20}, {4, 21}, {4, 22}, {4, 23}, {4, 24},
                            {5, 19}, {5, 22}, {5, 23}, {5, 24}, {6, 20}, {6, 22},
                            {6, 23}, {6, 24}};

TEST_P(FftLargeVector, BothDirectionsInAndOutOfPlace)
{
    const auto [slot, order] = GetParam();
    SIG_SKIP_UNLESS_SLOT_RUNS(slot);
    const size_t n = size_t{1} << order;
    const Plan plan(order, 8, slot);
    ASSERT_NE(plan.spec, nullptr);
    const std::vector<cf32> x = fft_reference::testSignal(n, uint32_t(order));
    const std::vector<cd> fwdRef = fft_reference::dft(fft_reference::toDouble(x));

    for (int dir = 0; dir < 2; ++dir) {
        SCOPED_TRACE(dir == 0 ? "forward" : "inverse");
        // The inverse's output k is the forward's output n - k.
        std::vector<cd> ref(n);
        for (size_t k = 0; k < n; ++k)
            ref[k] = fwdRef[dir == 0 ? k : (n - k) % n];

        Guarded inPlace(8 * n, 0);
        std::memcpy(inPlace.data, x.data(), 8 * n);
        Guarded work = workArea(plan);
        kLarge[slot][dir](plan.spec, inPlace.values(), inPlace.values(), order,
                          reinterpret_cast<cf32*>(work.data));
        EXPECT_LE(fft_reference::relativeRmsError(inPlace.values(), ref, 1.0), allowedError(order));
        EXPECT_TRUE(inPlace.guardsIntact());
        EXPECT_TRUE(work.guardsIntact()) << "written past the record's work bytes";

        Guarded src(8 * n, 0), dst(8 * n, 8);
        std::memcpy(src.data, x.data(), 8 * n);
        Guarded work2 = workArea(plan);
        kLarge[slot][dir](plan.spec, src.values(), dst.values(), order,
                          reinterpret_cast<cf32*>(work2.data));
        EXPECT_EQ(std::memcmp(src.data, x.data(), 8 * n), 0) << "source changed";
        EXPECT_EQ(std::memcmp(dst.data, inPlace.data, 8 * n), 0)
            << "out of place, misaligned, differs from in place";
        EXPECT_TRUE(dst.guardsIntact());
        EXPECT_TRUE(work2.guardsIntact());
    }
}

INSTANTIATE_TEST_SUITE_P(Thresholds, FftLargeVector, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<SlotOrder>& info) {
                             return "slot" + std::to_string(info.param.slot) + "_order" +
                                    std::to_string(info.param.order);
                         });

// A constant input sums exactly: X[0] is n times the factor the direction's switch asks for, so a
// factor applied twice, or not at all, or by the other direction's switch shows at once. Then
// a forward and an inverse transform at flag 4 give the input back.
TEST(FftLargeVectorScaling, OncePerPointAndRoundTrip)
{
    for (int slot = 1; slot <= 6; ++slot) {
        if (!testing_slots::slotRuns(slot))
            continue;
        const int32_t order = slot == 1 || slot == 3 ? 17 : 19;
        const size_t n = size_t{1} << order;
        for (int32_t flag : {1, 2, 4}) {
            SCOPED_TRACE(testing::Message() << "slot " << slot << " flag " << flag);
            const Plan plan(order, flag, slot);
            const float f = plan.spec->factor;
            Guarded work = workArea(plan);
            for (int dir = 0; dir < 2; ++dir) {
                const bool scaled = dir == 0 ? flag != 2 : flag != 1;
                std::vector<cf32> y(n, cf32{1.0f, 0.0f});
                kLarge[slot][dir](plan.spec, y.data(), y.data(), order,
                                  reinterpret_cast<cf32*>(work.data));
                EXPECT_EQ(y[0].re, float(n) * (scaled ? f : 1.0f)) << "direction " << dir;
                EXPECT_EQ(y[0].im, 0.0f);
            }
            if (flag != 4)
                continue;
            const std::vector<cf32> x = fft_reference::testSignal(n, 7);
            std::vector<cf32> y(n), back(n);
            kLarge[slot][0](plan.spec, x.data(), y.data(), order, reinterpret_cast<cf32*>(work.data));
            kLarge[slot][1](plan.spec, y.data(), back.data(), order,
                            reinterpret_cast<cf32*>(work.data));
            EXPECT_LE(fft_reference::relativeRmsError(back.data(), fft_reference::toDouble(x), 1.0),
                      2 * allowedError(order));
        }
    }
}

// The split step one depth down, as the drivers of slots 1 and 3 run it on each row of order 24
// (16 rows of 2^12 and groups of 32 with the depth-1 column table): one bit-reversed row of 2^16
// values comes back transformed, scaled once at its leaves, in the blocked split layout.
TEST(FftLargeVectorSplit, DepthOneRowOfOrder24)
{
    constexpr int32_t order = 16;
    const size_t n = size_t{1} << order;
    const std::vector<cf32> x = fft_reference::testSignal(n, 24);
    const std::vector<cd> fwdRef = fft_reference::dft(fft_reference::toDouble(x));
    std::vector<cf32> rev(n);
    for (size_t p = 0; p < n; ++p)
        rev[p] = x[size_t(fft_test::reverseBits(int64_t(p), order))];
    for (int slot : {1, 3}) {
        if (!testing_slots::slotRuns(slot))
            continue;
        const Plan plan(24, 4, slot);
        ASSERT_NE(plan.spec, nullptr);
        for (int dir = 0; dir < 2; ++dir) {
            SCOPED_TRACE(testing::Message() << "slot " << slot << " direction " << dir);
            std::vector<cd> ref(n);
            for (size_t k = 0; k < n; ++k)
                ref[k] = fwdRef[dir == 0 ? k : (n - k) % n];
            Guarded row(8 * n, 8);
            std::memcpy(row.data, rev.data(), 8 * n);
            Guarded work = workArea(plan);
            kSplit[slot][dir](plan.spec, row.values(), order, 1, reinterpret_cast<cf32*>(work.data));
            std::vector<cf32> y(n);  // from groups of 4 real parts and 4 imaginary parts
            const float* f = reinterpret_cast<const float*>(row.data);
            for (size_t b = 0; b < n; b += 4)
                for (size_t i = 0; i < 4; ++i)
                    y[b + i] = {f[2 * b + i], f[2 * b + 4 + i]};
            EXPECT_LE(fft_reference::relativeRmsError(y.data(), ref, plan.spec->factor),
                      allowedError(order));
            EXPECT_TRUE(row.guardsIntact());
            EXPECT_TRUE(work.guardsIntact());
        }
    }
}

}  // namespace
