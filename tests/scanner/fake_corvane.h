// The stand-in decoder library's controls and counters, shared with the tests through dlsym.
#pragma once

#include <dlfcn.h>

#include <atomic>
#include <stdexcept>

#include "corvane.h"

struct FakeCorvaneState {
    std::atomic<int> framesToDecode{5};   // frames pushed until the cell is returned; -1: never
    std::atomic<int> createsBeforeFailure{-1};   // GSM_create calls that succeed; -1: all
    BcchInfo cell{};
    std::atomic<int> creates{0}, resets{0}, pushes{0}, destroys{0};
};

// The state of the libcorvane.so first on LD_LIBRARY_PATH, which must be the stand-in.
inline FakeCorvaneState& fakeCorvane()
{
    static void* lib = dlopen("libcorvane.so", RTLD_NOW);
    auto* state = lib ? static_cast<FakeCorvaneState*>(dlsym(lib, "fakeCorvaneState")) : nullptr;
    if (state == nullptr)
        throw std::runtime_error("the stand-in libcorvane.so is not first on LD_LIBRARY_PATH");
    return *state;
}
