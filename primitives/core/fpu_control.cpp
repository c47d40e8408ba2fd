// x87 and SSE floating-point control and status, and the double classification tests.
// Plain x86-64 instructions only: this serves every slot.
#include <cstring>

#include "core/cpu.h"

extern "C" {

uint16_t sigX87GetControl(void)
{
    uint16_t control;
    asm volatile("fnstcw %0" : "=m"(control));
    return control;
}

void sigX87SetControl(uint16_t control)
{
    asm volatile("fldcw %0" : : "m"(control) : "memory");
}

void sigX87UpdateControl(uint16_t value, uint16_t mask)
{
    sigX87SetControl(static_cast<uint16_t>((sigX87GetControl() & ~mask) | (value & mask)));
}

uint16_t sigX87GetStatus(void)
{
    uint16_t status;
    asm volatile("fnstsw %0" : "=am"(status));
    return status;
}

void sigX87ClearExceptions(void) { asm volatile("fnclex" : : : "memory"); }

uint32_t sigMxcsrGet(void)
{
    uint32_t mxcsr;
    asm volatile("stmxcsr %0" : "=m"(mxcsr));
    return mxcsr;
}

void sigMxcsrSet(uint32_t mxcsr) { asm volatile("ldmxcsr %0" : : "m"(mxcsr) : "memory"); }

void sigMxcsrSetDefault(void) { sigMxcsrSet(sigMxcsrDefault); }

void sigMxcsrUpdate(uint32_t value, uint32_t mask)
{
    sigMxcsrSet((sigMxcsrGet() & ~mask) | (value & mask));
}

void sigSetRounding(int mode)
{
    const uint32_t rc = static_cast<uint32_t>(mode) & 3;
    sigX87UpdateControl(static_cast<uint16_t>(rc << 10), 0x0c00);
    sigMxcsrUpdate(rc << 13, 0x6000);
}

// On the bits, so that no compiler setting can fold the tests away.
int sigIsNan(double x)
{
    uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    return (b & 0x7fffffffffffffffull) > 0x7ff0000000000000ull;
}

int sigIsFinite(double x)
{
    uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    return (b & 0x7ff0000000000000ull) != 0x7ff0000000000000ull;
}

}  // extern "C"
