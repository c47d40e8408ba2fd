// The receiver for RTL2832U dongles on librtlsdr: manual gain, MHz/dB at the interface, and
// librtlsdr's asynchronous unsigned 8-bit stream turned into blocking reads of complex int16.
#pragma once

#include <string>
#include <vector>

#include "sdr.h"

struct rtlsdr_dev;

// Appends one descriptor per usable dongle to the list: the first sdrTable row whose name
// contains the dongle's tuner name, named "<row name> <device index>".
void findRtlSdrs(std::vector<SdrDesc>& list);

class RtlSdr : public AbstSdr {
public:
    // Opens the device whose index follows the last blank of the name; throws
    // std::runtime_error("RTL-SDR cannot create device") when it cannot.
    explicit RtlSdr(const std::string& name);
    ~RtlSdr() override;

    bool setRate(float mhz) override;
    float rate() override;
    bool setFreq(float mhz) override;
    float freq() override;
    bool setGain(float db) override;
    float gain() override;
    void start() override;
    // 1 when n samples arrived; -1 when the dongle delivered nothing for too long (unplugged).
    int32_t read(int16_t* iq, int32_t n) override;
    void stop() override;
    virtual bool setAgc(int32_t) { return false; }
    virtual bool setDirectSampling(int32_t) { return false; }

    // How long a read waits for the dongle beyond the time its samples take.
    static void setReadTimeoutMs(int ms);

private:
    rtlsdr_dev* dev_ = nullptr;
    bool running_ = false;
    std::vector<int> gains_;   // tenths of dB, in the order librtlsdr lists them
};
