// libcorvane.so as the scanner loads it: one exported symbol, the entry table in its order, its
// primitives bound inside it whatever this program's dispatch slot says; and four decoders on
// four threads give exactly what each gives alone (the library shares nothing between objects
// but constant tables). Also run under ThreadSanitizer by tools/run-tsan.sh.
#include <gtest/gtest.h>
#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "cell_run.h"

namespace {

// The library's table, loaded for the life of a scope.
struct Library {
    Library() : handle(dlopen(CORVANE_SO, RTLD_NOW | RTLD_LOCAL))
    {
        EXPECT_NE(handle, nullptr) << dlerror();
        gsm = handle ? static_cast<const GsmVtab*>(dlsym(handle, "GSM_vtab")) : nullptr;
    }
    ~Library()
    {
        if (handle)
            dlclose(handle);
    }
    void* handle;
    const GsmVtab* gsm;
};

TEST(Library, ExportsGsmVtabAloneAndItsTableDrivesADecoder)
{
    std::vector<std::string> names;
    if (FILE* p = popen((std::string("nm -D --defined-only -j ") + CORVANE_SO).c_str(), "r")) {
        for (char line[256]; fgets(line, sizeof line, p);)
            names.emplace_back(line, strcspn(line, "\n"));
        pclose(p);
    }
    EXPECT_EQ(names, std::vector<std::string>{"GSM_vtab"});

    Library lib;
    const GsmVtab* gsm = lib.gsm;
    ASSERT_NE(gsm, nullptr);
    for (auto fn : {(void*)gsm->GSM_create, (void*)gsm->GSM_setLevelOffset, (void*)gsm->GSM_reset,
                    (void*)gsm->GSM_pushFrame, (void*)gsm->GSM_getResult, (void*)gsm->GSM_destroy,
                    (void*)gsm->GSM_getBlockLen})
        ASSERT_NE(fn, nullptr);
    EXPECT_EQ(*gsm->GSM_getBlockLen(), 1920);
    EXPECT_EQ(gsm->GSM_getBlockLen(), gsm->GSM_getBlockLen());

    // This program's slot must not reach into the library.
    const int32_t saved = sigCpuSlot;
    sigCpuSlot = 6;
    CellDecoder* dec = gsm->GSM_create(nullptr);
    ASSERT_NE(dec, nullptr);
    const float ten = 10.0f, tooHigh = 51.0f;
    EXPECT_EQ(gsm->GSM_setLevelOffset(dec, &ten), 1);
    EXPECT_EQ(gsm->GSM_setLevelOffset(dec, &tooHigh), 0);
    gsm->GSM_reset(dec);
    std::vector<float> frame(2 * GSM_FRAME_SAMPLES, 0.25f);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(gsm->GSM_pushFrame(dec, reinterpret_cast<const cf32*>(frame.data())), nullptr);
    EXPECT_EQ(gsm->GSM_getResult(dec), nullptr);
    gsm->GSM_destroy(dec);
    sigCpuSlot = saved;
}

struct Job {
    gsmsig::Cell cell;
    std::vector<gsmsig::cf32> signal;
    cell_run::Outcome outcome;
};

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
    Library lib;
    ASSERT_NE(lib.gsm, nullptr);
    std::mt19937 rng(41);
    std::vector<Job> alone(4);
    for (Job& j : alone) {
        j.cell = cell_run::randomCell(rng);
        const gsmsig::Impairments imp = cell_run::randomImpairments(rng, 15.0);
        j.signal = gsmsig::generateFrames(j.cell, 5 * 51 + 10, rng() % gsmsig::kHyperframe, imp);
    }
    std::vector<Job> together = alone;
    for (Job& j : alone)
        decode(*lib.gsm, j);
    std::vector<std::thread> threads;
    for (Job& j : together)
        threads.emplace_back([&] { decode(*lib.gsm, j); });
    for (std::thread& t : threads)
        t.join();

    for (size_t i = 0; i < alone.size(); ++i) {
        SCOPED_TRACE(i);
        const cell_run::Outcome& a = alone[i].outcome;
        ASSERT_GT(a.framesToIdentity, 0);
        EXPECT_TRUE(cell_run::identityMatches(a.info, alone[i].cell));
        EXPECT_EQ(a.framesToIdentity, together[i].outcome.framesToIdentity);
        EXPECT_EQ(0, std::memcmp(&a.info, &together[i].outcome.info, sizeof a.info));
    }
}

}  // namespace
