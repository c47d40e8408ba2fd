// Dispatch slot selection on injected processors and on this one.
#include <gtest/gtest.h>

#include <cpuid.h>

#include <cstdint>
#include <utility>

#include "fake_cpu.h"
#include "scan/cpu_select.h"
#include "sigprim.h"
#include "slots.h"

namespace {

// A stand-in processor built from feature bits; install() adds the vendor with leaf 0's highest
// leaf.
struct Processor : FakeCpu {
    bool intel = false;

    Processor()
    {
        leaf(0, 0, {7, 0, 0, 0}).leaf(1, 0, {0x00a20f10, 0, 0, 0}).leaf(0x80000000u, 0, {0x80000008u, 0, 0, 0});
        osState(1);
        sigCpuFeatureWordReset();
    }
    ~Processor() { sigCpuFeatureWordReset(); }

    void install() { vendor(intel ? "GenuineIntel" : "AuthenticAMD", at(0).eax); }
    void ecx1(int bit) { at(1).ecx |= 1u << bit; }
    void edx1(int bit) { at(1).edx |= 1u << bit; }
    void ebx7(int bit) { at(7).ebx |= 1u << bit; }
    void sse2() { edx1(23), edx1(25), edx1(26); }
    void avxWithOs() { ecx1(27), ecx1(28), osState(7); }
    void avx2FmaBmi() { ecx1(12), ebx7(5), ebx7(3), ebx7(8); }
};

struct Selected {
    int result;
    int32_t slot;
    uint32_t mask;
};

// Runs the selection, puts the previous slot back, and reports what was chosen.
Selected select()
{
    testing_slots::SlotScope keep(sigCpuSlot);
    const int result = sigInitDispatch();
    EXPECT_EQ(sigEnabledFeatures[1], 0u);
    return {result, sigCpuSlot, sigEnabledFeatures[0]};
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
    cpu.noCpuid();
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
         [](Processor& c) { c.sse2(), c.ecx1(9), c.ecx1(22), c.ecx1(19), c.avxWithOs(), c.avx2FmaBmi(); }, 6, sigWarnCpuSlot},
        {"Intel with AVX2, FMA, BMI1, BMI2",
         [](Processor& c) { c.intel = true, c.sse2(), c.ecx1(19), c.avxWithOs(), c.avx2FmaBmi(); }, 6, sigOk},
        {"AVX2 without BMI2",
         [](Processor& c) { c.intel = true, c.sse2(), c.avxWithOs(), c.avx2FmaBmi(), c.at(7).ebx &= ~(1u << 8); }, 5, sigOk},
        {"AVX2 bits but leaf 7 beyond the highest leaf",
         [](Processor& c) { c.sse2(), c.avxWithOs(), c.avx2FmaBmi(), c.at(0).eax = 6; }, 5, sigWarnCpuSlot},
        {"AVX that the system does not save, with SSE4.1",
         [](Processor& c) { c.sse2(), c.ecx1(19), c.ecx1(27), c.ecx1(28), c.avx2FmaBmi(); }, 4, sigWarnCpuSlot},
        {"AVX without OSXSAVE (xgetbv never asked)", [](Processor& c) { c.sse2(), c.ecx1(28), c.osState(7); }, 1, sigWarnCpuSlot},
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

TEST(SlotSelection, FeatureWordBitsAndTheEnabledMask)
{
    Processor cpu;
    cpu.sse2(), cpu.ecx1(0), cpu.ecx1(9), cpu.ecx1(22), cpu.ecx1(19), cpu.ecx1(20), cpu.ecx1(25),
        cpu.ecx1(1), cpu.ecx1(30), cpu.ecx1(29);
    cpu.ebx7(19), cpu.ebx7(18);
    cpu.at(0x80000001u) = {0, 0, 1u << 8, 0};
    cpu.install();
    const uint32_t word = featureWord();
    EXPECT_EQ(word, 0x76cffu) << "every bit but AVX (8, 9), bit 12 and the AVX2 group (15)";
    const Selected s = select();
    EXPECT_EQ(s.slot, 4);
    EXPECT_EQ(s.mask, word & 0xcdf) << "only the slot's features";

    Processor familyB;
    familyB.at(1).eax = 0xb10;
    familyB.at(0x20000001u) = {0, 0, 0, 2};
    familyB.at(0x80000001u) = {0, 0, 1u << 8, 0};
    familyB.at(0x80000000u).eax = 0x80000000u;  // 0x80000001 beyond the highest extended leaf
    familyB.install();
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
    EXPECT_TRUE(rec[0] == a && rec[2] == c && rec[3] == d);
    // SSE2, SSSE3, SSE4.1, AVX and the AVX2 group: what slots 1, 2, 4, 5 and 6 need.
    for (auto [bit, slot] : {std::pair{2, 1}, {4, 2}, {6, 4}, {8, 5}, {15, 6}})
        EXPECT_EQ((w[0] >> bit) & 1, uint32_t(testing_slots::slotRuns(slot))) << "bit " << bit;

    const Selected s = select();
    EXPECT_EQ(s.result, __builtin_cpu_is("intel") ? sigOk : sigWarnCpuSlot);
    int32_t best = 0;
    for (int k = 0; k <= 6; ++k)
        if (testing_slots::slotRuns(k))
            best = k;
    EXPECT_EQ(s.slot, best) << "the highest slot this processor runs";
}

}  // namespace
