// What the FFT kernel tests check with: guarded buffers, the comparisons to the bit, the
// references of both directions, the factor a flag puts on a direction, and the scalar steps the
// bit-exact models of the radix-4 kernels are made of.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fft_reference.h"
#include "fft_test_support.h"
#include "sigprim.h"

namespace fft_test {

// n complex values at a chosen byte offset past a 64-byte boundary, between guard bytes.
struct Guarded {
    static constexpr size_t kGuard = 256;
    std::vector<uint8_t> block;
    cf32* data;
    size_t bytes;
    Guarded(size_t n, size_t offset) : block(8 * n + 2 * kGuard + 64, 0x5A), bytes(8 * n)
    {
        const uintptr_t start = reinterpret_cast<uintptr_t>(block.data()) + kGuard + 63;
        data = reinterpret_cast<cf32*>((start & ~uintptr_t{63}) + offset);
    }
    void fill(const std::vector<cf32>& x) { std::memcpy(data, x.data(), bytes); }
    std::vector<cf32> values() const { return {data, data + bytes / 8}; }
    bool same(const std::vector<cf32>& y) const { return std::memcmp(data, y.data(), bytes) == 0; }
    // Nothing written outside the values.
    bool guardsIntact() const
    {
        const uint8_t* p = reinterpret_cast<const uint8_t*>(data);
        for (const uint8_t* q = block.data(); q < block.data() + block.size(); ++q)
            if ((q < p || q >= p + bytes) && *q != 0x5A)
                return false;
        return true;
    }
    // Nothing written at all.
    bool untouched() const
    {
        return std::all_of(block.begin(), block.end(), [](uint8_t b) { return b == 0x5A; });
    }
};

inline std::vector<cf32> conj(std::vector<cf32> x)
{
    for (cf32& v : x)
        v.im = -v.im;
    return x;
}

inline bool sameBits(const std::vector<cf32>& a, const std::vector<cf32>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), 8 * a.size()) == 0;
}

// Equal bits, except that +0 and -0 count as equal.
inline bool sameUpToZeroSign(const std::vector<cf32>& a, const std::vector<cf32>& b)
{
    for (size_t i = 0; i < a.size(); ++i)
        if (!(a[i].re == b[i].re || std::memcmp(&a[i].re, &b[i].re, 4) == 0) ||
            !(a[i].im == b[i].im || std::memcmp(&a[i].im, &b[i].im, 4) == 0))
            return false;
    return true;
}

// The factor a flag puts on one direction's output.
inline double scaleOf(int32_t flag, int32_t order, bool inverse)
{
    const double n = std::ldexp(1.0, order);
    return flag == 4 ? 1.0 / std::sqrt(n) : flag == (inverse ? 2 : 1) ? 1.0 / n : 1.0;
}

// The references of both directions: the inverse's output k is the forward's output n - k.
struct References {
    std::vector<fft_reference::cd> ref[2];
    explicit References(const std::vector<fft_reference::cd>& x)
    {
        const size_t n = x.size();
        ref[0] = fft_reference::dft(x);
        ref[1].resize(n);
        for (size_t k = 0; k < n; ++k)
            ref[1][k] = ref[0][(n - k) % n];
    }
    explicit References(const std::vector<cf32>& x) : References(fft_reference::toDouble(x)) {}
};

// Split blocks (`width` real parts, then as many imaginary parts) turned back to interleaved values.
inline std::vector<cf32> desplit(const std::vector<cf32>& y, size_t width)
{
    std::vector<cf32> out(y.size());
    const float* f = &y[0].re;
    for (size_t b = 0; b < y.size(); b += width)
        for (size_t i = 0; i < width; ++i)
            out[b + i] = {f[2 * b + i], f[2 * b + width + i]};
    return out;
}

// x permuted into bit-reversed order over all its index bits.
inline std::vector<cf32> bitReversed(const std::vector<cf32>& x)
{
    const int bits = __builtin_ctz(unsigned(x.size()));
    std::vector<cf32> y(x.size());
    for (size_t p = 0; p < x.size(); ++p)
        y[p] = x[size_t(reverseBits(int64_t(p), bits))];
    return y;
}

struct SlotOrder {
    int slot;
    int32_t order;
};
inline std::string caseName(const testing::TestParamInfo<SlotOrder>& p)
{
    return "slot" + std::to_string(p.param.slot) + "_order" + std::to_string(p.param.order);
}

// The steps of the radix-4 kernels one value at a time, every sum, difference and product rounded
// to float. Products with a factor (c, s) as stored: (re c - im s, im c + re s), the inverse
// (re c + im s, im c - re s).
struct ScalarSteps {
    bool inverse;

    static cf32 add(cf32 a, cf32 b) { return {a.re + b.re, a.im + b.im}; }
    static cf32 sub(cf32 a, cf32 b) { return {a.re - b.re, a.im - b.im}; }
    // Multiplication by -j (by +j for the inverse), exact.
    cf32 turn(cf32 a) const { return inverse ? cf32{-a.im, a.re} : cf32{a.im, -a.re}; }
    cf32 twiddle(cf32 p, float c, float s) const
    {
        return inverse ? cf32{p.re * c + p.im * s, p.im * c - p.re * s}
                       : cf32{p.re * c - p.im * s, p.im * c + p.re * s};
    }
    void dft4(cf32 a, cf32 b, cf32 c, cf32 d, cf32* y, int step = 1) const
    {
        const cf32 sac = add(a, c), dac = sub(a, c), sbd = add(b, d), e = turn(sub(b, d));
        y[0] = add(sac, sbd), y[step] = add(dac, e), y[2 * step] = sub(sac, sbd), y[3 * step] = sub(dac, e);
    }
    // One radix-4 pass of span m over z, reading the factor set of that pass as the tables store
    // it: per run of 4 positions, real and imaginary parts of the powers 2, 1, 3.
    void pass4(std::vector<cf32>& z, int32_t m, const float* set) const
    {
        const int32_t n = int32_t(z.size());
        for (int32_t g = 0; g < n; g += 4 * m)
            for (int32_t k = 0; k < m; ++k) {
                const float* w = set + 24 * (k / 4) + k % 4;
                cf32* p = &z[size_t(g + k)];
                const cf32 t1 = twiddle(p[m], w[8], w[12]), t2 = twiddle(p[2 * m], w[0], w[4]),
                           t3 = twiddle(p[3 * m], w[16], w[20]);
                const cf32 b0 = add(p[0], t1), b1 = sub(p[0], t1), c0 = add(t2, t3), d = turn(sub(t2, t3));
                p[0] = add(b0, c0), p[m] = add(b1, d), p[2 * m] = sub(b0, c0), p[3 * m] = sub(b1, d);
            }
    }
};

// The complex arithmetic the small-kernel models are written in, every operation rounded to float.
namespace arith {
inline cf32 operator+(cf32 a, cf32 b) { return {a.re + b.re, a.im + b.im}; }
inline cf32 operator-(cf32 a, cf32 b) { return {a.re - b.re, a.im - b.im}; }
inline cf32 operator*(float f, cf32 a) { return {f * a.re, f * a.im}; }
inline cf32 minusJ(cf32 a) { return {a.im, -a.re}; }
}  // namespace arith

}  // namespace fft_test
