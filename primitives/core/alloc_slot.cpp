// The typed allocators and sigFree. Every slot behaves the same; each still has its own
// variant so that a slot-k kernel allocates through its own slot.
#include "sigprim.h"

#define SIG_LIST "core/core_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

namespace {
void* allocCount(int32_t count, int32_t elementSize)
{
    if (count <= 0)
        return nullptr;
    // The byte size is a 32-bit signed quantity: a count beyond it is refused, never shortened.
    int64_t bytes = static_cast<int64_t>(count) * elementSize;
    if (bytes > INT32_MAX)
        return nullptr;
    return sigAlignedAlloc(static_cast<int32_t>(bytes));
}
}  // namespace

uint8_t* sigMalloc_u8(int32_t count) { return static_cast<uint8_t*>(allocCount(count, 1)); }

cf32* sigMalloc_cf32(int32_t count) { return static_cast<cf32*>(allocCount(count, sizeof(cf32))); }

void sigFree(void* p) { sigAlignedFree(p); }

}  // namespace sig::SIG_NS
