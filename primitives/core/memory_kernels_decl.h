// Declarations of one slot's memory kernels, included inside that slot's namespace (by
// core/memory_kernels.h, and by the tests once per slot). No include guard on purpose.

// Guarded.
sigStatus sigkCopy_u8(const void* src, void* dst, int32_t n);       // no overlap unless src == dst
sigStatus sigkZero_u8(void* dst, int32_t n);
sigStatus sigkZero_f32(float* dst, int32_t count);
sigStatus sigkSet_s32(int32_t value, int32_t* dst, int32_t count);
sigStatus sigkMove_cf32(const cf32* src, cf32* dst, int32_t len);   // overlap-safe

// Raw. A copy whose destination lies below an overlapping source gives what an ascending copy
// gives (the decoder shifts held samples down that way); any other overlap belongs to the move.
void sigkMemCopy_u8(const void* src, void* dst, int32_t n);
void sigkMemZero_u8(void* dst, int32_t n);
void sigkMemSet_s32(int32_t value, int32_t* dst, int32_t count);   // value's bytes as in memory
void sigkMemMove_u8(const void* src, void* dst, int32_t n);         // any overlap

// Levels 5 and 6 only (defined nowhere else): the string-move copy (forward, so also right for
// src >= dst), and the zero-fill and 32-bit fill that stream past the cache when they exceed
// sigCacheSize.
void sigkMemCopyRep_u8(const void* src, void* dst, int32_t n);
void sigkMemZeroNt_u8(void* dst, int32_t n);
void sigkMemSetNt_s32(int32_t value, int32_t* dst, int32_t count);

// data[i] *= factor in single precision; no checks.
void sigkMulCInPlace_f32(float factor, float* data, int32_t count);
