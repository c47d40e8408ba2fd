// The byte engines behind one slot's memory kernels, on size_t counts so that the guarded
// kernels and primitives can hand over byte counts beyond the 32-bit range whole.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "core/slot.h"

namespace sig::SIG_NS::mem {

void copyRaw(uint8_t* dst, const uint8_t* src, size_t n);      // sigkMemCopy_u8
void copyGuarded(uint8_t* dst, const uint8_t* src, size_t n);  // sigkCopy_u8 past its checks
void moveBytes(uint8_t* dst, const uint8_t* src, size_t n);    // any overlap
void zeroBytes(uint8_t* dst, size_t n);                        // sigkZero_u8 past its checks
void fillWords(uint32_t value, uint8_t* dst, size_t count);    // sigkSet_s32 past its checks

}  // namespace sig::SIG_NS::mem
