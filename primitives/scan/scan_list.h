// Dispatch entries of the scanner's primitives: SIG_PRIM(ret, name, (params), (args)).
SIG_PRIM(cs16*, sigMalloc_cs16, (int32_t count), (count))
SIG_PRIM(cs32*, sigMalloc_cs32, (int32_t count), (count))
SIG_PRIM(sigStatus, sigCopy_cs16, (const cs16* src, cs16* dst, int32_t len), (src, dst, len))
SIG_PRIM(sigStatus, sigZero_cs16, (cs16* dst, int32_t len), (dst, len))
SIG_PRIM(sigStatus, sigZero_f32, (float* dst, int32_t len), (dst, len))
SIG_PRIM(sigStatus, sigFirMrGetSize_cs16,
         (int32_t tapsLen, int32_t upFactor, int32_t downFactor, int32_t* bufSize),
         (tapsLen, upFactor, downFactor, bufSize))
SIG_PRIM(sigStatus, sigFirMrInit_cs16,
         (sigFirState_cs16** state, const cs32* taps, int32_t tapsLen, int32_t tapsFactor,
          int32_t upFactor, int32_t upPhase, int32_t downFactor, int32_t downPhase,
          const cs16* dly, uint8_t* buf),
         (state, taps, tapsLen, tapsFactor, upFactor, upPhase, downFactor, downPhase, dly, buf))
SIG_PRIM(sigStatus, sigFirSetDelay_cs16, (sigFirState_cs16* state, const cs16* dly), (state, dly))
SIG_PRIM(sigStatus, sigFir_cs16,
         (const cs16* src, cs16* dst, int32_t len, sigFirState_cs16* state, int32_t scaleFactor),
         (src, dst, len, state, scaleFactor))
SIG_PRIM(sigStatus, sigMul_cs16,
         (const cs16* src1, const cs16* src2, cs16* dst, int32_t len, int32_t scaleFactor),
         (src1, src2, dst, len, scaleFactor))
SIG_PRIM(sigStatus, sigTone_cs16,
         (cs16* dst, int32_t len, int32_t magnitude, float relFreq, float* phase, int32_t hint),
         (dst, len, magnitude, relFreq, phase, hint))
SIG_PRIM(sigStatus, sigConvert_s16f32,
         (const int16_t* src, float* dst, int32_t len, int32_t scaleFactor),
         (src, dst, len, scaleFactor))
SIG_PRIM(sigStatus, sigDotProd_f32cf32,
         (const float* srcReal, const cf32* srcCplx, int32_t len, cf32* result),
         (srcReal, srcCplx, len, result))
SIG_PRIM(sigStatus, sigWinHann_cf32, (const cf32* src, cf32* dst, int32_t len), (src, dst, len))
