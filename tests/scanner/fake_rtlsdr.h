// A stand-in librtlsdr for the tests: devices with chosen tuners, gains and behaviour.
#pragma once

#include <cstdint>
#include <vector>

struct FakeRtlDevice {
    int tuner = 5;              // RTLSDR_TUNER_R820T
    bool stringsOk = true;
    bool opens = true;
    std::vector<int> gains = {0, 9, 14, 27, 37, 77, 87, 125, 144, 157, 166, 197, 207, 229, 254,
                              280, 297, 328, 338, 364, 372, 386, 402, 421, 434, 439, 445, 480, 496};
    bool rateReadsBackWrong = false;
    int blocksBeforeStall = -1; // -1: streams for ever; k: delivers k blocks, then nothing
};

namespace fakertl {
void reset(const std::vector<FakeRtlDevice>& devices);
int openCount();
int closeCount();
uint32_t sampleRate();
int tunerGain();
// The byte pattern of the stream: block b, byte i holds (b * 7 + i) % 255.
uint8_t streamByte(int block, int i);
}  // namespace fakertl
