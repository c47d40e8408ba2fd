// The guarded memory kernels and the copy and zero primitives of one slot: argument checks in
// their fixed order (NULL pointers -8, source before destination, then a count below 1 -6),
// then the slot's engine on a size_t byte count, so no product of a 32-bit count overflows.
#include "core/mem_engine.h"
#include "core/memory_kernels.h"

#define SIG_LIST "core/core_list.h"
#include "core/slot_decls.h"

namespace sig::SIG_NS {

namespace {
inline uint8_t* bytes(void* p) { return static_cast<uint8_t*>(p); }
inline const uint8_t* bytes(const void* p) { return static_cast<const uint8_t*>(p); }
}  // namespace

sigStatus sigkCopy_u8(const void* src, void* dst, int32_t n)
{
    if (src == nullptr || dst == nullptr)
        return sigErrNull;
    if (n <= 0)
        return sigErrLength;
    mem::copyGuarded(bytes(dst), bytes(src), static_cast<size_t>(n));
    return sigOk;
}

sigStatus sigkZero_u8(void* dst, int32_t n)
{
    if (dst == nullptr)
        return sigErrNull;
    if (n <= 0)
        return sigErrLength;
    mem::zeroBytes(bytes(dst), static_cast<size_t>(n));
    return sigOk;
}

sigStatus sigkZero_f32(float* dst, int32_t count)
{
    if (dst == nullptr)
        return sigErrNull;
    if (count <= 0)
        return sigErrLength;
    const size_t n = sizeof(float) * static_cast<size_t>(count);
#if SIG_SLOT >= 5
    // Levels 5 and 6: cached stores up to 2 MiB, the zero-fill that may stream past the cache
    // above (its engine, so that the byte count stays in 64 bits).
    if (n <= 2097152) {
        sigkMemZero_u8(dst, static_cast<int32_t>(n));
        return sigOk;
    }
#endif
    mem::zeroBytes(bytes(dst), n);
    return sigOk;
}

sigStatus sigkSet_s32(int32_t value, int32_t* dst, int32_t count)
{
    if (dst == nullptr)
        return sigErrNull;
    if (count <= 0)
        return sigErrLength;
    mem::fillWords(static_cast<uint32_t>(value), bytes(dst), static_cast<size_t>(count));
    return sigOk;
}

sigStatus sigkMove_cf32(const cf32* src, cf32* dst, int32_t len)
{
    if (src == nullptr || dst == nullptr)
        return sigErrNull;
    if (len <= 0)
        return sigErrLength;
    mem::moveBytes(bytes(dst), bytes(src), sizeof(cf32) * static_cast<size_t>(len));
    return sigOk;
}

sigStatus sigCopy_cf32(const cf32* src, cf32* dst, int32_t len)
{
    if (src == nullptr || dst == nullptr)
        return sigErrNull;
    if (len <= 0)
        return sigErrLength;
    // No kernel call takes more than 2^31 - 1 bytes: above 268,435,455 elements, pieces of
    // 268,435,452 go first and the last 4 to 268,435,455 elements follow.
    constexpr int32_t kPiece = 268435452;
    auto copy = [](const cf32* s, cf32* d, int32_t count) {
        const size_t n = sizeof(cf32) * static_cast<size_t>(count);
        if constexpr (kSlot >= 5)
            mem::copyGuarded(bytes(d), bytes(s), n);
        else
            mem::copyRaw(bytes(d), bytes(s), n);
    };
    if (len > 268435455)
        for (int32_t pieces = (len - 4) / kPiece; pieces > 0; --pieces) {
            copy(src, dst, kPiece);
            src += kPiece;
            dst += kPiece;
            len -= kPiece;
        }
    copy(src, dst, len);
    return sigOk;
}

sigStatus sigZero_cf32(cf32* dst, int32_t len)
{
    if (dst == nullptr)
        return sigErrNull;
    if (len <= 0)
        return sigErrLength;
    mem::zeroBytes(bytes(dst), sizeof(cf32) * static_cast<size_t>(len));
    return sigOk;
}

}  // namespace sig::SIG_NS
