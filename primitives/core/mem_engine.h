// The byte engines behind one slot's memory kernels, on size_t counts so that the guarded
// kernels and primitives can hand over byte counts beyond the 32-bit range whole.
//
// Counts of a few vectors are served inline, so that a short copy through a primitive costs
// one call, as the C runtime's does; longer ones go to the out-of-line bodies.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "core/mem_short.h"
#include "core/slot.h"

namespace sig::SIG_NS::mem {

#if SIG_SLOT == 0

// The plain level moves with the C runtime: its result equals an ascending byte loop for every
// layout a copy may have, including a destination below an overlapping source.
inline void copyRaw(uint8_t* d, const uint8_t* s, size_t n) { memmove(d, s, n); }
inline void copyGuarded(uint8_t* d, const uint8_t* s, size_t n) { memmove(d, s, n); }
inline void moveBytes(uint8_t* d, const uint8_t* s, size_t n) { memmove(d, s, n); }
inline void zeroBytes(uint8_t* d, size_t n) { memset(d, 0, n); }
void fillWords(uint32_t value, uint8_t* d, size_t count);

#else

void copyRawLong(uint8_t* d, const uint8_t* s, size_t n);      // n > kShortMove
void copyGuardedLong(uint8_t* d, const uint8_t* s, size_t n);  // n > kShortMove
void moveLong(uint8_t* d, const uint8_t* s, size_t n);         // n > kShortMove, d != s
void zeroLong(uint8_t* d, size_t n);                           // n > kShortFill
void fillWordsLong(uint32_t value, uint8_t* d, size_t n);      // n > kShortFill bytes

// sigkMemCopy_u8.
inline void copyRaw(uint8_t* d, const uint8_t* s, size_t n)
{
    if (n <= kShortMove)
        return moveShort(d, s, n);
    copyRawLong(d, s, n);
}

// sigkCopy_u8 past its checks.
inline void copyGuarded(uint8_t* d, const uint8_t* s, size_t n)
{
    if (n <= kShortMove)
        return moveShort(d, s, n);
    copyGuardedLong(d, s, n);
}

// Any overlap.
inline void moveBytes(uint8_t* d, const uint8_t* s, size_t n)
{
    if (d == s)
        return;
    if (n <= kShortMove)
        return moveShort(d, s, n);
    moveLong(d, s, n);
}

// sigkZero_u8 past its checks.
inline void zeroBytes(uint8_t* d, size_t n)
{
    if (n <= kShortFill)
        return fillShort(d, n, 0);
    zeroLong(d, n);
}

// sigkSet_s32 past its checks.
inline void fillWords(uint32_t value, uint8_t* d, size_t count)
{
    size_t n = 4 * count;
    if (n <= kShortFill)
        return fillShort(d, n, value);
    fillWordsLong(value, d, n);
}

#endif

}  // namespace sig::SIG_NS::mem
