// The plain polyphase block kernel against its one-output-at-a-time formulation, bit for bit:
// running the lanes side by side and widening the taps once must not move any rounding.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "sigprim.h"

namespace sig::s0 {
int32_t sigkFirMrBlock_cf32(const cf32* tapTable, const cf32* buf, cf32* dst, int32_t count,
                            const int32_t* phaseTable, int32_t upFactor, int32_t base, int32_t n,
                            int32_t tapStride);
}

namespace {

// Each output alone, its products added in tap order, the sum rounded to single after every add.
// g++ 12 at -O2 vectorises this loop into sums that differ in the last bits from the loop as
// written (they disagree with -O0), so the reference is kept out of the vectoriser.
[[gnu::optimize("no-tree-vectorize")]] int32_t serialBlock(
    const cf32* tapTable, const cf32* buf, cf32* dst, int32_t count, const int32_t* phaseTable,
    int32_t upFactor, int32_t base, int32_t n, int32_t tapStride)
{
    for (int32_t m = 0, j = 0; m < count; ++m) {
        const int32_t l = m % 4;
        const cf32* x = buf + base + phaseTable[4 * j + l];
        const cf32* taps = tapTable + 4 * int64_t{j} * tapStride;
        double re = 0, im = 0;
        for (int32_t i = 0; i < n; ++i) {
            const cf32 t = taps[4 * i + l];
            re = float(re + (double(x[i].re) * t.re - double(x[i].im) * t.im));
            im = float(im + (double(x[i].re) * t.im + double(x[i].im) * t.re));
        }
        dst[m] = cf32{float(re), float(im)};
        if (l == 3 && ++j == upFactor) {
            j = 0;
            base += phaseTable[4 * upFactor];
        }
    }
    return base;
}

// Values spread over many binades, so that each single rounding of a sum shows; or signed
// zeros, infinities, subnormals and huge values, whose products and sums overflow, vanish or
// turn into NaN.
std::vector<cf32> signal(std::mt19937& rng, size_t count, bool edges)
{
    const float edge[] = {0.0f,    -0.0f,  1.5f,  -1.5f,  INFINITY, -INFINITY,
                          1e-40f, -1e-40f, 3e38f, -3e38f, 1e-20f};
    std::uniform_real_distribution<float> mantissa(-1.0f, 1.0f);
    std::uniform_int_distribution<int> exponent(-12, 12);
    std::uniform_int_distribution<size_t> pick(0, std::size(edge) - 1);
    auto value = [&] { return edges ? edge[pick(rng)] : std::ldexp(mantissa(rng), exponent(rng)); };
    std::vector<cf32> v(count);
    for (auto& c : v) {
        c.re = value();
        c.im = value();
    }
    return v;
}

// Equal bits, or NaN on both sides (a NaN's sign and payload carry no meaning here).
bool same(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

struct Shape {
    int32_t U, n, tapStride, groups;
    int32_t spread = 0;  // added to the room for window starts
};

void expectSameBits(std::mt19937& rng, const Shape& s, bool edges = false)
{
    SCOPED_TRACE(::testing::Message() << "U " << s.U << " n " << s.n << " stride " << s.tapStride
                                      << " groups " << s.groups << " spread " << s.spread);
    const std::vector<cf32> taps = signal(rng, size_t(4) * s.U * s.tapStride, edges);
    // Window starts within a cycle, then the cycle's advance.
    std::uniform_int_distribution<int32_t> start(0, 3 * s.U + 5 + s.spread);
    std::vector<int32_t> phases(4 * s.U + 1);
    for (int32_t k = 0; k < 4 * s.U; ++k)
        phases[k] = start(rng);
    phases[4 * s.U] = std::uniform_int_distribution<int32_t>(1, 4 * s.U + 3)(rng);
    const int32_t base = std::uniform_int_distribution<int32_t>(0, 9)(rng);
    const int32_t cycles = s.groups / s.U + 1;
    const std::vector<cf32> buf =
        signal(rng, size_t(base) + size_t(cycles) * phases[4 * s.U] + 3 * s.U + 5 + s.spread + s.n,
               edges);
    const int32_t count = 4 * s.groups;
    std::vector<cf32> got(count + 1, cf32{-7, -7}), want(count + 1, cf32{-7, -7});
    const int32_t gotNext = sig::s0::sigkFirMrBlock_cf32(taps.data(), buf.data(), got.data(), count,
                                                         phases.data(), s.U, base, s.n, s.tapStride);
    EXPECT_EQ(gotNext, serialBlock(taps.data(), buf.data(), want.data(), count, phases.data(), s.U,
                                   base, s.n, s.tapStride));
    for (int32_t m = 0; m <= count; ++m)
        ASSERT_TRUE(same(got[m].re, want[m].re) && same(got[m].im, want[m].im))
            << "output " << m << ": " << got[m].re << "," << got[m].im << " against " << want[m].re
            << "," << want[m].im;
}

// Group counts that are not whole cycles of U as well as whole ones; edge values on short sums.
TEST(FirMrBlockPlain, RandomShapesAndEdgeValuesMatchTheSerialSumsBitForBit)
{
    std::mt19937 rng(4711);
    auto uniform = [&](int32_t lo, int32_t hi) {
        return std::uniform_int_distribution<int32_t>(lo, hi)(rng);
    };
    for (int trial = 0; trial < 200; ++trial) {
        const int32_t U = uniform(1, 6), n = uniform(1, 70);
        expectSameBits(rng, {U, n, n + uniform(0, 3), uniform(0, 3 * U + 7)});
    }
    for (int trial = 0; trial < 100; ++trial) {
        const int32_t U = uniform(1, 3), n = uniform(1, 6);
        expectSameBits(rng, {U, n, n, 4 * U}, true);
    }
}

// Past the widened table's room the taps go through in chunks (lengths on and off a chunk);
// many groups outrun the widened samples and refill them; windows wider than that room go
// through lane by lane in tap chunks, with taps widened at once or in chunks.
TEST(FirMrBlockPlain, ChunkedTapsLongCallsAndWideWindowsMatchToo)
{
    std::mt19937 rng(815);
    for (const Shape& s : {Shape{1, 48, 48, 9}, Shape{1, 255, 255, 3}, Shape{1, 256, 256, 3},
                           Shape{1, 257, 259, 3}, Shape{2, 128, 128, 5}, Shape{2, 129, 130, 5},
                           Shape{1, 511, 511, 3}, Shape{1, 513, 515, 3}, Shape{1, 1100, 1100, 2},
                           Shape{3, 171, 172, 7}, Shape{5, 700, 701, 6}, Shape{1, 48, 48, 900},
                           Shape{2, 48, 49, 700}, Shape{6, 30, 30, 500}, Shape{1, 2030, 2030, 3},
                           Shape{1, 2048, 2048, 2}, Shape{3, 2100, 2100, 4}, Shape{1, 40, 40, 30, 3000},
                           Shape{2, 300, 301, 12, 1900}})
        expectSameBits(rng, s);
}

}  // namespace
