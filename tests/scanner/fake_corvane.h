// Reaching the stand-in decoder library's controls from a test.
#pragma once

#include <dlfcn.h>

#include <stdexcept>

#include "corvane.h"

struct FakeCorvane {
    struct Counts {
        int creates, resets, pushes, destroys;
    };

    FakeCorvane() : lib(dlopen("libcorvane.so", RTLD_NOW))
    {
        if (lib == nullptr || dlsym(lib, "fakeCorvaneSet") == nullptr)
            throw std::runtime_error("the stand-in libcorvane.so is not first on LD_LIBRARY_PATH");
    }
    ~FakeCorvane() { dlclose(lib); }
    // Frames until the cell is returned (-1: never), the cell, and whether GSM_create fails.
    void set(int frames, const BcchInfo* info = nullptr, bool failCreate = false)
    {
        reinterpret_cast<void (*)(int, const BcchInfo*, int)>(dlsym(lib, "fakeCorvaneSet"))(frames, info, failCreate);
    }
    Counts counts()
    {
        int c[4];
        reinterpret_cast<void (*)(int*)>(dlsym(lib, "fakeCorvaneCounts"))(c);
        return Counts{c[0], c[1], c[2], c[3]};
    }
    void* lib;
};
