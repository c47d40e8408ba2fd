#include <gtest/gtest.h>

#include <cpuid.h>

#include <atomic>
#include <set>
#include <thread>
#include <vector>

#include "core/cpu.h"
#include "fake_cpu.h"

namespace {

using Cache = FakeCpu::Cache;
constexpr Cache kL1d{1, 64, 1, 8, 64};        // 32 KiB
constexpr Cache kL1i{2, 64, 1, 8, 64};        // 32 KiB, instruction: never counts
constexpr Cache kL2{3, 64, 1, 4, 1024};       // 256 KiB
constexpr Cache kL3{3, 64, 1, 16, 8192};      // 8 MiB

TEST(CacheSize, Leaf4TakesTheLargestDataOrUnifiedCache)
{
    {
        FakeCpu cpu;
        cpu.intel(0x16).caches({kL1d, kL1i, kL2, kL3});
        int32_t size = -1;
        EXPECT_EQ(sigCacheSize(&size), sigOk);
        EXPECT_EQ(size, 8388608);
    }
    {
        FakeCpu cpu;
        cpu.intel(4).caches({kL1d, kL1i, kL2});
        int32_t size = -1;
        EXPECT_EQ(sigCacheSize(&size), sigOk);
        EXPECT_EQ(size, 262144);
    }
    {
        // The order of the levels does not matter, and a huge instruction cache never counts.
        FakeCpu cpu;
        cpu.intel(4).caches({kL3, {2, 64, 1, 16, 65536}, kL2});
        int32_t size = -1;
        EXPECT_EQ(sigCacheSize(&size), sigOk);
        EXPECT_EQ(size, 8388608);
    }
}

TEST(CacheSize, Leaf4ProductBeyondTheSignedRangeIsClamped)
{
    FakeCpu cpu;
    cpu.intel(4).caches({{3, 4096, 1024, 1024, 4}});  // 2^34 bytes
    int32_t size = 0;
    EXPECT_EQ(sigCacheSize(&size), sigOk);
    EXPECT_EQ(size, INT32_MAX);
}

TEST(CacheSize, NoCacheFoundIsRememberedWithoutFurtherQueries)
{
    FakeCpu cpu;
    cpu.intel(4).caches({});
    int32_t size = -1;
    EXPECT_EQ(sigCacheSize(&size), sigWarnNoCache);
    EXPECT_EQ(size, 0);
    int before = FakeCpu::calls();
    cpu.caches({kL3});  // the processor changes its answer: the memo does not
    size = -1;
    EXPECT_EQ(sigCacheSize(&size), sigWarnNoCache);
    EXPECT_EQ(size, 0);
    EXPECT_EQ(FakeCpu::calls(), before);
}

TEST(CacheSize, DescriptorsServeProcessorsBelowLeaf4)
{
    for (uint32_t maxLeaf : {2u, 3u}) {
        FakeCpu cpu;
        cpu.intel(maxLeaf).descriptors({0x2c, 0x43, 0x49});
        int32_t size = 0;
        EXPECT_EQ(sigCacheSize(&size), sigOk);
        EXPECT_EQ(size, 4194304) << "0x49 is the largest listed; 0x2c is not listed";
    }
    {
        FakeCpu cpu;
        cpu.intel(2).leaf(2, 0, {0x43000002u, 0, 0, 0});  // call count 2
        int32_t size = -1;
        EXPECT_EQ(sigCacheSize(&size), sigWarnNoCache);
        EXPECT_EQ(size, 0);
    }
    {
        FakeCpu cpu;
        cpu.intel(2).descriptors({0x2c, 0x30, 0x00});  // nothing listed
        int32_t size = -1;
        EXPECT_EQ(sigCacheSize(&size), sigWarnNoCache);
        EXPECT_EQ(size, 0);
    }
}

TEST(CacheSize, AnotherVendorOrTooLowALeafOrNoCpuidGives36)
{
    {
        FakeCpu cpu;
        cpu.vendor("AuthenticAMD", 0x10).caches({kL1d, kL2, kL3});
        int32_t size = -1;
        EXPECT_EQ(sigCacheSize(&size), sigWarnNoCpuInfo);
        EXPECT_EQ(size, 0);
    }
    {
        FakeCpu cpu;
        cpu.intel(1).descriptors({0x49});
        int32_t size = -1;
        EXPECT_EQ(sigCacheSize(&size), sigWarnNoCpuInfo);
        EXPECT_EQ(size, 0);
    }
    {
        FakeCpu cpu;
        cpu.intel(4).caches({kL3}).noCpuid();
        int32_t size = -1;
        EXPECT_EQ(sigCacheSize(&size), sigWarnNoCpuInfo);
        EXPECT_EQ(size, 0);
        EXPECT_EQ(FakeCpu::calls(), 0) << "no cpuid may run on a processor without it";
    }
}

TEST(CacheSize, NullPointerLeavesTheQueryForLater)
{
    FakeCpu cpu;
    cpu.intel(4).caches({kL2});
    EXPECT_EQ(sigCacheSize(nullptr), sigErrNull);
    EXPECT_EQ(FakeCpu::calls(), 0);
    int32_t size = 0;
    EXPECT_EQ(sigCacheSize(&size), sigOk);
    EXPECT_EQ(size, 262144);
    EXPECT_LE(FakeCpu::calls(), 34);
    EXPECT_EQ(sigCacheSize(nullptr), sigErrNull);
}

TEST(CacheSize, ThreadsRacingTheFirstQueryAllSeeOneAnswer)
{
    for (int round = 0; round < 20; ++round) {
        FakeCpu cpu;
        cpu.intel(4).caches({kL1d, kL2, kL3});
        std::atomic<bool> go{false};
        std::vector<std::pair<int32_t, int32_t>> seen(8);
        std::vector<std::thread> threads;
        for (int t = 0; t < 8; ++t)
            threads.emplace_back([&, t] {
                while (!go.load())
                    std::this_thread::yield();
                int32_t size = -1;
                int32_t status = sigCacheSize(&size);
                seen[t] = {status, size};
            });
        go = true;
        for (auto& th : threads)
            th.join();
        for (auto& s : seen)
            EXPECT_EQ(s, std::make_pair(int32_t{0}, int32_t{8388608}));
    }
}

TEST(CacheProbe, ByteTableAgreesWithTheDescriptorTable)
{
    // Every descriptor of the byte table stands in the word table with the same size, in the same
    // order; the word table goes on below 512 KiB where the byte table stops.
    int pairs = 0;
    const sigCacheDescriptor* w = sigCacheDescriptors;
    for (const uint8_t* p = sigkCacheDescTable; *p != 0; p += 2, ++w, ++pairs) {
        ASSERT_EQ(p[0], w->descriptor) << "pair " << pairs;
        uint32_t bytes = static_cast<uint32_t>(p[1] >> 4) << ((p[1] & 15) + 18);
        EXPECT_EQ(bytes, w->bytes) << std::hex << int(p[0]);
    }
    EXPECT_EQ(pairs, 43);
    int words = 0;
    uint32_t previous = UINT32_MAX;
    std::set<uint32_t> distinct;
    for (w = sigCacheDescriptors; w->descriptor != 0; ++w, ++words) {
        EXPECT_LE(w->bytes, previous);
        previous = w->bytes;
        distinct.insert(w->descriptor);
    }
    EXPECT_EQ(words, 55);
    EXPECT_EQ(distinct.size(), 55u);
    EXPECT_EQ(sigCacheDescriptors[words - 1].bytes, 131072u);
}

TEST(CacheProbe, FindsTheLargestKnownCacheOnEveryCall)
{
    FakeCpu cpu;
    // 0xde in the top byte of eax would set its bit 31 and drop the register: keep it in ebx.
    cpu.intel(4).descriptors({0x2c, 0x43, 0x49, 0xde});
    EXPECT_EQ(sigkCacheProbe(sigkCacheDescTable), 8 << 20) << "0xde counts as 8 MiB";
    int before = FakeCpu::calls();
    EXPECT_EQ(sigkCacheProbe(sigkCacheDescTable), 8 << 20);
    EXPECT_EQ(FakeCpu::calls() - before, 2) << "leaf 0 and leaf 2, every call";

    cpu.descriptors({0x3d, 0x21});  // only caches below 512 KiB
    EXPECT_EQ(sigkCacheProbe(sigkCacheDescTable), -1);
    // The word table knows them.
    EXPECT_EQ(sigCacheSizeFromDescriptors(sigCacheDescriptors), 393216);

    cpu.leaf(2, 0, {0x80434301u, 0x80000000u, 0x00000044u, 0x80000000u});  // eax, ebx, edx dropped
    EXPECT_EQ(sigkCacheProbe(sigkCacheDescTable), 1 << 20);
    cpu.leaf(2, 0, {0x80000001u, 0x80000000u, 0x80000000u, 0x80000000u});  // no descriptors at all
    EXPECT_EQ(sigkCacheProbe(sigkCacheDescTable), -1);

    cpu.descriptors({0x49});
    cpu.vendor("AuthenticAMD", 4);
    EXPECT_EQ(sigkCacheProbe(sigkCacheDescTable), -1);
}

TEST(CpuQueries, InjectedAnswers)
{
    FakeCpu cpu;
    cpu.intel(0x1b);
    EXPECT_EQ(sigCpuidSupported(), 1);
    EXPECT_EQ(sigCpuMaxLeaf(), 0x1b);
    EXPECT_EQ(sigCpuVendorCheck(), 1);
    cpu.vendor("GenuineIntes", 0x1b);
    EXPECT_EQ(sigCpuVendorCheck(), 0);
    cpu.vendor("AuthenticAMD", 0x10);
    EXPECT_EQ(sigCpuVendorCheck(), 0);

    constexpr uint32_t kOsxsave = 1u << 27, kAvx = 1u << 28;
    cpu.leaf(1, 0, {0, 0, kOsxsave | kAvx, 0});
    EXPECT_EQ(sigCpuOsAvx(), 1);
    cpu.osState(3);  // the system saves SSE state only
    EXPECT_EQ(sigCpuOsAvx(), 0);
    cpu.osState(7);
    cpu.leaf(1, 0, {0, 0, kAvx, 0});
    EXPECT_EQ(sigCpuOsAvx(), 0);
    cpu.leaf(1, 0, {0, 0, kOsxsave, 0});
    EXPECT_EQ(sigCpuOsAvx(), 0);

    cpu.leaf(7, 3, {1, 2, 3, 4});
    sigCpuidRecord r{};
    sigCpuid(&r, 7, 3);
    EXPECT_EQ(r.eax, 1u);
    EXPECT_EQ(r.ebx, 2u);
    EXPECT_EQ(r.ecx, 3u);
    EXPECT_EQ(r.edx, 4u);

    cpu.noCpuid();
    EXPECT_EQ(sigCpuidSupported(), 0);
}

TEST(CpuQueries, ThisMachine)
{
    sigCacheSizeReset();
    EXPECT_EQ(sigCpuidSupported(), 1);
    unsigned a, b, c, d;
    __cpuid(0, a, b, c, d);
    EXPECT_EQ(sigCpuMaxLeaf(), static_cast<int>(a));
    bool intel = b == 0x756e6547u && d == 0x49656e69u && c == 0x6c65746eu;
    EXPECT_EQ(sigCpuVendorCheck(), intel ? 1 : 0);
    __builtin_cpu_init();
    EXPECT_EQ(sigCpuOsAvx(), __builtin_cpu_supports("avx") ? 1 : 0);

    sigCpuidRecord r{};
    sigCpuid(&r, 1, 0);
    __cpuid_count(1, 0, a, b, c, d);
    EXPECT_EQ(r.ecx, c);
    EXPECT_EQ(r.edx, d);

    int32_t size = -1;
    sigStatus status = sigCacheSize(&size);
    if (!intel) {
        EXPECT_EQ(status, sigWarnNoCpuInfo);
        EXPECT_EQ(size, 0);
        EXPECT_EQ(sigkCacheProbe(sigkCacheDescTable), -1);
    } else {
        EXPECT_TRUE(status == sigOk || status == sigWarnNoCache);
        if (status == sigOk) {
            EXPECT_GE(size, 32768);
        }
    }
    int32_t again = -2;
    EXPECT_EQ(sigCacheSize(&again), status);
    EXPECT_EQ(again, size);
}

}  // namespace
