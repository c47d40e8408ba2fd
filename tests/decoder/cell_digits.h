// A generated cell from its decimal digits, and those digits as the decoder reports them.
#pragma once

#include <cstdint>
#include <vector>

#include "gsmsiggen.h"

namespace cell_run {

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

// BCD; a two-digit MNC has the filler F as its third digit.
inline uint16_t bcd3(int v) { return static_cast<uint16_t>(((v / 100) << 8) | ((v / 10 % 10) << 4) | (v % 10)); }
inline uint16_t mncBcd(int mnc, int digits)
{
    return digits == 3 ? bcd3(mnc) : static_cast<uint16_t>(((mnc / 10) << 8) | ((mnc % 10) << 4) | 0xF);
}

}  // namespace cell_run
