// Creation, reset, destruction and results of the decoder object.
#include "decoder_api.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "cell_decoder.h"
#include "prim0.h"

namespace corvane {

namespace {
constexpr float kTinyPower = 1.1754944e-38f;
constexpr float kMinOffsetDb = -120.0f;
constexpr float kMaxOffsetDb = 50.0f;

// NaN fails both comparisons and is refused with everything else out of range.
bool offsetInRange(float v) { return v >= kMinOffsetDb && v <= kMaxOffsetDb; }
}  // namespace

bool initDecoder(CellDecoder* dec)
{
    const float offset = dec->levelOffsetDb;
    std::memset(static_cast<void*>(dec), 0, sizeof *dec);
    dec->levelOffsetDb = offset;
    dec->burstPower = 0.0f;
    dec->state = dsFcch;

    FrontEnd& fe = dec->front;
    fe.outRate = kOutRate;
    frontEndReset(&fe);
    fe.meanPower = 0.0f;
    if (!initFrontFir(&fe) || !initSyncBank(&dec->syncBank))
        return false;
    mlseTables();
    setupBurstCtx(&dec->fcchCtx, kindFcch, &kFcchLayout, kFcchBits, 0.6f, 67000.0f);
    return true;
}

void releaseDecoder(CellDecoder* dec)
{
    releaseFrontFir(&dec->front);
    releaseSyncBank(&dec->syncBank);
}

void resetDecoder(CellDecoder* dec)
{
    frontEndReset(&dec->front);
    dec->state = dsFcch;
    std::memset(&dec->siArea, 0, sizeof dec->siArea);
}

const BcchInfo* makeResult(CellDecoder* dec)
{
    BcchInfo& r = dec->result;
    r.feLevelDb = dec->lastFeLevelDb + dec->levelOffsetDb;
    r.burstLevelDb = 20.0f * std::log10(std::sqrt(dec->burstPower) + kTinyPower) +
                     dec->levelOffsetDb;
    const SiArea& si = dec->siArea;
    if (si.laiValid == 0 || si.ciValid == 0)
        return nullptr;
    r.ci = si.ci;
    r.lac = si.lac;
    r.mnc = si.mnc;
    r.mcc = si.mcc;
    if (si.si1Valid == 1) {
        std::memcpy(r.arfcnMap, si.arfcnMap, sizeof r.arfcnMap);
        r.bandFlag = si.bandFlag;
    } else {
        std::memset(r.arfcnMap, 0, sizeof r.arfcnMap);
        r.bandFlag = 0;
    }
    return &r;
}

CellDecoder* GSM_create(const float* levelOffsetDb)
{
    auto* dec = static_cast<CellDecoder*>(std::malloc(sizeof(CellDecoder)));
    if (!dec)
        return nullptr;
    dec->levelOffsetDb = levelOffsetDb && offsetInRange(*levelOffsetDb) ? *levelOffsetDb : 0.0f;
    if (!initDecoder(dec)) {
        // A half-built decoder is of no use; release what was made.
        releaseDecoder(dec);
        std::free(dec);
        return nullptr;
    }
    return dec;
}

int GSM_setLevelOffset(CellDecoder* dec, const float* levelOffsetDb)
{
    if (!levelOffsetDb) {
        dec->levelOffsetDb = 0.0f;
        return 1;
    }
    if (!offsetInRange(*levelOffsetDb))
        return 0;
    dec->levelOffsetDb = *levelOffsetDb;
    return 1;
}

void GSM_reset(CellDecoder* dec) { resetDecoder(dec); }

const BcchInfo* GSM_pushFrame(CellDecoder* dec, const cf32* samples)
{
    processFrame(dec, samples);
    return makeResult(dec);
}

const BcchInfo* GSM_getResult(CellDecoder* dec) { return makeResult(dec); }

void GSM_destroy(CellDecoder* dec)
{
    releaseDecoder(dec);
    std::free(dec);
}

const int* GSM_getBlockLen()
{
    // Constant-initialised: concurrent callers read it without writing anything.
    static const int kBlockLen = 1920;
    return &kBlockLen;
}

}  // namespace corvane
