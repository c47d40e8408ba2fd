// A stand-in decoder library for the worker and engine tests: it counts the calls it gets and
// returns a chosen cell after a chosen number of frames.
#include <atomic>

#include "corvane.h"

struct CellDecoder {
    int frames = 0;
    BcchInfo info{};
};

namespace {
std::atomic<int> framesToDecode{5};
std::atomic<int> creates{0}, resets{0}, pushes{0}, destroys{0};
std::atomic<bool> failCreate{false};
BcchInfo cell{};

CellDecoder* create(const float*)
{
    ++creates;
    return failCreate ? nullptr : new CellDecoder;
}
int setLevelOffset(CellDecoder*, const float*) { return 1; }
void reset(CellDecoder* d)
{
    ++resets;
    d->frames = 0;
}
const BcchInfo* pushFrame(CellDecoder* d, const cf32*)
{
    ++pushes;
    if (framesToDecode < 0 || ++d->frames < framesToDecode)
        return nullptr;
    d->info = cell;
    return &d->info;
}
const BcchInfo* getResult(CellDecoder*) { return nullptr; }
void destroy(CellDecoder* d)
{
    ++destroys;
    delete d;
}
const int* blockLen() { static const int n = GSM_FRAME_SAMPLES; return &n; }
}  // namespace

extern "C" {
#ifndef FAKE_CORVANE_WITHOUT_TABLE
__attribute__((visibility("default"))) const GsmVtab GSM_vtab = {
    create, setLevelOffset, reset, pushFrame, getResult, destroy, blockLen};
#endif

// Controls for the tests, looked up with dlsym (see fake_corvane.h).
__attribute__((visibility("default"))) void fakeCorvaneSet(int frames, const BcchInfo* info, int fail)
{
    framesToDecode = frames;
    if (info)
        cell = *info;
    failCreate = fail != 0;
}

__attribute__((visibility("default"))) void fakeCorvaneCounts(int* out)
{
    for (int v : {creates.load(), resets.load(), pushes.load(), destroys.load()})
        *out++ = v;
}
}
