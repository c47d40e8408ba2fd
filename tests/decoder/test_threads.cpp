// Four decoders on four threads give exactly what each gives alone: the library shares
// nothing between objects but the equaliser's constant tables.
#include <gtest/gtest.h>
#include <dlfcn.h>

#include <cstring>
#include <thread>

#include "cell_run.h"

namespace {

struct Job {
    gsmsig::Cell cell;
    std::vector<gsmsig::cf32> signal;
    cell_run::Outcome outcome;
};

std::vector<Job> makeJobs()
{
    std::vector<Job> jobs(4);
    for (int i = 0; i < 4; ++i) {
        Job& j = jobs[i];
        j.cell.mcc = 200 + i;
        j.cell.mnc = 10 + i;
        j.cell.mncDigits = 2 + (i & 1);
        j.cell.lac = static_cast<uint16_t>(0x1000 * (i + 1));
        j.cell.ci = static_cast<uint16_t>(77 * (i + 1));
        j.cell.bsic = static_cast<uint8_t>(9 * i + 3);
        j.cell.channels = {1 + i, 30 + i};
        gsmsig::Impairments imp;
        imp.timingOffsetSamples = 400.5 * i + 13.0;
        imp.carrierOffsetHz = 3000.0 * (i - 2);
        imp.snrDb = 12.0;
        imp.seed = 100 + i;
        j.signal = gsmsig::generateFrames(j.cell, 5 * 51, 51 * 8 * i + 2, imp);
    }
    return jobs;
}

void decode(const GsmVtab& gsm, Job& j)
{
    CellDecoder* dec = gsm.GSM_create(nullptr);
    gsm.GSM_reset(dec);
    j.outcome = cell_run::run(gsm, dec, j.signal, false);
    gsm.GSM_destroy(dec);
}

TEST(Threads, FourDecodersAtOnceEqualOneAtATime)
{
    void* lib = dlopen(CORVANE_SO, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    const auto* gsm = static_cast<const GsmVtab*>(dlsym(lib, "GSM_vtab"));
    ASSERT_NE(gsm, nullptr);

    std::vector<Job> alone = makeJobs();
    for (Job& j : alone)
        decode(*gsm, j);
    std::vector<Job> together = makeJobs();
    std::vector<std::thread> threads;
    for (Job& j : together)
        threads.emplace_back([&] { decode(*gsm, j); });
    for (std::thread& t : threads)
        t.join();

    for (size_t i = 0; i < alone.size(); ++i) {
        const cell_run::Outcome& a = alone[i].outcome;
        const cell_run::Outcome& b = together[i].outcome;
        ASSERT_GT(a.framesToIdentity, 0) << i;
        EXPECT_TRUE(cell_run::identityMatches(a.info, alone[i].cell)) << i;
        EXPECT_EQ(a.framesToIdentity, b.framesToIdentity) << i;
        EXPECT_EQ(0, std::memcmp(&a.info, &b.info, sizeof a.info)) << i;
    }
    dlclose(lib);
}

}  // namespace
