// How the dispatch slot is chosen from the processor's features. Not part of the public
// headers. The processor queries underneath (core/cpu.h) go through the hooks of
// core/cpu_hooks.h, so tests choose slots on stand-in processors.
#pragma once

#include <cstdint>

extern "C" {

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

// The feature word from cpuid and xgetbv (cpuid must exist); not cached.
uint32_t sigkBuildFeatureWord(void);

// Slot for a feature word, and that slot's enabled-feature mask.
int32_t sigkSlotForFeatures(uint32_t word, uint32_t* mask);

// Writes the cached feature word (two words) and returns 1, building it on the first call;
// 0 and nothing written without cpuid.
int sigkCpuFeatureWord(uint32_t out[2]);

// Asked before the AVX slots; every feature is allowed.
int sigkFeatureAllowed(int featureId);

// The mask stored by the last sigSetEnabledFeatures ({3, 0} at load). Nothing reads it.
extern uint32_t sigEnabledFeatures[2];

// Test hook: forget the cached feature word, so the next query asks the processor again.
void sigCpuFeatureWordReset(void);
}
