// Large-order helpers of slots 1 to 4: tile moves, the radix-4 column pass against the DFT it
// completes, the float scaling.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "fft_reference.h"
#include "sigprim.h"
#include "slots.h"

#define DECLARE_HELPERS(ns)                                                                  \
    namespace sig::ns {                                                                      \
    void sigkFftTileGather_cf32(const cf32*, cf32*, int32_t, int32_t, int32_t);              \
    void sigkFftTileScatter_cf32(cf32*, const cf32*, int32_t, int32_t, int32_t, int32_t);    \
    void sigkFftRadix4Cols_cf32(float*, float*, int32_t, int32_t, const float*);             \
    void sigkMulCInPlace_f32(float, float*, int32_t);                                        \
    sigStatus sigkScale_f32(float, float*, int32_t);                                         \
    }
DECLARE_HELPERS(s1)
DECLARE_HELPERS(s2)
DECLARE_HELPERS(s3)
DECLARE_HELPERS(s4)
#undef DECLARE_HELPERS

namespace {

using fft_reference::cd;

struct Helpers {
    void (*gather)(const cf32*, cf32*, int32_t, int32_t, int32_t);
    void (*scatter)(cf32*, const cf32*, int32_t, int32_t, int32_t, int32_t);
    void (*cols)(float*, float*, int32_t, int32_t, const float*);
    void (*mul)(float, float*, int32_t);
    sigStatus (*scale)(float, float*, int32_t);
};
const Helpers kHelpers[5] = {
    {},
    {sig::s1::sigkFftTileGather_cf32, sig::s1::sigkFftTileScatter_cf32, sig::s1::sigkFftRadix4Cols_cf32,
     sig::s1::sigkMulCInPlace_f32, sig::s1::sigkScale_f32},
    {sig::s2::sigkFftTileGather_cf32, sig::s2::sigkFftTileScatter_cf32, sig::s2::sigkFftRadix4Cols_cf32,
     sig::s2::sigkMulCInPlace_f32, sig::s2::sigkScale_f32},
    {sig::s3::sigkFftTileGather_cf32, sig::s3::sigkFftTileScatter_cf32, sig::s3::sigkFftRadix4Cols_cf32,
     sig::s3::sigkMulCInPlace_f32, sig::s3::sigkScale_f32},
    {sig::s4::sigkFftTileGather_cf32, sig::s4::sigkFftTileScatter_cf32, sig::s4::sigkFftRadix4Cols_cf32,
     sig::s4::sigkMulCInPlace_f32, sig::s4::sigkScale_f32},
};

class FftHelpers : public testing::TestWithParam<int> {
protected:
    void SetUp() override { SIG_SKIP_UNLESS_SLOT_RUNS(GetParam()); }
    const Helpers& h() const { return kHelpers[GetParam()]; }
};

// A 64 x 64 tile out of a wider matrix and back restores it exactly; mode 1 turns the blocked
// split layout into interleaved values.
TEST_P(FftHelpers, TileGatherAndScatter)
{
    constexpr int32_t kStride = 200, kRows = 64, kWidth = 64;
    const std::vector<cf32> matrix = fft_reference::testSignal(kStride * kRows, 4);
    std::vector<cf32> tile(kRows * kWidth), back(matrix.size(), cf32{0, 0});
    h().gather(matrix.data() + 3, tile.data(), kStride, kRows, kWidth);
    h().scatter(back.data() + 3, tile.data(), kStride, kRows, kWidth, 0);
    for (int32_t r = 0; r < kRows; ++r)
        ASSERT_EQ(std::memcmp(&back[r * kStride + 3], &matrix[r * kStride + 3], kWidth * sizeof(cf32)), 0);

    std::vector<float> split(2 * kRows * kWidth);
    for (int32_t v = 0; v < kRows * kWidth; ++v) {
        split[(v / 4) * 8 + v % 4] = static_cast<float>(v);
        split[(v / 4) * 8 + 4 + v % 4] = -static_cast<float>(v);
    }
    h().scatter(back.data(), reinterpret_cast<const cf32*>(split.data()), kStride, kRows, kWidth, 1);
    for (int32_t r = 0; r < kRows; ++r)
        for (int32_t c = 0; c < kWidth; ++c) {
            ASSERT_EQ(back[r * kStride + c].re, static_cast<float>(r * kWidth + c));
            ASSERT_EQ(back[r * kStride + c].im, -static_cast<float>(r * kWidth + c));
        }
}

// The quarters hold the a-point transforms of the residues 0, 2, 1, 3 of a 4a-point signal; one
// radix-4 pass (general form over several groups, final form over one) gives its 4a-point DFT.
TEST_P(FftHelpers, ColumnPassCompletesTheTransform)
{
    constexpr int32_t a = 64;
    const int32_t residue[4] = {0, 2, 1, 3};
    const std::vector<cf32> x = fft_reference::testSignal(4 * a, 11);
    const std::vector<cd> want = fft_reference::directDft(fft_reference::toDouble(x));
    std::vector<float> group(8 * a);
    for (int32_t q = 0; q < 4; ++q) {
        std::vector<cd> sub(a);
        for (int32_t m = 0; m < a; ++m)
            sub[m] = {x[4 * m + residue[q]].re, x[4 * m + residue[q]].im};
        const std::vector<cd> spectrum = fft_reference::directDft(sub);
        for (int32_t k = 0; k < a; ++k) {
            const int32_t v = q * a + k;
            group[(v / 4) * 8 + v % 4] = static_cast<float>(spectrum[k].real());
            group[(v / 4) * 8 + 4 + v % 4] = static_cast<float>(spectrum[k].imag());
        }
    }
    auto runs = [&](int32_t blocks, int powers) {
        std::vector<float> t;
        for (int32_t b = 0; b < blocks; ++b)
            for (int p = 1; p <= powers; ++p) {
                for (int i = 0; i < 4; ++i)
                    t.push_back(static_cast<float>(fft_reference::unitRoot(p * (4 * b + i), 4 * a).real()));
                for (int i = 0; i < 4; ++i)
                    t.push_back(static_cast<float>(fft_reference::unitRoot(p * (4 * b + i), 4 * a).imag()));
            }
        return t;
    };
    auto expectSpectrum = [&](const float* p) {
        double err = 0, norm = 0;
        for (int32_t k = 0; k < 4 * a; ++k) {
            const cd got(p[(k / 4) * 8 + k % 4], p[(k / 4) * 8 + 4 + k % 4]);
            err += std::norm(got - want[k]);
            norm += std::norm(want[k]);
        }
        EXPECT_LT(std::sqrt(err / norm), 2e-7);
    };
    std::vector<float> groups(3 * group.size());
    for (int g = 0; g < 3; ++g)
        std::copy(group.begin(), group.end(), groups.begin() + g * group.size());
    const std::vector<float> general = runs(a / 4, 3);
    h().cols(groups.data(), groups.data(), a, 3, general.data());
    for (int g = 0; g < 3; ++g)
        expectSpectrum(groups.data() + g * group.size());
    const std::vector<float> final = runs(a / 8, 2);
    h().cols(group.data(), group.data(), a, 1, final.data());
    expectSpectrum(group.data());
}

TEST_P(FftHelpers, ScalingAtEveryCountAndAlignment)
{
    float data[4] = {1, 2, 3, 4};
    EXPECT_EQ(h().scale(2.0f, nullptr, 0), sigErrNull);
    EXPECT_EQ(h().scale(2.0f, data, 0), sigErrLength);
    EXPECT_EQ(h().scale(0.0f, data, 3), sigOk);
    EXPECT_EQ(data[2], 0.0f);
    EXPECT_EQ(data[3], 4.0f);
    std::vector<float> raw(300);
    for (int32_t count : {1, 10, 11, 17, 64, 250})
        for (int offset = 0; offset < 4; ++offset) {
            for (size_t i = 0; i < raw.size(); ++i)
                raw[i] = static_cast<float>(i) * 0.37f - 20.0f;
            const std::vector<float> before = raw;
            ASSERT_EQ(h().scale(-1.7f, raw.data() + offset, count), sigOk);
            for (size_t i = 0; i < raw.size(); ++i) {
                const bool inside = i >= static_cast<size_t>(offset) && i < static_cast<size_t>(offset + count);
                ASSERT_EQ(raw[i], inside ? before[i] * -1.7f : before[i]) << count << " " << offset;
            }
        }
}

INSTANTIATE_TEST_SUITE_P(Slots1To4, FftHelpers, testing::Range(1, 5));

}  // namespace
