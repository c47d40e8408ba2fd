/* Signal-processing primitives: the chief header.
 *
 * Every primitive is a plain function named sig + operation + '_' + type tag, returning a
 * sigStatus (0 success, negative: failed argument test and nothing written, positive: warning).
 * Each one exists in seven processor-level variants; the process-wide slot sigCpuSlot picks
 * the one that runs. */
#ifndef SIGPRIM_H
#define SIGPRIM_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef int32_t sigStatus;

enum {
    sigOk = 0,
    sigErrLength = -6,      /* a length or count below 1 */
    sigErrNull = -8,        /* a required pointer is NULL */
    sigErrMemory = -9,      /* allocation failed, or a size or index product overflows */
    sigErrFftOrder = -15,
    sigErrFftFlag = -16,
    sigErrTag = -17,        /* wrong record tag */
    sigErrTapsLen = -26,
    sigErrPhase = -28,      /* FIR phase outside [0, factor) */
    sigErrFactor = -29,     /* FIR rate factor <= 0 */
    sigErrTonePhase = -44,
    sigErrToneFreq = -45,
    sigErrToneMag = -46,
    sigWarnCpuSlot = 20,    /* slot selection: no cpuid or another vendor; slot set all the same */
    sigWarnNoCpuInfo = 36,
    sigWarnNoCache = 37
};

typedef struct cf32 { float re, im; } cf32;     /* complex float, 8 bytes */
typedef struct cs16 { int16_t re, im; } cs16;   /* complex 16-bit, 4 bytes */
typedef struct cs32 { int32_t re, im; } cs32;   /* complex 32-bit, 8 bytes */

/* The dispatch slot, 0 (plain) .. 6 (AVX2 with FMA, BMI1, BMI2). Written once at program
 * start-up, before any other thread exists; only read afterwards. */
extern int32_t sigCpuSlot;

#ifdef __cplusplus
}
#endif

#include "sigprim_core.h"
#include "sigprim_vector.h"
#include "sigprim_fft.h"
#include "sigprim_fir.h"
#include "sigprim_scan.h"

#endif
