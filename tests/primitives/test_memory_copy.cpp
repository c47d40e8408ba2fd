// Copies of every slot against the C runtime: bytes, canaries, overlap to a lower address,
// forced streaming.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "fake_cpu.h"
#include "mem_arena.h"
#include "mem_kernels.h"
#include "sigprim.h"
#include "slots.h"

namespace {

using testing_slots::SlotScope;

struct CopyKernel {
    std::string name;
    size_t unit;  // byte counts are multiples of this
    std::function<void(const uint8_t*, uint8_t*, size_t)> run;
};

std::vector<CopyKernel> copyKernels(int slot)
{
    const MemKernels& k = memKernels(slot);
    std::vector<CopyKernel> list = {
        {"sigkMemCopy_u8", 1,
         [&k](const uint8_t* s, uint8_t* d, size_t n) { k.memCopy(s, d, int32_t(n)); }},
        {"sigkCopy_u8", 1,
         [&k](const uint8_t* s, uint8_t* d, size_t n) {
             ASSERT_EQ(k.copyU8(s, d, int32_t(n)), sigOk);
         }},
        {"sigCopy_cf32", 8,
         [slot](const uint8_t* s, uint8_t* d, size_t n) {
             SlotScope scope(slot);
             ASSERT_EQ(sigCopy_cf32(reinterpret_cast<const cf32*>(s), reinterpret_cast<cf32*>(d),
                                    int32_t(n / 8)),
                       sigOk);
         }},
    };
    if (k.memCopyRep)
        list.push_back({"sigkMemCopyRep_u8", 1, [&k](const uint8_t* s, uint8_t* d, size_t n) {
                            k.memCopyRep(s, d, int32_t(n));
                        }});
    return list;
}

size_t arenaFor(size_t n) { return 2 * n + 512; }

// Copies n bytes between separate regions of one arena and compares with memcpy.
::testing::AssertionResult copiesLikeLibc(const CopyKernel& kernel, Arena& arena, size_t n,
                                          size_t dstOffset, size_t srcOffset)
{
    uint8_t* src = arena.at(64 + srcOffset);
    uint8_t* dst = arena.at(64 + ((n + 64 + 127) & ~size_t(63)) + dstOffset);
    arena.window(arenaFor(n) + 64);
    arena.reset();
    std::memcpy(arena.expect(dst), src, n);
    kernel.run(src, dst, n);
    return arena.matches(dst) << " (" << kernel.name << ", n " << n << ", dst%64 " << dstOffset
                              << ", src%64 " << srcOffset << ")";
}

class CopySlots : public ::testing::TestWithParam<int> {};

TEST_P(CopySlots, SmallSizesAtEveryAlignment)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    Arena arena(arenaFor(300 * 8) + 64);
    for (const CopyKernel& kernel : copyKernels(GetParam()))
        for (size_t count = 1; count <= 300; ++count) {
            size_t n = count * kernel.unit;
            for (size_t dstOffset = 0; dstOffset < 64; dstOffset += kernel.unit == 1 ? 1 : 4)
                for (auto [d, s] : offsetPairs(n, dstOffset)) {
                    if (kernel.unit != 1)
                        s &= ~size_t(3);
                    ASSERT_TRUE(copiesLikeLibc(kernel, arena, n, d, s));
                }
        }
}

TEST_P(CopySlots, SizesAroundEveryBound)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    Arena arena(arenaFor(2097153) + 64);
    for (const CopyKernel& kernel : copyKernels(GetParam()))
        for (size_t n : boundSizes(2097152)) {
            n = n / kernel.unit * kernel.unit;
            for (auto [d, s] : sparseOffsets()) {
                if (kernel.unit != 1)
                    s &= ~size_t(3), d &= ~size_t(3);
                ASSERT_TRUE(copiesLikeLibc(kernel, arena, n, d, s));
            }
        }
}

// Separate buffers go forward or backward by the distance between their offsets within a
// 4096-byte page; each side of every edge of that choice gives memcpy's bytes.
TEST_P(CopySlots, EveryPageOffsetDistance)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    constexpr size_t kMax = 5000;
    Arena arena(2 * kMax + 3 * 4096 + 512);
    arena.window(arena.size());
    uint8_t* src = arena.at(64);
    uint8_t* pageAfterSrc = arena.at(64 + kMax + 4096);
    for (const CopyKernel& kernel : copyKernels(GetParam()))
        for (size_t n : {264u, 1000u, 5000u})
            for (long diff : {0L, 8L, 160L, 168L, 2048L, 3936L, -8L, -160L, -3936L, -3944L, -4088L}) {
                // dst % 4096 == (src % 4096 - diff) % 4096, above the source's last byte.
                size_t want = size_t((long(reinterpret_cast<uintptr_t>(src) & 4095) - diff) & 4095);
                size_t have = reinterpret_cast<uintptr_t>(pageAfterSrc) & 4095;
                uint8_t* dst = pageAfterSrc + ((want - have) & 4095);
                arena.reset();
                std::memcpy(arena.expect(dst), src, n);
                kernel.run(src, dst, n);
                ASSERT_TRUE(arena.matches(dst)) << kernel.name << ", n " << n << ", diff " << diff;
            }
}

TEST_P(CopySlots, OntoItselfChangesNothing)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    Arena arena(arenaFor(40000));
    for (const CopyKernel& kernel : copyKernels(GetParam()))
        for (size_t n : {8u, 64u, 136u, 4096u, 32768u, 40000u})
            for (size_t offset : {0u, 4u, 13u}) {
                if (kernel.unit != 1 && offset % 4)
                    continue;
                arena.reset();
                uint8_t* p = arena.at(64 + offset);
                kernel.run(p, p, n);
                ASSERT_TRUE(arena.matches(p)) << kernel.name << " n " << n;
            }
}

// The decoder moves held samples to a lower address with sigCopy_cf32 and needs what an
// ascending copy gives: the source as it stood.
TEST_P(CopySlots, OverlapToALowerAddressGivesTheAscendingResult)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    Arena arena(300000);
    for (const CopyKernel& kernel : copyKernels(GetParam()))
        for (size_t n : {8u, 24u, 64u, 200u, 1000u, 4096u, 32768u, 40000u, 270000u})
            for (size_t distance : {1u, 3u, 4u, 8u, 16u, 40u, 64u, 100u, 4096u, 20000u}) {
                if (kernel.unit != 1 && distance % kernel.unit)
                    continue;
                if (n + distance + 128 > arena.size())
                    continue;
                for (size_t offset : {0u, 8u, 5u}) {
                    if (kernel.unit != 1 && offset % 4)
                        continue;
                    arena.reset();
                    uint8_t* dst = arena.at(64 + offset);
                    uint8_t* src = dst + distance;
                    std::memmove(arena.expect(dst), src, n);
                    kernel.run(src, dst, n);
                    ASSERT_TRUE(arena.matches(dst)) << kernel.name << " n " << n << " distance "
                                                    << distance << " offset " << offset;
                }
            }
}

// An Intel processor with a 512 KiB cache: the 128-bit copies probe it and stream from 256 KiB
// (level 4 from its probe bound of 1 MiB); the bytes must not change.
TEST_P(CopySlots, ForcedStreamingGivesTheSameBytes)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    const int slot = GetParam();
    FakeCpu cpu;
    intelWithSmallCache(cpu, 0x43);
    Arena arena(arenaFor(3u << 20) + 64);
    for (const CopyKernel& kernel : copyKernels(slot))
        for (size_t n : {262143u + 64, 262144u + 64, 262145u + 64, 300000u, 1048575u + 16,
                         1048576u + 16, 1048577u + 16, (3u << 20) - 5}) {
            n = n / kernel.unit * kernel.unit;
            int before = FakeCpu::calls();
            for (auto [d, s] : sparseOffsets()) {
                if (kernel.unit != 1)
                    s &= ~size_t(3), d &= ~size_t(3);
                ASSERT_TRUE(copiesLikeLibc(kernel, arena, n, d, s));
            }
            if (slot >= 1 && slot <= 4 && n > 1048576 + 64) {
                EXPECT_GT(FakeCpu::calls(), before) << kernel.name << ": the cache was not probed";
            }
        }
}

INSTANTIATE_TEST_SUITE_P(EverySlot, CopySlots, ::testing::Range(0, 7));

}  // namespace
