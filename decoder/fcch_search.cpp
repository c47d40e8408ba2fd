// The FCCH searches and the spectral peak estimator.
#include "fcch_search.h"

#include <algorithm>
#include <cmath>

#include "prim0.h"

namespace corvane {

namespace {
constexpr float kEnergyFloor = 1.1920929e-07f;
constexpr float kTwoOverPi = 0.63661975f;
constexpr int kCoarseStep = 64;
constexpr int kFineHalf = 64;

float energy(cf32 c) { return c.re * c.re + c.im * c.im; }
int wrapBin(int k) { return k & (kSyncFftLen - 1); }   // non-negative modulo 256

void windowSpectrum(const cf32* w, const SyncRef& r, SyncBank* bank, cf32* buf)
{
    prim::sigMul_cf32(w, r.ref, buf, r.knownLen);
    std::fill(buf + r.knownLen, buf + kSyncFftLen, cf32{0.0f, 0.0f});
    prim::sigFftFwd_cf32(buf, buf, bank->fftSpec, bank->fftWork);
}

float windowScore(const cf32* w, const SyncRef& r, SyncBank* bank, cf32* buf)
{
    windowSpectrum(w, r, bank, buf);
    double n = 0.0;
    prim::sigNormL2_cf32(w, r.knownLen, &n);
    return static_cast<float>(fcchPeak(buf, r.binWidth, nullptr) / (n * n + kEnergyFloor));
}
}  // namespace

bool initSyncBank(SyncBank* bank)
{
    int32_t specSize = 0, initSize = 0, workSize = 0;
    prim::sigFftGetSize_cf32(kSyncFftOrder, 8, 1, &specSize, &initSize, &workSize);
    bank->fftSpecBlock = prim::sigMalloc_u8(specSize);
    uint8_t* init = initSize > 0 ? prim::sigMalloc_u8(initSize) : nullptr;
    bank->fftWork = workSize > 0 ? prim::sigMalloc_u8(workSize) : nullptr;
    bool ok = bank->fftSpecBlock && (initSize <= 0 || init) && (workSize <= 0 || bank->fftWork);
    bank->fftSpec = nullptr;
    if (ok)
        prim::sigFftInit_cf32(&bank->fftSpec, kSyncFftOrder, 8, 1, bank->fftSpecBlock, init);
    prim::sigFree(init);
    return ok && bank->fftSpec;
}

void releaseSyncBank(SyncBank* bank)
{
    prim::sigFree(bank->fftSpecBlock);
    prim::sigFree(bank->fftWork);
    bank->fftSpecBlock = nullptr;
    bank->fftWork = nullptr;
    bank->fftSpec = nullptr;
}

float fcchPeak(const cf32* X, int W, int16_t* bin)
{
    float best = energy(X[0]);
    int k = 0;
    for (int i = 1; i < W; ++i)
        if (energy(X[i]) > best) {
            best = energy(X[i]);
            k = i;
        }
    for (int j = 1; j < W; ++j)
        if (energy(X[kSyncFftLen - j]) > best) {
            best = energy(X[kSyncFftLen - j]);
            k = -j;
        }
    float up = energy(X[wrapBin(k + 1)]), down = energy(X[wrapBin(k - 1)]);
    if (bin)
        *bin = static_cast<int16_t>(k);
    return best + (up > down ? up : down);
}

float peakInterp(const cf32* X, int k)
{
    float lo = energy(X[wrapBin(k - 1)]);
    float hi = energy(X[wrapBin(k + 1)]);
    float c = energy(X[wrapBin(k)]);
    // An empty spectrum (all-zero block) has no peak to interpolate: 0/0 would be a NaN that
    // the frequency correction carries into every later channel.
    float ratio = c > 0.0f ? std::fabs(hi - lo) / c : 0.0f;
    float d = kTwoOverPi * std::atan(ratio);
    if (hi < lo)
        d = -d;
    return (static_cast<float>(k) + d) * kBinHz;
}

bool fcchCoarse(const cf32* burst, const SyncRef& r, SyncBank* bank)
{
    alignas(64) cf32 buf[kSyncFftLen];
    const cf32* base = burst + r.knownStart;
    float best = 0.0f;
    int bestK = 0;
    for (int k = 0; k < 1250; k += kCoarseStep) {
        float score = windowScore(base + k, r, bank, buf);
        if (score > best) {
            best = score;
            bestK = k;
        }
    }
    if (!(std::sqrt(best / static_cast<float>(r.knownLen)) >= r.threshold))
        return false;
    bank->sync.offset = static_cast<int16_t>(bestK);
    windowSpectrum(base + bestK, r, bank, buf);
    int16_t bin = 0;
    fcchPeak(buf, r.binWidth, &bin);
    bank->sync.freqHz = peakInterp(buf, bin);
    return true;
}

void fcchFine(const cf32* burst, const SyncRef& r, SyncBank* bank)
{
    alignas(64) cf32 buf[kSyncFftLen];
    const int o = bank->sync.offset;
    const cf32* base = burst + r.knownStart + o - kFineHalf;
    float best = 0.0f;
    int bestK = 0;
    for (int k = 0; k <= 2 * kFineHalf; ++k) {
        float score = windowScore(base + k, r, bank, buf);
        if (score > best) {
            best = score;
            bestK = k;
        }
    }
    bank->sync.offset = static_cast<int16_t>(o + bestK - kFineHalf);
}

float fcchFreq(const cf32* burst, const SyncRef& r, SyncBank* bank)
{
    alignas(64) cf32 buf[kSyncFftLen];
    windowSpectrum(burst + r.knownStart, r, bank, buf);
    int16_t bin = 0;
    fcchPeak(buf, r.binWidth, &bin);
    return peakInterp(buf, bin);
}

}  // namespace corvane
