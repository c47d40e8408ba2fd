// The inverse FFT: the plain kernels (small orders, radix passes, large-order path) against the
// double-precision inverse DFT, inverse(forward(x)) = N x on every order, scaling applied once,
// in place equal to out of place, and the inverse entry of every slot with its status codes.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/memfuncs.h"
#include "fft/fft_spec.h"
#include "fft_reference.h"
#include "slots.h"

#define INVERSE_TEST_DECLARE_SLOT(ns)                                                              \
    namespace sig::ns {                                                                            \
    sigStatus sigkFftInv_cf32(const cf32*, cf32*, const sigFftSpec_cf32*, uint8_t*);                \
    sigStatus fftInvThroughForward(const cf32*, cf32*, const sigFftSpec_cf32*, uint8_t*);           \
    }
INVERSE_TEST_DECLARE_SLOT(s0)
INVERSE_TEST_DECLARE_SLOT(s1)
INVERSE_TEST_DECLARE_SLOT(s2)
INVERSE_TEST_DECLARE_SLOT(s3)
INVERSE_TEST_DECLARE_SLOT(s4)
INVERSE_TEST_DECLARE_SLOT(s5)
INVERSE_TEST_DECLARE_SLOT(s6)
#undef INVERSE_TEST_DECLARE_SLOT

namespace sig::s0 {
void sigkFftRadixInv_cf32(cf32* data, int32_t n, const float* twiddles);
void sigkFftInvN4_cf32(const cf32* src, cf32* dst);
void sigkFftInvN8Scaled_cf32(const cf32* src, cf32* dst, float factor);
}

namespace {

using fft_reference::cd;
using InverseFn = sigStatus (*)(const cf32*, cf32*, const sigFftSpec_cf32*, uint8_t*);
constexpr InverseFn kInverse[7] = {sig::s0::sigkFftInv_cf32, sig::s1::sigkFftInv_cf32,
                                   sig::s2::sigkFftInv_cf32, sig::s3::sigkFftInv_cf32,
                                   sig::s4::sigkFftInv_cf32, sig::s5::sigkFftInv_cf32,
                                   sig::s6::sigkFftInv_cf32};
constexpr InverseFn kThroughForward[7] = {
    sig::s0::fftInvThroughForward, sig::s1::fftInvThroughForward, sig::s2::fftInvThroughForward,
    sig::s3::fftInvThroughForward, sig::s4::fftInvThroughForward, sig::s5::fftInvThroughForward,
    sig::s6::fftInvThroughForward};

// A plan of the current slot in blocks of exactly the reported sizes.
struct Plan {
    std::vector<uint8_t> specMem, initMem, workMem;
    sigFftSpec_cf32* spec = nullptr;
    Plan(int32_t order, int32_t flag)
    {
        int32_t specSize = 0, initSize = 0, workSize = 0;
        EXPECT_EQ(sigFftGetSize_cf32(order, flag, 0, &specSize, &initSize, &workSize), sigOk);
        specMem.resize(size_t(specSize));
        initMem.resize(size_t(initSize));
        workMem.resize(size_t(workSize));
        EXPECT_EQ(sigFftInit_cf32(&spec, order, flag, 0, specMem.data(),
                                  initMem.empty() ? nullptr : initMem.data()),
                  sigOk);
    }
    uint8_t* work() { return workMem.empty() ? nullptr : workMem.data(); }
};

std::vector<cd> inverseDft(const std::vector<cf32>& x)
{
    std::vector<cd> c = fft_reference::toDouble(x);
    for (cd& v : c)
        v = std::conj(v);
    std::vector<cd> y = fft_reference::directDft(c);
    for (cd& v : y)
        v = std::conj(v);
    return y;
}

double allowedError(int32_t order) { return 0.5 * std::ldexp(1.0, -24) * (order + 2); }

class FftInverseOrder : public ::testing::TestWithParam<int32_t> {};

// Against the double-precision inverse DFT where it is affordable; in place and out of place
// agree to the bit.
TEST_P(FftInverseOrder, MatchesInverseDftAndInPlaceEqualsOutOfPlace)
{
    const int32_t order = GetParam();
    const size_t n = size_t(1) << order;
    Plan plan(order, 8);
    const std::vector<cf32> x = fft_reference::testSignal(n, 7 + order);
    std::vector<cf32> y(n), z(x);
    ASSERT_EQ(sig::s0::sigkFftInv_cf32(x.data(), y.data(), plan.spec, plan.work()), sigOk);
    ASSERT_EQ(sig::s0::sigkFftInv_cf32(z.data(), z.data(), plan.spec, nullptr), sigOk);
    for (size_t i = 0; i < n; ++i) {
        ASSERT_EQ(y[i].re, z[i].re) << i;
        ASSERT_EQ(y[i].im, z[i].im) << i;
    }
    if (order <= 12) {
        EXPECT_LT(fft_reference::relativeRmsError(y.data(), inverseDft(x), 1.0), allowedError(order));
    }
}

// inverse(forward(x)) = N x for every order, with each scaling flag giving N f_fwd f_inv.
TEST_P(FftInverseOrder, InverseOfForwardGivesTheInputTimesN)
{
    const int32_t order = GetParam();
    const size_t n = size_t(1) << order;
    const std::vector<cf32> x = fft_reference::testSignal(n, 11 + order);
    // Every flag up to order 16, the unscaled and the 1/N inverse above (plans are costly there).
    for (int32_t flag : {8, 2, 1, 4}) {
        if (order > 16 && (flag == 1 || flag == 4))
            continue;
        Plan plan(order, flag);
        std::vector<cf32> y(n);
        ASSERT_EQ(sigFftFwd_cf32(x.data(), y.data(), plan.spec, plan.work()), sigOk);
        ASSERT_EQ(sig::s0::sigkFftInv_cf32(y.data(), y.data(), plan.spec, plan.work()), sigOk);
        const double scale = flag == 8 ? double(n) : 1.0;
        EXPECT_LT(fft_reference::relativeRmsError(y.data(), fft_reference::toDouble(x), scale),
                  2 * allowedError(order))
            << "flag " << flag;
    }
}

INSTANTIATE_TEST_SUITE_P(Orders0To22, FftInverseOrder, ::testing::Range(0, 23));

// Each slot's inverse entry with a plan that slot made.
TEST(FftInverse, EverySlotsEntryInvertsItsOwnForward)
{
    for (int slot = 0; slot < 7; ++slot) {
        if (!testing_slots::slotRuns(slot))
            continue;
        testing_slots::SlotScope scope(slot);
        for (int32_t order : {0, 3, 5, 6, 10, 11, 13, 16}) {
            const size_t n = size_t(1) << order;
            Plan plan(order, 2);
            const std::vector<cf32> x = fft_reference::testSignal(n, 3);
            std::vector<cf32> y(n);
            ASSERT_EQ(sigFftFwd_cf32(x.data(), y.data(), plan.spec, nullptr), sigOk);
            ASSERT_EQ(kInverse[slot](y.data(), y.data(), plan.spec, nullptr), sigOk);
            EXPECT_LT(fft_reference::relativeRmsError(y.data(), fft_reference::toDouble(x), 1.0),
                      2 * allowedError(order))
                << "slot " << slot << " order " << order;
        }
    }
}

// The route a slot takes once its forward transform runs its own layout: the same inverse, with
// the scaling of each flag, and -9 before dst is touched.
TEST(FftInverse, InverseThroughTheForwardTransformMatchesThePlainInverse)
{
    for (int slot = 0; slot < 7; ++slot) {
        if (!testing_slots::slotRuns(slot))
            continue;
        testing_slots::SlotScope scope(slot);
        for (int32_t order : {0, 4, 7, 12})
            for (int32_t flag : {1, 2, 4, 8}) {
                const size_t n = size_t(1) << order;
                Plan plan(order, flag);
                const std::vector<cf32> x = fft_reference::testSignal(n, 21);
                std::vector<cf32> a(n), b(n);
                ASSERT_EQ(kInverse[slot](x.data(), a.data(), plan.spec, nullptr), sigOk);
                ASSERT_EQ(kThroughForward[slot](x.data(), b.data(), plan.spec, nullptr), sigOk);
                const std::vector<cd> ref(fft_reference::toDouble(a));
                EXPECT_LT(fft_reference::relativeRmsError(b.data(), ref, 1.0), 2 * allowedError(order))
                    << "slot " << slot << " order " << order << " flag " << flag;
            }
        Plan plan(13, 8);
        std::vector<cf32> x(8192, cf32{1, 0}), y(8192, cf32{5, 5});
        sigMemFuncTable saved = sigMemFuncs;
        sigMemFuncs.alloc = [](size_t) -> void* { return nullptr; };
        const sigStatus st = kThroughForward[slot](x.data(), y.data(), plan.spec, nullptr);
        sigMemFuncs = saved;
        EXPECT_EQ(st, sigErrMemory);
        EXPECT_EQ(y[0].re, 5.0f);
    }
}

// An impulse at sample 1 gives the positive-frequency tone e^(+j 2 pi m / N); one at sample 0
// gives ones.
TEST(FftInverse, ImpulsesGiveConjugateRoots)
{
    for (int32_t order : {2, 3, 4, 5, 6, 7, 10, 11, 12, 13, 15}) {
        const size_t n = size_t(1) << order;
        Plan plan(order, 8);
        std::vector<cf32> x(n, cf32{0, 0}), y(n);
        x[1] = cf32{1, 0};
        ASSERT_EQ(sig::s0::sigkFftInv_cf32(x.data(), y.data(), plan.spec, nullptr), sigOk);
        double worst = 0;
        for (size_t m = 0; m < n; ++m)
            worst = std::max(worst, std::abs(cd(y[m].re, y[m].im) -
                                             std::conj(fft_reference::unitRoot(int64_t(m), int64_t(n)))));
        EXPECT_LT(worst, 4e-7 * (order + 1)) << "order " << order;
        x[1] = cf32{0, 0};
        x[0] = cf32{1, 0};
        ASSERT_EQ(sig::s0::sigkFftInv_cf32(x.data(), y.data(), plan.spec, nullptr), sigOk);
        for (size_t m = 0; m < n; ++m)
            ASSERT_TRUE(y[m].re == 1.0f && y[m].im == 0.0f) << "order " << order << " m " << m;
    }
}

TEST(FftInverse, SmallKernelsAndRadixPassesByTheDefinition)
{
    // (1, j, -1, -j) turns by +1/4 a sample: the inverse puts all of it at X3 (the forward at X1).
    const cf32 x[4] = {{1, 0}, {0, 1}, {-1, 0}, {0, -1}};
    cf32 y[4];
    sig::s0::sigkFftInvN4_cf32(x, y);
    const float want[8] = {0, 0, 0, 0, 0, 0, 4, 0};
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(y[i].re == want[2 * i] && y[i].im == want[2 * i + 1]) << i;
    // The scaled 8-point kernel with factor 1 gives the unscaled result.
    const std::vector<cf32> s = fft_reference::testSignal(8, 5);
    cf32 a[8], b[8];
    sig::s0::sigkFftInvN8Scaled_cf32(s.data(), a, 1.0f);
    Plan plan8(3, 8);
    ASSERT_EQ(sig::s0::sigkFftInv_cf32(s.data(), b, plan8.spec, nullptr), sigOk);
    for (int i = 0; i < 8; ++i)
        EXPECT_TRUE(a[i].re == b[i].re && a[i].im == b[i].im);
    // The radix passes over the bit-reversed forward transform give N x.
    Plan plan(8, 8);
    const std::vector<cf32> v = fft_reference::testSignal(256, 9);
    std::vector<cf32> f(256), r(256);
    ASSERT_EQ(sigFftFwd_cf32(v.data(), f.data(), plan.spec, nullptr), sigOk);
    for (int i = 0; i < 256; ++i) {
        int rev = 0;
        for (int b2 = 0; b2 < 8; ++b2)
            rev |= ((i >> b2) & 1) << (7 - b2);
        r[rev] = f[i];
    }
    const float* tw = reinterpret_cast<const float*>(reinterpret_cast<const char*>(plan.spec) +
                                                     plan.spec->twiddles);
    sig::s0::sigkFftRadixInv_cf32(r.data(), 256, tw);
    EXPECT_LT(fft_reference::relativeRmsError(r.data(), fft_reference::toDouble(v), 256.0),
              2 * allowedError(8));
}

TEST(FftInverse, StatusCodesInTheirOrderAndWorkBufferFailure)
{
    Plan plan(13, 8);
    std::vector<cf32> x(8192, cf32{1, 1}), y(8192, cf32{7, 7});
    EXPECT_EQ(sig::s0::sigkFftInv_cf32(nullptr, nullptr, nullptr, nullptr), sigErrNull);
    sigFftSpec_cf32 bad = *plan.spec;
    bad.tag = 5;
    EXPECT_EQ(sig::s0::sigkFftInv_cf32(nullptr, nullptr, &bad, nullptr), sigErrTag);
    EXPECT_EQ(sig::s0::sigkFftInv_cf32(nullptr, y.data(), plan.spec, nullptr), sigErrNull);
    EXPECT_EQ(sig::s0::sigkFftInv_cf32(x.data(), nullptr, plan.spec, nullptr), sigErrNull);
    ASSERT_GT(plan.spec->workBytes, 0);
    sigMemFuncTable saved = sigMemFuncs;
    sigMemFuncs.alloc = [](size_t) -> void* { return nullptr; };
    const sigStatus st = sig::s0::sigkFftInv_cf32(x.data(), y.data(), plan.spec, nullptr);
    sigMemFuncs = saved;
    EXPECT_EQ(st, sigErrMemory);
    for (const cf32& v : y)
        ASSERT_EQ(v.re, 7.0f);
}

}  // namespace
