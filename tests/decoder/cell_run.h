// Runs a decoder over a generated broadcast carrier and reports when it produced what.
#pragma once

#include <cmath>
#include <cstring>
#include <vector>

#include "corvane.h"
#include "gsmsiggen.h"
#include "sigprim.h"

namespace cell_run {

// Es/N0 of the GMSK signal from the generator's SNR at two samples per symbol (noise over
// twice the symbol rate).
inline double snrForEsN0(double esn0Db) { return esn0Db - 10.0 * std::log10(2.0); }

// What a run of frames gave: frames pushed until the first result and until the channel map,
// and the last result (copied; the decoder's record changes with every call).
struct Outcome {
    int framesToIdentity = -1;
    int framesToMap = -1;
    BcchInfo info{};
};

inline bool hasMap(const BcchInfo& r)
{
    for (uint8_t b : r.arfcnMap)
        if (b)
            return true;
    return false;
}

// Pushes the frames of x (a whole number of 2500-sample frames) through the table's entries.
// Stops at the channel map when stopAtMap, else at the identity.
inline Outcome run(const GsmVtab& gsm, CellDecoder* dec, const std::vector<gsmsig::cf32>& x,
                   bool stopAtMap)
{
    Outcome o;
    const int frames = static_cast<int>(x.size() / GSM_FRAME_SAMPLES);
    for (int f = 0; f < frames; ++f) {
        auto* frame = reinterpret_cast<const cf32*>(x.data() + static_cast<size_t>(f) * GSM_FRAME_SAMPLES);
        const BcchInfo* r = gsm.GSM_pushFrame(dec, frame);
        if (!r)
            continue;
        o.info = *r;
        if (o.framesToIdentity < 0)
            o.framesToIdentity = f + 1;
        if (hasMap(*r)) {
            o.framesToMap = f + 1;
            if (stopAtMap)
                break;
        }
        if (!stopAtMap)
            break;
    }
    return o;
}

// BCD as the decoder reports it.
inline uint16_t bcd3(int v) { return static_cast<uint16_t>(((v / 100) << 8) | ((v / 10 % 10) << 4) | (v % 10)); }
inline uint16_t mncBcd(int mnc, int digits)
{
    return digits == 3 ? bcd3(mnc) : static_cast<uint16_t>(((mnc / 10) << 8) | ((mnc % 10) << 4) | 0xF);
}

inline bool mapHas(const BcchInfo& r, int arfcn)
{
    int bit = (arfcn + 1023) % 1024;
    return (r.arfcnMap[bit / 8] >> (bit % 8)) & 1;
}

inline int mapCount(const BcchInfo& r)
{
    int n = 0;
    for (uint8_t b : r.arfcnMap)
        n += __builtin_popcount(b);
    return n;
}

inline bool identityMatches(const BcchInfo& r, const gsmsig::Cell& c)
{
    return r.mcc == bcd3(c.mcc) && r.mnc == mncBcd(c.mnc, c.mncDigits) && r.lac == c.lac &&
           r.ci == c.ci;
}

inline bool mapMatches(const BcchInfo& r, const gsmsig::Cell& c)
{
    for (int a : c.channels)
        if (!mapHas(r, a))
            return false;
    return mapCount(r) == static_cast<int>(c.channels.size());
}

}  // namespace cell_run
