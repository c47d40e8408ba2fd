// Dispatch entries of the FIR primitives: SIG_PRIM(ret, name, (params), (args)).
SIG_PRIM(sigStatus, sigFirMrGetSize_cf32,
         (int32_t tapsLen, int32_t upFactor, int32_t downFactor, int32_t* bufSize),
         (tapsLen, upFactor, downFactor, bufSize))
SIG_PRIM(sigStatus, sigFirMrInit_cf32,
         (sigFirMrState_cf32** state, const cf32* taps, int32_t tapsLen, int32_t upFactor,
          int32_t upPhase, int32_t downFactor, int32_t downPhase, const cf32* dly, uint8_t* buf),
         (state, taps, tapsLen, upFactor, upPhase, downFactor, downPhase, dly, buf))
SIG_PRIM(sigStatus, sigFirSetDelay_cf32, (sigFirMrState_cf32* state, const cf32* dly),
         (state, dly))
SIG_PRIM(sigStatus, sigFir_cf32,
         (const cf32* src, cf32* dst, int32_t len, sigFirMrState_cf32* state),
         (src, dst, len, state))
