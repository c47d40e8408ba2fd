// The typed allocators and sigFree. Every slot behaves the same; each still has its own
// variant so that a slot-k kernel allocates through its own slot.
#include "core/alloc_elements.h"
#include "sigprim.h"

#define SIG_LIST "core/core_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

uint8_t* sigMalloc_u8(int32_t count) { return static_cast<uint8_t*>(allocElements(count, 1)); }

cf32* sigMalloc_cf32(int32_t count) { return static_cast<cf32*>(allocElements(count, sizeof(cf32))); }

void sigFree(void* p) { sigAlignedFree(p); }

}  // namespace sig::SIG_NS
