// Every slot's memory kernels as a table, so tests can call slot k's members directly.
#pragma once

#include <cstdint>

#include "sigprim.h"

namespace sig::s0 {
#include "core/memory_kernels_decl.h"
}
namespace sig::s1 {
#include "core/memory_kernels_decl.h"
}
namespace sig::s2 {
#include "core/memory_kernels_decl.h"
}
namespace sig::s3 {
#include "core/memory_kernels_decl.h"
}
namespace sig::s4 {
#include "core/memory_kernels_decl.h"
}
namespace sig::s5 {
#include "core/memory_kernels_decl.h"
}
namespace sig::s6 {
#include "core/memory_kernels_decl.h"
}

struct MemKernels {
    sigStatus (*copyU8)(const void*, void*, int32_t);
    sigStatus (*zeroU8)(void*, int32_t);
    sigStatus (*zeroF32)(float*, int32_t);
    sigStatus (*setS32)(int32_t, int32_t*, int32_t);
    sigStatus (*moveCf32)(const cf32*, cf32*, int32_t);
    void (*memCopy)(const void*, void*, int32_t);
    void (*memZero)(void*, int32_t);
    void (*memSet)(int32_t, int32_t*, int32_t);
    void (*memMove)(const void*, void*, int32_t);
    void (*memCopyRep)(const void*, void*, int32_t);   // levels 5 and 6 only, else NULL
    void (*memZeroNt)(void*, int32_t);                 // levels 5 and 6 only, else NULL
    void (*memSetNt)(int32_t, int32_t*, int32_t);      // levels 5 and 6 only, else NULL
    void (*mulC)(float, float*, int32_t);
};

#define SIG_MEM_ROW(ns, rep, zeroNt, setNt)                                                        \
    MemKernels{sig::ns::sigkCopy_u8,    sig::ns::sigkZero_u8,    sig::ns::sigkZero_f32,               \
               sig::ns::sigkSet_s32,    sig::ns::sigkMove_cf32,  sig::ns::sigkMemCopy_u8,             \
               sig::ns::sigkMemZero_u8, sig::ns::sigkMemSet_s32, sig::ns::sigkMemMove_u8,             \
               rep, zeroNt, setNt, sig::ns::sigkMulCInPlace_f32}
#define SIG_MEM_ROW_128(ns) SIG_MEM_ROW(ns, nullptr, nullptr, nullptr)
#define SIG_MEM_ROW_256(ns) \
    SIG_MEM_ROW(ns, sig::ns::sigkMemCopyRep_u8, sig::ns::sigkMemZeroNt_u8, sig::ns::sigkMemSetNt_s32)

inline const MemKernels& memKernels(int slot)
{
    static const MemKernels table[7] = {SIG_MEM_ROW_128(s0), SIG_MEM_ROW_128(s1), SIG_MEM_ROW_128(s2),
                                        SIG_MEM_ROW_128(s3), SIG_MEM_ROW_128(s4), SIG_MEM_ROW_256(s5),
                                        SIG_MEM_ROW_256(s6)};
    return table[slot];
}
