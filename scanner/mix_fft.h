// The level path's transform: an N = a * m point DFT (a a power of two up to 256, m from 3
// to 7) built from m radix-2 FFTs of the primitives, twiddles and an m-point DFT by matrix,
// with the Hann window before it and a half swap after it (bin N/2 is the capture centre).
#pragma once

#include <cstdint>

#include "sigprim.h"

class Rad2Fft {
public:
    explicit Rad2Fft(int32_t order);
    ~Rad2Fft();
    Rad2Fft(const Rad2Fft&) = delete;
    Rad2Fft& operator=(const Rad2Fft&) = delete;

    void setOrder(int32_t order);
    sigStatus fwd(cf32* x);   // in place, unscaled
    int32_t order() const { return order_; }
    bool ok() const { return spec_ != nullptr; }

private:
    void build();
    void release();

    int32_t order_;
    int32_t size_;
    uint8_t* work_ = nullptr;
    sigFftSpec_cf32* spec_ = nullptr;   // at the start of its block: released through it
};

class MixFft {
public:
    explicit MixFft(int32_t n);
    void config(int32_t n);
    void window(cf32* x);
    void fwd(cf32* x);
    void swapHalves(cf32* x);

    int32_t size() const { return size_; }
    int32_t pow2() const { return pow2_; }
    int32_t radix() const { return radix_; }
    const cf32* scratch() const { return scratch_; }

private:
    static constexpr int kMaxPow2 = 256;
    static constexpr int kTwiddlePitch = 7;
    static constexpr int kMatrix = 12;

    Rad2Fft rad2_;
    int32_t size_ = -1, pow2_ = -1, radix_ = -1;
    cf32* scratch_ = nullptr;   // from the scratch pool, entry 0
    cf32 twiddle_[kMaxPow2][kTwiddlePitch] = {};
    cf32 dftMatrix_[kMatrix][kMatrix] = {};
};
