// Complex dot product, multiply and tone of every slot beside every VOLK kernel of the same
// operation, in one run, lengths 256 to 1M, and the FFT-mode filter's in-place spectrum multiply
// of slots 4 to 6 at its block lengths. The closing table sets slot 6 against the fastest VOLK
// kernel at each length (time ratio below 1: slot 6 faster).
#include "slot_support.h"
#include <benchmark/benchmark.h>
#include <volk/volk.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "repeated_runs.h"
#include "sigprim.h"

// The in-place spectrum multiply, an internal kernel of each slot.
#define MUL_IN_PLACE_DECLARE(ns) \
    namespace sig::ns { sigStatus sigkMulInPlace_cf32(const cf32* src, cf32* srcDst, int32_t len); }
MUL_IN_PLACE_DECLARE(s4) MUL_IN_PLACE_DECLARE(s5) MUL_IN_PLACE_DECLARE(s6)
#undef MUL_IN_PLACE_DECLARE

namespace {

const int kLengths[] = {256, 1024, 4096, 16384, 65536, 262144, 1048576};
constexpr float kRelFreq = 0.0123f;
constexpr double kTwoPi = 6.283185307179586;

using testing_slots::slotRuns;

// Three 64-byte-aligned vectors of the largest length, filled once with a noisy signal, and
// quarter turns, whose products are exact: a vector multiplied by them over and over in place
// keeps its magnitude (no overflow, no subnormals to slow the runs down).
struct Buffers {
    cf32* a;
    cf32* b;
    cf32* d;
    cf32* turns;
    Buffers()
    {
        int n = kLengths[std::size(kLengths) - 1];
        a = sigMalloc_cf32(n);
        b = sigMalloc_cf32(n);
        d = sigMalloc_cf32(n);
        turns = sigMalloc_cf32(n);
        const cf32 quarter[4] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
        for (int i = 0; i < n; ++i) {
            a[i] = cf32{std::cos(0.01f * i), std::sin(0.013f * i)};
            b[i] = cf32{std::sin(0.007f * i) + 0.5f, std::cos(0.002f * i)};
            d[i] = cf32{1.0f, 0.0f};
            turns[i] = quarter[(i * 7 / 3) % 4];
        }
    }
};

Buffers& buffers()
{
    static Buffers b;
    return b;
}

lv_32fc_t* lv(cf32* p) { return reinterpret_cast<lv_32fc_t*>(p); }

template <class Fn>
void add(const std::string& name, Fn fn)
{
    reportBest(benchmark::RegisterBenchmark(name.c_str(), fn));
}

void finish(benchmark::State& state, int len)
{
    state.SetItemsProcessed(state.iterations() * len);
    state.SetBytesProcessed(state.iterations() * len * int64_t(sizeof(cf32)));
}

void registerSig(int slot)
{
    std::string s = "sig_s" + std::to_string(slot);
    constexpr decltype(&sig::s4::sigkMulInPlace_cf32) kInPlace[7] = {
        nullptr, nullptr, nullptr, nullptr, sig::s4::sigkMulInPlace_cf32, sig::s5::sigkMulInPlace_cf32,
        sig::s6::sigkMulInPlace_cf32};
    for (int len : kLengths) {
        if (kInPlace[slot] != nullptr && len <= 65536) {
            add(("mulInPlace/" + s + "/" + std::to_string(len)), [inPlace = kInPlace[slot], len](benchmark::State& st) {
                Buffers& B = buffers();
                for (auto _ : st) {
                    inPlace(B.turns, B.d, len);
                    benchmark::ClobberMemory();
                }
                finish(st, len);
            });
        }
        add(("dot/" + s + "/" + std::to_string(len)), [slot, len](benchmark::State& st) {
            Buffers& B = buffers();
            sigCpuSlot = slot;
            cf32 r;
            for (auto _ : st) {
                sigDotProd_cf32(B.a, B.b, len, &r);
                benchmark::DoNotOptimize(r);
            }
            finish(st, len);
        });
        add(("mul/" + s + "/" + std::to_string(len)), [slot, len](benchmark::State& st) {
            Buffers& B = buffers();
            sigCpuSlot = slot;
            for (auto _ : st) {
                sigMul_cf32(B.a, B.b, B.d, len);
                benchmark::ClobberMemory();
            }
            finish(st, len);
        });
        add(("tone/" + s + "/" + std::to_string(len)), [slot, len](benchmark::State& st) {
            Buffers& B = buffers();
            sigCpuSlot = slot;
            float phase = 0.0f;
            for (auto _ : st) {
                sigTone_cf32(B.d, len, 1.0f, kRelFreq, &phase, 1);
                benchmark::ClobberMemory();
            }
            finish(st, len);
        });
    }
}

void registerVolk()
{
    volk_func_desc_t dot = volk_32fc_x2_dot_prod_32fc_get_func_desc();
    volk_func_desc_t mul = volk_32fc_x2_multiply_32fc_get_func_desc();
    volk_func_desc_t rot = volk_32fc_s32fc_x2_rotator_32fc_get_func_desc();
    for (int len : kLengths) {
        for (size_t i = 0; i < dot.n_impls; ++i) {
            std::string impl = dot.impl_names[i];
            add(("dot/volk_" + impl + "/" + std::to_string(len)), [impl, len](benchmark::State& st) {
                Buffers& B = buffers();
                lv_32fc_t r;
                for (auto _ : st) {
                    volk_32fc_x2_dot_prod_32fc_manual(&r, lv(B.a), lv(B.b), len, impl.c_str());
                    benchmark::DoNotOptimize(r);
                }
                finish(st, len);
            });
        }
        for (size_t i = 0; i < mul.n_impls; ++i) {
            std::string impl = mul.impl_names[i];
            add(("mul/volk_" + impl + "/" + std::to_string(len)), [impl, len](benchmark::State& st) {
                Buffers& B = buffers();
                for (auto _ : st) {
                    volk_32fc_x2_multiply_32fc_manual(lv(B.d), lv(B.a), lv(B.b), len, impl.c_str());
                    benchmark::ClobberMemory();
                }
                finish(st, len);
            });
        }
        for (size_t i = 0; i < rot.n_impls; ++i) {
            std::string impl = rot.impl_names[i];
            add(("tone/volk_rotator_" + impl + "/" + std::to_string(len)), [impl, len](benchmark::State& st) {
                Buffers& B = buffers();
                double w = kRelFreq * kTwoPi;
                lv_32fc_t inc(float(std::cos(w)), float(std::sin(w))), phase(1.0f, 0.0f);
                // The rotator turns an input of ones: the same tone, written over a second buffer.
                for (auto _ : st) {
                    volk_32fc_s32fc_x2_rotator_32fc_manual(lv(B.b), lv(B.d) , inc, &phase, len, impl.c_str());
                    benchmark::ClobberMemory();
                }
                finish(st, len);
            });
        }
    }
}

// Keeps the best time per call of every benchmark, for the closing comparison.
class Collector : public benchmark::ConsoleReporter {
public:
    Collector() : ConsoleReporter(OO_Tabular) {}   // plain text: the output goes to a results file
    std::map<std::string, double> ns;
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs) {
            if (r.error_occurred)
                continue;
            bool single = r.run_type == Run::RT_Iteration && r.repetitions <= 1;
            bool best = r.run_type == Run::RT_Aggregate && r.aggregate_name == "min";
            if (single || best)
                ns[r.run_name.str()] = r.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

void summary(const Collector& c)
{
    std::printf("\nSlot 6 against the fastest VOLK kernel (best ns per call over the repetitions; ratio < 1: slot 6 faster)\n");
    std::printf("%-5s %8s %12s %12s %-26s %7s\n", "op", "length", "slot 6", "VOLK best", "VOLK kernel", "ratio");
    for (const char* op : {"dot", "mul", "tone"}) {
        for (int len : kLengths) {
            std::string suffix = "/" + std::to_string(len), prefix = std::string(op) + "/";
            auto mine = c.ns.find(prefix + "sig_s6" + suffix);
            double best = 1e300;
            std::string bestName;
            for (const auto& [name, t] : c.ns) {
                if (name.rfind(prefix + "volk_", 0) == 0 && name.size() > suffix.size() &&
                    name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0 && t < best) {
                    best = t;
                    bestName = name.substr(prefix.size() + 5, name.size() - prefix.size() - 5 - suffix.size());
                }
            }
            if (mine == c.ns.end() || bestName.empty())
                continue;
            std::printf("%-5s %8d %12.1f %12.1f %-26s %7.3f\n", op, len, mine->second, best, bestName.c_str(),
                        mine->second / best);
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    for (int slot = 0; slot < 7; ++slot)
        if (slotRuns(slot))
            registerSig(slot);
    registerVolk();
    initRepeatedRuns(argc, argv);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    summary(collector);
    benchmark::Shutdown();
    return 0;
}
