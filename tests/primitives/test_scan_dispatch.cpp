// Dispatch slot selection on injected processors and on this one, and the complex 16-bit
// memory primitives of every slot.
#include <gtest/gtest.h>

#include <cpuid.h>

#include <cstdint>
#include <array>
#include <cstring>
#include <map>
#include <vector>

#include "fake_cpu.h"
#include "scan/cpu_select.h"
#include "sigprim.h"
#include "slots.h"

namespace {

// A stand-in processor built from feature bits; its leaves go to the library's cpuid hooks.
struct Processor {
    FakeCpu fake;
    bool hasCpuid = true;
    bool osSavesAvx = false;
    bool intel = false;
    std::map<uint32_t, sigCpuidRecord> leaves;

    Processor()
    {
        leaves[0] = {7, 0, 0, 0};
        leaves[0x80000000u] = {0x80000008u, 0, 0, 0};
        leaves[1] = {0x00a20f10, 0, 0, 0};
        leaves[7] = {0, 0, 0, 0};
        sigCpuFeatureWordReset();
    }
    ~Processor() { sigCpuFeatureWordReset(); }

    // Hands the current description to the hooks.
    void install()
    {
        if (!hasCpuid)
            fake.noCpuid();
        fake.osState(osSavesAvx ? 7 : 1);
        for (auto& [leaf, r] : leaves) {
            sigCpuidRecord rec = r;
            if (leaf == 0) {
                const char* name = intel ? "GenuineIntel" : "AuthenticAMD";
                std::memcpy(&rec.ebx, name, 4);
                std::memcpy(&rec.edx, name + 4, 4);
                std::memcpy(&rec.ecx, name + 8, 4);
            }
            fake.leaf(leaf, 0, rec);
        }
    }
    void ecx1(int bit) { leaves[1].ecx |= 1u << bit; }
    void edx1(int bit) { leaves[1].edx |= 1u << bit; }
    void ebx7(int bit) { leaves[7].ebx |= 1u << bit; }
    void sse2() { edx1(23), edx1(25), edx1(26); }
    void avxWithOs() { ecx1(27), ecx1(28), osSavesAvx = true; }
    void avx2FmaBmi() { ecx1(12), ebx7(5), ebx7(3), ebx7(8); }
};

struct Selected {
    int result;
    int32_t slot;
    uint32_t mask;
};

Selected select()
{
    testing_slots::SlotScope keep(sigCpuSlot);
    Selected s;
    s.result = sigInitDispatch();
    s.slot = sigCpuSlot;
    s.mask = sigEnabledFeatures[0];
    EXPECT_EQ(sigEnabledFeatures[1], 0u);
    return s;
}

uint32_t featureWord()
{
    uint32_t w[2] = {0xdead, 0xbeef};
    EXPECT_EQ(sigGetCpuFeatures(w, nullptr), sigOk);
    EXPECT_EQ(w[1], 0u);
    return w[0];
}

TEST(SlotSelection, WithoutCpuidThePlainSlotAndAWarning)
{
    Processor cpu;
    cpu.hasCpuid = false;
    cpu.sse2();
    cpu.install();
    FakeCpu::calls() = 0;
    uint32_t w[2] = {7, 7}, rec[4] = {};
    EXPECT_EQ(sigGetCpuFeatures(w, rec), sigWarnNoCpuInfo);
    EXPECT_EQ(w[0], 7u) << "nothing written without cpuid";
    EXPECT_EQ(sigGetCpuFeatures(nullptr, nullptr), sigWarnNoCpuInfo) << "cpuid is tested first";
    const Selected s = select();
    EXPECT_EQ(s.slot, 0);
    EXPECT_EQ(s.mask, 3u);
    EXPECT_EQ(s.result, sigWarnCpuSlot);
    EXPECT_EQ(FakeCpu::calls(), 0);
}

TEST(SlotSelection, TruthTableOfInjectedProcessors)
{
    struct Case {
        const char* what;
        void (*setup)(Processor&);
        int32_t slot;
        int result;
    };
    const Case cases[] = {
        {"another vendor with AVX2, FMA, BMI1, BMI2",
         [](Processor& c) { c.sse2(), c.ecx1(9), c.ecx1(22), c.ecx1(19), c.avxWithOs(), c.avx2FmaBmi(); },
         6, sigWarnCpuSlot},
        {"Intel with AVX2, FMA, BMI1, BMI2",
         [](Processor& c) { c.intel = true, c.sse2(), c.ecx1(19), c.avxWithOs(), c.avx2FmaBmi(); },
         6, sigOk},
        {"AVX2 without BMI2",
         [](Processor& c) { c.intel = true, c.sse2(), c.avxWithOs(), c.avx2FmaBmi(), c.leaves[7].ebx &= ~(1u << 8); },
         5, sigOk},
        {"AVX2 bits but leaf 7 beyond the highest leaf",
         [](Processor& c) { c.sse2(), c.avxWithOs(), c.avx2FmaBmi(), c.leaves[0].eax = 6; },
         5, sigWarnCpuSlot},
        {"AVX that the system does not save, with SSE4.1",
         [](Processor& c) { c.sse2(), c.ecx1(19), c.ecx1(27), c.ecx1(28), c.avx2FmaBmi(); },
         4, sigWarnCpuSlot},
        {"AVX without OSXSAVE (xgetbv never asked)",
         [](Processor& c) { c.sse2(), c.ecx1(28), c.osSavesAvx = true; },
         1, sigWarnCpuSlot},
        {"SSSE3 with MOVBE", [](Processor& c) { c.sse2(), c.ecx1(9), c.ecx1(22); }, 3, sigWarnCpuSlot},
        {"SSSE3 alone", [](Processor& c) { c.sse2(), c.ecx1(9); }, 2, sigWarnCpuSlot},
        {"MOVBE without SSSE3", [](Processor& c) { c.sse2(), c.ecx1(22); }, 1, sigWarnCpuSlot},
        {"MOVBE without SSSE3 or SSE2", [](Processor& c) { c.ecx1(22); }, 0, sigWarnCpuSlot},
        {"nothing at all, Intel", [](Processor& c) { c.intel = true; }, 0, sigOk},
    };
    for (const Case& k : cases) {
        Processor cpu;
        k.setup(cpu);
        cpu.install();
        const uint32_t word = featureWord();
        uint32_t expectMask = 0;
        EXPECT_EQ(sigkSlotForFeatures(word, &expectMask), k.slot) << k.what;
        const Selected s = select();
        EXPECT_EQ(s.slot, k.slot) << k.what;
        EXPECT_EQ(s.result, k.result) << k.what;
        EXPECT_EQ(s.mask, expectMask) << k.what;
    }
}

TEST(SlotSelection, EnabledMaskKeepsOnlyTheSlotsFeatures)
{
    Processor cpu;
    cpu.sse2(), cpu.ecx1(0), cpu.ecx1(9), cpu.ecx1(22), cpu.ecx1(19), cpu.ecx1(20), cpu.ecx1(25),
        cpu.ecx1(1), cpu.ecx1(30), cpu.ecx1(29);
    cpu.ebx7(19), cpu.ebx7(18);
    cpu.leaves[0x80000001u] = {0, 0, 1u << 8, 0};
    cpu.install();
    const uint32_t word = featureWord();
    EXPECT_EQ(word, 0x76cffu) << "every bit but AVX (8, 9), bit 12 and the AVX2 group (15)";
    const Selected s = select();
    EXPECT_EQ(s.slot, 4);
    EXPECT_EQ(s.mask, word & 0xcdf);
}

TEST(SlotSelection, FamilyBBitsAndExtendedLeafLimit)
{
    Processor cpu;
    cpu.leaves[1].eax = 0xb10;
    cpu.leaves[0x20000001u] = {0, 0, 0, 2};
    cpu.leaves[0x80000001u] = {0, 0, 1u << 8, 0};
    cpu.leaves[0x80000000u].eax = 0x80000000u;  // 0x80000001 beyond the highest extended leaf
    cpu.install();
    EXPECT_EQ(featureWord(), (1u << 12) | (1u << 31));
}

TEST(SlotSelection, FeatureWordIsBuiltOnce)
{
    Processor cpu;
    cpu.sse2();
    cpu.install();
    const uint32_t first = featureWord();
    const int calls = FakeCpu::calls();
    cpu.ecx1(9);  // a later change is not seen: the word is cached
    cpu.install();
    EXPECT_EQ(featureWord(), first);
    uint32_t w[2];
    EXPECT_EQ(sigkCpuFeatureWord(w), 1);
    EXPECT_EQ(FakeCpu::calls(), calls);
    uint32_t rec[4];
    EXPECT_EQ(sigGetCpuFeatures(nullptr, rec), sigErrNull);
}

TEST(SlotSelection, ThisProcessor)
{
    sigCpuFeatureWordReset();
    unsigned a, b, c, d;
    ASSERT_TRUE(__get_cpuid(1, &a, &b, &c, &d));
    uint32_t w[2], rec[4];
    ASSERT_EQ(sigGetCpuFeatures(w, rec), sigOk);
    EXPECT_EQ(rec[0], a);
    EXPECT_EQ(rec[2], c);
    EXPECT_EQ(rec[3], d);
    __builtin_cpu_init();
    EXPECT_EQ((w[0] >> 2) & 1, uint32_t(__builtin_cpu_supports("sse2") != 0));
    EXPECT_EQ((w[0] >> 4) & 1, uint32_t(__builtin_cpu_supports("ssse3") != 0));
    EXPECT_EQ((w[0] >> 6) & 1, uint32_t(__builtin_cpu_supports("sse4.1") != 0));
    EXPECT_EQ((w[0] >> 8) & 1, uint32_t(__builtin_cpu_supports("avx") != 0));
    EXPECT_EQ((w[0] >> 15) & 1, uint32_t(testing_slots::slotRuns(6)));

    unsigned v[4] = {};
    __get_cpuid(0, &v[0], &v[1], &v[2], &v[3]);
    const bool intel = v[1] == 0x756e6547u && v[3] == 0x49656e69u && v[2] == 0x6c65746eu;
    const Selected s = select();
    EXPECT_EQ(s.result, intel ? sigOk : sigWarnCpuSlot);
    int32_t best = 0;
    for (int k = 0; k <= 6; ++k)
        if (testing_slots::slotRuns(k))
            best = k;
    EXPECT_EQ(s.slot, best) << "the highest slot this processor runs";
}

class Memory16Slots : public ::testing::TestWithParam<int> {};

TEST_P(Memory16Slots, AllocatorsCopyAndZero)
{
    SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
    testing_slots::SlotScope slot(GetParam());
    EXPECT_EQ(sigMalloc_cs16(0), nullptr);
    EXPECT_EQ(sigMalloc_cs32(-1), nullptr);
    EXPECT_EQ(sigMalloc_cs16(0x20000000), nullptr) << "2^31 bytes do not fit the signed size";
    EXPECT_EQ(sigMalloc_cs32(0x10000000), nullptr);

    for (int32_t len : {1, 3, 17, 1000}) {
        cs16* a = sigMalloc_cs16(len);
        cs16* b = sigMalloc_cs16(len);
        ASSERT_NE(a, nullptr);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % 64, 0u);
        for (int32_t i = 0; i < len; ++i)
            a[i] = cs16{int16_t(i * 7 - 300), int16_t(-i)};
        EXPECT_EQ(sigCopy_cs16(a, b, len), sigOk);
        EXPECT_EQ(std::memcmp(a, b, size_t(len) * 4), 0);
        EXPECT_EQ(sigZero_cs16(b, len), sigOk);
        for (int32_t i = 0; i < len; ++i)
            EXPECT_TRUE(b[i].re == 0 && b[i].im == 0);
        auto* f = reinterpret_cast<float*>(a);
        EXPECT_EQ(sigZero_f32(f, len), sigOk);
        for (int32_t i = 0; i < len; ++i)
            EXPECT_EQ(f[i], 0.0f);
        sigFree(a);
        sigFree(b);
    }
    cs32* t = sigMalloc_cs32(5);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(t) % 64, 0u);
    sigFree(t);

    cs16 x[2] = {{1, 2}, {3, 4}}, y[2] = {{9, 9}, {9, 9}};
    EXPECT_EQ(sigCopy_cs16(nullptr, y, 0), sigErrNull) << "pointer test before length test";
    EXPECT_EQ(sigCopy_cs16(x, nullptr, 2), sigErrNull);
    EXPECT_EQ(sigCopy_cs16(x, y, 0), sigErrLength);
    EXPECT_EQ(sigZero_cs16(nullptr, 0), sigErrNull);
    EXPECT_EQ(sigZero_cs16(y, -1), sigErrLength);
    EXPECT_EQ(sigZero_f32(nullptr, 1), sigErrNull);
    EXPECT_EQ(sigZero_f32(reinterpret_cast<float*>(y), 0), sigErrLength);
    EXPECT_EQ(y[0].re, 9) << "failed calls write nothing";
}

INSTANTIATE_TEST_SUITE_P(EverySlot, Memory16Slots, ::testing::Range(0, 7));

}  // namespace
