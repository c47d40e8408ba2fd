// Processor queries, the remembered cache size, single features and the time-stamp counter.
#include <cpuid.h>
#include <x86intrin.h>

#include <atomic>
#include <cstring>

#include "core/cpu.h"
#include "core/cpu_hooks.h"
#include "core/mem_hooks.h"

namespace {

int nativeIdFlagToggles()
{
    // Flip bit 21 of the flags register and see whether the flip sticks.
    uint64_t before, after;
    asm volatile(
        "pushfq\n\t"
        "pushfq\n\t"
        "popq %0\n\t"
        "movq %0, %1\n\t"
        "xorq $0x200000, %1\n\t"
        "pushq %1\n\t"
        "popfq\n\t"
        "pushfq\n\t"
        "popq %1\n\t"
        "popfq"
        : "=&r"(before), "=&r"(after)
        :
        : "cc");
    return ((before ^ after) & 0x200000) != 0;
}

void nativeCpuid(sigCpuidRecord* out, uint32_t leaf, uint32_t subleaf)
{
    __cpuid_count(leaf, subleaf, out->eax, out->ebx, out->ecx, out->edx);
}

uint64_t nativeXgetbv(uint32_t index)
{
    uint32_t lo, hi;
    asm volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(index));
    return (static_cast<uint64_t>(hi) << 32) | lo;
}

void nativeFxsave(uint8_t* area)
{
    asm volatile("fxsave %0" : "=m"(*reinterpret_cast<uint8_t(*)[512]>(area)));
}

// The descriptor bytes of one leaf-2 answer: registers with bit 31 set carry none, and the low
// byte of eax is the call count, not a descriptor. Returns how many were found (at most 15), or
// -1 when the processor wants leaf 2 called more than once.
int leaf2Descriptors(uint8_t bytes[15])
{
    sigCpuidRecord r;
    sigCpuid(&r, 2, 0);
    if ((r.eax & 0xff) != 1)
        return -1;
    const uint32_t regs[4] = {r.eax, r.ebx, r.ecx, r.edx};
    int count = 0;
    for (int i = 0; i < 4; ++i) {
        if (regs[i] & 0x80000000u)
            continue;
        for (int b = (i == 0 ? 1 : 0); b < 4; ++b)
            bytes[count++] = static_cast<uint8_t>(regs[i] >> (8 * b));
    }
    return count;
}

bool listed(uint8_t descriptor, const uint8_t* bytes, int count)
{
    for (int i = 0; i < count; ++i)
        if (bytes[i] == descriptor)
            return true;
    return false;
}

// The memo of sigCacheSize. The size is written before the final status (release), and read
// after it (acquire), so a thread that sees a final status also sees its size.
constexpr int32_t kNotAsked = 1;
std::atomic<int32_t> memoStatus{kNotAsked};
std::atomic<int32_t> memoSize{0};

// Leaf 4, every sub-leaf until type 0: the largest data or unified cache (bytes, clamped to the
// signed 32-bit range), or 0.
int32_t largestCacheFromLeaf4()
{
    int64_t best = 0;
    for (uint32_t i = 0; i < 32; ++i) {
        sigCpuidRecord r;
        sigCpuid(&r, 4, i);
        uint32_t type = r.eax & 0x1f;
        if (type == 0)
            break;
        if (type == 2)  // instruction cache
            continue;
        int64_t line = (r.ebx & 0xfff) + 1;
        int64_t partitions = ((r.ebx >> 12) & 0x3ff) + 1;
        int64_t ways = ((r.ebx >> 22) & 0x3ff) + 1;
        int64_t sets = static_cast<int64_t>(r.ecx) + 1;
        int64_t size = line * partitions * ways * sets;
        if (size > best)
            best = size;
    }
    return best > INT32_MAX ? INT32_MAX : static_cast<int32_t>(best);
}

constexpr int bitOf(uint32_t word, int b) { return static_cast<int>((word >> b) & 1u); }

// Where leaf 1 reports each single feature.
struct Leaf1Bit {
    uint32_t sigCpuidRecord::*reg;
    int bit;
};
constexpr Leaf1Bit kTsc{&sigCpuidRecord::edx, 4}, kMmx{&sigCpuidRecord::edx, 23},
    kSse{&sigCpuidRecord::edx, 25}, kSse2{&sigCpuidRecord::edx, 26},
    kMultiLogical{&sigCpuidRecord::edx, 28}, kSse3{&sigCpuidRecord::ecx, 0},
    kSsse3{&sigCpuidRecord::ecx, 9}, kSse41{&sigCpuidRecord::ecx, 19},
    kSse42{&sigCpuidRecord::ecx, 20}, kMovbe{&sigCpuidRecord::ecx, 22},
    kOsxsave{&sigCpuidRecord::ecx, 27}, kAvx{&sigCpuidRecord::ecx, 28};

int has(const sigCpuidRecord& r1, Leaf1Bit f) { return bitOf(r1.*f.reg, f.bit); }

sigCpuidRecord leaf1()
{
    sigCpuidRecord r;
    sigCpuid(&r, 1, 0);
    return r;
}

// The flag alone does not say there is more than one: the count (ebx bits 16-23) must too.
int multiLogical(const sigCpuidRecord& r1)
{
    return has(r1, kMultiLogical) && ((r1.ebx >> 16) & 0xff) > 1;
}

void settle(int32_t status, int32_t size)
{
    memoSize.store(size, std::memory_order_relaxed);
    memoStatus.store(status, std::memory_order_release);
}

}  // namespace

extern "C" {

const sigCpuHookTable sigCpuHooksNative = {nativeIdFlagToggles, nativeCpuid, nativeXgetbv,
                                           nativeFxsave};
sigCpuHookTable sigCpuHooks = sigCpuHooksNative;
void (*sigMemPathHook)(int path) = nullptr;

void sigCacheSizeReset(void)
{
    memoSize.store(0, std::memory_order_relaxed);
    memoStatus.store(kNotAsked, std::memory_order_release);
}

int sigCpuidSupported(void) { return sigCpuHooks.idFlagToggles() ? 1 : 0; }

void sigCpuid(sigCpuidRecord* out, uint32_t leaf, uint32_t subleaf)
{
    sigCpuHooks.cpuid(out, leaf, subleaf);
}

int sigCpuMaxLeaf(void)
{
    sigCpuidRecord r;
    sigCpuid(&r, 0, 0);
    return static_cast<int>(r.eax);
}

int sigCpuVendorCheck(void)
{
    sigCpuidRecord r;
    sigCpuid(&r, 0, 0);
    // "Genu" "ineI" "ntel" in ebx, edx, ecx, little-endian.
    return r.ebx == 0x756e6547u && r.edx == 0x49656e69u && r.ecx == 0x6c65746eu;
}

int sigCpuOsAvx(void)
{
    const sigCpuidRecord r = leaf1();
    if (!has(r, kOsxsave) || !has(r, kAvx))
        return 0;  // without OSXSAVE, xgetbv itself would fault
    return (sigCpuHooks.xgetbv(0) & 6) == 6;
}

int sigCacheSizeFromDescriptors(const sigCacheDescriptor* table)
{
    uint8_t bytes[15];
    int count = leaf2Descriptors(bytes);
    if (count <= 0)
        return -1;
    for (; table->descriptor != 0; ++table) {
        uint8_t d = static_cast<uint8_t>(table->descriptor);
        if (d != 0 && listed(d, bytes, count))
            return static_cast<int>(table->bytes);
    }
    return -1;
}

sigStatus sigCacheSize(int32_t* size)
{
    if (size == nullptr)
        return sigErrNull;
    int32_t status = memoStatus.load(std::memory_order_acquire);
    if (status == kNotAsked) {
        // Threads racing here all compute the same answer; whichever stores last changes nothing.
        int maxLeaf = 0;
        if (!sigCpuidSupported() || (maxLeaf = sigCpuMaxLeaf()) < 2 || !sigCpuVendorCheck()) {
            settle(sigWarnNoCpuInfo, 0);
        } else {
            int32_t found = maxLeaf < 4 ? sigCacheSizeFromDescriptors(sigCacheDescriptors)
                                        : largestCacheFromLeaf4();
            if (found > 0)
                settle(sigOk, found);
            else
                settle(sigWarnNoCache, 0);
        }
        status = memoStatus.load(std::memory_order_acquire);
    }
    *size = memoSize.load(std::memory_order_relaxed);
    return status;
}

int32_t sigkCacheProbe(const uint8_t* table)
{
    if (!sigCpuVendorCheck())
        return -1;
    uint8_t bytes[15];
    int count = leaf2Descriptors(bytes);
    if (count <= 0)
        return -1;
    for (; table[0] != 0; table += 2)
        if (listed(table[0], bytes, count))
            return static_cast<int32_t>(static_cast<uint32_t>(table[1] >> 4) << ((table[1] & 15) + 18));
    return -1;
}

int sigCpuHasTsc(void) { return has(leaf1(), kTsc); }
int sigCpuHasMmx(void) { return has(leaf1(), kMmx); }
int sigCpuHasSse(void) { return has(leaf1(), kSse); }
int sigCpuHasSse2(void) { return has(leaf1(), kSse2); }
int sigCpuHasMultiLogical(void) { return multiLogical(leaf1()); }
int sigCpuHasSse3(void) { return has(leaf1(), kSse3); }
int sigCpuHasSsse3(void) { return has(leaf1(), kSsse3); }
int sigCpuHasSse41(void) { return has(leaf1(), kSse41); }
int sigCpuHasSse42(void) { return has(leaf1(), kSse42); }
int sigCpuHasMovbe(void) { return has(leaf1(), kMovbe); }

int sigCpuCoresPerPackage(void)
{
    if (sigCpuMaxLeaf() < 4)
        return 1;
    sigCpuidRecord r;
    sigCpuid(&r, 4, 0);
    return static_cast<int>(r.eax >> 26) + 1;
}

int sigCpuHas64Bit(void)
{
    sigCpuidRecord r;
    sigCpuid(&r, 0x80000000u, 0);
    if (r.eax < 0x80000001u)  // unsigned: older processors answer with a standard-range value
        return 0;
    sigCpuid(&r, 0x80000001u, 0);
    return bitOf(r.edx, 29);
}

sigStatus sigCpuGetSignature(sigCpuSignature* out)
{
    if (out == nullptr)
        return sigErrNull;
    const sigCpuidRecord r1 = leaf1();
    sigCpuidRecord r2;
    sigCpuid(&r2, 2, 0);
    sigCpuSignature s;
    s.family = (r1.eax >> 8) & 0xf;
    s.stepping = r1.eax & 0xf;
    s.model = (r1.eax >> 4) & 0xf;
    s.type = (r1.eax >> 12) & 0x3;
    s.extModel = (r1.eax >> 16) & 0xf;
    s.extFamily = (r1.eax >> 20) & 0xff;
    s.leaf1Edx = r1.edx;
    s.leaf2Eax = r2.eax;
    s.leaf2Edx = r2.edx;
    s.mmx = has(r1, kMmx);
    s.sse = has(r1, kSse);
    s.sse2 = has(r1, kSse2);
    s.multiLogical = multiLogical(r1);
    s.sse3 = has(r1, kSse3);
    s.longMode = sigCpuHas64Bit();
    s.ssse3 = has(r1, kSsse3);
    s.coresPerPackage = sigCpuCoresPerPackage();
    s.sse41 = has(r1, kSse41);
    s.sse42 = has(r1, kSse42);
    s.movbe = has(r1, kMovbe);
    s.avx = has(r1, kAvx);
    s.osxsave = has(r1, kOsxsave);
    *out = s;
    return sigOk;
}

uint64_t sigCpuTimestamp(void) { return __rdtsc(); }

int sigCpuHasDaz(void)
{
    // The save area's MXCSR_MASK (bytes 28-31) lists the MXCSR bits the processor accepts; 0
    // there means the original mask 0xffbf, which lacks DAZ (bit 6).
    alignas(16) uint8_t area[512];
    sigCpuHooks.fxsave(area);
    uint32_t mask;
    std::memcpy(&mask, area + 28, sizeof mask);
    if (mask == 0)
        mask = 0xffbf;
    return (mask >> 6) & 1;
}

}  // extern "C"
