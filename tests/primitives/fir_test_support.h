// Shared by the FIR tests: random signals, the double-precision polyphase reference, records in
// owned buffers (multi-rate by the library's builder, single-rate laid out here), guard pages.
#pragma once

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

#include "fft_test_support.h"
#include "fir/fir_record.h"
#include "sigprim.h"
#include "slots.h"

namespace firtest {

// A test run once per slot with that slot dispatched; a slot this processor lacks is skipped.
class EverySlot : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { SIG_SKIP_UNLESS_SLOT_RUNS(GetParam()); }
    int slot() const { return GetParam(); }
    testing_slots::SlotScope scope_{GetParam()};
};

using cd = std::complex<double>;

inline std::vector<cf32> randomSignal(std::mt19937& rng, size_t count)
{
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::vector<cf32> v(count);
    for (auto& c : v)
        c = cf32{u(rng), u(rng)};
    return v;
}

// History given most recent first (as the delay loader takes it), then the input: the signal,
// oldest first, that the reference reads.
inline std::vector<cf32> joined(const std::vector<cf32>& recentFirst, const cf32* in, size_t len)
{
    std::vector<cf32> s(recentFirst.rbegin(), recentFirst.rend());
    s.insert(s.end(), in, in + len);
    return s;
}

// Per output the exact sum and the sum of |h||x| that bounds its rounding error.
struct Reference {
    std::vector<cd> y;
    std::vector<double> magnitude;
};

// y[m] = sum over k of h[k] x_up[m D + pd - k], x_up[q U + pu] = x[q]; x[q] for q < 0 is the
// history. `signal` holds the history (`history` values, oldest first) then the input.
inline Reference polyphase(const std::vector<cf32>& h, int U, int pu, int D, int pd,
                           const std::vector<cf32>& signal, int history, int64_t outputs)
{
    Reference ref{std::vector<cd>(outputs), std::vector<double>(outputs)};
    for (int64_t m = 0; m < outputs; ++m)
        for (int64_t k = 0; k < static_cast<int64_t>(h.size()); ++k) {
            const int64_t p = m * D + pd - k - pu;
            if (((p % U) + U) % U != 0)
                continue;
            const int64_t q = (p >= 0 ? p / U : -((-p + U - 1) / U)) + history;
            if (q < 0)
                ADD_FAILURE() << "window reaches beyond the history at output " << m;
            if (q < 0 || q >= static_cast<int64_t>(signal.size()))
                continue;
            const cd hk(h[k].re, h[k].im), x(signal[q].re, signal[q].im);
            ref.y[m] += hk * x;
            ref.magnitude[m] += std::abs(hk) * std::abs(x);
        }
    return ref;
}

// The single-rate filter's reference: history of h.size() samples, most recent first.
inline Reference singleRate(const std::vector<cf32>& h, const std::vector<cf32>& history,
                            const cf32* in, int len)
{
    return polyphase(h, 1, 0, 1, 0, joined(history, in, len), int(history.size()), len);
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

// Error floor of an FFT-mode output: about log2(N) roundings of the largest |h||x| sum.
inline double fftFloor(const std::vector<cf32>& h, int order)
{
    double sum = 0;
    for (const cf32& t : h)
        sum += std::abs(cd(t.re, t.im));
    return 8.0 * (order + 1) * std::ldexp(1.0, -23) * sum * std::sqrt(2.0);
}

// A multi-rate record in a buffer of the size the query reports, placed `misalign` bytes past
// a 64-byte boundary, with 64 canary bytes behind it.
class MrRecord {
    std::vector<uint8_t> storage_;
    uint8_t* buf_ = nullptr;
    int32_t size_ = 0;
    sigFirMrState_cf32* state_ = nullptr;
    sigStatus status_ = -1;

public:
    MrRecord(const std::vector<cf32>& taps, int U, int pu, int D, int pd, const cf32* dly,
             int misalign = 0)
    {
        EXPECT_EQ(sigFirMrGetSize_cf32(int32_t(taps.size()), U, D, &size_), sigOk);
        storage_.assign(size_t(size_) + 64 + 64 + 64, 0xa5);
        const uintptr_t base = reinterpret_cast<uintptr_t>(storage_.data());
        buf_ = storage_.data() + (64 - base % 64) % 64 + misalign;
        std::memset(buf_, 0x5a, size_t(size_));
        status_ = sigFirMrInit_cf32(&state_, taps.data(), int32_t(taps.size()), U, pu, D, pd, dly, buf_);
    }
    sigFirMrState_cf32* state() const { return state_; }
    sigStatus status() const { return status_; }
    bool canaryIntact() const
    {
        return std::all_of(buf_ + size_, buf_ + size_ + 64, [](uint8_t b) { return b == 0xa5; });
    }
};

// A single-rate record ('FI02'). Nothing in the library builds one; the filter accepts it, so
// this lays out what the filter reads: reversed taps (the plain slot), the lane-replicated tap
// table (slots 1-6), a delay line of tapsLen history samples with room behind it, the scratch,
// and for FFT mode a forward FFT record of 2^fftOrder points (planned for the slot current at
// construction, flag 2: the inverse scales by 1/N, so forward, product with the spectrum of the
// zero-padded taps and inverse give the circular convolution with h), the spectrum and the
// block and work buffers.
class SingleRateRecord {
    sigFirRecord_cf32 rec_{};
    std::vector<cf32> taps_, line_, scratch_, spectrum_, block_;
    std::vector<float> table_;
    std::optional<fft_test::Plan> fft_;

public:
    // fftOrder < 0: direct form only. dly: tapsLen history samples, most recent first, or NULL.
    SingleRateRecord(const std::vector<cf32>& h, int fftOrder, const cf32* dly = nullptr)
        : taps_(h.rbegin(), h.rend()), line_(h.size() + (h.size() + 3) / 4 * 4 + 1), scratch_(4224)
    {
        for (const cf32& t : h) {
            const float entry[8] = {t.re, t.re, t.re, t.re, -t.im, t.im, -t.im, t.im};
            table_.insert(table_.end(), entry, entry + 8);
        }
        rec_.tag = kFirTagSingleRate;
        rec_.taps = taps_.data();
        rec_.tapTable = reinterpret_cast<cf32*>(table_.data());
        rec_.dlyLine = line_.data();
        rec_.tapsLen = rec_.dlyLen = int32_t(h.size());
        rec_.dlyExt = int32_t(h.size() + 3) / 4 * 4;
        rec_.fftLen = fftOrder < 0 ? -1 : 1 << fftOrder;
        rec_.scratch = scratch_.data();
        if (fftOrder >= 0) {
            fft_.emplace(fftOrder, 2);
            spectrum_.resize(size_t(rec_.fftLen));
            std::copy(h.begin(), h.end(), spectrum_.begin());
            EXPECT_EQ(sigFftFwd_cf32(spectrum_.data(), spectrum_.data(), fft_->spec, nullptr), sigOk);
            block_.resize(size_t(rec_.fftLen));
            rec_.fftSpec = fft_->spec;
            rec_.fftTaps = spectrum_.data();
            rec_.fftBuf = block_.data();
            rec_.fftWork = fft_->work();
        }
        if (dly != nullptr)
            sigFirSetDelay_cf32(&rec_, dly);
    }
    sigFirState_cf32* state() { return &rec_; }
    const std::vector<cf32>& line() const { return line_; }
};

// Pages between two inaccessible ones: `front` starts right after the lower guard page, `back`
// ends right before the upper one.
struct GuardedBlock {
    size_t bytes, page = size_t(sysconf(_SC_PAGESIZE)), inner = (bytes + page - 1) / page * page;
    uint8_t* base = static_cast<uint8_t*>(mmap(nullptr, inner + 2 * page, PROT_READ | PROT_WRITE,
                                               MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    explicit GuardedBlock(size_t n) : bytes(n)
    {
        mprotect(base, page, PROT_NONE);
        mprotect(base + page + inner, page, PROT_NONE);
    }
    ~GuardedBlock() { munmap(base, inner + 2 * page); }
    GuardedBlock(const GuardedBlock&) = delete;
    cf32* front() const { return reinterpret_cast<cf32*>(base + page); }
    cf32* back() const { return reinterpret_cast<cf32*>(base + page + inner - bytes); }
};

}  // namespace firtest
