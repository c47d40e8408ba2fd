// The FFT size query and planner: status codes in their order, the reported sizes, that no
// planner writes outside the blocks it reported at any alignment, and the head words.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "fft_slot_decls.h"
#include "sigprim.h"
#include "slots.h"

namespace {

using fft_test::kOwnGetSize;
using fft_test::kOwnInit;
using fft_test::word;

constexpr uint8_t kCanary = 0xA5;

TEST(FftGetSize, StatusCodesInTheirOrder)
{
    int32_t a = -1, b = -1, c = -1;
    EXPECT_EQ(sigFftGetSize_cf32(-1, 8, 0, nullptr, nullptr, nullptr), sigErrFftOrder);
    EXPECT_EQ(sigFftGetSize_cf32(31, 3, 0, &a, &b, &c), sigErrFftOrder);
    EXPECT_EQ(sigFftGetSize_cf32(8, 8, 0, nullptr, &b, &c), sigErrNull);
    EXPECT_EQ(sigFftGetSize_cf32(8, 8, 0, &a, nullptr, &c), sigErrNull);
    EXPECT_EQ(sigFftGetSize_cf32(8, 8, 0, &a, &b, nullptr), sigErrNull);
    EXPECT_EQ(sigFftGetSize_cf32(30, 3, 0, &a, &b, &c), sigErrFftFlag);
    EXPECT_EQ(sigFftGetSize_cf32(29, 1, 0, &a, &b, &c), sigErrFftOrder);
    EXPECT_EQ(sigFftGetSize_cf32(28, 0, 0, &a, &b, &c), sigErrFftFlag);
    EXPECT_EQ(a, -1);  // nothing written on failure
    EXPECT_EQ(b, -1);
    EXPECT_EQ(c, -1);
    for (int slot = 0; slot < 7; ++slot) {
        if (!testing_slots::slotRuns(slot))
            continue;
        const sigStatus expect28 = slot == 0 ? sigErrFftOrder : sigOk;
        EXPECT_EQ(kOwnGetSize[slot](28, 4, 0, &a, &b, &c), expect28) << "slot " << slot;
        EXPECT_EQ(kOwnGetSize[slot](29, 4, 0, &a, &b, &c), sigErrFftOrder) << "slot " << slot;
        EXPECT_EQ(kOwnGetSize[slot](8, 16, 0, &a, &b, &c), sigErrFftFlag) << "slot " << slot;
    }
}

TEST(FftGetSize, SizesOfTheSmallAndDirectOrders)
{
    for (int slot = 0; slot < 7; ++slot) {
        if (!testing_slots::slotRuns(slot))
            continue;
        for (int32_t flag : {1, 2, 4, 8}) {
            for (int32_t order = 0; order <= (slot >= 5 ? 6 : 5); ++order) {
                int32_t s = 0, i = -1, w = -1;
                ASSERT_EQ(kOwnGetSize[slot](order, flag, 99, &s, &i, &w), sigOk);
                EXPECT_EQ(s, 152);
                EXPECT_EQ(i, 0);
                EXPECT_EQ(w, 0);
            }
        }
        int32_t s, i, w;
        ASSERT_EQ(kOwnGetSize[slot](8, 8, 0, &s, &i, &w), sigOk);
        EXPECT_EQ(s, 2624) << "slot " << slot;
        EXPECT_EQ(i, 0);
        EXPECT_EQ(w, slot == 0 ? 0 : 2112);
    }
    // A direct order above 10 on a vector layout needs the sine table in an init buffer.
    SIG_SKIP_UNLESS_SLOT_RUNS(2);
    int32_t s, i, w;
    ASSERT_EQ(kOwnGetSize[2](14, 8, 0, &s, &i, &w), sigOk);
    EXPECT_EQ(i, 16384 + 64 + 64);
    EXPECT_EQ(w, 8 * 16384 + 64);
}

// The dispatch entries of the vector slots size with the plain layout until their kernels exist.
TEST(FftGetSize, EntriesOfEverySlotAgreeWithThePlainLayout)
{
    for (int slot = 0; slot < 7; ++slot) {
        if (!testing_slots::slotRuns(slot))
            continue;
        testing_slots::SlotScope scope(slot);
        for (int32_t order = 0; order <= 27; ++order) {
            int32_t s, i, w, s0, i0, w0;
            ASSERT_EQ(sigFftGetSize_cf32(order, 1, 0, &s, &i, &w), sigOk);
            ASSERT_EQ(kOwnGetSize[0](order, 1, 0, &s0, &i0, &w0), sigOk);
            EXPECT_EQ(s, s0);
            EXPECT_EQ(i, i0);
            EXPECT_EQ(w, w0);
        }
        int32_t s, i, w;
        EXPECT_EQ(sigFftGetSize_cf32(28, 1, 0, &s, &i, &w), sigErrFftOrder);
    }
}

TEST(FftInit, StatusCodesInTheirOrder)
{
    alignas(64) static uint8_t mem[4096];
    sigFftSpec_cf32* out = reinterpret_cast<sigFftSpec_cf32*>(&out);  // a mark: never overwritten
    sigFftSpec_cf32* const mark = out;
    EXPECT_EQ(sigFftInit_cf32(nullptr, -1, 3, 0, nullptr, nullptr), sigErrNull);
    EXPECT_EQ(sigFftInit_cf32(&out, -1, 8, 0, mem, nullptr), sigErrFftOrder);
    EXPECT_EQ(sigFftInit_cf32(&out, 31, 8, 0, mem, nullptr), sigErrFftOrder);
    EXPECT_EQ(sigFftInit_cf32(&out, 28, 8, 0, mem, nullptr), sigErrFftOrder);
    EXPECT_EQ(sigFftInit_cf32(&out, 8, 3, 0, nullptr, nullptr), sigErrNull);
    EXPECT_EQ(out, mark);

    // A refused flag leaves a zeroed head with order and hint, and no tag.
    std::memset(mem, 0x5A, sizeof mem);
    EXPECT_EQ(sigFftInit_cf32(&out, 9, 3, 1234, mem, nullptr), sigErrFftFlag);
    const auto* head = reinterpret_cast<const sigFftSpec_cf32*>(mem);
    EXPECT_EQ(word(head, 0), 0);
    EXPECT_EQ(word(head, 1), 9);
    EXPECT_EQ(word(head, 5), 1234);
    for (int w : {2, 3, 4, 6, 7, 10, 11, 21})
        EXPECT_EQ(word(head, w), 0) << "word " << w;
    EXPECT_EQ(out, mark);
}

// Order 11 without its init buffer fails before the tag is written: the block can never pass a
// transform's tag test, even if it was a usable spec before.
TEST(FftInit, MissingInitBufferLeavesNoUsableRecord)
{
    std::vector<uint8_t> mem(80000);
    sigFftSpec_cf32* spec = nullptr;
    ASSERT_EQ(sigFftInit_cf32(&spec, 8, 8, 0, mem.data(), nullptr), sigOk);
    sigFftSpec_cf32* out = nullptr;
    EXPECT_EQ(sigFftInit_cf32(&out, 11, 8, 0, mem.data(), nullptr), sigErrNull);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(word(spec, 0), 0);
    std::vector<cf32> x(2048), y(2048);
    EXPECT_EQ(sigFftFwd_cf32(x.data(), y.data(), spec, nullptr), sigErrTag);
}

TEST(FftInit, ScalingWordsOfEveryFlag)
{
    std::vector<uint8_t> mem(1 << 16), init(1 << 16);
    for (int32_t order = 0; order <= 12; ++order) {
        sigFftSpec_cf32* spec;
        const float invN = std::ldexp(1.0f, -order);
        // 1/sqrt(N): a power of two, or that times the float nearest 1/sqrt(2) (0x3f3504f3).
        const float invRoot = std::ldexp(order % 2 ? 0.70710677f : 1.0f, -(order / 2));
        struct Case {
            int32_t flag, fwd, inv;
            float factor;
        } cases[] = {{1, 1, 0, invN}, {2, 0, 1, invN}, {4, 1, 1, invRoot}, {8, 0, 0, 0.0f}};
        for (const Case& c : cases) {
            ASSERT_EQ(sigFftInit_cf32(&spec, order, c.flag, 7, mem.data(), init.data()), sigOk);
            EXPECT_EQ(spec->tag, 4);
            EXPECT_EQ(spec->order, order);
            EXPECT_EQ(spec->fwdScale, c.fwd);
            EXPECT_EQ(spec->invScale, c.inv);
            EXPECT_EQ(spec->factor, c.factor) << "order " << order << " flag " << c.flag;
            EXPECT_EQ(spec->hint, 7);
        }
    }
    uint32_t bits;
    const float r = 0.70710677f;
    std::memcpy(&bits, &r, 4);
    EXPECT_EQ(bits, 0x3f3504f3u);
}

// Plans into blocks of exactly the reported sizes placed at the given offsets from a 64-byte
// boundary, with guard bytes around each; fails if any guard byte changed.
void expectPlanStaysInside(int slot, int32_t order, int32_t flag, size_t specOffset,
                           size_t initOffset)
{
    int32_t specSize, initSize, workSize;
    ASSERT_EQ(kOwnGetSize[slot](order, flag, 0, &specSize, &initSize, &workSize), sigOk);
    constexpr size_t kGuard = 128;
    auto guarded = [&](size_t size) { return std::vector<uint8_t>(size + 2 * kGuard + 64, kCanary); };
    std::vector<uint8_t> specBlock = guarded(static_cast<size_t>(specSize));
    std::vector<uint8_t> initBlock = guarded(static_cast<size_t>(initSize));
    auto place = [&](std::vector<uint8_t>& v, size_t offset) {
        uintptr_t base = (reinterpret_cast<uintptr_t>(v.data()) + kGuard + 63) & ~uintptr_t{63};
        return reinterpret_cast<uint8_t*>(base + offset);
    };
    uint8_t* specMem = place(specBlock, specOffset);
    uint8_t* initMem = initSize > 0 ? place(initBlock, initOffset) : nullptr;
    sigFftSpec_cf32* spec = nullptr;
    ASSERT_EQ(kOwnInit[slot](&spec, order, flag, 0, specMem, initMem), sigOk);
    auto checkGuards = [&](const std::vector<uint8_t>& v, const uint8_t* start, size_t size,
                           const char* what) {
        for (const uint8_t* p = v.data(); p < start; ++p)
            ASSERT_EQ(*p, kCanary) << what << " written before its block";
        for (const uint8_t* p = start + size; p < v.data() + v.size(); ++p)
            ASSERT_EQ(*p, kCanary) << what << " written " << (p - start - size) << " bytes past "
                                   << size;
    };
    SCOPED_TRACE(testing::Message() << "slot " << slot << " order " << order << " offsets "
                                    << specOffset << "/" << initOffset);
    checkGuards(specBlock, specMem, static_cast<size_t>(specSize), "spec");
    if (initMem != nullptr)
        checkGuards(initBlock, initMem, static_cast<size_t>(initSize), "init buffer");
    EXPECT_EQ(reinterpret_cast<uintptr_t>(spec) % 64, 0u);
    EXPECT_LT(reinterpret_cast<uint8_t*>(spec) - specMem, 64);
    // The transform's work buffer, used from its 64-byte boundary, holds word 6 bytes.
    if (word(spec, 6) == 0)
        EXPECT_EQ(workSize, 0);
    else
        EXPECT_GE(workSize, word(spec, 6) + 63);
}

TEST(FftInit, NeverWritesPastTheReportedSizesAtAnyAlignment)
{
    for (int slot = 0; slot < 7; ++slot)
        for (int32_t order = 0; order <= 12 && testing_slots::slotRuns(slot); ++order)
            for (size_t offset = 0; offset < 64; ++offset)
                expectPlanStaysInside(slot, order, 4, offset, (offset * 37) % 64);
}

TEST(FftInit, LargeOrdersNeverWritePastTheReportedSizes)
{
    for (int slot = 0; slot < 7; ++slot)
        for (int32_t order = 13; order <= 20 && testing_slots::slotRuns(slot); ++order)
            for (size_t offset : {size_t{0}, size_t{1}, size_t{40}, size_t{63}})
                expectPlanStaysInside(slot, order, 2, offset, 63 - offset);
}

}  // namespace
