// The cell channel description (TS 44.018 10.5.2.1b) in its six frequency-list formats (bit
// map 0, range 1024/512/256/128, variable bit map, 10.5.2.13) into the 1024-bit ARFCN map.
// ARFCN n sets bit (n - 1) mod 1024; bits are only ever set.
#pragma once
#include <cstdint>

constexpr int kCellChanOctets = 16;
constexpr int kArfcnMapBytes = 128;

// Adds the channels of the 16-octet description to map. Always true.
bool decodeFreqList(const uint8_t* desc, uint8_t* map);

// ARFCN (0..1023) of range-tree index k (1..28) from the fields w[0..k] and the range r.
uint16_t decodeRangeTree(int k, const uint16_t* w, int r);

// Sets the map bit of ARFCN n (any value; reduced modulo 1024).
void addArfcn(uint8_t* map, int n);
