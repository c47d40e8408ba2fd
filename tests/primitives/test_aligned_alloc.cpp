#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/memfuncs.h"
#include "sigprim.h"
#include "slots.h"

namespace {

// Swaps the library's allocate and free for counting ones for the life of a test.
struct CountingMemory {
    static inline int allocs = 0, frees = 0;
    static inline size_t lastRequest = 0;
    static inline void* forcedResult = nullptr;
    static inline bool fail = false;
    static inline std::vector<void*> freed;

    sigMemFuncTable saved = sigMemFuncs;
    CountingMemory()
    {
        allocs = frees = 0;
        lastRequest = 0;
        fail = false;
        forcedResult = nullptr;
        freed.clear();
        sigMemFuncs.alloc = [](size_t n) -> void* {
            ++allocs;
            lastRequest = n;
            if (fail)
                return nullptr;
            return forcedResult ? forcedResult : std::malloc(n);
        };
        sigMemFuncs.free = [](void* p) {
            ++frees;
            freed.push_back(p);
            if (p != forcedResult)
                std::free(p);
        };
    }
    ~CountingMemory() { sigMemFuncs = saved; }
};

class AllocSlots : public ::testing::TestWithParam<int> {};

TEST_P(AllocSlots, BlocksAreAlignedAndKeepTheirUnderlyingStart)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    testing_slots::SlotScope slot(GetParam());
    CountingMemory mem;
    for (int count : {1, 2, 3, 7, 63, 64, 65, 1000, 4097}) {
        cf32* p = sigMalloc_cf32(count);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 64, 0u);
        EXPECT_EQ(mem.lastRequest, size_t(count) * 8 + 64 + sizeof(void*));
        void* raw;
        std::memcpy(&raw, reinterpret_cast<char*>(p) - sizeof(void*), sizeof raw);
        ptrdiff_t below = reinterpret_cast<char*>(p) - static_cast<char*>(raw);
        EXPECT_GE(below, ptrdiff_t(sizeof(void*)));
        EXPECT_LT(below, ptrdiff_t(64 + sizeof(void*)));
        std::memset(p, 0xa5, size_t(count) * 8);  // the whole block is usable
        sigFree(p);
        ASSERT_FALSE(mem.freed.empty());
        EXPECT_EQ(mem.freed.back(), raw);
    }
    EXPECT_EQ(mem.allocs, mem.frees);
}

TEST_P(AllocSlots, RefusesNonPositiveAndOversizedCounts)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    testing_slots::SlotScope slot(GetParam());
    CountingMemory mem;
    EXPECT_EQ(sigMalloc_u8(0), nullptr);
    EXPECT_EQ(sigMalloc_cf32(-5), nullptr);
    EXPECT_EQ(sigAlignedAlloc(0), nullptr);
    EXPECT_EQ(sigMalloc_cf32(1 << 28), nullptr);          // 2^31 bytes: beyond the signed range
    EXPECT_EQ(sigMalloc_cf32(INT32_MAX), nullptr);
    EXPECT_EQ(mem.allocs, 0) << "a refused count must not reach the allocator";
    sigFree(nullptr);
    EXPECT_EQ(mem.frees, 0);
}

TEST_P(AllocSlots, FailedUnderlyingAllocationGivesNull)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    testing_slots::SlotScope slot(GetParam());
    CountingMemory mem;
    mem.fail = true;
    EXPECT_EQ(sigMalloc_u8(100), nullptr);
    EXPECT_EQ(sigMalloc_cf32((1 << 28) - 1), nullptr);
    EXPECT_EQ(mem.allocs, 2);
}

INSTANTIATE_TEST_SUITE_P(EverySlot, AllocSlots, ::testing::Range(0, 7));

TEST(AlignedAlloc, LargestSignedSizeDoesNotWrapTheRequest)
{
    CountingMemory mem;
    mem.fail = true;
    EXPECT_EQ(sigMalloc_u8(INT32_MAX), nullptr);
    EXPECT_EQ(mem.lastRequest, size_t(INT32_MAX) + 64 + sizeof(void*));
}

TEST(AlignedAlloc, BlockPlacementFollowsTheUnderlyingAddress)
{
    alignas(64) static unsigned char arena[512];
    CountingMemory mem;
    // Underlying start 56 mod 64: the first boundary one pointer above it is 8 bytes up.
    mem.forcedResult = arena + 56;
    auto* p = static_cast<unsigned char*>(sigAlignedAlloc(16));
    EXPECT_EQ(p, arena + 64);
    sigAlignedFree(p);
    // Underlying start on a boundary: the block sits a full 64 bytes above it.
    mem.forcedResult = arena + 128;
    p = static_cast<unsigned char*>(sigAlignedAlloc(16));
    EXPECT_EQ(p, arena + 192);
    sigAlignedFree(p);
    ASSERT_EQ(mem.freed.size(), 2u);
    EXPECT_EQ(mem.freed[0], arena + 56);
    EXPECT_EQ(mem.freed[1], arena + 128);
}

}  // namespace
