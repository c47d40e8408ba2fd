// The forward transform of the plain slot against a double-precision reference, its status codes,
// work-buffer handling and scaling; the vector slots' entries while they run the plain layout.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "core/memfuncs.h"
#include "fft_reference.h"
#include "fft_slot_decls.h"
#include "sigprim.h"
#include "slots.h"

namespace {

using fft_reference::cd;

// A planned transform in blocks of exactly the reported sizes; rebuild() plans again in place.
struct Plan {
    std::vector<uint8_t> specMem, initMem;
    std::vector<uint8_t> workMem;
    sigFftSpec_cf32* spec = nullptr;

    Plan(int32_t order, int32_t flag)
    {
        int32_t specSize = 0, initSize = 0, workSize = 0;
        EXPECT_EQ(sigFftGetSize_cf32(order, flag, 0, &specSize, &initSize, &workSize), sigOk);
        specMem.resize(static_cast<size_t>(specSize));
        initMem.resize(static_cast<size_t>(initSize));
        workMem.resize(static_cast<size_t>(workSize));
        rebuild(order, flag);
    }
    void rebuild(int32_t order, int32_t flag)
    {
        EXPECT_EQ(sigFftInit_cf32(&spec, order, flag, 0, specMem.data(),
                                  initMem.empty() ? nullptr : initMem.data()),
                  sigOk);
    }
    uint8_t* work() { return workMem.empty() ? nullptr : workMem.data(); }
};

double scaleOf(int32_t flag, int32_t order)
{
    const double n = std::ldexp(1.0, order);
    return flag == 1 ? 1.0 / n : flag == 4 ? 1.0 / std::sqrt(n) : 1.0;
}

// Relative rms error allowed: half a float rounding (2^-24) per radix-2 level, plus one. Measured:
// 0.13 to 0.26 of that per level from order 2 to 22.
double allowedError(int32_t order) { return 0.5 * std::ldexp(1.0, -24) * (order + 2); }

class FftForwardOrder : public testing::TestWithParam<int32_t> {};

// Every order and scaling flag, out of place and in place (the two agree to the bit), against the
// double-precision transform; the error grows at most with log2(N).
TEST_P(FftForwardOrder, MatchesDoublePrecisionTransform)
{
    const int32_t order = GetParam();
    const size_t n = size_t{1} << order;
    const std::vector<cf32> x = fft_reference::testSignal(n, 17u + static_cast<uint32_t>(order));
    const std::vector<cd> ref = fft_reference::dft(fft_reference::toDouble(x));
    Plan plan(order, 1);
    std::vector<cf32> out(n), inPlace(n);
    for (int32_t flag : {1, 2, 4, 8}) {
        SCOPED_TRACE(testing::Message() << "flag " << flag);
        plan.rebuild(order, flag);
        inPlace = x;
        ASSERT_EQ(sigFftFwd_cf32(x.data(), out.data(), plan.spec, plan.work()), sigOk);
        ASSERT_EQ(sigFftFwd_cf32(inPlace.data(), inPlace.data(), plan.spec, nullptr), sigOk);
        EXPECT_EQ(std::memcmp(out.data(), inPlace.data(), n * sizeof(cf32)), 0);
        const double err = fft_reference::relativeRmsError(out.data(), ref, scaleOf(flag, order));
        EXPECT_LE(err, allowedError(order)) << "order " << order;
    }
}

INSTANTIATE_TEST_SUITE_P(Orders0To22, FftForwardOrder, testing::Range(0, 23));

// Scaling happens exactly once whatever the decomposition: a constant input of 1 gives X[0] = N*f.
TEST(FftForward, ConstantInputIsScaledOnce)
{
    for (int32_t order = 11; order <= 20; ++order) {
        const size_t n = size_t{1} << order;
        Plan plan(order, 1);
        std::vector<cf32> x(n, cf32{1.0f, 0.0f});
        ASSERT_EQ(sigFftFwd_cf32(x.data(), x.data(), plan.spec, nullptr), sigOk);
        EXPECT_FLOAT_EQ(x[0].re, 1.0f) << "order " << order;
        float worst = 0;
        for (size_t k = 1; k < n; ++k)
            worst = std::fmax(worst, std::fabs(x[k].re) + std::fabs(x[k].im));
        EXPECT_LE(worst, 1e-6f) << "order " << order;
    }
}

// The sign convention: an impulse is flat at f, and e^(+j*2*pi*n/N) lands on bin 1.
TEST(FftForward, ImpulseAndPositiveToneLandWhereTheSignSays)
{
    for (int32_t order : {0, 1, 2, 3, 5, 6, 9, 10, 11, 13}) {
        const size_t n = size_t{1} << order;
        Plan plan(order, 4);
        const float f = plan.spec->factor;
        std::vector<cf32> x(n, cf32{0, 0}), y(n);
        x[0] = {1.0f, 0.0f};
        ASSERT_EQ(sigFftFwd_cf32(x.data(), y.data(), plan.spec, nullptr), sigOk);
        for (size_t k = 0; k < n; ++k) {
            EXPECT_NEAR(y[k].re, f, 1e-6 * f);
            EXPECT_NEAR(y[k].im, 0.0f, 1e-6 * f);
        }
        if (n < 2)
            continue;
        for (size_t i = 0; i < n; ++i) {
            const double a = 2.0 * M_PI * static_cast<double>(i) / static_cast<double>(n);
            x[i] = {static_cast<float>(std::cos(a)), static_cast<float>(std::sin(a))};
        }
        ASSERT_EQ(sigFftFwd_cf32(x.data(), y.data(), plan.spec, nullptr), sigOk);
        const double peak = static_cast<double>(n) * f;
        for (size_t k = 0; k < n; ++k) {
            EXPECT_NEAR(y[k].re, k == 1 ? peak : 0.0, 1e-5 * peak) << "order " << order << " bin " << k;
            EXPECT_NEAR(y[k].im, 0.0, 1e-5 * peak) << "order " << order << " bin " << k;
        }
    }
}

// The 4-point transform written out: X1 = (x0 - x2) - j(x1 - x3).
TEST(FftForward, FourPointsByTheDefinition)
{
    Plan plan(2, 8);
    const cf32 x[4] = {{1, 2}, {-3, 5}, {7, -11}, {13, 17}};
    cf32 y[4];
    ASSERT_EQ(sigFftFwd_cf32(x, y, plan.spec, nullptr), sigOk);
    EXPECT_EQ(y[0].re, 18.0f);
    EXPECT_EQ(y[0].im, 13.0f);
    EXPECT_EQ(y[1].re, (1.0f - 7.0f) + (5.0f - 17.0f));   // im(x1 - x3) joins the real part
    EXPECT_EQ(y[1].im, (2.0f + 11.0f) - (-3.0f - 13.0f));
    EXPECT_EQ(y[2].re, (1.0f + 7.0f) - (-3.0f + 13.0f));
    EXPECT_EQ(y[3].re, (1.0f - 7.0f) - (5.0f - 17.0f));
}

TEST(FftForward, StatusCodesInTheirOrder)
{
    Plan plan(8, 8);
    std::vector<cf32> x(256), y(256, cf32{7, 7});
    EXPECT_EQ(sigFftFwd_cf32(nullptr, nullptr, nullptr, nullptr), sigErrNull);
    alignas(64) uint8_t notBuilt[256] = {};
    const auto* bogus = reinterpret_cast<const sigFftSpec_cf32*>(notBuilt);
    EXPECT_EQ(sigFftFwd_cf32(nullptr, nullptr, bogus, nullptr), sigErrTag);
    EXPECT_EQ(sigFftFwd_cf32(nullptr, y.data(), plan.spec, nullptr), sigErrNull);
    EXPECT_EQ(sigFftFwd_cf32(x.data(), nullptr, plan.spec, nullptr), sigErrNull);
    EXPECT_EQ(y[0].re, 7.0f);
}

// Swaps the library's allocator for one that fails or counts, for the life of a scope.
struct AllocatorSwap {
    static inline int calls = 0;
    static inline bool fail = false;
    sigMemFuncTable saved = sigMemFuncs;
    explicit AllocatorSwap(bool failing)
    {
        calls = 0;
        fail = failing;
        sigMemFuncs.alloc = [](size_t size) -> void* {
            ++calls;
            return fail ? nullptr : std::malloc(size);
        };
    }
    ~AllocatorSwap() { sigMemFuncs = saved; }
};

TEST(FftForward, WorkBufferIsAllocatedOnlyWhenNeededAndItsFailureLeavesDstAlone)
{
    Plan direct(10, 8);
    Plan large(13, 8);
    ASSERT_EQ(direct.spec->workBytes, 0);
    ASSERT_GT(large.spec->workBytes, 0);
    std::vector<cf32> x = fft_reference::testSignal(8192, 3), y(8192, cf32{5, 5});
    {
        AllocatorSwap counting(false);
        ASSERT_EQ(sigFftFwd_cf32(x.data(), y.data(), direct.spec, nullptr), sigOk);
        EXPECT_EQ(AllocatorSwap::calls, 0);
        ASSERT_EQ(sigFftFwd_cf32(x.data(), y.data(), large.spec, nullptr), sigOk);
        EXPECT_EQ(AllocatorSwap::calls, 1);
    }
    std::fill(y.begin(), y.end(), cf32{5, 5});
    {
        AllocatorSwap failing(true);
        EXPECT_EQ(sigFftFwd_cf32(x.data(), y.data(), large.spec, nullptr), sigErrMemory);
        EXPECT_EQ(sigFftFwd_cf32(x.data(), y.data(), direct.spec, nullptr), sigOk);
    }
    Plan again(13, 8);
    std::vector<cf32> z(8192, cf32{5, 5});
    {
        AllocatorSwap failing(true);
        EXPECT_EQ(sigFftFwd_cf32(x.data(), z.data(), again.spec, nullptr), sigErrMemory);
    }
    for (const cf32& v : z)
        ASSERT_TRUE(v.re == 5.0f && v.im == 5.0f);
}

// A work buffer of exactly the reported size at an odd address is used from its next boundary.
TEST(FftForward, MisalignedWorkBufferOfTheReportedSizeSuffices)
{
    for (int32_t order : {11, 13, 19}) {
        Plan plan(order, 8);
        const size_t n = size_t{1} << order;
        const size_t size = plan.workMem.size();
        std::vector<uint8_t> guarded(size + 64 + 128, 0xA5);
        for (size_t offset : {size_t{1}, size_t{63}}) {
            std::fill(guarded.begin(), guarded.end(), 0xA5);
            uint8_t* base = reinterpret_cast<uint8_t*>(
                (reinterpret_cast<uintptr_t>(guarded.data()) + 63) & ~uintptr_t{63});
            std::vector<cf32> x = fft_reference::testSignal(n, 5), y(n), z(n);
            ASSERT_EQ(sigFftFwd_cf32(x.data(), y.data(), plan.spec, base + offset), sigOk);
            ASSERT_EQ(sigFftFwd_cf32(x.data(), z.data(), plan.spec, nullptr), sigOk);
            EXPECT_EQ(std::memcmp(y.data(), z.data(), n * sizeof(cf32)), 0);
            for (uint8_t* p = base + offset + size; p < guarded.data() + guarded.size(); ++p)
                ASSERT_EQ(*p, 0xA5) << "order " << order << " wrote past the work buffer";
        }
    }
}

TEST(FftScale, ChecksAndTheTwoSpecialFactors)
{
    float data[4] = {1.0f, -2.0f, 3.0f, NAN};
    EXPECT_EQ(sig::s0::sigkScale_f32(2.0f, nullptr, 0), sigErrNull);
    EXPECT_EQ(sig::s0::sigkScale_f32(2.0f, data, 0), sigErrLength);
    EXPECT_EQ(data[0], 1.0f);
    EXPECT_EQ(sig::s0::sigkScale_f32(1.0f, data, 4), sigOk);
    EXPECT_TRUE(std::isnan(data[3]));  // factor 1 leaves the data alone
    EXPECT_EQ(sig::s0::sigkScale_f32(0.5f, data, 3), sigOk);
    EXPECT_EQ(data[1], -1.0f);
    EXPECT_EQ(sig::s0::sigkScale_f32(0.0f, data, 4), sigOk);
    for (float v : data)
        EXPECT_EQ(v, 0.0f);
}

// Until their vector kernels exist the vector slots size, plan and transform with the plain
// layout, all three together, so every slot gives the plain slot's bits.
TEST(FftForward, VectorSlotsRunThePlainLayoutTogether)
{
    for (int32_t order : {3, 8, 12, 17}) {
        const size_t n = size_t{1} << order;
        const std::vector<cf32> x = fft_reference::testSignal(n, 9);
        std::vector<cf32> plain(n);
        {
            testing_slots::SlotScope scope(0);
            Plan plan(order, 1);
            ASSERT_EQ(sigFftFwd_cf32(x.data(), plain.data(), plan.spec, nullptr), sigOk);
        }
        for (int slot = 1; slot <= 6; ++slot) {
            if (!testing_slots::slotRuns(slot))
                continue;
            testing_slots::SlotScope scope(slot);
            Plan plan(order, 1);
            std::vector<cf32> y(n);
            ASSERT_EQ(sigFftFwd_cf32(x.data(), y.data(), plan.spec, nullptr), sigOk);
            EXPECT_EQ(std::memcmp(y.data(), plain.data(), n * sizeof(cf32)), 0)
                << "slot " << slot << " order " << order;
        }
    }
}

}  // namespace
