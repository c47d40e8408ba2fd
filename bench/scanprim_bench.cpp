// The scanner's channeliser filter (36 taps, decimation by 2, scale factor 15, one 400,000-output
// call per channel) and its mixing tone (magnitude 3276, block hint, one 2.4 M-sample capture)
// per dispatch slot, each beside a naive loop that computes the same thing.
#include "slot_support.h"
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "sigprim.h"

namespace {

constexpr int kTaps = 36;
constexpr int16_t kHalf[18] = {0, -61, -130, 17, 255, 39, -478, -177, 803,
                               455, -1266, -980, 1931, 2026, -2962, -4624, 4656, 16787};
constexpr int32_t kFirOutputs = 400000;
constexpr int32_t kCapture = 2400000;

int16_t tap(int t) { return t < 18 ? kHalf[t] : kHalf[35 - t]; }

using testing_slots::slotRuns;

std::vector<cs16> noise(size_t n)
{
    std::vector<cs16> x(n);
    uint32_t s = 12345;
    for (cs16& v : x) {
        s = s * 1664525u + 1013904223u;
        v = cs16{int16_t(s >> 16), int16_t(s)};
    }
    return x;
}

int16_t roundShift15(int64_t acc)
{
    // acc / 2^15, half to even, saturated.
    int64_t q = acc >> 15;
    const int64_t rem = acc - (q << 15);
    if (rem > 16384 || (rem == 16384 && (q & 1)))
        ++q;
    return int16_t(q < -32768 ? -32768 : q > 32767 ? 32767 : q);
}

void firNaive(benchmark::State& state)
{
    const auto x = noise(size_t(2) * kFirOutputs + kTaps);
    std::vector<cs16> y(kFirOutputs);
    for (auto _ : state) {
        for (int32_t k = 0; k < kFirOutputs; ++k) {
            int64_t re = 0, im = 0;
            for (int t = 0; t < kTaps; ++t) {
                const cs16 v = x[size_t(2) * k + kTaps - 1 - t];
                re += int64_t(tap(t)) * v.re;
                im += int64_t(tap(t)) * v.im;
            }
            y[k] = cs16{roundShift15(re), roundShift15(im)};
        }
        benchmark::DoNotOptimize(y.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kFirOutputs) * 2);
    state.SetLabel("input samples/s");
}

void firSlot(benchmark::State& state, int slot)
{
    sigCpuSlot = slot;
    std::vector<cs32> taps(kTaps);
    for (int t = 0; t < kTaps; ++t)
        taps[t] = cs32{tap(t), 0};
    int32_t size = 0;
    sigFirMrGetSize_cs16(kTaps, 1, 2, &size);
    uint8_t* buf = sigMalloc_u8(size);
    sigFirState_cs16* fir = nullptr;
    if (sigFirMrInit_cs16(&fir, taps.data(), kTaps, 0, 1, 0, 2, 0, nullptr, buf) != sigOk) {
        state.SkipWithError("build failed");
        return;
    }
    const auto x = noise(size_t(2) * kFirOutputs);
    std::vector<cs16> y(kFirOutputs);
    for (auto _ : state) {
        sigFir_cs16(x.data(), y.data(), kFirOutputs, fir, 15);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kFirOutputs) * 2);
    state.SetLabel("input samples/s");
    sigFree(buf);
    sigCpuSlot = 0;
}

void toneNaive(benchmark::State& state)
{
    std::vector<cs16> y(kCapture);
    const double w = 2 * M_PI * 0.1234;
    for (auto _ : state) {
        for (int32_t n = 0; n < kCapture; ++n)
            y[n] = cs16{int16_t(std::lrint(3276 * std::cos(0.5 + w * n))),
                        int16_t(std::lrint(3276 * std::sin(0.5 + w * n)))};
        benchmark::DoNotOptimize(y.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kCapture));
}

void toneSlot(benchmark::State& state, int slot)
{
    sigCpuSlot = slot;
    std::vector<cs16> y(kCapture);
    for (auto _ : state) {
        float phase = 0.5f;
        sigTone_cs16(y.data(), kCapture, 3276, 0.1234f, &phase, 1);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kCapture));
    sigCpuSlot = 0;
}

void mulSlot(benchmark::State& state, int slot)
{
    sigCpuSlot = slot;
    const auto a = noise(kCapture);
    auto b = noise(kCapture);
    for (auto _ : state) {
        sigMul_cs16(a.data(), b.data(), b.data(), kCapture, 0);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * int64_t(kCapture));
    sigCpuSlot = 0;
}

const int registered = [] {
    benchmark::RegisterBenchmark("fir_channeliser/naive", firNaive)->Unit(benchmark::kMillisecond);
    for (int k = 0; k <= 6; ++k)
        if (slotRuns(k))
            benchmark::RegisterBenchmark(("fir_channeliser/slot" + std::to_string(k)).c_str(), firSlot, k)
                ->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("tone_capture/naive", toneNaive)->Unit(benchmark::kMillisecond);
    for (int k = 0; k <= 6; ++k)
        if (slotRuns(k))
            benchmark::RegisterBenchmark(("tone_capture/slot" + std::to_string(k)).c_str(), toneSlot, k)
                ->Unit(benchmark::kMillisecond);
    for (int k = 0; k <= 6; ++k)
        if (slotRuns(k))
            benchmark::RegisterBenchmark(("mul_capture/slot" + std::to_string(k)).c_str(), mulSlot, k)
                ->Unit(benchmark::kMillisecond);
    return 0;
}();

}  // namespace
