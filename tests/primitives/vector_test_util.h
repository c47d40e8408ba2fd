// Helpers of the vector and scanner primitive tests: a fixture run once per dispatch slot, signal
// shapes, buffers at chosen misalignments with a guard zone behind them.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

#include "sigprim.h"
#include "slots.h"

// The per-slot internal kernels, reached directly.
#define SIG_VECTOR_TEST_DECLS(ns)                                              \
    namespace sig::ns {                                                        \
    void sigkMulInPlaceRaw_cf32(const cf32* src, cf32* srcDst, int32_t len);   \
    void sigkToneRecur_cf32(float* out, int32_t n, float c);                   \
    void sigkDotProd_f32(const float* src1, const float* src2, int32_t len, float* result); \
    }
SIG_VECTOR_TEST_DECLS(s0) SIG_VECTOR_TEST_DECLS(s1) SIG_VECTOR_TEST_DECLS(s2) SIG_VECTOR_TEST_DECLS(s3)
SIG_VECTOR_TEST_DECLS(s4) SIG_VECTOR_TEST_DECLS(s5) SIG_VECTOR_TEST_DECLS(s6)
#undef SIG_VECTOR_TEST_DECLS
#define SIG_EVERY_SLOT(f) {sig::s0::f, sig::s1::f, sig::s2::f, sig::s3::f, sig::s4::f, sig::s5::f, sig::s6::f}

namespace vtest {

inline constexpr int kSlots = 7;
inline constexpr void (*kMulRaw[kSlots])(const cf32*, cf32*, int32_t) = SIG_EVERY_SLOT(sigkMulInPlaceRaw_cf32);
inline constexpr void (*kToneRecur[kSlots])(float*, int32_t, float) = SIG_EVERY_SLOT(sigkToneRecur_cf32);
inline constexpr void (*kDotReal[kSlots])(const float*, const float*, int32_t, float*) =
    SIG_EVERY_SLOT(sigkDotProd_f32);
#undef SIG_EVERY_SLOT

// A test run once per slot with that slot dispatched; a slot this processor lacks is skipped.
class EverySlot : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        SIG_SKIP_UNLESS_SLOT_RUNS(GetParam());
        scope_.emplace(GetParam());
    }
    int slot() const { return GetParam(); }

private:
    std::optional<testing_slots::SlotScope> scope_;
};

// Runs f with 'slot' dispatched, e.g. slot 0 as the reference inside another slot's test.
template <class F>
auto onSlot(int slot, F&& f) { testing_slots::SlotScope scope(slot); return f(); }

// A block of memory whose usable part starts 'offset' bytes past a 64-byte boundary and is
// followed by a guard zone filled with a marker, to catch writes past the end.
class Arena {
public:
    Arena(size_t bytes, unsigned offset) : raw_(bytes + offset + 64 + kGuard, kMarker), bytes_(bytes)
    {
        uintptr_t p = reinterpret_cast<uintptr_t>(raw_.data());
        start_ = static_cast<size_t>(((p + 63) & ~uintptr_t{63}) - p) + offset;
    }
    template <class T>
    T* as() { return reinterpret_cast<T*>(raw_.data() + start_); }
    bool guardIntact() const
    {
        const auto guard = raw_.begin() + ptrdiff_t(start_ + bytes_);
        return std::all_of(guard, guard + kGuard, [](unsigned char c) { return c == kMarker; });
    }

private:
    static constexpr size_t kGuard = 64;
    static constexpr unsigned char kMarker = 0xA5;
    std::vector<unsigned char> raw_;
    size_t bytes_;
    size_t start_ = 0;
};

// Every length from 1 to n, where the vector loops' heads and tails fall, then a few long ones.
inline std::vector<int32_t> lengthsUpTo(int32_t n, std::initializer_list<int32_t> more)
{
    std::vector<int32_t> lengths(more);
    for (int32_t len = 1; len <= n; ++len)
        lengths.push_back(len);
    return lengths;
}

// A burst-like test signal: two tones of different strength over noise, random amplitude.
inline void fillSignal(cf32* dst, int32_t len, uint32_t seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<float> noise(0.0f, 0.3f);
    std::uniform_real_distribution<double> uni(0.0, 1.0);
    double f1 = uni(rng) - 0.5, f2 = uni(rng) - 0.5, a2 = 0.1 + uni(rng);
    for (int32_t i = 0; i < len; ++i) {
        double p1 = 2 * M_PI * f1 * i, p2 = 2 * M_PI * f2 * i;
        dst[i].re = static_cast<float>(std::cos(p1) + a2 * std::cos(p2)) + noise(rng);
        dst[i].im = static_cast<float>(std::sin(p1) + a2 * std::sin(p2)) + noise(rng);
    }
}

// Random 16-bit samples in [-amplitude, min(amplitude, 32767)].
inline std::vector<cs16> randomSamples(std::mt19937& rng, size_t n, int amplitude)
{
    std::uniform_int_distribution<int> v(-amplitude, std::min(amplitude, 32767));
    std::vector<cs16> x(n);
    for (cs16& s : x)
        s = cs16{int16_t(v(rng)), int16_t(v(rng))};
    return x;
}

// x / 2^s (s >= 1) rounded to nearest, ties to even, exactly.
inline int64_t roundHalfEven(int64_t x, int s)
{
    const int64_t q = x >> s, rem = x & ((int64_t(1) << s) - 1), half = int64_t(1) << (s - 1);
    return q + (rem > half || (rem == half && (q & 1)));
}

inline int16_t sat16(int64_t x) { return int16_t(std::clamp<int64_t>(x, -32768, 32767)); }

inline bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }
inline bool sameBits(cf32 a, cf32 b) { return sameBits(a.re, b.re) && sameBits(a.im, b.im); }
inline bool sameBits(cs16 a, cs16 b) { return a.re == b.re && a.im == b.im; }

}  // namespace vtest
