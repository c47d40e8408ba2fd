// Channel decoding: blocks decoded per second on one core (this decoder and libosmocore's
// gsm0503_xcch_decode side by side), and the block error rate against Eb/N0 of both on the
// same soft input, printed as a table before the timings.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "osmo_kit.h"

namespace {

using namespace osmo_kit;

constexpr double kCodeRate = 184.0 / 456.0; // information bits per coded bit, fire code included

// Noise deviation per coded bit of unit amplitude for a given Eb/N0 in dB.
float sigmaFor(double ebN0Db)
{
    double ebN0 = std::pow(10.0, ebN0Db / 10.0);
    return static_cast<float>(std::sqrt(1.0 / (2.0 * kCodeRate * ebN0)));
}

struct Block {
    std::array<uint8_t, kBlockOctets> octets;
    std::array<float, kBcchCodedBits> soft;
};

std::vector<Block> makeBlocks(int count, double ebN0Db, uint32_t seed, bool quantise)
{
    std::mt19937 rng(seed);
    std::vector<Block> blocks(count);
    for (auto& b : blocks) {
        for (auto& o : b.octets)
            o = static_cast<uint8_t>(rng());
        b.soft = toSoft(encodeBcch(b.octets), sigmaFor(ebN0Db), rng);
        if (quantise) // the values libosmocore's 8-bit soft bits can carry
            for (auto& v : b.soft)
                v = -toOsmo(v) * (kSoftMax / 127.0f);
    }
    return blocks;
}

void blerTable()
{
    constexpr int kBlocks = 40000;
    std::printf("Block error rate, BCCH (xCCH coding), soft BPSK in AWGN, %d blocks per point\n",
                kBlocks);
    std::printf("Both decoders get the same 8-bit soft values; 'float input' is this decoder on\n"
                "the unquantised values. A block counts as an error unless the parity passes\n"
                "and all 23 octets are right. 'only ours' / 'only theirs': blocks that just one\n"
                "of the two decoded (both are maximum-likelihood decoders; they part only on\n"
                "near-ties of path metrics).\n\n");
    std::printf("%8s %12s %12s %12s %10s %12s\n", "Eb/N0 dB", "corvane", "libosmocore",
                "float input", "only ours", "only theirs");
    for (int tenth = 0; tenth <= 60; tenth += 5) {
        double ebN0 = tenth / 10.0;
        auto blocks = makeBlocks(kBlocks, ebN0, 9000 + tenth, true);
        auto raw = makeBlocks(kBlocks, ebN0, 9000 + tenth, false);
        int ours = 0, theirs = 0, oursRaw = 0, onlyOurs = 0, onlyTheirs = 0;
        DeintArea area{};
        for (int i = 0; i < kBlocks; ++i) {
            uint8_t a[kBlockOctets], b[kBlockOctets], c[kBlockOctets];
            const auto& want = blocks[i].octets;
            bool okOurs = decodeBcch(blocks[i].soft.data(), &area, a) &&
                          std::memcmp(a, want.data(), kBlockOctets) == 0;
            bool okTheirs = osmoDecodeBcch(blocks[i].soft.data(), b) &&
                            std::memcmp(b, want.data(), kBlockOctets) == 0;
            ours += !okOurs;
            theirs += !okTheirs;
            onlyOurs += okOurs && !okTheirs;
            onlyTheirs += okTheirs && !okOurs;
            oursRaw += !(decodeBcch(raw[i].soft.data(), &area, c) &&
                         std::memcmp(c, want.data(), kBlockOctets) == 0);
        }
        std::printf("%8.1f %12.5f %12.5f %12.5f %10d %12d\n", ebN0, double(ours) / kBlocks,
                    double(theirs) / kBlocks, double(oursRaw) / kBlocks, onlyOurs, onlyTheirs);
    }
    std::printf("\n");
    std::fflush(stdout);
}

// Blocks at 3 dB: enough noise that the decoder works for its answer, most blocks pass.
const std::vector<Block>& benchBlocks()
{
    static const std::vector<Block> blocks = makeBlocks(256, 3.0, 4242, true);
    return blocks;
}

// One BCCH block per iteration through the given decoder; items are blocks.
template <typename Decode> void runBlocks(benchmark::State& state, Decode decode)
{
    const auto& blocks = benchBlocks();
    uint8_t octets[kBlockOctets];
    size_t i = 0, good = 0;
    for (auto _ : state) {
        good += decode(blocks[i].soft.data(), octets);
        benchmark::DoNotOptimize(octets);
        i = (i + 1) % blocks.size();
    }
    state.SetItemsProcessed(state.iterations());
    state.counters["passed"] = double(good) / double(state.iterations());
}

void BM_BcchBlock(benchmark::State& state)
{
    DeintArea area{};
    runBlocks(state,
              [&](const float* soft, uint8_t* octets) { return decodeBcch(soft, &area, octets); });
}
BENCHMARK(BM_BcchBlock);

void BM_BcchBlockOsmocom(benchmark::State& state)
{
    runBlocks(state, osmoDecodeBcch);
}
BENCHMARK(BM_BcchBlockOsmocom);

void BM_Viterbi228(benchmark::State& state)
{
    const auto& blocks = benchBlocks();
    BurstHead ctx{kindBcch, 0, 5};
    uint8_t bits[kMaxDecodedBits];
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(viterbiDecode(blocks[i].soft.data(), &ctx, bits));
        i = (i + 1) % blocks.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Viterbi228);

void BM_SchBurst(benchmark::State& state)
{
    std::mt19937 rng(77);
    std::vector<std::array<float, kSchCodedBits>> bursts;
    for (int i = 0; i < 256; ++i) {
        auto info = schOctets(rng() % 64, rng() % 2048, rng() % 26, rng() % 5);
        bursts.push_back(toSoft(encodeSch(info), sigmaFor(3.0), rng));
    }
    uint8_t octets[kBlockOctets];
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(decodeSch(bursts[i].data(), octets));
        i = (i + 1) % bursts.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SchBurst);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    blerTable();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
