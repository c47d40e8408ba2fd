// The library's only exported symbol: the table of entry points, in its fixed order.
#define CORVANE_BUILD 1
#include "decoder_api.h"

extern "C" const GsmVtab GSM_vtab = {
    corvane::GSM_create,   corvane::GSM_setLevelOffset, corvane::GSM_reset,
    corvane::GSM_pushFrame, corvane::GSM_getResult,     corvane::GSM_destroy,
    corvane::GSM_getBlockLen,
};
