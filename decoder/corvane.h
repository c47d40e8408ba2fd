/* The GSM cell decoder library libcorvane.so: its one exported symbol, GSM_vtab, and the
 * result record BcchInfo.
 *
 * Usage (one decoder per thread; the library itself has no threads and no locks):
 *
 *     void* lib = dlopen("libcorvane.so", RTLD_NOW);
 *     const GsmVtab* gsm = (const GsmVtab*)dlsym(lib, "GSM_vtab");
 *     CellDecoder* dec = gsm->GSM_create(NULL);
 *     gsm->GSM_reset(dec);                        // once per channel
 *     for (each frame of 2500 complex float samples at 541666.6875 samples per second) {
 *         const BcchInfo* info = gsm->GSM_pushFrame(dec, frame);
 *         if (info) { copy what is needed at once; break; }
 *     }
 *     gsm->GSM_destroy(dec);
 *
 * The pointer GSM_pushFrame and GSM_getResult return points into the decoder: it stays valid
 * until GSM_destroy but its contents change with every later call; never free it. */
#ifndef CORVANE_H
#define CORVANE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Samples per GSM_pushFrame: one TDMA frame at two samples per GSM symbol. */
#define GSM_FRAME_SAMPLES 2500

/* The decoded cell. Its layout crosses the library boundary: natural alignment, no padding. */
typedef struct BcchInfo {
    float feLevelDb;      /* front-end level in dB, plus the level offset */
    float freqOffHz;      /* carrier offset from the input's zero frequency, Hz */
    float burstLevelDb;   /* smoothed burst level in dB, plus the level offset */
    uint16_t mcc;         /* three BCD digits in bits 11..8, 7..4, 3..0 */
    uint16_t mnc;         /* the same; a two-digit code has 0xF as its third digit */
    uint16_t lac;
    uint16_t ci;
    uint8_t arfcnMap[128]; /* bit j of byte b: ARFCN (8b + j + 1) mod 1024; zero until SI1 */
    int32_t bandFlag;     /* band indicator bit of SI1; 0 until SI1 is decoded */
} BcchInfo;

typedef struct CellDecoder CellDecoder;
struct cf32;

/* The entry points, in their fixed table order. */
typedef struct GsmVtab {
    CellDecoder* (*GSM_create)(const float* levelOffsetDb);
    int (*GSM_setLevelOffset)(CellDecoder* dec, const float* levelOffsetDb);
    void (*GSM_reset)(CellDecoder* dec);
    const BcchInfo* (*GSM_pushFrame)(CellDecoder* dec, const struct cf32* samples);
    const BcchInfo* (*GSM_getResult)(CellDecoder* dec);
    void (*GSM_destroy)(CellDecoder* dec);
    const int* (*GSM_getBlockLen)(void);
} GsmVtab;

#if defined(CORVANE_BUILD)
__attribute__((visibility("default")))
#endif
extern const GsmVtab GSM_vtab;

#ifdef __cplusplus
}
#endif

#endif
