// Zero-fills and 32-bit fills of every slot against memset and a word loop: bytes, canaries,
// every alignment, every bound, forced streaming.
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

constexpr int32_t kValue = 0x11a2c3f4;  // four distinct bytes: a fill out of phase shows

// A fill of n bytes (a multiple of unit) at dst; expect() writes what it must leave.
struct FillKernel {
    std::string name;
    size_t unit;
    bool zero;
    std::function<void(uint8_t*, size_t)> run;
};

std::vector<FillKernel> fillKernels(int slot)
{
    const MemKernels& k = memKernels(slot);
    auto s32 = [](uint8_t* d) { return reinterpret_cast<int32_t*>(d); };
    std::vector<FillKernel> list = {
        {"sigkMemZero_u8", 1, true, [&k](uint8_t* d, size_t n) { k.memZero(d, int32_t(n)); }},
        {"sigkZero_u8", 1, true,
         [&k](uint8_t* d, size_t n) { ASSERT_EQ(k.zeroU8(d, int32_t(n)), sigOk); }},
        {"sigkZero_f32", 4, true,
         [&k](uint8_t* d, size_t n) {
             ASSERT_EQ(k.zeroF32(reinterpret_cast<float*>(d), int32_t(n / 4)), sigOk);
         }},
        {"sigZero_cf32", 8, true,
         [slot](uint8_t* d, size_t n) {
             SlotScope scope(slot);
             ASSERT_EQ(sigZero_cf32(reinterpret_cast<cf32*>(d), int32_t(n / 8)), sigOk);
         }},
        {"sigkMemSet_s32", 4, false,
         [&k, s32](uint8_t* d, size_t n) { k.memSet(kValue, s32(d), int32_t(n / 4)); }},
        {"sigkSet_s32", 4, false,
         [&k, s32](uint8_t* d, size_t n) { ASSERT_EQ(k.setS32(kValue, s32(d), int32_t(n / 4)), sigOk); }},
    };
    if (k.memZeroNt) {
        list.push_back({"sigkMemZeroNt_u8", 1, true,
                        [&k](uint8_t* d, size_t n) { k.memZeroNt(d, int32_t(n)); }});
        list.push_back({"sigkMemSetNt_s32", 4, false, [&k, s32](uint8_t* d, size_t n) {
                            k.memSetNt(kValue, s32(d), int32_t(n / 4));
                        }});
    }
    return list;
}

::testing::AssertionResult fillsLikeReference(const FillKernel& kernel, Arena& arena, size_t n,
                                              size_t offset)
{
    uint8_t* dst = arena.at(64 + offset);
    arena.window(n + 192);
    arena.reset();
    uint8_t* want = arena.expect(dst);
    if (kernel.zero)
        std::memset(want, 0, n);
    else
        for (size_t i = 0; i < n; i += 4)
            std::memcpy(want + i, &kValue, 4);
    kernel.run(dst, n);
    return arena.matches(dst) << " (" << kernel.name << ", n " << n << ", dst%64 " << offset << ")";
}

class FillSlots : public ::testing::TestWithParam<int> {};

TEST_P(FillSlots, SmallSizesAtEveryAlignment)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    Arena arena(300 * 8 + 256);
    for (const FillKernel& kernel : fillKernels(GetParam()))
        for (size_t count = 1; count <= 300; ++count) {
            size_t n = count * kernel.unit;
            // The 32-bit fills also take odd and 2-mod-4 destinations.
            size_t step = kernel.zero && kernel.unit > 1 ? 4 : 1;
            for (size_t offset = 0; offset < 64; offset += step)
                ASSERT_TRUE(fillsLikeReference(kernel, arena, n, offset));
        }
}

TEST_P(FillSlots, SizesAroundEveryBound)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    std::vector<size_t> sizes = boundSizes(2097152);
    for (size_t words : {262143u, 262144u, 262145u, 524287u, 524288u, 524289u})
        sizes.push_back(4 * words);  // the fill bounds count words
    Arena arena(4 * 524289 + 256);
    for (size_t size : sizes) {
        for (const FillKernel& kernel : fillKernels(GetParam())) {
            size_t n = size / kernel.unit * kernel.unit;
            for (size_t offset : {0u, 1u, 2u, 4u, 12u, 31u, 32u, 60u}) {
                if (kernel.zero && kernel.unit > 1 && offset % 4)
                    continue;
                ASSERT_TRUE(fillsLikeReference(kernel, arena, n, offset));
            }
        }
    }
}

// An Intel processor with a 512 KiB cache: the 128-bit zero streams above 512 KiB, the 128-bit
// fill above 1 MiB, levels 5 and 6 above 2 MiB; the bytes must not change.
TEST_P(FillSlots, ForcedStreamingGivesTheSameBytes)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    FakeCpu cpu;
    intelWithSmallCache(cpu, 0x43);
    Arena arena(2097152 + 100003 + 256);
    for (size_t size : {524288u + 60, 524289u + 64, 1048576u + 4, 1048580u, 2097152u, 2097156u,
                        2097152u + 100003u}) {
        for (const FillKernel& kernel : fillKernels(GetParam())) {
            size_t n = size / kernel.unit * kernel.unit;
            for (size_t offset : {0u, 2u, 3u, 16u, 36u}) {
                if (kernel.zero && kernel.unit > 1 && offset % 4)
                    continue;
                ASSERT_TRUE(fillsLikeReference(kernel, arena, n, offset));
            }
        }
    }
}

TEST_P(FillSlots, MultiplyInPlaceMatchesTheScalarProduct)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    const MemKernels& k = memKernels(GetParam());
    for (int32_t count : {1, 2, 3, 7, 10, 11, 12, 17, 64, 100, 131072 + 8, 131072 + 37}) {
        for (size_t byteOffset : {0u, 4u, 8u, 12u, 20u, 1u}) {
            std::vector<uint8_t> raw(size_t(count) * 4 + 128);
            uint8_t* base = raw.data() + ((64 - (reinterpret_cast<uintptr_t>(raw.data()) & 63)) & 63);
            float* data = reinterpret_cast<float*>(base + byteOffset);
            std::vector<float> want(size_t(count) + 1);
            uint32_t x = 12345;
            for (int32_t i = 0; i <= count; ++i) {
                x = x * 1664525u + 1013904223u;
                float v = (int32_t(x) >> 8) * 1.3e-5f;
                std::memcpy(base + byteOffset + 4 * size_t(i), &v, 4);
                want[size_t(i)] = i < count ? v * -0.7071f : v;  // the element after stays
            }
            k.mulC(-0.7071f, data, count);
            ASSERT_EQ(std::memcmp(base + byteOffset, want.data(), 4 * (size_t(count) + 1)), 0)
                << "count " << count << " offset " << byteOffset;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EverySlot, FillSlots, ::testing::Range(0, 7));

}  // namespace
