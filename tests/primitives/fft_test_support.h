// What the FFT tests share: the per-slot internal entries they reach directly, a plan in blocks
// of exactly the reported sizes, and the check that a planner stays inside those sizes.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <tuple>
#include <vector>

#include "core/memfuncs.h"
#include "fft/fft_spec.h"
#include "sigprim.h"

#define FFT_TEST_DECLARE_SLOT(ns)                                                                  \
    namespace sig::ns {                                                                            \
    sigStatus sigFftGetSize_cf32(int32_t, int32_t, int32_t, int32_t*, int32_t*, int32_t*);         \
    sigStatus sigFftInit_cf32(sigFftSpec_cf32**, int32_t, int32_t, int32_t, uint8_t*,              \
                                  uint8_t*);                                                       \
    float* sigkFftSineTable_cf32(int32_t, float*);                                                 \
    int32_t* sigkFftBitRevSwapTable_cf32(int32_t, int32_t*);                                       \
    int32_t* sigkFftBitRevTable_cf32(int32_t, int32_t*);                                           \
    void sigkBitRevCopy_cf32(const cf32*, cf32*, int32_t, const int32_t*);                         \
    void sigkBitRevInPlace_cf32(cf32*, int32_t, const int32_t*);                                   \
    void sigkBitRevPairs_cf32(cf32*, int32_t, const int32_t*);                                     \
    sigStatus sigkScale_f32(float, float*, int32_t);                                               \
    sigStatus sigkFftInv_cf32(const cf32*, cf32*, const sigFftSpec_cf32*, uint8_t*);               \
    void sigkFftTileGather_cf32(const cf32*, cf32*, int32_t, int32_t, int32_t);                    \
    void sigkFftTileScatter_cf32(cf32*, const cf32*, int32_t, int32_t, int32_t, int32_t);          \
    void sigkFftRadix4Cols_cf32(float*, float*, int32_t, int32_t, const float*);                   \
    void sigkFftRadix4ColsInv_cf32(float*, float*, int32_t, int32_t, const float*);                \
    void sigkFftFwdFused_cf32(const cf32*, cf32*, int32_t, const float*, const int32_t*, cf32*);   \
    void sigkFftInvFused_cf32(const cf32*, cf32*, int32_t, const float*, const int32_t*, cf32*);   \
    void sigkFftRadixFwd_cf32(cf32*, int32_t, const float*, cf32*, int32_t);                       \
    void sigkFftRadixInv_cf32(cf32*, int32_t, const float*, cf32*, int32_t);                       \
    void* sigkFftTwiddleTable_cf32(int32_t, const float*, int32_t, void*);                         \
    void sigkFftFwdLarge_cf32(const sigFftSpec_cf32*, const cf32*, cf32*, int32_t, cf32*);         \
    void sigkFftInvLarge_cf32(const sigFftSpec_cf32*, const cf32*, cf32*, int32_t, cf32*);         \
    void sigkFftLargeSplit_cf32(const sigFftSpec_cf32*, cf32*, int32_t, int32_t, cf32*);           \
    void sigkFftInvLargeSplit_cf32(const sigFftSpec_cf32*, cf32*, int32_t, int32_t, cf32*);        \
    }
FFT_TEST_DECLARE_SLOT(s0)
FFT_TEST_DECLARE_SLOT(s1)
FFT_TEST_DECLARE_SLOT(s2)
FFT_TEST_DECLARE_SLOT(s3)
FFT_TEST_DECLARE_SLOT(s4)
FFT_TEST_DECLARE_SLOT(s5)
FFT_TEST_DECLARE_SLOT(s6)
#undef FFT_TEST_DECLARE_SLOT

// A view of a slot's small-order tables, laid out as the library's: the unscaled kernels by
// order, then the scaled ones. Slots 0 to 4 run 1 to 32 points, slots 5 and 6 up to 64.
namespace fft_test {
template <int Orders>
struct SmallTable {
    void (*unscaled[Orders])(const cf32*, cf32*);
    void (*scaled[Orders])(const cf32*, cf32*, float);
};
}  // namespace fft_test
#define FFT_TEST_DECLARE_SMALL(ns, orders)                                                         \
    namespace sig::ns {                                                                            \
    extern const fft_test::SmallTable<orders> sigkFftSmallTable_cf32;                              \
    extern const fft_test::SmallTable<orders> sigkFftInvSmallTable_cf32;                           \
    }
FFT_TEST_DECLARE_SMALL(s0, 6)
FFT_TEST_DECLARE_SMALL(s1, 6)
FFT_TEST_DECLARE_SMALL(s2, 6)
FFT_TEST_DECLARE_SMALL(s3, 6)
FFT_TEST_DECLARE_SMALL(s4, 6)
FFT_TEST_DECLARE_SMALL(s5, 7)
FFT_TEST_DECLARE_SMALL(s6, 7)
#undef FFT_TEST_DECLARE_SMALL

// One entry per slot 0..6 (only for entries every slot defines); the first may stand apart.
#define FFT_TEST_PER_SLOT(f) FFT_TEST_PER_SLOT_FROM(sig::s0::f, f)
#define FFT_TEST_PER_SLOT_FROM(first, f)                                                           \
    { first, sig::s1::f, sig::s2::f, sig::s3::f, sig::s4::f, sig::s5::f, sig::s6::f }

namespace fft_test {

// Each slot's size query and planner, reached without the dispatch slot.
inline constexpr decltype(&sig::s0::sigFftGetSize_cf32) kOwnGetSize[7] =
    FFT_TEST_PER_SLOT(sigFftGetSize_cf32);
inline constexpr decltype(&sig::s0::sigFftInit_cf32) kOwnInit[7] = FFT_TEST_PER_SLOT(sigFftInit_cf32);
inline constexpr decltype(&sig::s0::sigkFftInv_cf32) kInverse[7] = FFT_TEST_PER_SLOT(sigkFftInv_cf32);
// Each slot's large-order driver and split step, forward then inverse.
#define FFT_TEST_BOTH(ns, fwd, inv) {sig::ns::fwd, sig::ns::inv}
#define FFT_TEST_BOTH_PER_SLOT(fwd, inv)                                                           \
    {FFT_TEST_BOTH(s0, fwd, inv), FFT_TEST_BOTH(s1, fwd, inv), FFT_TEST_BOTH(s2, fwd, inv),        \
     FFT_TEST_BOTH(s3, fwd, inv), FFT_TEST_BOTH(s4, fwd, inv), FFT_TEST_BOTH(s5, fwd, inv),        \
     FFT_TEST_BOTH(s6, fwd, inv)}
inline constexpr decltype(&sig::s0::sigkFftFwdLarge_cf32) kLarge[7][2] =
    FFT_TEST_BOTH_PER_SLOT(sigkFftFwdLarge_cf32, sigkFftInvLarge_cf32);
inline constexpr decltype(&sig::s0::sigkFftLargeSplit_cf32) kSplit[7][2] =
    FFT_TEST_BOTH_PER_SLOT(sigkFftLargeSplit_cf32, sigkFftInvLargeSplit_cf32);
#undef FFT_TEST_BOTH_PER_SLOT
#undef FFT_TEST_BOTH

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

// A plan in blocks of exactly the reported sizes, by a slot's own planner or through the dispatch
// entries when slot < 0. The spec and init blocks start the given offsets past a 64-byte
// boundary, between guard bytes; blocks and guards start as 0xA5.
struct Plan {
    static constexpr size_t kGuard = 128;
    int32_t specSize = 0, initSize = 0, workSize = 0;
    std::vector<uint8_t> specBlock, initBlock, workMem;
    uint8_t *specMem = nullptr, *initMem = nullptr;
    sigFftSpec_cf32* spec = nullptr;
    Plan(int32_t order, int32_t flag, int slot = -1, size_t specOffset = 0, size_t initOffset = 0)
    {
        const auto getSize = slot < 0 ? sigFftGetSize_cf32 : kOwnGetSize[slot];
        EXPECT_EQ(getSize(order, flag, 0, &specSize, &initSize, &workSize), sigOk);
        specMem = place(specBlock, specSize, specOffset);
        initMem = initSize > 0 ? place(initBlock, initSize, initOffset) : nullptr;
        workMem.resize(size_t(workSize));
        EXPECT_EQ((slot < 0 ? sigFftInit_cf32 : kOwnInit[slot])(&spec, order, flag, 0, specMem, initMem),
                  sigOk);
    }
    static uint8_t* place(std::vector<uint8_t>& block, int32_t size, size_t offset)
    {
        block.assign(size_t(size) + 2 * kGuard + 64, 0xA5);
        const uintptr_t start = reinterpret_cast<uintptr_t>(block.data()) + kGuard + 63;
        return reinterpret_cast<uint8_t*>((start & ~uintptr_t{63}) + offset);
    }
    uint8_t* work() { return workMem.empty() ? nullptr : workMem.data(); }
    // The table whose offset head word w holds.
    template <class T>
    const T* at(int w) const
    {
        return reinterpret_cast<const T*>(reinterpret_cast<const char*>(spec) + word(spec, w));
    }
};

// Plans with a slot's own planner at the given block offsets; fails if any guard byte changed,
// the head is not on a 64-byte boundary within the block's first 64 bytes, or the reported work
// size does not hold what the head asks for.
inline void expectPlanStaysInside(int slot, int32_t order, int32_t flag, size_t specOffset,
                                  size_t initOffset)
{
    SCOPED_TRACE(testing::Message() << "slot " << slot << " order " << order << " offsets "
                                    << specOffset << "/" << initOffset);
    const Plan plan(order, flag, slot, specOffset, initOffset);
    ASSERT_NE(plan.spec, nullptr);
    for (auto [block, start, size] : {std::tuple{&plan.specBlock, plan.specMem, plan.specSize},
                                      {&plan.initBlock, plan.initMem, plan.initSize}})
        for (size_t i = 0; i < block->size(); ++i) {
            const ptrdiff_t at = block->data() + i - start;
            ASSERT_TRUE((at >= 0 && at < size) || (*block)[i] == 0xA5)
                << "written at byte " << at << " of a block of " << size;
        }
    EXPECT_EQ(reinterpret_cast<uintptr_t>(plan.spec) % 64, 0u);
    EXPECT_LT(reinterpret_cast<uint8_t*>(plan.spec) - plan.specMem, 64);
    // The transform's work buffer, used from its 64-byte boundary, holds word 6 bytes.
    if (word(plan.spec, 6) == 0)
        EXPECT_EQ(plan.workSize, 0);
    else
        EXPECT_GE(plan.workSize, word(plan.spec, 6) + 63);
}

}  // namespace fft_test
