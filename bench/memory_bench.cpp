// Copy, zero and move of every slot against memcpy, memset and memmove, 64 B to 64 MiB.
//
// Names: <op>/<variant>/<bytes>, variant "libc" or "s<k>"; "s<k>nt" runs slot k on a stand-in
// Intel processor that reports an 8 MiB cache, so the copies and fills above it stream (this
// machine's own cpuid never lets them). Bytes per second are reported per benchmark;
// tools/bench_memory_table.py turns the JSON output into glibc-over-slot ratios.
#include "slot_support.h"
#include <benchmark/benchmark.h>

#include <cpuid.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/cpu_hooks.h"
#include "mem_kernels.h"
#include "repeated_runs.h"
#include "sigprim.h"

namespace {

constexpr size_t kMaxBytes = size_t(64) << 20;

uint8_t* buffer(size_t which)
{
    static uint8_t* blocks[2] = {
        static_cast<uint8_t*>(std::aligned_alloc(64, kMaxBytes + 4096)),
        static_cast<uint8_t*>(std::aligned_alloc(64, kMaxBytes + 4096))};
    return blocks[which];
}

using testing_slots::slotRuns;

// An Intel processor with highest leaf 2 and one 8 MiB cache descriptor (0x47).
void intelCpuid(sigCpuidRecord* r, uint32_t leaf, uint32_t)
{
    if (leaf == 0)
        *r = {2, 0x756e6547u, 0x6c65746eu, 0x49656e69u};
    else if (leaf == 2)
        *r = {0x00004701u, 0, 0, 0};
    else
        *r = {0, 0, 0, 0};
}

// Swaps in the stand-in processor for one benchmark.
struct StandIn {
    explicit StandIn(bool on) : on_(on)
    {
        if (on_) {
            sigCpuHooks.cpuid = intelCpuid;
            sigCacheSizeReset();
        }
    }
    ~StandIn()
    {
        if (on_) {
            sigCpuHooks = sigCpuHooksNative;
            sigCacheSizeReset();
        }
    }
    bool on_;
};

enum class Op { Copy, Zero, Move };

// Moves shift by 256 bytes towards the start of a buffer: the overlapping case the decoder's
// delay lines see.
constexpr size_t kShift = 256;

void runLibc(benchmark::State& state, Op op)
{
    size_t n = size_t(state.range(0));
    uint8_t *a = buffer(0), *b = buffer(1);
    for (auto _ : state) {
        switch (op) {
        case Op::Copy: std::memcpy(b, a, n); break;
        case Op::Zero: std::memset(b, 0, n); break;
        case Op::Move: std::memmove(a, a + kShift, n); break;
        }
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(n));
}

void runSlot(benchmark::State& state, Op op, int slot, bool streaming)
{
    if (!slotRuns(slot)) {
        state.SkipWithError("this processor cannot run the slot");
        return;
    }
    StandIn standIn(streaming);
    const MemKernels& k = memKernels(slot);
    int32_t saved = sigCpuSlot;
    sigCpuSlot = slot;
    size_t n = size_t(state.range(0));
    uint8_t *a = buffer(0), *b = buffer(1);
    for (auto _ : state) {
        switch (op) {
        case Op::Copy:
            sigCopy_cf32(reinterpret_cast<cf32*>(a), reinterpret_cast<cf32*>(b), int32_t(n / 8));
            break;
        case Op::Zero: sigZero_cf32(reinterpret_cast<cf32*>(b), int32_t(n / 8)); break;
        case Op::Move: k.memMove(a + kShift, a, int32_t(n)); break;
        }
        benchmark::ClobberMemory();
    }
    sigCpuSlot = saved;
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(n));
}

void sizes(benchmark::internal::Benchmark* b)
{
    for (int64_t n = 64; n <= int64_t(kMaxBytes); n *= 4)
        b->Arg(n);
    reportBest(b);
}

int registerAll()
{
    const std::pair<const char*, Op> ops[] = {{"copy", Op::Copy}, {"zero", Op::Zero}, {"move", Op::Move}};
    for (auto [name, op] : ops) {
        std::string base = name;
        benchmark::RegisterBenchmark((base + "/libc").c_str(), runLibc, op)->Apply(sizes);
        for (int slot = 0; slot < 7; ++slot)
            benchmark::RegisterBenchmark((base + "/s" + std::to_string(slot)).c_str(), runSlot, op,
                                         slot, false)
                ->Apply(sizes);
        if (op != Op::Move)
            for (int slot : {4, 6})
                benchmark::RegisterBenchmark((base + "/s" + std::to_string(slot) + "nt").c_str(),
                                             runSlot, op, slot, true)
                    ->Apply(sizes);
    }
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
