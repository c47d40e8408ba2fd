/* Complex float FFT of N = 2^order points.
 *
 * A transform is planned once into caller memory and run many times:
 *     int32_t specSize, initSize, workSize;
 *     sigFftGetSize_cf32(order, 8, 0, &specSize, &initSize, &workSize);
 *     sigFftSpec_cf32* spec;
 *     sigFftInit_cf32(&spec, order, 8, 0, specMem, initBuf);   // initBuf: initSize bytes or NULL
 *     sigFftFwd_cf32(src, dst, spec, workBuf);                  // workBuf may be NULL
 * Blocks of exactly the reported sizes suffice at any alignment. The forward sign is negative:
 * X[k] = f * sum x[n] e^(-j 2 pi k n / N). Flags: 1 forward output times 1/N, 2 inverse times
 * 1/N, 4 both times 1/sqrt(N), 8 no scaling. A spec serves the dispatch slot that built it and
 * must not be moved or copied; many threads may transform with one spec, each with its own work
 * buffer. */
#ifndef SIGPRIM_FFT_H
#define SIGPRIM_FFT_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct sigFftSpec_cf32 sigFftSpec_cf32;

/* Byte counts of the spec block, the init buffer (0: none) and the work buffer (0: none).
 * -15 order outside 0..30 or above the slot's limit (27 plain, 28 otherwise), -8 a NULL count
 * pointer, -16 flag not 1, 2, 4 or 8. hint is ignored. */
sigStatus sigFftGetSize_cf32(int32_t order, int32_t flag, int32_t hint, int32_t* specSize,
                             int32_t* initBufSize, int32_t* workBufSize);

/* Builds the spec at the first 64-byte boundary of specMem and returns it through *spec.
 * -8 spec NULL, -15 order, -8 specMem NULL, -16 flag, -8 initBuf NULL when one is needed (orders
 * above 10). *spec is written only on success; a failed build leaves no usable record. */
sigStatus sigFftInit_cf32(sigFftSpec_cf32** spec, int32_t order, int32_t flag, int32_t hint,
                          uint8_t* specMem, uint8_t* initBuf);

/* Forward transform of the spec's 2^order values, src == dst allowed. workBuf is used from its
 * first 64-byte boundary; NULL allocates one for the call when the spec needs one.
 * -8 spec NULL, -17 not a built spec, -8 src or dst NULL, -9 no memory (dst untouched). */
sigStatus sigFftFwd_cf32(const cf32* src, cf32* dst, const sigFftSpec_cf32* spec, uint8_t* workBuf);

#ifdef __cplusplus
}
#endif

#endif
