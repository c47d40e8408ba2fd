// The straight-line transforms of 1 to 32 points of slots 1 to 4, both directions, through the
// slots' small-order tables: the exact bits their arithmetic is fixed to (a scalar statement of it,
// float by float), the conjugate twin, the double reference and the plain kernels, the same bits on
// every slot, and the memory paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fft_reference.h"
#include "fft_test_checks.h"
#include "fft_test_support.h"
#include "sigprim.h"
#include "slots.h"

namespace {

using fft_reference::cd;
using fft_test::conj;
using fft_test::sameBits;
using Vec = std::vector<cf32>;
using Table = fft_test::SmallTable<6>;
using namespace fft_test::arith;

#define SSE_SMALL_TEST_TABLES(name)                                                                \
    { &sig::s0::name, &sig::s1::name, &sig::s2::name, &sig::s3::name, &sig::s4::name }
const Table* const kForward[5] = SSE_SMALL_TEST_TABLES(sigkFftSmallTable_cf32);
const Table* const kInverse[5] = SSE_SMALL_TEST_TABLES(sigkFftInvSmallTable_cf32);
#undef SSE_SMALL_TEST_TABLES

// The forward transforms as their arithmetic is fixed, one value at a time, every sum, difference
// and product rounded to float. The inverse kernels are held to the conjugate twins of the forward
// ones instead.
class Model {
public:
    explicit Model(const float* factor) : scaled_(factor != nullptr), f_(factor ? *factor : 1.0f) {}

    Vec operator()(const Vec& x) const
    {
        const int n = int(x.size());
        Vec y;
        if (n == 1)
            y = x;
        else if (n == 2)
            y = {x[0] + x[1], x[0] - x[1]};
        else if (n == 4)
            y = bf4(x[0], x[1], x[2], x[3]);
        else if (n == 8)
            y = n8(x);
        else if (n == 16)
            y = n16(x);
        else
            y = n32(x);
        if (scaled_ && n != 16)
            for (cf32& v : y)
                v = f_ * v;
        return y;
    }

private:
    static constexpr float kRoot = 0.70710677f;

    // From the first sums and differences; `g` scales them (the 16-point twin's last layer).
    static Vec bf4From(cf32 a, cf32 b, cf32 c, cf32 e, float g = 1.0f, bool scale = false)
    {
        if (scale)
            a = g * a, b = g * b, c = g * c, e = g * e;
        return {a + c, b + minusJ(e), a - c, b - minusJ(e)};
    }
    static Vec bf4(cf32 x0, cf32 x1, cf32 x2, cf32 x3) { return bf4From(x0 + x2, x0 - x2, x1 + x3, x1 - x3); }
    static cf32 root1(cf32 v) { return {kRoot * (v.re + v.im), kRoot * (v.im - v.re)}; }
    static cf32 root3(cf32 v) { return {-kRoot * (v.re - v.im), -kRoot * (v.im + v.re)}; }
    // v times W32^e: v*(c, c) + swap(v)*(s, -s); the factors 1 and -j exactly.
    static cf32 rotate(cf32 v, int e)
    {
        if (e == 0)
            return v;
        if (e == 8)
            return minusJ(v);
        const float c = float(std::cos(M_PI * e / 16)), s = float(std::sin(M_PI * e / 16));
        return {v.re * c + v.im * s, v.im * c + v.re * -s};
    }
    static Vec n8(const Vec& x)
    {
        const Vec e = bf4(x[0], x[2], x[4], x[6]), o = bf4(x[1], x[3], x[5], x[7]);
        const cf32 t[4] = {o[0], root1(o[1]), minusJ(o[2]), root3(o[3])};
        Vec y(8);
        for (int k = 0; k < 4; ++k) {
            y[k] = e[k] + t[k];
            y[k + 4] = e[k] - t[k];
        }
        return y;
    }
    // Column k of rows x[k + cols*r], 4-point transformed, output q turned by W^(q*k).
    static std::vector<Vec> columns(const Vec& x, int cols)
    {
        std::vector<Vec> y(4, Vec(cols));
        for (int k = 0; k < cols; ++k) {
            const Vec c = bf4(x[k], x[k + cols], x[k + 2 * cols], x[k + 3 * cols]);
            for (int q = 0; q < 4; ++q)
                y[q][k] = rotate(c[q], q * k * 32 / int(x.size()));
        }
        return y;
    }
    Vec n16(const Vec& x) const
    {
        const std::vector<Vec> y = columns(x, 4);
        Vec out(16);
        for (int q = 0; q < 4; ++q) {
            const Vec& z = y[q];
            const Vec r = bf4From(z[0] + z[2], z[0] - z[2], z[1] + z[3], z[1] - z[3], f_, scaled_);
            for (int m = 0; m < 4; ++m)
                out[q + 4 * m] = r[m];
        }
        return out;
    }
    static Vec n32(const Vec& x)
    {
        const std::vector<Vec> y = columns(x, 8);
        Vec out(32);
        for (int q = 0; q < 4; ++q) {
            const Vec& z = y[q];
            cf32 u[4], d[4];
            for (int k = 0; k < 4; ++k)
                u[k] = z[k] + z[k + 4], d[k] = z[k] - z[k + 4];
            d[1] = root1(d[1]), d[2] = minusJ(d[2]), d[3] = root3(d[3]);
            const Vec even = bf4(u[0], u[1], u[2], u[3]), odd = bf4(d[0], d[1], d[2], d[3]);
            for (int i = 0; i < 4; ++i) {
                out[q + 8 * i] = even[i];
                out[q + 8 * i + 4] = odd[i];
            }
        }
        return out;
    }

    bool scaled_;
    float f_;
};

// Complex values at a chosen distance (in bytes) past a 16-byte boundary, with guard values
// around them that no kernel may touch.
class Buffer {
public:
    static constexpr size_t kGuard = 4;
    Buffer(size_t n, size_t offset) : n_(n), raw_((n + 2 * kGuard + 2) * sizeof(cf32), 0xA5)
    {
        const uintptr_t start = (reinterpret_cast<uintptr_t>(raw_.data()) + 15) & ~uintptr_t{15};
        data_ = reinterpret_cast<cf32*>(start + kGuard * sizeof(cf32) + offset);
    }
    cf32* data() { return data_; }
    bool guardsIntact() const
    {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(data_);
        for (size_t i = 0; i < kGuard * sizeof(cf32); ++i)
            if (p[-1 - ptrdiff_t(i)] != 0xA5 || p[n_ * sizeof(cf32) + i] != 0xA5)
                return false;
        return true;
    }

private:
    size_t n_;
    std::vector<unsigned char> raw_;
    cf32* data_;
};

struct Kernel {
    int slot;
    bool inverse;
    int order;
    const float* factor;  // nullptr: the unscaled kernel
    // The kernel from src to dst, placed at the given offsets; dstOffset < 0: in place at srcOffset.
    Vec operator()(const Vec& x, size_t srcOffset = 0, int dstOffset = 0) const
    {
        const Table& t = *(inverse ? kInverse : kForward)[slot];
        Buffer src(x.size(), srcOffset), dst(x.size(), dstOffset < 0 ? 0 : size_t(dstOffset));
        std::memcpy(src.data(), x.data(), x.size() * sizeof(cf32));
        cf32* out = dstOffset < 0 ? src.data() : dst.data();
        if (factor)
            t.scaled[order](src.data(), out, *factor);
        else
            t.unscaled[order](src.data(), out);
        EXPECT_TRUE(src.guardsIntact() && dst.guardsIntact()) << "written outside the values";
        return Vec(out, out + x.size());
    }
};

// Equal as floats (so +0 == -0), or both NaN.
::testing::AssertionResult sameValues(const Vec& y, const Vec& want)
{
    for (size_t i = 0; i < y.size(); ++i)
        for (auto [a, b] : {std::pair{y[i].re, want[i].re}, {y[i].im, want[i].im}})
            if (!(a == b || (std::isnan(a) && std::isnan(b))))
                return ::testing::AssertionFailure() << "X[" << i << "] = " << y[i].re << ", " << y[i].im
                                                     << " instead of " << want[i].re << ", " << want[i].im;
    return ::testing::AssertionSuccess();
}

// One kernel of the slot (factor 0: the unscaled one) on a test signal.
void expectArithmetic(int slot, bool inverse, int order, uint32_t seed, float f)
{
    const int n = 1 << order;
    const float* factor = f == 0.0f ? nullptr : &f;
    const Vec x = fft_reference::testSignal(size_t(n), 100 * seed + uint32_t(order));
    const Vec y = Kernel{slot, inverse, order, factor}(x), plain = Kernel{slot, inverse, order, nullptr}(x);
    const Vec want = inverse ? conj(Kernel{slot, false, order, factor}(conj(x))) : Model(factor)(x);
    ASSERT_TRUE(sameValues(y, want));
    const std::vector<cd> ref = fft_reference::dft(fft_reference::toDouble(inverse ? conj(x) : x));
    EXPECT_LE(fft_reference::relativeRmsError(inverse ? conj(y).data() : y.data(), ref, factor ? f : 1.0),
              fft_reference::allowedError(order));
    const Vec base = Kernel{0, inverse, order, factor}(x);
    EXPECT_LE(fft_reference::relativeRmsError(y.data(), fft_reference::toDouble(base), 1.0),
              2 * fft_reference::allowedError(order));
    if (!factor)
        return;
    if (f == 1.0f) {
        EXPECT_TRUE(sameBits(y, plain));
    }
    // At 16 points the factor meets the operands of the last sums and differences, whose
    // roundings reach a few units in the last place of the largest output.
    float largest = 0;
    for (const cf32& v : plain)
        largest = std::max({largest, std::fabs(v.re), std::fabs(v.im)});
    for (int i = 0; i < n; ++i)
        for (auto [got, un] : {std::pair{y[i].re, plain[i].re}, {y[i].im, plain[i].im}}) {
            if (n == 16)
                EXPECT_LE(std::fabs(got - un * f), std::ldexp(largest * f, -22)) << "X[" << i << "]";
            else
                EXPECT_EQ(got, un * f) << "X[" << i << "]";
        }
}

class SseSmallFft : public testing::TestWithParam<int> {
protected:
    void SetUp() override { SIG_SKIP_UNLESS_SLOT_RUNS(GetParam()); }
    int slot() const { return GetParam(); }
};

// Every size, direction and scaling, with the factors the slot's planner gives (1/n, 1/sqrt(n))
// and others: the forward bits of the stated arithmetic, the inverse as the conjugate twin of the
// forward, the double reference and the plain kernels within the rounding allowance, and the
// scaled twins against the unscaled result times the factor (bit for bit, except at 16 points;
// a factor of 1 exactly).
TEST_P(SseSmallFft, EveryKernelGivesTheBitsOfItsArithmetic)
{
    for (int order = 0; order <= 1; ++order) {  // the 1- and 2-point kernels serve both tables
        EXPECT_EQ(kInverse[slot()]->unscaled[order], kForward[slot()]->unscaled[order]);
        EXPECT_EQ(kInverse[slot()]->scaled[order], kForward[slot()]->scaled[order]);
    }
    for (int order = 0; order <= 5; ++order) {
        const float byN = fft_test::Plan(order, 1, slot()).spec->factor;
        const float byRoot = fft_test::Plan(order, 4, slot()).spec->factor;
        ASSERT_EQ(byN, 1.0f / float(1 << order));
        for (uint32_t seed : {1u, 2u})
            for (bool inverse : {false, true})
                for (const float f : {0.0f, byN, byRoot, 0.3f, 1.0f}) {
                    SCOPED_TRACE(testing::Message() << (inverse ? "inverse" : "forward") << " order "
                                                    << order << " factor " << f << " seed " << seed);
                    expectArithmetic(slot(), inverse, order, seed, f);
                }
    }
}

// Source and destination on a 16-byte boundary take whole registers; 8 bytes off it, unaligned
// loads and half stores; in place, the same array. All give the same bits, and nothing outside the
// values is written. The 1-point kernel copies bits: a signalling NaN keeps its payload.
TEST_P(SseSmallFft, AlignmentAndInPlaceGiveTheSameBits)
{
    const float half = 0.5f;
    for (int order = 0; order <= 5; ++order)
        for (bool inverse : {false, true})
            for (const float* factor : {static_cast<const float*>(nullptr), &half}) {
                SCOPED_TRACE(testing::Message() << "slot " << slot() << (inverse ? " inverse" : " forward")
                                                << " order " << order << (factor ? " scaled" : ""));
                const Kernel run{slot(), inverse, order, factor};
                const Vec x = fft_reference::testSignal(size_t(1) << order, 7), want = run(x);
                for (size_t srcOffset : {0, 8}) {
                    for (int dstOffset : {0, 8})
                        EXPECT_TRUE(sameBits(run(x, srcOffset, dstOffset), want))
                            << "src +" << srcOffset << ", dst +" << dstOffset;
                    EXPECT_TRUE(sameBits(run(x, srcOffset, -1), want)) << "in place +" << srcOffset;
                }
            }
    const uint32_t bits[2] = {0x7FA12345u, 0x80000000u};
    Vec x(1);
    std::memcpy(&x[0], bits, sizeof bits);
    const Vec y = Kernel{slot(), false, 0, nullptr}(x, 8, -1);
    EXPECT_EQ(std::memcmp(&y[0], bits, sizeof bits), 0);
}

INSTANTIATE_TEST_SUITE_P(Slots1To4, SseSmallFft, testing::Values(1, 2, 3, 4));

// Slots 1 to 4 give the same bits, zero signs included, for every kernel of both tables, on
// signals with exact cancellations (zeros of either sign) as well as noise.
TEST(SseSmallFftSlots, AllSlotsGiveTheSameBits)
{
    for (int slot = 1; slot <= 4; ++slot)
        SIG_SKIP_UNLESS_SLOT_RUNS(slot);
    const float third = 1.0f / 3.0f;
    for (int order = 0; order <= 5; ++order) {
        const size_t n = size_t(1) << order;
        Vec steps(n);
        for (size_t i = 0; i < n; ++i)
            steps[i] = {i % 3 == 0 ? -0.0f : float(int(i % 4) - 2), i % 2 ? 0.0f : -1.5f};
        for (const Vec& x : {fft_reference::testSignal(n, 5), steps})
            for (bool inverse : {false, true})
                for (const float* factor : {static_cast<const float*>(nullptr), &third}) {
                    const Vec want = Kernel{1, inverse, order, factor}(x);
                    for (int slot = 2; slot <= 4; ++slot)
                        EXPECT_TRUE(sameBits(Kernel{slot, inverse, order, factor}(x), want))
                            << "slot " << slot << (inverse ? " inverse" : " forward") << " order " << order
                            << (factor ? " scaled" : "");
                }
    }
}

}  // namespace
