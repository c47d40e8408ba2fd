// The vector slots' direct-form block kernels against scalar models of their exact summation
// orders, bit for bit: every tap count up to 12 and 48, counts around each step width, dst at
// every offset from a 32-byte boundary that selects a path or a head, x at 4 bytes off an 8-byte
// boundary or not, the window ending at an inaccessible page. Slots 1-4 share one member and
// one model. Closeness to the exact sums is the single-rate filter tests' job.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "fir_block_kernels.h"
#include "fir_test_support.h"

namespace {

// The two lanes (re, im) of one output; every vector operation of the kernels is lane-wise or
// swaps the parts of a complex value, so each output follows its own two lanes.
struct Z {
    float r, i;
};
Z operator+(Z a, Z b) { return {a.r + b.r, a.i + b.i}; }
Z operator*(Z a, Z b) { return {a.r * b.r, a.i * b.i}; }
Z sw(Z a) { return {a.i, a.r}; }
Z fma(Z u, Z v, Z w) { return {std::fma(u.r, v.r, w.r), std::fma(u.i, v.i, w.i)}; }
const Z kZero{0.0f, 0.0f};

// One filter: taps h, and the window x of count + L - 1 samples at its address.
struct Case {
    const std::vector<cf32>& h;
    const cf32* x;
    int L;
    Z in(int i) const { return {x[i].re, x[i].im}; }
    Z P(int k) const { return {h[k].re, h[k].re}; }   // table entry k, first half
    Z Q(int k) const { return {-h[k].im, h[k].im}; }  // second half
};

// Slots 1-4. Input j of output m is x[m + j], meeting tap L-1-j.
std::vector<cf32> sseModel(const Case& c, uintptr_t dstAt, int count)
{
    const int L = c.L;
    std::vector<cf32> y;
    int m = 0;
    if (dstAt % 8 == 0 && dstAt % 16 != 0 && count > 0) {  // scalar lead output, oldest first
        float re = 0.0f, im = 0.0f;
        for (int t = L - 1; t >= 0; --t) {
            const float a = c.h[t].re, b = -c.h[t].im;
            const cf32 v = c.x[L - 1 - t];
            re = re + (a * v.re + b * v.im);
            im = im + (a * v.im - b * v.re);
        }
        y.push_back({re, im});
        m = 1;
    }
    const bool loneLast = L >= 5 && (count - m) % 2 == 1;
    for (; m < count; ++m) {
        Z G[4], H[4];
        auto products = [&](int j0, int n) {
            for (int j = 0; j < n; ++j) {
                const Z X = c.in(m + j0 + j);
                G[j] = X * c.P(L - 1 - (j0 + j));
                H[j] = sw(X) * c.Q(L - 1 - (j0 + j));
            }
        };
        Z S = kZero;
        if (loneLast && m == count - 1) {
            for (int j = 0; j < L; ++j) {
                products(j, 1);
                S = S + G[0];
                S = S + H[0];
            }
        } else if (L == 1) {
            products(0, 1);
            S = G[0] + H[0];
        } else if (L == 2) {
            products(0, 2);
            S = (G[0] + H[0]) + (G[1] + H[1]);
        } else if (L == 3) {
            products(0, 3);
            S = (G[0] + G[1]) + ((G[2] + H[0]) + (H[1] + H[2]));
        } else if (L == 4) {
            products(0, 4);
            S = ((G[0] + G[1]) + (G[2] + G[3])) + ((H[0] + H[1]) + (H[2] + H[3]));
        } else {
            int j0 = 0;
            for (; j0 + 4 <= L; j0 += 4) {
                products(j0, 4);
                S = (S + ((G[0] + G[1]) + (G[2] + G[3]))) + ((H[0] + H[1]) + (H[2] + H[3]));
            }
            products(j0, L - j0);
            if (L - j0 == 3)
                S = (S + (H[1] + H[2])) + ((G[0] + G[1]) + (G[2] + H[0]));
            else if (L - j0 == 2)
                S = S + ((G[0] + G[1]) + (H[0] + H[1]));
            else if (L - j0 == 1)
                S = S + (G[0] + H[0]);
        }
        y.push_back({S.r, S.i});
    }
    return y;
}

// Slots 5 (fused false) and 6 (fused true). Output j's window offset k meets entry L-1-k.
std::vector<cf32> avxModel(const Case& c, uintptr_t dstAt, int count, bool fused)
{
    const int L = c.L;
    auto inOrder = [&](int j) {
        Z acc = kZero;
        for (int k = 0; k < L; ++k) {
            const Z x = c.in(j + k), P = c.P(L - 1 - k), Q = c.Q(L - 1 - k);
            acc = fused ? fma(sw(x), Q, P * x + acc) : (acc + P * x) + Q * sw(x);
        }
        return acc;
    };
    std::vector<Z> y(count);
    int head = count;
    if ((reinterpret_cast<uintptr_t>(c.x) | dstAt) % 8 == 0)
        head = std::min<int>(dstAt % 32 == 0 ? 0 : int(32 - dstAt % 32) / 8, count);
    for (int j = 0; j < head; ++j)
        y[j] = inOrder(j);
    const int rem = count - head;
    for (int s = 0; s < L; s += 4) {
        const int g = std::min(4, L - s);
        for (int j = 0; j < rem; ++j) {
            Z x[4], P[4], Q[4], sQ[4], a[4], b[4];
            for (int m = 0; m < g; ++m) {
                x[m] = c.in(head + j + s + m);
                P[m] = c.P(L - 1 - s - m);
                Q[m] = c.Q(L - 1 - s - m);
                sQ[m] = sw(Q[m]);
                a[m] = P[m] * x[m];
                b[m] = sQ[m] * x[m];
            }
            Z& d = y[head + j];
            const bool adding = s > 0;
            const bool wide = j < (rem & ~3) - 4;  // the 4-output steps of a 2- to 4-tap pass
            if (!fused) {
                Z G;
                if (g == 1)
                    G = P[0] * x[0] + Q[0] * sw(x[0]);
                else if (g == 2)
                    G = (a[0] + a[1]) + sw(b[0] + b[1]);
                else if (g == 3)
                    G = ((a[0] + a[1]) + a[2]) + sw((b[0] + b[1]) + b[2]);
                else
                    G = ((a[0] + a[1]) + (a[2] + a[3])) + sw((b[0] + b[1]) + (b[2] + b[3]));
                d = adding ? G + d : G;
            } else if (g == 1) {
                d = adding ? fma(x[0], P[0], fma(sw(x[0]), Q[0], d)) : fma(x[0], P[0], Q[0] * sw(x[0]));
            } else if (g < 4) {
                Z t = sQ[1] * x[1];
                t = fma(x[0], sQ[0], t);
                if (g == 3)
                    t = fma(x[2], sQ[2], t);
                t = sw(t);
                for (int m = g - 1; m >= 0; --m)
                    t = fma(x[m], P[m], t);
                d = adding ? t + d : t;
            } else if (wide) {
                Z B = b[0];
                for (int m = 1; m < 4; ++m)
                    B = fma(x[m], sQ[m], B);
                if (!adding) {
                    Z A = a[0];
                    for (int m = 1; m < 4; ++m)
                        A = fma(x[m], P[m], A);
                    d = A + sw(B);
                } else {
                    d = fma(x[0], P[0], fma(x[2], P[2], sw(B))) + fma(x[1], P[1], fma(x[3], P[3], d));
                }
            } else {
                const Z B = fma(x[0], sQ[0], b[1]) + fma(x[2], sQ[2], b[3]);
                const Z t = fma(x[0], P[0], fma(x[2], P[2], sw(B)));
                d = t + fma(x[1], P[1], adding ? fma(x[3], P[3], d) : a[3]);
            }
        }
    }
    std::vector<cf32> out;
    for (const Z& v : y)
        out.push_back({v.r, v.i});
    return out;
}

class FirBlockOrder : public ::testing::TestWithParam<int> {};

TEST_P(FirBlockOrder, EverySumFollowsTheSlotsOrderToTheBit)
{
    const int slot = GetParam();
    SIG_SKIP_UNLESS_SLOT_RUNS(slot);
    std::mt19937 rng(4100 + slot);
    constexpr int kMaxCount = 41, kMaxTaps = 48, kSlack = 8;
    firtest::GuardedBlock window((kMaxCount + kMaxTaps) * sizeof(cf32) + kSlack);
    char* const pageEnd = reinterpret_cast<char*>(window.back()) + window.bytes;
    alignas(64) cf32 out[kMaxCount + 16], want[kMaxCount + 16];
    for (int L : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 48}) {
        const std::vector<cf32> h = firtest::randomSignal(rng, size_t(L));
        std::vector<float> table;  // 16-byte aligned, as the kernels read it
        for (const cf32& t : h)
            table.insert(table.end(), {t.re, t.re, t.re, t.re, -t.im, t.im, -t.im, t.im});
        for (int count = 0; count <= kMaxCount; ++count)
            for (int xShift : {0, 4})
                for (int dstOff : {0, 4, 8, 12, 16, 24}) {
                    // The window's last sample ends at the page (or 4 bytes before it).
                    const int n = count + L - 1;
                    cf32* x = reinterpret_cast<cf32*>(pageEnd - xShift - n * int(sizeof(cf32)));
                    const std::vector<cf32> in = firtest::randomSignal(rng, size_t(n));
                    if (n > 0)  // an empty vector's data() may be null, which memcpy forbids
                        std::memcpy(static_cast<void*>(x), in.data(), n * sizeof(cf32));
                    cf32* dst = reinterpret_cast<cf32*>(reinterpret_cast<char*>(out) + 32 + dstOff);
                    const uintptr_t at = reinterpret_cast<uintptr_t>(dst);
                    std::memset(static_cast<void*>(out), 0xa5, sizeof out);
                    std::memcpy(static_cast<void*>(want), out, sizeof out);
                    const Case c{h, x, L};
                    const std::vector<cf32> y = slot <= 4 ? sseModel(c, at, count)
                                                          : avxModel(c, at, count, slot == 6);
                    if (!y.empty())
                        std::memcpy(reinterpret_cast<char*>(want) + 32 + dstOff, y.data(),
                                    y.size() * sizeof(cf32));
                    fir_block::kPerSlot[slot](table.data(), x, dst, count, L);
                    ASSERT_EQ(std::memcmp(out, want, sizeof out), 0)
                        << "taps " << L << " count " << count << " x at " << reinterpret_cast<uintptr_t>(x) % 32
                        << " dst at " << at % 32;
                }
    }
}

INSTANTIATE_TEST_SUITE_P(Slots, FirBlockOrder, ::testing::Range(1, 7));

}  // namespace
