// Processor queries of the primitives library: cpuid support, vendor, the operating system's AVX
// state, raw cpuid, and the size of the largest data or unified cache.
//
// Internal to the library (the slot selection of the scanner's primitives builds on it); the
// deliverables' public headers do not include it. Every query goes through the hooks of
// core/cpu_hooks.h, so tests can stand in any processor.
#pragma once

#include <stdint.h>

#include "sigprim.h"

extern "C" {

// One cpuid answer, in the order the instruction returns its registers.
struct sigCpuidRecord {
    uint32_t eax, ebx, ecx, edx;
};

// A cache descriptor of cpuid leaf 2 and the size in bytes it stands for; a table of them ends
// with descriptor 0. Only the low byte of the descriptor word is compared.
struct sigCacheDescriptor {
    uint32_t descriptor;
    uint32_t bytes;
};

// Leaf-2 descriptors from 24 MiB down to 128 KiB, largest first.
extern const sigCacheDescriptor sigCacheDescriptors[];

int sigCpuidSupported(void);   // 1 when the ID flag (bit 21) of the flags register toggles
int sigCpuMaxLeaf(void);       // eax of leaf 0: the highest standard leaf
int sigCpuVendorCheck(void);   // 1 when leaf 0 spells "GenuineIntel"
int sigCpuOsAvx(void);         // 1 when the processor has AVX and the system saves its state
void sigCpuid(sigCpuidRecord* out, uint32_t leaf, uint32_t subleaf);

// The largest cache that leaf 2 lists in the given table (bytes), or -1.
int sigCacheSizeFromDescriptors(const sigCacheDescriptor* table);

// Size in bytes of the largest data or unified cache, found once per process:
// 0 with the size; sigWarnNoCpuInfo (no cpuid, highest leaf below 2, or not "GenuineIntel") or
// sigWarnNoCache (nothing found) with the size 0; sigErrNull when size is NULL.
sigStatus sigCacheSize(int32_t* size);

// The cache size from the leaf-2 byte table of the memory kernels (which knows caches from
// 512 KiB up), or -1 on another vendor, a leaf 2 that needs several calls, or no known descriptor.
// Runs cpuid on every call.
int32_t sigkCacheProbe(const uint8_t* table);

// 43 pairs (descriptor, size code) and a 0 byte; bytes = (code >> 4) << ((code & 15) + 18).
extern const uint8_t sigkCacheDescTable[];
}
