// The file receiver: plays "swemu.wav" from the working directory in an endless loop, hears
// the same recording at every frequency, and accepts only the gain 0.
#pragma once

#include <memory>
#include <string>

#include "sdr.h"
#include "wav_files.h"

class SwemuSdr : public AbstSdr {
public:
    static constexpr const char* kFileName = "swemu.wav";

    // For the name "SWEMU" opens the recording; a file that cannot be opened or has a wrong
    // header throws a LoggedError carrying the reason, already on the console log. Any other
    // name makes an unusable receiver (the factory never asks for one).
    explicit SwemuSdr(const std::string& name);
    ~SwemuSdr() override;

    bool setRate(float mhz) override;
    float rate() override;
    bool setFreq(float mhz) override;
    float freq() override;
    bool setGain(float db) override;
    float gain() override;
    void start() override;
    int32_t read(int16_t* iq, int32_t n) override;
    void stop() override;

private:
    std::unique_ptr<WavFiles> files_;
    float tunedMhz_ = 0.0f;
    float gainDb_ = 0.0f;
};
