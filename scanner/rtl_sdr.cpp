#include "rtl_sdr.h"

#include <pthread.h>
#include <rtl-sdr.h>
#include <semaphore.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <stdexcept>

namespace {

constexpr uint32_t kAsyncBuffers = 32;
constexpr uint32_t kAsyncBufferBytes = 8192;
constexpr int kFreqCorrectionPpm = 56;
constexpr uint32_t kStartRate = 2000000;
constexpr uint32_t kStartFreq = 1000000000;

// The hand-over between the reader thread and read(): one set per process, so only one
// dongle streams at a time. The request (remain, dst) is published by the release store of
// pending; the callback clears pending before it posts the semaphore. rdLock lets a read that
// gives up withdraw its request without the callback still writing into the caller's buffer.
rtlsdr_dev_t* rdDev = nullptr;
std::atomic<bool> rdPending{false};
std::atomic<int32_t> rdRemain{0};
int16_t* rdDst = nullptr;
std::atomic<bool> rdStop{false};
pthread_t rdThread;
sem_t rdSem;
std::atomic<int> readTimeoutMs{2000};
std::mutex rdLock;

void rtlCallback(unsigned char* buf, uint32_t len, void*)
{
    std::lock_guard<std::mutex> hold(rdLock);
    if (rdPending.load(std::memory_order_acquire)) {
        int32_t remain = rdRemain.load(std::memory_order_relaxed);
        int32_t m = int32_t(len) < remain ? int32_t(len) : remain;
        for (int32_t i = 0; i < m; ++i)
            // Byte 255 would give 32768; it is kept at the top of the int16 range.
            rdDst[i] = int16_t(buf[i] == 255 ? 32767 : (int(buf[i]) - 127) * 256);
        rdDst += m;
        rdRemain.store(remain - m, std::memory_order_relaxed);
        if (remain - m == 0) {
            rdPending.store(false, std::memory_order_release);
            sem_post(&rdSem);
        }
    }
    if (rdStop.load(std::memory_order_acquire))
        rtlsdr_cancel_async(rdDev);
}

void* rtlThread(void*)
{
    rtlsdr_reset_buffer(rdDev);
    rtlsdr_read_async(rdDev, rtlCallback, nullptr, kAsyncBuffers, kAsyncBufferBytes);
    return nullptr;
}

int indexFromName(const std::string& name)
{
    size_t blank = name.rfind(' ');
    return std::atoi(name.c_str() + (blank == std::string::npos ? 0 : blank + 1));
}

}  // namespace

void findRtlSdrs(std::vector<SdrDesc>& list)
{
    uint32_t n = rtlsdr_get_device_count();
    for (uint32_t i = 0; i < n; ++i) {
        char manufacturer[256], product[256], serial[256];
        if (rtlsdr_get_device_usb_strings(i, manufacturer, product, serial) != 0)
            continue;
        rtlsdr_dev_t* dev = nullptr;
        if (rtlsdr_open(&dev, i) != 0)
            continue;   // in use by another program
        int tuner = rtlsdr_get_tuner_type(dev);
        rtlsdr_close(dev);
        if (tuner < 0 || tuner >= kTunerNameCount)
            continue;
        for (const SdrDesc& row : sdrTable) {
            if (row.name.find(tunerNames[tuner]) == std::string::npos)
                continue;
            SdrDesc desc = row;
            desc.name += " " + std::to_string(i);
            list.push_back(desc);
            break;
        }
    }
}

RtlSdr::RtlSdr(const std::string& name)
{
    int index = indexFromName(name);
    if (index < 0 || rtlsdr_open(&dev_, uint32_t(index)) != 0 || dev_ == nullptr)
        throw std::runtime_error("RTL-SDR cannot create device");
    rdDev = dev_;
    rtlsdr_set_tuner_gain_mode(dev_, 1);
    int count = rtlsdr_get_tuner_gains(dev_, nullptr);
    if (count > 0) {
        gains_.resize(size_t(count));
        if (rtlsdr_get_tuner_gains(dev_, gains_.data()) != count)
            gains_.clear();
    }
    rtlsdr_set_freq_correction(dev_, kFreqCorrectionPpm);
    rtlsdr_set_sample_rate(dev_, kStartRate);
    rtlsdr_set_center_freq(dev_, kStartFreq);
    sem_init(&rdSem, 0, 0);
}

RtlSdr::~RtlSdr()
{
    stop();
    rtlsdr_close(dev_);
    if (rdDev == dev_)
        rdDev = nullptr;
    sem_destroy(&rdSem);
}

bool RtlSdr::setRate(float mhz)
{
    uint32_t r = uint32_t(double(mhz) * 1e6);
    if (rtlsdr_set_sample_rate(dev_, r) != 0)
        return false;
    return rtlsdr_get_sample_rate(dev_) == r;
}

float RtlSdr::rate() { return float(rtlsdr_get_sample_rate(dev_) * 1e-6); }

bool RtlSdr::setFreq(float mhz)
{
    uint32_t f = uint32_t(double(mhz) * 1e6);
    if (rtlsdr_set_center_freq(dev_, f) != 0)
        return false;
    return rtlsdr_get_center_freq(dev_) == f;
}

float RtlSdr::freq() { return float(rtlsdr_get_center_freq(dev_) * 1e-6); }

bool RtlSdr::setGain(float db)
{
    // A tuner that lists no gains has nothing to choose from.
    if (gains_.empty())
        return false;
    int g = int(std::floor(db * 10.0f + 0.5f));
    int chosen = gains_[0];
    for (int candidate : gains_)
        if (std::abs(candidate - g) < std::abs(chosen - g))
            chosen = candidate;
    return rtlsdr_set_tuner_gain(dev_, chosen) == 0;
}

float RtlSdr::gain() { return float(rtlsdr_get_tuner_gain(dev_)) * 0.1f; }

void RtlSdr::start()
{
    if (running_)
        return;
    rdPending.store(false);
    rdStop.store(false);
    rdDev = dev_;
    running_ = pthread_create(&rdThread, nullptr, rtlThread, this) == 0;
}

int32_t RtlSdr::read(int16_t* iq, int32_t n)
{
    if (!running_ || n < 0)
        return kReadFailed;
    rdDst = iq;
    rdRemain.store(2 * n, std::memory_order_relaxed);
    rdPending.store(true, std::memory_order_release);
    // Bounded wait: a dongle that stops delivering (unplugged) must not hang the engine.
    double seconds = 2.0 * n / 2.4e6 + readTimeoutMs.load() / 1000.0;
    timespec deadline;
    clock_gettime(CLOCK_REALTIME, &deadline);
    deadline.tv_sec += time_t(seconds);
    deadline.tv_nsec += long((seconds - std::floor(seconds)) * 1e9);
    if (deadline.tv_nsec >= 1000000000L) {
        deadline.tv_sec += 1;
        deadline.tv_nsec -= 1000000000L;
    }
    int rc;
    while ((rc = sem_timedwait(&rdSem, &deadline)) != 0 && errno == EINTR) {
    }
    if (rc == 0)
        return kReadDelivered;
    // Withdraw the request. If the callback completed it meanwhile, take its post back.
    std::lock_guard<std::mutex> hold(rdLock);
    if (rdPending.exchange(false, std::memory_order_acq_rel))
        return kReadFailed;
    sem_wait(&rdSem);
    return kReadDelivered;
}

void RtlSdr::stop()
{
    if (!running_)
        return;
    rdStop.store(true, std::memory_order_release);
    // Also cancel from here: a dongle that delivers no more blocks never runs the callback.
    rtlsdr_cancel_async(dev_);
    pthread_join(rdThread, nullptr);
    running_ = false;
}

void RtlSdr::setReadTimeoutMs(int ms) { readTimeoutMs.store(ms); }
