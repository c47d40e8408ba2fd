// 64-byte-aligned blocks. The pointer returned by the underlying allocator is kept in the
// pointer-sized word just below the block, so a block costs 64 + sizeof(void*) extra bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/memfuncs.h"
#include "sigprim.h"

extern "C" {

int32_t sigCpuSlot = 0;

sigMemFuncTable sigMemFuncs = {std::malloc, std::calloc, std::realloc, std::free};

void* sigAlignedAlloc(int32_t bytes)
{
    if (bytes <= 0)
        return nullptr;
    constexpr size_t kAlign = 64;
    constexpr size_t kKeep = sizeof(void*);
    // size_t arithmetic: bytes + 72 cannot wrap, even for bytes near INT32_MAX.
    void* raw = sigMemFuncs.alloc(static_cast<size_t>(bytes) + kAlign + kKeep);
    if (raw == nullptr)
        return nullptr;
    uintptr_t start = reinterpret_cast<uintptr_t>(raw);
    uintptr_t block = (start + kKeep + kAlign - 1) & ~static_cast<uintptr_t>(kAlign - 1);
    std::memcpy(reinterpret_cast<void*>(block - kKeep), &raw, kKeep);
    return reinterpret_cast<void*>(block);
}

void sigAlignedFree(void* p)
{
    if (p == nullptr)
        return;
    void* raw;
    std::memcpy(&raw, static_cast<char*>(p) - sizeof(void*), sizeof(void*));
    sigMemFuncs.free(raw);
}
}
