// The entry points behind GSM_vtab, for the table itself and for tests that link the decoder
// statically.
#pragma once

#include "corvane.h"

namespace corvane {

CellDecoder* GSM_create(const float* levelOffsetDb);
int GSM_setLevelOffset(CellDecoder* dec, const float* levelOffsetDb);
void GSM_reset(CellDecoder* dec);
const BcchInfo* GSM_pushFrame(CellDecoder* dec, const cf32* samples);
const BcchInfo* GSM_getResult(CellDecoder* dec);
void GSM_destroy(CellDecoder* dec);
const int* GSM_getBlockLen();

}  // namespace corvane
