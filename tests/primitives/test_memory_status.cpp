// Argument checks of the guarded memory kernels and the copy and zero primitives on every slot:
// a NULL pointer (-8) is reported before a count below 1 (-6), and nothing is written.
#include <gtest/gtest.h>

#include <cstring>

#include "mem_kernels.h"
#include "sigprim.h"
#include "slots.h"

namespace {

using testing_slots::SlotScope;

class StatusSlots : public ::testing::TestWithParam<int> {};

TEST_P(StatusSlots, NullBeforeLengthAndNothingWritten)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    const MemKernels& k = memKernels(GetParam());
    SlotScope scope(GetParam());
    alignas(64) uint8_t src[64], dst[64], before[64];
    std::memset(src, 0x5a, sizeof src);
    std::memset(dst, 0xc3, sizeof dst);
    std::memcpy(before, dst, sizeof dst);
    auto* s32 = reinterpret_cast<int32_t*>(dst);
    auto* f32 = reinterpret_cast<float*>(dst);
    auto* cs = reinterpret_cast<const cf32*>(src);
    auto* cd = reinterpret_cast<cf32*>(dst);

    for (int32_t bad : {0, -1, INT32_MIN}) {
        EXPECT_EQ(k.copyU8(nullptr, dst, bad), sigErrNull);
        EXPECT_EQ(k.copyU8(src, nullptr, bad), sigErrNull);
        EXPECT_EQ(k.copyU8(src, dst, bad), sigErrLength);
        EXPECT_EQ(k.zeroU8(nullptr, bad), sigErrNull);
        EXPECT_EQ(k.zeroU8(dst, bad), sigErrLength);
        EXPECT_EQ(k.zeroF32(nullptr, bad), sigErrNull);
        EXPECT_EQ(k.zeroF32(f32, bad), sigErrLength);
        EXPECT_EQ(k.setS32(-1, nullptr, bad), sigErrNull);
        EXPECT_EQ(k.setS32(-1, s32, bad), sigErrLength);
        EXPECT_EQ(k.moveCf32(nullptr, cd, bad), sigErrNull);
        EXPECT_EQ(k.moveCf32(cs, nullptr, bad), sigErrNull);
        EXPECT_EQ(k.moveCf32(cs, cd, bad), sigErrLength);
        EXPECT_EQ(sigCopy_cf32(nullptr, cd, bad), sigErrNull);
        EXPECT_EQ(sigCopy_cf32(cs, nullptr, bad), sigErrNull);
        EXPECT_EQ(sigCopy_cf32(cs, cd, bad), sigErrLength);
        EXPECT_EQ(sigZero_cf32(nullptr, bad), sigErrNull);
        EXPECT_EQ(sigZero_cf32(cd, bad), sigErrLength);
    }
    // A NULL pointer with a valid count.
    EXPECT_EQ(k.copyU8(nullptr, dst, 8), sigErrNull);
    EXPECT_EQ(k.moveCf32(cs, nullptr, 1), sigErrNull);
    EXPECT_EQ(sigCopy_cf32(nullptr, nullptr, 1), sigErrNull);
    EXPECT_EQ(sigZero_cf32(nullptr, 1), sigErrNull);
    EXPECT_EQ(k.setS32(7, nullptr, 1), sigErrNull);
    EXPECT_EQ(std::memcmp(dst, before, sizeof dst), 0) << "a refused call wrote";

    // And the valid calls report 0.
    EXPECT_EQ(k.copyU8(src, dst, 3), sigOk);
    EXPECT_EQ(k.zeroU8(dst, 3), sigOk);
    EXPECT_EQ(k.zeroF32(f32, 3), sigOk);
    EXPECT_EQ(k.setS32(-1, s32, 1), sigOk);
    EXPECT_EQ(k.moveCf32(cs, cd, 1), sigOk);
    EXPECT_EQ(sigCopy_cf32(cs, cd, 2), sigOk);
    EXPECT_EQ(sigZero_cf32(cd, 2), sigOk);
}

INSTANTIATE_TEST_SUITE_P(EverySlot, StatusSlots, ::testing::Range(0, 7));

}  // namespace
