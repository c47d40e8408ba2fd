// Complex FFT of 2^order points against single-precision FFTW planned with FFTW_MEASURE, in one
// run, every benchmark named <fwd|inv>/<inplace|outofplace>/<variant>/<order>:
//  - s0 .. s6, fftw: every slot beside FFTW, both directions, in place and out of place, orders
//    2 to 24 (from order 19 repeated fewer times: one transform there takes up to a few hundred
//    milliseconds).
//  - fftw-nosimd: FFTW without its SIMD codelets, the yardstick of the plain and SSE slots,
//    orders 2 to 17.
//  - SigFftPlanSlot0: the plain planner's own time, orders 4 to 20.
//  - cross/<fwd|inv>/<variant>/<order>: the cross-block passes of every slot (see below).
// Transforms are unscaled (flag 8), each side on its own 64-byte-aligned buffers of the same
// shape. The forward is the public entry run under the slot; the inverse has no public entry, so
// it is the slot's own, on a plan made through the public entries under that slot.
// fwd/inplace/s6/7 is the scanner's call.
// Counters: ns per transform (the time column) and mflops = 5 N log2(N) / t in microseconds, the
// usual FFT figure of merit. Every benchmark repeats in random interleaving (repeated_runs.h);
// tools/bench_fft_table.py turns the JSON output into GFLOP/s per order and mode.
#include "slot_support.h"
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fft_cross_block_kernels.h"
#include "repeated_runs.h"
#include "sigprim.h"

// The inverse transforms of every slot, declared as the library defines them.
#define BENCH_FFT_DECLARE_INVERSE(ns)                                                              \
    namespace sig::ns {                                                                            \
    sigStatus sigkFftInv_cf32(const cf32*, cf32*, const sigFftSpec_cf32*, uint8_t*);               \
    }
BENCH_FFT_DECLARE_INVERSE(s0)
BENCH_FFT_DECLARE_INVERSE(s1)
BENCH_FFT_DECLARE_INVERSE(s2)
BENCH_FFT_DECLARE_INVERSE(s3)
BENCH_FFT_DECLARE_INVERSE(s4)
BENCH_FFT_DECLARE_INVERSE(s5)
BENCH_FFT_DECLARE_INVERSE(s6)
#undef BENCH_FFT_DECLARE_INVERSE

// The cross-block passes: slot 0's (total, block length, table); the vector slots' come from
// fft_cross_block_kernels.h.
namespace sig::s0 {
void sigkFftCrossBlock_cf32(cf32*, ptrdiff_t, ptrdiff_t, const float*);
void sigkFftInvCrossBlock_cf32(cf32*, ptrdiff_t, ptrdiff_t, const float*);
}  // namespace sig::s0

namespace {

using Transform = sigStatus (*)(const cf32*, cf32*, const sigFftSpec_cf32*, uint8_t*);
constexpr Transform kInverse[7] = {sig::s0::sigkFftInv_cf32, sig::s1::sigkFftInv_cf32,
                                   sig::s2::sigkFftInv_cf32, sig::s3::sigkFftInv_cf32,
                                   sig::s4::sigkFftInv_cf32, sig::s5::sigkFftInv_cf32,
                                   sig::s6::sigkFftInv_cf32};

constexpr int kMinOrder = 2;
constexpr int kMaxOrderSse = 17;   // FFTW without SIMD
constexpr int kMinOrderLarge = 19; // every slot and FFTW from here on ...
constexpr int kMaxOrderLarge = 24; // ... up to here
constexpr int kRepetitionsLarge = 3;
constexpr int kMinOrderPlan = 4;
constexpr int kMaxOrderPlan = 20;

// Gaussian noise, the same values at every length (a longer signal extends a shorter one), drawn
// once for the longest length asked so far: at 2^24 points drawing it takes longer than timing.
const cf32* signal(size_t n)
{
    static std::vector<cf32> x;
    if (x.size() < n) {
        std::mt19937 rng(1);
        std::normal_distribution<float> noise;
        x.resize(n);
        for (cf32& v : x)
            v = {noise(rng), noise(rng)};
    }
    return x.data();
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
    sigStatus status;
    explicit SigPlan(int order)
    {
        int32_t s, i, w;
        status = sigFftGetSize_cf32(order, 8, 0, &s, &i, &w);
        if (status != sigOk)
            return;
        spec.resize(static_cast<size_t>(s));
        init.resize(static_cast<size_t>(i));
        work.resize(static_cast<size_t>(w));
        status = sigFftInit_cf32(&handle, order, 8, 0, spec.data(), init.empty() ? nullptr : init.data());
    }
};

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

// ---- Every slot against FFTW ---------------------------------------------------------------------

enum class Dir { Fwd, Inv };

struct AlignedFree {
    void operator()(cf32* p) const { std::free(p); }
};
using AlignedValues = std::unique_ptr<cf32[], AlignedFree>;

AlignedValues alignedValues(size_t n)
{
    const size_t bytes = (n * sizeof(cf32) + 63) & ~size_t{63};
    return AlignedValues(static_cast<cf32*>(std::aligned_alloc(64, bytes)));
}

// The buffers of one transform: src and dst (one buffer in place) and the input kept aside.
struct Buffers {
    const size_t n;
    const bool inPlace;
    const cf32* const input;
    AlignedValues a, b;
    Buffers(int order, bool inPlace)
        : n(size_t{1} << order), inPlace(inPlace), input(signal(n)), a(alignedValues(n)),
          b(inPlace ? nullptr : alignedValues(n))
    {
    }
    bool ok() const { return a && (inPlace || b); }
    cf32* src() const { return a.get(); }
    cf32* dst() const { return inPlace ? a.get() : b.get(); }
    void load() const { std::memcpy(a.get(), input, n * sizeof(cf32)); }
    bool outputFinite() const
    {
        for (size_t i = 0; i < n; ++i)
            if (!std::isfinite(dst()[i].re) || !std::isfinite(dst()[i].im))
                return false;
        return true;
    }
};

// An unscaled transform multiplies the norm of the data by sqrt(N), so one buffer transformed in
// place over and over would overflow within a few dozen calls and the loop would then time
// arithmetic on infinities and NaNs. In place, the input is copied back every 200 / order
// transforms: the growth stays below 2^100 and the data (|x| < 8, so a norm below
// 2^((order + 1) / 2 + 3)) well inside the float range, and the copy costs well under 1% of the
// transforms it serves. Both sides pay it alike.
template <class Run>
void timeTransforms(benchmark::State& state, int order, const Buffers& buf, Run transform)
{
    const int refresh = buf.inPlace ? 200 / order : 0;
    int since = 0;
    for (auto _ : state) {
        if (refresh != 0 && ++since == refresh) {
            buf.load();
            since = 0;
        }
        transform();
        benchmark::DoNotOptimize(buf.dst());
        benchmark::ClobberMemory();
    }
    if (!buf.outputFinite())
        state.SkipWithError("the output is not finite");
    setFlops(state, order);
}

void sigFftSlot(benchmark::State& state, int slot, Dir dir, bool inPlace)
{
    const int order = static_cast<int>(state.range(0));
    const int32_t saved = sigCpuSlot;
    sigCpuSlot = slot;
    const Transform transform = dir == Dir::Fwd ? sigFftFwd_cf32 : kInverse[slot];
    SigPlan plan(order);
    const Buffers buf(order, inPlace);
    uint8_t* work = plan.work.empty() ? nullptr : plan.work.data();
    if (plan.status != sigOk) {
        state.SkipWithError(("planning failed with status " + std::to_string(plan.status)).c_str());
    } else if (!buf.ok()) {
        state.SkipWithError("out of memory");
    } else {
        buf.load();
        const sigStatus status = transform(buf.src(), buf.dst(), plan.handle, work);
        buf.load();
        if (status != sigOk)
            state.SkipWithError(("the transform failed with status " + std::to_string(status)).c_str());
        else
            timeTransforms(state, order, buf, [&] { transform(buf.src(), buf.dst(), plan.handle, work); });
    }
    sigCpuSlot = saved;
}

void fftwfSide(benchmark::State& state, Dir dir, bool inPlace, unsigned flags)
{
    const int order = static_cast<int>(state.range(0));
    const Buffers buf(order, inPlace);
    if (!buf.ok()) {
        state.SkipWithError("out of memory");
        return;
    }
    fftwf_plan plan = fftwf_plan_dft_1d(1 << order, reinterpret_cast<fftwf_complex*>(buf.src()),
                                        reinterpret_cast<fftwf_complex*>(buf.dst()),
                                        dir == Dir::Fwd ? FFTW_FORWARD : FFTW_BACKWARD, flags);
    if (plan == nullptr) {
        state.SkipWithError("FFTW could not plan the transform");
        return;
    }
    buf.load();  // the planner's trial runs overwrote the buffers
    timeTransforms(state, order, buf, [&] { fftwf_execute(plan); });
    fftwf_destroy_plan(plan);
}

// ---- Cross-block passes ---------------------------------------------------------------------------

// cross/<fwd|inv>/<s0..s6>/<order>: blocks of 1024 points merged into one transform of 2^order
// points in place (order - 10 radix-2 stages, loop groups of 128 positions as on slot 0); mflops
// counts 5 N flops per stage.
constexpr int kCrossBlockOrder = 10;

void crossBlockSlot(benchmark::State& state, int slot, Dir dir)
{
    const int order = static_cast<int>(state.range(0));
    const int32_t n = 1 << order, span = 1 << kCrossBlockOrder;
    std::vector<float> table;  // e^(-j 2 pi i / n) as (cos, -sin), i < n/4
    for (int32_t i = 0; i < n / 4; ++i) {
        table.push_back(static_cast<float>(std::cos(2 * M_PI * i / n)));
        table.push_back(static_cast<float>(-std::sin(2 * M_PI * i / n)));
    }
    const Buffers buf(order, true);
    if (!buf.ok()) {
        state.SkipWithError("out of memory");
        return;
    }
    buf.load();
    const bool inverse = dir == Dir::Inv;
    if (slot == 0) {
        const auto plain = inverse ? sig::s0::sigkFftInvCrossBlock_cf32 : sig::s0::sigkFftCrossBlock_cf32;
        timeTransforms(state, order, buf, [&] { plain(buf.dst(), n, span, table.data()); });
    } else {
        const fft_cross_block::Kernel kernel = fft_cross_block::kPerSlot[slot][inverse];
        timeTransforms(state, order, buf, [&] { kernel(buf.dst(), n, span, table.data(), 1 - inverse, 256); });
    }
    state.counters["mflops"] = benchmark::Counter(5.0 * n * (order - kCrossBlockOrder) / 1e6 * state.iterations(),
                                                  benchmark::Counter::kIsRate);
}

// One registration per name and order span; the large orders repeat fewer times.
template <class... Args>
void registerSpan(const std::string& name, int from, int to, Args... args)
{
    const int split = std::min(to, kMinOrderLarge - 1);
    if (from <= split)
        reportBest(benchmark::RegisterBenchmark(name.c_str(), args...)->DenseRange(from, split));
    if (to >= kMinOrderLarge)
        reportBest(benchmark::RegisterBenchmark(name.c_str(), args...)
                       ->DenseRange(std::max(from, kMinOrderLarge), to)
                       ->Repetitions(kRepetitionsLarge));
}

int registerAll()
{
    reportBest(benchmark::RegisterBenchmark("SigFftPlanSlot0", SigFftPlanSlot0)
                   ->DenseRange(kMinOrderPlan, kMaxOrderPlan)
                   ->Unit(benchmark::kMicrosecond));
    for (Dir dir : {Dir::Fwd, Dir::Inv})
        for (bool inPlace : {true, false}) {
            const std::string mode =
                std::string(dir == Dir::Fwd ? "fwd/" : "inv/") + (inPlace ? "inplace/" : "outofplace/");
            for (int slot = 0; slot <= 6; ++slot)
                if (testing_slots::slotRuns(slot))
                    registerSpan(mode + "s" + std::to_string(slot), kMinOrder, kMaxOrderLarge, sigFftSlot,
                                 slot, dir, inPlace);
            registerSpan(mode + "fftw", kMinOrder, kMaxOrderLarge, fftwfSide, dir, inPlace,
                         unsigned{FFTW_MEASURE});
            registerSpan(mode + "fftw-nosimd", kMinOrder, kMaxOrderSse, fftwfSide, dir, inPlace,
                         unsigned{FFTW_MEASURE | FFTW_NO_SIMD});
        }
    for (Dir dir : {Dir::Fwd, Dir::Inv})
        for (int slot = 0; slot <= 6; ++slot)
            if (testing_slots::slotRuns(slot))
                reportBest(benchmark::RegisterBenchmark(
                               (std::string(dir == Dir::Fwd ? "cross/fwd/s" : "cross/inv/s") + std::to_string(slot)).c_str(),
                               crossBlockSlot, slot, dir)
                               ->Arg(11)
                               ->Arg(12)
                               ->Arg(14)
                               ->Arg(16));
    return 0;
}
const int registered = registerAll();

}  // namespace

int main(int argc, char** argv)
{
    initRepeatedRuns(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
