// Processor queries, the cache size and single features on injected cpuid answers and on this
// machine; the two leaf-2 descriptor tables; the time-stamp counter.
#include <gtest/gtest.h>

#include <cpuid.h>
#include <x86intrin.h>

#include <atomic>
#include <cstring>
#include <iterator>
#include <functional>
#include <set>
#include <thread>
#include <vector>

#include "core/cpu.h"
#include "fake_cpu.h"

namespace {

using Cache = FakeCpu::Cache;
constexpr Cache kL1d{1, 64, 1, 8, 64};    // 32 KiB
constexpr Cache kL1i{2, 64, 1, 8, 64};    // 32 KiB, instruction: never counts
constexpr Cache kL2{3, 64, 1, 4, 1024};   // 256 KiB
constexpr Cache kL3{3, 64, 1, 16, 8192};  // 8 MiB

// Each processor's answer in a bounded number of queries, then the same answer from the memo
// without a further query. A NULL pointer is refused before any query and leaves the memo be.
TEST(CacheSize, InjectedProcessors)
{
    struct Case {
        const char* what;
        std::function<void(FakeCpu&)> setup;
        sigStatus status;
        int32_t size;
    };
    const Case cases[] = {
        {"leaf 4", [](FakeCpu& c) { c.intel(0x16).caches({kL1d, kL1i, kL2, kL3}); }, sigOk, 8388608},
        {"leaf 4, two levels", [](FakeCpu& c) { c.intel(4).caches({kL1d, kL1i, kL2}); }, sigOk, 262144},
        {"leaf 4, any order, a huge instruction cache",
         [](FakeCpu& c) { c.intel(4).caches({kL3, {2, 64, 1, 16, 65536}, kL2}); }, sigOk, 8388608},
        {"leaf 4, 2^34 bytes clamped", [](FakeCpu& c) { c.intel(4).caches({{3, 4096, 1024, 1024, 4}}); },
         sigOk, INT32_MAX},
        {"leaf 4, no cache", [](FakeCpu& c) { c.intel(4).caches({}); }, sigWarnNoCache, 0},
        // 0x49 is the largest listed; 0x2c is not listed.
        {"leaf 2", [](FakeCpu& c) { c.intel(2).descriptors({0x2c, 0x43, 0x49}); }, sigOk, 4194304},
        {"leaf 2 below leaf 4", [](FakeCpu& c) { c.intel(3).descriptors({0x2c, 0x43, 0x49}); }, sigOk, 4194304},
        {"leaf 2, call count 2", [](FakeCpu& c) { c.intel(2).leaf(2, 0, {0x43000002u, 0, 0, 0}); },
         sigWarnNoCache, 0},
        {"leaf 2, nothing listed", [](FakeCpu& c) { c.intel(2).descriptors({0x2c, 0x30, 0x00}); },
         sigWarnNoCache, 0},
        {"another vendor", [](FakeCpu& c) { c.vendor("AuthenticAMD", 0x10).caches({kL1d, kL2, kL3}); },
         sigWarnNoCpuInfo, 0},
        {"highest leaf 1", [](FakeCpu& c) { c.intel(1).descriptors({0x49}); }, sigWarnNoCpuInfo, 0},
        {"no cpuid", [](FakeCpu& c) { c.intel(4).caches({kL3}).noCpuid(); }, sigWarnNoCpuInfo, 0},
    };
    for (const Case& c : cases) {
        FakeCpu cpu;
        c.setup(cpu);
        for (int round = 0; round < 3; ++round) {
            EXPECT_EQ(sigCacheSize(nullptr), sigErrNull) << c.what;
            const int before = FakeCpu::calls();
            int32_t size = -1;
            EXPECT_EQ(sigCacheSize(&size), c.status) << c.what;
            EXPECT_EQ(size, c.size) << c.what;
            if (round == 0) {
                EXPECT_EQ(before, 0) << c.what;
                EXPECT_LE(FakeCpu::calls(), sigCpuidSupported() ? 34 : 0) << c.what << ": too many queries";
            } else {
                EXPECT_EQ(FakeCpu::calls(), before) << c.what << ": asked the processor again";
            }
            cpu.caches({kL3});  // the processor changes its answer: the memo does not
        }
    }
}

TEST(CacheSize, ThreadsRacingTheFirstQueryAllSeeOneAnswer)
{
    for (int round = 0; round < 20; ++round) {
        FakeCpu cpu;
        cpu.intel(4).caches({kL1d, kL2, kL3});
        std::atomic<bool> go{false};
        std::vector<std::pair<int32_t, int32_t>> seen(8);
        std::vector<std::thread> threads;
        for (auto& s : seen)
            threads.emplace_back([&go, &s] {
                while (!go.load())
                    std::this_thread::yield();
                int32_t size = -1;
                s.first = sigCacheSize(&size);
                s.second = size;
            });
        go = true;
        for (auto& t : threads)
            t.join();
        for (auto& s : seen)
            EXPECT_EQ(s, std::make_pair(int32_t{sigOk}, int32_t{8388608}));
    }
}

// Every descriptor of the byte table stands in the word table with the same size, in the same
// order; the word table goes on below 512 KiB where the byte table stops.
TEST(CacheProbe, ByteTableAgreesWithTheDescriptorTable)
{
    int pairs = 0;
    const sigCacheDescriptor* w = sigCacheDescriptors;
    for (const uint8_t* p = sigkCacheDescTable; *p != 0; p += 2, ++w, ++pairs) {
        ASSERT_EQ(p[0], w->descriptor) << "pair " << pairs;
        EXPECT_EQ(uint32_t(p[1] >> 4) << ((p[1] & 15) + 18), w->bytes) << std::hex << int(p[0]);
    }
    EXPECT_EQ(pairs, 43);
    std::set<uint32_t> distinct;
    for (w = sigCacheDescriptors; w->descriptor != 0; ++w) {
        EXPECT_LE(w[1].bytes, w->bytes);
        distinct.insert(w->descriptor);
    }
    EXPECT_EQ(w - sigCacheDescriptors, 55);
    EXPECT_EQ(distinct.size(), 55u);
    EXPECT_EQ(w[-1].bytes, 131072u);
}

TEST(CacheProbe, FindsTheLargestKnownCacheOnEveryCall)
{
    FakeCpu cpu;
    // 0xde in the top byte of eax would set its bit 31 and drop the register: keep it in ebx.
    cpu.intel(4).descriptors({0x2c, 0x43, 0x49, 0xde});
    EXPECT_EQ(sigkCacheProbe(sigkCacheDescTable), 8 << 20) << "0xde counts as 8 MiB";
    const int before = FakeCpu::calls();
    EXPECT_EQ(sigkCacheProbe(sigkCacheDescTable), 8 << 20);
    EXPECT_EQ(FakeCpu::calls() - before, 2) << "leaf 0 and leaf 2, every call";

    cpu.descriptors({0x3d, 0x21});  // only caches below 512 KiB, which the word table knows
    EXPECT_EQ(sigkCacheProbe(sigkCacheDescTable), -1);
    EXPECT_EQ(sigCacheSizeFromDescriptors(sigCacheDescriptors), 393216);

    cpu.leaf(2, 0, {0x80434301u, 0x80000000u, 0x00000044u, 0x80000000u});  // eax, ebx, edx dropped
    EXPECT_EQ(sigkCacheProbe(sigkCacheDescTable), 1 << 20);
    cpu.leaf(2, 0, {0x80000001u, 0x80000000u, 0x80000000u, 0x80000000u});  // no descriptors at all
    EXPECT_EQ(sigkCacheProbe(sigkCacheDescTable), -1);

    cpu.descriptors({0x49}).vendor("AuthenticAMD", 4);
    EXPECT_EQ(sigkCacheProbe(sigkCacheDescTable), -1);
}

TEST(CpuQueries, InjectedAnswers)
{
    FakeCpu cpu;
    cpu.intel(0x1b);
    EXPECT_EQ(sigCpuidSupported(), 1);
    EXPECT_EQ(sigCpuMaxLeaf(), 0x1b);
    EXPECT_EQ(sigCpuVendorCheck(), 1);
    for (const char* other : {"GenuineIntes", "AuthenticAMD"}) {
        cpu.vendor(other, 0x10);
        EXPECT_EQ(sigCpuVendorCheck(), 0) << other;
    }

    // AVX needs the OSXSAVE and AVX bits of leaf 1 and the system saving SSE and AVX state:
    // XCR0 bits 1 and 2, whatever else it holds.
    constexpr uint32_t kOsxsave = 1u << 27, kAvx = 1u << 28;
    const struct {
        uint32_t ecx;
        uint64_t xcr0;
        int avx;
    } states[] = {{kOsxsave | kAvx, 7, 1}, {kOsxsave | kAvx, 3, 0}, {kOsxsave | kAvx, 5, 0},
                  {kOsxsave | kAvx, 0xe6, 1}, {kAvx, 7, 0}, {kOsxsave, 7, 0}};
    for (const auto& s : states) {
        cpu.leaf(1, 0, {0, 0, s.ecx, 0}).osState(s.xcr0);
        EXPECT_EQ(sigCpuOsAvx(), s.avx) << std::hex << s.ecx << " " << s.xcr0;
    }

    cpu.leaf(7, 3, {1, 2, 3, 4});
    sigCpuidRecord r{};
    sigCpuid(&r, 7, 3);
    EXPECT_TRUE(r.eax == 1 && r.ebx == 2 && r.ecx == 3 && r.edx == 4);

    cpu.noCpuid();
    EXPECT_EQ(sigCpuidSupported(), 0);
}

// Each single feature answers its own bit of its own register: 1 for that bit alone, 0 when every
// other bit of leaf 1 is set, 0 for either neighbour alone.
TEST(CpuFeatures, Leaf1Bits)
{
    using R = sigCpuidRecord;
    const struct {
        const char* what;
        int (*test)(void);
        uint32_t R::*reg;
        int bit;
    } features[] = {
        {"tsc", sigCpuHasTsc, &R::edx, 4},        {"mmx", sigCpuHasMmx, &R::edx, 23},
        {"sse", sigCpuHasSse, &R::edx, 25},       {"sse2", sigCpuHasSse2, &R::edx, 26},
        {"sse3", sigCpuHasSse3, &R::ecx, 0},      {"ssse3", sigCpuHasSsse3, &R::ecx, 9},
        {"sse4.1", sigCpuHasSse41, &R::ecx, 19},  {"sse4.2", sigCpuHasSse42, &R::ecx, 20},
        {"movbe", sigCpuHasMovbe, &R::ecx, 22},
    };
    FakeCpu cpu;
    cpu.intel(0x16);
    for (const auto& f : features) {
        R& r = cpu.at(1);
        r = {0, 0, 0, 0};
        r.*f.reg = 1u << f.bit;
        EXPECT_EQ(f.test(), 1) << f.what;
        r = {~0u, ~0u, ~0u, ~0u};
        r.*f.reg = ~(1u << f.bit);
        EXPECT_EQ(f.test(), 0) << f.what << ": every other bit";
        for (int n : {f.bit - 1, f.bit + 1}) {
            r = {0, 0, 0, 0};
            r.*f.reg = n < 0 ? 0 : 1u << n;
            EXPECT_EQ(f.test(), 0) << f.what << ": bit " << n;
        }
    }

    // Several logical processors: edx bit 28 and a count (ebx bits 16-23) above 1.
    const struct {
        uint32_t ebx, edx;
        int several;
    } logical[] = {{2u << 16, 1u << 28, 1},          {0x80u << 16, 1u << 28, 1},
                   {1u << 16, 1u << 28, 0},          {0, 1u << 28, 0},
                   {0xff01ffffu, 1u << 28, 0},        {4u << 16, ~(1u << 28), 0}};
    for (const auto& l : logical) {
        cpu.leaf(1, 0, {0, l.ebx, 0, l.edx});
        EXPECT_EQ(sigCpuHasMultiLogical(), l.several) << std::hex << l.ebx << " " << l.edx;
    }
}

TEST(CpuFeatures, CoresPerPackageAnd64Bit)
{
    FakeCpu cpu;
    cpu.leaf(4, 1, {9u << 26, 0, 0, 0});  // a later sub-leaf does not count
    const struct {
        uint32_t maxLeaf, eax4;
        int cores;
    } cores[] = {{3, 7u << 26, 1}, {4, 7u << 26, 8}, {0x16, 0x3fu << 26, 64}, {4, 0x03ffffffu, 1}};
    for (const auto& c : cores) {
        cpu.intel(c.maxLeaf).leaf(4, 0, {c.eax4, ~0u, ~0u, ~0u});
        EXPECT_EQ(sigCpuCoresPerPackage(), c.cores) << c.maxLeaf << " " << std::hex << c.eax4;
    }

    // An extended leaf below 0x80000001, or one answered in the standard range, has no 64-bit flag.
    const struct {
        uint32_t maxExt, edx;
        int longMode;
    } modes[] = {{0x80000000u, ~0u, 0},           {0x20, ~0u, 0},
                 {0x80000001u, 1u << 29, 1},      {0x80000008u, ~(1u << 29), 0},
                 {0x80000008u, 5u << 28, 0}};
    for (const auto& m : modes) {
        cpu.leaf(0x80000000u, 0, {m.maxExt, 0, 0, 0}).leaf(0x80000001u, 0, {~0u, ~0u, ~0u, m.edx});
        EXPECT_EQ(sigCpuHas64Bit(), m.longMode) << std::hex << m.maxExt << " " << m.edx;
    }
}

// One leaf-1 answer whose fields all differ and whose flags nearly alternate, each 0 flag with a
// neighbouring bit set; the raw words come from the registers they name.
TEST(CpuFeatures, SignatureRecord)
{
    FakeCpu cpu;
    cpu.intel(0xb).leaf(4, 0, {5u << 26 | 0x1f, 0, 0, 0});
    const uint32_t ecx = 1u << 0 | 1u << 9 | 1u << 18 | 1u << 20 | 1u << 21 | 1u << 23 | 1u << 26 |
                         1u << 28;
    const uint32_t edx = 1u << 23 | 1u << 24 | 1u << 26 | 1u << 27;
    cpu.leaf(1, 0, {0xf3c9e6a5u, 4u << 16, ecx, edx})
        .leaf(2, 0, {0x4f3a2c01u, 0x11111111u, 0x22222222u, 0x00d0e3ffu})
        .leaf(0x80000000u, 0, {0x80000008u, 0, 0, 0})
        .leaf(0x80000001u, 0, {0, 0, ~0u, 1u << 29});
    EXPECT_EQ(sigCpuGetSignature(nullptr), sigErrNull);
    sigCpuSignature s;
    std::memset(&s, 0xee, sizeof s);
    ASSERT_EQ(sigCpuGetSignature(&s), sigOk);
    const uint32_t fields[] = {s.family, s.stepping, s.model, s.type, s.extModel, s.extFamily,
                               s.leaf1Edx, s.leaf2Eax, s.leaf2Edx};
    const uint32_t wantFields[] = {6, 5, 0xa, 2, 9, 0x3c, edx, 0x4f3a2c01u, 0x00d0e3ffu};
    const uint32_t flags[] = {s.mmx, s.sse, s.sse2, s.multiLogical, s.sse3, s.longMode, s.ssse3,
                              s.coresPerPackage, s.sse41, s.sse42, s.movbe, s.avx, s.osxsave};
    const uint32_t wantFlags[] = {1, 0, 1, 0, 1, 1, 1, 6, 0, 1, 0, 1, 0};
    for (size_t i = 0; i < std::size(fields); ++i)
        EXPECT_EQ(fields[i], wantFields[i]) << "field " << i;
    for (size_t i = 0; i < std::size(flags); ++i)
        EXPECT_EQ(flags[i], wantFlags[i]) << "flag " << i;
}

// DAZ support is read from the saved MXCSR mask, where 0 stands for 0xffbf; not from MXCSR.
TEST(CpuQueries, DazFromTheSavedMask)
{
    FakeCpu cpu;
    const struct {
        uint32_t mxcsr, mask;
        int daz;
    } areas[] = {{0x1f80, 0xffff, 1}, {0x1f80, 0x0040, 1}, {0x1fc0, 0xffbf, 0}, {0x1fc0, 0, 0},
                 {0x1f80, 0xff7f, 1}};
    for (const auto& a : areas) {
        cpu.savedMxcsr(a.mxcsr, a.mask);
        EXPECT_EQ(sigCpuHasDaz(), a.daz) << std::hex << a.mxcsr << " " << a.mask;
    }
}

TEST(CpuQueries, TimestampCounter)
{
    uint64_t last = 0;
    for (int i = 0; i < 100; ++i) {
        _mm_lfence();
        const uint64_t before = __rdtsc();
        _mm_lfence();
        const uint64_t t = sigCpuTimestamp();
        _mm_lfence();
        const uint64_t after = __rdtsc();
        ASSERT_TRUE(before <= t && t <= after) << before << " " << t << " " << after;
        ASSERT_GT(t, last);
        last = t;
    }
}

TEST(CpuQueries, ThisMachine)
{
    sigCacheSizeReset();
    EXPECT_EQ(sigCpuidSupported(), 1);
    unsigned a, b, c, d;
    __cpuid(0, a, b, c, d);
    EXPECT_EQ(sigCpuMaxLeaf(), int(a));
    const bool intel = b == 0x756e6547u && d == 0x49656e69u && c == 0x6c65746eu;
    EXPECT_EQ(sigCpuVendorCheck(), intel ? 1 : 0);
    __builtin_cpu_init();
    EXPECT_EQ(sigCpuOsAvx(), __builtin_cpu_supports("avx") ? 1 : 0);

    sigCpuidRecord r{};
    sigCpuid(&r, 1, 0);
    __cpuid_count(1, 0, a, b, c, d);
    EXPECT_TRUE(r.ecx == c && r.edx == d);

    int32_t size = -1;
    const sigStatus status = sigCacheSize(&size);
    if (!intel) {
        EXPECT_EQ(status, sigWarnNoCpuInfo);
        EXPECT_EQ(size, 0);
        EXPECT_EQ(sigkCacheProbe(sigkCacheDescTable), -1);
    } else if (status == sigOk) {
        EXPECT_GE(size, 32768);
    } else {
        EXPECT_EQ(status, sigWarnNoCache);
    }
}

}  // namespace
