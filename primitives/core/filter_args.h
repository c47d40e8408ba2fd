// The argument checks that every multi-rate filter entry, complex float or complex 16-bit, makes
// after its own NULL checks and in this order: the taps length, the factors, then the phases.
#pragma once

#include "core/slot.h"
#include "sigprim.h"

namespace sig::SIG_NS {

inline sigStatus filterShapeStatus(int32_t tapsLen, int32_t upFactor, int32_t downFactor)
{
    if (tapsLen <= 0)
        return sigErrTapsLen;
    if (upFactor <= 0 || downFactor <= 0)
        return sigErrFactor;
    return sigOk;
}

inline sigStatus filterPhaseStatus(int32_t upFactor, int32_t upPhase, int32_t downFactor,
                                   int32_t downPhase)
{
    if (upPhase < 0 || upPhase >= upFactor || downPhase < 0 || downPhase >= downFactor)
        return sigErrPhase;
    return sigOk;
}

}  // namespace sig::SIG_NS
