// Dispatch entries of the core primitives: SIG_PRIM(ret, name, (params), (args)).
SIG_PRIM(uint8_t*, sigMalloc_u8, (int32_t count), (count))
SIG_PRIM(cf32*, sigMalloc_cf32, (int32_t count), (count))
SIG_PRIM(void, sigFree, (void* p), (p))
SIG_PRIM(sigStatus, sigCopy_cf32, (const cf32* src, cf32* dst, int32_t len), (src, dst, len))
SIG_PRIM(sigStatus, sigZero_cf32, (cf32* dst, int32_t len), (dst, len))
