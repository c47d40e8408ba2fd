// Reaching the stand-in decoder library's controls from a test.
#pragma once

#include <dlfcn.h>

#include <stdexcept>

#include "corvane.h"

struct FakeCorvane {
    struct Counts {
        int creates, resets, pushes, destroys;
    };

    FakeCorvane()
    {
        lib = dlopen("libcorvane.so", RTLD_NOW);
        if (lib == nullptr || dlsym(lib, "fakeCorvaneSet") == nullptr)
            throw std::runtime_error("the stand-in libcorvane.so is not first on LD_LIBRARY_PATH");
    }
    ~FakeCorvane()
    {
        if (lib)
            dlclose(lib);
    }
    void set(int frames, const BcchInfo* info = nullptr, bool failCreate = false)
    {
        auto fn = reinterpret_cast<void (*)(int, const BcchInfo*, int)>(dlsym(lib, "fakeCorvaneSet"));
        fn(frames, info, failCreate);
    }
    Counts counts()
    {
        int c[4];
        reinterpret_cast<void (*)(int*)>(dlsym(lib, "fakeCorvaneCounts"))(c);
        return Counts{c[0], c[1], c[2], c[3]};
    }
    void* lib;
};
