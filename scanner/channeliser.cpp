#include "channeliser.h"

#include <cmath>
#include <mutex>

const int16_t CicDec::kFirTaps[kTaps] = {
    0,     -61,   -130, 17,    255,   39,    -478,  -177,  803,   455,   -1266, -980,
    1931,  2026,  -2962, -4624, 4656, 16787, 16787, 4656,  -4624, -2962, 2026,  1931,
    -980,  -1266, 455,  803,   -177,  -478,  39,    255,   17,    -130,  -61,   0};

CicDec::CicDec(int32_t ratio, int32_t outLen) : outLen_(outLen)
{
    int32_t r = ratio > 9 ? 10 : ratio <= 4 ? 4 : ratio;
    cicRate_ = r / 2;
    calcGain();

    int32_t size = 0;
    taps_ = sigMalloc_cs32(kTaps);
    delay_ = sigMalloc_cs16(kTaps);
    if (taps_ && delay_ && sigFirMrGetSize_cs16(kTaps, 1, 2, &size) == sigOk) {
        for (int i = 0; i < kTaps; ++i)
            taps_[i] = cs32{kFirTaps[i], 0};
        sigZero_cs16(delay_, kTaps);
        stateBuf_ = sigMalloc_u8(size);
        sigFirState_cs16* state = nullptr;
        if (stateBuf_ &&
            sigFirMrInit_cs16(&state, taps_, kTaps, 0, 1, 0, 2, 0, delay_, stateBuf_) == sigOk)
            firState_ = state;
    }
    cicBuf_ = outLen > 0 ? sigMalloc_cs16(2 * outLen) : nullptr;
    reset();
}

CicDec::~CicDec()
{
    sigFree(cicBuf_);
    sigFree(stateBuf_);
    sigFree(delay_);
    sigFree(taps_);
}

void CicDec::calcGain()
{
    float r = float(cicRate_);
    float g = r * (r * (r * (r * (r * r))));
    shift_ = 0;
    while (g >= 2.0f) {
        g *= 0.5f;
        ++shift_;
    }
    float q = 32768.0f / g;
    q = q > 32767.0f ? 32767.0f : q < -32768.0f ? -32768.0f : q;
    gainQ15_ = int16_t(q);
}

void CicDec::reset()
{
    for (auto& stage : integ_)
        stage[0] = stage[1] = 0;
    for (auto& stage : comb_)
        stage[0] = stage[1] = 0;
    if (cicBuf_)
        sigZero_cs16(cicBuf_, 2 * outLen_);
    if (firState_)
        sigFirSetDelay_cs16(firState_, delay_);
}

void CicDec::proc(cs16* dst, int32_t n, const cs16* src)
{
    if (!ok() || n <= 0)
        return;
    n = n > outLen_ ? outLen_ : n;   // the CIC buffer holds 2 * outLen samples
    for (int32_t o = 0; o < 2 * n; ++o) {
        // Registers wrap modulo 2^32 by design: unsigned arithmetic makes that defined.
        for (int32_t k = 0; k < cicRate_; ++k, ++src) {
            uint32_t x[2] = {uint32_t(int32_t(src->re)), uint32_t(int32_t(src->im))};
            for (int c = 0; c < 2; ++c) {
                integ_[0][c] += x[c];
                for (int s = 1; s < 6; ++s)
                    integ_[s][c] += integ_[s - 1][c];
            }
        }
        int16_t out[2];
        for (int c = 0; c < 2; ++c) {
            uint32_t v = integ_[5][c];
            for (int s = 0; s < 6; ++s) {
                uint32_t prev = comb_[s][c];
                comb_[s][c] = v;
                v -= prev;
            }
            int16_t y = int16_t(int32_t(v) >> (shift_ + 1));
            int16_t z = (y == -32768 && gainQ15_ == -32768)
                            ? int16_t(32767)
                            : int16_t((int32_t(y) * gainQ15_) >> 15);
            out[c] = int16_t(uint16_t(uint32_t(z) * 2u));
        }
        cicBuf_[o] = cs16{out[0], out[1]};
    }
    sigFir_cs16(cicBuf_, dst, n, firState_, 15);
}

namespace {

const float kPrototypeHalf[128] = {
    -0.00036301636f, -0.00024521202f, -7.8675184e-06f, 0.0002425217f,   0.00056069443f,
    0.00094366644f,  0.0014088681f,   0.0019523851f,   0.0025769751f,   0.0032704787f,
    0.0040224101f,   0.0048126243f,   0.0056200516f,   0.0064151725f,   0.007167669f,
    0.0078417212f,   0.0084017143f,   0.0088098263f,   0.0090311235f,   0.0090317046f,
    0.0087833768f,   0.0082631325f,   0.0074570337f,   0.0063595818f,   0.0049770181f,
    0.003326505f,    0.0014381927f,   -0.00064601965f, -0.0028714226f,  -0.0051728487f,
    -0.007475032f,   -0.0096956948f,  -0.011747089f,   -0.013540023f,   -0.014986239f,
    -0.016002925f,   -0.01651573f,    -0.016463274f,   -0.015799886f,   -0.01449956f,
    -0.01255803f,    -0.0099954428f,  -0.0068570348f,  -0.0032141209f,  0.00083715661f,
    0.0051770117f,   0.0096652508f,   0.014144556f,    0.018445769f,    0.02239305f,
    0.025810612f,    0.028529137f,    0.030393245f,    0.031268101f,    0.031046577f,
    0.029655108f,    0.027059373f,    0.023268119f,    0.018336358f,    0.012366257f,
    0.0055069504f,   -0.0020480941f,  -0.010064971f,   -0.01827571f,    -0.026385794f,
    -0.034083746f,   -0.041051503f,   -0.046976261f,   -0.051562399f,   -0.054544076f,
    -0.055697069f,   -0.054850265f,   -0.051895488f,   -0.046796043f,   -0.039592732f,
    -0.030407799f,   -0.019445699f,   -0.0069912681f,  0.0065955799f,   0.020887883f,
    0.035402976f,    0.049616221f,    0.062977537f,    0.07492952f,     0.084927313f,
    0.092458978f,    0.097066283f,    0.098364592f,    0.096061692f,    0.089974374f,
    0.080042467f,    0.066339254f,    0.049078289f,    0.028615637f,    0.0054477248f,
    -0.019795772f,   -0.046363573f,   -0.073399253f,   -0.099961728f,   -0.12504973f,
    -0.14762916f,    -0.16666311f,    -0.18114303f,    -0.19012086f,    -0.19274038f,
    -0.1882673f,     -0.17611682f,    -0.15587781f,    -0.1273327f,     -0.090472363f,
    -0.045505289f,   0.0071392083f,   0.066814311f,    0.13266531f,     0.20364559f,
    0.27853849f,     0.35598481f,     0.43451464f,     0.51258349f,     0.58861101f,
    0.66102129f,     0.72828418f,     0.78895557f,     0.84171575f,     0.88540524f,
    0.91905588f,     0.94191742f,     0.95347798f};

float prototypeTable[256];
std::once_flag prototypeBuilt;

}  // namespace

const float* FrcRsmp::prototype()
{
    std::call_once(prototypeBuilt, [] {
        for (int k = 0; k < 128; ++k)
            prototypeTable[k] = prototypeTable[255 - k] = kPrototypeHalf[k];
    });
    return prototypeTable;
}

FrcRsmp::FrcRsmp(int32_t blockLen, float inRate, double outRate) : blockLen_(blockLen)
{
    phaseStep_ = int32_t(std::floor(double(inRate) / outRate * 1048576.0 + 0.5));
    hist_ = sigMalloc_cf32(blockLen + kHistory);
    if (hist_)
        sigZero_cf32(hist_, blockLen + kHistory);
    const float* t = prototype();
    for (int q = 0; q < kPhases; ++q)
        for (int k = 0; k < 16; ++k)
            phaseBank_[q][k] = t[(15 - q) + 16 * k];
}

FrcRsmp::~FrcRsmp() { sigFree(hist_); }

int32_t FrcRsmp::proc(cf32* out, const cf32* in, int32_t n)
{
    if (hist_ == nullptr || n <= 0 || n > blockLen_)
        return 0;
    sigCopy_cf32(in, hist_ + kHistory, n);
    const uint64_t end = uint64_t(n) << 20;
    int32_t i = 0;
    while (acc_ < end) {
        uint32_t q = (acc_ >> 16) & 15;
        uint32_t p = acc_ >> 20;
        sigDotProd_f32cf32(phaseBank_[q], hist_ + p, 16, &out[i]);
        acc_ += uint32_t(phaseStep_);
        ++i;
    }
    acc_ -= uint32_t(end);
    sigCopy_cf32(hist_ + n, hist_, kHistory);
    return i;
}

float wrapAngle(float x)
{
    // Past 2^27 subtracting 2 pi leaves a float as it was, so the loops below would never end:
    // such an angle is reduced in one step first (an infinite one becomes no number).
    if (!(std::fabs(x) <= 134217728.0f))
        x = float(std::remainder(double(x), double(6.2831855f)));
    while (x > 3.1415927f)
        x -= 6.2831855f;
    while (x <= -3.1415927f)
        x += 6.2831855f;
    return x;
}
