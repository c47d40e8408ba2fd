// Serving the scan engine's receiver requests (tune, gain, read) from a receiver.
#pragma once

#include <cstdint>

class AbstSdr;

// Handles cbSetFreq, cbSetGain (the gain taken is written back) and cbRead; returns false for any
// other code. A read's status gets the receiver's result, kReadFailed without a receiver; when
// nothing is delivered the buffer is filled with silence rather than left holding older samples.
bool serveEngineRequest(AbstSdr* sdr, int32_t code, void* arg);
