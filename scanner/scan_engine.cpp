#include "scan_engine.h"

#include <QTextStream>

#include <cmath>

#include "console_log.h"

namespace {
constexpr int32_t kMaxFftSize = 1600;
constexpr float kTopLevel = 40.0f;
constexpr float kDeadBand = 3.0f;
constexpr float kSmallestNormal = 1.1754944e-38f;

cs16* zeroedCs16(int32_t n)
{
    cs16* p = n > 0 ? sigMalloc_cs16(n) : nullptr;
    if (p != nullptr)
        sigZero_cs16(p, n);
    return p;
}
}  // namespace

ScanEng::ScanEng(EngCb cb, void* user) : cb_(cb), user_(user), mixFft_(48)
{
    for (ChanRes& r : chanRes_)
        r = ChanRes{0.0f, kNeverMeasured, 0, 0, 0, 0, 0, 0};
    cvtBuf_ = sigMalloc_cf32(kMaxFftSize);
    // A worker that cannot bind the decoder ends the construction; the workers already
    // running are ended by their destructors as the exception leaves this object.
    try {
        for (DecWrk& w : workers_)
            w.create();
    } catch (...) {
        sigFree(cvtBuf_);
        throw;
    }
}

ScanEng::~ScanEng()
{
    freeBuffers();
    sigFree(cvtBuf_);
    for (DecWrk& w : workers_)
        w.destroy();
}

void ScanEng::freeBuffers()
{
    sigFree(settleBuf_);
    sigFree(levelBuf_);
    sigFree(decodeBuf_);
    settleBuf_ = levelBuf_ = decodeBuf_ = nullptr;
}

void ScanEng::setSdr(const SdrDesc& desc)
{
    sdr_ = desc;
    sdrSilent_ = false;
    setBand(0);
}

void ScanEng::setBand(int32_t band)
{
    const BandDesc& row = bandTable[band];
    const float rate = sdr_.rate;
    bandIdx_ = band;
    stepMhz_ = row.stepMhz;
    freeBuffers();
    chanCount_ = row.count;
    perCapture_ = int32_t(std::floor((1.0f - 2.0f * sdr_.guard) * rate / stepMhz_));
    perCapture_ = perCapture_ > kMaxCaptureChannels ? kMaxCaptureChannels : perCapture_;
    fftSize_ = int32_t(std::floor(rate / stepMhz_ + 0.5f)) * 32;
    fftSize_ = fftSize_ > kMaxFftSize ? kMaxFftSize : fftSize_;
    firstOffMhz_ = float(perCapture_ - 1) * stepMhz_ * 0.5f;
    firstBin_ = fftSize_ / 2 - 16 * perCapture_ + 10;
    levelBuf_ = zeroedCs16(kLevelBlocks * fftSize_);
    mixFft_.config(fftSize_);
    const int32_t perMs = int32_t(std::floor(rate * 1000.0f + 0.5f));
    settleLen_ = perMs * sdr_.settle;
    settleBuf_ = zeroedCs16(settleLen_);
    decodeLen_ = perMs * 1000;
    decodeBuf_ = zeroedCs16(decodeLen_);

    CapGeom geom{decodeLen_, int32_t(std::floor(rate / 0.4f + 0.5f)), perCapture_, rate,
                 -float(perCapture_ - 1) * stepMhz_ * 0.5f, stepMhz_};
    for (DecWrk& w : workers_)
        w.config(geom);

    captureStep_ = float(perCapture_) * stepMhz_;
    firstCentre_ = row.firstMhz + firstOffMhz_;
    firstArfcn_ = row.firstArfcn;
    pwrScale_ = 0.05f;
    capturesPerSweep_ = perCapture_ > 0 ? (chanCount_ + perCapture_ - 1) / perCapture_ : 0;
    clrRes();
    levelIdx_ = decodeIdx_ = -1;
    state_ = 0;
    levelCentre_ = decodeCentre_ = firstCentre_ - captureStep_;
    curGain_ = sdr_.minGain + 10.0f;
    callback(cbSetGain, &curGain_);
}

void ScanEng::nextPos(int32_t& idx, float& centre)
{
    ++idx;
    centre += captureStep_;
    if (idx >= capturesPerSweep_) {
        idx = 0;
        centre = firstCentre_;
        adjGain();
    }
    callback(cbSetFreq, &centre);
}

bool ScanEng::readSamples(cs16* buf, int32_t n, ShortRecording* tooLong)
{
    SmpReq req{buf, n, kReadDelivered};
    callback(cbRead, &req);
    // A recording too short for a capture says nothing of whether the receiver delivers: the
    // shorter reads go on, and the capture it cannot hold is named once, not per sweep. A settle
    // read is thrown away in any case; the capture after it is the one to name.
    if (req.status == kReadBeyondRecording) {
        if (tooLong != nullptr && !tooLong->told) {
            logPrintf("!!! Error, %s recording is shorter than one %s (%d samples), %s\n",
                      sdr_.name.c_str(), tooLong->capture, n, tooLong->consequence);
            tooLong->told = true;
        }
        return false;
    }
    const bool delivered = req.status == kReadDelivered;
    // Said once when the receiver falls silent and once when it delivers again, not per read.
    if (!delivered && !sdrSilent_)
        logPrintf("!!! Error, %s delivers no samples\n", sdr_.name.c_str());
    else if (delivered && sdrSilent_)
        logPrintf("%s delivers samples again\n", sdr_.name.c_str());
    sdrSilent_ = !delivered;
    return delivered;
}

void ScanEng::step()
{
    // A buffer that could not be had leaves nothing to measure into.
    if (settleBuf_ == nullptr || levelBuf_ == nullptr || decodeBuf_ == nullptr || cvtBuf_ == nullptr)
        return;
    switch (state_) {
    case 0: {
        nextPos(levelIdx_, levelCentre_);
        readSamples(settleBuf_, settleLen_, nullptr);
        state_ = 1;
        break;
    }
    case 1: {
        // A capture the receiver did not deliver is no measurement: its channels keep their
        // last levels rather than sinking to the level of silence.
        if (readSamples(levelBuf_, kLevelBlocks * fftSize_, &shortForLevel_)) {
            sigZero_f32(acc_, perCapture_);
            for (int b = 0; b < kLevelBlocks; ++b)
                calcPwr(levelBuf_ + b * fftSize_);
            updLvl();
        }
        callback(cbResults, chanRes_);
        state_ = levelIdx_ + 1 == capturesPerSweep_ ? 2 : 0;
        break;
    }
    case 2: {
        nextPos(decodeIdx_, decodeCentre_);
        readSamples(settleBuf_, settleLen_, nullptr);
        state_ = 3;
        break;
    }
    default: {
        const bool delivered = readSamples(decodeBuf_, decodeLen_, &shortForDecode_);
        // Results of earlier captures are collected whatever this read gave; a capture that
        // was not delivered is offered to no worker.
        for (DecWrk& w : workers_)
            if (const DecResBlock* block = w.takeRes())
                storeRes(*block);
        for (DecWrk& w : workers_)
            if (delivered && w.submit(decodeBuf_, decodeIdx_ * perCapture_))
                break;
        state_ = 0;
        break;
    }
    }
}

void ScanEng::calcPwr(const cs16* block)
{
    sigConvert_s16f32(&block->re, &cvtBuf_->re, 2 * fftSize_, 15);
    mixFft_.window(cvtBuf_);
    mixFft_.fwd(cvtBuf_);
    mixFft_.swapHalves(cvtBuf_);
    int32_t n = chanCount_ - perCapture_ * levelIdx_;
    n = n < perCapture_ ? n : perCapture_;
    for (int32_t i = 0; i < n; ++i) {
        float s = 0.0f;
        for (int32_t bin = firstBin_ + 32 * i; bin <= firstBin_ + 32 * i + 12; ++bin)
            s += cvtBuf_[bin].re * cvtBuf_[bin].re + cvtBuf_[bin].im * cvtBuf_[bin].im;
        acc_[i] += s;
    }
}

void ScanEng::updLvl()
{
    int32_t n = chanCount_ - perCapture_ * levelIdx_;
    n = n < perCapture_ ? n : perCapture_;
    for (int32_t i = 0; i < n; ++i) {
        ChanRes& r = chanRes_[perCapture_ * levelIdx_ + i];
        r.pwr = pwrScale_ * acc_[i];
        float level = 10.0f * std::log10(r.pwr + kSmallestNormal);
        if (r.lvl == kNeverMeasured)
            r.lvl = level;
        r.lvl = 0.3f * level + 0.7f * r.lvl;
    }
}

void ScanEng::adjGain()
{
    float top = kNeverMeasured;
    for (int32_t k = 0; k < chanCount_; ++k)
        top = chanRes_[k].lvl > top ? chanRes_[k].lvl : top;
    float d = kTopLevel - top;
    if (std::fabs(d) <= kDeadBand)
        return;
    float g = curGain_ + kTopLevel - top;
    callback(cbSetGain, &g);
    float a = g - curGain_;
    for (int32_t k = 0; k < chanCount_; ++k)
        chanRes_[k].lvl += a;
    curGain_ += a;
}

void ScanEng::storeRes(const DecResBlock& block)
{
    for (int32_t i = 0; i < perCapture_; ++i) {
        const int32_t c = block.firstChan + i;
        if (c >= chanCount_ || c < 0)
            continue;
        const DecRes& d = block.res[i];
        if (!d.found)
            continue;
        auto mark = [&d](ChanRes& r, int32_t type) {
            r.type = type;
            r.mnc = d.mnc;
            r.mcc = d.mcc;
            r.lac = d.lac;
            r.ci = d.ci;
        };
        mark(chanRes_[c], 1);
        for (int32_t j = 0; j < d.n && j < 8; ++j) {
            int32_t k = d.arfcn[j] - firstArfcn_;
            if (k < 0)
                k += 1024;
            if (k == c || k < 0 || k >= chanCount_)
                continue;
            mark(chanRes_[k], 2);
            chanRes_[k].bcch = c;
        }
    }
    callback(cbResults, chanRes_);
}

void ScanEng::clrRes()
{
    for (DecWrk& w : workers_)
        w.waitIdle();
    for (int32_t k = 0; k < chanCount_; ++k) {
        chanRes_[k].type = 0;
        chanRes_[k].pwr = 0.0f;
        chanRes_[k].lvl = kNeverMeasured;
    }
}

int32_t ScanEng::getLvlMnc(LvlMnc* out) const
{
    for (int32_t k = 0; k < chanCount_; ++k) {
        out[k].lvl = chanRes_[k].lvl - 60.0f - curGain_;
        out[k].mnc = chanRes_[k].type != 0 ? chanRes_[k].mnc : -1;
    }
    return chanCount_;
}

void ScanEng::writeReport(QTextStream& out) const
{
    out << " ARFCN    MHz     dBm   MCC  MNC   LAC     CI     Type    BCCH " << Qt::endl;
    float mhz = firstCentre_ - firstOffMhz_;
    for (int32_t k = 0; k < chanCount_; ++k, mhz += stepMhz_) {
        const ChanRes& r = chanRes_[k];
        QString line = QString("  %1  %2  %3")
                           .arg((firstArfcn_ + k) & 1023, 4)
                           .arg(double(mhz), 6, 'f', 1)
                           .arg(double(r.lvl - 60.0f - curGain_), 6, 'f', 1);
        if (r.type != 0) {
            line += QString("  %1  %2  %3  %4 ").arg(r.mcc, 3).arg(r.mnc, 3).arg(r.lac, 5).arg(r.ci, 5);
            if (r.type == 1)
                line += " BCCH+TCH";
            else
                line += QString(" TCH only %1").arg((r.bcch + firstArfcn_) & 1023, 4);
        } else {
            line += "  ---  ---  -----  -----";
        }
        out << line << Qt::endl;
    }
}
