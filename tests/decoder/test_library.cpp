// libcorvane.so as the scanner loads it: one exported symbol, the entry table in its order, and
// its primitives bound inside it whatever this program's dispatch slot says.
#include <gtest/gtest.h>
#include <dlfcn.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "corvane.h"
#include "sigprim.h"

namespace {

TEST(Library, ExportsGsmVtabAlone)
{
    std::vector<std::string> names;
    if (FILE* p = popen((std::string("nm -D --defined-only ") + CORVANE_SO).c_str(), "r")) {
        char line[256];
        while (fgets(line, sizeof line, p)) {
            std::istringstream fields(line);
            std::string name;
            while (fields >> name) {}
            if (!name.empty())
                names.push_back(name);
        }
        pclose(p);
    }
    ASSERT_EQ(names.size(), 1u) << ::testing::PrintToString(names);
    EXPECT_EQ(names[0], "GSM_vtab");
}

TEST(Library, EntryTableDrivesADecoder)
{
    void* lib = dlopen(CORVANE_SO, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    const auto* gsm = static_cast<const GsmVtab*>(dlsym(lib, "GSM_vtab"));
    ASSERT_NE(gsm, nullptr);
    for (auto fn : {(void*)gsm->GSM_create, (void*)gsm->GSM_setLevelOffset, (void*)gsm->GSM_reset,
                    (void*)gsm->GSM_pushFrame, (void*)gsm->GSM_getResult, (void*)gsm->GSM_destroy,
                    (void*)gsm->GSM_getBlockLen})
        EXPECT_NE(fn, nullptr);
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
    dlclose(lib);
}

}  // namespace
