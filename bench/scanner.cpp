// The scanner engine's costs on a generated three-cell "swemu.wav":
//  - Channeliser: one second (2,400,000 samples at 2.4 MHz) of one channel through the worker's
//    path (mixing tone, multiply, CIC + FIR to 400 kHz, conversion, resampling to 541666.6875 Hz),
//    slot 0 beside the slot this machine selects. x_realtime is seconds of signal per CPU second
//    of the thread; x_realtime_wall the same per wall second. The goal is 20 per worker.
//  - CapturePeak: the pass over a capture that chooses the multiply's scale factor, once per
//    capture (every nine channels).
//  - ChanDecCapture: one worker's whole job, nine channels of one capture with the real decoder.
//  - Sweep: one full sweep of a band on the file receiver, from setBand until the step machine
//    has measured every capture position and read its decode capture (decoding itself runs on
//    the workers and is waited for outside the timing, so a fixed ten sweeps are timed).
// Run with LD_LIBRARY_PATH pointing at the folder holding libcorvane.so.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "channeliser.h"
#include "dec_worker.h"
#include "engine_receiver.h"
#include "gsmsiggen.h"
#include "mix_scale.h"
#include "scan_engine.h"
#include "scratch_pool.h"
#include "sigprim_core.h"
#include "sigprim_scan.h"
#include "swemu_sdr.h"

namespace {

constexpr int32_t kCapture = 2400000;          // one second at 2.4 MHz
constexpr int32_t kRatio = 6;
constexpr int32_t kDecLen = kCapture / kRatio;  // 400,000 at 400 kHz
constexpr int32_t kBlock = 1024;                // the worker's resampler block
constexpr float kRateHz = 2.4e6f;
constexpr double kGsmRate = 541666.6875;
constexpr int32_t kChannels = 9;                // channels per capture at 2.4 MHz with guard 0.12
constexpr float kFirstOffMhz = -0.8f;
constexpr float kStepMhz = 0.2f;

int32_t gMachineSlot = 0;

// Sets the dispatch slot for one benchmark and puts the old one back.
class SlotScope {
public:
    explicit SlotScope(int32_t slot) : saved_(sigCpuSlot) { sigCpuSlot = slot; }
    ~SlotScope() { sigCpuSlot = saved_; }
    SlotScope(const SlotScope&) = delete;
    SlotScope& operator=(const SlotScope&) = delete;

private:
    int32_t saved_;
};

// A private directory holding "swemu.wav" with three cells at -400, 0 and +400 kHz (capture
// channels 2, 4 and 6), as the end-to-end test makes it. The working directory moves there only
// while a receiver opens the file, so that a relative LD_LIBRARY_PATH still finds the decoder.
class Recording {
public:
    Recording()
    {
        char tmpl[] = "/tmp/benchscanner-XXXXXX";
        if (mkdtemp(tmpl) == nullptr) {
            error_ = "cannot make a temporary directory";
            return;
        }
        dir_ = tmpl;
        std::vector<gsmsig::WideCarrier> carriers(3);
        for (int i = 0; i < 3; ++i) {
            gsmsig::WideCarrier& w = carriers[size_t(i)];
            w.channel = 2 * i - 2;
            w.startFrame = 357;   // SI1 in the second multiframe of the second
            w.cell.mcc = 250;
            w.cell.mnc = i + 1;
            w.cell.lac = uint16_t(1000 * (i + 1));
            w.cell.ci = uint16_t(101 * (i + 1));
            w.cell.bsic = uint8_t(12 + 11 * i);
            w.cell.channels = {980 + 10 * i};
        }
        gsmsig::writeSwemuWav((dir_ / SwemuSdr::kFileName).string(), carriers,
                              gsmsig::WideOptions{}, &error_);
    }
    ~Recording()
    {
        if (!dir_.empty())
            std::filesystem::remove_all(dir_);
    }
    Recording(const Recording&) = delete;
    Recording& operator=(const Recording&) = delete;

    const std::string& error() const { return error_; }

    // The file receiver playing the recording, started.
    std::unique_ptr<SwemuSdr> open() const
    {
        const std::filesystem::path old = std::filesystem::current_path();
        std::filesystem::current_path(dir_);
        std::unique_ptr<SwemuSdr> sdr;
        try {
            sdr = std::make_unique<SwemuSdr>(swemuDesc.name);
        } catch (...) {
            std::filesystem::current_path(old);
            throw;
        }
        std::filesystem::current_path(old);
        sdr->start();
        return sdr;
    }

private:
    std::filesystem::path dir_;
    std::string error_;
};

const Recording* gRecording = nullptr;

// One second of the recording as the receiver delivers it.
const std::vector<cs16>& captureSecond()
{
    static const std::vector<cs16> capture = [] {
        std::vector<cs16> c(static_cast<size_t>(kCapture));
        gRecording->open()->read(&c[0].re, kCapture);
        return c;
    }();
    return capture;
}

double wallSeconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The worker's channeliser for capture channel 2 (-400 kHz), the whole second.
void Channeliser(benchmark::State& state)
{
    SlotScope slot(int32_t(state.range(0)));
    const std::vector<cs16>& capture = captureSecond();
    cs16* chan = sigMalloc_cs16(kCapture);
    cs16* dec = sigMalloc_cs16(kDecLen);
    cf32* cvt = sigMalloc_cf32(kBlock);
    const int32_t rsCap = int32_t(double(kDecLen + 1) * kGsmRate / 400000.0) + 2 * kBlock;
    cf32* rs = sigMalloc_cf32(rsCap);
    CicDec cic(kRatio, kDecLen);
    FrcRsmp rsmp(kBlock, 400000.0f, kGsmRate);
    if (!chan || !dec || !cvt || !rs || !cic.ok()) {
        state.SkipWithError("out of memory");
    } else {
        float v = (kFirstOffMhz + 2 * kStepMhz) * -1e6f;
        const float relFreq = (v < 0.0f ? v + kRateHz : v) / kRateHz;
        const int32_t scale = mixScaleFactor(capturePeakNorm(capture.data(), kCapture));
        int32_t total = 0;
        const auto start = std::chrono::steady_clock::now();
        for (auto _ : state) {
            float phase = 0.0f;
            sigTone_cs16(chan, kCapture, kMixToneMagnitude, relFreq, &phase, 1);
            sigMul_cs16(chan, capture.data(), chan, kCapture, scale);
            cic.proc(dec, kDecLen, chan);
            cic.reset();
            total = 0;
            for (int32_t used = 0; used < kDecLen; used += kBlock) {
                const int32_t n = kDecLen - used < kBlock ? kDecLen - used : kBlock;
                sigConvert_s16f32(&dec[used].re, &cvt->re, 2 * n, 15);
                total += rsmp.proc(rs + total, cvt, n);
            }
            benchmark::DoNotOptimize(rs);
            benchmark::ClobberMemory();
        }
        const double wall = wallSeconds(start);
        state.counters["outputs"] = total;
        state.counters["x_realtime"] = benchmark::Counter(double(state.iterations()),
                                                          benchmark::Counter::kIsRate);
        state.counters["x_realtime_wall"] = double(state.iterations()) / wall;
        state.counters["goal"] = 20;
    }
    sigFree(rs);
    sigFree(cvt);
    sigFree(dec);
    sigFree(chan);
}

// The per-capture pass that chooses the mixing multiply's scale factor.
void CapturePeak(benchmark::State& state)
{
    const std::vector<cs16>& capture = captureSecond();
    for (auto _ : state)
        benchmark::DoNotOptimize(mixScaleFactor(capturePeakNorm(capture.data(), kCapture)));
}

// One worker's whole job: nine channels of one capture, channelised and decoded.
void ChanDecCapture(benchmark::State& state)
{
    SlotScope slot(gMachineSlot);
    const std::vector<cs16>& capture = captureSecond();
    try {
        ChanDec dec;
        dec.config(CapGeom{kCapture, kRatio, kChannels, 2.4f, kFirstOffMhz, kStepMhz});
        DecResBlock out{};
        const auto start = std::chrono::steady_clock::now();
        for (auto _ : state)
            dec.procCap(capture.data(), 0, out);
        const double wall = wallSeconds(start);
        int found = 0;
        for (int i = 0; i < kChannels; ++i)
            found += out.res[i].found;
        state.counters["decoded"] = found;
        state.counters["x_realtime_per_chan"] = benchmark::Counter(
            double(kChannels) * double(state.iterations()), benchmark::Counter::kIsRate);
        state.counters["x_realtime_per_chan_wall"] = kChannels * double(state.iterations()) / wall;
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}

struct Owner {
    AbstSdr* sdr;
    static void cb(void* user, int32_t code, void* arg)
    {
        serveEngineRequest(static_cast<Owner*>(user)->sdr, code, arg);
    }
};

// One sweep of band range(0): level at every capture position, then one decode capture.
void Sweep(benchmark::State& state)
{
    SlotScope slot(gMachineSlot);
    const int32_t band = int32_t(state.range(0));
    try {
        std::unique_ptr<SwemuSdr> sdr = gRecording->open();
        Owner owner{sdr.get()};
        ScanEng eng(&Owner::cb, &owner);
        eng.setSdr(swemuDesc);
        int32_t steps = 0;
        for (auto _ : state) {
            eng.setBand(band);
            const int32_t limit = 2 * eng.capturesPerSweep() + 2;
            steps = 0;
            int32_t before = -1;
            while (before != 3 && steps <= limit) {
                before = eng.state();
                eng.step();
                ++steps;
            }
            state.PauseTiming();
            for (int i = 0; i < ScanEng::kWorkers; ++i)
                eng.worker(i).waitIdle();
            state.ResumeTiming();
            if (steps != limit) {
                state.SkipWithError("the step machine did not finish its sweep");
                break;
            }
        }
        state.SetLabel(bandTable[band].name);
        state.counters["positions"] = eng.capturesPerSweep();
        state.counters["steps"] = steps;
    } catch (const std::exception& e) {
        state.SkipWithError(e.what());
    }
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    ScrPool::init();
    sigInitDispatch();
    gMachineSlot = sigCpuSlot;
    Recording recording;
    if (!recording.error().empty()) {
        std::fprintf(stderr, "cannot write the recording: %s\n", recording.error().c_str());
        return 1;
    }
    gRecording = &recording;
    benchmark::AddCustomContext("machine_slot", std::to_string(gMachineSlot));

    auto* chan = benchmark::RegisterBenchmark("Channeliser/slot", Channeliser);
    chan->Arg(0);
    if (gMachineSlot != 0)
        chan->Arg(gMachineSlot);
    chan->Unit(benchmark::kMillisecond)->MinTime(2.0);
    benchmark::RegisterBenchmark("CapturePeak", CapturePeak)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("ChanDecCapture/9chan", ChanDecCapture)
        ->Unit(benchmark::kMillisecond)->MinTime(3.0);
    benchmark::RegisterBenchmark("Sweep/band", Sweep)
        ->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
