// The aligned allocators of every slot, through a swapped allocate and free: 64-byte blocks
// that keep the underlying start in the pointer below them, NULL for refused counts and failed
// allocations.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/memfuncs.h"
#include "sigprim.h"
#include "slots.h"

namespace {

// Counting allocate and free for the life of a test; every allocation fails when fail is set
// and returns forced when that is set.
struct CountingMemory {
    static inline int allocs = 0, frees = 0;
    static inline size_t lastRequest = 0;
    static inline void* forced = nullptr;
    static inline bool fail = false;
    static inline void* lastFreed = nullptr;
    const sigMemFuncTable saved = sigMemFuncs;

    CountingMemory()
    {
        allocs = frees = 0;
        lastRequest = 0;
        forced = nullptr;
        fail = false;
        lastFreed = nullptr;
        sigMemFuncs.alloc = [](size_t n) -> void* {
            ++allocs;
            lastRequest = n;
            return fail ? nullptr : forced ? forced : std::malloc(n);
        };
        sigMemFuncs.free = [](void* p) {
            ++frees;
            lastFreed = p;
            if (p != forced)
                std::free(p);
        };
    }
    ~CountingMemory() { sigMemFuncs = saved; }
};

class AllocSlots : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { SIG_SKIP_UNLESS_SLOT_RUNS(GetParam()); }
    testing_slots::SlotScope slot{GetParam()};
    CountingMemory mem;
};

// The complex float allocator and the scanner's complex 16-bit and 32-bit ones.
struct Allocator {
    void* (*alloc)(int32_t);
    size_t unit;
};
const Allocator kAllocators[] = {{[](int32_t n) -> void* { return sigMalloc_cf32(n); }, 8},
                                 {[](int32_t n) -> void* { return sigMalloc_cs16(n); }, 4},
                                 {[](int32_t n) -> void* { return sigMalloc_cs32(n); }, 8}};

TEST_P(AllocSlots, BlocksAreAlignedAndKeepTheirUnderlyingStart)
{
    for (const Allocator& a : kAllocators)
        for (int count : {1, 2, 3, 7, 63, 64, 65, 1000, 4097}) {
            char* p = static_cast<char*>(a.alloc(count));
            ASSERT_NE(p, nullptr);
            EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 64, 0u);
            EXPECT_EQ(mem.lastRequest, size_t(count) * a.unit + 64 + sizeof(void*));
            void* raw;
            std::memcpy(&raw, p - sizeof(void*), sizeof raw);
            const ptrdiff_t below = p - static_cast<char*>(raw);
            EXPECT_GE(below, ptrdiff_t(sizeof(void*)));
            EXPECT_LT(below, ptrdiff_t(64 + sizeof(void*)));
            std::memset(p, 0xa5, size_t(count) * a.unit);  // the whole block is usable
            sigFree(p);
            EXPECT_EQ(mem.lastFreed, raw);
        }
    EXPECT_EQ(mem.allocs, mem.frees);
}

TEST_P(AllocSlots, RefusedCountsAndFailedAllocationsGiveNull)
{
    EXPECT_EQ(sigMalloc_u8(0), nullptr);
    EXPECT_EQ(sigAlignedAlloc(0), nullptr);
    for (const Allocator& a : kAllocators) {
        EXPECT_EQ(a.alloc(-5), nullptr);
        EXPECT_EQ(a.alloc(0), nullptr);
        EXPECT_EQ(a.alloc(int32_t(0x80000000u / a.unit)), nullptr);  // 2^31 bytes: beyond the signed range
        EXPECT_EQ(a.alloc(INT32_MAX), nullptr);
    }
    EXPECT_EQ(mem.allocs, 0) << "a refused count must not reach the allocator";
    sigFree(nullptr);
    EXPECT_EQ(mem.frees, 0);

    mem.fail = true;
    EXPECT_EQ(sigMalloc_u8(100), nullptr);
    for (const Allocator& a : kAllocators)
        EXPECT_EQ(a.alloc(int32_t(0x80000000u / a.unit) - 1), nullptr);
    EXPECT_EQ(sigMalloc_u8(INT32_MAX), nullptr);
    EXPECT_EQ(mem.lastRequest, size_t(INT32_MAX) + 64 + sizeof(void*)) << "the request wrapped";
    EXPECT_EQ(mem.allocs, 5);
}

INSTANTIATE_TEST_SUITE_P(EverySlot, AllocSlots, ::testing::Range(0, 7));

TEST(AlignedAlloc, BlockPlacementFollowsTheUnderlyingAddress)
{
    alignas(64) static unsigned char arena[512];
    CountingMemory mem;
    // Underlying start 56 mod 64: the first boundary one pointer above it is 8 bytes up; on a
    // boundary: a full 64 bytes up.
    for (auto [start, block] : {std::pair{56, 64}, {128, 192}}) {
        mem.forced = arena + start;
        void* p = sigAlignedAlloc(16);
        EXPECT_EQ(p, arena + block);
        sigAlignedFree(p);
        EXPECT_EQ(mem.lastFreed, arena + start);
    }
}

}  // namespace
