// The entry table over the statically linked decoder, for tests that drive it as the scanner
// would without loading the shared library; and its pieces set up as synchronisation leaves them.
#pragma once

#include "cell_decoder.h"
#include "decoder_api.h"

inline const GsmVtab kCoreVtab = {
    corvane::GSM_create,    corvane::GSM_setLevelOffset, corvane::GSM_reset,
    corvane::GSM_pushFrame, corvane::GSM_getResult,      corvane::GSM_destroy,
    corvane::GSM_getBlockLen,
};

// One decoder for the life of a scope.
struct CoreDecoder {
    explicit CoreDecoder(const float* levelOffsetDb = nullptr)
        : dec(corvane::GSM_create(levelOffsetDb))
    {
    }
    ~CoreDecoder() { corvane::GSM_destroy(dec); }
    CoreDecoder(const CoreDecoder&) = delete;
    CoreDecoder& operator=(const CoreDecoder&) = delete;
    CellDecoder* dec;
};

// The SCH's burst context for tsc < 0, else a normal burst's with that training sequence.
inline corvane::BurstCtx burstCtx(int tsc)
{
    corvane::BurstCtx c{};
    if (tsc < 0)
        setupBurstCtx(&c, kindSch, &corvane::kSchLayout, corvane::kSchTrainingBits, 0.4f, 0.0f);
    else
        setupBurstCtx(&c, kindBcch, &corvane::kNormalLayout, corvane::tscBits(tsc), 0.27f, 0.0f);
    return c;
}
