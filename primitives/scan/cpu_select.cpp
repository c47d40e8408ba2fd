// Dispatch slot selection. The feature word is built once from cpuid and xgetbv and cached;
// the slot is written once, by sigInitDispatch, before any thread starts, and only read later.
#include "scan/cpu_select.h"

#include "core/cpu.h"
#include "sigprim.h"

extern "C" {

uint32_t sigEnabledFeatures[2] = {3, 0};

namespace {

// Build-once cache; the first call happens before threads start, so it needs no lock.
int featureWordReady = 0;
uint32_t featureWordCache = 0;

constexpr bool bit(uint32_t word, int b) { return ((word >> b) & 1u) != 0; }

}  // namespace

uint32_t sigkBuildFeatureWord(void)
{
    sigCpuidRecord r;
    sigCpuid(&r, 0, 0);
    const uint32_t maxStd = r.eax;
    sigCpuid(&r, 0x80000000u, 0);
    const uint32_t maxExt = r.eax;
    sigCpuid(&r, 1, 0);
    const uint32_t eax1 = r.eax, ecx1 = r.ecx, edx1 = r.edx;

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
    if (bit(ecx1, 27) && bit(ecx1, 28) && sigCpuOsAvx())
        word |= sigFeatOsAvx;
    if ((eax1 & 0xf00) == 0xb00) {
        sigCpuid(&r, 0x20000001u, 0);
        if (bit(r.edx, 1))
            word |= 1u << 12;
    }
    if (maxStd >= 7) {
        sigCpuid(&r, 7, 0);
        const uint32_t ebx7 = r.ebx;
        if (bit(ecx1, 12) && bit(ebx7, 5) && bit(ebx7, 3) && bit(ebx7, 8))
            word |= sigFeatAvx2FmaBmi;
        if (bit(ebx7, 19))
            word |= 1u << 16;
        if (bit(ebx7, 18))
            word |= 1u << 17;
    }
    if (maxExt >= 0x80000001u) {
        sigCpuid(&r, 0x80000001u, 0);
        if (bit(r.ecx, 8))
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
        if (!sigCpuidSupported())
            return 0;
        featureWordCache = sigkBuildFeatureWord();
        featureWordReady = 1;
    }
    out[0] = featureWordCache;
    out[1] = 0;
    return 1;
}

int sigkFeatureAllowed(int) { return 1; }

sigStatus sigGetCpuFeatures(uint32_t* featureWord, uint32_t* cpuidRecord)
{
    if (!sigCpuidSupported())
        return sigWarnNoCpuInfo;
    if (featureWord == nullptr)
        return sigErrNull;
    sigkCpuFeatureWord(featureWord);
    if (cpuidRecord != nullptr) {
        sigCpuidRecord r;
        sigCpuid(&r, 1, 0);
        cpuidRecord[0] = r.eax, cpuidRecord[1] = r.ebx, cpuidRecord[2] = r.ecx, cpuidRecord[3] = r.edx;
    }
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
    uint32_t word[2] = {0, 0};
    uint32_t leaf1[4];
    if (sigGetCpuFeatures(word, leaf1) != sigOk) {
        sigCpuSlot = 0;
        sigSetEnabledFeatures(3, 0);
    } else {
        uint32_t mask = 0;
        sigCpuSlot = sigkSlotForFeatures(word[0], &mask);
        sigSetEnabledFeatures(mask, 0);
    }
    const bool intel = sigCpuidSupported() && sigCpuVendorCheck();
    return intel ? sigOk : sigWarnCpuSlot;
}

void sigCpuFeatureWordReset(void)
{
    featureWordReady = 0;
    featureWordCache = 0;
}
}
