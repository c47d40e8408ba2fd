// Complex 16-bit and 32-bit allocation, copy and zero, on the memory kernels of the slot.
#include <cstddef>

#include "core/alloc_elements.h"
#include "core/memory_kernels.h"
#include "scan/scan_kernels.h"
#include "sigprim.h"

#define SIG_LIST "scan/scan_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

cs16* sigMalloc_cs16(int32_t count) { return static_cast<cs16*>(allocElements(count, 4)); }

cs32* sigMalloc_cs32(int32_t count) { return static_cast<cs32*>(allocElements(count, 8)); }

sigStatus sigCopy_cs16(const cs16* src, cs16* dst, int32_t len)
{
    if (src == nullptr || dst == nullptr)
        return sigErrNull;
    if (len <= 0)
        return sigErrLength;
    // The byte kernel counts in signed 32 bits, so long vectors go in chunks that keep
    // len * 4 inside that range.
    constexpr int32_t kChunk = 0x1ffffff8;
    while (len > 0) {
        const int32_t part = len > 0x1fffffff ? kChunk : len;
        sigkCopy_u8(src, dst, part * 4);
        src += part;
        dst += part;
        len -= part;
    }
    return sigOk;
}

sigStatus sigZero_cs16(cs16* dst, int32_t len)
{
    return sigkZero_f32(reinterpret_cast<float*>(dst), len);
}

sigStatus sigZero_f32(float* dst, int32_t len) { return sigkZero_f32(dst, len); }

sigStatus sigkMove_cs16(const cs16* src, cs16* dst, int32_t n)
{
    if (src == nullptr || dst == nullptr)
        return sigErrNull;
    if (n <= 0)
        return sigErrLength;
    __builtin_memmove(dst, src, static_cast<size_t>(n) * sizeof(cs16));
    return sigOk;
}

}  // namespace sig::SIG_NS
