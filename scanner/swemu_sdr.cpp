#include "swemu_sdr.h"

#include <cstring>

#include "console_log.h"

SwemuSdr::SwemuSdr(const std::string& name)
{
    if (name != swemuDesc.name)
        return;
    files_ = std::make_unique<WavFiles>();
    WavParams in;
    std::strncpy(in.name, kFileName, sizeof in.name - 1);
    in.rate = int32_t(double(swemuDesc.rate) * 1e6);   // 2,400,000
    in.numChans = 2;
    files_->setParams(false, 0, in);
    // A bad recording ends the start-up (or the receiver switch) with its reason; it must not
    // end the process from here while other threads still run.
    if (!files_->openAll()) {
        std::string reason = files_->lastError();
        files_.reset();
        throw LoggedError(reason);
    }
    gainDb_ = 0.0f;
}

SwemuSdr::~SwemuSdr()
{
    if (files_)
        files_->closeAll();
}

bool SwemuSdr::setRate(float mhz) { return mhz == swemuDesc.rate; }

float SwemuSdr::rate() { return swemuDesc.rate; }

bool SwemuSdr::setFreq(float mhz)
{
    if (mhz < swemuDesc.minFreq || mhz > swemuDesc.maxFreq)
        return false;
    tunedMhz_ = mhz;
    return true;
}

float SwemuSdr::freq() { return tunedMhz_; }

bool SwemuSdr::setGain(float db)
{
    if (db < swemuDesc.minGain || db > swemuDesc.maxGain)
        return false;
    gainDb_ = db;
    return true;
}

float SwemuSdr::gain() { return gainDb_; }

void SwemuSdr::start()
{
    if (files_)
        files_->rewind(0);
}

int32_t SwemuSdr::read(int16_t* iq, int32_t n)
{
    if (!files_)
        return kReadFailed;
    // Not even the whole recording would do: no attempt, so the place in it stays where the
    // reads that fit have left it.
    if (n > files_->inputSamples(0))
        return kReadBeyondRecording;
    if (files_->readChunked(0, iq, n))
        return kReadDelivered;
    // Past the end: play from the start again. The unfinished tail is never delivered.
    files_->rewind(0);
    if (files_->readChunked(0, iq, n))
        return kReadDelivered;
    // Not even the start gives n samples. A recording cut or rewritten shorter while it plays
    // is a recording too short for the read, not a receiver that fails: only a file that still
    // holds n samples has failed to read.
    if (files_->recount(0) && n > files_->inputSamples(0))
        return kReadBeyondRecording;
    return kReadFailed;
}

void SwemuSdr::stop() {}
