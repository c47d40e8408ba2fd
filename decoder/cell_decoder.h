// The decoder object behind GSM_vtab: one block from the C allocator holding everything a
// decoder needs per frame, plus the five primitive blocks that its front end and sync bank
// point to.
#pragma once

#include "backend/channel_decoding.h"
#include "backend/si_area.h"
#include "backend/system_info.h"
#include "corvane.h"
#include "equaliser.h"
#include "fcch_search.h"
#include "front_end.h"

namespace corvane {

enum DecoderState : int32_t { dsFcch = 0, dsSch = 1, dsSync = 2, dsDone = 3 };

}  // namespace corvane

struct CellDecoder {
    int32_t state;
    uint16_t t3, t2, t1;
    corvane::BurstCtx fcchCtx, schCtx, bcchCtx;
    uint16_t failCount;
    corvane::FrontEnd front;
    corvane::SyncBank syncBank;
    corvane::ChanState chanState;
    DeintArea deint;
    float levelOffsetDb;
    float burstPower;
    float lastFeLevelDb;
    BcchInfo result;
    SiArea siArea;
    corvane::MlseWork mlse;   // the equaliser's trellis, reused by every burst
};

namespace corvane {

// Builds a zeroed object's front end, sync bank, tables and FCCH context; false when one of
// the primitive blocks cannot be allocated.
bool initDecoder(CellDecoder* dec);
void releaseDecoder(CellDecoder* dec);
void resetDecoder(CellDecoder* dec);

// One TDMA frame of 2500 samples; true when the channel is completely decoded.
bool processFrame(CellDecoder* dec, const cf32* samples);
// The burst chain for one burst; true when it completed a code word that passed its parity.
bool decodeBurst(CellDecoder* dec, BurstCtx* ctx, const cf32* burst, uint8_t* octets);
void resyncSch(CellDecoder* dec, const SchInfo& info);

// The levels always; the identity once location area and cell identity are known.
const BcchInfo* makeResult(CellDecoder* dec);

}  // namespace corvane
