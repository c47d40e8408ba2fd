// Forward complex FFT of 2^order points, out of place: the plain slot (slot 0) against
// single-precision FFTW planned with FFTW_MEASURE, with and without its SIMD codelets, in one run.
// Counters: ns per transform (the time column) and mflops = 5 N log2(N) / t in microseconds, the
// usual FFT figure of merit. The planner's own time per order is measured too.
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "sigprim.h"

namespace {

constexpr int kMinOrder = 4;
constexpr int kMaxOrder = 20;

std::vector<cf32> signal(size_t n)
{
    std::mt19937 rng(1);
    std::normal_distribution<float> noise;
    std::vector<cf32> x(n);
    for (cf32& v : x)
        v = {noise(rng), noise(rng)};
    return x;
}

void setFlops(benchmark::State& state, int order)
{
    const double n = std::ldexp(1.0, order);
    state.counters["mflops"] = benchmark::Counter(5.0 * n * order / 1e6 * state.iterations(),
                                                  benchmark::Counter::kIsRate);
}

struct SigPlan {
    std::vector<uint8_t> spec, init, work;
    sigFftSpec_cf32* handle = nullptr;
    explicit SigPlan(int order)
    {
        int32_t s, i, w;
        sigFftGetSize_cf32(order, 8, 0, &s, &i, &w);
        spec.resize(static_cast<size_t>(s));
        init.resize(static_cast<size_t>(i));
        work.resize(static_cast<size_t>(w));
        sigFftInit_cf32(&handle, order, 8, 0, spec.data(), init.empty() ? nullptr : init.data());
    }
};

void SigFftSlot0(benchmark::State& state)
{
    const int order = static_cast<int>(state.range(0));
    sigCpuSlot = 0;
    SigPlan plan(order);
    const std::vector<cf32> x = signal(size_t{1} << order);
    std::vector<cf32> y(x.size());
    uint8_t* work = plan.work.empty() ? nullptr : plan.work.data();
    for (auto _ : state) {
        sigFftFwd_cf32(x.data(), y.data(), plan.handle, work);
        benchmark::DoNotOptimize(y.data());
        benchmark::ClobberMemory();
    }
    setFlops(state, order);
}

void fftwf(benchmark::State& state, unsigned flags)
{
    const int order = static_cast<int>(state.range(0));
    const int n = 1 << order;
    auto* in = fftwf_alloc_complex(static_cast<size_t>(n));
    auto* out = fftwf_alloc_complex(static_cast<size_t>(n));
    fftwf_plan plan = fftwf_plan_dft_1d(n, in, out, FFTW_FORWARD, flags);
    const std::vector<cf32> x = signal(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        in[i][0] = x[static_cast<size_t>(i)].re;
        in[i][1] = x[static_cast<size_t>(i)].im;
    }
    for (auto _ : state) {
        fftwf_execute(plan);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    setFlops(state, order);
    fftwf_destroy_plan(plan);
    fftwf_free(in);
    fftwf_free(out);
}

void FftwfMeasure(benchmark::State& state) { fftwf(state, FFTW_MEASURE); }
void FftwfMeasureNoSimd(benchmark::State& state) { fftwf(state, FFTW_MEASURE | FFTW_NO_SIMD); }

void SigFftPlanSlot0(benchmark::State& state)
{
    const int order = static_cast<int>(state.range(0));
    sigCpuSlot = 0;
    SigPlan plan(order);
    for (auto _ : state) {
        sigFftSpec_cf32* handle;
        sigFftInit_cf32(&handle, order, 8, 0, plan.spec.data(),
                        plan.init.empty() ? nullptr : plan.init.data());
        benchmark::DoNotOptimize(handle);
    }
}

}  // namespace

BENCHMARK(SigFftSlot0)->DenseRange(kMinOrder, kMaxOrder);
BENCHMARK(FftwfMeasure)->DenseRange(kMinOrder, kMaxOrder);
BENCHMARK(FftwfMeasureNoSimd)->DenseRange(kMinOrder, kMaxOrder);
BENCHMARK(SigFftPlanSlot0)->DenseRange(kMinOrder, kMaxOrder)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
