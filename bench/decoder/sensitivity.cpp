// Sensitivity table of the decoder: from a cold start (a new decoder, random frame number and
// start sample), the share of trials that return the right cell identity within 816 frames,
// against Es/N0, for several carrier offsets, a 20 ppm sample clock and a two-path channel.
// Writes a text table to standard output (bench/results/ keeps it).
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "cell_run.h"
#include "core_vtab.h"

namespace {

constexpr int kFrameBudget = 816;
constexpr int kTrials = 10;
const double kEsN0[] = {0, 1, 2, 3, 4, 5, 6, 8, 10, 12};

struct Condition {
    const char* name;
    double offsetHz;   // uniform within +-offsetHz when spread, else exactly offsetHz
    bool spread;
    double ppm;        // sample clock error, with a random sign
    bool twoPath;
};

const Condition kConditions[] = {
    {"+-15 kHz", 15000.0, true, 0.0, false},  {"-30 kHz", -30000.0, false, 0.0, false},
    {"+30 kHz", 30000.0, false, 0.0, false},  {"-45 kHz", -45000.0, false, 0.0, false},
    {"+45 kHz", 45000.0, false, 0.0, false},  {"-60 kHz", -60000.0, false, 0.0, false},
    {"+60 kHz", 60000.0, false, 0.0, false},  {"20 ppm", 15000.0, true, 20.0, false},
    {"2-path", 15000.0, true, 0.0, true},
};
constexpr int kConds = sizeof kConditions / sizeof kConditions[0];
constexpr int kRows = sizeof kEsN0 / sizeof kEsN0[0];

struct Cell {
    int ok = 0, wrong = 0;
    std::vector<int> frames;
};

// The generator's SNR for an Es/N0 of the GMSK signal at two samples per symbol (noise over
// twice the symbol rate).
double snrForEsN0(double esn0Db) { return esn0Db - 10.0 * std::log10(2.0); }

// One trial; returns frames to the identity (0: none, -1: a wrong identity).
int trial(int row, int cond, int k)
{
    std::mt19937 rng(static_cast<uint32_t>(1000003 * row + 7919 * cond + k));
    const Condition& C = kConditions[cond];
    gsmsig::Cell cell = cell_run::randomCell(rng);
    gsmsig::Impairments imp;
    imp.timingOffsetSamples = std::uniform_real_distribution<double>(0.0, 2500.0)(rng);
    imp.phaseRad = std::uniform_real_distribution<double>(0.0, 6.28)(rng);
    imp.carrierOffsetHz =
        C.spread ? std::uniform_real_distribution<double>(-C.offsetHz, C.offsetHz)(rng) : C.offsetHz;
    imp.sampleClockPpm = rng() % 2 ? C.ppm : -C.ppm;
    if (C.twoPath) {
        imp.echo.delaySymbols = 1.0;
        imp.echo.gain = std::pow(10.0, -3.0 / 20.0);
        imp.echo.phaseRad = std::uniform_real_distribution<double>(0.0, 6.28)(rng);
    }
    imp.snrDb = snrForEsN0(kEsN0[row]);
    imp.seed = rng();
    auto x = gsmsig::generateFrames(cell, kFrameBudget, rng() % gsmsig::kHyperframe, imp);
    CellDecoder* dec = kCoreVtab.GSM_create(nullptr);
    kCoreVtab.GSM_reset(dec);
    cell_run::Outcome o = cell_run::run(kCoreVtab, dec, x, false);
    kCoreVtab.GSM_destroy(dec);
    if (o.framesToIdentity < 0)
        return 0;
    return cell_run::identityMatches(o.info, cell) ? o.framesToIdentity : -1;
}

}  // namespace

int main()
{
    std::vector<Cell> table(kRows * kConds);
    std::atomic<int> next{0};
    std::mutex m;
    const int jobs = kRows * kConds * kTrials;
    auto worker = [&] {
        for (int j; (j = next.fetch_add(1)) < jobs;) {
            int row = j / (kConds * kTrials), cond = j / kTrials % kConds, k = j % kTrials;
            int r = trial(row, cond, k);
            std::lock_guard<std::mutex> lock(m);
            Cell& c = table[row * kConds + cond];
            if (r > 0) {
                ++c.ok;
                c.frames.push_back(r);
            } else if (r < 0) {
                ++c.wrong;
            }
        }
    };
    std::vector<std::thread> threads;
    unsigned n = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < n; ++i)
        threads.emplace_back(worker);
    for (auto& t : threads)
        t.join();

    std::printf("Decoder sensitivity: cell identity (MCC, MNC, LAC, CI) within %d frames from a cold\n"
                "start (new decoder, random frame number, start sample, phase and cell), %d trials per\n"
                "entry; entries are successes/%d and the median frames to the identity. Carrier offset\n"
                "+-15 kHz: uniform within; 20 ppm: sample clock error of either sign with such an\n"
                "offset; 2-path: a second path 1 symbol later at -3 dB with such an offset.\n"
                "Es/N0 = generator SNR + 3.01 dB (noise over twice the symbol rate).\n\n",
                kFrameBudget, kTrials, kTrials);
    std::printf("| Es/N0 dB |");
    for (const Condition& c : kConditions)
        std::printf(" %-10s |", c.name);
    std::printf("\n|---------:|");
    for (int i = 0; i < kConds; ++i)
        std::printf("-----------:|");
    std::printf("\n");
    int wrong = 0;
    for (int r = 0; r < kRows; ++r) {
        std::printf("| %8.0f |", kEsN0[r]);
        for (int c = 0; c < kConds; ++c) {
            Cell& e = table[r * kConds + c];
            wrong += e.wrong;
            std::sort(e.frames.begin(), e.frames.end());
            int med = e.frames.empty() ? 0 : e.frames[e.frames.size() / 2];
            char buf[32];
            std::snprintf(buf, sizeof buf, "%d/%d (%d)", e.ok, kTrials, med);
            std::printf(" %-10s |", buf);
        }
        std::printf("\n");
    }
    std::printf("\nWrong identities returned: %d\n", wrong);
    return 0;
}
