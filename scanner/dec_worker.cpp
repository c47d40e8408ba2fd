#include "dec_worker.h"

#include <dlfcn.h>

#include <cmath>
#include <stdexcept>

#include "mix_scale.h"
#include "platform.h"

namespace {
constexpr int32_t kBlock = 1024;
constexpr float kDecimatedRate = 400000.0f;   // the float value of 0.4 * 1e6
constexpr double kGsmRate = 541666.6875;
}  // namespace

int32_t bcdValue(uint16_t w)
{
    int32_t v = 0;
    for (int shift = 8; shift >= 0; shift -= 4) {
        int32_t digit = (w >> shift) & 15;
        if (digit >= 10)
            break;
        v = 10 * v + digit;
    }
    return v;
}

int32_t arfcnsFromMap(const uint8_t map[128], int32_t out[8])
{
    int32_t n = 0, counter = 1;
    for (int b = 0; b < 128; ++b)
        for (int j = 0; j < 8; ++j, ++counter)
            if (((map[b] >> j) & 1) && n < 8)
                out[n++] = counter;
    return n;
}

ChanDec::ChanDec() : rsmp_(kBlock, kDecimatedRate, kGsmRate)
{
    module_ = dlopen(kLibrary, RTLD_NOW);
    if (module_ != nullptr) {
        vtab_ = static_cast<const GsmVtab*>(dlsym(module_, "GSM_vtab"));
        if (vtab_ != nullptr)
            decoder_ = vtab_->GSM_create(nullptr);
    }
    cvtBuf_ = sigMalloc_cf32(kBlock);
    if (decoder_ == nullptr || cvtBuf_ == nullptr) {
        if (decoder_ != nullptr)
            vtab_->GSM_destroy(decoder_);
        sigFree(cvtBuf_);
        if (module_ != nullptr)
            dlclose(module_);
        throw std::runtime_error(kLoadError);
    }
}

ChanDec::~ChanDec()
{
    releaseBuffers();
    sigFree(cvtBuf_);
    vtab_->GSM_destroy(decoder_);
    dlclose(module_);
}

void ChanDec::releaseBuffers()
{
    sigFree(chanBuf_);
    sigFree(decBuf_);
    sigFree(rsBuf_);
    chanBuf_ = decBuf_ = nullptr;
    rsBuf_ = nullptr;
    chanLen_ = decLen_ = rsCap_ = mixLen_ = 0;
}

void ChanDec::config(const CapGeom& geom)
{
    geom_ = geom;
    int32_t d = geom.ratio > 0 ? geom.samples / geom.ratio : 0;
    if (d != decLen_) {
        decLen_ = d;
        sigFree(decBuf_);
        decBuf_ = sigMalloc_cs16(d);
        rsCap_ = int32_t(std::floor(float(float((d + 1) * kGsmRate / 400000.0059604645 + 1) + 0.5)));
        sigFree(rsBuf_);
        rsBuf_ = sigMalloc_cf32(rsCap_);
    }
    if (geom.ratio * d != chanLen_) {
        chanLen_ = geom.ratio * d;
        mixLen_ = 0;
        sigFree(chanBuf_);
        chanBuf_ = sigMalloc_cs16(chanLen_);
    }
    rateHz_ = geom.rateMhz * 1e6f;
}

void ChanDec::procCap(const cs16* capture, int32_t firstChan, DecResBlock& out)
{
    out.firstChan = firstChan;
    mixLen_ = 0;
    const int32_t channels = geom_.channels < kMaxCaptureChannels ? geom_.channels : kMaxCaptureChannels;
    for (int32_t i = 0; i < channels; ++i)
        out.res[i].found = 0;
    if (chanBuf_ == nullptr || decBuf_ == nullptr || rsBuf_ == nullptr)
        return;   // buffers could not be had on the last configuration: nothing decodes
    CicDec cic(geom_.ratio, decLen_);
    if (!cic.ok())
        return;
    // The mixer writes one value per capture sample: never more than the channel buffer holds.
    const int32_t samples = geom_.samples < chanLen_ ? geom_.samples : chanLen_;
    // One scale factor for the whole capture keeps the mixing product linear, so that weaker
    // cells beside a strong carrier reach the channel filter at their own level.
    mixScale_ = mixScaleFactor(capturePeakNorm(capture, samples));
    float f = geom_.firstOffMhz;
    for (int32_t i = 0; i < channels; ++i) {
        float v = f * -1e6f;
        if (v < 0.0f)
            v += rateHz_;
        relFreq_ = v / rateHz_;
        phase_ = wrapAngle(0.0f);
        sigTone_cs16(chanBuf_, samples, kMixToneMagnitude, relFreq_, &phase_, 1);
        sigMul_cs16(chanBuf_, capture, chanBuf_, samples, mixScale_);
        mixLen_ = samples;
        f += geom_.stepMhz;

        cic.proc(decBuf_, decLen_, chanBuf_);
        cic.reset();

        int32_t total = 0;
        for (int32_t used = 0; decLen_ > kBlock && used < decLen_ - kBlock; used += kBlock) {
            sigConvert_s16f32(&decBuf_[used].re, &cvtBuf_->re, 2 * kBlock, 15);
            if (total + 1387 > rsCap_)
                break;   // cannot happen with the sizes above; keeps the buffer safe anyway
            total += rsmp_.proc(rsBuf_ + total, cvtBuf_, kBlock);
        }

        vtab_->GSM_reset(decoder_);
        const BcchInfo* r = nullptr;
        for (int32_t s = 0; s + GSM_FRAME_SAMPLES < total && r == nullptr; s += GSM_FRAME_SAMPLES)
            r = vtab_->GSM_pushFrame(decoder_, rsBuf_ + s);
        if (r == nullptr)
            continue;
        DecRes& d = out.res[i];
        d.found = 1;
        d.mnc = bcdValue(r->mnc);
        d.mcc = bcdValue(r->mcc);
        d.lac = r->lac;
        d.ci = r->ci;
        d.n = arfcnsFromMap(r->arfcnMap, d.arfcn);
    }
}

void DecWrk::create()
{
    dec_ = std::make_unique<ChanDec>();
    sem_init(&sem_, 0, 0);
    state_.store(wsIdle, std::memory_order_release);
    if (pthread_create(&thread_, nullptr, &DecWrk::run, this) != 0) {
        sem_destroy(&sem_);
        dec_.reset();
        throw std::runtime_error("!!! Can not start a decoder worker\n");
    }
}

void DecWrk::waitIdle()
{
    while (state_.load(std::memory_order_acquire) == wsBusy)
        sleep10ms();
    state_.store(wsIdle, std::memory_order_release);
}

void DecWrk::config(const CapGeom& geom)
{
    while (state_.load(std::memory_order_acquire) == wsBusy)
        sleep10ms();
    dec_->config(geom);
    len_ = geom.samples;
    sigFree(buf_);
    buf_ = sigMalloc_cs16(len_);
    if (buf_ != nullptr)
        sigZero_cs16(buf_, len_);
    state_.store(wsIdle, std::memory_order_release);
}

bool DecWrk::submit(const cs16* capture, int32_t firstChan)
{
    if (state_.load(std::memory_order_acquire) != wsIdle || buf_ == nullptr)
        return false;
    firstChan_ = firstChan;
    sigCopy_cs16(capture, buf_, len_);
    state_.store(wsBusy, std::memory_order_release);
    sem_post(&sem_);
    return true;
}

const DecResBlock* DecWrk::takeRes()
{
    if (state_.load(std::memory_order_acquire) != wsReady)
        return nullptr;
    state_.store(wsIdle, std::memory_order_release);
    return &res_;
}

void* DecWrk::run(void* self)
{
    DecWrk& w = *static_cast<DecWrk*>(self);
    for (;;) {
        while (sem_wait(&w.sem_) != 0) {
        }
        if (w.state_.load(std::memory_order_acquire) == wsQuit)
            return nullptr;
        w.dec_->procCap(w.buf_, w.firstChan_, w.res_);
        w.state_.store(wsReady, std::memory_order_release);
    }
}

void DecWrk::destroy()
{
    if (!dec_)
        return;
    while (state_.load(std::memory_order_acquire) == wsBusy)
        sleep10ms();
    state_.store(wsQuit, std::memory_order_release);
    sem_post(&sem_);
    pthread_join(thread_, nullptr);
    dec_.reset();
    sem_destroy(&sem_);
    sigFree(buf_);
    buf_ = nullptr;
}
