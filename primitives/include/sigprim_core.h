/* Core primitives: aligned memory, processor queries, vector and memory operations. */
#ifndef SIGPRIM_CORE_H
#define SIGPRIM_CORE_H

#ifdef __cplusplus
extern "C" {
#endif

/* Blocks aligned to 64 bytes; the start of the underlying allocation is kept just below. */
void* sigAlignedAlloc(int32_t bytes);
void sigAlignedFree(void* p);
uint8_t* sigMalloc_u8(int32_t count);
cf32* sigMalloc_cf32(int32_t count);
void sigFree(void* p);

/* Copies len complex values (src NULL -8, dst NULL -8, len < 1 -6). The buffers must not
 * overlap, except that a destination below the source gives what an ascending copy gives. */
sigStatus sigCopy_cf32(const cf32* src, cf32* dst, int32_t len);
/* Sets len complex values to +0 (dst NULL -8, len < 1 -6). */
sigStatus sigZero_cf32(cf32* dst, int32_t len);

#ifdef __cplusplus
}
#endif

#endif
