// What the scanner means by a receiver and a band: the abstract receiver every engine
// operation goes through, and the compiled-in receiver, band and colour tables.
#pragma once

#include <cstdint>
#include <string>

// What a receiver's read gives: the samples; none, for a read longer than the receiver holds at
// all (a recording shorter than the read, so that no read of that length ever succeeds); or a
// failure.
inline constexpr int32_t kReadDelivered = 1;
inline constexpr int32_t kReadBeyondRecording = 0;
inline constexpr int32_t kReadFailed = -1;

// A receiver as the engine sees it: frequencies and rates in MHz, gains in dB.
class AbstSdr {
public:
    virtual ~AbstSdr() = default;
    virtual bool setRate(float mhz) = 0;
    virtual float rate() = 0;
    virtual bool setFreq(float mhz) = 0;
    virtual float freq() = 0;
    virtual bool setGain(float db) = 0;   // the receiver may round; gain() tells what is in force
    virtual float gain() = 0;
    virtual void start() = 0;
    // Blocks until n complex samples (2n int16 values, I then Q) are in iq: one of the read
    // results above.
    virtual int32_t read(int16_t* iq, int32_t n) = 0;
    virtual void stop() = 0;
};

enum SdrType : int32_t { kSdrFile = 0, kSdrRtl = 2 };

struct SdrDesc {
    std::string name;
    int32_t type;
    float rate;     // MHz
    float guard;    // fraction of the rate left free at each edge of a capture
    float minFreq, maxFreq;
    float minGain, maxGain;
    int32_t settle; // ms of samples discarded after each retune
};

struct BandDesc {
    const char* name;
    int32_t firstArfcn;
    int32_t count;
    float firstMhz;
    float stepMhz;
};

struct OpColor {
    int32_t mnc;         // -1: no decoded cell
    const char* name;
    uint8_t r, g, b;
};

inline constexpr int kSdrTableRows = 7;
inline constexpr int kBandCount = 2;
inline constexpr int kOpColorCount = 7;
inline constexpr int kTunerNameCount = 7;
inline constexpr int kMaxChannels = 375;   // the largest band has 374 channels

extern const SdrDesc sdrTable[kSdrTableRows];
extern const SdrDesc swemuDesc;
extern const char* const tunerNames[kTunerNameCount];
extern const BandDesc bandTable[kBandCount];
extern const OpColor opColors[kOpColorCount];

// Chart colours: plot background and scale boxes; outlines, grid, ticks and scale text.
inline constexpr uint8_t kChartBack[3] = {64, 64, 64};
inline constexpr uint8_t kChartInk[3] = {224, 224, 224};

// Channel k of a band: ARFCN (first + k) mod 1024, downlink first + k * step MHz.
inline int32_t bandArfcn(const BandDesc& band, int32_t k) { return (band.firstArfcn + k) % 1024; }
inline float bandMhz(const BandDesc& band, int32_t k) { return band.firstMhz + float(k) * band.stepMhz; }
