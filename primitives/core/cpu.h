// Processor queries of the primitives library: cpuid support, vendor, the operating system's AVX
// state, raw cpuid, the size of the largest data or unified cache, single features, the
// time-stamp counter, and the x87 and SSE floating-point control.
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

// Single features, 1 or 0, each from one cpuid answer (leaf 1 unless stated).
int sigCpuHasTsc(void);           // time-stamp counter
int sigCpuHasMmx(void);
int sigCpuHasSse(void);
int sigCpuHasSse2(void);
int sigCpuHasMultiLogical(void);  // several logical processors: the flag and a count above 1
int sigCpuHasSse3(void);
int sigCpuHasSsse3(void);
int sigCpuHasSse41(void);
int sigCpuHasSse42(void);
int sigCpuHasMovbe(void);
int sigCpuCoresPerPackage(void);  // from leaf 4; 1 when the processor has no leaf 4
int sigCpuHas64Bit(void);         // from leaf 0x80000001; 0 when that leaf does not exist

// The leaf-1 signature, the raw words it and leaf 2 come with, and the features above as 1 or 0
// (coresPerPackage is a count).
struct sigCpuSignature {
    uint32_t family, stepping, model, type, extModel, extFamily;
    uint32_t leaf1Edx, leaf2Eax, leaf2Edx;
    uint32_t mmx, sse, sse2, multiLogical, sse3, longMode, ssse3, coresPerPackage, sse41, sse42,
        movbe, avx, osxsave;
};
// 0 with the record filled; sigErrNull when out is NULL.
sigStatus sigCpuGetSignature(sigCpuSignature* out);

// The 64-bit time-stamp counter.
uint64_t sigCpuTimestamp(void);

// 1 when MXCSR accepts the denormals-are-zero bit (setting it elsewhere faults).
int sigCpuHasDaz(void);

// x87 and SSE floating-point control (core/fpu_control.cpp). Masked updates change only the bits
// set in mask, to the value's bits there.
uint16_t sigX87GetControl(void);
void sigX87SetControl(uint16_t control);
void sigX87UpdateControl(uint16_t value, uint16_t mask);
uint16_t sigX87GetStatus(void);
void sigX87ClearExceptions(void);  // the exception flags and the busy bit of the status word

enum { sigMxcsrDefault = 0x1f80 };  // every exception masked, nearest, no flush or DAZ
uint32_t sigMxcsrGet(void);
void sigMxcsrSet(uint32_t mxcsr);
void sigMxcsrSetDefault(void);
void sigMxcsrUpdate(uint32_t value, uint32_t mask);

// Rounding of both units: float and double arithmetic goes through SSE here, long double through
// the x87, and the two should not disagree.
enum { sigRoundNearest = 0, sigRoundDown = 1, sigRoundUp = 2, sigRoundTowardZero = 3 };
void sigSetRounding(int mode);

int sigIsNan(double x);
int sigIsFinite(double x);  // neither infinite nor NaN
}
