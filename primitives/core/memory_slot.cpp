// Placeholder memory kernels on the C runtime, until the per-level kernels replace them.
#include <cstring>

#include "core/memory_kernels.h"

namespace sig::SIG_NS {

sigStatus sigkCopy_u8(const void* src, void* dst, int32_t n)
{
    if (src == nullptr || dst == nullptr)
        return sigErrNull;
    if (n <= 0)
        return sigErrLength;
    if (src != dst)
        ::memcpy(dst, src, static_cast<size_t>(n));
    return sigOk;
}

sigStatus sigkZero_u8(void* dst, int32_t n)
{
    if (dst == nullptr)
        return sigErrNull;
    if (n <= 0)
        return sigErrLength;
    ::memset(dst, 0, static_cast<size_t>(n));
    return sigOk;
}

sigStatus sigkZero_f32(float* dst, int32_t count)
{
    if (dst == nullptr)
        return sigErrNull;
    if (count <= 0)
        return sigErrLength;
    ::memset(dst, 0, static_cast<size_t>(count) * sizeof(float));
    return sigOk;
}

sigStatus sigkSet_s32(int32_t value, int32_t* dst, int32_t count)
{
    if (dst == nullptr)
        return sigErrNull;
    if (count <= 0)
        return sigErrLength;
    for (int32_t i = 0; i < count; ++i)
        dst[i] = value;
    return sigOk;
}

sigStatus sigkMove_cf32(const cf32* src, cf32* dst, int32_t len)
{
    if (src == nullptr || dst == nullptr)
        return sigErrNull;
    if (len <= 0)
        return sigErrLength;
    ::memmove(dst, src, static_cast<size_t>(len) * sizeof(cf32));
    return sigOk;
}

}  // namespace sig::SIG_NS
