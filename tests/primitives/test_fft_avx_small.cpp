// The straight-line transforms of 1 to 64 points of slots 5 and 6, both directions, through the
// slots' small-order tables: the exact bits their arithmetic is fixed to (a scalar statement of it,
// float by float, with the products slot 6 fuses), the double reference, and the memory paths.
#include <gtest/gtest.h>

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
using fft_reference::testSignal;
using fft_test::conj;
using fft_test::sameBits;
using Vec = std::vector<cf32>;
using Table = fft_test::SmallTable<7>;
using namespace fft_test::arith;

cf32 fma(cf32 a, float b, cf32 c) { return {std::fma(a.re, b, c.re), std::fma(a.im, b, c.im)}; }

// The forward transforms as their arithmetic is fixed, one value at a time: every sum, difference
// and product rounded to float, except the products that slot 6 fuses. The inverse kernels are the
// exact conjugate twins, up to the sign of zeros.
class Model {
public:
    Model(bool slot6, const float* factor)
        : fused_(slot6), scaled_(factor != nullptr), f_(factor ? *factor : 1.0f) {}

    Vec operator()(Vec x) const
    {
        const int n = int(x.size());
        if (scaled_ && n >= 32 && !fused_)
            for (cf32& v : x)
                v = f_ * v;
        Vec y;
        if (n == 1)
            y = x;
        else if (n == 2)
            y = {x[0] + x[1], x[0] - x[1]};
        else if (n == 4)
            y = bf4(x.data(), 1);
        else if (n == 8)
            y = n8(x);
        else
            y = grid(x);
        if (scaled_ && n <= 16)
            for (cf32& v : y)
                v = f_ * v;
        return y;
    }

private:
    enum class Fold { None, First, Second };  // which operand's product by the factor slot 6 fuses
    static constexpr float kRoot = 0.70710677f;

    void sumDiff(cf32 x, cf32 y, Fold fold, cf32& s, cf32& d) const
    {
        if (fold == Fold::None) {
            s = x + y;
            d = x - y;
        } else if (fold == Fold::First) {
            const cf32 yf = f_ * y;
            s = fma(x, f_, yf);
            d = fma(x, f_, -1.0f * yf);
        } else {
            const cf32 xf = f_ * x;
            s = fma(y, f_, xf);
            d = fma(-1.0f * y, f_, xf);
        }
    }
    Vec bf4(const cf32* a, int stride, Fold fold = Fold::None) const
    {
        cf32 s02, d02, s13, d13;
        sumDiff(a[0], a[2 * stride], fold, s02, d02);
        sumDiff(a[stride], a[3 * stride], fold, s13, d13);
        return {s02 + s13, d02 + minusJ(d13), s02 - s13, d02 - minusJ(d13)};
    }
    Vec dif8(const cf32* a, int stride, Fold low = Fold::None, Fold high = Fold::None) const
    {
        cf32 u[4], d[4];
        for (int r = 0; r < 4; ++r)
            sumDiff(a[r * stride], a[(r + 4) * stride], r < 2 ? low : high, u[r], d[r]);
        const Vec even = bf4(u, 1);
        const cf32 p = kRoot * d[1];
        const cf32 x = fused_ ? fma(-1.0f * d[3], kRoot, p) : p - kRoot * d[3];
        const cf32 y = fused_ ? fma(d[3], kRoot, p) : p + kRoot * d[3];
        const cf32 s1 = d[0] + x, t1 = minusJ(d[2] + y), s3 = d[0] - x, t3 = minusJ(y - d[2]);
        return {even[0], s1 + t1, even[1], s3 + t3, even[2], s3 - t3, even[3], s1 - t1};
    }
    Vec n8(const Vec& x) const
    {
        const Vec e = bf4(&x[0], 2), o = bf4(&x[1], 2);
        const cf32 t[4] = {o[0], {kRoot * (o[1].re + o[1].im), kRoot * (o[1].im - o[1].re)}, minusJ(o[2]),
                           {-kRoot * (o[3].re - o[3].im), -kRoot * (o[3].im + o[3].re)}};
        Vec y(8);
        for (int k = 0; k < 4; ++k) {
            y[k] = e[k] + t[k];
            y[k + 4] = e[k] - t[k];
        }
        return y;
    }
    // W^q of 64 points: v*(c, c) + swap(v)*(s, -s), slot 6 fusing the cosine product.
    cf32 rotate(cf32 v, int q) const
    {
        auto nearest = [](double t) { return std::fabs(t) < 1e-9 ? 0.0f : static_cast<float>(t); };
        const float c = nearest(std::cos(M_PI * q / 32)), s = nearest(std::sin(M_PI * q / 32));
        const cf32 sine = {v.im * s, v.re * -s};
        return fused_ ? cf32{std::fma(v.re, c, sine.re), std::fma(v.im, c, sine.im)}
                      : cf32{v.re * c + sine.re, v.im * c + sine.im};
    }
    // 16 = 4 x 4, 32 = 4 x 8, 64 = 8 x 8: rows x[cols*m + col], transforms down the columns, the
    // twiddles, transforms across the columns.
    Vec grid(const Vec& x) const
    {
        const int n = int(x.size()), cols = n == 16 ? 4 : 8, rows = n / cols;
        const bool fold = scaled_ && fused_ && n >= 32;
        std::vector<Vec> z(rows, Vec(cols));
        for (int col = 0; col < cols; ++col) {
            const Vec y = rows == 4 ? bf4(&x[col], cols, fold ? Fold::First : Fold::None)
                                    : dif8(&x[col], cols, fold ? Fold::First : Fold::None,
                                           fold ? Fold::Second : Fold::None);
            for (int k1 = 0; k1 < rows; ++k1) {
                const bool turned = n == 64 ? col != 0 && (col < 4 || k1 != 0) : k1 != 0;
                z[k1][col] = turned ? rotate(y[k1], col * k1 * 64 / n) : y[k1];
            }
        }
        Vec out(n);
        for (int k1 = 0; k1 < rows; ++k1) {
            const Vec y = cols == 4 ? bf4(z[k1].data(), 1) : dif8(z[k1].data(), 1);
            for (int k2 = 0; k2 < cols; ++k2)
                out[k1 + rows * k2] = y[k2];
        }
        return out;
    }

    bool fused_, scaled_;
    float f_;
};

const Table& table(int slot, bool inverse)
{
    if (slot == 5)
        return inverse ? sig::s5::sigkFftInvSmallTable_cf32 : sig::s5::sigkFftSmallTable_cf32;
    return inverse ? sig::s6::sigkFftInvSmallTable_cf32 : sig::s6::sigkFftSmallTable_cf32;
}

// Complex values at a chosen distance (in bytes) past a 32-byte boundary.
class Buffer {
public:
    Buffer(size_t n, size_t offset) : raw_((n + 8) * sizeof(cf32))
    {
        const uintptr_t start = (reinterpret_cast<uintptr_t>(raw_.data()) + 31) & ~uintptr_t{31};
        data_ = reinterpret_cast<cf32*>(start + offset);
    }
    cf32* data() { return data_; }

private:
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
        const Table& t = table(slot, inverse);
        Buffer src(x.size(), srcOffset), dst(x.size(), dstOffset < 0 ? 0 : size_t(dstOffset));
        std::memcpy(src.data(), x.data(), x.size() * sizeof(cf32));
        cf32* out = dstOffset < 0 ? src.data() : dst.data();
        if (factor)
            t.scaled[order](src.data(), out, *factor);
        else
            t.unscaled[order](src.data(), out);
        return Vec(out, out + x.size());
    }
};

class AvxSmallFft : public testing::TestWithParam<int> {
protected:
    void SetUp() override { SIG_SKIP_UNLESS_SLOT_RUNS(GetParam()); }
    int slot() const { return GetParam(); }
};

// Every size, direction and scaling: the stated arithmetic bit for bit (the zero signs aside),
// which fixes where slot 6 fuses and where the factor enters, and the double reference within the
// rounding allowance. A factor of 1.0 gives the unscaled bits exactly.
TEST_P(AvxSmallFft, EveryKernelGivesTheBitsOfItsArithmetic)
{
    for (bool inverse : {false, true})
        for (int order = 0; order <= 1; ++order) {  // the 1- and 2-point kernels serve both tables
            EXPECT_EQ(table(slot(), inverse).unscaled[order], table(slot(), false).unscaled[order]);
            EXPECT_EQ(table(slot(), inverse).scaled[order], table(slot(), false).scaled[order]);
        }
    for (int order = 0; order <= 6; ++order) {
        const int n = 1 << order;
        const Vec x = testSignal(size_t(n), 100 + uint32_t(order));
        const std::vector<cd> fwdRef = fft_reference::dft(fft_reference::toDouble(x));
        const std::vector<cd> invRef = fft_reference::dft(fft_reference::toDouble(conj(x)));
        for (bool inverse : {false, true}) {
            const Vec plain = Kernel{slot(), inverse, order, nullptr}(x);
            for (const float f : {0.0f, 1.0f / float(n), 0.3f, 1.0f}) {
                SCOPED_TRACE(testing::Message() << "slot " << slot() << (inverse ? " inverse" : " forward")
                                                << " order " << order << " factor " << f);
                const float* factor = f == 0.0f ? nullptr : &f;
                const Model model(slot() == 6, factor);
                const Vec y = f == 0.0f ? plain : Kernel{slot(), inverse, order, factor}(x);
                const Vec want = inverse ? conj(model(conj(x))) : model(x);
                for (int i = 0; i < n; ++i)
                    ASSERT_TRUE(y[i].re == want[i].re && y[i].im == want[i].im)
                        << "X[" << i << "] = " << y[i].re << ", " << y[i].im << " instead of "
                        << want[i].re << ", " << want[i].im;
                std::vector<cd> ref = inverse ? invRef : fwdRef;
                if (inverse)
                    for (cd& v : ref)
                        v = std::conj(v);
                EXPECT_LE(fft_reference::relativeRmsError(y.data(), ref, factor ? f : 1.0),
                          fft_reference::allowedError(order));
                if (f == 1.0f) {
                    EXPECT_TRUE(sameBits(y, plain));
                }
            }
        }
    }
}

// Source and destination on a 32-byte boundary take whole vectors; 8 or 16 bytes off it, halves;
// in place, the same array. All give the same bits.
TEST_P(AvxSmallFft, AlignmentAndInPlaceGiveTheSameBits)
{
    const float half = 0.5f;
    for (int order = 0; order <= 6; ++order)
        for (bool inverse : {false, true})
            for (const float* factor : {static_cast<const float*>(nullptr), &half}) {
                SCOPED_TRACE(testing::Message() << "slot " << slot() << (inverse ? " inverse" : " forward")
                                                << " order " << order << (factor ? " scaled" : ""));
                const Kernel run{slot(), inverse, order, factor};
                const Vec x = testSignal(size_t(1) << order, 7), want = run(x);
                for (size_t srcOffset : {0, 8, 16}) {
                    for (int dstOffset : {0, 8, 16})
                        EXPECT_TRUE(sameBits(run(x, srcOffset, dstOffset), want))
                            << "src +" << srcOffset << ", dst +" << dstOffset;
                    EXPECT_TRUE(sameBits(run(x, srcOffset, -1), want)) << "in place +" << srcOffset;
                }
            }
}

// The 1-point kernel copies bits: a signalling NaN keeps its payload and -0 stays -0.
TEST_P(AvxSmallFft, OnePointCopiesTheBits)
{
    const uint32_t bits[2] = {0x7FA12345u, 0x80000000u};
    Vec x(1);
    std::memcpy(&x[0], bits, sizeof bits);
    for (bool inverse : {false, true}) {
        const Vec y = Kernel{slot(), inverse, 0, nullptr}(x, 8, -1);
        EXPECT_EQ(std::memcmp(&y[0], bits, sizeof bits), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Slots5And6, AvxSmallFft, testing::Values(5, 6));

}  // namespace
