// The typed allocators' one rule: count elements of elementSize bytes, 64-byte aligned, NULL for
// a count below 1. The byte size is a signed 32-bit quantity for the allocator: a count beyond it
// is refused, never shortened.
#pragma once

#include <stdint.h>

#include "core/slot.h"
#include "sigprim.h"

namespace sig::SIG_NS {

inline void* allocElements(int32_t count, int32_t elementSize)
{
    if (count <= 0)
        return nullptr;
    const int64_t bytes = static_cast<int64_t>(count) * elementSize;
    if (bytes > INT32_MAX)
        return nullptr;
    return sigAlignedAlloc(static_cast<int32_t>(bytes));
}

}  // namespace sig::SIG_NS
