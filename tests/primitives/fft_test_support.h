// What the FFT tests share: the per-slot internal entries they reach directly, a plan in blocks
// of exactly the reported sizes, and the check that a planner stays inside those sizes.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/memfuncs.h"
#include "fft/fft_spec.h"
#include "sigprim.h"

#define FFT_TEST_DECLARE_SLOT(ns)                                                                  \
    namespace sig::ns {                                                                            \
    sigStatus sigkFftGetSizeOwn_cf32(int32_t, int32_t, int32_t, int32_t*, int32_t*, int32_t*);     \
    sigStatus sigkFftInitOwn_cf32(sigFftSpec_cf32**, int32_t, int32_t, int32_t, uint8_t*,          \
                                  uint8_t*);                                                       \
    float* sigkFftSineTable_cf32(int32_t, float*);                                                 \
    int32_t* sigkFftBitRevSwapTable_cf32(int32_t, int32_t*);                                       \
    int32_t* sigkFftBitRevTable_cf32(int32_t, int32_t*);                                           \
    void sigkBitRevCopy_cf32(const cf32*, cf32*, int32_t, const int32_t*);                         \
    void sigkBitRevInPlace_cf32(cf32*, int32_t, const int32_t*);                                   \
    void sigkBitRevPairs_cf32(cf32*, int32_t, const int32_t*);                                     \
    sigStatus sigkScale_f32(float, float*, int32_t);                                               \
    sigStatus sigkFftInv_cf32(const cf32*, cf32*, const sigFftSpec_cf32*, uint8_t*);               \
    sigStatus fftInvThroughForward(const cf32*, cf32*, const sigFftSpec_cf32*, uint8_t*);          \
    void sigkFftTileGather_cf32(const cf32*, cf32*, int32_t, int32_t, int32_t);                    \
    void sigkFftTileScatter_cf32(cf32*, const cf32*, int32_t, int32_t, int32_t, int32_t);          \
    void sigkFftRadix4Cols_cf32(float*, float*, int32_t, int32_t, const float*);                   \
    }
FFT_TEST_DECLARE_SLOT(s0)
FFT_TEST_DECLARE_SLOT(s1)
FFT_TEST_DECLARE_SLOT(s2)
FFT_TEST_DECLARE_SLOT(s3)
FFT_TEST_DECLARE_SLOT(s4)
FFT_TEST_DECLARE_SLOT(s5)
FFT_TEST_DECLARE_SLOT(s6)
#undef FFT_TEST_DECLARE_SLOT

// One entry per slot 0..6 (only for entries every slot defines); the first may stand apart.
#define FFT_TEST_PER_SLOT(f) FFT_TEST_PER_SLOT_FROM(sig::s0::f, f)
#define FFT_TEST_PER_SLOT_FROM(first, f)                                                           \
    { first, sig::s1::f, sig::s2::f, sig::s3::f, sig::s4::f, sig::s5::f, sig::s6::f }

namespace fft_test {

// Each slot's own table layout (the planner its vector kernels will read).
inline constexpr decltype(&sig::s0::sigkFftGetSizeOwn_cf32) kOwnGetSize[7] =
    FFT_TEST_PER_SLOT(sigkFftGetSizeOwn_cf32);
inline constexpr decltype(&sig::s0::sigkFftInitOwn_cf32) kOwnInit[7] =
    FFT_TEST_PER_SLOT(sigkFftInitOwn_cf32);
inline constexpr decltype(&sig::s0::sigkFftInv_cf32) kInverse[7] = FFT_TEST_PER_SLOT(sigkFftInv_cf32);
inline constexpr decltype(&sig::s0::sigkFftInv_cf32) kThroughForward[7] =
    FFT_TEST_PER_SLOT(fftInvThroughForward);

// Swaps the library's allocator for one that fails or counts its calls, for the life of a scope.
struct AllocatorSwap {
    static inline int calls = 0;
    static inline bool fail = false;
    sigMemFuncTable saved = sigMemFuncs;
    explicit AllocatorSwap(bool failing)
    {
        calls = 0;
        fail = failing;
        sigMemFuncs.alloc = [](size_t size) -> void* { return ++calls, fail ? nullptr : std::malloc(size); };
    }
    ~AllocatorSwap() { sigMemFuncs = saved; }
};

// x with its low `bits` bits in reverse order.
inline int32_t reverseBits(int64_t x, int bits)
{
    int32_t r = 0;
    for (int b = 0; b < bits; ++b)
        r |= static_cast<int32_t>((x >> b) & 1) << (bits - 1 - b);
    return r;
}

// The word of the head at index w (0..21), as raw 32 bits.
inline int32_t word(const sigFftSpec_cf32* spec, int w)
{
    int32_t v;
    __builtin_memcpy(&v, reinterpret_cast<const char*>(spec) + 4 * w, 4);
    return v;
}

// A plan in blocks of exactly the reported sizes (the spec block filled with 0xA5): by a slot's
// own planner, or through the dispatch entries when slot < 0.
struct Plan {
    std::vector<uint8_t> specMem, initMem, workMem;
    sigFftSpec_cf32* spec = nullptr;
    Plan(int32_t order, int32_t flag, int slot = -1)
    {
        int32_t s = 0, i = 0, w = 0;
        const auto getSize = slot < 0 ? sigFftGetSize_cf32 : kOwnGetSize[slot];
        EXPECT_EQ(getSize(order, flag, 0, &s, &i, &w), sigOk);
        specMem.assign(static_cast<size_t>(s), 0xA5);
        initMem.resize(static_cast<size_t>(i));
        workMem.resize(static_cast<size_t>(w));
        EXPECT_EQ((slot < 0 ? sigFftInit_cf32 : kOwnInit[slot])(
                      &spec, order, flag, 0, specMem.data(), initMem.empty() ? nullptr : initMem.data()),
                  sigOk);
    }
    uint8_t* work() { return workMem.empty() ? nullptr : workMem.data(); }
    // The table whose offset head word w holds.
    template <class T>
    const T* at(int w) const
    {
        return reinterpret_cast<const T*>(reinterpret_cast<const char*>(spec) + word(spec, w));
    }
};

// Plans with a slot's own planner into blocks of exactly the reported sizes placed at the given
// offsets from a 64-byte boundary, with guard bytes around each; fails if any guard byte changed.
inline void expectPlanStaysInside(int slot, int32_t order, int32_t flag, size_t specOffset,
                                  size_t initOffset)
{
    constexpr uint8_t kCanary = 0xA5;
    constexpr size_t kGuard = 128;
    SCOPED_TRACE(testing::Message() << "slot " << slot << " order " << order << " offsets "
                                    << specOffset << "/" << initOffset);
    int32_t specSize, initSize, workSize;
    ASSERT_EQ(kOwnGetSize[slot](order, flag, 0, &specSize, &initSize, &workSize), sigOk);
    std::vector<uint8_t> specBlock(size_t(specSize) + 2 * kGuard + 64, kCanary);
    std::vector<uint8_t> initBlock(size_t(initSize) + 2 * kGuard + 64, kCanary);
    auto place = [&](std::vector<uint8_t>& v, size_t offset) {
        uintptr_t base = (reinterpret_cast<uintptr_t>(v.data()) + kGuard + 63) & ~uintptr_t{63};
        return reinterpret_cast<uint8_t*>(base + offset);
    };
    uint8_t* specMem = place(specBlock, specOffset);
    uint8_t* initMem = initSize > 0 ? place(initBlock, initOffset) : nullptr;
    sigFftSpec_cf32* spec = nullptr;
    ASSERT_EQ(kOwnInit[slot](&spec, order, flag, 0, specMem, initMem), sigOk);
    auto checkGuards = [&](const std::vector<uint8_t>& v, const uint8_t* start, size_t size) {
        for (const uint8_t* p = v.data(); p < start; ++p)
            ASSERT_EQ(*p, kCanary) << "written before the block";
        for (const uint8_t* p = start + size; p < v.data() + v.size(); ++p)
            ASSERT_EQ(*p, kCanary) << "written " << (p - start - size) << " bytes past " << size;
    };
    checkGuards(specBlock, specMem, size_t(specSize));
    if (initMem != nullptr)
        checkGuards(initBlock, initMem, size_t(initSize));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(spec) % 64, 0u);
    EXPECT_LT(reinterpret_cast<uint8_t*>(spec) - specMem, 64);
    // The transform's work buffer, used from its 64-byte boundary, holds word 6 bytes.
    if (word(spec, 6) == 0)
        EXPECT_EQ(workSize, 0);
    else
        EXPECT_GE(workSize, word(spec, 6) + 63);
}

}  // namespace fft_test
