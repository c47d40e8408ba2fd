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

// The plain level copies and zero-fills with its own loops, which never stream past the cache
// nor hand over to string instructions as the C runtime's may; it moves with the C runtime.
void copyAscending(uint8_t* d, const uint8_t* s, size_t n);
inline void copyRaw(uint8_t* d, const uint8_t* s, size_t n) { copyAscending(d, s, n); }
inline void copyGuarded(uint8_t* d, const uint8_t* s, size_t n) { copyAscending(d, s, n); }
inline void moveBytes(uint8_t* d, const uint8_t* s, size_t n) { memmove(d, s, n); }
void zeroBytes(uint8_t* d, size_t n);
void fillWords(uint32_t value, uint8_t* d, size_t count);

#else

// Counts below these are the member's short rule, served inline without a loop: the small
// bound of each copy (level 3's pieces reach 128 bytes), of the move, and of the zero-fill
// and fill (the 128-bit ones start their 64-byte steps at 64 bytes, the 256-bit ones below 256
// go by the bits of the count).
inline constexpr size_t kCopyInline = kSlot == 6 ? 128 : kSlot == 2 || kSlot == 3 ? 128 : 64;
inline constexpr size_t kGuardedInline = kSlot == 6 || kSlot == 3 ? 128 : 64;
inline constexpr size_t kMoveInline = kSlot == 6 ? 128 : 64;
inline constexpr size_t kFillInline = kSlot >= 5 ? 256 : 64;
static_assert(kCopyInline <= kShortMove && kGuardedInline <= kShortMove &&
              kMoveInline <= kShortMove && kFillInline <= kShortFill + 1);

void copyRawLong(uint8_t* d, const uint8_t* s, size_t n);      // n >= kCopyInline
void copyGuardedLong(uint8_t* d, const uint8_t* s, size_t n);  // n >= kGuardedInline
void moveLong(uint8_t* d, const uint8_t* s, size_t n);         // n >= kMoveInline
void zeroLong(uint8_t* d, size_t n);                           // n >= kFillInline
void fillWordsLong(uint32_t value, uint8_t* d, size_t n);      // n >= kFillInline bytes

// sigkMemCopy_u8.
inline void copyRaw(uint8_t* d, const uint8_t* s, size_t n)
{
    if (n < kCopyInline)
        return moveShort(d, s, n);
    copyRawLong(d, s, n);
}

// sigkCopy_u8 past its checks.
inline void copyGuarded(uint8_t* d, const uint8_t* s, size_t n)
{
    if (n < kGuardedInline)
        return moveShort(d, s, n);
    copyGuardedLong(d, s, n);
}

// Any overlap. Level 6 from any count, and level 5 from the string move's bound, copy an array
// onto itself as a forward move would; that changes nothing, so short ones stop here.
inline void moveBytes(uint8_t* d, const uint8_t* s, size_t n)
{
    if (n < kMoveInline) {
        if (d != s)
            moveShort(d, s, n);
        return;
    }
    moveLong(d, s, n);
}

// sigkZero_u8 past its checks.
inline void zeroBytes(uint8_t* d, size_t n)
{
    if (n < kFillInline)
        return fillShort(d, n, 0);
    zeroLong(d, n);
}

// sigkSet_s32 past its checks.
inline void fillWords(uint32_t value, uint8_t* d, size_t count)
{
    size_t n = 4 * count;
    if (n < kFillInline)
        return fillShort(d, n, value);
    fillWordsLong(value, d, n);
}

#endif

}  // namespace sig::SIG_NS::mem
