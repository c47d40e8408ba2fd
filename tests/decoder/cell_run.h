// Runs a decoder over a generated broadcast carrier and reports when it produced what.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "cell_digits.h"
#include "corvane.h"
#include "sigprim.h"

namespace cell_run {

// Frames pushed until the first result and until the channel map, and the last result (copied:
// the decoder's record changes with every call).
struct Outcome {
    int framesToIdentity = -1;
    int framesToMap = -1;
    BcchInfo info{};
};

inline bool hasMap(const BcchInfo& r)
{
    return std::any_of(std::begin(r.arfcnMap), std::end(r.arfcnMap), [](uint8_t b) { return b; });
}

// Pushes the frames of x through the table's entries; stops at the channel map when stopAtMap,
// else at the identity.
inline Outcome run(const GsmVtab& gsm, CellDecoder* dec, const std::vector<gsmsig::cf32>& x,
                   bool stopAtMap)
{
    Outcome o;
    for (size_t f = 0; f < x.size() / GSM_FRAME_SAMPLES; ++f) {
        const BcchInfo* r = gsm.GSM_pushFrame(dec, reinterpret_cast<const cf32*>(x.data() + f * GSM_FRAME_SAMPLES));
        if (!r)
            continue;
        o.info = *r;
        if (o.framesToIdentity < 0)
            o.framesToIdentity = static_cast<int>(f) + 1;
        if (hasMap(*r) && o.framesToMap < 0)
            o.framesToMap = static_cast<int>(f) + 1;
        if (!stopAtMap || hasMap(*r))
            break;
    }
    return o;
}

inline gsmsig::Impairments impairments(double timingOffsetSamples, double carrierOffsetHz = 0.0,
                                       double snrDb = INFINITY, uint64_t seed = 1)
{
    gsmsig::Impairments imp;
    imp.carrierOffsetHz = carrierOffsetHz;
    imp.timingOffsetSamples = timingOffsetSamples;
    imp.snrDb = snrDb;
    imp.seed = seed;
    return imp;
}

// Any MCC, a two- or three-digit MNC, one to eight channels of the 900 or the 1800 band.
inline gsmsig::Cell randomCell(std::mt19937& rng)
{
    gsmsig::Cell c;
    c.mcc = static_cast<int>(rng() % 1000);
    c.mncDigits = rng() % 2 ? 3 : 2;
    c.mnc = static_cast<int>(rng() % (c.mncDigits == 3 ? 1000 : 100));
    c.lac = static_cast<uint16_t>(rng());
    c.ci = static_cast<uint16_t>(rng());
    c.bsic = static_cast<uint8_t>(rng() % 64);
    const bool band1800 = rng() % 2;
    for (int i = 1 + static_cast<int>(rng() % 8); i > 0; --i) {
        int a = band1800 ? 512 + static_cast<int>(rng() % 374) : 1 + static_cast<int>(rng() % 124);
        if (std::find(c.channels.begin(), c.channels.end(), a) == c.channels.end())
            c.channels.push_back(a);
    }
    return c;
}

// Any start sample within a frame, carrier offset up to 5 kHz, phase and level.
inline gsmsig::Impairments randomImpairments(std::mt19937& rng, double snrDb)
{
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    gsmsig::Impairments imp;
    imp.timingOffsetSamples = uniform(0.0, 2500.0);
    imp.carrierOffsetHz = uniform(-5000.0, 5000.0);
    imp.phaseRad = uniform(0.0, 6.28);
    imp.amplitude = uniform(0.01, 2.0);
    imp.snrDb = snrDb;
    imp.seed = rng();
    return imp;
}

inline bool identityMatches(const BcchInfo& r, const gsmsig::Cell& c)
{
    return r.mcc == bcd3(c.mcc) && r.mnc == mncBcd(c.mnc, c.mncDigits) && r.lac == c.lac &&
           r.ci == c.ci;
}

// Exactly the cell's channels, ARFCN n at bit (n - 1) mod 1024.
inline bool mapMatches(const BcchInfo& r, const gsmsig::Cell& c)
{
    uint8_t want[sizeof r.arfcnMap] = {};
    for (int a : c.channels)
        want[(a + 1023) % 1024 / 8] |= static_cast<uint8_t>(1 << (a + 1023) % 8);
    return std::memcmp(want, r.arfcnMap, sizeof want) == 0;
}

}  // namespace cell_run
