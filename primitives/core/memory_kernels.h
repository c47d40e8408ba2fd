// The memory kernels of one slot, called directly by other kernels of the same slot.
//
// Guarded kernels test dst/src for NULL (-8), then the count (-6), and return a sigStatus.
// Raw kernels (sigkMem*) test nothing: n, count >= 1 and valid buffers are the caller's duty.
// Every kernel of every slot leaves the same bytes; slots differ in block sizes, alignment
// handling and when stores stream past the cache.
#pragma once

#include "core/slot.h"
#include "sigprim.h"

namespace sig::SIG_NS {
#include "core/memory_kernels_decl.h"
}  // namespace sig::SIG_NS
