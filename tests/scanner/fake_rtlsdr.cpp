// Compiled against the real rtl-sdr.h so the signatures stay exact.
#include "fake_rtlsdr.h"

#include <rtl-sdr.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

struct rtlsdr_dev {
    int index;
    uint32_t rate = 0, freq = 0;
    int gain = 0;
    std::atomic<bool> cancel{false};
};

namespace {
std::vector<FakeRtlDevice> devices;
std::atomic<int> opens{0}, closes{0};
std::atomic<uint32_t> lastRate{0};
std::atomic<int> lastGain{0};
}  // namespace

namespace fakertl {
void reset(const std::vector<FakeRtlDevice>& d)
{
    devices = d;
    opens = 0;
    closes = 0;
}
int openCount() { return opens; }
int closeCount() { return closes; }
uint32_t sampleRate() { return lastRate; }
int tunerGain() { return lastGain; }
uint8_t streamByte(int block, int i) { return uint8_t((block * 7 + i) % 255); }
}  // namespace fakertl

extern "C" {

uint32_t rtlsdr_get_device_count(void) { return uint32_t(devices.size()); }

int rtlsdr_get_device_usb_strings(uint32_t index, char* m, char* p, char* s)
{
    if (index >= devices.size() || !devices[index].stringsOk)
        return -1;
    std::strcpy(m, "Realtek");
    std::strcpy(p, "RTL2838UHIDIR");
    std::strcpy(s, "00000001");
    return 0;
}

int rtlsdr_open(rtlsdr_dev_t** dev, uint32_t index)
{
    if (index >= devices.size() || !devices[index].opens)
        return -1;
    *dev = new rtlsdr_dev{int(index)};
    ++opens;
    return 0;
}

int rtlsdr_close(rtlsdr_dev_t* dev)
{
    delete dev;
    ++closes;
    return 0;
}

enum rtlsdr_tuner rtlsdr_get_tuner_type(rtlsdr_dev_t* dev) { return rtlsdr_tuner(devices[size_t(dev->index)].tuner); }
int rtlsdr_set_tuner_gain_mode(rtlsdr_dev_t*, int) { return 0; }

int rtlsdr_get_tuner_gains(rtlsdr_dev_t* dev, int* gains)
{
    const auto& g = devices[size_t(dev->index)].gains;
    if (gains)
        std::memcpy(gains, g.data(), g.size() * sizeof(int));
    return int(g.size());
}

int rtlsdr_set_freq_correction(rtlsdr_dev_t*, int) { return 0; }
int rtlsdr_set_sample_rate(rtlsdr_dev_t* dev, uint32_t rate) { return lastRate = dev->rate = rate, 0; }
uint32_t rtlsdr_get_sample_rate(rtlsdr_dev_t* dev)
{
    return devices[size_t(dev->index)].rateReadsBackWrong ? dev->rate + 1 : dev->rate;
}
int rtlsdr_set_center_freq(rtlsdr_dev_t* dev, uint32_t freq) { return dev->freq = freq, 0; }
uint32_t rtlsdr_get_center_freq(rtlsdr_dev_t* dev) { return dev->freq; }
int rtlsdr_set_tuner_gain(rtlsdr_dev_t* dev, int gain) { return lastGain = dev->gain = gain, 0; }
int rtlsdr_get_tuner_gain(rtlsdr_dev_t* dev) { return dev->gain; }
int rtlsdr_reset_buffer(rtlsdr_dev_t*) { return 0; }

int rtlsdr_read_async(rtlsdr_dev_t* dev, rtlsdr_read_async_cb_t cb, void* ctx, uint32_t,
                      uint32_t len)
{
    dev->cancel = false;
    const int stallAfter = devices[size_t(dev->index)].blocksBeforeStall;
    std::vector<unsigned char> buf(len);
    for (int block = 0; !dev->cancel; ++block) {
        if (stallAfter >= 0 && block >= stallAfter) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        for (uint32_t i = 0; i < len; ++i)
            buf[i] = fakertl::streamByte(block, int(i));
        cb(buf.data(), len, ctx);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return 0;
}

int rtlsdr_cancel_async(rtlsdr_dev_t* dev) { return dev->cancel = true, 0; }
}
