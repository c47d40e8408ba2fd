// The decoder workers: four threads, each with a private copy of a one-second capture, that
// channelise it and feed every channel frame by frame to their own decoder of libcorvane.so.
#pragma once

#include <pthread.h>
#include <semaphore.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <span>

#include "channeliser.h"
#include "corvane.h"
#include "sigprim.h"

// The capture geometry the scan engine hands to every worker.
struct CapGeom {
    int32_t samples;     // capture length (2,400,000)
    int32_t ratio;       // decimation to 400 kHz (6)
    int32_t channels;    // channels per capture
    float rateMhz;
    float firstOffMhz;   // channel 0's offset from the capture centre (negative)
    float stepMhz;
};

struct DecRes {
    int32_t found;
    int32_t mnc, mcc, lac, ci;
    int32_t n;           // listed ARFCNs, at most 8
    int32_t arfcn[8];    // the first n ARFCNs of the cell's list, ascending
};

inline constexpr int kMaxCaptureChannels = 50;

struct DecResBlock {
    DecRes res[kMaxCaptureChannels];
    int32_t firstChan;
};

// Decimal value of three BCD digits in bits 11..0; a digit of 10 or more ends the number.
int32_t bcdValue(uint16_t w);
// Appends the ARFCNs of the decoder's map in ascending order, at most 8.
int32_t arfcnsFromMap(const uint8_t map[128], int32_t out[8]);

// One worker's channel decoder: binds libcorvane.so and owns one decoder object.
class ChanDec {
public:
    static constexpr const char* kLibrary = "libcorvane.so";
    static constexpr const char* kLoadError = "!!! Can not load GSM DLL\n";

    // Throws std::runtime_error(kLoadError) when the library, its table or a decoder cannot
    // be had; nothing of the half-built object is left then.
    ChanDec();
    ~ChanDec();
    ChanDec(const ChanDec&) = delete;
    ChanDec& operator=(const ChanDec&) = delete;

    void config(const CapGeom& geom);
    void procCap(const cs16* capture, int32_t firstChan, DecResBlock& out);

    int32_t decLen() const { return decLen_; }
    int32_t rsCap() const { return rsCap_; }
    // The last capture's mixing scale factor (one for all its channels), and the last channel
    // it mixed: the tone's relative frequency (the tone starts at phase 0) and the mix the
    // channel filter read; empty when the last capture mixed nothing.
    int32_t mixScale() const { return mixScale_; }
    float lastMixFreq() const { return relFreq_; }
    std::span<const cs16> lastMix() const { return {chanBuf_, size_t(mixLen_)}; }

private:
    void releaseBuffers();

    void* module_ = nullptr;
    const GsmVtab* vtab_ = nullptr;
    CellDecoder* decoder_ = nullptr;
    CapGeom geom_{};
    float rateHz_ = 1.0f;
    float phase_ = 0.0f;
    float relFreq_ = 0.0f;
    FrcRsmp rsmp_;
    int32_t chanLen_ = 0, decLen_ = 0, rsCap_ = 0;
    int32_t mixScale_ = 0, mixLen_ = 0;
    cs16* chanBuf_ = nullptr;
    cs16* decBuf_ = nullptr;
    cf32* cvtBuf_ = nullptr;
    cf32* rsBuf_ = nullptr;
};

enum WorkerState : int32_t { wsBusy = 0, wsReady = 1, wsIdle = 2, wsQuit = 3 };

class DecWrk {
public:
    DecWrk() = default;
    ~DecWrk() { destroy(); }
    DecWrk(const DecWrk&) = delete;
    DecWrk& operator=(const DecWrk&) = delete;

    // Loads the decoder and starts the thread; throws what ChanDec throws.
    void create();
    void waitIdle();
    void config(const CapGeom& geom);
    bool submit(const cs16* capture, int32_t firstChan);
    const DecResBlock* takeRes();
    void destroy();

    int32_t state() const { return state_.load(std::memory_order_acquire); }
    bool created() const { return dec_ != nullptr; }

private:
    static void* run(void* self);

    std::unique_ptr<ChanDec> dec_;
    cs16* buf_ = nullptr;
    int32_t firstChan_ = 0;
    DecResBlock res_{};
    pthread_t thread_{};
    std::atomic<int32_t> state_{wsIdle};
    sem_t sem_{};
    int32_t len_ = 0;
};
