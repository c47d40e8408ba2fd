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

#ifdef __cplusplus
}
#endif

#endif
