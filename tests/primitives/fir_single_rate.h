// A single-rate FIR record ('FI02') for the tests. Nothing in the library builds one; the filter
// accepts it, so this builder lays out what the filter reads: reversed taps (word 1, the plain
// slot), the lane-replicated tap table (word 13, slots 1-6), a delay line of tapsLen history
// samples with room behind it, the scratch, and for FFT mode a forward FFT record of fftLen
// points (built for the slot that is current at construction, inverse scaled by 1/N), the filter
// spectrum and the block and work buffers.
#pragma once

#include <cstdint>
#include <vector>

#include "fir/fir_record.h"
#include "sigprim.h"

namespace firtest {

class SingleRateRecord {
public:
    // fftOrder < 0: direct form only. dly: tapsLen history samples, most recent first, or NULL.
    SingleRateRecord(const std::vector<cf32>& h, int fftOrder, const cf32* dly = nullptr)
    {
        const int T = static_cast<int>(h.size());
        const int C = (T + 3) / 4 * 4;
        fftLen_ = fftOrder < 0 ? -1 : 1 << fftOrder;
        taps_.resize(T);
        for (int k = 0; k < T; ++k)
            taps_[k] = h[T - 1 - k];
        table_.resize(8 * size_t(T));
        for (int k = 0; k < T; ++k) {
            const float r = h[k].re, i = h[k].im;
            const float entry[8] = {r, r, r, r, -i, i, -i, i};
            std::copy(entry, entry + 8, table_.begin() + 8 * k);
        }
        line_.assign(size_t(T) + C + 1, cf32{0, 0});
        scratch_.resize(4224);
        rec_.tag = kFirTagSingleRate;
        rec_.taps = taps_.data();
        rec_.tapTable = reinterpret_cast<cf32*>(table_.data());
        rec_.dlyLine = line_.data();
        rec_.tapsLen = T;
        rec_.dlyExt = C;
        rec_.fftLen = fftLen_;
        rec_.dlyOffset = 0;
        rec_.dlyLen = T;
        rec_.scratch = scratch_.data();
        if (fftLen_ > 0)
            planFft(h, fftOrder);
        if (dly != nullptr)
            sigFirSetDelay_cf32(&rec_, dly);
    }
    SingleRateRecord(const SingleRateRecord&) = delete;
    SingleRateRecord& operator=(const SingleRateRecord&) = delete;
    ~SingleRateRecord() { sigFree(spec_); sigFree(init_); }

    sigFirState_cf32* state() { return &rec_; }
    const std::vector<cf32>& line() const { return line_; }
    bool fftReady() const { return fftOk_; }
    // Leaves the work buffer to the transforms, which then allocate one per call.
    void dropWorkBuffer() { rec_.fftWork = nullptr; }

private:
    // Flag 2: the inverse scales by 1/N, so forward, product with the spectrum of the
    // zero-padded taps and inverse give the circular convolution with h.
    void planFft(const std::vector<cf32>& h, int order)
    {
        int32_t specSize = 0, initSize = 0, workSize = 0;
        if (sigFftGetSize_cf32(order, 2, 0, &specSize, &initSize, &workSize) != sigOk)
            return;
        spec_ = sigMalloc_u8(specSize);
        init_ = initSize > 0 ? sigMalloc_u8(initSize) : nullptr;
        sigFftSpec_cf32* spec = nullptr;
        if (sigFftInit_cf32(&spec, order, 2, 0, spec_, init_) != sigOk)
            return;
        spectrum_.assign(size_t(fftLen_), cf32{0, 0});
        std::copy(h.begin(), h.end(), spectrum_.begin());
        if (sigFftFwd_cf32(spectrum_.data(), spectrum_.data(), spec, nullptr) != sigOk)
            return;
        block_.resize(size_t(fftLen_));
        work_.resize(size_t(workSize));
        rec_.fftSpec = spec;
        rec_.fftTaps = spectrum_.data();
        rec_.fftBuf = block_.data();
        rec_.fftWork = workSize > 0 ? work_.data() : nullptr;
        fftOk_ = true;
    }

    sigFirRecord_cf32 rec_{};
    int fftLen_;
    bool fftOk_ = false;
    std::vector<cf32> taps_, line_, scratch_, spectrum_, block_;
    std::vector<float> table_;
    std::vector<uint8_t> work_;
    uint8_t* spec_ = nullptr;
    uint8_t* init_ = nullptr;
};

}  // namespace firtest
