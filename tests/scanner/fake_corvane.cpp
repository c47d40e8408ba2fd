// A stand-in decoder library for the worker and engine tests: it counts the calls it gets and
// returns a chosen cell after a chosen number of frames.
#include "fake_corvane.h"

struct CellDecoder {
    int frames = 0;
    BcchInfo info{};
};

extern "C" __attribute__((visibility("default"))) FakeCorvaneState fakeCorvaneState;
FakeCorvaneState fakeCorvaneState;

#ifndef FAKE_CORVANE_WITHOUT_TABLE
namespace {
FakeCorvaneState& st = fakeCorvaneState;

CellDecoder* create(const float*)
{
    ++st.creates;
    if (st.createsBeforeFailure == 0)
        return nullptr;
    if (st.createsBeforeFailure > 0)
        --st.createsBeforeFailure;
    return new CellDecoder;
}
int setLevelOffset(CellDecoder*, const float*) { return 1; }
void reset(CellDecoder* d)
{
    ++st.resets;
    d->frames = 0;
}
const BcchInfo* pushFrame(CellDecoder* d, const cf32*)
{
    ++st.pushes;
    if (st.framesToDecode < 0 || ++d->frames < st.framesToDecode)
        return nullptr;
    d->info = st.cell;
    return &d->info;
}
const BcchInfo* getResult(CellDecoder*) { return nullptr; }
void destroy(CellDecoder* d)
{
    ++st.destroys;
    delete d;
}
const int* blockLen()
{
    static const int n = GSM_FRAME_SAMPLES;
    return &n;
}
}  // namespace

extern "C" __attribute__((visibility("default"))) const GsmVtab GSM_vtab = {
    create, setLevelOffset, reset, pushFrame, getResult, destroy, blockLen};
#endif
