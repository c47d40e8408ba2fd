// Shared by the FIR tests: random signals, the double-precision polyphase reference, a
// multi-rate record in an owned buffer, and guard pages.
#pragma once

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "fir/fir_record.h"
#include "sigprim.h"

namespace firtest {

using cd = std::complex<double>;

inline std::vector<cf32> randomSignal(std::mt19937& rng, size_t count)
{
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<cf32> v(count);
    for (auto& c : v)
        c = cf32{u(rng), u(rng)};
    return v;
}

// y[m] = sum over k of h[k] x_up[m D + pd - k], x_up[q U + pu] = x[q]; x[q] for q < 0 is the
// history. `signal` holds the history (oldest first, `history` values) then the input.
// Also returns, per output, the sum of |h||x| that bounds its rounding error.
struct Reference {
    std::vector<cd> y;
    std::vector<double> magnitude;
};

inline Reference polyphase(const std::vector<cf32>& h, int U, int pu, int D, int pd,
                           const std::vector<cf32>& signal, int history, int64_t outputs)
{
    Reference ref;
    ref.y.resize(outputs);
    ref.magnitude.resize(outputs);
    const int64_t T = static_cast<int64_t>(h.size());
    for (int64_t m = 0; m < outputs; ++m) {
        cd sum = 0;
        double mag = 0;
        for (int64_t k = 0; k < T; ++k) {
            const int64_t p = m * D + pd - k - pu;
            if (((p % U) + U) % U != 0)
                continue;
            const int64_t q = (p >= 0 ? p / U : -((-p + U - 1) / U));
            if (q < -history)
                ADD_FAILURE() << "window reaches beyond the history at output " << m;
            if (q + history < 0 || q + history >= static_cast<int64_t>(signal.size()))
                continue;
            const cf32 x = signal[q + history];
            const cd hx = cd(h[k].re, h[k].im) * cd(x.re, x.im);
            sum += hx;
            mag += std::abs(cd(h[k].re, h[k].im)) * std::abs(cd(x.re, x.im));
        }
        ref.y[m] = sum;
        ref.magnitude[m] = mag;
    }
    return ref;
}

// History given most recent first, followed by the input: the signal the reference reads.
inline std::vector<cf32> joined(const std::vector<cf32>& recentFirst, const cf32* in, size_t len)
{
    std::vector<cf32> s(recentFirst.rbegin(), recentFirst.rend());
    s.insert(s.end(), in, in + len);
    return s;
}

// Expects out[i] == ref within single-precision summation error of `terms` products, or within
// absFloor (a transform's error scales with the whole block, not with each output).
inline void expectNear(const Reference& ref, const cf32* out, int64_t count, int terms,
                       const char* what, double absFloor = 0)
{
    const double eps = std::ldexp(1.0, -23);
    int64_t bad = 0;
    for (int64_t i = 0; i < count; ++i) {
        const double tol = std::max((terms + 4) * eps * ref.magnitude[i] * 2, absFloor) + 1e-30;
        const double err = std::abs(cd(out[i].re, out[i].im) - ref.y[i]);
        if (!(err <= tol) && bad++ < 5)
            ADD_FAILURE() << what << ": output " << i << " is (" << out[i].re << ", " << out[i].im
                          << "), reference (" << ref.y[i].real() << ", " << ref.y[i].imag()
                          << "), error " << err << " > " << tol;
    }
    EXPECT_EQ(bad, 0) << what;
}

// A multi-rate record in a buffer of the size the query reports, placed `misalign` bytes past
// a 64-byte boundary, with canary bytes behind it.
class MrRecord {
public:
    MrRecord(const std::vector<cf32>& taps, int U, int pu, int D, int pd, const cf32* dly,
             int misalign = 0)
    {
        int32_t size = 0;
        EXPECT_EQ(sigFirMrGetSize_cf32(static_cast<int32_t>(taps.size()), U, D, &size), sigOk);
        size_ = size;
        storage_.assign(size_t(size) + 64 + kCanary + 64, 0xa5);
        auto base = reinterpret_cast<uintptr_t>(storage_.data());
        buf_ = storage_.data() + ((64 - base % 64) % 64) + misalign;
        std::memset(buf_, 0x5a, size_t(size));
        status_ = sigFirMrInit_cf32(&state_, taps.data(), static_cast<int32_t>(taps.size()), U,
                                    pu, D, pd, dly, buf_);
    }
    sigFirMrState_cf32* state() const { return state_; }
    sigStatus status() const { return status_; }
    int32_t size() const { return size_; }
    // The canary behind the reported size is intact.
    bool canaryIntact() const
    {
        for (int i = 0; i < kCanary; ++i)
            if (buf_[size_ + i] != 0xa5)
                return false;
        return true;
    }

private:
    static constexpr int kCanary = 64;
    std::vector<uint8_t> storage_;
    uint8_t* buf_ = nullptr;
    int32_t size_ = 0;
    sigFirMrState_cf32* state_ = nullptr;
    sigStatus status_ = -1;
};

// Readable pages with an inaccessible page on each side: `data` starts right after the lower
// guard page (front) or ends right before the upper one (back).
class GuardedBlock {
public:
    explicit GuardedBlock(size_t bytes)
    {
        page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        inner_ = (bytes + page_ - 1) / page_ * page_;
        total_ = inner_ + 2 * page_;
        void* p = mmap(nullptr, total_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        base_ = static_cast<uint8_t*>(p);
        mprotect(base_, page_, PROT_NONE);
        mprotect(base_ + page_ + inner_, page_, PROT_NONE);
        bytes_ = bytes;
    }
    ~GuardedBlock() { munmap(base_, total_); }
    GuardedBlock(const GuardedBlock&) = delete;
    GuardedBlock& operator=(const GuardedBlock&) = delete;
    uint8_t* front() const { return base_ + page_; }
    uint8_t* back() const { return base_ + page_ + inner_ - bytes_; }

private:
    size_t page_, inner_, total_, bytes_;
    uint8_t* base_;
};

// Error floor of an FFT-mode output: about log2(N) roundings of the largest |h||x| sum.
inline double fftFloor(const std::vector<cf32>& h, int order)
{
    double sum = 0;
    for (const cf32& t : h)
        sum += std::abs(cd(t.re, t.im));
    return 8.0 * (order + 1) * std::ldexp(1.0, -23) * sum * std::sqrt(2.0);
}

}  // namespace firtest
