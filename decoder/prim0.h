// The primitives as the decoder calls them: always the plain (slot 0) variants, whatever dispatch
// slot the host program selected. The library never reads or writes the dispatch slot.
#pragma once

#include "sigprim.h"

namespace sig::s0 {
uint8_t* sigMalloc_u8(int32_t count);
cf32* sigMalloc_cf32(int32_t count);
void sigFree(void* p);
sigStatus sigZero_cf32(cf32* dst, int32_t len);
sigStatus sigCopy_cf32(const cf32* src, cf32* dst, int32_t len);
sigStatus sigMul_cf32(const cf32* src1, const cf32* src2, cf32* dst, int32_t len);
sigStatus sigDotProd_cf32(const cf32* src1, const cf32* src2, int32_t len, cf32* result);
sigStatus sigNormL2_cf32(const cf32* src, int32_t len, double* norm);
sigStatus sigRealToCplx_f32(const float* re, const float* im, cf32* dst, int32_t len);
sigStatus sigTone_cf32(cf32* dst, int32_t len, float magnitude, float relFreq, float* phase,
                       int32_t hint);
sigStatus sigFftGetSize_cf32(int32_t order, int32_t flag, int32_t hint, int32_t* specSize,
                             int32_t* initBufSize, int32_t* workBufSize);
sigStatus sigFftInit_cf32(sigFftSpec_cf32** spec, int32_t order, int32_t flag, int32_t hint,
                          uint8_t* specMem, uint8_t* initBuf);
sigStatus sigFftFwd_cf32(const cf32* src, cf32* dst, const sigFftSpec_cf32* spec,
                         uint8_t* workBuf);
sigStatus sigFirMrGetSize_cf32(int32_t tapsLen, int32_t upFactor, int32_t downFactor,
                               int32_t* bufSize);
sigStatus sigFirMrInit_cf32(sigFirMrState_cf32** state, const cf32* taps, int32_t tapsLen,
                            int32_t upFactor, int32_t upPhase, int32_t downFactor,
                            int32_t downPhase, const cf32* dly, uint8_t* buf);
sigStatus sigFirSetDelay_cf32(sigFirMrState_cf32* state, const cf32* dly);
sigStatus sigFir_cf32(const cf32* src, cf32* dst, int32_t len, sigFirMrState_cf32* state);
}  // namespace sig::s0

namespace corvane {
namespace prim = sig::s0;
}
