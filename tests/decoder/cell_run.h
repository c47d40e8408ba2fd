// Runs a decoder over a generated broadcast carrier and reports when it produced what.
#pragma once

#include <cmath>
#include <cstring>
#include <vector>

#include "corvane.h"
#include "gsmsiggen.h"
#include "sigprim.h"

namespace cell_run {

// What a run of frames gave: frames pushed until the first result and until the channel map,
// and the last result (copied; the decoder's record changes with every call).
struct Outcome {
    int framesToIdentity = -1;
    int framesToMap = -1;
    BcchInfo info{};
};

inline int mapCount(const BcchInfo& r)
{
    int n = 0;
    for (uint8_t b : r.arfcnMap)
        n += __builtin_popcount(b);
    return n;
}

inline bool hasMap(const BcchInfo& r) { return mapCount(r) > 0; }

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
        if (hasMap(*r) && o.framesToMap < 0)
            o.framesToMap = f + 1;
        if (!stopAtMap || hasMap(*r))
            break;
    }
    return o;
}

inline gsmsig::Cell cell(int mcc, int mnc, int mncDigits, uint16_t lac, uint16_t ci, uint8_t bsic,
                         std::vector<int> channels)
{
    gsmsig::Cell c;
    c.mcc = mcc;
    c.mnc = mnc;
    c.mncDigits = mncDigits;
    c.lac = lac;
    c.ci = ci;
    c.bsic = bsic;
    c.channels = std::move(channels);
    return c;
}

inline gsmsig::Impairments impairments(double timingOffsetSamples, double carrierOffsetHz = 0.0,
                                       double snrDb = INFINITY, uint64_t seed = 1)
{
    gsmsig::Impairments imp;
    imp.timingOffsetSamples = timingOffsetSamples;
    imp.carrierOffsetHz = carrierOffsetHz;
    imp.snrDb = snrDb;
    imp.seed = seed;
    return imp;
}

// BCD as the decoder reports it; a two-digit MNC has the filler F as its third digit.
inline uint16_t bcd3(int v) { return static_cast<uint16_t>(((v / 100) << 8) | ((v / 10 % 10) << 4) | (v % 10)); }
inline uint16_t mncBcd(int mnc, int digits)
{
    return digits == 3 ? bcd3(mnc) : static_cast<uint16_t>(((mnc / 10) << 8) | ((mnc % 10) << 4) | 0xF);
}

inline bool identityMatches(const BcchInfo& r, const gsmsig::Cell& c)
{
    return r.mcc == bcd3(c.mcc) && r.mnc == mncBcd(c.mnc, c.mncDigits) && r.lac == c.lac &&
           r.ci == c.ci;
}

// Exactly the cell's channels, ARFCN n at bit (n - 1) mod 1024.
inline bool mapMatches(const BcchInfo& r, const gsmsig::Cell& c)
{
    for (int a : c.channels) {
        const int bit = (a + 1023) % 1024;
        if (!((r.arfcnMap[bit / 8] >> (bit % 8)) & 1))
            return false;
    }
    return mapCount(r) == static_cast<int>(c.channels.size());
}

}  // namespace cell_run
