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
    std::mt19937 rng(41);
    std::vector<Job> jobs(4);
    for (Job& j : jobs) {
        j.cell = cell_run::randomCell(rng);
        const gsmsig::Impairments imp = cell_run::randomImpairments(rng, 15.0);
        j.signal = gsmsig::generateFrames(j.cell, 5 * 51 + 10, rng() % gsmsig::kHyperframe, imp);
    }
    return jobs;
}

// The block length is read on every thread too: it must be a constant, not a store per call.
void decode(const GsmVtab& gsm, Job& j)
{
    EXPECT_EQ(*gsm.GSM_getBlockLen(), 1920);
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

    std::vector<Job> alone = makeJobs(), together = alone;
    for (Job& j : alone)
        decode(*gsm, j);
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
