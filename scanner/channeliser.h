// The channeliser of the decoder workers: one channel, already mixed to zero frequency at
// 2.4 MHz, is decimated by 6 to 400 kHz (CicDec: a six-stage CIC by 3 with fixed-point gain
// normalisation, then a 36-tap FIR by 2) and resampled to the decoder's 541666.6875 Hz
// (FrcRsmp: 16-phase polyphase filter stepped by a Q20 phase accumulator).
#pragma once

#include <cstdint>

#include "sigprim.h"

class CicDec {
public:
    static constexpr int kTaps = 36;

    // ratio: the overall decimation (6 at 2.4 MHz); outLen: output samples per proc call.
    CicDec(int32_t ratio, int32_t outLen);
    ~CicDec();
    CicDec(const CicDec&) = delete;
    CicDec& operator=(const CicDec&) = delete;

    bool ok() const { return firState_ != nullptr && cicBuf_ != nullptr; }
    void reset();
    // Consumes 2 * n * rate() inputs and writes n outputs (n at most outLen).
    void proc(cs16* dst, int32_t n, const cs16* src);

    int32_t rate() const { return cicRate_; }
    int32_t shift() const { return shift_; }
    int16_t gainQ15() const { return gainQ15_; }
    static const int16_t kFirTaps[kTaps];

private:
    void calcGain();

    int32_t cicRate_;
    int32_t outLen_;
    uint32_t integ_[6][2] = {};
    uint32_t comb_[6][2] = {};
    int32_t shift_ = 0;
    int16_t gainQ15_ = 0;
    cs16* cicBuf_ = nullptr;
    cs32* taps_ = nullptr;
    cs16* delay_ = nullptr;
    uint8_t* stateBuf_ = nullptr;
    sigFirState_cs16* firState_ = nullptr;
};

class FrcRsmp {
public:
    static constexpr int kHistory = 15;
    static constexpr int kPhases = 16;

    FrcRsmp(int32_t blockLen, float inRate, double outRate);
    ~FrcRsmp();
    FrcRsmp(const FrcRsmp&) = delete;
    FrcRsmp& operator=(const FrcRsmp&) = delete;

    // Resamples n inputs (at most blockLen); returns the outputs written.
    int32_t proc(cf32* out, const cf32* in, int32_t n);

    int32_t phaseStep() const { return phaseStep_; }
    // The prototype low-pass, 256 symmetric values; phase q, tap k = T[15 - q + 16 k].
    static const float* prototype();

private:
    int32_t blockLen_;
    int32_t phaseStep_;
    uint32_t acc_ = 0;
    cf32* hist_ = nullptr;
    float phaseBank_[kPhases][16];
};

// Reduces an angle into (-pi, pi] in single precision.
float wrapAngle(float x);
