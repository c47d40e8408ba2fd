// SCH information (TS 44.018 9.1.30) and the radio-resource System Information messages of the
// BCCH (TS 44.018 9.1.31-9.1.36) into the decoder's SiArea. Octets as packed by packOctets;
// within an octet bit 8 (0x80) is read first.
#pragma once
#include <cstdint>

#include "backend/si_area.h"

struct SchInfo {
    uint16_t bsic; // 6 bits
    uint16_t t1;   // 11 bits
    uint16_t t2;   // 0..25
    uint16_t t3;   // frame number within the 51-multiframe: 10 * T3' + 1
};

// True when T2 <= 25 and T3' <= 4; info is then filled.
bool parseSch(const uint8_t* octets, SchInfo* info);

// 23 octets of a BCCH block: true for a radio-resource message of a known type.
bool parseRr(const uint8_t* octets, SiArea* area);

// Handlers of parseRr: message type, body (the 20 octets after the type), area. Always true.
bool onSi1(uint16_t type, const uint8_t* body, SiArea* area);
bool onSi3Si6(uint16_t type, const uint8_t* body, SiArea* area);
bool onSi4(uint16_t type, const uint8_t* body, SiArea* area);
bool onSiOther(uint16_t type, const uint8_t* body, SiArea* area);

// Location area identification (TS 24.008 10.5.1.3), 5 octets.
void parseLai(const uint8_t* lai, uint8_t* valid, uint16_t* mcc, uint16_t* mnc, uint16_t* lac);

// Reads count bit fields of the given widths (1..16) most significant bit first. *remaining
// is the number of not yet read bits of **octet, counted from its bit 1 upwards (0: start at
// the next octet); both are handed back advanced.
void readBits(uint16_t* fields, int count, const uint8_t* widths, int* remaining,
              const uint8_t** octet);
