// Dispatch slot selection. The feature word is built once from cpuid and xgetbv and cached;
// the slot is written once, by sigInitDispatch, before any thread starts, and only read later.
#include "scan/cpu_select.h"

#include "scan/cpu_probe.h"
#include "sigprim.h"

extern "C" {

uint32_t sigEnabledFeatures[2] = {3, 0};

namespace {

const sigCpuProbe* activeProbe = &sigkHostCpuProbe;

// Build-once cache; the first call happens before threads start, so it needs no lock.
int featureWordReady = 0;
uint32_t featureWordCache = 0;

constexpr bool bit(uint32_t word, int b) { return ((word >> b) & 1u) != 0; }

}  // namespace

uint32_t sigkBuildFeatureWord(const sigCpuProbe* probe)
{
    uint32_t r[4];
    probe->cpuid(r, 0, 0);
    const uint32_t maxStd = r[0];
    probe->cpuid(r, 0x80000000u, 0);
    const uint32_t maxExt = r[0];
    probe->cpuid(r, 1, 0);
    const uint32_t eax1 = r[0], ecx1 = r[2], edx1 = r[3];

    // (feature-word bit, leaf-1 register bit) for the plain leaf-1 flags.
    static const struct { int bit; bool inEcx; int src; } leaf1[] = {
        {0, false, 23}, {1, false, 25}, {2, false, 26}, {3, true, 0},   {4, true, 9},
        {5, true, 22},  {6, true, 19},  {7, true, 20},  {8, true, 28},  {10, true, 25},
        {11, true, 1},  {13, true, 30}, {14, true, 29},
    };
    uint32_t word = 0;
    for (const auto& f : leaf1)
        if (bit(f.inEcx ? ecx1 : edx1, f.src))
            word |= 1u << f.bit;
    if (bit(ecx1, 27) && bit(ecx1, 28) && probe->osAvx())
        word |= sigFeatOsAvx;
    if ((eax1 & 0xf00) == 0xb00) {
        probe->cpuid(r, 0x20000001u, 0);
        if (bit(r[3], 1))
            word |= 1u << 12;
    }
    if (maxStd >= 7) {
        probe->cpuid(r, 7, 0);
        const uint32_t ebx7 = r[1];
        if (bit(ecx1, 12) && bit(ebx7, 5) && bit(ebx7, 3) && bit(ebx7, 8))
            word |= sigFeatAvx2FmaBmi;
        if (bit(ebx7, 19))
            word |= 1u << 16;
        if (bit(ebx7, 18))
            word |= 1u << 17;
    }
    if (maxExt >= 0x80000001u) {
        probe->cpuid(r, 0x80000001u, 0);
        if (bit(r[2], 8))
            word |= 1u << 18;
    }
    if ((eax1 & 0xff0) == 0xb10)
        word |= 1u << 31;
    return word;
}

int32_t sigkSlotForFeatures(uint32_t word, uint32_t* mask)
{
    const bool avxUsable = (word & (sigFeatAvx | sigFeatOsAvx)) == (sigFeatAvx | sigFeatOsAvx);
    constexpr int kAvxFeatureId = 70;
    if (sigkFeatureAllowed(kAvxFeatureId) && avxUsable) {
        if (word & sigFeatAvx2FmaBmi) {
            *mask = word & 0x7efff;
            return 6;
        }
        *mask = word & 0x6fdf;
        return 5;
    }
    if (word & sigFeatSse41) {
        *mask = word & 0xcdf;
        return 4;
    }
    if ((word & sigFeatSsse3) && (word & sigFeatMovbe)) {
        *mask = word & 0x3f;
        return 3;
    }
    if (word & sigFeatSsse3) {
        *mask = word & 0x1f;
        return 2;
    }
    if (word & sigFeatSse2) {
        *mask = word & 7;
        return 1;
    }
    *mask = word & 3;
    return 0;
}

int sigkCpuFeatureWord(uint32_t out[2])
{
    if (!featureWordReady) {
        if (!activeProbe->cpuidSupported())
            return 0;
        featureWordCache = sigkBuildFeatureWord(activeProbe);
        featureWordReady = 1;
    }
    out[0] = featureWordCache;
    out[1] = 0;
    return 1;
}

int sigkFeatureAllowed(int) { return 1; }

sigStatus sigGetCpuFeatures(uint32_t* featureWord, uint32_t* cpuidRecord)
{
    if (!activeProbe->cpuidSupported())
        return sigWarnNoCpuInfo;
    if (featureWord == nullptr)
        return sigErrNull;
    sigkCpuFeatureWord(featureWord);
    if (cpuidRecord != nullptr)
        activeProbe->cpuid(cpuidRecord, 1, 0);
    return sigOk;
}

sigStatus sigSetEnabledFeatures(uint32_t low, uint32_t high)
{
    sigEnabledFeatures[0] = low;
    sigEnabledFeatures[1] = high;
    return sigOk;
}

int sigInitDispatch(void)
{
    uint32_t word[2];
    uint32_t leaf1[4];
    if (sigGetCpuFeatures(word, leaf1) != sigOk) {
        sigCpuSlot = 0;
        sigSetEnabledFeatures(3, 0);
    } else {
        uint32_t mask = 0;
        sigCpuSlot = sigkSlotForFeatures(word[0], &mask);
        sigSetEnabledFeatures(mask, 0);
    }
    const bool intel = activeProbe->cpuidSupported() && activeProbe->vendorCheck();
    return intel ? sigOk : sigWarnCpuSlot;
}

void sigTestSetCpuProbe(const sigCpuProbe* probe)
{
    activeProbe = probe != nullptr ? probe : &sigkHostCpuProbe;
    featureWordReady = 0;
    featureWordCache = 0;
}
}
