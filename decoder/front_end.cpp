// Front end of the decoder: decimation, frequency correction and mean power of one block.
#include "front_end.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "prim0.h"

namespace corvane {

namespace {
// Taps 0..23 of the symmetric 48-tap decimator; 24..47 mirror them.
constexpr float kHalfTaps[24] = {
    -0.00585178612f, -0.00541429827f, 0.00450954819f,  0.00626133941f, -0.000810986909f,
    -0.00929463282f, -0.00409673527f, 0.00863139704f,  0.0113259172f,  -0.0041882596f,
    -0.0168578289f,  -0.00582475634f, 0.0181958955f,   0.019179929f,   -0.0110486737f,
    -0.0328133404f,  -0.00687262742f, 0.0405128822f,   0.037860889f,   -0.0339611545f,
    -0.086669676f,   -0.00755778467f, 0.198560551f,    0.380176932f};

constexpr float kTwoPi = 6.2831855f;
constexpr int kPowerStart = 120;
}  // namespace

bool initFrontFir(FrontEnd* fe)
{
    float real[kFrontTaps];
    for (int k = 0; k < 24; ++k)
        real[k] = real[kFrontTaps - 1 - k] = kHalfTaps[k];
    fe->taps = prim::sigMalloc_cf32(kFrontTaps);
    fe->dlyImage = prim::sigMalloc_cf32(kFrontTaps);
    int32_t size = 0;
    prim::sigFirMrGetSize_cf32(kFrontTaps, 1, 2, &size);
    fe->firBlock = size > 0 ? prim::sigMalloc_u8(size) : nullptr;
    if (!fe->taps || !fe->dlyImage || !fe->firBlock)
        return false;
    prim::sigRealToCplx_f32(real, nullptr, fe->taps, kFrontTaps);
    std::fill(fe->dlyImage, fe->dlyImage + kFrontTaps, cf32{0.0f, 0.0f});
    fe->firState = nullptr;
    prim::sigFirMrInit_cf32(&fe->firState, fe->taps, kFrontTaps, 1, 0, 2, 0, fe->dlyImage,
                            fe->firBlock);
    if (!fe->firState)
        return false;
    prim::sigFirSetDelay_cf32(fe->firState, fe->dlyImage);
    return true;
}

void releaseFrontFir(FrontEnd* fe)
{
    prim::sigFree(fe->firBlock);
    prim::sigFree(fe->dlyImage);
    prim::sigFree(fe->taps);
    fe->firBlock = nullptr;
    fe->dlyImage = nullptr;
    fe->taps = nullptr;
    fe->firState = nullptr;
}

void frontEnd(FrontEnd* fe)
{
    // Every block starts from an all-zero delay line, independent of the block before.
    prim::sigFirSetDelay_cf32(fe->firState, fe->dlyImage);
    prim::sigFir_cf32(fe->inBuf, fe->firOut, kBlockOut, fe->firState);

    fe->held -= kFrameIn;
    if (fe->held > 0)
        std::memmove(fe->inBuf, fe->inBuf + kFrameIn, sizeof(cf32) * fe->held);

    double n = 0.0;
    prim::sigNormL2_cf32(fe->corr + kPowerStart, kFrameOut, &n);
    float c = static_cast<float>(n * n * 0.0008);
    fe->meanPower = fe->meanPower == 0.0f ? c : 0.75f * fe->meanPower + 0.25f * c;
    // Input that is not finite must not leave a NaN level behind for later channels.
    if (!std::isfinite(fe->meanPower))
        fe->meanPower = 0.0f;

    // A stored phase that rounded up to 2 pi (or anything else out of range) would make the
    // tone refuse every later call and leave corr stale; fold it back.
    if (!(fe->tonePhase >= 0.0f && fe->tonePhase < kTwoPi))
        fe->tonePhase = 0.0f;
    prim::sigTone_cf32(fe->corr, kBlockOut, 1.0f, fe->relFreq, &fe->tonePhase, 1);
    prim::sigMul_cf32(fe->corr, fe->firOut, fe->corr, kBlockOut);
}

void frontEndReset(FrontEnd* fe)
{
    fe->held = kResetHeld;
    std::memset(fe->inBuf, 0, sizeof(cf32) * kResetHeld);
    fe->readPos = kResetReadPos;
    fe->relFreq = 0.0f / fe->outRate;
    std::memset(fe->corr, 0, sizeof fe->corr);
}

void setCorrection(FrontEnd* fe, float f)
{
    if (!std::isfinite(f))
        return;
    // A true modulo into [0, 1): the one-step fold of the plain formula breaks for offsets
    // beyond the output rate, and a tiny positive offset rounds (rate - f) / rate up to 1.0,
    // which the tone refuses.
    float r = (f > 0.0f ? fe->outRate - f : -f) / fe->outRate;
    r -= std::floor(r);
    if (!(r >= 0.0f && r < 1.0f))
        r = 0.0f;
    fe->relFreq = r;
}

}  // namespace corvane
