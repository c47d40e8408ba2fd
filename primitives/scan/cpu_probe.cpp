// The host probe: cpuid, xgetbv and the EFLAGS.ID test. On a target without cpuid it reports
// that cpuid is missing, which selects the plain slot.
#include "scan/cpu_probe.h"

namespace {

#if defined(__x86_64__) || defined(__i386__)
int hostCpuidSupported()
{
    // Bit 21 (ID) of the flags register can be toggled only where cpuid exists.
    // The pushes step over the red zone, which the compiler may be using below the stack.
    unsigned long before, after;
    __asm__ volatile(
#if defined(__x86_64__)
        "sub $128, %%rsp\n\t"
#endif
        "pushf\n\t"
        "pop %0\n\t"
        "mov %0, %1\n\t"
        "xor $0x200000, %1\n\t"
        "push %1\n\t"
        "popf\n\t"
        "pushf\n\t"
        "pop %1\n\t"
        "push %0\n\t"
        "popf\n\t"
#if defined(__x86_64__)
        "add $128, %%rsp\n\t"
#endif
        : "=&r"(before), "=&r"(after)
        :
        : "cc");
    return ((before ^ after) & 0x200000) != 0;
}

void hostCpuid(uint32_t r[4], uint32_t leaf, uint32_t subleaf)
{
    __asm__ volatile("cpuid" : "=a"(r[0]), "=b"(r[1]), "=c"(r[2]), "=d"(r[3])
                     : "a"(leaf), "c"(subleaf));
}

int hostOsAvx()
{
    uint32_t r[4];
    hostCpuid(r, 1, 0);
    if (((r[2] >> 27) & 1) == 0 || ((r[2] >> 28) & 1) == 0)
        return 0;
    uint32_t lo, hi;
    __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
    return (lo & 6) == 6;
}

int hostVendorCheck()
{
    uint32_t r[4];
    hostCpuid(r, 0, 0);
    // "Genu" "ineI" "ntel" in EBX, EDX, ECX.
    return r[1] == 0x756e6547u && r[3] == 0x49656e69u && r[2] == 0x6c65746eu;
}
#else
int hostCpuidSupported() { return 0; }
void hostCpuid(uint32_t r[4], uint32_t, uint32_t) { r[0] = r[1] = r[2] = r[3] = 0; }
int hostOsAvx() { return 0; }
int hostVendorCheck() { return 0; }
#endif

}  // namespace

extern "C" const sigCpuProbe sigkHostCpuProbe = {hostCpuidSupported, hostCpuid, hostOsAvx,
                                                 hostVendorCheck};
