// How the dispatch slot is chosen from the processor's features, and the hooks that let tests
// choose on injected processors. Not part of the public headers.
#pragma once

#include <cstdint>

extern "C" {

// The processor queries the selection rests on. The default probe asks this processor.
struct sigCpuProbe {
    int (*cpuidSupported)();
    void (*cpuid)(uint32_t record[4], uint32_t leaf, uint32_t subleaf);
    int (*osAvx)();        // cpuid leaf 1 ECX bits 27, 28 and xgetbv(0) & 6 == 6
    int (*vendorCheck)();  // vendor string "GenuineIntel"
};

// Bits of the feature word.
enum : uint32_t {
    sigFeatSse2 = 1u << 2,
    sigFeatSsse3 = 1u << 4,
    sigFeatMovbe = 1u << 5,
    sigFeatSse41 = 1u << 6,
    sigFeatAvx = 1u << 8,
    sigFeatOsAvx = 1u << 9,
    sigFeatAvx2FmaBmi = 1u << 15,
};

// The feature word of the processor the probe describes (cpuid must exist). Pure: it only
// asks the probe.
uint32_t sigkBuildFeatureWord(const sigCpuProbe* probe);

// Slot for a feature word, and that slot's enabled-feature mask.
int32_t sigkSlotForFeatures(uint32_t word, uint32_t* mask);

// Writes the cached feature word (two words) and returns 1, building it on the first call;
// 0 and nothing written without cpuid.
int sigkCpuFeatureWord(uint32_t out[2]);

// Asked before the AVX slots; every feature is allowed.
int sigkFeatureAllowed(int featureId);

// The mask stored by the last sigSetEnabledFeatures ({3, 0} at load). Nothing reads it.
extern uint32_t sigEnabledFeatures[2];

// Test hooks: replace the probe (NULL restores this processor's) and forget the cached word.
void sigTestSetCpuProbe(const sigCpuProbe* probe);
}
