// Decimating FIR filters: the decoder's front end (48 taps, down 2, 3292 inputs a frame) and a
// 36-tap decimate-by-2, on every dispatch slot this processor runs, against liquid-dsp's
// firdecim_crcf and a naive direct loop on the same inputs in the same run. Then the vector
// slots' direct-form block kernel at 1, 3, 8 and 48 taps over one in-place chunk of outputs.
#include "slot_support.h"
#include <benchmark/benchmark.h>

#include <complex>
#include <liquid/liquid.h>

#include <cmath>
#include <random>
#include <vector>

#include "fir_block_kernels.h"
#include "sigprim.h"

namespace {

constexpr int kInputs = 3292;  // one decoder frame

using testing_slots::slotRuns;

std::vector<float> lowPass(int taps)
{
    std::vector<float> h(taps);
    const double mid = (taps - 1) / 2.0;
    for (int k = 0; k < taps; ++k) {
        const double t = k - mid;
        const double w = 0.54 - 0.46 * std::cos(2 * M_PI * k / (taps - 1));
        h[k] = float((t == 0 ? 0.5 : std::sin(0.5 * M_PI * t) / (M_PI * t)) * w);
    }
    return h;
}

std::vector<cf32> signal(size_t count)
{
    std::mt19937 rng(1);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<cf32> x(count);
    for (auto& c : x)
        c = cf32{u(rng), u(rng)};
    return x;
}

void setCounters(benchmark::State& state, int outputs)
{
    state.SetItemsProcessed(state.iterations() * outputs);
    state.counters["ns/output"] = benchmark::Counter(
        double(state.iterations()) * outputs, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_sigFir(benchmark::State& state, int taps, int slot)
{
    if (!slotRuns(slot)) {
        state.SkipWithError("this processor cannot run the slot");
        return;
    }
    const int32_t saved = sigCpuSlot;
    sigCpuSlot = slot;
    const std::vector<float> real = lowPass(taps);
    std::vector<cf32> h(taps);
    for (int k = 0; k < taps; ++k)
        h[k] = cf32{real[k], 0.0f};
    int32_t size = 0;
    sigFirMrGetSize_cf32(taps, 1, 2, &size);
    uint8_t* buf = sigMalloc_u8(size);
    sigFirMrState_cf32* fir = nullptr;
    sigFirMrInit_cf32(&fir, h.data(), taps, 1, 0, 2, 0, nullptr, buf);
    const std::vector<cf32> x = signal(kInputs);
    std::vector<cf32> history(x.begin(), x.begin() + taps);
    std::vector<cf32> y(kInputs / 2);
    for (auto _ : state) {
        sigFirSetDelay_cf32(fir, history.data());  // as the decoder does before every frame
        sigFir_cf32(x.data(), y.data(), kInputs / 2, fir);
        benchmark::DoNotOptimize(y.data());
    }
    setCounters(state, kInputs / 2);
    sigFree(buf);
    sigCpuSlot = saved;
}

void BM_liquid(benchmark::State& state, int taps)
{
    std::vector<float> h = lowPass(taps);
    firdecim_crcf q = firdecim_crcf_create(2, h.data(), taps);
    const std::vector<cf32> in = signal(kInputs);
    std::vector<std::complex<float>> x(kInputs), y(kInputs / 2);
    for (int i = 0; i < kInputs; ++i)
        x[i] = {in[i].re, in[i].im};
    for (auto _ : state) {
        firdecim_crcf_execute_block(q, x.data(), kInputs / 2, y.data());
        benchmark::DoNotOptimize(y.data());
    }
    setCounters(state, kInputs / 2);
    firdecim_crcf_destroy(q);
}

// The straightforward loop: history and input in one buffer, one output per two inputs.
void BM_naive(benchmark::State& state, int taps)
{
    const std::vector<float> real = lowPass(taps);
    std::vector<std::complex<float>> h(real.begin(), real.end());
    const std::vector<cf32> in = signal(kInputs);
    std::vector<std::complex<float>> buf(taps + kInputs), y(kInputs / 2);
    for (auto _ : state) {
        for (int i = 0; i < kInputs; ++i)
            buf[taps + i] = {in[i].re, in[i].im};
        for (int m = 0; m < kInputs / 2; ++m) {
            std::complex<float> sum = 0;
            const std::complex<float>* newest = &buf[taps + 2 * m];
            for (int k = 0; k < taps; ++k)
                sum += h[k] * newest[-k];
            y[m] = sum;
        }
        std::copy(buf.end() - taps, buf.end(), buf.begin());
        benchmark::DoNotOptimize(y.data());
    }
    setCounters(state, kInputs / 2);
}

// The direct-form kernel alone: 4096 outputs (the in-place chunk of slots 1-4), the window and
// the outputs 64-byte aligned, the lane-replicated table of a complex low-pass.
void BM_firBlock(benchmark::State& state, int taps, int slot)
{
    if (!slotRuns(slot)) {
        state.SkipWithError("this processor cannot run the slot");
        return;
    }
    constexpr int kOutputs = 4096;
    const std::vector<float> real = lowPass(taps);
    float* table = reinterpret_cast<float*>(sigMalloc_cf32(4 * taps));
    for (int k = 0; k < taps; ++k) {
        const float re = real[k], im = 0.25f * real[k];
        const float entry[8] = {re, re, re, re, -im, im, -im, im};
        std::copy(entry, entry + 8, table + 8 * k);
    }
    const std::vector<cf32> in = signal(kOutputs + taps - 1);
    cf32* x = sigMalloc_cf32(kOutputs + taps - 1);
    cf32* y = sigMalloc_cf32(kOutputs);
    std::copy(in.begin(), in.end(), x);
    for (auto _ : state) {
        fir_block::kPerSlot[slot](table, x, y, kOutputs, taps);
        benchmark::DoNotOptimize(y);
        benchmark::ClobberMemory();
    }
    setCounters(state, kOutputs);
    sigFree(y);
    sigFree(x);
    sigFree(table);
}

int registerAll()
{
    for (int taps : {48, 36}) {
        const std::string shape = std::to_string(taps) + "taps_down2";
        for (int slot = 0; slot <= 6; ++slot)
            benchmark::RegisterBenchmark(("sigFir_cf32/" + shape + "/slot" + std::to_string(slot)).c_str(),
                                         BM_sigFir, taps, slot);
        benchmark::RegisterBenchmark(("liquid_firdecim_crcf/" + shape).c_str(), BM_liquid, taps);
        benchmark::RegisterBenchmark(("naive_loop/" + shape).c_str(), BM_naive, taps);
    }
    for (int taps : {1, 3, 8, 48})
        for (int slot = 1; slot <= 6; ++slot)
            benchmark::RegisterBenchmark(("sigkFirBlock_cf32/" + std::to_string(taps) + "taps/slot" +
                                          std::to_string(slot)).c_str(),
                                         BM_firBlock, taps, slot);
    return 0;
}
const int registered = registerAll();

}  // namespace

BENCHMARK_MAIN();
