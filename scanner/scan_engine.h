// The scan engine: the geometry of a band sweep, the per-channel table, the level path with
// its automatic gain, and the decode path through four decoder workers. It talks to its owner
// only through one callback; it knows no receiver, thread or window.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "dec_worker.h"
#include "mix_fft.h"
#include "sdr.h"

class QTextStream;

enum EngCbCode : int32_t { cbSetFreq = 0, cbSetGain = 1, cbRead = 2, cbResults = 3 };
using EngCb = void (*)(void* user, int32_t code, void* arg);

// A read request. The engine sets status to kReadDelivered before asking; the owner writes its
// receiver's read result there (sdr.h). An owner that leaves it delivers.
struct SmpReq {
    cs16* iq;
    int32_t n;
    int32_t status;
};

struct ChanRes {
    float pwr;
    float lvl;        // internal dB; -110 means never measured
    int32_t type;     // 0 nothing decoded, 1 "BCCH+TCH", 2 "TCH only"
    int32_t mnc, mcc, lac, ci;
    int32_t bcch;     // type 2: channel of the cell whose list named this one
};

// One chart record: level in dBm, and the MNC of the cell using the channel or -1.
struct LvlMnc {
    float lvl;
    int32_t mnc;
};

class ScanEng {
public:
    static constexpr int kWorkers = 4;
    static constexpr int kLevelBlocks = 20;
    static constexpr float kNeverMeasured = -110.0f;

    // Builds the level FFT and the four workers (each binds the decoder library); throws the
    // workers' failure after ending those already started.
    ScanEng(EngCb cb, void* user);
    ~ScanEng();
    ScanEng(const ScanEng&) = delete;
    ScanEng& operator=(const ScanEng&) = delete;

    void setSdr(const SdrDesc& desc);
    void setBand(int32_t band);
    void step();
    void clrRes();
    int32_t getLvlMnc(LvlMnc* out) const;
    void writeReport(QTextStream& out) const;

    // For the tests and the owner.
    const ChanRes* chanRes() const { return chanRes_; }
    int32_t chanCount() const { return chanCount_; }
    int32_t perCapture() const { return perCapture_; }
    int32_t fftSize() const { return fftSize_; }
    int32_t firstBin() const { return firstBin_; }
    int32_t settleLen() const { return settleLen_; }
    int32_t decodeLen() const { return decodeLen_; }
    int32_t capturesPerSweep() const { return capturesPerSweep_; }
    float captureStep() const { return captureStep_; }
    float firstCentre() const { return firstCentre_; }
    float curGain() const { return curGain_; }
    int32_t state() const { return state_; }
    int32_t bandIdx() const { return bandIdx_; }
    DecWrk& worker(int i) { return workers_[i]; }
    void storeRes(const DecResBlock& block);

private:
    // A capture the receiver's recording is too short for, told once in the run.
    struct ShortRecording {
        const char* capture;
        const char* consequence;
        bool told;
    };

    void freeBuffers();
    bool readSamples(cs16* buf, int32_t n, ShortRecording* tooLong);
    void nextPos(int32_t& idx, float& centre);
    void calcPwr(const cs16* block);
    void updLvl();
    void adjGain();
    void callback(int32_t code, void* arg) { cb_(user_, code, arg); }

    EngCb cb_;
    void* user_;
    SdrDesc sdr_{};
    int32_t bandIdx_ = 0;
    int32_t chanCount_ = 0;
    ChanRes chanRes_[kMaxChannels];
    int32_t perCapture_ = 0, fftSize_ = 0;
    float firstOffMhz_ = 0.0f;
    int32_t firstBin_ = 0;
    float pwrScale_ = 0.05f;
    int32_t settleLen_ = 0, decodeLen_ = 0;
    float stepMhz_ = 0.0f, captureStep_ = 0.0f, firstCentre_ = 0.0f;
    int32_t firstArfcn_ = 0, capturesPerSweep_ = 0;
    int32_t state_ = 0;
    float levelCentre_ = 0.0f;
    int32_t levelIdx_ = -1;
    float decodeCentre_ = 0.0f;
    int32_t decodeIdx_ = -1;
    float curGain_ = 0.0f;
    bool sdrSilent_ = false;   // the receiver's last read failed (and the log said so)
    ShortRecording shortForLevel_{"level capture", "no level is measured", false};
    ShortRecording shortForDecode_{"decode capture", "no cell is decoded", false};
    cs16* settleBuf_ = nullptr;
    cs16* levelBuf_ = nullptr;
    cs16* decodeBuf_ = nullptr;
    cf32* cvtBuf_ = nullptr;   // one level block converted to float
    MixFft mixFft_;
    float acc_[kMaxCaptureChannels] = {};
    DecWrk workers_[kWorkers];
};
