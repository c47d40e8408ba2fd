// The inverse FFT's largest orders (gigabyte buffers, label "large"): inverse(forward(x)) = x
// with the inverse scaled by 1/N, the split recursion at depth 1 included.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "fft_reference.h"
#include "sigprim.h"

namespace sig::s0 {
sigStatus sigkFftInv_cf32(const cf32*, cf32*, const sigFftSpec_cf32*, uint8_t*);
}

namespace {

class FftInverseLarge : public ::testing::TestWithParam<int32_t> {};

TEST_P(FftInverseLarge, InverseOfForwardGivesTheInput)
{
    const int32_t order = GetParam();
    const size_t n = size_t(1) << order;
    int32_t specSize = 0, initSize = 0, workSize = 0;
    ASSERT_EQ(sigFftGetSize_cf32(order, 2, 0, &specSize, &initSize, &workSize), sigOk);
    std::vector<uint8_t> specMem(static_cast<size_t>(specSize)), initMem(static_cast<size_t>(initSize)),
        work(static_cast<size_t>(workSize));
    sigFftSpec_cf32* spec = nullptr;
    ASSERT_EQ(sigFftInit_cf32(&spec, order, 2, 0, specMem.data(), initMem.data()), sigOk);
    const std::vector<cf32> x = fft_reference::testSignal(n, 17);
    std::vector<cf32> y(n);
    ASSERT_EQ(sigFftFwd_cf32(x.data(), y.data(), spec, work.data()), sigOk);
    ASSERT_EQ(sig::s0::sigkFftInv_cf32(y.data(), y.data(), spec, work.data()), sigOk);
    EXPECT_LT(fft_reference::relativeRmsError(y.data(), fft_reference::toDouble(x), 1.0),
              std::ldexp(1.0, -24) * (order + 2));
}

INSTANTIATE_TEST_SUITE_P(Orders23To27, FftInverseLarge, ::testing::Range(23, 28));

}  // namespace
