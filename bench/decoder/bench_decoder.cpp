// Frames per second of one decoder on one core, while it searches for the FCCH (noise: every
// block is 20 windowed FFTs) and while it is synchronised to a carrier (every frame filtered,
// corrected and its burst, if any, equalised and decoded). Real time is 216.7 frames per
// second; the goal while synchronised is 50 times that, 10,800.
#include <benchmark/benchmark.h>

#include <random>

#include "cell_decoder.h"
#include "cell_run.h"
#include "core_vtab.h"

namespace {

constexpr double kRealTimeFrames = 541666.6875 / GSM_FRAME_SAMPLES;

const cf32* frameAt(const std::vector<gsmsig::cf32>& x, size_t f)
{
    return reinterpret_cast<const cf32*>(x.data()) + f * GSM_FRAME_SAMPLES;
}

void setCounters(benchmark::State& state)
{
    state.SetItemsProcessed(state.iterations());
    state.counters["frames_per_s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["x_realtime"] = benchmark::Counter(
        static_cast<double>(state.iterations()) / kRealTimeFrames, benchmark::Counter::kIsRate);
}

void BM_Searching(benchmark::State& state)
{
    std::mt19937 rng(1);
    std::normal_distribution<float> n(0.0f, 1.0f);
    std::vector<gsmsig::cf32> noise(64 * GSM_FRAME_SAMPLES);
    for (auto& v : noise)
        v = {n(rng), n(rng)};
    CellDecoder* dec = kCoreVtab.GSM_create(nullptr);
    kCoreVtab.GSM_reset(dec);
    size_t f = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(kCoreVtab.GSM_pushFrame(dec, frameAt(noise, f)));
        f = (f + 1) % 64;
    }
    if (dec->state != corvane::dsFcch)
        state.SkipWithError("left the search on noise");
    kCoreVtab.GSM_destroy(dec);
    setCounters(state);
}
BENCHMARK(BM_Searching);

void BM_Synchronised(benchmark::State& state)
{
    // No SI1 on this carrier: the decoder stays synchronised (never done) and keeps decoding.
    gsmsig::Cell c;
    c.mcc = 262;
    c.mnc = 2;
    c.lac = 0x1234;
    c.ci = 0x4321;
    c.bsic = 21;
    c.channels = {1, 2, 3};
    for (int tc = 0; tc < 8; ++tc)
        c.schedule[tc].content = tc % 2 ? gsmsig::BcchContent::si4 : gsmsig::BcchContent::si3;
    gsmsig::Impairments imp;
    imp.timingOffsetSamples = 1234.5;
    imp.carrierOffsetHz = 2500.0;
    imp.snrDb = 15.0;
    const size_t frames = 2048, leadIn = 60;
    auto x = gsmsig::generateFrames(c, static_cast<int>(frames), 0, imp);

    CellDecoder* dec = kCoreVtab.GSM_create(nullptr);
    auto synchronise = [&] {
        kCoreVtab.GSM_reset(dec);
        for (size_t f = 0; f < leadIn; ++f)
            kCoreVtab.GSM_pushFrame(dec, frameAt(x, f));
    };
    synchronise();
    size_t f = leadIn;
    for (auto _ : state) {
        benchmark::DoNotOptimize(kCoreVtab.GSM_pushFrame(dec, frameAt(x, f)));
        if (++f == frames) {
            state.PauseTiming();
            synchronise();
            f = leadIn;
            state.ResumeTiming();
        }
    }
    if (dec->state != corvane::dsSync)
        state.SkipWithError("lost synchronisation");
    kCoreVtab.GSM_destroy(dec);
    setCounters(state);
}
BENCHMARK(BM_Synchronised);

}  // namespace

BENCHMARK_MAIN();
