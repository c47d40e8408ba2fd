// libcorvane.so as the scanner loads it: one exported symbol, the entry table in its order, and
// its primitives bound inside it whatever this program's dispatch slot says.
#include <gtest/gtest.h>
#include <dlfcn.h>

#include <cstdio>
#include <string>
#include <vector>

#include "corvane.h"
#include "sigprim.h"

namespace {

struct Library {
    Library() : handle(dlopen(CORVANE_SO, RTLD_NOW | RTLD_LOCAL)) {}
    ~Library()
    {
        if (handle)
            dlclose(handle);
    }
    const GsmVtab* vtab() const { return static_cast<const GsmVtab*>(dlsym(handle, "GSM_vtab")); }
    void* handle;
};

std::string run(const std::string& cmd)
{
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return out;
    char buf[256];
    while (fgets(buf, sizeof buf, p))
        out += buf;
    pclose(p);
    return out;
}

TEST(Library, ExportsGsmVtabAlone)
{
    std::string syms = run(std::string("nm -D --defined-only ") + CORVANE_SO);
    std::vector<std::string> names;
    size_t pos = 0;
    while (pos < syms.size()) {
        size_t end = syms.find('\n', pos);
        std::string line = syms.substr(pos, end - pos);
        pos = end == std::string::npos ? syms.size() : end + 1;
        if (line.empty())
            continue;
        names.push_back(line.substr(line.rfind(' ') + 1));
    }
    ASSERT_EQ(names.size(), 1u) << syms;
    EXPECT_EQ(names[0], "GSM_vtab");
}

TEST(Library, EntryTableDrivesADecoder)
{
    Library lib;
    ASSERT_NE(lib.handle, nullptr) << dlerror();
    const GsmVtab* gsm = lib.vtab();
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
}

}  // namespace
