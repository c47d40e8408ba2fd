// What the System Information parsers keep about the current cell. Lives inside the decoder
// object (CellDecoder::siArea); the result record is built from it. Cleared as a whole when
// the decoder is reset for a new channel.
#pragma once
#include <cstdint>

struct SiArea {
    uint16_t bsic;   // base station identity code of the last applied SCH (frame machine)
    uint8_t ciValid; // 0 or 1
    uint16_t ci;
    uint8_t laiValid; // 0 or 1
    uint16_t mcc;     // three BCD digits: digit 1 in bits 11..8, 2 in 7..4, 3 in 3..0
    uint16_t mnc;     // same; a two-digit code keeps 0xF as its third digit
    uint16_t lac;
    uint8_t si1Valid; // 0 or 1
    // ARFCN n is bit (n - 1) mod 1024, bit j of byte b being bit 8b + j: ARFCN 0 is bit 1023.
    uint8_t arfcnMap[128];
    uint8_t bandFlag; // raw band-indicator bit of the first SI1 rest octet
};
