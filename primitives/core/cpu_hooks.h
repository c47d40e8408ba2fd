// Test hooks of the processor queries: every cpuid, xgetbv, fxsave and ID-flag test of the library
// goes through sigCpuHooks, so a test can stand in another processor (another vendor, Intel cache
// descriptors, no cpuid at all), and sigCacheSizeReset forgets the remembered cache size.
// For tests only; nothing outside the library and its tests includes this.
#pragma once

#include <stdint.h>

#include "core/cpu.h"

extern "C" {

struct sigCpuHookTable {
    int (*idFlagToggles)(void);
    void (*cpuid)(sigCpuidRecord* out, uint32_t leaf, uint32_t subleaf);
    uint64_t (*xgetbv)(uint32_t index);
    void (*fxsave)(uint8_t* area);  // 512 bytes, 16-byte aligned
};

// The processor's own instructions unless a test swaps an entry.
extern sigCpuHookTable sigCpuHooks;
extern const sigCpuHookTable sigCpuHooksNative;

// Back to "no query has run yet": the next sigCacheSize asks the processor again.
void sigCacheSizeReset(void);
}
