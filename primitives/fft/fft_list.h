// Dispatch entries of the FFT: SIG_PRIM(ret, name, (params), (args)).
// The three run on one table layout per slot (kFftLayout in fft/fft_kernels.h).
SIG_PRIM(sigStatus, sigFftGetSize_cf32,
         (int32_t order, int32_t flag, int32_t hint, int32_t* specSize, int32_t* initBufSize,
          int32_t* workBufSize),
         (order, flag, hint, specSize, initBufSize, workBufSize))
SIG_PRIM(sigStatus, sigFftInit_cf32,
         (sigFftSpec_cf32** spec, int32_t order, int32_t flag, int32_t hint, uint8_t* specMem,
          uint8_t* initBuf),
         (spec, order, flag, hint, specMem, initBuf))
SIG_PRIM(sigStatus, sigFftFwd_cf32,
         (const cf32* src, cf32* dst, const sigFftSpec_cf32* spec, uint8_t* workBuf),
         (src, dst, spec, workBuf))
