// The entry table over the statically linked decoder, for tests that drive it as the scanner
// would without loading the shared library.
#pragma once

#include "decoder_api.h"

inline const GsmVtab kCoreVtab = {
    corvane::GSM_create,    corvane::GSM_setLevelOffset, corvane::GSM_reset,
    corvane::GSM_pushFrame, corvane::GSM_getResult,      corvane::GSM_destroy,
    corvane::GSM_getBlockLen,
};
