// Dispatch entries of the complex float vector operations: SIG_PRIM(ret, name, (params), (args)).
SIG_PRIM(sigStatus, sigDotProd_cf32, (const cf32* src1, const cf32* src2, int32_t len, cf32* result), (src1, src2, len, result))
SIG_PRIM(sigStatus, sigMul_cf32, (const cf32* src1, const cf32* src2, cf32* dst, int32_t len), (src1, src2, dst, len))
SIG_PRIM(sigStatus, sigRealToCplx_f32, (const float* re, const float* im, cf32* dst, int32_t len), (re, im, dst, len))
SIG_PRIM(sigStatus, sigTone_cf32, (cf32* dst, int32_t len, float magnitude, float relFreq, float* phase, int32_t hint), (dst, len, magnitude, relFreq, phase, hint))
SIG_PRIM(sigStatus, sigNormL2_cf32, (const cf32* src, int32_t len, double* result), (src, len, result))
